// The menu "Pathgraf", its toolbar and the command lists that are greyed
// and enabled together, as tables.
#pragma once

#include <vector>

struct PlotMenuItem {
    int id;            // 0 = separator
    const char* text;  // "&" marks the mnemonic; a tab separates the shortcut
    bool greyed;       // greyed in the resource
    bool checkable;    // carries a check mark
};

struct PlotMenu {
    const char* title;
    std::vector<PlotMenuItem> items;
};

enum class ToolbarStyle { separator, button, check, check_group };

struct PlotToolbarButton {
    int image;  // -1 for a separator
    int command;
    ToolbarStyle style;
    const char* tip;
};

const std::vector<PlotMenu>& plot_menu_resource();
const std::vector<PlotToolbarButton>& plot_toolbar_resource();

// Menu items with toolbar buttons that set_commands_enabled switches unless
// one of them is the command that keeps its state.
const std::vector<int>& switched_commands_with_buttons();
// Menu items without buttons that follow the switch whatever is excepted.
const std::vector<int>& switched_menu_items();
