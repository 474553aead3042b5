#pragma once

#include <gtest/gtest.h>

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

}  // namespace mensurator::test_support
