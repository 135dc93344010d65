#include "pathgraf/resources/plot_dialogs.h"

#include "pathgraf/resources/command_ids.h"

namespace {
constexpr int S = CONTROL_STATIC_ID;
const char* const FONT = "MS Sans Serif";
}  // namespace

const DialogResource& plot_about_dialog_resource()
{
    static const DialogResource resource = {
        IDD_PLOT_ABOUT, "About Pathgraf", 210, 112,
        {
            {S, ControlKind::icon, "Pathgraf", 10, 10, 20, 20},
            {1001, ControlKind::static_text, "CompanyName", 40, 10, 160, 12},
            {1002, ControlKind::static_text, "FileDescription", 40, 25, 160, 12},
            {1003, ControlKind::static_text, "ProductVersion", 40, 40, 160, 12},
            {1004, ControlKind::static_text, "Plots of gradient trajectories of the electron density", 40, 55, 160,
             18},
            {501, ControlKind::etched_line, "", 10, 76, 190, 1},
            {1, ControlKind::default_button, "OK", 80, 88, 50, 14},
        },
        FONT, 8};
    return resource;
}

const DialogResource& lines_colors_dialog_resource()
{
    // Rows: static text, width sample, width edit and its up-down, colour
    // swatch, "..." button.
    static const DialogResource resource = {
        IDD_LINES_COLORS, "Lines and Colors", 268, 166,
        {
            {S, ControlKind::static_text, "Thickness", 92, 6, 60, 9},
            {S, ControlKind::static_text, "Color", 196, 6, 40, 9},

            {S, ControlKind::static_text, "Trajectory  path line", 6, 20, 82, 9},
            {IDC_TRAJECTORY_WIDTH_SAMPLE, ControlKind::list_box, "", 92, 18, 60, 14},
            {IDC_TRAJECTORY_WIDTH, ControlKind::edit, "", 156, 18, 22, 13},
            {IDC_TRAJECTORY_WIDTH_SPIN, ControlKind::up_down, "", 178, 18, 9, 13},
            {IDC_TRAJECTORY_SWATCH, ControlKind::list_box, "", 196, 18, 40, 14},
            {IDC_TRAJECTORY_COLOR, ControlKind::button, "...", 240, 18, 18, 13},

            {S, ControlKind::static_text, "Bond path line ", 6, 40, 82, 9},
            {IDC_BOND_WIDTH_SAMPLE, ControlKind::list_box, "", 92, 38, 60, 14},
            {IDC_BOND_WIDTH, ControlKind::edit, "", 156, 38, 22, 13},
            {IDC_BOND_WIDTH_SPIN, ControlKind::up_down, "", 178, 38, 9, 13},
            {IDC_BOND_SWATCH, ControlKind::list_box, "", 196, 38, 40, 14},
            {IDC_BOND_COLOR, ControlKind::button, "...", 240, 38, 18, 13},

            {S, ControlKind::static_text, "Atom surface line ", 6, 60, 82, 9},
            {IDC_SURFACE_WIDTH_SAMPLE, ControlKind::list_box, "", 92, 58, 60, 14},
            {IDC_SURFACE_WIDTH, ControlKind::edit, "", 156, 58, 22, 13},
            {IDC_SURFACE_WIDTH_SPIN, ControlKind::up_down, "", 178, 58, 9, 13},
            {IDC_SURFACE_SWATCH, ControlKind::list_box, "", 196, 58, 40, 14},
            {IDC_SURFACE_COLOR, ControlKind::button, "...", 240, 58, 18, 13},

            {S, ControlKind::static_text, "Axis Lines", 6, 80, 82, 9},
            {IDC_FRAME_WIDTH_SAMPLE, ControlKind::list_box, "", 92, 78, 60, 14},
            {IDC_FRAME_WIDTH, ControlKind::edit, "", 156, 78, 22, 13},
            {IDC_FRAME_WIDTH_SPIN, ControlKind::up_down, "", 178, 78, 9, 13},
            {IDC_FRAME_SWATCH, ControlKind::list_box, "", 196, 78, 40, 14},
            {IDC_FRAME_COLOR, ControlKind::button, "...", 240, 78, 18, 13},

            {S, ControlKind::static_text, "Drawing Lines", 6, 100, 82, 9},
            {IDC_USER_LINE_WIDTH_SAMPLE, ControlKind::list_box, "", 92, 98, 60, 14},
            {IDC_USER_LINE_WIDTH, ControlKind::edit, "", 156, 98, 22, 13},
            {IDC_USER_LINE_WIDTH_SPIN, ControlKind::up_down, "", 178, 98, 9, 13},
            {IDC_USER_LINE_SWATCH, ControlKind::list_box, "", 196, 98, 40, 14},
            {IDC_USER_LINE_COLOR, ControlKind::button, "...", 240, 98, 18, 13},
            {S, ControlKind::static_text, "Dash", 128, 120, 24, 9},
            {IDC_USER_LINE_DASH, ControlKind::edit, "", 156, 118, 22, 13},
            {IDC_USER_LINE_DASH_SPIN, ControlKind::up_down, "", 178, 118, 9, 13},

            {1, ControlKind::default_button, "OK", 76, 144, 50, 14},
            {2, ControlKind::button, "Cancel", 142, 144, 50, 14},
        },
        FONT, 8};
    return resource;
}

const DialogResource& bmp_parameters_dialog_resource()
{
    static const DialogResource resource = {
        IDD_BMP_PARAMETERS, "BMP Parameters", 160, 84,
        {
            {S, ControlKind::group_box, "Bitmap size in pixels ", 6, 4, 148, 50},
            {S, ControlKind::static_text, "Width", 14, 18, 30, 9},
            {IDC_BMP_WIDTH, ControlKind::edit, "", 50, 16, 60, 13},
            {S, ControlKind::static_text, "Height", 14, 36, 30, 9},
            {IDC_BMP_HEIGHT, ControlKind::edit, "", 50, 34, 60, 13},
            {1, ControlKind::default_button, "OK", 22, 62, 50, 14},
            {2, ControlKind::button, "Cancel", 88, 62, 50, 14},
        },
        FONT, 8};
    return resource;
}

const DialogResource& axis_ticks_dialog_resource()
{
    static const DialogResource resource = {
        IDD_AXIS_TICKS, "Axis Ticks", 250, 170,
        {
            {S, ControlKind::group_box, "Grid  Info", 6, 4, 238, 38},
            {S, ControlKind::static_text, "X min  =", 12, 15, 32, 9},
            {IDC_GRID_X_MIN, ControlKind::read_only_edit, "", 46, 13, 40, 12},
            {S, ControlKind::static_text, "X max  =", 12, 28, 32, 9},
            {IDC_GRID_X_MAX, ControlKind::read_only_edit, "", 46, 26, 40, 12},
            {S, ControlKind::static_text, "Y min  =", 130, 15, 32, 9},
            {IDC_GRID_Y_MIN, ControlKind::read_only_edit, "", 164, 13, 40, 12},
            {S, ControlKind::static_text, "Y max  =", 130, 28, 32, 9},
            {IDC_GRID_Y_MAX, ControlKind::read_only_edit, "", 164, 26, 40, 12},

            {S, ControlKind::group_box, "X-axis", 6, 46, 116, 60},
            {S, ControlKind::static_text, "Min", 12, 60, 30, 9},
            {IDC_AXIS_X_MIN, ControlKind::edit, "", 46, 58, 40, 12},
            {S, ControlKind::static_text, "Max", 12, 74, 30, 9},
            {IDC_AXIS_X_MAX, ControlKind::edit, "", 46, 72, 40, 12},
            {S, ControlKind::static_text, "Step", 12, 88, 30, 9},
            {IDC_AXIS_X_STEP, ControlKind::edit, "", 46, 86, 40, 12},

            {S, ControlKind::group_box, "Y-axis", 128, 46, 116, 60},
            {S, ControlKind::static_text, "Min", 134, 60, 26, 9},
            {IDC_AXIS_Y_MIN, ControlKind::edit, "", 164, 58, 40, 12},
            {S, ControlKind::static_text, "Max", 134, 74, 26, 9},
            {IDC_AXIS_Y_MAX, ControlKind::edit, "", 164, 72, 40, 12},
            {S, ControlKind::static_text, "Step", 134, 88, 26, 9},
            {IDC_AXIS_Y_STEP, ControlKind::edit, "", 164, 86, 40, 12},

            {S, ControlKind::static_text, "Major Ticks Step ", 12, 114, 80, 9},
            {IDC_MAJOR_TICK_STEP, ControlKind::edit, "", 96, 112, 40, 12},
            {S, ControlKind::static_text, "Major Ticks Length", 12, 128, 80, 9},
            {IDC_MAJOR_TICK_LENGTH, ControlKind::edit, "", 96, 126, 40, 12},
            {S, ControlKind::static_text, "Minor Ticks Length", 12, 142, 80, 9},
            {IDC_MINOR_TICK_LENGTH, ControlKind::edit, "", 96, 140, 40, 12},

            {1, ControlKind::default_button, "OK", 180, 116, 50, 14},
            {2, ControlKind::button, "Cancel", 180, 136, 50, 14},
        },
        FONT, 8};
    return resource;
}

const DialogResource& postscript_dialog_resource()
{
    // The page preview fills the right two thirds; the program places it.
    // Each group leaves its caption a line of its own and a margin below its
    // last control; a combo box is about 14 units high.
    static const DialogResource resource = {
        IDD_POSTSCRIPT, "PostScript", 300, 252,
        {
            {S, ControlKind::group_box, " Post Script Font ", 6, 4, 92, 98},
            {S, ControlKind::static_text, "Axis", 12, 16, 60, 9},
            {IDC_PS_AXIS_FONT, ControlKind::combo_box, "", 12, 26, 80, 90},
            {S, ControlKind::static_text, "Post lable", 12, 44, 60, 9},
            {IDC_PS_LABEL_FONT, ControlKind::combo_box, "", 12, 54, 80, 90},
            {S, ControlKind::static_text, "Text", 12, 72, 60, 9},
            {IDC_PS_TEXT_FONT, ControlKind::combo_box, "", 12, 82, 80, 90},

            {S, ControlKind::group_box, " Orientation ", 6, 106, 92, 40},
            {IDC_PS_PORTRAIT, ControlKind::radio_button, "Portrait", 12, 118, 60, 11, CONTROL_GROUP},
            {IDC_PS_LANDSCAPE, ControlKind::radio_button, "Landscape", 12, 130, 60, 11},

            {S, ControlKind::group_box, " Size, 0-100%  ", 6, 150, 92, 31, CONTROL_GROUP},
            {IDC_PS_SIZE, ControlKind::edit, "", 12, 162, 30, 13},
            {IDC_PS_SIZE_SPIN, ControlKind::up_down, "", 42, 162, 9, 13},

            {S, ControlKind::group_box, " Position ", 6, 185, 92, 41},
            {S, ControlKind::static_text, "From Top", 12, 197, 40, 9},
            {IDC_PS_FROM_TOP, ControlKind::edit, "", 12, 207, 25, 13},
            {IDC_PS_FROM_TOP_SPIN, ControlKind::up_down, "", 38, 207, 9, 13},
            {S, ControlKind::static_text, "From Left", 54, 197, 40, 9},
            {IDC_PS_FROM_LEFT, ControlKind::edit, "", 54, 207, 25, 13},
            {IDC_PS_FROM_LEFT_SPIN, ControlKind::up_down, "", 80, 207, 9, 13},

            {1, ControlKind::default_button, "OK", 6, 232, 44, 14},
            {2, ControlKind::button, "Cancel", 54, 232, 44, 14},
        },
        FONT, 8};
    return resource;
}

const DialogResource& post_symbol_dialog_resource()
{
    static const DialogResource resource = {
        IDD_POST_SYMBOL, "Post Symbol", 236, 132,
        {
            {S, ControlKind::static_text, "Atom", 8, 6, 50, 9},
            {S, ControlKind::static_text, "Critical Point", 60, 6, 50, 9},
            {IDC_SYMBOL_ENTRIES, ControlKind::list_box, "", 6, 16, 104, 54},
            {S, ControlKind::static_text, "Available Symbols", 6, 76, 100, 9},
            {IDC_AVAILABLE_SYMBOLS, ControlKind::list_box, "", 6, 86, 224, 30},
            {S, ControlKind::static_text, "SIZE", 120, 18, 30, 9},
            {IDC_SYMBOL_SIZE, ControlKind::edit, "", 150, 16, 24, 12},
            {IDC_SYMBOL_SIZE_SPIN, ControlKind::up_down, "", 174, 16, 9, 12},
            {S, ControlKind::static_text, "THICK", 120, 36, 30, 9},
            {IDC_SYMBOL_THICK, ControlKind::edit, "", 150, 34, 24, 12},
            {IDC_SYMBOL_THICK_SPIN, ControlKind::up_down, "", 174, 34, 9, 12},
            {IDC_SYMBOL_COLOR, ControlKind::button, "COLOR", 120, 54, 63, 14},
            {1, ControlKind::default_button, "OK", 190, 16, 40, 14},
            {2, ControlKind::button, "Cancel", 190, 34, 40, 14},
        },
        FONT, 8};
    return resource;
}

const DialogResource& fonts_dialog_resource()
{
    static const DialogResource resource = {
        IDD_FONTS, "Fonts", 270, 118,
        {
            {IDC_AXIS_FONT_SAMPLE, ControlKind::list_box, "", 6, 6, 190, 26},
            {IDC_AXIS_FONT, ControlKind::button, "AXIS FONT", 204, 12, 60, 14},
            {IDC_LABEL_FONT_SAMPLE, ControlKind::list_box, "", 6, 36, 190, 26},
            {IDC_LABEL_FONT, ControlKind::button, "LABLE FONT", 204, 42, 60, 14},
            {IDC_TEXT_FONT_SAMPLE, ControlKind::list_box, "", 6, 66, 190, 26},
            {IDC_TEXT_FONT, ControlKind::button, "TEXT FONT", 204, 72, 60, 14},
            {1, ControlKind::default_button, "Ok", 110, 98, 50, 14},
        },
        FONT, 8};
    return resource;
}

const DialogResource& text_entry_dialog_resource()
{
    static const DialogResource resource = {
        IDD_TEXT_ENTRY, "", 190, 20,
        {
            {IDC_TEXT_ENTRY, ControlKind::edit, "", 3, 3, 150, 13},
            {1, ControlKind::default_button, "Ok", 157, 3, 30, 13},
        },
        FONT, 8};
    return resource;
}
