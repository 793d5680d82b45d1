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

}  // namespace modroute
