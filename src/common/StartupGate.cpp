#include "common/StartupGate.h"

#include <string>

#include "common/DebugOutput.h"
#include "common/StartLog.h"

namespace modroute {
namespace {

StartupGate g_gate;

int IndexOf(unsigned bit) {
    int index = 0;
    while ((bit >>= 1) != 0) ++index;
    return index;
}

double NowMs() {
    LARGE_INTEGER now, frequency;
    if (!QueryPerformanceCounter(&now) || !QueryPerformanceFrequency(&frequency)) return 0;
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

StartupGate& StartupGate::Instance() { return g_gate; }

void StartupGate::Expect(StartupWork work) {
    for (unsigned bit = 1; bit <= static_cast<unsigned>(StartupWork::Faces); bit <<= 1) {
        if ((static_cast<unsigned>(work) & bit) == 0) continue;
        HANDLE& finished = m_finished[IndexOf(bit)];
        if (finished == nullptr) finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        // Without an event nobody could be woken: such work is not waited for.
        if (finished == nullptr) continue;
        ResetEvent(finished);
        m_pending.fetch_or(bit, std::memory_order_acq_rel);
    }
}

void StartupGate::Finish(StartupWork work) {
    m_pending.fetch_and(~static_cast<unsigned>(work), std::memory_order_acq_rel);
    for (unsigned bit = 1; bit <= static_cast<unsigned>(StartupWork::Faces); bit <<= 1) {
        if ((static_cast<unsigned>(work) & bit) != 0 && m_finished[IndexOf(bit)] != nullptr) {
            SetEvent(m_finished[IndexOf(bit)]);
        }
    }
}

bool StartupGate::AwaitSlow(StartupWork needed, DWORD timeoutMs) {
    if (m_gaveUp.load(std::memory_order_acquire) || IsStartupThread() || ThreadHoldsLoaderLock()) return false;
    const DWORD lastError = GetLastError();
    const double start = NowMs();
    bool finished = true;
    for (unsigned bit = 1; finished && bit <= static_cast<unsigned>(StartupWork::Faces); bit <<= 1) {
        const bool pending = (m_pending.load(std::memory_order_acquire) & bit) != 0;
        if ((static_cast<unsigned>(needed) & bit) == 0 || !pending) continue;
        const double waited = NowMs() - start;
        const DWORD left = waited >= timeoutMs ? 0 : timeoutMs - static_cast<DWORD>(waited);
        finished = WaitForSingleObject(m_finished[IndexOf(bit)], left) == WAIT_OBJECT_0;
    }
    if (!finished && !m_gaveUp.exchange(true, std::memory_order_acq_rel)) {
        PrintDebugLine("TavrenMOD: 启动工作未在限时内完成，先用已有结果应答\n");
    }
    if (!m_firstWaitMeasured.exchange(true, std::memory_order_acq_rel)) {
        ReportFirstStartupWait(static_cast<std::uint32_t>(NowMs() - start), finished);
    }
    SetLastError(lastError);
    return finished;
}

void StartupGate::CloseEvents() {
    for (HANDLE& finished : m_finished) {
        if (finished != nullptr) CloseHandle(finished);
        finished = nullptr;
    }
}

void StartupGate::EnterStartupThread() {
    const DWORD self = GetCurrentThreadId();
    for (std::atomic<DWORD>& slot : m_startupThreads) {
        DWORD empty = 0;
        if (slot.compare_exchange_strong(empty, self, std::memory_order_acq_rel)) return;
    }
}

void StartupGate::LeaveStartupThread() {
    const DWORD self = GetCurrentThreadId();
    for (std::atomic<DWORD>& slot : m_startupThreads) {
        DWORD mine = self;
        if (slot.compare_exchange_strong(mine, 0, std::memory_order_acq_rel)) return;
    }
}

bool StartupGate::IsStartupThread() const {
    const DWORD self = GetCurrentThreadId();
    for (const std::atomic<DWORD>& slot : m_startupThreads) {
        if (slot.load(std::memory_order_acquire) == self) return true;
    }
    return false;
}

bool ThreadHoldsLoaderLock() {
    // The process environment block's LoaderLock: the critical section every
    // DllMain runs inside (Windows and Wine alike); its owner is a thread id.
    const std::uint8_t* peb = nullptr;
#ifdef _WIN64
    constexpr std::size_t kLoaderLockInPeb = 0x110;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
#else
    constexpr std::size_t kLoaderLockInPeb = 0xA0;
    asm("movl %%fs:0x30, %0" : "=r"(peb));
#endif
    if (peb == nullptr) return false;
    const auto* lock = *reinterpret_cast<const RTL_CRITICAL_SECTION* const*>(peb + kLoaderLockInPeb);
    return lock != nullptr && reinterpret_cast<DWORD_PTR>(lock->OwningThread) == GetCurrentThreadId();
}

void ReportFirstStartupWait(std::uint32_t milliseconds, bool finished) {
    PrintDebugLine("TavrenMOD: 首次游戏访问等待启动工作 " + std::to_string(milliseconds) + " ms" +
                   (finished ? "\n" : "（超时）\n"));
    startlog::Line("the first game call waited " + std::to_string(milliseconds) + " ms for the start-up" +
                   (finished ? "" : ", then went on without it (time limit)"));
}

}  // namespace modroute
