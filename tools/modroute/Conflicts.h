// Every game path the selected mod (its folder and its packs) and the base
// folder (its folder and its packs) supply, who else supplies it (the game
// folder's own copy included), and which of them the redirector serves. The
// winner is the resolver's own answer, so the rules live in one place.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "GameView.h"

namespace modroute::tool {

enum class Source { ModPack, GameFolder, Mod, BasePack, Base };

// "mod pack", "game folder", "mod", "base pack", "base".
const char* SourceName(Source source);

struct Supply {
    Source source;
    std::string file;  // the file, or for a pack's entry the pack
};

struct SuppliedPath {
    std::string path;               // the game path, UTF-8, as the first supplier spells it
    std::vector<Supply> supplies;   // ordered by Source
    std::optional<std::size_t> winner;  // the supply the game is served, if one of these
    std::string servedInstead;      // otherwise: the file the resolver answers with
    std::string rule;               // the deciding rule's name
    // False when the game finds nothing by this path: such files (a free-named
    // map's, say) are reached through another path and hide nothing.
    bool reached = true;

    std::size_t HiddenCount() const { return reached ? supplies.size() - (winner ? 1 : 0) : 0; }
};

// In the order of the paths' lower-case spelling.
std::vector<SuppliedPath> SuppliedPaths(GameView& view);

}  // namespace modroute::tool
