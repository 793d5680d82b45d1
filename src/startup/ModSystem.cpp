#include "startup/ModSystem.h"

#include <mutex>

#include "common/SystemScope.h"
#include "config/ConfigManager.h"
#include "hooks/HookManager.h"
#include "patches/CharacterCount.h"
#include "patches/CharacterPatch.h"
#include "startup/RouterSetup.h"

namespace modroute {
namespace {

std::once_flag g_characterStep;
std::once_flag g_autoRes;

}  // namespace

bool ModSystem::EarlyInitialize() {
    if (!HookManager::Install()) return false;
    // The character step belongs to the first installation that succeeds.
    std::call_once(g_characterStep, CharacterStep);
    return true;
}

void ModSystem::CharacterStep() {
    const ConfigManager& config = ConfigManager::Instance();
    RunCharacterStep(PmodelFolders(config.GetGameFolder(), config.GetBaseFolder(), config.GetSelectedMod()));
}

bool ModSystem::FullConfiguration() {
    if (!ConfigManager::Instance().FullInitialize()) return false;
    std::call_once(g_autoRes, RunAndPublishAutoRes);
    return true;
}

bool ModSystem::FullInitialize() {
    const SystemScope scope;
    ConfigManager& config = ConfigManager::Instance();
    if (!FullConfiguration()) return false;
    const bool routerReady = InitializeRouter();
    // For tools that show the mod's rules; the game never waits for them.
    config.LoadSelectedModResourceRules();
    return routerReady;
}

}  // namespace modroute
