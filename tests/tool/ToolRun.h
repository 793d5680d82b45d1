// Running modroute.exe from the tests, and reading its reports: a resolve
// report's field for a path, the rows of a tab-separated listing, a snapshot
// of a folder's files to prove nothing was written.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "GameHarness.h"

namespace tooltest {

inline gamerun::ProgramRun Modroute(const std::vector<std::string>& arguments) {
    gamerun::ProgramRun run = gamerun::RunProgram(L"modroute.exe", arguments);
    EXPECT_FALSE(run.timedOut);
    return run;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline bool HasLine(const std::string& text, const std::string& line) {
    for (const std::string& candidate : Lines(text)) {
        if (candidate == line) return true;
    }
    return false;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The value of a labelled line ("  rule        pack: ...") in the block a
// resolve report gives the path; empty when there is none.
inline std::string ResolveField(const std::string& report, const std::string& path, const std::string& label) {
    const std::vector<std::string> lines = Lines(report);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != path || (i > 0 && !lines[i - 1].empty())) continue;
        for (std::size_t j = i + 1; j < lines.size() && !lines[j].empty(); ++j) {
            const std::string prefix = "  " + label;
            if (lines[j].rfind(prefix, 0) == 0 && lines[j].size() > 14) return lines[j].substr(14);
        }
    }
    return {};
}

// Every file and folder below a folder, with the files' bytes.
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const gamerun::TreeEntry& entry : gamerun::ListTree(folder)) {
        if (entry.isFolder) {
            files[entry.relative + "\\"] = "";
        } else {
            gamerun::ReadFile(folder + "\\" + entry.relative, files[entry.relative]);
        }
    }
    return files;
}

}  // namespace tooltest
