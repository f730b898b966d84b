#include "NumberFormat.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "BigInteger.h"

// formatGeneral6 rounds to six significant digits by multiplying the binary
// significand with a 64-bit approximation of a power of ten. The decimal
// exponent of the result is known before that: it is the binary exponent's
// decade, or one more when the value reaches the table's smallest double
// that rounds up into the next decade. The scaled value then always has six
// digits before its point and more than 40 correct bits after it, which
// decides the rounding of every value except those just below one half.
// Among those, exact ties (the value really ends in a 5 at the seventh
// digit) are recognised with integer arithmetic and rounded half to even,
// as the C library does; anything else still that close goes to snprintf,
// which is exact.
//
// Neither the sign nor the layout (fixed or with an exponent, how many
// digits before the point) is chosen by a branch: they vary from value to
// value in real data, where a branch would often be mispredicted. Each
// decimal exponent has a table entry that says where the digits, the point
// and the exponent text go.

namespace {

using big::Uint128;

constexpr int minExponent = -324;  // 4.94066e-324
constexpr int maxExponent = 308;   // 1.79769e+308
constexpr int exponentCount = maxExponent - minExponent + 1;

// What formatting a value of one decimal exponent k needs.
struct Decade {
    // 10^(5 - k) as tenPower * 2^(1022 - pointBase): the top 64 bits of the
    // exact value, rounded down, so less than one unit short.
    std::uint64_t tenPower = 0;
    int pointBase = 0;
    // The layout, made of stores that each write a word over the end of the
    // one before: "0.000000", then the six digits at digitsAt, then "." and
    // the digits after the first integerDigits at pointAt (in fixed notation
    // with leading zeros, beyond the end), then the exponent text ("e-05",
    // nothing in fixed notation) after the last digit kept, which is
    // leadingZeros characters further than it is in the digits.
    std::uint8_t integerDigits = 0;
    std::uint8_t leadingZeros = 0;
    std::uint8_t digitsAt = 0;
    std::uint8_t pointAt = 0;
    std::uint8_t exponentLength = 0;
    std::uint64_t exponentText = 0;
};

constexpr std::uint64_t signBit = std::uint64_t{1} << 63;
constexpr std::uint64_t infinityBits = 0x7ff0000000000000u;

constexpr Decade layoutFor(int k, big::TopBits power) {
    Decade decade;
    decade.tenPower = static_cast<std::uint64_t>(power.significand);
    decade.pointBase = 1022 - power.binaryExponent;
    if (k >= 0 && k <= 5) {
        decade.integerDigits = static_cast<std::uint8_t>(k + 1);
        decade.pointAt = decade.integerDigits;
    } else if (k < 0 && k >= -4) {
        decade.leadingZeros = static_cast<std::uint8_t>(-k);
        decade.digitsAt = static_cast<std::uint8_t>(1 - k);
        decade.pointAt = static_cast<std::uint8_t>(7 - k);  // past the last digit
    } else {
        decade.integerDigits = 1;
        decade.pointAt = 1;
        const unsigned magnitude = static_cast<unsigned>(k < 0 ? -k : k);
        std::uint64_t text = std::uint64_t{k < 0 ? 0x2d65u : 0x2b65u};  // "e-", "e+"
        int length = 2;
        if (magnitude >= 100) text |= std::uint64_t{'0' + magnitude / 100} << 8 * length++;
        text |= std::uint64_t{'0' + magnitude / 10 % 10} << 8 * length++;
        text |= std::uint64_t{'0' + magnitude % 10} << 8 * length++;
        decade.exponentText = text;
        decade.exponentLength = static_cast<std::uint8_t>(length);
    }
    return decade;
}

// The bits of the double m * 2^e, for m in [2^52, 2^53) and e >= -1074, or
// m below 2^52 and e == -1074 (a subnormal); infinity when beyond range.
constexpr std::uint64_t doubleBits(std::uint64_t m, int e) {
    if (e > 1023 - 52) return infinityBits;
    return (static_cast<std::uint64_t>(e + 1074) << 52) + m;
}

// The smallest double not below w * 2^f.
constexpr std::uint64_t doubleAtLeast(const big::Integer& w, int f) {
    const int length = w.bitLength();
    std::uint64_t m = 0;
    int e = f;
    if (length <= 53) {
        m = static_cast<std::uint64_t>(w.bits(0, 53)) << (53 - length);
        e -= 53 - length;
    } else {
        const int shift = length - 53;
        m = static_cast<std::uint64_t>(w.bits(shift, 53)) + w.anyBelow(shift);
        e += shift;
    }
    if (m == std::uint64_t{1} << 53) {
        m >>= 1;
        ++e;
    }
    return doubleBits(m, e);
}

// The smallest double not below 9999995 / 10^n for n >= 2, from
// reciprocal = floor(2^reciprocalBits / 10^n). The quotient is never an
// integer and never within 9999995 units of one (which reciprocal's rounding
// could hide); the compiler refuses the table if it were.
constexpr std::uint64_t doubleAtLeastQuotient(big::Integer reciprocal) {
    reciprocal.multiplyBy(9999995);  // short of the exact scaled quotient by less than 9999995
    int shift = reciprocal.bitLength() - 53;
    if (shift - big::reciprocalBits < -1074) shift = big::reciprocalBits - 1074;
    if (!reciprocal.anyBelow(shift) || reciprocal.allOnes(24, shift)) throw "inexact rounding threshold";
    std::uint64_t m = static_cast<std::uint64_t>(reciprocal.bits(shift, 53)) + 1;
    int e = shift - big::reciprocalBits;
    if (m == std::uint64_t{1} << 53) {
        m >>= 1;
        ++e;
    }
    return doubleBits(m, e);
}

struct Tables {
    Decade decade[exponentCount];
    // Entry k0: the smallest double that rounds to six digits at decimal
    // exponent k0 + 1 or more, 9.999995 * 10^k0 or just above.
    std::uint64_t roundsUpFrom[exponentCount] = {};

    constexpr Tables() {
        // 10^s for 5 - s in range, and 9999995 * 10^(k0 - 6) for k0 >= 6.
        big::Integer exact = big::one();
        for (int s = 0; s <= 5 - minExponent; ++s) {
            decade[5 - s - minExponent] = layoutFor(5 - s, big::topBits(exact, 64));
            if (s + 6 <= maxExponent) {
                big::Integer threshold = exact;
                threshold.multiplyBy(9999995);
                roundsUpFrom[s + 6 - minExponent] = doubleAtLeast(threshold, 0);
            }
            exact.multiplyBy(10);
        }
        big::Integer odd;
        odd.word[0] = 1999999;
        roundsUpFrom[5 - minExponent] = doubleAtLeast(odd, -1);  // 999999.5
        // 10^-n for k = 5 + n in range, and 9999995 / 10^n for k0 = 6 - n.
        big::Integer reciprocal = big::twoToReciprocalBits();
        for (int n = 1; n <= 6 - minExponent; ++n) {
            reciprocal.divideBy10();
            if (5 + n <= maxExponent) {
                big::TopBits power = big::topBits(reciprocal, 64);
                power.binaryExponent -= big::reciprocalBits;
                decade[5 + n - minExponent] = layoutFor(5 + n, power);
            }
            if (n >= 2) roundsUpFrom[6 - n - minExponent] = doubleAtLeastQuotient(reciprocal);
        }
    }
};

constexpr Tables tables;

// ---------------------------------------------------------------------------
// Digit text.

constexpr char digitPairs[] =
    "00010203040506070809"
    "10111213141516171819"
    "20212223242526272829"
    "30313233343536373839"
    "40414243444546474849"
    "50515253545556575859"
    "60616263646566676869"
    "70717273747576777879"
    "80818283848586878889"
    "90919293949596979899";

// The digit text is assembled in 64-bit registers, first character in the
// lowest byte, and stored whole: writing the digits to a scratch array in
// pairs and copying the array on would make each copy wait for the pair
// stores to reach memory (they cannot be forwarded to one wider load).
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "digit text is laid out in little-endian words");

inline std::uint64_t pairText(unsigned value) {
    std::uint16_t pair;
    std::memcpy(&pair, digitPairs + 2 * value, 2);
    return pair;
}

// The six digits of significand (100000..999999) in the low six bytes.
// significand / 10^4 is taken as a fixed-point number with 52 fraction bits;
// each pair of digits is then the integer part, and the fraction times 100
// gives the next. Rounding the scale up errs by less than 10^6 units, which
// the two multiplications by 100 leave far below one unit of the last pair.
inline std::uint64_t sixDigitText(std::uint32_t significand) {
    constexpr int point = 52;
    constexpr std::uint64_t mask = (std::uint64_t{1} << point) - 1;
    std::uint64_t scaled = significand * ((std::uint64_t{1} << point) / 10000 + 1);
    const std::uint64_t first = pairText(static_cast<unsigned>(scaled >> point));
    scaled = (scaled & mask) * 100;
    const std::uint64_t second = pairText(static_cast<unsigned>(scaled >> point));
    scaled = (scaled & mask) * 100;
    return first | second << 16 | pairText(static_cast<unsigned>(scaled >> point)) << 32;
}

// How many of the six digits remain once trailing zeros are dropped: the
// position of the last byte that is not '0'. The first digit never is.
inline unsigned significantDigits(std::uint64_t text) {
    const std::uint64_t notZero = text ^ 0x303030303030u;
    return ((63 - static_cast<unsigned>(__builtin_clzll(notZero))) >> 3) + 1;
}

inline void store(char* out, std::uint64_t text) {
    std::memcpy(out, &text, sizeof text);
}

// Lays out six rounded significant digits as the decade's entry says,
// dropping trailing zeros and a bare point. Four 8-byte words are stored:
// up to 19 bytes of `out` are written.
inline __attribute__((always_inline)) std::size_t layOut(std::uint32_t significand, const Decade& decade, char* out) {
    const std::uint64_t digits = sixDigitText(significand);
    const unsigned count = significantDigits(digits);
    const unsigned integerDigits = decade.integerDigits;
    store(out, 0x3030303030302e30u);  // "0.000000"
    store(out + decade.digitsAt, digits);
    store(out + decade.pointAt, '.' | (digits >> 8 * integerDigits) << 8);
    const unsigned end = decade.leadingZeros + (count > integerDigits ? count + 1 : integerDigits);
    store(out + end, decade.exponentText);
    return end + decade.exponentLength;
}

// True when 2 * m * 2^e * 10^s is an odd integer, i.e. m * 2^e * 10^s lies
// exactly halfway between two integers. m is nonzero.
__attribute__((noinline)) bool isExactHalf(std::uint64_t m, int e, int s) {
    const int zeros = __builtin_ctzll(m);
    m >>= zeros;
    e += zeros;
    if (e + 1 + s != 0) return false;
    if (s >= 0) return true;
    // 10^s = 2^s / 5^-s: the odd part of m must absorb 5^-s, and 5^23 > 2^53.
    if (s < -22) return false;
    std::uint64_t fivePower = 1;
    for (int i = 0; i < -s; ++i) fivePower *= 5;
    return m % fivePower == 0;
}

__attribute__((noinline, cold)) std::size_t formatWithLibrary(double value, char* out) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.6g", value);
    std::memcpy(out, text, static_cast<std::size_t>(length));
    return static_cast<std::size_t>(length);
}

// Zero, the infinities and NaN, without their sign.
std::size_t formatZeroOrSpecial(std::uint64_t magnitude, char* out) {
    if (magnitude == 0) {
        *out = '0';
        return 1;
    }
    std::memcpy(out, magnitude == infinityBits ? "inf" : "nan", 3);
    return 3;
}

// formatGeneral6, which with withFallback false returns 0 where it would
// have asked snprintf.
template <bool withFallback>
inline std::size_t format(double value, char* out) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    // The sign is written whatever it is, and covered by the number when
    // there is none.
    const unsigned negative = static_cast<unsigned>(bits >> 63);
    *out = '-';
    char* const text = out + negative;
    const std::uint64_t magnitude = bits & ~signBit;
    if (__builtin_expect(magnitude - 1 >= infinityBits - 1, 0)) return negative + formatZeroOrSpecial(magnitude, text);

    // value = m * 2^(biased - 1086), with the top bit of m set; biased is
    // the exponent field, continued below 1 for subnormals.
    std::uint64_t m = magnitude << 11 | signBit;
    int biased = static_cast<int>(magnitude >> 52);
    if (__builtin_expect(biased == 0, 0)) {
        const int zeros = __builtin_clzll(magnitude);
        m = magnitude << zeros;
        biased = 12 - zeros;
    }

    // floor((biased - 1023) * log10(2)) - minExponent, exact over the
    // doubles' range, in unsigned arithmetic since it is never negative.
    const unsigned estimate = (static_cast<unsigned>(biased) * 78913u + 4206657u) >> 18;
    const unsigned index = estimate + (magnitude >= tables.roundsUpFrom[estimate]);
    const Decade& decade = tables.decade[index];

    // value * 10^(5 - exponent) lies in [99999.95, 999999.5), here as a
    // fixed-point number with its point at bit pointBit (42..47). It is short
    // of the exact product by less than 2 units: under 2^23 units of
    // `fraction`, never over.
    const std::uint64_t high = static_cast<std::uint64_t>(Uint128{m} * decade.tenPower >> 64);
    const int pointBit = decade.pointBase - biased;
    const std::uint64_t integer = high >> pointBit;
    const std::uint64_t fraction = high << (64 - pointBit);
    std::uint64_t significand = integer + (fraction >> 63);

    // Only a fraction just below one half, or equal to it, is uncertain.
    constexpr std::uint64_t margin = std::uint64_t{1} << 23;
    if (__builtin_expect(fraction - (signBit - margin + 1) < margin, 0)) {
        const int exponent = static_cast<int>(index) + minExponent;
        if (!isExactHalf(m, biased - 1086, 5 - exponent)) return withFallback ? formatWithLibrary(value, out) : 0;
        significand = integer + (integer & 1);  // ties to even, as glibc does
    }
    return negative + layOut(static_cast<std::uint32_t>(significand), decade, text);
}

}  // namespace

std::size_t formatGeneral6(double value, char* out) {
    return format<true>(value, out);
}

std::size_t formatGeneral6Fast(double value, char* out) {
    return format<false>(value, out);
}

std::size_t formatUnsigned(std::uint32_t value, char* out) {
    // The standard conversion is already exact and as fast as a hand-written
    // one; ten characters always suffice.
    return static_cast<std::size_t>(std::to_chars(out, out + 10, value).ptr - out);
}
