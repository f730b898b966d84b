// The programs behind scripts/bench: run_measured reports the child's own
// figures, and the stringstream baseline writes exactly what trk_to_zrp writes.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TrackWriter.h"

namespace {

struct Measured {
    int status = -1;
    long maxRssKib = -1;
};

Measured parseMeasured(const std::string& out) {
    Measured measured;
    const std::string::size_type line = out.rfind("measured ");
    if (line == std::string::npos) return measured;
    std::sscanf(
        out.c_str() + line,
        "measured wall_seconds=%*f user_seconds=%*f system_seconds=%*f max_rss_kib=%ld minor_faults=%*d status=%d",
        &measured.maxRssKib, &measured.status);
    return measured;
}

TEST(RunMeasured, PassesOnTheChildsExitStatus) {
    struct Case {
        std::vector<std::string> command;
        int status;
    };
    const Case cases[] = {
        {{TOUCH_MEMORY_PATH, "0", "0"}, 0},
        {{TOUCH_MEMORY_PATH, "0", "3"}, 3},
        {{"/bin/sh", "-c", "kill -9 $$"}, 128 + 9},
        {{"/nonexistent/program"}, 127},
    };
    for (const Case& c : cases) {
        const ProgramResult result = runProgram(RUN_MEASURED_PATH, c.command);
        EXPECT_EQ(result.status, c.status) << c.command[0];
        EXPECT_EQ(parseMeasured(result.out).status, c.status) << result.out;
    }
}

// The peak is the child's, not the runner's: it follows what the child
// holds, in kibibytes.
TEST(RunMeasured, ReportsThePeakMemoryOfTheChild) {
    const Measured small = parseMeasured(runProgram(RUN_MEASURED_PATH, {TOUCH_MEMORY_PATH, "1", "0"}).out);
    const Measured large = parseMeasured(runProgram(RUN_MEASURED_PATH, {TOUCH_MEMORY_PATH, "96", "0"}).out);
    ASSERT_GT(small.maxRssKib, 0);
    EXPECT_LT(small.maxRssKib, 32 * 1024);
    EXPECT_GE(large.maxRssKib, 96 * 1024);
    EXPECT_LT(large.maxRssKib, 128 * 1024);
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

template <typename T>
T randomBits(std::mt19937_64& random) {
    const std::uint64_t bits = random();
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// One steady chunk with every data type, filled with random bit patterns:
// subnormals, infinities, NaNs and both zeros all turn up in 20,000 points.
std::string randomTrack(const std::string& positionType) {
    const int points = 20000;
    const bool doublePosition = positionType == "Vector<3,Float8>";
    const std::vector<Properties> variables{
        variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId"),
        variableDescriptor("Position", 3, positionType, doublePosition ? 24 : 12),
        variableDescriptor("Count", 0, "Unsigned4", 4),
        variableDescriptor("Diameter", 0, "Float4", 4),
        variableDescriptor("Temperature", 0, "Float8", 8),
        variableDescriptor("Velocity", 2, "Vector<3,Float4>", 12),
        variableDescriptor("Force", 2, "Vector<3,Float8>", 24),
    };
    std::mt19937_64 random(7);
    VariableData parcel, position, count, diameter, temperature, velocity, force;
    for (int i = 0; i < points; ++i) {
        parcel.unsigned4(static_cast<std::uint32_t>(random() % 5000));
        if (doublePosition)
            position.vector3Float8(randomBits<double>(random), randomBits<double>(random), randomBits<double>(random));
        else
            position.vector3Float4(randomBits<float>(random), randomBits<float>(random), randomBits<float>(random));
        count.unsigned4(static_cast<std::uint32_t>(random()));
        diameter.float4(randomBits<float>(random));
        temperature.float8(randomBits<double>(random));
        velocity.vector3Float4(randomBits<float>(random), randomBits<float>(random), randomBits<float>(random));
        force.vector3Float8(randomBits<double>(random), randomBits<double>(random), randomBits<double>(random));
    }
    std::ostringstream out;
    TrackWriter(out).writeChunk(steadyChunkBlock(1, "A", points, variables),
                                {parcel.bytes(), position.bytes(), count.bytes(), diameter.bytes(), temperature.bytes(),
                                 velocity.bytes(), force.bytes()});
    return out.str();
}

TEST(StringstreamBaseline, WritesTheSameBytesAsTheTranslator) {
    const std::string base = ::testing::TempDir() + "bench_programs_" + std::to_string(getpid());
    for (const std::string positionType : {"Vector<3,Float4>", "Vector<3,Float8>"}) {
        SCOPED_TRACE(positionType);
        { std::ofstream(base + ".trk", std::ios::binary) << randomTrack(positionType); }
        const ProgramResult ours = runProgram(TRK_TO_ZRP_PATH, {base + ".trk", base + "-ours.zrp"});
        const ProgramResult baseline = runProgram(BASELINE_PATH, {base + ".trk", base + "-baseline.zrp"});
        ASSERT_EQ(ours.status, 0) << ours.err;
        ASSERT_EQ(baseline.status, 0) << baseline.err;
        const std::string expected = slurp(base + "-ours.zrp");
        EXPECT_GT(expected.size(), 20000u * 100u);
        EXPECT_TRUE(expected == slurp(base + "-baseline.zrp")) << "the outputs differ";
    }
    for (const char* suffix : {".trk", "-ours.zrp", "-baseline.zrp"}) std::remove((base + suffix).c_str());
}

}  // namespace
