// Checks of packs that the tool's pvk commands make: whether a key may be
// written below an extraction folder, and what is wrong with a pack's
// header and tables measured against its file. Pure code.
#pragma once

#include <optional>
#include <string>
#include <string_view>
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

}  // namespace modroute::tool
