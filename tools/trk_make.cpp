// trk_make: writes a deterministic synthetic track file. The same options and
// seed always give the same bytes.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "TrackWriter.h"

namespace {

const char* const usageText =
    "Usage: trk_make [options] outputfile\n"
    "  --chunks N        number of steady track chunks (default 4)\n"
    "  --points N        points per chunk (default 8)\n"
    "  --groups A,B,...  tag names, used by the chunks in turn (default A)\n"
    "  --parcels N       number of distinct parcels (default: points per chunk)\n"
    "  --variables LIST  output variables besides position and parcel index:\n"
    "                    any of temperature,diameter,velocity, or none (default all)\n"
    "  --spread          spread the parcel indexes over 0..4294967295\n"
    "  --seed N          seed of the values (default 1)\n"
    "  --xml             write the property blocks in XML notation\n";

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "trk_make: " << message << "\n" << usageText;
    std::exit(1);
}

struct Options {
    std::uint64_t chunks = 4;
    std::uint64_t points = 8;
    std::vector<std::string> groups{"A"};
    std::uint64_t parcels = 0;
    bool temperature = true, diameter = true, velocity = true;
    bool spread = false;
    std::uint64_t seed = 1;
    bool xml = false;
    std::string output;
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) items.push_back(item);
    return items;
}

std::uint64_t number(const char* option, const char* text, std::uint64_t max) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *text == '-' || *end != '\0' || value > max)
        fail(std::string(option) + " needs a whole number up to " + std::to_string(max));
    return value;
}

Options parse(int argc, char** argv) {
    Options options;
    bool parcelsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--chunks") {
            options.chunks = number("--chunks", value(), 1u << 30);
        } else if (arg == "--points") {
            options.points = number("--points", value(), 0x7fffffff);
        } else if (arg == "--groups") {
            options.groups = splitList(value());
            if (options.groups.empty()) fail("--groups needs at least one name");
        } else if (arg == "--parcels") {
            options.parcels = number("--parcels", value(), 0xffffffff);
            parcelsGiven = true;
            if (options.parcels == 0) fail("--parcels needs at least one parcel");
        } else if (arg == "--variables") {
            options.temperature = options.diameter = options.velocity = false;
            for (const std::string& name : splitList(value())) {
                if (name == "temperature")
                    options.temperature = true;
                else if (name == "diameter")
                    options.diameter = true;
                else if (name == "velocity")
                    options.velocity = true;
                else if (name != "none")
                    fail("unknown variable " + name);
            }
        } else if (arg == "--spread") {
            options.spread = true;
        } else if (arg == "--seed") {
            options.seed = number("--seed", value(), ~std::uint64_t(0));
        } else if (arg == "--xml") {
            options.xml = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            fail("unknown option " + arg);
        } else if (options.output.empty()) {
            options.output = arg;
        } else {
            fail("more than one output file");
        }
    }
    if (options.output.empty()) fail("no output file");
    if (!parcelsGiven) options.parcels = options.points > 0 ? options.points : 1;
    return options;
}

// splitmix64: a good, portable mix, so the values depend on nothing but the
// seed and the point.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// A value in [0, 1) for the given parcel, chunk and quantity.
double uniform(std::uint64_t seed, std::uint64_t parcel, std::uint64_t chunk, std::uint64_t quantity) {
    const std::uint64_t h = mix(mix(mix(seed ^ (quantity << 56)) ^ parcel) ^ chunk);
    return static_cast<double>(h >> 11) * 0x1.0p-53;
}

// The track of one parcel: a start point and a steady velocity.
struct Parcel {
    double start[3];
    double velocity[3];
};

Parcel parcelTrack(std::uint64_t seed, std::uint64_t parcel) {
    Parcel p;
    for (int k = 0; k < 3; ++k) {
        p.start[k] = uniform(seed, parcel, 0, 1 + k);
        p.velocity[k] = uniform(seed, parcel, 0, 4 + k) * 2 - 1;
    }
    return p;
}

class Generator {
public:
    explicit Generator(const Options& options) : o(options) {
        step = o.spread ? (o.parcels > 1 ? 0xffffffffull / (o.parcels - 1) : 0xffffffffull) : 1;
    }

    std::vector<Properties> variables() const {
        std::vector<Properties> list{variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId"),
                                     variableDescriptor("Position", 3, "Vector<3,Float4>", 12)};
        if (o.temperature) list.push_back(variableDescriptor("Temperature", 0, "Float8", 8));
        if (o.diameter) list.push_back(variableDescriptor("Diameter", 0, "Float4", 4));
        if (o.velocity) list.push_back(variableDescriptor("Velocity", 2, "Vector<3,Float4>", 12));
        return list;
    }

    // Writes the data of one variable of one chunk in batches, so that any
    // number of points needs only a small buffer.
    void writeVariable(TrackWriter& writer, const std::string& name, std::uint64_t chunk) const {
        const std::uint64_t batch = 65536;
        for (std::uint64_t first = 0; first < o.points; first += batch) {
            VariableData data;
            const std::uint64_t last = std::min(o.points, first + batch);
            for (std::uint64_t j = first; j < last; ++j) {
                const std::uint64_t parcel = (chunk * o.points + j) % o.parcels;
                if (name == "Parcel Index") {
                    data.unsigned4(static_cast<std::uint32_t>(parcel * step));
                    continue;
                }
                const Parcel track = parcelTrack(o.seed, parcel);
                const double time = 0.01 * static_cast<double>(chunk);
                if (name == "Position") {
                    data.vector3Float4(static_cast<float>(track.start[0] + time * track.velocity[0]),
                                       static_cast<float>(track.start[1] + time * track.velocity[1]),
                                       static_cast<float>(track.start[2] + time * track.velocity[2]));
                } else if (name == "Velocity") {
                    data.vector3Float4(static_cast<float>(track.velocity[0]), static_cast<float>(track.velocity[1]),
                                       static_cast<float>(track.velocity[2]));
                } else if (name == "Temperature") {
                    data.float8(300 + 50 * uniform(o.seed, parcel, chunk + 1, 7));
                } else {
                    data.float4(static_cast<float>(1e-4 * (1 + uniform(o.seed, parcel, 0, 8))));
                }
            }
            writer.writeData(data.bytes().data(), data.bytes().size());
        }
    }

    void write(std::ostream& out) const {
        TrackWriter writer(out, o.xml ? BlockNotation::Xml : BlockNotation::Text);
        const std::vector<Properties> list = variables();
        for (std::uint64_t chunk = 0; chunk < o.chunks; ++chunk) {
            const std::string& group = o.groups[chunk % o.groups.size()];
            writer.beginChunk(steadyChunkBlock(static_cast<int>(chunk + 1), group, static_cast<int>(o.points), list));
            for (const Properties& variable : list) writeVariable(writer, variable.getString("Name"), chunk);
        }
    }

private:
    const Options& o;
    std::uint64_t step;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    std::ofstream out(options.output, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "trk_make: could not open " << options.output << "\n";
        return 1;
    }
    Generator(options).write(out);
    out.close();
    if (out.fail()) {
        std::cerr << "trk_make: could not write " << options.output << "\n";
        return 1;
    }
    return 0;
}
