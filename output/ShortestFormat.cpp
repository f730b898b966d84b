#include "ShortestFormat.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "BigInteger.h"

// Most values take the method of Jeon's "Dragonbox" (nearestDigits below);
// subnormals, powers of two and the few it leaves take Giulietti's
// "Schubfach": with k the decade of the binary exponent, the interval of reals that round to the
// value, scaled by 10^-k, is between 1 and 10 wide. If it holds a multiple
// of ten, that is the shortest decimal; otherwise the shortest are the
// integers in it, of which the one nearest the value (ties to even) is
// taken. The scaled bounds come from products with 10^-k rounded up to 128
// bits (64 for floats), rounded to odd, which keeps every comparison exact.
//
// The text is laid out as std::to_chars does: fixed notation when it is no
// longer than scientific, where a large integer's fixed form is its exact
// value, not the shortest digits padded with zeros. The digits go into
// registers as text and are stored whole at offsets from a table row per
// decimal exponent and notation; the work is one long chain of dependent
// steps, so the steps that vary from value to value use conditional moves
// and the tables stand in for chains of multiplications.

namespace {

using big::Uint128;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "digit text is laid out in little-endian words");

// floor(p * log2(10)), exact for the p it is used with (|p| < 1200).
constexpr int binaryExponentOfPowerOfTen(int p) {
    return (p * 1741647) >> 19;
}

// ---------------------------------------------------------------------------
// 10^p normalized to `bits` bits (128 or 64): 10^p * 2^(bits - 1 -
// floor(log2(10^p))) rounded up. at(p) is that; above(p) is one more where
// it is exact, so strictly above the exact value everywhere.

template <int minPower, int maxPower, int bits>
struct PowerTable {
    using Entry = std::conditional_t<bits == 64, std::uint64_t, Uint128>;
    Entry power[maxPower - minPower + 1] = {};
    int maxExact = -1;  // 10^p is exact in the table up to here

    constexpr PowerTable() {
        big::Integer exact = big::one();
        for (int p = 0; p <= maxPower; ++p) {
            const big::TopBits top = big::topBits(exact, bits);
            const bool whole = top.binaryExponent <= 0 || !exact.anyBelow(top.binaryExponent);
            if (whole) maxExact = p;
            if (p >= minPower) power[p - minPower] = roundedUp(top, !whole);
            exact.multiplyBy(10);
        }
        big::Integer reciprocal = big::twoToReciprocalBits();
        for (int n = 1; n <= -minPower; ++n) {
            reciprocal.divideBy10();
            if (-n <= maxPower) power[-n - minPower] = roundedUp(big::topBits(reciprocal, bits), true);
        }
    }

    static constexpr Entry roundedUp(const big::TopBits& top, bool inexact) {
        const Entry value = static_cast<Entry>(top.significand);
        if (inexact && value + 1 == 0) throw "the rounded-up power does not fit";
        return value + inexact;
    }

    constexpr Entry at(int p) const { return power[p - minPower]; }
    constexpr Entry above(int p) const { return at(p) + (p >= 0 && p <= maxExact); }
};

constexpr PowerTable<-292, 326, 128> doublePowers;
constexpr PowerTable<-31, 46, 64> floatPowers;

// condition ? a : b as a conditional move. GCC makes branches of the plain
// conditionals here, which real data would often mispredict, and a select
// through a mask costs four instructions.
template <typename T>
inline T select(bool condition, T a, T b) {
#if defined(__x86_64__)
    asm("testb %[condition], %[condition]\n\tcmovnz %[a], %[b]"
        : [b] "+r"(b)
        : [a] "rm"(a), [condition] "q"(condition)
        : "cc");
    return b;
#else
    return condition ? a : b;
#endif
}

// ---------------------------------------------------------------------------
// Shortest digits.

struct Decimal {
    std::uint64_t digits;  // may end in zeros
    int exponent;          // the value is digits * 10^exponent
};

// g * cp / 2^128 rounded to odd, of which only the bits from 2^64 up count:
// below them lies no more than the error of g.
inline std::uint64_t roundToOdd(Uint128 g, std::uint64_t cp) {
    const std::uint64_t lowProduct = static_cast<std::uint64_t>(Uint128{static_cast<std::uint64_t>(g)} * cp >> 64);
    const Uint128 product = Uint128{static_cast<std::uint64_t>(g >> 64)} * cp + lowProduct;
    return static_cast<std::uint64_t>(product >> 64) | (static_cast<std::uint64_t>(product) != 0);
}

// g * cp / 2^96 rounded to odd, from the top 64 bits of the product.
inline std::uint64_t roundToOdd(std::uint64_t g, std::uint64_t cp) {
    const std::uint64_t high = static_cast<std::uint64_t>(Uint128{g} * cp >> 64);
    return high >> 32 | ((high & 0xffffffffu) != 0);
}

// How the rounding interval of c * 2^q is scaled: k, the decade of 2^q (of
// 3/4 * 2^q for a power of two with a closer neighbour below), 10^-k rounded
// up, and the shift h that places c * 2^q * 10^-k where roundToOdd takes it.
template <typename Power>
struct Scale {
    Power power;
    int k;
    int h;
};

template <typename Powers>
constexpr auto scaleFor(int q, bool boundary, const Powers& powers, int scaleShift) {
    const int k = (q * 315653 - 131237 * boundary) >> 20;
    const int h = q + binaryExponentOfPowerOfTen(-k) + 1 + scaleShift;  // 1..4, plus scaleShift
    return Scale<std::decay_t<decltype(powers.at(0))>>{powers.above(-k), k, h};
}

// The scale for each exponent field of a float, and of a power of two with
// a closer neighbour below: one load instead of a chain of multiplications.
struct FloatScales {
    Scale<std::uint64_t> scale[2][256] = {};

    constexpr FloatScales() {
        for (int boundary = 0; boundary < 2; ++boundary)
            for (int biased = 0; biased < 256; ++biased)
                scale[boundary][biased] = scaleFor(biased - 150 + (biased == 0), boundary, floatPowers, 32);
    }
};

constexpr FloatScales floatScales;

// For doubles only k and h, for each exponent field: the powers are too
// large to repeat for every one.
struct DoubleDecades {
    struct Entry {
        std::int16_t k;
        std::int16_t h;
    };
    Entry entry[2][2048] = {};

    constexpr DoubleDecades() {
        for (int boundary = 0; boundary < 2; ++boundary) {
            for (int biased = 0; biased < 2048; ++biased) {
                const int q = biased - 1075 + (biased == 0);
                const int k = (q * 315653 - 131237 * boundary) >> 20;
                entry[boundary][biased] = {static_cast<std::int16_t>(k),
                                           static_cast<std::int16_t>(q + binaryExponentOfPowerOfTen(-k) + 1)};
            }
        }
    }
};

constexpr DoubleDecades doubleDecades;

// The shortest decimal in the rounding interval of c * 2^q (c > 0), nearest
// to it, with the interval's scale. boundary: c is a power of two with a
// closer neighbour below.
template <typename Power>
inline Decimal shortestDigits(std::uint64_t c, bool boundary, const Scale<Power>& scale) {
    const std::uint64_t open = c & 1;  // an odd c's interval excludes its ends
    const std::uint64_t cb = c << 2;
    const std::uint64_t cbl = cb - 2 + boundary;
    const std::uint64_t cbr = cb + 2;
    const int k = scale.k;
    const int h = scale.h;
    const Power power = scale.power;
    const std::uint64_t vb = roundToOdd(power, cb << h);
    const std::uint64_t vbl = roundToOdd(power, cbl << h);
    const std::uint64_t vbr = roundToOdd(power, cbr << h);

    // The interval, scaled by 10^-k, is [vbl / 4, vbr / 4] and the value vb / 4.
    const std::uint64_t s = vb >> 2;
    const std::uint64_t sp10 = s / 10 * 10;
    const bool lowerTenInside = vbl + open <= sp10 << 2;
    const bool upperTenInside = ((sp10 + 10) << 2) + open <= vbr;
    // Only when s has two digits or more is a multiple of ten shorter.
    const bool tenInside = (s >= 10) & (lowerTenInside != upperTenInside);
    const std::uint64_t ten = sp10 + 10 * !lowerTenInside;

    // Otherwise s or s + 1, whichever is inside, or nearer (ties to even).
    const bool lowerInside = vbl + open <= s << 2;
    const bool upperInside = ((s + 1) << 2) + open <= vbr;
    const std::int64_t fromMiddle = static_cast<std::int64_t>(vb - (4 * s + 2));
    const bool lowerNearer = (fromMiddle < 0) | ((fromMiddle == 0) & !(s & 1));
    const std::uint64_t nearest = s + !(lowerInside & (!upperInside | lowerNearer));
    return {select(tenInside, ten, nearest), k};
}

// The common case, a normal value whose significand is not a power of two,
// by the method of Jeon's "Dragonbox": k is kappa (1 for floats, 2 for
// doubles) below the decade of 2^q, so that the interval scaled by 10^-k is
// 10^kappa to 10^(kappa + 1) units wide, and one product gives its right
// end z in those units. If a multiple of 10^(kappa + 1) lies in the
// interval, the one below z is the shortest; otherwise the multiple of
// 10^kappa nearest to the value, found from z's remainder and the width,
// where the parity of a second product settles the last unit when the
// remainder alone cannot. Which of the two it is varies too much from value
// to value to branch on: both are computed and one selected. The values
// where z's remainder is 0 or the width, where an end of the interval
// decides, are left to the general method. The powers here are rounded up
// but exact where 10^-k is an integer, as the checks for integer products
// need.

// What the common case of a float needs of its exponent field, in one load.
struct FloatStep {
    std::uint64_t power = 0;    // 10^-k, k = floor(q * log10(2)) - 1
    std::uint8_t beta = 0;      // shift that lines up c * 2^q * 10^-k with power
    std::uint8_t delta = 0;     // width of the interval in units of z
    std::uint8_t toMiddle = 0;  // delta / 2 - 5
    std::int16_t exponent = 0;  // decimal exponent of z's tens
};

struct FloatSteps {
    FloatStep step[256] = {};

    constexpr FloatSteps() {
        for (int biased = 1; biased < 255; ++biased) {
            const int q = biased - 150;
            const int minusK = ((q * 315653) >> 20) - 1;
            const int beta = q + binaryExponentOfPowerOfTen(-minusK);
            const std::uint64_t power = floatPowers.at(-minusK);
            const auto delta = static_cast<std::uint8_t>(power >> (63 - beta));
            step[biased] = {power, static_cast<std::uint8_t>(beta), delta, static_cast<std::uint8_t>(delta / 2 - 5),
                            static_cast<std::int16_t>(minusK + 1)};
        }
    }
};

constexpr FloatSteps floatSteps;

// The nearest shortest digits of c * 2^q, scaled to the step's exponent, as
// the digits but the last (s) and the last; false where an end of the
// interval decides.
inline bool nearestDigits(std::uint32_t c, const FloatStep& step, std::uint32_t& s, std::uint32_t& last) {
    const std::uint64_t twoC = std::uint64_t{c} << 1;
    const int beta = step.beta;
    const auto z = static_cast<std::uint32_t>(Uint128{(twoC | 1) << beta} * step.power >> 64);
    s = z / 100;
    const std::uint32_t r = z - 100 * s;
    if (__builtin_expect((r == 0) | (r == step.delta), 0)) return false;
    const bool shorter = r < step.delta;

    // Otherwise r > delta, and the nearest multiple of 10 is w / 10 or one
    // less, w the middle of the interval plus 5.
    const std::uint32_t w = z - step.toMiddle;
    std::uint32_t nearest = w / 10;
    if (__builtin_expect(w == nearest * 10, 0)) {
        const bool approxParity = (w ^ 5) & 1;
        const std::uint64_t y = twoC * step.power;
        const bool yParity = (y >> (64 - beta)) & 1;
        const bool yInteger = static_cast<std::uint32_t>(y >> (32 - beta)) == 0;
        nearest -= (yParity != approxParity) | ((nearest & 1) & yInteger);
    }
    last = select(shorter, 0u, nearest - s * 10);
    return true;
}

// The same for a double, in units a hundredth of the interval's width or
// finer: k = floor(q * log10(2)) - 2, z scaled by 2^128. Its steps, one per
// exponent field, take 48 KiB: computing k and beta from the exponent would
// put two more multiplications ahead of loading the power.
struct DoubleStep {
    std::uint64_t powerHigh = 0;  // 10^-k
    std::uint64_t powerLow = 0;
    std::uint16_t delta = 0;
    std::uint16_t toMiddle = 0;  // delta / 2 - 50
    std::uint8_t beta = 0;
    std::int16_t exponent = 0;
};

struct DoubleSteps {
    DoubleStep step[2048] = {};

    constexpr DoubleSteps() {
        for (int biased = 1; biased < 2047; ++biased) {
            const int q = biased - 1075;
            const int minusK = ((q * 315653) >> 20) - 2;
            const int beta = q + binaryExponentOfPowerOfTen(-minusK);
            const Uint128 power = doublePowers.at(-minusK);
            const auto high = static_cast<std::uint64_t>(power >> 64);
            const auto delta = static_cast<std::uint16_t>(high >> (63 - beta));
            step[biased] = {high,
                            static_cast<std::uint64_t>(power),
                            delta,
                            static_cast<std::uint16_t>(delta / 2 - 50),
                            static_cast<std::uint8_t>(beta),
                            static_cast<std::int16_t>(minusK + 2)};
        }
    }
};

constexpr DoubleSteps doubleSteps;

inline bool nearestDigits(std::uint64_t c, const DoubleStep& step, std::uint64_t& s, std::uint32_t& last) {
    const int beta = step.beta;
    const std::uint64_t powerHigh = step.powerHigh;
    const std::uint64_t powerLow = step.powerLow;
    const std::uint64_t twoC = c << 1;
    const std::uint64_t u = (twoC | 1) << beta;
    const std::uint64_t z = static_cast<std::uint64_t>((Uint128{u} * powerHigh + (Uint128{u} * powerLow >> 64)) >> 64);
    s = z / 1000;
    const auto r = static_cast<std::uint32_t>(z - 1000 * s);
    if (__builtin_expect((r == 0) | (r == step.delta), 0)) return false;
    const bool shorter = r < step.delta;

    const std::uint64_t w = z - step.toMiddle;
    std::uint64_t nearest = w / 100;
    // Only one w in a hundred needs the parity: a branch.
    if (__builtin_expect(w == nearest * 100, 0)) {
        const bool approxParity = (w ^ 50) & 1;
        const std::uint64_t yHigh = twoC * powerHigh + static_cast<std::uint64_t>(Uint128{twoC} * powerLow >> 64);
        const std::uint64_t yLow = twoC * powerLow;
        const bool yParity = (yHigh >> (64 - beta)) & 1;
        const bool yInteger = ((yHigh << beta) | (yLow >> (64 - beta))) == 0;
        nearest -= (yParity != approxParity) | ((nearest & 1) & yInteger);
    }
    last = select(shorter, 0u, static_cast<std::uint32_t>(nearest - s * 10));
    return true;
}

// ---------------------------------------------------------------------------
// Digit text.

// x < 10^8 as eight digits, first in the lowest byte: its halves in 32-bit
// lanes, their hundreds and remainders in 16-bit lanes, then tens and units.
// Where SSE2 is not at hand.
inline std::uint64_t eightDigitText(std::uint32_t x) {
    const std::uint32_t top = x / 10000;
    const std::uint64_t quads = top | std::uint64_t{x - top * 10000} << 32;
    const std::uint64_t hundreds = (quads * 10486 >> 20) & 0x0000007f0000007fu;
    const std::uint64_t pairs = (quads << 16) - hundreds * (100 * 0x10000 - 1);
    const std::uint64_t tens = (pairs * 103 >> 10) & 0x000f000f000f000fu;
    return ((pairs << 8) - tens * (10 * 0x100 - 1)) | 0x3030303030303030u;
}

#if defined(__SSE2__)
// The digit text is made in an SSE2 register: each eight digits split into
// groups of four, each group spread over four 16-bit lanes (times four, for
// the precision of the products), where the products leave it divided by
// 1000, 100, 10 and 1 at once. Each such quotient less ten times the one
// before is a digit.

// The groups of each eight (below 10^8, in the low 32 bits of a 64-bit
// lane), times four, in pairs of 16-bit lanes: a a b b c c d d.
inline __m128i groupPairs(__m128i eights) {
    const __m128i upper = _mm_srli_epi64(_mm_mul_epu32(eights, _mm_set1_epi32(static_cast<int>(0xd1b71759))), 45);
    const __m128i lower = _mm_sub_epi32(eights, _mm_mul_epu32(upper, _mm_set1_epi32(10000)));
    const __m128i groups = _mm_slli_epi16(_mm_packs_epi32(_mm_or_si128(upper, _mm_slli_epi64(lower, 32)), upper), 2);
    return _mm_unpacklo_epi16(groups, groups);
}

// The digits of two groups, each spread over four lanes.
inline __m128i groupDigits(__m128i spread) {
    const __m128i divisors = _mm_setr_epi16(8389, 5243, 3277, -32768, 8389, 5243, 3277, -32768);
    const __m128i shifts = _mm_setr_epi16(128, 2048, -32768, -32768, 128, 2048, -32768, -32768);
    const __m128i quotients = _mm_mulhi_epu16(_mm_mulhi_epu16(spread, divisors), shifts);
    return _mm_sub_epi16(quotients, _mm_slli_epi64(_mm_mullo_epi16(quotients, _mm_set1_epi16(10)), 16));
}

inline std::uint64_t lowWord(__m128i text) {
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_add_epi8(text, _mm_set1_epi8('0'))));
}
#endif

// Text of the digits after the first: up to sixteen, in two words.
struct Tail {
    std::uint64_t low;
    std::uint64_t high;
};

// x < 10^8 as eight digits, first in the lowest byte.
inline std::uint64_t digitText(std::uint32_t x) {
#if defined(__SSE2__)
    const __m128i pairs = groupPairs(_mm_cvtsi32_si128(static_cast<int>(x)));
    const __m128i digits = groupDigits(_mm_unpacklo_epi32(pairs, pairs));
    return lowWord(_mm_packus_epi16(digits, digits));
#else
    return eightDigitText(x);
#endif
}

// high and low (each below 10^8) as sixteen digits, high's first.
inline Tail digitText(std::uint32_t high, std::uint32_t low) {
#if defined(__SSE2__)
    const __m128i pairs = groupPairs(_mm_set_epi64x(low, high));
    const __m128i text =
        _mm_packus_epi16(groupDigits(_mm_unpacklo_epi32(pairs, pairs)), groupDigits(_mm_unpackhi_epi32(pairs, pairs)));
    return {lowWord(text), lowWord(_mm_unpackhi_epi64(text, text))};
#else
    return {eightDigitText(high), eightDigitText(low)};
#endif
}

constexpr std::uint64_t powersOfTen[] = {1,
                                         10,
                                         100,
                                         1000,
                                         10000,
                                         100000,
                                         1000000,
                                         10000000,
                                         100000000,
                                         1000000000,
                                         10000000000,
                                         100000000000,
                                         1000000000000,
                                         10000000000000,
                                         100000000000000,
                                         1000000000000000,
                                         10000000000000000,
                                         100000000000000000};

// Number of decimal digits of x, 1 <= x < 10^17.
inline int digitCount(std::uint64_t x) {
    const int estimate = ((64 - __builtin_clzll(x)) * 1233) >> 12;  // bits * log10(2), at most one short
    return estimate + (x >= powersOfTen[estimate]);
}

// How many bytes of a word of digit characters remain once trailing '0'
// characters are dropped: the bytes up to the last one that is not '0'.
inline int keptBytes(std::uint64_t text) {
    const std::uint64_t notZero = text ^ 0x3030303030303030u;
    const int bits = 64 - __builtin_clzll(notZero | 1) - (notZero == 0);
    return (bits + 7) >> 3;
}

// How a value with a given decimal exponent (of its first digit) and count
// of significant digits is laid out, one row for each notation. The text is
// made of stores that each write over the end of the ones before:
// "0.000000"; the first digit at digitsAt and the rest behind it; a point at
// pointAt and the digits from behind it, shifted down by pointShift (past
// the end where no point is wanted); the exponent text at exponentAt past
// max(count, pointPosition) + (count > pointPosition), which adds extra to
// that length.
struct Layout {
    std::uint64_t exponentText = 0;  // "e+dd", "e-ddd"; nothing in fixed notation
    std::uint8_t pointPosition = 0;
    std::uint8_t extra = 0;
    std::uint8_t exponentAt = 0;
    std::uint8_t digitsAt = 0;
    std::uint8_t pointAt = 0;
    std::uint8_t pointShift = 0;
};

struct Layouts {
    static constexpr int minExponent = -324;
    static constexpr int maxExponent = 308;
    Layout row[maxExponent - minExponent + 1][2];  // scientific, fixed
    // The fewest significant digits with which fixed notation is no longer
    // than scientific (more than 17: never).
    std::uint8_t fixedFrom[maxExponent - minExponent + 1] = {};

    constexpr Layouts() {
        for (int e = minExponent; e <= maxExponent; ++e) {
            const unsigned magnitude = static_cast<unsigned>(e < 0 ? -e : e);
            Layout& scientific = row[e - minExponent][0];
            std::uint64_t text = e < 0 ? 0x2d65u : 0x2b65u;  // "e-", "e+"
            int length = 2;
            if (magnitude >= 100) text |= std::uint64_t{'0' + magnitude / 100} << 8 * length++;
            text |= std::uint64_t{'0' + magnitude / 10 % 10} << 8 * length++;
            text |= std::uint64_t{'0' + magnitude % 10} << 8 * length++;
            scientific.exponentText = text;
            scientific.pointPosition = 1;
            scientific.extra = static_cast<std::uint8_t>(length);
            scientific.pointAt = 1;

            Layout& fixed = row[e - minExponent][1];
            if (e >= 0) {
                fixed.pointPosition = static_cast<std::uint8_t>(e < 24 ? e + 1 : 24);
                fixed.pointAt = fixed.pointPosition;
                fixed.pointShift = static_cast<std::uint8_t>(e < 16 ? e : 15);
            } else {
                fixed.extra = fixed.exponentAt = static_cast<std::uint8_t>(e > -24 ? -e : 24);
                fixed.digitsAt = static_cast<std::uint8_t>(fixed.extra + 1);
                fixed.pointAt = 26;
            }
            // Fixed: 1 - e + count characters below 1, e + 1 (an integer) or
            // count + 1 from 1 up; scientific: count + (count > 1) + length.
            int from = 1;
            while (from <= 17) {
                const int fixedLength = e < 0 ? 1 - e + from : from > e + 1 ? from + 1 : e + 1;
                if (fixedLength <= from + (from > 1) + length) break;
                ++from;
            }
            fixedFrom[e - minExponent] = static_cast<std::uint8_t>(from);
        }
    }
};

constexpr Layouts layouts;

inline void store(char* out, std::uint64_t text) {
    std::memcpy(out, &text, sizeof text);
}

inline void store(char* out, Tail tail) {
    store(out, tail.low);
    store(out + 8, tail.high);
}

// tail shifted down by `bytes` (0..15).
inline Tail dropFront(Tail tail, unsigned bytes) {
    const Uint128 whole = (Uint128{tail.high} << 64 | tail.low) >> (8 * bytes);
    return {static_cast<std::uint64_t>(whole), static_cast<std::uint64_t>(whole >> 64)};
}

inline std::uint64_t dropFront(std::uint64_t tail, unsigned bytes) {
    return tail >> (8 * bytes);
}

// Lays out the first digit and the tail (the `count` significant digits in
// all, padded with '0' characters) with the decimal exponent of the first.
// Returns 0 when fixed notation is chosen for an integer at or beyond
// 2^precision: that takes its exact digits, which the caller writes.
template <typename TailText>
inline std::size_t layOut(char first, TailText tail, int count, int exponent, bool beyondPrecision, char* out) {
    const int index = exponent - Layouts::minExponent;
    // Only a few exponents need the count to choose: deciding the others
    // by a branch lets the stores go ahead before the count is known.
    const int fixedFrom = layouts.fixedFrom[index];
    bool fixed = fixedFrom <= 1;
    if (!fixed && fixedFrom <= 17) fixed = count >= fixedFrom;
    if (__builtin_expect(fixed & beyondPrecision, 0)) return 0;
    const Layout& layout = layouts.row[index][fixed];
    const int pointPosition = layout.pointPosition;
    const int end = select(count > pointPosition, count + 1, pointPosition);
    store(out, 0x3030303030302e30u);  // "0.000000"
    out[layout.digitsAt] = first;
    store(out + layout.digitsAt + 1, tail);
    out[layout.pointAt] = '.';
    store(out + layout.pointAt + 1, dropFront(tail, layout.pointShift));
    store(out + end + layout.exponentAt, layout.exponentText);
    return static_cast<std::size_t>(end + layout.extra);
}

// The exact digits of an integer below 10^22, for fixed notation beyond the
// precision of the type.
__attribute__((noinline)) std::size_t formatInteger(Uint128 value, char* out) {
    char digits[24];
    char* first = digits + sizeof digits;
    do {
        *--first = static_cast<char>('0' + static_cast<unsigned>(value % 10));
        value /= 10;
    } while (value != 0);
    const std::size_t length = static_cast<std::size_t>(digits + sizeof digits - first);
    std::memcpy(out, first, length);
    return length;
}

// A double or float of biased exponent beyond its significand's bits: an
// integer, below 10^22 where fixed notation is chosen for it.
__attribute__((noinline)) std::size_t formatIntegerDouble(std::uint64_t magnitude, char* out) {
    const std::uint64_t c = (magnitude & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
    return formatInteger(Uint128{c} << ((magnitude >> 52) - 1075), out);
}

__attribute__((noinline)) std::size_t formatIntegerFloat(std::uint32_t magnitude, char* out) {
    const std::uint64_t c = (magnitude & ((std::uint32_t{1} << 23) - 1)) | std::uint32_t{1} << 23;
    return formatInteger(Uint128{c} << ((magnitude >> 23) - 150), out);
}

// Zero, the infinities and NaN, without their sign.
std::size_t formatZeroOrSpecial(bool zero, bool infinity, char* out) {
    if (zero) {
        *out = '0';
        return 1;
    }
    std::memcpy(out, infinity ? "inf" : "nan", 3);
    return 3;
}

// A float's nine digits laid out: s, the digits but the last, as eight
// digits with `zeros` leading zeros, and the last. exponent: that of the
// first digit.
inline std::size_t writeFloat(std::uint32_t s, std::uint32_t last, int zeros, int exponent, std::uint32_t magnitude,
                              char* text) {
    const std::uint64_t eight = digitText(s);
    const char first = static_cast<char>(eight >> (8 * zeros));
    // The digits after the first, and '0' characters behind them.
    const int drop = 8 * (zeros + 1);
    const std::uint64_t tail = eight >> drop | (0x3030303030303030u | last) << (64 - drop);
    const std::size_t length = layOut(first, tail, 1 + keptBytes(tail), exponent, (magnitude >> 23) > 150, text);
    if (__builtin_expect(length == 0, 0)) return formatIntegerFloat(magnitude, text);
    return length;
}

// The same for a double's seventeen digits, s as sixteen.
inline std::size_t writeDouble(std::uint64_t s, std::uint32_t last, int zeros, int exponent, std::uint64_t magnitude,
                               char* text) {
    const std::uint64_t upper = s / powersOfTen[8];
    const Tail sixteen =
        digitText(static_cast<std::uint32_t>(upper), static_cast<std::uint32_t>(s - upper * powersOfTen[8]));
    const char first = static_cast<char>(sixteen.low >> (8 * zeros));
    const int drop = 8 * (zeros + 1);
    const Tail tail = {sixteen.low >> drop | sixteen.high << (64 - drop),
                       sixteen.high >> drop | (0x3030303030303030u | last) << (64 - drop)};
    const int highBytes = keptBytes(tail.high);
    const int kept = 1 + select(highBytes != 0, 8 + highBytes, keptBytes(tail.low));
    const std::size_t length = layOut(first, tail, kept, exponent, (magnitude >> 52) > 1075, text);
    if (__builtin_expect(length == 0, 0)) return formatIntegerDouble(magnitude, text);
    return length;
}

// What the common case leaves: zero, subnormals, powers of two, the values
// where an end of the interval decides, infinities and NaN, by Schubfach's
// method. The digits are scaled to nine (seventeen) and laid out the same.
__attribute__((noinline)) std::size_t formatFloatGeneral(std::uint32_t magnitude, char* text) {
    constexpr std::uint32_t infinityBits = 0x7f800000u;
    if (magnitude - 1 >= infinityBits - 1) return formatZeroOrSpecial(magnitude == 0, magnitude == infinityBits, text);
    const int biased = static_cast<int>(magnitude >> 23);
    const std::uint32_t fraction = magnitude & ((std::uint32_t{1} << 23) - 1);
    const std::uint32_t c = fraction | std::uint32_t{biased != 0} << 23;
    const bool boundary = (fraction == 0) & (biased > 1);
    const Decimal decimal = shortestDigits(c, boundary, floatScales.scale[boundary][biased]);
    // A normal float's digits are seven to nine, a subnormal's one to nine.
    const std::uint64_t digits = decimal.digits;
    const int count = biased != 0 ? 7 + (digits >= powersOfTen[7]) + (digits >= powersOfTen[8]) : digitCount(digits);
    const auto scaled = static_cast<std::uint32_t>(digits * powersOfTen[9 - count]);
    return writeFloat(scaled / 10, scaled % 10, 0, decimal.exponent + count - 1, magnitude, text);
}

__attribute__((noinline)) std::size_t formatDoubleGeneral(std::uint64_t magnitude, char* text) {
    constexpr std::uint64_t infinityBits = 0x7ff0000000000000u;
    if (magnitude - 1 >= infinityBits - 1) return formatZeroOrSpecial(magnitude == 0, magnitude == infinityBits, text);
    const int biased = static_cast<int>(magnitude >> 52);
    const std::uint64_t fraction = magnitude & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t c = fraction | std::uint64_t{biased != 0} << 52;
    const bool boundary = (fraction == 0) & (biased > 1);
    const DoubleDecades::Entry decade = doubleDecades.entry[boundary][biased];
    const Decimal decimal =
        shortestDigits(c, boundary, Scale<Uint128>{doublePowers.above(-decade.k), decade.k, decade.h});
    // A normal double's digits are sixteen or seventeen, a subnormal's one
    // to seventeen.
    const std::uint64_t digits = decimal.digits;
    const int count = biased != 0 ? 16 + (digits >= powersOfTen[16]) : digitCount(digits);
    const std::uint64_t scaled = digits * powersOfTen[17 - count];
    return writeDouble(scaled / 10, static_cast<std::uint32_t>(scaled % 10), 0, decimal.exponent + count - 1, magnitude,
                       text);
}

}  // namespace

std::size_t formatShortest(double value, char* out) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    // The sign is written whatever it is, and covered by the number when
    // there is none.
    const unsigned negative = static_cast<unsigned>(bits >> 63);
    *out = '-';
    char* const text = out + negative;
    const std::uint64_t magnitude = bits & ~(std::uint64_t{1} << 63);
    const int biased = static_cast<int>(magnitude >> 52);
    const std::uint64_t fraction = magnitude & ((std::uint64_t{1} << 52) - 1);
    std::uint64_t s;
    std::uint32_t last;
    if (__builtin_expect((fraction == 0) | (biased == 0) | (biased == 2047), 0) ||
        !nearestDigits(fraction | std::uint64_t{1} << 52, doubleSteps.step[biased], s, last))
        return negative + formatDoubleGeneral(magnitude, text);
    // s has fifteen or sixteen digits.
    const int zeros = s < powersOfTen[15];
    return negative + writeDouble(s, last, zeros, doubleSteps.step[biased].exponent + 16 - zeros, magnitude, text);
}

std::size_t formatShortest(float value, char* out) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const unsigned negative = bits >> 31;
    *out = '-';
    char* const text = out + negative;
    const std::uint32_t magnitude = bits & ~(std::uint32_t{1} << 31);
    const int biased = static_cast<int>(magnitude >> 23);
    const std::uint32_t fraction = magnitude & ((std::uint32_t{1} << 23) - 1);
    std::uint32_t s, last;
    if (__builtin_expect((fraction == 0) | (biased == 0) | (biased == 255), 0) ||
        !nearestDigits(fraction | std::uint32_t{1} << 23, floatSteps.step[biased], s, last))
        return negative + formatFloatGeneral(magnitude, text);
    // s has six to eight digits.
    const int zeros = (s < 10000000) + (s < 1000000);
    return negative + writeFloat(s, last, zeros, floatSteps.step[biased].exponent + 8 - zeros, magnitude, text);
}
