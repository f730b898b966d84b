#include "ProgramOptions.h"

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
    if (given.compare(0, 2, "--") != 0) return "unknown option -" + shownInMessage(std::string(1, char(optopt)));
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
