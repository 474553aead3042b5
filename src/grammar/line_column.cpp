#include <algorithm>

#include "base/utf8.hpp"
#include "grammar/parse.hpp"

namespace mensurator {

namespace {

// Whether `offset` falls between the CR and the LF of a pair, where it already belongs to the
// next line.
bool inside_crlf(std::string_view text, std::size_t offset, bool implied_line_end) {
    if (offset == 0 || offset > text.size() || text[offset - 1] != '\r') return false;
    return offset < text.size() ? text[offset] == '\n' : implied_line_end;
}

}  // namespace

LineColumn line_column(std::string_view text, std::size_t offset, bool implied_line_end) {
    if (implied_line_end && offset > text.size()) {
        return {2 + static_cast<std::size_t>(std::ranges::count(text, '\n')), 1};
    }
    if (offset > text.size()) offset = text.size();
    // Only LF breaks lines (CR LF is one break, at its LF); a lone CR is an ordinary character.
    // An offset between the CR and the LF of a pair already belongs to the next line.
    const std::string_view before = text.substr(0, offset);
    const std::size_t line = 1 + static_cast<std::size_t>(std::ranges::count(before, '\n'));
    if (inside_crlf(text, offset, implied_line_end)) return {line + 1, 1};
    const std::size_t last_break = before.rfind('\n');
    std::size_t at = last_break == std::string_view::npos ? 0 : last_break + 1;
    std::size_t column = 1;
    while (at < offset) {
        at += utf8_char_length(text, at);
        ++column;
    }
    return {line, column};
}

std::size_t LineCursor::counted_line_at(std::size_t offset) {
    // Past the text: after the implied line end, on the line it begins.
    const bool past_end = implied_line_end_ && offset > text_.size();
    if (offset > text_.size()) offset = text_.size();
    if (offset < offset_) {  // moving backwards: start over
        offset_ = 0;
        line_ = 1;
    }
    line_ += static_cast<std::size_t>(
        std::count(text_.begin() + static_cast<std::ptrdiff_t>(offset_),
                   text_.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    offset_ = offset;
    return past_end || inside_crlf(text_, offset, implied_line_end_) ? line_ + 1 : line_;
}

}  // namespace mensurator
