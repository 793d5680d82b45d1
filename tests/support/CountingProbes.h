// Answers a mod file index's disk and clock questions from the real disk and
// clock, and counts them; the clock can be pinned so build times are known.
// For one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resources/ModFileIndex.h"

namespace testsupport {

class CountingProbes : public modroute::ModFolderProbes {
public:
    struct ExistenceTest {
        bool isFile;
        std::string path;
    };

    bool DirectoryExists(std::string_view utf8Path) override {
        existenceTests.push_back({false, std::string(utf8Path)});
        return modroute::DiskProbes().DirectoryExists(utf8Path);
    }
    bool FileExists(std::string_view utf8Path) override {
        existenceTests.push_back({true, std::string(utf8Path)});
        return modroute::DiskProbes().FileExists(utf8Path);
    }
    std::uint64_t FileTime(std::string_view utf8Path) override {
        ++timeQueries;
        return modroute::DiskProbes().FileTime(utf8Path);
    }
    std::uint64_t Now() override {
        ++clockReads;
        return pinnedNow != 0 ? pinnedNow : modroute::DiskProbes().Now();
    }

    void ResetCounts() {
        existenceTests.clear();
        timeQueries = 0;
        clockReads = 0;
    }

    std::vector<ExistenceTest> existenceTests;
    std::size_t timeQueries = 0;
    std::size_t clockReads = 0;
    std::uint64_t pinnedNow = 0;  // 0: the real clock
};

}  // namespace testsupport
