#include "keldana/model/input_checks.h"

#include "keldana/model/text_fields.h"

#include <cmath>
#include <cstdio>

namespace {

bool within(double value, double low, double high) { return value >= low && value <= high; }  // false for NaN

std::string atom_name(const StructureModel& model, int i)
{
    return "Atom " + std::to_string(i) + " (" + text_field_string(model.atoms.atom_label[i]) + ")";
}

std::string number_text(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6G", value);
    return text;
}

std::string check_cell(const UnitCell& cell)
{
    for (double length : {cell.cell_a, cell.cell_b, cell.cell_c})
        if (!(length > 0.0 && length <= MAX_MODEL_LENGTH))
            return "The cell length " + number_text(length) + " is not between 0 and "
                   + number_text(MAX_MODEL_LENGTH) + " Angstrom.";
    for (double angle : {cell.cell_alpha, cell.cell_beta, cell.cell_gamma})
        if (!(angle > 0.0 && angle < 180.0))
            return "The cell angle " + number_text(angle) + " is not between 0 and 180 degrees.";
    return "";
}

// A fractional coordinate this large gives a Cartesian one beyond any bound.
bool sane_fraction(double f) { return within(f, -MAX_MODEL_LENGTH, MAX_MODEL_LENGTH); }

std::string check_frame(const StructureModel& model, int i, int points)
{
    const LocalAxisDefinitions& axes = model.local_axes;
    const int f1 = axes.frame_atom_1[i], f2 = axes.frame_atom_2[i], f3 = axes.frame_atom_3[i];
    const bool sound = model.pseudoatoms.l_max[i] > 0
                           ? frame_atom_1_in_range(f1, points) && frame_atom_in_range(f2, points)
                                 && frame_atom_in_range(f3, points)
                           : (f1 == 0 || frame_atom_1_in_range(f1, points)) && (f2 == 0 || frame_atom_in_range(f2, points))
                                 && (f3 == 0 || frame_atom_in_range(f3, points));
    if (sound)
        return "";
    return atom_name(model, i) + ": the frame atoms " + std::to_string(f1) + ", " + std::to_string(f2) + ", "
           + std::to_string(f3) + " are not atoms or dummy atoms 1 to " + std::to_string(points) + ".";
}

std::string check_pseudoatom(const StructureModel& model, int i)
{
    const PseudoatomParameters& q = model.pseudoatoms;
    const std::string atom = atom_name(model, i);
    const int l_max = q.l_max[i];
    if (l_max < 0 || l_max > MAX_L)
        return atom + ": l_max " + std::to_string(l_max) + " is outside 0 to " + std::to_string(MAX_L) + ".";
    for (int l = 0; l <= l_max; ++l) {
        if (q.radial_n[i][l] < 0 || q.radial_n[i][l] > MAX_RADIAL_POWER)
            return atom + ": the radial power n(" + std::to_string(l) + ") = " + std::to_string(q.radial_n[i][l])
                   + " is outside 0 to " + std::to_string(MAX_RADIAL_POWER) + ".";
        if (!(q.radial_zeta[i][l] > 0.0 && q.radial_zeta[i][l] <= MAX_RADIAL_EXPONENT))
            return atom + ": the radial exponent zeta(" + std::to_string(l) + ") = " + number_text(q.radial_zeta[i][l])
                   + " is not between 0 and " + number_text(MAX_RADIAL_EXPONENT) + ".";
    }
    if (!within(q.kappa[i], 0.0, MAX_KAPPA) || !within(q.kappa_prime[i], 0.0, MAX_KAPPA))
        return atom + ": kappa " + number_text(q.kappa[i]) + " or kappa' " + number_text(q.kappa_prime[i])
               + " is outside 0 to " + number_text(MAX_KAPPA) + ".";
    if (!within(q.occupancy[i], -MAX_POPULATION, MAX_POPULATION))
        return atom + ": the occupancy " + number_text(q.occupancy[i]) + " is out of range.";
    bool populations_sound = within(q.valence_population[i], -MAX_POPULATION, MAX_POPULATION);
    for (int l = 0; l <= l_max; ++l)
        for (int m = -l; m <= l; ++m)
            populations_sound = populations_sound
                                && within(q.multipole_population[i](l, m), -MAX_POPULATION, MAX_POPULATION);
    if (!populations_sound)
        return atom + ": a population is not a number between " + number_text(-MAX_POPULATION) + " and "
               + number_text(MAX_POPULATION) + ".";
    return "";
}

bool sane_position(double x, double y, double z)
{
    for (double c : {x, y, z})
        if (!within(c, -MAX_MODEL_LENGTH, MAX_MODEL_LENGTH))
            return false;
    return true;
}

}  // namespace

bool sane_site_factor(double value)
{
    return std::fabs(value) >= MIN_SITE_FACTOR && std::fabs(value) <= MAX_SITE_FACTOR;
}

bool frame_atom_1_in_range(int f, int points) { return f != 0 && f >= -points && f <= points; }

bool frame_atom_in_range(int f, int points) { return f >= 1 && f <= points; }

std::string check_read_model(const StructureModel& model)
{
    const int n = model.atoms.atom_count;
    const int dummies = model.dummies.dummy_count;
    if (n < 1 || n > MAX_INDEPENDENT_ATOMS || dummies < 0 || dummies > MAX_DUMMY_ATOMS)
        return "The model has " + std::to_string(n) + " atoms and " + std::to_string(dummies) + " dummy atoms.";
    if (std::string cell = check_cell(model.cell); !cell.empty())
        return cell;
    const WorkingAtomSet& atoms = model.atoms;
    for (int i = 1; i <= n; ++i)
        if (!sane_fraction(atoms.frac_x[i]) || !sane_fraction(atoms.frac_y[i]) || !sane_fraction(atoms.frac_z[i]))
            return atom_name(model, i) + ": a fractional coordinate is not a number within "
                   + number_text(MAX_MODEL_LENGTH) + ".";
    for (int d = 1; d <= dummies; ++d)
        if (!sane_fraction(model.dummies.dummy_x[d]) || !sane_fraction(model.dummies.dummy_y[d])
            || !sane_fraction(model.dummies.dummy_z[d]))
            return "Dummy atom " + std::to_string(d) + ": a fractional coordinate is not a number within "
                   + number_text(MAX_MODEL_LENGTH) + ".";
    for (int i = 1; i <= n; ++i) {
        if (std::string pseudoatom = check_pseudoatom(model, i); !pseudoatom.empty())
            return pseudoatom;
        if (std::string frame = check_frame(model, i, n + dummies); !frame.empty())
            return frame;
    }
    return "";
}

std::string check_derived_model(const StructureModel& model)
{
    const WorkingAtomSet& atoms = model.atoms;
    const int n = atoms.atom_count;
    for (int i = 1; i <= n; ++i) {
        const int core = model.pseudoatoms.core_electron_count[i];
        if (core < 0 || core > atoms.atomic_number[i])
            return atom_name(model, i) + ": the core electron count " + std::to_string(core) + " is outside 0 to "
                   + std::to_string(atoms.atomic_number[i]) + ", its atomic number.";
    }
    for (int k = 1; k <= n + model.dummies.dummy_count; ++k)
        if (!sane_position(atoms.cart_x[k], atoms.cart_y[k], atoms.cart_z[k]))
            return (k <= n ? atom_name(model, k) : "Dummy atom " + std::to_string(k - n))
                   + ": its Cartesian position is not within " + number_text(MAX_MODEL_LENGTH) + " Angstrom.";
    return "";
}
