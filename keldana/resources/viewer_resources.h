// Resources of the structure viewer: its command ids, the menu VIEWERMENU,
// the toolbar, the "Bond parameter" dialog and the pictures of the toolbar
// and the window.
#pragma once

#include "common/qt/dialog_resource.h"
#include "keldana/resources/main_menu.h"

#include <QIcon>

#include <vector>

constexpr int IDD_STRUCTURE_VIEWER = 196;  // "Structure Viewer"
constexpr int IDD_BOND_PARAMETER = 207;    // "Bond parameter"
constexpr int IDC_BOND_DELTA = 1369;
constexpr int IDC_VIEWER_TOOLBAR = 199;

// Commands of the viewer's own menu and toolbar.  Two numbers are shared with
// the main window's commands: they arrive in another window.
constexpr int CMD_VIEWER_EXIT = 30001;
constexpr int CMD_VIEWER_ROTATE_X_DOWN = 30041;
constexpr int CMD_VIEWER_AXIS = 30094;
constexpr int CMD_VIEWER_BALL = 30095;
constexpr int CMD_VIEWER_COVALENT = 30096;
constexpr int CMD_VIEWER_VAN_DER_WAALS = 30097;
constexpr int CMD_VIEWER_BONDS = 30098;
constexpr int CMD_VIEWER_BACKGROUND = 30100;
constexpr int CMD_VIEWER_ATOMS = 30101;
constexpr int CMD_VIEWER_ATOM_LABELS = 30112;
constexpr int CMD_VIEWER_FONT = 30113;
constexpr int CMD_VIEWER_CPS = 30114;
constexpr int CMD_VIEWER_CP_LABELS = 30115;
constexpr int CMD_VIEWER_ATOM_NUMBERS = 30118;
constexpr int CMD_VIEWER_PLANE = 30119;
constexpr int CMD_VIEWER_BOND_PARAMETER = 30121;
constexpr int CMD_VIEWER_ROTATE_X_UP = 30140;
constexpr int CMD_VIEWER_ROTATE_Y_RIGHT = 30142;
constexpr int CMD_VIEWER_ROTATE_Y_LEFT = 30143;
constexpr int CMD_VIEWER_ROTATE_Z_CLOCKWISE = 30144;
constexpr int CMD_VIEWER_ROTATE_Z_COUNTER = 30145;
constexpr int CMD_VIEWER_MOVE_UP = 30146;
constexpr int CMD_VIEWER_MOVE_DOWN = 30147;
constexpr int CMD_VIEWER_MOVE_LEFT = 30148;
constexpr int CMD_VIEWER_MOVE_RIGHT = 30149;
constexpr int CMD_VIEWER_ZOOM_IN = 30150;
constexpr int CMD_VIEWER_ZOOM_OUT = 30151;
constexpr int CMD_VIEWER_SAVE_BITMAP = 30158;
constexpr int CMD_VIEWER_READ_IAS = 30159;
constexpr int CMD_VIEWER_IAS = 30160;
constexpr int CMD_VIEWER_IAS_POINTS = 30163;
constexpr int CMD_VIEWER_IAS_SURFACE = 30164;

enum class ViewerButtonStyle { separator, check, button, check_group };

struct ViewerToolbarButton {
    int image;    // -1 for a separator
    int command;
    ViewerButtonStyle style;
    const char* tip;
};

constexpr int VIEWER_TOOLBAR_IMAGE_COUNT = 21;
constexpr int VIEWER_TOOLBAR_IMAGE_SIZE = 20;  // pixels

const std::vector<MenuResource>& viewer_menu_resource();  // VIEWERMENU
const std::vector<ViewerToolbarButton>& viewer_toolbar_resource();
const DialogResource& bond_parameter_dialog_resource();

QIcon viewer_toolbar_icon(int image);  // images 0..20
QIcon viewer_window_icon();            // "KDNVIEWER"
