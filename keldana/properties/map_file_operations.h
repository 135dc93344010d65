// Operations on 2-D grid map files (records x, y, P; map_files.h): the sum
// or the difference of two maps point by point, or one map with its values
// cut off at a magnitude, each optionally with the sign of the result
// inverted, written as a new 2-D grid map file.
#pragma once

#include <string>

enum class MapFileOperation { addition, subtraction, cut_off };

struct MapFileOperationRequest {
    MapFileOperation operation = MapFileOperation::addition;
    bool invert_sign = false;
    std::string source_1, source_2, target;  // source_2 only for a sum or a difference
    std::string cut_off_text;                // the cut-off box, read from its first 10 characters
};

// Runs the operation and tells the user how it ended: "The process is
// completed successfully!" when a source file ends (surplus records of the
// other are ignored), or the message of the first error.  A source record
// of more than three values (a 3-D map file) is such an error ("Can not read
// data. Please, check SOURCE FILE #n").  The result goes to a temporary
// that replaces the target at the end: after an error a new target keeps
// the records written before it, while an existing target stays as it was;
// a failed write (named in its message) never leaves a cut file or a
// temporary.  The target is checked only after the sources and the cut-off
// read, and never when it is one of the sources.  True after the success
// message.
bool run_map_file_operation(const MapFileOperationRequest& request);
