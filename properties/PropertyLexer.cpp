#include "PropertyLexer.h"

PropertyLexer::PropertyLexer(std::istream& in, std::ostream& out) : yyFlexLexer(&in, &out), source(in) {}

int PropertyLexer::LexerInput(char* buffer, int /* size */) {
    if (source.eof() || source.fail()) return 0;
    const std::istream::int_type c = source.get();
    // flex takes -1 as a fatal error: "input in flex scanner failed" goes to
    // LexerError, which writes it to standard error and ends the process
    // with exit status 2 (YY_EXIT_FAILURE). That is where the readers'
    // status 2 comes from.
    if (source.bad()) return -1;
    if (std::istream::traits_type::eq_int_type(c, std::istream::traits_type::eof())) return 0;
    buffer[0] = std::istream::traits_type::to_char_type(c);
    return 1;
}
