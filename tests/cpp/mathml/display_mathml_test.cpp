#include "mathml/display_mathml.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace mensurator {
namespace {

std::string row(std::string_view content) {
    return "<math display=\"block\"><mrow>" + std::string(content) + "</mrow></math>";
}

TEST(DisplayMathml, MarksWhatFollowsTheLastOfTwoTopLevelEqualsSigns) {
    EXPECT_EQ(display_mathml("x = 2"), row("<mi>x</mi><mo>=</mo><mn>2</mn>"));
    EXPECT_EQ(display_mathml("x = 1 = 2.50\\ \\mathrm{m}"),
              row("<mi>x</mi><mo>=</mo><mn>1</mn><mo>=</mo><mrow class=\"result\"><mn>2.50</mn>"
                  "<mtext>\u00a0</mtext><mrow><mrow><mi mathvariant=\"normal\">m</mi></mrow>"
                  "</mrow></mrow>"));
    // An equals sign in a group or under a script does not separate the statement's parts.
    EXPECT_EQ(display_mathml("{a = b} = c"),
              row("<mrow><mi>a</mi><mo>=</mo><mi>b</mi></mrow><mo>=</mo><mi>c</mi>"));
    EXPECT_EQ(display_mathml("a = b =^{2} c"),
              row("<mi>a</mi><mo>=</mo><mi>b</mi><msup><mo>=</mo><mrow><mn>2</mn></mrow></msup>"
                  "<mi>c</mi>"));
}

TEST(DisplayMathml, ScriptsWrapTheWholePreviousElementSubscriptFirst) {
    EXPECT_EQ(display_mathml("x_12"), row("<msub><mi>x</mi><mn>1</mn></msub><mn>2</mn>"));
    const std::string both =
        row("<msubsup><mi>x</mi><mrow><mi>a</mi></mrow><mrow><mn>2</mn></mrow></msubsup>");
    EXPECT_EQ(display_mathml("x_{a}^{2}"), both);
    EXPECT_EQ(display_mathml("x^{2}_{a}"), both);
    EXPECT_EQ(display_mathml("\\mathrm{cm}^{3}"),
              row("<msup><mrow><mi mathvariant=\"normal\">c</mi><mi mathvariant=\"normal\">m</mi>"
                  "</mrow><mrow><mn>3</mn></mrow></msup>"));
    EXPECT_EQ(display_mathml("(a)^{2}"),
              row("<mo stretchy=\"false\">(</mo><mi>a</mi><msup><mo stretchy=\"false\">)</mo>"
                  "<mrow><mn>2</mn></mrow></msup>"));
}

TEST(DisplayMathml, LeavesWhatItDoesNotKnowToTheCaller) {
    for (std::string_view latex :
         {"", " ", "\\mathbf{x}", "\\pia = 1", "x'", "x^{2}^{3}", "x_{a}^{b}_{c}", "{x", "x}", "_2",
          "1.", ".5", "1.2.3", "x_1.5", "\\frac1 2", "a < b", "\\", "x\r"}) {
        EXPECT_EQ(display_mathml(latex), std::nullopt) << latex;
    }
}

TEST(DisplayMathml, NestingIsBoundedAndLongLinesAreWritten) {
    const std::string deep = std::string(65, '{') + "x" + std::string(65, '}');
    EXPECT_EQ(display_mathml(deep), std::nullopt);
    const std::string shallow = std::string(64, '{') + "x" + std::string(64, '}');
    EXPECT_TRUE(display_mathml(shallow).has_value());
    std::string sum = "x";
    for (int i = 0; i < 100000; ++i) sum += "+x_{1}^{2}";
    const std::optional<std::string> written = display_mathml(sum);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->size(), row("<mi>x</mi>").size() +
                                   100000 * std::string_view("<mo>+</mo><msubsup><mi>x</mi><mrow>"
                                                             "<mn>1</mn></mrow><mrow><mn>2</mn>"
                                                             "</mrow></msubsup>")
                                                .size());
}

}  // namespace
}  // namespace mensurator
