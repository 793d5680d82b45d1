#include "Console.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "common/TextEncoding.h"

namespace modroute::tool {
namespace {

// A pack of this many entries or bytes takes long enough to show progress.
constexpr std::size_t kLongJobItems = 500;
constexpr std::uint64_t kLongJobBytes = 16u * 1024u * 1024u;
constexpr std::size_t kOutFlushSize = 64 * 1024;
constexpr ULONGLONG kProgressInterval = 250;  // ms

std::string g_out;

void Write(DWORD which, std::string_view utf8) {
    if (utf8.empty()) return;
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Utf8ToWide(utf8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::size_t done = 0;
    while (done < utf8.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, utf8.data() + done, static_cast<DWORD>(utf8.size() - done), &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

// Progress lines are for a person watching; a pipe or a file gets none.
bool StandardErrorIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace

void Out(std::string_view utf8) {
    g_out += utf8;
    if (g_out.size() >= kOutFlushSize) FlushOut();
}

void OutLine(std::string_view utf8) {
    Out(utf8);
    Out("\n");
}

void ErrLine(std::string_view utf8) {
    FlushOut();  // keeps the two streams in order on a console
    Write(STD_ERROR_HANDLE, std::string(utf8) + "\n");
}

void FlushOut() {
    Write(STD_OUTPUT_HANDLE, g_out);
    g_out.clear();
}

std::vector<std::string> CommandLineArguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> result;
    if (arguments == nullptr) return result;
    for (int i = 1; i < count; ++i) result.push_back(WideToUtf8(arguments[i]));
    LocalFree(arguments);
    return result;
}

Progress::Progress(std::string label, std::uint64_t totalBytes, std::size_t totalItems)
    : m_label(std::move(label)),
      m_totalBytes(totalBytes),
      m_totalItems(totalItems),
      m_active((totalItems >= kLongJobItems || totalBytes >= kLongJobBytes) && StandardErrorIsConsole()) {}

Progress::~Progress() {
    if (m_active) Show(true);
}

void Progress::Advance(std::uint64_t bytes) {
    m_doneBytes += bytes;
    ++m_doneItems;
    if (!m_active) return;
    const ULONGLONG now = GetTickCount64();
    if (m_lastShown != 0 && now - m_lastShown < kProgressInterval) return;
    m_lastShown = now;
    Show(false);
}

void Progress::Show(bool last) {
    const std::string line = "\r" + m_label + ": " + std::to_string(m_doneItems) + " of " +
                             std::to_string(m_totalItems) + " entries, " + MiB(m_doneBytes) + " of " +
                             MiB(m_totalBytes);
    FlushOut();
    Write(STD_ERROR_HANDLE, last ? line + "\n" : line);
}

std::string LastErrorText() {
    const DWORD error = GetLastError();
    if (error == ERROR_SUCCESS) return {};
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string message = length > 0 ? WideToUtf8(std::wstring_view(text, length)) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message + " (error " + std::to_string(error) + ")";
}

std::string Quantity(std::uint64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string MiB(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

}  // namespace modroute::tool
