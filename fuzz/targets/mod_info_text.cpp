// A mod description file of any bytes through both [ModInfo] readers, and
// the root entry name of a folder name.
#include "FuzzSupport.h"
#include "common/PathText.h"
#include "config/ModInfoText.h"

using namespace modroute;

namespace {

const std::string kModName = "\xE5\x88\x80\xE9\x94\x8B Blades";  // 刀锋 in UTF-8

std::string* Field(ModInfo& info, std::size_t i) {
    std::string* fields[] = {&info.title, &info.image,   &info.author,  &info.version, &info.info,
                             &info.folderName, &info.type, &info.website, &info.contact};
    return i < std::size(fields) ? fields[i] : nullptr;
}

bool SameInfo(ModInfo a, ModInfo b) {
    for (std::size_t i = 0; Field(a, i) != nullptr; ++i) {
        if (*Field(a, i) != *Field(b, i)) return false;
    }
    return true;
}

// What a caller's field held before; no line of a file can give it.
std::string Untouched(std::size_t i) { return "\n" + std::to_string(i); }

void CheckValue(const std::string& value) {
    FUZZ_CHECK(value.find('\n') == std::string::npos);
    FUZZ_CHECK(fuzzsupport::IsTrimmed(value));
}

void CheckModScanReader(std::string_view bytes) {
    ModInfo info;
    for (std::size_t i = 0; std::string* field = Field(info, i); ++i) *field = Untouched(i);
    ParseModInfoText(bytes, info, kModName);
    // Every text is reset or read: UTF-8, one trimmed value; the folder is the mod's.
    for (std::size_t i = 0; std::string* field = Field(info, i); ++i) {
        FUZZ_CHECK(IsWellFormedUtf8(*field));
        CheckValue(*field);
    }
    FUZZ_CHECK(info.folderName == kModName);
    FUZZ_CHECK(CleanPath(info.image) == info.image);

    if (bytes.find('\r') == std::string_view::npos) {
        ModInfo crLf;
        ParseModInfoText(fuzzsupport::WithCrLf(bytes), crLf, kModName);
        FUZZ_CHECK(SameInfo(crLf, info));
    }
}

void CheckSingleModReader(std::string_view bytes) {
    ModInfo info;
    for (std::size_t i = 0; std::string* field = Field(info, i); ++i) *field = Untouched(i);
    ReadModInfoText(bytes, info);
    for (std::size_t i = 0; std::string* field = Field(info, i); ++i) {
        if (*field != Untouched(i)) CheckValue(*field);
    }
    // What the file does not name keeps the caller's text.
    if (bytes.find("title") == std::string_view::npos) FUZZ_CHECK(info.title == Untouched(0));
    // Reading the same file again sets the same fields to the same texts.
    ModInfo again = info;
    ReadModInfoText(bytes, again);
    FUZZ_CHECK(SameInfo(again, info));
}

void CheckRootEntryName(std::string_view folderName) {
    const std::string root = RootEntryName(folderName);
    FUZZ_CHECK(folderName.starts_with(root));
    if (root.size() == folderName.size()) return;
    // Only a dot and 1 to 4 ASCII letters or digits are taken off, never the whole name.
    const std::string_view extension = folderName.substr(root.size());
    FUZZ_CHECK(!root.empty() && extension.size() >= 2 && extension.size() <= 5 && extension.front() == '.');
    for (const char c : extension.substr(1)) {
        FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzsupport::AsText(data, size);
    CheckModScanReader(bytes);
    CheckSingleModReader(bytes);
    CheckRootEntryName(bytes.substr(0, bytes.find('\n')));
    return 0;
}
