// trk_make: writes a deterministic synthetic track file. The same options and
// seed always give the same bytes.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "OutputFile.h"
#include "ProgramOptions.h"
#include "TemporaryFiles.h"
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
    "  --xml             write the property blocks in XML notation\n"
    "  -h, --help        print this help and exit\n"
    "  --version         print the version and exit\n";

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

std::uint64_t number(const char* option, const char* text, std::uint64_t min, std::uint64_t max) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *text == '-' || *end != '\0' || value < min || value > max)
        fail(std::string(option) + " needs a whole number " +
             (min > 0 ? "from " + std::to_string(min) + " to " : "up to ") + std::to_string(max));
    return value;
}

enum LongOption { Chunks = 256, Points, Groups, Parcels, Variables, Spread, Seed, Xml, Version };
const option longOptions[] = {
    {"chunks", required_argument, nullptr, Chunks},
    {"points", required_argument, nullptr, Points},
    {"groups", required_argument, nullptr, Groups},
    {"parcels", required_argument, nullptr, Parcels},
    {"variables", required_argument, nullptr, Variables},
    {"spread", no_argument, nullptr, Spread},
    {"seed", required_argument, nullptr, Seed},
    {"xml", no_argument, nullptr, Xml},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, Version},
    {nullptr, 0, nullptr, 0},
};

// Help and version end the run at once, with status 0 once written.
[[noreturn]] void print(const std::string& text) {
    std::exit(printedStatus(text));
}

Options parse(int argc, char** argv) {
    Options options;
    bool parcelsGiven = false;
    startOptionScan();
    std::vector<std::string> names;
    for (int code; (code = getopt_long(argc, argv, "-:h", longOptions, nullptr)) != -1;) {
        switch (code) {
            case fileNameCode: names.push_back(optarg); break;
            // A file without chunks is no track file; chunks without points are.
            case Chunks: options.chunks = number("--chunks", optarg, 1, 1u << 30); break;
            case Points: options.points = number("--points", optarg, 0, 0x7fffffff); break;
            case Groups:
                options.groups = splitList(optarg);
                if (options.groups.empty()) fail("--groups needs at least one name");
                break;
            case Parcels:
                options.parcels = number("--parcels", optarg, 0, 0xffffffff);
                parcelsGiven = true;
                if (options.parcels == 0) fail("--parcels needs at least one parcel");
                break;
            case Variables:
                options.temperature = options.diameter = options.velocity = false;
                for (const std::string& name : splitList(optarg)) {
                    if (name == "temperature")
                        options.temperature = true;
                    else if (name == "diameter")
                        options.diameter = true;
                    else if (name == "velocity")
                        options.velocity = true;
                    else if (name != "none")
                        fail("unknown variable " + name);
                }
                break;
            case Spread: options.spread = true; break;
            case Seed: options.seed = number("--seed", optarg, 0, ~std::uint64_t(0)); break;
            case Xml: options.xml = true; break;
            case 'h': print(usageText);
            case Version: print(versionLine("trk_make") + "\n");
            default: fail(refusedOption(code, argv, longOptions));
        }
    }
    names.insert(names.end(), argv + optind, argv + argc);
    if (names.empty()) fail("no output file");
    if (names.size() > 1) fail("more than one output file");
    options.output = names[0];
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

// ": " and the system's reason, when there is one.
std::string reason(int error) {
    return error != 0 ? std::string(": ") + std::strerror(error) : "";
}

}  // namespace

int main(int argc, char** argv) {
    installSignalCleanup();
    const Options options = parse(argc, argv);
    // Written beside the target and put in place when complete: an
    // interrupted or failed run leaves no partial file.
    // The output file keeps no reason of its own: a failure leaves the errno
    // of the call that failed, and a failure without one leaves 0.
    OutputFile out;
    errno = 0;
    if (!out.open(options.output)) {
        std::cerr << "trk_make: could not open " << options.output << reason(errno) << "\n";
        return 1;
    }
    errno = 0;
    Generator(options).write(out.stream());
    if (!out.commit()) {
        std::cerr << "trk_make: could not write " << options.output << reason(errno) << "\n";
        return 1;
    }
    return 0;
}
