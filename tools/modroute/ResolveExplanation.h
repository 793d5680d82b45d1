// Why the redirector answered a game path as it did. The answer and the rule
// that decided it come from the product's resolver; the explanation puts the
// rule in a sentence and shows the map-id rewrite that applied.
#pragma once

#include <string>

#include "GameView.h"

namespace modroute::tool {

struct Explanation {
    std::string servedFrom;  // "mod Blades", "base", "game folder", "pack", "nowhere", or the game's own path
    std::string file;        // the file opened, the packed path, or the path the game keeps
    std::string pack;        // for a packed file: the pack it is read from
    std::string rewrite;     // the map-id rewrite that applied, empty when none
    std::string rule;        // a short name of the deciding rule, for scripts
    std::string why;         // the rule in a sentence
    bool found = true;       // false when nothing supplies the path
};

Explanation ExplainResolution(GameView& view, const std::string& utf8Request);

}  // namespace modroute::tool
