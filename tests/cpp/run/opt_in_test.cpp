// Documents with the opt-in directives, and runs started with them: the options act as lines at
// the top without moving line numbers, each switch holds from its line on, and long unit
// chains typeset under !symbols without deep recursion.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "run/run_document.hpp"

namespace mensurator {
namespace {

std::string outcome(std::string_view text, OptIns opt_ins = {}) {
    const Result<std::string> document =
        run_document(text, {.implied_line_end = true, .opt_ins = opt_ins});
    return document ? *document : "error: " + document.error().display();
}

TEST(OptIns, ActAsDirectiveLinesAtTheTop) {
    const std::string_view body = "p = 50.1234 psi\np =? kPa\nf = sqrt(2) * 3 mohm";
    const std::string lines = "!units extended\n!sigfigs 3\n!symbols\n" + std::string(body);
    EXPECT_EQ(outcome(body, {3, true, true}), outcome(lines));
    EXPECT_NE(outcome(lines).find("346 \\ \\mathrm{kPa}"), std::string::npos);
    EXPECT_EQ(outcome("x = 1 ft\ny = 2 zz", {.extended_units = true}),
              "error: Line 2: zz is not a variable or a valid unit");
}

TEST(OptIns, HoldFromTheirLineOn) {
    EXPECT_EQ(outcome("x = 1 ft\n!units extended"),
              "error: Line 1: ft is not a variable or a valid unit");
    const std::string document = outcome("x = 2 hz\n!symbols\ny = 2 hz\n!sigfigs 2\nz = 1.0\nz =?");
    EXPECT_NE(document.find("$x = 2\\ \\mathrm{\\mathrm{hz}}$"), std::string::npos) << document;
    EXPECT_NE(document.find("$y = 2\\ \\mathrm{Hz}$"), std::string::npos) << document;
    EXPECT_NE(document.find("$z = 1$"), std::string::npos) << document;
    // A bare unit name in an expression is looked up in the document's table too.
    EXPECT_NE(outcome("!units extended\nx = 3 * ft\nx =? in").find("36 \\ \\mathrm{in}"),
              std::string::npos);
}

TEST(OptIns, MalformedDirectivesStayInvalidStatements) {
    for (const std::string_view line : {"!units", "!units metric", "!symbolsx", "!sigfigs",
                                        "!sigfigs 3 4", "!sigfigs 2.5", "!symbols 1"}) {
        EXPECT_EQ(outcome(line), "error: Line 1: Invalid statement " + std::string(line));
    }
    EXPECT_EQ(outcome("!sigfigs 18"),
              "error: Line 1: Significant figure count 18 is out of range 1..17");
}

TEST(OptIns, TypesetLongUnitChainsIteratively) {
    std::string chain = "x = 1 m";
    for (int i = 0; i < 100000; ++i) chain += "*s/s";
    const std::string document = outcome(chain, {.symbols = true});
    ASSERT_EQ(document.rfind("error", 0), std::string::npos) << document.substr(0, 200);
    EXPECT_NE(document.find("\\frac{\\frac{m\\,s}{s}\\,s}{s}"), std::string::npos);
}

}  // namespace
}  // namespace mensurator
