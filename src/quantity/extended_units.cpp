#include "quantity/extended_units.hpp"

#include <algorithm>
#include <array>

namespace mensurator {

namespace {

// Exact factors after NIST SP 811, appendix B: the international foot and pound, the pound-force
// from standard gravity, the thermochemical calorie, the International Table Btu, the mechanical
// horsepower (550 ft lbf/s) and the US liquid gallon (231 in^3).
constexpr auto extended_units = std::to_array<UnitRow>({
    {{"Hz"}, unit_of({0, 0, -1, 0, 0, 0, 0})},
    {{"h"}, unit_of({0, 0, 1, 0, 0, 0, 0}, 3, 3.6)},
    {{"l"}, unit_of({3, 0, 0, 0, 0, 0, 0}, -3), "L"},
    {{"t"}, unit_of({0, 1, 0, 0, 0, 0, 0}, 6)},
    {{"Sv"}, unit_of({2, 0, -2, 0, 0, 0, 0})},
    {{"Ohm"}, unit_of({2, 1, -3, -2, 0, 0, 0}, 3), "\\Omega"},
    {{"bar"}, unit_of({-1, 1, -2, 0, 0, 0, 0}, 8)},
    {{"atm"}, unit_of({-1, 1, -2, 0, 0, 0, 0}, 8, 1.01325)},
    {{"eV"}, unit_of({2, 1, -2, 0, 0, 0, 0}, -16, 1.602176634)},
    {{"cal"}, unit_of({2, 1, -2, 0, 0, 0, 0}, 3, 4.184)},
    {{"Wh"}, unit_of({2, 1, -2, 0, 0, 0, 0}, 6, 3.6), "W\\,h"},
    {{"VA"}, unit_of({2, 1, -3, 0, 0, 0, 0}, 3), "V\\,A"},
    {{"var"}, unit_of({2, 1, -3, 0, 0, 0, 0}, 3)},
    {{"rpm"}, unit_of({0, 0, -1, 0, 0, 0, 0}, 0, 0.10471975511965977)},
    {{"in"}, unit_of({1, 0, 0, 0, 0, 0, 0}, -2, 2.54)},
    {{"ft"}, unit_of({1, 0, 0, 0, 0, 0, 0}, -1, 3.048)},
    {{"yd"}, unit_of({1, 0, 0, 0, 0, 0, 0}, -1, 9.144)},
    {{"mi"}, unit_of({1, 0, 0, 0, 0, 0, 0}, 3, 1.609344)},
    {{"lb"}, unit_of({0, 1, 0, 0, 0, 0, 0}, 2, 4.5359237)},
    {{"lbf"}, unit_of({1, 1, -2, 0, 0, 0, 0}, 3, 4.4482216152605)},
    {{"kip"}, unit_of({1, 1, -2, 0, 0, 0, 0}, 6, 4.4482216152605)},
    {{"psi"}, unit_of({-1, 1, -2, 0, 0, 0, 0}, 6, 6.894757293168361)},
    {{"ksi"}, unit_of({-1, 1, -2, 0, 0, 0, 0}, 9, 6.894757293168361)},
    {{"psf"}, unit_of({-1, 1, -2, 0, 0, 0, 0}, 4, 4.788025898033584)},
    {{"oz"}, unit_of({0, 1, 0, 0, 0, 0, 0}, 1, 2.8349523125)},
    {{"gal"}, unit_of({3, 0, 0, 0, 0, 0, 0}, -3, 3.785411784)},
    {{"hp"}, unit_of({2, 1, -3, 0, 0, 0, 0}, 5, 7.456998715822702)},
    {{"BTU"}, unit_of({2, 1, -2, 0, 0, 0, 0}, 6, 1.05505585262), "Btu"},
    {{"mph"}, unit_of({1, 0, -1, 0, 0, 0, 0}, -1, 4.4704)},
    {{"knot"}, unit_of({1, 0, -1, 0, 0, 0, 0}, 0, 0.5144444444444445), "kn"},
});

// Scales with an offset: a product or quotient of such temperatures means nothing.
constexpr std::array<std::string_view, 2> offset_temperatures = {"degC", "degF"};

}  // namespace

std::span<const UnitRow> extended_unit_rows() {
    return extended_units;
}

std::optional<std::string> refused_unit(std::string_view name) {
    if (std::ranges::find(offset_temperatures, name) == offset_temperatures.end()) {
        return std::nullopt;
    }
    return std::string(name) +
           " is a temperature scale with an offset, which products and quotients would silently "
           "corrupt: write absolute temperatures and differences in K";
}

}  // namespace mensurator
