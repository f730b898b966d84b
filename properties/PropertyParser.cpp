#include <properties/PropertyParser.h>

#include <exception>
#include <ios>
#include <sstream>
#include <streambuf>
#include <string>
#include <system_error>

#include <properties/Properties.h>

#include "PropertyLexer.h"
#include "PropertyParser.tab.h"

int yyparse();

namespace {

// Swallows everything written to it.
class DiscardBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
};

// The lexer echoes line feeds found inside an XML int element to its output
// stream. The translator writes its ZRP text to standard output, so the
// echo must go nowhere.
std::ostream& discardStream() {
    static DiscardBuffer buffer;
    static std::ostream stream(&buffer);
    return stream;
}

}  // namespace

PropertyParser::PropertyParser(std::istream& stream) : in(stream), exceptionMask(stream.exceptions()) {
    lexer = new PropertyLexer(in, discardStream());
    in.exceptions(std::ios_base::goodbit);
}

PropertyParser::~PropertyParser() {
    delete lexer;
    lexer = nullptr;
    try {
        in.exceptions(exceptionMask);
    } catch (const std::ios_base::failure&) {
        // The mask is back; the state the reads left stays, and callers
        // decide what it means.
    }
}

PropertyObject* PropertyParser::scan() {
    _PropertyParserResult = nullptr;
    errorMessage.clear();
    valueFault.clear();
    // The exit code of yyparse adds nothing: an error always leaves a message.
    yyparse();
    if (!valueFault.empty()) errorMessage = valueFault;
    if (!errorMessage.empty()) {
        throw std::ios_base::failure("PropertyParser scan failed: " + errorMessage);
    }
    return _PropertyParserResult;
}

Properties::Properties(const std::string& text) : root(nullptr) {
    if (!text.empty()) {
        std::istringstream in(text);
        PropertyParser parser(in);
        root = parser.scan();
    }
    // Empty text, or text that holds nothing but blank space: an empty
    // collection, never a handle without a root.
    if (root == nullptr) {
        root = new PropertyObject(new PropertyObject::ValueMap());
    }
}

std::string scanFailureMessage(const std::ios_base::failure& error) {
    std::string message = error.what();
    const std::string suffix = ": " + std::make_error_code(std::io_errc::stream).message();
    if (message.size() > suffix.size() && message.compare(message.size() - suffix.size(), suffix.size(), suffix) == 0)
        message.erase(message.size() - suffix.size());
    return message;
}

BlockRead readBlock(std::istream& in, Properties& block, std::string& error) {
    block.clear();
    PropertyObject* root = nullptr;
    try {
        PropertyParser parser(in);
        root = parser.scan();
    } catch (const std::ios_base::failure& failure) {
        error = scanFailureMessage(failure);
        try {
            in.setstate(std::ios_base::failbit);
        } catch (const std::ios_base::failure&) {
            // The state is set; the stream's own exception adds nothing.
        }
        return BlockRead::Unreadable;
    }
    if (root == nullptr) return BlockRead::End;
    block = *root;
    root->removeReference();
    return BlockRead::Block;
}

std::istream& operator>>(std::istream& in, Properties& properties) {
    Properties block;
    std::string error;
    BlockRead read = BlockRead::End;
    try {
        read = readBlock(in, block, error);
    } catch (...) {
        // Whatever else stops the parse (running out of memory) fails the
        // extraction too; a stream that throws on failbit hands the caller
        // that exception, not its own.
        std::exception_ptr caught = std::current_exception();
        try {
            in.setstate(std::ios_base::failbit);
        } catch (const std::ios_base::failure&) {
            std::rethrow_exception(caught);
        }
        return in;
    }
    switch (read) {
        case BlockRead::Block: properties = block; break;
        // A stream that throws on failbit throws its own failure here, as
        // at the end of any extraction.
        case BlockRead::End: in.setstate(std::ios_base::failbit); break;
        case BlockRead::Unreadable:
            // readBlock has set failbit without letting the stream throw; a
            // stream that throws on it gets the parser's failure instead.
            if ((in.rdstate() & in.exceptions()) != 0) throw std::ios_base::failure(error);
            break;
    }
    return in;
}
