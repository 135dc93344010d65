// Central-difference derivatives of a property at a point, for the
// properties and the callers that do not use analytic derivatives: the
// property codes below 30 through evaluate_property_at_point, the energy
// densities (30 and above) through evaluate_energy_density_property.  The
// step is dr of CalculationSettings (DEFAULT_DR when it is not a positive
// number, so a fresh install never divides by zero).
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

// The step the routines below use.
double numeric_derivative_step();

// (f(r + dr e_k) - f(r - dr e_k)) / (2 dr) along axis k = 1, 2, 3; 0 for any
// other axis.
double compute_property_partial_derivative_numeric(double x, double y, double z, int axis, int code);
double compute_energy_density_partial_derivative_numeric(double x, double y, double z, int axis, int code);

// Value f(r), gradient from the partial derivatives, and the Hessian
// H(i, j) = (D_i(r + dr e_j) - D_i(r - dr e_j)) / (2 dr) for j >= i, mirrored.
void compute_property_gradient_hessian_numeric(const Vector3& point, double& value, Vector3& gradient,
                                               Matrix3& hessian, int code);
void compute_energy_density_gradient_hessian_numeric(const Vector3& point, double& value, Vector3& gradient,
                                                     Matrix3& hessian, int code);

// Mode +1 or -1: vector(k) = mode (f(r + dr e_k) - f(r - dr e_k)) / (2 dr),
// result |vector|.  Mode 2: vector(k) = (f(r + 2 dr e_k) - 2 f(r)
// + f(r - 2 dr e_k)) / (4 dr^2), result their sum (the Laplacian).  Any
// other mode: 0, the vector untouched.
double compute_property_gradient_or_laplacian_numeric(int mode, double x, double y, double z, Vector3& vector,
                                                      int code);
double compute_energy_density_gradient_or_laplacian_numeric(int mode, double x, double y, double z,
                                                            Vector3& vector, int code);

// The value f(r) of evaluate_property_at_point with the results of modes 1
// and 2 above, their 13 points in one pass: the same three numbers as the
// three calls.
void compute_property_value_gradient_norm_laplacian_numeric(double x, double y, double z, int code, double& value,
                                                            double& gradient_norm, double& laplacian);

// evaluate_energy_density_property at `count` points: the density points of
// all their central differences in one pass, the same values as point by
// point.
void evaluate_energy_densities_at_points(const Vector3* points, std::size_t count, int code, double* values);
