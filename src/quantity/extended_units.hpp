#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "quantity/unit_row.hpp"

namespace mensurator {

// The units a document opts into with `!units extended`: spellings of SI units people type, and
// US customary units. No name here is a name of the standard table, or a prefix followed by one,
// so that every name the standard table knows keeps its meaning.
std::span<const UnitRow> extended_unit_rows();

// Why a name that the extended table refuses is refused (offset temperature scales), or nothing.
std::optional<std::string> refused_unit(std::string_view name);

}  // namespace mensurator
