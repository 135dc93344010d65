// The menu "Keldana", its accelerators and the toolbar, as tables.
#pragma once

#include <vector>

struct MenuItemResource {
    int id;            // 0 = separator
    const char* text;  // "&" marks the mnemonic
    bool greyed;       // greyed in the resource
};

struct MenuResource {
    const char* title;
    std::vector<MenuItemResource> items;
};

struct ToolbarButtonResource {
    int image;    // -1 = separator
    int command;
    bool enabled; // initial state; otherwise indeterminate (greyed)
    const char* tip;
};

const std::vector<MenuResource>& main_menu_resource();
const std::vector<ToolbarButtonResource>& main_toolbar_resource();

// Commands greyed and enabled together around jobs and by a model load.
const std::vector<int>& command_menu_items();
const std::vector<int>& command_toolbar_buttons();
