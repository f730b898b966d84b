#ifndef OUTPUT_VTKARRAYNAMES_H
#define OUTPUT_VTKARRAYNAMES_H

#include <string>

#include "TrackLayout.h"

// What VTK's files need of a track: floating points of three components,
// whatever the position's stored type and shape.
OutputNeeds vtkPointNeeds();

// Refuses, before anything is written, names a VTK file cannot hold or keep
// apart: a reader keeps only one point array of a name. `problem` says why a
// name cannot be written (empty when it can); the message is "the variable
// name "…" `cannot`: `problem`.".
void checkVtkArrayNames(const TrackLayout& layout, std::string (*problem)(const std::string& name),
                        const std::string& cannot);

#endif
