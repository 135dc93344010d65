#include "pathgraf/resources/plot_menu.h"

#include "pathgraf/resources/command_ids.h"

const std::vector<PlotMenu>& plot_menu_resource()
{
    static const std::vector<PlotMenu> menus = {
        {"&File",
         {{CMD_OPEN, "&Open...", false, false},
          {CMD_SAVE_AS, "Save as...", false, false},
          {0, nullptr, false, false},
          {CMD_PRINT, "&Print...", true, false},
          {CMD_PRINT_SETUP, "P&rint Setup...", true, false},
          {0, nullptr, false, false},
          {CMD_EXIT, "E&xit", false, false}}},
        {"&Edit",
         {{CMD_UNDO_LINE, "Undo Line\tCtrl+Z", false, false},
          {0, nullptr, false, false},
          {CMD_DRAW_LINE, "Draw Line", false, true},
          {CMD_DRAW_TEXT, "Draw Text", false, true},
          {CMD_LABELS, "Lables", false, true}}},
        {"&View",
         {{CMD_MOVE, "Move...", false, false},
          {CMD_ZOOM_IN, "Zoom in...", false, false},
          {CMD_ZOOM_OUT, "Zoom out...", false, false},
          {0, nullptr, false, false},
          {CMD_TRAJECTORY_PATH, "Trajectory path", false, true},
          {CMD_BOND_PATH, "Bond path", false, true},
          {CMD_SURFACE_PATH, "Atom surface path", false, true},
          {0, nullptr, false, false},
          {CMD_AXIS_TICKS, "Axis ticks", false, true},
          {CMD_AXIS_LABELS, "Axis lables", false, true},
          {CMD_ATOM_POSITIONS, "Atom positions", false, true},
          {CMD_ATOM_LABELS, "Atom lables", false, true},
          {CMD_CP_POSITIONS, "CP positions", false, true},
          {CMD_CP_LABELS, "CP lables", false, true},
          {CMD_POST_LINES, "Post lines", false, true},
          {CMD_TEXT, "Text", false, true}}},
        {"&Tools",
         {{CMD_POST, "Post", false, false},
          {CMD_AXIS, "Axis", false, false},
          {0, nullptr, false, false},
          {CMD_LINE_STYLE, "&Line Style and Color", false, false},
          {CMD_FONT, "&Font", false, false},
          {0, nullptr, false, false}}},
        {"Help",
         {{CMD_CONTENTS, "&Contens", false, false},
          {0, nullptr, false, false},
          {CMD_ABOUT, "&About", false, false}}},
    };
    return menus;
}

const std::vector<PlotToolbarButton>& plot_toolbar_resource()
{
    static const std::vector<PlotToolbarButton> buttons = {
        {-1, 0, ToolbarStyle::separator, nullptr},
        {0, CMD_OPEN, ToolbarStyle::button, "Open"},
        {1, CMD_SAVE_AS, ToolbarStyle::button, "Save as"},
        {-1, 0, ToolbarStyle::separator, nullptr},
        {2, CMD_LINE_STYLE, ToolbarStyle::button, "Line Style and Color"},
        {3, CMD_FONT, ToolbarStyle::button, "Font"},
        {4, CMD_AXIS, ToolbarStyle::button, "Axis"},
        {5, CMD_POST, ToolbarStyle::button, "Post"},
        {6, CMD_DRAW_LINE, ToolbarStyle::check, "Draw Line"},
        {7, CMD_DRAW_TEXT, ToolbarStyle::check, "Draw Text"},
        {8, CMD_LABELS, ToolbarStyle::check, "Lables"},
        {-1, 0, ToolbarStyle::separator, nullptr},
        {9, CMD_MOVE, ToolbarStyle::check_group, "Move"},
        {10, CMD_ZOOM_IN, ToolbarStyle::check_group, "Zoom in"},
        {11, CMD_ZOOM_OUT, ToolbarStyle::check_group, "Zoom out"},
        {-1, 0, ToolbarStyle::separator, nullptr},
        {12, CMD_CONTENTS, ToolbarStyle::button, "Contens"},
        {-1, 0, ToolbarStyle::separator, nullptr},
        {13, CMD_EXIT, ToolbarStyle::button, "Exit"},
    };
    return buttons;
}

const std::vector<int>& switched_commands_with_buttons()
{
    static const std::vector<int> ids = {CMD_OPEN,    CMD_SAVE_AS, CMD_MOVE, CMD_ZOOM_IN,   CMD_ZOOM_OUT, CMD_LINE_STYLE,
                                         CMD_FONT,    CMD_POST,    CMD_AXIS, CMD_DRAW_LINE, CMD_DRAW_TEXT};
    return ids;
}

const std::vector<int>& switched_menu_items()
{
    static const std::vector<int> ids = {CMD_UNDO_LINE,  CMD_TRAJECTORY_PATH, CMD_BOND_PATH,   CMD_SURFACE_PATH,
                                         CMD_AXIS_TICKS, CMD_AXIS_LABELS,     CMD_ATOM_POSITIONS, CMD_CP_POSITIONS,
                                         CMD_ATOM_LABELS, CMD_CP_LABELS,      CMD_POST_LINES};
    return ids;
}
