// Density-normalised real spherical harmonics y_lm = N(l, m) c_lm of the
// direction from a nucleus, l = 0..4, with exact Cartesian derivatives, and the
// numbering of the multipole parameters of the covariance file.
//
// m > 0 are the cosine, m < 0 the sine harmonics.  Each c_lm is a homogeneous
// polynomial of degree l divided by r^l; r is floored at 1e-9 Angstrom so the
// functions stay finite at the nucleus.
#pragma once

#include "keldana/model/model_store.h"

#include <array>

// N(l, m): the integral of |y_lm| over the sphere is 1 for l = 0 and 2 for
// l > 0 (the same for +m and -m).
struct HarmonicNormalisation {
    std::array<std::array<double, 2 * MAX_L + 1>, MAX_L + 1> n{};

    HarmonicNormalisation();
    double operator()(int l, int m) const { return n[l][m + MAX_L]; }
};

// The program's table; the load-time defaults refill it before every load.
HarmonicNormalisation& harmonic_normalisation();

void fill_harmonic_normalisation(HarmonicNormalisation& table);

// Component codes of the derivatives (shared with the property codes):
// first 5 d/dx, 6 d/dy, 7 d/dz; second 5 xx, 6 yy, 7 zz, 8 xy, 9 xz, 10 yz.
inline constexpr int HARMONIC_D_X = 5, HARMONIC_D_Y = 6, HARMONIC_D_Z = 7;
inline constexpr int HARMONIC_D_XX = 5, HARMONIC_D_YY = 6, HARMONIC_D_ZZ = 7;
inline constexpr int HARMONIC_D_XY = 8, HARMONIC_D_XZ = 9, HARMONIC_D_YZ = 10;

// y_lm at the displacement (x, y, z) from the nucleus.  0.0 for an (l, m)
// outside l = 0..4, |m| <= l, as for an unknown component below.
double evaluate_real_harmonic(int l, int m, double x, double y, double z);
double evaluate_real_harmonic_first_derivative(int l, int m, double x, double y, double z, int component);
double evaluate_real_harmonic_second_derivative(int l, int m, double x, double y, double z, int component);

// c_lm r^l as a homogeneous polynomial of degree l: `count` monomials
// coefficient * x^px y^py z^pz (r^2 expanded).  The evaluator folds the
// populations of one order into one polynomial with these.
struct HarmonicMonomial {
    double coefficient;
    int px, py, pz;
};
inline constexpr int MAX_HARMONIC_MONOMIALS = 6;
struct HarmonicPolynomial {
    int count;
    HarmonicMonomial terms[MAX_HARMONIC_MONOMIALS];
};

// The polynomial of (l, m); nullptr outside l = 0..4, |m| <= l.
const HarmonicPolynomial* get_harmonic_polynomial(int l, int m);

// Covariance parameter kinds 14..37 to (l, m): 14-16 l = 1 (m +1, -1, 0);
// then per l the order 0, +1, -1, +2, -2, ...  Any other index leaves l and m
// untouched and returns false.
bool map_multipole_index_to_lm(int index, int& l, int& m);
