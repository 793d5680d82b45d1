// Calls of the library's exports as other code in the game process makes
// them: through GetProcAddress, with the C calling convention. Every call
// goes through one trampoline that checks the callee left the arguments to
// its caller, as a C function must; a wrong convention shows as a failed line
// instead of a corrupted stack.
//
//   call AVIFileInit | InitializeTavrenModSystem
//   call ResolvePath PATH | ShouldRedirect PATH | GetModFileSize PATH | ModFileExists PATH
//   call ReadModFile PATH             reads into a fresh buffer and keeps it; prints the result,
//                                     whether the buffer was set, and the data's size, FNV-1a and head
//   call ReadModFile -nobuffer PATH   the same with a null buffer pointer
//   call FreeFileBuffer               frees every kept buffer; -null: FreeFileBuffer(NULL)
//   call GetVFSMemoryStats            current and peak; -null: both pointers null
//   call GetReadModFileUsage          the text's bytes in hex
//   call GetModSystemVersion | ClearVFSMemory | DumpVFSMemoryInfo | ValidateVFSMemory
// A PATH of -null passes a null pointer.
#include "EscapedBytes.h"
#include "ExportCalls.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" std::uint32_t CallWithTwoArguments(const void* function, std::uintptr_t first, std::uintptr_t second,
                                              std::int32_t* stackBytesTaken);

// Pushes both arguments, calls, removes them again and reports how far the
// callee moved the stack pointer on its way out: 0 for a C function, 4 per
// argument for one that removes its arguments itself.
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

namespace standin {
namespace {

std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    const int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(to, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

std::string Hex(const char* bytes, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        char part[4];
        std::snprintf(part, sizeof part, "%02X", static_cast<unsigned char>(bytes[i]));
        text += part;
    }
    return text;
}

std::uint32_t Fnv1a(const char* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<unsigned char>(data[i])) * 16777619u;
    return hash;
}

// Buffers from ReadModFile that FreeFileBuffer has not had yet.
std::vector<void*> g_keptBuffers;

struct Call {
    const void* function;
    std::string failure;  // empty when the callee kept the C convention
    std::uint32_t result = 0;
};

Call Invoke(FARPROC address, const std::string& name, std::uintptr_t first = 0, std::uintptr_t second = 0) {
    Call call{reinterpret_cast<const void*>(address), {}};
    std::int32_t taken = 0;
    call.result = CallWithTwoArguments(call.function, first, second, &taken);
    if (taken != 0) call.failure = "fail\t" + name + " removed " + std::to_string(taken) + " bytes of its caller's arguments";
    return call;
}

std::string Bool(std::uint32_t result) { return (result & 0xFF) != 0 ? "true" : "false"; }

// Takes a leading option word off the argument.
bool TakeOption(std::string& argument, const std::string& option) {
    if (argument != option && argument.rfind(option + " ", 0) != 0) return false;
    argument.erase(0, argument.size() == option.size() ? option.size() : option.size() + 1);
    return true;
}

std::string ReadModFile(FARPROC address, std::string argument) {
    const bool noBuffer = TakeOption(argument, "-nobuffer");
    const bool nullPath = argument == "-null";
    const std::string path = Convert(argument, CP_UTF8, CP_ACP);
    void* const untouched = &g_keptBuffers;  // a value ReadModFile never hands out
    void* buffer = untouched;
    const Call call = Invoke(address, "ReadModFile", nullPath ? 0 : reinterpret_cast<std::uintptr_t>(path.c_str()),
                             noBuffer ? 0 : reinterpret_cast<std::uintptr_t>(&buffer));
    if (!call.failure.empty()) return call.failure;
    std::string line = "ok\tresult=" + std::to_string(call.result);
    if (noBuffer) return line;
    if (buffer == untouched) return line + "\tbuffer=untouched";
    if (buffer == nullptr) return line + "\tbuffer=null";
    g_keptBuffers.push_back(buffer);
    const char* data = static_cast<const char*>(buffer);
    char hash[16];
    std::snprintf(hash, sizeof hash, "%08X", Fnv1a(data, call.result));
    return line + "\tbuffer=set\tfnv=" + hash + "\thead=" + EscapedBytes(std::string_view(data, call.result), 40);
}

}  // namespace

std::string CallExport(const std::string& name, const std::string& argument) {
    HMODULE library = GetModuleHandleA("AVIFIL32.dll");
    if (library == nullptr) return "fail\tAVIFIL32.dll not loaded";
    FARPROC address = GetProcAddress(library, name.c_str());
    if (address == nullptr) return "fail\tno export " + name;
    if (name == "AVIFileInit") {
        const DWORD result = reinterpret_cast<DWORD(WINAPI*)()>(reinterpret_cast<void*>(address))();
        return "ok\tresult=" + std::to_string(result);
    }
    if (name == "ReadModFile") return ReadModFile(address, argument);

    const std::string ansi = Convert(argument, CP_UTF8, CP_ACP);
    const std::uintptr_t path = argument == "-null" ? 0 : reinterpret_cast<std::uintptr_t>(ansi.c_str());
    if (name == "ResolvePath" || name == "GetReadModFileUsage" || name == "GetModSystemVersion") {
        const Call call = Invoke(address, name, path);
        if (!call.failure.empty()) return call.failure;
        const char* text = reinterpret_cast<const char*>(call.result);
        if (text == nullptr) return "ok\t(null)";
        if (name == "GetReadModFileUsage") return "ok\thex=" + Hex(text, std::strlen(text));
        return "ok\t" + Convert(text, CP_ACP, CP_UTF8);
    }
    if (name == "InitializeTavrenModSystem" || name == "ShouldRedirect" || name == "ModFileExists" ||
        name == "ValidateVFSMemory") {
        const Call call = Invoke(address, name, path);
        if (!call.failure.empty()) return call.failure;
        return (name == "InitializeTavrenModSystem" ? "ok\tresult=" : "ok\t") + Bool(call.result);
    }
    if (name == "GetModFileSize") {
        const Call call = Invoke(address, name, path);
        return call.failure.empty() ? "ok\t" + std::to_string(call.result) : call.failure;
    }
    if (name == "FreeFileBuffer") {
        if (argument == "-null") {
            const Call call = Invoke(address, name, 0);
            return call.failure.empty() ? "ok" : call.failure;
        }
        const std::size_t freed = g_keptBuffers.size();
        for (void* buffer : g_keptBuffers) {
            const Call call = Invoke(address, name, reinterpret_cast<std::uintptr_t>(buffer));
            if (!call.failure.empty()) return call.failure;
        }
        g_keptBuffers.clear();
        return "ok\tfreed=" + std::to_string(freed);
    }
    if (name == "GetVFSMemoryStats") {
        std::uint32_t current = 0xFFFFFFFF;
        std::uint32_t peak = 0xFFFFFFFF;
        const bool nulls = argument == "-null";
        const Call call = Invoke(address, name, nulls ? 0 : reinterpret_cast<std::uintptr_t>(&current),
                                 nulls ? 0 : reinterpret_cast<std::uintptr_t>(&peak));
        if (!call.failure.empty()) return call.failure;
        if (nulls) return "ok";
        return "ok\tcurrent=" + std::to_string(current) + "\tpeak=" + std::to_string(peak);
    }
    if (name == "ClearVFSMemory" || name == "DumpVFSMemoryInfo") {
        const Call call = Invoke(address, name);
        return call.failure.empty() ? "ok" : call.failure;
    }
    return "fail\tno calling convention known for " + name;
}

}  // namespace standin
