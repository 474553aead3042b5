#include "run/evaluator.hpp"

#include <string_view>
#include <utility>

#include "latex/render_expression.hpp"
#include "latex/value_latex.hpp"
#include "run/trim.hpp"

namespace mensurator {

void apply_aliases(Expr& expr, const AliasTable& aliases) {
    std::vector<Expr*> pending{&expr};
    while (!pending.empty()) {
        Expr* node = pending.back();
        pending.pop_back();
        if (auto* variable = std::get_if<Variable>(&node->node)) {
            if (auto found = aliases.find(variable->name); found != aliases.end()) {
                variable->name = found->second;
            }
        } else if (std::vector<Expr>* children = node->children()) {
            for (Expr& child : *children) pending.push_back(&child);
        }
    }
}

namespace {

// A statement's name as displayed and as stored, after alias resolution.
struct ResolvedName {
    std::string display;
    std::string key;
};

class Evaluator {
public:
    explicit Evaluator(ProgramState& state) : state_(state) {}

    Result<void> run(Statement& statement) {
        return std::visit([this](auto& kind) { return execute(kind); }, statement.kind);
    }

private:
    ProgramState& state_;
    // True while LaTeX is in vertical mode (at the start of the body or after a literal block),
    // where a line break "\\" would be an error.
    bool vertical_mode_ = true;

    ResolvedName resolve(std::string_view name) const {
        const std::string_view trimmed = trim(name);
        const auto alias = state_.aliases.find(trimmed);
        std::string key = alias != state_.aliases.end() ? alias->second : std::string(trimmed);
        return {std::string(trim(key)), std::move(key)};
    }

    // The settings for printing one statement's value: the run's, with the statement's hint.
    FormatSettings statement_settings(const std::optional<UnitHint>& hint) const {
        FormatSettings settings = state_.settings;
        settings.unit_hint = hint ? &*hint : nullptr;
        return settings;
    }

    void append_math_line(std::initializer_list<std::string_view> pieces) {
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

    Result<void> execute(VarDec& statement) {
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

    Result<void> execute(PrintExpr& statement) {
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

    Result<void> execute(DecPrintExpr& statement) {
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

    Result<void> execute(AliasStmt& statement) {
        state_.aliases.insert_or_assign(statement.name, statement.display);
        return {};
    }

    Result<void> execute(const DigitSet& statement) {
        state_.settings.digits = statement.digits;
        return {};
    }

    Result<void> execute(const SetScientific&) {
        state_.settings.scientific = !state_.settings.scientific;
        return {};
    }

    Result<void> execute(const LineGap&) {
        state_.output += vertical_mode_ ? "\\leavevmode\\\\" : "\\\\";
        vertical_mode_ = false;
        return {};
    }

    Result<void> execute(const LatexBlock& statement) {
        state_.output += statement.text;
        vertical_mode_ = true;
        return {};
    }
};

}  // namespace

Result<std::string> evaluate_program(ProgramState state) {
    Evaluator evaluator(state);
    for (Statement& statement : state.statements) {
        if (Result<void> done = evaluator.run(statement); !done) {
            return fail(statement_error(statement.line, done.error()));
        }
    }
    state.output += "\\end{document}";
    return std::move(state.output);
}

}  // namespace mensurator
