// touch_memory MIB STATUS: keeps MIB mebibytes resident, then exits with
// STATUS. A child of known size for the tests of run_measured.

#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 100;
    const std::size_t bytes = std::strtoul(argv[1], nullptr, 10) << 20;
    // Filled with a nonzero byte: every page written, so every page resident.
    const std::vector<char> memory(bytes, 1);
    volatile char sink = bytes > 0 ? memory[bytes - 1] : 0;
    (void)sink;
    return std::atoi(argv[2]);
}
