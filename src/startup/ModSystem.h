// The two MOD system stages that the entry points and threads run.
#pragma once

namespace modroute {

class ModSystem {
public:
    // Installs the file hooks; true when they are in place.
    static bool EarlyInitialize();
    // Full configuration, then the full search path list.
    static bool FullInitialize();
};

}  // namespace modroute
