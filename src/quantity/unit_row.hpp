#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "quantity/unit.hpp"

namespace mensurator {

// Exponents in base order: m, g, s, A, K, mol, cd.
using Exponents = std::array<std::int8_t, base_unit_count>;

constexpr Unit unit_of(Exponents exponents, std::int64_t exp10 = 0, double factor = 1.0) {
    Unit unit;
    for (std::size_t i = 0; i < base_unit_count; ++i) unit.dimensions[i] = {exponents[i], 1};
    unit.exp10 = exp10;
    unit.factor = factor;
    return unit;
}

// One row of a unit table: its names and the unit they stand for, in its gram-based form, and
// the symbol it is typeset with as printed matter when that is not its first name.
struct UnitRow {
    std::array<std::string_view, 5> names;  // unused trailing entries are empty
    Unit unit;
    std::string_view printed = {};

    constexpr std::string_view printed_symbol() const {
        return printed.empty() ? names.front() : printed;
    }
};

}  // namespace mensurator
