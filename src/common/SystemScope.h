// Marks the calling thread as doing the system's own work. The file hooks hand
// every call made inside such a scope straight to the real function: the
// system's own reads (settings, description files, packs, disk probes) are
// never redirected, and a hook never re-enters itself when the function it
// calls reaches another hooked function internally (kernel32's CreateFileA and
// msvcrt's fopen both end in CreateFileW). Scopes nest; they cost one TLS
// access and leave the thread's last-error value alone.
#pragma once

namespace modroute {

class SystemScope {
public:
    SystemScope();
    ~SystemScope();
    SystemScope(const SystemScope&) = delete;
    SystemScope& operator=(const SystemScope&) = delete;

    // True while the calling thread is inside a scope.
    static bool Active();
};

// Leaves the thread's scopes until it goes: the real LoadLibrary of a hook
// runs the library's DllMain, which is the game's code, whose opens are the
// game's to redirect.
class OutsideSystemScope {
public:
    OutsideSystemScope();
    ~OutsideSystemScope();
    OutsideSystemScope(const OutsideSystemScope&) = delete;
    OutsideSystemScope& operator=(const OutsideSystemScope&) = delete;

private:
    unsigned long m_depth;
};

}  // namespace modroute
