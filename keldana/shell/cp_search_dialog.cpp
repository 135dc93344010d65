#include "keldana/shell/cp_search_dialog.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/model_store.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/resources/command_ids.h"
#include "keldana/resources/topology_dialogs.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/critical_point_list.h"

#include <QDialog>
#include <QEventLoop>
#include <QListWidget>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int EPOT_CODE = 23;
constexpr size_t SHORT_BOX = 3;     // atom numbers, counts and cluster sizes
constexpr size_t DISTANCE_BOX = 5;  // search distances
constexpr size_t LONG_BOX = 10;     // angle, point and shell values
constexpr size_t RING_ITEM_LENGTH = 60;

// What the dialog keeps between openings for the run of the program.
struct SearchDialogMemory {
    SearchMode mode = SearchMode::atoms;
    int kind = 0;
    Vector3 point{};
    Vector3 fractional_point{};
    ShellSearchParameters shell;
    int pair_atom1 = 0, pair_atom2 = 0;
    bool show_inside = false;
};

SearchDialogMemory memory;
bool searching = false;
bool cancel_pending = false;

bool is_blank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

// A box where a blank keeps the previous value.
template <typename T>
bool read_optional_box(const Dialog& page, int id, size_t width, T& target)
{
    return is_blank(page.get_text(id)) || page.get_number(id, target, width);
}

int atom_count() { return current_model().atoms.atom_count; }
bool is_atom(int a) { return a >= 1 && a <= atom_count(); }

std::string atom_list_line(int i)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    return format_line("(I3,2X,A8,2X,I2,2X,3F8.4)",
                       {i, atoms.atom_label[i], atoms.subset_mask[i], atoms.frac_x[i], atoms.frac_y[i],
                        atoms.frac_z[i]});
}

void fill_atom_numbers(Dialog& page, int id, const std::string& text)
{
    page.clear_items(id);
    for (int i = 1; i <= atom_count(); ++i)
        page.add_item(id, format_line("(I3)", {i}));
    page.set_text(id, text);
}

void fill_atoms_page(Dialog& page)
{
    const CriticalPointSearchSettings& s = critical_point_search_settings();
    fill_atom_numbers(page, IDC_PAIR_FROM, "  1");
    fill_atom_numbers(page, IDC_PAIR_TO, "  2");
    page.set_enabled(IDC_PAIR_FROM, false);
    page.set_enabled(IDC_PAIR_TO, false);
    page.set_enabled(IDC_MIN_DISTANCE, true);
    page.set_text(IDC_MIN_DISTANCE, format_line("(F5.2)", {s.min_distance}));
    page.set_enabled(IDC_MAX_DISTANCE, true);
    page.set_text(IDC_MAX_DISTANCE, format_line("(F5.2)", {s.max_distance}));
    const bool epot = property_selection().property_code == EPOT_CODE;
    for (int id : {IDC_CLUSTER_K, IDC_CLUSTER_L, IDC_CLUSTER_M}) {
        page.set_enabled(id, epot);
        page.set_text(id, "1");
    }
    page.set_checked(IDC_ALL_LINES, true);
    page.set_checked(IDC_CERTAIN_LINE, false);
    page.set_checked(IDC_SEARCH_HH, s.search_hh == 1);
    page.set_checked(IDC_HBOND_FILTER, s.hbond_angle_filter == 1);
    page.set_enabled(IDC_HBOND_ANGLE, s.hbond_angle_filter == 1);
    page.set_text(IDC_HBOND_ANGLE, format_line("(F5.1)", {s.hbond_min_angle}));
}

void on_pair_choice(Dialog& page, int id)
{
    const bool certain = id == IDC_CERTAIN_LINE;
    page.set_enabled(IDC_PAIR_FROM, certain);
    page.set_enabled(IDC_PAIR_TO, certain);
    for (int other : {IDC_SEARCH_HH, IDC_HBOND_FILTER, IDC_MIN_DISTANCE, IDC_MAX_DISTANCE})
        page.set_enabled(other, !certain);
    page.set_enabled(IDC_HBOND_ANGLE, !certain && page.get_checked(IDC_HBOND_FILTER));
}

// "<< Input from  list": the selected atom line joins the ring.
void add_ring_atom(Dialog& host, Dialog& ring_page)
{
    const int selected = host.get_selected_index(IDC_CP_ATOM_LIST);
    const int k = ring_page.get_item_count(IDC_RING_ATOMS);
    if (selected < 0 || k >= MAX_RING_ATOMS)
        return;
    std::string line = host.get_item_text(IDC_CP_ATOM_LIST, selected);
    if (line.size() > RING_ITEM_LENGTH)
        line.resize(RING_ITEM_LENGTH);
    ring_page.add_item(IDC_RING_ATOMS, line);
    ring_page.set_text(IDC_RING_COUNT, format_line("(I3)", {k + 1}));
    ring_page.set_selected_index(IDC_RING_ATOMS, k);
}

// ">> Reject atom": the selected ring atom leaves the ring.
void remove_ring_atom(Dialog& ring_page)
{
    const int count = ring_page.get_item_count(IDC_RING_ATOMS);
    const int selected = ring_page.get_selected_index(IDC_RING_ATOMS);
    if (count == 0 || selected < 0)
        return;
    std::vector<std::string> kept;
    for (int j = 0; j < count; ++j)
        if (j != selected)
            kept.push_back(ring_page.get_item_text(IDC_RING_ATOMS, j));
    ring_page.clear_items(IDC_RING_ATOMS);
    for (const std::string& line : kept)
        ring_page.add_item(IDC_RING_ATOMS, line);
    ring_page.set_text(IDC_RING_COUNT, format_line("(I3)", {count - 1}));
    if (!kept.empty())
        ring_page.set_selected_index(IDC_RING_ATOMS, selected > 0 ? selected - 1 : 0);
}

enum class RequestRead { ready, nothing_to_do, error };

// Each read below works on copies, stored only once every box has read: an
// unreadable box leaves the settings as they were.
RequestRead read_atoms_request(const Dialog& page, CriticalPointSearchRequest& request, int code)
{
    CriticalPointSearchSettings s = critical_point_search_settings();
    ClusterTranslations t = current_model().translations;
    s.search_hh = page.get_checked(IDC_SEARCH_HH) ? 1 : 0;
    s.hbond_angle_filter = page.get_checked(IDC_HBOND_FILTER) ? 1 : 0;
    if (s.hbond_angle_filter == 1 && !read_optional_box(page, IDC_HBOND_ANGLE, LONG_BOX, s.hbond_min_angle))
        return RequestRead::error;
    request.certain_pair = page.get_checked(IDC_CERTAIN_LINE);
    if (request.certain_pair) {
        int a = memory.pair_atom1;
        int b = memory.pair_atom2;
        if (!read_optional_box(page, IDC_PAIR_FROM, SHORT_BOX, a) || !is_atom(a)
            || !read_optional_box(page, IDC_PAIR_TO, SHORT_BOX, b) || !is_atom(b))
            return RequestRead::error;
        memory.pair_atom1 = a;
        memory.pair_atom2 = b;
        if (a == b) {
            critical_point_search_settings() = s;
            return RequestRead::nothing_to_do;
        }
        request.atom1 = a;
        request.atom2 = b;
    }
    if (!read_optional_box(page, IDC_MIN_DISTANCE, DISTANCE_BOX, s.min_distance) ||
        !read_optional_box(page, IDC_MAX_DISTANCE, DISTANCE_BOX, s.max_distance))
        return RequestRead::error;
    if (code == EPOT_CODE) {
        if (!read_optional_box(page, IDC_CLUSTER_K, SHORT_BOX, t.cluster_k) ||
            !read_optional_box(page, IDC_CLUSTER_L, SHORT_BOX, t.cluster_l) ||
            !read_optional_box(page, IDC_CLUSTER_M, SHORT_BOX, t.cluster_m))
            return RequestRead::error;
    }
    critical_point_search_settings() = s;
    set_lattice_translations(t);
    return RequestRead::ready;
}

RequestRead read_ring_request(const Dialog& page, CriticalPointSearchRequest& request)
{
    const RingAtomList& previous = ring_atom_list();
    int count = previous.ring_atom_count;
    if (!read_optional_box(page, IDC_RING_COUNT, SHORT_BOX, count))
        return RequestRead::error;
    // The count may be typed by hand: it must stay within the ring's room
    // and the atoms listed.
    if (count < 0 || count > MAX_RING_ATOMS || count > page.get_item_count(IDC_RING_ATOMS))
        return RequestRead::error;
    request.ring.ring_atom_count = count;
    for (int k = 1; k <= count; ++k) {
        int atom = previous.ring_atoms[k];
        const std::string item = page.get_item_text(IDC_RING_ATOMS, k - 1).substr(0, SHORT_BOX);
        if (!is_blank(item) && !read_list(item, {&atom}))
            return RequestRead::error;
        if (!is_atom(atom))
            return RequestRead::error;
        request.ring.ring_atoms[k] = atom;
    }
    return RequestRead::ready;
}

RequestRead read_point_request(const Dialog& page, CriticalPointSearchRequest& request)
{
    const bool cartesian = page.get_checked(IDC_POINT_CARTESIAN);
    const bool fractional = page.get_checked(IDC_POINT_FRACTIONAL);
    if (!cartesian && !fractional)
        return RequestRead::error;  // the kind of coordinates must be chosen
    Vector3 v{};
    if (!page.get_number(IDC_START_X, v[0], LONG_BOX) || !page.get_number(IDC_START_Y, v[1], LONG_BOX) ||
        !page.get_number(IDC_START_Z, v[2], LONG_BOX))
        return RequestRead::error;
    if (cartesian) {
        memory.point = v;
    } else {
        memory.fractional_point = v;
        convert_fractional_to_cartesian(current_model().orthogonalisation, v[0], v[1], v[2], memory.point[0],
                                        memory.point[1], memory.point[2]);
    }
    request.point = memory.point;
    return RequestRead::ready;
}

RequestRead read_shell_request(const Dialog& page, CriticalPointSearchRequest& request)
{
    ShellSearchParameters p = memory.shell;
    if (!page.get_number(IDC_SHELL_ATOM, p.atom, LONG_BOX) ||
        !page.get_number(IDC_SHELL_N_THETA, p.n_theta, LONG_BOX) ||
        !page.get_number(IDC_SHELL_N_PHI, p.n_phi, LONG_BOX) ||
        !page.get_number(IDC_SHELL_N_RAD, p.n_rad, LONG_BOX) ||
        !page.get_number(IDC_SHELL_R_MIN, p.r_min, LONG_BOX) ||
        !page.get_number(IDC_SHELL_R_MAX, p.r_max, LONG_BOX) ||
        !page.get_number(IDC_SHELL_CUT, p.cut, LONG_BOX))
        return RequestRead::error;
    // The grid steps divide by nTheta - 1 and nPhi - 1.
    if (!is_atom(p.atom) || p.n_theta < 2 || p.n_phi < 2)
        return RequestRead::error;
    memory.show_inside = page.get_checked(IDC_SHELL_SHOW_INSIDE);
    p.show_inside = memory.show_inside;
    memory.shell = p;
    request.shell = p;
    return RequestRead::ready;
}

int kind_of(SearchMode mode)
{
    switch (mode) {
    case SearchMode::atoms: return SEARCH_ATOM_PAIR;
    case SearchMode::ring: return SEARCH_RING_CAGE;
    case SearchMode::point: return SEARCH_FROM_POINT;
    case SearchMode::shell: return SEARCH_SHELL;
    }
    return SEARCH_ATOM_PAIR;
}

void on_start_search(Dialog& host)
{
    if (searching)
        return;  // a search is running: its own button press is ignored
    const int code = property_selection().property_code;
    CriticalPointSearchRequest request;
    request.mode = memory.mode;
    RequestRead read = RequestRead::error;
    switch (memory.mode) {
    case SearchMode::atoms: read = read_atoms_request(*host.get_page(IDD_CP_PAGE_ATOMS), request, code); break;
    case SearchMode::ring: read = read_ring_request(*host.get_page(IDD_CP_PAGE_RING), request); break;
    case SearchMode::point: read = read_point_request(*host.get_page(IDD_CP_PAGE_POINT), request); break;
    case SearchMode::shell: read = read_shell_request(*host.get_page(IDD_CP_PAGE_SHELL), request); break;
    }
    if (read == RequestRead::error)
        report_unreadable_box(host, 0, "Please, check data in boxes");
    if (read != RequestRead::ready)
        return;
    memory.kind = kind_of(memory.mode);

    searching = true;
    run_critical_point_search(request, code);
    searching = false;
    if (cancel_pending) {
        cancel_pending = false;
        host.end(IDC_SEARCH_CANCEL);
        return;
    }
    if (QDialog* window = host.window())
        window->activateWindow();
}

void on_cancel(Dialog& host)
{
    if (searching) {
        cancel_pending = true;  // ends the dialog when the search stops
        return;
    }
    host.end(IDC_SEARCH_CANCEL);
}

void on_tab_change(Dialog& host)
{
    const Dialog* page = host.get_tab_page(IDC_CP_TABS, host.get_selected_tab(IDC_CP_TABS));
    if (!page)
        return;
    switch (page->get_resource_id()) {
    case IDD_CP_PAGE_ATOMS: memory.mode = SearchMode::atoms; break;
    case IDD_CP_PAGE_RING: memory.mode = SearchMode::ring; break;
    case IDD_CP_PAGE_POINT: memory.mode = SearchMode::point; break;
    case IDD_CP_PAGE_SHELL: memory.mode = SearchMode::shell; break;
    default: break;
    }
}

// The bank and its tables, read again when a load left them unread.
void drain_events() { ui().pump_events(); }

}  // namespace

bool critical_point_search_running() { return searching; }

void run_critical_point_search_dialog(QWidget* owner)
{
    CommandMenuGuard menus;
    if (!ensure_wavefunction_bank())
        return;

    Dialog atoms_page(cp_atoms_page_resource());
    Dialog point_page(cp_point_page_resource());
    Dialog ring_page(cp_ring_page_resource());
    Dialog shell_page(cp_shell_page_resource());
    Dialog host(cp_search_dialog_resource(), owner);
    host.add_tab_page(IDC_CP_TABS, "Atom-atom", atoms_page);
    host.add_tab_page(IDC_CP_TABS, "Point", point_page);
    host.add_tab_page(IDC_CP_TABS, "Ring/Cage", ring_page);
    host.add_tab_page(IDC_CP_TABS, "Shell", shell_page);
    host.select_tab(IDC_CP_TABS, 0);
    memory.mode = SearchMode::atoms;
    searching = false;
    cancel_pending = false;

    const CalculationSettings& settings = run_settings().calculation;
    host.set_text(IDC_CP_AXIS_SYSTEM, settings.global_frame != 0 ? "GLOBAL" : "LOCAL");
    host.set_text(IDC_CP_DERIVATIVES, settings.numerical_derivatives != 0 ? "Numerical" : "Analytic");
    host.set_text(IDC_CP_PROPERTY, property_label(property_selection().property_code));

    text_pane_state().scroll_to_end = true;
    host.clear_items(IDC_CP_ATOM_LIST);
    for (int i = 1; i <= atom_count(); ++i)
        host.add_item(IDC_CP_ATOM_LIST, atom_list_line(i));
    fill_atoms_page(atoms_page);
    fill_atom_numbers(shell_page, IDC_SHELL_ATOM, "  1");
    shell_page.set_checked(IDC_SHELL_SHOW_INSIDE, memory.show_inside);

    host.set_callback(IDC_CP_TABS, [](Dialog& d, int, ControlEvent) { on_tab_change(d); });
    host.set_callback(IDC_START_SEARCH, [](Dialog& d, int, ControlEvent) { on_start_search(d); });
    host.set_callback(IDC_SEARCH_CANCEL, [](Dialog& d, int, ControlEvent) { on_cancel(d); });
    for (int id : {IDC_ALL_LINES, IDC_CERTAIN_LINE})
        atoms_page.set_callback(id, [](Dialog& page, int which, ControlEvent) { on_pair_choice(page, which); });
    atoms_page.set_callback(IDC_HBOND_FILTER, [](Dialog& page, int, ControlEvent) {
        page.set_enabled(IDC_HBOND_ANGLE, page.get_checked(IDC_HBOND_FILTER));
    });
    ring_page.set_callback(IDC_RING_ADD, [&host](Dialog& page, int, ControlEvent) { add_ring_atom(host, page); });
    ring_page.set_callback(IDC_RING_REMOVE, [](Dialog& page, int, ControlEvent) { remove_ring_atom(page); });
    // A double click on an atom adds it to the ring; on a ring atom removes it.
    if (auto* list = qobject_cast<QListWidget*>(host.get_control_widget(IDC_CP_ATOM_LIST)))
        QObject::connect(list, &QListWidget::itemDoubleClicked, list,
                         [&host, &ring_page] { add_ring_atom(host, ring_page); });
    if (auto* list = qobject_cast<QListWidget*>(ring_page.get_control_widget(IDC_RING_ATOMS)))
        QObject::connect(list, &QListWidget::itemDoubleClicked, list, [&ring_page] { remove_ring_atom(ring_page); });

    // Shown without blocking the main window, so that its STOP button stays
    // within reach while a search runs; the command menus are greyed.
    host.show_modeless();
    if (host.is_open()) {
        QEventLoop loop;
        QObject::connect(host.window(), &QDialog::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    host.release();

    if (critical_point_list().cp_count != 0)
        ui().enable_command(CMD_BOND_PATH, true);
    ui().text_pane_changed();
    drain_events();
}
