// The signature search of the code patches over any image, against a plain
// search of the starts FindSignature documents, and the game's own patches
// found wherever an image holds them.
//
// Input fields: signature text, then the image.
#include <algorithm>

#include "FuzzSupport.h"
#include "patches/CodeSignatures.h"

using namespace modroute;
using fuzzsupport::FieldReader;

namespace {

using Bytes = std::span<const std::uint8_t>;

std::optional<std::size_t> PlainSearch(Bytes image, Bytes signature) {
    if (signature.empty() || image.size() <= signature.size()) return std::nullopt;
    for (std::size_t start = 0; start + signature.size() < image.size(); ++start) {
        if (std::equal(signature.begin(), signature.end(), image.begin() + start)) return start;
    }
    return std::nullopt;
}

Bytes AsBytes(std::string_view text) { return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FieldReader input(fuzzsupport::AsText(data, size));
    const std::string signature = input.Text();
    const Bytes image = AsBytes(input.Rest());
    FUZZ_CHECK(FindSignature(image, AsBytes(signature)) == PlainSearch(image, AsBytes(signature)));

    for (const CodePatch* patch : {&HiddenCommandPatch(), &LoadsnpPatch()}) {
        FUZZ_CHECK(patch->patchOffset + patch->replacement.size() <= patch->signature.size());
        const std::optional<std::size_t> found = FindSignature(image, patch->signature);
        FUZZ_CHECK(found == PlainSearch(image, patch->signature));
        // What the patch writes lies inside the image, before its last byte.
        if (found) FUZZ_CHECK(*found + patch->patchOffset + patch->replacement.size() < image.size());
    }
    return 0;
}
