#include "latex/number_format.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "base/error.hpp"

namespace mensurator {

namespace {

// Beyond 1074 decimals a double has no further non-zero digits (its smallest step is 2^-1074),
// so larger precisions are written as 1074 exact decimals followed by zeros.
constexpr std::uint64_t exact_decimals = 1074;
// Sign, up to 309 integer digits, the point and the decimals.
constexpr std::size_t buffer_size = 1 + 309 + 1 + exact_decimals + 16;

bool only_zero_digits(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return c == '0' || c == '.' || c == '-'; });
}

using Wide = unsigned __int128;

constexpr std::array<std::uint64_t, 20> powers_of_ten = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& p : powers) {
        p = power;
        power *= 10;
    }
    return powers;
}();

// |x| * 10^p rounded to an integer, ties to even as the library's fixed format rounds them, when
// that fits 64 bits. Exact: |x| is m * 2^e, so the product is m * 10^p (below 2^117 for the
// precisions of the table) shifted by e, with the bits shifted out deciding the rounding.
std::optional<std::uint64_t> scaled_digits(double x, std::uint64_t p) {
    if (p >= powers_of_ten.size()) return std::nullopt;
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const auto biased = static_cast<int>(bits >> 52 & 0x7ff);
    std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0) return m == 0 ? std::optional<std::uint64_t>(0) : std::nullopt;
    m |= std::uint64_t{1} << 52;
    const int e = biased - 1075;
    const Wide product = Wide{m} * powers_of_ten[p];
    Wide scaled = 0;
    if (e >= 0) {
        if (e > 11) return std::nullopt;  // m * 10^p * 2^e would pass 128 bits
        scaled = product << e;
    } else {
        if (e < -127) return std::nullopt;
        const int shift = -e;
        scaled = product >> shift;
        const Wide rest = product - (scaled << shift);
        const Wide half = Wide{1} << (shift - 1);
        if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
    }
    if (scaled >> 64 != 0) return std::nullopt;
    return static_cast<std::uint64_t>(scaled);
}

// x with p decimals from its scaled digits; false, writing nothing, where they do not fit.
bool append_scaled(double x, std::uint64_t p, std::string& out) {
    const std::optional<std::uint64_t> scaled = scaled_digits(x, p);
    if (!scaled) return false;
    std::array<char, 20> digits;
    const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), *scaled).ptr;
    const std::string_view text(digits.data(), static_cast<std::size_t>(end - digits.data()));
    // As below: what rounds to zero has no sign.
    if (std::signbit(x) && *scaled != 0) out += '-';
    if (p == 0) {
        out += text;
    } else if (text.size() <= p) {
        out += "0.";
        out.append(p - text.size(), '0');
        out += text;
    } else {
        out += text.substr(0, text.size() - p);
        out += '.';
        out += text.substr(text.size() - p);
    }
    return true;
}

}  // namespace

std::string format_number(double x, std::uint64_t p) {
    std::string text;
    append_number(x, p, text);
    return text;
}

void append_number(double x, std::uint64_t p, std::string& out) {
    if (std::isnan(x)) {
        out += "NaN";
        return;
    }
    if (std::isinf(x)) {
        out += x > 0 ? "inf" : "-inf";
        return;
    }

    if (append_scaled(x, p, out)) return;
    const std::uint64_t computed = std::min(p, exact_decimals);
    std::array<char, buffer_size> buffer;
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                            std::chars_format::fixed, static_cast<int>(computed));
    if (error != std::errc{}) throw InternalError("number does not fit the format buffer");
    std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    // A value that rounds to zero is written without a sign, whatever the sign of the double.
    if (text.front() == '-' && only_zero_digits(text)) text.remove_prefix(1);
    out += text;
    out.append(p - computed, '0');
}

void append_significant(double x, unsigned figures, std::string& out) {
    if (!std::isfinite(x) || x == 0) {
        append_number(x, 0, out);
        return;
    }
    figures = std::max(figures, 1U);
    // d.ddd...e±k: the rounded figures and the power of ten of the first one.
    std::array<char, 1 + 256 + 1 + 8> buffer;
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(x),
                      std::chars_format::scientific, static_cast<int>(figures - 1));
    if (error != std::errc{}) throw InternalError("number does not fit the format buffer");
    const std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    const std::size_t e = text.find('e');
    int power = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(),
                    power);
    std::string digits;
    for (const char c : text.substr(0, e)) {
        if (c != '.') digits += c;
    }
    const bool whole = x - std::trunc(x) == 0;
    if (whole && power < static_cast<int>(figures)) {
        append_number(x, 0, out);
        return;
    }
    if (x < 0) out += '-';
    if (power < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-power - 1), '0');
        out += digits;
    } else if (static_cast<std::size_t>(power) + 1 >= digits.size()) {
        out += digits;
        out.append(static_cast<std::size_t>(power) + 1 - digits.size(), '0');
    } else {
        const auto integer_digits = static_cast<std::size_t>(power) + 1;
        out += std::string_view(digits).substr(0, integer_digits);
        out += '.';
        out += std::string_view(digits).substr(integer_digits);
    }
}

std::uint64_t precision_for(double x, std::uint64_t digits) {
    return std::isnan(x) || x - std::trunc(x) != 0 ? digits : 0;
}

}  // namespace mensurator
