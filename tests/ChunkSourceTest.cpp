// The chunk source: one walk of a track file's records, the same from a file
// and from a pipe, with the translation's checks or only those that locate
// the data.

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ChunkSource.h"
#include "TrackError.h"
#include "TrackTestData.h"

namespace {

// What a walk saw, one line a record.
std::string walk(ChunkSource& source, bool readEveryChunk) {
    std::string seen;
    for (;;) {
        const ChunkSource::Record record = source.next();
        const std::string at = std::to_string(source.recordNumber()) + "@" + std::to_string(source.recordOffset());
        switch (record) {
            case ChunkSource::Record::SteadyChunk: {
                TrackChunk& chunk = source.chunk();
                seen += "chunk " + at + " " + chunk.name + " size " + std::to_string(chunk.size) + " data@" +
                        std::to_string(chunk.dataOffset);
                if (readEveryChunk) {
                    source.readData(chunk);
                    seen += " " + std::string(chunk.variables[3].data.begin(), chunk.variables[3].data.end());
                }
                seen += "\n";
                break;
            }
            case ChunkSource::Record::Other: seen += "other " + at + "\n"; break;
            case ChunkSource::Record::EmptyBlock: return seen + "{} @" + std::to_string(source.recordOffset()) + "\n";
            case ChunkSource::Record::End: return seen + "end\n";
            case ChunkSource::Record::Unreadable: return seen + "unreadable " + at + ": " + source.parseError() + "\n";
        }
    }
}

TEST(ChunkSource, WalksTheRecordsOfAFileAndOfAPipeAlike) {
    const std::string header = "{'ClassName': 'Header'}";
    const std::string a = trackText({standardChunk(1, "A", {{0, 1, 2, 3, 0.5f, 1.25}})});
    const std::string b = trackText({standardChunk(2, "B", {{1, 1, 2, 3, 0.5f, 2.5}, {2, 1, 2, 3, 0.5f, 5}})});
    const std::string unsteady = "{'ClassName': 'TrackChunk', 'Steady': false}";
    const std::string bytes = header + a + unsteady + b + " #";
    // The chunks' last variable holds doubles; they are compared as bytes.
    auto temperatures = [](std::vector<double> values) {
        return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double));
    };
    const std::size_t bAt = header.size() + a.size() + unsteady.size();
    const std::string expected =
        "other 1@0\n"
        "chunk 2@" +
        std::to_string(header.size()) + " A size 1 data@" + std::to_string(header.size() + a.size() - 28) + " " +
        temperatures({1.25}) + "\nother 3@" + std::to_string(header.size() + a.size()) +
        "\n"
        "chunk 4@" +
        std::to_string(bAt) + " B size 2 data@" + std::to_string(bAt + b.size() - 56) + " " + temperatures({2.5, 5}) +
        "\nunreadable 5@" + std::to_string(bytes.size() - 2) +
        ": PropertyParser scan failed: Error parsing Property: lexical error. found: '#'\n";
    for (const bool pipe : {false, true}) {
        SCOPED_TRACE(pipe ? "pipe" : "file");
        Input input(bytes, pipe);
        ChunkSource source(input.stream);
        EXPECT_EQ(source.size(), pipe ? -1 : static_cast<std::int64_t>(bytes.size()));
        EXPECT_EQ(walk(source, true), expected);
    }
    // Data that is not read is passed over; "{}" ends the records.
    Input input(a + "{}" + b, true);
    ChunkSource source(input.stream);
    EXPECT_EQ(walk(source, false),
              "chunk 1@0 A size 1 data@" + std::to_string(a.size() - 28) + "\n{} @" + std::to_string(a.size()) + "\n");
}

TEST(ChunkSource, ReadsAChunkAgainByItsOffsetsWhereTheInputCanSeek) {
    const std::string bytes = trackText(referenceChunks("B"));
    for (const bool pipe : {false, true}) {
        Input input(bytes, pipe);
        ChunkSource source(input.stream);
        ASSERT_EQ(source.next(), ChunkSource::Record::SteadyChunk);
        TrackChunk first = source.chunk();
        ASSERT_EQ(source.next(), ChunkSource::Record::SteadyChunk);
        source.readData(source.chunk());
        if (pipe) {
            EXPECT_THROW(source.readData(first), std::logic_error);
            continue;
        }
        source.readData(first);
        EXPECT_EQ(first.variables[0].data, referenceChunks("B")[0].data[0]);
        EXPECT_EQ(first.variables[3].data, referenceChunks("B")[0].data[3]);
        EXPECT_EQ(source.next(), ChunkSource::Record::End);
    }
}

// A chunk without "Id" and with a variable without "Type" is refused by the
// translation's checks and listed by those that only locate the data; data
// cut short is refused by both, from a file before any of it is read.
TEST(ChunkSource, ChecksRefuseWhatTheyNeed) {
    TestChunk chunk = standardChunk(1, "A", {{0, 1, 2, 3, 0.5f, 300}});
    chunk.block.remove("Id");
    descriptorOf(chunk, 2).remove("Type");
    const std::string loose = trackText({chunk});
    const std::string cut = trackText({standardChunk(7, "A", {{0, 1, 2, 3, 0.5f, 300}})});
    const std::string cutShort =
        "track chunk (record 1, byte 0, Id 7): variable 4 (\"Temperature\"): the file ends "
        "inside its data (8 bytes declared, 5 present).";
    struct Case {
        std::string bytes;
        ChunkSource::Checks checks;
        std::string error;
    };
    const Case cases[] = {
        {loose, ChunkSource::Checks::All, "track chunk (record 1, byte 0): \"Id\" is missing or is not an integer."},
        {loose, ChunkSource::Checks::DataLocation, ""},
        {cut.substr(0, cut.size() - 3), ChunkSource::Checks::All, cutShort},
        {cut.substr(0, cut.size() - 3), ChunkSource::Checks::DataLocation, cutShort},
    };
    for (const Case& c : cases) {
        for (const bool pipe : {false, true}) {
            Input input(c.bytes, pipe);
            ChunkSource source(input.stream, c.checks);
            std::string error;
            try {
                // From a file the data is checked before the chunk is handed
                // out; from a pipe as it is read.
                while (source.next() == ChunkSource::Record::SteadyChunk) source.readData(source.chunk());
            } catch (const ChunkError& e) {
                error = e.what();
            }
            EXPECT_EQ(error, c.error) << (pipe ? "pipe" : "file");
        }
    }
}

// The keys read as 32-bit integers take a Long whose value fits; one beyond
// 32 bits is reported with the number the file holds, never a wrapped one.
TEST(ChunkSource, IntegerKeysTakeLongsThatFit) {
    const std::string chunk = "track chunk (record 1, byte 0";
    const struct {
        std::string key;
        int variable;  // -1 for the chunk's own block
        long long value;
        std::string error;  // empty when the key is read as the value
    } cases[] = {
        {"Size", -1, 1, ""},
        {"Size", -1, 4000000000LL, chunk + ", Id 1): \"Size\" is out of range (4000000000)."},
        {"Size", -1, -5, chunk + ", Id 1): \"Size\" is negative (-5)."},
        {"Id", -1, -2147483648LL, ""},
        {"Id", -1, 2147483648LL, chunk + "): \"Id\" is out of range (2147483648)."},
        {"DataSize", 0, 4, ""},
        {"DataSize", 0, -4294967296LL,
         chunk + ", Id 1): variable 1 (\"Parcel Index\"): \"DataSize\" is out of range "
                 "(-4294967296)."},
        {"Type", 2, 0, ""},
        {"Type", 2, 9223372036854775807LL,
         chunk + ", Id 1): variable 3 (\"Diameter\"): \"Type\" is out of range "
                 "(9223372036854775807)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + " " + std::to_string(c.value));
        TestChunk damaged = standardChunk(1, "A", {{0, 1, 2, 3, 0.5f, 300}});
        Properties keys = c.variable < 0 ? damaged.block : descriptorOf(damaged, static_cast<std::size_t>(c.variable));
        keys.set(c.key, c.value);
        Input input(trackText({damaged}), false);
        ChunkSource source(input.stream);
        try {
            ASSERT_EQ(source.next(), ChunkSource::Record::SteadyChunk);
            const TrackChunk& read = source.chunk();
            const ChunkVariable* variable = c.variable < 0 ? nullptr : &read.variables.at(std::size_t(c.variable));
            const std::int32_t value = c.key == "Size"       ? read.size
                                       : c.key == "Id"       ? read.id
                                       : c.key == "DataSize" ? variable->dataSize
                                                             : variable->type;
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(c.error, "");
        } catch (const ChunkError& error) {
            EXPECT_EQ(error.what(), c.error);
        }
    }
}

}  // namespace
