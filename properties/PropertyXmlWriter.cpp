#include <sstream>
#include <string>

#include <properties/Properties.h>
#include <properties/PropertyObject.h>

#include "PropertyFloatFormat.h"

// Only '&' and '<' are escaped, the two characters that open markup; the
// reader takes every other byte back as written.
void displayXMLstring(const std::string& text, std::ostream& out) {
    for (char c : text) {
        switch (c) {
            case '&': out << "&amp;"; break;
            case '<': out << "&lt;"; break;
            default: out.put(c); break;
        }
    }
}

void PropertyObject::displayXML(std::ostream& out) const {
    switch (type) {
        case UnsignedChar:
            // The raw byte, unescaped: this element has no reader anyway.
            out << "<unsignedchar>";
            out.put(static_cast<char>(asUnsignedChar()));
            out << "</unsignedchar>";
            return;
        case Bool: out << "<boolean>" << (asBool() ? '1' : '0') << "</boolean>"; return;
        case Int:
            out << "<int>";
            writeInteger(out, asInt());
            out << "</int>";
            return;
        case Long:
            out << "<long>";
            writeInteger(out, asLong());
            out << "</long>";
            return;
        case Double:
            out << "<double>";
            writeFloating(out, asDouble(), 10);
            out << "</double>";
            return;
        case String:
            out << "<string>";
            displayXMLstring(asString(), out);
            out << "</string>";
            return;
        case WString: out << "<string></string>"; return;
        case Array:
            out << "<array><data>";
            for (const PropertyObject* element : asArray()) {
                out << "<value>";
                element->displayXML(out);
                out << "</value>";
            }
            out << "</data></array>";
            return;
        case Map:
            out << "<struct>";
            for (const auto& member : asMap()) {
                out << "<member><name>";
                displayXMLstring(member.first, out);
                out << "</name><value>";
                member.second->displayXML(out);
                out << "</value></member>";
            }
            out << "</struct>";
            return;
    }
    // A tag outside the enumeration contributes nothing.
}

void Properties::displayXML(std::ostream& out) const {
    root->displayXML(out);
}

std::string Properties::toXml() const {
    std::ostringstream xml;
    displayXML(xml);
    return xml.str();
}
