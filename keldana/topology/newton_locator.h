// The Newton-Raphson locator of critical points: from a start point, steps
// s = H^-1 grad f with each component capped at a step cap (Scale at the
// start, halved when the search stalls), until |grad f| <= eps or nStep
// steps are done; and the refinement of a converged point before it is
// listed.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

#include <functional>

// Value, gradient and Hessian (column order) of a property at a point.
using DerivativeSource = std::function<void(const Vector3& position, double& value, Vector3& gradient, Matrix3& hessian)>;

enum class NewtonOutcome {
    converged,         // |grad f| <= eps after at least one step
    step_limit,        // nStep steps without convergence (or nStep <= 0)
    stopped,           // asked to stop between steps
    singular_hessian,  // the Hessian could not be inverted: no step is possible
};

// One line of the locator's progress: step 0 is the start point (its cap is
// not shown); `scale` is the cap in force for the step.
struct NewtonStepRecord {
    int step = 0;
    Vector3 position{};
    double gradient_norm = 0;
    double scale = 0;
};

// The progress line of a step in the text pane (the start's comes after the
// column heading).
void write_newton_step_line(const NewtonStepRecord& record);

// Called after the start and after every step; false ends the search as
// stopped (the start's answer is not asked for a stop).
using NewtonStepWatcher = std::function<bool(const NewtonStepRecord&)>;

// What the locator reads of CalculationSettings, taken once per search.
struct NewtonParameters {
    double eps = 0;    // convergence bound on |grad f|
    double scale = 0;  // first step cap, Angstrom
    int n_step = 0;    // largest number of steps
};

NewtonParameters newton_parameters_of_settings();

// The derivative source of the property `code`: the energy-density numeric
// routines for codes 30 and above; central differences when the spherical
// potential tables are ready or numerical derivatives are switched on; the
// analytic derivatives of the total density otherwise.
DerivativeSource property_derivative_source(int code);

// The search itself.  `position`, `value`, `gradient_norm` and `hessian` are
// those of the last point reached; `steps` the steps taken.  Settings and
// shared state are only read: the halving of the cap is the search's own.
NewtonOutcome run_newton_search(const DerivativeSource& source, const NewtonParameters& parameters, int code,
                                const NewtonStepWatcher& watcher, Vector3& position, double& value,
                                double& gradient_norm, Matrix3& hessian, int& steps);

// Locates a critical point of property `code` from `position` with the
// program's settings.  report: write the progress lines to the text pane,
// let the windows run after every step and honour STOP.  On return
// `position`, `value`, `gradient_norm` and `hessian` are those of the last
// point reached; `not_converged` (set to 1 by the caller) becomes 0 only on
// convergence.  Scale of CalculationSettings is left as it is.
NewtonOutcome locate_critical_point_newton(bool report, Vector3& position, double& value, double& gradient_norm,
                                           Matrix3& hessian, int& not_converged, int code);

// The same with a given derivative source (EPOT's stagnation threshold is
// chosen by `code` as above).
NewtonOutcome locate_critical_point_newton(const DerivativeSource& source, bool report, Vector3& position,
                                           double& value, double& gradient_norm, Matrix3& hessian,
                                           int& not_converged, int code);

// A search converged at |grad f| <= eps can still lie far from the point on
// a flat valley (a small curvature turns a small gradient into a long way).
// Newton steps, capped at `scale`, go on from the converged point until the
// step is below 1e-5 Angstrom or |grad f| below eps * 1e-4; the point is then
// that of the last evaluation.  A singular Hessian (a degenerate point)
// leaves the point as it is.  False when the steps do not become that small
// within 30 steps, or |grad f| grows beyond eps on the way: the point is then
// not confirmed.  Every step taken is given to the watcher, numbered on from
// `steps`, and counted there.
bool refine_critical_point(const DerivativeSource& source, const NewtonParameters& parameters,
                           const NewtonStepWatcher& watcher, Vector3& position, double& value,
                           double& gradient_norm, Matrix3& hessian, int& steps);
