// The cluster: symmetry images of the independent atoms appended to the
// working atom set, so that the density can be evaluated over a region larger
// than the asymmetric unit.  Which images to make is the
// SymmetryApplicationList (operator, lattice translation, range of atoms); it
// comes from a default cluster file, the generation dialog or
// generate_cluster_images.  Atoms 1..Nind stay the independent atoms, the
// images follow at Nind+1..N and the dummy atoms' Cartesian positions after
// them at N+1..N+ndummy.
#pragma once

#include "keldana/model/model_store.h"

#include <array>
#include <functional>
#include <vector>

using Vector3 = std::array<double, 3>;

// What the cluster needs of libraries and windows that build on this one:
// local frames and the rotation of real harmonics (density library), the
// generation dialog (shell).  The program registers them at start.
struct ClusterServices {
    // The local axes of atom `atom` (Cartesian unit vectors) from its
    // LocalAxisDefinitions and the current positions; false when the frame
    // cannot be built.
    std::function<bool(const StructureModel& model, int atom, Vector3& ex, Vector3& ey, Vector3& ez)>
        build_atom_local_axes;
    // Rotates populations l = 1..l_max in place from the right-handed frame
    // (ex, ey, ez) into the global frame: with r_global = [ex ey ez] r_local,
    // sum P'(l,m) y_lm(r_global) = sum P(l,m) y_lm(r_local).  False, with the
    // populations unchanged, when it cannot.
    std::function<bool(MultipolePopulations& populations, const Vector3& ex, const Vector3& ey, const Vector3& ez,
                       int l_max)>
        rotate_populations;
    // The modal generation dialog; true when the user applied a new list.
    std::function<bool(StructureModel& model)> run_generation_dialog;
    // Rebuilds the structure viewer's bond list over atoms 1..atom_count.
    std::function<void(const StructureModel& model, int atom_count)> build_bond_list;
};

ClusterServices& cluster_services();

// Modes of build_symmetry_cluster.
inline constexpr int CLUSTER_FROM_DEFAULT_FILE = 0;
inline constexpr int CLUSTER_FROM_CURRENT_LIST = 1;
inline constexpr int CLUSTER_FROM_CURRENT_LIST_SILENT = 2;  // no listing records

// Kinds of generate_cluster_images.
inline constexpr int CLUSTER_AROUND_ATOM = 1;
inline constexpr int CLUSTER_AROUND_POINT = 2;
inline constexpr int CLUSTER_IN_BOX = 3;

inline constexpr int MAX_GENERATED_IMAGES_PER_ATOM = 118;
inline constexpr double DUPLICATE_DISTANCE = 0.1;  // Angstrom: closer atoms are one site

// The centring vectors of a lattice type (1 P .. 7 R), (0, 0, 0) first.
std::vector<Vector3> centring_vectors(int lattice_type);

// 'R' when x cross y equals z within 1e-5 in each component, else 'L'.
char get_axes_handedness(const Vector3& x, const Vector3& y, const Vector3& z);

// Negates the populations that change sign when the given axis (1 x, 2 y,
// 3 z) is reflected; m > 0 cosine, m < 0 sine harmonics.
void negate_populations_under_reflection(MultipolePopulations& populations, int axis);

// Rebuilds model.applications with one entry per accepted image (first =
// last atom): every operator and centring vector of the lattice type with
// lattice translations -3..3 per axis, applied to each independent atom.
// Sphere kinds (around an atom or a point) accept images at distances
// 0.1 < d <= radius (Angstrom, Cartesian centre) shell by shell, nearest
// first; the box kind accepts images inside the fractional box (x1, x2, y1,
// y2, z1, z2), bounds included.  An image within 0.1 Angstrom of an atom
// already taken is refused.  Generation stops silently when the images and
// dummy atoms would exceed the atom table, and an atom gets at most 118
// images.  Nothing else of the model changes, so the old list can simply be
// put back.
void generate_cluster_images(StructureModel& model, double radius, const Vector3& centre,
                             const std::array<double, 6>& box, int lattice_type, int kind);

// Checks that `list` can be applied to the model's independent atoms: known
// operators, allowed lattice translations, atom ranges within the
// independent atoms, and room for the images in the atom table and in each
// atom's image list.  False with a message otherwise.
bool check_symmetry_application_list(const StructureModel& model, const SymmetryApplicationList& list);

// Makes the image atoms of model.applications after the independent atoms
// and sets atom_count to the new N.  An image on its parent's site is dropped
// with the special-position warning; an image on the site of an atom already
// made is dropped silently, so coinciding images are kept once.  False, with
// a message and the model unchanged, when the list fails
// check_symmetry_application_list.
bool apply_symmetry_application_list(StructureModel& model);

// Rebuilds the cluster: mode 0 reads the default cluster file of the current
// unit_cell_mode from the working directory first (asking to create it when
// it is missing), modes 1 and 2 apply the current list (2 without listing).
// Images get their parents' pseudoatom parameters, global-frame populations
// (the parent's rotated by the image's operator) and local populations in
// the parent's frame; dummy atoms move behind the images.  False, with a
// message and the model unchanged, on an unreadable cluster file, a list
// that cannot be applied or a local frame that cannot be built.
bool build_symmetry_cluster(int mode, StructureModel& model);

// The cluster of model.applications built on `model` as mode 2 above builds
// it, but without warnings, windows or a model change noted: for copies of
// the model kept apart from the program's (the same list on the same model
// gives the same bits).  False, with an error message and the model
// unchanged, when the list cannot be applied.
bool build_cluster_quietly(StructureModel& model);

// Rebuilds the structure viewer's bond list over atoms 1..atom_count after
// the atom list changed, through the viewer's registered hook.
void build_bond_list(const StructureModel& model, int atom_count);
