// What every model load starts from: the per-load defaults of the model and
// of the areas other subsystems keep for one model (trajectory settings, map
// post atoms, charge groups, the viewer's view, the calculation switches, the
// bank flag), the element table, and the promolecule switch that lasts until
// the next load.
//
// Areas of the density and topology libraries (property selection,
// critical-point list and search settings, spherical potential tables,
// surfaces, basin results, harmonic normalisation) cannot be reached from
// here, since those libraries build on this one: each registers its own reset
// once at start-up with register_load_time_reset, and every
// apply_load_time_defaults runs the registered resets after its own.
#pragma once

#include "keldana/model/model_store.h"

#include <array>

struct TrajectorySettings {
    double path_step = 0.01;            // step along a path
    double path_end_value = 1e-5;       // a path ends where the property falls below it
    double out_of_plane_distance = 0.3; // Angstrom: atoms this close to the plane are listed
    int path_count = 36;                // paths started around each atom
    double path_start = 0.1;            // distance of a path's first point from its atom
};

inline constexpr int MAX_POST_ATOMS = 500;

// Plane coordinates of the atoms (and appended lattice images) of the map.
struct MapPostAtoms {
    int post_atom_count = 0;
    std::array<double, MAX_POST_ATOMS + 1> plane_u{}, plane_v{}, plane_w{};  // plane_w: signed distance from the plane
};

// Group of every working-atom slot in the potential-derived charges; each
// slot starts as its own group.
struct ChargeGroups {
    PerWorkingAtom<int> charge_group = own_slot_indices();

    static constexpr PerWorkingAtom<int> own_slot_indices()
    {
        PerWorkingAtom<int> groups{};
        for (int i = 0; i <= MAX_WORKING_ATOMS; ++i)
            groups[i] = i;
        return groups;
    }
};

// The three numbers of the viewer's view that every load sets back to 0;
// their meaning belongs to the viewer.
struct ViewerViewState {
    std::array<double, 3> view{};
};

TrajectorySettings& trajectory_settings();
MapPostAtoms& map_post_atoms();
ChargeGroups& charge_groups();
ViewerViewState& viewer_view_state();

// A reset of another library's per-load area; registering the same function
// again changes nothing.
using LoadTimeReset = void (*)();
void register_load_time_reset(LoadTimeReset reset);
void unregister_load_time_reset(LoadTimeReset reset);

// The per-load defaults inside a model: every working-atom slot active with
// one image (itself) and zero Cartesian coordinates, label slot 0 blank,
// cluster translations 1, 1, 1 in space (not unit-cell) mode.
void reset_model_for_load(StructureModel& model);

// The per-load defaults outside the model: charge groups, the viewer's view,
// the calculation switches (numerical derivatives and global frame on), the
// dialog-directory setting, trajectory settings, no map post atoms, the bank
// to be read again; then the registered resets in order of registration.
void apply_load_time_defaults();

// The start of every load: reset_model_for_load, apply_load_time_defaults,
// then the element table "atoms.axp" of the start-up directory into the
// model's type table.  False (after the reader's message) when the table is
// missing or malformed: the load must stop.
bool read_element_table(StructureModel& model);

// True after switch_to_promolecule_model until the loader clears it.
bool& promolecule_selected();

// Replaces the loaded multipole model by neutral spherical atoms: for every
// working atom Pv := Z - core (the evaluator applies the occupancy itself),
// kappa and kappa' := 1, every population in both frames := 0, l_max := 0.
// Reports the switch in the listing and the pane.
void switch_to_promolecule_model(StructureModel& model);
