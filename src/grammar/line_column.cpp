#include <algorithm>

#include "base/utf8.hpp"
#include "grammar/parse.hpp"

namespace mensurator {

LineColumn line_column(std::string_view text, std::size_t offset) {
    if (offset > text.size()) offset = text.size();
    // Only LF breaks lines (CR LF is one break, at its LF); a lone CR is an ordinary character.
    // An offset between the CR and the LF of a pair already belongs to the next line.
    const std::string_view before = text.substr(0, offset);
    const std::size_t line = 1 + static_cast<std::size_t>(std::ranges::count(before, '\n'));
    if (offset > 0 && offset < text.size() && text[offset - 1] == '\r' && text[offset] == '\n') {
        return {line + 1, 1};
    }
    const std::size_t last_break = before.rfind('\n');
    std::size_t at = last_break == std::string_view::npos ? 0 : last_break + 1;
    std::size_t column = 1;
    while (at < offset) {
        at += utf8_char_length(text, at);
        ++column;
    }
    return {line, column};
}

std::size_t LineCursor::line_at(std::size_t offset) {
    if (offset > text_.size()) offset = text_.size();
    if (offset < offset_) {  // moving backwards: start over
        offset_ = 0;
        line_ = 1;
    }
    line_ += static_cast<std::size_t>(
        std::count(text_.begin() + static_cast<std::ptrdiff_t>(offset_),
                   text_.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    offset_ = offset;
    const bool inside_crlf =
        offset > 0 && offset < text_.size() && text_[offset - 1] == '\r' && text_[offset] == '\n';
    return inside_crlf ? line_ + 1 : line_;
}

}  // namespace mensurator
