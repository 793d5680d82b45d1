// What the tool finds in a map index (Tavren.res): the blocks the system's
// reader takes, and every problem a reader of the game would stumble on --
// blocks laid out as blocks that the system cannot read back, bytes the
// system takes for a block that are none, a stored count that does not
// match. Pure code over the file's bytes; names stay GBK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "autores/ResFormat.h"
#include "common/Utf8Text.h"

namespace modroute::tool {

struct ResBlockView {
    std::size_t offset = 0;
    ResMapRecord record;    // as the system reads it
    std::string storedKey;  // the key the block carries after its name; empty when none follows
};

struct ResReport {
    std::optional<std::uint16_t> storedCount;  // nothing for a file shorter than the header
    std::vector<ResBlockView> blocks;          // every block the system reads, in file order
    std::vector<std::string> problems;         // names in them given in UTF-8
};

// gbkToUtf8Exact gives nothing for bytes that are not code page 936 text.
using ExactConverter = std::optional<std::string> (*)(std::string_view);

ResReport CheckRes(ResBytes file, ExactConverter gbkToUtf8Exact);

}  // namespace modroute::tool
