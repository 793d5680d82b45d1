#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "detours/detours.h"
#include "unit/detours/SyntheticCode.h"

using namespace detourtest;

namespace {

using Add = int(__cdecl*)(int, int);

// Detours that add a recognisable amount to what the original returns.
template <int N>
struct Plus {
    static inline PVOID real = nullptr;
    static int __cdecl Detour(int a, int b) { return reinterpret_cast<Add>(real)(a, b) + 1000 * N; }
};

const Bytes kNops(5, 0x90);
const Bytes kInt3s(5, 0xCC);
// The bodies return a + b unless a test says otherwise.
const Bytes kHotPatchBody = {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C, 0x5D, 0xC3};
const Bytes kMsvcrtBody = {0x55, 0x89, 0xE5, 0x83, 0xE4, 0xF0, 0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C, 0xC9, 0xC3};
// lea ecx,[esp+4]; and esp,-16; push [ecx-4]; push ebp; mov ebp,esp; push ecx;
// mov eax,[ecx]; add eax,[ecx+4]; pop ecx; leave; lea esp,[ecx-4]; ret
const Bytes kGdiBody = {0x8D, 0x4C, 0x24, 0x04, 0x83, 0xE4, 0xF0, 0xFF, 0x71, 0xFC, 0x55, 0x89, 0xE5,
                        0x51, 0x8B, 0x01, 0x03, 0x41, 0x04, 0x59, 0xC9, 0x8D, 0x61, 0xFC, 0xC3};

LONG Attach(PVOID& pointer, PVOID detour) {
    DetourTransactionBegin();
    const LONG queued = DetourAttach(&pointer, detour);
    const LONG committed = DetourTransactionCommit();
    return queued != NO_ERROR ? queued : committed;
}

LONG Detach(PVOID& pointer, PVOID detour) {
    DetourTransactionBegin();
    const LONG queued = DetourDetach(&pointer, detour);
    const LONG committed = DetourTransactionCommit();
    return queued != NO_ERROR ? queued : committed;
}

}  // namespace

TEST(DetourTransaction, EveryEntryFormIsInterceptedAndRestoredExactly) {
    SyntheticCode code;
    struct Form {
        std::string name;
        Add function;
        int expected;  // for (2, 3)
        bool hotPatch;
    };
    std::vector<Form> forms = {
        {"kernel32 hot patch, nop filler", code.Place<Add>(kHotPatchBody, kNops), 5, true},
        {"kernel32 hot patch, int3 filler", code.Place<Add>(kHotPatchBody, kInt3s), 5, true},
        {"kernel32 without filler", code.Place<Add>(kHotPatchBody, {0x90, 0x90, 0xCC, 0xCC, 0xCC}), 5, false},
        {"msvcrt", code.Place<Add>(kMsvcrtBody), 5, false},
        {"gdi32", code.Place<Add>(kGdiBody), 5, false},
        {"jmp short in the copy",
         code.Place<Add>({0x8B, 0x44, 0x24, 0x04, 0xEB, 0x03, 0x40, 0x40, 0x40, 0x03, 0x44, 0x24, 0x08, 0xC3}), 5, false},
        {"je short leaving the copy",
         code.Place<Add>({0x33, 0xC0, 0x74, 0x03, 0x40, 0x40, 0x40, 0x03, 0x44, 0x24, 0x04, 0x03, 0x44, 0x24, 0x08, 0xC3}),
         5, false},
        {"je short within the copy",
         code.Place<Add>({0x33, 0xC0, 0x74, 0x00, 0x40, 0x03, 0x44, 0x24, 0x04, 0x03, 0x44, 0x24, 0x08, 0xC3}), 6, false},
        {"je near",
         code.Place<Add>({0x33, 0xC0, 0x0F, 0x84, 0x01, 0x00, 0x00, 0x00, 0x40, 0x03, 0x44, 0x24, 0x04, 0x03, 0x44, 0x24,
                          0x08, 0xC3}),
         5, false},
    };
    // call rel32 to a helper returning 100, then add the arguments
    void* helper = code.Place({0xB8, 0x64, 0x00, 0x00, 0x00, 0xC3});
    Bytes callsHelper = {0xE8, 0, 0, 0, 0, 0x03, 0x44, 0x24, 0x04, 0x03, 0x44, 0x24, 0x08, 0xC3};
    SyntheticCode::PutRel32(callsHelper, 1, code.NextEntry(), helper);
    forms.push_back({"call rel32 in the copy", code.Place<Add>(callsHelper), 105, false});

    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        ASSERT_EQ(form.function(2, 3), form.expected);
        const Bytes before = Snapshot(reinterpret_cast<void*>(form.function));
        const DWORD protection = ProtectionOf(reinterpret_cast<void*>(form.function));
        Plus<1>::real = reinterpret_cast<PVOID>(form.function);

        ASSERT_EQ(Attach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
        EXPECT_EQ(form.function(2, 3), form.expected + 1000);
        EXPECT_EQ(reinterpret_cast<Add>(Plus<1>::real)(2, 3), form.expected);
        EXPECT_EQ(ProtectionOf(reinterpret_cast<void*>(form.function)), protection);
        const auto* entry = reinterpret_cast<const std::uint8_t*>(form.function);
        if (form.hotPatch) {
            EXPECT_EQ(Plus<1>::real, entry + 2);
            EXPECT_EQ(entry[0], 0xEB);
            EXPECT_EQ(entry[1], 0xF9);
            EXPECT_EQ(entry[-5], 0xE9);
        } else {
            EXPECT_EQ(entry[0], 0xE9);
        }

        ASSERT_EQ(Detach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
        EXPECT_EQ(Plus<1>::real, reinterpret_cast<PVOID>(form.function));
        EXPECT_EQ(Snapshot(reinterpret_cast<void*>(form.function)), before);
        EXPECT_EQ(ProtectionOf(reinterpret_cast<void*>(form.function)), protection);
        EXPECT_EQ(form.function(2, 3), form.expected);
    }
}

TEST(DetourTransaction, FollowsThunksAndPlantedJumpsToTheFunction) {
    SyntheticCode code;
    const Add function = code.Place<Add>(kMsvcrtBody);
    static Add cell;
    cell = function;
    Bytes thunk = {0xFF, 0x25, 0, 0, 0, 0};
    const Add* cellAddress = &cell;
    std::memcpy(thunk.data() + 2, &cellAddress, 4);
    const Add viaThunk = code.Place<Add>(thunk);
    Bytes planted = {0xE9, 0, 0, 0, 0};
    SyntheticCode::PutRel32(planted, 1, code.NextEntry(), reinterpret_cast<void*>(viaThunk));
    const Add viaJump = code.Place<Add>(planted);

    Plus<1>::real = reinterpret_cast<PVOID>(viaJump);
    ASSERT_EQ(Attach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
    EXPECT_EQ(function(2, 3), 1005);  // the function itself is hooked, not the jumps
    EXPECT_EQ(viaThunk(2, 3), 1005);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(viaThunk)[0], 0xFF);
    EXPECT_EQ(reinterpret_cast<Add>(Plus<1>::real)(2, 3), 5);
    ASSERT_EQ(Detach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
    EXPECT_EQ(Plus<1>::real, reinterpret_cast<PVOID>(viaJump));  // the value it held, not the function
    EXPECT_EQ(viaJump(2, 3), 5);
}

// A patch across a page boundary gives each page its own protection back.
TEST(DetourTransaction, PatchesAcrossPagesKeepEachPagesProtection) {
    auto* pages = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 2 * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    std::uint8_t* second = pages + 4096;
    const Add hotPatch = reinterpret_cast<Add>(second);  // filler on the first page
    std::memcpy(second - 5, kNops.data(), 5);
    std::memcpy(second, kHotPatchBody.data(), kHotPatchBody.size());
    const Add relocated = reinterpret_cast<Add>(second - 64 - 3);  // first instructions on both pages
    std::memcpy(second - 64 - 3, kMsvcrtBody.data(), kMsvcrtBody.size());
    DWORD previous = 0;
    VirtualProtect(pages, 4096, PAGE_EXECUTE_READWRITE, &previous);
    VirtualProtect(second, 4096, PAGE_EXECUTE_READ, &previous);

    for (const Add function : {hotPatch, relocated}) {
        Plus<1>::real = reinterpret_cast<PVOID>(function);
        ASSERT_EQ(Attach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
        EXPECT_EQ(function(2, 3), 1005);
        EXPECT_EQ(ProtectionOf(pages), static_cast<DWORD>(PAGE_EXECUTE_READWRITE));
        EXPECT_EQ(ProtectionOf(second), static_cast<DWORD>(PAGE_EXECUTE_READ));
        ASSERT_EQ(Detach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
        EXPECT_EQ(ProtectionOf(pages), static_cast<DWORD>(PAGE_EXECUTE_READWRITE));
        EXPECT_EQ(ProtectionOf(second), static_cast<DWORD>(PAGE_EXECUTE_READ));
    }
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(DetourTransaction, AbortAndFailedCommitsChangeNothing) {
    SyntheticCode code;
    const Add good = code.Place<Add>(kGdiBody);
    const Add hotPatched = code.Place<Add>(kHotPatchBody, kNops);
    const Add returnsEarly = code.Place<Add>({0x33, 0xC0, 0xC3});
    const Add doomed = code.Place<Add>(kMsvcrtBody);
    const Bytes goodBefore = Snapshot(reinterpret_cast<void*>(good));
    const Bytes hotBefore = Snapshot(reinterpret_cast<void*>(hotPatched));
    const DWORD protection = ProtectionOf(reinterpret_cast<void*>(good));
    auto unchanged = [&] {
        EXPECT_EQ(Snapshot(reinterpret_cast<void*>(good)), goodBefore);
        EXPECT_EQ(Snapshot(reinterpret_cast<void*>(hotPatched)), hotBefore);
        EXPECT_EQ(ProtectionOf(reinterpret_cast<void*>(good)), protection);
        EXPECT_EQ(Plus<1>::real, reinterpret_cast<PVOID>(good));
        EXPECT_EQ(Plus<2>::real, reinterpret_cast<PVOID>(hotPatched));
        EXPECT_EQ(good(2, 3), 5);
    };
    Plus<1>::real = reinterpret_cast<PVOID>(good);
    Plus<2>::real = reinterpret_cast<PVOID>(hotPatched);
    Plus<3>::real = reinterpret_cast<PVOID>(returnsEarly);

    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourAttach(&Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
    EXPECT_EQ(DetourAttach(&Plus<2>::real, reinterpret_cast<PVOID>(&Plus<2>::Detour)), NO_ERROR);
    EXPECT_EQ(DetourTransactionAbort(), NO_ERROR);
    unchanged();

    // One target that cannot be relocated sinks the whole transaction.
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourAttach(&Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
    EXPECT_EQ(DetourAttach(&Plus<3>::real, reinterpret_cast<PVOID>(&Plus<3>::Detour)), ERROR_INVALID_BLOCK);
    EXPECT_EQ(DetourAttach(&Plus<2>::real, reinterpret_cast<PVOID>(&Plus<2>::Detour)), NO_ERROR);
    EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_BLOCK);
    EXPECT_EQ(DetourTransactionAbort(), ERROR_INVALID_OPERATION);  // already closed: harmless
    unchanged();
    EXPECT_EQ(Plus<3>::real, reinterpret_cast<PVOID>(returnsEarly));

    // A target that stops being writable after the attach fails the commit
    // before anything is written.
    Plus<3>::real = reinterpret_cast<PVOID>(doomed);
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourAttach(&Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
    EXPECT_EQ(DetourAttach(&Plus<2>::real, reinterpret_cast<PVOID>(&Plus<2>::Detour)), NO_ERROR);
    EXPECT_EQ(DetourAttach(&Plus<3>::real, reinterpret_cast<PVOID>(&Plus<3>::Detour)), NO_ERROR);
    ASSERT_TRUE(VirtualFree(reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(doomed) & ~0xFFFu), 4096,
                            MEM_DECOMMIT));
    EXPECT_NE(DetourTransactionCommit(), NO_ERROR);
    unchanged();
    EXPECT_EQ(Plus<3>::real, reinterpret_cast<PVOID>(doomed));

    EXPECT_EQ(Attach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);  // still usable
    EXPECT_EQ(good(2, 3), 1005);
    EXPECT_EQ(Detach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
}

TEST(DetourTransaction, CallsOutOfTurnAreRefused) {
    SyntheticCode code;
    const Add function = code.Place<Add>(kMsvcrtBody);
    PVOID pointer = reinterpret_cast<PVOID>(function);
    const PVOID detour = reinterpret_cast<PVOID>(&Plus<1>::Detour);

    EXPECT_EQ(DetourAttach(&pointer, detour), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourDetach(&pointer, detour), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourUpdateThread(GetCurrentThread()), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourTransactionAbort(), ERROR_INVALID_OPERATION);

    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourTransactionBegin(), ERROR_INVALID_OPERATION);
    LONG otherBegin = NO_ERROR, otherAttach = NO_ERROR;
    std::thread([&] {
        otherBegin = DetourTransactionBegin();
        otherAttach = DetourAttach(&pointer, detour);
    }).join();
    EXPECT_EQ(otherBegin, ERROR_INVALID_OPERATION);
    EXPECT_EQ(otherAttach, ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourUpdateThread(GetCurrentThread()), NO_ERROR);  // itself: skipped
    EXPECT_EQ(DetourTransactionCommit(), NO_ERROR);

    // Bad arguments; the first error is what the commit reports.
    PVOID null = nullptr;
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourDetach(&pointer, detour), ERROR_INVALID_BLOCK);  // not hooked
    EXPECT_EQ(DetourAttach(nullptr, detour), ERROR_INVALID_HANDLE);
    EXPECT_EQ(DetourAttach(&null, detour), ERROR_INVALID_HANDLE);
    EXPECT_EQ(DetourAttach(&pointer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(DetourUpdateThread(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_BLOCK);
    EXPECT_EQ(pointer, reinterpret_cast<PVOID>(function));

    ASSERT_EQ(Attach(pointer, detour), NO_ERROR);
    EXPECT_EQ(Detach(pointer, reinterpret_cast<PVOID>(&Plus<2>::Detour)), ERROR_INVALID_BLOCK);  // other detour
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourDetach(&pointer, detour), NO_ERROR);
    EXPECT_EQ(DetourDetach(&pointer, detour), ERROR_INVALID_OPERATION);  // queued twice
    EXPECT_EQ(DetourTransactionAbort(), NO_ERROR);
    EXPECT_EQ(Detach(pointer, detour), NO_ERROR);
}

// A second hook on a hooked function is refused, however it is reached; the
// first keeps working, and once detached the function can be hooked again.
TEST(DetourTransaction, HooksDoNotChain) {
    SyntheticCode code;
    for (const Add function : {code.Place<Add>(kGdiBody), code.Place<Add>(kHotPatchBody, kInt3s)}) {
        static Add cell;
        cell = function;
        Bytes thunk = {0xFF, 0x25, 0, 0, 0, 0};
        const Add* cellAddress = &cell;
        std::memcpy(thunk.data() + 2, &cellAddress, 4);
        const Add viaThunk = code.Place<Add>(thunk);

        Plus<1>::real = reinterpret_cast<PVOID>(function);
        ASSERT_EQ(Attach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
        const PVOID trampoline = Plus<1>::real;
        const Bytes hooked = Snapshot(reinterpret_cast<void*>(function));
        for (PVOID second : {reinterpret_cast<PVOID>(function), trampoline, reinterpret_cast<PVOID>(viaThunk)}) {
            Plus<2>::real = second;
            EXPECT_EQ(Attach(Plus<2>::real, reinterpret_cast<PVOID>(&Plus<2>::Detour)), ERROR_INVALID_OPERATION);
            EXPECT_EQ(Plus<2>::real, second);
        }
        EXPECT_EQ(Snapshot(reinterpret_cast<void*>(function)), hooked);
        EXPECT_EQ(function(2, 3), 1005);
        ASSERT_EQ(Detach(Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);

        // Twice in one transaction.
        Plus<2>::real = reinterpret_cast<PVOID>(function);
        ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
        EXPECT_EQ(DetourAttach(&Plus<1>::real, reinterpret_cast<PVOID>(&Plus<1>::Detour)), NO_ERROR);
        EXPECT_EQ(DetourAttach(&Plus<2>::real, reinterpret_cast<PVOID>(&Plus<2>::Detour)), ERROR_INVALID_OPERATION);
        EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_OPERATION);

        ASSERT_EQ(Attach(Plus<2>::real, reinterpret_cast<PVOID>(&Plus<2>::Detour)), NO_ERROR);
        EXPECT_EQ(Plus<2>::real, trampoline);  // the same trampoline again
        EXPECT_EQ(function(2, 3), 2005);
        ASSERT_EQ(Detach(Plus<2>::real, reinterpret_cast<PVOID>(&Plus<2>::Detour)), NO_ERROR);
    }
}

namespace {

using Spin = int(__fastcall*)(volatile LONG*);
PVOID g_spinReal = nullptr;
int __fastcall SpinDetour(volatile LONG* flag) { return reinterpret_cast<Spin>(g_spinReal)(flag) + 1000; }

struct Spinner {
    Spin entry;
    volatile LONG flag = 0;
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(void* self) {
        auto* s = static_cast<Spinner*>(self);
        return static_cast<DWORD>(s->entry(&s->flag));
    }
    std::uintptr_t Eip() const {
        SuspendThread(thread);
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(thread, &context);
        ResumeThread(thread);
        return context.Eip;
    }
    // Starts a thread in entry; true once it spins inside [from, from + size).
    bool Start(std::uintptr_t from, std::uintptr_t size) {
        thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
        for (int i = 0; i < 5000; ++i, Sleep(1)) {
            if (Eip() - from < size) return true;
        }
        return false;
    }
    // The thread's result; 0 when it does not end.
    DWORD Finish() {
        InterlockedExchange(&flag, 1);
        DWORD exitCode = 0;
        if (WaitForSingleObject(thread, 5000) != WAIT_OBJECT_0) TerminateThread(thread, 0);
        GetExitCodeThread(thread, &exitCode);
        CloseHandle(thread);
        return exitCode;
    }
};

}  // namespace

// Threads spinning in the bytes an attach replaces continue in the trampoline,
// and threads spinning in the trampoline go back on detach.
TEST(DetourTransaction, EnlistedThreadsAreMovedOutOfRewrittenBytes) {
    SyntheticCode code;
    // mov eax,[ecx]; test eax,eax; je -6 (all in the copy); mov eax,42; ret
    const Spin function = code.Place<Spin>({0x8B, 0x01, 0x85, 0xC0, 0x74, 0xFA, 0xB8, 0x2A, 0x00, 0x00, 0x00, 0xC3});
    const Bytes before = Snapshot(reinterpret_cast<void*>(function));
    const auto entry = reinterpret_cast<std::uintptr_t>(function);

    Spinner inFunction{function};
    ASSERT_TRUE(inFunction.Start(entry, 6));
    g_spinReal = reinterpret_cast<PVOID>(function);
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    ASSERT_EQ(DetourUpdateThread(inFunction.thread), NO_ERROR);
    ASSERT_EQ(DetourAttach(&g_spinReal, reinterpret_cast<PVOID>(&SpinDetour)), NO_ERROR);
    ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
    const auto trampoline = reinterpret_cast<std::uintptr_t>(g_spinReal);
    EXPECT_LT(inFunction.Eip() - trampoline, 10u);

    Spinner inTrampoline{reinterpret_cast<Spin>(g_spinReal)};
    ASSERT_TRUE(inTrampoline.Start(trampoline, 10));
    EXPECT_EQ(inFunction.Finish(), 42u);  // ran on in the trampoline, never through the detour

    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    ASSERT_EQ(DetourUpdateThread(inTrampoline.thread), NO_ERROR);
    ASSERT_EQ(DetourDetach(&g_spinReal, reinterpret_cast<PVOID>(&SpinDetour)), NO_ERROR);
    ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
    EXPECT_EQ(Snapshot(reinterpret_cast<void*>(function)), before);
    EXPECT_LT(inTrampoline.Eip() - entry, 6u);
    EXPECT_EQ(inTrampoline.Finish(), 42u);
}
