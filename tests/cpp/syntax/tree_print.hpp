#pragma once

// Compact one-line forms of syntax trees, so that builder tests compare trees as short strings:
//   Add(1, Mul(2, 3))           operators with their operands
//   WithUnit[m s^-1](3)         a unit annotation with its evaluated unit
//   UDiv([g e3], UPow{2}([s]))  a unit expression; leaves show their unit
//   UMul("kg", "m")             a unit expression as written; leaves show their text
//   L2 VarDec["x"](5)           a statement with its line

#include <expected>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "grammar/parse.hpp"
#include "grammar/parse_node.hpp"
#include "quantity/unit.hpp"
#include "syntax/tree.hpp"

namespace mensurator::test_support {

// Dimensions in base order ("m s^-1"), then " e{exp10}" and " f{factor}" when not 0 and 1;
// "1" for the identity unit.
std::string unit_text(const Unit& unit);

std::string expr_text(const Expr& expr);
std::string unit_expr_text(const UnitExpr& tree);
std::string naive_text(const NaiveUnit& tree);
std::string statement_text(const Statement& statement);

// Parses a whole document from `program` and builds its statements: one statement_text per line,
// or "error: {display}" for a failing statement, or "parse failure L:C" / "too deep L:C".
std::string build_document(std::string_view text);

// The expression of the one-line document "x = {expression}" plus a line feed, built; or the
// error as in build_document.
std::string build_expression(std::string_view expression);

// The first node of `rule` in a depth-first walk of the parse of `text`, or nullptr.
const ParseNode* find_node(const std::vector<ParseNode>& nodes, GrammarRule rule);

// A parsed document kept together with its text, which the nodes point into.
struct ParsedDocument {
    std::string text;
    std::expected<std::vector<ParseNode>, ParseFailure> nodes;

    explicit ParsedDocument(std::string document);

    // The first node of `rule`, or nullptr (also when the document did not parse).
    const ParseNode* find(GrammarRule rule) const;

    // The unit node of the first print statement's hint, or nullptr.
    const ParseNode* hint() const;
};

// The document "x =? {unit}" plus a line feed, parsed.
ParsedDocument unit_hint_document(std::string_view unit);

// A written expression and the tree build_expression gives for it.
struct ExpressionCase {
    std::string expression;
    std::string tree;
};

inline void PrintTo(const ExpressionCase& c, std::ostream* os) {
    *os << c.expression;
}

}  // namespace mensurator::test_support
