#include "keldana/viewer/bond_list.h"

#include "keldana/model/text_fields.h"
#include "keldana/viewer/viewer_settings.h"

#include <algorithm>
#include <cmath>

BondList& bond_list()
{
    static BondList list;
    return list;
}

void update_bond_delta(BondList& list, const std::string& delta_text)
{
    std::string text = delta_text;
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
        return;
    double value = 0;
    if (parse_real_ignoring_letters(text, value) && std::abs(value) <= MAX_BOND_DELTA)
        list.bond_delta = value;
}

void fill_bond_list(const StructureModel& model, int atom_count, BondList& list)
{
    const WorkingAtomSet& atoms = model.atoms;
    const AtomTypeTable& types = model.atom_types;
    auto covalent_radius = [&](int atom) {
        const int type = atoms.atom_type_index[atom];
        return type >= 1 && type <= MAX_ATOM_TYPES ? types.type_covalent_radius[type] : 0.0;
    };
    const int n = std::clamp(atom_count, 0, MAX_WORKING_ATOMS);
    list.bond_count = 0;
    for (int i = 1; i < n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            const double distance = std::hypot(atoms.cart_x[i] - atoms.cart_x[j], atoms.cart_y[i] - atoms.cart_y[j],
                                               atoms.cart_z[i] - atoms.cart_z[j]);
            if (covalent_radius(i) + covalent_radius(j) + list.bond_delta < distance)
                continue;
            ++list.bond_count;
            list.bond_atom1[list.bond_count] = i;
            list.bond_atom2[list.bond_count] = j;
            if (list.bond_count == MAX_BONDS)
                return;
        }
    }
}

void build_viewer_bond_list(const StructureModel& model, int atom_count)
{
    BondList& list = bond_list();
    update_bond_delta(list, read_bond_delta_text());
    fill_bond_list(model, atom_count, list);
}

void build_bond_list(int atom_count) { build_viewer_bond_list(current_model(), atom_count); }
