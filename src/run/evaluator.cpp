#include "run/evaluator.hpp"

#include <utility>

#include "latex/render_expression.hpp"
#include "latex/value_latex.hpp"
#include "base/trim.hpp"

namespace mensurator {

// Walks first operands in a loop, since operator chains are left-deep and may be very long, and
// recurses only into later operands and arguments, whose depth the bracket nesting bounds.
void apply_aliases(Expr& expr, const AliasTable& aliases) {
    for (Expr* node = &expr;;) {
        if (auto* variable = std::get_if<Variable>(&node->node)) {
            if (auto found = aliases.find(variable->name); found != aliases.end()) {
                variable->name = found->second;
            }
            return;
        }
        std::vector<Expr>* children = node->children();
        if (children == nullptr || children->empty()) return;
        for (std::size_t i = 1; i < children->size(); ++i) apply_aliases((*children)[i], aliases);
        node = &children->front();
    }
}

Result<void> StatementRunner::run(Statement& statement) {
    return std::visit([this](auto& kind) { return execute(kind); }, statement.kind);
}

void StatementRunner::finish() {
    state_.output += "\\end{document}";
}

StatementRunner::ResolvedName StatementRunner::resolve(std::string_view name) const {
    const std::string_view trimmed = trim(name);
    const auto alias = state_.aliases.find(trimmed);
    std::string key = alias != state_.aliases.end() ? alias->second : std::string(trimmed);
    return {std::string(trim(key)), std::move(key)};
}

// The settings for printing one statement's value: the run's, with the statement's hint.
FormatSettings StatementRunner::statement_settings(const std::optional<UnitHint>& hint) const {
    FormatSettings settings = state_.settings;
    settings.unit_hint = hint ? &*hint : nullptr;
    return settings;
}

void StatementRunner::append_math_line(std::initializer_list<std::string_view> pieces) {
    std::string& out = state_.output;
    out += '$';
    bool first = true;
    for (std::string_view piece : pieces) {
        if (!first) out += " = ";
        out += piece;
        first = false;
    }
    out += "$\\\\\n";
    vertical_mode_ = false;
}

// Aliases apply to a definition's expression as to a printed one, so that short names (pi, or
// a variable stored under its alias) can be used in later definitions.
Result<void> StatementRunner::execute(VarDec& statement) {
    const ResolvedName name = resolve(statement.name);
    apply_aliases(statement.expr, state_.aliases);
    Result<std::string> latex = render_expression(statement.expr, state_.settings);
    if (!latex) return fail(latex.error());
    append_math_line({name.display, trim_end(*latex)});
    Result<Value> value = evaluate(statement.expr, state_.variables);
    if (!value) return fail(value.error());
    state_.variables.insert_or_assign(name.key, *value);
    return {};
}

Result<void> StatementRunner::execute(PrintExpr& statement) {
    const FormatSettings settings = statement_settings(statement.unit_hint);
    apply_aliases(statement.expr, state_.aliases);
    Result<std::string> latex = render_expression(statement.expr, state_.settings);
    if (!latex) return fail(latex.error());
    Result<Value> value = evaluate(statement.expr, state_.variables);
    if (!value) return fail(value.error());
    Result<std::string> shown = render_value(*value, settings);
    if (!shown) return fail(shown.error());
    append_math_line({trim(*latex), trim_end(*shown)});
    return {};
}

Result<void> StatementRunner::execute(DecPrintExpr& statement) {
    const ResolvedName name = resolve(statement.name);
    apply_aliases(statement.expr, state_.aliases);
    Result<Value> value = evaluate(statement.expr, state_.variables);
    if (!value) return fail(value.error());
    const FormatSettings settings = statement_settings(statement.unit_hint);
    Result<std::string> latex = render_expression(statement.expr, state_.settings);
    if (!latex) return fail(latex.error());
    Result<std::string> shown = render_value(*value, settings);
    if (!shown) return fail(shown.error());
    append_math_line({name.display, trim_end(*latex), trim_end(*shown)});
    state_.variables.insert_or_assign(name.key, normalize(*value));
    return {};
}

Result<void> StatementRunner::execute(const AliasStmt& statement) {
    state_.aliases.insert_or_assign(statement.name, statement.display);
    return {};
}

Result<void> StatementRunner::execute(const DigitSet& statement) {
    state_.settings.digits = statement.digits;
    return {};
}

Result<void> StatementRunner::execute(const SetScientific&) {
    state_.settings.scientific = !state_.settings.scientific;
    return {};
}

// A line break in vertical mode is a LaTeX error, so there the break first starts a paragraph.
Result<void> StatementRunner::execute(const LineGap&) {
    state_.output += vertical_mode_ ? "\\leavevmode\\\\" : "\\\\";
    vertical_mode_ = false;
    return {};
}

Result<void> StatementRunner::execute(const LatexBlock& statement) {
    state_.output += statement.text;
    vertical_mode_ = true;
    return {};
}

Result<std::string> evaluate_program(ProgramState state) {
    StatementRunner runner(state);
    for (Statement& statement : state.statements) {
        if (Result<void> done = runner.run(statement); !done) {
            return fail(statement_error(statement.line, done.error()));
        }
    }
    runner.finish();
    return std::move(state.output);
}

}  // namespace mensurator
