#include "SettingsReport.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "config/SettingsText.h"

namespace modroute::tool {
namespace {

// A value of the manager's key as stored, whatever its type.
struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
};

std::optional<StoredValue> ReadStoredValue(const std::wstring& subkey, const wchar_t* name) {
    std::wstring key = L"SOFTWARE\\TavrenModManager";
    if (!subkey.empty()) key += L"\\" + subkey;
    DWORD size = 0;
    StoredValue value;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &value.type,
                     value.data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

std::string ShowStored(const StoredValue& value) {
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
        std::copy(value.data.begin(), value.data.begin() + static_cast<std::ptrdiff_t>(text.size() * 2),
                  reinterpret_cast<std::uint8_t*>(text.data()));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        return "\"" + WideToUtf8(text) + "\"";
    }
    if (value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | value.data[static_cast<std::size_t>(i)];
        std::string shown = std::to_string(number);
        if (value.type != REG_DWORD) shown += " (type " + std::to_string(value.type) + ")";
        return shown;
    }
    return Quantity(value.data.size(), "byte", "bytes") + " of type " + std::to_string(value.type);
}

// Where a registry setting's value came from.
SettingRow Row(const std::wstring& subkey, const wchar_t* name, const std::string& used, const std::string& fallback) {
    SettingRow row{(subkey.empty() ? "" : WideToUtf8(subkey) + "\\") + WideToUtf8(name), used, ""};
    const std::optional<StoredValue> stored = ReadStoredValue(subkey, name);
    if (!stored) {
        row.source = "default";
    } else if (ShowStored(*stored) == used) {
        row.source = "registry";
    } else {
        // Wrong type, wrong size, out of range: ModRoute read something else.
        row.source = "registry holds " + ShowStored(*stored) + (used == fallback ? ", read as the default" : "");
    }
    return row;
}

std::string Text(const std::string& face) { return "\"" + face + "\""; }

std::string Padded(std::string text, std::size_t width) {
    text.resize(std::max<std::size_t>(text.size() + 1, width), ' ');
    return text;
}

// Why a ModRoute.ini that is there selects what it selects.
SettingRow SelectedModRow(const ConfigManager& config) {
    const std::string file = PathJoin(config.GetGameFolder(), "ModRoute.ini");
    const std::string& selected = config.GetSelectedMod();
    if (!FileExists(file)) return {"SelectedMod", "(none)", "default: no ModRoute.ini"};
    if (!selected.empty()) return {"SelectedMod", selected, "[Settings] of ModRoute.ini"};
    const std::optional<std::string> bytes = ReadWholeFile(file, 1024 * 1024);
    const std::vector<std::string> readings = bytes ? SelectedModReadings(*bytes, GbkToUtf8) : std::vector<std::string>();
    const std::string written = readings.empty() ? std::string() : readings.front();
    if (written.empty()) return {"SelectedMod", "(none)", "default: no SelectedMod in [Settings]"};
    return {"SelectedMod", "(none)", "ModRoute.ini names \"" + written + "\", which is not a plain folder name"};
}

}  // namespace

std::vector<SettingRow> SettingRows(const ConfigManager& config) {
    const CoreSettings& used = config.Settings();
    const CoreSettings defaults;
    return {
        SelectedModRow(config),
        {"Log", used.Log ? "1" : "0", used.Log ? "[Settings] of ModRoute.ini" : "default: no Log=1 in [Settings]"},
        Row(L"", L"AutoRes", std::to_string(used.AutoRes), std::to_string(defaults.AutoRes)),
        Row(L"", L"EnablePreloadPVK", std::to_string(used.EnablePreloadPVK), std::to_string(defaults.EnablePreloadPVK)),
        Row(L"Memory", L"MaxMemoryMB", std::to_string(used.MaxMemoryMB), std::to_string(defaults.MaxMemoryMB)),
        Row(L"Patch", L"ToggleCommand", std::to_string(used.ToggleCommand), std::to_string(defaults.ToggleCommand)),
        Row(L"Patch", L"OpenPlay", std::to_string(used.OpenPlay), std::to_string(defaults.OpenPlay)),
        Row(L"Fonts", L"TimesNewRoman", Text(used.TimesNewRoman), Text(defaults.TimesNewRoman)),
        Row(L"Fonts", L"TimesNewRomanScale", std::to_string(used.TimesNewRomanScale),
            std::to_string(defaults.TimesNewRomanScale)),
        Row(L"Fonts", L"MingLiU", Text(used.MingLiU), Text(defaults.MingLiU)),
        Row(L"Fonts", L"MingLiUScale", std::to_string(used.MingLiUScale), std::to_string(defaults.MingLiUScale)),
    };
}

void ReportSettings(const ConfigManager& config) {
    const std::vector<SettingRow> rows = SettingRows(config);
    OutLine("Settings (read once at start-up; a change takes effect at the next start)");
    OutLine("  " + PathJoin(config.GetGameFolder(), "ModRoute.ini"));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i == 2) OutLine("  HKEY_CURRENT_USER\\SOFTWARE\\TavrenModManager");
        OutLine(Padded("    " + rows[i].name, 30) + Padded(rows[i].value, 12) + "(" + rows[i].source + ")");
    }
}

}  // namespace modroute::tool
