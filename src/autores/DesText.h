// The map name a model description file (.des) gives its map folder: the
// file's bytes decoded to GBK by their byte-order mark or content, then the
// line above the last "SceneObjects" line, unless it is unusable, in which
// case the folder's own name is the map name. Pure code: the conversions are
// passed in, and GBK text is scanned character by character.
#pragma once

#include <string>
#include <string_view>

#include "common/TextLines.h"
#include "common/Utf8Text.h"

namespace modroute {

// True when the bytes are plain ASCII or well-formed UTF-8 sequences of one
// to four bytes (lead bytes C2..DF, E0..EF, F0..F4).
bool IsDesUtf8(std::string_view bytes);

// The file's text in GBK (code page 936), by the first rule that applies:
// EF BB BF: the rest through utf8ToGbk; FF FE: the 16-bit units after it
// through utf16LeToGbk; FE FF: the same with each byte pair swapped; UTF-8
// without a mark: through utf8ToGbk; anything else is GBK already. An odd last
// byte of UTF-16 is ignored; one NUL at the end of a converted text is dropped.
// utf16LeToGbk receives little-endian byte pairs and must produce code page
// 936 whatever the system's ANSI code page is: map names are GBK.
std::string DecodeDesText(std::string_view fileBytes, TextConverter utf8ToGbk, TextConverter utf16LeToGbk);

// At least 2 bytes and none of the description header's words (GModel,
// Description, File, V1.0, by, ...) inside, ignoring ASCII case.
bool IsValidMapName(std::string_view candidate);

// The map name in decoded GBK text, or folderName when the text yields none
// that a map block can hold (1 to 63 bytes, no NUL).
std::string MapNameFromDesText(std::string_view gbkText, std::string_view folderName);

// DecodeDesText, then MapNameFromDesText.
std::string MapNameFromDesFile(std::string_view fileBytes, std::string_view folderName, TextConverter utf8ToGbk,
                               TextConverter utf16LeToGbk);

}  // namespace modroute
