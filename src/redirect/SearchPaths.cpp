#include "redirect/SearchPaths.h"

#include <algorithm>

namespace modroute {

const char* ServedFromName(ServedFrom from) {
    switch (from) {
        case ServedFrom::GameFolder: return "game";
        case ServedFrom::Mod: return "mod";
        case ServedFrom::Base: return "base";
        case ServedFrom::Virtual: return "pack";
        case ServedFrom::Nowhere: return "nowhere";
        case ServedFrom::Unchanged: return "unchanged";
    }
    return "?";
}

const char* ResolutionRuleName(ResolutionRule rule) {
    switch (rule) {
        case ResolutionRule::Absolute: return "absolute";
        case ResolutionRule::NotText: return "not-text";
        case ResolutionRule::Empty: return "empty";
        case ResolutionRule::RootFile: return "root-file";
        case ResolutionRule::GameFolderCopy: return "game-folder-copy";
        case ResolutionRule::Mod: return "mod";
        case ResolutionRule::Base: return "base";
        case ResolutionRule::MapFile: return "map-file";
        case ResolutionRule::Pack: return "pack";
        case ResolutionRule::BasePack: return "base-pack";
        case ResolutionRule::RenderJson: return "render-json";
        case ResolutionRule::RenderJsonMissing: return "render-json-missing";
        case ResolutionRule::NotFound: return "not-found";
    }
    return "?";
}

SearchPathList BuildSearchPaths(const std::string& modFolder, bool modFolderExists, const std::string& baseFolder,
                                const std::string& gameFolder) {
    SearchPathList all;
    if (!modFolder.empty() && modFolderExists) all.push_back({modFolder, ServedFrom::Mod});
    all.push_back({baseFolder, ServedFrom::Base});
    all.push_back({gameFolder, ServedFrom::GameFolder});
    SearchPathList unique;
    for (SearchPath& entry : all) {
        const bool seen = std::any_of(unique.begin(), unique.end(),
                                      [&](const SearchPath& kept) { return kept.path == entry.path; });
        if (!seen) unique.push_back(std::move(entry));
    }
    return unique;
}

}  // namespace modroute
