#include "keldana/properties/quadrupole_moment.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/report_output.h"
#include "keldana/properties/centre_of_mass.h"
#include "keldana/properties/dipole_moment.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

// Angular integrals of the density-normalised quadrupole harmonics: 3 pi as
// the constant always was (9.4244781, not 9.42477796), and 6 sqrt(3).
constexpr double OFF_DIAGONAL_FACTOR = 9.4244781 / 15.0;
constexpr double AXIAL_FACTOR = 10.392304845413264 / 5.0;

struct SectionText {
    const char* caption;
    const char* pane_header;
    const char* listing_header;
    bool blank_after_pane_header;
};

constexpr std::array<SectionText, QUADRUPOLE_SECTION_COUNT> SECTIONS = {{
    {" Contributions to Qxy: ", " Atom       Charge      Px        Py        Qxy     Total",
     " Atom        Charge      Px        Py        Qxy     Total", false},
    {" Contributions to Qxz: ", " Atom       Charge      Px        Pz        Qxz     Total",
     " Atom       Charge      Px        Pz        Qxz     Total", false},
    {" Contributions to Qyz: ", " Atom       Charge      Py        Pz        Qyz     Total",
     " Atom       Charge      Py        Pz        Qyz     Total", true},
    {" Contributions to Q(xx-yy)/2: ", " Atom      Charge       Px        Py     Q(xx-yy)/2  Total",
     " Atom      Charge       Px        Py     Q(xx-yy)/2  Total", true},
    {" Contributions to Q(3zz-rr): ", " Atom      Charge       Px        Py        Pz      Q(3zz-rr)   Total",
     " Atom      Charge       Px        Py        Pz      Q(3zz-rr)   Total", false},
}};

// The quadrupole-population term of each section for one atom.
std::array<double, QUADRUPOLE_SECTION_COUNT> quadrupole_population_terms(const StructureModel& model, int atom)
{
    std::array<double, QUADRUPOLE_SECTION_COUNT> theta{};
    const PseudoatomParameters& q = model.pseudoatoms;
    const double a = q.kappa_prime[atom] * q.radial_zeta[atom][2];
    if (q.l_max[atom] < 2 || !(a > 0) || !std::isfinite(a))
        return theta;
    const int n = q.radial_n[atom][2];
    const double r2 = (n + 4.0) * (n + 3.0) / (a * a);  // <r^2> of the radial function
    const MultipolePopulations& p = model.global_populations.population[atom];
    theta[0] = -r2 * OFF_DIAGONAL_FACTOR * p(2, -2);
    theta[1] = -r2 * OFF_DIAGONAL_FACTOR * p(2, 1);
    theta[2] = -r2 * OFF_DIAGONAL_FACTOR * p(2, -1);
    theta[3] = -r2 * OFF_DIAGONAL_FACTOR * p(2, 2);
    theta[4] = -r2 * AXIAL_FACTOR * p(2, 0);
    return theta;
}

// A row of scaled terms after its head: the format's leading items and the
// values they take (the label, or none after a literal).
std::string scaled_values_line(const std::string& head_format, std::vector<FortranValue> list, const double* values,
                               int count)
{
    for (int k = 0; k < count; ++k)
        list.emplace_back(values[k] * QUADRUPOLE_OUTPUT_FACTOR);
    return format_line("(" + head_format + std::to_string(count) + "F10.4)", list);
}

void pane_and_listing(const std::string& line)
{
    append_pane_line(line);
    write_listing_line(line);
}

}  // namespace

int quadrupole_value_count(int section) { return section == QUADRUPOLE_SECTION_3ZZ_RR ? 6 : 5; }

void compute_quadrupole_moment_tables(const StructureModel& model, const std::array<double, 3>& centre,
                                      QuadrupoleMomentTables& tables)
{
    tables = QuadrupoleMomentTables{};
    const WorkingAtomSet& atoms = model.atoms;
    for (int i = 1; i <= std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS); ++i) {
        if (atoms.subset_mask[i] == 0)
            continue;
        const double x = atoms.cart_x[i] - centre[0];
        const double y = atoms.cart_y[i] - centre[1];
        const double z = atoms.cart_z[i] - centre[2];
        const double q = compute_pseudoatom_net_charge(model, i) * model.pseudoatoms.occupancy[i];
        double px = 0, py = 0, pz = 0;
        if (model.pseudoatoms.l_max[i] > 0) {
            const double factor = compute_dipole_radial_factor(model, i);
            const MultipolePopulations& p = model.global_populations.population[i];
            px = -factor * p(1, 1);
            py = -factor * p(1, -1);
            pz = -factor * p(1, 0);
        }
        const std::array<double, QUADRUPOLE_SECTION_COUNT> theta = quadrupole_population_terms(model, i);
        tables.row[0][i] = {q * x * y, px * y, py * x, theta[0]};
        tables.row[1][i] = {q * x * z, px * z, pz * x, theta[1]};
        tables.row[2][i] = {q * y * z, py * z, pz * y, theta[2]};
        tables.row[3][i] = {q * (x * x - y * y) / 2, px * x, -py * y, theta[3]};
        tables.row[4][i] = {q * (2 * z * z - x * x - y * y), -2 * px * x, -2 * py * y, 4 * pz * z, theta[4]};
        for (int s = 0; s < QUADRUPOLE_SECTION_COUNT; ++s) {
            std::array<double, 6>& row = tables.row[s][i];
            const int last = quadrupole_value_count(s) - 1;
            row[last] = 0;
            for (int k = 0; k < last; ++k)
                row[last] += row[k];
            for (int k = 0; k <= last; ++k)
                tables.column_sum[s][k] += row[k];
        }
    }
    for (int s = 0; s < QUADRUPOLE_SECTION_COUNT; ++s) {
        const int last = quadrupole_value_count(s) - 1;
        for (int k = 0; k < last; ++k)
            tables.total[s] += tables.column_sum[s][k];
    }
}

void report_molecular_quadrupole_moment(const StructureModel& model)
{
    text_pane_state().scroll_to_end = true;
    append_pane_line("");
    append_pane_line("  === MOLECULAR QUADRUPOLE MOMENT CALCULATION ===== ");
    write_listing_line("");
    write_listing_line("      ** Molecular Quadrupole Moment calculation **");

    const std::array<double, 3> centre = compute_centre_of_mass(model).centre;
    const std::string centre_line = format_line("('  Centre of inertia:',3F10.5)", {centre[0], centre[1], centre[2]});
    for (const std::string& line : {std::string(), centre_line, std::string()})
        pane_and_listing(line);

    auto tables = std::make_unique<QuadrupoleMomentTables>();
    compute_quadrupole_moment_tables(model, centre, *tables);

    const WorkingAtomSet& atoms = model.atoms;
    for (int s = 0; s < QUADRUPOLE_SECTION_COUNT; ++s) {
        const SectionText& text = SECTIONS[s];
        const int count = quadrupole_value_count(s);
        append_pane_line("");
        append_pane_line(text.caption);
        write_listing_line("");
        write_listing_line(text.caption);
        write_listing_line("");
        append_pane_line("");
        append_pane_line(text.pane_header);
        if (text.blank_after_pane_header)
            append_pane_line("");
        write_listing_line(text.listing_header);
        write_listing_line("");
        for (int i = 1; i <= std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS); ++i)
            if (atoms.subset_mask[i] != 0)
                pane_and_listing(scaled_values_line("1X,A8,", {atoms.atom_label[i]}, tables->row[s][i].data(), count));
        const std::string totals = scaled_values_line("' Totals: ',", {}, tables->column_sum[s].data(), count);
        pane_and_listing("");
        pane_and_listing(totals);
    }

    const std::string summary = scaled_values_line("' Summary:',", {}, tables->total.data(), QUADRUPOLE_SECTION_COUNT);
    write_listing_line("");
    write_listing_line("");
    write_listing_line("               Qxy       Qxz       Qyz      Qxx-yy     Qzz");
    write_listing_line(summary);
    append_pane_line("");
    append_pane_line("              Qxy       Qxz       Qyz      Qxx-yy      Qzz");
    append_pane_line(summary);
    ui().text_pane_changed();
}

void compute_molecular_quadrupole_moment() { report_molecular_quadrupole_moment(current_model()); }
