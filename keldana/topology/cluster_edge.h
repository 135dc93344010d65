// Whether a critical point of the cluster's density is one of the crystal's.
// The atoms the cluster lacks (symmetry and lattice images of the
// independent atoms within reach of the point, each atom with its own term
// radius, that are no active atom of the cluster) would add to the density
// and its gradient there.  For the densities the test goes by their effect:
// a rigorous bound of the gradient they add, over the smallest |eigenvalue|
// of the point's Hessian, bounds how far they could move the point, and a
// bound of the density they add must be small beside the point's own.  For
// the other properties with a finite reach every image within reach must be
// in the cluster.  A point that fails is near the edge of the cluster.
#pragma once

#include "keldana/density/numeric_helpers.h"

#include <array>
#include <vector>

// Two sites closer than this (Angstrom) are the same atom.
inline constexpr double CLUSTER_SITE_TOLERANCE = 0.05;

// The shift of a point (Angstrom) the missing atoms may cause: the printed
// positions have four decimals, so a point that could move less is the
// crystal's point as printed.
inline constexpr double EDGE_SHIFT_LIMIT = 1e-4;
// The density the missing atoms may add, relative to the point's density:
// below the printed digits of any listed value.
inline constexpr double EDGE_DENSITY_LIMIT = 1e-4;

// Upper bounds of one independent atom's density terms and of the
// magnitude of their gradient against the distance from its nucleus, in
// any direction (so for every symmetry image too): cell k covers distances
// [k step, (k + 1) step], the last cell every distance beyond.
struct AtomTermBounds {
    double step = 0;
    std::vector<double> density, gradient;
};

// The bounds of independent atom `atom` for the terms of density code
// `code` (0..4) out to `radius` (Angstrom).  Main thread.
AtomTermBounds prepare_atom_term_bounds(int atom, int code, double radius);

// Looks up the bound cell of distance r.
double bound_at(const std::vector<double>& table, double step, double r);

// What the test needs of the model, taken on the main thread; the test
// itself only reads it, so workers may share it.
struct ClusterReach {
    enum class Rule {
        none,    // every point counts (the potentials: lattice sums without a finite reach)
        effect,  // the densities: the bounded effect of the missing atoms decides
        reach,   // every image within reach must be held
    };
    Rule rule = Rule::none;
    struct Site {
        Vector3 fractional{};  // an image by one operator and centring vector, before lattice translations
        double radius = 0;     // of its atom's terms, Angstrom
        int atomic_number = 0;
        int atom = 0;          // its independent atom, into `bounds`
    };
    std::vector<Site> images;
    std::vector<AtomTermBounds> bounds;  // [0..independent - 1]; the effect rule only
    struct Atom {
        Vector3 position{};
        int atomic_number = 0;
    };
    std::vector<Atom> held;  // the active atoms of the cluster
    OrthogonalisationMatrix orthogonalisation;
    Vector3 reciprocal_lengths{};  // |a*|, |b*|, |c*|: fractional change per Angstrom
};

// The test for the current model and settings and property `code`: the
// effect rule for the densities (0..4), the reach rule for the other codes
// but the nuclear and electrostatic potentials (16, 22, 23).
ClusterReach prepare_cluster_reach(int code);

// What the missing atoms add at a point: bounds of the density and of the
// magnitude of its gradient (the effect rule), or infinity for both when an
// image within reach is missing under the reach rule.  Re-entrant.
struct MissingAtomsEffect {
    double density = 0;
    double gradient = 0;
};
MissingAtomsEffect missing_atoms_effect(const ClusterReach& reach, const Vector3& point);

// True when the critical point at `point`, with the property's value and
// the eigenvalues of its Hessian there, is the crystal's: every image within
// reach held, or (effect rule) their bounded shift below EDGE_SHIFT_LIMIT
// and their density below EDGE_DENSITY_LIMIT of |value|.  Re-entrant.
bool cluster_holds_point(const ClusterReach& reach, const Vector3& point, double value,
                         const std::array<double, 3>& eigenvalues);
