#include "NumberFormat.h"
#include "ShortestFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

// The sanitizers slow every call down several times: fewer random patterns.
#if defined(__SANITIZE_ADDRESS__)
constexpr long randomFloatCount = 2'000'000, randomDoubleCount = 500'000;
#else
constexpr long randomFloatCount = 10'000'000, randomDoubleCount = 2'000'000;
#endif

std::string general6(double value) {
    // Prefilled so a length beyond what was written shows up as '#'.
    char text[40];
    std::memset(text, '#', sizeof text);
    return std::string(text, formatGeneral6(value, text));
}

template <typename Float, typename Bits>
Float fromBits(Bits bits) {
    static_assert(sizeof(Float) == sizeof(Bits), "same width");
    Float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Compares against snprintf and keeps the first few differences, each with
// the exact input, so one failure report shows what went wrong.
class Comparison {
public:
    void check(double value) {
        char expected[40], input[64];
        std::snprintf(expected, sizeof expected, "%.6g", value);
        const std::string ours = general6(value);
        if (ours != expected && ++mismatches_ <= 10) {
            std::snprintf(input, sizeof input, "%a (%.17g)", value, value);
            report_ += std::string(input) + ": got \"" + ours + "\", snprintf gives \"" + expected + "\"\n";
        }
    }

    // Checks value and its neighbours on both sides, as double and as float.
    void checkAround(double value) {
        const float single = static_cast<float>(value);
        for (double v : {value, std::nextafter(value, 0.0), std::nextafter(value, HUGE_VAL), double(single),
                         double(std::nextafter(single, 0.0f)), double(std::nextafter(single, HUGE_VALF))})
            check(v);
    }

    ~Comparison() { EXPECT_EQ(mismatches_, 0) << report_; }

private:
    long mismatches_ = 0;
    std::string report_;
};

TEST(FormatGeneral6, ExactCases) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.1f, "0.1"},
        {1234567, "1.23457e+06"},
        {0.00001, "1e-05"},
        {-0.0, "-0"},
        {999999.5, "1e+06"},            // carries into a seventh digit
        {9.9999996, "10"},              // carries across the point
        {0.000099999996, "0.0001"},     // carries out of the exponent form
        {1234565, "1.23456e+06"},       // exact tie, even neighbour below
        {0.0009765625, "0.000976562"},  // 2^-10, an exact tie in fixed form
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const auto& c : cases) EXPECT_EQ(general6(c.value), c.text) << "input " << c.value;
}

// Zeros, limits, NaNs and infinities of both signs, ties, powers of ten and
// the values where the exponent form takes over from the fixed one, each with
// its neighbours.
TEST(FormatGeneral6, EdgeCasesMatchSnprintf) {
    const double values[] = {0.0,       -0.0,      DBL_MAX,      -DBL_MAX,     DBL_MIN,     DBL_TRUE_MIN, -DBL_TRUE_MIN,
                             FLT_MAX,   FLT_MIN,   FLT_TRUE_MIN, HUGE_VAL,     -HUGE_VAL,   NAN,          -NAN,
                             1234565.0, 1234575.0, 0.0009765625, 2.5e-5,       1e-5,        1e-4,         1e5,
                             1e6,       1e22,      1e23,         1e-300,       9.999995e-5, 9.9999949e-5, 99999.95,
                             999999.4,  999999.5,  9.999995e22,  9.999995e-308};
    Comparison comparison;
    for (const double value : values) comparison.checkAround(value);
}

template <typename Real>
std::string shortest(Real value) {
    char text[shortestRoom];
    std::memset(text, '#', sizeof text);
    return std::string(text, formatShortest(value, text));
}

template <typename Real>
std::string toChars(Real value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Each value, its neighbours and their negatives, as double and as float:
// zeros, limits, NaNs and infinities, powers of two (with a closer neighbour
// below), powers of ten, the values where fixed and scientific notation
// trade places, and integers beyond the significand, whose fixed form is
// exact.
TEST(FormatShortest, EdgeCasesMatchToChars) {
    const double values[] = {0.0,          DBL_MAX,  DBL_MIN, DBL_TRUE_MIN, 1e-323, FLT_MAX, FLT_MIN,
                             FLT_TRUE_MIN, HUGE_VAL, NAN,     1.0,          2.0,    0.5,     0.1,
                             0.3,          1e-3,     1e-4,    1.5e-4,       1e-5,   1e4,     1e5,
                             123456.0,     1.5e6,    1.5e7,   1e15,         1e16,   1e17,    9007199254740993.0,
                             1e21,         1e22,     1e23,    123456792.0};
    const double largeIntegers[] = {123456789012345680000.0, 12345678e6, 9.999999999999999e22};
    const auto check = [](double value) {
        for (const double near : {value, std::nextafter(value, 0.0), std::nextafter(value, HUGE_VAL)}) {
            for (const double v : {near, -near}) {
                EXPECT_EQ(shortest(v), toChars(v)) << "double " << std::hexfloat << v;
                const float single = static_cast<float>(v);
                EXPECT_EQ(shortest(single), toChars(single)) << "float " << std::hexfloat << single;
            }
        }
    };
    for (const double value : values) check(value);
    for (const double value : largeIntegers) check(value);
}

TEST(FormatUnsigned, ExactCases) {
    for (const std::uint32_t value : {0u, 9u, 10u, 65535u, 999999999u, 1000000000u, 4294967295u}) {
        char text[16];
        EXPECT_EQ(std::string(text, formatUnsigned(value, text)), std::to_string(value));
    }
}

TEST(FormatGeneral6, RandomBitPatternsMatchSnprintf) {
    Comparison comparison;
    std::mt19937_64 random(20261206);
    for (long i = 0; i < randomFloatCount; ++i) comparison.check(fromBits<float>(static_cast<std::uint32_t>(random())));
    for (long i = 0; i < randomDoubleCount; ++i) comparison.check(fromBits<double>(std::uint64_t{random()}));
}

// Powers of ten, and the values nearest to d.ddddd5 (half a unit of the sixth
// digit), where a rounding error first shows: exact ties where the value is
// an integer or ends in .5, and powers of two whose expansion ends in 5.
TEST(FormatGeneral6, PowersOfTenAndRoundingBoundariesMatchSnprintf) {
    Comparison comparison;
    const auto checkBoth = [&comparison](const std::string& text) {
        comparison.checkAround(std::strtod(text.c_str(), nullptr));
        comparison.checkAround(std::strtof(text.c_str(), nullptr));
    };
    std::mt19937 random(5);
    std::uniform_int_distribution<int> digits(100000, 999999);
    for (int exponent = -330; exponent <= 310; ++exponent) {
        checkBoth("1e" + std::to_string(exponent));
        checkBoth("9999995e" + std::to_string(exponent - 6));  // rounds up into the next decade
        for (int i = 0; i < 200; ++i) checkBoth(std::to_string(digits(random)) + "5e" + std::to_string(exponent - 6));
    }
    for (int exponent = -1074; exponent <= 1023; ++exponent) comparison.checkAround(std::ldexp(1.0, exponent));
}

// Every float subnormal with a short fraction, zeros, infinities and NaNs,
// of both signs.
TEST(FormatGeneral6, SubnormalsZerosInfinitiesAndNaNsMatchSnprintf) {
    Comparison comparison;
    for (std::uint32_t sign : {0u, 0x80000000u}) {
        for (std::uint32_t fraction = 0; fraction < 0x10000; ++fraction)
            comparison.check(fromBits<float>(sign | fraction));
        for (std::uint32_t special : {0x7f800000u, 0x7fc00000u, 0x7f800001u, 0x7fffffffu})
            comparison.check(fromBits<float>(sign | special));
    }
    for (std::uint64_t sign : {std::uint64_t{0}, std::uint64_t{1} << 63}) {
        for (std::uint64_t special : {0x1ull, 0x7ff0000000000000ull, 0x7ff8000000000000ull, 0x7ff0000000000001ull})
            comparison.check(fromBits<double>(sign | special));
    }
}

}  // namespace
