// trk_dump: lists the records of a track file, then shows the data of the
// steady track chunks named on the command line, one row per point.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ChunkSource.h"
#include "DataTable.h"
#include "ProgramOptions.h"
#include "RecordListing.h"
#include "ToolInput.h"
#include "TrackError.h"

namespace {

const char* const usageText =
    "Usage: trk_dump [options] FILE [CHUNK...]\n"
    "  lists every record of the track file FILE (standard input when it is -),\n"
    "  then shows the data of each steady track chunk CHUNK, a record number as\n"
    "  the listing gives it\n"
    "  -h, --help  print this help and exit\n"
    "  --version   print the version and exit\n";

[[noreturn]] void usageError(const std::string& message) {
    std::cerr << "trk_dump: " << message << "\n" << usageText;
    std::exit(1);
}

enum LongOption { Version = 256 };
const option longOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, Version},
    {nullptr, 0, nullptr, 0},
};

std::uint64_t recordNumber(const std::string& text) {
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    // 19 digits always fit in 64 bits.
    if (!digits || text.size() > 19 || std::stoull(text) == 0)
        usageError("CHUNK must be a record number from 1 up, not '" + text + "'");
    return std::stoull(text);
}

struct ShownChunk {
    std::string title;
    TrackChunk chunk;
};

class TrackDump {
public:
    TrackDump(ToolInput& file, const std::set<std::uint64_t>& wanted)
        : file(file), in(&file), source(in, ChunkSource::Checks::DataLocation), wanted(wanted) {}

    // Lists every record; false when the listing stopped before the end of
    // the file, after saying why on standard error.
    bool listRecords();
    // Shows the data of one requested record; false, with a message on
    // standard error, when it has none.
    bool showChunk(std::uint64_t record);

private:
    void stop(const std::string& message);
    // True at the end of the records, unless a failed read ended them.
    bool reachedEnd();
    // The record's line and one line per variable; `dataTypes` adds why a
    // variable's data cannot be shown, where its chunk's keys are sound.
    void listRecord(bool dataTypes);
    // The line that says where a steady chunk's data lies.
    void listDataLocation();
    // That line, and the chunk's data kept when it is wanted.
    void listChunkData();
    // The bytes after where the records ended: from a file by its size,
    // from a pipe by reading them.
    std::uint64_t bytesAfter();

    const ToolInput& file;
    std::istream in;
    ChunkSource source;
    const std::set<std::uint64_t>& wanted;
    std::uint64_t listed = 0;  // the last record listed
    bool stopped = false;
    std::uint64_t damagedRecord = 0;  // the steady chunk whose data could not be located
    std::map<std::uint64_t, ShownChunk> shown;
};

// The message may quote the file: a parser's message quotes the byte it
// could not read. A failed read looks like the end of the file, so that
// what follows from it (data cut short, a block that does not parse) is not
// the reason the listing stopped: the failure is.
void TrackDump::stop(const std::string& message) {
    std::cout.flush();
    const std::string reason = file.error() != 0 ? inputFailure("read", file.name(), file.error()) : message;
    std::cerr << "trk_dump: " << shownInMessage(reason) << std::endl;
    stopped = true;
}

bool TrackDump::reachedEnd() {
    if (file.error() == 0) return true;
    stop(inputFailure("read", file.name(), file.error()));
    return false;
}

std::uint64_t TrackDump::bytesAfter() {
    if (source.seekable()) {
        const std::uint64_t size = std::uint64_t(source.size());
        return size - std::min(size, source.position());
    }
    // The source has taken nothing beyond the block that ended the records.
    std::uint64_t count = 0;
    char piece[1 << 16];
    for (std::streamsize got; (got = in.rdbuf()->sgetn(piece, sizeof piece)) > 0;) count += std::uint64_t(got);
    return count;
}

void TrackDump::listRecord(bool dataTypes) {
    listed = source.recordNumber();
    std::cout << "record " << listed << " at byte " << source.recordOffset() << ": " << describeBlock(source.block())
              << "\n";
    const std::vector<std::string> variables = describeVariables(source.block());
    for (std::size_t v = 0; v < variables.size(); ++v) {
        std::cout << "  variable " << v + 1 << ": " << variables[v];
        if (dataTypes) {
            const std::string problem = checkDataType(source.chunk().variables[v]).problem;
            if (!problem.empty()) std::cout << " (" << problem << ")";
        }
        std::cout << "\n";
    }
}

void TrackDump::listDataLocation() {
    const TrackChunk& chunk = source.chunk();
    std::uint64_t length = 0;
    for (const ChunkVariable& variable : chunk.variables) length += variable.dataLength;
    std::cout << "  data: " << length << " bytes from byte " << chunk.dataOffset << "\n";
}

void TrackDump::listChunkData() {
    listDataLocation();
    TrackChunk& chunk = source.chunk();
    if (wanted.count(chunk.record) == 0) return;
    source.readData(chunk);
    shown[chunk.record] = {"record " + std::to_string(chunk.record) + " at byte " + std::to_string(chunk.offset) +
                               ", " + std::to_string(chunk.size) + " points:",
                           chunk};
}

bool TrackDump::listRecords() {
    for (;;) {
        try {
            switch (source.next()) {
                case ChunkSource::Record::End: return reachedEnd();
                case ChunkSource::Record::EmptyBlock: {
                    // "{}" ends the records as the translator reads them, whatever follows.
                    const std::uint64_t after = bytesAfter();
                    if (after > 0)
                        std::cout << "empty block at byte " << source.recordOffset() << " ends the records; the "
                                  << after << " bytes after it are not read\n";
                    return reachedEnd();
                }
                case ChunkSource::Record::Unreadable:
                    stop("stopped at byte " + std::to_string(source.recordOffset()) + ": the block of record " +
                         std::to_string(source.recordNumber()) + " does not parse: " + source.parseError());
                    return false;
                case ChunkSource::Record::Other: listRecord(false); break;
                case ChunkSource::Record::SteadyChunk:
                    listRecord(true);
                    listChunkData();
                    break;
            }
        } catch (const ChunkError& error) {
            // A chunk whose data cannot be located is listed before the
            // reason; one whose keys were sound shows its data types and
            // where its data would lie too, as from a pipe, where the data is
            // found cut short only after that line.
            if (error.record() > listed) {
                const bool keysSound = source.chunk().record == error.record();
                listRecord(keysSound);
                if (keysSound) listDataLocation();
            }
            damagedRecord = error.record();
            stop("record " + std::to_string(error.record()) + " at byte " + std::to_string(error.offset()) + ": " +
                 error.problem() + "; the records after it cannot be located");
            return false;
        }
    }
}

bool TrackDump::showChunk(std::uint64_t record) {
    const auto chunk = shown.find(record);
    if (chunk != shown.end()) {
        printDataTable(chunk->second.title, chunk->second.chunk);
        return true;
    }
    std::cout.flush();
    if (record == damagedRecord) {
        std::cerr << "trk_dump: the data of record " << record << " cannot be shown: the listing stopped there"
                  << std::endl;
    } else if (record <= listed) {
        std::cerr << "trk_dump: record " << record << " is not a steady track chunk: it carries no data" << std::endl;
    } else if (stopped) {
        std::cerr << "trk_dump: there is no record " << record << " before the listing stopped" << std::endl;
    } else {
        std::cerr << "trk_dump: there is no record " << record << ": the file has " << listed << " records"
                  << std::endl;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    startOptionScan();
    std::vector<std::string> names;
    for (int code; (code = getopt_long(argc, argv, "-:h", longOptions, nullptr)) != -1;) {
        if (code == fileNameCode)
            names.push_back(optarg);
        else if (code == 'h')
            return printedStatus(usageText);
        else if (code == Version)
            return printedStatus(versionLine("trk_dump") + "\n");
        else
            usageError(refusedOption(code, argv, longOptions));
    }
    names.insert(names.end(), argv + optind, argv + argc);
    if (names.empty()) usageError("no track file named");
    const std::string path = names[0];
    std::vector<std::uint64_t> requested;
    for (std::size_t i = 1; i < names.size(); ++i) requested.push_back(recordNumber(names[i]));

    ToolInput file;
    if (const int error = file.open(path)) {
        std::cerr << "trk_dump: " << shownInMessage(inputFailure("open", file.name(), error)) << std::endl;
        return 1;
    }
    const std::set<std::uint64_t> wanted(requested.begin(), requested.end());
    TrackDump dump(file, wanted);
    bool complete = dump.listRecords();
    for (std::uint64_t record : requested) complete = dump.showChunk(record) && complete;

    std::cout.flush();
    if (!std::cout) {
        std::cerr << "trk_dump: could not write standard output" << std::endl;
        return 1;
    }
    return complete ? 0 : 1;
}
