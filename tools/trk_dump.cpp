// trk_dump: lists the records of a track file, then shows the data of the
// steady track chunks named on the command line, one row per point.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <properties/PropertyParser.h>

#include "DataTable.h"
#include "RecordListing.h"

namespace {

const char* const usageText =
    "Usage: trk_dump FILE [CHUNK...]\n"
    "  lists every record of the track file FILE, then shows the data of each\n"
    "  steady track chunk CHUNK, a record number as the listing gives it\n";

[[noreturn]] void usageError(const std::string& message) {
    std::cerr << "trk_dump: " << message << "\n" << usageText;
    std::exit(1);
}

std::uint64_t recordNumber(const std::string& text) {
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    // 19 digits always fit in 64 bits.
    if (!digits || text.size() > 19 || std::stoull(text) == 0)
        usageError("CHUNK must be a record number from 1 up, not '" + text + "'");
    return std::stoull(text);
}

// The stream's position; -1 when it cannot be told. A successful block may
// have left the end-of-file flag, which would make tellg fail.
std::int64_t position(std::istream& in) {
    in.clear();
    const std::istream::pos_type here = in.tellg();
    return here == std::istream::pos_type(-1) ? -1 : static_cast<std::int64_t>(here);
}

std::int64_t fileSize(std::istream& in) {
    in.seekg(0, std::ios::end);
    const std::int64_t size = position(in);
    in.seekg(0);
    return size;
}

struct ShownChunk {
    std::string title;
    ChunkLayout layout;
    std::vector<std::vector<char>> data;
};

class TrackDump {
public:
    TrackDump(std::istream& in, const std::set<std::uint64_t>& wanted) : in(in), wanted(wanted), size(fileSize(in)) {}

    // Lists every record; false when the listing stopped before the end of
    // the file, after saying why on standard error.
    bool listRecords();
    // Shows the data of one requested record; false, with a message on
    // standard error, when it has none.
    bool showChunk(std::uint64_t record);

private:
    void stop(const std::string& message);
    // Lists a steady chunk's data and moves past it; false when it cannot.
    bool passChunkData(const Properties& block, std::uint64_t record, std::int64_t offset);

    std::istream& in;
    const std::set<std::uint64_t>& wanted;
    const std::int64_t size;
    std::uint64_t records = 0;
    bool stopped = false;
    std::uint64_t damagedRecord = 0;  // the steady chunk whose data could not be located
    std::map<std::uint64_t, ShownChunk> shown;
};

void TrackDump::stop(const std::string& message) {
    std::cout.flush();
    std::cerr << "trk_dump: " << message << std::endl;
    stopped = true;
}

bool TrackDump::listRecords() {
    Properties block;
    std::string parseError;
    for (;;) {
        const std::int64_t offset = position(in);
        const BlockRead read = readBlock(in, block, parseError);
        if (read == BlockRead::End || (read == BlockRead::Block && block.getMap()->empty())) {
            // "{}" ends the records as the translator reads them, whatever follows.
            const std::int64_t end = position(in);
            if (end >= 0 && end < size)
                std::cout << "empty block at byte " << offset << " ends the records; the " << size - end
                          << " bytes after it are not read\n";
            return true;
        }
        const std::uint64_t record = records + 1;
        if (read == BlockRead::Unreadable) {
            stop("stopped at byte " + std::to_string(offset) + ": the block of record " + std::to_string(record) +
                 " does not parse: " + parseError);
            return false;
        }
        records = record;
        std::cout << "record " << record << " at byte " << offset << ": " << describeBlock(block) << "\n";
        if (!isSteadyTrackChunk(block)) {
            const std::vector<std::string> variables = describeVariables(block);
            for (std::size_t v = 0; v < variables.size(); ++v)
                std::cout << "  variable " << v + 1 << ": " << variables[v] << "\n";
            continue;
        }
        if (!passChunkData(block, record, offset)) return false;
    }
}

bool TrackDump::passChunkData(const Properties& block, std::uint64_t record, std::int64_t offset) {
    const std::string where = "record " + std::to_string(record) + " at byte " + std::to_string(offset);
    ChunkLayout layout;
    const std::string problem = readChunkLayout(block, layout);
    const std::vector<std::string> variables = describeVariables(block);
    for (std::size_t v = 0; v < variables.size(); ++v) {
        std::cout << "  variable " << v + 1 << ": " << variables[v];
        if (problem.empty() && !layout.variables[v].columnProblem.empty())
            std::cout << " (" << layout.variables[v].columnProblem << ")";
        std::cout << "\n";
    }
    if (!problem.empty()) {
        damagedRecord = record;
        stop(where + ": " + problem + "; the records after it cannot be located");
        return false;
    }

    // The data is checked against what the file holds before any of it is
    // read, so a damaged length never becomes a huge allocation.
    const std::int64_t blockEnd = position(in);
    const std::uint64_t length = dataLength(layout);
    const std::uint64_t present = blockEnd >= 0 && size > blockEnd ? std::uint64_t(size - blockEnd - 1) : 0;
    if (blockEnd < 0 || length > present) {
        damagedRecord = record;
        stop(where + ": its data runs past the end of the file (" + std::to_string(length) +
             " bytes declared after the separator byte, " + std::to_string(present) + " present)");
        return false;
    }
    std::cout << "  data: " << length << " bytes from byte " << blockEnd + 1 << "\n";

    if (wanted.count(record) != 0) {
        ShownChunk chunk;
        chunk.title = where + ", " + std::to_string(layout.size) + " points:";
        chunk.layout = layout;
        in.seekg(blockEnd + 1);
        for (const VariableLayout& variable : layout.variables) {
            std::vector<char> bytes(std::uint64_t(layout.size) * std::uint64_t(variable.dataSize));
            in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (static_cast<std::size_t>(in.gcount()) != bytes.size()) {
                damagedRecord = record;
                stop(where + ": the file could not be read");
                return false;
            }
            chunk.data.push_back(std::move(bytes));
        }
        shown[record] = std::move(chunk);
    }
    // A chunk of no data may end the file without its separator byte.
    in.seekg(std::min<std::int64_t>(blockEnd + 1 + static_cast<std::int64_t>(length), size));
    return true;
}

bool TrackDump::showChunk(std::uint64_t record) {
    const auto chunk = shown.find(record);
    if (chunk != shown.end()) {
        printDataTable(chunk->second.title, chunk->second.layout, chunk->second.data);
        return true;
    }
    std::cout.flush();
    if (record == damagedRecord) {
        std::cerr << "trk_dump: the data of record " << record << " cannot be shown: the listing stopped there"
                  << std::endl;
    } else if (record <= records) {
        std::cerr << "trk_dump: record " << record << " is not a steady track chunk: it carries no data" << std::endl;
    } else if (stopped) {
        std::cerr << "trk_dump: there is no record " << record << " before the listing stopped" << std::endl;
    } else {
        std::cerr << "trk_dump: there is no record " << record << ": the file has " << records << " records"
                  << std::endl;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) usageError("no track file named");
    std::vector<std::uint64_t> requested;
    for (int i = 2; i < argc; ++i) requested.push_back(recordNumber(argv[i]));

    std::ifstream in(argv[1], std::ios::in | std::ios::binary);
    if (!in) {
        std::cerr << "trk_dump: could not open " << argv[1] << std::endl;
        return 1;
    }
    const std::set<std::uint64_t> wanted(requested.begin(), requested.end());
    TrackDump dump(in, wanted);
    bool complete = dump.listRecords();
    for (std::uint64_t record : requested) complete = dump.showChunk(record) && complete;

    std::cout.flush();
    if (!std::cout) {
        std::cerr << "trk_dump: could not write standard output" << std::endl;
        return 1;
    }
    return complete ? 0 : 1;
}
