#include "keldana/properties/dipole_moment.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/density/local_frames.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/report_output.h"
#include "keldana/properties/centre_of_mass.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int FIRST_MONOPOLE_KIND = 12;  // 12 Pv, 13 P00
constexpr int FIRST_DIPOLE_KIND = 14;    // 14, 15, 16: P11, P1-1, P10 along the local x, y, z
constexpr int LAST_DIPOLE_KIND = 16;

int atom_limit(const StructureModel& model) { return std::clamp(model.atoms.atom_count, 0, MAX_WORKING_ATOMS); }

// The Cartesian turn of the operation that made `image` (the identity for the
// parent itself): what carries the parent's axes onto the image.
Matrix3 image_turn(const StructureModel& model, int parent, int image)
{
    Matrix3 turn;
    turn(1, 1) = turn(2, 2) = turn(3, 3) = 1.0;
    const int operation = image == parent ? 0 : model.images.generating_operator[image];
    const int op = std::abs(operation);
    if (op < 1 || op > MAX_SYMMETRY_OPERATORS)
        return turn;
    const double sign = operation < 0 ? -1.0 : 1.0;
    Matrix3 rotation;
    for (int row = 1; row <= 3; ++row)
        for (int column = 1; column <= 3; ++column)
            rotation(row, column) = sign * model.operators.symop[op][row][column];
    Matrix3 cartesian;
    if (transform_matrix_by_cell(model.orthogonalisation, rotation, cartesian))
        turn = cartesian;
    return turn;
}

// d D_r / d p for parameter s of the matrix (component r = 0, 1, 2).
double dipole_parameter_derivative(const StructureModel& model, const CovarianceMatrix& matrix, int s,
                                   const std::array<double, 3>& centre, int r)
{
    const int kind = matrix.cov_kind[s];
    const int parent = matrix.cov_atom[s];
    if (parent < 1 || parent > std::min(model.atoms.independent_atom_count, MAX_INDEPENDENT_ATOMS))
        return 0.0;
    Vector3 axes[3];
    const bool dipole_kind = kind >= FIRST_DIPOLE_KIND && kind <= LAST_DIPOLE_KIND;
    if (dipole_kind && !get_atom_local_axes(model, parent, axes[0], axes[1], axes[2]))
        return 0.0;
    const int images = model.images.image_count[parent];
    double derivative = 0;
    for (int j = 1; j <= std::max(images, 1) && j <= MAX_IMAGES_PER_ATOM; ++j) {
        const int g = images < 1 ? parent : model.images.image_list[parent][j];
        // The moment sums the subset's atoms only; so does its e.s.d.
        if (g < 1 || g > atom_limit(model) || model.atoms.subset_mask[g] == 0)
            continue;
        if (!dipole_kind) {
            derivative -= working_atom_position(model.atoms, g)[r] - centre[r];
            continue;
        }
        const Vector3& axis = axes[kind - FIRST_DIPOLE_KIND];
        const Matrix3 turn = image_turn(model, parent, g);
        const double component = turn(r + 1, 1) * axis[0] + turn(r + 1, 2) * axis[1] + turn(r + 1, 3) * axis[2];
        derivative -= compute_dipole_radial_factor(model, g) * component;
    }
    return derivative;
}

bool takes_part(const CovarianceMatrix& matrix, int s)
{
    return matrix.cov_kind[s] >= FIRST_MONOPOLE_KIND && matrix.cov_kind[s] <= LAST_DIPOLE_KIND;
}

// Halves away from zero; a value far beyond any field prints as asterisks anyway.
int nearest_integer(double value)
{
    if (!std::isfinite(value))
        return 999999;
    return static_cast<int>(std::lround(std::clamp(value, -1e9, 1e9)));
}

}  // namespace

double compute_dipole_radial_factor(const StructureModel& model, int atom)
{
    const PseudoatomParameters& q = model.pseudoatoms;
    const double exponent = q.kappa_prime[atom] * q.radial_zeta[atom][1];
    if (!(exponent > 0) || !std::isfinite(exponent))
        return 0.0;
    // (n + 3)! / (n + 2)! = n + 3
    return 4.0 * (q.radial_n[atom][1] + 3) / (3.0 * exponent);
}

double compute_pseudoatom_net_charge(const StructureModel& model, int atom)
{
    const PseudoatomParameters& q = model.pseudoatoms;
    return (model.atoms.atomic_number[atom] - q.core_electron_count[atom]) - q.valence_population[atom]
           - model.global_populations.population[atom](0, 0);
}

void compute_dipole_moment_tables(const StructureModel& model, const std::array<double, 3>& centre,
                                  DipoleMomentTables& tables)
{
    tables = DipoleMomentTables{};
    for (int i = 1; i <= atom_limit(model); ++i) {
        if (model.atoms.subset_mask[i] == 0)
            continue;
        const double q = compute_pseudoatom_net_charge(model, i);
        tables.net_charge[i] = q;
        tables.charge_sum += q * model.pseudoatoms.occupancy[i];
        std::array<double, 6>& c = tables.contribution[i];
        const Vector3 r = working_atom_position(model.atoms, i);
        for (int k = 0; k < 3; ++k)
            c[k] = q * (r[k] - centre[k]);
        if (model.pseudoatoms.l_max[i] > 0) {
            const double factor = compute_dipole_radial_factor(model, i);
            const MultipolePopulations& p = model.global_populations.population[i];
            c[3] = -factor * p(1, 1);
            c[4] = -factor * p(1, -1);
            c[5] = -factor * p(1, 0);
        }
        for (int k = 0; k < 3; ++k) {
            tables.charge_total[k] += c[k];
            tables.population_total[k] += c[k + 3];
        }
    }
    for (int k = 0; k < 3; ++k)
        tables.dipole[k] = tables.charge_total[k] + tables.population_total[k];
    const std::array<double, 3>& d = tables.dipole;
    tables.magnitude = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

void compute_dipole_moment_esd(const StructureModel& model, const CovarianceMatrix& matrix,
                               const std::array<double, 3>& centre, double& sigma_x, double& sigma_y,
                               double& sigma_z)
{
    const int n = std::clamp(matrix.cov_order, 0, MAX_COVARIANCE_PARAMETERS);
    std::array<double, 3> sigma{};
    std::vector<double> derivative(n + 1);
    for (int r = 0; r < 3; ++r) {
        for (int s = 1; s <= n; ++s)
            derivative[s] = takes_part(matrix, s) ? dipole_parameter_derivative(model, matrix, s, centre, r) : 0.0;
        double variance = 0;
        for (int s = 1; s <= n; ++s) {
            if (!takes_part(matrix, s))
                continue;
            for (int t = s; t <= n; ++t)
                if (takes_part(matrix, t))
                    variance += (s == t ? 1.0 : 2.0) * derivative[s] * matrix.cov_at(s, t) * derivative[t];
        }
        // A matrix that is not positive semi-definite can leave a rounding-size negative sum.
        sigma[r] = std::sqrt(std::max(variance, 0.0)) * matrix.cov_scale;
    }
    sigma_x = sigma[0];
    sigma_y = sigma[1];
    sigma_z = sigma[2];
}

double compute_dipole_magnitude_esd(const std::array<double, 3>& dipole, double sigma_x, double sigma_y,
                                    double sigma_z)
{
    const double magnitude = std::sqrt(dipole[0] * dipole[0] + dipole[1] * dipole[1] + dipole[2] * dipole[2]);
    if (magnitude == 0)
        return std::sqrt((sigma_x * sigma_x + sigma_y * sigma_y + sigma_z * sigma_z) / 3.0);
    const double x = sigma_x * dipole[0], y = sigma_y * dipole[1], z = sigma_z * dipole[2];
    return std::sqrt(x * x + y * y + z * z) / magnitude;
}

void report_molecular_dipole_moment(const StructureModel& model, const CovarianceMatrix& matrix,
                                    const std::array<double, 3>& centre)
{
    text_pane_state().scroll_to_end = true;
    append_pane_line("");
    append_pane_line("   ===== MOLECULAR DIPOLE MOMENT =====");
    append_pane_line("");

    const std::string centre_line = format_line("('  Centre of inertia:',3F10.5)", {centre[0], centre[1], centre[2]});
    append_pane_line(centre_line);
    append_pane_line("");
    write_listing_line("");
    write_listing_line(centre_line);
    write_listing_line("");

    DipoleMomentTables tables;
    compute_dipole_moment_tables(model, centre, tables);

    const std::string header = " Atom      q       qx       qy       qz       px       py       pz  ";
    write_listing_line("");
    write_listing_line("      Pseudoatom charges and contributions to moleculardipole:");
    write_listing_line("");
    write_listing_line(header);
    write_listing_line("");
    append_pane_line("      Pseudoatom charges and contributions to molecular dipole:");
    append_pane_line("");
    append_pane_line(header);
    append_pane_line("");

    const double f = DEBYE_PER_E_ANGSTROM;
    for (int i = 1; i <= atom_limit(model); ++i) {
        if (model.atoms.subset_mask[i] == 0)
            continue;
        const std::array<double, 6>& c = tables.contribution[i];
        const std::string line =
            format_line("(1X,A5,7F9.4)", {model.atoms.atom_label[i], tables.net_charge[i], c[0] * f, c[1] * f,
                                          c[2] * f, c[3] * f, c[4] * f, c[5] * f});
        append_pane_line(line);
        write_listing_line(line);
    }
    const std::array<double, 3>& tq = tables.charge_total;
    const std::array<double, 3>& tp = tables.population_total;
    write_listing_line("");
    write_listing_line(format_line("('Total ',7F9.4)",
                                   {tables.charge_sum, tq[0] * f, tq[1] * f, tq[2] * f, tp[0] * f, tp[1] * f, tp[2] * f}));

    const std::array<double, 3>& d = tables.dipole;
    if (matrix.esd_available == 1) {
        double sx = 0, sy = 0, sz = 0;
        compute_dipole_moment_esd(model, matrix, centre, sx, sy, sz);
        const double sd = compute_dipole_magnitude_esd(d, sx, sy, sz);
        const double units = ESD_TENTHS_OF_DEBYE_PER_E_ANGSTROM;
        const std::string components =
            format_line("('   px = ',F9.1,'(',I2,')  py = ',F9.1,'(',I2,')pz = ',F9.1,'(',I2,')')",
                        {d[0] * f, nearest_integer(sx * units), d[1] * f, nearest_integer(sy * units), d[2] * f,
                         nearest_integer(sz * units)});
        const std::string magnitude = format_line("('  Dipole Magnitude:  ',F9.1,'(',I2,')  Debye ')",
                                                  {tables.magnitude * f, nearest_integer(sd * units)});
        write_listing_line("");
        write_listing_line(components);
        write_listing_line("");
        append_pane_line("");
        append_pane_line(components);
        write_listing_line(magnitude);
        write_listing_line("");
        append_pane_line(magnitude);
    } else {
        const std::string components =
            format_line("('   px = ',F9.1,5X,'  py = ',F9.1,5X,'  pz = ',F9.1)", {d[0] * f, d[1] * f, d[2] * f});
        const std::string magnitude = format_line("('  Dipole Magnitude:  ',F9.1,'  Debye ')", {tables.magnitude * f});
        write_listing_line("");
        write_listing_line(components);
        write_listing_line("");
        append_pane_line(components);
        write_listing_line(magnitude);
        write_listing_line("");
        append_pane_line(magnitude);
    }
    ui().text_pane_changed();
}

void compute_molecular_dipole_moment()
{
    compute_centre_of_mass();
    report_molecular_dipole_moment(current_model(), covariance_matrix(), centre_of_mass().centre);
}
