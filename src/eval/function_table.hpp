#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

namespace mensurator {

enum class UnitClass : std::uint8_t {
    dimensionless_only,  // every argument is a plain number; so is the result
    unit_keeping,        // all arguments share the first one's dimensions, and so does the result
};

// One built-in function: its name as written in a document, the range of its argument count, its
// unit rule and its computation on the arguments reduced to base units.
struct BuiltinFunction {
    std::string_view name;
    std::uint64_t least_arguments;
    std::uint64_t greatest_arguments;
    UnitClass unit_class;
    double (*compute)(std::span<const double> arguments);
};

// Stands for "no upper limit" in an argument range.
inline constexpr std::uint64_t unlimited_arguments = std::numeric_limits<std::uint64_t>::max();

// The function of that exact (case-sensitive, untrimmed) name, or nullptr.
const BuiltinFunction* find_function(std::string_view name);
// Every built-in function, for listings.
std::span<const BuiltinFunction> builtin_function_list();

}  // namespace mensurator
