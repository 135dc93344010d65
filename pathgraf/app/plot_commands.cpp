#include "pathgraf/app/plot_commands.h"

#include "common/user_interface.h"
#include "pathgraf/app/mouse_modes.h"
#include "pathgraf/app/plot_files.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_view.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/app/style_dialogs.h"
#include "pathgraf/app/view_bitmap.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf/resources/plot_menu.h"

#include <algorithm>

void open_trajectory_data_command()
{
    plot_file_dialog_state().mode = "DATA";
    if (!choose_plot_file())
        return;
    show_trajectory_data_file(plot_file_dialog_state().chosen_name);
}

bool show_trajectory_data_file(const std::string& path)
{
    // The whole file is read once before anything of the shown plot changes.
    PlotExtents extents;
    std::string message;
    if (!check_trajectory_data_file(path, extents, message)) {
        ui().message_box(message, "Error!", MessageButtons::ok, MessageIcon::warning);
        return false;
    }

    PostData& post = post_data();
    ViewState& view = view_state();
    DisplayOptions& options = display_options();
    post.atom_count = 0;
    post.cp_count = 0;
    user_lines().line_count = 0;
    user_lines().segment_count = 0;
    view.draw_line_mode = 0;
    view.zoom_in_mode = 0;
    view.zoom_out_mode = 0;
    view.hit_item = 0;
    view.selected_item = 0;
    view.tracking = 0;
    options.post_loaded = false;
    options.data_open = false;

    if (!open_trajectory_data_file(path, message)) {
        ui().message_box("Can not open the file " + path, "Error!", MessageButtons::ok, MessageIcon::warning);
        PlotWindowHandles& handles = plot_window_handles();
        handles.plot_bitmap = QImage();
        handles.view_bitmap = QImage();
        set_commands_enabled(CMD_OPEN, false);
        invalidate_view();
        return false;
    }
    options.data_open = true;
    set_commands_enabled(0, true);

    plot_extents() = extents;
    AxisSettings& axis = axis_settings();
    axis.x_min = extents.xmin;
    axis.x_max = extents.xmax;
    axis.y_min = extents.ymin;
    axis.y_max = extents.ymax;
    axis.x_step = static_cast<double>(0.1f);
    axis.y_step = static_cast<double>(0.1f);
    full_bitmap_size(extents, view.full_width, view.full_height);

    PlotWindowHandles& handles = plot_window_handles();
    render_plot_bitmap(view.full_width, view.full_height);
    fit_view_to_window();
    StyleSettings& style = style_settings();
    style.ticks_shown = true;
    options.axis_labels_shown = true;
    style.trajectory_paths_shown = true;
    style.bond_paths_shown = true;
    style.surface_paths_shown = true;
    if (PlotMainWindow* window = handles.main_window) {
        for (int id : {CMD_TRAJECTORY_PATH, CMD_BOND_PATH, CMD_SURFACE_PATH, CMD_AXIS_TICKS, CMD_AXIS_LABELS})
            window->set_menu_checked(id, true);
        window->set_menu_enabled(CMD_UNDO_LINE, false);
    }
    set_mouse_mode(CMD_MOVE);
    return true;
}

void post_command()
{
    DisplayOptions& options = display_options();
    PlotFileDialogState& state = plot_file_dialog_state();
    if (!options.post_loaded) {
        state.mode = "POST";
        if (choose_plot_file()) {
            if (!read_post_file(state.chosen_name, post_data())) {
                ui().message_box("POST file reading error.", "Error!", MessageButtons::ok, MessageIcon::warning);
                return;
            }
            options.post_loaded = true;
            options.atom_positions_shown = true;
            options.cp_positions_shown = true;
            if (PlotMainWindow* window = plot_window_handles().main_window) {
                window->set_menu_enabled(CMD_LABELS, true);
                window->set_toolbar_enabled(CMD_LABELS, true);
                window->set_menu_checked(CMD_ATOM_POSITIONS, true);
                window->set_menu_checked(CMD_CP_POSITIONS, true);
                for (int id : switched_menu_items())
                    if (is_post_view_item(id))
                        window->set_menu_enabled(id, true);
            }
        }
    }
    if (run_post_symbol_dialog(plot_window_handles().main_window) != 0 && options.post_loaded)
        redraw_plot();
}
