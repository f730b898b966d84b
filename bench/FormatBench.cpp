// Number text of one point-line element per data type, four ways: ours,
// snprintf("%g"), std::ostringstream in its default state, and std::to_chars
// (general, precision 6 for floating point). Then the shortest round-trip
// text of the CSV output, of floats as floats and doubles as doubles, two
// ways: ours (formatShortest) and std::to_chars without a format. The counter
// time_per_value is the time per number (seconds, with an SI prefix); a
// vector element counts as three numbers.

#include "NumberFormat.h"
#include "ShortestFormat.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <sstream>
#include <vector>

namespace {

constexpr std::size_t sampleCount = 1 << 12;

// Magnitudes spread evenly over 1e-6..1e7 with both signs: positions,
// velocities, times and diameters of parcels span roughly this range, and it
// exercises both the fixed and the exponent layouts.
template <typename Real>
std::vector<Real> realSamples() {
    std::mt19937_64 random(20261206);
    std::uniform_real_distribution<double> decade(-6.0, 7.0);
    std::vector<Real> values(sampleCount);
    for (auto& value : values) {
        const double magnitude = std::pow(10.0, decade(random));
        value = static_cast<Real>(random() & 1 ? magnitude : -magnitude);
    }
    return values;
}

std::vector<std::uint32_t> unsignedSamples() {
    // Parcel indices: mostly small, some large.
    std::mt19937 random(20261206);
    std::vector<std::uint32_t> values(sampleCount);
    for (auto& value : values) value = random() >> (random() % 32);
    return values;
}

struct Ours {
    static constexpr bool ownType = false;
    static char* write(char* out, std::uint32_t value) { return out + formatUnsigned(value, out); }
    static char* write(char* out, double value) { return out + formatGeneral6(value, out); }
};

// The shortest round trip, in the value's own type.
struct ShortestOurs {
    static constexpr bool ownType = true;
    template <typename Real>
    static char* write(char* out, Real value) {
        return out + formatShortest(value, out);
    }
};

struct ShortestToChars {
    static constexpr bool ownType = true;
    template <typename Real>
    static char* write(char* out, Real value) {
        return std::to_chars(out, out + 32, value).ptr;
    }
};

struct Snprintf {
    static constexpr bool ownType = false;
    static char* write(char* out, std::uint32_t value) { return out + std::snprintf(out, 32, "%u", value); }
    static char* write(char* out, double value) { return out + std::snprintf(out, 32, "%g", value); }
};

struct ToChars {
    static constexpr bool ownType = false;
    static char* write(char* out, std::uint32_t value) { return std::to_chars(out, out + 32, value).ptr; }
    static char* write(char* out, double value) {
        return std::to_chars(out, out + 32, value, std::chars_format::general, 6).ptr;
    }
};

// Formats one element (a scalar or three components) followed by a space, as
// a point line does, into a reused buffer.
template <typename Method, typename Value>
char* writeElement(char* out, const Value* element, int components) {
    for (int i = 0; i < components; ++i) {
        if constexpr (std::is_same_v<Value, std::uint32_t> || Method::ownType)
            out = Method::write(out, element[i]);
        else
            out = Method::write(out, static_cast<double>(element[i]));
        *out++ = ' ';
    }
    return out;
}

void setCounters(benchmark::State& state, int components) {
    const double numbers = static_cast<double>(state.iterations()) * sampleCount;
    state.counters["time_per_value"] =
        benchmark::Counter(numbers, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(static_cast<std::int64_t>(numbers / components));
}

template <typename Method, typename Value>
void formatBuffer(benchmark::State& state, const std::vector<Value>& values, int components) {
    char buffer[128];
    for (auto _ : state) {
        for (std::size_t i = 0; i + components <= values.size(); i += components) {
            char* end = writeElement<Method>(buffer, values.data() + i, components);
            benchmark::DoNotOptimize(end);
            benchmark::ClobberMemory();
        }
    }
    setCounters(state, components);
}

template <typename Value>
void formatStream(benchmark::State& state, const std::vector<Value>& values, int components) {
    std::ostringstream stream;
    for (auto _ : state) {
        for (std::size_t i = 0; i + components <= values.size(); i += components) {
            stream.str(std::string());
            for (int c = 0; c < components; ++c) stream << values[i + c] << ' ';
            benchmark::DoNotOptimize(stream);
        }
    }
    setCounters(state, components);
}

const std::vector<std::uint32_t>& unsigned4() {
    static const auto v = unsignedSamples();
    return v;
}
const std::vector<float>& float4() {
    static const auto v = realSamples<float>();
    return v;
}
const std::vector<double>& float8() {
    static const auto v = realSamples<double>();
    return v;
}

#define FORMAT_BENCHMARKS(Type, samples, components)      \
    void Type##_Ours(benchmark::State& s) {               \
        formatBuffer<Ours>(s, samples(), components);     \
    }                                                     \
    void Type##_ToChars(benchmark::State& s) {            \
        formatBuffer<ToChars>(s, samples(), components);  \
    }                                                     \
    void Type##_Snprintf(benchmark::State& s) {           \
        formatBuffer<Snprintf>(s, samples(), components); \
    }                                                     \
    void Type##_Ostringstream(benchmark::State& s) {      \
        formatStream(s, samples(), components);           \
    }                                                     \
    BENCHMARK(Type##_Ours);                               \
    BENCHMARK(Type##_ToChars);                            \
    BENCHMARK(Type##_Snprintf);                           \
    BENCHMARK(Type##_Ostringstream)

FORMAT_BENCHMARKS(Unsigned4, unsigned4, 1);
FORMAT_BENCHMARKS(Float4, float4, 1);
FORMAT_BENCHMARKS(Float8, float8, 1);
FORMAT_BENCHMARKS(Vector3Float4, float4, 3);
FORMAT_BENCHMARKS(Vector3Float8, float8, 3);

#define SHORTEST_BENCHMARKS(Type, samples, components)           \
    void Type##_ShortestOurs(benchmark::State& s) {              \
        formatBuffer<ShortestOurs>(s, samples(), components);    \
    }                                                            \
    void Type##_ShortestToChars(benchmark::State& s) {           \
        formatBuffer<ShortestToChars>(s, samples(), components); \
    }                                                            \
    BENCHMARK(Type##_ShortestOurs);                              \
    BENCHMARK(Type##_ShortestToChars)

SHORTEST_BENCHMARKS(Float4, float4, 1);
SHORTEST_BENCHMARKS(Float8, float8, 1);
SHORTEST_BENCHMARKS(Vector3Float4, float4, 3);
SHORTEST_BENCHMARKS(Vector3Float8, float8, 3);

}  // namespace
