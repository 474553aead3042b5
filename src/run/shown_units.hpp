#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "eval/variable_table.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// The unit a variable was last shown in: the hint of a print, or the annotation of a definition
// that is one annotated number (kept as its unit and LaTeX, which costs no allocation for the
// usual short units); neither for the automatic form.
struct ShownUnit {
    bool defined = false;  // by the document, not built in
    std::shared_ptr<const UnitHint> hint;
    Unit annotation_unit;
    std::string annotation_latex;  // empty when there is no annotation

    // The unit as a hint to print with; null for the automatic form.
    std::shared_ptr<const UnitHint> as_hint() const;
};

// How each variable the document defined was last shown, by the variable's id in the variable
// table. Substitution steps write a variable's value so, and only the variables the document
// defined: the built-in constants keep their names.
class ShownUnits {
  public:
    // Whether the table is kept: it costs an update for every definition, which only documents
    // that show substitutions or checks need.
    bool tracked = false;

    // After a definition of variable `id` by `expr`.
    void defined(std::uint32_t id, const Expr& expr);
    // After a definition of variable `id` that printed its value in `hint` (null: the automatic
    // form).
    void shown(std::uint32_t id, const std::shared_ptr<const UnitHint>& hint);
    // After a print of `expr` in `hint`: a variable printed on its own is now shown so.
    void printed(const Expr& expr, const std::shared_ptr<const UnitHint>& hint,
                 const VariableTable& variables);
    // The entry of a variable the document defined; null for any other name.
    const ShownUnit* find(std::string_view name, const VariableTable& variables) const;

  private:
    std::vector<ShownUnit> units_;

    ShownUnit& entry(std::uint32_t id);
};

// Whether `text` can hold a check statement or the directive of substitution steps, the only
// statements that read how variables were shown: false only when neither can occur.
bool may_show_steps_or_checks(std::string_view text);

// The unit of an expression that is one annotated number, as a hint; null for any other.
std::shared_ptr<const UnitHint> annotated_unit(const Expr& expr);

}  // namespace mensurator
