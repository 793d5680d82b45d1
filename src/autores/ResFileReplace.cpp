#include "autores/ResFileReplace.h"

#include <windows.h>

#include "common/SystemScope.h"
#include "common/TextEncoding.h"

namespace modroute {
namespace {

bool WriteNewFile(const std::wstring& path, std::span<const std::uint8_t> bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) &&
             written > 0;
        done += written;
    }
    // The data must be on disk before the name points at it.
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    if (!ok) DeleteFileW(path.c_str());
    return ok;
}

bool IsReadOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

std::string TemporaryResPath(const std::string& resPath) { return resPath + ".new"; }

bool ReplaceResFile(const std::string& resPath, std::span<const std::uint8_t> bytes) {
    const SystemScope scope;
    const std::wstring target = Utf8ToWide(resPath);
    const std::wstring temporary = Utf8ToWide(TemporaryResPath(resPath));
    if (target.empty() || temporary.empty()) return false;
    // Someone made the index, or a file where the new one goes, read-only:
    // not ours to replace (the system may not stop us: Wine as root does not).
    if (IsReadOnly(target) || IsReadOnly(temporary)) return false;
    if (!WriteNewFile(temporary, bytes)) return false;
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace modroute
