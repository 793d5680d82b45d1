// ModRoute.ini of any bytes: the SelectedMod value, its encoding, and its
// independence of line endings and of a byte-order mark on UTF-8 files.
#include <algorithm>

#include "FuzzSupport.h"
#include "config/SettingsText.h"

using namespace modroute;
using fuzzsupport::StandInGbkToUtf8;

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Leaves the value as the file has it, to see what the reader took from it.
std::string Unconverted(std::string_view text) { return std::string(text); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzsupport::AsText(data, size);
    const std::string selected = ParseSelectedMod(bytes, StandInGbkToUtf8);
    const std::string raw = ParseSelectedMod(bytes, Unconverted);

    // One value of one line, trimmed, comments cut off.
    FUZZ_CHECK(fuzzsupport::IsTrimmed(raw));
    FUZZ_CHECK(raw.find_first_of(";#\n") == std::string::npos);
    FUZZ_CHECK(raw.empty() || bytes.find(raw) != std::string_view::npos);
    // In UTF-8: a marked file must be UTF-8; any other value is converted
    // unless it passes the UTF-8 test.
    const bool marked = bytes.starts_with(kUtf8Mark);
    if (marked) {
        FUZZ_CHECK(IsWellFormedUtf8(selected) && selected == raw);
    } else {
        FUZZ_CHECK(selected == (PassesUtf8Test(raw) ? raw : StandInGbkToUtf8(raw)));
    }

    if (std::find(bytes.begin(), bytes.end(), '\r') == bytes.end()) {
        FUZZ_CHECK(ParseSelectedMod(fuzzsupport::WithCrLf(bytes), StandInGbkToUtf8) == selected);
    }
    // A mark in front of UTF-8 (of the characters both readings take) changes nothing.
    if (!marked && IsWellFormedUtf8(bytes) && PassesUtf8Test(bytes)) {
        FUZZ_CHECK(ParseSelectedMod(std::string(kUtf8Mark) + std::string(bytes), StandInGbkToUtf8) == selected);
    }
    return 0;
}
