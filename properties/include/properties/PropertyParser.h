#ifndef PROPERTIES_PROPERTYPARSER_H
#define PROPERTIES_PROPERTYPARSER_H

#include <ios>
#include <istream>
#include <string>

#include "PropertyObject.h"

class Properties;

// Reads property blocks from the front of a stream, one block per scan,
// leaving the stream right behind each block's closing "}". The stream is
// read with its own get(), so a read that reaches the end of the input
// leaves eofbit and failbit on it; a stream already at its end or failed
// gives end of input at once.
//
// While the parser exists the stream's exception mask is cleared, so that
// no read throws from inside the parse; the destructor puts the mask back
// without throwing, whatever state the reads left.
//
// The parser state is process-wide: only one PropertyParser may exist at a
// time, and parses may not be nested or run on several threads.
class PropertyParser {
public:
    // Binds a new lexer to the stream; nothing is read yet.
    explicit PropertyParser(std::istream& in);
    ~PropertyParser();

    PropertyParser(const PropertyParser&) = delete;
    PropertyParser& operator=(const PropertyParser&) = delete;

    // Reads the next block: its outermost Map, with one reference that
    // belongs to the caller, or null when the input ends before the block.
    // Throws std::ios_base::failure("PropertyParser scan failed: ...") on
    // a lexical or syntax error or when the nesting is too deep.
    PropertyObject* scan();

private:
    std::istream& in;
    std::ios_base::iostate exceptionMask;
};

// The message of a failed scan without the text that std::ios_base::failure
// appends for its error code: "PropertyParser scan failed: syntax error".
std::string scanFailureMessage(const std::ios_base::failure& error);

// What readBlock found at the front of the stream.
enum class BlockRead {
    Block,      // a block, now in the collection; "{}" gives an empty one
    End,        // the input ended before a block began
    Unreadable  // text that does not parse as a block
};

// Reads one property block from the front of `in` into `block` and never
// throws for what the input holds, whatever the stream's exception mask:
// the stream stands right behind the block. Unless a block was read,
// `block` is left empty; an unreadable block also sets failbit on the
// stream and puts the parser's message (without the text
// std::ios_base::failure appends) in `error`. A read that reached the end
// of the input leaves eofbit and failbit on the stream.
BlockRead readBlock(std::istream& in, Properties& block, std::string& error);

#endif
