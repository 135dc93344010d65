// "Map file operations" (command 30072): the modal dialog "Operations with
// Map files" that adds or subtracts two 2-D grid map files point by point, or
// cuts one map's values off at a magnitude, optionally inverting the sign,
// into a new map file (keldana/properties/map_file_operations.h).  Only "OK"
// touches any file.
#pragma once

class QWidget;

void run_map_file_operations_dialog(QWidget* owner = nullptr);
