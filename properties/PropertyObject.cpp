#include <properties/PropertyObject.h>

#include <cassert>
#include <utility>

static_assert(sizeof(int) == 4, "Int values are 32-bit");
static_assert(sizeof(long long) == 8, "Long values are 64-bit");

PropertyObject::PropertyObject(unsigned char v) : type(UnsignedChar), value(new unsigned char(v)), referenceCount(1) {}
PropertyObject::PropertyObject(bool v) : type(Bool), value(new bool(v)), referenceCount(1) {}
PropertyObject::PropertyObject(int v) : type(Int), value(new int(v)), referenceCount(1) {}
PropertyObject::PropertyObject(unsigned int v) : type(Int), value(new int(static_cast<int>(v))), referenceCount(1) {}
PropertyObject::PropertyObject(long long v) : type(Long), value(new long long(v)), referenceCount(1) {}
PropertyObject::PropertyObject(unsigned long long v)
    : type(Long), value(new long long(static_cast<long long>(v))), referenceCount(1) {}
PropertyObject::PropertyObject(double v) : type(Double), value(new double(v)), referenceCount(1) {}
PropertyObject::PropertyObject(const std::string& v) : type(String), value(new std::string(v)), referenceCount(1) {}
PropertyObject::PropertyObject(std::string&& v)
    : type(String), value(new std::string(std::move(v))), referenceCount(1) {}
PropertyObject::PropertyObject(const char* v)
    : type(String), value(new std::string(v != nullptr ? v : "")), referenceCount(1) {}
PropertyObject::PropertyObject(ValueArray* v) : type(Array), value(v), referenceCount(1) {}
PropertyObject::PropertyObject(ValueMap* v) : type(Map), value(v), referenceCount(1) {}

PropertyObject::~PropertyObject() {
    switch (type) {
        case UnsignedChar: delete static_cast<unsigned char*>(value); break;
        case Bool: delete static_cast<bool*>(value); break;
        case Int: delete static_cast<int*>(value); break;
        case Long: delete static_cast<long long*>(value); break;
        case Double: delete static_cast<double*>(value); break;
        case String: delete static_cast<std::string*>(value); break;
        case WString: break;
        case Array: {
            // Release rather than delete: an element may be shared elsewhere.
            ValueArray* elements = static_cast<ValueArray*>(value);
            for (PropertyObject* element : *elements) element->removeReference();
            delete elements;
            break;
        }
        case Map: {
            ValueMap* members = static_cast<ValueMap*>(value);
            for (auto& member : *members) member.second->removeReference();
            delete members;
            break;
        }
    }
}

void PropertyObject::addReference() {
    ++referenceCount;
}

void PropertyObject::removeReference() {
    assert(referenceCount > 0 && "released more references than held");
    if (--referenceCount == 0) delete this;
}

const PropertyObject::Type& PropertyObject::getType() const {
    return type;
}

const std::string& PropertyObject::getTypeName() const {
    static const std::string sUnsignedChar("UnsignedChar");
    static const std::string sBool("Bool");
    static const std::string sInt("Int");
    static const std::string sLong("Long");
    static const std::string sDouble("Double");
    static const std::string sString("String");
    static const std::string sWString("WString");
    static const std::string sArray("Array");
    static const std::string sMap("Map");
    static const std::string sUnknown("Unknown");
    switch (type) {
        case UnsignedChar: return sUnsignedChar;
        case Bool: return sBool;
        case Int: return sInt;
        case Long: return sLong;
        case Double: return sDouble;
        case String: return sString;
        case WString: return sWString;
        case Array: return sArray;
        case Map: return sMap;
    }
    return sUnknown;
}

// Direct accessors trust the caller to have tested the tag; the assertion
// catches a caller that did not, in debug builds.
unsigned char& PropertyObject::asUnsignedChar() const {
    assert(type == UnsignedChar);
    return *static_cast<unsigned char*>(value);
}
bool& PropertyObject::asBool() const {
    assert(type == Bool);
    return *static_cast<bool*>(value);
}
int& PropertyObject::asInt() const {
    assert(type == Int);
    return *static_cast<int*>(value);
}
long long& PropertyObject::asLong() const {
    assert(type == Long);
    return *static_cast<long long*>(value);
}
double& PropertyObject::asDouble() const {
    assert(type == Double);
    return *static_cast<double*>(value);
}
std::string& PropertyObject::asString() const {
    assert(type == String);
    return *static_cast<std::string*>(value);
}
PropertyObject::ValueArray& PropertyObject::asArray() const {
    assert(type == Array);
    return *static_cast<ValueArray*>(value);
}
PropertyObject::ValueMap& PropertyObject::asMap() const {
    assert(type == Map);
    return *static_cast<ValueMap*>(value);
}

// Each converting read follows one column of the conversion table: a stored
// type that has no cell for the target leaves the target exactly as it was.

void PropertyObject::getValue(unsigned char& out) const {
    if (type == UnsignedChar) out = asUnsignedChar();
}

void PropertyObject::getValue(bool& out) const {
    switch (type) {
        case Bool: out = asBool(); break;
        case Int: out = asInt() != 0; break;
        case Long: out = asLong() != 0; break;
        default: break;
    }
}

void PropertyObject::getValue(int& out) const {
    switch (type) {
        case Bool: out = asBool() ? 1 : 0; break;
        case Int: out = asInt(); break;
        default: break;  // no narrowing from Long
    }
}

void PropertyObject::getValue(unsigned int& out) const {
    switch (type) {
        case Bool: out = asBool() ? 1u : 0u; break;
        case Int: out = static_cast<unsigned int>(asInt()); break;
        default: break;
    }
}

void PropertyObject::getValue(long long& out) const {
    switch (type) {
        case Bool: out = asBool() ? 1 : 0; break;
        case Int: out = asInt(); break;
        case Long: out = asLong(); break;
        default: break;
    }
}

void PropertyObject::getValue(unsigned long long& out) const {
    switch (type) {
        case Bool: out = asBool() ? 1u : 0u; break;
        case Int: out = static_cast<unsigned long long>(static_cast<long long>(asInt())); break;
        case Long: out = static_cast<unsigned long long>(asLong()); break;
        default: break;
    }
}

void PropertyObject::getValue(float& out) const {
    switch (type) {
        case Int: out = static_cast<float>(asInt()); break;
        case Long: out = static_cast<float>(asLong()); break;
        case Double: out = static_cast<float>(asDouble()); break;
        default: break;
    }
}

void PropertyObject::getValue(double& out) const {
    switch (type) {
        case Int: out = asInt(); break;
        case Long: out = static_cast<double>(asLong()); break;
        case Double: out = asDouble(); break;
        default: break;
    }
}

void PropertyObject::getValue(std::string& out) const {
    if (type == String) out = asString();
}

void PropertyObject::getValue(ValueArray*& out) const {
    if (type == Array) out = &asArray();
}

void PropertyObject::getValue(ValueMap*& out) const {
    if (type == Map) out = &asMap();
}
