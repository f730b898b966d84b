#ifndef PROPERTIES_PROPERTYFLOATFORMAT_H
#define PROPERTIES_PROPERTYFLOATFORMAT_H

#include <cmath>
#include <ios>
#include <locale>
#include <ostream>
#include <sstream>
#include <string>

// Floating-point output shared by the text and XML writers: general notation
// with `precision` significant digits, trailing zeros kept and the decimal
// point always present, so that the reader takes the number back as a Double
// and never as an Int. Neither notation can carry a NaN, so one is written
// as 0.0.
//
// The digits are formatted on a private stream in the classic locale: a
// caller's stream set to fixed, hex, showpos or a grouping locale must not
// change what the reader gets back. The caller's stream is then left with
// showpoint set and the precision used, as the writers have always left it
// and as code that writes further numbers onto the same stream may expect.
inline void writeFloating(std::ostream& out, double value, std::streamsize precision) {
    std::ostringstream digits;
    digits.imbue(std::locale::classic());
    digits.setf(std::ios_base::showpoint);
    digits.precision(precision);
    digits << (std::isnan(value) ? 0.0 : value);
    out.setf(std::ios_base::showpoint);
    out.precision(precision);
    out << digits.str();
}

// Integers are written through std::to_string for the same reason: plain
// decimal whatever base, sign or locale flags the caller's stream carries.
template <typename Integer>
void writeInteger(std::ostream& out, Integer value) {
    out << std::to_string(value);
}

#endif
