// A temporary folder for unit tests, removed with its contents at the end.
// Paths are UTF-8, so tests can use Chinese names.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "GameHarness.h"

namespace testsupport {

class TempDir {
public:
    explicit TempDir(const std::string& leaf = "")
        : m_path(leaf.empty() ? m_root.Path() : m_root.Path() + "\\" + leaf) {
        MakeFolders(m_path);
    }

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "\\" + relative; }

    // Writes a file below the folder, creating its parent folders.
    void Write(const std::string& relative, const std::string& bytes) const { WriteFile(*this / relative, bytes); }
    // A layout as one table of (path, bytes) rows.
    void Write(std::initializer_list<std::pair<std::string, std::string>> files) const {
        for (const auto& [relative, bytes] : files) Write(relative, bytes);
    }
    void MakeFolder(const std::string& relative) const { MakeFolders(*this / relative); }

    static void MakeFolders(const std::string& utf8Path) { gamerun::MakeFolders(utf8Path); }
    static void WriteFile(const std::string& utf8Path, const std::string& bytes) {
        gamerun::WriteFile(utf8Path, bytes);
    }
    static std::string ReadFile(const std::string& utf8Path) {
        std::string bytes;
        gamerun::ReadFile(utf8Path, bytes);
        return bytes;
    }

    // Sets a file's write time far back; Aged holds until someone writes or replaces the file.
    static void Age(const std::string& utf8Path) {
        HANDLE file = CreateFileW(gamerun::Widen(utf8Path).c_str(), FILE_WRITE_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME old{0, 0x01C00000};
        SetFileTime(file, nullptr, nullptr, &old), CloseHandle(file);
    }
    static bool Aged(const std::string& utf8Path) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        return GetFileAttributesExW(gamerun::Widen(utf8Path).c_str(), GetFileExInfoStandard, &data) &&
               data.ftLastWriteTime.dwHighDateTime == 0x01C00000 && data.ftLastWriteTime.dwLowDateTime == 0;
    }

private:
    gamerun::TempFolder m_root;
    std::string m_path;
};

}  // namespace testsupport
