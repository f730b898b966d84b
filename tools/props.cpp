// props: reads property blocks, in property text or in its XML notation, and
// writes each back on a line of its own, as property text or as XML.

#include <cstdint>
#include <cstdlib>
#include <ios>
#include <iostream>
#include <string>
#include <vector>

#include <properties/Properties.h>
#include <properties/PropertyParser.h>

#include "CountingBuffer.h"
#include "ProgramOptions.h"
#include "ToolInput.h"
#include "TrackError.h"

namespace {

const char* const usageText =
    "Usage: props [options] [FILE]\n"
    "  reads property blocks from FILE, or from standard input when FILE is\n"
    "  missing or -, and writes each on a line as property text or as XML\n"
    "  --text       write property text (the default)\n"
    "  --xml        write XML\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n";

[[noreturn]] void usageError(const std::string& message) {
    std::cerr << "props: " << message << "\n" << usageText;
    std::exit(1);
}

enum LongOption { Xml = 256, Text, Version };
const option longOptions[] = {
    {"xml", no_argument, nullptr, Xml},
    {"text", no_argument, nullptr, Text},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, Version},
    {nullptr, 0, nullptr, 0},
};

// The blank characters the property text allows between blocks.
bool isBlank(std::istream::int_type c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    startOptionScan();
    bool xml = false;
    std::vector<std::string> names;
    for (int code; (code = getopt_long(argc, argv, "-:h", longOptions, nullptr)) != -1;) {
        switch (code) {
            case fileNameCode: names.push_back(optarg); break;
            case Xml: xml = true; break;
            case Text: xml = false; break;
            case 'h': return printedStatus(usageText);
            case Version: return printedStatus(versionLine("props") + "\n");
            default: usageError(refusedOption(code, argv, longOptions));
        }
    }
    names.insert(names.end(), argv + optind, argv + argc);
    if (names.size() > 1) usageError("more than one FILE");
    const std::string path = names.empty() ? "-" : names[0];

    ToolInput file;
    if (const int error = file.open(path)) {
        std::cerr << "props: " << shownInMessage(inputFailure("open", file.name(), error)) << std::endl;
        return 1;
    }
    CountingBuffer counter(&file);
    std::istream in(&counter);
    // A failed read looks like the end of the input: it, not what the parser
    // made of the bytes before it, is what went wrong.
    auto readFailed = [&file] {
        if (file.error() == 0) return false;
        std::cout.flush();
        std::cerr << "props: " << shownInMessage(inputFailure("read", file.name(), file.error())) << std::endl;
        return true;
    };

    for (std::uint64_t number = 1;; ++number) {
        // Skipped here rather than by the parser, so that the offset in a
        // report is that of the block's first character.
        while (isBlank(in.peek())) in.get();
        if (in.peek() == std::istream::traits_type::eof()) break;
        const std::uint64_t offset = counter.consumed();
        Properties block;
        std::string error;
        const BlockRead read = readBlock(in, block, error);
        if (readFailed()) return 1;
        if (read == BlockRead::Unreadable) {
            std::cout.flush();
            std::cerr << "props: block " << number << " at byte " << offset << ": " << shownInMessage(error)
                      << std::endl;
            return 1;
        }
        if (read == BlockRead::End) break;
        // Straight to the output: the text of a block as a string would hold
        // its bytes once more.
        if (xml)
            block.displayXML(std::cout);
        else
            block.toStream(std::cout);
        std::cout << '\n';
    }
    // A read that failed ends the input early: what was written is not all.
    if (readFailed()) return 1;

    std::cout.flush();
    if (!std::cout) {
        std::cerr << "props: could not write standard output" << std::endl;
        return 1;
    }
    return 0;
}
