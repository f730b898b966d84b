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

    bool operator==(const Token& other) const {
        return code == other.code && value == other.value;
    }
};

std::ostream& operator<<(std::ostream& out, const Token& token) {
    return out << token.code << "(" << token.value << ")";
}

std::string show(double value) {
    std::ostringstream text;
    text.precision(17);
    text << value;
    return text.str();
}

Token Bool(bool value) { return {BOOL, value ? "true" : "false"}; }
Token Int(long long value) { return {INT, std::to_string(value)}; }
Token Long(long long value) { return {LONG, std::to_string(value)}; }
Token Double(double value) { return {DOUBLE, show(value)}; }
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

struct Scan {
    std::vector<Token> tokens;  // up to, not including, the first END
    std::string error;          // the message stored by a lexical error
    std::string echoed;         // what the lexer wrote to its output stream
};

Scan scanAll(std::istream& in) {
    Scan scan;
    std::ostringstream out;
    errorMessage.clear();
    yyFlexLexer lexer(&in, &out);
    for (int code = lexer.yylex(); code != END; code = lexer.yylex()) {
        scan.tokens.push_back(fromLexer(code));
    }
    scan.error = errorMessage;
    scan.echoed = out.str();
    return scan;
}

Scan scanAll(const std::string& text) {
    std::istringstream in(text);
    return scanAll(in);
}

std::string lexicalError(const std::string& found) {
    return "Error parsing Property: lexical error. found: '" + found + "'";
}

struct Case {
    std::string input;
    std::vector<Token> tokens;
    std::string errorAt;  // the character reported, empty for no error
};

const std::string zero(1, '\0');

const Case cases[] = {
    // Exactly 00 and 01 are booleans; longer or signed digit runs are numbers.
    {"00 01", {Bool(false), Bool(true)}, ""},
    {"000 001 -00 +01 -01", {Int(0), Int(1), Int(0), Int(1), Int(-1)}, ""},
    {"true false", {Bool(true), Bool(false)}, ""},
    {"True falsey", {Ident("True"), Ident("falsey")}, ""},
    {"<value><boolean>1</boolean></value>", {Bool(true)}, ""},
    {"<value>\n  <boolean>0", {Bool(false)}, ""},
    {"<value><boolean>true</boolean></value>", {}, "<"},

    // Integers, longs and doubles; where a number ends, the next token starts.
    {"12L -7L", {Long(12), Long(-7)}, ""},
    {"12l", {Int(12), Ident("l")}, ""},
    {"1. .5 5.e3 -.5 1E+2 2e-1", {Double(1.0), Double(0.5), Double(5000.0), Double(-0.5), Double(100.0), Double(0.2)}, ""},
    {"1e", {Int(1), Ident("e")}, ""},
    {"1.5L", {Double(1.5), Ident("L")}, ""},
    {"1.2.3", {Double(1.2), Double(0.3)}, ""},
    {"1-2", {Int(1), Int(-2)}, ""},
    {"--1", {}, "-"},
    {"- 1", {}, "-"},
    {"{.}", {MapBegin}, "."},
    {"-inf Infinity NaNQ +nan", {Double(0.0), Double(0.0), Double(0.0), Double(0.0)}, ""},
    {"INF information nanx", {Ident("INF"), Ident("information"), Ident("nanx")}, ""},

    // Integers beyond their range: what atoi/atoll give on this platform,
    // the 64-bit limit when the text exceeds it, then the low 32 bits for INT.
    {"2147483648 4294967297 99999999999999999999 -99999999999999999999",
     {Int(INT_MIN), Int(1), Int(-1), Int(0)}, ""},
    {"9223372036854775808L -9223372036854775809L", {Long(LLONG_MAX), Long(LLONG_MIN)}, ""},

    // Identifiers and separators.
    {"a.b-c/d$e_f9", {Ident("a.b-c/d$e_f9")}, ""},
    {"9abc", {Int(9), Ident("abc")}, ""},
    {"L'abc'", {Ident("L"), Str("abc")}, ""},
    {"a,b:c=d", {Ident("a"), Ident("b"), Ident("c"), Ident("d")}, ""},
    {"{ [ ] }\t\r\n", {MapBegin, ArrayBegin, ArrayEnd, MapEnd}, ""},
    {";", {}, ";"},
    {"a\xc3", {Ident("a")}, "\xc3"},

    // Quoted strings.
    {R"('a\'b\\c\nd\qe\t')", {Str("a'b\\c\nd" "qe\t")}, ""},
    {"\"it's\" 'say \"hi\"'", {Str("it's"), Str("say \"hi\"")}, ""},
    {"'two\nlines' '\xc3\xa9'", {Str("two\nlines"), Str("\xc3\xa9")}, ""},
    {"'open", {}, ""},
    {"'a\\", {}, "\\"},
    {"'a\\\nb'", {}, "\\"},
    {"\"a\\\"b\"", {Str("a\"b")}, ""},

    // XML elements.
    {"<value>  <int>7</int></value>", {Int(7)}, ""},
    {"<value><int> 7", {}, " "},
    {"<value><i4>-3</i4></value>", {Int(-3)}, ""},
    {"<value><long>40000000000</long></value>", {Long(40000000000LL)}, ""},
    {"<value><double>2</double></value> <value><double>2.0</double></value>", {Int(2), Double(2.0)}, ""},
    {"<i4>", {}, "<"},
    {"<array>", {}, "<"},
    {"<value><array><data></data></array></value>", {ArrayBegin, ArrayEnd}, ""},
    {"<struct><member></member></struct> <value><struct>", {MapBegin, MapEnd, MapBegin}, ""},
    {"<value>abc</value><value></value>", {Str("abc"), Str("")}, ""},
    {"<name>a&amp;b&nbsp;c</name>", {Str("a&b c")}, ""},
    {"<value><string>&lt;&gt;&apos;&quot;</string></value>", {Str("<>'\"")}, ""},
    {"<name>a&b</name>", {}, "&"},
    {"<name>a<b</name>", {}, "<"},
    {"<value>  <foo>", {}, "<"},

    // Byte 0: a character of a string, a lexical error anywhere else.
    {"'a" + zero + "b' <value>c" + zero + "</value>", {Str("a" + zero + "b"), Str("c" + zero)}, ""},
    {"{" + zero, {MapBegin}, "\\0"},
};

TEST(PropertyLexer, TokensAndValues) {
    for (const Case& c : cases) {
        SCOPED_TRACE("input: " + c.input);
        Scan scan = scanAll(c.input);
        EXPECT_EQ(scan.tokens, c.tokens);
        EXPECT_EQ(scan.error, c.errorAt.empty() ? "" : lexicalError(c.errorAt));
    }
}

TEST(PropertyLexer, LineFeedInsideXmlIntIsEchoedAndSkipped) {
    Scan scan = scanAll("<value><int>\n\n5</int></value>");
    EXPECT_EQ(scan.tokens, std::vector<Token>{Int(5)});
    EXPECT_EQ(scan.echoed, "\n\n");
}

TEST(PropertyLexer, EndOfInputIsReportedAgainOnEveryCall) {
    std::istringstream in("1");
    yyFlexLexer lexer(&in, nullptr);
    EXPECT_EQ(lexer.yylex(), INT);
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(lexer.yylex(), END);
    }
}

TEST(PropertyLexer, ReadsNothingBehindTheClosingBrace) {
    std::istringstream in("{'a': 1}XYZ");
    std::ostringstream out;
    yyFlexLexer lexer(&in, &out);
    std::vector<Token> tokens;
    for (int i = 0; i < 4; ++i) {
        tokens.push_back(fromLexer(lexer.yylex()));
    }
    EXPECT_EQ(tokens, (std::vector<Token>{MapBegin, Str("a"), Int(1), MapEnd}));
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "XYZ");
}

TEST(PropertyLexer, TokensLongerThanTheInitialBuffer) {
    const std::string word(17000, 'w');
    const std::string text(100000, 't');
    Scan scan = scanAll(word + " '" + text + "' 1");
    EXPECT_EQ(scan.tokens, (std::vector<Token>{Ident(word), Str(text), Int(1)}));
}

// Numbers, words and the blanks after "<value>" are matched in one piece up
// to a bounded length and collected piecewise beyond it. At the lengths
// around each bound, and far beyond, the tokens must be those of the short
// forms: leading zeros keep a number's value, so a long text can be checked
// against the value of its short form.
struct LongCase {
    std::string before, repeated, after;  // the input: before, repeated n times, after
    std::vector<Token> tokens;            // a '#' in a value stands for the repeated part
    std::string errorAt;
};

std::string repeat(const std::string& text, std::size_t count) {
    std::string result;
    for (std::size_t i = 0; i < count; ++i) result += text;
    return result;
}

const LongCase longCases[] = {
    {"", "0", "5 x", {Int(5), Ident("x")}, ""},
    {"-", "0", "5", {Int(-5)}, ""},
    {"+", "0", "12L", {Long(12)}, ""},
    {"", "0", "12l", {Int(12), Ident("l")}, ""},
    {"", "0", "1.25", {Double(1.25)}, ""},
    {"-", "0", "1.", {Double(-1.0)}, ""},
    {"", "0", "1e", {Int(1), Ident("e")}, ""},
    {"", "0", "1e+", {Int(1), Ident("e")}, "+"},
    {"", "0", "1e+2,", {Double(100.0)}, ""},
    {"", "0", "1.5e-1]", {Double(0.15), ArrayEnd}, ""},
    {"99999999999999999999", "9", "", {Int(-1)}, ""},
    {"-99999999999999999999", "9", "L", {Long(LLONG_MIN)}, ""},
    {"1.5", "0", "L", {Double(1.5), Ident("L")}, ""},
    {"-.5", "0", "", {Double(-0.5)}, ""},
    {"1.2", "0", ".3", {Double(1.2), Double(0.3)}, ""},
    {"2.5", "0", "e1}", {Double(25.0), MapEnd}, ""},
    {"1e", "0", "2", {Double(100.0)}, ""},
    {"1.5E-", "0", "1x", {Double(0.15), Ident("x")}, ""},
    {".5e+", "0", "1-2", {Double(5.0), Int(-2)}, ""},
    {"w", "w", "", {Ident("w#")}, ""},
    {"a", "b.", " c", {Ident("a#"), Ident("c")}, ""},
    {"_", "9", "'s'", {Ident("_#"), Str("s")}, ""},
    {"Infinity", "x", ";", {Ident("Infinity#")}, ";"},
    {"<value><int>", "0", "7</int></value>", {Int(7)}, ""},
    {"<value><i4>-", "0", "3", {Int(-3)}, ""},
    {"<value><long>", "0", "40000000000</long>", {Long(40000000000LL)}, ""},
    {"<value>", " ", "<int>7</int></value>", {Int(7)}, ""},
    {"<value>", "\n", "<long>8</long>", {Long(8)}, ""},
    {"<value>", "\t", "<boolean>1", {Bool(true)}, ""},
    {"<value>", " ", "<double>2.0</double>", {Double(2.0)}, ""},
    {"<value>", " ", "<struct></struct>", {MapBegin, MapEnd}, ""},
    {"<value>", "\r", "<array><data></data></array>", {ArrayBegin, ArrayEnd}, ""},
    {"<value>", " ", "<string>s</string>", {Str("s")}, ""},
    {"<value>", " \n", "a&lt;b</value>", {Str("#a<b")}, ""},
    {"<value>", " ", "<foo>", {}, "<"},
    {"<value>", " ", "", {}, ""},
};

TEST(PropertyLexer, LongTokensGiveTheTokensOfTheirShortForms) {
    for (const std::size_t count : {2, 30, 31, 32, 33, 34, 62, 63, 64, 65, 66, 100000}) {
        for (const LongCase& c : longCases) {
            SCOPED_TRACE(c.before + " + " + std::to_string(count) + " times '" + c.repeated + "' + " + c.after);
            const std::string repeated = repeat(c.repeated, count);
            std::vector<Token> expected = c.tokens;
            for (Token& token : expected) {
                const std::size_t mark = token.value.find('#');
                if (mark != std::string::npos) token.value.replace(mark, 1, repeated);
            }
            Scan scan = scanAll(c.before + repeated + c.after);
            EXPECT_EQ(scan.tokens, expected);
            EXPECT_EQ(scan.error, c.errorAt.empty() ? "" : lexicalError(c.errorAt));
        }
    }
}

TEST(PropertyLexer, LongTokensAtTheEndOfInputAreFollowedByEnd) {
    const std::string word = repeat("x", 100000);
    const std::pair<std::string, Token> cases[] = {
        {repeat("0", 100000) + "7", Int(7)},
        {word, Ident(word)},
        {"1." + repeat("0", 100000), Double(1.0)},
        {"<value><long>" + repeat("0", 100000) + "9", Long(9)},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.first);
        yyFlexLexer lexer(&in, nullptr);
        EXPECT_EQ(fromLexer(lexer.yylex()), c.second);
        for (int call = 0; call < 3; ++call) EXPECT_EQ(lexer.yylex(), END);
    }
}

TEST(PropertyLexer, ReadsNothingBehindTheClosingBraceAfterLongTokens) {
    const std::string word = repeat("k", 1000);
    std::istringstream in("{'a': " + repeat("0", 1000) + "1, " + word + " <value>" + repeat(" ", 1000) +
                          "<int>2</int></value>}XYZ");
    std::ostringstream out;
    yyFlexLexer lexer(&in, &out);
    std::vector<Token> tokens;
    for (int i = 0; i < 6; ++i) tokens.push_back(fromLexer(lexer.yylex()));
    EXPECT_EQ(tokens, (std::vector<Token>{MapBegin, Str("a"), Int(1), Ident(word), Int(2), MapEnd}));
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "XYZ");
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
