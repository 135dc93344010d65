// The bond path of a (3,-1) critical point of the total density: traced by
// steps along grad rho from the point to each of its two nuclei, with the
// path lengths, the takeoff angles and the point's place relative to the
// internuclear line.
#pragma once

#include "keldana/density/numeric_helpers.h"

// Whether critical point c can have its bond path traced.
enum class BondPathCheck {
    ok,
    no_such_point,     // c outside 1..cp_count
    not_a_bond_point,  // not a (3,-1) point of the total density
    no_atom_pair,      // the point does not name two distinct working atoms
};

BondPathCheck check_bond_path_point(int c);

struct BondPathLeg {
    int nucleus = 0;        // the atom the leg runs to
    double length = 0;      // Angstrom: arc length, plus the last short hop when complete
    bool complete = false;  // the path came within one step of the nucleus
    int steps = 0;
    Vector3 end{};          // the last point of the path
};

struct BondPathResult {
    bool traced = false;
    BondPathLeg legs[2];  // towards atom1, then towards atom2
};

// Traces and reports the path of critical point c (nothing is traced unless
// check_bond_path_point(c) is ok).  The step is ds of CalculationSettings
// (its default when not positive); the step limit grows with the distance to
// the nucleus, and a path that does not reach its nucleus is reported as
// incomplete.
BondPathResult trace_bond_path(int c);
