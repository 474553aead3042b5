#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/utf8.hpp"

namespace mensurator {

// The lines of a document by number, for reporting where on a line something stands. LF and
// CR LF end lines, as for the engine.
class SourceLines {
  public:
    explicit SourceLines(std::string_view text) : text_(text) {
        starts_.push_back(0);
        for (std::size_t at = text.find('\n'); at != std::string_view::npos;
             at = text.find('\n', at + 1)) {
            starts_.push_back(at + 1);
        }
    }

    std::string_view text() const { return text_; }
    std::size_t count() const { return starts_.size(); }
    // Where line `line` (1-based) starts; the text's end past the last line.
    std::size_t start(std::uint64_t line) const {
        return line >= 1 && line <= starts_.size() ? starts_[line - 1] : text_.size();
    }
    // Line `line` without its line end; empty past the last line.
    std::string_view line(std::uint64_t line) const {
        const std::size_t begin = start(line);
        std::size_t end = line < starts_.size() ? starts_[line] - 1 : text_.size();
        if (end > begin && text_[end - 1] == '\r') --end;
        return text_.substr(begin, end - begin);
    }
    // The 1-based column, in characters, of byte `offset` of a line's text.
    static std::size_t column(std::string_view line_text, std::size_t offset) {
        std::size_t column = 1;
        for (std::size_t at = 0; at < offset && at < line_text.size();
             at += utf8_char_length(line_text, at)) {
            ++column;
        }
        return column;
    }

  private:
    std::string_view text_;
    std::vector<std::size_t> starts_;
};

}  // namespace mensurator
