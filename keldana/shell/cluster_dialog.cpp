#include "keldana/shell/cluster_dialog.h"

#include "common/file_units.h"
#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "common/qt/qt_user_interface.h"
#include "common/user_interface.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/cluster_files.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/resources/cluster_dialog_resource.h"

#include <QApplication>
#include <QWidget>

#include <array>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::array<int, 11> ENTRY_FIELDS = {IDC_ATOM_LIST, IDC_RADIUS, IDC_POINT_X, IDC_POINT_Y,
                                              IDC_POINT_Z,   IDC_BOX_X1, IDC_BOX_Y1,  IDC_BOX_Z1,
                                              IDC_BOX_X2,    IDC_BOX_Y2, IDC_BOX_Z2};
constexpr std::array<int, 6> BOX_FIELDS = {IDC_BOX_X1, IDC_BOX_X2, IDC_BOX_Y1, IDC_BOX_Y2, IDC_BOX_Z1, IDC_BOX_Z2};
constexpr int FIELD_TEXT_LENGTH = 8;  // only the first characters of an entry field count

// Lattice radios and the lattice type each one sets.
constexpr std::array<std::pair<int, int>, 8> LATTICE_RADIOS = {{
    {IDC_LATTICE_P, 1},
    {IDC_LATTICE_A, 2},
    {IDC_LATTICE_B, 3},
    {IDC_LATTICE_C, 4},
    {IDC_LATTICE_F, 5},
    {IDC_LATTICE_I, 6},
    {IDC_LATTICE_R_RHOMBOHEDRAL, 1},  // rhombohedral axes: a primitive cell
    {IDC_LATTICE_R_HEXAGONAL, 7},
}};

struct GenerationDialogState {
    StructureModel& model;
    int kind = CLUSTER_AROUND_ATOM;
};

void show_error(const std::string& text)
{
    ui().message_box(text, "ERROR!", MessageButtons::ok, MessageIcon::warning);
}

void set_symmetry_dialog_fields_state(Dialog& dialog)
{
    for (int id : ENTRY_FIELDS)
        dialog.set_enabled(id, false);
}

std::vector<std::string> cluster_lines(const Dialog& dialog)
{
    std::vector<std::string> lines;
    const int count = dialog.get_item_count(IDC_CLUSTER_LINES);
    for (int j = 0; j < count; ++j)
        lines.push_back(dialog.get_item_text(IDC_CLUSTER_LINES, j));
    return lines;
}

void enable_saving(Dialog& dialog)
{
    dialog.set_enabled(IDC_SET_DEFAULT_CLUSTER, true);
    dialog.set_enabled(IDC_APPLY, true);
}

void on_symmetry_generation_control(Dialog& dialog, int id, const StructureModel& model)
{
    switch (id) {
    case IDC_BOX:
        set_symmetry_dialog_fields_state(dialog);
        for (int field : BOX_FIELDS)
            dialog.set_enabled(field, true);
        break;
    case IDC_SPHERE_AROUND_ATOM:
        set_symmetry_dialog_fields_state(dialog);
        dialog.set_enabled(IDC_ATOM_LIST, true);
        dialog.set_enabled(IDC_RADIUS, true);
        break;
    case IDC_SPHERE_AROUND_POINT:
        set_symmetry_dialog_fields_state(dialog);
        for (int field : {IDC_POINT_X, IDC_POINT_Y, IDC_POINT_Z, IDC_RADIUS})
            dialog.set_enabled(field, true);
        break;
    case IDC_SET_DEFAULT_CLUSTER:
        // Saved where the cluster builder looks for it.
        write_cluster_file(default_cluster_file_path(model.translations.unit_cell_mode,
                                                     run_settings().file_dialog.working_directory),
                           cluster_lines(dialog));
        break;
    default:
        break;
    }
}

void on_read_cluster_file(Dialog& dialog)
{
    run_settings().file_dialog.dialog_mode = "open";
    run_file_dialog("Keldana cluster file (*.cls)", "*.cls");
    if (file_dialog_cancelled())
        return;
    const std::string path = run_settings().file_dialog.dialog_path;
    // A file that cannot be opened ends the read quietly; one that is no
    // cluster file at all (a FIFO, a device, a huge file) is named.
    std::ifstream input;
    std::string refusal;
    if (!open_input_file(path, input, refusal, std::ios::in)) {
        if (!refusal.empty())
            show_error(refusal);
        return;
    }
    std::vector<std::string> lines;
    if (!read_cluster_file_lines(input, path, lines))
        return;
    dialog.clear_items(IDC_CLUSTER_LINES);
    for (const std::string& line : lines)
        dialog.add_item(IDC_CLUSTER_LINES, line);
    enable_saving(dialog);
}

// Reads the region of the chosen kind: radius and centre (Cartesian) of a
// sphere, or the fractional box.  False after the message on a bad field.
bool read_region(const Dialog& dialog, const StructureModel& model, int kind, double& radius, Vector3& centre,
                 std::array<double, 6>& box)
{
    const OrthogonalisationMatrix& m = model.orthogonalisation;
    if (kind == CLUSTER_IN_BOX) {
        for (std::size_t i = 0; i < BOX_FIELDS.size(); ++i)
            if (!dialog.get_number(BOX_FIELDS[i], box[i], FIELD_TEXT_LENGTH))
                return false;
        if (dialog.get_checked(IDC_CARTESIAN)) {
            convert_cartesian_to_fractional(m, box[0], box[2], box[4], box[0], box[2], box[4]);
            convert_cartesian_to_fractional(m, box[1], box[3], box[5], box[1], box[3], box[5]);
        }
        return true;
    }
    if (!dialog.get_number(IDC_RADIUS, radius, FIELD_TEXT_LENGTH))
        return false;
    if (kind == CLUSTER_AROUND_ATOM) {
        int atom = 0;
        const std::string text = dialog.get_text(IDC_ATOM_LIST);
        if (!read_list(text, {&atom}) || atom < 1 || atom > model.atoms.independent_atom_count)
            return false;
        centre = {model.atoms.cart_x[atom], model.atoms.cart_y[atom], model.atoms.cart_z[atom]};
        return true;
    }
    if (!dialog.get_number(IDC_POINT_X, centre[0], FIELD_TEXT_LENGTH)
        || !dialog.get_number(IDC_POINT_Y, centre[1], FIELD_TEXT_LENGTH)
        || !dialog.get_number(IDC_POINT_Z, centre[2], FIELD_TEXT_LENGTH))
        return false;
    if (dialog.get_checked(IDC_FRACTIONAL))
        convert_fractional_to_cartesian(m, centre[0], centre[1], centre[2], centre[0], centre[1], centre[2]);
    return true;
}

void on_generate_cluster(Dialog& dialog, GenerationDialogState& state)
{
    ScopedWaitCursor wait;  // generation can take a moment
    StructureModel& model = state.model;
    const bool unit_cell = model.translations.unit_cell_mode == 1;
    double radius = 0;
    Vector3 centre{};
    std::array<double, 6> box = {0, 1, 0, 1, 0, 1};
    if (unit_cell) {
        state.kind = CLUSTER_IN_BOX;
    } else {
        if (dialog.get_checked(IDC_SPHERE_AROUND_ATOM))
            state.kind = CLUSTER_AROUND_ATOM;
        else if (dialog.get_checked(IDC_SPHERE_AROUND_POINT))
            state.kind = CLUSTER_AROUND_POINT;
        else if (dialog.get_checked(IDC_BOX))
            state.kind = CLUSTER_IN_BOX;
        if (!read_region(dialog, model, state.kind, radius, centre, box)) {
            show_error("Can not read data. Please, check data in boxes");
            return;
        }
    }
    for (const auto& [id, type] : LATTICE_RADIOS)
        if (dialog.get_checked(id))
            model.space_group.lattice_type = type;
    if (model.space_group.lattice_type == 0) {
        show_error("Please, set lattice type");
        return;
    }

    dialog.clear_items(IDC_CLUSTER_LINES);
    dialog.add_item(IDC_CLUSTER_LINES, unit_cell ? CLUSTER_TITLE_UNIT_CELL : CLUSTER_TITLE_IN_SPACE);
    dialog.add_item(IDC_CLUSTER_LINES, CLUSTER_COLUMN_HEADER);
    generate_cluster_images(model, radius, centre, box, model.space_group.lattice_type, state.kind);
    const SymmetryApplicationList& list = model.applications;
    for (int e = 1; e <= list.entry_count; ++e)
        dialog.add_item(IDC_CLUSTER_LINES, format_cluster_line(list, e, model.atoms.independent_atom_count));
    enable_saving(dialog);
}

// Apply takes the lines as they stand; lines that cannot make a cluster are
// reported and the dialog stays open.
void on_apply(Dialog& dialog, StructureModel& model)
{
    SymmetryApplicationList list;
    if (!parse_cluster_lines(cluster_lines(dialog), "the cluster list", list) ||
        !check_symmetry_application_list(model, list))
        return;
    model.applications = list;
    dialog.end(IDC_APPLY);
}

void prepare_generation_dialog(Dialog& dialog, GenerationDialogState& state)
{
    StructureModel& model = state.model;
    set_symmetry_dialog_fields_state(dialog);
    for (int id : {IDC_BOX_X1, IDC_BOX_Y1, IDC_BOX_Z1})
        dialog.set_text(id, " 0");
    for (int id : {IDC_BOX_X2, IDC_BOX_Y2, IDC_BOX_Z2})
        dialog.set_text(id, " 1");
    dialog.set_text(IDC_RADIUS, "0.0");
    dialog.set_checked(IDC_FRACTIONAL, true);
    dialog.set_checked(IDC_CARTESIAN, false);

    if (model.translations.unit_cell_mode == 1) {
        dialog.set_enabled(IDC_CARTESIAN, false);
        dialog.set_checked(IDC_SPHERE_AROUND_ATOM, false);
        dialog.set_checked(IDC_SPHERE_AROUND_POINT, false);
        for (int id : {IDC_SPHERE_AROUND_ATOM, IDC_SPHERE_AROUND_POINT, IDC_BOX, IDC_CANCEL})
            dialog.set_enabled(id, false);
    } else {
        const WorkingAtomSet& atoms = model.atoms;
        for (int a = 1; a <= atoms.independent_atom_count; ++a)
            dialog.add_item(IDC_ATOM_LIST, format_line("(I3,4X,A8,3F8.4)", {a, atoms.atom_label[a], atoms.frac_x[a],
                                                                             atoms.frac_y[a], atoms.frac_z[a]}));
        dialog.set_selected_index(IDC_ATOM_LIST, atoms.independent_atom_count > 0 ? 0 : -1);
        for (int id : {IDC_POINT_X, IDC_POINT_Y, IDC_POINT_Z})
            dialog.set_text(id, "  0.0");
        dialog.set_checked(IDC_SPHERE_AROUND_ATOM, true);
        dialog.set_enabled(IDC_ATOM_LIST, true);
        dialog.set_enabled(IDC_RADIUS, true);
        for (const auto& [id, type] : LATTICE_RADIOS)
            if (type == model.space_group.lattice_type && id != IDC_LATTICE_R_RHOMBOHEDRAL)
                dialog.set_checked(id, true);
        for (int id : {IDC_SPHERE_AROUND_ATOM, IDC_SPHERE_AROUND_POINT, IDC_BOX})
            dialog.set_callback(id, [&model](Dialog& d, int control, ControlEvent) {
                on_symmetry_generation_control(d, control, model);
            });
    }

    dialog.set_enabled(IDC_SET_DEFAULT_CLUSTER, false);
    dialog.set_enabled(IDC_APPLY, false);
    dialog.set_callback(IDC_READ_CLUSTER, [](Dialog& d, int, ControlEvent) { on_read_cluster_file(d); });
    dialog.set_callback(IDC_GENERATE_CLUSTER,
                        [&state](Dialog& d, int, ControlEvent) { on_generate_cluster(d, state); });
    dialog.set_callback(IDC_SET_DEFAULT_CLUSTER, [&model](Dialog& d, int control, ControlEvent) {
        on_symmetry_generation_control(d, control, model);
    });
    dialog.set_callback(IDC_APPLY, [&model](Dialog& d, int, ControlEvent) { on_apply(d, model); });
}

QWidget* owner_or_active_window(QWidget* owner) { return owner ? owner : QApplication::activeWindow(); }

}  // namespace

bool run_symmetry_generation_dialog(StructureModel& model, QWidget* owner)
{
    const SymmetryApplicationList saved = model.applications;
    GenerationDialogState state{model};
    Dialog dialog(symmetry_generation_dialog_resource(), owner_or_active_window(owner));
    prepare_generation_dialog(dialog, state);
    const bool applied = dialog.run_modal() == IDC_APPLY;
    if (!applied)
        model.applications = saved;
    dialog.release();
    return applied;
}

void run_lattice_type_dialog(SpaceGroupSymmetry& space_group, QWidget* owner)
{
    Dialog dialog(lattice_dialog_resource(), owner_or_active_window(owner));
    if (dialog.run_modal() == IDC_OK)
        for (const auto& [id, type] : LATTICE_RADIOS)
            if (dialog.get_checked(id))
                space_group.lattice_type = type;
    dialog.release();
}
