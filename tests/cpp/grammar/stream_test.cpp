#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "grammar/parse.hpp"
#include "grammar/tree_text.hpp"
#include "support/rule_parse.hpp"

namespace mensurator {
namespace {

using test_support::escape;
using test_support::spans;

std::string failure_text(const ParseFailure& f) {
    return "failure " + std::to_string(f.position) + " " + std::to_string(f.line) + ":" +
           std::to_string(f.column) + (f.nesting_too_deep ? " too deep" : "");
}

// The statements a stream hands out one by one, rendered with every node's text, or the failure
// it ends with; in the same form as for a whole-document parse, so that the two can be compared.
std::string streamed(std::string_view text) {
    StatementStream stream(text);
    std::vector<ParseNode> statements;
    for (;;) {
        auto next = stream.next();
        if (!next) return failure_text(next.error());
        if (!*next) break;
        statements.push_back(std::move(**next));
    }
    // The stream stays at its end.
    if (auto after = stream.next(); !after || *after) return "more after the end";
    return spans(text, statements);
}

std::string parsed(std::string_view text) {
    const auto result = parse(GrammarRule::program, text);
    return result ? spans(text, *result) : failure_text(result.error());
}

class StreamMatchesParse : public ::testing::TestWithParam<std::string> {};

TEST_P(StreamMatchesParse, StatementByStatement) {
    const std::string& text = GetParam();
    SCOPED_TRACE(escape(text.substr(0, 80)));
    EXPECT_EQ(streamed(text), parsed(text));
}

INSTANTIATE_TEST_SUITE_P(
    Documents, StreamMatchesParse,
    ::testing::Values("x = 5\n", "\n\n \t\nx = 1\ny = 2\n", "   \nx = 1\n\n",
                      "v = 3 m =? km\n2 m + 3 m =?\n!digits 4\n!scientific\nalias v w\n",
                      "'''a\nb'''\nhello world\n", "'''a'''", "x = 1\r\ny = 2\rz = 3\r\n",
                      "x = 1\n  \t", "\n", "", "\r", "x = 5 6\n", "x = 2\nx = 5 6\ny = 1\n",
                      "x = 2\n!scientific x\n", "x = 2\ny = f()\n", "x = 1\ny = 2",
                      "x = 1\n" + std::string(300, '(') + "\n",
                      "x = " + std::string(64, '(') + "1" + std::string(64, ')') + "\n"));

}  // namespace
}  // namespace mensurator
