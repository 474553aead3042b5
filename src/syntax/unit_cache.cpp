#include "syntax/unit_cache.hpp"

#include <utility>

#include "syntax/naive_string.hpp"
#include "syntax/unit_builder.hpp"

namespace mensurator {

Result<std::uint32_t> UnitCache::annotation(const ParseNode& unit_expr, std::string_view source,
                                            ExprStore& store) {
    const std::string_view text = unit_expr.text(source);
    auto found = annotations_.find(text);
    if (found == annotations_.end()) {
        Result<NaiveUnit> naive = parse_naive_unit(unit_expr, source);
        if (!naive) return fail(std::move(naive.error()));
        Result<std::string> latex = naive_to_latex(*naive);
        if (!latex) return fail(std::move(latex.error()));
        Result<Unit> unit = parse_and_evaluate_unit(unit_expr, source);
        if (!unit) return fail(std::move(unit.error()));
        found = annotations_.emplace(text, WrittenUnit{*unit, std::move(*latex)}).first;
    }
    return store.add_annotation(found->second.unit, found->second.latex);
}

std::optional<std::uint32_t> UnitCache::known_annotation(std::string_view text,
                                                         ExprStore& store) const {
    const auto found = annotations_.find(text);
    if (found == annotations_.end()) return std::nullopt;
    return store.add_annotation(found->second.unit, found->second.latex);
}

std::shared_ptr<const UnitHint> UnitCache::known_hint(std::string_view text) const {
    const auto found = hints_.find(text);
    return found == hints_.end() ? nullptr : found->second;
}

Result<std::shared_ptr<const UnitHint>> UnitCache::hint(const ParseNode& unit_expr,
                                                        std::string_view source) {
    const std::string_view text = unit_expr.text(source);
    if (const auto found = hints_.find(text); found != hints_.end()) return found->second;
    Result<Unit> unit = parse_and_evaluate_unit(unit_expr, source);
    if (!unit) return fail(std::move(unit.error()));
    Result<NaiveUnit> naive = parse_naive_unit(unit_expr, source);
    if (!naive) return fail(std::move(naive.error()));
    auto hint = std::make_shared<const UnitHint>(*unit, std::move(*naive));
    hints_.emplace(text, hint);
    return hint;
}

}  // namespace mensurator
