#include "keldana/resources/map_dialogs.h"

namespace {

constexpr ControlKind STATIC = ControlKind::static_text;
constexpr ControlKind EDIT = ControlKind::edit;
constexpr ControlKind COMBO = ControlKind::combo_box;
constexpr ControlKind RADIO = ControlKind::radio_button;
constexpr ControlKind GROUP = ControlKind::group_box;
constexpr ControlKind BUTTON = ControlKind::button;
constexpr int NO_ID = CONTROL_STATIC_ID;

}  // namespace

const DialogResource& map_dialog_resource()
{
    static const DialogResource resource = {
        IDD_MAP, "MAP - Compute property on a 2D or 3D grid", 330, 332,
        {
            {NO_ID, STATIC, "Property : ", 8, 6, 44, 9},
            {IDC_MAP_PROPERTY, STATIC, "", 52, 6, 60, 9},
            {IDC_MAP_TABS, ControlKind::tab_control, "", 5, 18, 320, 150},
            {NO_ID, STATIC, "OUT BOX", 8, 172, 60, 9},
            {IDC_MAP_OUT_BOX, ControlKind::list_box, "", 5, 182, 320, 96},
            {NO_ID, GROUP, "Out Files", 5, 282, 186, 44},
            {NO_ID, STATIC, "map ", 12, 296, 20, 9},
            {IDC_MAP_FILE, EDIT, "", 34, 294, 150, 12},
            {NO_ID, STATIC, "post", 12, 310, 20, 9},
            {IDC_POST_FILE, ControlKind::read_only_edit, "", 34, 308, 150, 12},
            {IDC_CALCULATE_PLANE, BUTTON, "Calculate Plane", 196, 286, 64, 14},
            {IDC_CALCULATE_MAP, BUTTON, "Calculate Map", 262, 286, 64, 14},
            {IDC_MAP_CANCEL, BUTTON, "Cancel", 229, 306, 64, 14},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& map_atoms_page_resource()
{
    static const DialogResource resource = {
        IDD_MAP_PAGE_ATOMS, nullptr, 310, 130,
        {
            {NO_ID, STATIC, "atom", 62, 6, 30, 9},
            {NO_ID, STATIC, "X", 124, 6, 10, 9},
            {NO_ID, STATIC, "Y", 174, 6, 10, 9},
            {NO_ID, STATIC, "Z", 224, 6, 10, 9},
            {NO_ID, STATIC, "Point no.1", 8, 20, 50, 9},
            {IDC_POINT_1_ATOM, COMBO, "", 60, 18, 40, 100},
            {1202, EDIT, "", 104, 18, 48, 12},
            {1203, EDIT, "", 154, 18, 48, 12},
            {1204, EDIT, "", 204, 18, 48, 12},
            {NO_ID, STATIC, "Point no.2", 8, 38, 50, 9},
            {IDC_POINT_2_ATOM, COMBO, "", 60, 36, 40, 100},
            {1205, EDIT, "", 104, 36, 48, 12},
            {1206, EDIT, "", 154, 36, 48, 12},
            {1207, EDIT, "", 204, 36, 48, 12},
            {NO_ID, STATIC, "Point no.3", 8, 56, 50, 9},
            {IDC_POINT_3_ATOM, COMBO, "", 60, 54, 40, 100},
            {1208, EDIT, "", 104, 54, 48, 12},
            {1209, EDIT, "", 154, 54, 48, 12},
            {1210, EDIT, "", 204, 54, 48, 12},
            {IDC_PLANE_OK, BUTTON, "Ok", 262, 104, 40, 14},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& map_vectors_page_resource()
{
    static const DialogResource resource = {
        IDD_MAP_PAGE_VECTORS, nullptr, 310, 130,
        {
            {NO_ID, STATIC, "Set two Orthogonal Unit Basis Vectors", 8, 6, 200, 9},
            {NO_ID, STATIC, "x", 80, 20, 10, 9},
            {NO_ID, STATIC, "y", 130, 20, 10, 9},
            {NO_ID, STATIC, "z", 180, 20, 10, 9},
            {NO_ID, STATIC, "Vector 1", 8, 34, 48, 9},
            {1202, EDIT, "", 60, 32, 48, 12},
            {1205, EDIT, "", 110, 32, 48, 12},
            {1208, EDIT, "", 160, 32, 48, 12},
            {NO_ID, STATIC, "Vector 2", 8, 52, 48, 9},
            {1203, EDIT, "", 60, 50, 48, 12},
            {1206, EDIT, "", 110, 50, 48, 12},
            {1209, EDIT, "", 160, 50, 48, 12},
            {IDC_PLANE_OK, BUTTON, "Ok", 262, 104, 40, 14},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& map_centre_page_resource()
{
    static const DialogResource resource = {
        IDD_MAP_PAGE_CENTRE, nullptr, 310, 130,
        {
            {NO_ID, GROUP, " Map Type ", 6, 4, 150, 30},
            {IDC_MAP_2D, RADIO, "2D", 12, 14, 40, 14, CONTROL_GROUP | CONTROL_PUSH_LIKE | CONTROL_CHECKED},
            {IDC_MAP_3D, RADIO, "3D", 58, 14, 40, 14, CONTROL_PUSH_LIKE},
            {IDC_MAP_PATHGRAF, RADIO, "Pathgraf", 104, 14, 46, 14, CONTROL_PUSH_LIKE},
            {NO_ID, STATIC, "Shift Plane along Z axis", 164, 8, 100, 9, CONTROL_GROUP},
            {IDC_PLANE_SHIFT, EDIT, "", 164, 20, 40, 12},
            {NO_ID, STATIC, " Angstr.", 206, 22, 36, 9},
            {NO_ID, STATIC, "Select map centre as:", 6, 40, 100, 9},
            {IDC_CENTRE_ATOM, RADIO, "atom position", 10, 52, 100, 10, CONTROL_GROUP | CONTROL_CHECKED},
            {IDC_CENTRE_TWO_ATOMS, RADIO, "between 2 atoms", 10, 64, 100, 10},
            {IDC_CENTRE_THREE_ATOMS, RADIO, "between 3 atoms", 10, 76, 100, 10},
            {IDC_CENTRE_POINT, RADIO, "Arbitrary point", 10, 88, 100, 10},
            {NO_ID, GROUP, "Choose map centre point", 118, 40, 186, 64, CONTROL_GROUP},
            {NO_ID, STATIC, "atom 1", 124, 54, 30, 9},
            {IDC_POINT_1_ATOM, COMBO, "", 156, 52, 40, 100},
            {NO_ID, STATIC, "atom 2", 124, 70, 30, 9},
            {IDC_POINT_2_ATOM, COMBO, "", 156, 68, 40, 100},
            {NO_ID, STATIC, "atom 3", 124, 86, 30, 9},
            {IDC_POINT_3_ATOM, COMBO, "", 156, 84, 40, 100},
            {NO_ID, STATIC, "x0:", 206, 54, 14, 9},
            {IDC_CENTRE_X, EDIT, "", 222, 52, 60, 12},
            {NO_ID, STATIC, "y0:", 206, 70, 14, 9},
            {IDC_CENTRE_Y, EDIT, "", 222, 68, 60, 12},
            {NO_ID, STATIC, "z0:", 206, 86, 14, 9},
            {IDC_CENTRE_Z, EDIT, "", 222, 84, 60, 12},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& map_grid_page_resource()
{
    static const DialogResource resource = {
        IDD_MAP_PAGE_GRID, nullptr, 310, 130,
        {
            {NO_ID, GROUP, "GRID size and step", 6, 4, 298, 70},
            {NO_ID, STATIC, "Xmin", 12, 18, 20, 9},
            {IDC_GRID_X_MIN, EDIT, "", 34, 16, 40, 12},
            {NO_ID, STATIC, "Xmax", 80, 18, 20, 9},
            {IDC_GRID_X_MAX, EDIT, "", 102, 16, 40, 12},
            {NO_ID, STATIC, "XStep", 148, 18, 24, 9},
            {IDC_GRID_X_STEP, EDIT, "", 174, 16, 36, 12},
            {NO_ID, STATIC, "XPoints :", 216, 18, 38, 9},
            {IDC_GRID_X_POINTS, EDIT, "", 256, 16, 30, 12},
            {NO_ID, STATIC, "Ymin", 12, 36, 20, 9},
            {IDC_GRID_Y_MIN, EDIT, "", 34, 34, 40, 12},
            {NO_ID, STATIC, "Ymax", 80, 36, 20, 9},
            {IDC_GRID_Y_MAX, EDIT, "", 102, 34, 40, 12},
            {NO_ID, STATIC, "YStep", 148, 36, 24, 9},
            {IDC_GRID_Y_STEP, EDIT, "", 174, 34, 36, 12},
            {NO_ID, STATIC, "YPoints :", 216, 36, 38, 9},
            {IDC_GRID_Y_POINTS, EDIT, "", 256, 34, 30, 12},
            {NO_ID, STATIC, "Zmin", 12, 54, 20, 9},
            {IDC_GRID_Z_MIN, EDIT, "", 34, 52, 40, 12},
            {NO_ID, STATIC, "Zmax", 80, 54, 20, 9},
            {IDC_GRID_Z_MAX, EDIT, "", 102, 52, 40, 12},
            {NO_ID, STATIC, "ZStep", 148, 54, 24, 9},
            {IDC_GRID_Z_STEP, EDIT, "", 174, 52, 36, 12},
            {NO_ID, STATIC, "ZPoints :", 216, 54, 38, 9},
            {IDC_GRID_Z_POINTS, EDIT, "", 256, 52, 30, 12},
            {NO_ID, GROUP, "Cluster size", 6, 80, 298, 30},
            {NO_ID, STATIC, " (2K+1)x(2L+1)x(2M+1) ", 12, 94, 110, 9},
            {NO_ID, STATIC, "K =", 128, 94, 14, 9},
            {IDC_MAP_CLUSTER_K, EDIT, "", 144, 92, 24, 12},
            {NO_ID, STATIC, "L =", 176, 94, 14, 9},
            {IDC_MAP_CLUSTER_L, EDIT, "", 192, 92, 24, 12},
            {NO_ID, STATIC, "M =", 224, 94, 14, 9},
            {IDC_MAP_CLUSTER_M, EDIT, "", 240, 92, 24, 12},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& map_trajectory_page_resource()
{
    static const DialogResource resource = {
        IDD_MAP_PAGE_TRAJECTORY, nullptr, 310, 130,
        {
            {NO_ID, GROUP, "Trajectory grid size", 6, 4, 150, 48},
            {NO_ID, STATIC, "Xmin", 12, 18, 20, 9},
            {IDC_GRID_X_MIN, EDIT, "", 34, 16, 40, 12},
            {NO_ID, STATIC, "Xmax", 80, 18, 20, 9},
            {IDC_GRID_X_MAX, EDIT, "", 102, 16, 40, 12},
            {NO_ID, STATIC, "Ymin", 12, 34, 20, 9},
            {IDC_GRID_Y_MIN, EDIT, "", 34, 32, 40, 12},
            {NO_ID, STATIC, "Ymax", 80, 34, 20, 9},
            {IDC_GRID_Y_MAX, EDIT, "", 102, 32, 40, 12},
            {NO_ID, GROUP, "Cluster size  (2K+1)x(2L+1)x(2M+1) ", 6, 58, 150, 30},
            {NO_ID, STATIC, "K =", 12, 72, 14, 9},
            {IDC_MAP_CLUSTER_K, EDIT, "", 28, 70, 24, 12},
            {NO_ID, STATIC, "L =", 58, 72, 14, 9},
            {IDC_MAP_CLUSTER_L, EDIT, "", 74, 70, 24, 12},
            {NO_ID, STATIC, "M =", 104, 72, 14, 9},
            {IDC_MAP_CLUSTER_M, EDIT, "", 120, 70, 24, 12},
            {NO_ID, STATIC, "The number of PATHS =", 162, 8, 92, 9},
            {IDC_PATH_COUNT, EDIT, "", 256, 6, 44, 12},
            {NO_ID, STATIC, "Start PATH =", 162, 24, 92, 9},
            {IDC_PATH_START, EDIT, "", 256, 22, 44, 12},
            {NO_ID, STATIC, "Step along PATH =", 162, 40, 92, 9},
            {IDC_PATH_STEP, EDIT, "", 256, 38, 44, 12},
            {NO_ID, STATIC, "Out-of-plane", 162, 54, 80, 9},
            {NO_ID, STATIC, "distance", 162, 63, 60, 9},
            {NO_ID, STATIC, "<", 246, 58, 8, 9},
            {IDC_OUT_OF_PLANE, EDIT, "", 256, 56, 44, 12},
            {NO_ID, STATIC, "End PATH if Prop <", 162, 80, 92, 9},
            {IDC_PATH_END_VALUE, EDIT, "", 256, 78, 44, 12},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& line_profile_dialog_resource()
{
    static const DialogResource resource = {
        IDD_LINE_PROFILE, "Property along a Line", 400, 270,
        {
            {NO_ID, GROUP, "Property value", 334, 4, 62, 48},
            {NO_ID, STATIC, "Ymax", 338, 18, 20, 9},
            {IDC_PROFILE_Y_MAX, EDIT, "", 358, 16, 36, 12},
            {NO_ID, STATIC, "Ymin", 338, 34, 20, 9},
            {IDC_PROFILE_Y_MIN, EDIT, "", 358, 32, 36, 12},
            {NO_ID, GROUP, "Points on X", 334, 58, 62, 48},
            {NO_ID, STATIC, "min", 338, 72, 16, 9},
            {IDC_PROFILE_FIRST, EDIT, "", 356, 70, 26, 12},
            {IDC_PROFILE_FIRST_UPDOWN, ControlKind::up_down, "", 382, 70, 12, 12},
            {NO_ID, STATIC, "max", 338, 88, 16, 9},
            {IDC_PROFILE_LAST, EDIT, "", 356, 86, 26, 12},
            {IDC_PROFILE_LAST_UPDOWN, ControlKind::up_down, "", 382, 86, 12, 12},
            {IDC_PROFILE_REFRESH, BUTTON, "Refresh", 340, 112, 50, 14},
            {NO_ID, STATIC, "atom", 52, 194, 30, 9},
            {NO_ID, STATIC, "X", 134, 194, 10, 9},
            {NO_ID, STATIC, "Y", 186, 194, 10, 9},
            {NO_ID, STATIC, "Z", 238, 194, 10, 9},
            {NO_ID, STATIC, "Point 1", 6, 206, 30, 9},
            {IDC_PROFILE_POINT_1, COMBO, "", 40, 204, 70, 100},
            {1202, EDIT, "", 114, 204, 50, 12},
            {1203, EDIT, "", 166, 204, 50, 12},
            {1204, EDIT, "", 218, 204, 50, 12},
            {NO_ID, STATIC, "Point 2", 6, 222, 30, 9},
            {IDC_PROFILE_POINT_2, COMBO, "", 40, 220, 70, 100},
            {1205, EDIT, "", 114, 220, 50, 12},
            {1206, EDIT, "", 166, 220, 50, 12},
            {1207, EDIT, "", 218, 220, 50, 12},
            {NO_ID, STATIC, "Number of points", 6, 242, 62, 9},
            {NO_ID, STATIC, "(max=1001)", 6, 251, 62, 9},
            {IDC_PROFILE_COUNT, EDIT, "", 70, 242, 36, 12},
            {IDC_PROFILE_COUNT_UPDOWN, ControlKind::up_down, "", 106, 242, 12, 12},
            {NO_ID, GROUP, "Cluster size", 124, 236, 144, 28},
            {NO_ID, STATIC, "K =", 130, 249, 14, 9},
            {IDC_PROFILE_CLUSTER_K, EDIT, "", 146, 247, 22, 12},
            {NO_ID, STATIC, "L =", 174, 249, 14, 9},
            {IDC_PROFILE_CLUSTER_L, EDIT, "", 190, 247, 22, 12},
            {NO_ID, STATIC, "M =", 218, 249, 14, 9},
            {IDC_PROFILE_CLUSTER_M, EDIT, "", 234, 247, 22, 12},
            {IDC_PROFILE_PROPERTY, BUTTON, "Property", 276, 204, 50, 14},
            {IDC_PROFILE_PROPERTY_NAME, STATIC, "", 276, 222, 56, 9},
            {IDC_PROFILE_START, ControlKind::default_button, "Start", 340, 204, 50, 14},
            {IDC_PROFILE_CLOSE, BUTTON, "Close", 340, 222, 50, 14},
        },
        "MS Sans Serif", 8};
    return resource;
}

const DialogResource& map_file_operations_dialog_resource()
{
    static const DialogResource resource = {
        IDD_MAP_FILE_OPERATIONS, "Operations with Map files", 300, 176,
        {
            {NO_ID, STATIC,
             "The next operations are applicable only to 2D map files [ x, y,  P ] \n( for addition or "
             "substraction the files of maps should be identical )",
             8, 6, 284, 20},
            {IDC_MAP_ADDITION, RADIO, "Additon", 12, 32, 70, 10, CONTROL_GROUP | CONTROL_CHECKED},
            {IDC_MAP_SUBTRACTION, RADIO, "Substraction", 12, 44, 70, 10},
            {IDC_MAP_CUT_OFF, RADIO, "| Cut-off |  =", 12, 56, 70, 10},
            {IDC_MAP_CUT_OFF_VALUE, EDIT, "", 84, 54, 50, 12, CONTROL_GROUP | CONTROL_DISABLED},
            {IDC_MAP_INVERT, ControlKind::check_box, "Inver  P (value of property)", 150, 32, 140, 10},
            {NO_ID, STATIC, "Source file 1", 8, 76, 80, 9},
            {IDC_SOURCE_FILE_1, EDIT, "", 8, 86, 260, 12},
            {IDC_SOURCE_1_BROWSE, BUTTON, "...", 272, 86, 20, 12},
            {NO_ID, STATIC, "Source file 2", 8, 102, 80, 9},
            {IDC_SOURCE_FILE_2, EDIT, "", 8, 112, 260, 12},
            {IDC_SOURCE_2_BROWSE, BUTTON, "...", 272, 112, 20, 12},
            {NO_ID, STATIC, "Target file", 8, 128, 80, 9},
            {IDC_TARGET_FILE, EDIT, "", 8, 138, 260, 12},
            {IDC_TARGET_BROWSE, BUTTON, "...", 272, 138, 20, 12},
            {1, ControlKind::default_button, "OK", 90, 156, 50, 14},
            {2, BUTTON, "Cancel", 160, 156, 50, 14},
        },
        "MS Sans Serif", 8};
    return resource;
}
