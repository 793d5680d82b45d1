#include "config/ConfigManager.h"

#include "common/PathText.h"
#include "common/SystemScope.h"
#include "config/CoreSettingsReader.h"
#include "config/GameFolder.h"

namespace modroute {
namespace {

std::string WithoutTrailingSeparators(std::string folder) {
    while (!folder.empty() && IsSeparator(folder.back())) folder.pop_back();
    return folder;
}

}  // namespace

ConfigManager& ConfigManager::Instance() {
    // Never destroyed: hooks read it until the very end of the process.
    static ConfigManager* instance = new ConfigManager;
    return *instance;
}

ConfigManager::ConfigManager(std::string gameFolder, ModFolderProbes& probes)
    : m_gameFolder(WithoutTrailingSeparators(gameFolder.empty() ? LocateGameFolder() : std::move(gameFolder))),
      m_mods(m_gameFolder, probes) {}

bool ConfigManager::EarlyInitialize() {
    if (m_coreSettingsRead.load(std::memory_order_acquire)) return true;
    std::lock_guard<std::mutex> lock(m_earlyInitLock);
    if (m_coreSettingsRead.load(std::memory_order_acquire)) return true;
    const SystemScope scope;
    m_settings.SelectedMod = ReadSelectedMod(m_gameFolder);
    m_settings.Log = ReadLogSwitch(m_gameFolder);
    ReadRegistrySettings(m_settings);
    m_coreSettingsRead.store(true, std::memory_order_release);
    return true;
}

bool ConfigManager::FullInitialize() {
    if (m_fullyInitialized.load(std::memory_order_acquire)) return true;
    std::lock_guard<std::mutex> lock(m_fullInitLock);
    if (m_fullyInitialized.load(std::memory_order_acquire)) return true;
    const SystemScope scope;
    EarlyInitialize();
    if (!m_mods.ScanModFolders()) return false;
    m_mods.InitializeDefaultModConfigs();
    m_mods.EnsureBaseFolder();
    m_fullyInitialized.store(true, std::memory_order_release);
    return true;
}

bool ConfigManager::LoadSelectedModResourceRules() { return m_mods.LoadResourceRules(m_settings.SelectedMod); }

std::string ConfigManager::GetSelectedModFolder() const {
    const std::string& mod = m_settings.SelectedMod;
    if (mod.empty() || mod == "base") return {};
    return PathJoin(PathJoin(m_gameFolder, "mods"), mod);
}

}  // namespace modroute
