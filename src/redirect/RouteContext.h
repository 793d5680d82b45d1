// What the redirector needs to know to answer "where is this game path
// served from?", handed to it as one value. Whenever any of it changes (the
// full initialisation's search list, a new map table) the redirector starts
// over with empty caches; so does a change of the virtual file system's
// contents or of the file index, which it notices through their generations.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "autores/SnDirectoryMap.h"
#include "vfs/VirtualFileLookup.h"

// <windows.h> maps SearchPath to SearchPathA; the redirector's own type wins
// wherever this header is seen.
#undef SearchPath

namespace modroute {

class FileIndex;

// Where a path was found. Unchanged: the path is not the redirector's to
// change (absolute, not valid code page 936 text, or a render.json nobody
// supplies); the caller uses its own path.
enum class ServedFrom { GameFolder, Mod, Base, Virtual, Nowhere, Unchanged };

const char* ServedFromName(ServedFrom from);

struct SearchPath {
    std::string path;  // absolute folder, UTF-8
    ServedFrom from = ServedFrom::GameFolder;
    bool operator==(const SearchPath&) const = default;
};
using SearchPathList = std::vector<SearchPath>;

struct RouteContext {
    std::string gameFolder;  // UTF-8, no trailing separator
    std::string baseFolder;
    // The selected mod's folder, whether or not it exists; empty when no mod
    // is selected or the selection is "base".
    std::string modFolder;
    SearchPathList searchPaths;
    // Present only when AutoRes is on; map ids are rewritten while it holds entries.
    std::shared_ptr<const SnDirectoryMap> mapTable;
    const VirtualFileLookup* virtualFiles = nullptr;
    // Where the files of the game, base and mod folders are, once walked;
    // without it (or where it does not know) the disk is asked.
    FileIndex* fileIndex = nullptr;

    bool MapRewriteActive() const { return mapTable && !mapTable->Empty(); }
    // The same folders, the same map table object and the same file system.
    bool operator==(const RouteContext&) const = default;
};

// The rule that decided an answer of the redirector.
enum class ResolutionRule {
    Absolute,           // an absolute path: never the redirector's to change
    NotText,            // bytes that are not code page 936 text
    Empty,              // nothing left once the path is normalised
    RootFile,           // a game-root file, from the game folder
    GameFolderCopy,     // the game folder's own copy wins
    Mod,                // from the selected mod's folder
    Base,               // from the base folder
    MapFile,            // a map file (*.wp, *_.pst): mod and base before the game folder
    Pack,               // a pack ranked first of all
    BasePack,           // a pack of the base folder, ranked with the base folder
    RenderJson,         // a map's render.json, by its map folder
    RenderJsonMissing,  // a map's render.json that nobody supplies
    NotFound,           // nothing holds it
};

// The rule's short name for scripts: "root-file", "base-pack", ...
const char* ResolutionRuleName(ResolutionRule rule);

// One answer of the redirector.
struct Resolution {
    ServedFrom from = ServedFrom::Nowhere;
    ResolutionRule rule = ResolutionRule::NotFound;
    // GameFolder, Mod, Base: the absolute file path. Virtual: the cleaned path
    // inside the virtual file system. Nowhere: the clean relative form of the
    // request. Unchanged: empty; the caller keeps its own request. UTF-8.
    std::string path;
    // path in code page 936 when every character has a GBK form; empty
    // otherwise, and then only the wide-character functions can open it.
    std::string gbkPath;
    bool gbkExact = false;

    // The caller should open path instead of its own request.
    bool Redirects() const {
        return from == ServedFrom::GameFolder || from == ServedFrom::Mod || from == ServedFrom::Base;
    }
};

}  // namespace modroute
