#include "config/CoreSettingsReader.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <string_view>

#include "common/PathText.h"
#include "common/SystemScope.h"
#include "common/TextEncoding.h"
#include "common/FileSystem.h"
#include "config/SettingsText.h"

namespace modroute {
namespace {

constexpr wchar_t kManagerKey[] = L"SOFTWARE\\TavrenModManager";

// "12", " -1 ": a decimal number that fits 32 bits (a negative one as the
// DWORD the manager would store for it); nothing for any other text.
std::optional<std::uint32_t> NumberSpelled(const wchar_t* text) {
    std::wstring_view digits(text);
    while (!digits.empty() && (digits.front() == L' ' || digits.front() == L'\t')) digits.remove_prefix(1);
    while (!digits.empty() && (digits.back() == L' ' || digits.back() == L'\t')) digits.remove_suffix(1);
    const bool negative = !digits.empty() && digits.front() == L'-';
    if (negative) digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    if (value > (negative ? 0x80000000u : 0xFFFFFFFFu)) return std::nullopt;
    return static_cast<std::uint32_t>(negative ? 0u - value : value);
}

// An open registry key, closed when it goes out of scope.
class RegistryKey {
public:
    explicit RegistryKey(std::string_view subkey) {
        std::wstring name = kManagerKey;
        if (!subkey.empty()) {
            name += L'\\';
            for (const char c : subkey) name += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        if (RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ, &m_key) != ERROR_SUCCESS) m_key = nullptr;
    }
    ~RegistryKey() {
        if (m_key != nullptr) RegCloseKey(m_key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool IsOpen() const { return m_key != nullptr; }
    bool Holds(const wchar_t* valueName) const {
        return m_key != nullptr && RegQueryValueExW(m_key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

    // Exactly four bytes of data; requiredType 0 accepts any type, and reads
    // text (REG_SZ, REG_EXPAND_SZ) as the decimal number it spells.
    std::optional<std::uint32_t> QueryNumber(const wchar_t* valueName, DWORD requiredType = 0) const {
        if (m_key == nullptr) return std::nullopt;
        DWORD type = 0;
        // Room for any number spelled out; one unit more keeps it terminated.
        wchar_t data[33] = {};
        DWORD size = sizeof data - sizeof data[0];
        if (RegQueryValueExW(m_key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        if (requiredType != 0 && type != requiredType) return std::nullopt;
        if (requiredType == 0 && (type == REG_SZ || type == REG_EXPAND_SZ)) return NumberSpelled(data);
        // Shorter data would leave part of the number unwritten.
        if (size != sizeof(std::uint32_t)) return std::nullopt;
        std::uint32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        return value;
    }

    // REG_SZ or REG_EXPAND_SZ (not expanded) of at most 255 characters, as UTF-8.
    std::optional<std::string> QueryText(const wchar_t* valueName) const {
        if (m_key == nullptr) return std::nullopt;
        // One unit more than the query may fill, so the text is always terminated.
        wchar_t buffer[257] = {};
        DWORD type = 0;
        DWORD size = 512;
        if (RegQueryValueExW(m_key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        // Registry text need not carry its terminator: stop at the data's end.
        const std::size_t units = size / sizeof(wchar_t);
        std::size_t length = 0;
        while (length < units && buffer[length] != L'\0') ++length;
        return WideToUtf8(std::wstring_view(buffer, length));
    }

private:
    HKEY m_key = nullptr;
};

}  // namespace

std::uint32_t ReadRegistryNumber(std::string_view subkey, const wchar_t* valueName, std::uint32_t defaultValue) {
    const RegistryKey key(subkey);
    return key.QueryNumber(valueName).value_or(defaultValue);
}

bool RegistryValueStored(std::string_view subkey, const wchar_t* valueName) {
    const SystemScope scope;
    return RegistryKey(subkey).Holds(valueName);
}

namespace {

// Settings files are a few hundred bytes; anything larger is not one.
constexpr std::uint64_t kMaxSettingsFileBytes = 16u * 1024u * 1024u;

void ReadAutoResMode(CoreSettings& settings) {
    const RegistryKey key("");
    const std::uint32_t mode = key.QueryNumber(L"AutoRes").value_or(0);
    settings.AutoRes = mode <= 3 ? mode : 0;
    settings.AutoResEnabled = settings.AutoRes != 0;
}

void ReadPatchValues(CoreSettings& settings) {
    const RegistryKey key("Patch");
    if (!key.IsOpen()) return;
    if (const auto value = key.QueryNumber(L"ToggleCommand")) settings.ToggleCommand = *value;
    if (const auto value = key.QueryNumber(L"OpenPlay")) settings.OpenPlay = *value;
}

void ReadFontValues(CoreSettings& settings) {
    settings.TimesNewRoman.clear();
    settings.MingLiU.clear();
    settings.TimesNewRomanScale = 100;
    settings.MingLiUScale = 100;
    const RegistryKey key("Fonts");
    if (key.IsOpen()) {
        if (auto face = key.QueryText(L"TimesNewRoman")) settings.TimesNewRoman = std::move(*face);
        if (const auto scale = key.QueryNumber(L"TimesNewRomanScale", REG_DWORD)) {
            settings.TimesNewRomanScale = ClampFontScale(static_cast<std::int32_t>(*scale));
        }
        if (auto face = key.QueryText(L"MingLiU")) settings.MingLiU = std::move(*face);
        if (const auto scale = key.QueryNumber(L"MingLiUScale", REG_DWORD)) {
            settings.MingLiUScale = ClampFontScale(static_cast<std::int32_t>(*scale));
        }
    }
    if (settings.TimesNewRoman == "0") settings.TimesNewRoman.clear();
    if (settings.MingLiU == "0") settings.MingLiU.clear();
}

}  // namespace

void ReadRegistrySettings(CoreSettings& settings) {
    const SystemScope scope;
    ReadAutoResMode(settings);
    settings.EnablePreloadPVK = static_cast<std::int32_t>(
        ReadRegistryNumber("", L"EnablePreloadPVK", static_cast<std::uint32_t>(kDefaultEnablePreloadPVK)));
    settings.MaxMemoryMB = ReadRegistryNumber("Memory", L"MaxMemoryMB", kDefaultMaxMemoryMB);
    ReadPatchValues(settings);
    ReadFontValues(settings);
}

std::string ReadSelectedMod(const std::string& gameFolder) {
    const std::optional<std::string> bytes = ReadWholeFile(PathJoin(gameFolder, "ModRoute.ini"), kMaxSettingsFileBytes);
    if (!bytes || bytes->empty()) return {};
    std::vector<std::string> readings = SelectedModReadings(*bytes, GbkToUtf8);
    // The name is joined below mods and written into: a value that would
    // leave that folder selects nothing.
    std::erase_if(readings, [](const std::string& name) { return !IsPlainFolderName(name); });
    if (readings.empty()) return {};
    const std::string mods = PathJoin(gameFolder, "mods");
    for (const std::string& name : readings) {
        if (name == "base" || DirectoryExists(PathJoin(mods, name))) return name;
    }
    return readings.front();
}

bool ReadLogSwitch(const std::string& gameFolder) {
    const std::optional<std::string> bytes = ReadWholeFile(PathJoin(gameFolder, "ModRoute.ini"), kMaxSettingsFileBytes);
    return bytes && ParseLogSwitch(*bytes);
}

}  // namespace modroute
