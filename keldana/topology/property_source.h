// What the topological searches ask of the density model: the property at a
// point, its derivatives, the eigen-analysis of a Hessian, the e.s.d.s of the
// density and its Laplacian, and the gradient of the total density.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

#include <array>

// Property `code` at p: the pseudoatom evaluator below code 30, the energy
// densities from 30 on.
double evaluate_search_property(const Vector3& p, int code);

// Central differences of property `code` along the three axes at p: their
// six points in one pass, the same values as axis by axis.
Vector3 evaluate_search_gradient(const Vector3& p, int code);

// Eigenvectors (columns, replacing the matrix) and eigenvalues in ascending
// order of a symmetric 3 x 3 matrix.
void analyse_hessian(Matrix3& matrix, std::array<double, 3>& lambda);

// E.s.d. of the density (code 17) or of its Laplacian (code 18) at p.
double evaluate_search_esd(const Vector3& p, int code);

// Property evaluations the searches have asked for so far, for the
// benchmarks: a value counts 1, a central difference 2, a gradient and
// Hessian by central differences 31, an analytic one 1 (one pass).
long long search_evaluation_count();

// Gradient of the total density at p for the bond path: the analytic
// global-frame terms of the active atoms, or central differences when
// numerical derivatives are switched on.
Vector3 evaluate_total_density_gradient(const Vector3& p);
