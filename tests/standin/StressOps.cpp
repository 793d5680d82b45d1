// The mixed stress run of the stand-in game: game threads open and read
// files through every open function, query attributes, search folders, load
// and free libraries and create fonts, all at once, from the moment the
// library has attached, while its background threads bring the system up.
//
// Every answer is checked against the plan (StressPlan.h): it must be one the
// plan allows, and a thread must never see an answer from an earlier stage of
// the start-up after a later one. Once the system is fully up (the full
// initialisation has returned and every plan line gives its last answer), a
// warm-up round and the final rounds must give only last answers, and the
// process must hold exactly the handles it held after the warm-up: a leaked
// real handle shows at once, a leaked virtual handle as a new batch of
// reserved values (handles protected from closing).
#include "StressOps.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "EscapedBytes.h"
#include "HandleCensus.h"
#include "StressPlan.h"

namespace standin {
namespace {

std::wstring Widen(const std::string& utf8, UINT codePage = CP_UTF8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage = CP_UTF8) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

std::string GameFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return Narrow(folder.substr(0, folder.find_last_of(L"\\/")));
}

enum class Kind { Read, Attr, Find, LoadLib, Font };

struct Operation {
    Kind kind = Kind::Read;
    std::string line;  // as in the plan, for reports
    std::string argument;
    bool numbered = false;  // "{n}" in the argument: a path never asked before, each time
    std::string ansi;
    std::wstring wide;
    std::vector<std::string> answers;
    std::vector<std::optional<std::string>> contents;  // a read's tag answers, as bytes
};

std::optional<Kind> KindNamed(const std::string& name) {
    static const std::map<std::string, Kind> kinds = {
        {"read", Kind::Read}, {"attr", Kind::Attr}, {"find", Kind::Find}, {"loadlib", Kind::LoadLib}, {"font", Kind::Font}};
    const auto found = kinds.find(name);
    return found == kinds.end() ? std::nullopt : std::optional<Kind>(found->second);
}

bool LoadPlan(const std::string& path, std::vector<Operation>& plan) {
    std::ifstream file(Widen(path).c_str(), std::ios::binary);
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string kind, argument, answers;
        std::getline(fields, kind, '\t');
        std::getline(fields, argument, '\t');
        std::getline(fields, answers, '\t');
        const std::optional<Kind> known = KindNamed(kind);
        if (!known || answers.empty()) return false;
        Operation operation;
        operation.kind = *known;
        operation.line = kind + " " + argument;
        operation.argument = argument;
        operation.numbered = argument.find("{n}") != std::string::npos;
        operation.wide = Widen(argument);
        operation.ansi = Narrow(operation.wide, CP_ACP);
        std::istringstream list(answers);
        for (std::string answer; std::getline(list, answer, '|');) {
            operation.answers.push_back(answer);
            const bool tag = operation.kind == Kind::Read && answer != "missing" && answer[0] != '@';
            operation.contents.push_back(tag ? std::optional<std::string>(StressContent(answer)) : std::nullopt);
        }
        plan.push_back(std::move(operation));
    }
    return !plan.empty();
}

// Files of the game folder named by "@PATH" answers, read again whenever a
// read does not match what was read before (the system may write them).
class ReferenceFiles {
public:
    explicit ReferenceFiles(std::string gameFolder) : m_gameFolder(std::move(gameFolder)) {}
    bool Matches(const std::string& relative, const std::string& bytes) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto known = m_bytes.find(relative);
        if (known != m_bytes.end() && known->second == bytes) return true;
        std::optional<std::string> now = ReadNow(m_gameFolder + "\\" + relative);
        if (!now) return false;
        m_bytes[relative] = *now;
        return *now == bytes;
    }

private:
    // Through the hooks, but an absolute path is never redirected.
    static std::optional<std::string> ReadNow(const std::string& path) {
        HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::nullopt;
        std::string bytes;
        char buffer[65536];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
        CloseHandle(file);
        return bytes;
    }

    std::string m_gameFolder;
    std::mutex m_lock;
    std::map<std::string, std::string> m_bytes;
};

// What one operation saw: a read's bytes (nothing when the open failed), or
// the answer word of the other kinds.
struct Seen {
    std::optional<std::string> bytes;
    std::string word;
};

// Reads with the open function numbered api: CreateFileA, CreateFileW,
// fopen, _open, fopen_s.
std::optional<std::string> ReadWith(int api, const Operation& operation) {
    std::string data;
    char buffer[65536];
    switch (api % 5) {
        case 0:
        case 1: {
            HANDLE file = api % 5 == 0 ? CreateFileA(operation.ansi.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                       : CreateFileW(operation.wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) return std::nullopt;
            const DWORD size = GetFileSize(file, nullptr);
            DWORD read = 0;
            while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) data.append(buffer, read);
            CloseHandle(file);
            // A size that disagrees with the bytes is a wrong answer too.
            if (size != data.size()) data += "<size " + std::to_string(size) + ">";
            return data;
        }
        case 2:
        case 4: {
            FILE* stream = nullptr;
            if (api % 5 == 2) {
                stream = std::fopen(operation.ansi.c_str(), "rb");
            } else if (fopen_s(&stream, operation.ansi.c_str(), "rb") != 0) {
                stream = nullptr;
            }
            if (stream == nullptr) return std::nullopt;
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) data.append(buffer, n);
            std::fclose(stream);
            return data;
        }
        default: {
            const int fd = _open(operation.ansi.c_str(), _O_RDONLY | _O_BINARY);
            if (fd < 0) return std::nullopt;
            int n;
            while ((n = _read(fd, buffer, sizeof buffer)) > 0) data.append(buffer, static_cast<std::size_t>(n));
            _close(fd);
            return data;
        }
    }
}

std::string Attributes(const Operation& operation) {
    const DWORD attributes = GetFileAttributesA(operation.ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "missing";
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "dir" : "file";
}

std::string Search(const Operation& operation) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(operation.ansi.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return "missing";
    std::vector<std::string> names;
    do {
        const std::string name = Narrow(Widen(data.cFileName, CP_ACP));
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

std::string LoadAndFree(const Operation& operation, const std::string& gameFolder) {
    HMODULE module = LoadLibraryA(operation.ansi.c_str());
    if (module == nullptr) return "missing";
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    FreeLibrary(module);
    std::string loaded = Narrow(path);
    if (loaded.size() > gameFolder.size() && CompareStringOrdinal(Widen(loaded.substr(0, gameFolder.size())).c_str(), -1,
                                                                  Widen(gameFolder).c_str(), -1, TRUE) == CSTR_EQUAL) {
        loaded.erase(0, gameFolder.size() + 1);
    }
    return loaded;
}

// CreateFontA and CreateFontIndirectA by turns, as the game creates its fonts.
std::string CreateFontWith(int api, const Operation& operation) {
    HFONT font;
    if (api % 2 == 0) {
        font = CreateFontA(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, operation.ansi.c_str());
    } else {
        LOGFONTA logFont = {};
        logFont.lfHeight = -12;
        logFont.lfWeight = FW_BOLD;
        logFont.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(logFont.lfFaceName, operation.ansi.c_str(), LF_FACESIZE);
        font = CreateFontIndirectA(&logFont);
    }
    if (font == nullptr) return "fail";
    DeleteObject(font);
    return "ok";
}

enum class Phase { Race, WarmUp, Final };

class StressRun {
public:
    StressRun(std::vector<Operation> plan, std::string gameFolder)
        : m_plan(std::move(plan)), m_gameFolder(std::move(gameFolder)), m_references(m_gameFolder) {}

    // A numbered line's path with the thread's next number in it.
    static Operation Numbered(const Operation& operation, int thread, long long number) {
        Operation fresh = operation;
        std::string argument = operation.argument;
        argument.replace(argument.find("{n}"), 3, std::to_string(thread) + "_" + std::to_string(number));
        fresh.wide = Widen(argument);
        fresh.ansi = Narrow(fresh.wide, CP_ACP);
        return fresh;
    }

    Seen Perform(const Operation& operation, int api) {
        Seen seen;
        switch (operation.kind) {
            case Kind::Read: seen.bytes = ReadWith(api, operation); break;
            case Kind::Attr: seen.word = Attributes(operation); break;
            case Kind::Find: seen.word = Search(operation); break;
            case Kind::LoadLib: seen.word = LoadAndFree(operation, m_gameFolder); break;
            case Kind::Font: seen.word = CreateFontWith(api, operation); break;
        }
        return seen;
    }

    // Index of the plan's answer that was seen; -1 when none.
    int Match(const Operation& operation, const Seen& seen) {
        for (std::size_t i = 0; i < operation.answers.size(); ++i) {
            const std::string& answer = operation.answers[i];
            if (operation.kind != Kind::Read) {
                if (seen.word == answer) return static_cast<int>(i);
            } else if (answer == "missing") {
                if (!seen.bytes) return static_cast<int>(i);
            } else if (seen.bytes) {
                if (answer[0] == '@' ? m_references.Matches(answer.substr(1), *seen.bytes)
                                     : *seen.bytes == *operation.contents[i]) {
                    return static_cast<int>(i);
                }
            }
        }
        return -1;
    }

    // One thread's rounds of a phase; latest holds, per plan line, the stage
    // of the answer the thread saw last.
    void PlayRounds(Phase phase, int thread, std::vector<int>& latest, int rounds, ULONGLONG until) {
        std::uint32_t random = 2654435761u * static_cast<std::uint32_t>(thread + 1);
        int api = thread;
        std::vector<std::size_t> order(m_plan.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        for (int round = 0; round < rounds || GetTickCount64() < until; ++round) {
            for (std::size_t i = order.size(); i > 1; --i) {
                random = random * 1103515245u + 12345u;
                std::swap(order[i - 1], order[(random >> 8) % i]);
            }
            for (const std::size_t index : order) {
                const Operation& operation = m_plan[index];
                const Seen seen = operation.numbered ? Perform(Numbered(operation, thread, api), api) : Perform(operation, api);
                ++api;
                m_operations.fetch_add(1, std::memory_order_relaxed);
                const int stage = Match(operation, seen);
                const int last = static_cast<int>(operation.answers.size()) - 1;
                if (stage < 0) {
                    Report(m_wrong, "wrong", operation, seen);
                } else if (stage < latest[index]) {
                    Report(m_regressions, "regression", operation, seen);
                } else if (phase != Phase::Race && stage != last) {
                    Report(m_late, "late", operation, seen);
                }
                latest[index] = std::max(latest[index], stage);
            }
        }
    }

    // Waits until every plan line gives its last answer on this thread; the
    // first line that does not by the deadline, or empty.
    std::string Settle(ULONGLONG deadline) {
        for (;;) {
            std::string pending;
            for (const Operation& operation : m_plan) {
                const int last = static_cast<int>(operation.answers.size()) - 1;
                if (Match(operation, Perform(operation, 0)) != last) {
                    pending = operation.line;
                    break;
                }
            }
            if (pending.empty() || GetTickCount64() >= deadline) return pending;
            Sleep(50);
        }
    }

    std::size_t PlanSize() const { return m_plan.size(); }

    std::string Summary() const {
        std::string out = "operations=" + std::to_string(m_operations.load()) + "\twrong=" + std::to_string(m_wrong.load()) +
                          "\tregressions=" + std::to_string(m_regressions.load()) + "\tlate=" + std::to_string(m_late.load());
        for (const std::string& detail : m_details) out += "\t" + detail;
        return out;
    }

private:
    void Report(std::atomic<int>& counter, const char* what, const Operation& operation, const Seen& seen) {
        counter.fetch_add(1, std::memory_order_relaxed);
        std::lock_guard<std::mutex> guard(m_detailLock);
        if (m_details.size() >= 6) return;
        const std::string got = operation.kind != Kind::Read ? seen.word
                                : seen.bytes                 ? EscapedBytes(*seen.bytes, 60)
                                                             : "missing";
        m_details.push_back(std::string(what) + "=" + operation.line + " -> " + got);
    }

    std::vector<Operation> m_plan;
    std::string m_gameFolder;
    ReferenceFiles m_references;
    std::atomic<long long> m_operations{0};
    std::atomic<int> m_wrong{0};
    std::atomic<int> m_regressions{0};
    std::atomic<int> m_late{0};
    std::mutex m_detailLock;
    std::vector<std::string> m_details;
};

// The library's full initialisation, on this thread; it returns once the
// library's own run of it has finished.
bool InitializeFully() {
    HMODULE library = GetModuleHandleA("AVIFIL32.dll");
    if (library == nullptr) return false;
    const auto initialize = reinterpret_cast<bool (*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitializeTavrenModSystem")));
    return initialize != nullptr && initialize();
}

// Threads meeting between phases. std::barrier of this toolchain's library
// loses a wake-up now and then (every thread left waiting), so a plain one.
class PhaseBarrier {
public:
    explicit PhaseBarrier(int parties) : m_parties(parties) {}

    void ArriveAndWait() {
        std::unique_lock lock(m_lock);
        const long long phase = m_phase;
        if (++m_arrived == m_parties) {
            m_arrived = 0;
            ++m_phase;
            m_changed.notify_all();
            return;
        }
        m_changed.wait(lock, [&] { return m_phase != phase; });
    }

private:
    const int m_parties;
    int m_arrived = 0;
    long long m_phase = 0;
    std::mutex m_lock;
    std::condition_variable m_changed;
};

}  // namespace

std::string MixedStress(int threads, int rounds, int minimumMs, int finalRounds, const std::string& planPath) {
    const ULONGLONG start = GetTickCount64();
    const std::string gameFolder = GameFolder();
    std::vector<Operation> plan;
    if (threads < 1 || !LoadPlan(gameFolder + "\\" + planPath, plan)) return "fail\tno plan";
    StressRun run(std::move(plan), gameFolder);

    // Phases start and end together: the main thread settles and counts
    // handles between them while the game threads wait, alive, and in the
    // same wait at both counts (a waiting thread may hold a handle of its own).
    PhaseBarrier phase(threads + 1);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            std::vector<int> latest(run.PlanSize(), -1);
            run.PlayRounds(Phase::Race, t, latest, rounds, start + static_cast<ULONGLONG>(minimumMs));
            phase.ArriveAndWait();
            phase.ArriveAndWait();
            run.PlayRounds(Phase::WarmUp, t, latest, 1, 0);
            phase.ArriveAndWait();
            phase.ArriveAndWait();
            run.PlayRounds(Phase::Final, t, latest, finalRounds, 0);
            phase.ArriveAndWait();
            phase.ArriveAndWait();
        });
    }
    phase.ArriveAndWait();
    const double raceSeconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    const bool initialized = InitializeFully();
    const std::string unsettled = run.Settle(GetTickCount64() + 30000);
    phase.ArriveAndWait();
    phase.ArriveAndWait();
    const HandleCensus afterWarmUp = CountHandles();
    phase.ArriveAndWait();
    phase.ArriveAndWait();
    const HandleCensus atEnd = CountHandles();
    phase.ArriveAndWait();
    for (std::thread& worker : workers) worker.join();

    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", raceSeconds);
    return std::string("ok\t") + run.Summary() + "\tinitialized=" + (initialized ? "yes" : "no") +
           "\tunsettled=" + (unsettled.empty() ? "-" : unsettled) + "\thandles=" + std::to_string(afterWarmUp.total) + "," +
           std::to_string(atEnd.total) + "\treserved=" + std::to_string(afterWarmUp.reserved) + "," +
           std::to_string(atEnd.reserved) + "\trace=" + std::string(seconds) + "s";
}

}  // namespace standin
