#include "vfs/VirtualHandleManager.h"

namespace modroute {

VirtualHandleManager& VirtualHandleManager::Instance() {
    static VirtualHandleManager* instance = new VirtualHandleManager;
    return *instance;
}

}  // namespace modroute
