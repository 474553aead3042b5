#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "eval/evaluate.hpp"
#include "run/program_state.hpp"
#include "run/source_lines.hpp"
#include "run/statement_record.hpp"
#include "run/statement_runner.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Finds what a statement says that it may not mean, statement by statement, without changing
// anything it prints.
class WarningChecker {
  public:
    explicit WarningChecker(const SourceLines& lines) : lines_(lines) {}

    // Before the statement runs: what the tables hold decides how its names read.
    void before(const Statement& statement, const ProgramState& state);
    // After it ran: what it printed.
    void after(const Statement& statement, const StatementTrace& trace, const ProgramState& state);

    Problems take() { return std::move(problems_); }

  private:
    const SourceLines& lines_;

    // Adds a warning, placed at `name` on the line (searched from byte `search_from`) when given.
    void warn(const char* code, std::uint64_t line, std::string_view name, std::string message,
              std::size_t search_from = 0);
    Problems problems_;
    // Names a unit could have that the document defined or aliased: only these can shadow.
    std::unordered_set<std::string, NameHash, std::equal_to<>> unit_like_names_;
};

}  // namespace mensurator
