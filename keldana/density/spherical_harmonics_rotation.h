// Rotation of one atom's multipole populations from its local frame into the
// global Cartesian frame, through the z-y-z Euler angles of the frame and the
// Wigner small-d elements.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

// Euler angles of the frame whose local axes ex, ey, ez are given in global
// components: M = Rz(alpha) Ry(beta) Rz(gamma) with the axes as the columns of
// M.  alpha and gamma in [0, 2 pi), beta in [0, pi]; when beta is 0 or pi the
// whole turn about z goes into alpha and gamma is 0.  Taken with atan2 from
// the full matrix, so a frame with its z axis near the global z keeps its
// tilt and rounding never yields NaN.
void compute_euler_angles(const Vector3& ex, const Vector3& ey, const Vector3& ez, double& alpha, double& beta,
                          double& gamma);

// Small-d element without its square-root normalisation (the rotation's
// factorial ratios complete it), for cos(beta/2) and sin(beta/2):
// sgn sum_k (-1)^k (l+m2)! (l-m2)! / (k! (l+m2-k)! (l-m-k)! (k-m2+m)!)
//   cb^(2l+m2-m-2k) sb^(2k-m2+m), sgn = (-1)^m for m < 0.
// 0.0 for |m| or |m2| above l.
double compute_wigner_small_d(int l, int m, int m2, double cos_half_beta, double sin_half_beta);

// Rotates the populations P(l, m), l = 1..lmax, in place from the frame
// (ex, ey, ez) into the global frame, so that for every direction
//   sum_m P'(l, m) y_lm(M r) = sum_m P(l, m) y_lm(r).
// P(0, 0) and the orders above lmax are left alone.  False, with the
// populations unchanged, when lmax is outside 0..4 or the axes are not a
// right-handed orthonormal frame (a mirrored frame cannot be turned into the
// global one; the caller reflects it first).
bool build_harmonic_rotation_matrices(MultipolePopulations& populations, const Vector3& ex, const Vector3& ey,
                                      const Vector3& ez, int lmax);
