// Locating one critical point from a start point and reporting it: the
// Newton locator, the property and Hessian analysis at the point found, its
// type, e.s.d.s when a covariance matrix is loaded, the atoms it belongs to,
// its entry in the list and its report lines.
#pragma once

#include "keldana/density/numeric_helpers.h"

#include <array>
#include <string>

inline constexpr int MAX_RING_ATOMS = 120;

// The atoms of the last ring/cage search.
struct RingAtomList {
    int ring_atom_count = 0;
    std::array<int, MAX_RING_ATOMS + 1> ring_atoms{};  // 1-based working-atom numbers
};

RingAtomList& ring_atom_list();

// How the start points were chosen.
enum SearchKind : int {
    SEARCH_ATOM_PAIR = 1,   // on the line between two atoms
    SEARCH_RING_CAGE = 4,   // at the centroid of the ring atoms
    SEARCH_FROM_POINT = 5,  // from a given point
    SEARCH_SHELL = 6,       // grid points of a shell around an atom
};

enum class LocateOutcome {
    appended,       // a new entry in the list, reported
    duplicate,      // the point is already in the list: reported, not stored again
    not_converged,  // the locator gave up: nothing stored
    stopped,        // the user pressed STOP: nothing stored
    list_full,      // no room in the list: reported, nothing located
};

// Locates a critical point of property `code` from `point` (out: the last
// point reached) and appends and reports it.  Kind 1 records atom1 and atom2
// (which must be working atoms); kinds 4 and 5 record the nearest atom; kind
// 4 reports the distances from the atoms of ring_atom_list().  report: the
// locator writes its progress lines, lets the windows run and honours STOP.
LocateOutcome locate_and_report_critical_point(bool report, Vector3& point, int kind, int atom1, int atom2, int code);

// True when e.s.d.s are computed for the points of property `code`: a
// covariance matrix is loaded and the property is the density or its
// Laplacian.
bool critical_point_esds_available(int code);

// The first six characters of a working atom's label (count = characters),
// blanks for an index outside the working set.
std::string atom_label_text(int atom, int count = 6);
