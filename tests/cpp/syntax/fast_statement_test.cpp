// The fast statement builder against the grammar engine and the node builders, its reference:
// over generated and mutated documents, every statement it takes must build to the same tree or
// the same error, and it must hand on where the engine looks for the next statement.

#include "syntax/fast_statement.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "grammar/parse.hpp"
#include "support/rule_parse.hpp"
#include "syntax/statement_builder.hpp"
#include "syntax/statement_source.hpp"
#include "tree_print.hpp"

namespace mensurator {
namespace {

std::string escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::string outcome_text(const Result<Statement>& statement) {
    return statement ? test_support::statement_text(*statement)
                     : "error: " + statement.error().display();
}

// Where the fast path ends the first statement of `text`, or nothing when it declines.
std::optional<std::size_t> fast_end(std::string_view text) {
    ExprStore store;
    ExprAssembler assembler(store);
    LineCursor lines(text);
    std::optional<Result<Statement>> built;
    return build_fast_statement(text, false, 0, lines, assembler, built);
}

// Documents from the pieces the recognizer handles, the near misses it must leave to the engine,
// and random bytes dropped in.
class DocumentMaker {
  public:
    explicit DocumentMaker(unsigned seed) : random_(seed) {}

    std::string document() {
        std::string text;
        const std::size_t lines = 1 + below(5);
        for (std::size_t i = 0; i < lines; ++i) {
            std::string line = statement();
            if (below(4) == 0) mutate(line);
            text += line;
            text += pick(line_ends);
        }
        return text;
    }

  private:
    static constexpr std::array<std::string_view, 12> names = {
        "x", "y_1", "v_{max}", "\\alpha", "k2", "e", "pi", "alias", "digits", "m", "km", "Ab"};
    static constexpr std::array<std::string_view, 11> numbers = {
        "5", "-2.5", "0.1", "12", "3.", "007", "1", "-0", "1e5", "10", "-7"};
    static constexpr std::array<std::string_view, 18> units = {
        "m",    "km", "m/s",      "kg*m^2", "s^-1", "m s",  "m^ 2", "1/s", "m*1/s",
        "hour", "mA", "kg / m^3", "m^2^3",  "m^",   "m/ s", "(m)",  "Hz",  "g m"};
    static constexpr std::array<std::string_view, 7> operators = {" + ", "-", " * ", "/",
                                                                  " ^ ", "^", "- -"};
    static constexpr std::array<std::string_view, 4> blanks = {"", " ", "  ", "\t"};
    static constexpr std::array<std::string_view, 5> calls = {"max", "sin", "f", "abs", "x"};
    static constexpr std::array<std::string_view, 10> text_statements = {
        "!digits 2", "! digits -0", "!digits 99999999999999999999", "!scientific", "!digits",
        "'''a'''",   "'''''''",     "'''two\nlines''' x = 1",       "'''open",     "'''\u00e9'''"};
    static constexpr std::array<std::string_view, 3> line_ends = {"\n", "\r\n", "\r"};
    static constexpr std::string_view stray = "?=()',!;.\\{}_ \t1aZ*/^-(),,";

    std::mt19937 random_;

    std::size_t below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }

    template <std::size_t N>
    std::string_view pick(const std::array<std::string_view, N>& items) {
        return items[below(N)];
    }

    // Groups and calls nest a few levels deep, and now and then past the nesting limit.
    std::string term(int depth = 0) {
        const std::size_t shape = below(depth < 3 ? 8 : 16);
        if (shape == 0 || shape == 1) {
            const bool call = shape == 0;
            std::string text = call ? std::string(pick(calls)) + std::string(pick(blanks)) : "";
            text += "(";
            text += pick(blanks);
            text += expression(depth + 1);
            for (std::size_t i = call ? below(3) : 0; i > 0; --i) {
                text += pick(blanks);
                text += ",";
                text += pick(blanks);
                text += expression(depth + 1);
            }
            text += pick(blanks);
            text += ")";
            return text;
        }
        if (shape == 2 && depth == 0 && below(50) == 0) {
            const std::size_t levels = 60 + below(8);
            return std::string(levels, '(') + "1" + std::string(levels, ')');
        }
        std::string text(below(3) == 0 ? pick(names) : pick(numbers));
        for (std::size_t i = below(3); i > 0; --i) {
            text += pick(blanks);
            text += " ";
            text += pick(units);
        }
        return text;
    }

    std::string expression(int depth = 0) {
        std::string text = term(depth);
        for (std::size_t i = below(4); i > 0; --i) {
            text += pick(operators);
            text += term(depth);
        }
        return text;
    }

    std::string hint() {
        std::string text = "=";
        text += pick(blanks);
        text += "?";
        text += pick(blanks);
        if (below(2) == 0) text += pick(units);
        return text;
    }

    std::string statement() {
        std::string text(pick(blanks));
        switch (below(8)) {
            case 3:
                return text + std::string(pick(text_statements));
            case 4:
                return text + "alias" + std::string(pick(blanks)) + std::string(pick(names)) +
                       std::string(pick(blanks)) + std::string(pick(names)) +
                       std::string(pick(blanks));
            case 5:
                if (below(2) == 0) return text;  // a line gap
                break;
            default:
                break;
        }
        switch (below(3)) {
            case 0:
                text += pick(names);
                text += pick(blanks);
                text += "=";
                text += pick(blanks);
                text += expression();
                break;
            case 1:
                text += expression();
                text += pick(blanks);
                text += hint();
                break;
            default:
                text += pick(names);
                text += pick(blanks);
                text += "=";
                text += pick(blanks);
                text += expression();
                text += pick(blanks);
                text += hint();
                break;
        }
        text += pick(blanks);
        return text;
    }

    void mutate(std::string& line) {
        const std::size_t at = below(line.size() + 1);
        if (below(2) == 0 && at < line.size()) {
            line.erase(at, 1);
        } else {
            line.insert(at, 1, stray[below(stray.size())]);
        }
    }
};

TEST(FastStatement, BuildsWhatTheEngineNodesBuildForEveryStatementItTakes) {
    DocumentMaker maker(20261208);
    std::size_t taken = 0;
    std::size_t statements = 0;
    for (int document = 0; document < 20000; ++document) {
        const std::string text = maker.document();
        const auto parsed = parse(GrammarRule::program, text);
        if (!parsed) continue;
        const std::vector<ParseNode>& nodes = *parsed;
        ExprStore engine_store;
        ExprStore fast_store;
        ExprAssembler engine_assembler(engine_store);
        ExprAssembler fast_assembler(fast_store);
        LineCursor engine_lines(text);
        LineCursor fast_lines(text);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            ++statements;
            const std::string engine =
                outcome_text(build_statement(nodes[i], text, engine_lines, engine_assembler));
            const std::size_t size_before = fast_store.nodes.size();
            std::optional<Result<Statement>> built;
            const auto fast_next = build_fast_statement(text, false, nodes[i].start, fast_lines,
                                                        fast_assembler, built);
            if (!fast_next) {
                ASSERT_EQ(fast_store.nodes.size(), size_before) << escape(text);
                ASSERT_FALSE(built) << escape(text);
                continue;
            }
            ++taken;
            ASSERT_TRUE(built) << escape(text);
            ASSERT_EQ(outcome_text(*built), engine) << escape(text);
            const std::size_t next = i + 1 < nodes.size() ? nodes[i + 1].start : text.size();
            ASSERT_EQ(*fast_next, next) << escape(text);
        }
    }
    // The comparison means something only if the builder takes a good share of statements.
    EXPECT_GT(taken * 3, statements) << taken << " of " << statements;
}

std::string failure_text(const ParseFailure& failure) {
    return "failure at " + std::to_string(failure.position) +
           (failure.nesting_too_deep ? " too deep\n" : "\n");
}

// Every statement of a document, where it starts and what it builds to, as the grammar engine and
// the node builders alone make it, up to the failure that ends the document.
std::string engine_statements(std::string_view text, bool implied_line_end) {
    StatementStream stream(text, implied_line_end);
    ExprStore store;
    ExprAssembler assembler(store);
    LineCursor lines(text, implied_line_end);
    std::string built;
    for (;;) {
        auto node = stream.next();
        if (!node) return built + failure_text(node.error());
        if (!*node) return built;
        built += std::to_string((**node).start) + " " +
                 outcome_text(build_statement(**node, text, lines, assembler)) + "\n";
    }
}

// The same through the statement source, which takes what it can by the fast path.
std::string source_statements(std::string_view text, bool implied_line_end) {
    ExprStore store;
    StatementSource source(text, implied_line_end, store);
    std::string built;
    for (;;) {
        auto next = source.next();
        if (!next) return built + failure_text(next.error());
        if (!*next) return built;
        built += std::to_string(source.statement_start()) + " " +
                 outcome_text(*(*next)->statement) + "\n";
    }
}

// Whole documents, those the engine fails on included: the fast path must decline every line the
// engine would fail on, so that the same failure ends the document, and everything it takes must
// build as the engine builds it, on the same line.
TEST(FastStatement, SourceBuildsWhatTheEngineBuildsUpToTheSameFailure) {
    DocumentMaker maker(7);
    for (int document = 0; document < 20000; ++document) {
        const std::string text = maker.document();
        const bool implied = document % 2 == 1;
        ASSERT_EQ(source_statements(text, implied), engine_statements(text, implied))
            << escape(text);
    }
}

// The shapes most documents are made of take the fast path; so does an unknown unit, whose
// error the fast path reports as the builders would.
TEST(FastStatement, TakesDefinitionsAndPrintedResults) {
    for (const std::string_view text :
         {"x = 5\n", "v_{2} = 50.5 m/s + 7.6 m/s\n", "x =? km/hour\n", "a = 2 * v =?\r\n",
          "E = m * c^2 =? J\r", "k = -3 kg*m^2/s^2 - y_1 \n", "\\alpha = 1 m s\n",
          "x = 1 qq =? zz\n", "y = max(a, 2 m) * (b - 1) =? km\n", "z = f ( (1) ) \n", "'''a'''",
          "!digits 2\n", "! scientific \r\n", "alias a \\beta\n", "\n", "!digits 5000\n"}) {
        EXPECT_EQ(fast_end(text), text.size()) << escape(text);
    }
}

// Brackets as deep as the engine allows are taken; one level deeper, the engine must report them.
TEST(FastStatement, StopsAtTheNestingLimit) {
    const auto nested = [](std::size_t levels) {
        return "x = " + std::string(levels, '(') + "1" + std::string(levels, ')') + "\n";
    };
    const std::string deepest = nested(max_nesting_depth);
    EXPECT_EQ(fast_end(deepest), deepest.size());
    EXPECT_FALSE(fast_end(nested(max_nesting_depth + 1)));
}

// Statements the engine fails on are never taken: the engine must report them.
TEST(FastStatement, LeavesFailingAndOtherStatementsToTheEngine) {
    for (const std::string_view text :
         {"x = 5 6\n", "x = \n", "x = 5 ?\n", "= 5\n", "x = (1\n", "f(1,) =?\n", "'''a x = 1\n",
          "!digits\n", "alias a\n", "   \n", "x = 5 m*1/s\n", "x = 5", "x = 5 '''a'''\n",
          "x =? m =? m\n"}) {
        EXPECT_FALSE(fast_end(text)) << escape(text);
    }
}

}  // namespace
}  // namespace mensurator
