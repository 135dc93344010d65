// Small numeric building blocks of the density model: the factorial table,
// distances, 3-vector arithmetic, the Kronecker delta, the critical-point type
// from Hessian eigenvalues and 3 x 3 inversions.
#pragma once

#include "keldana/model/model_store.h"

#include <array>
#include <cmath>

// A Cartesian 3-vector (components x, y, z at 0, 1, 2), Angstrom or unitless.
using Vector3 = std::array<double, 3>;

// 3-vector arithmetic.  The names differ from the file-local dot/cross/...
// helpers some density and viewer files keep, so that no call there becomes
// ambiguous.
inline double dot_product(const Vector3& a, const Vector3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

inline double vector_length(const Vector3& a) { return std::sqrt(dot_product(a, a)); }

// a - b.
inline Vector3 vector_difference(const Vector3& a, const Vector3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// a x b.
inline Vector3 cross_product(const Vector3& a, const Vector3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// |a - b|, the same sum as compute_distance.
inline double point_distance(const Vector3& a, const Vector3& b) { return vector_length(vector_difference(a, b)); }

// Cartesian position of working atom a; the caller keeps a in 0..MAX_WORKING_ATOMS.
inline Vector3 working_atom_position(const WorkingAtomSet& atoms, int a)
{
    return {atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]};
}

inline constexpr int MAX_FACTORIAL = 20;

// F(k) = k! for k = 0..20, used by the radial normalisations and the harmonic
// rotation.  A fresh table is already complete, so nothing divides by an
// unbuilt entry before the first load.
struct FactorialTable {
    std::array<double, MAX_FACTORIAL + 1> f{};

    FactorialTable();
    double operator()(int k) const { return f[k]; }
};

// The program's table; the model load rebuilds it.
FactorialTable& factorial_table();

// F(0..n).  False, with the table unchanged, when n is outside 0..20 (21! does
// not fit the table).
bool build_factorial_table(FactorialTable& table, int n);

double compute_distance(double x1, double y1, double z1, double x2, double y2, double z2);

double compute_kronecker_delta(int i, int j);

// Critical-point type from the Hessian eigenvalues: 1 (3,-3), 2 (3,-1),
// 3 (3,+1), 4 (3,+3).  0 when the point is degenerate (an eigenvalue exactly
// zero or not finite): it has no rank-3 type, and PROPERTY_NAMES(50 + 0) is
// blank.
int classify_critical_point(const std::array<double, 3>& lambda);

// Replaces the rows a, b, c of a matrix by the rows of its inverse.  False,
// with the rows unchanged, when the matrix is singular.
bool invert_3x3_row_vectors(Vector3& a, Vector3& b, Vector3& c);

// Inverts m in place (adjugate / determinant).  False, with m unchanged, when
// m is singular.
bool invert_3x3_matrix_keep_copy(Matrix3& m);
