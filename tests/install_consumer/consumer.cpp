#include <properties/Properties.h>
// Consumers written before the headers had a folder of their own name them
// alone; the installed package keeps that working.
#include <PropertyParser.h>

#include <iostream>
#include <sstream>
#include <string>

// Parses a block, changes it and writes it back: exercises the reader, the
// accessors and the writer of the installed library.
int main() {
    std::istringstream in("{'count': 2, 'name': 'pump'}");
    Properties block;
    if (!(in >> block)) return 1;
    block.set("count", block.getInt("count") + 1);
    std::cout << block << std::endl;
    if (block.toString() != "{'count': 3, 'name': 'pump'}") return 2;
    std::string error;
    std::istringstream bad("{'a': }");
    if (readBlock(bad, block, error) != BlockRead::Unreadable) return 3;
    return error == "PropertyParser scan failed: syntax error" ? 0 : 4;
}
