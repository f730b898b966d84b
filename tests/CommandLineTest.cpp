// trk_to_zrp's command line: read in-process, then run as a user runs it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "ProjectVersion.h"
#include "RunProgram.h"

namespace {

const char* const formatNames[] = {"zrp", "vtp", "csv", "vtkhdf"};

// What a command line asks for, in one line.
std::string described(const CommandLine& line) {
    switch (line.action) {
        case CommandLine::Action::Help: return "help";
        case CommandLine::Action::Version: return "version";
        case CommandLine::Action::Error: return "error: " + line.error;
        case CommandLine::Action::Translate: break;
    }
    const TranslationOptions& o = line.options;
    return std::string(formatNames[static_cast<int>(o.format)]) + " memory " + std::to_string(o.memoryBudget) +
           " threads " + std::to_string(o.threads) + (o.strict ? " strict" : "") + " in " + line.input +
           (line.hasOutput ? " out " + line.output : "");
}

std::string described(std::vector<std::string> args) {
    args.insert(args.begin(), "trk_to_zrp");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return described(parseCommandLine(static_cast<int>(args.size()), argv.data()));
}

// Options anywhere before "--", in both forms, the last of one kind
// counting; every value outside its range refused with what it must be.
TEST(CommandLine, OptionsAndTheirValues) {
    const std::string memory =
        "error: --memory must be a positive whole number of bytes with an optional K, M or G, less than 16 EiB, not ";
    const std::string threads = "error: --threads must be a whole number from 1 to 1024, not ";
    const struct {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"in"}, "zrp memory 0 threads 0 in in"},
        {{"--format=csv", "--memory", "1024k", "--threads=8", "--strict", "in", "out"},
         "csv memory 1048576 threads 8 strict in in out out"},
        {{"in", "--memory=3G", "out", "--format", "vtp", "--memory", "2m"},
         "vtp memory 2097152 threads 0 in in out out"},
        {{"--memory=17179869183G", "--threads", "1024", "in"}, "zrp memory 18446744072635809792 threads 1024 in in"},
        {{"--format=vtkhdf", "in", "out"}, "vtkhdf memory 0 threads 0 in in out out"},
        {{"--", "--strict", "-"}, "zrp memory 0 threads 0 in --strict out -"},
        {{"in", "-h", "--bogus"}, "help"},
        {{"--version", "a", "b", "c"}, "version"},
        {{"--memory=0", "in"}, memory + "'0'"},
        {{"--memory=1023K", "in"}, "error: --memory must be at least 1M, not '1023K'"},
        {{"--memory=1.5G", "in"}, memory + "'1.5G'"},
        {{"--memory=1T", "in"}, memory + "'1T'"},
        {{"--memory=1GB", "in"}, "zrp memory 1073741824 threads 0 in in"},
        {{"--memory", "512MiB", "in"}, "zrp memory 536870912 threads 0 in in"},
        {{"--memory=512B", "in"}, memory + "'512B'"},
        {{"--memory=G", "in"}, memory + "'G'"},
        {{"--memory=17179869184G", "in"}, memory + "'17179869184G'"},
        {{"--memory=18446744073709551616", "in"}, memory + "'18446744073709551616'"},
        {{"--threads=0", "in"}, threads + "'0'"},
        {{"--threads=1025", "in"}, threads + "'1025'"},
        {{"--format=\x1b[2J", "in"}, "error: --format must be zrp, vtp, csv or vtkhdf, not '\\x1b[2J'"},
        {{"--strict=yes", "in"}, "error: --strict takes no value"},
        {{"in", "--threads"}, "error: --threads needs a value"},
        {{"--bogus=1", "in"}, "error: unknown option --bogus"},
        {{"a", "b", "c"}, "error: incorrect number of arguments"},
    };
    for (const auto& c : cases) EXPECT_EQ(described(c.args), c.line);
    // An option after a file name stays an option where getopt would stop at
    // the first name.
    setenv("POSIXLY_CORRECT", "1", 1);
    EXPECT_EQ(described({"in", "--strict", "--help"}), "help");
    EXPECT_EQ(described({"in", "--strict"}), "zrp memory 0 threads 0 strict in in");
    unsetenv("POSIXLY_CORRECT");

    const std::string help = helpText("trk_to_zrp");
    EXPECT_EQ(help.compare(0, 51, "Usage: trk_to_zrp [options] inputfile [outputfile]\n"), 0) << help;
    for (const char* shown : {"--format FORMAT", "--memory SIZE", "(default: half the physical memory)", "--threads N",
                              "(default: one per core)", "--strict", "-h, --help", "--version"})
        EXPECT_NE(help.find(shown), std::string::npos) << shown;
}

// The program as a user meets it: help and version on standard output,
// standard input as "-", a name that begins with "-" after "--", and
// command-line errors in two lines on standard error, status 1.
TEST(CommandLine, ProgramRuns) {
    const std::string argv0 = "./some/where/trk_to_zrp";
    const std::string example = EXAMPLES_DIR "/particles.trk";
    const std::string exampleZrp = readFile(EXAMPLES_DIR "/particles.zrp");
    // A relative name, so that it begins with "-".
    const std::string dashed = "-command-line-test-" + std::to_string(getpid()) + ".trk";
    writeFile(dashed, readFile(example));
    // HDF5 writes through the library: the sanitizers watch it here.
    const std::string hdf = "/tmp/command-line-test-" + std::to_string(getpid()) + ".hdf";
    const auto error = [&](const std::string& message) {
        return "Error: " + message + "\nUsage: " + argv0 + " inputfile [outputfile]\n";
    };
    const struct {
        const char* label;
        std::vector<std::string> args;
        std::string input;  // standard input
        int status;
        std::string out, err;
    } cases[] = {
        {"help", {"--help"}, "/dev/null", 0, helpText(argv0), ""},
        {"help after a file name", {example, "-h"}, "/dev/null", 0, helpText(argv0), ""},
        {"version", {"--version"}, "/dev/null", 0, "trk_to_zrp " TRK_TO_ZRP_VERSION "\n", ""},
        {"standard input", {"-"}, example, 0, exampleZrp, ""},
        {"a name after --", {"--", dashed}, "/dev/null", 0, exampleZrp, ""},
        {"a name like an option",
         {dashed},
         "/dev/null",
         1,
         "",
         error("unknown option -c in " + dashed + " (a file name that begins with - follows --)")},
        {"unknown option", {"--bogus", example}, "/dev/null", 1, "", error("unknown option --bogus")},
        {"VTK HDF", {"--format", "vtkhdf", example, hdf}, "/dev/null", 0, hdf + " written.\n", ""},
        {"VTK HDF without an output file",
         {"--format", "vtkhdf", example},
         "/dev/null",
         1,
         "",
         error("VTK HDF is written to a file by its name: give an output file")},
        {"no argument", {}, "/dev/null", 1, "", error("incorrect number of arguments")},
        {"missing input", {"/nonexistent/input.trk"}, "/dev/null", 1, "", error("could not open input file")},
        {"missing input with output",
         {"/nonexistent/input.trk", "/tmp/never-written.zrp"},
         "/dev/null",
         1,
         "",
         error("could not open input file")},
        {"a directory as input",
         {"/", "/tmp/never-written.zrp"},
         "/dev/null",
         1,
         "",
         error("could not open input file")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ProgramResult result = runProgram(TRK_TO_ZRP_PATH, c.args, argv0, "", c.input);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
    std::remove(dashed.c_str());
    std::remove(hdf.c_str());
    // "--help" after the input was once taken for the output's name.
    EXPECT_NE(access("--help", F_OK), 0);
    EXPECT_NE(access("/tmp/never-written.zrp", F_OK), 0);
}

// An output that is the input, by any name, would replace the track file
// with its own translation: refused before anything is read.
TEST(CommandLine, AnOutputThatIsTheInputIsRefused) {
    const std::string dir = makeTempDir("same-file");
    const std::string track = readFile(EXAMPLES_DIR "/particles.trk");
    writeFile(dir + "in.trk", track);
    ASSERT_EQ(link((dir + "in.trk").c_str(), (dir + "hard.trk").c_str()), 0);
    ASSERT_EQ(symlink("in.trk", (dir + "soft.trk").c_str()), 0);
    const struct {
        std::string input, output, standardInput;
    } cases[] = {
        {"in.trk", "in.trk", "/dev/null"},   {"in.trk", "hard.trk", "/dev/null"}, {"in.trk", "soft.trk", "/dev/null"},
        {"soft.trk", "in.trk", "/dev/null"}, {"-", "hard.trk", dir + "in.trk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input + " " + c.output);
        const std::string input = c.input == "-" ? c.input : dir + c.input;
        const ProgramResult result =
            runProgram(TRK_TO_ZRP_PATH, {input, dir + c.output}, "trk_to_zrp", "", c.standardInput);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "Error: input and output are the same file\nUsage: trk_to_zrp inputfile [outputfile]\n");
        EXPECT_EQ(readFile(dir + "in.trk"), track);
        EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "hard.trk", "soft.trk"}));
    }
    removeDir(dir);
}

// The output is opened before the input is read: with a pipe that stays
// open and sends nothing as the input, only a program that refuses the
// output first ends before the time limit.
TEST(CommandLine, AnUnwritableOutputIsRefusedBeforeTheInputIsRead) {
    const std::string dir = makeTempDir("fifo");
    const std::string fifo = dir + "in.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR);  // holds the pipe open without blocking
    ASSERT_GE(writer, 0);
    const ProgramResult result = runProgram("/usr/bin/timeout", {"60", TRK_TO_ZRP_PATH, fifo, dir + "missing/out.zrp"});
    close(writer);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error: could not open output file\nUsage: " TRK_TO_ZRP_PATH " inputfile [outputfile]\n");
    removeDir(dir);
}

// Whether the hidden temporary output beside `target` in `dir` holds any
// bytes yet: the input has then been read and the output is being written.
bool temporaryIsWritten(const std::string& dir, const std::string& target) {
    for (const std::string& name : filesIn(dir)) {
        struct stat status;
        if (name.rfind("." + target + ".", 0) == 0 && stat((dir + name).c_str(), &status) == 0 && status.st_size > 0)
            return true;
    }
    return false;
}

// Whether a spill file in `dir` holds any bytes yet.
bool spillIsWritten(const std::string& dir) {
    for (const std::string& name : filesIn(dir)) {
        struct stat status;
        if (stat((dir + name).c_str(), &status) == 0 && status.st_size > 0) return true;
    }
    return false;
}

// A run ended by a signal while it writes its output, or its spill files in
// the translation through spill files, ends by that signal and leaves neither
// its temporary files nor a changed target.
TEST(CommandLine, ASignalLeavesNothingBehind) {
    const std::string dir = makeTempDir("interrupted");
    const std::string spill = dir + "spill/";
    ASSERT_EQ(mkdir(spill.c_str(), 0700), 0);
    setenv("TMPDIR", spill.c_str(), 1);
    // 1,000,000 points: about 75 MB of output, written for long enough to be caught at it.
    ASSERT_EQ(runProgram(TRK_MAKE_PATH, {"--chunks", "20", "--points", "50000", dir + "in.trk"}).status, 0);
    for (const bool bounded : {false, true}) {
        for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
            SCOPED_TRACE(std::string(bounded ? "through spill files, " : "in memory, ") + std::to_string(signalNumber));
            writeFile(dir + "out.zrp", "old\n");
            std::vector<std::string> args{dir + "in.trk", dir + "out.zrp"};
            if (bounded) args.insert(args.begin(), {"--memory", "4M"});
            const pid_t run = startProgram(TRK_TO_ZRP_PATH, args);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (!(bounded ? spillIsWritten(spill) : temporaryIsWritten(dir, "out.zrp")) && programRunning(run) &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            kill(run, signalNumber);
            EXPECT_EQ(waitProgram(run), 128 + signalNumber);
            EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "out.zrp", "spill"}));
            EXPECT_TRUE(filesIn(spill).empty());
            EXPECT_EQ(readFile(dir + "out.zrp"), "old\n");
        }
    }
    unsetenv("TMPDIR");
    removeDir(spill);
    removeDir(dir);
}

}  // namespace

namespace {

// A reader that closes the pipe early, an input that fails in the middle of
// a block, and binary data for a terminal: each run ends as it should and
// leaves no temporary output, spill file or input copy behind.
TEST(CommandLine, EndingsOfEveryKindLeaveNothingBehind) {
    const std::string dir = makeTempDir("endings");
    const std::string spill = dir + "spill/";
    ASSERT_EQ(mkdir(spill.c_str(), 0700), 0);
    ASSERT_EQ(runProgram(TRK_MAKE_PATH, {"--chunks", "20", "--points", "50000", dir + "in.trk"}).status, 0);
    const std::string program = TRK_TO_ZRP_PATH;
    const std::string in = dir + "in.trk";
    // The pipelines' statuses are the translator's, as bash's PIPESTATUS has it.
    const struct {
        const char* what;
        std::string command;
        std::string status;  // of trk_to_zrp
    } pipelines[] = {
        {"head closes the output", program + " --memory 4M " + in + " | head -c 100", "141"},
        {"and the input is a pipe", "cat " + in + " | " + program + " --memory 4M - | head -c 100", "141"},
        {"VTK PolyData", "cat " + in + " | " + program + " --format vtp - | head -c 100", "141"},
    };
    for (const auto& p : pipelines) {
        const ProgramResult run = runProgram(
            "/bin/bash", {"-c", "TMPDIR=" + spill + " " + p.command + " >/dev/null; echo ${PIPESTATUS[-2]}"});
        EXPECT_EQ(run.out, p.status + "\n") << p.what;
        EXPECT_TRUE(filesIn(spill).empty()) << p.what;
    }

    // A read that fails inside a block ends the run with the reader's status 2.
    const ProgramResult failed = runProgram(TRK_TO_ZRP_PATH, {"/proc/self/mem", dir + "out.zrp"});
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.err.find("input in flex scanner failed"), std::string::npos) << failed.err;

    // A terminal does not take binary data.
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    const ProgramResult binary = runProgram(TRK_TO_ZRP_PATH, {"--format", "vtp", in}, "trk_to_zrp", ptsname(terminal));
    close(terminal);
    EXPECT_EQ(binary.status, 1);
    EXPECT_EQ(binary.err,
              "Error: VTK PolyData is binary: give an output file, or send standard output to a file or pipe\n"
              "Usage: trk_to_zrp inputfile [outputfile]\n");

    EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "spill"}));
    removeDir(spill);
    removeDir(dir);
}

}  // namespace
