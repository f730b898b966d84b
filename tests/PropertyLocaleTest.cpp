#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <properties/Properties.h>

// CTest runs this with LOCPATH naming a folder where localedef has just
// built de_DE.UTF-8, a locale that writes decimals with a comma.
namespace {

std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Every form of number the reader takes, in one piece and in several
// (beyond 32 digits), must give the bits strtod gives in the C locale,
// whatever the process's locale: rounding at the subnormal edge (half the
// smallest subnormal and a hair above and below it), overflow to an
// infinity and underflow to a zero, each with its sign.
TEST(PropertyNumbers, ReadAsInTheCLocaleUnderACommaDecimalLocale) {
    std::istringstream table(
        "0.25 1.5e3 -.5 5.e3 +2.5 1E-5 4.9406564584124654e-324 2.2250738585072011e-308 2.4703282292062328e-324 "
        "2.4703282292062327e-324 1e400 -1e400 +1e400 1.7976931348623159e308 1e-400 -1e-400 "
        "-.1e99999999999999999999999999999999 0.123456789012345678901234567890e5");
    std::vector<std::string> numbers{std::istream_iterator<std::string>(table), std::istream_iterator<std::string>()};
    numbers.push_back("1." + std::string(40, '3'));
    numbers.push_back("." + std::string(40, '0') + "1e-300");
    numbers.push_back(std::string(40, '9') + "e300");
    std::vector<std::uint64_t> expected;
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    for (const std::string& number : numbers) expected.push_back(bitsOf(std::strtod(number.c_str(), nullptr)));

    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "LOCPATH: " << std::getenv("LOCPATH");
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(bitsOf(Properties("{'v': " + numbers[i] + "}").getReal("v")), expected[i]) << numbers[i];
    }
    // Integers at the limits of their tokens.
    const Properties integers("{'i': -2147483648, 'l': -9223372036854775808, 'm': 9223372036854775807L}");
    EXPECT_EQ(integers.getInt("i"), INT_MIN);
    EXPECT_EQ(integers.getLong("l"), LLONG_MIN);
    EXPECT_EQ(integers.getLong("m"), LLONG_MAX);
    std::setlocale(LC_ALL, "C");
}

}  // namespace
