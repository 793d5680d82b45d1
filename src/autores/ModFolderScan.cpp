#include "autores/ModFolderScan.h"

#include <array>
#include <string_view>

#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"

namespace modroute {
namespace {

constexpr std::array<std::string_view, 5> kMapFilePatterns = {"*.gmb", "*.des", "*.cob", "*.pst", "*.pvb"};

}  // namespace

bool IsMapFolder(const std::string& folderPath) {
    for (const std::string_view pattern : kMapFilePatterns) {
        if (HasEntryMatching(folderPath, pattern)) return true;
    }
    return false;
}

std::string GbkNameOf(std::string_view utf8Name) {
    const std::optional<std::string> gbk = Utf8ToGbkExact(utf8Name);
    // A best-fit conversion would name another folder.
    if (!gbk || GbkToUtf8(*gbk) != utf8Name) return {};
    return *gbk;
}

ModFolderListing ListModFolder(const std::string& modFolder) {
    return {ListFolders(modFolder), ListFiles(modFolder, ".pvk")};
}

MapDiscoveryProbes ModFolderProbes(const std::string& modFolder) {
    MapDiscoveryProbes probes;
    probes.isMapFolder = [modFolder](const std::string& name) { return IsMapFolder(PathJoin(modFolder, name)); };
    probes.packSize = [modFolder](const std::string& name) { return FileSizeOf(PathJoin(modFolder, name)); };
    probes.gbkName = GbkNameOf;
    return probes;
}

DiscoveredMaps DiscoverModMaps(const std::string& modFolder, const MapDiscoveryRules& rules) {
    return DiscoverMaps(modFolder, ListModFolder(modFolder), rules, ModFolderProbes(modFolder));
}

}  // namespace modroute
