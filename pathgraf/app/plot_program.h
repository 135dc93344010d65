// Start-up of the plot program.
#pragma once

#include <memory>
#include <string>
#include <vector>

class PlotMainWindow;
class QtUserInterface;

struct PlotProgram {
    std::unique_ptr<QtUserInterface> user_interface;  // null when the caller keeps its own
    std::unique_ptr<PlotMainWindow> window;
    ~PlotProgram();
};

// Everything the entry routine does before its message loop: the start
// values of every area, the command-line argument (a name containing "."
// is opened as the trajectory data file; nothing is drawn until File >
// Open), the main window with its commands greyed but Open, Exit, About
// and Contens, shown maximised.  With install_ui false the user interface
// in place is kept (tests).
std::unique_ptr<PlotProgram> start_plot_program(const std::vector<std::string>& arguments, bool install_ui = true);

// The entry routine: start-up and the message loop; the loop's exit code.
int run_plot_program(int argc, char** argv);
