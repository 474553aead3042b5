#pragma once

#include <cstdint>

#include "base/error.hpp"
#include "quantity/unit.hpp"

namespace mensurator {

// A number with a unit: the quantity number * unit.factor * 10^unit.exp10 in base units.
struct Value {
    double number = 0.0;
    Unit unit{};
};

// 10^exponent by repeated squaring on the exponent truncated to 32 bits.
double pow10(std::int64_t exponent);

// std::log10(x) truncated toward zero, saturated to 64 bits (NaN gives 0), without computing
// the logarithm where x is clearly between two powers of ten.
std::int64_t truncated_log10(double x);

// The same quantity with |number| in [1, 10) and the powers of ten moved into exp10.
Value normalize(const Value& v);
// number * factor * 10^exp10.
double to_plain_number(const Value& v);

Result<Value> value_add(const Value& a, const Value& b);
Result<Value> value_sub(const Value& a, const Value& b);
Result<Value> value_mul(const Value& a, const Value& b);
Result<Value> value_div(const Value& a, const Value& b);
Result<Value> value_pow(const Value& base, const Value& exponent);

}  // namespace mensurator
