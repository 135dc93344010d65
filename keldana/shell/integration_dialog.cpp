#include "keldana/shell/integration_dialog.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/model_store.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/resources/integration_dialog_resource.h"
#include "keldana/shell/cluster_dialog.h"
#include "keldana/topology/interatomic_surface.h"
#include "keldana/topology/surface_file.h"

#include <QApplication>
#include <QDialog>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr double DEFAULT_STEP_FACTOR = 0.015;
constexpr double DEFAULT_SURFACE_TOLERANCE = 0.0005;
constexpr double DEFAULT_INTEGRATION_TOLERANCE = 0.0005;
constexpr double MIN_STEP_FACTOR = 0.0001;
constexpr double MAX_STEP_FACTOR = 0.1;
constexpr int DEFAULT_THETA_POINTS = 32;
constexpr int DEFAULT_PHI_POINTS = 48;
const std::vector<int> THETA_CHOICES = {2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 36, 40, 48, 54, 64, 96};
const std::vector<int> PHI_CHOICES = {4,  6,  8,  10, 12, 14, 16, 18, 20, 22, 24, 26, 28,
                                      30, 32, 36, 40, 48, 54, 64, 96, 120};
const std::vector<int> ACTION_CONTROLS = {IDC_INTEGRATION_START, IDC_IAS_SAVE,         IDC_IAS_OPEN,
                                          IDC_INTEGRATION_EXIT,  IDC_INTEGRATION_PROPERTY, IDC_INTEGRATION_ALL_RIGHT,
                                          IDC_INTEGRATION_RIGHT, IDC_INTEGRATION_LEFT, IDC_INTEGRATION_ALL_LEFT};

std::function<void(QWidget*)> property_dialog;
bool running = false;  // a "Start" job runs

int selectable_atom_count()
{
    return std::clamp(current_model().atoms.independent_atom_count, 0, MAX_SURFACE_ATOMS);
}

// The atom number in the first three characters of a list line.
int atom_of_line(const std::string& line)
{
    int atom = 0;
    if (!read_record(line.substr(0, std::min<size_t>(3, line.size())), "(I3)", {&atom}))
        return 0;
    return atom;
}

std::string left_line(int a)
{
    return format_line("(I3,2X,A6)", {a, current_model().atoms.atom_label[a]});
}

std::string right_line(int a)
{
    const BasinIntegrationResults& results = basin_integration_results();
    const std::string mark = interatomic_surface_table().ias_present[a] != 0 ? "*" : " ";
    return format_line("(I3,2X,A6,4X,A,4X,F16.4,2X,F8.3)", {a, current_model().atoms.atom_label[a], mark,
                                                            results.basin_property_integral[a], results.basin_volume[a]});
}

void rebuild_lists(Dialog& dialog)
{
    dialog.clear_items(IDC_INTEGRATION_ATOMS);
    dialog.clear_items(IDC_INTEGRATION_SELECTED);
    const BasinIntegrationResults& results = basin_integration_results();
    for (int a = 1; a <= selectable_atom_count(); ++a) {
        if (results.basin_selected[a] == 1)
            dialog.add_item(IDC_INTEGRATION_SELECTED, right_line(a));
        else
            dialog.add_item(IDC_INTEGRATION_ATOMS, left_line(a));
    }
}

void set_all_selected(Dialog& dialog, int value)
{
    for (int a = 1; a <= selectable_atom_count(); ++a)
        basin_integration_results().basin_selected[a] = value;
    rebuild_lists(dialog);
}

void move_right(Dialog& dialog)
{
    for (int k = 0; k < dialog.get_item_count(IDC_INTEGRATION_ATOMS); ++k)
        if (dialog.is_item_selected(IDC_INTEGRATION_ATOMS, k)) {
            const int a = atom_of_line(dialog.get_item_text(IDC_INTEGRATION_ATOMS, k));
            if (a >= 1 && a <= selectable_atom_count())
                basin_integration_results().basin_selected[a] = 1;
        }
    rebuild_lists(dialog);
}

void move_left(Dialog& dialog)
{
    const int k = dialog.get_selected_index(IDC_INTEGRATION_SELECTED);
    if (k < 0)
        return;
    const int a = atom_of_line(dialog.get_item_text(IDC_INTEGRATION_SELECTED, k));
    if (a >= 1 && a <= selectable_atom_count())
        basin_integration_results().basin_selected[a] = 0;
    rebuild_lists(dialog);
}

void show_property_caption(Dialog& dialog)
{
    dialog.set_text(IDC_INTEGRATION_PROP, property_label(property_selection().property_code));
}

// "IAS" makes the surface controls usable, "PROP" and "Volume" the
// integration controls.
void apply_mode(Dialog& dialog)
{
    const bool surfaces = dialog.get_checked(IDC_INTEGRATION_IAS);
    for (int id : {IDC_IAS_FILE, IDC_IAS_SAVE, IDC_IAS_TOLERANCE})
        dialog.set_enabled(id, surfaces && !running);
    for (int id : {IDC_INTEGRATION_PROPERTY, IDC_INTEGRATION_TOLERANCE, IDC_IAS_READ_LIST, IDC_IAS_OPEN})
        dialog.set_enabled(id, !surfaces && !running);
    if (running) {
        for (int id : ACTION_CONTROLS)
            dialog.set_enabled(id, false);
    } else {
        for (int id : ACTION_CONTROLS)
            if (id != IDC_IAS_SAVE && id != IDC_IAS_OPEN && id != IDC_INTEGRATION_PROPERTY)
                dialog.set_enabled(id, true);
    }
}

void select_choice(Dialog& dialog, int id, const std::vector<int>& choices, int value)
{
    const auto found = std::find(choices.begin(), choices.end(), value);
    if (found != choices.end())
        dialog.set_selected_index(id, static_cast<int>(found - choices.begin()));
}

void on_property(Dialog& dialog)
{
    if (property_dialog)
        property_dialog(dialog.window());
    show_property_caption(dialog);
}

void on_save(Dialog& dialog)
{
    FileDialogState& state = run_settings().file_dialog;
    state.dialog_mode = "save";
    state.dialog_path = dialog.get_text(IDC_IAS_FILE);
    run_file_dialog("InterAtomic Surface file (*.ias)", "*.ias");
    if (!file_dialog_cancelled())
        dialog.set_text(IDC_IAS_FILE, state.dialog_path);
}

void on_open(Dialog& dialog)
{
    if (!read_interatomic_surface_file())
        return;
    const InteratomicSurfaceTable& table = interatomic_surface_table();
    select_choice(dialog, IDC_INTEGRATION_THETA, THETA_CHOICES, table.ias_theta_count);
    select_choice(dialog, IDC_INTEGRATION_PHI, PHI_CHOICES, table.ias_phi_count);
    std::vector<std::string> lines = {run_settings().output_files.ias_path};
    for (int k = 0; k < dialog.get_item_count(IDC_IAS_READ_LIST); ++k)
        lines.push_back(dialog.get_item_text(IDC_IAS_READ_LIST, k));
    dialog.clear_items(IDC_IAS_READ_LIST);
    for (const std::string& line : lines)
        dialog.add_item(IDC_IAS_READ_LIST, line);
    rebuild_lists(dialog);
}

void on_exit(Dialog& dialog)
{
    if (running)
        return;
    surface_critical_points().cp_count = 0;
    dialog.end(IDC_INTEGRATION_EXIT);
}

// The bank and its tables, read again when a load left them unread.
void on_start(Dialog& dialog)
{
    if (running)
        return;
    BasinJobRequest request;
    if (current_model().space_group.lattice_type == 0)
        run_lattice_type_dialog(current_model().space_group, dialog.window());
    if (!read_integration_request(dialog, request))
        return;
    if (!ensure_wavefunction_bank())
        return;
    if (request.mode == BasinJobMode::surfaces)
        run_settings().output_files.ias_file_name = request.surface_file;

    running = true;
    apply_mode(dialog);
    const BasinJobResult result = run_basin_job(request);
    running = false;
    if (result.started && request.mode == BasinJobMode::surfaces) {
        dialog.set_checked(IDC_INTEGRATION_PROP, true);
        dialog.set_checked(IDC_INTEGRATION_VOLUME, false);
        dialog.set_checked(IDC_INTEGRATION_IAS, false);
    }
    rebuild_lists(dialog);
    apply_mode(dialog);
}

}  // namespace

void set_integration_property_dialog(std::function<void(QWidget* owner)> run) { property_dialog = std::move(run); }

bool read_integration_request(Dialog& dialog, BasinJobRequest& request)
{
    request.mode = dialog.get_checked(IDC_INTEGRATION_IAS)      ? BasinJobMode::surfaces
                   : dialog.get_checked(IDC_INTEGRATION_VOLUME) ? BasinJobMode::volume
                                                                : BasinJobMode::property;
    request.code = property_selection().property_code;
    request.atoms.clear();
    for (int k = 0; k < dialog.get_item_count(IDC_INTEGRATION_SELECTED); ++k)
        request.atoms.push_back(atom_of_line(dialog.get_item_text(IDC_INTEGRATION_SELECTED, k)));

    double integration_tolerance = 0;
    bool ok = dialog.get_number(IDC_INTEGRATION_TOLERANCE, integration_tolerance)
              && dialog.get_number(IDC_CLUSTER_RADIUS, request.cluster_radius) && request.cluster_radius > 0
              && dialog.get_number(IDC_INTEGRATION_THETA, request.n_theta)
              && dialog.get_number(IDC_INTEGRATION_PHI, request.n_phi);
    if (ok && request.mode == BasinJobMode::surfaces) {
        ok = dialog.get_number(IDC_IAS_TOLERANCE, request.surface_tolerance) && request.surface_tolerance > 0
             && hold_box_to_limits(dialog, IDC_STEP_FACTOR, MIN_STEP_FACTOR, MAX_STEP_FACTOR, request.step_factor);
        request.surface_file = dialog.get_text(IDC_IAS_FILE);
        const size_t end = request.surface_file.find_last_not_of(' ');
        request.surface_file.resize(end == std::string::npos ? 0 : end + 1);
        ok = ok && !request.surface_file.empty();
    }
    if (!ok || !is_valid_basin_request(request)) {
        report_unreadable_box(dialog, 0);
        return false;
    }
    return true;
}

void prepare_integration_dialog(Dialog& dialog)
{
    running = false;
    dialog.clear_items(IDC_INTEGRATION_THETA);
    for (int n : THETA_CHOICES)
        dialog.add_item(IDC_INTEGRATION_THETA, format_line("(I3)", {n}));
    dialog.clear_items(IDC_INTEGRATION_PHI);
    for (int n : PHI_CHOICES)
        dialog.add_item(IDC_INTEGRATION_PHI, format_line("(I3)", {n}));
    select_choice(dialog, IDC_INTEGRATION_THETA, THETA_CHOICES, DEFAULT_THETA_POINTS);
    select_choice(dialog, IDC_INTEGRATION_PHI, PHI_CHOICES, DEFAULT_PHI_POINTS);

    dialog.clear_items(IDC_INTEGRATION_ATOMS);
    dialog.clear_items(IDC_INTEGRATION_SELECTED);
    for (int a = 1; a <= selectable_atom_count(); ++a)
        dialog.add_item(IDC_INTEGRATION_ATOMS, left_line(a));
    show_property_caption(dialog);
    dialog.set_text(IDC_IAS_TOLERANCE, format_line("(F6.4)", {DEFAULT_SURFACE_TOLERANCE}));
    dialog.set_text(IDC_INTEGRATION_TOLERANCE, format_line("(F6.4)", {DEFAULT_INTEGRATION_TOLERANCE}));
    dialog.set_text(IDC_CLUSTER_RADIUS, format_line("(F5.2)", {run_settings().calculation.rCut}));
    dialog.set_text(IDC_STEP_FACTOR, format_line("(F6.4)", {DEFAULT_STEP_FACTOR}));
    dialog.set_checked(IDC_INTEGRATION_PROP, true);
    dialog.set_checked(IDC_INTEGRATION_IAS, false);
    dialog.set_checked(IDC_INTEGRATION_VOLUME, false);
    dialog.set_text(IDC_IAS_FILE, run_settings().output_files.ias_file_name);
    apply_mode(dialog);

    for (int id : {IDC_INTEGRATION_IAS, IDC_INTEGRATION_PROP, IDC_INTEGRATION_VOLUME})
        dialog.set_callback(id, [](Dialog& d, int, ControlEvent) { apply_mode(d); });
    dialog.set_callback(IDC_INTEGRATION_ALL_RIGHT, [](Dialog& d, int, ControlEvent) { set_all_selected(d, 1); });
    dialog.set_callback(IDC_INTEGRATION_ALL_LEFT, [](Dialog& d, int, ControlEvent) { set_all_selected(d, 0); });
    dialog.set_callback(IDC_INTEGRATION_RIGHT, [](Dialog& d, int, ControlEvent) { move_right(d); });
    dialog.set_callback(IDC_INTEGRATION_LEFT, [](Dialog& d, int, ControlEvent) { move_left(d); });
    dialog.set_callback(IDC_INTEGRATION_PROPERTY, [](Dialog& d, int, ControlEvent) { on_property(d); });
    dialog.set_callback(IDC_IAS_SAVE, [](Dialog& d, int, ControlEvent) { on_save(d); });
    dialog.set_callback(IDC_IAS_OPEN, [](Dialog& d, int, ControlEvent) { on_open(d); });
    dialog.set_callback(IDC_INTEGRATION_START, [](Dialog& d, int, ControlEvent) { on_start(d); });
    dialog.set_callback(IDC_INTEGRATION_EXIT, [](Dialog& d, int, ControlEvent) { on_exit(d); });
}

void run_integration_dialog(QWidget* owner)
{
    CommandMenuGuard menus;
    const double r_cut = run_settings().calculation.rCut;
    {
        Dialog dialog(integration_dialog_resource(), owner ? owner : QApplication::activeWindow());
        prepare_integration_dialog(dialog);
        dialog.run_modal();
        dialog.release();
    }
    surface_critical_points().cp_count = 0;
    running = false;
    run_settings().calculation.rCut = r_cut;
    note_model_change();
    ui().text_pane_changed();
}
