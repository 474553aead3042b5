#include "grammar/tree_text.hpp"

#include <algorithm>
#include <cstdio>

#include "support/rule_parse.hpp"

namespace mensurator::test_support {

namespace {

void render(std::string_view text, const ParseNode& node, bool all_texts, std::string& out) {
    out += rule_name(node.rule);
    if (all_texts || node.children.empty()) {
        out += '"';
        out += escape(node.text(text));
        out += '"';
    }
    if (node.children.empty()) return;
    out += '(';
    for (std::size_t i = 0; i < node.children.size(); ++i) {
        if (i > 0) out += ' ';
        render(text, node.children[i], all_texts, out);
    }
    out += ')';
}

std::string render_list(std::string_view text, const std::vector<ParseNode>& nodes,
                        bool all_texts) {
    std::string out;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (i > 0) out += ' ';
        render(text, nodes[i], all_texts, out);
    }
    return out;
}

bool is_continuation(std::string_view text, std::size_t at) {
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

::testing::AssertionResult check_list(std::string_view text, const std::vector<ParseNode>& nodes,
                                      std::size_t from, std::size_t to) {
    std::size_t previous_end = from;
    for (const ParseNode& node : nodes) {
        const std::string what = std::string(rule_name(node.rule)) + " at " +
                                 std::to_string(node.start) + ".." + std::to_string(node.end);
        if (node.start > node.end || node.end > to) {
            return ::testing::AssertionFailure() << what << " leaves its parent or the text";
        }
        if (node.start < previous_end) {
            return ::testing::AssertionFailure() << what << " overlaps or precedes its sibling";
        }
        if (is_continuation(text, node.start) || is_continuation(text, node.end)) {
            return ::testing::AssertionFailure() << what << " splits a character";
        }
        if (auto inner = check_list(text, node.children, node.start, node.end); !inner) {
            return inner;
        }
        previous_end = node.end;
    }
    return ::testing::AssertionSuccess();
}

bool only(std::string_view text, std::size_t from, std::size_t to, bool line_ends_too) {
    for (std::size_t i = from; i < to; ++i) {
        const char c = text[i];
        if (!is_blank(c) && !(line_ends_too && (c == '\n' || c == '\r'))) return false;
    }
    return true;
}

}  // namespace

std::string escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            default:
                if (byte >= 0x80) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string shape(std::string_view text, const std::vector<ParseNode>& nodes) {
    return render_list(text, nodes, false);
}

std::string spans(std::string_view text, const std::vector<ParseNode>& nodes) {
    return render_list(text, nodes, true);
}

std::string outcome(GrammarRule start, std::string_view text) {
    const auto result = parse(start, text);
    if (result) return shape(text, *result);
    const ParseFailure& failure = result.error();
    return (failure.nesting_too_deep ? "too deep " : "failure ") + std::to_string(failure.line) +
           ":" + std::to_string(failure.column);
}

::testing::AssertionResult well_formed(std::string_view text, const std::vector<ParseNode>& nodes) {
    return check_list(text, nodes, 0, text.size());
}

::testing::AssertionResult covers_document(std::string_view text,
                                           const std::vector<ParseNode>& statements) {
    std::size_t previous_end = 0;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        const ParseNode& statement = statements[i];
        if (statement.rule != GrammarRule::statement) {
            return ::testing::AssertionFailure()
                   << "top-level node " << i << " is " << rule_name(statement.rule);
        }
        if (!only(text, previous_end, statement.start, i == 0)) {
            return ::testing::AssertionFailure()
                   << "unmatched text before statement " << i << ": \""
                   << escape(text.substr(previous_end, statement.start - previous_end)) << '"';
        }
        previous_end = statement.end;
    }
    if (!only(text, previous_end, text.size(), statements.empty())) {
        return ::testing::AssertionFailure() << "unmatched text after the last statement: \""
                                             << escape(text.substr(previous_end)) << '"';
    }
    return ::testing::AssertionSuccess();
}

std::size_t nesting_of(GrammarRule rule, const std::vector<ParseNode>& nodes) {
    // Iterative, so that deeply nested trees do not need a deep stack here either.
    struct Frame {
        const ParseNode* node;
        std::size_t depth;
    };
    std::vector<Frame> pending;
    for (const ParseNode& node : nodes) pending.push_back({&node, 0});
    std::size_t deepest = 0;
    while (!pending.empty()) {
        const Frame frame = pending.back();
        pending.pop_back();
        const std::size_t depth = frame.depth + (frame.node->rule == rule ? 1 : 0);
        deepest = std::max(deepest, depth);
        for (const ParseNode& child : frame.node->children) pending.push_back({&child, depth});
    }
    return deepest;
}

}  // namespace mensurator::test_support
