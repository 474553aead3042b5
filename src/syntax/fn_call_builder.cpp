#include "syntax/fn_call_builder.hpp"

#include "syntax/expr_builder.hpp"

namespace mensurator {

Result<FnCall> parse_fn_call(const ParseNode& node, std::string_view source) {
    if (node.rule != GrammarRule::fn_call) throw InternalError("parse_fn_call: not a fn_call");
    if (node.children.empty()) return fail(RunError::other("Invalid function"));
    FnCall call{std::string(node.children.front().text(source)), {}};
    call.args.reserve(node.children.size() - 1);
    for (std::size_t i = 1; i < node.children.size(); ++i) {
        Result<Expr> arg = parse_expression(node.children[i], source);
        if (!arg) return fail(arg.error());
        call.args.push_back(std::move(*arg));
    }
    return call;
}

}  // namespace mensurator
