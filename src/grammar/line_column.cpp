#include "grammar/parse.hpp"
#include "grammar/utf8.hpp"

namespace mensurator {

LineColumn line_column(std::string_view text, std::size_t offset) {
    LineCursor cursor(text);
    return cursor.at(offset);
}

LineColumn LineCursor::at(std::size_t offset) {
    if (offset > text_.size()) offset = text_.size();
    if (offset < offset_) {  // moving backwards: start over
        offset_ = 0;
        line_ = 1;
        column_ = 1;
    }
    // Only LF breaks lines (CR LF is one break, at its LF); a lone CR is an ordinary character.
    while (offset_ < offset) {
        if (text_[offset_] == '\n') {
            ++line_;
            column_ = 1;
            ++offset_;
        } else {
            offset_ += utf8_char_length(text_, offset_);
            ++column_;
        }
    }
    // An offset between the CR and the LF of a pair already belongs to the next line.
    if (offset > 0 && offset < text_.size() && text_[offset - 1] == '\r' && text_[offset] == '\n') {
        return {line_ + 1, 1};
    }
    return {line_, column_};
}

}  // namespace mensurator
