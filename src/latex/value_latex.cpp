#include "latex/value_latex.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "base/trim.hpp"
#include "latex/number_format.hpp"
#include "quantity/unit_table.hpp"

namespace mensurator {

namespace {

void append_number_text(double x, const FormatSettings& settings, std::string& out) {
    if (settings.sigfigs != 0) {
        append_significant(x, settings.sigfigs, out);
    } else {
        append_number(x, precision_for(x, settings.digits), out);
    }
}

// Printed values use the arithmetic of the rest of the engine on purpose: one multiplication or
// division by pow10 (repeated squaring on a 32-bit exponent), in the order the formulas below
// state. Its rounding is part of the documented output (5.85 g in mg prints 5850.000, 220 mA hour
// in C prints 792), so do not "improve" the rounding of printed values without changing the
// documented behaviour. Only where that formula yields garbage is the value computed another way:
// when the exponent does not fit 32 bits (pow10 would wrap), or when the result is infinite or NaN
// although the number being scaled is finite (0 x 10^400 would print NaN, not 0).

// m * 10^e with the power applied in steps whose own powers of ten stay finite, so that only the
// result can overflow or underflow: 0, inf or the true magnitude for exponents of any size.
double scale_by_pow10(double m, std::int64_t e) {
    // Past 1000 decimal places no finite non-zero double stays in range.
    constexpr std::int64_t reach = 1000;
    constexpr std::int64_t step = 300;
    e = std::clamp(e, -reach, reach);
    for (; e > 0; e -= std::min(e, step)) m *= pow10(std::min(e, step));
    for (; e < 0; e += std::min(-e, step)) m /= pow10(std::min(-e, step));
    return m;
}

bool fits_32_bits(std::int64_t e) {
    return e >= std::numeric_limits<std::int32_t>::min() &&
           e <= std::numeric_limits<std::int32_t>::max();
}

// The formula's result is garbage when it is not finite although `scaled` is.
bool garbage(double result, double scaled) {
    return !std::isfinite(result) && std::isfinite(scaled);
}

// m x 10^e as the arithmetic computes it: m * pow10(e).
double times_pow10(double m, std::int64_t e) {
    if (fits_32_bits(e)) {
        const double x = m * pow10(e);
        if (!garbage(x, m)) return x;
    }
    return scale_by_pow10(m, e);
}

// Removes the white space at both ends of what was appended from `start` on.
void trim_appended(std::string& out, std::size_t start) {
    const std::string_view appended = std::string_view(out).substr(start);
    const std::string_view kept = trim(appended);
    if (kept.size() == appended.size()) return;
    const auto lead = static_cast<std::size_t>(kept.data() - appended.data());
    const std::size_t size = kept.size();
    out.erase(start, lead);
    out.resize(start + size);
}

// The positive and negative parts of a unit's LaTeX: one piece per base unit with a non-zero
// exponent, in reverse base order, each a blank, the symbol with |exponent| unless that is 1,
// and a thin space.
struct UnitParts {
    std::string positive;
    std::string negative;
};

// |n| in decimal, n from -128 to 127.
void append_magnitude(std::int8_t n, std::string& out) {
    const int magnitude = n < 0 ? -n : n;
    if (magnitude >= 100) out += static_cast<char>('0' + magnitude / 100);
    if (magnitude >= 10) out += static_cast<char>('0' + magnitude / 10 % 10);
    out += static_cast<char>('0' + magnitude % 10);
}

// `prefix` is written directly before the symbol of base unit `prefixed`, when there is one.
UnitParts unit_parts(const Unit& unit, std::optional<std::size_t> prefixed = std::nullopt,
                     std::string_view prefix = {}) {
    UnitParts parts;
    for (std::size_t i = base_unit_count; i-- > 0;) {
        const Rational8 exponent = unit.dimensions[i];
        if (exponent.is_zero()) continue;
        std::string& part = exponent.numerator > 0 ? parts.positive : parts.negative;
        part += ' ';
        if (prefixed == i) part += prefix;
        part += base_unit_symbols[i];
        // The exponent's text without its sign, unless that is "1".
        if (exponent.denominator != 1 || (exponent.numerator != 1 && exponent.numerator != -1)) {
            part += "^{";
            append_magnitude(exponent.numerator, part);
            if (exponent.denominator != 1) {
                part += '/';
                append_magnitude(exponent.denominator, part);
            }
            part += '}';
        }
        part += "\\,";
    }
    return parts;
}

// Puts the parts together with a prefix `pre` in front, or, without a prefix symbol for the
// unit's power of ten, with that power written out.
std::string assemble(const UnitParts& parts, std::optional<std::string_view> pre,
                     std::int64_t exp10) {
    const std::string& p = parts.positive;
    const std::string& n = parts.negative;
    if (p.empty() && n.empty()) return {};
    std::string latex = "\\mathrm{";
    latex.reserve(32 + p.size() + n.size());
    if (pre) {
        if (n.empty()) {
            latex += *pre;
            latex += p;
        } else if (p.empty()) {
            latex += "\\frac{1}{";
            latex += *pre;
            latex += n;
            latex += '}';
        } else {
            latex += "\\frac{";
            latex += *pre;
            latex += p;
            latex += "}{";
            latex += n;
            latex += '}';
        }
    } else {
        const std::string power = "\\times 10^{" + std::to_string(exp10) + "}";
        if (n.empty()) {
            latex += p;
            latex += power;
        } else if (p.empty()) {
            latex += "\\frac{1}{";
            latex += n;
            latex += power;
            latex += '}';
        } else {
            latex += "\\frac{";
            latex += p;
            latex += "}{";
            latex += n;
            latex += '}';
            latex += power;
        }
    }
    latex += '}';
    return latex;
}

// The automatic prefix: a power of ten taken out of the number 10^(step * t) and written as a
// prefix on the base unit whose exponent is t, the largest exponent.
struct AutoPrefix {
    std::int64_t step = 0;     // -3, -2, -1, 0 or 3
    std::int64_t largest = 0;  // t
};

AutoPrefix choose_prefix(const Unit& unit) {
    const Rational8 largest = max_exponent(unit);
    // Without a positive whole exponent no prefix can stand for the power that is taken out.
    if (!largest.is_integer() || largest.numerator <= 0) return {};
    const std::int64_t t = largest.numerator;
    const std::int64_t q = std::clamp<std::int64_t>(unit.exp10 / t, -3, 3);
    return {q == 1 || q == 2 ? 0 : q, t};
}

// The value's dimensions in LaTeX with the prefix of `prefix.step` on the base unit of exponent t
// (the first such in reverse base order).
std::string prefixed_unit_latex(const Unit& value_unit, AutoPrefix prefix) {
    Unit unit{};
    unit.dimensions = value_unit.dimensions;
    unit.exp10 = prefix.step;
    if (prefix.step == 0) return unit_to_latex(unit);

    std::optional<std::size_t> target;
    std::optional<std::size_t> first_positive;
    for (std::size_t i = base_unit_count; i-- > 0;) {
        const Rational8 exponent = unit.dimensions[i];
        if (!first_positive && exponent.numerator > 0) first_positive = i;
        if (!target && exponent.is_integer() && exponent.numerator == prefix.largest) target = i;
    }
    if (target == first_positive) return unit_to_latex(unit);

    const std::optional<std::string_view> symbol = prefix_symbol(prefix.step);
    if (!symbol) throw InternalError("automatic prefix without a symbol");
    return assemble(unit_parts(unit, target, *symbol), std::string_view{}, 0);
}

// Printed values repeat a few units over and over. Their LaTeX depends only on the dimensions and
// the prefix step, and is kept per thread in a small table by those, compared bit for bit.
const std::string& cached_prefixed_unit_latex(const Unit& unit, AutoPrefix prefix) {
    struct Entry {
        std::array<Rational8, base_unit_count> dimensions{};
        std::int64_t step = 0;
        bool filled = false;
        std::string latex;
    };
    constexpr std::size_t entries = 512;  // the top 9 bits of a hash
    thread_local std::array<Entry, entries> cache;
    std::uint64_t hash = static_cast<std::uint64_t>(prefix.step);
    for (const Rational8 exponent : unit.dimensions) {
        const auto bits =
            static_cast<std::uint64_t>(static_cast<std::uint8_t>(exponent.numerator)) |
            static_cast<std::uint64_t>(static_cast<std::uint8_t>(exponent.denominator)) << 8;
        hash = (hash ^ bits) * 0x100000001b3u;
    }
    // The multiplications carry differences only upwards, so the entry comes from the top bits.
    Entry& entry = cache[(hash * 0x9e3779b97f4a7c15u) >> 55];
    const bool same =
        entry.filled && entry.step == prefix.step &&
        std::memcmp(entry.dimensions.data(), unit.dimensions.data(), sizeof unit.dimensions) == 0;
    if (!same) {
        entry.latex = prefixed_unit_latex(unit, prefix);
        entry.dimensions = unit.dimensions;
        entry.step = prefix.step;
        entry.filled = true;
    }
    return entry.latex;
}

// n / 10^(Eh - E) / (Fh / F): the number of a value with unit `unit` in the hint's unit.
double converted_to_hint(double n, const Unit& unit, const Unit& hint) {
    const std::int64_t k = saturating_sub(hint.exp10, unit.exp10);
    if (fits_32_bits(k)) {
        const double x = n / pow10(k) / (hint.factor / unit.factor);
        if (!garbage(x, n)) return x;
    }
    return scale_by_pow10(n, saturating_sub(unit.exp10, hint.exp10)) / (hint.factor / unit.factor);
}

Result<void> append_with_hint(const Value& value, const UnitHint& hint,
                              const FormatSettings& settings, std::string& out) {
    if (!same_dimensions(hint.unit, value.unit)) {
        return fail(RunError::unit_error("Unit hint " + dimension_text(hint.unit) +
                                         " does not match value with unit " +
                                         dimension_text(value.unit)));
    }
    const std::string& latex = hint.latex;

    const double n = value.number;
    const Unit& unit = value.unit;
    const std::int64_t d = saturating_sub(unit.exp10, hint.unit.exp10);
    // An infinity or NaN has no mantissa to write a power of ten beside.
    const std::size_t start = out.size();
    if (settings.scientific && d != 0 && std::isfinite(n)) {
        append_number_text(n * unit.factor / hint.unit.factor, settings, out);
        out += " \\times 10^{";
        out += std::to_string(d);
        out += "} \\ ";
    } else {
        append_number_text(converted_to_hint(n, unit, hint.unit), settings, out);
        out += " \\ ";
    }
    out += latex;
    trim_appended(out, start);
    return {};
}

void append_in_own_units(const Value& value, const FormatSettings& settings, std::string& out) {
    const Unit& unit = value.unit;
    const double mantissa = value.number * unit.factor;
    const AutoPrefix prefix = choose_prefix(unit);
    const std::string& unit_latex = cached_prefixed_unit_latex(unit, prefix);
    const bool separate_power = settings.scientific && unit.exp10 != 0 && std::isfinite(mantissa);
    const std::int64_t e =
        unit_latex.empty() ? unit.exp10 : saturating_sub(unit.exp10, prefix.step * prefix.largest);
    const std::size_t start = out.size();
    if (separate_power) {
        append_number_text(mantissa, settings, out);
        out += "\\times 10^{";
        out += std::to_string(e);
        out += '}';
    } else {
        append_number_text(times_pow10(mantissa, e), settings, out);
    }
    if (!unit_latex.empty()) {
        out += " \\ ";
        out += unit_latex;
    }
    trim_appended(out, start);
}

}  // namespace

Result<void> append_value(const Value& value, const FormatSettings& settings, std::string& out) {
    if (settings.unit_hint != nullptr) {
        return append_with_hint(value, *settings.unit_hint, settings, out);
    }
    append_in_own_units(value, settings, out);
    return {};
}

void append_plain_number(double x, const FormatSettings& settings, std::string& out) {
    append_number_text(x, settings, out);
}

std::string unit_to_latex(const Unit& unit) {
    return assemble(unit_parts(unit), prefix_symbol(unit.exp10), unit.exp10);
}

}  // namespace mensurator
