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
//                            thread; Begin while one of a live thread is open
//                            (one whose thread has ended is dropped, with
//                            all it queued, and Begin goes on); the function is
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
//   Commit also returns the error of a VirtualProtect, SuspendThread or
//   GetThreadContext that fails; nothing has been written then.
//
// A failing Attach, Detach or UpdateThread also marks the transaction failed:
// Commit then changes nothing, closes the transaction and returns the first
// error. A later Abort returns ERROR_INVALID_OPERATION and does nothing.
//
// Behaviour worth knowing:
// - The pointer given to Attach may lead to the function through an import
//   thunk (jmp [abs32]) or a short jump (jmp rel8), and a jmp rel32 right
//   after one of those; the function at the end of that chain is hooked. A
//   function that starts with jmp rel32 is hooked at its own entry, so a body
//   it tail-calls, which other functions may share, stays untouched. Detach
//   gives the pointer back the value it held before the Attach.
// - A function starting with `mov edi,edi` under five bytes of nop or int3
//   filler is switched with one atomic two-byte store, so an attach is safe
//   for threads that were not enlisted. Its detach is not when the filler is
//   int3: a thread that took the short jump but not yet the long one would
//   meet the restored breakpoints. Its trampoline is entry + 2.
//   Any other function gets a jmp rel32 over its first instructions, which
//   run relocated in the trampoline; threads that may be executing it must be
//   enlisted, for attach and detach alike.
// - A transaction that runs while other threads of the process run should
//   enlist them all: DetourUpdateAllOtherThreads (DetourAllThreads.h). A handle given
//   to DetourUpdateThread needs THREAD_SUSPEND_RESUME, THREAD_GET_CONTEXT and
//   THREAD_SET_CONTEXT; a thread that exits before the commit stops it is
//   left out, not an error.
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
// As Commit; when it fails, *pppFailedPointer (when given) receives the
// pointer passed to the Attach or Detach that failed first, or null when
// the failure was no single hook's (a thread, a system call).
LONG WINAPI DetourTransactionCommitEx(PVOID** pppFailedPointer);
LONG WINAPI DetourUpdateThread(HANDLE hThread);
LONG WINAPI DetourAttach(PVOID* ppPointer, PVOID pDetour);
LONG WINAPI DetourDetach(PVOID* ppPointer, PVOID pDetour);

// A short English text for each code these functions return.
const char* WINAPI DetourErrorText(LONG error);

#ifdef __cplusplus
}
#endif
