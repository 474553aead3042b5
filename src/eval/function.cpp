#include "eval/function.hpp"

#include <cstdint>
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

    std::vector<Value> arguments;
    arguments.reserve(count);
    for (NodeIndex arg = store[call].link.first; arg != no_node; arg = store[arg].next) {
        Result<Value> value = evaluate_node(store, arg, variables);
        if (!value) return fail(std::move(value.error()));
        arguments.push_back(*value);
    }

    const bool dimensionless_only = function->unit_class == UnitClass::dimensionless_only;
    std::vector<double> plain;
    plain.reserve(arguments.size());
    for (const Value& argument : arguments) {
        if (dimensionless_only && !is_dimensionless(argument.unit)) {
            return fail(
                RunError::unit_error("Can't take " + std::string(name) + " of unit-ed value"));
        }
        plain.push_back(to_plain_number(argument));
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
