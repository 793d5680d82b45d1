#include "autores/AutoRes.h"

#include "autores/MapChangeCheck.h"
#include "autores/MapDirectoryMatch.h"
#include "autores/MapNameFile.h"
#include "autores/ModFolderScan.h"
#include "autores/ResFileReplace.h"
#include "autores/ResRebuild.h"
#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/SystemScope.h"

namespace modroute {
namespace {

constexpr char kResName[] = "Tavren.res";
constexpr char kBaseName[] = "base";
// The game's own index is a few hundred kilobytes.
constexpr std::uint64_t kMaxResBytes = 256u * 1024u * 1024u;

enum AutoResMode : std::uint32_t { kOff = 0, kRebuild = 1, kRebuildOnChange = 2, kAppend = 3 };

ResBytes AsBytes(const std::string& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// The maps with the names their blocks get: an sn folder's from its
// description file, everything else its own name, so that the table can
// find it again by that name.
std::vector<MapEntry> NamedMaps(const DiscoveredMaps& maps) {
    std::vector<MapEntry> named = maps.Combined();
    for (MapEntry& entry : named) {
        if (entry.isSn && !entry.isPack) entry.mapName = ExtractMapName(entry.path, entry.name);
    }
    return named;
}

using ResUpdater = std::optional<ResUpdate> (*)(ResBytes base, const std::vector<MapEntry>& maps);

std::optional<SnDirectoryMap::Entries> WriteModRes(const std::string& modFolder, const std::string& outputRes,
                                                   const std::string& baseRes, const MapDiscoveryRules& rules,
                                                   ResUpdater update) {
    const std::optional<std::string> base = ReadWholeFile(baseRes, kMaxResBytes);
    if (!base) return std::nullopt;
    const std::optional<ResUpdate> next = update(AsBytes(*base), NamedMaps(DiscoverModMaps(modFolder, rules)));
    if (!next || !ReplaceResFile(outputRes, next->bytes)) return std::nullopt;
    return next->directories;
}

std::vector<ResMapRecord> RecordsOf(const std::string& resPath) {
    const std::optional<std::string> bytes = ReadWholeFile(resPath, kMaxResBytes);
    if (!bytes) return {};
    return ScanMapBlocks(AsBytes(*bytes));
}

SnDirectoryMap RunAutoResMode(const CoreSettings& settings, const std::string& gameFolder) {
    if (settings.AutoRes == kOff || settings.SelectedMod.empty()) return {};
    const bool baseSelected = settings.SelectedMod == kBaseName;
    const std::string modFolder =
        baseSelected ? PathJoin(gameFolder, kBaseName) : PathJoin(PathJoin(gameFolder, "mods"), settings.SelectedMod);
    if (!DirectoryExists(modFolder)) return {};
    const std::string outputRes = PathJoin(modFolder, kResName);
    const std::string baseFolderRes = PathJoin(PathJoin(gameFolder, kBaseName), kResName);
    const std::string baseRes = FileExists(baseFolderRes) ? baseFolderRes : PathJoin(gameFolder, kResName);

    // The base index is every other mod's starting point: read, never written.
    std::optional<SnDirectoryMap::Entries> written;
    if (!baseSelected) {
        switch (settings.AutoRes) {
            case kRebuild:
                written = RebuildRes(modFolder, outputRes, baseRes, settings.EnablePreloadPVK);
                break;
            case kRebuildOnChange:
                if (NeedsResRebuild(modFolder)) {
                    written = RebuildRes(modFolder, outputRes, baseRes, settings.EnablePreloadPVK);
                }
                break;
            case kAppend:
                written = PerformAppendMode(modFolder, outputRes, baseRes);
                break;
            default:
                break;
        }
    }
    if (written && !written->empty()) return SnDirectoryMap(std::move(*written));
    return BuildSnDirectoryMap(modFolder);
}

}  // namespace

bool NeedsResRebuild(const std::string& modFolder) {
    const std::string resPath = PathJoin(modFolder, kResName);
    if (!FileExists(resPath)) return true;
    const std::vector<std::string> current = MapNamesInOrder(DiscoverModMaps(modFolder, ChangeCheckDiscovery()));
    const std::vector<std::string> indexed = IndexedMapNames(
        RecordsOf(resPath), [&modFolder](const std::string& key) { return DirectoryExists(PathJoin(modFolder, key)); });
    return current != indexed;
}

std::optional<SnDirectoryMap::Entries> RebuildRes(const std::string& modFolder, const std::string& outputRes,
                                                  const std::string& baseRes, std::int32_t preloadLevel) {
    return WriteModRes(modFolder, outputRes, baseRes, RebuildDiscovery(preloadLevel), RebuildResBytes);
}

std::optional<SnDirectoryMap::Entries> PerformAppendMode(const std::string& modFolder, const std::string& outputRes,
                                                         const std::string& baseRes) {
    return WriteModRes(modFolder, outputRes, baseRes, AppendDiscovery(), AppendResBytes);
}

SnDirectoryMap BuildSnDirectoryMap(const std::string& modFolder) {
    const std::string resPath = PathJoin(modFolder, kResName);
    if (!FileExists(resPath)) return {};
    return SnDirectoryMap(
        MatchMapDirectories(RecordsOf(resPath), ListModFolder(modFolder), ModFolderProbes(modFolder)));
}

SnDirectoryMap RunAutoRes(const CoreSettings& settings, const std::string& gameFolder) {
    const SystemScope scope;
    try {
        return RunAutoResMode(settings, gameFolder);
    } catch (...) {
        // AutoRes is an extra: without it the game runs with the index it has.
        return {};
    }
}

}  // namespace modroute
