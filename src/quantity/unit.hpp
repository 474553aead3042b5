#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace mensurator {

// An exact fraction with 8-bit numerator and denominator, always reduced, denominator positive.
struct Rational8 {
    std::int8_t numerator = 0;
    std::int8_t denominator = 1;

    // The reduced fraction num/den, or nothing when den is 0 or the reduced form leaves 8 bits.
    static std::optional<Rational8> make(std::int64_t num, std::int64_t den);

    bool is_zero() const { return numerator == 0; }
    bool is_integer() const { return denominator == 1; }
    double to_double() const { return double(numerator) / double(denominator); }

    // Compares the exact values; inline, since unit arithmetic compares exponents all the time.
    // Denominators are positive, so cross multiplication keeps the order.
    friend constexpr std::strong_ordering operator<=>(Rational8 a, Rational8 b) {
        return int{a.numerator} * int{b.denominator} <=> int{b.numerator} * int{a.denominator};
    }
    friend constexpr bool operator==(Rational8 a, Rational8 b) { return (a <=> b) == 0; }

    // "2", "-1", "1/2", "-3/2".
    std::string text() const;
};

// Base units in base order: length, mass (gram), time, current, temperature, amount, luminosity.
inline constexpr std::size_t base_unit_count = 7;
inline constexpr std::array<std::string_view, base_unit_count> base_unit_symbols = {
    "m", "g", "s", "A", "K", "mol", "cd"};

// size = factor * 10^exp10 * product of base unit ^ exponent. The default value is the identity
// unit of plain numbers.
struct Unit {
    std::array<Rational8, base_unit_count> dimensions{};
    std::int64_t exp10 = 0;
    double factor = 1.0;
};

// Exponent arithmetic fails (never wraps) when an exponent would leave -128..127.
Result<Unit> unit_mul(const Unit& a, const Unit& b);
Result<Unit> unit_div(const Unit& dividend, const Unit& divisor);
Result<Unit> unit_powi(const Unit& u, std::int64_t n);
// The base units of u's dimensions raised to num/den exactly (den not 0): every exponent times
// num/den, exp10 0, factor 1. For fractional powers, whose exp10 and factor go into the number.
Result<Unit> unit_dimensions_pow(const Unit& u, std::int64_t num, std::int64_t den);

bool is_dimensionless(const Unit& u);
bool same_dimensions(const Unit& a, const Unit& b);
Rational8 max_exponent(const Unit& u);
// Plain text of the dimensions in base order for messages: "m s^-2", "m^2 g s^-2", "" when
// dimensionless.
std::string dimension_text(const Unit& u);

// Saturating arithmetic on powers of ten: infinities push exponents to the limits, never past.
std::int64_t saturating_add(std::int64_t a, std::int64_t b);
std::int64_t saturating_sub(std::int64_t a, std::int64_t b);
std::int64_t saturating_mul(std::int64_t a, std::int64_t b);

}  // namespace mensurator
