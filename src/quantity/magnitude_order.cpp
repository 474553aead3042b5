#include "quantity/magnitude_order.hpp"

#include <cmath>
#include <cstdint>

#include "quantity/unit.hpp"

namespace mensurator {

namespace {

constexpr double equal_within = 1e-12;

// |x| as m * 10^e with m in [1, 10), for a finite x other than 0.
struct Decimal {
    double mantissa;
    std::int64_t exponent;
};

Decimal decimal_of(double x, std::int64_t exp10) {
    double m = std::fabs(x);
    const auto shift = static_cast<std::int64_t>(std::floor(std::log10(m)));
    // Two steps, so that neither power of ten leaves the range of doubles.
    m /= std::pow(10.0, static_cast<double>(shift / 2));
    m /= std::pow(10.0, static_cast<double>(shift - shift / 2));
    std::int64_t e = saturating_add(exp10, shift);
    if (m >= 10.0) {
        m /= 10.0;
        e = saturating_add(e, 1);
    } else if (m < 1.0) {
        m *= 10.0;
        e = saturating_sub(e, 1);
    }
    return {m, e};
}

// The order of two positive magnitudes.
std::partial_ordering compare_positive(Decimal a, Decimal b) {
    const std::int64_t gap = saturating_sub(a.exponent, b.exponent);
    if (gap >= 2) return std::partial_ordering::greater;
    if (gap <= -2) return std::partial_ordering::less;
    const double x = a.mantissa * std::pow(10.0, static_cast<double>(gap));
    const double y = b.mantissa;
    if (std::fabs(x - y) <= equal_within * std::fmax(x, y))
        return std::partial_ordering::equivalent;
    return x <=> y;
}

}  // namespace

std::partial_ordering compare_magnitudes(const Value& a, const Value& b) {
    const double x = a.number * a.unit.factor;
    const double y = b.number * b.unit.factor;
    if (std::isnan(x) || std::isnan(y)) return std::partial_ordering::unordered;
    const int sign_x = (x > 0) - (x < 0);
    const int sign_y = (y > 0) - (y < 0);
    if (sign_x != sign_y || sign_x == 0) return sign_x <=> sign_y;
    // An infinity is what it is, whatever power of ten stands beside it.
    std::partial_ordering order = std::partial_ordering::equivalent;
    if (std::isinf(x) || std::isinf(y)) {
        order = std::isinf(x) <=> std::isinf(y);
    } else {
        order = compare_positive(decimal_of(x, a.unit.exp10), decimal_of(y, b.unit.exp10));
    }
    return sign_x > 0 ? order : 0 <=> order;
}

}  // namespace mensurator
