#include "patches/CodeSignatures.h"

#include <algorithm>
#include <functional>

namespace modroute {
namespace {

// The game's instruction bytes, exactly as they stand in its executable.
constexpr std::uint8_t kHiddenCommandSignature[] = {
    0x00, 0x8B, 0xF0, 0x85, 0xC9, 0x75, 0x1F, 0xBF, 0x10, 0x98, 0x5C, 0x00, 0xB9, 0x06, 0x00, 0x00,
};
constexpr std::uint8_t kHiddenCommandReplacement[] = {0x71};  // jno over jne, same displacement

constexpr std::uint8_t kLoadsnpSignature[] = {
    0x00, 0x90, 0x90, 0xFF, 0x36, 0xE8, 0xBE, 0x3C, 0x05, 0x00, 0x83, 0xC4, 0x04, 0xE8, 0x9C, 0x2F, 0x05,
    0x00, 0x50, 0x8B, 0x0D, 0x9C, 0x61, 0x66, 0x00, 0xE8, 0xA0, 0x21, 0xFD, 0xFF, 0xE9, 0x66, 0x0E,
};
constexpr std::uint8_t kLoadsnpReplacement[] = {
    0x3B, 0x77, 0x04, 0x75, 0x08, 0x83, 0xC8, 0xFF, 0xE9, 0x7D, 0x0E, 0x00, 0x00, 0x8B, 0x0E, 0x8B, 0x45,
    0x00, 0x6A, 0x01, 0x51, 0x8B, 0xCD, 0xFF, 0x90, 0x14, 0x01, 0x00, 0x00, 0xC6, 0x85, 0x78, 0x1D,
};
static_assert(sizeof kLoadsnpReplacement == sizeof kLoadsnpSignature);

constexpr CodePatch kHiddenCommand{kHiddenCommandSignature, 5, kHiddenCommandReplacement};
constexpr CodePatch kLoadsnp{kLoadsnpSignature, 0, kLoadsnpReplacement};

}  // namespace

const CodePatch& HiddenCommandPatch() { return kHiddenCommand; }
const CodePatch& LoadsnpPatch() { return kLoadsnp; }

std::optional<std::size_t> FindSignature(std::span<const std::uint8_t> image,
                                         std::span<const std::uint8_t> signature) {
    // Guarding the subtraction keeps a short image from wrapping the bound around.
    if (signature.empty() || image.size() <= signature.size()) return std::nullopt;
    // The last start tried is size - N - 1, so the image's last byte never takes part.
    const auto searched = image.first(image.size() - 1);
    const auto found = std::search(searched.begin(), searched.end(),
                                   std::boyer_moore_horspool_searcher(signature.begin(), signature.end()));
    if (found == searched.end()) return std::nullopt;
    return static_cast<std::size_t>(found - searched.begin());
}

}  // namespace modroute
