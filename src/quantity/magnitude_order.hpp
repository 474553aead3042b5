#pragma once

#include <compare>

#include "quantity/value.hpp"

namespace mensurator {

// The order of two quantities of the same dimensions by their magnitudes, number * factor *
// 10^exp10, whatever their powers of ten. Magnitudes that agree to 12 significant digits are
// equal: a decimal written in a document is rarely a binary fraction, so 0.45 MN and 450 kN
// differ in their last bits, and a check must not turn on that. NaN is unordered.
std::partial_ordering compare_magnitudes(const Value& a, const Value& b);

}  // namespace mensurator
