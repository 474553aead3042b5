// The structured run and diagnose against run_document: the same output and first error, with
// records of each statement and every problem of a document.

#include "run/structured_run.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/diagnose.hpp"
#include "run/run_document.hpp"

namespace mensurator {
namespace {

const std::vector<std::string> documents = {
    "x = 1 m\ny = x * 2 =? cm\n",
    "alias v v_{0}\nv = 5 km/hour\nE = 2 * v =? m/s\n'''\n\\par\n'''\n!digits 4\n\n!scientific\n",
    "L = 6 m\nq = 2 kN/m * L =?\nrho = 0.0175 ohm*mm^2/m\n5 (m/s)^2 =?\ny = 0.002 =?\n",
    "x = 1 parsec\ny = x + 1 =?\n",
    "x = 5 6\ny = 1 m\n",
    "a = 1 m + 1 s =?\nb = 2 parsec\nc = 3 4\n",
    "1 m =? s\nsqrt(1, 2) =?\nnosuch(1) =?\n",
    "'''\nnever closed\n",
    "",
};

TEST(StructuredRun, GivesRunDocumentsOutputOrError) {
    for (const std::string& text : documents) {
        const Result<std::string> plain = run_document(text, {.implied_line_end = true});
        Result<StructuredRun> structured = run_structured(text, {.implied_line_end = true});
        ASSERT_EQ(plain.has_value(), structured.has_value()) << text;
        if (plain) {
            EXPECT_EQ(*plain, std::move(structured->latex).joined()) << text;
            for (const DocumentProblem& warning : structured->warnings)
                EXPECT_EQ(warning.severity, Severity::warning) << text;
        } else {
            EXPECT_EQ(plain.error().display(), structured.error().display()) << text;
        }
    }
}

TEST(StructuredRun, RecordsEachStatement) {
    const std::string& text = documents[1];
    Result<StructuredRun> run = run_structured(text, {});
    ASSERT_TRUE(run.has_value());
    const std::string latex = std::move(run->latex).joined();
    const std::vector<StatementRecord>& s = run->statements;
    ASSERT_GE(s.size(), 6u);
    EXPECT_EQ(s[0].kind, StatementKind::alias);
    EXPECT_EQ(s[0].name, "v_{0}");
    EXPECT_EQ(s[1].kind, StatementKind::definition);
    EXPECT_EQ(s[1].name, "v_{0}");
    ASSERT_TRUE(s[1].value.has_value());
    EXPECT_EQ(s[1].value->unit.dimensions[0].numerator, 1);   // m
    EXPECT_EQ(s[1].value->unit.dimensions[2].numerator, -1);  // s^-1
    EXPECT_EQ(s[2].kind, StatementKind::definition_print);
    ASSERT_TRUE(s[2].hint && s[2].expression && s[2].printed);
    EXPECT_EQ(s[2].hint->of(text), "m/s");
    EXPECT_EQ(s[2].expression->of(latex), "2 \\times v_{0}");
    EXPECT_EQ(s[2].printed->of(latex),
              "$E = 2 \\times v_{0} = 2.778 \\ \\mathrm{\\frac{\\mathrm{m}}{\\mathrm{s}}}$\\\\");
    EXPECT_EQ(latex[s[2].printed->offset + s[2].printed->size], '\n');
    EXPECT_EQ(s[3].kind, StatementKind::latex);
    EXPECT_EQ(s[3].first_line, 4u);
    EXPECT_EQ(s[3].last_line, 6u);
    EXPECT_FALSE(s[3].printed.has_value());
}

// A long document's output is cut into pieces; the spans are of the whole.
TEST(StructuredRun, SpansAreOfTheJoinedDocument) {
    std::string text;
    for (int i = 0; i < 40000; ++i)
        text += "x_{" + std::to_string(i) + "} = " + std::to_string(i) + " m =? cm\n";
    Result<StructuredRun> run = run_structured(text, {});
    ASSERT_TRUE(run.has_value());
    ASSERT_GT(run->latex.pieces.size(), 1u);
    const std::string latex = std::move(run->latex).joined();
    ASSERT_EQ(run->statements.size(), 40000u);
    for (std::size_t i = 0; i < run->statements.size(); i += 997) {
        const StatementRecord& record = run->statements[i];
        ASSERT_TRUE(record.printed.has_value());
        EXPECT_EQ(record.printed->of(latex).substr(0, 5 + std::to_string(i).size()),
                  "$x_{" + std::to_string(i) + "}");
    }
}

TEST(Diagnose, FirstErrorIsRunDocumentsError) {
    for (const std::string& text : documents) {
        const Result<std::string> plain = run_document(text, {.implied_line_end = true});
        const Problems problems = diagnose_document(text, {.implied_line_end = true});
        if (plain) {
            for (const DocumentProblem& problem : problems)
                EXPECT_EQ(problem.severity, Severity::warning) << text;
            continue;
        }
        ASSERT_FALSE(problems.empty()) << text;
        EXPECT_EQ(problems.front().severity, Severity::error);
        EXPECT_EQ(problems.front().message, plain.error().display()) << text;
    }
}

std::vector<std::string> codes(const Problems& problems) {
    std::vector<std::string> found;
    for (const DocumentProblem& problem : problems) found.push_back(problem.code);
    return found;
}

TEST(Diagnose, GoesOnAfterEachFailure) {
    EXPECT_EQ(codes(diagnose_document(documents[6])),
              (std::vector<std::string>{"unit-mismatch", "argument-count", "unknown-function"}));
    // The parse failure on line 3 is what run_document reports, so it comes first.
    const Problems mixed = diagnose_document(documents[5]);
    EXPECT_EQ(codes(mixed),
              (std::vector<std::string>{"parse-error", "unit-mismatch", "unknown-unit"}));
    EXPECT_EQ(mixed[0].line, 3u);
    EXPECT_EQ(mixed[2].column, 7u);
    EXPECT_EQ(mixed[2].name, "parsec");
}

TEST(Diagnose, UsesOfAFailedDefinitionAreNotedOnce) {
    const Problems problems = diagnose_document("x = 1 parsec\ny = x + 1\nz = y + x =?\n");
    EXPECT_EQ(codes(problems), (std::vector<std::string>{"unknown-unit", "depends-on-failed"}));
    EXPECT_EQ(problems[1].line, 2u);
    EXPECT_EQ(problems[1].name, "x");
}

TEST(Diagnose, AnUnclosedLatexBlockEndsTheDocument) {
    const Problems problems = diagnose_document(documents[7] + "x = 1 parsec\n");
    const Result<std::string> plain = run_document(documents[7] + "x = 1 parsec\n");
    ASSERT_FALSE(plain.has_value());
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems.front().message, plain.error().display());
    EXPECT_EQ(codes(problems), (std::vector<std::string>{"invalid-statement"}));
}

}  // namespace
}  // namespace mensurator
