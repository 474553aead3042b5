#include <gtest/gtest.h>

#include "grammar/parse.hpp"
#include "grammar/tree_text.hpp"
#include "support/rule_parse.hpp"

namespace mensurator {
namespace {

// A document that does not parse, and where the failure is reported.
using FailureCase = test_support::PositionCase;

class DocumentFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DocumentFailure, ReportsTheLastFailedRule) {
    const FailureCase& c = GetParam();
    const auto result = parse(GrammarRule::program, c.text);
    ASSERT_FALSE(result) << test_support::shape(c.text, *result);
    EXPECT_EQ(result.error().position, c.offset);
    EXPECT_EQ(result.error().line, c.line);
    EXPECT_EQ(result.error().column, c.column);
    EXPECT_FALSE(result.error().nesting_too_deep);
}

// Texts without any statement.
INSTANTIATE_TEST_SUITE_P(NoStatement, DocumentFailure,
                         ::testing::Values(FailureCase{"\n", 1, 2, 1}, FailureCase{"", 0, 1, 1},
                                           FailureCase{"\n\n\n", 3, 4, 1},
                                           FailureCase{"\n \t\n", 4, 3, 1},
                                           FailureCase{"\r\n", 2, 2, 1}, FailureCase{"\r", 1, 1, 2},
                                           FailureCase{"\r\r\n", 3, 2, 1}));

// A first statement that an alternative matches only in part.
INSTANTIATE_TEST_SUITE_P(
    FirstStatement, DocumentFailure,
    ::testing::Values(
        FailureCase{"x = 5 6\n", 6, 1, 7}, FailureCase{"x = 1", 5, 1, 6},
        FailureCase{"!scientific x\n", 1, 1, 2}, FailureCase{"!digits 4 5\n", 0, 1, 1},
        FailureCase{"v =? (km/h)^2\n", 11, 1, 12}, FailureCase{"\n\nx = 5 6\n", 8, 3, 7},
        FailureCase{"'''\xC3\xA9'''x = 5 6\n", 14, 1, 14},
        FailureCase{"'''\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80'''x = 5 6\n", 21, 1, 16}));

// A later line that an alternative matches only in part fails the document instead of
// silently ending it.
INSTANTIATE_TEST_SUITE_P(LaterStatement, DocumentFailure,
                         ::testing::Values(FailureCase{"x = 2\nx = 5 6\ny = 1\n", 12, 2, 7},
                                           FailureCase{"x = 2\n!scientific x\ny = 1\n", 7, 2, 2},
                                           FailureCase{"x = 1\n!digits 4 5\n", 6, 2, 1},
                                           FailureCase{"x = 2\ny = f()\nz = 1\n", 12, 2, 7},
                                           FailureCase{"x = 2\n\n\nx = 5 6\n", 14, 4, 7},
                                           FailureCase{"x = 1\r\nx = 5 6\r\n", 13, 2, 7},
                                           FailureCase{"x = 1\rx = 5 6\r", 12, 1, 13},
                                           FailureCase{"x = 1\r\rx = 5 6\r", 13, 1, 14},
                                           FailureCase{"'''a\nb'''x = 5 6\n", 15, 2, 11},
                                           FailureCase{"x = 1\ny = 2", 11, 2, 6}));

}  // namespace
}  // namespace mensurator
