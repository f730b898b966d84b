#include <properties/Properties.h>

#include <algorithm>

namespace {

// One node per value, in its stored form. A float is widened exactly, so it
// reads back as the same float.
template <typename T>
PropertyObject* newNode(const T& value) {
    return new PropertyObject(value);
}
PropertyObject* newNode(const float& value) {
    return new PropertyObject(static_cast<double>(value));
}

// Reads one node as a T; a node that does not convert gives T's zero (or the
// empty string) rather than whatever the output held before.
template <typename T>
T convertedOrZero(const PropertyObject& node) {
    T converted{};
    node.getValue(converted);
    return converted;
}

// The stored array under name, or null when the name is missing (after its
// warning) or holds something else.
PropertyObject::ValueArray* storedArray(const PropertyObject* object) {
    PropertyObject::ValueArray* elements = nullptr;
    if (object) object->getValue(elements);
    return elements;
}

}  // namespace

// ---- The member templates that carry the work ----

template <typename T>
void Properties::setValue(const std::string& name, const T& value, const Mode& mode) {
    setEntry(name, newNode(value), mode);
}

template <typename T>
void Properties::setStdVector(const std::string& name, const std::vector<T>& value, const Mode& mode) {
    PropertyObject::ValueArray* elements = new PropertyObject::ValueArray();
    elements->reserve(value.size());
    // Indexing rather than a range-for: std::vector<bool> yields proxies.
    for (std::size_t i = 0; i < value.size(); ++i) elements->push_back(newNode(static_cast<const T&>(value[i])));
    setEntry(name, new PropertyObject(elements), mode);
}

template <typename T>
void Properties::setStdVector(const std::string& name, const std::vector<std::vector<T>>& value, const Mode& mode) {
    PropertyObject::ValueArray* rows = new PropertyObject::ValueArray();
    rows->reserve(value.size());
    for (const std::vector<T>& row : value) {
        PropertyObject::ValueArray* elements = new PropertyObject::ValueArray();
        elements->reserve(row.size());
        for (const T& element : row) elements->push_back(newNode(element));
        rows->push_back(new PropertyObject(elements));
    }
    setEntry(name, new PropertyObject(rows), mode);
}

template <typename T>
void Properties::setArrayValues(const std::string& name, const T* values, std::uint32_t count, const Mode& mode) {
    set(name, count == 0 ? std::vector<T>() : std::vector<T>(values, values + count), mode);
}

template <typename K, typename V>
void Properties::setStdMap(const std::string& name, const std::map<K, V>& value, const Mode& mode) {
    Properties nested;
    for (const auto& entry : value) nested.insert(entry.first, entry.second);
    set(name, nested, mode);
}

template <typename T>
void Properties::getStdVector(const std::string& name, std::vector<T>& value) const {
    const PropertyObject::ValueArray* elements = storedArray(getObject(name));
    if (!elements) return;
    value.resize(elements->size());
    for (std::size_t i = 0; i < elements->size(); ++i) value[i] = convertedOrZero<T>(*(*elements)[i]);
}

template <typename T>
void Properties::getStdVector(const std::string& name, std::vector<std::vector<T>>& value) const {
    const PropertyObject::ValueArray* rows = storedArray(getObject(name));
    if (!rows) return;
    value.resize(rows->size());
    for (std::size_t i = 0; i < rows->size(); ++i) {
        // A row that is not an array reads as an empty row.
        const PropertyObject::ValueArray* elements = storedArray((*rows)[i]);
        std::vector<T> row(elements ? elements->size() : 0, T());
        for (std::size_t j = 0; j < row.size(); ++j) row[j] = convertedOrZero<T>(*(*elements)[j]);
        value[i].swap(row);
    }
}

template <typename T>
void Properties::getArrayValues(const std::string& name, T* values, std::uint32_t count) const {
    const PropertyObject::ValueArray* elements = storedArray(getObject(name));
    if (!elements) return;
    // Never past the caller's array, whatever the stored length.
    const std::size_t written = std::min<std::size_t>(count, elements->size());
    for (std::size_t i = 0; i < written; ++i) values[i] = convertedOrZero<T>(*(*elements)[i]);
}

template <typename K, typename V>
void Properties::getStdMap(const std::string& name, std::map<K, V>& value) const {
    const PropertyObject* object = getObject(name);
    PropertyObject::ValueMap* members = nullptr;
    if (object) object->getValue(members);
    if (!members) return;
    // Keys the caller already had and the stored map lacks are kept.
    for (const auto& member : *members) value[member.first] = convertedOrZero<V>(*member.second);
}

// ---- Typed sets ----

void Properties::set(const std::string& name, const bool& value, const Mode& mode) {
    setValue(name, value, mode);
}
void Properties::set(const std::string& name, const int& value, const Mode& mode) {
    setValue(name, value, mode);
}
void Properties::set(const std::string& name, const unsigned int& value, const Mode& mode) {
    setValue(name, value, mode);
}
void Properties::set(const std::string& name, const long long& value, const Mode& mode) {
    setValue(name, value, mode);
}
void Properties::set(const std::string& name, const unsigned long long& value, const Mode& mode) {
    setValue(name, value, mode);
}
void Properties::set(const std::string& name, const float& value, const Mode& mode) {
    setValue(name, value, mode);
}
void Properties::set(const std::string& name, const double& value, const Mode& mode) {
    setValue(name, value, mode);
}
void Properties::set(const std::string& name, const std::string& value, const Mode& mode) {
    setValue(name, value, mode);
}
void Properties::set(const std::string& name, const char* value, const Mode& mode) {
    // A null text is stored as the empty string rather than dereferenced.
    setValue(name, std::string(value ? value : ""), mode);
}

void Properties::set(const std::string& name, const std::vector<bool>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<unsigned char>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<int>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<unsigned int>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<long long>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<unsigned long long>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<float>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<double>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<std::string>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}
void Properties::set(const std::string& name, const std::vector<std::vector<double>>& value, const Mode& mode) {
    setStdVector(name, value, mode);
}

void Properties::set(const std::string& name, const int* values, std::uint32_t count, const Mode& mode) {
    setArrayValues(name, values, count, mode);
}
void Properties::set(const std::string& name, const unsigned int* values, std::uint32_t count, const Mode& mode) {
    setArrayValues(name, values, count, mode);
}
void Properties::set(const std::string& name, const float* values, std::uint32_t count, const Mode& mode) {
    setArrayValues(name, values, count, mode);
}
void Properties::set(const std::string& name, const double* values, std::uint32_t count, const Mode& mode) {
    setArrayValues(name, values, count, mode);
}

void Properties::set(const std::string& name, const std::map<std::string, int>& value, const Mode& mode) {
    setStdMap(name, value, mode);
}
void Properties::set(const std::string& name, const std::map<std::string, long long>& value, const Mode& mode) {
    setStdMap(name, value, mode);
}

// ---- Typed gets ----

namespace {
template <typename T>
void getScalar(const Properties& properties, const std::string& name, T& value) {
    if (const PropertyObject* object = properties.getObject(name)) object->getValue(value);
}
}  // namespace

void Properties::get(const std::string& name, bool& value) const {
    getScalar(*this, name, value);
}
void Properties::get(const std::string& name, int& value) const {
    getScalar(*this, name, value);
}
void Properties::get(const std::string& name, unsigned int& value) const {
    getScalar(*this, name, value);
}
void Properties::get(const std::string& name, long long& value) const {
    getScalar(*this, name, value);
}
void Properties::get(const std::string& name, unsigned long long& value) const {
    getScalar(*this, name, value);
}
void Properties::get(const std::string& name, float& value) const {
    getScalar(*this, name, value);
}
void Properties::get(const std::string& name, double& value) const {
    getScalar(*this, name, value);
}
void Properties::get(const std::string& name, std::string& value) const {
    getScalar(*this, name, value);
}

void Properties::get(const std::string& name, std::vector<bool>& value) const {
    getStdVector(name, value);
}
void Properties::get(const std::string& name, std::vector<int>& value) const {
    getStdVector(name, value);
}
void Properties::get(const std::string& name, std::vector<unsigned int>& value) const {
    getStdVector(name, value);
}
void Properties::get(const std::string& name, std::vector<long long>& value) const {
    getStdVector(name, value);
}
void Properties::get(const std::string& name, std::vector<unsigned long long>& value) const {
    getStdVector(name, value);
}
void Properties::get(const std::string& name, std::vector<float>& value) const {
    getStdVector(name, value);
}
void Properties::get(const std::string& name, std::vector<double>& value) const {
    getStdVector(name, value);
}
void Properties::get(const std::string& name, std::vector<std::string>& value) const {
    getStdVector(name, value);
}
void Properties::get(const std::string& name, std::vector<std::vector<double>>& value) const {
    getStdVector(name, value);
}

void Properties::get(const std::string& name, int* values, std::uint32_t count) const {
    getArrayValues(name, values, count);
}
void Properties::get(const std::string& name, unsigned int* values, std::uint32_t count) const {
    getArrayValues(name, values, count);
}
void Properties::get(const std::string& name, float* values, std::uint32_t count) const {
    getArrayValues(name, values, count);
}
void Properties::get(const std::string& name, double* values, std::uint32_t count) const {
    getArrayValues(name, values, count);
}

void Properties::get(const std::string& name, std::map<std::string, int>& value) const {
    getStdMap(name, value);
}
void Properties::get(const std::string& name, std::map<std::string, long long>& value) const {
    getStdMap(name, value);
}

// ---- By-value getters: their local stays zero when nothing can be read ----

bool Properties::getBool(const std::string& name) const {
    bool value = false;
    get(name, value);
    return value;
}

int Properties::getInt(const std::string& name) const {
    int value = 0;
    get(name, value);
    return value;
}

unsigned int Properties::getUnsignedInt(const std::string& name) const {
    unsigned int value = 0;
    get(name, value);
    return value;
}

long long Properties::getLong(const std::string& name) const {
    long long value = 0;
    get(name, value);
    return value;
}

double Properties::getReal(const std::string& name) const {
    double value = 0.0;
    get(name, value);
    return value;
}

std::string Properties::getString(const std::string& name) const {
    std::string value;
    get(name, value);
    return value;
}
