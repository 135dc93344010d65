// Dialog templates of the topological analysis: "Critical Point Search" with
// its four tab pages, and "Compute a Bond Path in total density".
#pragma once

#include "common/qt/dialog_resource.h"

constexpr int IDD_CP_SEARCH = 110;
constexpr int IDD_CP_PAGE_ATOMS = 171;
constexpr int IDD_CP_PAGE_RING = 172;
constexpr int IDD_CP_PAGE_POINT = 173;
constexpr int IDD_CP_PAGE_SHELL = 174;
constexpr int IDD_BOND_PATH = 122;

// Dialog 110.
constexpr int IDC_START_SEARCH = 1084;
constexpr int IDC_SEARCH_CANCEL = 2;
constexpr int IDC_CP_ATOM_LIST = 1052;
constexpr int IDC_CP_TABS = 1399;
constexpr int IDC_CP_PROPERTY = 1408;
constexpr int IDC_CP_AXIS_SYSTEM = 1371;
constexpr int IDC_CP_DERIVATIVES = 1372;

// Page 171 "Atom-atom".
constexpr int IDC_ALL_LINES = 1063;
constexpr int IDC_CERTAIN_LINE = 1062;
constexpr int IDC_PAIR_FROM = 1089;
constexpr int IDC_PAIR_TO = 1090;
constexpr int IDC_MIN_DISTANCE = 1097;
constexpr int IDC_MAX_DISTANCE = 1096;
constexpr int IDC_CLUSTER_K = 1144;
constexpr int IDC_CLUSTER_L = 1149;
constexpr int IDC_CLUSTER_M = 1150;
constexpr int IDC_SEARCH_HH = 1438;
constexpr int IDC_HBOND_FILTER = 1439;
constexpr int IDC_HBOND_ANGLE = 1369;

// Page 172 "Ring/Cage".
constexpr int IDC_RING_COUNT = 1067;
constexpr int IDC_RING_ATOMS = 1092;
constexpr int IDC_RING_ADD = 1093;
constexpr int IDC_RING_REMOVE = 1094;

// Page 173 "Point".
constexpr int IDC_POINT_CARTESIAN = 1057;
constexpr int IDC_POINT_FRACTIONAL = 1058;
constexpr int IDC_START_X = 1070;
constexpr int IDC_START_Y = 1071;
constexpr int IDC_START_Z = 1072;

// Page 174 "Shell".
constexpr int IDC_SHELL_ATOM = 1075;
constexpr int IDC_SHELL_R_MIN = 1079;
constexpr int IDC_SHELL_R_MAX = 1080;
constexpr int IDC_SHELL_N_RAD = 1078;
constexpr int IDC_SHELL_N_THETA = 1076;
constexpr int IDC_SHELL_N_PHI = 1077;
constexpr int IDC_SHELL_CUT = 1081;
constexpr int IDC_SHELL_SHOW_INSIDE = 1427;

// Dialog 122.
constexpr int IDC_BOND_PATH_CALCULATE = 1154;
constexpr int IDC_BOND_PATH_CANCEL = 2;
constexpr int IDC_BOND_PATH_CP = 1174;
constexpr int IDC_BOND_PATH_RESULT = 1175;
constexpr int IDC_BOND_PATH_COUNT = 1176;

const DialogResource& cp_search_dialog_resource();
const DialogResource& cp_atoms_page_resource();
const DialogResource& cp_ring_page_resource();
const DialogResource& cp_point_page_resource();
const DialogResource& cp_shell_page_resource();
const DialogResource& bond_path_dialog_resource();
