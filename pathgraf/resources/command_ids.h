// Command, dialog, control and cursor ids of Pathgraf's resources.
#pragma once

enum PlotCommandId : int {
    CMD_EXIT = 30001,
    CMD_OPEN = 30003,
    CMD_SAVE_AS = 30005,
    CMD_PRINT = 30006,
    CMD_PRINT_SETUP = 30007,
    CMD_UNDO_LINE = 30008,
    CMD_HELP_KEY = 30012,  // F1: no handler
    CMD_ABOUT = 30015,
    CMD_LINE_STYLE = 30016,
    CMD_FONT = 30017,
    CMD_POST = 30026,
    CMD_ZOOM_IN = 30028,
    CMD_ZOOM_OUT = 30029,
    CMD_MOVE = 30038,
    CMD_AXIS = 30040,
    CMD_AXIS_TICKS = 30046,
    CMD_ATOM_LABELS = 30047,
    CMD_AXIS_LABELS = 30048,
    CMD_ATOM_POSITIONS = 30049,
    CMD_DRAW_LINE = 30050,
    CMD_POST_LINES = 30056,
    CMD_CP_POSITIONS = 30057,
    CMD_CP_LABELS = 30059,
    CMD_LABELS = 30060,
    CMD_DRAW_TEXT = 30064,
    CMD_TEXT = 30068,
    CMD_CONTENTS = 30070,
    CMD_TRAJECTORY_PATH = 30072,
    CMD_BOND_PATH = 30073,
    CMD_SURFACE_PATH = 30074,
};

// Dialogs.
constexpr int IDD_PLOT_ABOUT = 100;  // "AboutDlg"
constexpr int IDD_LINES_COLORS = 102;
constexpr int IDD_BMP_PARAMETERS = 113;
constexpr int IDD_AXIS_TICKS = 119;
constexpr int IDD_POSTSCRIPT = 121;
constexpr int IDD_POST_SYMBOL = 126;
constexpr int IDD_FONTS = 129;
constexpr int IDD_TEXT_ENTRY = 130;

// Cursors of the mouse modes.
constexpr int CURSOR_ZOOM_IN = 114;
constexpr int CURSOR_ZOOM_OUT = 115;
constexpr int CURSOR_MOVE = 116;
constexpr int CURSOR_MOVE_DRAGGING = 117;
constexpr int CURSOR_DRAW_LINE = 124;
constexpr int CURSOR_TEXT = 127;

// "Axis Ticks".
constexpr int IDC_GRID_X_MIN = 1028;
constexpr int IDC_GRID_X_MAX = 1029;
constexpr int IDC_GRID_Y_MIN = 1032;
constexpr int IDC_GRID_Y_MAX = 1033;
constexpr int IDC_AXIS_X_MIN = 1017;
constexpr int IDC_AXIS_X_MAX = 1018;
constexpr int IDC_AXIS_X_STEP = 1019;
constexpr int IDC_AXIS_Y_MIN = 1020;
constexpr int IDC_AXIS_Y_MAX = 1021;
constexpr int IDC_AXIS_Y_STEP = 1022;
constexpr int IDC_MINOR_TICK_LENGTH = 1024;
constexpr int IDC_MAJOR_TICK_LENGTH = 1025;
constexpr int IDC_MAJOR_TICK_STEP = 1026;

// "Post Symbol".
constexpr int IDC_SYMBOL_ENTRIES = 1067;
constexpr int IDC_AVAILABLE_SYMBOLS = 1066;
constexpr int IDC_SYMBOL_SIZE = 1042;
constexpr int IDC_SYMBOL_SIZE_SPIN = 194;
constexpr int IDC_SYMBOL_THICK = 1069;
constexpr int IDC_SYMBOL_THICK_SPIN = 195;
constexpr int IDC_SYMBOL_COLOR = 1016;

// "Lines and Colors": per row the width sample, edit and up-down, the
// colour swatch and its "..." button.
constexpr int IDC_TRAJECTORY_WIDTH_SAMPLE = 1009;
constexpr int IDC_TRAJECTORY_WIDTH = 1064;
constexpr int IDC_TRAJECTORY_WIDTH_SPIN = 194;
constexpr int IDC_TRAJECTORY_SWATCH = 1006;
constexpr int IDC_TRAJECTORY_COLOR = 1010;
constexpr int IDC_BOND_WIDTH_SAMPLE = 1017;
constexpr int IDC_BOND_WIDTH = 1068;
constexpr int IDC_BOND_WIDTH_SPIN = 197;
constexpr int IDC_BOND_SWATCH = 1016;
constexpr int IDC_BOND_COLOR = 1015;
constexpr int IDC_SURFACE_WIDTH_SAMPLE = 1019;
constexpr int IDC_SURFACE_WIDTH = 1069;
constexpr int IDC_SURFACE_WIDTH_SPIN = 198;
constexpr int IDC_SURFACE_SWATCH = 1020;
constexpr int IDC_SURFACE_COLOR = 1018;
constexpr int IDC_FRAME_WIDTH_SAMPLE = 1013;
constexpr int IDC_FRAME_WIDTH = 1065;
constexpr int IDC_FRAME_WIDTH_SPIN = 195;
constexpr int IDC_FRAME_SWATCH = 1007;
constexpr int IDC_FRAME_COLOR = 1011;
constexpr int IDC_USER_LINE_WIDTH_SAMPLE = 1014;
constexpr int IDC_USER_LINE_WIDTH = 1066;
constexpr int IDC_USER_LINE_WIDTH_SPIN = 196;
constexpr int IDC_USER_LINE_SWATCH = 1008;
constexpr int IDC_USER_LINE_COLOR = 1012;
constexpr int IDC_USER_LINE_DASH = 1067;
constexpr int IDC_USER_LINE_DASH_SPIN = 193;

// "Fonts".
constexpr int IDC_AXIS_FONT_SAMPLE = 1079;
constexpr int IDC_LABEL_FONT_SAMPLE = 1075;
constexpr int IDC_TEXT_FONT_SAMPLE = 1081;
constexpr int IDC_AXIS_FONT = 1083;
constexpr int IDC_LABEL_FONT = 1084;
constexpr int IDC_TEXT_FONT = 1085;

// "PostScript".
constexpr int IDC_PS_AXIS_FONT = 1058;
constexpr int IDC_PS_LABEL_FONT = 1059;
constexpr int IDC_PS_TEXT_FONT = 1060;
constexpr int IDC_PS_PORTRAIT = 1038;
constexpr int IDC_PS_LANDSCAPE = 1039;
constexpr int IDC_PS_SIZE = 1042;
constexpr int IDC_PS_SIZE_SPIN = 190;
constexpr int IDC_PS_FROM_LEFT = 1043;
constexpr int IDC_PS_FROM_LEFT_SPIN = 191;
constexpr int IDC_PS_FROM_TOP = 1044;
constexpr int IDC_PS_FROM_TOP_SPIN = 192;
constexpr int IDC_PS_PREVIEW = 1100;

// "BMP Parameters".
constexpr int IDC_BMP_WIDTH = 1014;
constexpr int IDC_BMP_HEIGHT = 1015;

// Text entry.
constexpr int IDC_TEXT_ENTRY = 1090;
