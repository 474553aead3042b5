#include "quantity/unit_table.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "quantity/unit_helpers.hpp"

namespace mensurator {
namespace {

using test_support::expect_unit;
using test_support::Exponents;
using test_support::make_unit;

struct RowCase {
    std::vector<std::string_view> names;
    Exponents exponents;  // m, g, s, A, K, mol, cd
    std::int64_t exp10 = 0;
    double factor = 1.0;
};

class UnitRow : public ::testing::TestWithParam<RowCase> {};

TEST_P(UnitRow, EveryNameGivesTheRowsUnit) {
    const RowCase& row = GetParam();
    const Unit expected = make_unit(row.exponents, row.exp10, row.factor);
    for (std::string_view name : row.names) {
        const Result<Unit> unit = lookup_unit(name);
        ASSERT_TRUE(unit.has_value()) << name << ": " << unit.error().display();
        expect_unit(*unit, expected, std::string(name));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnitRow,
    ::testing::Values(
        RowCase{{"m", "meter", "meters"}, {1, 0, 0, 0, 0, 0, 0}},
        RowCase{{"g", "gm", "gram", "grams"}, {0, 1, 0, 0, 0, 0, 0}},
        RowCase{{"s", "second", "seconds"}, {0, 0, 1, 0, 0, 0, 0}},
        RowCase{{"A", "amp", "amps", "ampere", "amperes"}, {0, 0, 0, 1, 0, 0, 0}},
        RowCase{{"K", "kelvin"}, {0, 0, 0, 0, 1, 0, 0}},
        RowCase{{"mol", "mols", "mole", "moles"}, {0, 0, 0, 0, 0, 1, 0}},
        RowCase{{"candela"}, {0, 0, 0, 0, 0, 0, 1}},
        RowCase{{"rad", "radian", "radians"}, {0, 0, 0, 0, 0, 0, 0}},
        RowCase{{"rev", "revolution", "revolutions"}, {0, 0, 0, 0, 0, 0, 0}, 0, 6.283185307179586},
        RowCase{{"deg", "degree", "degrees"}, {0, 0, 0, 0, 0, 0, 0}, -2, 1.7453292519943295},
        RowCase{{"min", "minute", "minutes"}, {0, 0, 1, 0, 0, 0, 0}, 1, 6.0},
        RowCase{{"hour", "hours"}, {0, 0, 1, 0, 0, 0, 0}, 3, 3.6},
        RowCase{{"day", "days"}, {0, 0, 1, 0, 0, 0, 0}, 4, 8.64},
        RowCase{{"year", "years"}, {0, 0, 1, 0, 0, 0, 0}, 7, 3.1536},
        RowCase{{"amu"}, {0, 1, 0, 0, 0, 0, 0}, -24, 1.66053906660},
        RowCase{{"hz"}, {0, 0, -1, 0, 0, 0, 0}},
        RowCase{{"Bq", "becquerel", "becquerels"}, {0, 0, -1, 0, 0, 0, 0}},
        RowCase{{"J", "joule"}, {2, 1, -2, 0, 0, 0, 0}, 3},
        RowCase{{"N", "newton"}, {1, 1, -2, 0, 0, 0, 0}, 3},
        RowCase{{"L", "liter"}, {3, 0, 0, 0, 0, 0, 0}, -3},
        RowCase{{"Pa", "pascal"}, {-1, 1, -2, 0, 0, 0, 0}, 3},
        RowCase{{"W", "watt"}, {2, 1, -3, 0, 0, 0, 0}, 3},
        RowCase{{"C", "coulomb", "coulombs"}, {0, 0, 1, 1, 0, 0, 0}},
        RowCase{{"V", "volt", "volts"}, {2, 1, -3, -1, 0, 0, 0}, 3},
        RowCase{{"F", "farad", "farads"}, {-2, -1, 4, 2, 0, 0, 0}, -3},
        RowCase{{"\u2126", "ohm", "ohms"}, {2, 1, -3, -2, 0, 0, 0}, 3},
        RowCase{{"S", "siemen", "siemens"}, {-2, -1, 3, 2, 0, 0, 0}, -3},
        RowCase{{"Wb", "weber", "webers"}, {2, 1, -2, -1, 0, 0, 0}, 3},
        RowCase{{"T", "tesla", "teslas"}, {0, 1, -2, -1, 0, 0, 0}, 3},
        RowCase{{"H", "henry", "henries"}, {2, 1, -2, -2, 0, 0, 0}, 3},
        RowCase{{"lx", "lux"}, {-2, 0, 0, 0, 0, 0, 1}},
        RowCase{{"Gy", "gray", "grays"}, {2, 0, -2, 0, 0, 0, 0}},
        RowCase{{"Sy", "sievert", "sieverts"}, {2, 0, -2, 0, 0, 0, 0}},
        RowCase{{"kat", "katal", "katals"}, {0, 0, -1, 0, 0, 1, 0}},
        RowCase{{"M"}, {-3, 0, 0, 0, 0, 1, 0}, 3}));

// Rows defined through other rows agree with the combination that defines them.
struct DefinitionCase {
    std::string_view name;
    std::string_view left;
    char op;  // '*' or '/'
    std::string_view right;
};

class UnitDefinition : public ::testing::TestWithParam<DefinitionCase> {};

TEST_P(UnitDefinition, MatchesItsDefinition) {
    const DefinitionCase& c = GetParam();
    const Unit left = *lookup_unit(c.left);
    const Unit right = *lookup_unit(c.right);
    const Unit combined = *(c.op == '*' ? unit_mul(left, right) : unit_div(left, right));
    expect_unit(*lookup_unit(c.name), combined, std::string(c.name));
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnitDefinition,
    ::testing::Values(DefinitionCase{"C", "seconds", '*', "amps"},
                      DefinitionCase{"V", "W", '/', "A"}, DefinitionCase{"F", "C", '/', "V"},
                      DefinitionCase{"ohm", "V", '/', "A"}, DefinitionCase{"S", "A", '/', "V"},
                      DefinitionCase{"Wb", "V", '*', "s"}, DefinitionCase{"H", "Wb", '/', "A"},
                      DefinitionCase{"Gy", "J", '/', "kg"}, DefinitionCase{"Sy", "J", '/', "kg"},
                      DefinitionCase{"kat", "mol", '/', "s"},
                      DefinitionCase{"M", "moles", '/', "L"}, DefinitionCase{"J", "N", '*', "m"},
                      DefinitionCase{"W", "J", '/', "s"}, DefinitionCase{"Bq", "hz", '*', "rad"}));

TEST(UnitDefinition, SquareMetreRows) {
    const Unit square_metre = *unit_powi(*lookup_unit("m"), 2);
    expect_unit(*lookup_unit("T"), *unit_div(*lookup_unit("Wb"), square_metre));
    // The lumen is the candela times the dimensionless steradian.
    expect_unit(*lookup_unit("lux"), *unit_div(*lookup_unit("candela"), square_metre));
}

struct PrefixedCase {
    std::string_view name;
    std::string_view unprefixed;
    std::int64_t power;
};

class PrefixedName : public ::testing::TestWithParam<PrefixedCase> {};

TEST_P(PrefixedName, AddsThePrefixPower) {
    const PrefixedCase& c = GetParam();
    const Result<Unit> unit = lookup_unit(c.name);
    ASSERT_TRUE(unit.has_value()) << c.name << ": " << unit.error().display();
    Unit expected = *lookup_unit(c.unprefixed);
    expected.exp10 += c.power;
    expect_unit(*unit, expected, std::string(c.name));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrefixedName,
    ::testing::Values(
        PrefixedCase{"km", "m", 3}, PrefixedCase{"kg", "g", 3}, PrefixedCase{"mg", "g", -3},
        PrefixedCase{"kJ", "J", 3}, PrefixedCase{"\u00b5s", "s", -6},
        PrefixedCase{"microsecond", "s", -6}, PrefixedCase{"millimeter", "m", -3},
        PrefixedCase{"kN", "N", 3}, PrefixedCase{"mmol", "mol", -3}, PrefixedCase{"kPa", "Pa", 3},
        PrefixedCase{"kWb", "Wb", 3}, PrefixedCase{"Mhz", "hz", 6},
        PrefixedCase{"yottameter", "m", 24}, PrefixedCase{"zettameter", "m", 21},
        PrefixedCase{"ym", "m", -24}, PrefixedCase{"Ym", "m", 24}, PrefixedCase{"fs", "s", -15},
        PrefixedCase{"dam", "m", 1}, PrefixedCase{"dag", "g", 1}, PrefixedCase{"dm", "m", -1},
        PrefixedCase{"decameter", "m", 1}, PrefixedCase{"decimeter", "m", -1},
        PrefixedCase{"hectopascal", "Pa", 2}, PrefixedCase{"cm", "m", -2},
        PrefixedCase{"kmin", "min", 3}, PrefixedCase{"khours", "hours", 3},
        PrefixedCase{"k\u2126", "ohm", 3}, PrefixedCase{"GW", "W", 9}, PrefixedCase{"nF", "F", -9},
        PrefixedCase{"pF", "F", -12}, PrefixedCase{"TJ", "J", 12}, PrefixedCase{"PJ", "J", 15},
        PrefixedCase{"EJ", "J", 18}, PrefixedCase{"zs", "s", -21}, PrefixedCase{"as", "s", -18},
        PrefixedCase{"Zm", "m", 21}, PrefixedCase{"MJ", "J", 6}, PrefixedCase{"mdeg", "deg", -3},
        PrefixedCase{"kamu", "amu", 3},
        // whole names are never split
        PrefixedCase{"hours", "hours", 0}, PrefixedCase{"min", "min", 0},
        PrefixedCase{"Pa", "Pa", 0}, PrefixedCase{"T", "T", 0}, PrefixedCase{"M", "M", 0},
        PrefixedCase{"m", "m", 0}, PrefixedCase{"mol", "mol", 0},
        // white space around the name is removed
        PrefixedCase{"  km  ", "m", 3}, PrefixedCase{"\tkg\n", "g", 3}));

TEST(PrefixedName, NamedPrefixesComeBeforeSymbols) {
    // "millimeter" is milli + meter, never m + "illimeter"; "mega" is not "m" + "ega".
    EXPECT_EQ(lookup_unit("millimeter")->exp10, -3);
    EXPECT_EQ(lookup_unit("megameter")->exp10, 6);
    EXPECT_EQ(lookup_unit("kilogram")->exp10, 3);
}

struct FailureCase {
    std::string_view name;
    std::string_view shown;
};

class UnknownName : public ::testing::TestWithParam<FailureCase> {};

TEST_P(UnknownName, FailsWithTheTrimmedName) {
    const FailureCase& c = GetParam();
    const Result<Unit> unit = lookup_unit(c.name);
    ASSERT_FALSE(unit.has_value()) << c.name;
    EXPECT_EQ(unit.error().kind(), RunError::Kind::UnitError);
    EXPECT_EQ(unit.error().display(), std::string(c.shown) + " is not a variable or a valid unit");
}

INSTANTIATE_TEST_SUITE_P(Cases, UnknownName,
                         ::testing::Values(FailureCase{"cd", "cd"}, FailureCase{"km2", "km2"},
                                           FailureCase{"kkm", "kkm"}, FailureCase{"k", "k"},
                                           FailureCase{"h", "h"}, FailureCase{"da", "da"},
                                           FailureCase{"kilo", "kilo"}, FailureCase{"MHz", "MHz"},
                                           FailureCase{"Hz", "Hz"}, FailureCase{"watts", "watts"},
                                           FailureCase{"liters", "liters"},
                                           FailureCase{"sec", "sec"}, FailureCase{"Sv", "Sv"},
                                           FailureCase{"lm", "lm"}, FailureCase{"KM", "KM"},
                                           FailureCase{"\u03bcs", "\u03bcs"}, FailureCase{"", ""},
                                           FailureCase{"   ", ""}, FailureCase{" kq\t", "kq"},
                                           FailureCase{"k m", "k m"}, FailureCase{"km/h", "km/h"}));

TEST(PrefixSymbol, ReadsTheSymbolTableBackwards) {
    EXPECT_EQ(prefix_symbol(3), "k");
    EXPECT_EQ(prefix_symbol(0), "");
    EXPECT_EQ(prefix_symbol(-6), "\u00b5");
    EXPECT_EQ(prefix_symbol(1), "da");
    EXPECT_EQ(prefix_symbol(-24), "y");
    EXPECT_EQ(prefix_symbol(24), "Y");
    EXPECT_EQ(prefix_symbol(4), std::nullopt);
    EXPECT_EQ(prefix_symbol(27), std::nullopt);
    EXPECT_EQ(prefix_symbol(std::numeric_limits<std::int64_t>::min()), std::nullopt);
}

}  // namespace
}  // namespace mensurator
