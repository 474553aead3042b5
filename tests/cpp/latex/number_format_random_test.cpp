// The positional format against the library's own correctly rounded fixed format, over random
// doubles of every kind: decimals as documents write them, exact ties, whole numbers near the
// limits of 64 bits, and arbitrary bit patterns.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "latex/number_format.hpp"

namespace mensurator {
namespace {

// The library's fixed format, without a sign on what rounds to zero.
std::string library_fixed(double x, int p) {
    std::array<char, 400> buffer;  // 309 integer digits at most
    char* end =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), x, std::chars_format::fixed, p)
            .ptr;
    std::string text(buffer.data(), end);
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

void expect_as_library(double x, int p) {
    ASSERT_EQ(format_number(x, static_cast<std::uint64_t>(p)), library_fixed(x, p))
        << "x = " << std::bit_cast<std::uint64_t>(x) << " (bits), p = " << p;
}

class Random {
  public:
    std::uint64_t below(std::uint64_t n) {
        return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(engine_);
    }
    int precision() { return static_cast<int>(below(24)); }
    double sign(double x) { return below(2) == 0 ? x : -x; }

  private:
    std::mt19937_64 engine_{20261208};
};

TEST(FormatNumberRandom, DecimalsAsWrittenInDocuments) {
    Random random;
    for (int i = 0; i < 200000; ++i) {
        const double whole =
            static_cast<double>(random.below(std::uint64_t{1} << (random.below(60) + 1)));
        const double x = random.sign(whole / std::pow(10.0, static_cast<double>(random.below(20))));
        expect_as_library(x, random.precision());
    }
}

TEST(FormatNumberRandom, ExactTiesGoToTheEvenDigit) {
    Random random;
    for (int i = 0; i < 100000; ++i) {
        // k / 2^j has an exact last digit 5 at decimal place j, a tie for precision j - 1.
        const auto j = static_cast<int>(random.below(30) + 1);
        const double x =
            random.sign(std::ldexp(static_cast<double>(random.below(std::uint64_t{1} << 40)), -j));
        expect_as_library(x, j - 1);
        expect_as_library(x, random.precision());
    }
}

TEST(FormatNumberRandom, ArbitraryBitPatternsAndLimits) {
    Random random;
    for (int i = 0; i < 200000; ++i) {
        double x = std::bit_cast<double>(random.below(std::uint64_t{0x7ff0000000000000}));
        expect_as_library(random.sign(x), random.precision());
        // Around 2^64 / 10^p, where the scaled digits stop fitting 64 bits.
        const int p = random.precision();
        x = std::ldexp(1.0, 64) / std::pow(10.0, p) *
            (0.999 + 0.002 * static_cast<double>(random.below(1000)) / 1000);
        expect_as_library(random.sign(x), p);
    }
    for (const double x : {0.0, -0.0, 5e-324, -5e-324, 0.5, 1.5, 9007199254740993.0,
                           18446744073709551615.0, 1e19, 1.8446744073709552e19}) {
        for (int p = 0; p < 24; ++p) expect_as_library(x, p);
    }
}

}  // namespace
}  // namespace mensurator
