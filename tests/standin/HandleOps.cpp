// Operations of the stand-in game that exercise handles: every handle
// function on one open file, write opens, many real handles beside virtual
// ones, threads opening and reading at once, and unloading the AVI library.
#include "HandleOps.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace standin {
namespace {

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string ReadAll(HANDLE file, DWORD count) {
    std::string data(count, '\0');
    DWORD read = 0;
    if (!ReadFile(file, data.data(), count, &read, nullptr)) return "<fail " + std::to_string(GetLastError()) + ">";
    data.resize(read);
    return data;
}

// Real handles kept open across operations, to crowd the handle table.
std::vector<HANDLE>& KeptHandles() {
    static std::vector<HANDLE> handles;
    return handles;
}

}  // namespace

// Every handle function on one file opened for reading; one field per step.
std::string HandleOperations(const std::string& ansiPath) {
    HANDLE file = CreateFileA(ansiPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "fail\terror=" + std::to_string(GetLastError());
    std::ostringstream out;
    out << "ok\ttype=" << GetFileType(file);
    DWORD high = 77;
    const DWORD size = GetFileSize(file, &high);
    out << "\tsize=" << size << "/" << high;
    LARGE_INTEGER sizeEx = {};
    out << "\tsizeex=" << (GetFileSizeEx(file, &sizeEx) ? std::to_string(sizeEx.QuadPart) : "fail");
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileInformationByHandle(file, &info)) {
        out << "\tinfo=" << Hex(info.dwFileAttributes) << "," << info.nFileSizeLow << "," << info.nFileSizeHigh << ","
            << info.nNumberOfLinks;
    } else {
        out << "\tinfo=fail";
    }
    out << "\tread3=" << ReadAll(file, 3);
    LONG moveHigh = 5;
    out << "\tbegin+1000=" << SetFilePointer(file, 1000, &moveHigh, FILE_BEGIN) << "/" << moveHigh;
    out << "\tcur-2=" << SetFilePointer(file, -2, nullptr, FILE_CURRENT);
    out << "\tread2=" << ReadAll(file, 2);
    out << "\tend0=" << SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD atEnd = 99;
    char byte = 0;
    const BOOL endRead = ReadFile(file, &byte, 1, &atEnd, nullptr);
    out << "\tatend=" << endRead << "," << atEnd;
    out << "\tend-3=" << SetFilePointer(file, -3, nullptr, FILE_END);
    out << "\tread9=" << ReadAll(file, 9);
    out << "\tbegin0=" << SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    out << "\tcur-1=" << SetFilePointer(file, -1, nullptr, FILE_CURRENT);
    out << "\tbegin2=" << SetFilePointer(file, 2, nullptr, FILE_BEGIN);
    out << "\tend-4=" << SetFilePointer(file, -4, nullptr, FILE_END);
    out << "\tread1=" << ReadAll(file, 1);
    out << "\tclose=" << CloseHandle(file);
    SetLastError(0);
    const BOOL second = CloseHandle(file);
    out << "\tclose2=" << second << "," << GetLastError();
    return out.str();
}

// Opens for writing, as the game saves a file; the file is where the game asked.
std::string WriteOpen(const std::string& ansiPath) {
    HANDLE file = CreateFileA(ansiPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return "fail\terror=" + std::to_string(GetLastError());
    DWORD written = 0;
    WriteFile(file, "written by the game", 19, &written, nullptr);
    CloseHandle(file);
    return "ok";
}

// Opens count real handles (events) and keeps them open.
std::string KeepRealHandles(int count) {
    for (int i = 0; i < count; ++i) {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr) return "fail\tafter " + std::to_string(i);
        KeptHandles().push_back(event);
    }
    return "ok\tkept=" + std::to_string(KeptHandles().size());
}

// Opens the file count times at once (virtual handles for a redirected
// picture), then opens and closes real handles in between: no real handle may
// ever equal a virtual one that is open.
std::string VirtualBesideReal(int count, const std::string& ansiPath) {
    std::set<HANDLE> real(KeptHandles().begin(), KeptHandles().end());
    std::vector<HANDLE> opened;
    int collisions = 0;
    for (int i = 0; i < count; ++i) {
        HANDLE file = CreateFileA(ansiPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "fail\topen " + std::to_string(i);
        if (real.count(file) != 0) ++collisions;
        opened.push_back(file);
        // A fresh real handle now and then: never one of the open virtual values.
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        for (HANDLE v : opened) collisions += v == event ? 1 : 0;
        CloseHandle(event);
    }
    int readable = 0;
    for (HANDLE file : opened) {
        char head[4] = {};
        DWORD read = 0;
        if (ReadFile(file, head, 4, &read, nullptr) && read == 4) ++readable;
        CloseHandle(file);
    }
    return "ok\tcollisions=" + std::to_string(collisions) + "\treadable=" + std::to_string(readable) + "\tdistinct=" +
           std::to_string(std::set<HANDLE>(opened.begin(), opened.end()).size());
}

// threads threads open and read each path rounds times. Per path, the
// contents seen in order of first appearance, and how often a thread saw an
// earlier content again after a later one (an answer that went stale).
std::string Stress(int threads, int rounds, const std::vector<std::string>& ansiPaths) {
    std::atomic<int> failures{0};
    std::atomic<int> regressions{0};
    std::mutex lock;
    std::vector<std::vector<std::string>> seen(ansiPaths.size());
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            std::vector<std::vector<std::string>> mine(ansiPaths.size());
            for (int round = 0; round < rounds; ++round) {
                for (std::size_t p = 0; p < ansiPaths.size(); ++p) {
                    HANDLE file = CreateFileA(ansiPaths[p].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                    if (file == INVALID_HANDLE_VALUE) {
                        ++failures;
                        continue;
                    }
                    const std::string data = ReadAll(file, GetFileSize(file, nullptr));
                    CloseHandle(file);
                    std::vector<std::string>& order = mine[p];
                    const auto known = std::find(order.begin(), order.end(), data);
                    if (known == order.end()) {
                        order.push_back(data);
                    } else if (known + 1 != order.end()) {
                        ++regressions;
                    }
                }
            }
            std::lock_guard guard(lock);
            for (std::size_t p = 0; p < ansiPaths.size(); ++p) {
                for (const std::string& data : mine[p]) {
                    if (std::find(seen[p].begin(), seen[p].end(), data) == seen[p].end()) seen[p].push_back(data);
                }
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    std::string out = "ok\tfailures=" + std::to_string(failures.load()) + "\tregressions=" +
                      std::to_string(regressions.load());
    for (std::size_t p = 0; p < ansiPaths.size(); ++p) {
        out += "\tseen=";
        for (std::size_t i = 0; i < seen[p].size(); ++i) out += (i ? "|" : "") + seen[p][i];
    }
    return out;
}

}  // namespace standin
