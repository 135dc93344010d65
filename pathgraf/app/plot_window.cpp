#include "pathgraf/app/plot_window.h"

#include "common/file_units.h"
#include "common/qt/qt_user_interface.h"
#include "common/user_interface.h"
#include "pathgraf/app/about_box.h"
#include "pathgraf/app/mouse_modes.h"
#include "pathgraf/app/plot_commands.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_view.h"
#include "pathgraf/app/postscript_export.h"
#include "pathgraf/app/style_dialogs.h"
#include "pathgraf/app/view_bitmap.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf/resources/plot_icons.h"
#include "pathgraf/resources/plot_menu.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QShortcut>
#include <QToolBar>

#include <array>

PlotWindowHandles& plot_window_handles()
{
    static PlotWindowHandles handles;
    return handles;
}


PlotMainWindow::PlotMainWindow()
{
    setObjectName("pathgraf_main_window");
    setWindowTitle("Pathgraf");
    setWindowIcon(pathgraf_icon());
    create_menus();
    create_toolbar();
    create_accelerators();
    view_ = new PlotView(this);
    setCentralWidget(view_);
    PlotWindowHandles& handles = plot_window_handles();
    handles.main_window = this;
    handles.view_window = view_;
    DisplayOptions& options = display_options();
    options.pixels_per_inch = static_cast<float>(logicalDpiX());
    options.bits_per_pixel = depth();
}

PlotMainWindow::~PlotMainWindow()
{
    PlotWindowHandles& handles = plot_window_handles();
    if (handles.main_window == this)
        handles = PlotWindowHandles{};
}

void PlotMainWindow::create_menus()
{
    for (const PlotMenu& menu_resource : plot_menu_resource()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(menu_resource.title));
        for (const PlotMenuItem& item : menu_resource.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setEnabled(!item.greyed);
            action->setCheckable(item.checkable);
            const int id = item.id;
            // The program owns the check marks: the click's own toggle is
            // taken back before the command sets them.
            connect(action, &QAction::triggered, this, [this, action, id](bool checked) {
                if (action->isCheckable())
                    action->setChecked(!checked);
                handle_command(id);
            });
            menu_actions_[id] = action;
        }
    }
}

void PlotMainWindow::create_toolbar()
{
    toolbar_ = addToolBar("Toolbar");
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(22, 22));
    for (const PlotToolbarButton& button : plot_toolbar_resource()) {
        if (button.style == ToolbarStyle::separator) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = toolbar_->addAction(plot_toolbar_icon(button.image), QString::fromUtf8(button.tip));
        action->setCheckable(button.style != ToolbarStyle::button);
        const int id = button.command;
        connect(action, &QAction::triggered, this, [this, action, id](bool checked) {
            if (action->isCheckable())
                action->setChecked(!checked);
            handle_command(id);
        });
        toolbar_actions_[id] = action;
    }
}

void PlotMainWindow::create_accelerators()
{
    auto about = [this] { handle_command(CMD_ABOUT); };
    for (const char* keys : {"Alt+/", "Alt+?"})
        connect(new QShortcut(QKeySequence(keys), this), &QShortcut::activated, this, about);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            [this] { handle_command(CMD_HELP_KEY); });
    // An accelerator of a greyed menu item sends nothing.
    connect(new QShortcut(QKeySequence("Ctrl+Z"), this), &QShortcut::activated, this, [this] {
        if (menu_enabled(CMD_UNDO_LINE))
            handle_command(CMD_UNDO_LINE);
    });
}

QAction* PlotMainWindow::menu_action(int id) const
{
    auto it = menu_actions_.find(id);
    return it == menu_actions_.end() ? nullptr : it->second;
}

QAction* PlotMainWindow::toolbar_action(int id) const
{
    auto it = toolbar_actions_.find(id);
    return it == toolbar_actions_.end() ? nullptr : it->second;
}

bool PlotMainWindow::menu_enabled(int id) const
{
    QAction* action = menu_action(id);
    return action && action->isEnabled();
}

bool PlotMainWindow::menu_checked(int id) const
{
    QAction* action = menu_action(id);
    return action && action->isChecked();
}

bool PlotMainWindow::toolbar_enabled(int id) const
{
    QAction* action = toolbar_action(id);
    return action && action->isEnabled();
}

bool PlotMainWindow::toolbar_checked(int id) const
{
    QAction* action = toolbar_action(id);
    return action && action->isChecked();
}

void PlotMainWindow::set_menu_enabled(int id, bool enable)
{
    if (QAction* action = menu_action(id))
        action->setEnabled(enable);
}

void PlotMainWindow::set_menu_checked(int id, bool checked)
{
    if (QAction* action = menu_action(id))
        action->setChecked(checked);
}

void PlotMainWindow::set_toolbar_enabled(int id, bool enable)
{
    if (QAction* action = toolbar_action(id))
        action->setEnabled(enable);
}

void PlotMainWindow::set_toolbar_checked(int id, bool checked)
{
    if (QAction* action = toolbar_action(id))
        action->setChecked(checked);
}

void PlotMainWindow::closeEvent(QCloseEvent* event)
{
    PlotWindowHandles& handles = plot_window_handles();
    handles.plot_bitmap = QImage();
    handles.view_bitmap = QImage();
    close_unit(DATA_UNIT);
    close_unit(POST_UNIT);
    event->accept();
}

void PlotMainWindow::keyPressEvent(QKeyEvent* event)
{
    if (!handle_plot_key(event->key()))
        QMainWindow::keyPressEvent(event);
}

bool is_post_view_item(int id)
{
    return id == CMD_ATOM_POSITIONS || id == CMD_ATOM_LABELS || id == CMD_CP_POSITIONS || id == CMD_CP_LABELS;
}

int set_commands_enabled(int except_id, bool enable)
{
    PlotMainWindow* window = plot_window_handles().main_window;
    if (!window)
        return 1;
    for (int id : switched_commands_with_buttons()) {
        if (id == except_id)
            continue;
        window->set_menu_enabled(id, enable);
        window->set_toolbar_enabled(id, enable);
    }
    if (except_id != CMD_LABELS) {
        const bool labels = enable && display_options().post_loaded;
        window->set_menu_enabled(CMD_LABELS, labels);
        window->set_toolbar_enabled(CMD_LABELS, labels);
    }
    for (int id : switched_menu_items())
        window->set_menu_enabled(id, enable && (display_options().post_loaded || !is_post_view_item(id)));
    return 1;
}

bool choose_plot_file()
{
    PlotFileDialogState& state = plot_file_dialog_state();
    FileDialogRequest request;
    request.initial_dir = state.initial_directory;
    if (state.mode == "SAVE") {
        request.save = true;
        request.title = "Save file";
        request.description = "PostScript (*.ps)";
        request.pattern = "*.ps";
        request.more_filters = {{"Bitmap (*.bmp)", "*.bmp"}};
        request.all_files = false;
    } else {
        request.title = "Open file";
        request.description = state.mode == "POST" ? "Trajectory post file (*.pos)" : "Trajectory data file (*.dat)";
        request.pattern = state.mode == "POST" ? "*.pos" : "*.dat";
    }
    const std::optional<std::string> chosen = ui().file_dialog(request);
    if (!chosen || chosen->empty())
        return false;
    state.chosen_name = *chosen;
    const QFileInfo info(QString::fromStdString(*chosen));
    state.file_title = info.fileName().toStdString();
    state.initial_directory = info.absolutePath().toStdString();
    return true;
}

void invalidate_view()
{
    if (PlotView* view = plot_window_handles().view_window)
        view->update();
}

void redraw_plot()
{
    const ViewState& view = view_state();
    PlotWindowHandles& handles = plot_window_handles();
    render_plot_bitmap(view.full_width, view.full_height);
    rebuild_view_bitmap(handles.view_bitmap, view.view_width, view.view_height);
    invalidate_view();
}

std::string save_extension(const std::string& name)
{
    std::string trimmed = name.substr(0, name.find_last_not_of(' ') + 1);
    const std::size_t dot = trimmed.rfind('.');
    if (dot == std::string::npos)
        return {};
    return trimmed.substr(dot + 1, 3);
}

int get_trimmed_directory_length(const std::string& text)
{
    return find_last_nonblank(text);
}

void PlotMainWindow::save_plot_as()
{
    PlotFileDialogState& state = plot_file_dialog_state();
    state.mode = "SAVE";
    if (!choose_plot_file())
        return;
    const std::string extension = save_extension(state.chosen_name);
    PlotWindowHandles& handles = plot_window_handles();
    if (extension.rfind("ps", 0) == 0 || extension.rfind("PS", 0) == 0) {
        if (run_postscript_dialog(this) == 1) {
            ScopedWaitCursor wait;
            write_plot_postscript();
        }
    } else if (extension == "bmp" || extension == "BMP") {
        BmpExportSize& size = bmp_export_size();
        if (run_bmp_parameters_dialog(size.width, size.height, display_options().bits_per_pixel, this)) {
            ScopedWaitCursor wait;
            rebuild_view_bitmap(handles.view_bitmap, size.width, size.height);
            write_bmp_file(handles.view_bitmap, state.chosen_name);
        }
    } else {
        ui().message_box("Nothing was written: " + state.chosen_name +
                             " is neither a PostScript (*.ps) nor a Bitmap (*.bmp) file name.",
                         "Error!", MessageButtons::ok, MessageIcon::warning);
    }
    const ViewState& view = view_state();
    rebuild_view_bitmap(handles.view_bitmap, view.view_width, view.view_height);
    invalidate_view();
}

void PlotMainWindow::undo_lines()
{
    UserLines& lines = user_lines();
    if (lines.line_count < 1)
        return;
    lines.line_count = 0;
    redraw_plot();
    set_menu_checked(CMD_POST_LINES, false);
    set_menu_enabled(CMD_POST_LINES, false);
    set_menu_enabled(CMD_UNDO_LINE, false);
}

void PlotMainWindow::show_help()
{
    const std::string& start = plot_file_dialog_state().start_directory;
    const std::string help_file = start.substr(0, static_cast<std::size_t>(get_trimmed_directory_length(start))) +
                                  "/Pathgraf.chm";
    const ProcessResult result = ui().run_process("hh", {help_file}, std::string(), false);
    if (!result.started)
        ui().message_box("Unable to activate help", "Pathgraf", MessageButtons::ok, MessageIcon::error);
}

void PlotMainWindow::toggle_axis_ticks()
{
    StyleSettings& style = style_settings();
    if (style.ticks_shown) {
        style.ticks_shown = false;
        set_menu_checked(CMD_AXIS_TICKS, false);
        set_menu_checked(CMD_AXIS_LABELS, false);
    } else {
        style.ticks_shown = true;
        set_menu_checked(CMD_AXIS_TICKS, true);
        if (display_options().axis_labels_shown)
            set_menu_checked(CMD_AXIS_LABELS, true);
    }
    redraw_plot();
}

namespace {

// The widths and colours of the three path kinds and of the frame.
std::array<unsigned, 8> path_and_frame_styles()
{
    const StyleSettings& s = style_settings();
    return {static_cast<unsigned>(s.surface_path_width), s.surface_path_colour,
            static_cast<unsigned>(s.bond_path_width),    s.bond_path_colour,
            static_cast<unsigned>(s.trajectory_path_width), s.trajectory_path_colour,
            static_cast<unsigned>(s.frame_width),        s.frame_colour};
}

// Sets a display switch to its opposite with its check mark.
void toggle_switch(PlotMainWindow& window, int id, bool& flag)
{
    flag = !flag;
    window.set_menu_checked(id, flag);
}

}  // namespace

void PlotMainWindow::handle_command(int id)
{
    DisplayOptions& options = display_options();
    StyleSettings& style = style_settings();
    switch (id) {
    case CMD_EXIT:
        close();
        break;
    case CMD_OPEN:
        open_trajectory_data_command();
        break;
    case CMD_SAVE_AS:
        save_plot_as();
        break;
    case CMD_UNDO_LINE:
        undo_lines();
        break;
    case CMD_ABOUT:
        run_plot_about_box(this);
        break;
    case CMD_LINE_STYLE: {
        const std::array<unsigned, 8> before = path_and_frame_styles();
        run_lines_colors_dialog(this);
        if (path_and_frame_styles() != before)
            redraw_plot();
        else
            invalidate_view();
        break;
    }
    case CMD_FONT:
        if (run_fonts_dialog(this) != 0)
            redraw_plot();
        break;
    case CMD_POST:
        post_command();
        break;
    case CMD_ZOOM_IN:
    case CMD_ZOOM_OUT:
    case CMD_MOVE:
    case CMD_DRAW_LINE:
    case CMD_LABELS:
    case CMD_DRAW_TEXT:
        set_mouse_mode(id);
        break;
    case CMD_AXIS:
        if (run_axis_ticks_dialog(this) == 1)
            redraw_plot();
        break;
    case CMD_CONTENTS:
        show_help();
        break;
    case CMD_AXIS_TICKS:
        toggle_axis_ticks();
        break;
    case CMD_AXIS_LABELS:
        if (style.ticks_shown)
            toggle_switch(*this, id, options.axis_labels_shown);
        redraw_plot();
        break;
    case CMD_ATOM_POSITIONS:
    case CMD_CP_POSITIONS:
    case CMD_ATOM_LABELS:
    case CMD_CP_LABELS:
        if (options.post_loaded) {
            bool& flag = id == CMD_ATOM_POSITIONS ? options.atom_positions_shown
                         : id == CMD_CP_POSITIONS ? options.cp_positions_shown
                         : id == CMD_ATOM_LABELS  ? options.atom_labels_shown
                                                  : options.cp_labels_shown;
            toggle_switch(*this, id, flag);
            redraw_plot();
        }
        break;
    case CMD_POST_LINES:
        if (user_lines().line_count >= 1) {
            toggle_switch(*this, id, options.post_lines_shown);
            redraw_plot();
        }
        break;
    case CMD_TEXT:
        toggle_switch(*this, id, options.texts_shown);
        redraw_plot();
        break;
    case CMD_TRAJECTORY_PATH:
        toggle_switch(*this, id, style.trajectory_paths_shown);
        redraw_plot();
        break;
    case CMD_BOND_PATH:
        toggle_switch(*this, id, style.bond_paths_shown);
        redraw_plot();
        break;
    case CMD_SURFACE_PATH:
        toggle_switch(*this, id, style.surface_paths_shown);
        redraw_plot();
        break;
    default:
        break;
    }
}
