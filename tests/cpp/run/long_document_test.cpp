// Documents with very long lines and many lines: they run in full, without exhausting the stack.

#include <gtest/gtest.h>

#include <string>

#include "run/run_document.hpp"

namespace mensurator {
namespace {

constexpr int terms = 100'000;

const std::string preamble = "\\documentclass{article}\n\\begin{document}\n";

TEST(LongDocument, SumOfOneHundredThousandTerms) {
    std::string sum = "1";
    for (int i = 1; i < terms; ++i) sum += " + 1";
    // The sum is rounded in every step; with no decimals it is shown as the whole number.
    const Result<std::string> output = run_document("!digits 0\nx = " + sum + "\nx =?\n");
    ASSERT_TRUE(output.has_value()) << output.error().display();
    EXPECT_EQ(*output, preamble + "$x = " + sum + "$\\\\\n$x = 100000$\\\\\n\\end{document}");
}

TEST(LongDocument, UnitChainOfOneHundredThousandFactors) {
    // m/s*s/s*s... : an odd number of operators leaves metre per second.
    std::string unit = "m";
    for (int i = 1; i < terms; ++i) unit += i % 2 == 1 ? "/s" : "*s";
    const Result<std::string> output = run_document("x = 5 " + unit + "\nx =?\n");
    ASSERT_TRUE(output.has_value()) << output.error().display();

    const std::string value_line = "$x = 5 \\ \\mathrm{\\frac{ m\\,}{ s\\,}}$\\\\\n\\end{document}";
    ASSERT_TRUE(output->ends_with(value_line));
    const std::string definition = output->substr(0, output->size() - value_line.size());
    EXPECT_TRUE(definition.starts_with(preamble + "$x = 5\\ \\mathrm{\\mathrm{\\frac{\\mathrm{"));
    EXPECT_TRUE(definition.ends_with(" \\ \\mathrm{s}}}{\\mathrm{s}}}}$\\\\\n"));
    const std::size_t divisions = terms / 2;
    const std::size_t products = terms - 1 - divisions;
    const std::size_t unit_latex =
        std::string("\\mathrm{m}").size() +
        divisions * std::string("\\mathrm{\\frac{}{\\mathrm{s}}}").size() +
        products * std::string("\\mathrm{ \\ \\mathrm{s}}").size();
    EXPECT_EQ(definition.size(),
              preamble.size() + std::string("$x = 5\\ \\mathrm{}$\\\\\n").size() + unit_latex);
}

TEST(LongDocument, ManyStatements) {
    std::string input;
    for (int i = 0; i < 20'000; ++i) input += "x = x + 1\n";
    const Result<std::string> output = run_document("!digits 0\nx = 0\n" + input + "x =?\n");
    ASSERT_TRUE(output.has_value()) << output.error().display();
    EXPECT_TRUE(output->ends_with("$x = x + 1$\\\\\n$x = 20000$\\\\\n\\end{document}"));
}

}  // namespace
}  // namespace mensurator
