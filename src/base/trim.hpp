#pragma once

#include <array>
#include <string_view>

namespace mensurator {

namespace detail {

// Unicode white space beyond ASCII, as UTF-8.
inline constexpr std::array<std::string_view, 19> unicode_spaces = {
    "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003",
    "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200A",
    "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"};

inline bool is_ascii_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Every non-ASCII space above ends in a byte of 0x80 or more and starts with one of 0xC2 or more.
inline bool is_ascii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

}  // namespace detail

// Removes trailing white space (ASCII 9-13 and 32, and Unicode white space).
inline std::string_view trim_end(std::string_view text) {
    for (;;) {
        if (text.empty()) return text;
        if (detail::is_ascii_space(text.back())) {
            text.remove_suffix(1);
            continue;
        }
        if (detail::is_ascii(text.back())) return text;
        bool removed = false;
        for (std::string_view space : detail::unicode_spaces) {
            if (text.ends_with(space)) {
                text.remove_suffix(space.size());
                removed = true;
                break;
            }
        }
        if (!removed) return text;
    }
}

// Removes leading white space of the same kinds.
inline std::string_view trim_start(std::string_view text) {
    for (;;) {
        if (text.empty()) return text;
        if (detail::is_ascii_space(text.front())) {
            text.remove_prefix(1);
            continue;
        }
        if (detail::is_ascii(text.front())) return text;
        bool removed = false;
        for (std::string_view space : detail::unicode_spaces) {
            if (text.starts_with(space)) {
                text.remove_prefix(space.size());
                removed = true;
                break;
            }
        }
        if (!removed) return text;
    }
}

inline std::string_view trim(std::string_view text) {
    return trim_start(trim_end(text));
}

}  // namespace mensurator
