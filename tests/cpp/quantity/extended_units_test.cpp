// The extended table only adds names: no name that the standard table resolves, with or without
// a prefix, changes its meaning when a document opts into it.

#include <gtest/gtest.h>

#include <string>

#include "quantity/unit_table.hpp"

namespace mensurator {
namespace {

bool same_unit(const Unit& a, const Unit& b) {
    return a.dimensions == b.dimensions && a.exp10 == b.exp10 && a.factor == b.factor;
}

// Every name of the standard table, bare and behind every prefix word and symbol.
std::vector<std::string> standard_spellings() {
    std::vector<std::string> spellings;
    for (const ListedUnit& unit : listed_units()) {
        if (unit.table != UnitTable::specified) continue;
        for (std::string_view name : unit.names) {
            for (const PrefixRow& prefix : prefix_rows()) {
                spellings.push_back(std::string(prefix.word) + std::string(name));
                spellings.push_back(std::string(prefix.symbol) + std::string(name));
            }
        }
    }
    return spellings;
}

TEST(ExtendedUnits, LeaveEveryStandardSpellingAsItWas) {
    const std::vector<std::string> spellings = standard_spellings();
    ASSERT_GT(spellings.size(), 2000U);
    for (const std::string& spelling : spellings) {
        const Result<Unit> standard = lookup_unit(spelling);
        const Result<Unit> extended = lookup_unit(spelling, UnitTable::extended);
        if (standard) {
            ASSERT_TRUE(extended) << spelling;
            EXPECT_TRUE(same_unit(*standard, *extended)) << spelling;
        }
    }
}

// Prefixed, an extended name may spell a standard one (m + in is min, the minute), which then
// keeps its meaning, as the test above checks.
TEST(ExtendedUnits, AreUnknownToTheStandardTable) {
    for (const ListedUnit& unit : listed_units()) {
        if (unit.table != UnitTable::extended) continue;
        for (std::string_view name : unit.names) {
            EXPECT_TRUE(lookup_unit(name, UnitTable::extended)) << name;
            const Result<Unit> standard = lookup_unit(name);
            ASSERT_FALSE(standard) << name;
            EXPECT_EQ(standard.error().display(),
                      std::string(name) + " is not a variable or a valid unit");
        }
    }
    EXPECT_EQ(lookup_unit("min", UnitTable::extended)->exp10, 1);
}

TEST(ExtendedUnits, TakePrefixesLikeEveryUnit) {
    struct Case {
        std::string_view prefixed;
        std::string_view bare;
        std::int64_t power;
    };
    for (const Case c : {Case{"kVA", "VA", 3}, Case{"MVA", "VA", 6}, Case{"kvar", "var", 3},
                         Case{"mbar", "bar", -3}, Case{"keV", "eV", 3}, Case{"MeV", "eV", 6},
                         Case{"kcal", "cal", 3}, Case{"ml", "l", -3}, Case{"kWh", "Wh", 3},
                         Case{"kOhm", "Ohm", 3}, Case{"MHz", "Hz", 6}}) {
        Unit expected = *lookup_unit(c.bare, UnitTable::extended);
        expected.exp10 += c.power;
        const Result<Unit> unit = lookup_unit(c.prefixed, UnitTable::extended);
        ASSERT_TRUE(unit) << c.prefixed;
        EXPECT_TRUE(same_unit(*unit, expected)) << c.prefixed;
    }
    // A whole name is never split: h is the hour, not the hecto prefix alone; hPa stays hecto.
    EXPECT_EQ(lookup_unit("h", UnitTable::extended)->exp10, 3);
    EXPECT_TRUE(same_unit(*lookup_unit("hPa", UnitTable::extended), *lookup_unit("hPa")));
}

TEST(ExtendedUnits, RefuseOffsetTemperatureScalesNamingKelvin) {
    for (const std::string_view name : {"degC", "degF", "mdegC"}) {
        const Result<Unit> unit = lookup_unit(name, UnitTable::extended);
        ASSERT_FALSE(unit) << name;
        const std::string message = unit.error().display();
        EXPECT_NE(message.find("offset"), std::string::npos) << message;
        EXPECT_NE(message.find(" K"), std::string::npos) << message;
    }
    EXPECT_EQ(lookup_unit("degC").error().display(), "degC is not a variable or a valid unit");
}

}  // namespace
}  // namespace mensurator
