#ifndef PROPERTIES_PROPERTYOBJECT_H
#define PROPERTIES_PROPERTYOBJECT_H

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

// One typed value of the property layer. Nodes are shared by pointer and kept
// alive by an intrusive, non-atomic reference count: whoever creates a node
// holds its first reference, containers hold one reference per element, and
// the last removeReference() destroys the node and releases its children.
class PropertyObject {
public:
    // The numeric values are fixed: they are what getType() returns.
    enum Type : std::int32_t {
        UnsignedChar = 0,  // one unsigned 8-bit character
        Bool = 1,          // one boolean
        Int = 2,           // one signed 32-bit integer
        Long = 3,          // one signed 64-bit integer
        Double = 4,        // one 64-bit IEEE double
        String = 5,        // one byte string
        WString = 6,       // a tag only: nothing makes it, nothing is stored
        Array = 7,         // a ValueArray of element pointers
        Map = 8            // a ValueMap from name to value pointer
    };

    typedef std::vector<PropertyObject*> ValueArray;
    typedef std::map<std::string, PropertyObject*> ValueMap;

    explicit PropertyObject(unsigned char value);
    explicit PropertyObject(bool value);
    explicit PropertyObject(int value);
    explicit PropertyObject(unsigned int value);  // stored as Int, same bits
    explicit PropertyObject(long long value);
    explicit PropertyObject(unsigned long long value);  // stored as Long, same bits
    explicit PropertyObject(double value);
    explicit PropertyObject(const std::string& value);
    // Takes the string's characters over instead of copying them.
    explicit PropertyObject(std::string&& value);
    // A String, so that a literal is not taken as the bool a pointer
    // converts to; null gives the empty string.
    explicit PropertyObject(const char* value);
    explicit PropertyObject(ValueArray* value);  // adopts the vector
    explicit PropertyObject(ValueMap* value);    // adopts the map

    PropertyObject(const PropertyObject&) = delete;
    PropertyObject& operator=(const PropertyObject&) = delete;

    void addReference();
    // Drops one reference; the transition to 0 deletes this node.
    void removeReference();

    const Type& getType() const;
    const std::string& getTypeName() const;

    // Direct accessors: callers test getType() first.
    unsigned char& asUnsignedChar() const;
    bool& asBool() const;
    int& asInt() const;
    long long& asLong() const;
    double& asDouble() const;
    std::string& asString() const;
    ValueArray& asArray() const;
    ValueMap& asMap() const;

    // Converting reads: store into out, or leave out exactly as it was when
    // the stored type does not convert to out's type.
    void getValue(unsigned char& out) const;
    void getValue(bool& out) const;
    void getValue(int& out) const;
    void getValue(unsigned int& out) const;
    void getValue(long long& out) const;
    void getValue(unsigned long long& out) const;
    void getValue(float& out) const;
    void getValue(double& out) const;
    void getValue(std::string& out) const;
    // The container reads hand out the node's own container, not a copy.
    void getValue(ValueArray*& out) const;
    void getValue(ValueMap*& out) const;

    // Property text of this value (quoted strings, braces, brackets).
    void display(std::ostream& out) const;
    // XML-RPC style rendering of this value.
    void displayXML(std::ostream& out) const;

private:
    ~PropertyObject();  // only removeReference() destroys a node

    Type type;
    void* value;
    std::int32_t referenceCount;
};

// Writes text with '&' and '<' escaped as XML entities.
void displayXMLstring(const std::string& text, std::ostream& out);

#endif
