// Conversions between fractional and Cartesian coordinates of the unit cell.
// Matrices are 3 x 3, column-major (Matrix3).  Degenerate input (a flat cell,
// a singular matrix) is refused with a false return and nothing written, so no
// NaN ever reaches the model.
#pragma once

#include "keldana/model/model_store.h"

// (x, y, z) = M (xf, yf, zf), Angstrom.
void convert_fractional_to_cartesian(const OrthogonalisationMatrix& orthogonalisation, double xf, double yf,
                                     double zf, double& x, double& y, double& z);

// Back substitution on the upper-triangular M; M must come from a successful
// build_orthogonalisation_matrix.
void convert_cartesian_to_fractional(const OrthogonalisationMatrix& orthogonalisation, double x, double y,
                                     double z, double& xf, double& yf, double& zf);

// Builds M and cell_volume from cell_a, cell_b, cell_c and the three angles in
// radians.  False, with M and the volume unchanged, when a length is not
// positive or the angles give no volume (sin gamma = 0 or a flat cell).
bool build_orthogonalisation_matrix(double alpha, double beta, double gamma, UnitCell& cell,
                                    OrthogonalisationMatrix& orthogonalisation);

// b := a^-1 by cofactors.  False, with b unchanged, when a is singular.
bool invert_3x3_matrix(const Matrix3& a, Matrix3& b);

// r := M a M^-1: a rotation given in fractional coordinates expressed in
// Cartesian axes.  False, with r unchanged, when M is singular.
bool transform_matrix_by_cell(const OrthogonalisationMatrix& orthogonalisation, const Matrix3& a, Matrix3& r);
