#ifndef TRANSLATOR_COMMANDLINE_H
#define TRANSLATOR_COMMANDLINE_H

#include <cstdint>
#include <string>

#include "MemoryBudget.h"
#include "Translation.h"

// What trk_to_zrp's command line asks for.
struct CommandLine {
    enum class Action {
        Translate,
        Help,     // print helpText(), then end with status 0
        Version,  // print versionLine("trk_to_zrp"), then end with status 0
        Error     // a command-line error; `error` says what
    };
    Action action = Action::Translate;
    std::string error;
    std::string input;  // a file name, or "-" for standard input
    std::string output;
    bool hasOutput = false;  // without, the output goes to standard output
    TranslationOptions options;
};

// Reads the options, anywhere before "--", as "--name value" or
// "--name=value", and the one or two file names.
CommandLine parseCommandLine(int argc, char** argv);

// The usage with every option, one line each, for --help.
std::string helpText(const std::string& program);

// Option values: false when the text is not one. A size is a positive whole
// number of bytes with an optional K, M or G (powers of 1024, either case,
// followed or not by B or iB) that fits in 64 bits; threads are a whole number from 1 to 1024; a format
// is zrp, vtp, csv or vtkhdf.
bool parseMemorySize(const std::string& text, std::uint64_t& bytes);
bool parseThreads(const std::string& text, unsigned& threads);
bool parseFormat(const std::string& text, OutputFormat& format);

#endif
