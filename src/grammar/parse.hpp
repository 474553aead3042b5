#pragma once

#include <algorithm>
#include <cstddef>
#include <expected>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "grammar/grammar_rule.hpp"
#include "grammar/parse_node.hpp"

namespace mensurator {

// Parentheses (expression groups, unit groups and call argument lists alike) may nest this deep;
// deeper nesting fails the parse instead of exhausting the stack.
inline constexpr std::size_t max_nesting_depth = 64;

struct ParseFailure {
    std::size_t position = 0;  // byte offset of the failure
    std::size_t line = 1;
    std::size_t column = 1;
    bool nesting_too_deep = false;  // the failure is the nesting limit, not a syntax error
};

struct LineColumn {
    std::size_t line = 1;
    std::size_t column = 1;
};

// 1-based line and column (in characters) of a byte offset. LF and CR LF break lines; a lone CR
// does not. With `implied_line_end`, the text is read as if a line feed followed it.
LineColumn line_column(std::string_view text, std::size_t offset, bool implied_line_end = false);

// Answers the line of offsets that never decrease, scanning the text only once overall.
class LineCursor {
  public:
    explicit LineCursor(std::string_view text, bool implied_line_end = false)
        : text_(text), implied_line_end_(implied_line_end) {}
    // The line that line_column gives for the offset. Inline for the usual question, the offset
    // the cursor has just moved on to (not right after a CR, which may begin a CR LF).
    std::size_t line_at(std::size_t offset) {
        if (offset == offset_ && offset < text_.size() &&
            (offset == 0 || text_[offset - 1] != '\r'))
            return line_;
        return counted_line_at(offset);
    }
    // Moves on to `offset`, past `line_feeds` more of them than the offset last asked for: what a
    // reader that has just read the text in between knows without counting again.
    void move_on(std::size_t offset, std::size_t line_feeds) {
        offset_ = std::min(offset, text_.size());
        line_ += line_feeds;
    }

  private:
    std::string_view text_;
    bool implied_line_end_;
    std::size_t offset_ = 0;
    std::size_t line_ = 1;

    std::size_t counted_line_at(std::size_t offset);
};

class Matcher;

// Matches a document one statement at a time, so that a caller can build and drop each
// statement's nodes before the next is matched. The results equal those of parse(program, text).
class StatementStream {
  public:
    // With `implied_line_end`, the text is matched as if a line feed followed it, as a document's
    // last line must end; callers need not copy the text to append one.
    explicit StatementStream(std::string_view text, bool implied_line_end = false);
    StatementStream(const StatementStream&) = delete;
    StatementStream& operator=(const StatementStream&) = delete;
    ~StatementStream();

    // The next statement node; nothing once the document has been matched to its end; a failure
    // when the first statement does not match, a line is only partly matched, or brackets nest
    // too deep.
    std::expected<std::optional<ParseNode>, ParseFailure> next();

    bool finished() const { return finished_; }
    // Where the next statement starts.
    std::size_t position();
    // Goes on after a statement that was matched without the stream and ended at `next`.
    void skip_to(std::size_t next);
    // Goes on at `position`, a line start, after next() failed: the failure is left behind.
    void resume_at(std::size_t position);

  private:
    std::string_view text_;
    std::unique_ptr<Matcher> matcher_;
    bool started_ = false;
    bool first_ = false;  // no statement has been matched yet
    bool finished_ = false;

    void start();
};

}  // namespace mensurator
