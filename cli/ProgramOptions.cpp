#include "ProgramOptions.h"

#include <cstring>
#include <iostream>

#include "ProjectVersion.h"
#include "TrackError.h"

namespace {

std::string nameOf(int code, const option* longOptions) {
    for (const option* o = longOptions; o->name != nullptr; ++o)
        if (o->val == code) return std::string("--") + o->name;
    return "-" + std::string(1, static_cast<char>(code));
}

}  // namespace

void startOptionScan() {
    optind = 0;
    opterr = 0;
}

std::string refusedOption(int code, char** argv, const option* longOptions) {
    if (code == ':') return nameOf(optopt, longOptions) + " needs a value";
    const std::string given = argv[optind - 1];
    // A short option may stand in a cluster ("-hx"): optopt is the one refused.
    // Such an argument is most often a file name that begins with "-".
    if (given.compare(0, 2, "--") != 0) {
        // Within a cluster getopt still stands on the argument; after its
        // last letter, on the next.
        const char* const current = argv[optind];
        const std::string argument = current != nullptr && current[0] == '-' && std::strchr(current, optopt) != nullptr
                                         ? std::string(current)
                                         : given;
        const std::string refused = "unknown option -" + shownInMessage(std::string(1, char(optopt)));
        return (argument.size() > 2 ? refused + " in " + shownInMessage(argument) : refused) +
               " (a file name that begins with - follows --)";
    }
    if (optopt != 0) return nameOf(optopt, longOptions) + " takes no value";
    // Command-line text is shown as text from a file is: a control byte in it
    // would act on the terminal.
    return "unknown option " + shownInMessage(given.substr(0, given.find('=')));
}

std::string versionLine(const std::string& program) {
    return program + " " + TRK_TO_ZRP_VERSION;
}

int printedStatus(const std::string& text) {
    std::cout << text << std::flush;
    return std::cout ? 0 : 1;
}
