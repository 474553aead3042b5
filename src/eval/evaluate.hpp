#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/error.hpp"
#include "eval/variable_table.hpp"
#include "quantity/value.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Hashes any string-like key, so that lookups by string_view need no temporary string. FNV-1a,
// folded: names are a few characters long, where it is quicker than the library's string hash.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        std::uint64_t hash = 0xcbf29ce484222325u;
        for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
        return static_cast<std::size_t>(hash ^ (hash >> 29));
    }
};

// The value of an expression against the variables; names that are not variables are units.
Result<Value> evaluate(const Expr& expr, const VariableTable& variables);
// The value of one node of a store and its descendants.
Result<Value> evaluate_node(const ExprStore& store, NodeIndex node, const VariableTable& variables);

}  // namespace mensurator
