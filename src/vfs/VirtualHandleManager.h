// The virtual file handles of the process: packed files and pictures read
// whole, answered from memory by the handle hooks.
#pragma once

#include "vfs/VirtualFile.h"
#include "vfs/VirtualHandleTable.h"

namespace modroute {

class VirtualHandleManager : public VirtualHandleTable<VirtualFile> {
public:
    // The process-wide table; never destroyed, since hooks may still run
    // while the process's statics are torn down.
    static VirtualHandleManager& Instance();
};

}  // namespace modroute
