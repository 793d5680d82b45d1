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

// One line: name, the value ModRoute uses, and where it came from.
void Line(const std::wstring& subkey, const wchar_t* name, const std::string& used, const std::string& fallback) {
    const std::string label = (subkey.empty() ? "" : WideToUtf8(subkey) + "\\") + WideToUtf8(name);
    std::string source;
    const std::optional<StoredValue> stored = ReadStoredValue(subkey, name);
    if (!stored) {
        source = "default";
    } else if (ShowStored(*stored) == used) {
        source = "registry";
    } else {
        // Wrong type, wrong size, out of range: ModRoute read something else.
        source = "registry holds " + ShowStored(*stored) + (used == fallback ? ", read as the default" : "");
    }
    std::string padded = "    " + label;
    padded.resize(std::max<std::size_t>(padded.size() + 1, 30), ' ');
    std::string value = used;
    value.resize(std::max<std::size_t>(value.size() + 1, 12), ' ');
    OutLine(padded + value + "(" + source + ")");
}

std::string Text(const std::string& face) { return "\"" + face + "\""; }

void ReportSelectedMod(const ConfigManager& config) {
    const std::string file = PathJoin(config.GetGameFolder(), "ModRoute.ini");
    OutLine("  " + file);
    const std::string& selected = config.GetSelectedMod();
    if (!FileExists(file)) {
        OutLine("    SelectedMod               (none)      (default: no ModRoute.ini)");
        return;
    }
    if (!selected.empty()) {
        OutLine("    SelectedMod               " + selected + "  ([Settings] of ModRoute.ini)");
        return;
    }
    // Say why a file that is there selects nothing.
    const std::optional<std::string> bytes = ReadWholeFile(file, 1024 * 1024);
    const std::vector<std::string> readings = bytes ? SelectedModReadings(*bytes, GbkToUtf8) : std::vector<std::string>();
    const std::string written = readings.empty() ? std::string() : readings.front();
    if (written.empty()) {
        OutLine("    SelectedMod               (none)      (default: no SelectedMod in [Settings])");
    } else {
        OutLine("    SelectedMod               (none)      (ModRoute.ini names \"" + written +
                "\", which is not a plain folder name)");
    }
}

}  // namespace

void ReportSettings(const ConfigManager& config) {
    const CoreSettings& used = config.Settings();
    const CoreSettings defaults;
    OutLine("Settings (read once at start-up; a change takes effect at the next start)");
    ReportSelectedMod(config);
    OutLine("  HKEY_CURRENT_USER\\SOFTWARE\\TavrenModManager");
    Line(L"", L"AutoRes", std::to_string(used.AutoRes), std::to_string(defaults.AutoRes));
    Line(L"", L"EnablePreloadPVK", std::to_string(used.EnablePreloadPVK), std::to_string(defaults.EnablePreloadPVK));
    Line(L"Memory", L"MaxMemoryMB", std::to_string(used.MaxMemoryMB), std::to_string(defaults.MaxMemoryMB));
    Line(L"Patch", L"ToggleCommand", std::to_string(used.ToggleCommand), std::to_string(defaults.ToggleCommand));
    Line(L"Patch", L"OpenPlay", std::to_string(used.OpenPlay), std::to_string(defaults.OpenPlay));
    Line(L"Fonts", L"TimesNewRoman", Text(used.TimesNewRoman), Text(defaults.TimesNewRoman));
    Line(L"Fonts", L"TimesNewRomanScale", std::to_string(used.TimesNewRomanScale),
         std::to_string(defaults.TimesNewRomanScale));
    Line(L"Fonts", L"MingLiU", Text(used.MingLiU), Text(defaults.MingLiU));
    Line(L"Fonts", L"MingLiUScale", std::to_string(used.MingLiUScale), std::to_string(defaults.MingLiUScale));
}

}  // namespace modroute::tool
