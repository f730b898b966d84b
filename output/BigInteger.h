#ifndef OUTPUT_BIGINTEGER_H
#define OUTPUT_BIGINTEGER_H

#include <cstdint>

// Wide unsigned integers for the tables of powers of ten that the number
// formatters have the compiler compute: exact values, so that no table has
// to be trusted beyond its rounding.

namespace big {

using Uint128 = unsigned __int128;

// Little-endian words, enough for 2^1184 times a 32-bit factor.
constexpr int words = 38;
// The reciprocals of powers of ten are taken as floor(2^reciprocalBits / 10^n):
// 10^330 < 2^1097 still leaves them more than 80 bits.
constexpr int reciprocalBits = 1184;

struct Integer {
    std::uint32_t word[words] = {};

    constexpr int bitLength() const {
        for (int i = words - 1; i >= 0; --i) {
            if (word[i] != 0) {
                int bits = 32;
                while (!(word[i] >> (bits - 1) & 1)) --bits;
                return i * 32 + bits;
            }
        }
        return 0;
    }

    constexpr bool bit(int index) const { return index >= 0 && (word[index / 32] >> (index % 32) & 1); }

    // Bits lowest..lowest + count - 1 (count <= 128), as a number; bits below
    // zero read as zero.
    constexpr Uint128 bits(int lowest, int count) const {
        Uint128 result = 0;
        for (int i = count - 1; i >= 0; --i) result = result << 1 | static_cast<Uint128>(bit(lowest + i));
        return result;
    }

    // True when any bit below `index` is set.
    constexpr bool anyBelow(int index) const {
        for (int i = 0; i < index; ++i)
            if (bit(i)) return true;
        return false;
    }

    // True when every bit from `from` to `to` - 1 is set.
    constexpr bool allOnes(int from, int to) const {
        for (int i = from; i < to; ++i)
            if (!bit(i)) return false;
        return true;
    }

    constexpr void multiplyBy(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (auto& w : word) {
            const std::uint64_t product = std::uint64_t{w} * factor + carry;
            w = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
    }

    // Rounds down; repeated division stays exact: floor(floor(a/10)/10) == floor(a/100).
    constexpr void divideBy10() {
        std::uint64_t remainder = 0;
        for (int i = words - 1; i >= 0; --i) {
            const std::uint64_t current = remainder << 32 | word[i];
            word[i] = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
    }
};

constexpr Integer one() {
    Integer value;
    value.word[0] = 1;
    return value;
}

constexpr Integer twoToReciprocalBits() {
    Integer value;
    value.word[reciprocalBits / 32] = std::uint32_t{1} << (reciprocalBits % 32);
    return value;
}

// The top `count` bits of a value (count <= 128), rounded down, with the
// exponent that scales them back: value ~ significand * 2^binaryExponent.
struct TopBits {
    Uint128 significand = 0;
    int binaryExponent = 0;
};

constexpr TopBits topBits(const Integer& value, int count) {
    const int lowest = value.bitLength() - count;  // may be negative: shifts small values up
    return {value.bits(lowest, count), lowest};
}

}  // namespace big

#endif
