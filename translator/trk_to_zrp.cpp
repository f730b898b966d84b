#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "CommandLine.h"
#include "InputFile.h"
#include "ProgramOptions.h"
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
    std::ios::sync_with_stdio(false);
    installSignalCleanup();
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.action) {
        case CommandLine::Action::Help: return printedStatus(helpText(argv[0]));
        case CommandLine::Action::Version: return printedStatus(versionLine("trk_to_zrp") + "\n");
        case CommandLine::Action::Error: usage(line.error.c_str(), argv);
        case CommandLine::Action::Translate: break;
    }

    // HDF5 writes a file by its name, with seeks: a stream will not do.
    if (!line.hasOutput && line.options.format == OutputFormat::VtkHdf)
        usage("VTK HDF is written to a file by its name: give an output file", argv);

    InputFile input;
    if (!input.open(line.input)) usage("could not open input file", argv);
    // Checked before anything is read: the output would replace the input.
    if (line.hasOutput && input.isSameFileAs(line.output)) usage("input and output are the same file", argv);
    // Binary data would garble the terminal.
    if (!line.hasOutput && line.options.format == OutputFormat::Vtp && isatty(STDOUT_FILENO) == 1)
        usage("VTK PolyData is binary: give an output file, or send standard output to a file or pipe", argv);

    TranslationOptions options = line.options;
    options.showProgress = standardErrorIsTerminal();
    const TranslationOutcome outcome =
        translateTrack(input.stream(), input.isStandardInput() ? "standard input" : line.input,
                       line.hasOutput ? line.output.c_str() : nullptr, std::cout, std::cerr, options);
    if (outcome.outputUnopenable) usage("could not open output file", argv);
    return outcome.status;
}
