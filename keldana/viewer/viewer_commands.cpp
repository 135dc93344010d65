// The commands of the viewer's menu and toolbar.
#include "common/user_interface.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/run_settings.h"
#include "keldana/resources/viewer_resources.h"
#include "keldana/topology/surface_file.h"
#include "keldana/viewer/surface_lists.h"
#include "keldana/viewer/viewer_bitmap.h"
#include "keldana/viewer/viewer_dialogs.h"
#include "keldana/viewer/viewer_settings.h"
#include "keldana/viewer/viewer_state.h"
#include "keldana/viewer/viewer_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QImage>

void StructureViewer::toggle(bool& shown, int id)
{
    shown = !shown;
    set_checked(id, shown);
    redraw();
}

void StructureViewer::set_atom_style(int style)
{
    viewer_scene_state().atom_style = style;
    set_checked(CMD_VIEWER_BALL, style == ATOM_STYLE_BALL);
    set_checked(CMD_VIEWER_COVALENT, style == ATOM_STYLE_COVALENT);
    set_checked(CMD_VIEWER_VAN_DER_WAALS, style == ATOM_STYLE_VAN_DER_WAALS);
}

void StructureViewer::rebuild_surfaces()
{
    // Before the view first shows there is no context yet: its set-up
    // compiles the lists then.
    if (!scene_->context())
        return;
    scene_->makeCurrent();
    build_surface_display_lists(viewer_scene_state());
    scene_->doneCurrent();
}

void StructureViewer::read_surfaces()
{
    ViewerSceneState& state = viewer_scene_state();
    if (read_interatomic_surface_file())
        state.ias_shown = true;
    set_checked(CMD_VIEWER_IAS, state.ias_shown);
    rebuild_surfaces();
    redraw();
}

void StructureViewer::save_bitmap()
{
    FileDialogState& dialog = run_settings().file_dialog;
    const std::string working_directory = dialog.working_directory;
    dialog.dialog_path.clear();
    dialog.dialog_mode = "save";
    run_file_dialog("Save BitMap file (*.bmp)", "*.bmp");
    dialog.working_directory = working_directory;
    if (file_dialog_cancelled())
        return;
    // Let the view repaint where the file dialog covered it.
    QCoreApplication::processEvents();
    const std::string path = dialog.dialog_path;
    if (is_bitmap_file_name(path)) {
        const QImage image = grab_scene();
        if (!save_viewer_bitmap(image, 0, 0, image.width(), image.height(), path))
            ui().message_box("Can not write file " + path, "Error!", MessageButtons::ok, MessageIcon::error);
    } else {
        ui().message_box("Nothing was written: " + path + " is not a Bitmap (*.bmp) file name.", "Error!",
                         MessageButtons::ok, MessageIcon::warning);
    }
    redraw();
}

void StructureViewer::choose_background()
{
    ViewerSceneState& state = viewer_scene_state();
    const int colour = choose_colour(static_cast<int>(state.background_colour));
    if (colour == -1)
        return;
    state.background_colour = static_cast<unsigned>(colour);
    write_viewer_background_setting(state.background_colour);
    redraw();
}

void StructureViewer::choose_font()
{
    ViewerSceneState& state = viewer_scene_state();
    unsigned colour = state.label_colour;
    if (!choose_viewer_font(state.label_font, colour))
        return;
    state.label_colour = colour;
    write_viewer_font_settings(state);
    redraw();
}

void StructureViewer::handle_command(int id)
{
    ViewerSceneState& state = viewer_scene_state();
    if (step_viewer_view(state, id)) {
        redraw();
        return;
    }
    switch (id) {
    case CMD_VIEWER_READ_IAS:
        read_surfaces();
        break;
    case CMD_VIEWER_SAVE_BITMAP:
        save_bitmap();
        break;
    case CMD_VIEWER_EXIT:
        close();
        break;
    case CMD_VIEWER_AXIS:
        toggle(state.axis_shown, id);
        break;
    case CMD_VIEWER_BONDS:
        toggle(state.bonds_shown, id);
        break;
    case CMD_VIEWER_ATOMS:
        toggle(state.atoms_shown, id);
        break;
    case CMD_VIEWER_ATOM_NUMBERS:
        toggle(state.atom_numbers_shown, id);
        break;
    case CMD_VIEWER_ATOM_LABELS:
        toggle(state.atom_labels_shown, id);
        break;
    case CMD_VIEWER_PLANE:
        toggle(state.plane_shown, id);
        break;
    case CMD_VIEWER_CPS:
        toggle(state.cps_shown, id);
        break;
    case CMD_VIEWER_CP_LABELS:
        toggle(state.cp_type_labels_shown, id);
        break;
    case CMD_VIEWER_IAS:
        if (!state.ias_shown)
            rebuild_surfaces();
        toggle(state.ias_shown, id);
        break;
    case CMD_VIEWER_IAS_POINTS:
        state.ias_as_points = !state.ias_as_points;
        set_checked(id, state.ias_as_points);
        rebuild_surfaces();
        redraw();
        break;
    case CMD_VIEWER_IAS_SURFACE:
        state.ias_as_surface = !state.ias_as_surface;
        set_checked(id, state.ias_as_surface);
        rebuild_surfaces();
        redraw();
        break;
    case CMD_VIEWER_BALL:
        set_atom_style(ATOM_STYLE_BALL);
        redraw();
        break;
    case CMD_VIEWER_COVALENT:
        set_atom_style(ATOM_STYLE_COVALENT);
        redraw();
        break;
    case CMD_VIEWER_VAN_DER_WAALS:
        set_atom_style(ATOM_STYLE_VAN_DER_WAALS);
        redraw();
        break;
    case CMD_VIEWER_BACKGROUND:
        choose_background();
        break;
    case CMD_VIEWER_FONT:
        choose_font();
        break;
    case CMD_VIEWER_BOND_PARAMETER:
        run_bond_parameter_dialog(this);
        redraw();
        break;
    default:
        break;
    }
}
