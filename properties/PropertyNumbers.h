#ifndef PROPERTIES_PROPERTYNUMBERS_H
#define PROPERTIES_PROPERTYNUMBERS_H

// The values of the lexer's floating tokens, the same in every locale: what
// atof gives for them in the C locale, whatever LC_NUMERIC the process has
// set.

// A double from [+-]digits[.digits][(e|E)[+-]digits], where one of the two
// digit runs may be empty: the correctly rounded value, an infinity beyond
// the largest double and a zero where the value rounds below the smallest
// subnormal, each with the text's sign.
double readDouble(const char* first, const char* last);

#endif
