#ifndef PROPERTIES_PROPERTIESENTRY_H
#define PROPERTIES_PROPERTIESENTRY_H

#include <string>

#include <properties/PropertyObject.h>

// Makes map[name] point at value, adopting the one reference the caller holds
// on it. A value already stored under name is released afterwards, so storing
// a node over itself keeps it alive.
void storeEntry(PropertyObject::ValueMap& map, const std::string& name, PropertyObject* value);

#endif
