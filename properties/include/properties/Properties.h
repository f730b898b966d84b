#ifndef PROPERTIES_PROPERTIES_H
#define PROPERTIES_PROPERTIES_H

#include <cstdint>
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "PropertyObject.h"

// A named collection of property values: a handle on one shared Map node.
// Copies, nested collections and merges share nodes by reference count;
// nothing is ever deep-copied. Names are ordered byte-wise.
//
// Misuse of names never throws: a missing or duplicate name writes a one-line
// warning to stderr and the operation goes on.
class Properties {
public:
    // How a set treats an existing entry of the same name.
    enum Mode : std::int32_t {
        Insert = 0,          // the name should be new (warns if it exists)
        Replace = 1,         // the name should exist (warns if it does not)
        InsertOrReplace = 2  // either, silently
    };

    Properties();
    Properties(const Properties& other);
    // Wraps a Map value (a nested collection) as a handle that shares it.
    explicit Properties(PropertyObject& value);
    // Parses one property block from text; an empty or blank text gives an
    // empty collection. Throws std::ios_base::failure on a parse error.
    explicit Properties(const std::string& text);
    ~Properties();

    void operator=(const Properties& other);
    void operator=(PropertyObject& value);

    // Detaches this handle: a new empty root; other sharers keep the old one.
    void clear();

    PropertyObject::ValueMap* getMap();
    const PropertyObject::ValueMap* getMap() const;

    bool hasName(const std::string& name) const;
    void assertHasName(const std::string& name) const;
    void assertUniqueName(const std::string& name) const;
    void remove(const std::string& name);
    void checkMode(const std::string& name, const Mode& mode);
    // Borrowed pointer to the value under name; null (after the warning)
    // when the name is missing.
    PropertyObject* getObject(const std::string& name) const;

    // Overlays other's entries onto this one; Maps on both sides merge
    // recursively, in place; anything else is replaced by other's value.
    void merge(const Properties& other);

    // Typed sets.
    void set(const std::string& name, const bool& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const int& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const unsigned int& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const long long& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const unsigned long long& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const float& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const double& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::string& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const char* value, const Mode& mode = InsertOrReplace);

    void set(const std::string& name, const std::vector<bool>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<unsigned char>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<int>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<unsigned int>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<long long>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<unsigned long long>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<float>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<double>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<std::string>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<std::vector<double>>& value,
             const Mode& mode = InsertOrReplace);

    void set(const std::string& name, const int* values, std::uint32_t count, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const unsigned int* values, std::uint32_t count,
             const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const float* values, std::uint32_t count, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const double* values, std::uint32_t count, const Mode& mode = InsertOrReplace);

    void set(const std::string& name, const std::map<std::string, int>& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::map<std::string, long long>& value,
             const Mode& mode = InsertOrReplace);

    // Nested collections: the entry shares the argument's root.
    void set(const std::string& name, Properties& value, const Mode& mode = InsertOrReplace);
    void set(const std::string& name, const std::vector<Properties>& value, const Mode& mode = InsertOrReplace);

    // The set with mode Insert.
    template <typename T>
    void insert(const std::string& name, const T& value) {
        set(name, value, Insert);
    }

    // Typed gets: the output is left as it was when the name is missing or
    // its value does not convert.
    void get(const std::string& name, bool& value) const;
    void get(const std::string& name, int& value) const;
    void get(const std::string& name, unsigned int& value) const;
    void get(const std::string& name, long long& value) const;
    void get(const std::string& name, unsigned long long& value) const;
    void get(const std::string& name, float& value) const;
    void get(const std::string& name, double& value) const;
    void get(const std::string& name, std::string& value) const;

    void get(const std::string& name, std::vector<bool>& value) const;
    void get(const std::string& name, std::vector<int>& value) const;
    void get(const std::string& name, std::vector<unsigned int>& value) const;
    void get(const std::string& name, std::vector<long long>& value) const;
    void get(const std::string& name, std::vector<unsigned long long>& value) const;
    void get(const std::string& name, std::vector<float>& value) const;
    void get(const std::string& name, std::vector<double>& value) const;
    void get(const std::string& name, std::vector<std::string>& value) const;
    void get(const std::string& name, std::vector<std::vector<double>>& value) const;

    // Raw arrays: count is the capacity of the caller's array.
    void get(const std::string& name, int* values, std::uint32_t count) const;
    void get(const std::string& name, unsigned int* values, std::uint32_t count) const;
    void get(const std::string& name, float* values, std::uint32_t count) const;
    void get(const std::string& name, double* values, std::uint32_t count) const;

    void get(const std::string& name, std::map<std::string, int>& value) const;
    void get(const std::string& name, std::map<std::string, long long>& value) const;

    // Nested collections: the output handle shares the stored map.
    void get(const std::string& name, Properties& value) const;
    // Appends one sharing handle per element of the stored array.
    void get(const std::string& name, std::vector<Properties>& value) const;

    // By-value getters: 0, false or "" when the value cannot be read.
    bool getBool(const std::string& name) const;
    int getInt(const std::string& name) const;
    unsigned int getUnsignedInt(const std::string& name) const;
    long long getLong(const std::string& name) const;
    double getReal(const std::string& name) const;
    std::string getString(const std::string& name) const;
    Properties getProperties(const std::string& name) const;

    // Property text: a braced map, no line break.
    void toStream(std::ostream& out) const;
    std::string toString() const;
    // XML-RPC style struct, no line break.
    void displayXML(std::ostream& out) const;
    std::string toXml() const;

    friend std::istream& operator>>(std::istream& in, Properties& properties);

private:
    // Where every set ends: applies mode to name, then stores value under
    // name, adopting the caller's reference on it.
    void setEntry(const std::string& name, PropertyObject* value, const Mode& mode);
    template <typename T>
    void setValue(const std::string& name, const T& value, const Mode& mode);
    template <typename T>
    void setStdVector(const std::string& name, const std::vector<T>& value, const Mode& mode);
    template <typename T>
    void setStdVector(const std::string& name, const std::vector<std::vector<T>>& value, const Mode& mode);
    template <typename T>
    void setArrayValues(const std::string& name, const T* values, std::uint32_t count, const Mode& mode);
    template <typename K, typename V>
    void setStdMap(const std::string& name, const std::map<K, V>& value, const Mode& mode);

    template <typename T>
    void getStdVector(const std::string& name, std::vector<T>& value) const;
    template <typename T>
    void getStdVector(const std::string& name, std::vector<std::vector<T>>& value) const;
    template <typename T>
    void getArrayValues(const std::string& name, T* values, std::uint32_t count) const;
    template <typename K, typename V>
    void getStdMap(const std::string& name, std::map<K, V>& value) const;

    PropertyObject* root;
};

std::ostream& operator<<(std::ostream& out, const Properties& properties);
// Reads one property block; on a parse error or at end of input sets failbit
// (with eofbit when a read reached the end) and leaves the collection as it
// was. A stream whose exception mask asks for it gets the parser's
// std::ios_base::failure for a block that does not parse, and its own
// failure at the end of the input.
std::istream& operator>>(std::istream& in, Properties& properties);

#endif
