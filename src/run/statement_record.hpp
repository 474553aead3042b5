#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quantity/value.hpp"
#include "syntax/relation.hpp"

namespace mensurator {

enum class StatementKind : std::uint8_t {
    definition,
    print,
    definition_print,
    alias,
    digits,
    scientific,
    latex,
    gap,
    check,
    steps,
    opt_in,
};

// A piece of a text by byte offset, kept instead of a copy.
struct TextSpan {
    std::size_t offset = 0;
    std::size_t size = 0;

    std::string_view of(std::string_view text) const { return text.substr(offset, size); }
};

// A check statement's comparison: its relation, both sides' values and whether it holds.
struct CheckVerdict {
    Relation relation = Relation::less;
    bool passed = false;
    Value left;
    Value right;
};

// One statement of a finished run, as the companion reports it. Its texts are spans of the
// finished LaTeX document (expression, printed) and of the source (hint).
struct StatementRecord {
    std::uint64_t first_line = 1;
    std::uint64_t last_line = 1;
    StatementKind kind = StatementKind::gap;
    std::optional<std::string> name;     // as stored; for an alias, the new name
    std::optional<TextSpan> expression;  // its LaTeX as on the math line
    std::optional<TextSpan> hint;        // the unit hint as written
    std::optional<Value> value;          // the defined or printed value
    std::optional<TextSpan> printed;     // the math line, without its line feed
    // What a check found; apart, since few statements are checks and a run keeps a record of
    // every statement.
    std::unique_ptr<const CheckVerdict> check;
};

enum class Severity : std::uint8_t { error, warning };

// One problem of a document: an error that fails it, or a warning about what it may not mean.
struct DocumentProblem {
    Severity severity = Severity::error;
    std::string code;  // stable, e.g. "unknown-unit"
    std::uint64_t line = 1;
    std::optional<std::size_t> column;      // 1-based, in characters
    std::optional<std::size_t> end_column;  // exclusive
    std::string message;
    std::optional<std::string> name;  // the unit, function or variable concerned
};

using Problems = std::vector<DocumentProblem>;

}  // namespace mensurator
