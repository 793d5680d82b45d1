#include "common/StartLog.h"

#include <atomic>
#include <mutex>

#include "common/SystemScope.h"
#include "common/TextEncoding.h"

namespace modroute::startlog {
namespace {

constexpr char kDropped[] = "(the log is full: later lines are left out)\r\n";
// How long the writer waits for more lines before it ends.
constexpr DWORD kWriterIdleMs = 3000;

std::mutex g_lock;
std::string g_pending;           // appended, not yet written
std::size_t g_accepted = 0;      // bytes accepted into the file so far
bool g_full = false;
HANDLE g_file = INVALID_HANDLE_VALUE;
HANDLE g_wake = nullptr;         // set when lines are pending
ThreadStarter g_startThread = nullptr;
std::atomic<bool> g_open{false};
std::atomic<bool> g_writerRunning{false};

std::string TakePending() {
    const std::lock_guard<std::mutex> lock(g_lock);
    std::string text;
    text.swap(g_pending);
    return text;
}

void WriteAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(g_file, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

DWORD WINAPI WriterThread(LPVOID) {
    const SystemScope scope;
    for (;;) {
        if (WaitForSingleObject(g_wake, kWriterIdleMs) == WAIT_OBJECT_0) {
            WriteAll(TakePending());
            continue;
        }
        g_writerRunning.store(false, std::memory_order_release);
        // A line appended while the flag was still set started no writer:
        // take its work over, unless a new writer already has.
        {
            const std::lock_guard<std::mutex> lock(g_lock);
            if (g_pending.empty()) return 0;
        }
        if (g_writerRunning.exchange(true, std::memory_order_acq_rel)) return 0;
    }
}

void WakeWriter() {
    SetEvent(g_wake);
    if (!g_writerRunning.exchange(true, std::memory_order_acq_rel) && !g_startThread(WriterThread)) {
        g_writerRunning.store(false, std::memory_order_release);
    }
}

}  // namespace

bool Open(const std::string& utf8Path, ThreadStarter startThread) {
    static std::once_flag opened;
    std::call_once(opened, [&] {
        const SystemScope scope;
        g_file = CreateFileW(Utf8ToWide(utf8Path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (g_file == INVALID_HANDLE_VALUE) return;
        g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (g_wake == nullptr) return;
        g_startThread = startThread;
        g_pending = "\xEF\xBB\xBF";  // a byte-order mark, so that Notepad reads UTF-8
        g_accepted = g_pending.size();
        g_open.store(true, std::memory_order_release);
    });
    return IsOpen();
}

bool IsOpen() { return g_open.load(std::memory_order_acquire); }

void Line(std::string_view utf8) {
    if (!IsOpen()) return;
    {
        const std::lock_guard<std::mutex> lock(g_lock);
        if (g_full) return;
        if (g_accepted + utf8.size() + 2 + sizeof kDropped - 1 > kMaxLogBytes) {
            g_full = true;
            g_pending += kDropped;
            g_accepted += sizeof kDropped - 1;
        } else {
            g_pending.append(utf8).append("\r\n");
            g_accepted += utf8.size() + 2;
        }
    }
    WakeWriter();
}

}  // namespace modroute::startlog
