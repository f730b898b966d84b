#include <cstdlib>
#include <fstream>
#include <iostream>

#include "Progress.h"
#include "TemporaryFiles.h"
#include "Translation.h"

// Reports a command-line error in two lines and ends the run with status 1.
[[noreturn]] void usage(const char* message, char** argv) {
    std::cerr << "Error: " << message << std::endl;
    std::cerr << "Usage: " << argv[0] << " inputfile [outputfile]" << std::endl;
    std::exit(1);
}

int main(int argc, char** argv) {
    installSignalCleanup();
    if (argc != 2 && argc != 3) usage("incorrect number of arguments", argv);

    std::ifstream input(argv[1], std::ios::in | std::ios::binary);
    if (input.fail()) usage("could not open input file", argv);

    TranslationOptions options;
    options.showProgress = standardErrorIsTerminal();
    const TranslationOutcome outcome =
        translateTrack(input, argv[1], argc == 3 ? argv[2] : nullptr, std::cout, std::cerr, options);
    if (outcome.outputUnopenable) usage("could not open output file", argv);
    return outcome.status;
}
