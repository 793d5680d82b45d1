// Checks of packs that the tool's pvk commands make: whether a key may be
// written below an extraction folder, and what is wrong with a pack's
// header and tables measured against its file. Pure code.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vfs/PvkFile.h"

namespace modroute::tool {

// Why a key cannot become a file below the extraction folder (it would leave
// the folder, or name something that is not a plain file there); nothing
// when it can.
std::optional<std::string> UnsafeKeyReason(std::string_view key);

// Every problem of the header and the tables, one sentence each: the content
// block outside the file or over the header, a table without its terminator,
// entries whose data lies outside the block the file holds.
std::vector<std::string> PvkTableProblems(const PvkTable& pack);

// Every problem of the entries' names, one sentence each: a key that would
// leave an extraction folder, two keys that differ only in letter case (one
// file overwrites the other on Windows), a key the game's code page 936
// cannot name (utf8ToGbkExact gives nothing), so the game can never open it.
using GbkExactConverter = std::optional<std::string> (*)(std::string_view utf8);
std::vector<std::string> PvkNameProblems(const PvkTable& pack, GbkExactConverter utf8ToGbkExact);

// The first of two names that differ only in ASCII letter case, by index.
std::vector<std::pair<std::size_t, std::size_t>> CaseTwins(const std::vector<std::string>& names);

}  // namespace modroute::tool
