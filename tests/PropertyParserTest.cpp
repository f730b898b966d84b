#include <gtest/gtest.h>

#include <ios>
#include <iterator>
#include <sstream>
#include <string>

#include <properties/Properties.h>
#include <properties/PropertyParser.h>

#include "AllocationCounter.h"

// Trees are compared as property text: it tells every type apart (1, 1L,
// 1.0000000000000000000, '1', true).
namespace {

std::string parse(const std::string& text) {
    return Properties(text).toString();
}

// What a scan failure with this message reports through what().
std::string scanFailure(const std::string& message) {
    return std::ios_base::failure("PropertyParser scan failed: " + message).what();
}

std::string failureOf(const std::string& text) {
    try {
        parse(text);
    } catch (const std::ios_base::failure& failure) {
        return failure.what();
    }
    return "no failure";
}

TEST(PropertyParser, ReadsBlocksOfBothNotations) {
    const struct {
        std::string text, tree;
    } cases[] = {
        // Members are kept in byte order; a later member of the same key wins.
        {"{b = two, a 1 'c': [1L, 2.5], a: 00}", "{'a': false, 'b': 'two', 'c': [1L, 2.5000000000000000000]}"},
        // The notations mix freely.
        {"<struct><member><name>flag</name><value><boolean>0</boolean></value></member>"
         " 'list' <value><array><data><value><i4>1</i4></value> 2L <value>a&lt;b</value></data></array></value>"
         " sub <value><struct> r <value><double>0.5</double></value></struct></value>"
         " <name>word</name> \"two\" </struct>",
         "{'flag': false, 'list': [1, 2L, 'a<b'], 'sub': {'r': 0.50000000000000000000}, 'word': 'two'}"},
        {" \t\r\n ", "{}"},
        // Integers beyond 32 bits are Longs of the same value.
        {"{'a': 4000000000, 'e': -2147483649}", "{'a': 4000000000L, 'e': -2147483649L}"},
        // The translator writes its output to standard output; the line
        // feeds the lexer echoes from inside an XML int must not go there.
        {"{'a' <value><int>\n7</int></value>}", "{'a': 7}"},
    };
    testing::internal::CaptureStdout();
    for (const auto& c : cases) {
        EXPECT_EQ(parse(c.text), c.tree) << "text: " << c.text;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(PropertyParser, FailuresReportTheirCause) {
    const struct {
        std::string text, message;
    } cases[] = {
        {"[1, 2]", "syntax error"},
        {"#", "Error parsing Property: lexical error. found: '#'"},
        // Inside a block the parse error that follows the lexical one wins.
        {"{'a': #}", "syntax error"},
        // An integer that no token holds is named, wherever it stands.
        {"{'a': 1, 'b': 99999999999999999999}", "integer out of range: 99999999999999999999"},
        {"<struct><name>n</name><value><int>4000000000</int></value></struct>", "integer out of range: 4000000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureOf(c.text), scanFailure(c.message)) << "text: " << c.text;
    }
}

TEST(PropertyParser, NestingIsBoundedByTheParseStack) {
    auto inArrays = [](int depth) { return "{'a': " + std::string(depth, '[') + "1" + std::string(depth, ']') + "}"; };
    EXPECT_EQ(failureOf(inArrays(4997)), "no failure");
    EXPECT_EQ(failureOf(inArrays(4998)), scanFailure("parser stack overflow"));
    // A map costs one more stack entry a level than an array: its pending key.
    auto inMaps = [](int depth) {
        std::string text;
        for (int i = 0; i <= depth; ++i) text += "{'a': ";
        return text + "1" + std::string(depth + 1, '}');
    };
    EXPECT_EQ(failureOf(inMaps(3331)), "no failure");
    EXPECT_EQ(failureOf(inMaps(3332)), scanFailure("parser stack overflow"));
}

// Raw data may follow a block: the reader must stop at its closing brace,
// also after tokens long enough to be collected piece by piece.
TEST(PropertyExtraction, StopsRightBehindEachBlockAndReplacesTheCollection) {
    const std::string word(1000, 'k');
    std::istringstream in("{'a': " + std::string(1000, '0') + "1, 'w': " + word + " 'v' <value>" +
                          std::string(1000, ' ') + "<int>2</int></value>}XYZ {}");
    Properties properties("{'mark': 1}");
    ASSERT_TRUE(in >> properties);
    EXPECT_EQ(properties.toString(), "{'a': 1, 'v': 2, 'w': '" + word + "'}");
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "XYZ");
    ASSERT_TRUE(in >> properties);
    EXPECT_EQ(properties.toString(), "{}");
    EXPECT_EQ(in.peek(), EOF);
}

// A block may hold a string as long as the file. Its characters are never
// copied but once, from the lexer's pieces into the value, nor left in a
// buffer that grew by reallocating: a block costs twice its own bytes, and
// a piece of the lexer and its input buffer.
TEST(PropertyExtraction, ALongStringCostsTwiceItsLength) {
    const std::size_t length = 1000000;
    std::istringstream in("{'s': '" + std::string(length, 'x') + "'}");
    Properties block;
    resetPeakHeapBytes();
    const std::size_t before = liveHeapBytes();
    ASSERT_TRUE(in >> block);
    EXPECT_LT(peakHeapBytes() - before, 2 * length + (std::size_t(128) << 10));
    EXPECT_EQ(block.getObject("s")->asString().size(), length);
}

// What is left in the stream's buffer, whatever the stream's state.
std::string unread(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in.rdbuf()), std::istreambuf_iterator<char>());
}

const std::ios_base::iostate good = std::ios_base::goodbit, eof = std::ios_base::eofbit, fail = std::ios_base::failbit;

// The caller's stream itself is read: a read that reached the end leaves
// eofbit on it, and nothing behind a block's closing "}" is taken.
TEST(PropertyExtraction, LeavesTheStreamInTheStateOfItsReads) {
    const struct {
        std::string text;
        std::ios_base::iostate before;
        std::string tree;  // the collection afterwards: {'mark': 1} when nothing was read
        std::ios_base::iostate after;
        std::string rest;
    } cases[] = {
        {"{'a': 1}XYZ", good, "{'a': 1}", good, "XYZ"},
        {"{} {}", good, "{}", good, " {}"},
        {"", good, "{'mark': 1}", eof | fail, ""},
        {"   ", good, "{'mark': 1}", eof | fail, ""},
        {"{'a': {'b': [1, 2", good, "{'mark': 1}", eof | fail, ""},
        {"{'a': 12", good, "{'mark': 1}", eof | fail, ""},
        {"{'a': }X", good, "{'mark': 1}", fail, "X"},
        {"#X", good, "{'mark': 1}", fail, "X"},
        // A stream already at its end or failed is not read.
        {"{}", eof, "{'mark': 1}", eof | fail, "{}"},
        {"{}", fail, "{'mark': 1}", fail, "{}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text: " + c.text);
        std::istringstream in(c.text);
        in.setstate(c.before);
        Properties properties("{'mark': 1}");
        EXPECT_NO_THROW(in >> properties);
        EXPECT_EQ(properties.toString(), c.tree);
        EXPECT_EQ(in.rdstate(), c.after);
        EXPECT_EQ(unread(in), c.rest);
    }
}

// A stream that throws on failbit gets the parser's failure for a block
// that does not parse and its own at the end of the input; one that throws
// on eofbit likewise when a read reached the end. readBlock never throws,
// and both leave the mask as it was.
TEST(PropertyExtraction, ExceptionMaskDecidesWhatIsThrown) {
    enum Thrown { nothing, parserFailure, streamFailure };
    std::string streamMessage;
    try {
        std::istringstream reference;
        reference.exceptions(fail);
        reference.setstate(fail);
    } catch (const std::ios_base::failure& failure) {
        streamMessage = failure.what();
    }
    const struct {
        std::ios_base::iostate mask;
        std::string text;
        Thrown thrown;
    } cases[] = {
        {fail, "{'a': 1}", nothing},        {fail, "{'a': ,}", parserFailure},
        {fail, "{'a': 1", parserFailure},   {fail, "   ", streamFailure},
        {eof, "   ", streamFailure},        {eof, "{'a': 1", parserFailure},
        {eof, "{'a': ,}", nothing},         {std::ios_base::badbit, "   ", nothing},
        {eof | fail, "   ", streamFailure},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text: " + c.text + ", mask " + std::to_string(c.mask));
        std::istringstream in(c.text);
        in.exceptions(c.mask);
        Properties properties;
        std::string message = "nothing";
        try {
            in >> properties;
        } catch (const std::ios_base::failure& failure) {
            message = failure.what();
        }
        const std::string expected[] = {"nothing", scanFailure("syntax error"), streamMessage};
        EXPECT_EQ(message, expected[c.thrown]);
        EXPECT_EQ(in.exceptions(), c.mask);

        std::istringstream again(c.text);
        again.exceptions(c.mask);
        std::string error;
        EXPECT_NO_THROW(readBlock(again, properties, error));
        EXPECT_EQ(again.exceptions(), c.mask);
        EXPECT_EQ(again.rdstate(), in.rdstate());
    }
}

}  // namespace
