// Our addition to the Detours interface: enlisting every other thread of the
// process in the open transaction, as a library changing code under a
// running game must (MinHook freezes them all the same way).
//
//     DetourTransactionBegin();
//     DetourUpdateAllOtherThreads();
//     DetourDetach(&(PVOID&)Real_CreateFileA, Mine_CreateFileA);
//     DetourTransactionCommit();
//
// Each thread seen in a snapshot of the process's threads is opened and
// enlisted as DetourUpdateThread would; the handles are closed when the
// transaction ends, by commit or abort. A thread that ends before it is
// opened is left out, as is one that ends while the commit suspends it.
// Threads started after the call are not enlisted. The calling thread and
// threads already enlisted are skipped, so calling it twice is harmless.
//
// Returns NO_ERROR, ERROR_INVALID_OPERATION when the calling thread has no
// transaction open, ERROR_NOT_ENOUGH_MEMORY, or the error of the snapshot;
// a failure marks the transaction failed, as for DetourUpdateThread.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

LONG WINAPI DetourUpdateAllOtherThreads(VOID);

#ifdef __cplusplus
}
#endif
