#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "grammar/grammar_rule.hpp"
#include "grammar/parse.hpp"
#include "grammar/parse_node.hpp"

namespace mensurator::test_support {

// Text with line ends, tabs, backslashes and quotes escaped and bytes from 0x80 up written as
// \xHH, so that rendered trees fit on one line and show every byte.
std::string escape(std::string_view text);

// Compact form of a node list: an inner node as rule(children), a leaf as rule"text"; nodes
// separated by one space. Example: statement(var_dec(ident"x" expression(number"5"))).
std::string shape(std::string_view text, const std::vector<ParseNode>& nodes);

// Like shape, but every node carries its text: rule"text"(children).
std::string spans(std::string_view text, const std::vector<ParseNode>& nodes);

// One line for a parse outcome: the compact tree on success; "failure L:C" for a syntax error
// and "too deep L:C" for the nesting limit.
std::string outcome(GrammarRule start, std::string_view text);

// Every node lies within the text and within its parent, children in order without overlap,
// and no node boundary splits a multi-byte character (the text must be valid UTF-8).
::testing::AssertionResult well_formed(std::string_view text, const std::vector<ParseNode>& nodes);

// The statements of a successful document parse cover the text: only line ends and blanks
// before the first, only blanks between two, and only blanks after the last.
::testing::AssertionResult covers_document(std::string_view text,
                                           const std::vector<ParseNode>& statements);

// Depth of the deepest chain of nodes of `rule` nested in one another.
std::size_t nesting_of(GrammarRule rule, const std::vector<ParseNode>& nodes);

// Rows of the grammar tests' tables.

// A text and the tree it parses into, in the form of shape, spans or outcome.
struct TextCase {
    std::string_view text;
    std::string_view tree;
};

// A text matched from one start rule: the nodes produced and how much of the text the match took
// (rules other than `program` need not reach the end).
struct RuleCase {
    GrammarRule start;
    std::string_view text;
    std::string_view tree;
    std::string_view matched;
};

// A text that one start rule does not match, and the outcome.
struct RejectCase {
    GrammarRule start;
    std::string_view text;
    std::string_view failure = "failure 1:1";
};

// A place in a text: its byte offset and its line and column.
struct PositionCase {
    std::string_view text;
    std::size_t offset;
    std::size_t line;
    std::size_t column;
};

// Shows a row in GoogleTest's messages by its input, escaped to one line: the start rule when
// the row has one, the text, and the offset when the row has one. Found by argument-dependent
// lookup for the rows above; a test file's own row type with a `text` member gets it with
// `using test_support::PrintTo;`.
template <class Case>
    requires requires(const Case& c) { escape(c.text); }
void PrintTo(const Case& c, std::ostream* os) {
    if constexpr (requires { c.start; }) *os << rule_name(c.start) << " on ";
    *os << '"' << escape(c.text) << '"';
    if constexpr (requires { c.offset; }) *os << " at " << c.offset;
}

}  // namespace mensurator::test_support
