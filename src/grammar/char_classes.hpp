#pragma once

// The character classes of the document grammar, shared by the grammar engine and the fast
// statement recognizer.

namespace mensurator {

inline bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
inline bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
inline bool is_ident_start(char c) {
    return is_letter(c) || c == '\\';
}
inline bool is_ident_rest(char c) {
    return is_letter(c) || is_digit(c) || c == '_' || c == '{' || c == '}';
}

}  // namespace mensurator
