#include <Properties.h>

#include <iostream>
#include <sstream>

// Parses a block, changes it and writes it back: exercises the reader, the
// accessors and the writer of the installed library.
int main() {
    std::istringstream in("{'count': 2, 'name': 'pump'}");
    Properties block;
    if (!(in >> block)) return 1;
    block.set("count", block.getInt("count") + 1);
    std::cout << block << std::endl;
    return block.toString() == "{'count': 3, 'name': 'pump'}" ? 0 : 2;
}
