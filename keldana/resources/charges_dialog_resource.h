// Dialog template 126, "Generate potential-derived charges".
#pragma once

#include "common/qt/dialog_resource.h"

constexpr int IDD_POTENTIAL_CHARGES = 126;

constexpr int IDC_CHARGES_GRID_POINTS = 1182;  // points per edge
constexpr int IDC_CHARGES_GRID_EDGE = 1183;    // edge length, Angstrom
constexpr int IDC_CHARGES_ENVELOPE = 1184;     // envelope width, Angstrom
constexpr int IDC_CHARGES_ARRAY_LIST = 1189;   // "at.num  array": one entry per atom
constexpr int IDC_CHARGES_ATOM_NUMBER = 1190;  // "Num.": the atom of the selected entry
constexpr int IDC_CHARGES_ARRAY_VALUE = 1188;  // "Array": its new value
constexpr int IDC_CHARGES_GENERATE = 1154;
constexpr int IDC_CHARGES_OK = 1;
constexpr int IDC_CHARGES_CANCEL = 2;

const DialogResource& potential_charges_dialog_resource();
