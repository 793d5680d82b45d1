// The Detours transaction interface over the hook planner and writer: one
// process-wide transaction at a time, owned by the thread that began it.
#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "detours/CodeMemory.h"
#include "detours/DetourAllThreads.h"
#include "detours/EnlistedThreads.h"
#include "detours/Hook.h"
#include "detours/TrampolinePool.h"
#include "detours/detours.h"

namespace modroute::detours {
namespace {

std::uint32_t AddressOf(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

struct Operation {
    bool attach;
    PVOID* pointer;
    Hook hook;
};

struct State final : HookRegistry {
    SRWLOCK lock = SRWLOCK_INIT;
    DWORD owner = 0;  // thread id of the open transaction, 0 when none
    HANDLE ownerThread = nullptr;  // the same thread, to see whether it has ended
    LONG pendingError = NO_ERROR;
    PVOID* pendingPointer = nullptr;  // the pointer of the Attach or Detach that failed first
    std::vector<Operation> operations;
    EnlistedThreads threads;
    std::vector<Hook> hooks;  // installed
    std::vector<std::pair<std::uint32_t, std::uint32_t>> slotByTarget;  // last trampoline slot of each function
    TrampolinePool pool;

    bool IsClaimed(std::uint32_t address) const override {
        for (const Hook& h : hooks) {
            if (h.Claims(address)) return true;
        }
        for (const Operation& op : operations) {
            if (op.hook.Claims(address)) return true;
        }
        return false;
    }
    bool OverlapsClaim(const Hook& hook) const override {
        for (const Hook& h : hooks) {
            if (h.Overlaps(hook)) return true;
        }
        for (const Operation& op : operations) {
            if (op.attach && op.hook.Overlaps(hook)) return true;
        }
        return false;
    }
    std::uint32_t SlotOf(std::uint32_t target) const override {
        for (const auto& [t, slot] : slotByTarget) {
            if (t == target) return slot;
        }
        return 0;
    }
    LONG Record(LONG error, PVOID* pointer = nullptr) {
        if (error != NO_ERROR && pendingError == NO_ERROR) {
            pendingError = error;
            pendingPointer = pointer;
        }
        return error;
    }
    // Ends the transaction; slots taken for attaches that never happened go back.
    void Close() {
        for (const Operation& op : operations) {
            if (op.attach && op.hook.freshSlot) {
                pool.Release(reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(op.hook.trampoline)));
            }
        }
        operations.clear();
        threads.Clear();
        pendingError = NO_ERROR;
        pendingPointer = nullptr;
        owner = 0;
        if (ownerThread != nullptr) CloseHandle(ownerThread);
        ownerThread = nullptr;
    }
    // The thread of the open transaction has ended without commit or abort.
    bool Abandoned() const { return ownerThread != nullptr && WaitForSingleObject(ownerThread, 0) == WAIT_OBJECT_0; }
};

// Never destroyed while it holds a hook: hooks and trampolines outlive static
// destructors, and a DLL may still detach from its DllMain.
State*& GlobalSlot() {
    static State* state = new (std::nothrow) State;
    return state;
}
State* Global() { return GlobalSlot(); }

// When the library unloads, an engine that never committed a hook gives its
// memory back, trampoline regions included. Once one has been, a thread may
// hold a trampoline's address for as long as the process lives.
struct ReleasedAtUnload {
    ReleasedAtUnload() = default;
    ReleasedAtUnload(const ReleasedAtUnload&) = delete;
    ReleasedAtUnload& operator=(const ReleasedAtUnload&) = delete;
    ~ReleasedAtUnload() {
        State*& state = GlobalSlot();
        if (state == nullptr || state->owner != 0 || !state->hooks.empty() || !state->slotByTarget.empty()) return;
        delete state;
        state = nullptr;
    }
} g_releasedAtUnload;

class Locked {
public:
    explicit Locked(State* state) : m_state(state) {
        if (m_state) AcquireSRWLockExclusive(&m_state->lock);
    }
    ~Locked() {
        if (m_state) ReleaseSRWLockExclusive(&m_state->lock);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    // The state when the calling thread has the transaction open, else null.
    State* Owned() const { return m_state && m_state->owner == GetCurrentThreadId() ? m_state : nullptr; }

private:
    State* m_state;
};

LONG QueueAttach(State& s, PVOID* pointer, PVOID detour) {
    if (pointer == nullptr || *pointer == nullptr) return ERROR_INVALID_HANDLE;
    if (detour == nullptr) return ERROR_INVALID_PARAMETER;
    Operation op{true, pointer, {}};
    const LONG error = PlanHook(AddressOf(*pointer), AddressOf(detour), s, s.pool, op.hook);
    if (error != NO_ERROR) return error;
    try {
        s.operations.push_back(std::move(op));
    } catch (const std::bad_alloc&) {
        if (op.hook.freshSlot) s.pool.Release(reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(op.hook.trampoline)));
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return NO_ERROR;
}

LONG QueueDetach(State& s, PVOID* pointer, PVOID detour) {
    if (pointer == nullptr || *pointer == nullptr) return ERROR_INVALID_HANDLE;
    const std::uint32_t trampoline = AddressOf(*pointer);
    const auto hook = std::find_if(s.hooks.begin(), s.hooks.end(),
                                   [&](const Hook& h) { return h.trampoline == trampoline; });
    if (hook == s.hooks.end() || hook->detour != AddressOf(detour)) return ERROR_INVALID_BLOCK;
    for (const Operation& op : s.operations) {
        if (!op.attach && op.hook.target == hook->target) return ERROR_INVALID_OPERATION;
    }
    try {
        s.operations.push_back(Operation{false, pointer, *hook});
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return NO_ERROR;
}

// The writes themselves. Everything that may fail or allocate has happened
// before the first thread stops.
LONG Commit(State& s) {
    std::vector<UnlockedRange> unlocked;
    try {
        unlocked.reserve(2 * s.operations.size());
        s.hooks.reserve(s.hooks.size() + s.operations.size());
        s.slotByTarget.reserve(s.slotByTarget.size() + s.operations.size());
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (const DWORD error = s.threads.SuspendAll(); error != NO_ERROR) return static_cast<LONG>(error);

    auto restoreProtection = [&] {
        for (auto r = unlocked.rbegin(); r != unlocked.rend(); ++r) r->Restore();
    };
    for (const Operation& op : s.operations) {
        PagePieces pieces = SplitAtPageBoundary(op.hook.patchAddress, op.hook.patchLength);
        for (std::size_t i = 0; i < pieces.count; ++i) {
            if (const DWORD error = pieces.piece[i].Unlock(); error != NO_ERROR) {
                restoreProtection();
                s.threads.ResumeAll();
                return static_cast<LONG>(error);
            }
            unlocked.push_back(pieces.piece[i]);
        }
    }

    for (const Operation& op : s.operations) {
        if (op.attach) {
            // The detour may run as soon as the entry changes, and it calls
            // through this pointer: the trampoline must be there first.
            __atomic_store_n(op.pointer, reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(op.hook.trampoline)),
                             __ATOMIC_SEQ_CST);
            InstallHook(op.hook);
        } else {
            RemoveHook(op.hook);
            __atomic_store_n(op.pointer, reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(op.hook.pointerBefore)),
                             __ATOMIC_SEQ_CST);
        }
    }
    s.threads.MoveInstructionPointers([&](std::uint32_t eip) {
        for (const Operation& op : s.operations) {
            eip = op.attach ? InstructionPointerAfterInstall(op.hook, eip) : InstructionPointerAfterRemove(op.hook, eip);
        }
        return eip;
    });
    restoreProtection();
    s.threads.ResumeAll();

    for (Operation& op : s.operations) {
        const std::uint32_t target = op.hook.target;
        if (op.attach) {
            if (op.hook.freshSlot) {
                const auto cached = std::find_if(s.slotByTarget.begin(), s.slotByTarget.end(),
                                                 [&](const auto& entry) { return entry.first == target; });
                if (cached != s.slotByTarget.end()) {
                    cached->second = op.hook.trampoline;
                } else {
                    s.slotByTarget.emplace_back(target, op.hook.trampoline);
                }
                op.hook.freshSlot = false;  // published: Close must not release it
            }
            s.hooks.push_back(std::move(op.hook));
        } else {
            std::erase_if(s.hooks, [&](const Hook& h) { return h.target == target; });
        }
    }
    return NO_ERROR;
}

}  // namespace
}  // namespace modroute::detours

using modroute::detours::Global;
using modroute::detours::Locked;
using modroute::detours::State;

extern "C" {

LONG WINAPI DetourTransactionBegin(VOID) {
    State* state = Global();
    if (state == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    Locked lock(state);
    if (state->owner != 0) {
        // A transaction whose thread ended can never be finished: the next
        // thread takes over rather than every later one being refused.
        if (!state->Abandoned()) return ERROR_INVALID_OPERATION;
        state->Close();
    }
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &state->ownerThread, SYNCHRONIZE,
                         FALSE, 0)) {
        state->ownerThread = nullptr;
        return static_cast<LONG>(GetLastError());
    }
    state->owner = GetCurrentThreadId();
    state->pendingError = NO_ERROR;
    state->pendingPointer = nullptr;
    return NO_ERROR;
}

LONG WINAPI DetourTransactionAbort(VOID) {
    Locked lock(Global());
    State* state = lock.Owned();
    if (state == nullptr) return ERROR_INVALID_OPERATION;
    state->Close();
    return NO_ERROR;
}

LONG WINAPI DetourTransactionCommit(VOID) { return DetourTransactionCommitEx(nullptr); }

LONG WINAPI DetourTransactionCommitEx(PVOID** pppFailedPointer) {
    if (pppFailedPointer != nullptr) *pppFailedPointer = nullptr;
    Locked lock(Global());
    State* state = lock.Owned();
    if (state == nullptr) return ERROR_INVALID_OPERATION;
    const LONG error = state->pendingError != NO_ERROR ? state->pendingError : modroute::detours::Commit(*state);
    if (error != NO_ERROR && pppFailedPointer != nullptr) *pppFailedPointer = state->pendingPointer;
    state->Close();
    return error;
}

const char* WINAPI DetourErrorText(LONG error) {
    switch (error) {
        case NO_ERROR: return "no error";
        case ERROR_INVALID_OPERATION: return "no transaction of this thread, or the function is hooked already";
        case ERROR_INVALID_HANDLE: return "a null pointer, a null function or a handle that names no thread";
        case ERROR_INVALID_PARAMETER: return "a null detour";
        case ERROR_INVALID_BLOCK: return "the function's first instructions cannot be moved, or no such hook";
        case ERROR_NOT_ENOUGH_MEMORY: return "no memory for trampolines or bookkeeping";
        default: return "a system call of the commit failed (VirtualProtect, SuspendThread, GetThreadContext)";
    }
}

LONG WINAPI DetourUpdateThread(HANDLE hThread) {
    Locked lock(Global());
    State* state = lock.Owned();
    if (state == nullptr) return ERROR_INVALID_OPERATION;
    return state->Record(static_cast<LONG>(state->threads.Enlist(hThread)));
}

LONG WINAPI DetourUpdateAllOtherThreads(VOID) {
    Locked lock(Global());
    State* state = lock.Owned();
    if (state == nullptr) return ERROR_INVALID_OPERATION;
    return state->Record(static_cast<LONG>(state->threads.EnlistAllOthers()));
}

LONG WINAPI DetourAttach(PVOID* ppPointer, PVOID pDetour) {
    Locked lock(Global());
    State* state = lock.Owned();
    if (state == nullptr) return ERROR_INVALID_OPERATION;
    return state->Record(modroute::detours::QueueAttach(*state, ppPointer, pDetour), ppPointer);
}

LONG WINAPI DetourDetach(PVOID* ppPointer, PVOID pDetour) {
    Locked lock(Global());
    State* state = lock.Owned();
    if (state == nullptr) return ERROR_INVALID_OPERATION;
    return state->Record(modroute::detours::QueueDetach(*state, ppPointer, pDetour), ppPointer);
}

}  // extern "C"
