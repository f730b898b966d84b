// props: reads property blocks, in property text or in its XML notation, and
// writes each back on a line of its own, as property text or as XML.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <ios>
#include <iostream>
#include <string>

#include "CountingBuffer.h"
#include "Properties.h"
#include "PropertyParser.h"
#include "TrackError.h"

namespace {

const char* const usageText =
    "Usage: props [--xml|--text] [FILE]\n"
    "  reads property blocks from FILE, or from standard input when FILE is\n"
    "  missing or -, and writes each on a line as property text (--text, the\n"
    "  default) or as XML (--xml)\n";

[[noreturn]] void usageError(const std::string& message) {
    std::cerr << "props: " << message << "\n" << usageText;
    std::exit(1);
}

// The blank characters the property text allows between blocks.
bool isBlank(std::istream::int_type c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    bool xml = false;
    std::string path = "-";
    bool pathGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--xml") {
            xml = true;
        } else if (arg == "--text") {
            xml = false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            usageError("unknown option " + arg);
        } else if (pathGiven) {
            usageError("more than one FILE");
        } else {
            path = arg;
            pathGiven = true;
        }
    }

    std::ifstream file;
    std::streambuf* source = std::cin.rdbuf();
    if (path != "-") {
        file.open(path, std::ios::in | std::ios::binary);
        if (!file) {
            std::cerr << "props: could not open " << path << std::endl;
            return 1;
        }
        source = file.rdbuf();
    }
    CountingBuffer counter(source);
    std::istream in(&counter);

    for (std::uint64_t number = 1;; ++number) {
        // Skipped here rather than by the parser, so that the offset in a
        // report is that of the block's first character.
        while (isBlank(in.peek())) in.get();
        if (in.peek() == std::istream::traits_type::eof()) break;
        const std::uint64_t offset = counter.consumed();
        Properties block;
        std::string error;
        const BlockRead read = readBlock(in, block, error);
        if (read == BlockRead::Unreadable) {
            std::cout.flush();
            std::cerr << "props: block " << number << " at byte " << offset << ": " << shownInMessage(error)
                      << std::endl;
            return 1;
        }
        if (read == BlockRead::End) break;
        std::cout << (xml ? block.toXml() : block.toString()) << '\n';
    }

    std::cout.flush();
    if (!std::cout) {
        std::cerr << "props: could not write standard output" << std::endl;
        return 1;
    }
    return 0;
}
