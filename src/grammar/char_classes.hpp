#pragma once

// The character classes of the document grammar, shared by the grammar engine and the fast
// statement recognizer. None of them holds a line end.

#include <array>
#include <cstdint>

namespace mensurator {

namespace char_class {

enum : std::uint8_t {
    blank = 1,        // space, tab
    letter = 2,       // a-z, A-Z
    digit = 4,        // 0-9
    name_mark = 8,    // _ { }, which names may hold after their first character
    name_start = 16,  // \, with which a name may begin
};

// By byte value.
inline constexpr std::array<std::uint8_t, 256> of_byte = [] {
    std::array<std::uint8_t, 256> classes{};
    classes[' '] = blank;
    classes['\t'] = blank;
    for (char c = 'a'; c <= 'z'; ++c) classes[static_cast<unsigned char>(c)] = letter;
    for (char c = 'A'; c <= 'Z'; ++c) classes[static_cast<unsigned char>(c)] = letter;
    for (char c = '0'; c <= '9'; ++c) classes[static_cast<unsigned char>(c)] = digit;
    classes['_'] = name_mark;
    classes['{'] = name_mark;
    classes['}'] = name_mark;
    classes['\\'] = name_start;
    return classes;
}();

inline bool in(char c, std::uint8_t classes) {
    return (of_byte[static_cast<unsigned char>(c)] & classes) != 0;
}

}  // namespace char_class

inline bool is_blank(char c) {
    return char_class::in(c, char_class::blank);
}
inline bool is_letter(char c) {
    return char_class::in(c, char_class::letter);
}
inline bool is_digit(char c) {
    return char_class::in(c, char_class::digit);
}
inline bool is_ident_start(char c) {
    return char_class::in(c, char_class::letter | char_class::name_start);
}
inline bool is_ident_rest(char c) {
    return char_class::in(c, char_class::letter | char_class::digit | char_class::name_mark);
}

}  // namespace mensurator
