// The alias table against std::map over random aliases and lookups: the bits that let most
// lookups skip the map must never hide an alias, also while they are rebuilt for more aliases.

#include "run/alias_table.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace mensurator {
namespace {

TEST(AliasTable, AgreesWithAMap) {
    std::mt19937 random(20261208);
    AliasTable table;
    std::map<std::string, std::string, std::less<>> reference;
    for (int step = 0; step < 60'000; ++step) {
        std::string name(1, 'a');  // in two steps: GCC 12 warns wrongly about "a" + ...
        name += std::to_string(random() % 6000);
        if (random() % 4 == 0) {
            std::string display(1, '\\');
            display += name;
            display += std::to_string(step);
            table.insert_or_assign(name, display);
            reference.insert_or_assign(name, display);
            continue;
        }
        const auto found = table.find(name);
        const auto expected = reference.find(name);
        ASSERT_EQ(found != table.end(), expected != reference.end()) << name;
        if (found != table.end()) {
            EXPECT_EQ(found->second, expected->second);
        }
    }
    EXPECT_EQ(table.size(), reference.size());
    for (const auto& [name, display] : reference) {
        ASSERT_NE(table.find(name), table.end()) << name;
        EXPECT_EQ(table.find(name)->second, display);
    }
    EXPECT_EQ(table.find(""), table.end());
}

}  // namespace
}  // namespace mensurator
