#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "grammar/parse.hpp"
#include "run/source_lines.hpp"
#include "run/statement_record.hpp"

namespace mensurator {

// The error a parse failure reports: the position, or the nesting limit on its line.
RunError parse_failure_error(const ParseFailure& failure);

// The problem of a parse failure, its message the failure's error.
DocumentProblem parse_problem(const ParseFailure& failure);

// Where a statement's error arose: building it (units and hints are looked up then) or running
// it.
enum class ErrorStage : bool { build, run };

// The problem of a statement's error, as displayed ("Line N: ..."): its code from the message,
// the name it concerns and that name's columns on the line.
DocumentProblem statement_problem(const RunError& error, ErrorStage stage,
                                  const SourceLines& lines);

// The columns of the first occurrence of `name` on the line as a whole word, if any.
struct ColumnSpan {
    std::size_t column = 1;
    std::size_t end_column = 1;
};
std::optional<ColumnSpan> find_name(std::string_view line_text, std::string_view name);
// The same, as the byte offset of the name on the line.
std::optional<std::size_t> find_name_offset(std::string_view line_text, std::string_view name);

}  // namespace mensurator
