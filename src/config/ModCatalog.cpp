#include "config/ModCatalog.h"

#include <windows.h>

#include <mutex>
#include <shared_mutex>
#include <utility>

#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/SystemScope.h"
#include "common/TextEncoding.h"
#include "config/ModInfoText.h"
#include "resources/ResourceRules.h"

namespace modroute {
namespace {

constexpr char kBaseName[] = "base";
// Description files are a few hundred bytes; anything larger is not one.
constexpr std::uint64_t kMaxDescriptionBytes = 16u * 1024u * 1024u;

// The last part of a folder path; empty for an empty path.
std::string OwnName(const std::string& folder) {
    const std::size_t separator = FindLastSeparator(folder);
    return separator == std::string::npos ? folder : folder.substr(separator + 1);
}

// The scan's configurations: the description alone. Rules cost a disk probe
// per known resource name, so they are loaded only for the mods that need them.
ModConfig ConfigFrom(const ModInfo& info) {
    ModConfig config;
    static_cast<ModInfo&>(config) = info;
    return config;
}

// CREATE_NEW: a file that appeared meanwhile is never overwritten.
bool CreateNewFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

}  // namespace

bool ParseIniFile(const std::string& path, ModInfo& out, const std::string& modName) {
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxDescriptionBytes);
    if (!bytes) return false;
    ParseModInfoText(DescriptionFileText(*bytes, GbkToUtf8), out, modName);
    return true;
}

bool ReadModInfo(const std::string& path, ModInfo& out) {
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxDescriptionBytes);
    if (!bytes) return false;
    ReadModInfoText(DescriptionFileText(*bytes, GbkToUtf8), out);
    return true;
}

bool ModCatalog::ScanModFolders() {
    const SystemScope scope;
    std::vector<ModFolder> folders;
    std::vector<std::pair<std::string, ModConfig>> configs;

    const std::string baseFolder = PathJoin(m_gameFolder, kBaseName);
    const std::string modsFolder = PathJoin(m_gameFolder, "mods");
    const bool hasBase = DirectoryExists(baseFolder);
    const bool hasMods = DirectoryExists(modsFolder);

    if (hasBase) {
        ModFolder base{kBaseName, baseFolder, {}};
        const std::string description = PathJoin(baseFolder, "base.ini");
        if (FileExists(description)) {
            ParseIniFile(description, base.info, kBaseName);
        } else {
            base.info = DefaultBaseInfo();
        }
        folders.push_back(std::move(base));
    }

    if (hasMods) {
        for (const std::string& name : ListFolders(modsFolder)) {
            ModFolder mod{name, PathJoin(modsFolder, name), {}};
            const std::string description = PathJoin(mod.path, name + ".ini");
            if (!FileExists(description)) {
                mod.info = DefaultModFolderInfo(name);
                configs.emplace_back(name, ConfigFrom(mod.info));
            } else if (ParseIniFile(description, mod.info, name)) {
                configs.emplace_back(name, ConfigFrom(mod.info));
            }
            folders.push_back(std::move(mod));
        }
    }

    if (!hasBase && !hasMods) {
        const std::string rootName = RootEntryName(OwnName(m_gameFolder));
        ModFolder root{rootName, m_gameFolder, {}};
        const std::string description = PathJoin(m_gameFolder, rootName + ".ini");
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

    std::unique_lock lock(m_lock);
    m_modFolders = std::move(folders);
    for (auto& [name, config] : configs) m_modConfigs.insert_or_assign(name, std::move(config));
    return true;
}

std::string ModCatalog::DescriptionFileOf(const std::string& modName) const {
    if (modName == kBaseName) return PathJoin(PathJoin(m_gameFolder, kBaseName), "base.ini");
    if (modName == OwnName(m_gameFolder)) return PathJoin(m_gameFolder, modName + ".ini");
    return PathJoin(PathJoin(PathJoin(m_gameFolder, "mods"), modName), modName + ".ini");
}

bool ModCatalog::LoadModConfig(const std::string& modName) {
    const SystemScope scope;
    const bool isGameOwnName = modName == OwnName(m_gameFolder);
    const std::string description = DescriptionFileOf(modName);

    ModConfig config;
    if (FileExists(description)) {
        if (!ReadModInfo(description, config)) return false;
    } else {
        SetMissingFileInfo(config, modName, isGameOwnName);
    }
    config.rules = ResourceRulesOf(modName, description);

    std::unique_lock lock(m_lock);
    m_modConfigs.insert_or_assign(modName, std::move(config));
    return true;
}

bool ModCatalog::LoadResourceRules(const std::string& modName) {
    const SystemScope scope;
    {
        std::shared_lock lock(m_lock);
        if (m_modConfigs.find(modName) == m_modConfigs.end()) return false;
    }
    std::vector<ResourceRule> rules = ResourceRulesOf(modName, DescriptionFileOf(modName));
    std::unique_lock lock(m_lock);
    const auto found = m_modConfigs.find(modName);
    if (found == m_modConfigs.end()) return false;
    found->second.rules = std::move(rules);
    return true;
}

std::optional<ModFileIndex> ModCatalog::GetModFileIndex(const std::string& modName) {
    return m_indexes.GetModFileIndex(modName, PathJoin(PathJoin(m_gameFolder, "mods"), modName));
}

std::vector<ResourceRule> ModCatalog::ResourceRulesOf(const std::string& modName,
                                                      const std::string& descriptionFile) {
    std::vector<ResourceRule> rules;
    LoadResourceRulesFromIndex(rules, GetModFileIndex(modName));
    ApplyModConfigSection(rules, descriptionFile);
    return rules;
}

void ModCatalog::InitializeDefaultModConfigs() {
    std::vector<std::string> missing;
    {
        std::shared_lock lock(m_lock);
        for (const ModFolder& folder : m_modFolders) {
            if (folder.name != kBaseName && m_modConfigs.find(folder.name) == m_modConfigs.end()) {
                missing.push_back(folder.name);
            }
        }
    }
    for (const std::string& name : missing) LoadModConfig(name);
}

bool ModCatalog::EnsureBaseFolder() {
    const SystemScope scope;
    const std::string baseFolder = PathJoin(m_gameFolder, kBaseName);
    if (DirectoryExists(baseFolder)) return true;
    // A game without mods keeps its own layout.
    if (!DirectoryExists(PathJoin(m_gameFolder, "mods"))) return true;
    if (!CreateDirectoryW(Utf8ToWide(baseFolder).c_str(), nullptr)) return false;
    return CreateNewFile(PathJoin(baseFolder, "base.ini"), DefaultBaseIniBytes());
}

std::vector<ModFolder> ModCatalog::GetModFolders() const {
    std::shared_lock lock(m_lock);
    return m_modFolders;
}

std::optional<ModConfig> ModCatalog::GetModConfig(const std::string& modName) const {
    std::shared_lock lock(m_lock);
    const auto found = m_modConfigs.find(modName);
    if (found == m_modConfigs.end()) return std::nullopt;
    return found->second;
}

std::string ModCatalog::GetBaseFolder() const {
    {
        std::shared_lock lock(m_lock);
        for (const ModFolder& folder : m_modFolders) {
            if (folder.name == kBaseName) return folder.path;
        }
    }
    return PathJoin(m_gameFolder, kBaseName);
}

}  // namespace modroute
