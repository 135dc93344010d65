#include "keldana/resources/cluster_dialog_resource.h"

const DialogResource& symmetry_generation_dialog_resource()
{
    constexpr ControlKind radio = ControlKind::radio_button;
    constexpr ControlKind edit = ControlKind::edit;
    constexpr ControlKind label = ControlKind::static_text;
    // The three kinds of region (atom, point, box) are one group of radios.
    // The atom list is wide enough for its lines ("(I3,4X,A8,3F8.4)").
    static const DialogResource resource = {
        IDD_SYMMETRY_GENERATION, "Generation symmetry-related atoms", 356, 262,
        {
            {CONTROL_STATIC_ID, ControlKind::group_box, "Sphere around ", 7, 4, 232, 66},
            {IDC_SPHERE_AROUND_ATOM, radio, "atom", 14, 17, 37, 10, CONTROL_GROUP},
            {IDC_ATOM_LIST, ControlKind::combo_box, "", 52, 15, 180, 90},
            {IDC_SPHERE_AROUND_POINT, radio, "point", 14, 33, 37, 10},
            {IDC_POINT_X, edit, "", 52, 32, 48, 12},
            {IDC_POINT_Y, edit, "", 105, 32, 48, 12},
            {IDC_POINT_Z, edit, "", 158, 32, 48, 12},
            {CONTROL_STATIC_ID, label, "Radius", 14, 52, 34, 10},
            {IDC_RADIUS, edit, "", 52, 50, 48, 12},
            {CONTROL_STATIC_ID, label, "in Angstroms", 105, 52, 60, 10},
            {CONTROL_STATIC_ID, ControlKind::group_box, "Volume restricted by", 7, 74, 232, 58},
            {IDC_BOX, radio, "coordinates", 14, 87, 61, 10},
            {IDC_BOX_X1, edit, "", 76, 86, 48, 12},
            {IDC_BOX_X2, edit, "", 130, 86, 48, 12},
            {IDC_BOX_Y1, edit, "", 76, 101, 48, 12},
            {IDC_BOX_Y2, edit, "", 130, 101, 48, 12},
            {IDC_BOX_Z1, edit, "", 76, 116, 48, 12},
            {IDC_BOX_Z2, edit, "", 130, 116, 48, 12},
            {IDC_FRACTIONAL, radio, "Fractional", 248, 8, 60, 10, CONTROL_GROUP},
            {IDC_CARTESIAN, radio, "Cartesian", 248, 20, 60, 10},
            {CONTROL_STATIC_ID, label, "Lattice type:", 248, 36, 60, 10},
            {IDC_LATTICE_P, radio, "P", 248, 48, 24, 10, CONTROL_GROUP},
            {IDC_LATTICE_A, radio, "A", 274, 48, 24, 10},
            {IDC_LATTICE_B, radio, "B", 300, 48, 24, 10},
            {IDC_LATTICE_C, radio, "C", 326, 48, 24, 10},
            {IDC_LATTICE_F, radio, "F", 248, 60, 24, 10},
            {IDC_LATTICE_I, radio, "I", 274, 60, 24, 10},
            {IDC_LATTICE_R_RHOMBOHEDRAL, radio, "R(r)", 248, 72, 36, 10},
            {IDC_LATTICE_R_HEXAGONAL, radio, "R(h)", 288, 72, 36, 10},
            {IDC_READ_CLUSTER, ControlKind::button, "Read default cluster", 248, 88, 100, 14},
            {IDC_GENERATE_CLUSTER, ControlKind::button, "Generate new cluster", 248, 104, 100, 14},
            {IDC_SET_DEFAULT_CLUSTER, ControlKind::button, "Set as default cluster", 248, 120, 100, 14},
            {IDC_CLUSTER_LINES, ControlKind::list_box, "", 7, 138, 342, 96},
            {IDC_APPLY, ControlKind::default_button, "Apply", 118, 242, 50, 14},
            {IDC_CANCEL, ControlKind::button, "Cancel", 188, 242, 50, 14},
        },
        "Courier New", 8};
    return resource;
}

const DialogResource& lattice_dialog_resource()
{
    constexpr unsigned push_like = CONTROL_PUSH_LIKE;
    static const DialogResource resource = {
        IDD_LATTICE, "Lattice", 150, 74,
        {
            {CONTROL_STATIC_ID, ControlKind::static_text, "SET LATTICE TYPE", 10, 6, 130, 10},
            {IDC_LATTICE_P, ControlKind::radio_button, "P", 10, 20, 28, 14, push_like | CONTROL_GROUP},
            {IDC_LATTICE_A, ControlKind::radio_button, "A", 42, 20, 28, 14, push_like},
            {IDC_LATTICE_B, ControlKind::radio_button, "B", 74, 20, 28, 14, push_like},
            {IDC_LATTICE_C, ControlKind::radio_button, "C", 106, 20, 28, 14, push_like},
            {IDC_LATTICE_F, ControlKind::radio_button, "F", 10, 36, 28, 14, push_like},
            {IDC_LATTICE_I, ControlKind::radio_button, "I", 42, 36, 28, 14, push_like},
            {IDC_LATTICE_R_RHOMBOHEDRAL, ControlKind::radio_button, "R(r)", 74, 36, 28, 14, push_like},
            {IDC_LATTICE_R_HEXAGONAL, ControlKind::radio_button, "R(h)", 106, 36, 28, 14, push_like},
            {IDC_OK, ControlKind::default_button, "OK", 50, 54, 50, 14},
        },
        "MS Sans Serif", 8};
    return resource;
}
