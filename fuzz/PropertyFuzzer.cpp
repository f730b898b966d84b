// Reads arbitrary bytes as a sequence of property blocks, the way the
// translator reads the records of a track file, and renders every block it
// gets in both notations. Any crash, sanitizer report or leak is a finding.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include <properties/Properties.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    Properties properties;
    // Every successful read consumes at least the block's closing brace, so
    // the loop ends.
    while (in >> properties) {
        properties.toString();
        properties.toXml();
    }
    return 0;
}
