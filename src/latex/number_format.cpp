#include "latex/number_format.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
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
