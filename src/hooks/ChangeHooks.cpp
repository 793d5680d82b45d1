// The game's own changes to its files and folders. Each is passed on to the
// real function as it is; then the redirector forgets the answers of every
// name the change touched, so the game's next open of such a name sees what
// the game itself left there.
#include <string>

#include "common/HookCall.h"
#include "common/TextEncoding.h"
#include "hooks/FileHooks.h"
#include "hooks/RealFunctions.h"
#include "redirect/ModRouter.h"

namespace modroute {
namespace {

void ForgetName(const char* name) {
    if (name != nullptr) ModRouter::Instance().Forget(name);
}

void ForgetName(const wchar_t* name) {
    if (name == nullptr) return;
    const std::string utf8 = WideToUtf8(name);
    if (!utf8.empty()) ModRouter::Instance().ForgetUtf8(utf8);
}

// Passes the call on as it is, then tells the redirector what it did; the
// caller sees the real call's result and last error.
template <typename Real, typename Tell>
BOOL ThenTell(Real real, Tell tell) {
    if (MustPassThrough()) return real();
    const HookCall call;
    call.RestoreLastError();
    const BOOL result = real();
    const DWORD error = GetLastError();
    try {
        tell(result);
    } catch (...) {
        // Out of memory: the redirector keeps what it knew before the call.
    }
    SetLastError(error);
    return result;
}

template <typename Name, typename Real>
BOOL Changed(Real real, Name first, Name second = nullptr) {
    return ThenTell(real, [&](BOOL) {
        ForgetName(first);
        ForgetName(second);
    });
}

// Relative names follow the game's current folder, as they do without us.
template <typename Real>
BOOL CurrentFolderMoved(Real real) {
    return ThenTell(real, [](BOOL moved) {
        if (moved) ModRouter::Instance().NoteCurrentFolder();
    });
}

}  // namespace

BOOL WINAPI HookedDeleteFileA(LPCSTR name) {
    return Changed([=] { return RealFunctions.DeleteFileA(name); }, name);
}
BOOL WINAPI HookedDeleteFileW(LPCWSTR name) {
    return Changed([=] { return RealFunctions.DeleteFileW(name); }, name);
}
BOOL WINAPI HookedMoveFileA(LPCSTR from, LPCSTR to) {
    return Changed([=] { return RealFunctions.MoveFileA(from, to); }, from, to);
}
BOOL WINAPI HookedMoveFileW(LPCWSTR from, LPCWSTR to) {
    return Changed([=] { return RealFunctions.MoveFileW(from, to); }, from, to);
}
BOOL WINAPI HookedMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    return Changed([=] { return RealFunctions.MoveFileExA(from, to, flags); }, from, to);
}
BOOL WINAPI HookedMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    return Changed([=] { return RealFunctions.MoveFileExW(from, to, flags); }, from, to);
}
BOOL WINAPI HookedCreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES security) {
    return Changed([=] { return RealFunctions.CreateDirectoryA(name, security); }, name);
}
BOOL WINAPI HookedCreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES security) {
    return Changed([=] { return RealFunctions.CreateDirectoryW(name, security); }, name);
}
BOOL WINAPI HookedRemoveDirectoryA(LPCSTR name) {
    return Changed([=] { return RealFunctions.RemoveDirectoryA(name); }, name);
}
BOOL WINAPI HookedRemoveDirectoryW(LPCWSTR name) {
    return Changed([=] { return RealFunctions.RemoveDirectoryW(name); }, name);
}

BOOL WINAPI HookedSetCurrentDirectoryA(LPCSTR name) {
    return CurrentFolderMoved([=] { return RealFunctions.SetCurrentDirectoryA(name); });
}
BOOL WINAPI HookedSetCurrentDirectoryW(LPCWSTR name) {
    return CurrentFolderMoved([=] { return RealFunctions.SetCurrentDirectoryW(name); });
}

}  // namespace modroute
