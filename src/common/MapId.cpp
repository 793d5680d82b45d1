#include "common/MapId.h"

namespace modroute {

bool StartsWithSn(std::string_view text) {
    return text.size() >= 2 && (text[0] == 's' || text[0] == 'S') && (text[1] == 'n' || text[1] == 'N');
}

SnDigits ReadSnDigits(std::string_view text) {
    SnDigits digits;
    if (!StartsWithSn(text)) return digits;
    for (std::size_t i = 2; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        ++digits.count;
        // Any number past the largest map stays past it, however long.
        if (digits.number <= kMaxMapNumber) digits.number = digits.number * 10 + (text[i] - '0');
    }
    return digits;
}

}  // namespace modroute
