// File > Open and Tools > Post: the trajectory data file is checked, opened
// on its unit and drawn; the post file is read once per data file.
#pragma once

#include <string>

// File > Open (30003).
void open_trajectory_data_command();
// Shows the data file at path as File > Open does after its dialog; false,
// after telling the user, when the file is refused (the plot shown before
// stays as it was).
bool show_trajectory_data_file(const std::string& path);
// Tools > Post (30026).
void post_command();
