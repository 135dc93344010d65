// Dialog templates of the maps: "MAP - Compute property on a 2D or 3D grid"
// with its five tab pages, "Property along a Line" and "Operations with Map
// files".
#pragma once

#include "common/qt/dialog_resource.h"

constexpr int IDD_MAP = 117;
constexpr int IDD_MAP_PAGE_ATOMS = 130;
constexpr int IDD_MAP_PAGE_VECTORS = 131;
constexpr int IDD_MAP_PAGE_CENTRE = 113;
constexpr int IDD_MAP_PAGE_GRID = 137;
constexpr int IDD_MAP_PAGE_TRAJECTORY = 184;
constexpr int IDD_LINE_PROFILE = 116;
constexpr int IDD_MAP_FILE_OPERATIONS = 170;

// Dialog 117.
constexpr int IDC_MAP_TABS = 1221;
constexpr int IDC_MAP_PROPERTY = 1133;
constexpr int IDC_MAP_OUT_BOX = 1214;
constexpr int IDC_MAP_FILE = 1217;
constexpr int IDC_POST_FILE = 1218;
constexpr int IDC_CALCULATE_PLANE = 1216;
constexpr int IDC_CALCULATE_MAP = 1154;
constexpr int IDC_MAP_CANCEL = 2;

// Page 130 "ATOMS" (points 1..3: atom, X, Y, Z) and page 131 "BASIS
// VECTORS" (vector 1: 1202, 1205, 1208; vector 2: 1203, 1206, 1209).
constexpr int IDC_POINT_1_ATOM = 1115;
constexpr int IDC_POINT_2_ATOM = 1116;
constexpr int IDC_POINT_3_ATOM = 1117;
constexpr int IDC_POINT_1_X = 1202;  // then Y 1203, Z 1204; point 2 1205..1207; point 3 1208..1210
constexpr int IDC_PLANE_OK = 1425;

// Page 113 "MAP TYPE AND CENTRE" (also 1115..1117: the centre atoms).
constexpr int IDC_MAP_2D = 1444;
constexpr int IDC_MAP_3D = 1445;
constexpr int IDC_MAP_PATHGRAF = 1446;
constexpr int IDC_PLANE_SHIFT = 1369;
constexpr int IDC_CENTRE_ATOM = 1228;
constexpr int IDC_CENTRE_TWO_ATOMS = 1229;
constexpr int IDC_CENTRE_THREE_ATOMS = 1236;
constexpr int IDC_CENTRE_POINT = 1230;
constexpr int IDC_CENTRE_X = 1129;
constexpr int IDC_CENTRE_Y = 1130;
constexpr int IDC_CENTRE_Z = 1131;

// Page 137 "GRID" (also the K, L, M and limit ids of page 184).
constexpr int IDC_GRID_X_MIN = 1136;
constexpr int IDC_GRID_X_MAX = 1137;
constexpr int IDC_GRID_Y_MIN = 1138;
constexpr int IDC_GRID_Y_MAX = 1139;
constexpr int IDC_GRID_Z_MIN = 1140;
constexpr int IDC_GRID_Z_MAX = 1141;
constexpr int IDC_GRID_X_STEP = 1010;
constexpr int IDC_GRID_Y_STEP = 1011;
constexpr int IDC_GRID_Z_STEP = 1012;
constexpr int IDC_GRID_X_POINTS = 1145;
constexpr int IDC_GRID_Y_POINTS = 1146;
constexpr int IDC_GRID_Z_POINTS = 1147;
constexpr int IDC_MAP_CLUSTER_K = 1144;
constexpr int IDC_MAP_CLUSTER_L = 1149;
constexpr int IDC_MAP_CLUSTER_M = 1150;

// Page 184 "TRAJECTORY" (also 1136..1139, 1144, 1149, 1150; 1369 the
// out-of-plane distance).
constexpr int IDC_PATH_COUNT = 1412;
constexpr int IDC_PATH_START = 1009;
constexpr int IDC_PATH_STEP = 1008;
constexpr int IDC_PATH_END_VALUE = 1413;
constexpr int IDC_OUT_OF_PLANE = 1369;

// Dialog 116.
constexpr int IDC_PROFILE_POINT_1 = 1105;
constexpr int IDC_PROFILE_POINT_2 = 1106;
constexpr int IDC_PROFILE_X1 = 1202;  // then Y1 1203, Z1 1204, X2 1205, Y2 1206, Z2 1207
constexpr int IDC_PROFILE_COUNT = 1101;
constexpr int IDC_PROFILE_Y_MIN = 1138;
constexpr int IDC_PROFILE_Y_MAX = 1139;
constexpr int IDC_PROFILE_FIRST = 1136;
constexpr int IDC_PROFILE_LAST = 1137;
constexpr int IDC_PROFILE_REFRESH = 1457;
constexpr int IDC_PROFILE_START = 1100;
constexpr int IDC_PROFILE_CLOSE = 2;
constexpr int IDC_PROFILE_PROPERTY = 1465;
constexpr int IDC_PROFILE_PROPERTY_NAME = 1109;
constexpr int IDC_PROFILE_CLUSTER_K = 1144;
constexpr int IDC_PROFILE_CLUSTER_L = 1149;
constexpr int IDC_PROFILE_CLUSTER_M = 1150;
// The up-down arrows of 1101, 1136 and 1137 (ids of their own: 1 and 2 are
// the dialog's buttons).
constexpr int IDC_PROFILE_COUNT_UPDOWN = 1601;
constexpr int IDC_PROFILE_FIRST_UPDOWN = 1602;
constexpr int IDC_PROFILE_LAST_UPDOWN = 1603;

// Dialog 170.
constexpr int IDC_MAP_ADDITION = 1386;
constexpr int IDC_MAP_SUBTRACTION = 1387;
constexpr int IDC_MAP_CUT_OFF = 1388;
constexpr int IDC_MAP_CUT_OFF_VALUE = 1394;
constexpr int IDC_MAP_INVERT = 1398;
constexpr int IDC_SOURCE_FILE_1 = 1369;
constexpr int IDC_SOURCE_1_BROWSE = 1380;
constexpr int IDC_SOURCE_FILE_2 = 1389;
constexpr int IDC_SOURCE_2_BROWSE = 1345;
constexpr int IDC_TARGET_FILE = 1390;
constexpr int IDC_TARGET_BROWSE = 1395;

const DialogResource& map_dialog_resource();
const DialogResource& map_atoms_page_resource();
const DialogResource& map_vectors_page_resource();
const DialogResource& map_centre_page_resource();
const DialogResource& map_grid_page_resource();
const DialogResource& map_trajectory_page_resource();
const DialogResource& line_profile_dialog_resource();
const DialogResource& map_file_operations_dialog_resource();
