// The replacements that open, probe or load by name. Each asks the redirector
// where the request is served from and opens that instead; a request found
// nowhere, or not the redirector's to change, is passed on with the caller's
// own arguments, byte for byte. A read whose answer cannot be opened because
// the file is no longer there is tried once more where the disk serves it
// now. Only reads are resolved: a write goes where the game asked, so no
// mod's or base's file ever changes, and the redirector then forgets the
// path's answer, so the game reads back what it wrote. A path that code page
// 936 cannot hold is opened through the wide-character function, so nothing
// is lost.
#include <io.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "common/HookCall.h"
#include "common/TextEncoding.h"
#include "hooks/FileHooks.h"
#include "hooks/HookManager.h"
#include "hooks/OfferedHandle.h"
#include "hooks/RealFunctions.h"
#include "hooks/ServedFiles.h"
#include "redirect/ModRouter.h"
#include "redirect/PathRules.h"
#include "redirect/ResolvedOpen.h"
#include "vfs/VirtualFileHandles.h"
#include "vfs/VirtualHandleManager.h"

namespace modroute {
namespace {

// Never throws: a failure to resolve leaves the request as it is.
Answer ResolveGbk(const char* name) noexcept {
    try {
        return ModRouter::Instance().Resolve(name);
    } catch (...) {
        return nullptr;
    }
}

Answer ResolveWide(const wchar_t* name) noexcept {
    try {
        const std::string utf8 = WideToUtf8(name);
        if (utf8.empty()) return nullptr;
        return ModRouter::Instance().ResolveUtf8(utf8);
    } catch (...) {
        return nullptr;
    }
}

bool Redirects(const Answer& answer) { return answer && answer->Redirects(); }
bool IsVirtual(const Answer& answer) { return answer && answer->from == ServedFrom::Virtual; }

// A virtual handle for a packed file; INVALID_HANDLE_VALUE when the answer is
// no packed file or the file system cannot supply it after all (the caller
// then looks on disk).
HANDLE OpenPacked(const Answer& answer) {
    return IsVirtual(answer) ? CreateVirtualFileHandle(answer->path) : INVALID_HANDLE_VALUE;
}

std::wstring WidePath(const Resolution& answer) { return Utf8ToWide(answer.path); }

std::wstring WideMode(const char* mode) {
    std::wstring wide;
    for (const char* c = mode; *c != '\0'; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return wide;
}

HANDLE OpenAnswer(const Resolution& answer, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                  DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (answer.gbkExact) {
        return RealFunctions.CreateFileA(answer.gbkPath.c_str(), access, share, security, disposition, flags,
                                         templateFile);
    }
    return RealFunctions.CreateFileW(WidePath(answer).c_str(), access, share, security, disposition, flags,
                                     templateFile);
}

// Reads a redirected picture whole into a virtual handle, so the game's many
// small reads of it are served from memory. INVALID_HANDLE_VALUE when it
// cannot be read whole; the caller then opens it normally.
HANDLE OpenWholeIntoMemory(const Resolution& answer) {
    HANDLE file = OpenAnswer(answer, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    std::shared_ptr<std::vector<std::uint8_t>> data;
    const DWORD size = RealFunctions.GetFileSize(file, nullptr);
    bool complete = size != INVALID_FILE_SIZE;
    if (complete) {
        try {
            data = std::make_shared<std::vector<std::uint8_t>>(size);
        } catch (const std::bad_alloc&) {
            complete = false;
        }
    }
    DWORD done = 0;
    while (complete && done < size) {
        DWORD read = 0;
        if (!RealFunctions.ReadFile(file, data->data() + done, size - done, &read, nullptr) || read == 0) {
            complete = false;
        }
        done += read;
    }
    RealFunctions.CloseHandle(file);
    if (!complete) return INVALID_HANDLE_VALUE;
    try {
        return VirtualHandleManager::Instance().Open(std::make_shared<VirtualFile>(answer.path, std::move(data)));
    } catch (const std::bad_alloc&) {
        return INVALID_HANDLE_VALUE;
    }
}

// A write is never resolved; a write into what is there first gets the mod's
// or base's copy into the game folder (null when there is none to copy).
Answer CopyForUpdate(const HookCall& call, OpenIntent intent, const char* name) noexcept {
    if (intent != OpenIntent::Update) return nullptr;
    try {
        Answer copy = ModRouter::Instance().CopyForUpdate(name);
        call.RestoreLastError();
        return copy;
    } catch (...) {
        return nullptr;
    }
}

Answer CopyForUpdate(const HookCall& call, OpenIntent intent, const wchar_t* name) noexcept {
    if (intent != OpenIntent::Update) return nullptr;
    try {
        const std::string utf8 = WideToUtf8(name);
        Answer copy = utf8.empty() ? nullptr : ModRouter::Instance().CopyForUpdateUtf8(utf8);
        call.RestoreLastError();
        return copy;
    } catch (...) {
        return nullptr;
    }
}

// After an open that may have created, written or truncated the file: the
// path is the game's own from now on. The caller's error state stays.
template <typename Name>
void ForgetAfterOpen(Name name) noexcept {
    const DWORD error = GetLastError();
    const int crtError = errno;
    try {
        if constexpr (std::is_same_v<Name, const char*>) {
            ModRouter::Instance().Forget(name);
        } else {
            const std::string utf8 = WideToUtf8(name);
            if (!utf8.empty()) ModRouter::Instance().ForgetUtf8(utf8);
        }
    } catch (...) {
        // Out of memory: the answer stays as it was.
    }
    errno = crtError;
    SetLastError(error);
}

// What to open instead of an answer whose file is not there (a pack that no
// longer supplies it, a mod folder renamed away while the game runs): where
// the disk serves the request now, or, found nowhere now, the caller's own
// request as the game would open it. Null when that is what just failed; the
// caller then keeps its failure. Only reads fall back: a write must never
// land in another folder than the one it was sent to.
Answer Elsewhere(const Answer& failed, Answer (*onDisk)(const void*), const void* request) noexcept {
    if (!IsVirtual(failed) && !Redirects(failed)) return nullptr;
    const DWORD error = GetLastError();
    Answer fallback = onDisk(request);
    SetLastError(error);
    if (!fallback) return nullptr;
    if (Redirects(fallback)) return Redirects(failed) && fallback->path == failed->path ? nullptr : fallback;
    // A packed file that failed was already tried as the caller's own request.
    return Redirects(failed) ? fallback : nullptr;
}

Answer GbkOnDisk(const void* name) noexcept {
    try {
        return ModRouter::Instance().ResolveOnDisk(static_cast<const char*>(name));
    } catch (...) {
        return nullptr;
    }
}

Answer WideOnDisk(const void* name) noexcept {
    try {
        const std::string utf8 = WideToUtf8(static_cast<const wchar_t*>(name));
        if (utf8.empty()) return nullptr;
        return ModRouter::Instance().ResolveOnDiskUtf8(utf8);
    } catch (...) {
        return nullptr;
    }
}

// The fallback for a failed open of a request in code page 936 or UTF-16.
auto ElsewhereGbk(const char* name) {
    return [name](const Answer& failed) { return Elsewhere(failed, GbkOnDisk, name); };
}
auto ElsewhereWide(const wchar_t* name) {
    return [name](const Answer& failed) { return Elsewhere(failed, WideOnDisk, name); };
}

bool NotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool ModuleMissing(HMODULE module) { return module == nullptr && GetLastError() == ERROR_MOD_NOT_FOUND; }

// Offers a packed file's virtual handle to the run-time library's open that
// follows; an offer the library did not take is withdrawn and closed.
class PackedOpen {
public:
    explicit PackedOpen(const Resolution& answer) : m_handle(CreateVirtualFileHandle(answer.path)) {
        if (m_handle != INVALID_HANDLE_VALUE) OfferVirtualHandle(m_handle);
    }
    ~PackedOpen() {
        if (m_handle == INVALID_HANDLE_VALUE) return;
        HANDLE untaken = TakeOfferedVirtualHandle();
        if (untaken != INVALID_HANDLE_VALUE) VirtualHandleManager::Instance().Close(untaken);
    }
    PackedOpen(const PackedOpen&) = delete;
    PackedOpen& operator=(const PackedOpen&) = delete;
    bool Offered() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

}  // namespace

// A read served from elsewhere is opened as it is there (OPEN_EXISTING);
// OPEN_ALWAYS of a served file reports, as the system does, that it existed.
DWORD ServedError(DWORD disposition, HANDLE handle, DWORD error) {
    return disposition == OPEN_ALWAYS && handle != INVALID_HANDLE_VALUE ? ERROR_ALREADY_EXISTS : error;
}

HANDLE WINAPI HookedCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (name == nullptr || MustPassThrough()) {
        return RealFunctions.CreateFileA(name, access, share, security, disposition, flags, templateFile);
    }
    const HookCall call;
    const OpenIntent intent = IntentOfAccess(access, disposition);
    if (intent != OpenIntent::Read) {
        const Answer copy = CopyForUpdate(call, intent, name);
        HANDLE handle = copy ? OpenAnswer(*copy, access, share, security, disposition, flags, templateFile)
                             : RealFunctions.CreateFileA(name, access, share, security, disposition, flags, templateFile);
        ForgetAfterOpen(name);
        return handle;
    }
    const auto open = [&](const Answer& answer) {
        if (HANDLE packed = OpenPacked(answer); packed != INVALID_HANDLE_VALUE) {
            SetLastError(ServedError(disposition, packed, ERROR_SUCCESS));  // as the system leaves a successful open
            return packed;
        }
        if (Redirects(answer)) {
            if (IsReadWhole(answer->path)) {
                HANDLE whole = OpenWholeIntoMemory(*answer);
                if (whole != INVALID_HANDLE_VALUE) {
                    SetLastError(ServedError(disposition, whole, ERROR_SUCCESS));
                    return whole;
                }
            }
            call.RestoreLastError();
            HANDLE handle = OpenAnswer(*answer, access, share, security, OPEN_EXISTING, flags, templateFile);
            SetLastError(ServedError(disposition, handle, GetLastError()));
            return handle;
        }
        call.RestoreLastError();
        HANDLE handle = RealFunctions.CreateFileA(name, access, share, security, disposition, flags, templateFile);
        if (handle == INVALID_HANDLE_VALUE) SetLastError(MissingFileError(answer.get(), GetLastError()));
        if (disposition != OPEN_EXISTING) ForgetAfterOpen(name);  // it may have been created
        return handle;
    };
    const auto missing = [](HANDLE handle) { return handle == INVALID_HANDLE_VALUE && NotFound(GetLastError()); };
    return OpenResolved(ResolveGbk(name), open, missing, ElsewhereGbk(name));
}

HANDLE WINAPI HookedCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
    // The run-time library opening a packed file for fopen or _open.
    if (HANDLE offered = TakeOfferedVirtualHandle(); offered != INVALID_HANDLE_VALUE) return offered;
    if (name == nullptr || MustPassThrough() || IsScriptFile(name)) {
        return RealFunctions.CreateFileW(name, access, share, security, disposition, flags, templateFile);
    }
    const HookCall call;
    const OpenIntent intent = IntentOfAccess(access, disposition);
    if (intent != OpenIntent::Read) {
        const Answer copy = CopyForUpdate(call, intent, name);
        HANDLE handle = RealFunctions.CreateFileW(copy ? WidePath(*copy).c_str() : name, access, share, security,
                                                  disposition, flags, templateFile);
        ForgetAfterOpen(name);
        return handle;
    }
    const auto open = [&](const Answer& answer) {
        if (HANDLE packed = OpenPacked(answer); packed != INVALID_HANDLE_VALUE) {
            SetLastError(ServedError(disposition, packed, ERROR_SUCCESS));  // as the system leaves a successful open
            return packed;
        }
        if (!Redirects(answer)) {
            call.RestoreLastError();
            HANDLE handle = RealFunctions.CreateFileW(name, access, share, security, disposition, flags, templateFile);
            if (handle == INVALID_HANDLE_VALUE) SetLastError(MissingFileError(answer.get(), GetLastError()));
            if (disposition != OPEN_EXISTING) ForgetAfterOpen(name);
            return handle;
        }
        const std::wstring path = WidePath(*answer);
        call.RestoreLastError();
        HANDLE handle = RealFunctions.CreateFileW(path.c_str(), access, share, security, OPEN_EXISTING, flags, templateFile);
        SetLastError(ServedError(disposition, handle, GetLastError()));
        return handle;
    };
    const auto missing = [](HANDLE handle) { return handle == INVALID_HANDLE_VALUE && NotFound(GetLastError()); };
    return OpenResolved(ResolveWide(name), open, missing, ElsewhereWide(name));
}

namespace {

std::atomic<void (*)()> g_libraryLoaded{nullptr};

HMODULE LibraryNoticed(HMODULE module) noexcept {
    void (*const observer)() = g_libraryLoaded.load(std::memory_order_acquire);
    if (module == nullptr || observer == nullptr) return module;
    const DWORD error = GetLastError();
    try {
        observer();
    } catch (...) {
        // What the observer missed, it finds later by itself.
    }
    SetLastError(error);
    return module;
}

}  // namespace

void HookManager::SetLibraryLoadedObserver(void (*observer)()) {
    g_libraryLoaded.store(observer, std::memory_order_release);
}

// The library's own DllMain runs in the real LoadLibrary: that is the game's
// code, so only the resolution is the system's work, not the load.
HMODULE WINAPI HookedLoadLibraryA(LPCSTR name) {
    if (name == nullptr || MustPassThrough()) return RealFunctions.LoadLibraryA(name);
    const HookCall call;
    const auto load = [&](const Answer& answer) {
        std::wstring wide;
        if (Redirects(answer) && !answer->gbkExact) wide = WidePath(*answer);
        call.RestoreLastError();
        const OutsideSystemScope game;
        if (!Redirects(answer)) return RealFunctions.LoadLibraryA(name);
        if (answer->gbkExact) return RealFunctions.LoadLibraryA(answer->gbkPath.c_str());
        return RealFunctions.LoadLibraryW(wide.c_str());
    };
    return LibraryNoticed(OpenResolved(ResolveGbk(name), load, ModuleMissing, ElsewhereGbk(name)));
}

HMODULE WINAPI HookedLoadLibraryW(LPCWSTR name) {
    if (name == nullptr || MustPassThrough()) return RealFunctions.LoadLibraryW(name);
    const HookCall call;
    const auto load = [&](const Answer& answer) {
        const std::wstring path = Redirects(answer) ? WidePath(*answer) : std::wstring();
        call.RestoreLastError();
        const OutsideSystemScope game;
        return RealFunctions.LoadLibraryW(path.empty() ? name : path.c_str());
    };
    return LibraryNoticed(OpenResolved(ResolveWide(name), load, ModuleMissing, ElsewhereWide(name)));
}

// The run-time library's opens, one way for all three: a packed file through
// the handle offered to the library's own CreateFileW, a redirected file by
// its code-page-936 name or, when that cannot hold it, by the wide function,
// anything else as the caller asked. openNarrow takes the name to open, null
// for the caller's own.
template <typename OpenNarrow, typename OpenWide>
auto OpenForRuntime(const HookCall& call, const Answer& answer, OpenNarrow openNarrow, OpenWide openWide) {
    if (IsVirtual(answer)) {
        const PackedOpen packed(*answer);
        call.RestoreLastError();
        if (packed.Offered()) return openNarrow(nullptr);
    }
    call.RestoreLastError();
    if (!Redirects(answer)) return openNarrow(nullptr);
    if (answer->gbkExact) return openNarrow(answer->gbkPath.c_str());
    return openWide(WidePath(*answer));
}

// Every run-time library open: reads resolved, writes where the game asked
// (or into the copy made for them), and the path then the game's own.
template <typename OpenNarrow, typename OpenWide, typename Missing>
auto OpenThroughRuntime(const char* name, OpenIntent intent, OpenNarrow openNarrow, OpenWide openWide, Missing missing) {
    const HookCall call;
    if (intent != OpenIntent::Read) {
        const Answer copy = CopyForUpdate(call, intent, name);
        auto result = copy ? OpenForRuntime(call, copy, openNarrow, openWide) : openNarrow(nullptr);
        ForgetAfterOpen(name);
        return result;
    }
    const auto open = [&](const Answer& answer) { return OpenForRuntime(call, answer, openNarrow, openWide); };
    return OpenResolved(ResolveGbk(name), open, missing, ElsewhereGbk(name));
}

FILE* __cdecl HookedFopen(const char* name, const char* mode) {
    if (name == nullptr || mode == nullptr || MustPassThrough()) return RealFunctions.fopen(name, mode);
    return OpenThroughRuntime(
        name, IntentOfMode(mode), [&](const char* path) { return RealFunctions.fopen(path != nullptr ? path : name, mode); },
        [&](const std::wstring& path) { return _wfopen(path.c_str(), WideMode(mode).c_str()); },
        [](FILE* stream) { return stream == nullptr && errno == ENOENT; });
}

int __cdecl HookedFopenS(FILE** stream, const char* name, const char* mode) {
    if (stream == nullptr || name == nullptr || mode == nullptr || MustPassThrough()) {
        return RealFunctions.fopen_s(stream, name, mode);
    }
    return OpenThroughRuntime(
        name, IntentOfMode(mode),
        [&](const char* path) { return RealFunctions.fopen_s(stream, path != nullptr ? path : name, mode); },
        [&](const std::wstring& path) { return _wfopen_s(stream, path.c_str(), WideMode(mode).c_str()); },
        [](int result) { return result == ENOENT; });
}

int __cdecl HookedOpen(const char* name, int flags, int permission) {
    if (name == nullptr || MustPassThrough()) return RealFunctions._open(name, flags, permission);
    return OpenThroughRuntime(
        name, IntentOfFlags(flags),
        [&](const char* path) { return RealFunctions._open(path != nullptr ? path : name, flags, permission); },
        [&](const std::wstring& path) { return _wopen(path.c_str(), flags, permission); },
        [](int descriptor) { return descriptor < 0 && errno == ENOENT; });
}

}  // namespace modroute
