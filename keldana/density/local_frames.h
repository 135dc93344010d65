// Local coordinate frame of a pseudoatom, from its frame atoms (or dummy
// points) and the two axis codes of LocalAxisDefinitions.
//
// The first axis (|frame_axis_1|) points from the atom to |frame_atom_1|,
// reversed when frame_axis_1 is negative; the second axis (frame_axis_2) is
// the part of the direction frame_atom_2 -> frame_atom_3 perpendicular to the
// first.  The third completes a right-handed frame, except that a negative
// frame_atom_1 reverses it (a mirrored, left-handed frame).
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

// Axes ex, ey, ez (unit vectors in global Cartesian components) of working
// atom `atom`, from its own frame definition and the Cartesian positions
// (dummy points follow the N atoms).  False, with the axes untouched, when the
// definition is unusable: an atom or frame-atom index outside the positions,
// axis codes that are not two different axes, frame atoms that coincide, or
// the two directions (anti)parallel within a relative 1e-6.  Never returns a
// frame with non-finite components.
bool build_atom_local_axes(const StructureModel& model, int atom, Vector3& ex, Vector3& ey, Vector3& ez);

// As build_atom_local_axes, except that a symmetry image (index above
// independent_atom_count) gets exactly the frame of its parent atom.
bool get_atom_local_axes(const StructureModel& model, int atom, Vector3& ex, Vector3& ey, Vector3& ez);
