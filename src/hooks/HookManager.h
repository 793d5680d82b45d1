// Installs the file replacements over the nineteen functions the game opens,
// probes, reads and loads files with, in one hook-engine transaction, and
// removes them again in one.
#pragma once

namespace modroute {

class HookManager {
public:
    // True when every replacement is in place (or already was); false when
    // the transaction could not begin or commit, and then nothing changed.
    static bool Install();
    // Removes the replacements and forgets every virtual handle; true when
    // they are gone (or were not there). When the removal cannot commit, the
    // replacements stay in place and installed, and false comes back. The
    // library itself stays loaded either way once they were installed.
    static bool Uninstall();

    // Called after every library the game loads through the hooks, on the
    // game's thread (maybe under the loader lock: it must not wait for a
    // thread that may wait for that lock). The font hooks use it to hook a
    // library's font functions from the moment the game has it.
    static void SetLibraryLoadedObserver(void (*observer)());
};

}  // namespace modroute
