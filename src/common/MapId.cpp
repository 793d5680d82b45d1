#include "common/MapId.h"

namespace modroute {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool StartsWithSn(std::string_view text) {
    return text.size() >= 2 && (text[0] == 's' || text[0] == 'S') && (text[1] == 'n' || text[1] == 'N');
}

SnDigits ReadSnDigits(std::string_view text) {
    SnDigits digits;
    if (!StartsWithSn(text)) return digits;
    for (std::size_t i = 2; i < text.size() && IsDigit(text[i]); ++i) {
        ++digits.count;
        // Any number past the largest map stays past it, however long.
        if (digits.number <= kMaxMapNumber) digits.number = digits.number * 10 + (text[i] - '0');
    }
    return digits;
}

std::optional<MapId> ReadMapId(std::string_view text) {
    const SnDigits digits = ReadSnDigits(text);
    if (digits.count < 2 || digits.count > 3 || digits.number < 1 || digits.number > kMaxMapNumber) return std::nullopt;
    // The game writes no leading zero beyond the two digits: sn007 is no id of map 7.
    if (digits.count != MapIdText(digits.number).size() - 2) return std::nullopt;
    return MapId{2 + digits.count, digits.number};
}

std::string MapIdText(int number) { return (number < 10 ? "sn0" : "sn") + std::to_string(number); }

}  // namespace modroute
