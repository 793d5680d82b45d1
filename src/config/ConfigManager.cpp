#include "config/ConfigManager.h"

#include <windows.h>

#include <utility>

#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "config/ConfigFiles.h"
#include "config/CoreSettingsReader.h"
#include "config/ModInfoText.h"
#include "config/SettingsText.h"

namespace modroute {
namespace {

std::atomic<std::uint32_t> g_maxMemoryMB{kDefaultMaxMemoryMB};

constexpr char kBaseName[] = "base";

bool IsFolderAnsi(const std::string& ansiPath) {
    if (ansiPath.empty()) return false;
    const DWORD attributes = GetFileAttributesA(ansiPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The last part of a folder path; empty for an empty path.
std::string OwnName(const std::string& folder) {
    const std::size_t separator = FindLastSeparator(folder);
    return separator == std::string::npos ? folder : folder.substr(separator + 1);
}

// The path of the running executable through GetModuleFileNameW or ...A; a
// path longer than MAX_PATH is read whole.
template <typename Text, typename Reader>
Text ReadModulePath(Reader read) {
    Text path(MAX_PATH, '\0');
    while (true) {
        const DWORD length = read(path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::wstring ModulePathWide() {
    return ReadModulePath<std::wstring>([](wchar_t* b, DWORD n) { return GetModuleFileNameW(nullptr, b, n); });
}

std::string ModulePathAnsi() {
    return ReadModulePath<std::string>([](char* b, DWORD n) { return GetModuleFileNameA(nullptr, b, n); });
}

// Names of the sub-folders of an ANSI folder path, in listing order.
std::vector<std::string> ListSubfolders(const std::string& ansiFolder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((ansiFolder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return names;
}

ModConfig ConfigFrom(const ModInfo& info) { return ModConfig{info}; }

}  // namespace

ConfigManager& ConfigManager::Instance() {
    static ConfigManager instance;
    return instance;
}

std::uint32_t ConfigManager::MaxMemoryMB() { return g_maxMemoryMB.load(std::memory_order_acquire); }

void ConfigManager::DetermineGameFolder() {
    m_gameFolderUtf8.clear();
    m_gameFolderAnsi.clear();
    if (!m_gameFolderOverride.empty()) {
        m_gameFolderUtf8 = m_gameFolderOverride;
        m_gameFolderAnsi = WideToAnsi(Utf8ToWide(m_gameFolderOverride));
        return;
    }
    const std::wstring path = ModulePathWide();
    if (!path.empty()) {
        if (WideToUtf8(path).empty()) return;
        // Cut before converting: a code page 936 trail byte can equal '\'.
        const std::size_t separator = path.find_last_of(L"\\/");
        const std::wstring folder = separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
        m_gameFolderUtf8 = WideToUtf8(folder);
        m_gameFolderAnsi = WideToAnsi(folder);
        return;
    }
    const std::string ansiPath = ModulePathAnsi();
    const std::size_t separator = FindLastSeparator(ansiPath);
    if (separator == std::string::npos) return;
    m_gameFolderUtf8 = ansiPath.substr(0, separator);
    m_gameFolderAnsi = m_gameFolderUtf8;
}

bool ConfigManager::EarlyInitialize() {
    if (m_coreSettingsRead.load(std::memory_order_acquire)) return true;
    std::lock_guard<std::mutex> lock(m_earlyInitLock);
    if (m_coreSettingsRead.load(std::memory_order_acquire)) return true;

    DetermineGameFolder();
    m_settings.SelectedMod.clear();
    std::uint32_t maxMemoryMB = kDefaultMaxMemoryMB;
    // A settings file that was read has brought EnablePreloadPVK along.
    const bool settingsFileRead = ReadSettingsFile(m_gameFolderAnsi, m_settings, maxMemoryMB);
    g_maxMemoryMB.store(maxMemoryMB, std::memory_order_release);
    // The name is joined below mods and written into: a value that would
    // leave that folder selects nothing.
    if (!IsPlainFolderName(GetSelectedMod())) m_settings.SelectedMod.clear();
    ReadAutoResMode(m_settings);
    m_snDirectoryMap.SetEnabled(m_settings.AutoResEnabled);
    if (!settingsFileRead) {
        m_settings.EnablePreloadPVK = static_cast<std::int32_t>(
            ReadRegistryNumber("", L"EnablePreloadPVK", static_cast<std::uint32_t>(kDefaultEnablePreloadPVK)));
    }
    ReadPatchValues(m_settings);
    ReadFontValues(m_settings);

    m_coreSettingsRead.exchange(true);
    return true;
}

bool ConfigManager::FullInitialize() {
    if (m_fullyInitialized.load(std::memory_order_acquire)) return true;
    // A second caller waits here until the first has finished, then finds the flag set.
    std::lock_guard<std::mutex> lock(m_fullInitLock);
    if (m_fullyInitialized.load(std::memory_order_acquire)) return true;

    if (!m_coreSettingsRead.load(std::memory_order_acquire)) EarlyInitialize();
    if (!ScanModFolders()) return false;
    InitializeDefaultModConfigs();
    EnsureBaseFolder();
    // The selected mod's map index is maintained here once AutoRes is part of the build.

    m_fullyInitialized.exchange(true);
    return true;
}

bool ConfigManager::IsFullyInitialized() const { return m_fullyInitialized.load(std::memory_order_acquire); }

std::string ConfigManager::GetSelectedMod() const {
    const std::string& stored = m_settings.SelectedMod;
    if (stored.empty()) return {};
    if (PassesUtf8Test(stored)) return stored;
    return AnsiToUtf8(stored);
}

std::string ConfigManager::GetGameFolderUtf8() const { return m_gameFolderUtf8; }

std::string ConfigManager::GetGameFolderAnsi() const { return m_gameFolderAnsi; }

BaseFolderPaths ConfigManager::GetBaseFolder() const {
    {
        std::lock_guard<std::mutex> lock(m_tablesLock);
        for (const ModFolder& folder : m_modFolders) {
            if (folder.name == kBaseName) return {folder.path, Utf8ToAnsi(folder.path)};
        }
    }
    return {PathJoin(m_gameFolderUtf8, kBaseName), PathJoin(m_gameFolderAnsi, kBaseName)};
}

std::optional<ModConfig> ConfigManager::GetModConfig(const std::string& modName) const {
    std::lock_guard<std::mutex> lock(m_tablesLock);
    const auto found = m_modConfigs.find(modName);
    if (found == m_modConfigs.end()) return std::nullopt;
    return found->second;
}

std::vector<ModFolder> ConfigManager::GetModFolders() const {
    std::lock_guard<std::mutex> lock(m_tablesLock);
    return m_modFolders;
}

bool ConfigManager::ParseIniFile(const std::string& utf8Path, ModInfo& out, const std::string& modName) {
    std::optional<std::string> bytes = ReadConfigFileUtf8Path(utf8Path);
    if (!bytes) bytes = ReadConfigFileAnsiPath(Utf8ToAnsi(utf8Path));
    if (!bytes) return false;
    ParseModInfoText(*bytes, out, modName, Utf8ToAnsiStrict);
    return true;
}

bool ConfigManager::ReadModInfo(const std::string& utf8Path, ModInfo& out) {
    const std::optional<std::string> bytes = ReadConfigFileUtf8Path(utf8Path);
    if (!bytes) return false;
    ReadModInfoText(*bytes, out);
    return true;
}

bool ConfigManager::ScanModFolders() {
    // Built aside and published at once, so readers never see half a list.
    std::vector<ModFolder> folders;
    std::vector<std::pair<std::string, ModConfig>> configs;

    const std::string baseUtf8 = PathJoin(m_gameFolderUtf8, kBaseName);
    const std::string modsAnsi = Utf8ToAnsi(PathJoin(m_gameFolderUtf8, "mods"));

    if (IsFolderAnsi(Utf8ToAnsi(baseUtf8))) {
        ModFolder base{kBaseName, baseUtf8, {}};
        const std::string description = PathJoin(baseUtf8, "base.ini");
        if (FileExists(description)) {
            ParseIniFile(description, base.info, kBaseName);
        } else {
            base.info = DefaultBaseInfo();
        }
        folders.push_back(std::move(base));
    }

    if (IsFolderAnsi(modsAnsi)) {
        for (const std::string& name : ListSubfolders(modsAnsi)) {
            ModFolder mod{name, AnsiToUtf8(modsAnsi + "\\" + name), {}};
            const std::string description = PathJoin(mod.path, AnsiToUtf8(name) + ".ini");
            if (!FileExists(description)) {
                mod.info = DefaultModFolderInfo(name);
                configs.emplace_back(name, ConfigFrom(mod.info));
            } else if (ParseIniFile(description, mod.info, name)) {
                configs.emplace_back(name, ConfigFrom(mod.info));
            }
            folders.push_back(std::move(mod));
        }
    }

    if (!IsFolderAnsi(Utf8ToAnsi(baseUtf8)) && !IsFolderAnsi(modsAnsi)) {
        const std::string rootName = RootEntryName(Utf8ToAnsi(OwnName(m_gameFolderUtf8)));
        ModFolder root{rootName, m_gameFolderUtf8, {}};
        const std::string description = PathJoin(m_gameFolderUtf8, AnsiToUtf8(rootName) + ".ini");
        if (FileExists(description)) {
            if (!ParseIniFile(description, root.info, rootName)) SetRootEntryInfo(root.info, rootName);
        } else {
            SetRootEntryInfo(root.info, rootName);
            root.info.website.clear();
            root.info.contact.clear();
            root.info.image = "info.jpg";
        }
        configs.emplace_back(rootName, ConfigFrom(root.info));
        folders.push_back(std::move(root));
    }

    std::lock_guard<std::mutex> lock(m_tablesLock);
    m_modFolders = std::move(folders);
    for (auto& [name, config] : configs) m_modConfigs.insert_or_assign(name, std::move(config));
    return true;
}

bool ConfigManager::LoadModConfig(const std::string& modName) {
    const std::string& game = m_gameFolderUtf8;
    const std::string gameOwnName = Utf8ToAnsi(OwnName(game));
    const bool isGameOwnName = modName == gameOwnName;
    const std::string nameUtf8 = AnsiToUtf8(modName);

    std::string description;
    if (modName == kBaseName) {
        description = PathJoin(PathJoin(game, kBaseName), "base.ini");
    } else if (isGameOwnName) {
        description = PathJoin(game, nameUtf8 + ".ini");
    } else {
        description = PathJoin(PathJoin(PathJoin(game, "mods"), nameUtf8), nameUtf8 + ".ini");
    }

    ModConfig config;
    if (FileExists(description)) {
        if (!ReadModInfo(description, config)) return false;
    } else {
        SetMissingFileInfo(config, modName, isGameOwnName);
    }
    // The mod's resource rules are added here once they are part of the build.

    std::lock_guard<std::mutex> lock(m_tablesLock);
    m_modConfigs.insert_or_assign(modName, std::move(config));
    return true;
}

void ConfigManager::InitializeDefaultModConfigs() {
    std::vector<std::string> missing;
    {
        std::lock_guard<std::mutex> lock(m_tablesLock);
        for (const ModFolder& folder : m_modFolders) {
            if (folder.name != kBaseName && m_modConfigs.find(folder.name) == m_modConfigs.end()) {
                missing.push_back(folder.name);
            }
        }
    }
    for (const std::string& name : missing) LoadModConfig(name);
}

bool ConfigManager::EnsureBaseFolder() {
    const std::string baseAnsi = PathJoin(m_gameFolderAnsi, kBaseName);
    if (IsFolderAnsi(baseAnsi)) return true;
    // A game without mods keeps its own layout.
    if (!IsFolderAnsi(PathJoin(m_gameFolderAnsi, "mods"))) return true;
    if (!CreateDirectoryA(baseAnsi.c_str(), nullptr)) return false;

    // CREATE_NEW: a file that appeared meanwhile is never overwritten.
    const std::string iniAnsi = PathJoin(baseAnsi, "base.ini");
    HANDLE file = CreateFileA(iniAnsi.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::string bytes = DefaultBaseIniBytes();
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

void ConfigManager::ResetForTesting(const std::string& gameFolderUtf8) {
    std::lock_guard<std::mutex> fullLock(m_fullInitLock);
    std::lock_guard<std::mutex> earlyLock(m_earlyInitLock);
    m_settings = CoreSettings{};
    m_snDirectoryMap.Clear();
    m_snDirectoryMap.SetEnabled(false);
    {
        std::lock_guard<std::mutex> lock(m_tablesLock);
        m_modConfigs.clear();
        m_modFolders.clear();
    }
    m_gameFolderUtf8.clear();
    m_gameFolderAnsi.clear();
    m_gameFolderOverride = gameFolderUtf8;
    while (!m_gameFolderOverride.empty() && IsSeparator(m_gameFolderOverride.back())) m_gameFolderOverride.pop_back();
    g_maxMemoryMB.store(kDefaultMaxMemoryMB, std::memory_order_release);
    m_coreSettingsRead.store(false, std::memory_order_release);
    m_fullyInitialized.store(false, std::memory_order_release);
}

}  // namespace modroute
