// The tool's voice: UTF-8 text to standard output and standard error, a
// progress line for long jobs, and the exit codes scripts can rely on. A
// console gets UTF-16 through WriteConsoleW, so Chinese names show whatever
// the console's code page is; a pipe or a file gets the UTF-8 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace modroute::tool {

enum ExitCode : int {
    kOk = 0,          // done, nothing wrong found
    kProblems = 1,    // done, and problems were found (each one printed)
    kBadUsage = 2,    // the command line is wrong
    kCannotRead = 3,  // an input (game folder, pack, index) cannot be read
};

// Standard output, collected and written in large pieces.
void Out(std::string_view utf8);
void OutLine(std::string_view utf8 = {});
// Standard error, written at once.
void ErrLine(std::string_view utf8);
// Writes what Out collected; also done at exit by main.
void FlushOut();

// The command line as UTF-8 arguments, without the program's own name.
std::vector<std::string> CommandLineArguments();

// "done of total" on one standard-error line, rewritten in place at most a
// few times a second, for jobs large enough to make someone wait, and only
// when standard error is a console; nothing for small jobs.
class Progress {
public:
    Progress(std::string label, std::uint64_t totalBytes, std::size_t totalItems);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Advance(std::uint64_t bytes);

private:
    void Show(bool last);

    std::string m_label;
    std::uint64_t m_totalBytes;
    std::size_t m_totalItems;
    std::uint64_t m_doneBytes = 0;
    std::size_t m_doneItems = 0;
    std::uint64_t m_lastShown = 0;
    bool m_active;
};

// The system's message for GetLastError(), empty when there is none.
std::string LastErrorText();

// Small text helpers for the reports.
std::string Quantity(std::uint64_t count, std::string_view one, std::string_view many);
std::string MiB(std::uint64_t bytes);  // "12.3 MiB"

}  // namespace modroute::tool
