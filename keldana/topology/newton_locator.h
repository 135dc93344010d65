// The Newton-Raphson locator of critical points: from a start point, steps
// s = H^-1 grad f with each component capped at Scale, until |grad f| <= eps
// or nStep steps are done.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

#include <functional>

// Value, gradient and Hessian (column order) of a property at a point.
using DerivativeSource = std::function<void(const Vector3& position, double& value, Vector3& gradient, Matrix3& hessian)>;

enum class NewtonOutcome {
    converged,         // |grad f| <= eps after at least one step
    step_limit,        // nStep steps without convergence (or nStep <= 0)
    stopped,           // the user pressed STOP while a report was written
    singular_hessian,  // the Hessian could not be inverted: no step is possible
};

// The derivative source of the property `code`: the energy-density numeric
// routines for codes 30 and above; central differences when the spherical
// potential tables are ready or numerical derivatives are switched on; the
// analytic derivatives of the total density otherwise.
DerivativeSource property_derivative_source(int code);

// Locates a critical point of property `code` from `position`.
// report: write the progress lines to the text pane, let the windows run
// after every step and honour STOP.  On return `position`, `value`,
// `gradient_norm` and `hessian` are those of the last point reached;
// `not_converged` (set to 1 by the caller) becomes 0 only on convergence.
// Scale of CalculationSettings may be halved in place; callers restore it.
NewtonOutcome locate_critical_point_newton(bool report, Vector3& position, double& value, double& gradient_norm,
                                           Matrix3& hessian, int& not_converged, int code);

// The same with a given derivative source (EPOT's stagnation threshold is
// chosen by `code` as above).
NewtonOutcome locate_critical_point_newton(const DerivativeSource& source, bool report, Vector3& position,
                                           double& value, double& gradient_norm, Matrix3& hessian,
                                           int& not_converged, int code);
