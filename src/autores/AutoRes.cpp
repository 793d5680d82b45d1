#include "autores/AutoRes.h"

#include <algorithm>

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

AutoResPlan PlanFor(const AutoResSettings& settings, const std::string& gameFolder) {
    AutoResPlan plan;
    if (settings.mode == kOff || settings.selectedMod.empty()) return plan;
    if (settings.mode != kRebuild && settings.mode != kRebuildOnChange && settings.mode != kAppend) return plan;
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
        plan.table = BuildSnDirectoryMap(plan.modFolder);
        return plan;
    }

    // Every mode works out the whole index it stands for and writes it only
    // when the file differs: the table then is the one of those bytes, the
    // same at every start that finds the same folders.
    const bool append = settings.mode == kAppend;
    plan.step = append ? AutoResStep::Append : AutoResStep::Rebuild;
    plan.update = append ? ComputeModRes(plan.modFolder, plan.baseRes, AppendDiscovery(), AppendResBytes)
                         : ComputeModRes(plan.modFolder, plan.baseRes, RebuildDiscovery(settings.packSizeLimit),
                                         RebuildResBytes);
    if (!plan.update) {
        plan.table = BuildSnDirectoryMap(plan.modFolder);
        return plan;
    }
    plan.table = SnDirectoryMap(plan.update->directories);
    const std::optional<std::string> current = ReadWholeFile(plan.outputRes, kMaxResBytes);
    if (current && std::equal(current->begin(), current->end(), plan.update->bytes.begin(), plan.update->bytes.end(),
                              [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; })) {
        plan.step = AutoResStep::UpToDate;
        plan.update.reset();
    }
    return plan;
}

}  // namespace

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
