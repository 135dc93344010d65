// Dialog template 210, "Integration of the Property".
#pragma once

#include "common/qt/dialog_resource.h"

constexpr int IDD_INTEGRATION = 210;

constexpr int IDC_INTEGRATION_START = 1;
constexpr int IDC_INTEGRATION_EXIT = 2;
constexpr int IDC_INTEGRATION_ATOMS = 1471;     // "List of atoms" (asymmetric unit), multiple selection
constexpr int IDC_INTEGRATION_SELECTED = 1474;  // "Selected atoms"
constexpr int IDC_INTEGRATION_ALL_RIGHT = 1476;
constexpr int IDC_INTEGRATION_RIGHT = 1472;
constexpr int IDC_INTEGRATION_LEFT = 1473;
constexpr int IDC_INTEGRATION_ALL_LEFT = 1477;
constexpr int IDC_INTEGRATION_IAS = 1497;
constexpr int IDC_INTEGRATION_PROP = 1499;
constexpr int IDC_INTEGRATION_VOLUME = 1500;
constexpr int IDC_INTEGRATION_PROPERTY = 1465;
constexpr int IDC_INTEGRATION_THETA = 1475;
constexpr int IDC_INTEGRATION_PHI = 1369;
constexpr int IDC_IAS_TOLERANCE = 1489;
constexpr int IDC_INTEGRATION_TOLERANCE = 1487;
constexpr int IDC_IAS_FILE = 1491;
constexpr int IDC_IAS_SAVE = 1353;
constexpr int IDC_IAS_READ_LIST = 1495;
constexpr int IDC_IAS_OPEN = 1354;
constexpr int IDC_CLUSTER_RADIUS = 1256;
constexpr int IDC_STEP_FACTOR = 1509;

const DialogResource& integration_dialog_resource();
