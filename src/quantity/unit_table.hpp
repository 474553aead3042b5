#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "quantity/unit.hpp"

namespace mensurator {

// Resolves a unit name as written (km, hours, kPa) to its unit, with at most one prefix.
// Unknown names fail with the UnitError "{name} is not a variable or a valid unit".
Result<Unit> lookup_unit(std::string_view name);

// The prefix symbol for a power of ten ("k" for 3, "" for 0), or nothing when no prefix has it.
std::optional<std::string_view> prefix_symbol(std::int64_t power);

}  // namespace mensurator
