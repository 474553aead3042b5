#include "latex/function_latex.hpp"

#include <algorithm>
#include <array>

namespace mensurator {

namespace {

struct PrintedFunction {
    std::string_view name;
    std::string_view open;
    std::string_view close;
};

// Only commands of plain LaTeX, so that a document needs no package.
constexpr auto printed_functions = std::to_array<PrintedFunction>({
    {"sqrt", "\\sqrt{", "}"},
    {"cbrt", "\\sqrt[3]{", "}"},
    {"abs", "\\left|", "\\right|"},
    {"ceil", "\\left\\lceil ", "\\right\\rceil "},
    {"floor", "\\left\\lfloor ", "\\right\\rfloor "},
    {"exp", "\\exp(", ")"},
    {"ln", "\\ln(", ")"},
    {"log2", "\\log_{2}(", ")"},
    {"log10", "\\log_{10}(", ")"},
    {"sin", "\\sin(", ")"},
    {"cos", "\\cos(", ")"},
    {"tan", "\\tan(", ")"},
    {"asin", "\\arcsin(", ")"},
    {"acos", "\\arccos(", ")"},
    {"atan", "\\arctan(", ")"},
    {"sinh", "\\sinh(", ")"},
    {"cosh", "\\cosh(", ")"},
    {"tanh", "\\tanh(", ")"},
    {"min", "\\min(", ")"},
    {"max", "\\max(", ")"},
});

}  // namespace

PrintedCall printed_call(std::string_view name) {
    const auto found = std::ranges::find(printed_functions, name, &PrintedFunction::name);
    if (found != printed_functions.end()) return {std::string(found->open), found->close};
    return {"\\mathrm{" + std::string(name) + "}(", ")"};
}

}  // namespace mensurator
