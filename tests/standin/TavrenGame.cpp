// Stand-in for the game Tavren.exe. Like the real game it imports AVIFileInit
// from AVIFIL32.dll (the library that ModRoute.dll stands in for) and calls it
// at start; then it performs a script of file operations and prints one
// tab-separated result line per operation on standard output.
//
// Usage: Tavren.exe SCRIPT-FILE   (UTF-8, one operation per line, '#' comments)
//   createa PATH | createw PATH    CreateFile + GetFileSize + ReadFile + SetFilePointer
//   attr PATH                      GetFileAttributesA
//   find PATTERN                   FindFirstFileA / FindNextFileA / FindClose
//   fopen PATH | fopen_s PATH | open PATH   run-time library opens, then read
//   loadlib NAME | loadlibw NAME   LoadLibraryA / LoadLibraryW
//   call EXPORT [ARG]              call an export of AVIFIL32.dll (see ExportCalls.cpp)
//   chdir PATH                     SetCurrentDirectoryA
//   sleep MS
//   waitfile MS PATH               poll GetFileAttributesA until PATH exists (at most MS)
//   waitopen MS PATH               poll CreateFileA until PATH opens for reading (at most MS)
//   delete PATH                    DeleteFileA
//   move FROM TO                   MoveFileA (the paths hold no spaces)
//   handles PATH                   every handle function on one read open, then a second close
//   writea PATH                    CreateFileA for writing (CREATE_ALWAYS)
//   fwrite PATH                    fopen for writing ("wb")
//   realhandles N                  open N real handles and keep them
//   virtualbesidereal N PATH       N opens of PATH at once beside the kept real handles
//   stress THREADS ROUNDS PATH...  threads opening and reading the paths at once
//   mixedstress THREADS ROUNDS MS FINAL PLAN   threads playing a plan of mixed operations
//                                  from the start, then once everything is up (StressOps.cpp)
//   replay PLAN                    a recorded start, timed by category (ReplayOps.cpp)
//   keep PATH | readkept | unloadavi   open and keep a handle; read it; unload AVIFIL32.dll
//   codebytes                      the patchable code as it is now, in hex: the hidden-command and
//                                  loadsnp areas and the two page-divisor instructions
//   codefind HEX                   how often the bytes occur in the loaded image, and the first offset
//   font API HEIGHT WIDTH CHARSET FACE   create a font with API: CreateFontA, CreateFontIndirectA,
//                                  CreateFontIndirectW (report the face a memory DC selects and the
//                                  LOGFONT read back) or D3DXCreateFontA/W of d3dx9_43.dll (report the result)
//
// Built a second time as TavrenDynamic.exe, which loads AVIFIL32.dll with
// LoadLibrary instead of importing it, so that it can unload it again. Its
// script may begin with a line that changes how it starts:
//   startup late-code              the patchable code is completed only after AVIFIL32.dll has
//                                  loaded, just before AVIFileInit (as a game that unpacks itself)
//   startup code-at-load           prints a "loaded" line with the codebytes result between
//                                  loading AVIFIL32.dll and calling AVIFileInit
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "EscapedBytes.h"
#include "ExportCalls.h"
#include "HandleOps.h"
#include "ReplayOps.h"
#include "StressOps.h"
#include "TavrenCode.h"

#ifdef TAVREN_DYNAMIC_AVI
namespace {
HMODULE g_avi = nullptr;
DWORD AVIFileInit();
}  // namespace
#else
extern "C" __declspec(dllimport) DWORD WINAPI AVIFileInit();
#endif

namespace {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

// The game speaks the ANSI code page; scripts are UTF-8.
std::string ToAnsi(const std::string& utf8) { return Narrow(Widen(utf8), CP_ACP); }
std::string AnsiToUtf8(const std::string& ansi) {
    if (ansi.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return Narrow(wide, CP_UTF8);
}

// The bytes read, as printed, at most 200 of them.
std::string Escape(const std::string& data) {
    return standin::EscapedBytes(data, 200) + (data.size() > 200 ? "..." : "");
}

void Print(const std::string& line) {
    std::cout << line << '\n' << std::flush;
}

std::string Error(DWORD code) { return "fail\terror=" + std::to_string(code); }

std::string ReadHandle(HANDLE file) {
    const DWORD size = GetFileSize(file, nullptr);
    std::string data;
    if (size == INVALID_FILE_SIZE) return "fail\tGetFileSize error=" + std::to_string(GetLastError());
    data.resize(size);
    DWORD read = 0;
    if (size > 0 && !ReadFile(file, data.data(), size, &read, nullptr)) {
        return "fail\tReadFile error=" + std::to_string(GetLastError());
    }
    data.resize(read);
    // Seek back and read the first bytes again, as the game does for headers.
    std::string again = "-";
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && size > 0) {
        char head[4] = {};
        DWORD headRead = 0;
        const DWORD want = size < 4 ? size : 4;
        if (ReadFile(file, head, want, &headRead, nullptr)) again = Escape(std::string(head, headRead));
    }
    return "ok\tsize=" + std::to_string(size) + "\tdata=" + Escape(data) + "\thead=" + again;
}

std::string OpenWithCreateFile(const std::string& path, bool wide) {
    HANDLE file = wide ? CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)
                       : CreateFileA(ToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Error(GetLastError());
    std::string result = ReadHandle(file);
    if (!CloseHandle(file)) result += "\tclose=fail";
    return result;
}

// Learns the size by seeking to the end, as games do, then reads from the start.
std::string ReadStream(FILE* stream) {
    std::fseek(stream, 0, SEEK_END);
    const long end = std::ftell(stream);
    std::fseek(stream, 0, SEEK_SET);
    std::string data;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) data.append(buffer, n);
    std::fclose(stream);
    return "ok\tsize=" + std::to_string(data.size()) + "\tdata=" + Escape(data) + "\ttell=" + std::to_string(end);
}

std::string OpenWithCrt(const std::string& kind, const std::string& path) {
    const std::string ansi = ToAnsi(path);
    if (kind == "fopen") {
        FILE* stream = std::fopen(ansi.c_str(), "rb");
        return stream ? ReadStream(stream) : "fail\terrno=" + std::to_string(errno);
    }
    if (kind == "fopen_s") {
        FILE* stream = nullptr;
        const errno_t error = fopen_s(&stream, ansi.c_str(), "rb");
        return error == 0 && stream ? ReadStream(stream) : "fail\terrno=" + std::to_string(error);
    }
    const int fd = _open(ansi.c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) return "fail\terrno=" + std::to_string(errno);
    const long end = _lseek(fd, 0, SEEK_END);
    _lseek(fd, 0, SEEK_SET);
    std::string data;
    char buffer[4096];
    int n;
    while ((n = _read(fd, buffer, sizeof buffer)) > 0) data.append(buffer, static_cast<std::size_t>(n));
    _close(fd);
    return "ok\tsize=" + std::to_string(data.size()) + "\tdata=" + Escape(data) + "\ttell=" + std::to_string(end);
}

std::string Attributes(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(ToAnsi(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Error(GetLastError());
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", attributes);
    return std::string("ok\t") + text + ((attributes & FILE_ATTRIBUTE_DIRECTORY) ? "\tdir" : "\tfile");
}

std::string Find(const std::string& pattern) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(ToAnsi(pattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return Error(GetLastError());
    std::string names;
    do {
        if (!names.empty()) names += ',';
        names += AnsiToUtf8(data.cFileName);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names += '/';
    } while (FindNextFileA(search, &data));
    const DWORD last = GetLastError();
    FindClose(search);
    return "ok\t" + names + (last == ERROR_NO_MORE_FILES ? "" : "\tnext-error=" + std::to_string(last));
}

std::string ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return Narrow(path, CP_UTF8);
}

std::string LoadLib(const std::string& name, bool wide) {
    HMODULE module = wide ? LoadLibraryW(Widen(name).c_str()) : LoadLibraryA(ToAnsi(name).c_str());
    if (module == nullptr) return Error(GetLastError());
    return "ok\t" + ModulePath(module);
}

HANDLE g_kept = INVALID_HANDLE_VALUE;

const unsigned char* ImageBase() { return reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr)); }

std::size_t ImageSize() {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(ImageBase());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(ImageBase() + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
}

std::string Hex(const unsigned char* bytes, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        char part[4];
        std::snprintf(part, sizeof part, "%02X", bytes[i]);
        text += part;
    }
    return text;
}

std::string OffsetText(std::size_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(offset));
    return text;
}

// Each area as name@offset=bytes, read from the loaded image.
std::string CodeBytes() {
    const unsigned char* base = ImageBase();
    auto area = [&](const char* name, const unsigned char* at, std::size_t length) {
        return std::string("\t") + name + "@" + OffsetText(static_cast<std::size_t>(at - base)) + "=" + Hex(at, length);
    };
    return "ok" + area("hidden", tavren_hidden_command_code, kHiddenCommandCodeLength) +
           area("loadsnp", tavren_loadsnp_code, kLoadsnpCodeLength) +
           area("left", base + kLeftPageDivisorOffset, kPageDivisorLength) +
           area("right", base + kRightPageDivisorOffset, kPageDivisorLength);
}

// The pattern comes from the script, so the image holds no copy of it.
std::string CodeFind(const std::string& hex) {
    std::vector<unsigned char> pattern;
    std::istringstream stream(hex);
    std::string pair;
    while (stream >> std::setw(2) >> pair) pattern.push_back(static_cast<unsigned char>(std::stoul(pair, nullptr, 16)));
    if (pattern.empty()) return "fail\tno bytes";
    const unsigned char* base = ImageBase();
    const std::size_t size = ImageSize();
    std::size_t count = 0;
    std::size_t first = 0;
    for (std::size_t at = 0; at + pattern.size() <= size; ++at) {
        if (std::memcmp(base + at, pattern.data(), pattern.size()) == 0 && count++ == 0) first = at;
    }
    return "ok\tcount=" + std::to_string(count) + (count ? "\tfirst=" + OffsetText(first) : "");
}

// The face a DC really uses for the font, and the LOGFONT the font keeps.
std::string DescribeFont(HFONT font) {
    if (font == nullptr) return Error(GetLastError());
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    char selected[LF_FACESIZE] = {};
    GetTextFaceA(dc, LF_FACESIZE, selected);
    SelectObject(dc, previous);
    DeleteDC(dc);
    LOGFONTA logFont = {};
    GetObjectA(font, sizeof logFont, &logFont);
    DeleteObject(font);
    return "ok\tselected=" + AnsiToUtf8(selected) + "\tface=" + AnsiToUtf8(logFont.lfFaceName) +
           "\theight=" + std::to_string(logFont.lfHeight) + "\twidth=" + std::to_string(logFont.lfWidth) +
           "\tcharset=" + std::to_string(logFont.lfCharSet);
}

using D3dxCreateFontA = HRESULT(WINAPI*)(void*, INT, UINT, UINT, UINT, BOOL, DWORD, DWORD, DWORD, DWORD,
                                         const char*, void**);
using D3dxCreateFontW = HRESULT(WINAPI*)(void*, INT, UINT, UINT, UINT, BOOL, DWORD, DWORD, DWORD, DWORD,
                                         const wchar_t*, void**);

// The game creates its D3DX fonts without a device here; the stand-in library
// does not need one, and the system's refuses the call cleanly.
std::string CreateD3dxFont(const std::string& api, int height, int width, DWORD charSet, const std::string& face) {
    HMODULE library = LoadLibraryA("d3dx9_43.dll");
    if (library == nullptr) return "fail\td3dx9_43.dll not loaded";
    FARPROC address = GetProcAddress(library, api.c_str());
    if (address == nullptr) return "fail\tno export " + api;
    void* font = reinterpret_cast<void*>(1);
    HRESULT result;
    if (api == "D3DXCreateFontA") {
        result = reinterpret_cast<D3dxCreateFontA>(reinterpret_cast<void*>(address))(
            nullptr, height, static_cast<UINT>(width), FW_NORMAL, 1, FALSE, charSet, OUT_DEFAULT_PRECIS,
            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, ToAnsi(face).c_str(), &font);
    } else {
        result = reinterpret_cast<D3dxCreateFontW>(reinterpret_cast<void*>(address))(
            nullptr, height, static_cast<UINT>(width), FW_NORMAL, 1, FALSE, charSet, OUT_DEFAULT_PRECIS,
            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Widen(face).c_str(), &font);
    }
    char text[48];
    std::snprintf(text, sizeof text, "hr=0x%08lX\tfont=%s", static_cast<unsigned long>(result),
                  font == nullptr ? "null" : "set");
    return std::string("ok\t") + text;
}

template <typename LogFont>
LogFont MakeLogFont(int height, int width, unsigned charSet) {
    LogFont logFont = {};
    logFont.lfHeight = height;
    logFont.lfWidth = width;
    logFont.lfWeight = FW_NORMAL;
    logFont.lfCharSet = static_cast<BYTE>(charSet);
    return logFont;
}

// ARGUMENT: API HEIGHT WIDTH CHARSET FACE (the face may hold spaces).
std::string CreateFontWith(const std::string& argument) {
    std::istringstream stream(argument);
    std::string api;
    int height = 0;
    int width = 0;
    unsigned charSet = 0;
    if (!(stream >> api >> height >> width >> charSet)) return "fail\tusage: font API HEIGHT WIDTH CHARSET FACE";
    std::string face;
    std::getline(stream >> std::ws, face);
    if (api == "CreateFontA") {
        return DescribeFont(CreateFontA(height, width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charSet,
                                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                        DEFAULT_PITCH | FF_DONTCARE, ToAnsi(face).c_str()));
    }
    if (api == "CreateFontIndirectA") {
        LOGFONTA logFont = MakeLogFont<LOGFONTA>(height, width, charSet);
        lstrcpynA(logFont.lfFaceName, ToAnsi(face).c_str(), LF_FACESIZE);
        return DescribeFont(CreateFontIndirectA(&logFont));
    }
    if (api == "CreateFontIndirectW") {
        LOGFONTW logFont = MakeLogFont<LOGFONTW>(height, width, charSet);
        lstrcpynW(logFont.lfFaceName, Widen(face).c_str(), LF_FACESIZE);
        return DescribeFont(CreateFontIndirectW(&logFont));
    }
    if (api == "D3DXCreateFontA" || api == "D3DXCreateFontW") return CreateD3dxFont(api, height, width, charSet, face);
    return "fail\tunknown font API " + api;
}

#ifdef TAVREN_DYNAMIC_AVI
enum class Startup { Plain, LateCode, CodeAtLoad };
Startup g_startup = Startup::Plain;

Startup StartupOf(const char* scriptPath) {
    std::ifstream script(scriptPath, std::ios::binary);
    std::string first;
    std::getline(script, first);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    if (first == "startup late-code") return Startup::LateCode;
    if (first == "startup code-at-load") return Startup::CodeAtLoad;
    return Startup::Plain;
}

// The first byte of each signature area, taken away until the code is "unpacked".
unsigned char g_firstBytes[2] = {};
unsigned char* const g_signatureStarts[2] = {const_cast<unsigned char*>(tavren_hidden_command_code),
                                             const_cast<unsigned char*>(tavren_loadsnp_code)};

void WriteByte(unsigned char* at, unsigned char value) {
    DWORD previous = 0;
    VirtualProtect(at, 1, PAGE_EXECUTE_READWRITE, &previous);
    *at = value;
    VirtualProtect(at, 1, previous, &previous);
}

DWORD AVIFileInit() {
    if (g_startup == Startup::LateCode) {
        for (int i = 0; i < 2; ++i) {
            g_firstBytes[i] = *g_signatureStarts[i];
            WriteByte(g_signatureStarts[i], 0xCC);
        }
    }
    g_avi = LoadLibraryA("AVIFIL32.dll");
    if (g_avi == nullptr) return 0xFFFFFFFF;
    if (g_startup == Startup::LateCode) {
        for (int i = 0; i < 2; ++i) WriteByte(g_signatureStarts[i], g_firstBytes[i]);
    }
    if (g_startup == Startup::CodeAtLoad) Print("loaded\t-\t" + CodeBytes());
    auto init = reinterpret_cast<DWORD(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(g_avi, "AVIFileInit")));
    return init != nullptr ? init() : 0xFFFFFFFE;
}
#endif

std::string Perform(const std::string& op, const std::string& argument) {
    if (op == "startup") return "ok";
    if (op == "createa" || op == "createw") return OpenWithCreateFile(argument, op == "createw");
    if (op == "fopen" || op == "fopen_s" || op == "open") return OpenWithCrt(op, argument);
    if (op == "attr") return Attributes(argument);
    if (op == "find") return Find(argument);
    if (op == "loadlib" || op == "loadlibw") return LoadLib(argument, op == "loadlibw");
    if (op == "call") {
        const std::size_t space = argument.find(' ');
        return standin::CallExport(argument.substr(0, space),
                                   space == std::string::npos ? "" : argument.substr(space + 1));
    }
    if (op == "chdir") return SetCurrentDirectoryA(ToAnsi(argument).c_str()) ? "ok" : Error(GetLastError());
    if (op == "waitfile" || op == "waitopen") {
        const std::size_t space = argument.find(' ');
        const DWORD limit = static_cast<DWORD>(std::stoul(argument.substr(0, space)));
        const std::string path = ToAnsi(space == std::string::npos ? "" : argument.substr(space + 1));
        const auto there = [&] {
            if (op == "waitfile") return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
            HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) return false;
            CloseHandle(file);
            return true;
        };
        const ULONGLONG deadline = GetTickCount64() + limit;
        while (!there()) {
            if (GetTickCount64() >= deadline) return "fail\ttimed out";
            Sleep(10);
        }
        return "ok";
    }
    if (op == "delete") return DeleteFileA(ToAnsi(argument).c_str()) ? "ok" : Error(GetLastError());
    if (op == "move") {
        const std::size_t space = argument.find(' ');
        if (space == std::string::npos) return "fail\tmove FROM TO";
        return MoveFileA(ToAnsi(argument.substr(0, space)).c_str(), ToAnsi(argument.substr(space + 1)).c_str())
                   ? "ok"
                   : Error(GetLastError());
    }
    if (op == "handles") return standin::HandleOperations(ToAnsi(argument));
    if (op == "writea") return standin::WriteOpen(ToAnsi(argument));
    if (op == "fwrite") {
        FILE* stream = std::fopen(ToAnsi(argument).c_str(), "wb");
        if (stream == nullptr) return "fail\terrno=" + std::to_string(errno);
        std::fputs("written by the game", stream);
        std::fclose(stream);
        return "ok";
    }
    if (op == "realhandles") return standin::KeepRealHandles(std::stoi(argument));
    if (op == "virtualbesidereal") {
        const std::size_t space = argument.find(' ');
        return standin::VirtualBesideReal(std::stoi(argument.substr(0, space)), ToAnsi(argument.substr(space + 1)));
    }
    if (op == "stress") {
        std::istringstream words(argument);
        int threads = 0;
        int rounds = 0;
        words >> threads >> rounds;
        std::vector<std::string> paths;
        for (std::string path; words >> path;) paths.push_back(ToAnsi(path));
        return standin::Stress(threads, rounds, paths);
    }
    if (op == "mixedstress") {
        std::istringstream words(argument);
        int threads = 0, rounds = 0, minimumMs = 0, finalRounds = 0;
        std::string plan;
        words >> threads >> rounds >> minimumMs >> finalRounds >> plan;
        return standin::MixedStress(threads, rounds, minimumMs, finalRounds, plan);
    }
    if (op == "replay") return standin::Replay(argument);
    if (op == "keep") {
        g_kept = CreateFileA(ToAnsi(argument).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return g_kept == INVALID_HANDLE_VALUE ? Error(GetLastError()) : "ok";
    }
    if (op == "readkept") {
        char head[4] = {};
        DWORD read = 0;
        SetLastError(0);
        const BOOL readOk = ReadFile(g_kept, head, 4, &read, nullptr);
        const DWORD readError = GetLastError();
        SetLastError(0);
        const BOOL closeOk = CloseHandle(g_kept);
        return "ok\tread=" + std::to_string(readOk) + "," + std::to_string(readError) +
               "\tclose=" + std::to_string(closeOk) + "," + std::to_string(GetLastError());
    }
#ifdef TAVREN_DYNAMIC_AVI
    if (op == "unloadavi") {
        // The library's own threads keep it loaded until they have finished.
        FreeLibrary(g_avi);
        const ULONGLONG deadline = GetTickCount64() + 15000;
        while (GetModuleHandleA("AVIFIL32.dll") != nullptr) {
            if (GetTickCount64() >= deadline) return "fail\tstill loaded";
            Sleep(20);
        }
        return "ok";
    }
#endif

    if (op == "codebytes") return CodeBytes();
    if (op == "codefind") return CodeFind(argument);
    if (op == "font") return CreateFontWith(argument);
    if (op == "sleep") {
        Sleep(static_cast<DWORD>(std::stoul(argument)));
        return "ok";
    }
    return "fail\tunknown operation";
}

}  // namespace

int main(int argc, char** argv) {
#ifdef TAVREN_DYNAMIC_AVI
    if (argc >= 2) g_startup = StartupOf(argv[1]);
#endif
    Print("avifileinit\t-\tresult=" + std::to_string(AVIFileInit()));
    if (argc < 2) return 0;
    std::ifstream script(argv[1], std::ios::binary);
    if (!script) {
        Print(std::string("script\t") + argv[1] + "\tfail\tcannot open");
        return 2;
    }
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::size_t space = line.find(' ');
        const std::string op = line.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        Print(op + "\t" + argument + "\t" + Perform(op, argument));
    }
    return 0;
}
