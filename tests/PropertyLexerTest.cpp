#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <FlexLexer.h>

#include "PropertyParser.tab.h"

namespace {

// One token as the lexer reported it, its value rendered as text so that a
// table row reads like the input it came from.
struct Token {
    int code;
    std::string value;

    bool operator==(const Token& other) const { return code == other.code && value == other.value; }
};

std::ostream& operator<<(std::ostream& out, const Token& token) {
    return out << token.code << "(" << token.value << ")";
}

Token Bool(bool value) { return {BOOL, value ? "true" : "false"}; }
Token Int(long long value) { return {INT, std::to_string(value)}; }
Token Long(long long value) { return {LONG, std::to_string(value)}; }
Token Double(double value) {
    std::ostringstream text;
    text.precision(17);
    text << value;
    return {DOUBLE, text.str()};
}
Token Str(const std::string& value) { return {STRING, value}; }
Token Ident(const std::string& value) { return {IDENTIFIER, value}; }
const Token MapBegin{MAP_BEGIN, ""};
const Token MapEnd{MAP_END, ""};
const Token ArrayBegin{ARRAY_BEGIN, ""};
const Token ArrayEnd{ARRAY_END, ""};

Token fromLexer(int code) {
    switch (code) {
    case BOOL: return Bool(yylval.boolValue);
    case INT: return Int(yylval.intValue);
    case LONG: return Long(yylval.longValue);
    case DOUBLE: return Double(yylval.doubleValue);
    case STRING:
    case IDENTIFIER: {
        Token token{code, *yylval.stringValue};
        delete yylval.stringValue;
        return token;
    }
    default: return {code, ""};
    }
}

// The tokens up to the first END, and the lexical error message, if any.
std::pair<std::vector<Token>, std::string> scanAll(std::istream& in) {
    std::vector<Token> tokens;
    std::ostringstream out;
    errorMessage.clear();
    yyFlexLexer lexer(&in, &out);
    for (int code = lexer.yylex(); code != END; code = lexer.yylex()) tokens.push_back(fromLexer(code));
    return {tokens, errorMessage};
}

std::string lexicalError(const std::string& found) {
    return found.empty() ? "" : "Error parsing Property: lexical error. found: '" + found + "'";
}

const std::string zero(1, '\0');

const struct {
    std::string input;
    std::vector<Token> tokens;
    std::string errorAt;  // the character reported, empty for no error
} cases[] = {
    // Exactly 00 and 01 are booleans; longer or signed digit runs are numbers.
    {"00 01 001 -01 true falsey", {Bool(false), Bool(true), Int(1), Int(-1), Bool(true), Ident("falsey")}, ""},
    {"<value>\n  <boolean>0", {Bool(false)}, ""},
    {"<value><boolean>true</boolean></value>", {}, "<"},
    // Where a number ends, the next token starts.
    {"12L 12l 1e 1.5L", {Long(12), Int(12), Ident("l"), Int(1), Ident("e"), Double(1.5), Ident("L")}, ""},
    {"1. .5 5.e3 1E+2 2e-1", {Double(1.0), Double(0.5), Double(5000.0), Double(100.0), Double(0.2)}, ""},
    {"1.2.3 1-2", {Double(1.2), Double(0.3), Int(1), Int(-2)}, ""},
    {"--1", {}, "-"},
    {"-inf NaNQ INF nanx", {Double(0.0), Double(0.0), Ident("INF"), Ident("nanx")}, ""},
    // Integers beyond their range: what atoi/atoll give on this platform,
    // the 64-bit limit when the text exceeds it, then the low 32 bits for INT.
    {"2147483648 4294967297 99999999999999999999 -99999999999999999999",
     {Int(INT_MIN), Int(1), Int(-1), Int(0)}, ""},
    {"9223372036854775808L -9223372036854775809L", {Long(LLONG_MAX), Long(LLONG_MIN)}, ""},
    // Identifiers and separators.
    {"a.b-c/d$e_f9 9abc L'x'", {Ident("a.b-c/d$e_f9"), Int(9), Ident("abc"), Ident("L"), Str("x")}, ""},
    {"a,b:c=d", {Ident("a"), Ident("b"), Ident("c"), Ident("d")}, ""},
    {"a\xc3", {Ident("a")}, "\xc3"},
    // Quoted strings.
    {R"('a\'b\\c\nd\qe\t' "it's\"")", {Str("a'b\\c\nd" "qe\t"), Str("it's\"")}, ""},
    {"'open", {}, ""},
    {"'a\\\nb'", {}, "\\"},
    // XML elements.
    {"<value>  <int>7</int></value> <value><int>\n5", {Int(7), Int(5)}, ""},
    {"<value><int> 7", {}, " "},
    {"<value><long>40000000000</long></value>", {Long(40000000000LL)}, ""},
    {"<value><double>2</double></value>", {Int(2)}, ""},
    {"<i4>", {}, "<"},
    {"<name>&amp;&nbsp;&lt;&gt;&apos;&quot;</name><value></value>", {Str("& <>'\""), Str("")}, ""},
    {"<name>a&b</name>", {}, "&"},
    {"<value>  <foo>", {}, "<"},
    // Byte 0: a character of a string, a lexical error anywhere else.
    {"'a" + zero + "b' <value>c" + zero + "</value>", {Str("a" + zero + "b"), Str("c" + zero)}, ""},
    {"{" + zero, {MapBegin}, "\\0"},
};

TEST(PropertyLexer, TokensAndValues) {
    for (const auto& c : cases) {
        SCOPED_TRACE("input: " + c.input);
        std::istringstream in(c.input);
        const auto scan = scanAll(in);
        EXPECT_EQ(scan.first, c.tokens);
        EXPECT_EQ(scan.second, lexicalError(c.errorAt));
    }
}

// Numbers, words, strings and the blanks after "<value>" are matched in one
// piece up to a bounded length and collected piecewise beyond it. Across
// each bound the tokens must be those of the short forms: leading zeros keep
// a number's value, so a long text has the value of its short form.
const struct {
    std::string before, repeated, after;  // the input: before, repeated n times, after
    std::vector<Token> tokens;            // a '#' in a value stands for the repeated part
    std::string errorAt;
} longCases[] = {
    {"", "0", "5 x", {Int(5), Ident("x")}, ""},
    {"-", "0", "12L", {Long(-12)}, ""},
    {"99999999999999999999", "9", "", {Int(-1)}, ""},
    {"", "0", "1e+", {Int(1), Ident("e")}, "+"},
    {"", "0", "1.5e-1]", {Double(0.15), ArrayEnd}, ""},
    {"1.2", "0", ".3", {Double(1.2), Double(0.3)}, ""},
    {"1.5E-", "0", "1x", {Double(0.15), Ident("x")}, ""},
    {"a", "b.", " c", {Ident("a#"), Ident("c")}, ""},
    {"'", "t", "' 1", {Str("#"), Int(1)}, ""},
    {"<value><int>", "0", "7</int></value>", {Int(7)}, ""},
    {"<value><long>", "0", "40000000000</long>", {Long(40000000000LL)}, ""},
    {"<value>", " ", "<int>7</int></value>", {Int(7)}, ""},
    {"<value>", "\r", "<struct></struct>", {MapBegin, MapEnd}, ""},
    {"<value>", " \n", "a&lt;b</value>", {Str("#a<b")}, ""},
    {"<value>", " ", "<foo>", {}, "<"},
};

TEST(PropertyLexer, LongTokensGiveTheTokensOfTheirShortForms) {
    // Digit runs turn long at 33 digits, words and blank runs at 65 characters.
    for (const std::size_t count : {31, 32, 63, 64, 65, 100000}) {
        for (const auto& c : longCases) {
            SCOPED_TRACE(c.before + " + " + std::to_string(count) + " times '" + c.repeated + "' + " + c.after);
            std::string repeated;
            for (std::size_t i = 0; i < count; ++i) repeated += c.repeated;
            std::vector<Token> expected = c.tokens;
            for (Token& token : expected) {
                const std::size_t mark = token.value.find('#');
                if (mark != std::string::npos) token.value.replace(mark, 1, repeated);
            }
            std::istringstream in(c.before + repeated + c.after);
            const auto scan = scanAll(in);
            EXPECT_EQ(scan.first, expected);
            EXPECT_EQ(scan.second, lexicalError(c.errorAt));
        }
    }
}

TEST(PropertyLexer, EndOfInputIsReportedAgainOnEveryCallAlsoAfterLongTokens) {
    const std::string zeros(1000, '0'), word(1000, 'x');
    const std::pair<std::string, Token> cases[] = {
        {"1", Int(1)},
        {zeros + "7", Int(7)},
        {word, Ident(word)},
        {"1." + zeros, Double(1.0)},
        {"<value><long>" + zeros + "9", Long(9)},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.first);
        yyFlexLexer lexer(&in, nullptr);
        EXPECT_EQ(fromLexer(lexer.yylex()), c.second);
        for (int call = 0; call < 3; ++call) EXPECT_EQ(lexer.yylex(), END);
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
