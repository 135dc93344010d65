// The interatomic surfaces as OpenGL display lists: compiled once when the
// surfaces or their style change, called at every redraw.
#pragma once

#include "keldana/topology/interatomic_surface.h"
#include "keldana/viewer/viewer_state.h"

#include <array>
#include <vector>

struct SurfaceDisplayLists {
    int surface_list_count = 0;
    std::array<unsigned, MAX_SURFACE_ATOMS + 1> surface_list{};  // 1-based list ids
};

SurfaceDisplayLists& surface_display_lists();

// The atoms whose surfaces the table holds and the model can place: those
// of the last surface file in the order of its blocks, then those the basin
// integration computed since, in atom order.
std::vector<int> surface_atoms(const InteratomicSurfaceTable& table, int atom_count);

// Replaces the lists: one per surface atom, in its type's colour around its
// position, drawn as small spheres at the surface points (ias_as_points)
// and/or as triangles between neighbouring rows (ias_as_surface).  Needs the
// viewer's context current.
void build_surface_display_lists(const ViewerSceneState& state);

// Deletes the lists (context current).
void delete_surface_display_lists();
// Forgets the lists of a context that is gone.
void forget_surface_display_lists();
