#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/error.hpp"
#include "eval/variable_table.hpp"
#include "quantity/value.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Hashes any string-like key, so that lookups by string_view need no temporary string.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        return std::hash<std::string_view>{}(name);
    }
};

// The value of an expression against the variables; names that are not variables are units.
Result<Value> evaluate(const Expr& expr, const VariableTable& variables);
// The value of one node of a store and its descendants.
Result<Value> evaluate_node(const ExprStore& store, NodeIndex node, const VariableTable& variables);

}  // namespace mensurator
