#pragma once

// Entry points only tests use: whole parsed documents built at once, and LaTeX as strings.
// Each is used only by the test programs that link its stage.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.hpp"
#include "grammar/parse.hpp"
#include "grammar/parse_node.hpp"
#include "latex/render_expression.hpp"
#include "latex/value_latex.hpp"
#include "syntax/expr_assembler.hpp"
#include "syntax/statement_builder.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Builds the statements of a parsed document in order, their expressions into `store`; the
// first failing statement ends the building with its error. The statements refer to the source
// and the store, which must outlive them.
inline Result<std::vector<Statement>> build_statements(const std::vector<ParseNode>& nodes,
                                                       std::string_view source, ExprStore& store) {
    LineCursor lines(source);
    ExprAssembler assembler(store);
    std::vector<Statement> statements;
    statements.reserve(nodes.size());
    for (const ParseNode& node : nodes) {
        Result<Statement> statement = build_statement(node, source, lines, assembler);
        if (!statement) return fail(statement.error());
        statements.push_back(std::move(*statement));
    }
    return statements;
}

// The LaTeX of a value or an expression alone.
inline Result<std::string> render_value(const Value& value, const FormatSettings& settings) {
    std::string text;
    if (Result<void> shown = append_value(value, settings, text); !shown) {
        return fail(std::move(shown.error()));
    }
    return text;
}

inline Result<std::string> render_expression(const Expr& expr, const FormatSettings& settings) {
    std::string text;
    if (Result<void> rendered = append_expression(expr, settings, text); !rendered) {
        return fail(std::move(rendered.error()));
    }
    return text;
}

}  // namespace mensurator
