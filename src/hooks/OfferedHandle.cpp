#include "hooks/OfferedHandle.h"

namespace modroute {
namespace {

const DWORD g_offerSlot = TlsAlloc();

}  // namespace

void OfferVirtualHandle(HANDLE handle) {
    if (g_offerSlot == TLS_OUT_OF_INDEXES) return;
    const DWORD lastError = GetLastError();
    TlsSetValue(g_offerSlot, handle == INVALID_HANDLE_VALUE ? nullptr : handle);
    SetLastError(lastError);
}

HANDLE TakeOfferedVirtualHandle() {
    if (g_offerSlot == TLS_OUT_OF_INDEXES) return INVALID_HANDLE_VALUE;
    const DWORD lastError = GetLastError();
    HANDLE offered = TlsGetValue(g_offerSlot);
    if (offered != nullptr) TlsSetValue(g_offerSlot, nullptr);
    SetLastError(lastError);
    return offered != nullptr ? offered : INVALID_HANDLE_VALUE;
}

}  // namespace modroute
