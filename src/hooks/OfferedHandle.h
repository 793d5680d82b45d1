// A virtual handle that a run-time library open is about to receive. The
// library (msvcrt) opens a file with CreateFileW and wraps the handle it gets
// in its own stream or descriptor; to let fopen, fopen_s and _open read a
// packed file, their replacement offers the virtual handle, and the
// CreateFileW the library makes on the same thread takes it instead of
// opening anything. The offer is per thread and is taken at most once.
#pragma once

#include <windows.h>

namespace modroute {

void OfferVirtualHandle(HANDLE handle);
// The offered handle, or INVALID_HANDLE_VALUE when none is waiting; either way
// the thread has no offer afterwards.
HANDLE TakeOfferedVirtualHandle();

}  // namespace modroute
