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

std::optional<ResUpdate> ComputeModRes(const std::string& modFolder, const std::string& baseRes,
                                       const MapDiscoveryRules& rules, ResUpdater update) {
    const std::optional<std::string> base = ReadWholeFile(baseRes, kMaxResBytes);
    if (!base) return std::nullopt;
    return update(AsBytes(*base), NamedMaps(DiscoverModMaps(modFolder, rules)));
}

std::vector<ResMapRecord> RecordsOf(const std::string& resPath) {
    const std::optional<std::string> bytes = ReadWholeFile(resPath, kMaxResBytes);
    if (!bytes) return {};
    return ScanMapBlocks(AsBytes(*bytes));
}

// The table of an index whose blocks are given: its own directories when it
// names free-named maps, else what the folder's listing finds among them.
SnDirectoryMap TableOf(const std::string& modFolder, const ResUpdate& update) {
    if (!update.directories.empty()) return SnDirectoryMap(update.directories);
    return SnDirectoryMap(MatchMapDirectories(ScanMapBlocks(update.bytes), ListModFolder(modFolder),
                                              ModFolderProbes(modFolder)));
}

AutoResPlan PlanFor(const AutoResSettings& settings, const std::string& gameFolder) {
    AutoResPlan plan;
    if (settings.mode == kOff || settings.selectedMod.empty()) return plan;
    const bool baseSelected = settings.selectedMod == kBaseName;
    plan.modFolder =
        baseSelected ? PathJoin(gameFolder, kBaseName) : PathJoin(PathJoin(gameFolder, "mods"), settings.selectedMod);
    plan.outputRes = PathJoin(plan.modFolder, kResName);
    const std::string baseFolderRes = PathJoin(PathJoin(gameFolder, kBaseName), kResName);
    plan.baseRes = FileExists(baseFolderRes) ? baseFolderRes : PathJoin(gameFolder, kResName);
    if (!DirectoryExists(plan.modFolder)) {
        plan.step = AutoResStep::NoModFolder;
        return plan;
    }

    // The base index is every other mod's starting point: read, never written.
    if (baseSelected) {
        plan.step = AutoResStep::BaseSelected;
    } else if (settings.mode == kAppend) {
        plan.step = AutoResStep::Append;
        plan.update = ComputeModRes(plan.modFolder, plan.baseRes, AppendDiscovery(), AppendResBytes);
    } else if (settings.mode == kRebuildOnChange && !NeedsResRebuild(plan.modFolder)) {
        plan.step = AutoResStep::UpToDate;
    } else if (settings.mode == kRebuild || settings.mode == kRebuildOnChange) {
        plan.step = AutoResStep::Rebuild;
        plan.update =
            ComputeModRes(plan.modFolder, plan.baseRes, RebuildDiscovery(settings.packSizeLimit), RebuildResBytes);
    } else {
        return AutoResPlan{};  // not a mode: off
    }
    plan.table = plan.update ? TableOf(plan.modFolder, *plan.update) : BuildSnDirectoryMap(plan.modFolder);
    return plan;
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

SnDirectoryMap BuildSnDirectoryMap(const std::string& modFolder) {
    const std::string resPath = PathJoin(modFolder, kResName);
    if (!FileExists(resPath)) return {};
    return SnDirectoryMap(
        MatchMapDirectories(RecordsOf(resPath), ListModFolder(modFolder), ModFolderProbes(modFolder)));
}

AutoResPlan PlanAutoRes(const AutoResSettings& settings, const std::string& gameFolder) {
    const SystemScope scope;
    return PlanFor(settings, gameFolder);
}

SnDirectoryMap RunAutoRes(const AutoResSettings& settings, const std::string& gameFolder) {
    const SystemScope scope;
    try {
        AutoResPlan plan = PlanFor(settings, gameFolder);
        // A new index that cannot be put in place leaves the old one, and its table.
        if (plan.update && !ReplaceResFile(plan.outputRes, plan.update->bytes)) {
            return BuildSnDirectoryMap(plan.modFolder);
        }
        return std::move(plan.table);
    } catch (...) {
        // AutoRes is an extra: without it the game runs with the index it has.
        return {};
    }
}

}  // namespace modroute
