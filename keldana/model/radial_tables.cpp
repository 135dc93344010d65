#include "keldana/model/radial_tables.h"

#include "keldana/model/electron_configuration.h"
#include "keldana/model/model_store.h"

#include <algorithm>
#include <memory>

namespace {

void build_distinct_type_list(const StructureModel& model, RadialLookupTables& tables)
{
    tables.distinct_type_count = 0;
    tables.distinct_type.fill(0);
    tables.distinct_type_atomic_number.fill(0);
    tables.distinct_type_first_atom.fill(0);
    const int atom_count = std::min(model.atoms.atom_count, MAX_WORKING_ATOMS);
    for (int atom = 1; atom <= atom_count; ++atom) {
        const int t = model.atoms.atom_type_index[atom];
        if (t < 1 || t > MAX_ATOM_TYPES)
            continue;
        const auto listed = tables.distinct_type.begin() + 1;
        if (std::find(listed, listed + tables.distinct_type_count, t) != listed + tables.distinct_type_count)
            continue;
        const int m = ++tables.distinct_type_count;
        tables.distinct_type[m] = t;
        tables.distinct_type_atomic_number[m] = model.atoms.atomic_number[atom];
        tables.distinct_type_first_atom[m] = atom;
    }
}

void tabulate_type(const WavefunctionBank& bank, const ShellOccupation& occupation, int t,
                   RadialLookupTables& tables)
{
    const int count = std::min(bank.function_count[t], MAX_BANK_FUNCTIONS);
    for (int part = CORE_ELECTRONS; part <= VALENCE_ELECTRONS; ++part) {
        for (int n = 1; n <= BANK_SHELL_COUNT; ++n) {
            for (int l = 0; l < n && l <= 3; ++l) {
                const int o = bank_orbital_number(n, l);
                const int electrons = occupation[shell_occupation_index(part, l, n)];
                if (o == 0 || electrons == 0)
                    continue;
                const auto& coefficient = bank.orbital_coefficient[o][t];
                for (int i = 1; i <= count; ++i)
                    for (int j = i; j <= count; ++j)
                        tables.product_sum(t, i, j, n, part) += electrons * coefficient[i] * coefficient[j];
            }
        }
    }
}

}  // namespace

RadialLookupTables& radial_lookup_tables()
{
    static const std::unique_ptr<RadialLookupTables> tables = std::make_unique<RadialLookupTables>();
    return *tables;
}

void tabulate_radial_functions_by_type(const WavefunctionBank& bank, StructureModel& model,
                                       RadialLookupTables& tables)
{
    tables.orbital_product_sum.assign(RadialLookupTables::SIZE, 0.0);
    build_distinct_type_list(model, tables);
    for (int m = 1; m <= tables.distinct_type_count; ++m) {
        analyse_electron_configuration(model, tables.distinct_type_first_atom[m]);
        tabulate_type(bank, model.atom_types.shell_occupation, tables.distinct_type[m], tables);
    }
}

bool ensure_wavefunction_bank()
{
    if (bank_loaded() != 0)
        return true;
    if (!read_wavefunction_bank(wavefunction_bank(), current_model()))
        return false;
    tabulate_radial_functions_by_type(wavefunction_bank(), current_model(), radial_lookup_tables());
    note_model_change();
    return true;
}
