#include <gtest/gtest.h>

#include <windows.h>

#include "detours/detours.h"
#include "unit/detours/SyntheticCode.h"

using namespace detourtest;

// Each form is hooked, runs the original through its trampoline and comes
// back byte for byte. Hooking one leaves every other alone, also the one a
// tail call leads to: an entry that is a jmp rel32 is hooked in place.
TEST(DetourTransaction, EveryEntryFormIsInterceptedAndRestoredExactly) {
    SyntheticCode code;
    const void* helper = code.Place(Hex("B8 64 00 00 00 C3"));  // returns 100
    Bytes callsHelper = Hex("E8 00 00 00 00 03 44 24 04 03 44 24 08 C3");
    SyntheticCode::Put(callsHelper, 1, code.NextEntry(), helper);
    const Add callsHelperFunction = code.Place<Add>(callsHelper);
    const Add msvcrt = code.Place<Add>(kMsvcrt);
    Bytes tailCall = Hex("E9 00 00 00 00");
    SyntheticCode::Put(tailCall, 1, code.NextEntry(), Ptr(msvcrt));
    const Add tail = code.Place<Add>(tailCall);
    struct Form {
        const char* name;
        Add function;
        int expected;  // for (2, 3)
        bool hotPatch = false;
        Add callsOn = nullptr;  // a hook on that one is seen here too
    } forms[] = {
        {"hot patch, nop filler", code.Place<Add>(kHotPatch, kNops), 5, true},
        {"msvcrt", msvcrt, 5},
        {"jmp rel32 to msvcrt", tail, 5, false, msvcrt},
        {"gdi32", code.Place<Add>(kGdi), 5},
        {"call rel32", callsHelperFunction, 105},
        {"je short out", code.Place<Add>(Hex("33 C0 74 03 40 40 40 03 44 24 04 03 44 24 08 C3")), 5},
        {"je short within", code.Place<Add>(Hex("33 C0 74 00 40 03 44 24 04 03 44 24 08 C3")), 6},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        const auto* entry = static_cast<const std::uint8_t*>(Ptr(form.function));
        const Bytes before = Snapshot(entry);
        const DWORD protection = ProtectionOf(entry);

        Tag<1>::real = Ptr(form.function);
        ASSERT_EQ(Change(true, Tag<1>::real, Tag<1>::Self()), NO_ERROR);
        for (const Form& other : forms) {
            const bool hooked = &other == &form || other.callsOn == form.function;
            EXPECT_EQ(other.function(2, 3), hooked ? other.expected * 10 + 1 : other.expected) << other.name;
        }
        EXPECT_EQ(reinterpret_cast<Add>(Tag<1>::real)(2, 3), form.expected);
        EXPECT_EQ(ProtectionOf(entry), protection);
        // Only a uniform filler may be written; the original then runs on from entry + 2.
        EXPECT_EQ(Tag<1>::real == entry + 2, form.hotPatch);

        ASSERT_EQ(Change(false, Tag<1>::real, Tag<1>::Self()), NO_ERROR);
        EXPECT_EQ(Tag<1>::real, Ptr(form.function));
        EXPECT_EQ(Snapshot(entry), before);
        EXPECT_EQ(ProtectionOf(entry), protection);
        EXPECT_EQ(form.function(2, 3), form.expected);
    }
}

// A transaction with a refused call commits nothing and names the first
// error and the pointer of the call that made it.
TEST(DetourTransaction, ARefusedCallCommitsNothing) {
    SyntheticCode code;
    const Add function = code.Place<Add>(kGdi);
    PVOID& pointer = Tag<1>::real;
    pointer = Ptr(function);
    EXPECT_EQ(DetourAttach(&pointer, Tag<1>::Self()), ERROR_INVALID_OPERATION);  // no transaction yet
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourAttach(&pointer, Tag<1>::Self()), NO_ERROR);
    EXPECT_EQ(DetourAttach(&pointer, nullptr), ERROR_INVALID_PARAMETER);
    Tag<3>::real = code.Place(Hex("33 C0 C3"));  // ret within the first five bytes
    EXPECT_EQ(DetourAttach(&Tag<3>::real, Tag<3>::Self()), ERROR_INVALID_BLOCK);
    PVOID* failed = nullptr;
    EXPECT_EQ(DetourTransactionCommitEx(&failed), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(failed, &pointer);
    EXPECT_EQ(function(2, 3), 5);
    EXPECT_EQ(pointer, Ptr(function));
    EXPECT_EQ(Change(false, pointer, Tag<1>::Self()), ERROR_INVALID_BLOCK);  // not hooked
}

DWORD WINAPI LeaveTransactionOpen(void* done) {
    while (DetourTransactionBegin() != NO_ERROR) Sleep(0);  // the other thread's may be open for a moment
    DetourAttach(&Tag<1>::real, Tag<1>::Self());
    return WaitForSingleObject(done, INFINITE);
}

// A transaction left open by a thread blocks others only while that thread
// lives; then the next Begin drops it with its queued attach.
TEST(DetourTransaction, ATransactionWhoseThreadEndedIsTakenOver) {
    SyntheticCode code;
    const Add function = code.Place<Add>(kGdi);
    Tag<1>::real = Ptr(function);
    const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE thread = CreateThread(nullptr, 0, LeaveTransactionOpen, done, 0, nullptr);
    while (DetourTransactionBegin() == NO_ERROR) DetourTransactionAbort();  // until the thread's is open
    SetEvent(done);
    WaitForSingleObject(thread, INFINITE);
    ASSERT_EQ(Change(true, Tag<1>::real, Tag<1>::Self()), NO_ERROR);
    EXPECT_EQ(function(2, 3), 51);
    EXPECT_EQ(Change(false, Tag<1>::real, Tag<1>::Self()), NO_ERROR);
    CloseHandle(thread), CloseHandle(done);
}
