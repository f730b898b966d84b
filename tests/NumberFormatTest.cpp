#include "NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

// Under the sanitizers every call is several times slower, so the sampled
// comparison takes fewer random patterns there to stay within seconds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

constexpr long RandomFloatCount = Sanitized ? 2'000'000 : 10'000'000;
constexpr long RandomDoubleCount = Sanitized ? 500'000 : 2'000'000;

std::string general6(double value)
{
    // Prefilled so a length beyond what was written shows up as '#'.
    char text[40];
    std::memset(text, '#', sizeof text);
    const std::size_t length = formatGeneral6(value, text);
    return std::string(text, length);
}

std::string reference(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

double fromBits(std::uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double floatFromBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Compares against snprintf and keeps the first few differences, each with
// the exact input, so one failure report shows what went wrong.
class Comparison {
public:
    void check(double value)
    {
        ++checked_;
        const std::string ours = general6(value);
        const std::string expected = reference(value);
        if (ours == expected)
            return;
        if (++mismatches_ <= 10) {
            char input[64];
            std::snprintf(input, sizeof input, "%a (%.17g)", value, value);
            report_ += std::string(input) + ": got \"" + ours + "\", snprintf gives \"" + expected + "\"\n";
        }
    }

    // Checks value and its neighbours on both sides, as double and as float.
    void checkAround(double value)
    {
        check(value);
        check(std::nextafter(value, 0.0));
        check(std::nextafter(value, HUGE_VAL));
        const float single = static_cast<float>(value);
        check(single);
        check(std::nextafter(single, 0.0f));
        check(std::nextafter(single, HUGE_VALF));
    }

    void expectNoMismatch() const
    {
        EXPECT_GT(checked_, 0);
        EXPECT_EQ(mismatches_, 0) << report_;
    }

private:
    long checked_ = 0;
    long mismatches_ = 0;
    std::string report_;
};

TEST(FormatGeneral6, ExactCases)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1.5, "1.5"},
        {0.1f, "0.1"},
        {100000, "100000"},
        {1234567, "1.23457e+06"},
        {0.00001, "1e-05"},
        {-2, "-2"},
        {0.0, "0"},
        {-0.0, "-0"},
        {0.0001, "0.0001"},
        {0.000123456789, "0.000123457"},
        {999999, "999999"},
        {999999.5, "1e+06"},        // carries into a seventh digit
        {9.9999996, "10"},          // carries across the point
        {0.000099999996, "0.0001"}, // carries out of the exponent form
        {123456.7, "123457"},
        {-3.25, "-3.25"},
        {1e100, "1e+100"},
        {-1.5e-300, "-1.5e-300"},
        {1234565, "1.23456e+06"},    // exact tie, even neighbour below
        {1234575, "1.23458e+06"},    // exact tie, even neighbour above
        {0.0009765625, "0.000976562"}, // 2^-10, an exact tie in fixed form
        {std::numeric_limits<double>::max(), "1.79769e+308"},
        {std::numeric_limits<double>::min(), "2.22507e-308"},
        {std::numeric_limits<double>::denorm_min(), "4.94066e-324"},
        {std::numeric_limits<float>::max(), "3.40282e+38"},
        {std::numeric_limits<float>::denorm_min(), "1.4013e-45"},
        {HUGE_VAL, "inf"},
        {-HUGE_VAL, "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {-std::numeric_limits<double>::quiet_NaN(), "-nan"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(general6(c.value), c.text) << "input " << c.value;
}

TEST(FormatUnsigned, ExactCases)
{
    const struct {
        std::uint32_t value;
        const char* text;
    } cases[] = {
        {0, "0"},         {7, "7"},           {10, "10"},         {99, "99"},
        {100, "100"},     {65535, "65535"},   {999999999, "999999999"},
        {1000000000, "1000000000"},           {4294967295u, "4294967295"},
    };
    for (const auto& c : cases) {
        char text[16];
        EXPECT_EQ(std::string(text, formatUnsigned(c.value, text)), c.text);
    }
}

TEST(FormatGeneral6, RandomBitPatternsMatchSnprintf)
{
    Comparison comparison;
    std::mt19937_64 random(20261206);
    for (long i = 0; i < RandomFloatCount; ++i)
        comparison.check(floatFromBits(static_cast<std::uint32_t>(random())));
    for (long i = 0; i < RandomDoubleCount; ++i)
        comparison.check(fromBits(random()));
    comparison.expectNoMismatch();
}

TEST(FormatGeneral6, PowersOfTenMatchSnprintf)
{
    Comparison comparison;
    for (int exponent = -325; exponent <= 309; ++exponent) {
        const std::string text = "1e" + std::to_string(exponent);
        comparison.checkAround(std::strtod(text.c_str(), nullptr));
        comparison.checkAround(std::strtof(text.c_str(), nullptr));
    }
    comparison.expectNoMismatch();
}

// Values nearest to d.ddddd5 (half a unit of the sixth digit) are where a
// rounding error first shows.
TEST(FormatGeneral6, RoundingBoundariesMatchSnprintf)
{
    Comparison comparison;
    std::mt19937 random(5);
    std::uniform_int_distribution<int> digits(100000, 999999);
    for (int exponent = -330; exponent <= 310; ++exponent) {
        for (int i = 0; i < 200; ++i) {
            char text[32];
            std::snprintf(text, sizeof text, "%d5e%d", digits(random), exponent - 6);
            comparison.checkAround(std::strtod(text, nullptr));
            comparison.checkAround(std::strtof(text, nullptr));
        }
    }
    comparison.expectNoMismatch();
}

// Exact ties: six digits followed by a 5 (as integers at many scales, and as
// n + 0.5), and powers of two whose expansion ends in 5 past the sixth digit.
TEST(FormatGeneral6, ExactTiesMatchSnprintf)
{
    Comparison comparison;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> digits(100000, 999999);
    for (int i = 0; i < 2000; ++i) {
        const int leading = digits(random);
        comparison.checkAround(leading + 0.5);
        double scale = 1;
        for (int p = 0; p <= 9; ++p, scale *= 10)
            comparison.checkAround((leading * 10.0 + 5) * scale); // below 2^53: exact
    }
    for (int exponent = -1074; exponent <= 1023; ++exponent)
        comparison.checkAround(std::ldexp(1.0, exponent));
    comparison.expectNoMismatch();
}

TEST(FormatGeneral6, SubnormalsZerosInfinitiesAndNaNsMatchSnprintf)
{
    Comparison comparison;
    std::mt19937_64 random(11);
    for (std::uint32_t sign : {0u, 0x80000000u}) {
        for (std::uint32_t fraction = 0; fraction < 0x10000; ++fraction)
            comparison.check(floatFromBits(sign | fraction));
        for (int i = 0; i < 100000; ++i)
            comparison.check(floatFromBits(sign | (random() & 0x7fffff)));
        comparison.check(floatFromBits(sign | 0x7f800000u));               // infinity
        comparison.check(floatFromBits(sign | 0x7fc00000u));               // quiet NaN
        comparison.check(floatFromBits(sign | 0x7f800001u));               // signalling NaN
        comparison.check(floatFromBits(sign | 0x7fffffffu));
    }
    for (std::uint64_t sign : {std::uint64_t{0}, std::uint64_t{1} << 63}) {
        for (int i = 0; i < 100000; ++i)
            comparison.check(fromBits(sign | (random() & ((std::uint64_t{1} << 52) - 1))));
        comparison.check(fromBits(sign | 1));
        comparison.check(fromBits(sign | 0x7ff0000000000000u));
        comparison.check(fromBits(sign | 0x7ff8000000000000u));
        comparison.check(fromBits(sign | 0x7ff0000000000001u));
    }
    comparison.expectNoMismatch();
}

} // namespace
