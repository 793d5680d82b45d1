#include "autores/MapNames.h"

#include <algorithm>

#include "common/MapId.h"

namespace modroute {
namespace {

constexpr std::size_t kMinSnNameLength = 4;

// White space as strtol skips it before a number.
bool IsLeadingSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

bool HasSnPrefix(std::string_view name) { return name.size() >= kMinSnNameLength && StartsWithSn(name); }

std::optional<int> ParseSnNumber(std::string_view name) {
    if (!HasSnPrefix(name)) return std::nullopt;
    // The game reads the number with strtol: white space and a sign may come
    // before the digits, and no map has a negative number.
    std::string_view rest = name.substr(2);
    while (!rest.empty() && IsLeadingSpace(rest.front())) rest.remove_prefix(1);
    if (!rest.empty() && rest.front() == '-') return std::nullopt;
    if (!rest.empty() && rest.front() == '+') rest.remove_prefix(1);
    const SnDigits digits = ReadSnDigits(std::string(name.substr(0, 2)).append(rest));
    if (digits.count == 0 || digits.number < 1 || digits.number > kMaxMapNumber) return std::nullopt;
    return digits.number;
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
