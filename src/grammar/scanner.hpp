#pragma once

// The scanning primitives of the document grammar, shared by the grammar engine and the fast
// statement recognizer so that both read characters, blanks, line ends, names and numbers alike.

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "grammar/char_classes.hpp"

namespace mensurator {

// A position in a text that may be read as if a line feed followed it. Every function that
// matches either advances past what it matched or leaves the position as it found it.
class Scanner {
  protected:
    Scanner(std::string_view text, bool implied_line_end, std::size_t start)
        : text_(text), size_(text.size() + (implied_line_end ? 1 : 0)), pos_(start) {}

    std::string_view text_;
    std::size_t size_;  // the text's, and one more for an implied final line end
    std::size_t pos_;

    bool at_end() const { return pos_ >= size_; }

    // The character at `at`, the implied line end included.
    char char_at(std::size_t at) const { return at < text_.size() ? text_[at] : '\n'; }

    bool at(char c) const { return !at_end() && char_at(pos_) == c; }

    bool starts_with_at(std::size_t at, std::string_view s) const {
        if (s.size() > size_ - std::min(at, size_)) return false;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (char_at(at + i) != s[i]) return false;
        }
        return true;
    }

    bool literal(std::string_view s) {
        if (!starts_with_at(pos_, s)) return false;
        pos_ += s.size();
        return true;
    }

    // A character of one of the grammar's classes, which never hold the implied line end.
    template <class Predicate>
    bool char_if(Predicate predicate) {
        if (pos_ >= text_.size() || !predicate(text_[pos_])) return false;
        ++pos_;
        return true;
    }

    // Blanks: spaces and tabs.
    void skip() { pos_ = end_of_class(pos_, is_blank); }

    bool at_line_end() const { return at('\n') || at('\r'); }

    // LF, CR LF, or a lone CR.
    bool line_end() {
        if (literal("\n")) return true;
        if (literal("\r")) {
            literal("\n");
            return true;
        }
        return false;
    }

    bool digits() {
        if (!char_if(is_digit)) return false;
        pos_ = end_of_class(pos_, is_digit);
        return true;
    }

    bool ident() {
        if (!char_if(is_ident_start)) return false;
        pos_ = end_of_class(pos_, is_ident_rest);
        return true;
    }

    // Whether a name and an opening parenthesis follow, as every call starts; nothing moves.
    bool at_call() const {
        std::size_t at = pos_;
        if (at >= text_.size() || !is_ident_start(text_[at])) return false;
        for (++at; at < text_.size() && is_ident_rest(text_[at]); ++at) {
        }
        return paren_after_blanks(at);
    }

    // The same just after the name.
    bool call_follows() const { return paren_after_blanks(pos_); }

    // -?digits(.digits)?, the fraction only when digits follow the point.
    bool number() {
        const std::size_t start = pos_;
        literal("-");
        if (!digits()) {
            pos_ = start;
            return false;
        }
        const std::size_t fraction = pos_;
        if (literal(".") && !digits()) pos_ = fraction;
        return true;
    }

    // -?digits
    bool integer() {
        const std::size_t start = pos_;
        literal("-");
        if (!digits()) {
            pos_ = start;
            return false;
        }
        return true;
    }

  private:
    // Where the characters of a class from `at` on end. It reads the text itself: the implied
    // line end is in no class. The position is kept apart from pos_, which the characters read
    // might alias.
    template <class Predicate>
    std::size_t end_of_class(std::size_t at, Predicate predicate) const {
        const char* const text = text_.data();
        const std::size_t size = text_.size();
        while (at < size && predicate(text[at])) ++at;
        return at;
    }

    bool paren_after_blanks(std::size_t at) const {
        while (at < text_.size() && is_blank(text_[at])) ++at;
        return at < text_.size() && text_[at] == '(';  // the implied line end is none of these
    }
};

}  // namespace mensurator
