#include "keldana/model/load_defaults.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/element_table.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<LoadTimeReset>& registered_resets()
{
    static std::vector<LoadTimeReset> resets;
    return resets;
}

}  // namespace

TrajectorySettings& trajectory_settings()
{
    static TrajectorySettings settings;
    return settings;
}

MapPostAtoms& map_post_atoms()
{
    static MapPostAtoms atoms;
    return atoms;
}

ChargeGroups& charge_groups()
{
    static ChargeGroups groups;
    return groups;
}

ViewerViewState& viewer_view_state()
{
    static ViewerViewState state;
    return state;
}

void register_load_time_reset(LoadTimeReset reset)
{
    std::vector<LoadTimeReset>& resets = registered_resets();
    if (reset && std::find(resets.begin(), resets.end(), reset) == resets.end())
        resets.push_back(reset);
}

void unregister_load_time_reset(LoadTimeReset reset)
{
    std::vector<LoadTimeReset>& resets = registered_resets();
    resets.erase(std::remove(resets.begin(), resets.end(), reset), resets.end());
}

void reset_model_for_load(StructureModel& model)
{
    WorkingAtomSet& atoms = model.atoms;
    for (int i = 1; i <= MAX_WORKING_ATOMS; ++i) {
        model.images.image_count[i] = 1;
        atoms.subset_mask[i] = 1;
        atoms.cart_x[i] = 0;
        atoms.cart_y[i] = 0;
        atoms.cart_z[i] = 0;
    }
    atoms.atom_label[0] = blank_text<8>();
    model.translations.cluster_k = 1;
    model.translations.cluster_l = 1;
    model.translations.cluster_m = 1;
    model.translations.unit_cell_mode = 0;
}

void apply_load_time_defaults()
{
    charge_groups() = ChargeGroups{};
    viewer_view_state() = ViewerViewState{};
    RunSettings& settings = run_settings();
    settings.calculation.numerical_derivatives = 1;
    settings.calculation.global_frame = 1;
    settings.paths.follow_dialog_directory = true;
    trajectory_settings() = TrajectorySettings{};
    map_post_atoms().post_atom_count = 0;
    bank_loaded() = 0;
    // A copy: a reset may register another one.
    const std::vector<LoadTimeReset> resets = registered_resets();
    for (LoadTimeReset reset : resets)
        reset();
    note_model_change();
}

bool read_element_table(StructureModel& model)
{
    reset_model_for_load(model);
    apply_load_time_defaults();
    return read_element_table_file(run_settings().file_dialog.start_directory, model.atom_types);
}

bool& promolecule_selected()
{
    static bool selected = false;
    return selected;
}

void switch_to_promolecule_model(StructureModel& model)
{
    PseudoatomParameters& pseudoatoms = model.pseudoatoms;
    const int atom_count = std::clamp(model.atoms.atom_count, 0, MAX_WORKING_ATOMS);
    for (int i = 1; i <= atom_count; ++i) {
        pseudoatoms.valence_population[i] = model.atoms.atomic_number[i] - pseudoatoms.core_electron_count[i];
        pseudoatoms.kappa[i] = 1.0;
        pseudoatoms.kappa_prime[i] = 1.0;
        pseudoatoms.multipole_population[i] = MultipolePopulations{};
        model.global_populations.population[i] = MultipolePopulations{};
        pseudoatoms.l_max[i] = 0;
    }

    for (const std::string& record : format_records("(/,' Procrystal/Promolecule Model has been selected',/)", {}))
        write_listing_line(record);
    text_pane_state().scroll_to_end = true;
    append_pane_line("");
    append_pane_line("  ***** Procrystal/Promolecule Model has been selected *****");
    append_pane_line("");
    append_pane_line("***** Please, reload data for change this selection *****");
    append_pane_line("");
    ui().text_pane_changed();
    promolecule_selected() = true;
    note_model_change();
}
