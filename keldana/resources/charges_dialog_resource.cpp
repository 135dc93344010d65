#include "keldana/resources/charges_dialog_resource.h"

const DialogResource& potential_charges_dialog_resource()
{
    constexpr ControlKind edit = ControlKind::edit;
    constexpr ControlKind label = ControlKind::static_text;
    static const DialogResource resource = {
        IDD_POTENTIAL_CHARGES, "Generate potential-derived charges", 236, 196,
        {
            {CONTROL_STATIC_ID, label, "Number of grid points per edge :", 8, 10, 150, 10},
            {IDC_CHARGES_GRID_POINTS, edit, "", 170, 8, 56, 12},
            {CONTROL_STATIC_ID, label, "Length of grid edge (Angstroms) :", 8, 26, 150, 10},
            {IDC_CHARGES_GRID_EDGE, edit, "", 170, 24, 56, 12},
            {CONTROL_STATIC_ID, label, "Envelope width for fitting points :", 8, 42, 150, 10},
            {IDC_CHARGES_ENVELOPE, edit, "", 170, 40, 56, 12},
            {CONTROL_STATIC_ID, ControlKind::group_box, "Fit-constraint array :", 8, 58, 220, 108},
            {CONTROL_STATIC_ID, label, "at.num  array ", 16, 70, 80, 10},
            {IDC_CHARGES_ARRAY_LIST, ControlKind::list_box, "", 16, 82, 80, 78},
            {CONTROL_STATIC_ID, label, "Num.", 110, 84, 40, 10},
            {IDC_CHARGES_ATOM_NUMBER, edit, "", 150, 82, 40, 12},
            {CONTROL_STATIC_ID, label, "Array", 110, 102, 40, 10},
            {IDC_CHARGES_ARRAY_VALUE, edit, "", 150, 100, 40, 12},
            {IDC_CHARGES_GENERATE, ControlKind::button, "Generate", 40, 174, 60, 14},
            {IDC_CHARGES_CANCEL, ControlKind::button, "Cancel", 136, 174, 60, 14},
        },
        "Courier New", 8};
    return resource;
}
