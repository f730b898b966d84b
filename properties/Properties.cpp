#include <properties/Properties.h>

#include <iostream>

#include "PropertiesEntry.h"

namespace {

PropertyObject* newEmptyRoot() {
    return new PropertyObject(new PropertyObject::ValueMap());
}

// A handle needs a Map root: every bookkeeping operation reads the root's map.
// Anything else is refused with this warning and the handle keeps a valid root.
bool isCollection(const PropertyObject& value) {
    if (value.getType() == PropertyObject::Map) return true;
    std::cerr << "Property value of type " << value.getTypeName() << " is not a Map and cannot be used as a collection"
              << std::endl;
    return false;
}

}  // namespace

void storeEntry(PropertyObject::ValueMap& map, const std::string& name, PropertyObject* value) {
    auto stored = map.emplace(name, value);
    if (stored.second) return;
    PropertyObject* old = stored.first->second;
    stored.first->second = value;
    old->removeReference();
}

Properties::Properties() : root(newEmptyRoot()) {}

Properties::Properties(const Properties& other) : root(other.root) {
    root->addReference();
}

Properties::Properties(PropertyObject& value) : root(nullptr) {
    if (isCollection(value)) {
        root = &value;
        root->addReference();
    } else {
        root = newEmptyRoot();
    }
}

Properties::~Properties() {
    root->removeReference();
}

void Properties::operator=(const Properties& other) {
    if (&other == this) return;
    *this = *other.root;
}

void Properties::operator=(PropertyObject& value) {
    if (root == &value || !isCollection(value)) return;
    // Take the new reference before releasing the old root: the value may be
    // held only by the old root (a nested collection read into its own handle).
    value.addReference();
    PropertyObject* old = root;
    root = &value;
    old->removeReference();
}

void Properties::clear() {
    PropertyObject* old = root;
    root = newEmptyRoot();
    old->removeReference();
}

PropertyObject::ValueMap* Properties::getMap() {
    return &root->asMap();
}

const PropertyObject::ValueMap* Properties::getMap() const {
    return &root->asMap();
}

bool Properties::hasName(const std::string& name) const {
    return getMap()->count(name) != 0;
}

void Properties::assertHasName(const std::string& name) const {
    if (!hasName(name)) std::cerr << "Property with name \"" << name << "\" does not exist" << std::endl;
}

void Properties::assertUniqueName(const std::string& name) const {
    if (hasName(name))
        std::cerr << "Name used in Properties insert/rename operation already exists: " << name << std::endl;
}

void Properties::remove(const std::string& name) {
    assertHasName(name);
    PropertyObject::ValueMap& map = *getMap();
    auto entry = map.find(name);
    if (entry == map.end()) return;
    PropertyObject* value = entry->second;
    map.erase(entry);
    value->removeReference();
}

void Properties::checkMode(const std::string& name, const Mode& mode) {
    switch (mode) {
        case Insert: assertUniqueName(name); break;
        case Replace: remove(name); break;
        case InsertOrReplace:
            if (hasName(name)) remove(name);
            break;
    }
}

PropertyObject* Properties::getObject(const std::string& name) const {
    assertHasName(name);
    const PropertyObject::ValueMap& map = *getMap();
    auto entry = map.find(name);
    return entry == map.end() ? nullptr : entry->second;
}

void Properties::merge(const Properties& other) {
    // Covers merging with itself and with another handle on the same root.
    if (other.root == root) return;
    PropertyObject::ValueMap& map = *getMap();
    for (const auto& entry : *other.getMap()) {
        PropertyObject* theirs = entry.second;
        auto mine = map.find(entry.first);
        if (mine != map.end() && mine->second->getType() == PropertyObject::Map &&
            theirs->getType() == PropertyObject::Map) {
            // In place, so every handle sharing the nested map sees the result.
            Properties nested(*mine->second);
            nested.merge(Properties(*theirs));
        } else {
            theirs->addReference();
            storeEntry(map, entry.first, theirs);
        }
    }
}

void Properties::setEntry(const std::string& name, PropertyObject* value, const Mode& mode) {
    // The name may be the key of the very entry that checkMode erases, or
    // lie inside the value that entry releases: the copy outlives both.
    // Callers build the value before they come here, for the same reason:
    // what they build it from may be stored under the name.
    const std::string key(name);
    checkMode(key, mode);
    storeEntry(*getMap(), key, value);
}

void Properties::set(const std::string& name, Properties& value, const Mode& mode) {
    value.root->addReference();
    setEntry(name, value.root, mode);
}

void Properties::set(const std::string& name, const std::vector<Properties>& value, const Mode& mode) {
    PropertyObject::ValueArray* elements = new PropertyObject::ValueArray();
    elements->reserve(value.size());
    for (const Properties& element : value) {
        element.root->addReference();
        elements->push_back(element.root);
    }
    setEntry(name, new PropertyObject(elements), mode);
}

void Properties::get(const std::string& name, Properties& value) const {
    if (PropertyObject* object = getObject(name)) value = *object;
}

Properties Properties::getProperties(const std::string& name) const {
    Properties nested;
    get(name, nested);
    return nested;
}

void Properties::get(const std::string& name, std::vector<Properties>& value) const {
    PropertyObject* object = getObject(name);
    if (!object) return;
    PropertyObject::ValueArray* elements = nullptr;
    object->getValue(elements);
    if (!elements) return;
    // One handle per element, even for one that is not a Map (it comes out
    // empty), so indices keep matching the stored array.
    value.reserve(value.size() + elements->size());
    for (PropertyObject* element : *elements) value.emplace_back(*element);
}
