#include "PropertyNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether a number text's magnitude is at least 1, from the place of its
// first nonzero digit and its exponent. Asked only of texts beyond a
// double's range, which lie hundreds of powers of ten from 1 either way, so
// an exponent held at a billion still tells them apart.
bool atLeastOne(const char* p, const char* last) {
    if (p != last && (*p == '+' || *p == '-')) ++p;
    long long leading = 0;  // the power of ten of the first nonzero digit
    bool found = false;
    for (; p != last && isDigit(*p); ++p) {
        if (found) {
            ++leading;
        } else if (*p != '0') {
            found = true;
        }
    }
    if (p != last && *p == '.') {
        ++p;
        for (long long place = -1; p != last && isDigit(*p); ++p, --place) {
            if (!found && *p != '0') {
                found = true;
                leading = place;
            }
        }
    }
    long long exponent = 0;
    bool negativeExponent = false;
    if (p != last && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p != last && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
        for (; p != last && isDigit(*p); ++p) {
            if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
        }
    }
    return leading + (negativeExponent ? -exponent : exponent) >= 0;
}

}  // namespace

double readDouble(const char* first, const char* last) {
    // std::from_chars reads the C locale's form whatever the process's
    // locale is, but takes no leading '+'.
    if (first != last && *first == '+') ++first;
    double value = 0.0;
    if (std::from_chars(first, last, value).ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone then; strtod gives an infinity
        // on overflow and a zero on underflow.
        const double magnitude = atLeastOne(first, last) ? std::numeric_limits<double>::infinity() : 0.0;
        value = first != last && *first == '-' ? -magnitude : magnitude;
    }
    return value;
}
