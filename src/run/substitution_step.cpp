// The substitution step of a printed expression: the expression once more, with the values of
// its variables in place of their names.

#include <optional>
#include <string>
#include <string_view>

#include "base/trim.hpp"
#include "latex/render_expression.hpp"
#include "latex/value_latex.hpp"
#include "run/statement_runner.hpp"

namespace mensurator {

namespace {

// Each variable the document defined, as its value in the unit it was last shown in.
class ShownValues final : public VariableSubstitution {
  public:
    explicit ShownValues(const ProgramState& state) : state_(state) {}

    Result<std::optional<std::string>> value_latex(std::string_view name) const override {
        const std::shared_ptr<const UnitHint>* unit = state_.shown_units.find(name);
        const std::optional<Value> value = state_.variables.find(name);
        if (unit == nullptr || !value) return std::optional<std::string>{};
        FormatSettings settings = state_.settings;
        settings.unit_hint = unit->get();
        std::string latex;
        if (Result<void> written = append_value(*value, settings, latex); !written)
            return fail(std::move(written.error()));
        ++substituted_;
        return std::optional<std::string>(std::move(latex));
    }

    std::size_t substituted() const { return substituted_; }

  private:
    const ProgramState& state_;
    mutable std::size_t substituted_ = 0;
};

}  // namespace

Result<void> StatementRunner::append_substitution_part(const Expr& expr) {
    if (!state_.steps || (*expr.store)[expr.root].kind == ExprKind::Variable) return {};
    std::string& out = state_.output;
    const std::size_t start = out.size();
    out += " = ";
    const std::size_t text_start = out.size();
    const ShownValues values(state_);
    if (Result<void> written = append_substituted_expression(expr, state_.settings, values, out);
        !written) {
        return written;
    }
    if (values.substituted() == 0) {
        out.resize(start);
        return {};
    }
    const std::string_view text = trim(std::string_view(out).substr(text_start));
    const std::string kept(text);
    out.resize(text_start);
    out += kept;
    return {};
}

}  // namespace mensurator
