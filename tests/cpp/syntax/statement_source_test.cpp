#include "syntax/statement_source.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "grammar/parse.hpp"

namespace mensurator {
namespace {

std::string failure_text(const ParseFailure& f) {
    return "failure " + std::to_string(f.position) + (f.nesting_too_deep ? " too deep" : "");
}

// Where each statement ends, or the failure that ends the document.
std::string ends_by_source(std::string_view text, bool implied) {
    ExprStore store;
    StatementSource source(text, implied, store);
    std::string ends;
    for (;;) {
        auto next = source.next();
        if (!next) return ends + failure_text(next.error());
        if (!*next) return ends;
        if (!(*next)->statement) return ends + "not built";
        ends += std::to_string((*next)->end) + " ";
    }
}

std::string ends_by_grammar(std::string_view text, bool implied) {
    StatementStream stream(text, implied);
    std::string ends;
    for (;;) {
        auto next = stream.next();
        if (!next) return ends + failure_text(next.error());
        if (!*next) return ends;
        ends += std::to_string((**next).end) + " ";
    }
}

class SourceMatchesGrammar : public ::testing::TestWithParam<std::string> {};

// The fast path may build a statement, but never changes where it ends or where the document
// fails.
TEST_P(SourceMatchesGrammar, SameStatementEndsAndFailures) {
    for (const bool implied : {false, true}) {
        EXPECT_EQ(ends_by_source(GetParam(), implied), ends_by_grammar(GetParam(), implied));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, SourceMatchesGrammar,
    ::testing::Values("x = 5 m\ny = x * 2 =? km\n", "\n\nx = 1\n\n\ny = 2", "",
                      "v = 3 m =? km\n2 m + 3 m =?\n!digits 4\n!scientific\nalias v w\n",
                      "'''a\nb'''\nx = 1\n", "x = 1\r\ny = 2\r\n", "x = 5 6\n",
                      "x = 2\nx = 5 6\ny = 1\n", "x = 1\n" + std::string(300, '(') + "\n",
                      "x = (1 + 2) * f(3, 4) =? s\ny = 2\n", "'''never closed\nx = 1\n"));

// After a failure the source goes on at a line start, as if a statement had ended there.
TEST(StatementSource, ResumesAtALineStartAfterAFailure) {
    const std::string text = "x = 1\nx = 5 6\ny = 2 m\n";
    ExprStore store;
    StatementSource source(text, false, store);
    auto first = source.next();
    ASSERT_TRUE(first && *first);
    auto failed = source.next();
    ASSERT_FALSE(failed);
    EXPECT_EQ(source.statement_start(), text.find("x = 5"));
    source.resume_at(text.find("y ="));
    auto after = source.next();
    ASSERT_TRUE(after && *after && (*after)->statement && *(*after)->statement);
    EXPECT_EQ((*(*after)->statement)->line, 3u);
    auto end = source.next();
    ASSERT_TRUE(end);
    EXPECT_FALSE(*end);
}

// A statement the grammar engine matches (here a line that is no statement, whose building
// would fail) is not built when not asked for, and still read past.
TEST(StatementSource, SkipsBuildingWhenAsked) {
    const std::string text = "hello world\ny = 2\n";
    ExprStore store;
    StatementSource source(text, false, store);
    std::size_t unbuilt = 0;
    std::size_t end = 0;
    for (;;) {
        auto next = source.next(false);
        ASSERT_TRUE(next);
        if (!*next) break;
        if (!(*next)->statement) ++unbuilt;
        end = (*next)->end;
    }
    EXPECT_GT(unbuilt, 0u);
    EXPECT_EQ(end, text.size());
}

}  // namespace
}  // namespace mensurator
