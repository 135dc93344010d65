// "cps.dat": the critical points of the run, written in the current
// directory when the program ends and the list is not empty.
#pragma once

#include <string>

struct CriticalPointList;
struct StructureModel;

// Writes the file; false (with a message) when it cannot be written.
bool write_critical_point_file(const std::string& path, const CriticalPointList& list,
                               const StructureModel& model);

void write_critical_point_file_at_exit();
