#include "run/statement_runner.hpp"

#include <string>
#include <string_view>
#include <utility>

#include "base/trim.hpp"
#include "latex/render_expression.hpp"
#include "latex/value_latex.hpp"

namespace mensurator {

// The expression's nodes are contiguous in its store, so one pass over them finds every variable.
void apply_aliases(Expr& expr, const AliasTable& aliases) {
    ExprStore& store = *expr.store;
    for (NodeIndex i = expr.nodes_begin; i < expr.nodes_end; ++i) {
        if (store[i].kind != ExprKind::Variable) continue;
        std::string_view& name = store.names[store[i].link.index];
        if (auto found = aliases.find(name); found != aliases.end()) name = found->second;
    }
}

Result<void> StatementRunner::run(Statement& statement) {
    if (trace_ != nullptr) {
        trace_->line_begin = StatementTrace::no_line;
        trace_->name.clear();
        trace_->value.reset();
        trace_->check.reset();
    }
    return std::visit([this](auto& kind) { return execute(kind); }, statement.kind);
}

void StatementRunner::finish() {
    state_.output += "\\end{document}";
}

StatementRunner::ResolvedName StatementRunner::resolve(std::string_view name) const {
    const std::string_view trimmed = trim(name);
    const auto alias = state_.aliases.find(trimmed);
    const std::string_view key =
        alias != state_.aliases.end() ? std::string_view(alias->second) : trimmed;
    return {trim(key), key};
}

// The settings for printing one statement's value: the run's, with the statement's hint.
FormatSettings StatementRunner::statement_settings(const UnitHint* hint) const {
    FormatSettings settings = state_.settings;
    settings.unit_hint = hint;
    return settings;
}

namespace {

// Removes the white space at the end of what was appended from `start` on.
void trim_appended_end(std::string& out, std::size_t start) {
    out.resize(start + trim_end(std::string_view(out).substr(start)).size());
}

// Removes the white space at both ends of what was appended from `start` on.
void trim_appended(std::string& out, std::size_t start) {
    trim_appended_end(out, start);
    const std::size_t kept = trim_start(std::string_view(out).substr(start)).size();
    out.erase(start, out.size() - start - kept);
}

}  // namespace

// A math line is "$", its parts joined by " = ", then "$\\" and a line feed. The parts are
// written straight into the output; a statement that fails ends the run, whose output is then
// dropped, so a partly written line does no harm.
void StatementRunner::begin_math_line() {
    if (trace_ != nullptr) trace_->line_begin = state_.output.size();
    state_.output += '$';
}

void StatementRunner::trace_value(std::string_view key, const Value& value) {
    if (trace_ == nullptr) return;
    trace_->name = key;
    trace_->value = value;
}

void StatementRunner::end_math_line() {
    state_.output += "$\\\\\n";
    vertical_mode_ = false;
}

Result<void> StatementRunner::append_expression_part(const Expr& expr, bool trim_start_too) {
    std::string& out = state_.output;
    const std::size_t start = out.size();
    Result<void> rendered = append_expression(expr, state_.settings, out);
    if (!rendered) return rendered;
    if (trim_start_too) {
        trim_appended(out, start);
    } else {
        trim_appended_end(out, start);
    }
    if (trace_ != nullptr) {
        trace_->expression_begin = start;
        trace_->expression_end = out.size();
    }
    return {};
}

Result<void> StatementRunner::append_value_part(const Value& value, const UnitHint* hint) {
    // The value's LaTeX is trimmed already; a failure drops the whole output.
    state_.output += " = ";
    return append_value(value, statement_settings(hint), state_.output);
}

// Aliases apply to a definition's expression as to a printed one, so that short names (pi, or
// a variable stored under its alias) can be used in later definitions.
Result<void> StatementRunner::execute(VarDec& statement) {
    const ResolvedName name = resolve(statement.name);
    apply_aliases(statement.expr, state_.aliases);
    begin_math_line();
    state_.output += name.display;
    state_.output += " = ";
    if (Result<void> latex = append_expression_part(statement.expr, false); !latex) return latex;
    end_math_line();
    Result<Value> value = evaluate(statement.expr, state_.variables);
    if (!value) return fail(value.error());
    const std::uint32_t id = state_.variables.insert_or_assign(name.key, *value);
    state_.shown_units.defined(id, statement.expr);
    trace_value(name.key, *value);
    return {};
}

Result<void> StatementRunner::execute(PrintExpr& statement) {
    apply_aliases(statement.expr, state_.aliases);
    begin_math_line();
    if (Result<void> latex = append_expression_part(statement.expr, true); !latex) return latex;
    Result<Value> value = evaluate(statement.expr, state_.variables);
    if (!value) return fail(value.error());
    if (Result<void> steps = append_substitution_part(statement.expr); !steps) return steps;
    if (Result<void> shown = append_value_part(*value, statement.unit_hint.get()); !shown)
        return shown;
    end_math_line();
    state_.shown_units.printed(statement.expr, statement.unit_hint, state_.variables);
    trace_value({}, *value);
    return {};
}

Result<void> StatementRunner::execute(DecPrintExpr& statement) {
    const ResolvedName name = resolve(statement.name);
    apply_aliases(statement.expr, state_.aliases);
    Result<Value> value = evaluate(statement.expr, state_.variables);
    if (!value) return fail(value.error());
    begin_math_line();
    state_.output += name.display;
    state_.output += " = ";
    if (Result<void> latex = append_expression_part(statement.expr, false); !latex) return latex;
    if (Result<void> steps = append_substitution_part(statement.expr); !steps) return steps;
    if (Result<void> shown = append_value_part(*value, statement.unit_hint.get()); !shown)
        return shown;
    end_math_line();
    const Value stored = normalize(*value);
    const std::uint32_t id = state_.variables.insert_or_assign(name.key, stored);
    state_.shown_units.shown(id, statement.unit_hint);
    trace_value(name.key, stored);
    return {};
}

Result<void> StatementRunner::execute(const SetSteps&) {
    state_.steps = !state_.steps;
    return {};
}

Result<void> StatementRunner::execute(const AliasStmt& statement) {
    state_.aliases.insert_or_assign(statement.name, statement.display);
    return {};
}

// A count of decimals also ends a count of significant figures.
Result<void> StatementRunner::execute(const DigitSet& statement) {
    state_.settings.digits = statement.digits;
    state_.settings.sigfigs = 0;
    return {};
}

// The unit table is the statement source's business: it builds the units.
Result<void> StatementRunner::execute(const OptInDirective& statement) {
    switch (statement.kind) {
        case OptInDirective::Kind::sigfigs:
            state_.settings.sigfigs = statement.sigfigs;
            break;
        case OptInDirective::Kind::symbols:
            state_.settings.symbols = true;
            break;
        case OptInDirective::Kind::extended_units:
            break;
    }
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

}  // namespace mensurator
