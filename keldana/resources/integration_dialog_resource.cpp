#include "keldana/resources/integration_dialog_resource.h"

const DialogResource& integration_dialog_resource()
{
    static const DialogResource resource = {
        IDD_INTEGRATION, "Integration of the Property", 410, 246,
        {
            {CONTROL_STATIC_ID, ControlKind::static_text, "List of atoms", 10, 6, 90, 9},
            {CONTROL_STATIC_ID, ControlKind::static_text, "(asymmetric unit)", 10, 15, 90, 9},
            {IDC_INTEGRATION_ATOMS, ControlKind::list_box, "", 10, 26, 90, 118, CONTROL_MULTI_SELECT},
            {IDC_INTEGRATION_ALL_RIGHT, ControlKind::button, "All >>", 106, 40, 40, 14},
            {IDC_INTEGRATION_RIGHT, ControlKind::button, ">>", 106, 60, 40, 14},
            {IDC_INTEGRATION_LEFT, ControlKind::button, "<<", 106, 80, 40, 14},
            {IDC_INTEGRATION_ALL_LEFT, ControlKind::button, "<< All", 106, 100, 40, 14},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Selected atoms", 152, 15, 120, 9},
            {IDC_INTEGRATION_SELECTED, ControlKind::list_box, "", 152, 26, 248, 118},
            {IDC_INTEGRATION_IAS, ControlKind::radio_button, "IAS", 10, 152, 34, 10, CONTROL_GROUP},
            {IDC_INTEGRATION_PROP, ControlKind::radio_button, "PROP", 46, 152, 62, 10, CONTROL_CHECKED},
            {IDC_INTEGRATION_VOLUME, ControlKind::radio_button, "Volume", 110, 152, 44, 10},
            {IDC_INTEGRATION_PROPERTY, ControlKind::button, "Property", 160, 150, 50, 14, CONTROL_GROUP},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Theta points", 10, 170, 56, 9},
            {IDC_INTEGRATION_THETA, ControlKind::combo_box, "", 66, 168, 40, 100, CONTROL_EDITABLE},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Phi points", 114, 170, 52, 9},
            {IDC_INTEGRATION_PHI, ControlKind::combo_box, "", 166, 168, 44, 100, CONTROL_EDITABLE},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Save IAS as...", 10, 188, 66, 9},
            {IDC_IAS_FILE, ControlKind::edit, "", 78, 186, 88, 12},
            {IDC_IAS_SAVE, ControlKind::button, "Save...", 170, 185, 40, 14},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Read IAS from...", 10, 206, 66, 9},
            {IDC_IAS_READ_LIST, ControlKind::list_box, "", 78, 203, 88, 14},
            {IDC_IAS_OPEN, ControlKind::button, "Open...", 170, 203, 40, 14},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Tolerance IAS radius(Ang.) =", 214, 152, 140, 9},
            {IDC_IAS_TOLERANCE, ControlKind::edit, "", 356, 150, 44, 12},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Integration tolerance =", 214, 170, 140, 9},
            {IDC_INTEGRATION_TOLERANCE, ControlKind::edit, "", 356, 168, 44, 12},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Cluster radius around every atom", 214, 188, 140, 9},
            {IDC_CLUSTER_RADIUS, ControlKind::edit, "", 356, 186, 44, 12},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Gradient trajectory increment factor", 214, 206, 140, 9},
            {IDC_STEP_FACTOR, ControlKind::edit, "", 356, 204, 44, 12},
            {IDC_INTEGRATION_START, ControlKind::default_button, "Start", 130, 226, 56, 14},
            {IDC_INTEGRATION_EXIT, ControlKind::button, "Exit", 224, 226, 56, 14},
        },
        "Courier New", 8};
    return resource;
}
