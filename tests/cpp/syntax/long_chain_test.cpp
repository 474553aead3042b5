// One document line may hold an operator chain of any length. Building, copying and releasing
// such trees must not recurse along the chain. The checks below walk the trees with loops.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "grammar/parse.hpp"
#include "support/rule_parse.hpp"
#include "support/test_entry_points.hpp"
#include "syntax/naive_string.hpp"
#include "syntax/statement_builder.hpp"
#include "syntax/unit_builder.hpp"
#include "tree_print.hpp"

namespace mensurator {
namespace {

constexpr int terms = 100'000;

// Number of operands of a flat chain of `kind` whose operands are all the literal 1, or -1 when
// the tree is not such a chain.
int chain_operands(const Expr& expr, OperatorKind kind) {
    const ExprStore& store = *expr.store;
    const ExprNode& root = store[expr.root];
    if (root.kind != ExprKind::Chain) return -1;
    int count = 0;
    for (NodeIndex operand = root.link.first; operand != no_node; operand = store[operand].next) {
        const ExprNode& node = store[operand];
        if (node.kind != ExprKind::Number || node.number != 1.0) return -1;
        if (count > 0 && node.op != kind) return -1;
        ++count;
    }
    return count;
}

std::string chain_text(const char* op, int count) {
    std::string text = "1";
    for (int i = 1; i < count; ++i) text += std::string(" ") + op + " 1";
    return text;
}

Result<std::vector<Statement>> build(const std::string& text, ExprStore& store) {
    const auto nodes = parse(GrammarRule::program, text);
    if (!nodes) return fail(RunError::other("parse failure"));
    return build_statements(*nodes, text, store);
}

// Operators of one level written in a row make one node with an operand per term, not a tree
// as deep as the chain is long.
TEST(LongChain, ChainsOfOneHundredThousandTermsAreFlat) {
    for (const auto& [op, kind] :
         {std::pair{"+", OperatorKind::Add}, std::pair{"*", OperatorKind::Mul},
          std::pair{"^", OperatorKind::Pow}}) {
        const std::string text = "x = " + chain_text(op, terms) + "\n";
        ExprStore store;
        Result<std::vector<Statement>> statements = build(text, store);
        ASSERT_TRUE(statements.has_value()) << statements.error().display();
        ASSERT_EQ(statements->size(), 1u);
        EXPECT_EQ(chain_operands(std::get<VarDec>(statements->front().kind).expr, kind), terms)
            << op;
        EXPECT_EQ(store.nodes.size(), static_cast<std::size_t>(terms) + 1) << op;
    }
}

// m/s*s/s*s... with `factors` unit names.
std::string unit_chain(int factors) {
    std::string text = "m";
    for (int i = 1; i < factors; ++i) text += i % 2 == 1 ? "/s" : "*s";
    return text;
}

template <class Tree>
int unit_chain_length(const Tree& root) {
    int length = 0;
    const Tree* node = &root;
    while (!node->is_leaf()) {
        const UnitOp op = std::get<UnitOp>(node->node);
        // From the outside in, starting with the last operator written: with an odd number of
        // operators that is a division.
        const UnitOpKind expected = length % 2 == 0 ? UnitOpKind::UnitDiv : UnitOpKind::UnitMul;
        if (node->operands.size() != 2 || op.kind != expected) return -1;
        ++length;
        node = &node->operands[0];
    }
    return length;
}

TEST(LongChain, UnitChainOfOneHundredThousandFactors) {
    const test_support::ParsedDocument document =
        test_support::unit_hint_document(unit_chain(terms));
    ASSERT_TRUE(document.nodes.has_value());
    ASSERT_NE(document.hint(), nullptr);
    const std::string& text = document.text;
    const ParseNode& hint = *document.hint();

    const Result<UnitExpr> evaluated = build_unit_expr(hint, text);
    ASSERT_TRUE(evaluated.has_value()) << evaluated.error().display();
    EXPECT_EQ(unit_chain_length(*evaluated), terms - 1);
    UnitExpr evaluated_copy = *evaluated;
    EXPECT_EQ(unit_chain_length(evaluated_copy), terms - 1);

    const Result<NaiveUnit> written = parse_naive_unit(hint, text);
    ASSERT_TRUE(written.has_value()) << written.error().display();
    NaiveUnit written_copy = *written;
    EXPECT_EQ(unit_chain_length(written_copy), terms - 1);

    // With an odd number of operators the outermost one is a division.
    const Result<std::string> latex = naive_to_latex(written_copy);
    ASSERT_TRUE(latex.has_value());
    const std::size_t divisions = terms / 2;
    const std::size_t products = terms - 1 - divisions;
    const std::size_t division_size = std::string("\\mathrm{\\frac{}{\\mathrm{s}}}").size();
    const std::size_t product_size = std::string("\\mathrm{ \\ \\mathrm{s}}").size();
    EXPECT_EQ(latex->size(), std::string("\\mathrm{m}").size() + divisions * division_size +
                                 products * product_size);
    EXPECT_TRUE(latex->starts_with("\\mathrm{\\frac{\\mathrm{\\mathrm{\\frac{"));
    EXPECT_TRUE(latex->ends_with(" \\ \\mathrm{s}}}{\\mathrm{s}}}"));

    // The whole statement builds, evaluating the chain into one unit.
    ExprStore store;
    const Result<std::vector<Statement>> statements =
        build_statements(*document.nodes, text, store);
    ASSERT_TRUE(statements.has_value()) << statements.error().display();
    const auto& unit_hint = std::get<PrintExpr>(statements->front().kind).unit_hint;
    ASSERT_NE(unit_hint, nullptr);
    EXPECT_EQ(test_support::unit_text(unit_hint->unit), "m s^-1");
}

}  // namespace
}  // namespace mensurator
