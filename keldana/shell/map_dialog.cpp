#include "keldana/shell/map_dialog.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/properties/map_files.h"
#include "keldana/properties/map_grid.h"
#include "keldana/properties/map_plane.h"
#include "keldana/resources/map_dialogs.h"
#include "keldana/topology/gradient_trajectories.h"
#include "keldana/topology/map_areas.h"

#include <QApplication>
#include <QDialog>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int ESFED = 22;
constexpr int EPOT = 23;
constexpr int GRAD_RHO = 24;
constexpr size_t NUMBER_BOX = 8;   // limits, trajectory settings, shift and centre point
constexpr size_t COUNT_BOX = 3;    // point counts, K, L, M and the centre atoms
constexpr size_t POINT_BOX = 10;   // coordinates and vectors of the plane pages
constexpr size_t ATOM_LINE_WIDTH = 60;
constexpr int TAB_ATOMS = 0;
constexpr int TAB_CENTRE = 2;
constexpr int TAB_GRID = 3;
constexpr int TAB_TRAJECTORY = 4;
const std::vector<int> ATOM_COMBOS = {IDC_POINT_1_ATOM, IDC_POINT_2_ATOM, IDC_POINT_3_ATOM};
const std::string GRID_MESSAGE = "Can not read data. Please, check GRID data in boxes";
const std::string PLANE_MESSAGE = "Can not read data. Please, check 3-D MAP data in boxes";
const std::string EXTREMES_HEAD = "     Minimum value             Maximum value";

// The dialog and its pages while it is open, for the callbacks.
struct MapDialogRecords {
    Dialog* host = nullptr;
    Dialog* atoms = nullptr;
    Dialog* vectors = nullptr;
    Dialog* centre = nullptr;
    Dialog* grid = nullptr;
    Dialog* trajectory = nullptr;
    bool running = false;         // a map or trajectory job runs
    bool map_allowed = false;     // the plane rules allow "Calculate Map"
    bool cancel_pending = false;  // Cancel pressed meanwhile: close when it ends
};

MapDialogRecords records;

int atom_count() { return std::clamp(current_model().atoms.atom_count, 0, MAX_WORKING_ATOMS); }

bool is_blank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

std::string box_text(const Dialog& page, int id, size_t width) { return page.get_text(id).substr(0, width); }

bool read_atom_number(const Dialog& page, int id, size_t width, int& atom)
{
    return page.get_number(id, atom, width) && atom >= 1 && atom <= atom_count();
}

Vector3 atom_position(int a)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    return {atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]};
}

std::string atom_list_line(int i)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    if (spherical_esp_tables().esp_tables_ready == 1)
        return format_line("(I3,2X,A8,2X,I2,2X,3F8.4,3X,F5.3)",
                           {i, atoms.atom_label[i], atoms.subset_mask[i], atoms.frac_x[i], atoms.frac_y[i],
                            atoms.frac_z[i], atoms.site_weight[i]});
    return format_line("(I3,2X,A8,2X,I2,2X,3F8.4)", {i, atoms.atom_label[i], atoms.subset_mask[i], atoms.frac_x[i],
                                                     atoms.frac_y[i], atoms.frac_z[i]});
}

void fill_atom_combos(Dialog& page)
{
    for (size_t k = 0; k < ATOM_COMBOS.size(); ++k) {
        const int id = ATOM_COMBOS[k];
        page.clear_items(id);
        for (int i = 1; i <= atom_count(); ++i)
            page.add_item(id, format_line("(I3)", {i}));
        if (!page.set_text(id, format_line("(I3)", {static_cast<int>(k) + 1})))
            page.set_selected_index(id, page.get_item_count(id) > 0 ? 0 : -1);
    }
}

void set_point_edits(Dialog& page, int first_id, const Vector3& p)
{
    for (int k = 0; k < 3; ++k)
        page.set_text(first_id + k, format_line("(F10.5)", {p[k]}));
}

void append_box_lines(const std::vector<std::string>& lines)
{
    Dialog& host = *records.host;
    for (const std::string& line : lines)
        host.add_item(IDC_MAP_OUT_BOX, line);
    host.set_selected_index(IDC_MAP_OUT_BOX, host.get_item_count(IDC_MAP_OUT_BOX) - 1);
}

// The boxes that "Calculate Map" reads, on the page it reads them from.
std::vector<int> boxes_read_by_calculate_map(const MapDefinition& map)
{
    std::vector<int> ids = {IDC_GRID_X_MIN, IDC_GRID_X_MAX, IDC_GRID_Y_MIN, IDC_GRID_Y_MAX};
    if (map.map_is_trajectory) {
        ids.insert(ids.end(), {IDC_PATH_COUNT, IDC_PATH_START, IDC_PATH_STEP, IDC_PATH_END_VALUE, IDC_OUT_OF_PLANE});
    } else {
        ids.insert(ids.end(), {IDC_GRID_X_POINTS, IDC_GRID_Y_POINTS});
        if (map.map_is_3d)
            ids.insert(ids.end(), {IDC_GRID_Z_MIN, IDC_GRID_Z_MAX, IDC_GRID_Z_POINTS});
    }
    const int code = property_selection().property_code;
    if (code == ESFED || code == EPOT)
        ids.insert(ids.end(), {IDC_MAP_CLUSTER_K, IDC_MAP_CLUSTER_L, IDC_MAP_CLUSTER_M});
    return ids;
}

// "Calculate Map" stays greyed until the boxes it reads can be edited (the
// plane was calculated for this map type) and hold something: it never asks
// about boxes the user cannot fill.
void update_calculate_map_state()
{
    Dialog& host = *records.host;
    const MapDefinition& map = map_definition();
    const Dialog* shown = host.get_tab_page(IDC_MAP_TABS, host.get_selected_tab(IDC_MAP_TABS));
    const bool on_map_page = shown && (shown == records.grid || shown == records.trajectory);
    bool ready = records.map_allowed && on_map_page;
    const Dialog& page = map.map_is_trajectory ? *records.trajectory : *records.grid;
    for (int id : boxes_read_by_calculate_map(map))
        ready = ready && page.is_enabled(id) && !is_blank(page.get_text(id));
    host.set_enabled(IDC_CALCULATE_MAP, ready);
}

void set_map_dialog_controls_state()
{
    for (int id : {IDC_GRID_X_MIN, IDC_GRID_X_MAX, IDC_GRID_Y_MIN, IDC_GRID_Y_MAX, IDC_GRID_Z_MIN, IDC_GRID_Z_MAX,
                   IDC_GRID_X_POINTS, IDC_GRID_Y_POINTS, IDC_GRID_Z_POINTS, IDC_GRID_X_STEP, IDC_GRID_Y_STEP,
                   IDC_GRID_Z_STEP, IDC_MAP_CLUSTER_K, IDC_MAP_CLUSTER_L, IDC_MAP_CLUSTER_M})
        records.grid->set_enabled(id, false);
    for (int id : {IDC_GRID_X_MIN, IDC_GRID_X_MAX, IDC_GRID_Y_MIN, IDC_GRID_Y_MAX, IDC_PATH_COUNT, IDC_PATH_START,
                   IDC_PATH_STEP, IDC_PATH_END_VALUE, IDC_OUT_OF_PLANE})
        records.trajectory->set_enabled(id, false);
    records.map_allowed = false;
    records.host->set_enabled(IDC_CALCULATE_MAP, false);
}

void on_map_centre_select(Dialog& page)
{
    for (int id : {IDC_POINT_1_ATOM, IDC_POINT_2_ATOM, IDC_POINT_3_ATOM, IDC_CENTRE_X, IDC_CENTRE_Y, IDC_CENTRE_Z})
        page.set_enabled(id, false);
    if (page.get_checked(IDC_CENTRE_POINT)) {
        for (int id : {IDC_CENTRE_X, IDC_CENTRE_Y, IDC_CENTRE_Z})
            page.set_enabled(id, true);
        return;
    }
    const int atoms = page.get_checked(IDC_CENTRE_THREE_ATOMS) ? 3 : page.get_checked(IDC_CENTRE_TWO_ATOMS) ? 2 : 1;
    for (int k = 0; k < atoms; ++k)
        page.set_enabled(ATOM_COMBOS[k], true);
}

void on_map_kind_select(Dialog& page, int id)
{
    page.set_enabled(IDC_PLANE_SHIFT, id != IDC_MAP_3D);
}

void on_map_file_name_change(Dialog& host)
{
    host.set_text(IDC_POST_FILE, post_file_name_for(host.get_text(IDC_MAP_FILE)));
}

void on_map_tab_change(Dialog& host)
{
    const Dialog* page = host.get_tab_page(IDC_MAP_TABS, host.get_selected_tab(IDC_MAP_TABS));
    if (!page)
        return;
    MapDefinition& map = map_definition();
    switch (page->get_resource_id()) {
    case IDD_MAP_PAGE_CENTRE:
        host.set_enabled(IDC_CALCULATE_PLANE, true);
        records.map_allowed = false;
        set_text_field(map.page_key, "CENT ");
        for (int id : {IDC_CENTRE_ATOM, IDC_CENTRE_TWO_ATOMS, IDC_CENTRE_THREE_ATOMS, IDC_CENTRE_POINT})
            if (records.centre->get_checked(id))
                records.centre->set_focus(id);
        break;
    case IDD_MAP_PAGE_ATOMS:
        records.map_allowed = false;
        set_text_field(map.page_key, "ATOMS");
        break;
    case IDD_MAP_PAGE_VECTORS:
        records.map_allowed = false;
        set_text_field(map.page_key, "BVECT");
        break;
    case IDD_MAP_PAGE_GRID:
        if (map.map_is_3d || map.plane_from_points || map.plane_from_vectors)
            records.map_allowed = true;
        host.set_enabled(IDC_CALCULATE_PLANE, false);
        break;
    case IDD_MAP_PAGE_TRAJECTORY:
        if (map.plane_from_points || map.plane_from_vectors)
            records.map_allowed = true;
        host.set_enabled(IDC_CALCULATE_PLANE, false);
        break;
    default:
        break;
    }
    update_calculate_map_state();
}

// Step and point count of one axis of the GRID page follow each other.
void on_map_grid_page_control(Dialog& page, int id)
{
    struct Axis {
        int min, max, step, points;
    };
    static const Axis AXES[] = {
        {IDC_GRID_X_MIN, IDC_GRID_X_MAX, IDC_GRID_X_STEP, IDC_GRID_X_POINTS},
        {IDC_GRID_Y_MIN, IDC_GRID_Y_MAX, IDC_GRID_Y_STEP, IDC_GRID_Y_POINTS},
        {IDC_GRID_Z_MIN, IDC_GRID_Z_MAX, IDC_GRID_Z_STEP, IDC_GRID_Z_POINTS},
    };
    for (const Axis& axis : AXES) {
        if (id != axis.min && id != axis.max && id != axis.step && id != axis.points)
            continue;
        const std::string min = page.get_text(axis.min), max = page.get_text(axis.max);
        if (id == axis.points) {
            if (auto step = grid_step_for_points(min, max, page.get_text(axis.points)))
                page.set_text(axis.step, *step);
        } else if (auto points = grid_points_for_step(min, max, page.get_text(axis.step))) {
            page.set_text(axis.points, *points);
        }
        break;
    }
    update_calculate_map_state();
}

bool read_points(Dialog& page, const std::vector<int>& ids, Vector3& p, const std::string& message)
{
    for (int k = 0; k < 3; ++k)
        if (!page.get_number(ids[k], p[k], POINT_BOX)) {
            report_unreadable_box(page, ids[k], message);
            return false;
        }
    return true;
}

void on_plane_ok()
{
    MapDefinition& map = map_definition();
    MapFrame& frame = map_frame();
    map.plane_from_points = false;
    map.plane_from_vectors = false;
    const std::string key = text_field_string(map.page_key);
    if (key == "ATOMS") {
        Dialog& page = *records.atoms;
        const std::string message = "Can not read data. Please, check POINTS data in boxes";
        Vector3 p1{}, p2{}, p3{};
        if (!read_points(page, {1202, 1203, 1204}, p1, message) || !read_points(page, {1205, 1206, 1207}, p2, message)
            || !read_points(page, {1208, 1209, 1210}, p3, message))
            return;
        for (int k = 0; k < 3; ++k) {
            frame.plane_vector_1[k] = p2[k] - p1[k];
            frame.plane_vector_2[k] = p3[k] - p1[k];
        }
        // The calculated frame keeps its centre until "Calculate Plane".
        frame.plane_vector_3 = p1;
        for (int id : ATOM_COMBOS)
            records.centre->set_text(id, page.get_text(id).substr(0, COUNT_BOX));
        for (int k = 0; k < 3; ++k)
            records.centre->set_text(IDC_CENTRE_X + k, format_line("(F8.5)", {p1[k]}));
        map.plane_from_points = true;
    } else {
        if (key == "BVECT") {
            Dialog& page = *records.vectors;
            const std::string message = "Can not read data. Please, check BVECT data in boxes";
            Vector3 a{}, b{};
            if (!read_points(page, {1202, 1205, 1208}, a, message) || !read_points(page, {1203, 1206, 1209}, b, message))
                return;
            frame.plane_vector_1 = a;
            frame.plane_vector_2 = b;
            map.plane_from_vectors = true;
        }
        frame.plane_vector_3 = frame.map_centre;
    }
    records.centre->set_enabled(IDC_PLANE_SHIFT, !map.plane_from_vectors && !map.map_is_3d);
    records.host->set_enabled(IDC_CALCULATE_PLANE, true);
    records.host->select_tab(IDC_MAP_TABS, TAB_CENTRE);
}

void on_map_plane_points_control(Dialog& page, int id)
{
    if (records.running)
        return;
    if (id == IDC_PLANE_OK) {
        on_plane_ok();
        return;
    }
    const std::string text = box_text(page, id, POINT_BOX);
    if (is_blank(text))
        return;
    int atom = 0;
    if (!read_atom_number(page, id, POINT_BOX, atom)) {
        report_unreadable_box(page, id, "Can not read data. Please, check ATOMS data in boxes");
        return;
    }
    const int first_edit = id == IDC_POINT_1_ATOM ? 1202 : id == IDC_POINT_2_ATOM ? 1205 : 1208;
    set_point_edits(page, first_edit, atom_position(atom));
}

void enable_next_page(Dialog& host, const MapDefinition& map)
{
    const int code = property_selection().property_code;
    const bool lattice = code == ESFED || code == EPOT;
    Dialog& page = map.map_is_trajectory ? *records.trajectory : *records.grid;
    if (map.map_is_trajectory) {
        for (int id : {IDC_GRID_X_MIN, IDC_GRID_X_MAX, IDC_GRID_Y_MIN, IDC_GRID_Y_MAX, IDC_PATH_COUNT, IDC_PATH_START,
                       IDC_PATH_STEP, IDC_PATH_END_VALUE, IDC_OUT_OF_PLANE})
            page.set_enabled(id, true);
    } else {
        for (int id : {IDC_GRID_X_MIN, IDC_GRID_X_MAX, IDC_GRID_Y_MIN, IDC_GRID_Y_MAX, IDC_GRID_X_POINTS,
                       IDC_GRID_Y_POINTS, IDC_GRID_X_STEP, IDC_GRID_Y_STEP})
            page.set_enabled(id, true);
        for (int id : {IDC_GRID_Z_MIN, IDC_GRID_Z_MAX, IDC_GRID_Z_POINTS, IDC_GRID_Z_STEP})
            page.set_enabled(id, map.map_is_3d);
    }
    for (int id : {IDC_MAP_CLUSTER_K, IDC_MAP_CLUSTER_L, IDC_MAP_CLUSTER_M})
        page.set_enabled(id, lattice);
    records.map_allowed = true;
    host.set_enabled(IDC_CALCULATE_PLANE, false);
    host.select_tab(IDC_MAP_TABS, map.map_is_trajectory ? TAB_TRAJECTORY : TAB_GRID);
    update_calculate_map_state();
    page.set_focus(IDC_GRID_X_MIN);
}

void on_calculate_map_plane(Dialog& host)
{
    if (records.running)
        return;
    Dialog& page = *records.centre;
    MapDefinition& map = map_definition();
    const int remembered = host.get_item_count(IDC_MAP_OUT_BOX);
    map.map_is_2d = page.get_checked(IDC_MAP_2D);
    map.map_is_3d = page.get_checked(IDC_MAP_3D);
    map.map_is_trajectory = page.get_checked(IDC_MAP_PATHGRAF);

    MapPlaneRequest request;
    // The shift counts only where the user can set it.
    if (page.is_enabled(IDC_PLANE_SHIFT) && !page.get_number(IDC_PLANE_SHIFT, request.shift, NUMBER_BOX)) {
        report_unreadable_box(page, IDC_PLANE_SHIFT, PLANE_MESSAGE);
        return;
    }
    int atoms = 0;
    if (page.get_checked(IDC_CENTRE_POINT)) {
        request.centre_rule = MapCentreRule::arbitrary_point;
        for (int k = 0; k < 3; ++k)
            if (!page.get_number(IDC_CENTRE_X + k, request.centre_point[k], NUMBER_BOX)) {
                report_unreadable_box(page, IDC_CENTRE_X + k, PLANE_MESSAGE);
                return;
            }
    } else if (page.get_checked(IDC_CENTRE_THREE_ATOMS)) {
        request.centre_rule = MapCentreRule::between_three_atoms;
        atoms = 3;
    } else if (page.get_checked(IDC_CENTRE_TWO_ATOMS)) {
        request.centre_rule = MapCentreRule::between_two_atoms;
        atoms = 2;
    } else {
        request.centre_rule = MapCentreRule::atom_position;
        atoms = 1;
    }
    for (int k = 0; k < atoms; ++k)
        if (!read_atom_number(page, ATOM_COMBOS[k], COUNT_BOX, request.centre_atoms[k])) {
            report_unreadable_box(page, ATOM_COMBOS[k], PLANE_MESSAGE);
            return;
        }

    std::vector<std::string> lines;
    if (!calculate_map_plane(request, lines))
        return;
    for (const std::string& line : lines)
        host.add_item(IDC_MAP_OUT_BOX, line);
    const int count = host.get_item_count(IDC_MAP_OUT_BOX);
    host.set_selected_index(IDC_MAP_OUT_BOX, std::min(remembered + 10, count - 1));
    enable_next_page(host, map);
}

// The boxes of "Calculate Map" into the map areas; false after the message,
// with the areas as they were.
bool read_map_boxes()
{
    MapDefinition map = map_definition();
    TrajectorySettings settings = trajectory_settings();
    ClusterTranslations translations = current_model().translations;
    Dialog& page = map.map_is_trajectory ? *records.trajectory : *records.grid;
    auto real = [&page](int id, double& value) {
        if (page.get_number(id, value, NUMBER_BOX))
            return true;
        report_unreadable_box(page, id, GRID_MESSAGE);
        return false;
    };
    auto count = [&page](int id, size_t width, int& value, int least) {
        int number = 0;
        if (page.get_number(id, number, width) && number >= least) {
            value = number;
            return true;
        }
        report_unreadable_box(page, id, GRID_MESSAGE);
        return false;
    };
    if (!real(IDC_GRID_X_MIN, map.x_min) || !real(IDC_GRID_X_MAX, map.x_max) || !real(IDC_GRID_Y_MIN, map.y_min)
        || !real(IDC_GRID_Y_MAX, map.y_max))
        return false;
    if (map.map_is_trajectory) {
        if (!count(IDC_PATH_COUNT, NUMBER_BOX, settings.path_count, 0) || !real(IDC_PATH_START, settings.path_start)
            || !real(IDC_PATH_STEP, settings.path_step) || !real(IDC_PATH_END_VALUE, settings.path_end_value)
            || !real(IDC_OUT_OF_PLANE, settings.out_of_plane_distance))
            return false;
    } else if (!count(IDC_GRID_X_POINTS, COUNT_BOX, map.x_points, 1)
               || !count(IDC_GRID_Y_POINTS, COUNT_BOX, map.y_points, 1)) {
        return false;
    }
    if (map.x_max < map.x_min)
        std::swap(map.x_min, map.x_max);
    if (map.y_max < map.y_min)
        std::swap(map.y_min, map.y_max);
    if (map.map_is_3d && !map.map_is_trajectory) {
        if (!real(IDC_GRID_Z_MIN, map.z_min) || !real(IDC_GRID_Z_MAX, map.z_max)
            || !count(IDC_GRID_Z_POINTS, COUNT_BOX, map.z_points, 1))
            return false;
        if (map.z_max < map.z_min)
            std::swap(map.z_min, map.z_max);
    }
    const int code = property_selection().property_code;
    if (code == ESFED || code == EPOT) {
        if (!count(IDC_MAP_CLUSTER_K, COUNT_BOX, translations.cluster_k, 0)
            || !count(IDC_MAP_CLUSTER_L, COUNT_BOX, translations.cluster_l, 0)
            || !count(IDC_MAP_CLUSTER_M, COUNT_BOX, translations.cluster_m, 0))
            return false;
    }
    map_definition() = map;
    trajectory_settings() = settings;
    set_lattice_translations(translations);
    return true;
}

bool read_file_names(Dialog& host)
{
    const std::string map_name = host.get_text(IDC_MAP_FILE);
    const std::string post_name = host.get_text(IDC_POST_FILE);
    if (map_name.empty() || map_name[0] == ' ' || post_name.empty() || post_name[0] == ' ') {
        report_unreadable_box(host, IDC_MAP_FILE, "Please, check OutFile name in boxes");
        return false;
    }
    OutputFileNames& names = run_settings().output_files;
    names.map_file_name = map_name;
    names.post_file_name = post_name;
    return true;
}

void run_grid_map(int code)
{
    MapPointCount count;
    const MapOutcome outcome = compute_property_map_outcome(code, &count);
    if (outcome == MapOutcome::completed) {
        write_map_extremes_listing();
        const MapDefinition& map = map_definition();
        append_box_lines(
            {"", EXTREMES_HEAD, format_line("(4X,E14.7,12X,E14.7)", {map.map_min_value, map.map_max_value})});
    } else if (outcome == MapOutcome::cancelled) {
        write_map_stopped_listing(count);
        // The figures of an earlier map must not pass for this one's.
        Dialog& host = *records.host;
        for (int k = host.get_item_count(IDC_MAP_OUT_BOX) - 1; k >= 0; --k)
            if (host.get_item_text(IDC_MAP_OUT_BOX, k) == EXTREMES_HEAD) {
                host.set_item_text(IDC_MAP_OUT_BOX, k, "");
                host.set_item_text(IDC_MAP_OUT_BOX, k + 1, "");
            }
        append_box_lines({"", " *** Map calculating has been terminated by user ***",
                          " Stopped after " + std::to_string(count.done) + " of " + std::to_string(count.total) +
                              " points: no map file written"});
    }
}

void run_trajectory_map(int code)
{
    const TrajectoryOutcome outcome = trace_gradient_trajectories(code);
    if (outcome == TrajectoryOutcome::completed)
        append_box_lines({"", "Trajectory has been calculated successfully!"});
    else if (outcome == TrajectoryOutcome::cancelled)
        append_box_lines({"", " *** Map calculating has been terminated by user! ***"});
}

void on_run_map_calculation(Dialog& host)
{
    if (records.running)
        return;
    const WorkingAtomSet& atoms = current_model().atoms;
    MapPostAtoms& post = map_post_atoms();
    post.post_atom_count = std::clamp(atoms.atom_count, 0, MAX_POST_ATOMS);
    if (!read_map_boxes() || !read_file_names(host) || !ensure_wavefunction_bank())
        return;
    const MapDefinition& map = map_definition();
    const int code = property_selection().property_code;
    records.running = true;
    if (map.map_is_trajectory) {
        if (code == ESFED || code == EPOT)
            append_lattice_images_near_plane(current_model(), map_frame(), map,
                                             trajectory_settings().out_of_plane_distance, post);
        run_trajectory_map(code);
    } else {
        run_grid_map(code);
    }
    records.running = false;
    ui().text_pane_changed();
    if (records.cancel_pending)
        host.end(IDC_MAP_CANCEL);
}

void on_cancel(Dialog& host)
{
    if (records.running) {
        records.cancel_pending = true;  // the dialog closes when the job has ended
        return;
    }
    host.end(IDC_MAP_CANCEL);
}

void fill_pages()
{
    MapFrame& frame = map_frame();
    MapDefinition& map = map_definition();
    frame.plane_vector_1 = {1, 0, 0};
    frame.plane_vector_2 = {0, 1, 0};

    Dialog& atoms = *records.atoms;
    fill_atom_combos(atoms);
    for (int k = 0; k < 3; ++k)
        set_point_edits(atoms, 1202 + 3 * k, atom_position(k + 1));
    set_text_field(map.page_key, "ATOMS");

    Dialog& vectors = *records.vectors;
    for (int k = 0; k < 3; ++k) {
        vectors.set_text(1202 + 3 * k, format_line("(F8.5)", {frame.plane_vector_1[k]}));
        vectors.set_text(1203 + 3 * k, format_line("(F8.5)", {frame.plane_vector_2[k]}));
    }

    Dialog& centre = *records.centre;
    centre.set_checked(IDC_MAP_2D, true);
    centre.set_text(IDC_PLANE_SHIFT, "0.000");
    fill_atom_combos(centre);
    centre.set_checked(IDC_CENTRE_ATOM, true);

    const TrajectorySettings& settings = trajectory_settings();
    Dialog& trajectory = *records.trajectory;
    trajectory.set_text(IDC_PATH_COUNT, format_line("(I3)", {settings.path_count}));
    trajectory.set_text(IDC_PATH_START, format_line("(F5.3)", {settings.path_start}));
    trajectory.set_text(IDC_PATH_STEP, format_line("(F5.3)", {settings.path_step}));
    trajectory.set_text(IDC_PATH_END_VALUE, format_line("(E8.2)", {settings.path_end_value}));
    trajectory.set_text(IDC_OUT_OF_PLANE, format_line("(F5.3)", {settings.out_of_plane_distance}));
    on_map_centre_select(centre);

    for (Dialog* page : {records.grid, records.trajectory})
        for (int id : {IDC_MAP_CLUSTER_K, IDC_MAP_CLUSTER_L, IDC_MAP_CLUSTER_M})
            page->set_text(id, "1");
}

void bind_callbacks(Dialog& host)
{
    host.set_callback(IDC_MAP_TABS, [](Dialog& d, int, ControlEvent) { on_map_tab_change(d); });
    host.set_callback(IDC_MAP_FILE, [](Dialog& d, int, ControlEvent) { on_map_file_name_change(d); });
    host.set_callback(IDC_CALCULATE_PLANE, [](Dialog& d, int, ControlEvent) { on_calculate_map_plane(d); });
    host.set_callback(IDC_CALCULATE_MAP, [](Dialog& d, int, ControlEvent) { on_run_map_calculation(d); });
    host.set_callback(IDC_MAP_CANCEL, [](Dialog& d, int, ControlEvent) { on_cancel(d); });
    for (int id : {IDC_GRID_X_MIN, IDC_GRID_X_MAX, IDC_GRID_Y_MIN, IDC_GRID_Y_MAX, IDC_GRID_Z_MIN, IDC_GRID_Z_MAX,
                   IDC_GRID_X_POINTS, IDC_GRID_Y_POINTS, IDC_GRID_Z_POINTS, IDC_GRID_X_STEP, IDC_GRID_Y_STEP,
                   IDC_GRID_Z_STEP})
        records.grid->set_callback(id, [](Dialog& page, int which, ControlEvent) {
            on_map_grid_page_control(page, which);
        });
    for (int id : {IDC_MAP_CLUSTER_K, IDC_MAP_CLUSTER_L, IDC_MAP_CLUSTER_M})
        records.grid->set_callback(id, [](Dialog&, int, ControlEvent) { update_calculate_map_state(); });
    for (int id : {IDC_GRID_X_MIN, IDC_GRID_X_MAX, IDC_GRID_Y_MIN, IDC_GRID_Y_MAX, IDC_PATH_COUNT, IDC_PATH_START,
                   IDC_PATH_STEP, IDC_PATH_END_VALUE, IDC_OUT_OF_PLANE, IDC_MAP_CLUSTER_K, IDC_MAP_CLUSTER_L,
                   IDC_MAP_CLUSTER_M})
        records.trajectory->set_callback(id, [](Dialog&, int, ControlEvent) { update_calculate_map_state(); });
    for (int id : {IDC_MAP_2D, IDC_MAP_3D, IDC_MAP_PATHGRAF})
        records.centre->set_callback(id, [](Dialog& page, int which, ControlEvent) { on_map_kind_select(page, which); });
    for (int id : {IDC_CENTRE_ATOM, IDC_CENTRE_TWO_ATOMS, IDC_CENTRE_THREE_ATOMS, IDC_CENTRE_POINT})
        records.centre->set_callback(id, [](Dialog& page, int, ControlEvent) { on_map_centre_select(page); });
    for (int id : {IDC_POINT_1_ATOM, IDC_POINT_2_ATOM, IDC_POINT_3_ATOM, IDC_PLANE_OK})
        records.atoms->set_callback(id, [](Dialog& page, int which, ControlEvent) {
            on_map_plane_points_control(page, which);
        });
    records.vectors->set_callback(IDC_PLANE_OK, [](Dialog& page, int which, ControlEvent) {
        on_map_plane_points_control(page, which);
    });
    const int code = property_selection().property_code;
    if (code == ESFED || code == GRAD_RHO)
        records.centre->set_enabled(IDC_MAP_PATHGRAF, false);
}

}  // namespace

void run_map_dialog(QWidget* owner)
{
    CommandMenuGuard menus;
    OutputFileNames& names = run_settings().output_files;
    names.map_file_name = "map.dat";
    names.post_file_name = "map.pos";

    Dialog atoms_page(map_atoms_page_resource());
    Dialog vectors_page(map_vectors_page_resource());
    Dialog centre_page(map_centre_page_resource());
    Dialog grid_page(map_grid_page_resource());
    Dialog trajectory_page(map_trajectory_page_resource());
    Dialog host(map_dialog_resource(), owner ? owner : QApplication::activeWindow());
    host.add_tab_page(IDC_MAP_TABS, "ATOMS", atoms_page);
    host.add_tab_page(IDC_MAP_TABS, "BASIS VECTORS", vectors_page);
    host.add_tab_page(IDC_MAP_TABS, "MAP TYPE AND CENTRE", centre_page);
    host.add_tab_page(IDC_MAP_TABS, "GRID", grid_page);
    host.add_tab_page(IDC_MAP_TABS, "TRAJECTORY", trajectory_page);
    host.select_tab(IDC_MAP_TABS, TAB_ATOMS);
    records = MapDialogRecords{&host, &atoms_page, &vectors_page, &centre_page, &grid_page, &trajectory_page};

    host.set_text(IDC_MAP_PROPERTY, property_label(property_selection().property_code));
    set_map_dialog_controls_state();
    host.clear_items(IDC_MAP_OUT_BOX);
    std::string head = spherical_esp_tables().esp_tables_ready == 1
                           ? "num  atom     mask     x       y       z    occup"
                           : "num  atom     mask     x       y       z";
    head.resize(ATOM_LINE_WIDTH, ' ');
    host.add_item(IDC_MAP_OUT_BOX, head);
    for (int i = 1; i <= atom_count(); ++i)
        host.add_item(IDC_MAP_OUT_BOX, atom_list_line(i));
    host.set_enabled(IDC_CALCULATE_PLANE, false);
    host.set_text(IDC_MAP_FILE, names.map_file_name);
    host.set_text(IDC_POST_FILE, names.post_file_name);
    fill_pages();
    bind_callbacks(host);

    host.run_modal();
    host.release();
    records = MapDialogRecords{};
}
