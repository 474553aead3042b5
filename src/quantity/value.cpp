#include "quantity/value.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace mensurator {

namespace {

// Truncates toward zero; values beyond the range give its ends and NaN gives 0.
std::int64_t saturating_int64(double x) {
    if (std::isnan(x)) return 0;
    constexpr double two_to_63 = 9223372036854775808.0;
    if (x >= two_to_63) return std::numeric_limits<std::int64_t>::max();
    if (x < -two_to_63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(x);
}

// 10^0 to 10^22, every one of them exactly a double.
constexpr std::array<double, 23> exact_powers_of_ten = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// x / 10^k. For |x| below about 1e-308, 10^k itself rounds to zero; the division is then done
// in two halves so that a finite x stays finite.
double divide_by_pow10(double x, std::int64_t k) {
    const double power = pow10(k);
    if (power == 0.0 && std::isfinite(x)) {
        const std::int64_t half = k / 2;
        return x / pow10(half) / pow10(k - half);
    }
    return x / power;
}

// Moves the powers of ten of a number that is 10 or more into exp10.
void shift(Value& v) {
    if (!(std::fabs(v.number) >= 10.0)) return;
    const std::int64_t k = truncated_log10(std::fabs(v.number));
    v.number /= pow10(k);
    v.unit.exp10 = saturating_add(v.unit.exp10, k);
}

std::string number_text(double x) {
    std::array<char, 32> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x).ptr;
    return std::string(buffer.data(), end);
}

// The whole number an exponent stands for. A literal exponent is stored normalised (109 as
// 1.09 x 10^2) and comes back as 109.00000000000001, so exponents within a few units in the last
// place of a whole number count as that number: (-1)^109 is -1, not NaN.
std::optional<double> whole_exponent(double p) {
    if (!std::isfinite(p)) return std::nullopt;
    constexpr double tolerance = 1e-12;
    const double nearest = std::round(p);
    if (std::fabs(p - nearest) > tolerance * std::fabs(nearest)) return std::nullopt;
    return nearest;
}

// base^n for a whole n, where `exp10` is the power of ten of the result's unit. When the number
// alone leaves the double range but the whole quantity need not (0.5^1000 is 5^1000 x 10^-1000
// in value form, and 5^1000 overflows), the result's power of ten is taken over into `exp10`.
// Quantities far beyond any double become 0 or keep the infinity.
double whole_power(double base, double n, std::int64_t& exp10) {
    const double power = std::pow(base, n);
    const bool left_range = !std::isfinite(power) || power == 0.0;
    if (!left_range || !std::isfinite(base) || base == 0.0) return power;
    const bool negative = base < 0.0 && std::fmod(n, 2.0) != 0.0;
    const double magnitude = n * std::log10(std::fabs(base)) + static_cast<double>(exp10);
    constexpr double reach = 1e6;
    if (magnitude < -reach) {
        exp10 = 0;
        return negative ? -0.0 : 0.0;
    }
    if (!(magnitude <= reach)) return power;
    const double whole = std::floor(magnitude);
    exp10 = static_cast<std::int64_t>(whole);
    const double mantissa = std::pow(10.0, magnitude - whole);
    return negative ? -mantissa : mantissa;
}

// The fraction k/d (d from 1 to 12, the first that fits) that p is within 1e-9 relative of.
std::optional<std::pair<std::int64_t, std::int64_t>> small_fraction(double p) {
    constexpr std::int64_t largest_denominator = 12;
    constexpr double tolerance = 1e-9;
    if (!std::isfinite(p)) return std::nullopt;
    for (std::int64_t d = 1; d <= largest_denominator; ++d) {
        const double scaled = p * static_cast<double>(d);
        const double nearest = std::round(scaled);
        if (std::fabs(scaled - nearest) <= tolerance * std::fabs(scaled)) {
            return std::pair{saturating_int64(nearest), d};
        }
    }
    return std::nullopt;
}

// log10 of the quantity's true magnitude: -inf for zero, +inf for an infinity, NaN for NaN.
double magnitude_log10(const Value& v) {
    if (v.number == 0.0) return -std::numeric_limits<double>::infinity();
    if (!std::isfinite(v.number)) return std::fabs(v.number);
    return std::log10(std::fabs(v.number)) + std::log10(v.unit.factor) +
           static_cast<double>(v.unit.exp10);
}

// Whether aligning to the base's power of ten stands for the true gap: the gap fits the 32 bits
// the power of ten is taken on, and that power is a finite, non-zero double.
bool gap_is_representable(std::int64_t base_exp10, std::int64_t exp10) {
    const std::int64_t gap = saturating_sub(base_exp10, exp10);
    if (gap < std::numeric_limits<std::int32_t>::min() ||
        gap > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    const double power = pow10(gap);
    return power != 0.0 && std::isfinite(power);
}

// What a sum with an infinite or NaN operand must give: the finite operands do not count.
bool is_sum_of_non_finite(double x, double a, double b, bool subtract) {
    const double left = std::isfinite(a) ? 0.0 : a;
    const double right = std::isfinite(b) ? 0.0 : b;
    const double expected = subtract ? left - right : left + right;
    return std::isnan(expected) ? std::isnan(x) : x == expected;
}

// The sum aligned to the operand with the larger |exp10|, as the arithmetic defines it; nothing
// when that alignment left the double range, so that the result is not the sum's true magnitude.
std::optional<Value> aligned_sum(const Value& a, const Value& b, bool subtract) {
    const auto magnitude = [](std::int64_t n) {
        return n < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(n)
                     : static_cast<std::uint64_t>(n);
    };
    const bool right_is_base = magnitude(b.unit.exp10) > magnitude(a.unit.exp10);
    const Unit& base = right_is_base ? b.unit : a.unit;
    const Value& base_value = right_is_base ? b : a;
    const Value& other = right_is_base ? a : b;
    const auto scale = [&](const Value& v) {
        return pow10(saturating_sub(base.exp10, v.unit.exp10));
    };
    double x = 0.0;
    if (subtract) {
        x = a.number / scale(a) * a.unit.factor / base.factor -
            b.number / scale(b) * b.unit.factor / base.factor;
    } else {
        x = other.number / scale(other) * (other.unit.factor / base.factor) + base_value.number;
    }
    const bool sound = std::isfinite(a.number) && std::isfinite(b.number)
                           ? std::isfinite(x) && gap_is_representable(base.exp10, other.unit.exp10)
                           : is_sum_of_non_finite(x, a.number, b.number, subtract);
    if (!sound) return std::nullopt;
    Value result{x, a.unit};
    result.unit.exp10 = base.exp10;
    result.unit.factor = base.factor;
    shift(result);
    return normalize(result);
}

// a + b or a - b where aligning the operands as given leaves the double range. Operands within
// the range of each other are aligned again from their normal forms; otherwise one is more than
// 10^300 times the other and alone is the sum to double precision. A zero or an infinity that
// came out of an overflow carries a huge power of ten, which must not decide the result.
Value sum_beyond_alignment(const Value& a, const Value& b, bool subtract) {
    const double sign = subtract ? -1.0 : 1.0;
    const double ma = magnitude_log10(a);
    const double mb = magnitude_log10(b);
    constexpr double reach = 300.0;
    if (std::fabs(ma - mb) < reach) {
        if (auto sum = aligned_sum(normalize(a), normalize(b), subtract)) return *sum;
    }
    Value result = a;
    if (std::isnan(ma) || std::isnan(mb) || ma == mb) {
        // Two zeros, two infinities or a NaN: their numbers combine directly (inf - inf is NaN).
        result.number = a.number + sign * b.number;
    } else if (mb > ma) {
        result.number = sign * b.number;
        result.unit.exp10 = b.unit.exp10;
        result.unit.factor = b.unit.factor;
    }
    shift(result);
    return normalize(result);
}

Result<Value> add_or_sub(const Value& a, const Value& b, bool subtract) {
    if (!same_dimensions(a.unit, b.unit)) {
        return fail(RunError::other("Can't sub values with units " + dimension_text(a.unit) +
                                    " and " + dimension_text(b.unit)));
    }
    if (auto sum = aligned_sum(a, b, subtract)) return *sum;
    return sum_beyond_alignment(a, b, subtract);
}

}  // namespace

double pow10(std::int64_t exponent) {
    // Up to 10^22 the squares and products below are exact, so they give the table's powers.
    if (exponent >= 0 && exponent < std::ssize(exact_powers_of_ten))
        return exact_powers_of_ten[static_cast<std::size_t>(exponent)];
    if (exponent < 0 && exponent > -std::ssize(exact_powers_of_ten))
        return 1.0 / exact_powers_of_ten[static_cast<std::size_t>(-exponent)];
    // The exponent wraps to 32 bits: an infinite number's exp10 of 2^63 - 1 becomes -1, so that
    // dividing the infinity by its power of ten leaves it infinite.
    std::int32_t n = static_cast<std::int32_t>(exponent);
    const bool reciprocal = n < 0;
    double base = 10.0;
    double result = 1.0;
    while (true) {
        if (n % 2 != 0) result *= base;
        n /= 2;
        if (n == 0) break;
        base *= base;
    }
    return reciprocal ? 1.0 / result : result;
}

std::int64_t truncated_log10(double x) {
    // log10(1) is exactly 0, and the factor of most units is 1.
    if (x == 1.0) return 0;
    // 10^-20 to 10^20: log10 is off by a few units in its last place, some 1e-14 at most here,
    // so more than 1e-12 (relative) away from the powers of ten on either side of x its integer
    // part is the one between them.
    constexpr double margin = 1e-12;
    constexpr std::array<double, 41> powers = {
        1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10,
        1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,
        1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,
        1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20};
    constexpr std::size_t one = 20;  // the index of 10^0
    if (x > powers.front() && x < powers.back()) {
        std::size_t i = one;
        while (x >= powers[i + 1]) ++i;
        while (x < powers[i]) --i;
        if (x > powers[i] * (1 + margin) && x < powers[i + 1] * (1 - margin)) {
            // 10^k < x < 10^(k+1): log10 lies between k and k + 1 and truncates toward zero.
            const auto k = static_cast<std::int64_t>(i) - static_cast<std::int64_t>(one);
            return k >= 0 ? k : k + 1;
        }
    }
    return saturating_int64(std::log10(x));
}

Value normalize(const Value& v) {
    double n = v.number;
    if (n == 0.0) return v;
    double f = v.unit.factor;
    const std::int64_t a = truncated_log10(std::fabs(n));
    n = divide_by_pow10(n, a);
    std::int64_t e = saturating_add(v.unit.exp10, a);
    // The factor of most units is 1, whose logarithm is 0: it would stay as it is.
    if (f != 1.0) {
        const std::int64_t b = truncated_log10(f);
        f = divide_by_pow10(f, b);
        e = saturating_add(e, b);
    }
    if (std::fabs(n) < 1.0) {
        const std::int64_t k = saturating_add(truncated_log10(std::floor(1.0 / std::fabs(n))), 1);
        n *= pow10(k);
        e = saturating_sub(e, k);
    }
    Value result{n, v.unit};
    result.unit.exp10 = e;
    result.unit.factor = f;
    return result;
}

double to_plain_number(const Value& v) {
    return v.number * v.unit.factor * pow10(v.unit.exp10);
}

Result<Value> value_add(const Value& a, const Value& b) {
    return add_or_sub(a, b, false);
}

Result<Value> value_sub(const Value& a, const Value& b) {
    return add_or_sub(a, b, true);
}

Result<Value> value_mul(const Value& a, const Value& b) {
    auto unit = unit_mul(a.unit, b.unit);
    if (!unit) return fail(unit.error());
    Value result{a.number * b.number, *unit};
    shift(result);
    return normalize(result);
}

Result<Value> value_div(const Value& a, const Value& b) {
    auto unit = unit_div(a.unit, b.unit);
    if (!unit) return fail(unit.error());
    Value result{a.number / b.number, *unit};
    shift(result);
    return normalize(result);
}

Result<Value> value_pow(const Value& base, const Value& exponent) {
    const double p = to_plain_number(exponent);
    const std::optional<double> whole = whole_exponent(p);
    if (!is_dimensionless(exponent.unit) && !whole) {
        return fail(RunError::other("Exponent " + number_text(p) + " with unit " +
                                    dimension_text(exponent.unit) + " is not an integer"));
    }
    if (whole) {
        auto unit = unit_powi(base.unit, saturating_int64(*whole));
        if (!unit) return fail(unit.error());
        const double number = whole_power(base.number, *whole, unit->exp10);
        return Value{number, *unit};
    }
    const double number = std::pow(to_plain_number(base), p);
    if (is_dimensionless(base.unit)) return Value{number, Unit{}};
    const auto fraction = small_fraction(p);
    if (!fraction) {
        return fail(RunError::other("Can't raise a value with unit " + dimension_text(base.unit) +
                                    " to the power " + number_text(p)));
    }
    auto unit = unit_dimensions_pow(base.unit, fraction->first, fraction->second);
    if (!unit) return fail(unit.error());
    return Value{number, *unit};
}

}  // namespace mensurator
