// Exported path functions: other code in the game process asks how the game's
// paths resolve. Plain C calling convention, undecorated names.
#include <string>

#include "redirect/ModRouter.h"

extern "C" {

// The pointer stays valid until the calling thread's next call: each thread
// has its own result, so callers on different threads never overwrite each
// other's answer while it is being read.
const char* ResolvePath(const char* path) {
    thread_local std::string result;
    result = modroute::ModRouter::Instance().ResolveFilePath(path != nullptr ? path : "");
    return result.c_str();
}

bool ShouldRedirect(const char* path) {
    return modroute::ModRouter::Instance().ShouldRedirect(path != nullptr ? path : "");
}

}  // extern "C"
