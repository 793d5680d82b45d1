#include "hooks/OfferedHandle.h"

#include "common/TlsSlot.h"

namespace modroute {
namespace {

const TlsSlot g_offerSlot;

}  // namespace

void OfferVirtualHandle(HANDLE handle) { g_offerSlot.Set(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

HANDLE TakeOfferedVirtualHandle() {
    HANDLE offered = g_offerSlot.Get();
    if (offered != nullptr) g_offerSlot.Set(nullptr);
    return offered != nullptr ? offered : INVALID_HANDLE_VALUE;
}

}  // namespace modroute
