#include "CommandLine.h"

#include <limits>
#include <vector>

#include "ProgramOptions.h"
#include "TrackError.h"

namespace {

// getopt_long's codes of the options that have no short form.
enum LongOption { Format = 256, Memory, Threads, Strict, Version };

const option longOptions[] = {
    {"format", required_argument, nullptr, Format},
    {"memory", required_argument, nullptr, Memory},
    {"threads", required_argument, nullptr, Threads},
    {"strict", no_argument, nullptr, Strict},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, Version},
    {nullptr, 0, nullptr, 0},
};

// Command-line text is shown as text from a file is: a control byte in it
// would act on the terminal.
std::string quoted(const std::string& text) {
    return "'" + shownInMessage(text) + "'";
}

CommandLine failed(const std::string& message) {
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.error = message;
    return line;
}

bool parseWholeNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = 0;
    for (const char digit : text) {
        const std::uint64_t d = static_cast<std::uint64_t>(digit - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - d) / 10) return false;
        value = value * 10 + d;
    }
    return true;
}

}  // namespace

bool parseMemorySize(const std::string& text, std::uint64_t& bytes) {
    int shift = 0;
    std::string digits = text;
    // "512MB" and "1GiB" say the same as "512M" and "1G".
    for (const char* unit : {"iB", "B"}) {
        const std::size_t length = std::char_traits<char>::length(unit);
        if (digits.size() > length + 1 && digits.compare(digits.size() - length, length, unit) == 0 &&
            std::string("KkMmGg").find(digits[digits.size() - length - 1]) != std::string::npos) {
            digits.resize(digits.size() - length);
            break;
        }
    }
    if (!digits.empty()) {
        switch (digits.back()) {
            case 'K':
            case 'k': shift = 10; break;
            case 'M':
            case 'm': shift = 20; break;
            case 'G':
            case 'g': shift = 30; break;
            default: break;
        }
        if (shift != 0) digits.pop_back();
    }
    std::uint64_t count = 0;
    if (!parseWholeNumber(digits, count) || count == 0 || count > (std::numeric_limits<std::uint64_t>::max() >> shift))
        return false;
    bytes = count << shift;
    return true;
}

bool parseThreads(const std::string& text, unsigned& threads) {
    std::uint64_t count = 0;
    if (!parseWholeNumber(text, count) || count < 1 || count > 1024) return false;
    threads = static_cast<unsigned>(count);
    return true;
}

bool parseFormat(const std::string& text, OutputFormat& format) {
    const struct {
        const char* name;
        OutputFormat format;
    } formats[] = {{"zrp", OutputFormat::Zrp},
                   {"vtp", OutputFormat::Vtp},
                   {"csv", OutputFormat::Csv},
                   {"vtkhdf", OutputFormat::VtkHdf}};
    for (const auto& f : formats) {
        if (text != f.name) continue;
        format = f.format;
        return true;
    }
    return false;
}

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine line;
    std::vector<std::string> files;
    startOptionScan();
    for (;;) {
        const int code = getopt_long(argc, argv, "-:h", longOptions, nullptr);
        if (code == -1) break;
        const std::string value = optarg != nullptr ? optarg : "";
        switch (code) {
            case fileNameCode: files.push_back(optarg); break;
            case 'h': line.action = CommandLine::Action::Help; return line;
            case Version: line.action = CommandLine::Action::Version; return line;
            case Strict: line.options.strict = true; break;
            case Format:
                if (!parseFormat(value, line.options.format))
                    return failed("--format must be zrp, vtp, csv or vtkhdf, not " + quoted(value));
                break;
            case Memory:
                if (!parseMemorySize(value, line.options.memoryBudget))
                    return failed(
                        "--memory must be a positive whole number of bytes with an optional K, M or G, "
                        "less than 16 EiB, not " +
                        quoted(value));
                // Below a megabyte the partitions of the output would be so
                // many that their buffers alone outgrew the budget.
                if (line.options.memoryBudget < minimumMemoryBudget)
                    return failed("--memory must be at least 1M, not " + quoted(value));
                break;
            case Threads:
                if (!parseThreads(value, line.options.threads))
                    return failed("--threads must be a whole number from 1 to 1024, not " + quoted(value));
                break;
            default: return failed(refusedOption(code, argv, longOptions));
        }
    }
    files.insert(files.end(), argv + optind, argv + argc);
    if (files.size() != 1 && files.size() != 2) return failed("incorrect number of arguments");
    line.input = files[0];
    line.hasOutput = files.size() == 2;
    if (line.hasOutput) line.output = files[1];
    return line;
}

std::string helpText(const std::string& program) {
    return "Usage: " + program +
           " [options] inputfile [outputfile]\n"
           "Translates the track file inputfile (standard input when it is -) into an\n"
           "ASCII ZRP particle-path file: outputfile, or standard output without it.\n"
           "  --format FORMAT  the output format: zrp (the default), vtp, csv or vtkhdf\n"
           "                   (vtkhdf needs an output file)\n"
           "  --memory SIZE    the memory a translation may hold, at least 1M, in bytes\n"
           "                   or with a suffix K, M or G\n"
           "                   (default: half the physical memory)\n"
           "  --threads N      threads that format point lines, 1 to 1024\n"
           "                   (default: one per core)\n"
           "  --strict         a block that does not parse is an error, not a warning\n"
           "  -h, --help       print this help and exit\n"
           "  --version        print the version and exit\n"
           "A file name that begins with - follows --.\n";
}
