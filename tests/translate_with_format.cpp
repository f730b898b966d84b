// translate_with_format: trk_to_zrp with the output format and the memory
// budget chosen on the command line, for the format tests and the benchmark
// until the program's own options carry them.
//
//   translate_with_format zrp|vtp|csv MEMORY_BYTES inputfile [outputfile]
//
// MEMORY_BYTES 0 keeps the default budget.

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "Translation.h"

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::cerr << "Usage: " << argv[0] << " zrp|vtp|csv MEMORY_BYTES inputfile [outputfile]" << std::endl;
        return 1;
    }
    TranslationOptions options;
    if (std::strcmp(argv[1], "vtp") == 0)
        options.format = OutputFormat::Vtp;
    else if (std::strcmp(argv[1], "csv") == 0)
        options.format = OutputFormat::Csv;
    else if (std::strcmp(argv[1], "zrp") != 0) {
        std::cerr << "unknown format " << argv[1] << std::endl;
        return 1;
    }
    options.memoryBudget = std::strtoull(argv[2], nullptr, 10);
    std::ifstream input(argv[3], std::ios::in | std::ios::binary);
    if (input.fail()) {
        std::cerr << "Error: could not open input file" << std::endl;
        return 1;
    }
    const TranslationOutcome outcome =
        translateTrack(input, argv[3], argc == 5 ? argv[4] : nullptr, std::cout, std::cerr, options);
    if (outcome.outputUnopenable) std::cerr << "Error: could not open output file" << std::endl;
    return outcome.status;
}
