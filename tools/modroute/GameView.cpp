#include "GameView.h"

#include <windows.h>

#include "common/FileSystem.h"
#include "common/TextEncoding.h"
#include "startup/BackgroundThreads.h"
#include "startup/RouterSetup.h"

namespace modroute::tool {

std::string ExistingFolder(const std::string& utf8Path) {
    const std::wstring wide = Utf8ToWide(utf8Path);
    if (wide.empty()) return {};
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return {};
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return {};
    full.resize(written);
    std::string folder = WideToUtf8(full);
    if (!DirectoryExists(folder)) return {};
    return folder;
}

std::unique_ptr<ConfigManager> ReadConfiguration(const std::string& gameFolder,
                                                 const std::optional<std::string>& mod) {
    auto config = std::make_unique<ConfigManager>(gameFolder);
    config->EarlyInitialize();
    if (mod) config->SelectModForViewing(*mod);
    // The full initialisation's first two steps; the third would create the
    // base folder, the fourth rewrite the mod's map index.
    config->Mods().ScanModFolders();
    config->Mods().InitializeDefaultModConfigs();
    return config;
}

GameView::GameView(const std::string& gameFolder, const std::optional<std::string>& mod)
    : m_config(ReadConfiguration(gameFolder, mod)) {
    m_mapPlan = PlanAutoRes(AutoResSettingsOf(m_config->Settings()), m_config->GetGameFolder());

    // As start-up does it: the packs of one folder preloaded, then every pack
    // of the base and mod folders registered by the pack index thread.
    m_packSetup = VirtualFileSetup(*m_config);
    m_files.Initialize(m_packSetup);
    m_registeredPacks = PvkIndexFiles(m_config->GetBaseFolder(), m_config->GetSelectedModFolder());
    for (const std::string& pack : m_registeredPacks) m_files.LoadPvkIndex(pack);

    RouteContext context =
        FullRouteContext(*m_config, std::make_shared<const SnDirectoryMap>(m_mapPlan.table));
    context.virtualFiles = &m_files;
    m_router.Configure(std::move(context));
}

std::string MapTableSource(const AutoResPlan& plan) {
    switch (plan.step) {
        case AutoResStep::Off:
            return "AutoRes is off: no map table";
        case AutoResStep::NoModFolder:
            return "the selected mod's folder does not exist: no map table";
        case AutoResStep::Rebuild:
        case AutoResStep::Append:
            if (plan.update) return "computed from the index AutoRes would write (nothing written)";
            return "read from the current " + plan.outputRes + " (AutoRes could not compute a new one)";
        case AutoResStep::UpToDate:
            return "computed from " + plan.outputRes + ", which holds the index AutoRes would write";
        case AutoResStep::BaseSelected:
            break;
    }
    return "read from the current " + plan.outputRes;
}

}  // namespace modroute::tool
