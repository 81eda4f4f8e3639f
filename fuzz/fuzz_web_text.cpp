// SPDX-License-Identifier: MIT
// The web text functions (escaping, address encoding, reference decoding) against the plain
// reference versions, on any bytes.
#include "analysis/text/web_text.h"
#include "reference_web_text.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace coffer;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (DecodeCharacterReferences(text) != reference::Decode(text))
        __builtin_trap();
    if (EscapeHtmlText(text) != reference::Escape(text))
        __builtin_trap();
    if (EncodeForAddress(text, SpaceAs::Plus) != reference::Encode(text, true) ||
        EncodeForAddress(text, SpaceAs::Percent20) != reference::Encode(text, false))
        __builtin_trap();
    return 0;
}
