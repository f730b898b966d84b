#ifndef TRANSLATOR_TRACKREADER_H
#define TRANSLATOR_TRACKREADER_H

#include <fstream>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <properties/Properties.h>

class ProgressLine;
struct TranslationState;

// Clears the collection and extracts the next property block into it; true
// when the block holds at least one entry. The end of the input, a block that
// does not parse and the empty block "{}" all give false.
bool readProperties(std::ifstream& in, Properties& properties);

// Makes the buffer count * size zero bytes and reads that many bytes into it,
// whatever the stream's state afterwards.
void readData(std::ifstream& in, int count, int size, std::vector<char, std::allocator<char>>& buffer);

// Walks the records of a track file and hands every steady track chunk, with
// its data, to the assembly. Other records are passed over by their block.
// Reading ends at the end of the input, at "{}", or at a block that does not
// parse (trailing bytes of a stored file), which gets one warning line on
// `diagnostics`. Errors in the chunks are thrown as TranslationError.
// `progress`, when given, is offered the position at every record.
void readTrackFile(std::istream& in, TranslationState& state, std::ostream& diagnostics,
                   ProgressLine* progress = nullptr);

#endif
