#pragma once

#include <compare>
#include <cstdint>
#include <string_view>

namespace mensurator {

// The comparison of a check statement.
enum class Relation : std::uint8_t { less, less_equal, greater, greater_equal };

// The relation as written in a document: "<", "<=", ">" or ">=".
constexpr std::string_view relation_text(Relation relation) {
    switch (relation) {
        case Relation::less:
            return "<";
        case Relation::less_equal:
            return "<=";
        case Relation::greater:
            return ">";
        case Relation::greater_equal:
            return ">=";
    }
    return "<";
}

// Whether two quantities so ordered satisfy the relation; unordered ones (NaN) satisfy none.
constexpr bool holds(Relation relation, std::partial_ordering order) {
    switch (relation) {
        case Relation::less:
            return order < 0;
        case Relation::less_equal:
            return order <= 0;
        case Relation::greater:
            return order > 0;
        case Relation::greater_equal:
            return order >= 0;
    }
    return false;
}

}  // namespace mensurator
