// Whether a face is installed, asked of GDI the way the game's fonts are made:
// an enumeration over the screen's device context for any character set.
#pragma once

#include <string_view>

namespace modroute {

// True when GDI enumerates a family of that face (GBK bytes; only the first
// 31 bytes count, as in a LOGFONT). False for an empty face and when no
// device context is available.
bool IsFontInstalled(std::string_view gbkFace);

}  // namespace modroute
