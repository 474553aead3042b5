#include <gtest/gtest.h>

#include <string_view>

#include "grammar/parse.hpp"
#include "grammar/tree_text.hpp"

namespace mensurator {
namespace {

using test_support::PositionCase;

class LineColumnOf : public ::testing::TestWithParam<PositionCase> {};

TEST_P(LineColumnOf, Offset) {
    const PositionCase& c = GetParam();
    const LineColumn at = line_column(c.text, c.offset);
    EXPECT_EQ(at.line, c.line);
    EXPECT_EQ(at.column, c.column);
}

// LF and CR LF break lines, a lone CR is an ordinary character, and an offset between CR and
// LF already belongs to the next line.
INSTANTIATE_TEST_SUITE_P(
    LineBreaks, LineColumnOf,
    ::testing::Values(PositionCase{"", 0, 1, 1}, PositionCase{"\n", 0, 1, 1},
                      PositionCase{"\n", 1, 2, 1}, PositionCase{"ab\r\nc", 2, 1, 3},
                      PositionCase{"ab\r\nc", 3, 2, 1}, PositionCase{"ab\r\nc", 4, 2, 1},
                      PositionCase{"ab\r\nc", 5, 2, 2}, PositionCase{"ab\rc", 3, 1, 4},
                      PositionCase{"ab\rc", 4, 1, 5}, PositionCase{"a\nb\nc", 4, 3, 1},
                      PositionCase{"a\nb\nc", 5, 3, 2}, PositionCase{"a\r\r\nb", 2, 1, 3},
                      PositionCase{"a\r\r\nb", 3, 2, 1}, PositionCase{"a\r\r\nb", 4, 2, 1},
                      PositionCase{"a\n\r\nb", 2, 2, 1}, PositionCase{"a\n\r\nb", 3, 3, 1},
                      PositionCase{"a\n\r\nb", 5, 3, 2}, PositionCase{"\r\n", 1, 2, 1},
                      PositionCase{"\r\n", 2, 2, 1}, PositionCase{"\n\n\n", 3, 4, 1},
                      PositionCase{"\r\r\r", 3, 1, 4}, PositionCase{"a\tb", 2, 1, 3}));

// Columns count characters; a byte that does not begin a complete, well-formed character is a
// character of its own.
INSTANTIATE_TEST_SUITE_P(
    Characters, LineColumnOf,
    ::testing::Values(
        PositionCase{"\xC3\xA9x", 2, 1, 2}, PositionCase{"\xC3\xA9x", 3, 1, 3},
        PositionCase{"\xE2\x82\xAC\r\n", 3, 1, 2}, PositionCase{"\xE2\x82\xAC\r\n", 4, 2, 1},
        PositionCase{"\xF0\x9F\x98\x80\xF0\x9F\x98\x80x", 8, 1, 3},
        PositionCase{"x\n\xC3\xA4\xC3\xB6\xC3\xBC", 8, 2, 4}, PositionCase{"\xC3x", 1, 1, 2},
        PositionCase{"\xC3x", 2, 1, 3}, PositionCase{"a\xC3", 2, 1, 3},
        PositionCase{"\x80\x80x", 2, 1, 3}, PositionCase{"\xE2\x82x", 2, 1, 3},
        PositionCase{"\xE2\x82x", 3, 1, 4}, PositionCase{"\xF0\x9F\x98x", 3, 1, 4},
        PositionCase{"\xF0\x9F\x98x", 4, 1, 5}, PositionCase{"\xFF\xFEx", 2, 1, 3},
        PositionCase{"\xC0\xAFx", 2, 1, 3}, PositionCase{"\xF8\x88\x80\x80\x80x", 5, 1, 6},
        PositionCase{"\xC3\n\xC3", 2, 2, 1}, PositionCase{"\xE2\x82\r\nx", 4, 2, 1},
        // Overlong forms, surrogates and code points past U+10FFFF are bytes of their own.
        PositionCase{"\xE0\x80\x80x", 4, 1, 5}, PositionCase{"\xED\xA0\x80x", 4, 1, 5},
        PositionCase{"\xF0\x80\x80\x80x", 5, 1, 6}, PositionCase{"\xF4\x90\x80\x80x", 5, 1, 6},
        PositionCase{"\xED\x9F\xBFx", 3, 1, 2}, PositionCase{"\xF4\x8F\xBF\xBFx", 4, 1, 2}));

// The cursor gives the lines that line_column gives, for offsets in any order.
class LineCursorAgrees : public ::testing::TestWithParam<std::string_view> {};

TEST_P(LineCursorAgrees, ForIncreasingAndRepeatedOffsets) {
    const std::string_view text = GetParam();
    LineCursor cursor(text);
    for (std::size_t offset = 0; offset <= text.size(); ++offset) {
        const LineColumn expected = line_column(text, offset);
        for (int repeat = 0; repeat < 2; ++repeat) {
            EXPECT_EQ(cursor.line_at(offset), expected.line) << "offset " << offset;
        }
    }
}

TEST_P(LineCursorAgrees, WhenMovedBackwards) {
    const std::string_view text = GetParam();
    LineCursor cursor(text);
    for (std::size_t offset = text.size() + 1; offset-- > 0;) {
        EXPECT_EQ(cursor.line_at(offset), line_column(text, offset).line) << "offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, LineCursorAgrees,
                         ::testing::Values("", "\n", "ab\r\ncd\rx\n\r\n", "a\r\r\n\r\n\n",
                                           "x = 1\ny = 2\n", "\r\n\r\n",
                                           "abc\r\n\xC3\xA9\xE2\x82\xAC\r\ndef"));

TEST(LineColumn, StepsAcrossLinesLikeTheDefinition) {
    const std::string_view text = "ab\r\ncd\rx\n\xC3\xA9z";
    const std::pair<std::size_t, LineColumn> steps[] = {{0, {1, 1}}, {3, {2, 1}}, {4, {2, 1}},
                                                        {7, {2, 4}}, {9, {3, 1}}, {11, {3, 2}},
                                                        {12, {3, 3}}};
    for (const auto& [offset, expected] : steps) {
        const LineColumn at = line_column(text, offset);
        EXPECT_EQ(at.line, expected.line) << "offset " << offset;
        EXPECT_EQ(at.column, expected.column) << "offset " << offset;
    }
}

}  // namespace
}  // namespace mensurator
