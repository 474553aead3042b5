#include "run/shown_units.hpp"

#include "grammar/char_classes.hpp"

namespace mensurator {

namespace {

// The annotation of an expression that is one annotated number; null for any other.
const Annotation* lone_annotation(const Expr& expr) {
    const ExprStore& store = *expr.store;
    const ExprNode& root = store[expr.root];
    if (root.kind != ExprKind::WithUnit || store[root.link.first].kind != ExprKind::Number)
        return nullptr;
    return &store.annotations[root.link.index];
}

}  // namespace

std::shared_ptr<const UnitHint> ShownUnit::as_hint() const {
    if (hint || annotation_latex.empty()) return hint;
    return std::make_shared<const UnitHint>(annotation_unit, annotation_latex);
}

ShownUnit& ShownUnits::entry(std::uint32_t id) {
    if (id >= units_.size()) units_.resize(std::size_t{id} + 1);
    ShownUnit& shown = units_[id];
    shown.defined = true;
    return shown;
}

void ShownUnits::defined(std::uint32_t id, const Expr& expr) {
    if (!tracked) return;
    ShownUnit& shown = entry(id);
    shown.hint.reset();
    if (const Annotation* annotation = lone_annotation(expr)) {
        shown.annotation_unit = annotation->unit;
        shown.annotation_latex = expr.store->annotation_latex(*annotation);
    } else {
        shown.annotation_latex.clear();
    }
}

void ShownUnits::shown(std::uint32_t id, const std::shared_ptr<const UnitHint>& hint) {
    if (!tracked) return;
    ShownUnit& shown = entry(id);
    shown.hint = hint;
    shown.annotation_latex.clear();
}

void ShownUnits::printed(const Expr& expr, const std::shared_ptr<const UnitHint>& hint,
                         const VariableTable& variables) {
    if (!tracked) return;
    const ExprNode& root = (*expr.store)[expr.root];
    if (root.kind != ExprKind::Variable) return;
    const std::optional<std::uint32_t> id = variables.id_of(expr.store->names[root.link.index]);
    if (!id || *id >= units_.size() || !units_[*id].defined) return;
    units_[*id].hint = hint;
    units_[*id].annotation_latex.clear();
}

const ShownUnit* ShownUnits::find(std::string_view name, const VariableTable& variables) const {
    const std::optional<std::uint32_t> id = variables.id_of(name);
    if (!id || *id >= units_.size() || !units_[*id].defined) return nullptr;
    return &units_[*id];
}

// "steps" anywhere (the directive may have blanks after its "!"), or the keyword "check" ending
// where a name would: prose such as "checked" or a name such as check_1 starts no check.
bool may_show_steps_or_checks(std::string_view text) {
    if (text.find("steps") != std::string_view::npos) return true;
    constexpr std::string_view keyword = "check";
    for (std::size_t at = text.find(keyword); at != std::string_view::npos;
         at = text.find(keyword, at + 1)) {
        const std::size_t after = at + keyword.size();
        if (after == text.size() || !is_ident_rest(text[after])) return true;
    }
    return false;
}

std::shared_ptr<const UnitHint> annotated_unit(const Expr& expr) {
    const Annotation* annotation = lone_annotation(expr);
    if (annotation == nullptr) return nullptr;
    return std::make_shared<const UnitHint>(annotation->unit,
                                            std::string(expr.store->annotation_latex(*annotation)));
}

}  // namespace mensurator
