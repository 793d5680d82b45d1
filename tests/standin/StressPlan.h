// What the stand-in's stress operation and the scenarios that write its plan
// agree on: the bytes of a file named by its tag, and the plan's line format.
//
// A tag says where a file lies and how long it is ("mod:texture/hero.dds#4096");
// the file holds the tag, a line feed, then filler that depends on the tag, so
// any read of it can be told apart from a read of another file by its bytes.
//
// Plan lines (UTF-8), fields separated by tabs:
//   KIND  ARGUMENT  ANSWER|ANSWER|...
// The answers a thread may see, in the order the system's start-up moves
// through them; a thread may skip answers but never go back to an earlier one,
// and once everything is up only the last is right. Kinds and their answers:
//   read PATH        a tag, "missing" (the open fails) or "@PATH" (the bytes of
//                    that file of the game folder, read when compared); "{n}"
//                    in the path makes it a new path at every turn
//   attr PATH        missing | file | dir
//   find PATTERN     missing, or the names found (without . and ..), sorted, comma-joined
//   loadlib PATH     missing, or the path of the module loaded, relative to the game folder
//   font FACE        ok (a font was created)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

inline std::string StressContent(std::string_view tag) {
    std::size_t size = 64;
    const std::size_t hash = tag.rfind('#');
    if (hash != std::string_view::npos) size = std::stoul(std::string(tag.substr(hash + 1)));
    std::string bytes(tag);
    bytes += '\n';
    std::uint32_t state = 2166136261u;
    for (const char c : tag) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
    while (bytes.size() < size) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>('a' + (state >> 16) % 26);
    }
    return bytes;
}

}  // namespace standin
