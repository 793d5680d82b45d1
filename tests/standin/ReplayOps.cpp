// The stand-in game replaying a recorded start: opens and whole reads,
// attribute queries and directory searches, each timed, summed by the
// category the plan gives it. Plan lines (UTF-8), fields separated by tabs:
//   open|attr|find  CATEGORY  PATH-OR-PATTERN
#include "ReplayOps.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "HandleCensus.h"

namespace standin {
namespace {

std::wstring Widen(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string ToAnsi(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    const int m = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), n, ansi.data(), m, nullptr, nullptr);
    return ansi;
}

enum class Kind { Open, Attr, Find };

struct Step {
    Kind kind;
    std::string category;
    std::string ansiPath;
};

struct Totals {
    long count = 0;
    double seconds = 0;
    unsigned long long bytes = 0;
};

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

// Bytes read, or -1 when the file could not be opened.
long long OpenAndRead(const std::string& ansiPath, std::vector<char>& buffer) {
    HANDLE file = CreateFileA(ansiPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    const DWORD size = GetFileSize(file, nullptr);
    if (buffer.size() < size) buffer.resize(size);
    long long total = 0;
    DWORD read = 0;
    while (total < size && ReadFile(file, buffer.data() + total, static_cast<DWORD>(size - total), &read, nullptr) &&
           read > 0) {
        total += read;
    }
    CloseHandle(file);
    return total;
}

bool Attributes(const std::string& ansiPath) { return GetFileAttributesA(ansiPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

long long Search(const std::string& ansiPattern) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(ansiPattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return -1;
    long long found = 0;
    do {
        ++found;
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return found;
}

// Wine leaves PrivateUsage at zero; the commit charge it does report is the
// same quantity on Windows.
SIZE_T PrivateBytes(const PROCESS_MEMORY_COUNTERS_EX& memory) {
    return memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
}

}  // namespace

std::string Replay(const std::string& planPath) {
    std::ifstream file(Widen(planPath).c_str(), std::ios::binary);
    if (!file) return "fail\tno plan";
    std::vector<Step> steps;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string kind, category, path;
        std::getline(fields, kind, '\t');
        std::getline(fields, category, '\t');
        std::getline(fields, path, '\t');
        if (path.empty()) continue;
        const Kind known = kind == "open" ? Kind::Open : kind == "attr" ? Kind::Attr : Kind::Find;
        steps.push_back({known, category, ToAnsi(path)});
    }

    std::map<std::string, Totals> totals;
    long failures = 0;
    std::vector<char> buffer(1 << 20);
    const double start = Now();
    for (const Step& step : steps) {
        const double before = Now();
        long long result = 0;
        switch (step.kind) {
            case Kind::Open: result = OpenAndRead(step.ansiPath, buffer); break;
            case Kind::Attr: result = Attributes(step.ansiPath) ? 0 : -1; break;
            case Kind::Find: result = Search(step.ansiPath); break;
        }
        Totals& category = totals[step.category];
        category.seconds += Now() - before;
        ++category.count;
        if (result < 0) {
            ++failures;
        } else if (step.kind == Kind::Open) {
            category.bytes += static_cast<unsigned long long>(result);
        }
    }
    const double elapsed = Now() - start;

    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    const HandleCensus handles = CountHandles();
    char text[160];
    std::snprintf(text, sizeof text, "ok\ttotal=%.4f\tfailures=%ld\tprivate=%lu\tpeak=%lu\thandles=%d", elapsed,
                  failures, static_cast<unsigned long>(PrivateBytes(memory) / 1024),
                  static_cast<unsigned long>(memory.PeakPagefileUsage / 1024), handles.total);
    std::string out = text;
    for (const auto& [name, category] : totals) {
        std::snprintf(text, sizeof text, "\t%s=%ld,%.4f,%llu", name.c_str(), category.count, category.seconds,
                      category.bytes);
        out += text;
    }
    return out;
}

}  // namespace standin
