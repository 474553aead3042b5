#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "quantity/unit.hpp"

namespace mensurator {

// Which names a document may use: the standard table, or that and the extended one.
enum class UnitTable : std::uint8_t { specified, extended };

// Resolves a unit name as written (km, hours, kPa) to its unit, with at most one prefix.
// Unknown names fail with the UnitError "{name} is not a variable or a valid unit".
Result<Unit> lookup_unit(std::string_view name, UnitTable table = UnitTable::specified);

// A unit name as written typeset as printed matter: its prefix symbol and the unit's printed
// symbol ("mohm" is m\Omega, "microF" \mu F, "hz" Hz); nothing when it is not a unit.
std::optional<std::string> printed_unit_name(std::string_view name, UnitTable table);

// The prefix symbol for a power of ten ("k" for 3, "" for 0), or nothing when no prefix has it.
std::optional<std::string_view> prefix_symbol(std::int64_t power);

// Every row of both tables, for listings.
struct ListedUnit {
    std::span<const std::string_view> names;
    Unit unit;
    std::string_view printed;  // its symbol as printed matter
    UnitTable table;
};
std::vector<ListedUnit> listed_units();

struct PrefixRow {
    std::string_view word;
    std::string_view symbol;
    std::int64_t power;
};
// Every prefix, with the empty one of power 0.
std::span<const PrefixRow> prefix_rows();

}  // namespace mensurator
