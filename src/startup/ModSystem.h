// The two MOD system stages that the entry points and threads run.
#pragma once

namespace modroute {

class ModSystem {
public:
    // Installs the file hooks; true when they are in place.
    static bool EarlyInitialize();
    // Full configuration, then the redirector's full context, then the
    // selected mod's resource rules.
    static bool FullInitialize();
};

}  // namespace modroute
