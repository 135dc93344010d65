// Whether a point of the cluster's density is a point of the crystal's: the
// cluster must hold every symmetry and lattice image of every independent
// atom whose terms reach the point, each atom with its own term radius.  A
// critical point located where an image within reach is missing (near the
// edge of the cluster) is no critical point of the crystal.
#pragma once

#include "keldana/density/numeric_helpers.h"

#include <vector>

// Two sites closer than this (Angstrom) are the same atom.
inline constexpr double CLUSTER_SITE_TOLERANCE = 0.05;

// What the test needs of the model, taken on the main thread; the test
// itself only reads it, so workers may share it.
struct ClusterReach {
    bool applies = false;  // false: every point counts (properties without a finite reach)
    struct Site {
        Vector3 fractional{};  // an image by one operator and centring vector, before lattice translations
        double radius = 0;     // of its atom's terms, Angstrom
        int atomic_number = 0;
    };
    std::vector<Site> images;
    struct Atom {
        Vector3 position{};
        int atomic_number = 0;
    };
    std::vector<Atom> held;  // the active atoms of the cluster
    OrthogonalisationMatrix orthogonalisation;
    Vector3 reciprocal_lengths{};  // |a*|, |b*|, |c*|: fractional change per Angstrom
};

// The reach of the current model and settings for property `code`: the
// density family and the properties built from it (codes other than the
// nuclear and electrostatic potentials, 16, 22, 23, whose sums have no
// finite reach).
ClusterReach prepare_cluster_reach(int code);

// True when every image within reach of `point` is an active atom of the
// cluster (same element, within CLUSTER_SITE_TOLERANCE).  Re-entrant.
bool cluster_holds_reach(const ClusterReach& reach, const Vector3& point);
