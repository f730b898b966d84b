#include <sstream>
#include <string>

#include <properties/Properties.h>
#include <properties/PropertyObject.h>

#include "PropertyFloatFormat.h"

namespace {

// The reader resolves exactly these four escapes; every other byte (carriage
// return, byte 0 and bytes above 127 included) goes through unchanged.
void writeQuotedString(const std::string& text, std::ostream& out) {
    out.put('\'');
    for (char c : text) {
        switch (c) {
            case '\'': out << "\\'"; break;
            case '\\': out << "\\\\"; break;
            case '\t': out << "\\t"; break;
            case '\n': out << "\\n"; break;
            default: out.put(c); break;
        }
    }
    out.put('\'');
}

// Byte 0 would cut the text short for C-string readers, and '-' or '.' on
// their own would be taken as the start of a number; 'Z' stands in for them.
char unsignedCharText(unsigned char c) {
    if (c == 0 || c == '-' || c == '.') return 'Z';
    return static_cast<char>(c);
}

}  // namespace

void PropertyObject::display(std::ostream& out) const {
    switch (type) {
        case UnsignedChar: out.put(unsignedCharText(asUnsignedChar())); return;
        case Bool: out << (asBool() ? "true" : "false"); return;
        case Int: writeInteger(out, asInt()); return;
        case Long:
            // The suffix is what brings the value back as a Long, not an Int.
            writeInteger(out, asLong());
            out.put('L');
            return;
        case Double:
            // 20 significant digits: more than a double needs to read back exactly.
            writeFloating(out, asDouble(), 20);
            return;
        case String: writeQuotedString(asString(), out); return;
        case WString: out << "''"; return;
        case Array: {
            out.put('[');
            const char* separator = "";
            for (const PropertyObject* element : asArray()) {
                out << separator;
                element->display(out);
                separator = ", ";
            }
            out.put(']');
            return;
        }
        case Map: {
            out.put('{');
            const char* separator = "";
            for (const auto& member : asMap()) {
                // Keys are written as they are, without escapes.
                out << separator << '\'' << member.first << "': ";
                member.second->display(out);
                separator = ", ";
            }
            out.put('}');
            return;
        }
    }
    // A tag outside the enumeration contributes nothing.
}

void Properties::toStream(std::ostream& out) const {
    root->display(out);
}

std::string Properties::toString() const {
    std::ostringstream text;
    toStream(text);
    return text.str();
}

std::ostream& operator<<(std::ostream& out, const Properties& properties) {
    properties.toStream(out);
    return out;
}
