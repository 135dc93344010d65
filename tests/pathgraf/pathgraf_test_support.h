// Shared set-up of the plot program's tests: a fresh program (all areas at
// their start values, a scripted user interface, a main window) in a
// temporary working folder, the trajectory fixtures, and modal dialogs
// acted on once they are open.
#pragma once

#include "common/scripted_ui.h"
#include "pathgraf/app/plot_program.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Dialog;

// A file of tests/fixtures/trajectory.
std::string trajectory_fixture(const std::string& name);

// Acts on the dialog that opens next; a dialog the actions leave open is a
// failure and is cancelled so that the test goes on.
void when_open(std::function<void(Dialog&)> actions);
// Runs the command and fails (cancelling it) if it opens a dialog.
void run_without_dialog(const std::function<void()>& command);

// The colour of a pixel as 0x00RRGGBB.
unsigned pixel_rgb(const QImage& image, int x, int y);
// True when some pixel within `radius` of (x, y) has the colour.
bool colour_near(const QImage& image, int x, int y, int radius, QColor colour);

class PlotTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with the arguments (nothing opened by default).
    void start(const std::vector<std::string>& arguments = {});
    // Opens a data file through File > Open.
    void open_data(const std::string& path);
    // Loads a post file through Tools > Post and leaves the symbol dialog
    // with OK (the plot is drawn again) or Cancel.
    void load_post(const std::string& path, bool ok = true);
    // Writes a file in the working folder; its path.
    std::string write_file(const std::string& name, const std::string& text);

    ScopedScriptedUi ui_;
    std::unique_ptr<PlotProgram> program_;
    std::filesystem::path directory_;
};
