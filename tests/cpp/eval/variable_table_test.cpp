// The variable table against std::map, its reference, over random definitions and lookups: names
// that collide in few slots, grow the table, cross name blocks or are empty; values in units that
// differ only in their scale or factor, which interning must keep apart.

#include "eval/variable_table.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <string>

namespace mensurator {
namespace {

Unit random_unit(std::mt19937& random) {
    Unit unit;
    unit.dimensions[random() % base_unit_count] =
        Rational8{static_cast<std::int8_t>(random() % 3), 1};
    unit.exp10 = static_cast<std::int64_t>(random() % 3);
    unit.factor = random() % 2 == 0 ? 1.0 : -0.0;
    return unit;
}

std::string random_name(std::mt19937& random) {
    switch (random() % 20) {
        case 0:
            return "";
        case 1:
            return std::string(70'000 + random() % 10, 'n');  // larger than a name block
        default: {
            std::string name(1, 'v');  // built in two steps: GCC 12 warns wrongly about "v" + ...
            name += std::to_string(random() % 5000);
            return name;
        }
    }
}

class AgreesWithAMap : public ::testing::TestWithParam<std::size_t> {};

// Reserved for none, some or more than all of the names.
TEST_P(AgreesWithAMap, OverRandomDefinitionsAndLookups) {
    std::mt19937 random(20261208);
    VariableTable table;
    table.reserve(GetParam());
    std::map<std::string, Value> reference;
    for (int step = 0; step < 40'000; ++step) {
        const std::string name = random_name(random);
        if (random() % 3 == 0) {
            const Value value{static_cast<double>(random() % 1000), random_unit(random)};
            table.insert_or_assign(name, value);
            reference.insert_or_assign(name, value);
            continue;
        }
        const std::optional<Value> found = table.find(name);
        const auto expected = reference.find(name);
        ASSERT_EQ(found.has_value(), expected != reference.end()) << name.substr(0, 20);
        if (!found) continue;
        EXPECT_EQ(found->number, expected->second.number);
        EXPECT_EQ(found->unit.dimensions, expected->second.unit.dimensions);
        EXPECT_EQ(found->unit.exp10, expected->second.unit.exp10);
        EXPECT_EQ(std::signbit(found->unit.factor), std::signbit(expected->second.unit.factor));
    }
    EXPECT_EQ(table.size(), reference.size());
}

INSTANTIATE_TEST_SUITE_P(Reserved, AgreesWithAMap, ::testing::Values(0, 1000, 100'000));

std::string numbered(std::uint32_t i) {
    std::string name(1, 'n');  // in two steps, as above
    name += std::to_string(i);
    return name;
}

// Ids are dense in the order of first definition, whatever was reserved, and survive growth.
TEST(VariableTable, IdsFollowTheFirstDefinitions) {
    for (const std::size_t reserved : {0, 10, 5000}) {
        VariableTable table;
        table.reserve(reserved);
        for (std::uint32_t i = 0; i < 3000; ++i) {
            EXPECT_EQ(table.insert_or_assign(numbered(i), Value{1.0 * i, Unit{}}), i);
        }
        for (std::uint32_t i = 0; i < 3000; i += 7) {
            const std::string name = numbered(i);
            EXPECT_EQ(table.insert_or_assign(name, Value{-1.0, Unit{}}), i);
            EXPECT_EQ(table.id_of(name), i);
            EXPECT_EQ(table.find(name)->number, -1.0);
        }
        EXPECT_EQ(table.size(), 3000U);
        EXPECT_FALSE(table.id_of("n3000"));
    }
}

}  // namespace
}  // namespace mensurator
