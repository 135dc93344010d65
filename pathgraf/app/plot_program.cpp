#include "pathgraf/app/plot_program.h"

#include "common/qt/qt_user_interface.h"
#include "pathgraf/app/plot_files.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf/resources/plot_icons.h"

#include <QApplication>
#include <QDir>

PlotProgram::~PlotProgram()
{
    window.reset();
    if (user_interface)
        install_user_interface(nullptr);
}

std::unique_ptr<PlotProgram> start_plot_program(const std::vector<std::string>& arguments, bool install_ui)
{
    reset_plot_state();
    auto program = std::make_unique<PlotProgram>();
    if (install_ui) {
        program->user_interface = std::make_unique<QtUserInterface>();
        install_user_interface(program->user_interface.get());
    }

    // A name on the command line is opened as the data file; the plot is
    // read and drawn by File > Open.  A file that cannot be read is refused
    // here already.
    if (!arguments.empty() && arguments.front().find('.') != std::string::npos) {
        const std::string& name = arguments.front();
        PlotExtents extents;
        std::string message;
        if (!check_trajectory_data_file(name, extents, message) || !open_trajectory_data_file(name, message))
            ui().message_box(message, "Error!", MessageButtons::ok, MessageIcon::warning);
        else
            display_options().data_open = true;
    }

    program->window = std::make_unique<PlotMainWindow>();
    set_commands_enabled(CMD_OPEN, false);
    program->window->showMaximized();
    plot_file_dialog_state().start_directory = QDir::currentPath().toStdString();
    return program;
}

int run_plot_program(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    auto program = start_plot_program(arguments);
    return QApplication::exec();
}
