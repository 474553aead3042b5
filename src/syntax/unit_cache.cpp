#include "syntax/unit_cache.hpp"

#include <utility>

#include "syntax/naive_string.hpp"
#include "syntax/printed_unit.hpp"
#include "syntax/unit_builder.hpp"

namespace mensurator {

namespace {

// Bounds on what a thread keeps: a document with unusually many or long unit texts only makes
// the cache start over.
constexpr std::size_t longest_kept_text = 256;
constexpr std::size_t most_kept_units = 4096;
constexpr std::size_t most_kept_bytes = 256 * 1024;

}  // namespace

UnitCache& UnitCache::of_this_thread(UnitNotation notation) {
    thread_local UnitCache standard({});
    if (notation.table == UnitTable::specified && !notation.symbols) return standard;
    // Built only by the threads that meet such a document.
    thread_local UnitCache extended({UnitTable::extended, false});
    thread_local UnitCache symbols({UnitTable::specified, true});
    thread_local UnitCache extended_symbols({UnitTable::extended, true});
    if (!notation.symbols) return extended;
    return notation.table == UnitTable::specified ? symbols : extended_symbols;
}

// The annotation's LaTeX: as written, or typeset.
Result<std::string> UnitCache::written_latex(const ParseNode& unit_expr,
                                             std::string_view source) const {
    if (notation_.symbols) return printed_unit_latex(unit_expr, source, notation_.table);
    Result<NaiveUnit> naive = parse_naive_unit(unit_expr, source);
    if (!naive) return fail(std::move(naive.error()));
    return naive_to_latex(*naive);
}

bool UnitCache::keep(std::string_view text) {
    if (text.size() > longest_kept_text) return false;
    if (annotations_.size() + hints_.size() >= most_kept_units ||
        kept_bytes_ + text.size() > most_kept_bytes) {
        annotations_.clear();
        hints_.clear();
        kept_bytes_ = 0;
    }
    kept_bytes_ += text.size();
    return true;
}

Result<std::uint32_t> UnitCache::annotation(const ParseNode& unit_expr, std::string_view source,
                                            ExprStore& store) {
    const std::string_view text = unit_expr.text(source);
    if (const auto found = annotations_.find(text); found != annotations_.end()) {
        return store.add_annotation(found->second.unit, found->second.latex);
    }
    Result<std::string> latex = written_latex(unit_expr, source);
    if (!latex && !notation_.symbols) return fail(std::move(latex.error()));
    Result<Unit> unit = build_unit(unit_expr, source, notation_.table);
    if (!unit) return fail(std::move(unit.error()));
    if (!latex) return fail(std::move(latex.error()));
    const std::uint32_t added = store.add_annotation(*unit, *latex);
    if (keep(text)) annotations_.emplace(text, WrittenUnit{*unit, std::move(*latex)});
    return added;
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
    Result<Unit> unit = build_unit(unit_expr, source, notation_.table);
    if (!unit) return fail(std::move(unit.error()));
    Result<NaiveUnit> naive = parse_naive_unit(unit_expr, source);
    if (!naive) return fail(std::move(naive.error()));
    std::shared_ptr<const UnitHint> hint;
    if (notation_.symbols) {
        Result<std::string> latex = printed_unit_latex(unit_expr, source, notation_.table);
        if (!latex) return fail(std::move(latex.error()));
        hint = std::make_shared<const UnitHint>(*unit, std::move(*naive), std::move(*latex));
    } else {
        hint = std::make_shared<const UnitHint>(*unit, std::move(*naive));
    }
    if (keep(text)) hints_.emplace(text, hint);
    return hint;
}

}  // namespace mensurator
