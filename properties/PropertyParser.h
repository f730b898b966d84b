#ifndef PROPERTIES_PROPERTYPARSER_H
#define PROPERTIES_PROPERTYPARSER_H

#include <ios>
#include <istream>
#include <string>

#include "PropertyObject.h"

// Reads property blocks from the front of a stream, one block per scan,
// leaving the stream right behind each block's closing "}".
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
};

// The message of a failed scan without the text that std::ios_base::failure
// appends for its error code: "PropertyParser scan failed: syntax error".
std::string scanFailureMessage(const std::ios_base::failure& error);

#endif
