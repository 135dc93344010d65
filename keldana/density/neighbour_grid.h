// Uniform grid of atom positions that finds the atoms within a radius of a
// point without a scan of every atom: the point's cell and the cells next to
// it within the radius.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

#include <array>
#include <cstdint>
#include <vector>

// One bit per working atom 0..255; set bits are visited in ascending order,
// so sums over the candidates keep the order of the atom list.
using AtomMask = std::array<std::uint64_t, (MAX_WORKING_ATOMS + 64) / 64>;

struct NeighbourGrid {
    Vector3 origin{};
    double cell_size = 0;
    std::array<int, 3> cells{};   // per axis; 0 when the grid holds no atom
    double radius = 0;
    std::vector<int> cell_start;  // atoms of cell c: cell_atoms[cell_start[c] .. cell_start[c + 1])
    std::vector<int> cell_atoms;
    std::uint64_t id = 0;  // unique to this build of the grid
};

// Builds the grid over the atoms listed (indices 1..MAX_WORKING_ATOMS with
// their positions) for queries of the given radius.  A radius that is not
// positive and finite leaves the grid empty: nothing lies within it.
void build_neighbour_grid(const std::vector<int>& atoms, const std::vector<Vector3>& positions, double radius,
                          NeighbourGrid& grid);

// Marks every listed atom of the cells that a sphere of the grid's radius
// about `point` touches.  A superset of the atoms within the radius: callers
// test the distance themselves.
void mark_neighbour_candidates(const NeighbourGrid& grid, const Vector3& point, AtomMask& mask);
