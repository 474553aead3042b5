#include "eval/function_table.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <span>

namespace mensurator {

namespace {

// Folds from the left keeping the value that `better` prefers; NaNs are skipped unless every
// argument is NaN, and of equal values the first one stays.
template <class Better>
double fold_extreme(std::span<const double> xs, Better better) {
    double result = std::nan("");
    for (double x : xs) {
        if (std::isnan(x)) continue;
        if (std::isnan(result) || better(x, result)) result = x;
    }
    return result;
}

using enum UnitClass;

constexpr std::uint64_t one = 1;

constexpr std::array<BuiltinFunction, 25> builtin_functions{{
    {"abs", one, one, unit_keeping, [](std::span<const double> x) { return std::fabs(x[0]); }},
    {"ceil", one, one, unit_keeping, [](std::span<const double> x) { return std::ceil(x[0]); }},
    {"floor", one, one, unit_keeping, [](std::span<const double> x) { return std::floor(x[0]); }},
    // std::round takes halves away from zero.
    {"round", one, one, unit_keeping, [](std::span<const double> x) { return std::round(x[0]); }},
    {"min", one, unlimited_arguments, unit_keeping,
     [](std::span<const double> x) { return fold_extreme(x, std::less<>{}); }},
    {"max", one, unlimited_arguments, unit_keeping,
     [](std::span<const double> x) { return fold_extreme(x, std::greater<>{}); }},
    {"sqrt", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::sqrt(x[0]); }},
    {"cbrt", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::cbrt(x[0]); }},
    {"exp", one, one, dimensionless_only, [](std::span<const double> x) { return std::exp(x[0]); }},
    {"ln", one, one, dimensionless_only, [](std::span<const double> x) { return std::log(x[0]); }},
    {"log2", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::log2(x[0]); }},
    {"log10", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::log10(x[0]); }},
    {"sin", one, one, dimensionless_only, [](std::span<const double> x) { return std::sin(x[0]); }},
    {"cos", one, one, dimensionless_only, [](std::span<const double> x) { return std::cos(x[0]); }},
    {"tan", one, one, dimensionless_only, [](std::span<const double> x) { return std::tan(x[0]); }},
    {"asin", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::asin(x[0]); }},
    {"acos", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::acos(x[0]); }},
    {"atan", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::atan(x[0]); }},
    // The first argument is y, the second x: the angle of the point (x, y).
    {"atan2", 2, 2, dimensionless_only,
     [](std::span<const double> x) { return std::atan2(x[0], x[1]); }},
    {"sinh", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::sinh(x[0]); }},
    {"cosh", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::cosh(x[0]); }},
    {"tanh", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::tanh(x[0]); }},
    // The library's inverse hyperbolic functions stay exact where the logarithm formulas
    // overflow (x * x for |x| above 1e154) or cancel (ln(1 + y) for tiny y).
    {"asinh", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::asinh(x[0]); }},
    {"acosh", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::acosh(x[0]); }},
    {"atanh", one, one, dimensionless_only,
     [](std::span<const double> x) { return std::atanh(x[0]); }},
}};

}  // namespace

std::span<const BuiltinFunction> builtin_function_list() {
    return builtin_functions;
}

const BuiltinFunction* find_function(std::string_view name) {
    const auto it = std::ranges::find(builtin_functions, name, &BuiltinFunction::name);
    return it == builtin_functions.end() ? nullptr : &*it;
}

}  // namespace mensurator
