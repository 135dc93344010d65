#include "keldana/density/energy_densities.h"

#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int FIRST_ENERGY_CODE = 30, LAST_ENERGY_CODE = 43;

// Codes whose value rests on the kinetic energy density G.
bool needs_kinetic_energy(int code)
{
    return (code >= 30 && code <= 34) || (code >= 41 && code <= 43);
}

double becke_exchange(double rho, double g)
{
    const double rho43 = std::pow(rho, 4.0 / 3.0);
    const double s = 1.25992105 * g / rho43;
    return -rho43 * (0.738558775 + 0.0033335422091999994 * s * s / (1.0 + 0.0252 * s * std::asinh(s)));
}

double lee_zhou_exchange(double rho, double g)
{
    const double rho43 = std::pow(rho, 4.0 / 3.0);
    return -(0.738558775 * rho43 + 0.0009002135830799999 * g * g / rho43);
}

}  // namespace

double evaluate_energy_density_from_density(int code, double rho, double g, double laplacian, double virial_sum,
                                            const PropertySelection& selection)
{
    if (code < FIRST_ENERGY_CODE || code > LAST_ENERGY_CODE)
        return 0.0;
    if (!(rho >= MIN_ENERGY_DENSITY))
        rho = MIN_ENERGY_DENSITY;
    const double l = laplacian;
    switch (code) {
    case 40: return l / (4.0 * rho) - g * g / (8.0 * rho * rho);  // OEP
    case 38: return 3.09366772628 * std::cbrt(rho);               // FERMI
    case 37: return -0.984745022 * std::cbrt(rho);                // EXCHANGE
    case 35: return -0.738558766 * std::pow(rho, 4.0 / 3.0);      // DIRAC
    case 36: return becke_exchange(rho, g);                       // BECKE
    case 39: return lee_zhou_exchange(rho, g);                    // LEE-ZHOU
    default: break;
    }

    const double tf = 2.871234000188 * std::pow(rho, 5.0 / 3.0);  // Thomas-Fermi
    double kinetic = 0.0;
    if (selection.kinetic_model == 1 || selection.kinetic_model == 2) {
        const double exchange = selection.kinetic_model == 1 ? becke_exchange(rho, g) : lee_zhou_exchange(rho, g);
        kinetic = l / 4.0 - (exchange + rho * virial_sum) / 2.0;
    } else {
        kinetic = tf + selection.elambda * g * g / rho + selection.coeff * l;
        if (kinetic <= MIN_ENERGY_DENSITY)
            kinetic = MIN_ENERGY_DENSITY;
    }
    const double positive_kinetic = std::max(kinetic, MIN_ENERGY_DENSITY);
    switch (code) {
    case 30: {  // ELF
        const double d = (kinetic - g * g / (8.0 * rho)) / tf;
        return 1.0 / (1.0 + d * d);
    }
    case 31: return kinetic;                                                          // KINET
    case 32: return kinetic - l / 4.0;                                                // SHROE
    case 33: return l / 4.0 - kinetic;                                                // ELECTRON
    case 34: return (l / 4.0 - 2.0 * kinetic) * selection.potential_energy_sign;      // PotEn
    case 41: return tf / (tf + positive_kinetic);                                     // LOL
    case 42: return 0.6666666667 * positive_kinetic / rho;                            // LTEMP
    case 43: return 1.5 * rho * (std::log(positive_kinetic / tf) + 4.15382052755);    // ENTROPY
    default: return 0.0;
    }
}

double evaluate_energy_density_property(double x, double y, double z, int code)
{
    if (code < FIRST_ENERGY_CODE || code > LAST_ENERGY_CODE)
        return 0.0;
    // The density, its gradient norm and its Laplacian by central
    // differences, their points in one pass.
    double rho = 0, g = 0, laplacian = 0;
    compute_property_value_gradient_norm_laplacian_numeric(x, y, z, 3, rho, g, laplacian);
    return evaluate_energy_density_from_differences(x, y, z, code, rho, g, laplacian);
}

double evaluate_energy_density_from_differences(double x, double y, double z, int code, double rho, double g,
                                                double laplacian)
{
    if (code < FIRST_ENERGY_CODE || code > LAST_ENERGY_CODE)
        return 0.0;
    const PropertySelection& selection = evaluated_selection();
    rho *= DENSITY_TO_AU;
    g *= GRADIENT_TO_AU;
    laplacian *= LAPLACIAN_TO_AU;
    double virial_sum = 0.0;
    if ((selection.kinetic_model == 1 || selection.kinetic_model == 2) && needs_kinetic_energy(code))
        // e/Angstrom to hartree/e: one bohr radius in Angstrom.
        virial_sum = sum_position_dot_gradient(x, y, z, 23) * BOHR_ANGSTROM;
    return evaluate_energy_density_from_density(code, rho, g, laplacian, virial_sum, selection);
}

double sum_position_dot_gradient(double x, double y, double z, int code)
{
    const StructureModel& model = evaluated_model();
    const SphericalEspTables& tables = spherical_esp_tables();
    const WorkingAtomSet& atoms = model.atoms;
    const std::vector<MultipoleFrame>& frames = current_multipole_frames();
    double sum = 0.0;
    for (int i = 1; i <= std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS); ++i) {
        if (atoms.subset_mask[i] == 0)
            continue;
        sum += evaluate_atom_position_dot_gradient(model, tables, i, frames[static_cast<std::size_t>(i)],
                                                   x - atoms.cart_x[i], y - atoms.cart_y[i], z - atoms.cart_z[i]);
    }
    return sum;
}
