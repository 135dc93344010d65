// Start-up of Keldana: the main window, the user interface it serves, the
// stored settings and the start-up directory.
#pragma once

#include <memory>

class MainWindow;
class ShellUserInterface;

struct KeldanaApplication {
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ShellUserInterface> user_interface;
    ~KeldanaApplication();
};

// Needs a QApplication.  Shows the main window maximised and installs its
// user interface; the current directory stays the default working directory.
std::unique_ptr<KeldanaApplication> start_keldana();
