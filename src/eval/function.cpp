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

Result<Value> call_function(const FnCall& call, const VariableTable& variables) {
    const BuiltinFunction* function = find_function(call.name);
    if (function == nullptr) return fail(RunError::other("Unknown function " + call.name));

    const std::uint64_t count = call.args.size();
    if (count < function->least_arguments || count > function->greatest_arguments) {
        return fail(wrong_argument_count(*function, call.args.size()));
    }

    std::vector<Value> arguments;
    arguments.reserve(call.args.size());
    for (const Expr& arg : call.args) {
        Result<Value> value = evaluate(arg, variables);
        if (!value) return fail(std::move(value.error()));
        arguments.push_back(*value);
    }

    const bool dimensionless_only = function->unit_class == UnitClass::dimensionless_only;
    std::vector<double> plain;
    plain.reserve(arguments.size());
    for (const Value& argument : arguments) {
        if (dimensionless_only && !is_dimensionless(argument.unit)) {
            return fail(RunError::unit_error("Can't take " + call.name + " of unit-ed value"));
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
