// The map plane and its frame: a right-handed orthonormal frame u, v, w with
// u and v in the plane through two direction vectors, a centre chosen by the
// MAP dialog, an optional shift along w, and every atom's coordinates in that
// frame, listed in the listing file and returned for the dialog's list box.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

#include <array>
#include <string>
#include <vector>

// Column `column` (1..3) of rotation := vector/|vector|; length := |vector|.
// A zero vector leaves the column, shows "Please, check selected atoms. They
// are not define plane." and returns false.
bool normalise_plane_axis(const Vector3& vector, Matrix3& rotation, double& length, int column);

// The frame of the plane through a and b as columns of rotation: column i1
// the a direction, column i3 the normal s (a x b), column i2 the second
// in-plane direction s (column i3 x column i1), with s = +1 when (i1, i2) is
// a cyclic pair (1, 2), (2, 3), (3, 1) and -1 otherwise.  With (1, 2, 3): u =
// a/|a|, w = (a x b)/|a x b|, v = w x u, and b lies in the half-plane v >= 0.
// False (after the message of normalise_plane_axis) when a and b do not
// define a plane: one of them is zero or |a x b| < 1e-4 |a||b| (nearly
// parallel, as three nearly collinear atoms give).
bool build_plane_frame(const Vector3& a, const Vector3& b, Matrix3& rotation, int i1, int i2, int i3);

enum class MapCentreRule { atom_position, between_two_atoms, between_three_atoms, arbitrary_point };

struct MapPlaneRequest {
    MapCentreRule centre_rule = MapCentreRule::atom_position;
    std::array<int, 3> centre_atoms{1, 1, 1};  // 1..atom_count; those the rule uses
    Vector3 centre_point{};                     // the arbitrary point, Cartesian (Angstrom)
    double shift = 0;                           // along w (Angstrom); below 0.0001 counts as 0
};

// "Calculate Plane" on the map type flags of map_definition() and the
// direction vectors plane_vector_1 and plane_vector_2 of map_frame(): the
// centre by the rule (its atoms into centre_atom), the frame, the shift along
// w for a plane that does not come from basis vectors; then the axes u, v, w
// become the frame's rotation rows, axis vectors and plane_vector_1..3, the
// z window collapses to one layer at 0, every atom's (u, v, w) goes to
// MapPostAtoms and the listing file gets the axes, the centre and the atom
// table.  box_lines receives the same lines for the dialog's list box (its
// own table head).  False when the vectors do not define a plane: nothing is
// changed then.
bool calculate_map_plane(const MapPlaneRequest& request, std::vector<std::string>& box_lines);
