// ModRoute.ini of any bytes: the SelectedMod value, its encoding, and its
// independence of line endings and of a byte-order mark on UTF-8 files.
#include <algorithm>

#include "FuzzSupport.h"
#include "config/SettingsText.h"

using namespace modroute;
using fuzzsupport::StandInGbkToUtf8;

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Marks the value as the file has it, to see what the reader took from it.
std::string Tagged(std::string_view text) { return std::string(text) + '\x01'; }

std::string Preferred(std::string_view bytes, TextConverter gbkToUtf8) {
    const std::vector<std::string> readings = SelectedModReadings(bytes, gbkToUtf8);
    return readings.empty() ? std::string() : readings.front();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzsupport::AsText(data, size);
    const std::vector<std::string> readings = SelectedModReadings(bytes, StandInGbkToUtf8);
    const std::string selected = Preferred(bytes, StandInGbkToUtf8);
    const bool marked = bytes.starts_with(kUtf8Mark);
    const std::vector<std::string> tagged = SelectedModReadings(bytes, Tagged);
    const std::string raw = tagged.empty() ? std::string() : marked ? tagged.front() : tagged.back().substr(0, tagged.back().size() - 1);

    // One value of one line, trimmed, comments cut off.
    FUZZ_CHECK(fuzzsupport::IsTrimmed(raw));
    FUZZ_CHECK(raw.find_first_of(";#\n") == std::string::npos);
    FUZZ_CHECK(raw.empty() || bytes.find(raw) != std::string_view::npos);
    // In UTF-8: a marked file must be UTF-8; any other value is read as UTF-8
    // when it passes the UTF-8 test, and as code page 936 when that differs.
    std::vector<std::string> expected;
    if (marked) {
        FUZZ_CHECK(IsWellFormedUtf8(selected) && selected == raw);
        if (!raw.empty()) expected = {raw};
    } else if (!raw.empty()) {
        if (PassesUtf8Test(raw)) expected.push_back(raw);
        const std::string gbk = StandInGbkToUtf8(raw);
        if (!gbk.empty() && gbk != raw) expected.push_back(gbk);
    }
    FUZZ_CHECK(readings == expected);

    if (std::find(bytes.begin(), bytes.end(), '\r') == bytes.end()) {
        FUZZ_CHECK(SelectedModReadings(fuzzsupport::WithCrLf(bytes), StandInGbkToUtf8) == readings);
    }
    // A mark in front of UTF-8 (of the characters both readings take) keeps the first reading.
    if (!marked && IsWellFormedUtf8(bytes) && PassesUtf8Test(bytes)) {
        FUZZ_CHECK(Preferred(std::string(kUtf8Mark) + std::string(bytes), StandInGbkToUtf8) == selected);
    }
    return 0;
}
