#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "run/program_state.hpp"
#include "run/statement_record.hpp"

namespace mensurator {

// Renames, in place, every variable of the expression that has an alias. Function names and
// unit annotations are left alone; a replaced name is not looked up again. The new names are
// views of the alias table's displays.
void apply_aliases(Expr& expr, const AliasTable& aliases);

// Where the last statement run put its math line and expression in the output, and the value it
// defined or printed; for callers that report on statements one by one.
struct StatementTrace {
    static constexpr std::size_t no_line = static_cast<std::size_t>(-1);

    std::size_t line_begin = no_line;  // the math line's "$", or no_line when it wrote none
    std::size_t expression_begin = 0;
    std::size_t expression_end = 0;
    std::string name;  // the defined name as stored
    std::optional<Value> value;
    std::optional<CheckVerdict> check;
};

// Executes statements one after the other against one state.
class StatementRunner {
  public:
    explicit StatementRunner(ProgramState& state) : state_(state) {}

    // Has every later statement describe itself in `trace` (none when null).
    void trace_into(StatementTrace* trace) { trace_ = trace; }

    // Runs one statement; its error is returned as raised, without the line.
    Result<void> run(Statement& statement);
    // Appends the closing command; the output is then the finished document.
    void finish();

  private:
    // Views of the statement's text or of the alias table, which a definition leaves alone.
    struct ResolvedName {
        std::string_view display;
        std::string_view key;
    };

    ProgramState& state_;
    StatementTrace* trace_ = nullptr;
    // True while LaTeX is in vertical mode (at the start of the body or after a literal block),
    // where a line break "\\" would be an error.
    bool vertical_mode_ = true;

    ResolvedName resolve(std::string_view name) const;
    FormatSettings statement_settings(const UnitHint* hint) const;
    void begin_math_line();
    void trace_value(std::string_view key, const Value& value);
    void end_math_line();
    // The expression's LaTeX, trimmed at its end (and at its start with `trim_start_too`).
    Result<void> append_expression_part(const Expr& expr, bool trim_start_too);
    // " = " and the value's LaTeX in the statement's settings.
    Result<void> append_value_part(const Value& value, const UnitHint* hint);
    // While steps are on, " = " and the expression with its variables' values, when it has
    // variables to substitute and is more than one of them.
    Result<void> append_substitution_part(const Expr& expr);
    // One side of a check: a literal as written, anything else with its value.
    Result<void> append_check_side(const Expr& expr, const Value& value, const UnitHint* unit);
    // The unit both sides of a check are shown in.
    std::shared_ptr<const UnitHint> check_unit(const CheckStmt& statement) const;

    Result<void> execute(VarDec& statement);
    Result<void> execute(PrintExpr& statement);
    Result<void> execute(DecPrintExpr& statement);
    Result<void> execute(const AliasStmt& statement);
    Result<void> execute(const DigitSet& statement);
    Result<void> execute(const SetScientific& statement);
    Result<void> execute(const LineGap& statement);
    Result<void> execute(const LatexBlock& statement);
    Result<void> execute(CheckStmt& statement);
    Result<void> execute(const SetSteps& statement);
    Result<void> execute(const OptInDirective& statement);
};

}  // namespace mensurator
