#ifndef TRANSLATOR_VTPTRANSLATION_H
#define TRANSLATOR_VTPTRANSLATION_H

#include <istream>
#include <ostream>
#include <string>

struct TranslationOptions;

// Translates the track on `input` into a VTK XML PolyData file on `out`: one
// polyline per path, in ZRP order, the values as the track file stores them.
// A first pass makes every check of a translation and counts the paths; the
// arrays are then written in path order, filled window by window by further
// passes, each window as large as the memory budget allows. A pipe is first
// copied into a spill file. Faults are thrown as TrackError, and nothing is
// written before the first pass has ended without one.
void translateToVtp(std::istream& input, const std::string& inputName, std::ostream& out, std::ostream& diagnostics,
                    const TranslationOptions& options);

#endif
