// Operator chains as long as a document line can make them: evaluation and rendering must walk
// them without deep recursion and in linear time.

#include <gtest/gtest.h>

#include <string>

#include "eval/evaluate.hpp"
#include "latex/render_expression.hpp"
#include "support/test_entry_points.hpp"
#include "syntax/tree_builders.hpp"

namespace mensurator {
namespace {

using namespace mensurator::test_support;

constexpr int terms = 100'000;

TEST(LongChain, SumOfOneHundredThousandTerms) {
    Expr chain = lit(1);
    for (int i = 1; i < terms; ++i) chain = add(std::move(chain), lit(1));

    const Result<Value> value = evaluate(chain, {});
    ASSERT_TRUE(value.has_value()) << value.error().display();
    EXPECT_NEAR(to_plain_number(*value), terms, terms * 1e-9);  // each sum is rounded

    const Result<std::string> text = render_expression(chain, FormatSettings{});
    ASSERT_TRUE(text.has_value());
    ASSERT_EQ(text->size(), std::size_t{terms} + std::size_t{terms - 1} * 3);
    EXPECT_EQ(text->substr(0, 9), "1 + 1 + 1");
    EXPECT_EQ(text->substr(text->size() - 5), "1 + 1");
}

TEST(LongChain, FailureAtTheEndOfALongChain) {
    Expr chain = lit(1);
    for (int i = 1; i < terms; ++i) chain = mul(std::move(chain), lit(1));
    chain = add(std::move(chain), var("missing"));
    const Result<Value> value = evaluate(chain, {});
    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error().display(), "missing is not a variable or a valid unit");
}

TEST(LongChain, NestedFractionsAndParentheses) {
    // ((...((1 / 2) / (2)) ...) / (2)), each numerator written in parentheses.
    Expr chain = lit(1);
    for (int i = 1; i < terms; ++i) chain = div(paren(std::move(chain)), paren(lit(2)));

    const Result<std::string> text = render_expression(chain, FormatSettings{});
    ASSERT_TRUE(text.has_value());
    // Each level drops both written pairs: "\frac{" ... "}{2}".
    ASSERT_EQ(text->size(), std::size_t{terms - 1} * 10 + 1);
    EXPECT_EQ(text->substr(0, 12), "\\frac{\\frac{");
    EXPECT_EQ(text->substr(text->size() - 8), "}{2}}{2}");

    const Result<Value> value = evaluate(chain, {});
    ASSERT_TRUE(value.has_value()) << value.error().display();
    EXPECT_EQ(to_plain_number(*value), 0.0);  // 2^-99999 is far below the double range
}

TEST(LongChain, PowerTowerAndParenthesesOnTheLeft) {
    Expr tower = lit(2);
    for (int i = 1; i < terms; ++i) tower = pow(std::move(tower), lit(1));
    const Result<std::string> text = render_expression(tower, FormatSettings{});
    ASSERT_TRUE(text.has_value());
    // Every base but the innermost is itself a power and is parenthesised.
    std::string expected(terms - 2, '(');
    expected += "2^{1}";
    for (int i = 2; i < terms; ++i) expected += ")^{1}";
    EXPECT_EQ(*text, expected);
    EXPECT_DOUBLE_EQ(to_plain_number(*evaluate(tower, {})), 2);

    Expr nested = var("x");
    for (int i = 1; i < terms; ++i) nested = paren(std::move(nested));
    const Result<std::string> parens = render_expression(nested, FormatSettings{});
    ASSERT_TRUE(parens.has_value());
    EXPECT_EQ(*parens, std::string(terms - 1, '(') + "x" + std::string(terms - 1, ')'));
    const VariableTable variables{{"x", Value{4, Unit{}}}};
    EXPECT_EQ(to_plain_number(*evaluate(nested, variables)), 4);
}

}  // namespace
}  // namespace mensurator
