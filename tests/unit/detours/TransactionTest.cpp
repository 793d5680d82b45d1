#include <gtest/gtest.h>

#include <windows.h>

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
    static PVOID Self() { return reinterpret_cast<PVOID>(&Detour); }
};

// The bodies return a + b. gdi32 form: lea ecx,[esp+4]; and esp,-16;
// push [ecx-4]; push ebp; mov ebp,esp; push ecx; mov eax,[ecx];
// add eax,[ecx+4]; pop ecx; leave; lea esp,[ecx-4]; ret
const Bytes kNops = Hex("90 90 90 90 90");
const Bytes kHotPatch = Hex("8B FF 55 8B EC 8B 45 08 03 45 0C 5D C3");
const Bytes kMsvcrt = Hex("55 89 E5 83 E4 F0 8B 45 08 03 45 0C C9 C3");
const Bytes kGdi = Hex("8D 4C 24 04 83 E4 F0 FF 71 FC 55 89 E5 51 8B 01 03 41 04 59 C9 8D 61 FC C3");

LONG Change(bool attach, PVOID& pointer, PVOID detour) {
    DetourTransactionBegin();
    const LONG queued = attach ? DetourAttach(&pointer, detour) : DetourDetach(&pointer, detour);
    const LONG committed = DetourTransactionCommit();
    return queued != NO_ERROR ? queued : committed;
}

void* Ptr(Add f) { return reinterpret_cast<void*>(f); }

}  // namespace

TEST(DetourTransaction, EveryEntryFormIsInterceptedAndRestoredExactly) {
    SyntheticCode code;
    const void* helper = code.Place(Hex("B8 64 00 00 00 C3"));  // returns 100
    Bytes callsHelper = Hex("E8 00 00 00 00 03 44 24 04 03 44 24 08 C3");
    SyntheticCode::Put(callsHelper, 1, code.NextEntry(), helper);
    const Add callsHelperFunction = code.Place<Add>(callsHelper);
    struct Form {
        const char* name;
        Add function;
        int expected;  // for (2, 3)
        bool hotPatch = false;
    } forms[] = {
        {"hot patch, nop filler", code.Place<Add>(kHotPatch, kNops), 5, true},
        {"hot patch, int3 filler", code.Place<Add>(kHotPatch, Hex("CC CC CC CC CC")), 5, true},
        {"mov edi,edi without filler", code.Place<Add>(kHotPatch, Hex("90 90 CC CC CC")), 5},
        {"msvcrt", code.Place<Add>(kMsvcrt), 5},
        {"gdi32", code.Place<Add>(kGdi), 5},
        {"call rel32", callsHelperFunction, 105},
        {"jmp short", code.Place<Add>(Hex("8B 44 24 04 EB 03 40 40 40 03 44 24 08 C3")), 5},
        {"je short out", code.Place<Add>(Hex("33 C0 74 03 40 40 40 03 44 24 04 03 44 24 08 C3")), 5},
        {"je short within", code.Place<Add>(Hex("33 C0 74 00 40 03 44 24 04 03 44 24 08 C3")), 6},
        {"je near", code.Place<Add>(Hex("33 C0 0F 84 01 00 00 00 40 03 44 24 04 03 44 24 08 C3")), 5},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        const auto* entry = static_cast<const std::uint8_t*>(Ptr(form.function));
        const Bytes before = Snapshot(entry);
        const DWORD protection = ProtectionOf(entry);
        ASSERT_EQ(form.function(2, 3), form.expected);

        Plus<1>::real = Ptr(form.function);
        ASSERT_EQ(Change(true, Plus<1>::real, Plus<1>::Self()), NO_ERROR);
        EXPECT_EQ(form.function(2, 3), form.expected + 1000);
        EXPECT_EQ(reinterpret_cast<Add>(Plus<1>::real)(2, 3), form.expected);
        EXPECT_EQ(ProtectionOf(entry), protection);
        EXPECT_EQ(Snapshot(entry)[form.hotPatch ? 3 : 8], 0xE9);  // the long jump, in the filler for a hot patch
        EXPECT_EQ(Plus<1>::real == entry + 2, form.hotPatch);  // a hot patch runs the original from entry + 2

        ASSERT_EQ(Change(false, Plus<1>::real, Plus<1>::Self()), NO_ERROR);
        EXPECT_EQ(Plus<1>::real, Ptr(form.function));
        EXPECT_EQ(Snapshot(entry), before);
        EXPECT_EQ(ProtectionOf(entry), protection);
        EXPECT_EQ(form.function(2, 3), form.expected);
    }
}

// A patch across a page boundary gives each page its own protection back.
TEST(DetourTransaction, PatchesAcrossPagesKeepEachPagesProtection) {
    auto* page = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 3 * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    std::uint8_t* const hotPatch = page + 4096;  // filler on the first page, entry on the second
    std::memcpy(hotPatch - 5, kNops.data(), 5);
    std::memcpy(hotPatch, kHotPatch.data(), kHotPatch.size());
    std::uint8_t* const relocated = page + 2 * 4096 - 3;  // jump on the second and third pages
    std::memcpy(relocated, kMsvcrt.data(), kMsvcrt.size());
    const DWORD protections[] = {PAGE_EXECUTE_READWRITE, PAGE_EXECUTE_READ, PAGE_EXECUTE_READWRITE};
    DWORD previous = 0;
    for (int i = 0; i < 3; ++i) VirtualProtect(page + i * 4096, 4096, protections[i], &previous);
    for (std::uint8_t* entry : {hotPatch, relocated}) {
        Plus<1>::real = entry;
        for (bool attach : {true, false}) {
            ASSERT_EQ(Change(attach, Plus<1>::real, Plus<1>::Self()), NO_ERROR);
            EXPECT_EQ(reinterpret_cast<Add>(entry)(2, 3), attach ? 1005 : 5);
            for (int i = 0; i < 3; ++i) EXPECT_EQ(ProtectionOf(page + i * 4096), protections[i]) << i;
        }
    }
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(DetourTransaction, AbortAndFailedCommitsChangeNothing) {
    SyntheticCode code;
    const Add functions[] = {code.Place<Add>(kGdi), code.Place<Add>(kHotPatch, kNops), code.Place<Add>(Hex("33 C0 C3")),
                             code.Place<Add>(kMsvcrt)};
    const Bytes before[] = {Snapshot(Ptr(functions[0])), Snapshot(Ptr(functions[1]))};
    const DWORD protection = ProtectionOf(Ptr(functions[0]));
    auto queue = [&](auto plus, int index, LONG expected) {
        using P = decltype(plus);
        P::real = Ptr(functions[index]);
        EXPECT_EQ(DetourAttach(&P::real, P::Self()), expected);
    };
    auto unchanged = [&] {
        EXPECT_EQ(Snapshot(Ptr(functions[0])), before[0]);
        EXPECT_EQ(Snapshot(Ptr(functions[1])), before[1]);
        EXPECT_EQ(ProtectionOf(Ptr(functions[0])), protection);
        EXPECT_EQ(Plus<1>::real, Ptr(functions[0]));
        EXPECT_EQ(Plus<2>::real, Ptr(functions[1]));
        EXPECT_EQ(functions[0](2, 3), 5);
    };

    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    queue(Plus<1>{}, 0, NO_ERROR);
    queue(Plus<2>{}, 1, NO_ERROR);
    EXPECT_EQ(DetourTransactionAbort(), NO_ERROR);
    unchanged();

    // One function that cannot be relocated sinks the whole transaction.
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    queue(Plus<1>{}, 0, NO_ERROR);
    queue(Plus<3>{}, 2, ERROR_INVALID_BLOCK);
    queue(Plus<2>{}, 1, NO_ERROR);
    EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_BLOCK);
    EXPECT_EQ(DetourTransactionAbort(), ERROR_INVALID_OPERATION);  // already closed: harmless
    unchanged();

    // One that stops being writable after the attach fails the commit before anything is written.
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    queue(Plus<1>{}, 0, NO_ERROR);
    queue(Plus<2>{}, 1, NO_ERROR);
    queue(Plus<3>{}, 3, NO_ERROR);
    ASSERT_TRUE(VirtualFree(Ptr(functions[3]), 4096, MEM_DECOMMIT));
    EXPECT_NE(DetourTransactionCommit(), NO_ERROR);
    unchanged();
    EXPECT_EQ(Plus<3>::real, Ptr(functions[3]));
}

TEST(DetourTransaction, CallsOutOfTurnAreRefused) {
    SyntheticCode code;
    PVOID pointer = code.Place(kMsvcrt);
    const PVOID original = pointer, detour = Plus<1>::Self();
    EXPECT_EQ(DetourAttach(&pointer, detour), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourDetach(&pointer, detour), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourUpdateThread(GetCurrentThread()), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourTransactionAbort(), ERROR_INVALID_OPERATION);

    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourTransactionBegin(), ERROR_INVALID_OPERATION);
    LONG other[2] = {};
    std::thread([&] { other[0] = DetourTransactionBegin(), other[1] = DetourAttach(&pointer, detour); }).join();
    EXPECT_EQ(other[0], ERROR_INVALID_OPERATION);
    EXPECT_EQ(other[1], ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourUpdateThread(GetCurrentThread()), NO_ERROR);  // itself: skipped
    EXPECT_EQ(DetourTransactionCommit(), NO_ERROR);

    PVOID null = nullptr;  // bad arguments; the commit reports the first error
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourDetach(&pointer, detour), ERROR_INVALID_BLOCK);  // not hooked
    EXPECT_EQ(DetourAttach(nullptr, detour), ERROR_INVALID_HANDLE);
    EXPECT_EQ(DetourAttach(&null, detour), ERROR_INVALID_HANDLE);
    EXPECT_EQ(DetourAttach(&pointer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(DetourUpdateThread(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_BLOCK);
    EXPECT_EQ(pointer, original);

    ASSERT_EQ(Change(true, pointer, detour), NO_ERROR);
    EXPECT_EQ(Change(false, pointer, Plus<2>::Self()), ERROR_INVALID_BLOCK);  // another detour
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourDetach(&pointer, detour), NO_ERROR);
    EXPECT_EQ(DetourDetach(&pointer, detour), ERROR_INVALID_OPERATION);  // queued twice
    EXPECT_EQ(DetourTransactionAbort(), NO_ERROR);
    EXPECT_EQ(Change(false, pointer, detour), NO_ERROR);
}

// A hook through an import thunk lands on the function. A second hook on a
// hooked function is refused however it is reached; the first keeps working,
// and once detached the function can be hooked again.
TEST(DetourTransaction, ThunksAreFollowedAndHooksDoNotChain) {
    SyntheticCode code;
    for (const Add function : {code.Place<Add>(kGdi), code.Place<Add>(kHotPatch, kNops)}) {
        static Add cell;
        cell = function;
        Bytes thunk = Hex("FF 25 00 00 00 00");  // jmp [cell]
        SyntheticCode::Put(thunk, 2, nullptr, &cell);
        const PVOID viaThunk = code.Place(thunk);

        Plus<1>::real = viaThunk;
        ASSERT_EQ(Change(true, Plus<1>::real, Plus<1>::Self()), NO_ERROR);
        EXPECT_EQ(function(2, 3), 1005);
        EXPECT_EQ(static_cast<const std::uint8_t*>(viaThunk)[0], 0xFF);  // the thunk itself is left alone
        const PVOID trampoline = Plus<1>::real;
        for (PVOID second : {Ptr(function), trampoline, viaThunk}) {
            Plus<2>::real = second;
            EXPECT_EQ(Change(true, Plus<2>::real, Plus<2>::Self()), ERROR_INVALID_OPERATION);
            EXPECT_EQ(Plus<2>::real, second);
        }
        EXPECT_EQ(function(2, 3), 1005);
        ASSERT_EQ(Change(false, Plus<1>::real, Plus<1>::Self()), NO_ERROR);
        EXPECT_EQ(Plus<1>::real, viaThunk);  // the value it held, not the function

        Plus<2>::real = Ptr(function);  // twice in one transaction
        ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
        EXPECT_EQ(DetourAttach(&Plus<1>::real, Plus<1>::Self()), NO_ERROR);
        EXPECT_EQ(DetourAttach(&Plus<2>::real, Plus<2>::Self()), ERROR_INVALID_OPERATION);
        EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_OPERATION);

        ASSERT_EQ(Change(true, Plus<2>::real, Plus<2>::Self()), NO_ERROR);
        EXPECT_EQ(Plus<2>::real, trampoline);  // the same trampoline again
        EXPECT_EQ(function(2, 3), 2005);
        ASSERT_EQ(Change(false, Plus<2>::real, Plus<2>::Self()), NO_ERROR);
    }
}

namespace {

using Spin = int(__fastcall*)(volatile LONG*);
PVOID g_spinReal = nullptr;
int __fastcall SpinDetour(volatile LONG* flag) { return reinterpret_cast<Spin>(g_spinReal)(flag) + 1000; }

// A thread running `entry` until its flag is set.
struct Spinner {
    Spin entry;
    volatile LONG flag = 0;
    HANDLE thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr);

    static DWORD WINAPI Run(void* self) {
        auto* s = static_cast<Spinner*>(self);
        return static_cast<DWORD>(s->entry(&s->flag));
    }
    bool SpinsIn(std::uintptr_t from, std::uintptr_t size) const {
        CONTEXT context{};
        for (int i = 0; i < 5000; ++i, Sleep(1)) {
            context.ContextFlags = CONTEXT_CONTROL;
            SuspendThread(thread);
            GetThreadContext(thread, &context);
            ResumeThread(thread);
            if (context.Eip - from < size) return true;
        }
        return false;
    }
    DWORD Finish() {  // the thread's result; 0 when it does not end
        InterlockedExchange(&flag, 1);
        DWORD exitCode = 0;
        if (WaitForSingleObject(thread, 5000) != WAIT_OBJECT_0) TerminateThread(thread, 0);
        GetExitCodeThread(thread, &exitCode);
        CloseHandle(thread);
        return exitCode;
    }
};

}  // namespace

// Threads spinning in the bytes an attach replaces go on in the trampoline,
// and threads spinning in the trampoline go back on detach.
TEST(DetourTransaction, EnlistedThreadsAreMovedOutOfRewrittenBytes) {
    SyntheticCode code;
    // mov eax,[ecx]; test eax,eax; je -6 (all copied); mov eax,42; ret
    const Spin function = code.Place<Spin>(Hex("8B 01 85 C0 74 FA B8 2A 00 00 00 C3"));
    const auto entry = reinterpret_cast<std::uintptr_t>(function);
    const Bytes before = Snapshot(reinterpret_cast<void*>(function));

    Spinner inFunction{function};
    ASSERT_TRUE(inFunction.SpinsIn(entry, 6));
    g_spinReal = reinterpret_cast<PVOID>(function);
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    ASSERT_EQ(DetourUpdateThread(inFunction.thread), NO_ERROR);
    ASSERT_EQ(DetourAttach(&g_spinReal, reinterpret_cast<PVOID>(&SpinDetour)), NO_ERROR);
    ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
    const auto trampoline = reinterpret_cast<std::uintptr_t>(g_spinReal);
    EXPECT_TRUE(inFunction.SpinsIn(trampoline, 10));

    Spinner inTrampoline{reinterpret_cast<Spin>(g_spinReal)};
    ASSERT_TRUE(inTrampoline.SpinsIn(trampoline, 10));
    EXPECT_EQ(inFunction.Finish(), 42u);  // never through the detour
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    ASSERT_EQ(DetourUpdateThread(inTrampoline.thread), NO_ERROR);
    ASSERT_EQ(DetourDetach(&g_spinReal, reinterpret_cast<PVOID>(&SpinDetour)), NO_ERROR);
    ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
    EXPECT_EQ(Snapshot(reinterpret_cast<void*>(function)), before);
    EXPECT_TRUE(inTrampoline.SpinsIn(entry, 6));
    EXPECT_EQ(inTrampoline.Finish(), 42u);
}
