#include "config/ConfigFiles.h"

#include <windows.h>

#include "common/TextEncoding.h"

namespace modroute {
namespace {

std::optional<std::string> ReadOpenFile(HANDLE file) {
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::string> result;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
        static_cast<unsigned long long>(size.QuadPart) <= kMaxConfigFileBytes) {
        std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
        std::size_t done = 0;
        bool ok = true;
        while (done < bytes.size()) {
            DWORD read = 0;
            if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr)) {
                ok = false;
                break;
            }
            if (read == 0) break;  // the file shrank while being read
            done += read;
        }
        if (ok) {
            bytes.resize(done);
            result = std::move(bytes);
        }
    }
    CloseHandle(file);
    return result;
}

// The manager program may hold the files open for writing.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::optional<std::string> ReadConfigFileUtf8Path(const std::string& utf8Path) {
    const std::wstring wide = Utf8ToWide(utf8Path);
    if (wide.empty()) return std::nullopt;
    return ReadOpenFile(CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::optional<std::string> ReadConfigFileAnsiPath(const std::string& ansiPath) {
    if (ansiPath.empty()) return std::nullopt;
    return ReadOpenFile(CreateFileA(ansiPath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string Utf8ToAnsiStrict(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length) != length) {
        return {};
    }
    const int ansiLength = WideCharToMultiByte(kGameCodePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0) return {};
    std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
    if (WideCharToMultiByte(kGameCodePage, 0, wide.data(), length, ansi.data(), ansiLength, nullptr, nullptr) !=
        ansiLength) {
        return {};
    }
    return ansi;
}

}  // namespace modroute
