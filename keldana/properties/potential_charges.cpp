#include "keldana/properties/potential_charges.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr double MIN_POINT_DISTANCE = 1e-9;  // Angstrom

int atom_limit(const StructureModel& model) { return std::clamp(model.atoms.atom_count, 0, MAX_WORKING_ATOMS); }

double distance_to_atom(const StructureModel& model, int atom, double x, double y, double z)
{
    const double dx = x - model.atoms.cart_x[atom];
    const double dy = y - model.atoms.cart_y[atom];
    const double dz = z - model.atoms.cart_z[atom];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double type_radius(const StructureModel& model, int type)
{
    return type >= 1 && type <= MAX_ATOM_TYPES ? model.atom_types.type_radius[type] : 0.0;
}

// A_pc: sum over the members of each class of 1 / |r_p - r_member|.
void fill_design_row(const StructureModel& model, const ChargeClasses& classes, const PotentialGridPoints& grid,
                     int p, std::vector<double>& row)
{
    std::fill(row.begin(), row.end(), 0.0);
    for (int i = 1; i <= atom_limit(model); ++i) {
        const double d = distance_to_atom(model, i, grid.x[p], grid.y[p], grid.z[p]);
        row[classes.atom_class[i]] += 1.0 / std::max(d, MIN_POINT_DISTANCE);
    }
}

// Gauss elimination with row exchanges (a row at least as large as the
// pivot in absolute value takes its place, the last one on ties) and back
// substitution.  False when a pivot vanishes against the matrix's scale.
bool solve_by_gauss_elimination(std::vector<std::vector<double>>& a, std::vector<double>& b, std::vector<double>& q)
{
    const int m = static_cast<int>(b.size());
    double scale = 0;
    for (const std::vector<double>& row : a)
        for (double value : row)
            scale = std::max(scale, std::abs(value));
    const double tiny = scale * 1e-13;
    for (int k = 0; k < m; ++k) {
        for (int i = k + 1; i < m; ++i)
            if (std::abs(a[i][k]) >= std::abs(a[k][k])) {
                std::swap(a[i], a[k]);
                std::swap(b[i], b[k]);
            }
        if (!(std::abs(a[k][k]) > tiny))
            return false;
        for (int i = k + 1; i < m; ++i) {
            const double factor = a[i][k] / a[k][k];
            for (int j = k; j < m; ++j)
                a[i][j] -= factor * a[k][j];
            b[i] -= factor * b[k];
        }
    }
    q.assign(m, 0.0);
    for (int i = m - 1; i >= 0; --i) {
        double sum = b[i];
        for (int j = i + 1; j < m; ++j)
            sum -= a[i][j] * q[j];
        q[i] = sum / a[i][i];
    }
    return true;
}

// Least squares of the classes' charges under sum m_c Q_c = 0: the last
// class is eliminated and follows from the constraint.
bool solve_class_charges(const StructureModel& model, ChargeClasses& classes, const PotentialGridPoints& grid)
{
    const int k_count = classes.class_count;
    const int m = k_count - 1;
    const double last_members = classes.member_count[k_count];
    std::vector<std::vector<double>> normal(m, std::vector<double>(m, 0.0));
    std::vector<double> rhs(m, 0.0), row(k_count + 1), reduced(m);
    for (int p = 1; p <= grid.point_count; ++p) {
        fill_design_row(model, classes, grid, p, row);
        for (int c = 0; c < m; ++c)
            reduced[c] = row[c + 1] - classes.member_count[c + 1] / last_members * row[k_count];
        for (int c = 0; c < m; ++c) {
            for (int d = 0; d < m; ++d)
                normal[c][d] += grid.weight[p] * reduced[c] * reduced[d];
            rhs[c] += grid.weight[p] * reduced[c] * grid.potential[p];
        }
    }
    std::vector<double> charges;
    if (!solve_by_gauss_elimination(normal, rhs, charges))
        return false;
    double constrained = 0;
    for (int c = 1; c <= m; ++c) {
        classes.charge[c] = charges[c - 1];
        constrained += classes.member_count[c] * charges[c - 1];
    }
    classes.charge[k_count] = -constrained / last_members;
    return true;
}

// The potential of the working atoms themselves, the atoms the charges
// stand for: the lattice translations that maps may sum over (K, L, M) would
// put neighbouring molecules' nuclei beside the fitting points.
PotentialFunction molecular_potential(const StructureModel& model, const SphericalEspTables& tables)
{
    const int n_atoms = atom_limit(model);
    auto frames = std::make_shared<std::vector<MultipoleFrame>>(static_cast<std::size_t>(n_atoms) + 1);
    for (int i = 1; i <= n_atoms; ++i)
        if (model.pseudoatoms.l_max[i] > 0)
            (*frames)[i] = build_multipole_frame(model, i);
    return [&model, &tables, n_atoms, frames](double x, double y, double z) {
        double sum = 0;
        for (int i = 1; i <= n_atoms; ++i)
            sum += evaluate_atom_electrostatic_potential(model, tables, i, (*frames)[i],
                                                         x - model.atoms.cart_x[i], y - model.atoms.cart_y[i],
                                                         z - model.atoms.cart_z[i]);
        return sum;
    };
}

void show_fit_error()
{
    ui().message_box("The charges can not be fitted: too few points or points that do not tell the charges apart. "
                     "Please, change the grid or the envelope width.",
                     "Error!", MessageButtons::ok, MessageIcon::warning);
}

void pane_and_listing(const std::string& line)
{
    write_listing_line(line);
    append_pane_line(line);
}

// The first `length` characters of a field; more typed after them is
// refused, never cut.
bool read_prefix(const std::string& text, std::size_t length, FortranTarget target)
{
    if (text.find_first_not_of(' ', length) != std::string::npos)
        return false;
    return read_list(text.substr(0, length), {target});
}

}  // namespace

ChargeClassArray& charge_class_array()
{
    static ChargeClassArray array;
    return array;
}

ChargeClasses& charge_classes()
{
    static ChargeClasses classes;
    return classes;
}

PotentialGridPoints& potential_grid_points()
{
    static PotentialGridPoints grid;
    return grid;
}

void fill_default_charge_class_array(const StructureModel& model, ChargeClassArray& array)
{
    array = ChargeClassArray{};
    for (int i = 1; i <= atom_limit(model); ++i)
        array.class_value[i] = i <= model.atoms.independent_atom_count ? i : model.images.parent_atom[i];
}

void build_charge_classes(const StructureModel& model, const ChargeClassArray& array, ChargeClasses& classes)
{
    classes = ChargeClasses{};
    for (int i = 1; i <= atom_limit(model); ++i) {
        int joined = 0;
        for (int j = 1; j < i && joined == 0; ++j)
            if (array.class_value[j] == array.class_value[i])
                joined = classes.atom_class[j];
        if (joined == 0) {
            joined = ++classes.class_count;
            classes.first_member[joined] = i;
        }
        classes.atom_class[i] = joined;
        ++classes.member_count[joined];
    }
}

void build_potential_grid(int n, const PotentialFunction& potential, PotentialGridPoints& grid)
{
    n = std::clamp(n, 2, MAX_POINTS_PER_EDGE);
    std::array<double, 3> step{};
    for (int k = 0; k < 3; ++k)
        step[k] = (grid.box_max[k] - grid.box_min[k]) / (n - 1);
    int p = 0;
    double z = grid.box_min[2];
    for (int iz = 0; iz < n; ++iz, z += step[2]) {
        double y = grid.box_min[1];
        for (int iy = 0; iy < n; ++iy, y += step[1]) {
            double x = grid.box_min[0];
            for (int ix = 0; ix < n; ++ix, x += step[0]) {
                ++p;
                grid.x[p] = x;
                grid.y[p] = y;
                grid.z[p] = z;
                grid.potential[p] = potential(x, y, z);
                grid.weight[p] = 1.0;
            }
        }
    }
    grid.point_count = p;
}

int select_points_outside_atoms(const StructureModel& model, double envelope, PotentialGridPoints& grid)
{
    const double probe = type_radius(model, 1);
    int kept = 0;
    for (int p = 1; p <= grid.point_count; ++p) {
        bool outside_all = true;
        bool near_one = false;
        for (int k = 1; k <= atom_limit(model) && outside_all; ++k) {
            const double r = probe + type_radius(model, model.atoms.atom_type_index[k]);
            const double d = distance_to_atom(model, k, grid.x[p], grid.y[p], grid.z[p]);
            outside_all = d >= r;
            near_one = near_one || d < r + envelope;
        }
        if (!outside_all || !near_one)
            continue;
        ++kept;
        grid.x[kept] = grid.x[p];
        grid.y[kept] = grid.y[p];
        grid.z[kept] = grid.z[p];
        grid.potential[kept] = grid.potential[p];
        grid.weight[kept] = grid.weight[p];
    }
    grid.point_count = kept;
    return kept;
}

bool check_potential_fit_settings(const PotentialFitSettings& settings)
{
    return settings.points_per_edge >= 2 && settings.points_per_edge <= MAX_POINTS_PER_EDGE
           && std::isfinite(settings.edge_length) && settings.edge_length > 0
           && std::isfinite(settings.envelope_width) && settings.envelope_width > 0;
}

bool fit_potential_derived_charges(const StructureModel& model, const ChargeClassArray& array,
                                   const PotentialFitSettings& settings, const PotentialFunction& potential,
                                   ChargeClasses& classes, PotentialGridPoints& grid)
{
    if (!check_potential_fit_settings(settings)) {
        ui().message_box("Can not read data. Please, check data in boxes", "Error!", MessageButtons::ok,
                         MessageIcon::warning);
        return false;
    }
    const int n_atoms = atom_limit(model);
    const int n = settings.points_per_edge;
    text_pane_state().scroll_to_end = true;
    build_charge_classes(model, array, classes);

    write_listing_line("");
    write_listing_line(" ******************* Potential-derived charges *****************");
    write_listing_line("");
    append_pane_line("");
    append_pane_line("                  ===== POTENTIAL-DERIVED CHARGES ===== ");
    append_pane_line("");
    pane_and_listing(format_line("(' Number of symmetry-distinct atoms: ',I4)", {classes.class_count}));
    pane_and_listing(format_line("('    Number of grid points for V(r): ',I4)", {n * n * n}));
    pane_and_listing(format_line("('             Grid size (Angstroms): ',F8.4)", {settings.edge_length}));
    pane_and_listing(
        format_line("('       Width of envelope of points: ',F6.3,' Angstroms')", {settings.envelope_width}));
    pane_and_listing(format_line("('                  Weighting scheme: ',I4)", {settings.weighting_scheme}));

    std::array<double, 3> centroid{};
    for (int i = 1; i <= n_atoms; ++i) {
        centroid[0] += model.atoms.cart_x[i];
        centroid[1] += model.atoms.cart_y[i];
        centroid[2] += model.atoms.cart_z[i];
    }
    for (double& c : centroid)
        c /= std::max(n_atoms, 1);
    const std::string centroid_line =
        format_line("('                       Centroid at: ',3F12.4)", {centroid[0], centroid[1], centroid[2]});
    write_listing_line(centroid_line);
    append_pane_line("");
    append_pane_line(centroid_line);

    for (int k = 0; k < 3; ++k) {
        grid.box_min[k] = centroid[k] - settings.edge_length * 0.5;
        grid.box_max[k] = centroid[k] + settings.edge_length * 0.5;
    }
    const std::string limits_line =
        format_line("(' Grid limits (Angstroms): ',6F7.2)", {grid.box_min[0], grid.box_max[0], grid.box_min[1],
                                                              grid.box_max[1], grid.box_min[2], grid.box_max[2]});
    write_listing_line("");
    write_listing_line(limits_line);
    write_listing_line("");
    append_pane_line("");
    append_pane_line(limits_line);
    ui().text_pane_changed();
    ui().pump_events();

    build_potential_grid(n, potential, grid);
    const int points = select_points_outside_atoms(model, settings.envelope_width, grid);
    // K - 1 free charges need at least as many points.
    if (classes.class_count < 1 || points < 1 || points < classes.class_count - 1
        || !solve_class_charges(model, classes, grid)) {
        ui().text_pane_changed();
        show_fit_error();
        return false;
    }

    std::vector<double> fitted(points + 1), row(classes.class_count + 1);
    double squares = 0;
    for (int p = 1; p <= points; ++p) {
        fill_design_row(model, classes, grid, p, row);
        for (int c = 1; c <= classes.class_count; ++c)
            fitted[p] += classes.charge[c] * row[c];
        squares += grid.weight[p] * (grid.potential[p] - fitted[p]) * (grid.potential[p] - fitted[p]);
    }
    const std::string residual_line =
        format_line("('  Mean residual for fitted charges:  ',F12.7)", {std::sqrt(squares / points)});
    write_listing_line("");
    write_listing_line(residual_line);
    append_pane_line("");
    append_pane_line(residual_line);

    write_listing_line("");
    write_listing_line(format_line("(' The following ',I4,' points were used in the fit: ')", {points}));
    write_listing_line("");
    write_listing_line("        x          y           z        V(x,y,z)  Vfit(x,y,z)");
    write_listing_line("");
    for (int p = 1; p <= points; ++p)
        write_listing_line(
            format_line("(5F12.6)", {grid.x[p], grid.y[p], grid.z[p], grid.potential[p], fitted[p]}));
    for (const char* line : {"", " Fitted charges: ", "", " Centre      charge", ""})
        write_listing_line(line);
    std::vector<std::string> charge_lines;
    for (int c = 1; c <= classes.class_count; ++c)
        charge_lines.push_back(
            format_line("(2X,A8,F12.6)", {model.atoms.atom_label[classes.first_member[c]], classes.charge[c]}));
    for (const std::string& line : charge_lines)
        write_listing_line(line);

    append_pane_line("");
    append_pane_line(format_line("(' The',I4,' points were used in the fit ')", {points}));
    for (const char* line : {"", "   Fitted charges: ", "", " Centre      charge", ""})
        append_pane_line(line);
    for (const std::string& line : charge_lines)
        append_pane_line(line);
    ui().text_pane_changed();
    ui().pump_events();
    return true;
}

bool fit_potential_derived_charges(const ChargeClassArray& array, const PotentialFitSettings& settings)
{
    if (!check_potential_fit_settings(settings)) {
        ui().message_box("Can not read data. Please, check data in boxes", "Error!", MessageButtons::ok,
                         MessageIcon::warning);
        return false;
    }
    // EPOT reads the spherical potential tables: without them every value would be 0.
    if (spherical_esp_tables().esp_tables_ready == 0 && !build_spherical_potential_tables())
        return false;
    const StructureModel& model = current_model();
    return fit_potential_derived_charges(model, array, settings,
                                         molecular_potential(model, spherical_esp_tables()),
                                         charge_classes(), potential_grid_points());
}

std::string format_charge_class_item(int atom, int value) { return format_line("(I3,2X,I3)", {atom, value}); }

bool read_charge_class_item(const std::string& item, int& value)
{
    if (item.size() < 6)
        return false;
    int read = 0;
    if (!read_prefix(item.substr(5), 3, &read))
        return false;
    value = read;
    return true;
}

bool read_potential_fit_settings(const std::string& count_text, const std::string& edge_text,
                                 const std::string& envelope_text, PotentialFitSettings& settings, int& bad_box)
{
    PotentialFitSettings read = settings;
    bad_box = 0;
    if (!read_prefix(count_text, 3, &read.points_per_edge) || read.points_per_edge < 2
        || read.points_per_edge > MAX_POINTS_PER_EDGE)
        return false;
    bad_box = 1;
    if (!read_prefix(edge_text, 8, &read.edge_length) || !std::isfinite(read.edge_length) || read.edge_length <= 0)
        return false;
    bad_box = 2;
    if (!read_prefix(envelope_text, 8, &read.envelope_width) || !std::isfinite(read.envelope_width)
        || read.envelope_width <= 0)
        return false;
    settings = read;
    return true;
}
