#include "quantity/unit_table.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/trim.hpp"
#include "quantity/extended_units.hpp"
#include "quantity/unit_row.hpp"

namespace mensurator {

namespace {

// Every unit name with the unit it stands for, in its gram-based form. Rows that are built from
// other rows (the volt is the watt per ampere, and so on) hold the result of that combination;
// the lux is the candela times the dimensionless steradian per square metre. The printed symbols
// are what a document that opts into `!symbols` shows for names as written.
constexpr std::array unit_table = {
    UnitRow{{"m", "meter", "meters"}, unit_of({1, 0, 0, 0, 0, 0, 0})},
    UnitRow{{"g", "gm", "gram", "grams"}, unit_of({0, 1, 0, 0, 0, 0, 0})},
    UnitRow{{"s", "second", "seconds"}, unit_of({0, 0, 1, 0, 0, 0, 0})},
    UnitRow{{"A", "amp", "amps", "ampere", "amperes"}, unit_of({0, 0, 0, 1, 0, 0, 0})},
    UnitRow{{"K", "kelvin"}, unit_of({0, 0, 0, 0, 1, 0, 0})},
    UnitRow{{"mol", "mols", "mole", "moles"}, unit_of({0, 0, 0, 0, 0, 1, 0})},
    UnitRow{{"candela"}, unit_of({0, 0, 0, 0, 0, 0, 1}), "cd"},
    UnitRow{{"rad", "radian", "radians"}, unit_of({0, 0, 0, 0, 0, 0, 0})},
    UnitRow{{"rev", "revolution", "revolutions"},
            unit_of({0, 0, 0, 0, 0, 0, 0}, 0, 6.283185307179586)},
    UnitRow{{"deg", "degree", "degrees"},
            unit_of({0, 0, 0, 0, 0, 0, 0}, -2, 1.7453292519943295),
            "{}^{\\circ}"},
    UnitRow{{"min", "minute", "minutes"}, unit_of({0, 0, 1, 0, 0, 0, 0}, 1, 6.0)},
    UnitRow{{"hour", "hours"}, unit_of({0, 0, 1, 0, 0, 0, 0}, 3, 3.6), "h"},
    UnitRow{{"day", "days"}, unit_of({0, 0, 1, 0, 0, 0, 0}, 4, 8.64), "d"},
    UnitRow{{"year", "years"}, unit_of({0, 0, 1, 0, 0, 0, 0}, 7, 3.1536)},
    UnitRow{{"amu"}, unit_of({0, 1, 0, 0, 0, 0, 0}, -24, 1.66053906660), "u"},
    UnitRow{{"hz"}, unit_of({0, 0, -1, 0, 0, 0, 0}), "Hz"},
    UnitRow{{"Bq", "becquerel", "becquerels"}, unit_of({0, 0, -1, 0, 0, 0, 0})},
    UnitRow{{"J", "joule"}, unit_of({2, 1, -2, 0, 0, 0, 0}, 3)},
    UnitRow{{"N", "newton"}, unit_of({1, 1, -2, 0, 0, 0, 0}, 3)},
    UnitRow{{"L", "liter"}, unit_of({3, 0, 0, 0, 0, 0, 0}, -3)},
    UnitRow{{"Pa", "pascal"}, unit_of({-1, 1, -2, 0, 0, 0, 0}, 3)},
    UnitRow{{"W", "watt"}, unit_of({2, 1, -3, 0, 0, 0, 0}, 3)},
    UnitRow{{"C", "coulomb", "coulombs"}, unit_of({0, 0, 1, 1, 0, 0, 0})},
    UnitRow{{"V", "volt", "volts"}, unit_of({2, 1, -3, -1, 0, 0, 0}, 3)},
    UnitRow{{"F", "farad", "farads"}, unit_of({-2, -1, 4, 2, 0, 0, 0}, -3)},
    UnitRow{{"\u2126", "ohm", "ohms"}, unit_of({2, 1, -3, -2, 0, 0, 0}, 3), "\\Omega"},
    UnitRow{{"S", "siemen", "siemens"}, unit_of({-2, -1, 3, 2, 0, 0, 0}, -3)},
    UnitRow{{"Wb", "weber", "webers"}, unit_of({2, 1, -2, -1, 0, 0, 0}, 3)},
    UnitRow{{"T", "tesla", "teslas"}, unit_of({0, 1, -2, -1, 0, 0, 0}, 3)},
    UnitRow{{"H", "henry", "henries"}, unit_of({2, 1, -2, -2, 0, 0, 0}, 3)},
    UnitRow{{"lx", "lux"}, unit_of({-2, 0, 0, 0, 0, 0, 1})},
    UnitRow{{"Gy", "gray", "grays"}, unit_of({2, 0, -2, 0, 0, 0, 0})},
    UnitRow{{"Sy", "sievert", "sieverts"}, unit_of({2, 0, -2, 0, 0, 0, 0}), "Sv"},
    UnitRow{{"kat", "katal", "katals"}, unit_of({0, 0, -1, 0, 0, 1, 0})},
    UnitRow{{"M"}, unit_of({-3, 0, 0, 0, 0, 1, 0}, 3)},
};

struct Prefix {
    std::string_view text;
    std::int64_t power;
};

// Every prefix, as a word and as a symbol; a new prefix is one more row. The empty row keeps
// the power 0 without a prefix.
constexpr auto PREFIXES = std::to_array<PrefixRow>({
    {"yocto", "y", -24},     {"zepto", "z", -21}, {"atto", "a", -18},
    {"femto", "f", -15},     {"pico", "p", -12},  {"nano", "n", -9},
    {"micro", "\u00b5", -6}, {"milli", "m", -3},  {"centi", "c", -2},
    {"deci", "d", -1},       {"", "", 0},         {"deca", "da", 1},
    {"hecto", "h", 2},       {"kilo", "k", 3},    {"mega", "M", 6},
    {"giga", "G", 9},        {"tera", "T", 12},   {"peta", "P", 15},
    {"exa", "E", 18},        {"zetta", "Z", 21},  {"yotta", "Y", 24},
});

// A prefix table read in both directions.
class PrefixMap {
  public:
    // The table's words, or its symbols, by `spelling`.
    explicit PrefixMap(std::string_view PrefixRow::* spelling) {
        for (const PrefixRow& row : PREFIXES) {
            const std::string_view text = row.*spelling;
            const bool new_text = by_text_.emplace(text, row.power).second;
            const bool new_power = by_power_.emplace(row.power, text).second;
            if (!new_text || !new_power) throw InternalError("Prefix table with a repeated entry");
            longest_ = std::max(longest_, text.size());
        }
    }

    // The longest non-empty prefix text that name starts with, so "da" wins over "d".
    std::optional<Prefix> match(std::string_view name) const {
        for (std::size_t length = std::min(longest_, name.size()); length > 0; --length) {
            const std::string_view head = name.substr(0, length);
            if (auto found = by_text_.find(head); found != by_text_.end()) {
                return Prefix{head, found->second};
            }
        }
        return std::nullopt;
    }

    std::optional<std::string_view> text_of(std::int64_t power) const {
        if (auto found = by_power_.find(power); found != by_power_.end()) return found->second;
        return std::nullopt;
    }

  private:
    std::unordered_map<std::string_view, std::int64_t> by_text_;
    std::map<std::int64_t, std::string_view> by_power_;
    std::size_t longest_ = 0;
};

// Built on first use; the initialisation of a function-local static is thread-safe.
const PrefixMap& prefix_names() {
    static const PrefixMap map(&PrefixRow::word);
    return map;
}

const PrefixMap& prefix_symbols() {
    static const PrefixMap map(&PrefixRow::symbol);
    return map;
}

using UnitNames = std::unordered_map<std::string_view, const UnitRow*>;

UnitNames names_of(std::span<const UnitRow> rows) {
    UnitNames map;
    for (const UnitRow& row : rows) {
        for (std::string_view name : row.names) {
            if (!name.empty()) map.emplace(name, &row);
        }
    }
    return map;
}

// Every unit name of a table, for lookups in constant time; built on first use like the prefix
// maps.
const UnitNames& unit_names(UnitTable table) {
    static const UnitNames standard = names_of(unit_table);
    static const UnitNames extended = names_of(extended_unit_rows());
    return table == UnitTable::specified ? standard : extended;
}

// The standard table first: the extended one only adds names.
const UnitRow* find_row(std::string_view name, UnitTable table) {
    for (const UnitTable part : {UnitTable::specified, UnitTable::extended}) {
        const UnitNames& names = unit_names(part);
        if (const auto found = names.find(name); found != names.end()) return found->second;
        if (part == table) break;
    }
    return nullptr;
}

struct FoundName {
    const UnitRow* row = nullptr;
    std::optional<Prefix> prefix;
};

// At most one prefix, and a name that is itself in the table is never split.
FoundName find_name(std::string_view trimmed, UnitTable table) {
    if (const UnitRow* row = find_row(trimmed, table)) return {row, std::nullopt};
    std::optional<Prefix> prefix = prefix_names().match(trimmed);
    if (!prefix) prefix = prefix_symbols().match(trimmed);
    const std::string_view rest = prefix ? trimmed.substr(prefix->text.size()) : trimmed;
    return {find_row(rest, table), prefix};
}

}  // namespace

Result<Unit> lookup_unit(std::string_view name, UnitTable table) {
    const std::string_view trimmed = trim(name);
    const FoundName found = find_name(trimmed, table);
    if (found.row == nullptr) {
        if (table == UnitTable::extended) {
            std::optional<std::string> refused = refused_unit(trimmed);
            if (!refused && found.prefix)
                refused = refused_unit(trimmed.substr(found.prefix->text.size()));
            if (refused) return fail(RunError::unit_error(std::move(*refused)));
        }
        return fail(
            RunError::unit_error(std::string(trimmed) + " is not a variable or a valid unit"));
    }
    Unit result = found.row->unit;
    if (found.prefix) result.exp10 = saturating_add(result.exp10, found.prefix->power);
    return result;
}

std::optional<std::string> printed_unit_name(std::string_view name, UnitTable table) {
    const std::string_view trimmed = trim(name);
    const FoundName found = find_name(trimmed, table);
    if (found.row == nullptr) return std::nullopt;
    std::string printed;
    if (found.prefix) {
        const std::optional<std::string_view> symbol = prefix_symbol(found.prefix->power);
        if (!symbol) throw InternalError("prefix without a symbol");
        // A space ends the command name before the unit's symbol.
        printed = *symbol == "\u00b5" ? "\\mu " : std::string(*symbol);
    }
    printed += found.row->printed_symbol();
    return printed;
}

std::optional<std::string_view> prefix_symbol(std::int64_t power) {
    return prefix_symbols().text_of(power);
}

std::vector<ListedUnit> listed_units() {
    std::vector<ListedUnit> listed;
    auto list = [&listed](const UnitRow& row, UnitTable table) {
        const auto used = std::ranges::find(row.names, std::string_view{}) - row.names.begin();
        listed.push_back({std::span(row.names).first(static_cast<std::size_t>(used)), row.unit,
                          row.printed_symbol(), table});
    };
    for (const UnitRow& row : unit_table) list(row, UnitTable::specified);
    for (const UnitRow& row : extended_unit_rows()) list(row, UnitTable::extended);
    return listed;
}

std::span<const PrefixRow> prefix_rows() {
    return PREFIXES;
}

}  // namespace mensurator
