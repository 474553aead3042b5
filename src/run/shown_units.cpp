#include "run/shown_units.hpp"

#include <utility>

namespace mensurator {

void ShownUnits::shown(std::string_view key, std::shared_ptr<const UnitHint> unit) {
    if (!tracked) return;
    if (auto found = units_.find(key); found != units_.end()) {
        found->second = std::move(unit);
        return;
    }
    units_.emplace(std::string(key), std::move(unit));
}

void ShownUnits::printed(const Expr& expr, const std::shared_ptr<const UnitHint>& unit) {
    if (!tracked) return;
    const ExprNode& root = (*expr.store)[expr.root];
    if (root.kind != ExprKind::Variable) return;
    if (auto found = units_.find(expr.store->names[root.link.index]); found != units_.end())
        found->second = unit;
}

const std::shared_ptr<const UnitHint>* ShownUnits::find(std::string_view key) const {
    const auto found = units_.find(key);
    return found == units_.end() ? nullptr : &found->second;
}

std::shared_ptr<const UnitHint> defined_unit(const Expr& expr) {
    const ExprStore& store = *expr.store;
    const ExprNode& root = store[expr.root];
    if (root.kind != ExprKind::WithUnit || store[root.link.first].kind != ExprKind::Number)
        return nullptr;
    const Annotation& annotation = store.annotations[root.link.index];
    return std::make_shared<const UnitHint>(annotation.unit,
                                            std::string(store.annotation_latex(annotation)));
}

}  // namespace mensurator
