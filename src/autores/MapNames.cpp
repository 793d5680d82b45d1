#include "autores/MapNames.h"

#include <algorithm>
#include <cstdlib>

#include "autores/ResFormat.h"

namespace modroute {
namespace {

constexpr std::size_t kMinSnNameLength = 4;

}  // namespace

bool HasSnPrefix(std::string_view name) {
    return name.size() >= kMinSnNameLength && (name[0] == 's' || name[0] == 'S') &&
           (name[1] == 'n' || name[1] == 'N');
}

std::optional<int> ParseSnNumber(std::string_view name) {
    if (!HasSnPrefix(name)) return std::nullopt;
    // strtol needs a terminated string; it saturates on overflow, which
    // lands outside 1..255 just as any other large number does.
    const std::string rest(name.substr(2));
    const long value = std::strtol(rest.c_str(), nullptr, 10);
    if (value < 1 || value > kMaxMapNumber) return std::nullopt;
    return static_cast<int>(value);
}

void SortSnEntries(std::vector<MapEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const MapEntry& a, const MapEntry& b) { return a.number < b.number; });
}

void SortOtherEntries(std::vector<MapEntry>& entries) {
    // std::string compares through char_traits<char>, byte for byte as unsigned.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const MapEntry& a, const MapEntry& b) { return a.name < b.name; });
}

}  // namespace modroute
