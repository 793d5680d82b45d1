#include "PvkChecks.h"

#include <array>
#include <map>

#include "common/PathText.h"

namespace modroute::tool {
namespace {

// Names Windows gives to devices in every folder, with any extension.
constexpr std::array<std::string_view, 22> kDeviceNames = {
    "con",  "prn",  "aux",  "nul",  "com1", "com2", "com3", "com4", "com5", "com6", "com7",
    "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9",
};

bool IsDeviceName(std::string_view part) {
    const std::string stem = ToLowerAscii(part.substr(0, part.find('.')));
    for (const std::string_view device : kDeviceNames) {
        if (stem == device) return true;
    }
    return false;
}

std::string Entry(std::size_t index, const PvkEntry& entry) {
    return "entry " + std::to_string(index + 1) + " (" + entry.key + ")";
}

}  // namespace

std::optional<std::string> UnsafeKeyReason(std::string_view key) {
    if (key.empty()) return "it is empty";
    if (IsAbsolutePath(key) || IsSeparator(key.front())) return "it is an absolute path";
    if (key.find(':') != std::string_view::npos) return "it holds a colon (a drive or a stream)";
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = start;
        while (end < key.size() && !IsSeparator(key[end])) ++end;
        const std::string_view part = key.substr(start, end - start);
        if (part == "..") return "it climbs out of the folder with \"..\"";
        if (part.empty() || part == ".") return "it has an empty or \".\" part";
        // Windows drops trailing dots and blanks: "a." would be written as "a".
        if (part.back() == '.' || part.back() == ' ') return "a part ends with a dot or a blank";
        if (IsDeviceName(part)) return "a part names a device (" + std::string(part) + ")";
        start = end + 1;
    }
    return std::nullopt;
}

std::vector<std::string> PvkTableProblems(const PvkTable& pack) {
    std::vector<std::string> problems;
    const PvkHeader& header = pack.header;
    const std::uint64_t declaredEnd = std::uint64_t{header.contentOffset} + header.contentSize;
    if (header.contentOffset < header.End()) {
        problems.push_back("the content block starts at " + std::to_string(header.contentOffset) +
                           ", inside the header, which ends at " + std::to_string(header.End()));
    }
    if (header.contentOffset >= pack.fileSize && header.contentSize > 0) {
        problems.push_back("the content block starts at " + std::to_string(header.contentOffset) +
                           ", beyond the end of the file (" + std::to_string(pack.fileSize) + " bytes)");
    } else if (declaredEnd > pack.fileSize) {
        problems.push_back("the content block runs past the end of the file: " +
                           std::to_string(header.contentSize) + " bytes declared at " +
                           std::to_string(header.contentOffset) + ", the file holds " +
                           std::to_string(pack.fileSize - header.contentOffset) + " of them");
    }
    if (!pack.table.terminated) {
        problems.push_back("the entry table has no terminating zero inside the content block (" +
                           std::to_string(pack.table.entries.size()) + " entries read whole)");
    }
    for (std::size_t i = 0; i < pack.table.entries.size(); ++i) {
        const PvkEntry& entry = pack.table.entries[i];
        if (!entry.hasData) {
            problems.push_back(Entry(i, entry) + ": its " + std::to_string(entry.size) +
                               " bytes of data run past the content block the file holds");
        }
    }
    return problems;
}

std::vector<std::pair<std::size_t, std::size_t>> CaseTwins(const std::vector<std::string>& names) {
    std::vector<std::pair<std::size_t, std::size_t>> twins;
    std::map<std::string, std::size_t> first;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto [at, fresh] = first.emplace(ToLowerAscii(names[i]), i);
        if (!fresh && names[at->second] != names[i]) twins.emplace_back(at->second, i);
    }
    return twins;
}

std::vector<std::string> PvkNameProblems(const PvkTable& pack, GbkExactConverter utf8ToGbkExact) {
    std::vector<std::string> problems;
    const std::vector<PvkEntry>& entries = pack.table.entries;
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        keys.push_back(entries[i].key);
        if (const std::optional<std::string> unsafe = UnsafeKeyReason(entries[i].key)) {
            problems.push_back(Entry(i, entries[i]) + " would leave the folder it is extracted to: " + *unsafe);
        } else if (!utf8ToGbkExact(entries[i].key)) {
            problems.push_back(Entry(i, entries[i]) +
                               ": the game's code page 936 cannot name it, so the game can never open it");
        }
    }
    for (const auto& [first, second] : CaseTwins(keys)) {
        problems.push_back(Entry(second, entries[second]) + " and " + Entry(first, entries[first]) +
                           " differ only in letter case: on Windows one overwrites the other");
    }
    return problems;
}

}  // namespace modroute::tool
