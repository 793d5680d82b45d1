#include "startup/ModSystem.h"

#include <windows.h>

#include "common/SystemScope.h"
#include "config/ConfigManager.h"
#include "hooks/HookManager.h"
#include "patches/CharacterCount.h"
#include "patches/CharacterPatch.h"
#include "startup/RouterSetup.h"

namespace modroute {
namespace {

// One-time steps on the system's own once-only gate rather than std::call_once,
// whose run-time support keeps per-thread state the library cannot give back
// when it unloads.
INIT_ONCE g_characterStep = INIT_ONCE_STATIC_INIT;
INIT_ONCE g_autoRes = INIT_ONCE_STATIC_INIT;

template <typename Step>
BOOL CALLBACK RunStep(PINIT_ONCE, PVOID step, PVOID*) {
    try {
        (*static_cast<Step*>(step))();
        return TRUE;
    } catch (...) {
        return FALSE;  // not done: the next caller tries again
    }
}

template <typename Step>
void RunOnce(INIT_ONCE& once, Step step) {
    InitOnceExecuteOnce(&once, &RunStep<Step>, &step, nullptr);
}

}  // namespace

bool ModSystem::EarlyInitialize() {
    if (!HookManager::Install()) return false;
    // The character step belongs to the first installation that succeeds.
    RunOnce(g_characterStep, CharacterStep);
    return true;
}

void ModSystem::CharacterStep() {
    const ConfigManager& config = ConfigManager::Instance();
    RunCharacterStep(PmodelFolders(config.GetGameFolder(), config.GetBaseFolder(), config.GetSelectedMod()));
}

bool ModSystem::FullConfiguration() {
    if (!ConfigManager::Instance().FullInitialize()) return false;
    RunOnce(g_autoRes, RunAndPublishAutoRes);
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
