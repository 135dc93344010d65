#include "keldana/properties/centre_of_mass.h"

#include <algorithm>

CentreOfMass& centre_of_mass()
{
    static CentreOfMass centre;
    return centre;
}

CentreOfMass compute_centre_of_mass(const StructureModel& model)
{
    const WorkingAtomSet& atoms = model.atoms;
    double total_mass = 0;
    std::array<double, 3> moment{};
    for (int i = 1; i <= std::min(atoms.atom_count, MAX_WORKING_ATOMS); ++i) {
        if (atoms.subset_mask[i] == 0)
            continue;
        const int type = atoms.atom_type_index[i];
        const double mass = type >= 1 && type <= MAX_ATOM_TYPES ? model.atom_types.type_mass[type] : 0.0;
        total_mass += mass;
        moment[0] += mass * atoms.cart_x[i];
        moment[1] += mass * atoms.cart_y[i];
        moment[2] += mass * atoms.cart_z[i];
    }
    CentreOfMass result;
    if (total_mass > 0)
        for (int k = 0; k < 3; ++k)
            result.centre[k] = moment[k] / total_mass;
    return result;
}

void compute_centre_of_mass() { centre_of_mass() = compute_centre_of_mass(current_model()); }
