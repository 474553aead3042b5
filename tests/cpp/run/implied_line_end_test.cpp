// Reading a text as if one line feed followed it gives what appending one gives: documents,
// errors and their line and column, also where the text ends inside a CR LF pair, a LaTeX block,
// a bracket or a statement of either path.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "run/run_document.hpp"

namespace mensurator {
namespace {

std::string outcome(std::string_view text, bool implied_line_end) {
    const Result<std::string> document = run_document(text, {.implied_line_end = implied_line_end});
    return document ? *document : "error: " + document.error().display();
}

TEST(ImpliedLineEnd, EqualsAnAppendedLineFeed) {
    const std::string_view endings[] = {"",      "\n",  "\r",   "\r\n",  "\n\n", " ",
                                        "\t\r",  "'''", "'''a", "?",     "=?",   "(",
                                        "max(1", " m",  " m\r", "=? km", "é",    "\n '''x"};
    const std::string_view starts[] = {"",          "x = 1",       "x = 1 m + 2 m",
                                       "x =? ",     "!digits 2\n", "alias a \\alpha",
                                       "'''b'''\n", "y = (2",      "q = 1 zz"};
    for (const std::string_view start : starts) {
        for (const std::string_view ending : endings) {
            const std::string text = std::string(start) + std::string(ending);
            EXPECT_EQ(outcome(text, true), outcome(text + "\n", false)) << text;
        }
    }
}

}  // namespace
}  // namespace mensurator
