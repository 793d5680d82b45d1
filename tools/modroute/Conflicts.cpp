#include "Conflicts.h"

#include <algorithm>
#include <map>

#include "FolderFiles.h"
#include "common/FileSystem.h"
#include "common/PathText.h"
#include "redirect/RouteContext.h"
#include "startup/BackgroundThreads.h"
#include "vfs/PvkFile.h"

namespace modroute::tool {
namespace {

class Collector {
public:
    void Add(const std::string& path, Source source, const std::string& file) {
        const auto [at, fresh] = m_byKey.emplace(ToLowerAscii(path), m_paths.size());
        if (fresh) m_paths.push_back({path, {}, std::nullopt, {}, {}, true});
        std::vector<Supply>& supplies = m_paths[at->second].supplies;
        // A pack holding one path twice supplies it once.
        for (const Supply& supply : supplies) {
            if (supply.source == source && supply.file == file) return;
        }
        supplies.push_back({source, file});
    }

    // A folder's own files, without its packs and its description file.
    void AddFolder(const std::string& folder, Source source, const std::string& descriptionFile) {
        if (folder.empty() || !DirectoryExists(folder)) return;
        for (const FolderFile& file : FilesBelow(folder)) {
            if (file.directory.empty() &&
                (EqualsIgnoringAsciiCase(GetExtension(file.name), ".pvk") ||
                 EqualsIgnoringAsciiCase(file.name, descriptionFile))) {
                continue;
            }
            Add(file.relative, source, PathJoin(folder, file.relative));
        }
    }

    void AddPack(const std::string& pack, Source source) {
        PvkTable table;
        if (ReadPvkTable(pack, table) != PvkReadStatus::Ok) return;
        for (const PvkEntry& entry : table.table.entries) {
            if (!entry.key.empty()) Add(entry.key, source, pack);
        }
    }

    std::vector<SuppliedPath> Take() {
        std::vector<SuppliedPath> paths;
        for (const auto& [key, index] : m_byKey) paths.push_back(std::move(m_paths[index]));
        return paths;
    }

private:
    std::map<std::string, std::size_t> m_byKey;
    std::vector<SuppliedPath> m_paths;
};

bool SameFile(const std::string& a, const std::string& b) {
    return EqualsIgnoringAsciiCase(ToBackslashes(a), ToBackslashes(b));
}

}  // namespace

const char* SourceName(Source source) {
    switch (source) {
        case Source::ModPack: return "mod pack";
        case Source::GameFolder: return "game folder";
        case Source::Mod: return "mod";
        case Source::BasePack: return "base pack";
        case Source::Base: return "base";
    }
    return "?";
}

std::vector<SuppliedPath> SuppliedPaths(GameView& view) {
    const ConfigManager& config = view.Config();
    const std::string game = config.GetGameFolder();
    const std::string modFolder = config.GetSelectedModFolder();
    const std::string baseFolder = config.GetBaseFolder();
    Collector collector;
    collector.AddFolder(modFolder, Source::Mod, config.GetSelectedMod() + ".ini");
    collector.AddFolder(baseFolder, Source::Base, "base.ini");
    for (const std::string& pack : PvkIndexFiles(baseFolder, modFolder)) {
        const bool ofMod = !modFolder.empty() && SameFile(PathJoin(modFolder, GetFileName(pack)), pack);
        collector.AddPack(pack, ofMod ? Source::ModPack : Source::BasePack);
    }
    std::vector<SuppliedPath> paths = collector.Take();

    for (SuppliedPath& path : paths) {
        const std::string own = PathJoin(game, path.path);
        if (FileExists(own)) path.supplies.push_back({Source::GameFolder, own});
        std::stable_sort(path.supplies.begin(), path.supplies.end(),
                         [](const Supply& a, const Supply& b) { return a.source < b.source; });

        const std::shared_ptr<const Resolution> answer = view.Router().ResolveUtf8(path.path);
        path.rule = ResolutionRuleName(answer->rule);
        std::string served = answer->path;
        if (answer->from == ServedFrom::Virtual) served = view.Files().PackOf(answer->path).value_or(served);
        for (std::size_t i = 0; i < path.supplies.size(); ++i) {
            if (SameFile(path.supplies[i].file, served)) path.winner = i;
        }
        if (!path.winner) path.servedInstead = served.empty() ? path.path : served;
        path.reached = answer->from != ServedFrom::Nowhere && answer->from != ServedFrom::Unchanged;
    }
    return paths;
}

}  // namespace modroute::tool
