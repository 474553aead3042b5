#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "eval/evaluate.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// The unit each variable the document defined was last shown in: the hint of its last print,
// or the annotation of a definition that is one annotated number; null for the automatic form.
// Substitution steps write a variable's value so, and only the variables listed here: the
// built-in constants keep their names.
class ShownUnits {
  public:
    // Whether the table is kept: it costs an update for every definition, which only documents
    // that show substitutions or checks need.
    bool tracked = false;

    void shown(std::string_view key, std::shared_ptr<const UnitHint> unit);
    // After a print of `expr` in `unit`: a variable printed on its own is now shown so.
    void printed(const Expr& expr, const std::shared_ptr<const UnitHint>& unit);
    // The variable's entry, or null when the document never defined it.
    const std::shared_ptr<const UnitHint>* find(std::string_view key) const;

  private:
    std::unordered_map<std::string, std::shared_ptr<const UnitHint>, NameHash, std::equal_to<>>
        units_;
};

// The unit a definition shows its value in: the annotation when the expression is one
// annotated number, otherwise none.
std::shared_ptr<const UnitHint> defined_unit(const Expr& expr);

}  // namespace mensurator
