// The two MOD system stages that the entry points and threads run.
#pragma once

namespace modroute {

class ModSystem {
public:
    // Installs the file hooks; true when they are in place. The first
    // installation that succeeds runs the character step after it.
    static bool EarlyInitialize();
    // Counts the characters and patches the page buttons, unless done: after
    // the first installation, and again at the first AVIFileInit for a game
    // whose code is complete only then.
    static void CharacterStep();
    // The configuration's full initialisation, then AutoRes once, after the
    // first one that succeeds; false when the full initialisation failed.
    static bool FullConfiguration();
    // Full configuration, then the redirector's full context, then the
    // selected mod's resource rules.
    static bool FullInitialize();
};

}  // namespace modroute
