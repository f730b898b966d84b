#include "NumberFormat.h"

#include <charconv>
#include <cstdio>
#include <cstring>

// formatGeneral6 finds the six significant digits by multiplying the binary
// significand with a 128-bit approximation of a power of ten, which yields the
// scaled value with more than 90 correct fraction bits. That decides the
// rounding of every value except those whose scaled fraction lies within a few
// units of one half. Among those, exact ties (the value really ends in a 5 at
// the seventh digit) are recognised with integer arithmetic and rounded half
// to even, as the C library does; anything else still that close goes to
// snprintf, which is exact.

namespace {

using Uint128 = unsigned __int128;

// ---------------------------------------------------------------------------
// Powers of ten, computed by the compiler.
//
// Entry s holds 10^s as significand * 2^binaryExponent, with the significand
// the top 128 bits of the exact value (rounded down, so at most one unit
// short) and its top bit set.

constexpr int minPower = -302;  // 5 - 307: the largest doubles
constexpr int maxPower = 329;   // 5 + 324: the smallest subnormals
constexpr int powerCount = maxPower - minPower + 1;

// A little-endian multi-word integer, big enough for 2^1184.
constexpr int bigWords = 38;
constexpr int reciprocalBits = 1184;  // 10^302 < 2^1004 leaves > 128 bits of 2^1184 / 10^302

struct BigInteger {
    std::uint32_t word[bigWords] = {};

    constexpr int bitLength() const {
        for (int i = bigWords - 1; i >= 0; --i) {
            if (word[i] != 0) {
                int bits = 32;
                while (!(word[i] >> (bits - 1) & 1)) --bits;
                return i * 32 + bits;
            }
        }
        return 0;
    }

    constexpr bool bit(int index) const { return index >= 0 && (word[index / 32] >> (index % 32) & 1); }

    constexpr void multiplyBy10() {
        std::uint64_t carry = 0;
        for (auto& w : word) {
            const std::uint64_t product = std::uint64_t{w} * 10 + carry;
            w = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
    }

    // Rounds down; repeated division stays exact: floor(floor(a/10)/10) == floor(a/100).
    constexpr void divideBy10() {
        std::uint64_t remainder = 0;
        for (int i = bigWords - 1; i >= 0; --i) {
            const std::uint64_t current = remainder << 32 | word[i];
            word[i] = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
    }
};

struct PowerOfTen {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    int binaryExponent = 0;
};

// Top 128 bits of value, as a PowerOfTen whose exponent is relative to the
// value's own units.
constexpr PowerOfTen topBits(const BigInteger& value) {
    PowerOfTen result;
    const int length = value.bitLength();
    const int lowest = length - 128;  // may be negative: shifts small values up
    for (int i = 0; i < 64; ++i) {
        if (value.bit(lowest + 64 + i)) result.high |= std::uint64_t{1} << i;
        if (value.bit(lowest + i)) result.low |= std::uint64_t{1} << i;
    }
    result.binaryExponent = lowest;
    return result;
}

struct PowerTable {
    PowerOfTen power[powerCount];

    constexpr PowerTable() {
        BigInteger exact;
        exact.word[0] = 1;
        for (int s = 0; s <= maxPower; ++s) {
            power[s - minPower] = topBits(exact);
            exact.multiplyBy10();
        }
        BigInteger reciprocal;  // floor(2^reciprocalBits / 10^n)
        reciprocal.word[reciprocalBits / 32] = std::uint32_t{1} << (reciprocalBits % 32);
        for (int n = 1; n <= -minPower; ++n) {
            reciprocal.divideBy10();
            PowerOfTen entry = topBits(reciprocal);
            entry.binaryExponent -= reciprocalBits;
            power[-n - minPower] = entry;
        }
    }
};

constexpr PowerTable powers;

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

inline void writePair(char* out, unsigned value) {
    std::memcpy(out, digitPairs + 2 * value, 2);
}

// The digit text is assembled in a 64-bit register, first character in the
// lowest byte, and stored whole: writing the digits to a scratch array in
// pairs and copying the array on would make each copy wait for the pair
// stores to reach memory (they cannot be forwarded to one wider load), which
// cost a fifth of the formatting time.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "digit text is laid out in little-endian words");

inline std::uint64_t pairText(unsigned value) {
    std::uint16_t pair;
    std::memcpy(&pair, digitPairs + 2 * value, 2);
    return pair;
}

// The six digits of significand (100000..999999) in the low six bytes.
inline std::uint64_t sixDigitText(std::uint32_t significand) {
    const std::uint32_t top = significand / 10000;
    const std::uint32_t rest = significand % 10000;
    return pairText(top) | pairText(rest / 100) << 16 | pairText(rest % 100) << 32;
}

// How many of the six digits remain once trailing zeros are dropped: the
// position of the last byte that is not '0'. The first digit never is.
inline int significantDigits(std::uint64_t text) {
    const std::uint64_t notZero = text ^ 0x303030303030u;
    return ((63 - __builtin_clzll(notZero)) >> 3) + 1;
}

inline void store(char* out, std::uint64_t text) {
    std::memcpy(out, &text, sizeof text);
}

// Lays out six rounded significant digits with decimal exponent `exponent`
// the way %g chooses: fixed notation for exponents -4..5, otherwise
// d.ddddde±XX. Trailing zeros and a bare point are dropped. Whole 8-byte
// words are stored, so up to 13 bytes of `out` may be written.
std::size_t layOut(std::uint32_t significand, int exponent, char* out) {
    const std::uint64_t digits = sixDigitText(significand);
    const int count = significantDigits(digits);

    if (exponent >= 0 && exponent < 6) {
        const int integerDigits = exponent + 1;
        if (count <= integerDigits) {
            store(out, digits);
            return static_cast<std::size_t>(integerDigits);
        }
        // integerDigits is at most 5 here: the point and the digits after
        // it still fit the word.
        const int shift = 8 * integerDigits;
        const std::uint64_t integerPart = digits & ((std::uint64_t{1} << shift) - 1);
        store(out, integerPart | std::uint64_t{'.'} << shift | (digits >> shift) << (shift + 8));
        return static_cast<std::size_t>(count + 1);
    }
    if (exponent < 0 && exponent >= -4) {
        const int zeros = -exponent - 1;
        std::memcpy(out, "0.000000", 8);
        store(out + 2 + zeros, digits);
        return static_cast<std::size_t>(2 + zeros + count);
    }

    out[0] = static_cast<char>(digits);
    std::size_t length = 1;
    if (count > 1) {
        out[1] = '.';
        store(out + 2, digits >> 8);
        length = static_cast<std::size_t>(count + 1);
    }
    out[length++] = 'e';
    unsigned magnitude;
    if (exponent < 0) {
        out[length++] = '-';
        magnitude = static_cast<unsigned>(-exponent);
    } else {
        out[length++] = '+';
        magnitude = static_cast<unsigned>(exponent);
    }
    if (magnitude >= 100) {
        out[length++] = static_cast<char>('0' + magnitude / 100);
        magnitude %= 100;
    }
    writePair(out + length, magnitude);
    return length + 2;
}

// True when 2 * m * 2^e * 10^s is an odd integer, i.e. m * 2^e * 10^s lies
// exactly halfway between two integers. m is nonzero.
bool isExactHalf(std::uint64_t m, int e, int s) {
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

std::size_t formatWithLibrary(double value, char* out) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.6g", value);
    std::memcpy(out, text, static_cast<std::size_t>(length));
    return static_cast<std::size_t>(length);
}

// Finite, nonzero, positive significand and exponent: value = m * 2^e.
// Returns 0 when the rounding cannot be decided here.
std::size_t formatFinite(std::uint64_t m, int e, char* out) {
    // Normalise so the significand always has 53 bits; subnormals included.
    const int spare = __builtin_clzll(m) - 11;
    m <<= spare;
    e -= spare;

    // value lies in [2^(e+52), 2^(e+53)), so its decimal exponent is this
    // estimate or one more. floor(x * log10(2)) is exact for |x| < 2620.
    const int estimate = ((e + 52) * 78913) >> 18;
    const int scale = 5 - estimate;
    const PowerOfTen& power = powers.power[scale - minPower];

    // scaled = value * 10^scale in [10^5, 10^7), as a 192-bit fixed-point
    // product of which the lowest 64 bits are dropped. The product is short of
    // the exact one by less than 2^53 units, under one unit of `fraction`.
    const Uint128 lowProduct = Uint128{m} * power.low;
    const Uint128 upper = Uint128{m} * power.high + (lowProduct >> 64);
    const std::uint64_t high = static_cast<std::uint64_t>(upper >> 64);
    const std::uint64_t middle = static_cast<std::uint64_t>(upper);
    const int pointBit = -(e + power.binaryExponent) - 128;  // 29..35
    const std::uint64_t integer = high >> pointBit;
    const std::uint64_t fraction = high << (64 - pointBit) | middle >> pointBit;

    // The part beyond the sixth digit, as a fixed-point number with 64
    // fraction bits, and the value of one half at the same scale. Whether the
    // estimate was one short varies from value to value, so both layouts are
    // computed and chosen without a branch.
    const bool seventhDigit = integer >= 1000000;
    std::uint64_t significand = seventhDigit ? integer / 10 : integer;
    const Uint128 beyond = seventhDigit ? (Uint128{integer % 10} << 64 | fraction) : Uint128{fraction};
    const Uint128 half = seventhDigit ? Uint128{5} << 64 : Uint128{1} << 63;
    int exponent = estimate + seventhDigit;
    const int roundingScale = scale - seventhDigit;

    // The computed `beyond` is short of the exact one by less than 2 units.
    // Rounding up or down is a coin toss for real data, so it is decided
    // without a branch; only a `beyond` within the margin of one half takes
    // the exact test.
    constexpr unsigned margin = 4;
    bool roundUp = beyond > half;
    if (beyond - (half - margin) <= 2 * margin) {
        if (!isExactHalf(m, e, roundingScale)) return 0;
        roundUp = significand & 1;  // ties to even, as glibc does
    }

    significand += roundUp;
    if (significand == 1000000) {
        significand = 100000;
        ++exponent;
    }
    return layOut(static_cast<std::uint32_t>(significand), exponent, out);
}

}  // namespace

std::size_t formatGeneral6Fast(double value, char* out) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = bits >> 63;
    const int biasedExponent = static_cast<int>(bits >> 52 & 0x7ff);
    const std::uint64_t fractionBits = bits & ((std::uint64_t{1} << 52) - 1);

    char* text = out;
    if (negative) *text++ = '-';

    if (biasedExponent == 0x7ff) {
        std::memcpy(text, fractionBits != 0 ? "nan" : "inf", 3);
        return static_cast<std::size_t>(text - out) + 3;
    }
    if (biasedExponent == 0 && fractionBits == 0) {
        *text = '0';
        return static_cast<std::size_t>(text - out) + 1;
    }

    std::uint64_t m = fractionBits;
    int e = -1074;
    if (biasedExponent != 0) {
        m |= std::uint64_t{1} << 52;
        e = biasedExponent - 1075;
    }
    const std::size_t length = formatFinite(m, e, text);
    if (length == 0) return 0;
    return static_cast<std::size_t>(text - out) + length;
}

std::size_t formatGeneral6(double value, char* out) {
    const std::size_t length = formatGeneral6Fast(value, out);
    if (length != 0) return length;
    return formatWithLibrary(value, out);
}

std::size_t formatUnsigned(std::uint32_t value, char* out) {
    // The standard conversion is already exact and as fast as a hand-written
    // one; ten characters always suffice.
    return static_cast<std::size_t>(std::to_chars(out, out + 10, value).ptr - out);
}
