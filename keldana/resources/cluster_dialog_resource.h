// Dialog templates of the cluster: "Generation symmetry-related atoms" and
// the small "Lattice" dialog.
#pragma once

#include "common/qt/dialog_resource.h"

constexpr int IDD_SYMMETRY_GENERATION = 142;
constexpr int IDD_LATTICE = 221;

// Controls of both dialogs (the lattice radios share their ids).
constexpr int IDC_FRACTIONAL = 1261;
constexpr int IDC_CARTESIAN = 1262;
constexpr int IDC_LATTICE_P = 1263;
constexpr int IDC_LATTICE_A = 1264;
constexpr int IDC_LATTICE_B = 1265;
constexpr int IDC_LATTICE_C = 1266;
constexpr int IDC_LATTICE_F = 1267;
constexpr int IDC_LATTICE_I = 1191;
constexpr int IDC_LATTICE_R_RHOMBOHEDRAL = 1462;  // "R(r)"
constexpr int IDC_LATTICE_R_HEXAGONAL = 1463;     // "R(h)"
constexpr int IDC_SPHERE_AROUND_ATOM = 1242;
constexpr int IDC_SPHERE_AROUND_POINT = 1252;
constexpr int IDC_ATOM_LIST = 1244;
constexpr int IDC_POINT_X = 1121;
constexpr int IDC_POINT_Y = 1122;
constexpr int IDC_POINT_Z = 1255;
constexpr int IDC_RADIUS = 1256;
constexpr int IDC_BOX = 1230;
constexpr int IDC_BOX_X1 = 1136;
constexpr int IDC_BOX_X2 = 1137;
constexpr int IDC_BOX_Y1 = 1138;
constexpr int IDC_BOX_Y2 = 1139;
constexpr int IDC_BOX_Z1 = 1140;
constexpr int IDC_BOX_Z2 = 1141;
constexpr int IDC_CLUSTER_LINES = 1214;
constexpr int IDC_READ_CLUSTER = 1503;
constexpr int IDC_GENERATE_CLUSTER = 1502;
constexpr int IDC_SET_DEFAULT_CLUSTER = 1353;
constexpr int IDC_APPLY = 1;
constexpr int IDC_OK = 1;  // of the "Lattice" dialog
constexpr int IDC_CANCEL = 2;

const DialogResource& symmetry_generation_dialog_resource();
const DialogResource& lattice_dialog_resource();
