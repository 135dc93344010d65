#include "keldana/resources/main_menu.h"

#include "keldana/resources/command_ids.h"

const std::vector<MenuResource>& main_menu_resource()
{
    static const std::vector<MenuResource> menus = {
        {"&File",
         {{CMD_OPEN, "&Open...", false},
          {CMD_READ_MOLLY, "Read &Molly...", false},
          {CMD_READ_XD, "Read XD...", false},
          {0, nullptr, false},
          {CMD_READ_COVARIANCE, "&Read COVARIANCE matrix...", true},
          {CMD_IMPORT_COVARIANCE, "Import &COVARIANCE matrix...", true},
          {0, nullptr, false},
          {CMD_SAVE_DATA_FILE, "&Save Data file as... ", true},
          {CMD_SAVE_COVARIANCE, "Save COVARIANCE matrix as...", true},
          {0, nullptr, false},
          {CMD_OPTIONS, "O&ptions...", false},
          {0, nullptr, false},
          {CMD_EXIT, "E&xit", false}}},
        {"&Edit", {{CMD_KDN_DATA, "&kdn data", true}, {CMD_CLUSTER, "&cluster", true}}},
        {"&View",
         {{CMD_PSEUDOATOM_PARAMETERS, "&Pseudoatom parameters", true},
          {CMD_LIST_POPULATIONS, "&List of pseudoatom populations", true},
          {CMD_STRUCTURE_VIEWER, "Structure", true}}},
        {"&Tools",
         {{CMD_ACTIVATE_PROPERTY, "Activating a &Property", true},
          {CMD_DEFAULT_PARAMETERS, "Change de&fault parameter values", true},
          {CMD_SUBSET_ATOMS, "Define subset of atoms", true},
          {CMD_WAVEFUNCTION_BANK, "Change &wavefunction's bank", true},
          {CMD_PROMOLECULE_MODEL, "Procrystal/Promolecule Model", true},
          {CMD_CP_SEARCH, "CP&Search", true},
          {CMD_BOND_PATH, "Bond Path in the total electron density", true},
          {CMD_PROPERTY_INTEGRATION, "Property Integration", true},
          {CMD_PROPERTY_ALONG_LINE, "Property along a &Line", true},
          {CMD_MAP_OF_PROPERTY, "&Map of property ", true},
          {CMD_DIPOLE_MOMENT, "&Dipole Moment", true},
          {CMD_QUADRUPOLE_MOMENT, "&Quadrupole Moment", true},
          {CMD_POTENTIAL_CHARGES, "&Generate potential-derived charges", true},
          {0, nullptr, false},
          {CMD_CHECK_POPULATIONS, "&Check atomic populations", true},
          {CMD_MAP_FILE_OPERATIONS, "Map file operations", false}}},
        {"&Help", {{CMD_HELP_CONTENTS, "&Contents", false}, {0, nullptr, false}, {CMD_ABOUT, "&About Keldana...", false}}},
    };
    return menus;
}

const std::vector<ToolbarButtonResource>& main_toolbar_resource()
{
    static const std::vector<ToolbarButtonResource> buttons = {
        {-1, 0, false, nullptr},
        {0, CMD_OPEN, true, "Open"},
        {1, CMD_SAVE_DATA_FILE, false, "Save Data file as"},
        {2, CMD_KDN_DATA, false, "kdn data"},
        {3, CMD_STRUCTURE_VIEWER, false, "Structure"},
        {-1, 0, false, nullptr},
        {4, CMD_ACTIVATE_PROPERTY, false, "Activating a Property"},
        {5, CMD_DEFAULT_PARAMETERS, false, "Change default parameter values"},
        {6, CMD_CLUSTER, false, "cluster"},
        {-1, 0, false, nullptr},
        {7, CMD_PROPERTY_ALONG_LINE, false, "Property along a Line"},
        {8, CMD_MAP_OF_PROPERTY, false, "Map of property"},
        {9, CMD_CP_SEARCH, false, "CP Search"},
        {10, CMD_STOP, false, "STOP"},
        {11, CMD_PROPERTY_INTEGRATION, false, "Property Integration"},
        {-1, 0, false, nullptr},
        {12, CMD_HELP_CONTENTS, true, "Help Contents"},
        {-1, 0, false, nullptr},
        {13, CMD_EXIT, true, "Exit"},
        {-1, 0, false, nullptr},
    };
    return buttons;
}

const std::vector<int>& command_menu_items()
{
    static const std::vector<int> items = {
        CMD_OPEN, CMD_KDN_DATA, CMD_READ_MOLLY, CMD_READ_XD, CMD_OPTIONS, CMD_EXIT,
        CMD_MAP_FILE_OPERATIONS, CMD_READ_COVARIANCE, CMD_IMPORT_COVARIANCE, CMD_CLUSTER,
        CMD_SUBSET_ATOMS, CMD_PROMOLECULE_MODEL, CMD_DEFAULT_PARAMETERS, CMD_WAVEFUNCTION_BANK,
        CMD_CP_SEARCH, CMD_DIPOLE_MOMENT, CMD_PROPERTY_ALONG_LINE, CMD_MAP_OF_PROPERTY,
        CMD_PROPERTY_INTEGRATION, CMD_PSEUDOATOM_PARAMETERS, CMD_CHECK_POPULATIONS,
        CMD_LIST_POPULATIONS, CMD_UNUSED_30027, CMD_ACTIVATE_PROPERTY, CMD_POTENTIAL_CHARGES,
        CMD_QUADRUPOLE_MOMENT, CMD_SAVE_DATA_FILE};
    return items;
}

const std::vector<int>& command_toolbar_buttons()
{
    static const std::vector<int> buttons = {
        CMD_SAVE_DATA_FILE, CMD_KDN_DATA, CMD_OPEN, CMD_EXIT, CMD_ACTIVATE_PROPERTY, CMD_DEFAULT_PARAMETERS,
        CMD_CLUSTER, CMD_CP_SEARCH, CMD_MAP_OF_PROPERTY, CMD_PROPERTY_INTEGRATION, CMD_PROPERTY_ALONG_LINE};
    return buttons;
}
