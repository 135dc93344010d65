#include "keldana/resources/topology_dialogs.h"

namespace {

constexpr ControlKind label = ControlKind::static_text;
constexpr ControlKind edit = ControlKind::edit;
constexpr ControlKind group = ControlKind::group_box;
constexpr int unnamed = CONTROL_STATIC_ID;

}  // namespace

const DialogResource& cp_search_dialog_resource()
{
    static const DialogResource resource = {
        IDD_CP_SEARCH, "Critical Point Search", 400, 290,
        {
            {unnamed, label, "ATOM LIST", 7, 4, 60, 9},
            {unnamed, label, " num   atom     mask     xf      yf      zf", 7, 14, 200, 9},
            {IDC_CP_ATOM_LIST, ControlKind::list_box, "", 7, 24, 210, 110},
            {unnamed, label, "Property:", 226, 24, 56, 9},
            {IDC_CP_PROPERTY, label, "", 286, 24, 100, 9},
            {unnamed, label, "Axis system:", 226, 38, 56, 9},
            {IDC_CP_AXIS_SYSTEM, label, "", 286, 38, 100, 9},
            {unnamed, label, "Derivatives:", 226, 52, 56, 9},
            {IDC_CP_DERIVATIVES, label, "", 286, 52, 100, 9},
            {IDC_CP_TABS, ControlKind::tab_control, "", 7, 140, 386, 122},
            {IDC_START_SEARCH, ControlKind::default_button, "Start Search", 120, 270, 70, 14},
            {IDC_SEARCH_CANCEL, ControlKind::button, "Cancel", 210, 270, 70, 14},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& cp_atoms_page_resource()
{
    static const DialogResource resource = {
        IDD_CP_PAGE_ATOMS, nullptr, 380, 104,
        {
            {unnamed, group, " Search CP along ", 4, 2, 176, 60},
            {IDC_ALL_LINES, ControlKind::radio_button, "all interatomic lines", 10, 13, 160, 10, CONTROL_GROUP},
            {IDC_CERTAIN_LINE, ControlKind::radio_button, "certain interatomic line", 10, 25, 160, 10},
            {unnamed, label, "From:", 10, 41, 24, 9, CONTROL_GROUP},
            {IDC_PAIR_FROM, ControlKind::combo_box, "", 36, 39, 44, 80, CONTROL_EDITABLE},
            {unnamed, label, "To:", 92, 41, 18, 9},
            {IDC_PAIR_TO, ControlKind::combo_box, "", 112, 39, 44, 80, CONTROL_EDITABLE},
            {unnamed, group, " Search distances ", 186, 2, 90, 60},
            {unnamed, label, "Min.:", 192, 17, 30, 9},
            {IDC_MIN_DISTANCE, edit, "", 226, 15, 40, 12},
            {unnamed, label, "Max.: ", 192, 35, 30, 9},
            {IDC_MAX_DISTANCE, edit, "", 226, 33, 40, 12},
            {unnamed, group, " Cluster size ", 282, 2, 94, 60},
            {unnamed, label, "K =", 290, 15, 20, 9},
            {IDC_CLUSTER_K, edit, "", 314, 13, 30, 12},
            {unnamed, label, "L =", 290, 30, 20, 9},
            {IDC_CLUSTER_L, edit, "", 314, 28, 30, 12},
            {unnamed, label, "M =", 290, 45, 20, 9},
            {IDC_CLUSTER_M, edit, "", 314, 43, 30, 12},
            {IDC_SEARCH_HH, ControlKind::check_box, "search -H...H-", 10, 70, 120, 10},
            {IDC_HBOND_FILTER, ControlKind::check_box, "search X-H...X if angle grate ", 10, 86, 170, 10},
            {IDC_HBOND_ANGLE, edit, "", 184, 84, 40, 12},
        },
        "MS Sans Serif", 8};
    return resource;
}

const DialogResource& cp_ring_page_resource()
{
    static const DialogResource resource = {
        IDD_CP_PAGE_RING, nullptr, 380, 104,
        {
            {unnamed, label, "No. of atoms in Ring/Cage:", 4, 6, 110, 9},
            {IDC_RING_COUNT, edit, "", 118, 4, 30, 12},
            {IDC_RING_ADD, ControlKind::button, "<< Input from  list", 4, 24, 100, 14},
            {IDC_RING_REMOVE, ControlKind::button, ">> Reject atom", 4, 42, 100, 14},
            {unnamed, label, "The Ring/Cage atom sequence No.:", 160, 2, 200, 9},
            {IDC_RING_ATOMS, ControlKind::list_box, "", 160, 12, 216, 88},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& cp_point_page_resource()
{
    static const DialogResource resource = {
        IDD_CP_PAGE_POINT, nullptr, 380, 104,
        {
            {IDC_POINT_CARTESIAN, ControlKind::radio_button, "Cartesian", 10, 10, 70, 10, CONTROL_GROUP},
            {IDC_POINT_FRACTIONAL, ControlKind::radio_button, "Fractional", 10, 24, 70, 10},
            {unnamed, label, "Search from specified point ", 100, 4, 200, 9, CONTROL_GROUP},
            {unnamed, label, "X", 100, 20, 10, 9},
            {IDC_START_X, edit, "", 112, 18, 56, 12},
            {unnamed, label, "Y", 176, 20, 10, 9},
            {IDC_START_Y, edit, "", 188, 18, 56, 12},
            {unnamed, label, "Z", 252, 20, 10, 9},
            {IDC_START_Z, edit, "", 264, 18, 56, 12},
        },
        "MS Sans Serif", 8};
    return resource;
}

const DialogResource& cp_shell_page_resource()
{
    static const DialogResource resource = {
        IDD_CP_PAGE_SHELL, nullptr, 380, 104,
        {
            {unnamed, label, "Search in spherical shell around an atom", 4, 2, 200, 9},
            {unnamed, label, "atom", 4, 18, 24, 9},
            {IDC_SHELL_ATOM, ControlKind::combo_box, "", 30, 16, 44, 80, CONTROL_EDITABLE},
            {unnamed, group, "radius", 84, 12, 90, 50},
            {unnamed, label, "rMin", 90, 26, 24, 9},
            {IDC_SHELL_R_MIN, edit, "", 118, 24, 48, 12},
            {unnamed, label, "rMax", 90, 44, 24, 9},
            {IDC_SHELL_R_MAX, edit, "", 118, 42, 48, 12},
            {unnamed, group, "steps", 180, 12, 100, 66},
            {unnamed, label, "nRad", 186, 26, 30, 9},
            {IDC_SHELL_N_RAD, edit, "", 220, 24, 48, 12},
            {unnamed, label, "nTheta", 186, 42, 30, 9},
            {IDC_SHELL_N_THETA, edit, "", 220, 40, 48, 12},
            {unnamed, label, "nPhi", 186, 58, 30, 9},
            {IDC_SHELL_N_PHI, edit, "", 220, 56, 48, 12},
            {unnamed, label, "|Grad|", 290, 14, 60, 9},
            {unnamed, label, "Cut", 290, 28, 20, 9},
            {IDC_SHELL_CUT, edit, "", 314, 26, 56, 12},
            {IDC_SHELL_SHOW_INSIDE, ControlKind::check_box, "show CP which are inside the given interval", 4, 86,
             260, 10},
        },
        "MS Sans Serif", 8};
    return resource;
}

const DialogResource& bond_path_dialog_resource()
{
    static const DialogResource resource = {
        IDD_BOND_PATH, "Compute a Bond Path in total density", 260, 110,
        {
            {unnamed, label, "If CP is a (3,-1) and in the total density, so it is sensible to compute the bond path",
             8, 6, 244, 20},
            {unnamed, label, "Which CP?", 8, 32, 44, 9},
            {IDC_BOND_PATH_CP, edit, "", 56, 30, 30, 12},
            {IDC_BOND_PATH_COUNT, label, "", 100, 32, 150, 9},
            {IDC_BOND_PATH_RESULT, label, "", 8, 52, 244, 20},
            {IDC_BOND_PATH_CALCULATE, ControlKind::default_button, "Calculate", 60, 86, 60, 14},
            {IDC_BOND_PATH_CANCEL, ControlKind::button, "Cancel", 140, 86, 60, 14},
        },
        "MS Sans Serif", 8};
    return resource;
}
