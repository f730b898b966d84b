#ifndef PROPERTIES_PROPERTYLEXER_H
#define PROPERTIES_PROPERTYLEXER_H

#include <istream>
#include <ostream>

#include <FlexLexer.h>

// The generated lexer reading the caller's stream itself. flex's own input
// function reads through a std::istream of its own over the caller's
// buffer, so the caller's stream never learnt that the input had ended;
// this one takes each character with the caller's get(), and a read that
// reaches the end leaves eofbit (and failbit) on the caller's stream.
class PropertyLexer : public yyFlexLexer {
public:
    // out receives what the rules echo (line feeds inside an XML int).
    PropertyLexer(std::istream& in, std::ostream& out);

protected:
    // One character at a time, so that a block ends exactly at its closing
    // character: 1 for a character, 0 at the end of the input (also when
    // the stream was already at its end or failed), -1 when the stream has
    // gone bad.
    int LexerInput(char* buffer, int size) override;

private:
    std::istream& source;
};

#endif
