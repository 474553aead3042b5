#pragma once

// A table row that carries its own name, for tests whose rows are easier to tell apart by a name
// than by their input: GoogleTest shows the row by that name and names the test instance after it.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace mensurator::test_support {

struct NamedCase {
    std::string name;  // a valid test name: letters and digits only
    std::string input;
    std::string expected;
};

inline void PrintTo(const NamedCase& c, std::ostream* os) {
    *os << c.name;
}

inline std::string case_name(const ::testing::TestParamInfo<NamedCase>& info) {
    return info.param.name;
}

}  // namespace mensurator::test_support
