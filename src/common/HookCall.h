// What every file replacement does first. A call made while the thread does
// the system's own work (SystemScope), or once the process has begun to exit,
// passes straight to the real function. Any other call is a hook call: it
// runs as the system's own work, so whatever it calls passes through the
// other hooks.
#pragma once

#include <windows.h>

#include "common/SystemScope.h"

namespace modroute {

bool MustPassThrough();
// After this, every hook passes straight through: the process is exiting and
// the system's tables may already be gone.
void PassEverythingThrough();

class HookCall {
public:
    HookCall() : m_lastError(GetLastError()) {}
    HookCall(const HookCall&) = delete;
    HookCall& operator=(const HookCall&) = delete;

    // Gives the caller back the last-error value it had when it called: the
    // system's own probes must not show, neither before the real function
    // runs nor in an answer served without it.
    void RestoreLastError() const { SetLastError(m_lastError); }
    DWORD LastError() const { return m_lastError; }

private:
    DWORD m_lastError;
    SystemScope m_scope;
};

}  // namespace modroute
