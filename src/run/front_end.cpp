#include "run/front_end.hpp"

#include <string>

#include "syntax/statement_builder.hpp"

namespace mensurator {

ProgramState seeded_state() {
    ProgramState state;
    state.output = preamble;
    state.aliases.emplace("pi", "\\pi");
    state.variables.insert_or_assign("\\pi", Value{3.141592653589793, Unit{}});
    state.variables.insert_or_assign("e", Value{2.718281828459045, Unit{}});
    return state;
}

RunError parse_failure_error(const ParseFailure& failure) {
    if (failure.nesting_too_deep) {
        return statement_error(failure.line,
                               RunError::other("Brackets are nested more than " +
                                               std::to_string(max_nesting_depth) + " levels deep"));
    }
    return RunError::parse_error(ParsePosition{failure.line, failure.column});
}

Result<ProgramState> front_end(std::string_view text) {
    ProgramState state = seeded_state();
    auto nodes = parse(GrammarRule::program, text);
    if (!nodes) return fail(parse_failure_error(nodes.error()));
    state.expressions = std::make_unique<ExprStore>();
    Result<std::vector<Statement>> statements = parse_statements(*nodes, text, *state.expressions);
    if (!statements) return fail(statements.error());
    state.statements = std::move(*statements);
    return state;
}

}  // namespace mensurator
