// Stand-in for the game Tavren.exe. Like the real game it imports AVIFileInit
// from AVIFIL32.dll (ModRoute.dll stands in for it) and calls it at start; then
// it plays a script (UTF-8, one operation a line) and prints
// "op<TAB>argument<TAB>result" per operation, so that two runs compare as text.
// Operations: the file opens createa, createw, fopen, fopen+ (r+b), fopen_s,
// open; attr, attrex (also wide, with size), find, findex, morehandles (rarer
// handle functions too), crt (_fstat, _dup), loadlib, loadlibw, write, handles (every handle function on
// one open), realhandles N, virtualbesidereal N PATH, unloadavi MS, reloadavi,
// cycles (below), call EXPORT [ARG|-null], chdir, delete, move, other (cmd /c in another process), sleep, codebytes (the patchable
// code of TavrenCode.cpp), font|fontmade API HEIGHT WIDTH CHARSET FACE, stress (below) and replay
// (bench_gamestart). TavrenDynamic.exe loads AVIFIL32.dll at run time; a first line "startup late-code"
// completes the patchable code only just before AVIFileInit, "startup code-at-load" prints it between
// the two, "startup unhookable" keeps the library from installing any hook.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <atomic>
#include <functional>
#include <set>
#include <sstream>
#include <vector>

#include "TavrenCode.h"

#ifdef TAVREN_DYNAMIC_AVI
namespace {
HMODULE g_avi = nullptr;
DWORD AVIFileInit();
}  // namespace
#else
extern "C" __declspec(dllimport) DWORD WINAPI AVIFileInit();
#endif

extern "C" std::uint32_t CallWithTwoArguments(const void* function, std::uintptr_t first, std::uintptr_t second,
                                              std::int32_t* stackBytesTaken);
// Calls with two pushed arguments and reports how far the callee moved the
// stack on its way out: 0 for a C function, 8 for one that pops its arguments.
asm(R"(
    .text
    .globl _CallWithTwoArguments
_CallWithTwoArguments:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    movl %esp, %ebx
    pushl 16(%ebp)
    pushl 12(%ebp)
    call *8(%ebp)
    addl $8, %esp
    movl %esp, %ecx
    subl %ebx, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    movl %ebx, %esp
    popl %ebx
    popl %ebp
    ret
)");

namespace {

std::wstring Widen(const std::string& text, UINT codePage = CP_UTF8) {
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}
std::string Narrow(const std::wstring& wide, UINT codePage = CP_UTF8) {
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}
// The game speaks the ANSI code page; scripts are UTF-8.
std::string ToAnsi(const std::string& utf8) { return Narrow(Widen(utf8), CP_ACP); }
std::string FromAnsi(const std::string& ansi) { return Narrow(Widen(ansi, CP_ACP)); }

std::string Hex(const unsigned char* bytes, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += {"0123456789ABCDEF"[bytes[i] >> 4], "0123456789ABCDEF"[bytes[i] & 15]};
    return text;
}

// Printable ASCII as it is, everything else (and the backslash) as \xNN.
std::string Escape(const std::string& data, std::size_t limit = 200) {
    std::string out;
    for (std::size_t i = 0; i < data.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        out += c >= 0x20 && c < 0x7F && c != '\\' ? std::string(1, static_cast<char>(c)) : "\\x" + Hex(&c, 1);
    }
    return out + (data.size() > limit ? "..." : "");
}

std::string Error(DWORD code) { return "fail\terror=" + std::to_string(code); }

std::string GameFolder() {
    wchar_t path[MAX_PATH] = {};
    const std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return Narrow(folder.substr(0, folder.find_last_of(L'\\')));
}

std::string ReadAll(HANDLE file, DWORD count) {
    std::string data(count, '\0');
    DWORD read = 0;
    if (!ReadFile(file, data.data(), count, &read, nullptr)) return "<fail " + std::to_string(GetLastError()) + ">";
    return data.substr(0, read);
}

std::string OpenWithCreateFile(const std::string& path, bool wide) {
    HANDLE file = wide ? CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                       : CreateFileA(ToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Error(GetLastError());
    const DWORD size = GetFileSize(file, nullptr);
    const std::string data = ReadAll(file, size);
    // Seek back and read the first bytes again, as the game does for headers.
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    const std::string head = ReadAll(file, std::min<DWORD>(size, 4));
    CloseHandle(file);
    return "ok\tsize=" + std::to_string(size) + "\tdata=" + Escape(data) + "\thead=" + Escape(head);
}

std::string OpenWithCrt(const std::string& kind, const std::string& path) {
    std::string data;
    char buffer[4096];
    long end = 0;
    if (kind == "open") {
        const int fd = _open(ToAnsi(path).c_str(), _O_RDONLY | _O_BINARY);
        if (fd < 0) return "fail\terrno=" + std::to_string(errno);
        end = _lseek(fd, 0, SEEK_END);
        _lseek(fd, 0, SEEK_SET);
        for (int n; (n = _read(fd, buffer, sizeof buffer)) > 0;) data.append(buffer, static_cast<std::size_t>(n));
        _close(fd);
    } else {
        FILE* stream = nullptr;
        const int error = kind != "fopen_s" ? ((stream = std::fopen(ToAnsi(path).c_str(), kind == "fopen" ? "rb" : "r+b")) ? 0 : errno)
                                          : fopen_s(&stream, ToAnsi(path).c_str(), "rb");
        if (stream == nullptr) return "fail\terrno=" + std::to_string(error);
        std::fseek(stream, 0, SEEK_END);
        end = std::ftell(stream);
        std::fseek(stream, 0, SEEK_SET);
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) data.append(buffer, n);
        std::fclose(stream);
    }
    return "ok\tsize=" + std::to_string(data.size()) + "\tdata=" + Escape(data) + "\ttell=" + std::to_string(end);
}

// "file API MODE PATH [TEXT]": opens as the game would write (or oddly read),
// writes TEXT where the open leaves the position, then reads the whole file
// back through the same open. MODE is an fopen mode, or for the others one of
// the names below.
std::string FileOp(const std::string& api, const std::string& mode, const std::string& path, const std::string& text) {
    static const std::map<std::string, std::pair<DWORD, DWORD>> kCreate = {
        {"rw", {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING}}, {"rwalways", {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS}},
        {"append", {FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS}}, {"new", {GENERIC_WRITE | GENERIC_READ, CREATE_ALWAYS}},
        {"filereaddata", {FILE_READ_DATA, OPEN_EXISTING}}, {"readalways", {FILE_GENERIC_READ, OPEN_ALWAYS}}};
    static const std::map<std::string, int> kOpen = {{"rw", _O_RDWR}, {"append", _O_RDWR | _O_APPEND}, {"new", _O_RDWR | _O_CREAT | _O_TRUNC}};
    std::string data(1 << 16, '\0');
    long got = -1, wrote = -1;
    if (api == "createa" || api == "createw") {
        const auto [access, disposition] = kCreate.at(mode);
        HANDLE file = api == "createw" ? CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition, 0, nullptr)
                                       : CreateFileA(ToAnsi(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return Error(GetLastError());
        const DWORD opened = GetLastError();
        DWORD count = 0;
        if (!text.empty()) wrote = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &count, nullptr) ? static_cast<long>(count) : -1;
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        got = ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &count, nullptr) ? static_cast<long>(count) : -1;
        CloseHandle(file);
        wrote = wrote * 1000 + static_cast<long>(opened);
    } else if (api == "open") {
        const int fd = _open(ToAnsi(path).c_str(), kOpen.at(mode) | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) return "fail\terrno=" + std::to_string(errno);
        if (!text.empty()) wrote = _write(fd, text.data(), static_cast<unsigned>(text.size()));
        _lseek(fd, 0, SEEK_SET);
        got = _read(fd, data.data(), static_cast<unsigned>(data.size()));
        _close(fd);
    } else {
        FILE* stream = std::fopen(ToAnsi(path).c_str(), mode.c_str());
        if (stream == nullptr) return "fail\terrno=" + std::to_string(errno);
        if (!text.empty()) wrote = static_cast<long>(std::fwrite(text.data(), 1, text.size(), stream));
        std::fseek(stream, 0, SEEK_SET);
        got = static_cast<long>(std::fread(data.data(), 1, data.size(), stream));
        std::fclose(stream);
    }
    return "ok\twrote=" + std::to_string(wrote) + "\tdata=" + (got < 0 ? "<fail>" : Escape(data.substr(0, static_cast<std::size_t>(got))));
}

std::string Attributes(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(ToAnsi(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Error(GetLastError());
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", attributes);
    return std::string("ok\t") + text + ((attributes & FILE_ATTRIBUTE_DIRECTORY) ? "\tdir" : "\tfile");
}

// The wide and extended query too: attributes and size must agree with the plain one.
std::string AttributesEx(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return Error(GetLastError());
    const bool same = GetFileAttributesW(Widen(path).c_str()) == data.dwFileAttributes;
    return Attributes(path) + "\tsize=" + std::to_string(data.nFileSizeLow) + (same ? "" : "\twide-differs");
}

// Names in byte order, whatever order the folder gives; "findex" also
// through FindFirstFileExW, with sizes and attributes.
std::string Find(const std::string& pattern, bool ex) {
    WIN32_FIND_DATAA data;
    WIN32_FIND_DATAW wide;
    HANDLE search = ex ? FindFirstFileExW(Widen(pattern).c_str(), FindExInfoBasic, &wide, FindExSearchNameMatch, nullptr, 0)
                       : FindFirstFileA(ToAnsi(pattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return Error(GetLastError());
    std::vector<std::string> names;
    do {
        const DWORD attributes = ex ? wide.dwFileAttributes : data.dwFileAttributes;
        names.push_back(ex ? Narrow(wide.cFileName) : FromAnsi(data.cFileName));
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) names.back() += '/';
        if (ex && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) names.back() += ":" + std::to_string(wide.nFileSizeLow) + ":" + std::to_string(attributes);
    } while (ex ? FindNextFileW(search, &wide) : FindNextFileA(search, &data));
    const DWORD last = GetLastError();
    FindClose(search);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
    return "ok\t" + joined + (last == ERROR_NO_MORE_FILES ? "" : "\tnext-error=" + std::to_string(last));
}

// The module's path relative to the game folder (whatever its case), so that two game folders compare.
std::string LoadLib(const std::string& name, bool wide) {
    HMODULE module = wide ? LoadLibraryW(Widen(name).c_str()) : LoadLibraryA(ToAnsi(name).c_str());
    if (module == nullptr) return Error(GetLastError());
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    const auto read = reinterpret_cast<const char* (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "PluginRead")));
    const std::string plugin = read != nullptr ? std::string("\tread=") + read() : "";
    FreeLibrary(module);
    std::string loaded = Narrow(path);
    const std::string folder = GameFolder() + "\\";
    const bool inGame = CompareStringOrdinal(Widen(loaded.substr(0, folder.size())).c_str(), -1, Widen(folder).c_str(), -1, TRUE) == CSTR_EQUAL;
    return "ok\t" + loaded.substr(inGame ? folder.size() : 0) + plugin;
}

DWORD g_completion[2];
void CALLBACK Completed(DWORD error, DWORD count, LPOVERLAPPED) { g_completion[0] = error, g_completion[1] = count; }

// The handle functions a game may call besides reading and seeking; the
// file's position goes from one to the next.
void RarerHandleOperations(HANDLE file, DWORD size, std::ostringstream& out) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED at = {};
    at.Offset = 2, at.hEvent = event;
    char buffer[8] = {};
    DWORD got = 99, result = 99;
    out << "\tovl=" << ReadFile(file, buffer, 3, &got, &at) << "," << got << "," << std::string(buffer, got) << ","
        << WaitForSingleObject(event, 0) << "," << GetOverlappedResult(file, &at, &result, FALSE) << "," << result << ","
        << SetFilePointer(file, 0, nullptr, FILE_CURRENT);
    CloseHandle(event);
    at = {}, at.Offset = 1000, got = 99;
    SetLastError(0);
    out << "\tovleof=" << ReadFile(file, buffer, 3, &got, &at) << "," << got << "," << GetLastError();
    at = {}, at.Offset = 1, g_completion[0] = g_completion[1] = 77;
    out << "\treadex=" << ReadFileEx(file, buffer, 2, &at, Completed) << "," << SleepEx(0, TRUE) << "," << g_completion[0] << ","
        << g_completion[1];
    LONG high = 1;
    SetLastError(0);
    out << "\tbig=" << SetFilePointer(file, 16, &high, FILE_BEGIN) << "/" << high << "," << GetLastError() << ","
        << ReadAll(file, 2).size();
    high = -1;
    out << "\tneg=" << SetFilePointer(file, 0, &high, FILE_BEGIN) << "/" << high << "," << GetLastError();
    high = 0;
    out << ",at=" << SetFilePointer(file, 0, &high, FILE_CURRENT) << "/" << high;
    FILETIME times[3];
    FILE_STANDARD_INFO standard = {};
    out << "\ttime=" << GetFileTime(file, &times[0], &times[1], &times[2]) << "\tstandard="
        << GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) << "," << standard.EndOfFile.QuadPart
        << "," << standard.NumberOfLinks << "," << static_cast<int>(standard.Directory) << "\twait=" << WaitForSingleObject(file, 0);
    DWORD wrote = 7;
    SetLastError(0);
    out << "\twrite=" << WriteFile(file, "x", 1, &wrote, nullptr) << "," << wrote << "," << GetLastError();
    SetFilePointer(file, 1, nullptr, FILE_BEGIN);
    HANDLE copy = nullptr;
    out << "\tdup=" << DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)
        << "," << ReadAll(copy, 2) << "," << SetFilePointer(file, 0, nullptr, FILE_CURRENT);
    wrote = 7;
    out << "," << WriteFile(copy, "x", 1, &wrote, nullptr) << "," << wrote << "," << GetLastError();
    CloseHandle(copy);
    out << "\tlock=" << LockFile(file, 0, 0, 1, 0) << UnlockFile(file, 0, 0, 1, 0);
    SetLastError(0);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const char* view = mapping ? static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) : nullptr;
    out << "\tmap=" << (view ? std::string(view, std::min<DWORD>(size, 4)) : Error(GetLastError()));
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    HANDLE writable = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    out << "\tmaprw=" << (writable != nullptr) << "," << GetLastError();
    if (writable) CloseHandle(writable);
}

std::string HandleOperations(const std::string& path, bool rarer) {
    SetLastError(1234);
    HANDLE file = CreateFileA(ToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Error(GetLastError());
    std::ostringstream out;
    DWORD high = 77;
    out << "ok\topened=" << GetLastError();
    if (rarer) RarerHandleOperations(file, GetFileSize(file, nullptr), out);
    out << "\ttype=" << GetFileType(file) << "\tsize=" << GetFileSize(file, &high) << "/" << high;
    LARGE_INTEGER sizeEx = {};
    out << "\tsizeex=" << (GetFileSizeEx(file, &sizeEx) ? std::to_string(sizeEx.QuadPart) : "fail");
    BY_HANDLE_FILE_INFORMATION info = {};
    out << "\tinfo=" << GetFileInformationByHandle(file, &info) << "," << info.nFileSizeLow << "," << info.nFileSizeHigh
        << "," << info.nNumberOfLinks;
    out << "\tread3=" << ReadAll(file, 3);
    LONG moveHigh = 5;
    out << "\tbegin+1000=" << SetFilePointer(file, 1000, &moveHigh, FILE_BEGIN) << "/" << moveHigh;
    out << "\tcur-2=" << SetFilePointer(file, -2, nullptr, FILE_CURRENT) << "\tread2=" << ReadAll(file, 2);
    out << "\tend0=" << SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD atEnd = 99;
    char byte = 0;
    out << "\tatend=" << ReadFile(file, &byte, 1, &atEnd, nullptr) << "," << atEnd;
    out << "\tend-3=" << SetFilePointer(file, -3, nullptr, FILE_END) << "\tread9=" << ReadAll(file, 9);
    out << "\tbegin0=" << SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetLastError(0);
    out << "\tcur-1=" << SetFilePointer(file, -1, nullptr, FILE_CURRENT) << "," << GetLastError();
    out << "\tend-4=" << SetFilePointer(file, -4, nullptr, FILE_END) << "\tread1=" << ReadAll(file, 1);
    out << "\tclose=" << CloseHandle(file);
    return out.str();
}

// The run-time library's view of an open descriptor and of its copy.
std::string CrtHandle(const std::string& path) {
    const int fd = _open(ToAnsi(path).c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) return "fail\terrno=" + std::to_string(errno);
    struct _stat status = {};
    std::ostringstream out;
    out << "ok\tfstat=" << _fstat(fd, &status) << "," << status.st_size << "," << status.st_mode;
    _lseek(fd, 1, SEEK_SET);
    const int copy = _dup(fd);
    char buffer[4] = {};
    out << "\tdup=" << (copy >= 0) << "," << _read(copy, buffer, 2) << "," << std::string(buffer) << "," << _tell(fd);
    if (copy >= 0) _close(copy);
    _close(fd);
    return out.str();
}

std::vector<HANDLE> g_realHandles;  // kept open to crowd the handle table

// No real handle may ever equal a virtual one that is open.
std::string VirtualBesideReal(int count, const std::string& path) {
    std::set<HANDLE> real(g_realHandles.begin(), g_realHandles.end());
    std::vector<HANDLE> opened;
    int collisions = 0, readable = 0;
    for (int i = 0; i < count; ++i) {
        HANDLE file = CreateFileA(ToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "fail\topen " + std::to_string(i);
        collisions += static_cast<int>(real.count(file));
        opened.push_back(file);
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        collisions += static_cast<int>(std::count(opened.begin(), opened.end(), event));
        CloseHandle(event);
    }
    for (HANDLE file : opened) readable += ReadAll(file, 4).size() == 4 && CloseHandle(file) ? 1 : 0;
    return "ok\tcollisions=" + std::to_string(collisions) + "\treadable=" + std::to_string(readable) +
           "\tdistinct=" + std::to_string(std::set<HANDLE>(opened.begin(), opened.end()).size());
}

// Wine does not count handles for GetProcessHandleCount: every value is
// probed. Reserved: protected from closing, as the library's virtual handles are.
std::pair<int, int> CountHandles() {
    int total = 0, reserved = 0;
    for (std::uintptr_t value = 4, last = 0; value < last + 0x10000; value += 4) {
        DWORD flags = 0;
        if (!GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) continue;
        last = value;
        ++total;
        reserved += (flags & HANDLE_FLAG_PROTECT_FROM_CLOSE) ? 1 : 0;
    }
    return {total, reserved};
}

std::vector<void*> g_buffers;  // from ReadModFile, not yet given to FreeFileBuffer

std::string CallExport(const std::string& name, const std::string& argument) {
    HMODULE library = GetModuleHandleA("AVIFIL32.dll");
    FARPROC address = library ? GetProcAddress(library, name.c_str()) : nullptr;
    if (address == nullptr) return "fail\tno export " + name;
    const void* function = reinterpret_cast<const void*>(address);
    if (name == "AVIFileInit") return "ok\tresult=" + std::to_string(reinterpret_cast<DWORD(WINAPI*)()>(function)());
    std::string path = argument;
    const bool noBuffer = path.rfind("-nobuffer ", 0) == 0;
    if (noBuffer) path.erase(0, 10);
    const std::string ansi = ToAnsi(path);
    std::uintptr_t first = argument == "-null" ? 0 : reinterpret_cast<std::uintptr_t>(ansi.c_str());
    void* const untouched = &g_buffers;  // a value ReadModFile never hands out
    void* buffer = untouched;
    std::uint32_t current = 0xFFFFFFFF, peak = 0xFFFFFFFF;
    std::uintptr_t second = 0;
    if (name == "ReadModFile" && !noBuffer) second = reinterpret_cast<std::uintptr_t>(&buffer);
    if (name == "GetVFSMemoryStats" && argument != "-null") {
        first = reinterpret_cast<std::uintptr_t>(&current);
        second = reinterpret_cast<std::uintptr_t>(&peak);
    }
    std::vector<void*> freed;
    if (name == "FreeFileBuffer") freed = argument == "-null" ? std::vector<void*>{nullptr} : std::move(g_buffers);
    std::uint32_t result = 0;
    std::int32_t taken = 0;
    for (void* each : freed) {
        result = CallWithTwoArguments(function, reinterpret_cast<std::uintptr_t>(each), 0, &taken);
        if (taken != 0) break;
    }
    if (freed.empty()) result = CallWithTwoArguments(function, first, second, &taken);
    if (taken != 0) return "fail\t" + name + " removed " + std::to_string(taken) + " bytes of its caller's arguments";
    if (name == "ReadModFile") {
        std::string line = "ok\tresult=" + std::to_string(result);
        if (noBuffer || buffer == untouched) return line + (noBuffer ? "" : "\tbuffer=untouched");
        if (buffer == nullptr) return line + "\tbuffer=null";
        g_buffers.push_back(buffer);
        return line + "\tdata=" + Escape(std::string(static_cast<const char*>(buffer), result));
    }
    if (name == "GetVFSMemoryStats") return "ok\tcurrent=" + std::to_string(current) + "\tpeak=" + std::to_string(peak);
    if (name == "FreeFileBuffer") return "ok\tfreed=" + std::to_string(argument == "-null" ? 0 : freed.size());
    if (name == "ResolvePath" || name == "GetModSystemVersion") {
        return result ? "ok\t" + FromAnsi(reinterpret_cast<const char*>(result)) : "ok\t(null)";
    }
    if (name == "GetModFileSize") return "ok\t" + std::to_string(result);
    return std::string("ok\t") + ((result & 0xFF) != 0 ? "true" : "false");
}

std::string CodeBytes() {
    const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
    auto area = [&](const char* name, const unsigned char* at, std::size_t length) {
        char offset[16];
        std::snprintf(offset, sizeof offset, "@0x%X=", static_cast<unsigned>(at - base));
        return std::string("\t") + name + offset + Hex(at, length);
    };
    return "ok" + area("hidden", tavren_hidden_command_code, 2 * kHiddenCommandCodeLength) +
           area("loadsnp", tavren_loadsnp_code, kLoadsnpCodeLength) +
           area("left", base + kLeftPageDivisorOffset, kPageDivisorLength) +
           area("right", base + kRightPageDivisorOffset, kPageDivisorLength);
}

using D3dxCreateFont = HRESULT(WINAPI*)(void*, INT, UINT, UINT, UINT, BOOL, DWORD, DWORD, DWORD, DWORD, const void*, void**);

// The LOGFONT that GDI keeps for the font; D3DX fonts are made without a device.
std::string CreateFontWith(const std::string& argument) {
    std::istringstream stream(argument);
    std::string api, face;
    int height = 0, width = 0;
    unsigned charSet = 0;
    stream >> api >> height >> width >> charSet;
    std::getline(stream >> std::ws, face);
    HFONT font = nullptr;
    if (api == "CreateFontA") {
        font = CreateFontA(height, width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charSet, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, ToAnsi(face).c_str());
    } else if (api == "CreateFontIndirectA") {
        LOGFONTA logFont = {height, width, 0, 0, FW_NORMAL, 0, 0, 0, static_cast<BYTE>(charSet), 0, 0, 0, 0, {}};
        lstrcpynA(logFont.lfFaceName, ToAnsi(face).c_str(), LF_FACESIZE);
        font = CreateFontIndirectA(&logFont);
    } else if (api == "CreateFontIndirectW") {
        LOGFONTW logFont = {height, width, 0, 0, FW_NORMAL, 0, 0, 0, static_cast<BYTE>(charSet), 0, 0, 0, 0, {}};
        lstrcpynW(logFont.lfFaceName, Widen(face).c_str(), LF_FACESIZE);
        font = CreateFontIndirectW(&logFont);
    } else {
        auto create = reinterpret_cast<D3dxCreateFont>(
            reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("d3dx9_43.dll"), api.c_str())));
        if (create == nullptr) return "fail\tno " + api;
        const std::string ansiFace = ToAnsi(face);
        const std::wstring wideFace = Widen(face);
        const void* faceBytes = api == "D3DXCreateFontW" ? static_cast<const void*>(wideFace.c_str()) : ansiFace.c_str();
        void* made = nullptr;
        const HRESULT result = create(nullptr, height, static_cast<UINT>(width), FW_NORMAL, 1, FALSE, charSet, 0, 0, 0,
                                      faceBytes, &made);
        return "ok\thr=" + std::to_string(result);
    }
    if (font == nullptr) return Error(GetLastError());
    LOGFONTA logFont = {};
    GetObjectA(font, sizeof logFont, &logFont);
    DeleteObject(font);
    return "ok\tface=" + FromAnsi(logFont.lfFaceName) + "\theight=" + std::to_string(logFont.lfHeight) +
           "\twidth=" + std::to_string(logFont.lfWidth) + "\tcharset=" + std::to_string(logFont.lfCharSet);
}

std::string Perform(const std::string& op, const std::string& argument);

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
    return parts;
}

// The lines of a UTF-8 file, without comments and empty lines.
std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream file(Widen(path).c_str(), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

std::string Play(const std::string& line) {
    const std::size_t space = line.find(' ');
    return Perform(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1));
}

DWORD WINAPI RunFunction(void* function) { return (*static_cast<std::function<void()>*>(function))(), 0; }

// Game threads play the plan's script lines ("COUNT<TAB>op argument") from
// the moment the library attached, for ROUNDS rounds and at least MS, while
// its background threads bring the system up. A line may give at most COUNT
// different answers during the race, and a thread never sees an earlier one
// again after a later one. Then the full initialisation runs, and once the
// answers have settled a warm-up round and FINAL rounds must give only the
// settled answers and leave the handle count as it was (leaked: real handles, reserved values).
std::string Stress(int threads, int rounds, int minimumMs, int finalRounds, const std::string& planPath) {
    const ULONGLONG start = GetTickCount64();
    std::vector<std::pair<std::size_t, std::string>> plan;
    for (const std::string& line : ReadLines(GameFolder() + "\\" + planPath)) plan.emplace_back(std::stoul(line), line.substr(line.find('\t') + 1));
    SRWLOCK lock = SRWLOCK_INIT;
    std::atomic<long> fresh{0};
    std::vector<std::set<std::string>> seen(plan.size());
    std::vector<std::string> settled;
    int regressions = 0, late = 0;
    std::string details;
    auto report = [&](int& counter, const char* what, std::size_t i, const std::string& got) {
        ++counter;
        if (std::count(details.begin(), details.end(), '\t') < 6) details += std::string("\t") + what + "=" + plan[i].second + " -> " + got;
    };
    // Plain Win32 threads and lock: the threads library's own keep handles of their own.
    auto phase = [&](bool race, int count) {
        std::function<void()> play = [&] {
            std::vector<std::vector<std::string>> order(plan.size());
            for (int round = 0; round < count || (race && GetTickCount64() < start + minimumMs); ++round) {
                for (std::size_t i = 0; i < plan.size(); ++i) {
                    const std::size_t at = plan[i].second.find("{n}");  // "{n}": a path never asked before, at every turn
                    const std::string got = Play(at == std::string::npos ? plan[i].second : std::string(plan[i].second).replace(at, 3, std::to_string(fresh++)));
                    const auto known = std::find(order[i].begin(), order[i].end(), got);
                    AcquireSRWLockExclusive(&lock);
                    if (!race && got != settled[i]) report(late, "late", i, got);
                    if (known == order[i].end()) order[i].push_back(got), seen[i].insert(got);
                    else if (known + 1 != order[i].end()) report(regressions, "regression", i, got);
                    ReleaseSRWLockExclusive(&lock);
                }
            }
        };
        std::vector<HANDLE> workers;
        for (int t = 0; t < threads; ++t) {
            workers.push_back(CreateThread(nullptr, 0, RunFunction, &play, 0, nullptr));
        }
        WaitForMultipleObjects(static_cast<DWORD>(workers.size()), workers.data(), TRUE, INFINITE);
        for (HANDLE worker : workers) CloseHandle(worker);
    };
    phase(true, rounds);
    const std::string initialized = CallExport("InitializeTavrenModSystem", "");
    // Settled: two passes a moment apart give the same answers.
    std::vector<std::string> previous;
    for (const ULONGLONG deadline = GetTickCount64() + 30000; settled.empty() || settled != previous;) {
        if (GetTickCount64() > deadline) return "fail\tnever settled";
        previous = settled;
        settled.clear();
        for (const auto& line : plan) settled.push_back(Play(line.second));
        Sleep(100);
    }
    int over = 0;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        seen[i].insert(settled[i]);
        if (seen[i].size() > plan[i].first) report(over, "over", i, std::to_string(seen[i].size()));
    }
    phase(false, finalRounds);  // a warm-up as long as the final rounds
    Sleep(100);  // threads that have just ended may still hold handles for a moment
    const auto warm = CountHandles();
    phase(false, finalRounds);
    Sleep(100);
    const auto end = CountHandles();
    return "ok\tinit=" + initialized + "\tover=" + std::to_string(over) + "\tregressions=" + std::to_string(regressions) +
           "\tlate=" + std::to_string(late) + "\tleaked=" + std::to_string(end.first - warm.first) + "," +
           std::to_string(end.second - warm.second) + details;
}

double Now() {
    LARGE_INTEGER now, frequency;
    return QueryPerformanceCounter(&now) && QueryPerformanceFrequency(&frequency) ? double(now.QuadPart) / double(frequency.QuadPart) : 0;
}

struct ReplayTotals {
    struct Category { long count = 0; double seconds = 0; unsigned long long bytes = 0; };
    std::map<std::string, Category> categories;
    long failures = 0;
    double seconds = 0;
};

// Plays plan lines "open|attr|find<TAB>CATEGORY<TAB>PATH" [begin, end), each timed.
void PlayLines(const std::vector<std::string>& lines, std::size_t begin, std::size_t end, ReplayTotals& totals) {
    const double start = Now();
    for (std::size_t i = begin; i < end; ++i) {
        const std::vector<std::string> step = Split(lines[i], '\t');  // kind, category, path
        const double before = Now();
        const std::string result = Perform(step.at(0) == "open" ? "createa" : step[0], step.at(2));
        ReplayTotals::Category& category = totals.categories[step[1]];
        category.seconds += Now() - before, ++category.count;
        if (result.rfind("ok", 0) != 0) ++totals.failures;
        else if (step[0] == "open") category.bytes += std::stoull(result.substr(result.find("size=") + 5));
    }
    totals.seconds += Now() - start;
}

// Per category: count, seconds and bytes read; then the private memory now
// and at its peak (KiB) and the handles held.
std::string ReplayResult(const ReplayTotals& totals) {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    // Wine leaves PrivateUsage at zero; the commit charge is the same quantity on Windows.
    const SIZE_T privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    char text[160];
    std::snprintf(text, sizeof text, "ok\ttotal=%.4f\tfailures=%ld\tprivate=%lu\tpeak=%lu\thandles=%d", totals.seconds, totals.failures,
                  static_cast<unsigned long>(privateBytes / 1024), static_cast<unsigned long>(memory.PeakPagefileUsage / 1024),
                  CountHandles().first);
    std::string out = text;
    for (const auto& [name, category] : totals.categories) {
        std::snprintf(text, sizeof text, "\t%s=%ld,%.4f,%llu", name.c_str(), category.count, category.seconds, category.bytes);
        out += text;
    }
    return out;
}

// The whole plan (the plan's path is absolute), as replay.
std::string Replay(const std::string& planPath) {
    const std::vector<std::string> lines = ReadLines(planPath);
    ReplayTotals totals;
    PlayLines(lines, 0, lines.size(), totals);
    return ReplayResult(totals);
}

// "turns NAME SIDE COUNT PLAN": the plan in COUNT turns, taken in alternation
// with another game playing its own plan as the other SIDE (0 or 1) of NAME.
// Both games are ready before the first turn, and only one plays at a time;
// side 0 plays the first turn's part first, side 1 the second's, and so on,
// so that each side is as often the first to touch a turn's files (and pays
// for whatever the system evicted meanwhile) as the second.
// Adds the seconds of each turn's disk opens (disk, disk-again) as turn-disk.
std::string Turns(const std::vector<std::string>& words) {
    const std::string name = words.at(0);
    const int side = std::stoi(words.at(1)), count = std::stoi(words.at(2));
    const std::vector<std::string> lines = ReadLines(words.at(3));
    const auto event = [&](const std::string& what, int of) {
        return CreateEventA(nullptr, FALSE, FALSE, ("Local\\" + name + "-" + what + std::to_string(of)).c_str());
    };
    HANDLE mine = event("turn", side), theirs = event("turn", 1 - side);
    SetEvent(event("ready", side));
    if (WaitForSingleObject(event("ready", 1 - side), 120000) != WAIT_OBJECT_0) return "fail\tthe other side never came";
    ReplayTotals totals;
    std::string perTurn;
    const auto diskSeconds = [&totals] { return totals.categories["disk"].seconds + totals.categories["disk-again"].seconds; };
    // Play k of the 2 * count is turn k / 2's part by side 0, 1, 1, 0, 0, 1, ...
    const auto player = [](int play) { return (play % 2) ^ (play / 2 % 2); };
    for (int play = 0; play < 2 * count; ++play) {
        if (player(play) != side) continue;
        if (play > 0 && player(play - 1) != side && WaitForSingleObject(mine, 120000) != WAIT_OBJECT_0) {
            return "fail\tturn never came";
        }
        const int turn = play / 2;
        const double before = diskSeconds();
        PlayLines(lines, lines.size() * turn / count, lines.size() * (turn + 1) / count, totals);
        perTurn += (turn > 0 ? "," : "") + std::to_string(diskSeconds() - before);
        if (play + 1 < 2 * count && player(play + 1) != side) SetEvent(theirs);
    }
    return ReplayResult(totals) + "\tturn-disk=" + perTurn;
}

#ifdef TAVREN_DYNAMIC_AVI
std::string g_startup;

void WriteByte(const unsigned char* at, unsigned char value) {
    DWORD previous = 0;
    VirtualProtect(const_cast<unsigned char*>(at), 1, PAGE_EXECUTE_READWRITE, &previous);
    *const_cast<unsigned char*>(at) = value;
    VirtualProtect(const_cast<unsigned char*>(at), 1, previous, &previous);
}

DWORD AVIFileInit() {
    const auto* game = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
    const unsigned char* starts[4] = {tavren_hidden_command_code, tavren_loadsnp_code, game + kLeftPageDivisorOffset, game + kRightPageDivisorOffset};
    unsigned char first[4] = {starts[0][0], starts[1][0], starts[2][0], starts[3][0]};
    // A game that unpacks itself: its code is whole only after the library has loaded.
    if (g_startup == "startup late-code") for (const unsigned char* at : starts) WriteByte(at, 0xCC);
    // A plugin importing the AVI library brings it in under the plugin's own loader lock.
    if (g_startup == "startup plugin-first") LoadLibraryA((GameFolder() + "\\lib\\plugin.dll").c_str());
    // A thread suspended as often as the system allows: no thread list that holds it can be stopped, so no hook goes in.
    HANDLE frozen = g_startup == "startup unhookable" ? CreateThread(nullptr, 0, RunFunction, nullptr, CREATE_SUSPENDED, nullptr) : nullptr;
    while (frozen != nullptr && SuspendThread(frozen) != static_cast<DWORD>(-1)) {}
    g_avi = LoadLibraryA("AVIFIL32.dll");
    if (g_startup == "startup late-code") for (int i = 0; i < 4; ++i) WriteByte(starts[i], first[i]);
    if (g_startup == "startup code-at-load") std::printf("loaded\t-\t%s\n", CodeBytes().c_str());
    auto init = reinterpret_cast<DWORD(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(g_avi, "AVIFileInit")));
    return init != nullptr ? init() : 0xFFFFFFFE;
}

// Frees the library and waits up to MS for it to leave the process (its own threads keep it until they end).
bool UnloadAvi(DWORD ms) {
    FreeLibrary(g_avi);
    for (const ULONGLONG deadline = GetTickCount64() + ms; GetModuleHandleA("AVIFIL32.dll") && GetTickCount64() < deadline;) Sleep(20);
    return GetModuleHandleA("AVIFIL32.dll") == nullptr;
}

// What the process holds: handles (all, reserved), free TLS slots (found by taking them all), address space in KiB.
struct Footprint {
    std::pair<int, int> handles = CountHandles();
    std::vector<DWORD> tls;
    long long memory = 0;
    Footprint() {
        for (DWORD slot; (slot = TlsAlloc()) != TLS_OUT_OF_INDEXES;) tls.push_back(slot);
        for (DWORD slot : tls) TlsFree(slot);
        MEMORY_BASIC_INFORMATION info;
        for (std::uintptr_t at = 0x10000; VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info); at += info.RegionSize) {
            memory += info.State != MEM_FREE ? static_cast<long long>(info.RegionSize / 1024) : 0;
        }
    }
    // Left behind since: more real handles, more reserved ones, TLS slots, KiB (ended threads' handles may linger).
    std::string Since() const {
        Sleep(100);
        Footprint now;
        for (int wait = 0; wait < 20 && now.handles.first - handles.first > now.handles.second - handles.second; ++wait) {
            Sleep(100);
            now = Footprint();
        }
        const int reserved = now.handles.second - handles.second;
        return "real=" + std::to_string(std::max(0, now.handles.first - handles.first - reserved)) + "\treserved=" + std::to_string(reserved) +
               "\ttls=" + std::to_string(tls.size() - now.tls.size()) + "\tmemory=" + std::to_string(now.memory - memory);
    }
};

// "reloadavi": one more load, AVIFileInit call and unload of a library that is not loaded now.
std::string ReloadAvi() {
    const Footprint before;
    g_avi = LoadLibraryA("AVIFIL32.dll");
    CallExport("AVIFileInit", "");
    return UnloadAvi(15000) ? "ok\t" + before.Since() : "fail\tstill loaded";
}

// "cycles N PLAN FILE PATTERN": one thread per plan line opens FILE 40 times, all at once, closes it once all
// have, and plays its line over and over while the game frees and loads the library N times and another waits
// inside ReadFile. Reports answers unlike a thread's first, that read, FILE and a search kept open, leftovers.
std::string Cycles(int cycles, const std::string& planPath, const std::string& path, const std::string& pattern) {
    const std::vector<std::string> plan = ReadLines(GameFolder() + "\\" + planPath);
    const long n = static_cast<long>(plan.size());
    const Footprint before;
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr), pipeIn, pipeOut;
    CreatePipe(&pipeIn, &pipeOut, nullptr, 0);
    std::atomic<long> wrong{0}, started{0};
    std::string waited(8, '\0');
    std::vector<std::function<void()>> players{[&] { waited = ReadAll(pipeIn, 8); }};
    auto open = [&] { return CreateFileA(ToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr); };
    for (const std::string& line : plan) {
        players.emplace_back([&, line] {
            ++started;
            WaitForSingleObject(go, INFINITE);
            HANDLE held[40];
            for (HANDLE& each : held) each = open();
            for (++started; started < 2 * n;) Sleep(1);
            for (HANDLE each : held) CloseHandle(each);
            const std::string first = Play(line);
            for (++started; started <= 3 * n;) wrong += Play(line) != first;
        });
    }
    std::vector<HANDLE> threads;
    for (auto& player : players) threads.push_back(CreateThread(nullptr, 0, RunFunction, &player, 0, nullptr));
    for (; started < 3 * n; Sleep(1)) {
        if (started == n) SetEvent(go);
    }
    HANDLE file = open();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(ToAnsi(pattern).c_str(), &found);
    for (int cycle = 0; cycle < cycles; ++cycle) FreeLibrary(g_avi), g_avi = LoadLibraryA("AVIFIL32.dll");
    ++started;  // the players stop
    DWORD written = 0;
    WriteFile(pipeOut, "returned", 8, &written, nullptr);
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (HANDLE each : threads) CloseHandle(each);
    for (HANDLE each : {go, pipeIn, pipeOut}) CloseHandle(each);
    std::string kept = "\tfile=" + Escape(ReadAll(file, 5));
    kept += "," + std::to_string(CloseHandle(file)) + "\tsearch=";
    while (FindNextFileA(search, &found)) kept += FromAnsi(found.cFileName) + ",";
    const DWORD searchEnd = GetLastError();
    kept += std::to_string(searchEnd) + "," + std::to_string(FindClose(search));
    return "ok\twrong=" + std::to_string(wrong) + "\twaited=" + waited + kept + "\t" + before.Since();
}
#endif

// Another process changes the game's files while it runs: cmd /c COMMAND, waited for.
std::string OtherProcess(const std::string& command) {
    std::string line = "cmd.exe /c " + command;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return Error(GetLastError());
    }
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0 ? "ok" : "fail\texit=" + std::to_string(code);
}

std::string Perform(const std::string& op, const std::string& argument) {
    const std::vector<std::string> words = Split(argument, ' ');
    const std::string ansi = ToAnsi(argument);
    if (op == "createa" || op == "createw") return OpenWithCreateFile(argument, op == "createw");
    if (op == "fopen" || op == "fopen+" || op == "fopen_s" || op == "open") return OpenWithCrt(op, argument);
    if (op == "attr") return Attributes(argument);
    if (op == "attrex") return AttributesEx(argument);
    if (op == "find" || op == "findex") return Find(argument, op == "findex");
    if (op == "loadlib" || op == "loadlibw") return LoadLib(argument, op == "loadlibw");
    // A library the game keeps loaded from its start, as the real one does its Direct3D.
    if (op == "keeplib") return LoadLibraryA(ansi.c_str()) != nullptr ? "ok" : Error(GetLastError());
    if (op == "handles" || op == "morehandles") return HandleOperations(argument, op == "morehandles");
    if (op == "crt") return CrtHandle(argument);
    if (op == "call") return CallExport(words.at(0), argument.substr(std::min(argument.size(), words[0].size() + 1)));
    if (op == "font") return CreateFontWith(argument);
    if (op == "fontmade") return CreateFontWith(argument).substr(0, 2);
    if (op == "codebytes") return CodeBytes();
    if (op == "chdir") return SetCurrentDirectoryA(ansi.c_str()) ? "ok" : Error(GetLastError());
    if (op == "delete") return DeleteFileA(ansi.c_str()) ? "ok" : Error(GetLastError());
    if (op == "mkdir") return CreateDirectoryA(ansi.c_str(), nullptr) ? "ok" : Error(GetLastError());
    if (op == "file") {
        const std::size_t at = words.at(0).size() + words.at(1).size() + words.at(2).size() + 3;
        return FileOp(words[0], words[1], words[2], argument.size() > at ? argument.substr(at) : "");
    }
    if (op == "move") return MoveFileA(ToAnsi(words.at(0)).c_str(), ToAnsi(words.at(1)).c_str()) ? "ok" : Error(GetLastError());
    if (op == "write") {
        HANDLE file = CreateFileA(ansi.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return Error(GetLastError());
        DWORD written = 0;
        WriteFile(file, "written by the game", 19, &written, nullptr);
        CloseHandle(file);
        return "ok";
    }
    for (int i = 0; op == "realhandles" && i < std::stoi(argument); ++i) g_realHandles.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (op == "realhandles") return "ok\tkept=" + std::to_string(std::count_if(g_realHandles.begin(), g_realHandles.end(), [](HANDLE h) { return h; }));
    if (op == "virtualbesidereal") return VirtualBesideReal(std::stoi(words.at(0)), words.at(1));
#ifdef TAVREN_DYNAMIC_AVI
    if (op == "unloadavi") return UnloadAvi(std::stoul(argument)) ? "ok\tunloaded" : "ok\tloaded";
    if (op == "reloadavi") return ReloadAvi();
    if (op == "cycles") return Cycles(std::stoi(words.at(0)), words.at(1), words.at(2), words.at(3));
#endif
    if (op == "stress") return Stress(std::stoi(words.at(0)), std::stoi(words[1]), std::stoi(words[2]), std::stoi(words[3]), words.at(4));
    if (op == "replay") return Replay(argument);
    if (op == "turns") return Turns(words);
    if (op == "other") return OtherProcess(argument);
    if (op == "sleep") return Sleep(static_cast<DWORD>(std::stoul(argument))), "ok";
    if (op == "startup") return "ok";
    return "fail\tunknown operation";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> lines = ReadLines(argc >= 2 ? argv[1] : "");
#ifdef TAVREN_DYNAMIC_AVI
    if (!lines.empty()) g_startup = lines[0];
#endif
    std::printf("avifileinit\t-\tresult=%lu\n", AVIFileInit()), std::fflush(stdout);
    for (const std::string& line : lines) {
        const std::string result = Play(line);
        const std::size_t space = line.find(' ');
        std::printf("%s\t%s\t%s\n", line.substr(0, space).c_str(), space == std::string::npos ? "" : line.c_str() + space + 1, result.c_str());
        std::fflush(stdout);
    }
    return 0;
}
