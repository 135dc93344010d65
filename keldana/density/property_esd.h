// Estimated standard deviations of the density (property code 17, SigRHO)
// and of its Laplacian (code 18, SigLAPL) at a point, propagated from the
// covariance matrix of the refined parameters:
//   sigma = cov_scale sqrt(D^T C D),
// D_p the derivative of the density (or of its Laplacian) with respect to
// parameter p.  Parameters of kind 12 are valence populations, 13 the
// monopole population P00, 14..37 the multipole populations P_lm of the
// atom's local frame (map_multipole_index_to_lm); other kinds take no part.
// The derivative sums the atom and its symmetry images that are active and
// within rCut, each with its occupancy and with the image's own turn of the
// parent's local frame, and leaves out orders above lPole or the atom's l_max,
// as the density does.  One derivative per parameter: O(N) per point.
#pragma once

#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_store.h"

// For current_model(); 0.0 for codes other than 17 and 18 and while the
// matrix has no e.s.d.s.
double evaluate_property_esd(const CovarianceMatrix& matrix, double x, double y, double z, int code);

// The same with the program's covariance matrix.
double evaluate_property_esd(double x, double y, double z, int code);

// D_p of parameter `parameter` of `matrix` at the point (the density for
// code 17, its Laplacian for 18).
double evaluate_property_parameter_derivative(const CovarianceMatrix& matrix, int parameter, double x, double y,
                                              double z, int code);
