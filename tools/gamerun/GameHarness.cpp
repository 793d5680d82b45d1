#include "GameHarness.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <stdexcept>

namespace gamerun {
namespace {

const wchar_t kManagerKey[] = L"SOFTWARE\\TavrenModManager";

std::string FromWide(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

std::wstring ToWide(const std::string& text, UINT codePage) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

void RemoveTree(const std::wstring& path) {
    // SHFileOperation wants a double-terminated list.
    std::wstring list = path;
    list.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

std::string ReadRemoteString(HANDLE process, const void* address, DWORD length, bool unicode) {
    if (address == nullptr || length == 0) return {};
    if (unicode) {
        std::wstring text(length, L'\0');
        SIZE_T read = 0;
        ReadProcessMemory(process, address, text.data(), length * sizeof(wchar_t), &read);
        text.resize(read / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        return Utf8(text);
    }
    std::string text(length, '\0');
    SIZE_T read = 0;
    ReadProcessMemory(process, address, text.data(), length, &read);
    text.resize(read);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return GbkToUtf8(text);
}

std::string ImagePath(HANDLE process, const LOAD_DLL_DEBUG_INFO& info) {
    if (info.hFile != nullptr) {
        wchar_t path[MAX_PATH * 2] = {};
        const DWORD n = GetFinalPathNameByHandleW(info.hFile, path, MAX_PATH * 2, 0);
        if (n > 0 && n < MAX_PATH * 2) return Utf8(path);
    }
    void* namePointer = nullptr;
    SIZE_T read = 0;
    if (info.lpImageName != nullptr &&
        ReadProcessMemory(process, info.lpImageName, &namePointer, sizeof namePointer, &read) && namePointer) {
        return ReadRemoteString(process, namePointer, MAX_PATH, info.fUnicode != 0);
    }
    return {};
}

void SplitLines(const std::string& text, std::vector<std::string>& lines) {
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
}

// A file a child process inherits as its output.
HANDLE InheritableOutput(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

STARTUPINFOW StartupWithOutput(HANDLE out, HANDLE err) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    startup.hStdInput = nullptr;
    return startup;
}

}  // namespace

std::wstring Widen(const std::string& utf8) { return ToWide(utf8, CP_UTF8); }
std::string Utf8(const std::wstring& wide) { return FromWide(wide, CP_UTF8); }
std::string GbkToUtf8(const std::string& gbk) { return Utf8(ToWide(gbk, 936)); }

std::wstring BinaryFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"modroute-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(counter++);
    RemoveTree(path);
    CreateDirectoryW(path.c_str(), nullptr);
    m_path = Utf8(path);
}

TempFolder::~TempFolder() { RemoveTree(Widen(m_path)); }

void MakeFolders(const std::string& utf8Path) {
    std::wstring path = Widen(utf8Path);
    for (std::size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\' || path[i] == L'/') {
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
}

void WriteFile(const std::string& utf8Path, const std::string& bytes) {
    const std::size_t separator = utf8Path.find_last_of("\\/");
    if (separator != std::string::npos) MakeFolders(utf8Path.substr(0, separator));
    HANDLE file = CreateFileW(Widen(utf8Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + utf8Path);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool ReadFile(const std::string& utf8Path, std::string& bytes) {
    HANDLE file = CreateFileW(Widen(utf8Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    bytes.assign(size, '\0');
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, bytes.data(), size, &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return ok != FALSE;
}

bool PathExists(const std::string& utf8Path) {
    return GetFileAttributesW(Widen(utf8Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CopyBinary(const std::wstring& name, const std::string& utf8Target) {
    const std::wstring source = BinaryFolder() + L"\\" + name;
    if (!CopyFileW(source.c_str(), Widen(utf8Target).c_str(), FALSE)) {
        throw std::runtime_error("cannot copy " + Utf8(source));
    }
}

std::vector<TreeEntry> ListTree(const std::string& utf8Folder) {
    std::vector<TreeEntry> entries;
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        const std::string relative = pending.back();
        pending.pop_back();
        const std::string folder = relative.empty() ? utf8Folder : utf8Folder + "\\" + relative;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(Widen(folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            const std::string name = Utf8(found.cFileName);
            if (name == "." || name == "..") continue;
            const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entries.push_back({relative.empty() ? name : relative + "\\" + name, isFolder});
            if (isFolder) pending.push_back(entries.back().relative);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(entries.begin(), entries.end(),
              [](const TreeEntry& a, const TreeEntry& b) { return a.relative < b.relative; });
    return entries;
}

void CopyFolder(const std::string& utf8Source, const std::string& utf8Target) {
    MakeFolders(utf8Target);
    for (const TreeEntry& entry : ListTree(utf8Source)) {
        const std::string target = utf8Target + "\\" + entry.relative;
        if (entry.isFolder) {
            MakeFolders(target);
        } else if (!CopyFileW(Widen(utf8Source + "\\" + entry.relative).c_str(), Widen(target).c_str(), FALSE)) {
            throw std::runtime_error("cannot copy " + entry.relative);
        }
    }
}

std::string SampleFolder() { return Utf8(BinaryFolder()) + "\\samples"; }

namespace {

// Quoted so that CommandLineToArgvW gives the argument back unchanged.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < argument.size() && argument[i] == L'\\') {
            ++i;
            ++backslashes;
        }
        if (i == argument.size()) {
            quoted.append(backslashes * 2, L'\\');
            break;
        }
        if (argument[i] == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        quoted += argument[i];
    }
    return quoted + L"\"";
}

}  // namespace

ProgramRun RunProgram(const std::wstring& name, const std::vector<std::string>& arguments, DWORD timeoutMs) {
    const TempFolder streams;
    const std::string outPath = streams.Path() + "\\out.txt";
    const std::string errPath = streams.Path() + "\\err.txt";
    HANDLE out = InheritableOutput(Widen(outPath));
    HANDLE err = InheritableOutput(Widen(errPath));
    STARTUPINFOW startup = StartupWithOutput(out, err);

    const std::wstring exe = BinaryFolder() + L"\\" + name;
    std::wstring commandLine = QuoteArgument(exe);
    for (const std::string& argument : arguments) commandLine += L" " + QuoteArgument(Widen(argument));
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) throw std::runtime_error("cannot start " + Utf8(exe) + ": error " + std::to_string(GetLastError()));

    ProgramRun run;
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        run.timedOut = true;
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ReadFile(outPath, run.out);
    ReadFile(errPath, run.err);
    return run;
}

ManagerRegistry::ManagerRegistry() { RegDeleteTreeW(HKEY_CURRENT_USER, kManagerKey); }

ManagerRegistry::~ManagerRegistry() { RegDeleteTreeW(HKEY_CURRENT_USER, kManagerKey); }

void ManagerRegistry::SetDword(const std::wstring& subkey, const std::wstring& name, DWORD value) {
    const std::wstring key = subkey.empty() ? kManagerKey : std::wstring(kManagerKey) + L"\\" + subkey;
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_DWORD, &value, sizeof value);
}

void ManagerRegistry::SetString(const std::wstring& subkey, const std::wstring& name, const std::wstring& value) {
    const std::wstring key = subkey.empty() ? kManagerKey : std::wstring(kManagerKey) + L"\\" + subkey;
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::map<std::string, std::string> ResultFields(const std::string& result) {
    std::map<std::string, std::string> fields;
    std::istringstream stream(result);
    for (std::string field; std::getline(stream, field, '\t');) {
        const std::size_t equals = field.find('=');
        if (equals != std::string::npos) fields[field.substr(0, equals)] = field.substr(equals + 1);
    }
    return fields;
}

std::string GameRun::Result(const std::string& op, const std::string& argument) const {
    const std::string prefix = op + "\t" + argument + "\t";
    for (const std::string& line : outputLines) {
        if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    }
    return "<no line for " + op + " " + argument + ">";
}

std::string GameRun::DebugText() const {
    std::string text;
    for (const std::string& line : debugLines) text += line + "\n";
    return text;
}

Game::Game(const std::string& folderName) : m_folder(m_temp.Path() + "\\" + folderName) {
    MakeFolders(m_folder);
    CopyBinary(L"Tavren.exe", PathOf("Tavren.exe"));
    CopyBinary(L"ModRoute.dll", PathOf("AVIFIL32.dll"));
}

void Game::InstallOriginalAvi() { CopyBinary(L"AVIFIL32_original.dll", PathOf("AVIFIL32_original.dll")); }

void Game::InstallDynamicGame() { CopyBinary(L"TavrenDynamic.exe", PathOf("TavrenDynamic.exe")); }

void Game::InstallD3dxStandin() { CopyBinary(L"d3dx9_43.dll", PathOf("d3dx9_43.dll")); }

GameRun Game::Run(const std::vector<std::string>& script, DWORD timeoutMs, const std::string& executable) {
    const std::string runFolder = m_temp.Path() + "\\run";
    MakeFolders(runFolder);
    // Files of its own for each run: under Wine an exited game's output file
    // can stay held open for minutes, and games may run side by side.
    static std::atomic<int> runs{0};
    const std::string number = std::to_string(++runs);
    const std::string scriptPath = runFolder + "\\script" + number + ".txt";
    std::string scriptText;
    for (const std::string& line : script) scriptText += line + "\n";
    WriteFile(scriptPath, scriptText);
    const std::string outputPath = runFolder + "\\stdout" + number + ".txt";
    HANDLE output = InheritableOutput(Widen(outputPath));
    STARTUPINFOW startup = StartupWithOutput(output, output);

    const std::wstring exe = Widen(PathOf(executable));
    std::wstring commandLine = L"\"" + exe + L"\" \"" + Widen(scriptPath) + L"\"";
    PROCESS_INFORMATION process = {};
    GameRun run;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        Widen(m_folder).c_str(), &startup, &process)) {
        CloseHandle(output);
        throw std::runtime_error("cannot start the game: error " + std::to_string(GetLastError()));
    }
    CloseHandle(output);

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool running = true;
    while (running) {
        DEBUG_EVENT event = {};
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !WaitForDebugEvent(&event, static_cast<DWORD>(deadline - now))) {
            run.timedOut = true;
            TerminateProcess(process.hProcess, 99);
            break;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case OUTPUT_DEBUG_STRING_EVENT: {
                const auto& info = event.u.DebugString;
                std::string text = ReadRemoteString(process.hProcess, info.lpDebugStringData,
                                                    info.nDebugStringLength, info.fUnicode != 0);
                std::vector<std::string> lines;
                SplitLines(text, lines);
                run.debugLines.insert(run.debugLines.end(), lines.begin(), lines.end());
                break;
            }
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                run.loadedDlls.push_back(ImagePath(process.hProcess, event.u.LoadDll));
                if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
                break;
            case EXCEPTION_DEBUG_EVENT:
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                    run.exceptions.push_back(event.u.Exception.ExceptionRecord.ExceptionCode);
                    status = DBG_EXCEPTION_NOT_HANDLED;
                }
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                run.exitCode = event.u.ExitProcess.dwExitCode;
                running = false;
                break;
            default:
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::string outputText;
    ReadFile(outputPath, outputText);
    SplitLines(outputText, run.outputLines);
    return run;
}

}  // namespace gamerun
