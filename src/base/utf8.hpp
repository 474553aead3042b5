#pragma once

#include <cstddef>
#include <string_view>

namespace mensurator {

// Length in bytes of the UTF-8 character starting at `at` (at < text.size()). A byte that does
// not start a complete, well-formed sequence counts as a character of its own, so malformed
// input never leads past the end of the text.
inline std::size_t utf8_char_length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = lead <= 0xEF ? 3 : 1;
    } else if (lead >= 0xC2) {
        length = 2;
    }
    if (length == 1 || at + length > text.size()) return 1;
    // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
    const auto second = static_cast<unsigned char>(text[at + 1]);
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high) return 1;
    for (std::size_t i = 2; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

}  // namespace mensurator
