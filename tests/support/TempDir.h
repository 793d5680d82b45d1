// A temporary folder for unit tests, removed with its contents at the end.
// Paths are UTF-8, so tests can use Chinese names.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <string>

#include "common/TextEncoding.h"

namespace testsupport {

class TempDir {
public:
    explicit TempDir(const std::string& leaf = "") {
        static std::atomic<int> counter{0};
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_root = modroute::WideToUtf8(temp) + "modroute-unit-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(counter++);
        Remove(m_root);
        CreateDirectoryW(modroute::Utf8ToWide(m_root).c_str(), nullptr);
        m_path = leaf.empty() ? m_root : m_root + "\\" + leaf;
        MakeFolders(m_path);
    }
    ~TempDir() { Remove(m_root); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "\\" + relative; }

    // Writes a file below the folder, creating its parent folders.
    void Write(const std::string& relative, const std::string& bytes) const { WriteFile(*this / relative, bytes); }
    void MakeFolder(const std::string& relative) const { MakeFolders(*this / relative); }

    static void MakeFolders(const std::string& utf8Path) {
        const std::wstring path = modroute::Utf8ToWide(utf8Path);
        for (std::size_t i = 3; i <= path.size(); ++i) {
            if (i == path.size() || path[i] == L'\\' || path[i] == L'/') {
                CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
            }
        }
    }

    static void WriteFile(const std::string& utf8Path, const std::string& bytes) {
        const std::size_t separator = utf8Path.find_last_of("\\/");
        if (separator != std::string::npos) MakeFolders(utf8Path.substr(0, separator));
        HANDLE file = CreateFileW(modroute::Utf8ToWide(utf8Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    static std::string ReadFile(const std::string& utf8Path) {
        HANDLE file = CreateFileW(modroute::Utf8ToWide(utf8Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return {};
        std::string bytes(GetFileSize(file, nullptr), '\0');
        DWORD read = 0;
        ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        CloseHandle(file);
        bytes.resize(read);
        return bytes;
    }

private:
    static void Remove(const std::string& utf8Path) {
        std::wstring list = modroute::Utf8ToWide(utf8Path);
        list.push_back(L'\0');
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = list.c_str();
        operation.fFlags = FOF_NO_UI;
        SHFileOperationW(&operation);
    }

    std::string m_root;
    std::string m_path;
};

}  // namespace testsupport
