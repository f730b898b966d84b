#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "PropertyLexer.h"
#include "PropertyParser.tab.h"

namespace {

// One token as text, its value written out so that a table row reads like
// the input it came from: "int 5", "str a'b", "word x", "{".
std::string fromLexer(int code) {
    std::ostringstream token;
    token.precision(15);
    switch (code) {
        case BOOL: token << (yylval.boolValue ? "true" : "false"); break;
        case INT: token << "int " << yylval.intValue; break;
        case LONG: token << "long " << yylval.longValue; break;
        case DOUBLE: token << "double " << yylval.doubleValue; break;
        case STRING:
        case IDENTIFIER:
            token << (code == STRING ? "str " : "word ") << *yylval.stringValue;
            delete yylval.stringValue;
            break;
        case MAP_BEGIN: return "{";
        case MAP_END: return "}";
        case ARRAY_BEGIN: return "[";
        case ARRAY_END: return "]";
        default: return "code " + std::to_string(code);
    }
    return token.str();
}

// The tokens up to the first END, and the lexical error message, if any.
std::pair<std::vector<std::string>, std::string> scanAll(std::istream& in) {
    std::vector<std::string> tokens;
    std::ostringstream out;
    errorMessage.clear();
    PropertyLexer lexer(in, out);
    for (int code = lexer.yylex(); code != END; code = lexer.yylex()) tokens.push_back(fromLexer(code));
    return {tokens, errorMessage};
}

std::string lexicalError(const std::string& found) {
    return found.empty() ? "" : "Error parsing Property: lexical error. found: '" + found + "'";
}

std::string outOfRange(const std::string& token) {
    return "integer out of range: " + token;
}

const std::string zero(1, '\0');
const std::string nines(40, '9');

const struct {
    std::string input;
    std::vector<std::string> tokens;
    std::string error;  // the message of the error that ends the scan, empty for none
} cases[] = {
    // Exactly 00 and 01 are booleans; longer or signed digit runs are numbers.
    {"00 01 001 -01 true falsey", {"false", "true", "int 1", "int -1", "true", "word falsey"}, ""},
    {"<value>\n  <boolean>0", {"false"}, ""},
    // Where a number ends, the next token starts.
    {"12L 12l 1e 1.5L", {"long 12", "int 12", "word l", "int 1", "word e", "double 1.5", "word L"}, ""},
    {"1. .5 5.e3 1E+2 2e-1", {"double 1", "double 0.5", "double 5000", "double 100", "double 0.2"}, ""},
    {"-inf NaNQ INF nanx", {"double 0", "double 0", "word INF", "word nanx"}, ""},
    // An integer without suffix is an INT where 32 bits hold it and a LONG
    // where 64 do; beyond that, with or without suffix, it is refused.
    {"2147483647 -2147483648 2147483648 -2147483649 9223372036854775807 -9223372036854775808L",
     {"int 2147483647", "int -2147483648", "long 2147483648", "long -2147483649", "long 9223372036854775807",
      "long -9223372036854775808"},
     ""},
    {"1 9223372036854775808 2", {"int 1"}, outOfRange("9223372036854775808")},
    {"-9223372036854775809L", {}, outOfRange("-9223372036854775809L")},
    {nines + "L", {}, outOfRange(nines + "L")},
    {nines + nines, {}, outOfRange(nines + std::string(24, '9') + "...")},
    // An XML int holds 32 bits, an XML long 64.
    {"<value><i4>-2147483648</i4> <value><long>-2147483649</long>", {"int -2147483648", "long -2147483649"}, ""},
    {"<value><int>2147483648</int>", {}, outOfRange("2147483648")},
    {"<value><int>" + nines, {}, outOfRange(nines)},
    {"<value><long>" + nines, {}, outOfRange(nines)},
    {"a.b-c/d$e_f9 9abc L'x'", {"word a.b-c/d$e_f9", "int 9", "word abc", "word L", "str x"}, ""},
    {"a\xc3", {"word a"}, lexicalError("\xc3")},
    {R"('a\'b\\c\nd\qe\t' "it's\"")",
     {"str a'b\\c\nd"
      "qe\t",
      "str it's\""},
     ""},
    {"'a\\\nb'", {}, lexicalError("\\")},
    {"<value>  <int>7</int></value> <value><int>\n5", {"int 7", "int 5"}, ""},
    {"<value><int> 7", {}, lexicalError(" ")},
    {"<value><double>2</double></value>", {"int 2"}, ""},
    {"<name>&amp;&nbsp;&lt;&gt;&apos;&quot;</name><value></value>", {"str & <>'\"", "str "}, ""},
    // Byte 0: a character of a string, a lexical error anywhere else.
    {"'a" + zero + "b' <value>c" + zero + "</value>", {"str a" + zero + "b", "str c" + zero}, ""},
    {"{" + zero, {"{"}, lexicalError("\\0")},
};

TEST(PropertyLexer, TokensAndValues) {
    for (const auto& c : cases) {
        SCOPED_TRACE("input: " + c.input);
        std::istringstream in(c.input);
        const auto scan = scanAll(in);
        EXPECT_EQ(scan.first, c.tokens);
        EXPECT_EQ(scan.second, c.error);
    }
}

// Numbers, words, strings and the blanks after "<value>" are matched in one
// piece up to a bounded length and collected piecewise beyond it. Across
// each bound, and also where the input ends, the tokens must be those of the
// short forms: leading zeros keep a number's value, so a long text has the
// value of its short form. The character that ends a long token starts the
// next one, so it is never a blank here.
const struct {
    std::string before, repeated, after;  // the input: before, repeated n times, after
    std::vector<std::string> tokens;      // a '#' in a token stands for the repeated part
    std::string errorAt;
} longCases[] = {
    {"", "0", "5[", {"int 5", "["}, ""},
    {"", "0", "1e+", {"int 1", "word e"}, "+"},
    {"", "0", "1.5e-1]", {"double 0.15", "]"}, ""},
    {"a", "b.", "'c'", {"word a#", "str c"}, ""},
    {"'", "t", "' 1", {"str #", "int 1"}, ""},
    {"<value><int>", "0", "7</int></value>", {"int 7"}, ""},
    {"<value>", " \n", "a&lt;b</value>", {"str #a<b"}, ""},
    {"<value>", " ", "<foo>", {}, "<"},
};

TEST(PropertyLexer, LongTokensGiveTheTokensOfTheirShortForms) {
    // Digit runs turn long at 33 digits, words and blank runs at 65 characters.
    for (const std::size_t count : {31, 32, 63, 64, 65, 100000}) {
        for (const auto& c : longCases) {
            SCOPED_TRACE(c.before + " + " + std::to_string(count) + " times '" + c.repeated + "' + " + c.after);
            std::string repeated;
            for (std::size_t i = 0; i < count; ++i) repeated += c.repeated;
            std::vector<std::string> expected = c.tokens;
            for (std::string& token : expected) {
                const std::size_t mark = token.find('#');
                if (mark != std::string::npos) token.replace(mark, 1, repeated);
            }
            std::istringstream in(c.before + repeated + c.after);
            const auto scan = scanAll(in);
            EXPECT_EQ(scan.first, expected);
            EXPECT_EQ(scan.second, lexicalError(c.errorAt));
        }
    }
}

// A stream whose buffer fails on every read.
class FailingBuffer : public std::streambuf {
protected:
    int_type underflow() override { throw std::runtime_error("device lost"); }
};

TEST(PropertyLexerDeathTest, StreamGoneBadEndsTheProcessWithStatus2) {
    FailingBuffer buffer;
    std::istream in(&buffer);
    EXPECT_EXIT(scanAll(in), testing::ExitedWithCode(2), "^input in flex scanner failed\n$");
}

}  // namespace
