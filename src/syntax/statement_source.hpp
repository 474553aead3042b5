#pragma once

// The statements of a document one at a time: the fast path builds the common ones straight
// from the text, the grammar engine matches the rest and reports every failure.

#include <cstddef>
#include <expected>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "grammar/parse.hpp"
#include "syntax/expr_assembler.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

struct SourcedStatement {
    // The statement or the error building it; nothing when it was not to be built.
    std::optional<Result<Statement>> statement;
    std::size_t end = 0;  // where the next statement starts
};

class StatementSource {
  public:
    // With `implied_line_end`, the text is read as if a line feed followed it. Statements are
    // built into `store`, which holds one statement's expressions at a time: each next() clears
    // it.
    // `notation` is the document's until a directive changes it.
    StatementSource(std::string_view text, bool implied_line_end, ExprStore& store,
                    UnitNotation notation = {});

    // The next statement, built when `build` (the fast path always builds); nothing at the end
    // of the document; the failure when the text does not match. Internal faults are thrown.
    std::expected<std::optional<SourcedStatement>, ParseFailure> next(bool build = true);

    // Where the statement that the last next() read, or failed to read, starts.
    std::size_t statement_start() const { return statement_start_; }

    // Goes on at `position`, a line start, after next() failed: the failure is left behind.
    void resume_at(std::size_t position) {
        fast_next_.reset();
        stream_.resume_at(position);
    }

  private:
    std::string_view text_;
    bool implied_line_end_;
    ExprStore& store_;
    ExprAssembler assembler_;
    StatementStream stream_;
    LineCursor lines_;
    std::size_t statement_start_ = 0;
    std::optional<std::size_t> fast_next_;  // where the fast path went on, ahead of the stream
    UnitNotation notation_;

    void use_notation(UnitNotation notation);
    // Units after `!units extended` and `!symbols` are built in the new notation.
    void follow_directive(const Statement& statement);
};

}  // namespace mensurator
