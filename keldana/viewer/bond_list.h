// The bonds the viewer draws: every pair of atoms no farther apart than the
// sum of their covalent radii plus the bond delta the user set ("bondDlt").
#pragma once

#include "keldana/model/model_store.h"

#include <array>
#include <string>

inline constexpr int MAX_BONDS = 1000;

struct BondList {
    int bond_count = 0;
    std::array<int, MAX_BONDS + 1> bond_atom1{}, bond_atom2{};  // 1-based, atoms of WorkingAtomSet
    double bond_delta = 0;  // Angstrom; 0 until a stored delta is read
};

// The program's bond list; it outlives the viewer window.
BondList& bond_list();

// Takes the stored "bondDlt" into bond_delta when it is not blank and holds
// a number (letters are ignored) within +-MAX_BOND_DELTA; otherwise the
// delta stays as it was.
inline constexpr double MAX_BOND_DELTA = 10.0;  // Angstrom
void update_bond_delta(BondList& list, const std::string& delta_text);

// The pairs i < j of atoms 1..atom_count with Rcov(i) + Rcov(j) + delta >=
// |r_i - r_j|, in the order i, then j; the search ends when 1000 are found.
void fill_bond_list(const StructureModel& model, int atom_count, BondList& list);

// Rebuilds the program's bond list over atoms 1..atom_count of the current
// model, with the stored delta.
void build_bond_list(int atom_count);

// The same for a model being built: the cluster builder calls it after every
// rebuild of the cluster, before the model it works on becomes current.
void build_viewer_bond_list(const StructureModel& model, int atom_count);
