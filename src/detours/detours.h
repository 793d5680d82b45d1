// Function interception with the Microsoft Detours transaction interface, so a
// build can link the real library instead without touching any caller.
//
//     DetourTransactionBegin();
//     DetourUpdateThread(GetCurrentThread());
//     DetourAttach(&(PVOID&)Real_CreateFileA, Mine_CreateFileA);
//     if (DetourTransactionCommit() != NO_ERROR) DetourTransactionAbort();
//
// Every call returns a Win32 error code, NO_ERROR on success:
//   ERROR_INVALID_OPERATION  no transaction is open, or it belongs to another
//                            thread; Begin while one is open; the function is
//                            already hooked or queued in this transaction
//                            (see below); a detach queued twice.
//   ERROR_INVALID_HANDLE     a null pointer-to-pointer, a null function
//                            pointer, or a thread handle that names no thread.
//   ERROR_INVALID_PARAMETER  a null detour.
//   ERROR_INVALID_BLOCK      the function's first instructions cannot be moved
//                            safely (ret, int3, loop/jecxz, a jump into the
//                            middle of them, unknown opcodes, unreadable code),
//                            or a detach whose pointer is no trampoline of this
//                            engine or whose detour differs from the attach.
//   ERROR_NOT_ENOUGH_MEMORY  no memory for trampolines or bookkeeping.
//   Commit also returns the error of a VirtualProtect or SuspendThread that
//   fails; nothing has been written then.
//
// A failing Attach, Detach or UpdateThread also marks the transaction failed:
// Commit then changes nothing, closes the transaction and returns the first
// error. A later Abort returns ERROR_INVALID_OPERATION and does nothing.
//
// Behaviour worth knowing:
// - The pointer given to Attach may lead to the function through import
//   thunks (jmp [abs32]) or planted jumps (jmp rel32/rel8); the function at
//   the end of that chain is hooked. Detach gives the pointer back the value
//   it held before the Attach.
// - A function starting with `mov edi,edi` under five bytes of nop or int3
//   filler is switched with one atomic two-byte store, so threads that were
//   not passed to DetourUpdateThread are safe; its trampoline is entry + 2.
//   Any other function gets a jmp rel32 over its first instructions, which
//   run relocated in the trampoline; threads that may be executing it must be
//   passed to DetourUpdateThread.
// - Hooks do not chain: attaching a function that this engine has already
//   hooked (or its trampoline) is refused with ERROR_INVALID_OPERATION and
//   leaves the existing hook as it is. Detach it first.
// - Trampoline memory is kept for the life of the process (a thread may still
//   hold a trampoline's address after the detach); hooking the same function
//   again reuses its trampoline.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

LONG WINAPI DetourTransactionBegin(VOID);
LONG WINAPI DetourTransactionAbort(VOID);
LONG WINAPI DetourTransactionCommit(VOID);
LONG WINAPI DetourUpdateThread(HANDLE hThread);
LONG WINAPI DetourAttach(PVOID* ppPointer, PVOID pDetour);
LONG WINAPI DetourDetach(PVOID* ppPointer, PVOID pDetour);

#ifdef __cplusplus
}
#endif
