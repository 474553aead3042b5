#pragma once

#include <string_view>

#include "run/program_state.hpp"
#include "run/source_lines.hpp"
#include "run/statement_record.hpp"
#include "run/statement_runner.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// The record of a statement that just ran, from its trace and the output it wrote, which starts
// at `output_offset` of the finished document.
StatementRecord record_statement(const Statement& statement, const StatementTrace& trace,
                                 const ProgramState& state, std::size_t output_offset,
                                 const SourceLines& lines);

// The unit hint of a printing statement as written: what follows its "?" on its line.
TextSpan hint_as_written(const SourceLines& lines, std::uint64_t line);

}  // namespace mensurator
