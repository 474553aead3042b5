#include "quantity/unit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace mensurator {

namespace {

constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64_min = std::numeric_limits<std::int64_t>::min();

// Powers up to this size keep their chain of floating multiplications or divisions, so that the
// factor rounds exactly as the step-by-step product; larger ones use one call to std::pow.
constexpr std::int64_t chained_power_limit = 64;

// |n| without overflow, also for the most negative value.
std::uint64_t magnitude(std::int64_t n) {
    return n < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
}

RunError exponent_out_of_range() {
    return RunError::other("Unit exponent out of range -128..127");
}

Result<Rational8> exponent_sum(Rational8 a, Rational8 b, bool subtract) {
    const std::int64_t b_numerator = subtract ? -std::int64_t{b.numerator} : b.numerator;
    // Whole exponents, by far the most common, need no common denominator or reduction.
    if (a.denominator == 1 && b.denominator == 1) {
        const std::int64_t whole = a.numerator + b_numerator;
        if (whole < -128 || whole > 127) return fail(exponent_out_of_range());
        return Rational8{static_cast<std::int8_t>(whole), 1};
    }
    const auto sum =
        Rational8::make(std::int64_t{a.numerator} * b.denominator + b_numerator * a.denominator,
                        std::int64_t{a.denominator} * b.denominator);
    if (!sum) return fail(exponent_out_of_range());
    return *sum;
}

// e * num / den, failing when the exact result leaves 8 bits. den is not 0.
Result<Rational8> exponent_scaled(Rational8 e, std::int64_t num, std::int64_t den) {
    if (e.is_zero()) return Rational8{};
    const std::uint64_t divisor = std::gcd(magnitude(num), magnitude(den));
    const std::uint64_t top = magnitude(num) / divisor;
    const std::uint64_t bottom = magnitude(den) / divisor;
    // Once num/den is reduced, at most 128 can still cancel against e, so a larger reduced part
    // cannot fit in 8 bits; the bound also keeps the products below far from overflow.
    constexpr std::uint64_t bound = 128 * 128;
    if (top > bound || bottom > bound) return fail(exponent_out_of_range());
    const bool negative = (num < 0) != (den < 0);
    const std::int64_t signed_top =
        negative ? -static_cast<std::int64_t>(top) : static_cast<std::int64_t>(top);
    const auto scaled =
        Rational8::make(std::int64_t{e.numerator} * signed_top,
                        std::int64_t{e.denominator} * static_cast<std::int64_t>(bottom));
    if (!scaled) return fail(exponent_out_of_range());
    return *scaled;
}

bool outside_double_range(double factor) {
    return factor == 0.0 || !std::isfinite(factor);
}

// A factor that left the double range although its parts did not keeps the unit's true size by
// moving its powers of ten into exp10: deg^2000 is about 10^-3516, not 0 x 10^-4000. A saturated
// exp10 already puts the unit beyond any double, on the side its sign tells.
void keep_factor_in_range(Unit& u, double log10_factor) {
    if (u.exp10 == int64_max || u.exp10 == int64_min) {
        u.factor = 1.0;
        return;
    }
    const double whole = std::floor(log10_factor);
    u.factor = std::pow(10.0, log10_factor - whole);
    constexpr double limit = 9.0e18;
    u.exp10 = saturating_add(u.exp10, static_cast<std::int64_t>(std::clamp(whole, -limit, limit)));
}

// The exponents of a product or quotient when all of them are whole and stay in range, the
// usual case, without going through a result per exponent; false, for exponent_sum, otherwise.
bool whole_exponent_sums(const Unit& a, const Unit& b, bool divide, Unit& result) {
    for (std::size_t i = 0; i < base_unit_count; ++i) {
        const Rational8 x = a.dimensions[i];
        const Rational8 y = b.dimensions[i];
        if (x.denominator != 1 || y.denominator != 1) return false;
        const int sum = divide ? x.numerator - y.numerator : x.numerator + y.numerator;
        if (sum < -128 || sum > 127) return false;
        result.dimensions[i] = Rational8{static_cast<std::int8_t>(sum), 1};
    }
    return true;
}

Result<Unit> combine(const Unit& a, const Unit& b, bool divide) {
    Unit result;
    if (!whole_exponent_sums(a, b, divide, result)) {
        for (std::size_t i = 0; i < base_unit_count; ++i) {
            auto exponent = exponent_sum(a.dimensions[i], b.dimensions[i], divide);
            if (!exponent) return fail(exponent.error());
            result.dimensions[i] = *exponent;
        }
    }
    result.exp10 = divide ? saturating_sub(a.exp10, b.exp10) : saturating_add(a.exp10, b.exp10);
    result.factor = divide ? a.factor / b.factor : a.factor * b.factor;
    if (outside_double_range(result.factor) && !outside_double_range(a.factor) &&
        !outside_double_range(b.factor)) {
        const double log_b = std::log10(b.factor);
        keep_factor_in_range(result, std::log10(a.factor) + (divide ? -log_b : log_b));
    }
    return result;
}

// The factor of u^n for n not in {0, 1}: for small powers the chain u*u*...*u, or for negative
// powers u/u/u/.../u (|n| + 1 divisions, the first giving u/u).
double factor_power(double factor, std::int64_t n) {
    if (n > chained_power_limit) return std::pow(factor, static_cast<double>(n));
    if (n < -chained_power_limit) return factor / factor * std::pow(factor, static_cast<double>(n));
    double result = factor;
    if (n > 0) {
        for (std::int64_t i = 1; i < n; ++i) result *= factor;
    } else {
        for (std::int64_t i = 0; i <= -n; ++i) result /= factor;
    }
    return result;
}

}  // namespace

std::optional<Rational8> Rational8::make(std::int64_t num, std::int64_t den) {
    if (den == 0) return std::nullopt;
    const bool negative = (num < 0) != (den < 0);
    std::uint64_t top = magnitude(num);
    std::uint64_t bottom = magnitude(den);
    const std::uint64_t divisor = std::gcd(top, bottom);
    top /= divisor;
    bottom /= divisor;
    const std::uint64_t top_limit = negative ? 128 : 127;
    if (top > top_limit || bottom > 127) return std::nullopt;
    const std::int64_t signed_top =
        negative ? -static_cast<std::int64_t>(top) : static_cast<std::int64_t>(top);
    return Rational8{static_cast<std::int8_t>(signed_top), static_cast<std::int8_t>(bottom)};
}

std::string Rational8::text() const {
    std::string result = std::to_string(numerator);
    if (denominator != 1) {
        result += '/';
        result += std::to_string(denominator);
    }
    return result;
}

Result<Unit> unit_mul(const Unit& a, const Unit& b) {
    return combine(a, b, false);
}

Result<Unit> unit_div(const Unit& dividend, const Unit& divisor) {
    return combine(dividend, divisor, true);
}

Result<Unit> unit_powi(const Unit& u, std::int64_t n) {
    if (n == 0) return Unit{};
    if (n == 1) return u;
    Unit result;
    for (std::size_t i = 0; i < base_unit_count; ++i) {
        auto exponent = exponent_scaled(u.dimensions[i], n, 1);
        if (!exponent) return fail(exponent.error());
        result.dimensions[i] = *exponent;
    }
    result.exp10 = saturating_mul(u.exp10, n);
    result.factor = factor_power(u.factor, n);
    if (outside_double_range(result.factor) && !outside_double_range(u.factor))
        keep_factor_in_range(result, static_cast<double>(n) * std::log10(u.factor));
    return result;
}

Result<Unit> unit_dimensions_pow(const Unit& u, std::int64_t num, std::int64_t den) {
    if (den == 0) throw InternalError("unit_dimensions_pow with a zero denominator");
    Unit result;
    for (std::size_t i = 0; i < base_unit_count; ++i) {
        auto exponent = exponent_scaled(u.dimensions[i], num, den);
        if (!exponent) return fail(exponent.error());
        result.dimensions[i] = *exponent;
    }
    return result;
}

bool is_dimensionless(const Unit& u) {
    return std::ranges::all_of(u.dimensions, [](Rational8 e) { return e.is_zero(); });
}

bool same_dimensions(const Unit& a, const Unit& b) {
    return a.dimensions == b.dimensions;
}

Rational8 max_exponent(const Unit& u) {
    return std::ranges::max(u.dimensions);
}

std::string dimension_text(const Unit& u) {
    std::string text;
    for (std::size_t i = 0; i < base_unit_count; ++i) {
        const Rational8 e = u.dimensions[i];
        if (e.is_zero()) continue;
        if (!text.empty()) text += ' ';
        text += base_unit_symbols[i];
        if (e != Rational8{1, 1}) {
            text += '^';
            text += e.text();
        }
    }
    return text;
}

std::int64_t saturating_add(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? int64_max : int64_min;
}

std::int64_t saturating_sub(std::int64_t a, std::int64_t b) {
    std::int64_t difference = 0;
    if (!__builtin_sub_overflow(a, b, &difference)) return difference;
    return b < 0 ? int64_max : int64_min;
}

std::int64_t saturating_mul(std::int64_t a, std::int64_t b) {
    std::int64_t product = 0;
    if (!__builtin_mul_overflow(a, b, &product)) return product;
    return (a < 0) != (b < 0) ? int64_min : int64_max;
}

}  // namespace mensurator
