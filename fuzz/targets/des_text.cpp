// A model description file of any bytes: decoding by byte-order mark or
// content, and the map name taken from it, which a map block must be able to
// hold unless it is the folder's own name.
#include "FuzzSupport.h"
#include "autores/DesText.h"
#include "autores/ResFormat.h"
#include "common/GbkText.h"

using namespace modroute;
using fuzzsupport::StandInUtf16LeToGbk;
using fuzzsupport::StandInUtf8ToGbk;

namespace {

const std::string kFolderName = "\xC9\xAD\xC1\xD6 Forest";  // 森林 in GBK

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzsupport::AsText(data, size);
    // Well-formed UTF-8 is UTF-8 to the looser test of description files too.
    if (IsWellFormedUtf8(bytes)) FUZZ_CHECK(IsDesUtf8(bytes));

    const std::string text = DecodeDesText(bytes, StandInUtf8ToGbk, StandInUtf16LeToGbk);
    const bool marked = bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    if (!marked && !IsDesUtf8(bytes)) {
        FUZZ_CHECK(text == bytes);  // GBK already
    }
    const std::string name = MapNameFromDesText(text, kFolderName);
    FUZZ_CHECK(name == MapNameFromDesFile(bytes, kFolderName, StandInUtf8ToGbk, StandInUtf16LeToGbk));
    if (name == kFolderName) return 0;

    // A name of the file: one trimmed line of it, that a block can hold.
    FUZZ_CHECK(text.find(name) != std::string::npos);
    FUZZ_CHECK(name.find('\n') == std::string::npos);
    FUZZ_CHECK(fuzzsupport::IsTrimmed(name));
    FUZZ_CHECK(IsValidMapName(name));
    FUZZ_CHECK(!BuildMapBlock({1, name, FormatMapKey(1)}).empty());
    // Case never makes a header word a name.
    FUZZ_CHECK(IsValidMapName(GbkToLowerAscii(name)));
    return 0;
}
