#include "eval/function.hpp"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "eval/evaluate.hpp"
#include "eval/function_table.hpp"
#include "quantity/unit.hpp"
#include "quantity/value.hpp"

namespace mensurator {

namespace {

RunError wrong_argument_count(const BuiltinFunction& function, std::size_t count) {
    return RunError::other(
        "Incorrect number of arguments to function " + std::string(function.name) + ", expected " +
        std::to_string(function.least_arguments) +
        "..=" + std::to_string(function.greatest_arguments) + " but got " + std::to_string(count));
}

}  // namespace

Result<Value> call_function(const ExprStore& store, NodeIndex call,
                            const VariableTable& variables) {
    const std::string_view name = store.names[store[call].link.index];
    const BuiltinFunction* function = find_function(name);
    if (function == nullptr) return fail(RunError::other("Unknown function " + std::string(name)));

    std::uint64_t count = 0;
    for (NodeIndex arg = store[call].link.first; arg != no_node; arg = store[arg].next) ++count;
    if (count < function->least_arguments || count > function->greatest_arguments) {
        return fail(wrong_argument_count(*function, count));
    }

    // The arguments of most calls fit on the stack.
    constexpr std::size_t on_stack = 4;
    std::array<Value, on_stack> stacked_values;
    std::array<double, on_stack> stacked_plain;
    std::vector<Value> heap_values;
    std::vector<double> heap_plain;
    if (count > on_stack) {
        heap_values.resize(count);
        heap_plain.resize(count);
    }
    const std::span<Value> arguments =
        count > on_stack ? std::span<Value>(heap_values) : std::span(stacked_values).first(count);
    const std::span<double> plain =
        count > on_stack ? std::span<double>(heap_plain) : std::span(stacked_plain).first(count);

    std::size_t i = 0;
    for (NodeIndex arg = store[call].link.first; arg != no_node; arg = store[arg].next) {
        Result<Value> value = evaluate_node(store, arg, variables);
        if (!value) return fail(std::move(value.error()));
        arguments[i++] = *value;
    }

    const bool dimensionless_only = function->unit_class == UnitClass::dimensionless_only;
    for (i = 0; i < count; ++i) {
        if (dimensionless_only && !is_dimensionless(arguments[i].unit)) {
            return fail(
                RunError::unit_error("Can't take " + std::string(name) + " of unit-ed value"));
        }
        plain[i] = to_plain_number(arguments[i]);
    }

    Unit result_unit{};
    if (!dimensionless_only) {
        const Unit& first = arguments.front().unit;
        for (const Value& argument : arguments) {
            if (!same_dimensions(argument.unit, first)) {
                return fail(
                    RunError::other("Functions require all arguments to have the same unit"));
            }
        }
        result_unit.dimensions = first.dimensions;
    }

    return normalize(Value{function->compute(plain), result_unit});
}

}  // namespace mensurator
