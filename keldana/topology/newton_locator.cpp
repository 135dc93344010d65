#include "keldana/topology/newton_locator.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/density/evaluation_snapshot.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"

#include <cmath>

namespace {

constexpr int EPOT_CODE = 23;
constexpr int MAX_REFINEMENT_STEPS = 30;
constexpr double REFINED_STEP = 1.0e-5;         // Angstrom
constexpr double REFINED_GRADIENT_FACTOR = 1e-4;  // of eps

// The capped Newton step s = H^-1 g; false when H does not invert.
bool newton_step(const Matrix3& hessian, const Vector3& gradient, double scale, Vector3& step)
{
    Matrix3 inverse = hessian;
    if (!invert_3x3_matrix_keep_copy(inverse))
        return false;
    for (int k = 1; k <= 3; ++k) {
        double s = 0;
        for (int j = 1; j <= 3; ++j)
            s += inverse(k, j) * gradient[j - 1];
        if (std::fabs(s) > scale)
            s = std::copysign(scale, s);
        step[k - 1] = s;
    }
    return true;
}

// The progress lines of the text pane, with the windows let run after each
// and STOP honoured after every step.
NewtonStepWatcher pane_watcher()
{
    return [](const NewtonStepRecord& r) {
        write_newton_step_line(r);
        ui().text_pane_changed();
        if (r.step == 0) {
            ui().pump_events();
            return true;
        }
        return !pump_and_check_stop();
    };
}

}  // namespace

void write_newton_step_line(const NewtonStepRecord& r)
{
    const Vector3& p = r.position;
    if (r.step == 0) {
        append_pane_line("   Step       x       y       z          |Grad(f)|   Max. step-size");
        append_pane_line(format_line("(2X,I4,3X,3F8.4,5X,F12.5)", {0, p[0], p[1], p[2], r.gradient_norm}));
        return;
    }
    append_pane_line(
        format_line("(2X,I4,3X,3F8.4,5X,F12.5,8X,F8.5)", {r.step, p[0], p[1], p[2], r.gradient_norm, r.scale}));
}

NewtonParameters newton_parameters_of_settings()
{
    const CalculationSettings& settings = evaluated_settings();
    return {settings.eps, settings.Scale, settings.nStep};
}

NewtonOutcome run_newton_search(const DerivativeSource& source, const NewtonParameters& parameters, int code,
                                const NewtonStepWatcher& watcher, Vector3& position, double& value,
                                double& gradient_norm, Matrix3& hessian, int& steps)
{
    // A change of |grad f| below this between compared steps means the search
    // stalls or oscillates: the step cap is halved.
    const double stagnation = code == EPOT_CODE ? 1.0e-4 : 0.001;
    double scale = parameters.scale;
    steps = 0;

    Vector3 gradient{};
    source(position, value, gradient, hessian);
    gradient_norm = vector_length(gradient);
    if (watcher)
        watcher({0, position, gradient_norm, scale});

    double reference_norm = 0;
    for (int i = 1; i <= parameters.n_step; ++i) {
        Vector3 step{};
        if (!newton_step(hessian, gradient, scale, step))
            return NewtonOutcome::singular_hessian;
        for (int k = 0; k < 3; ++k)
            position[k] -= step[k];
        source(position, value, gradient, hessian);
        gradient_norm = vector_length(gradient);
        steps = i;
        if (watcher && !watcher({i, position, gradient_norm, scale}))
            return NewtonOutcome::stopped;
        if (gradient_norm <= parameters.eps)
            return NewtonOutcome::converged;
        if (i > 1 && std::fabs(gradient_norm - reference_norm) < stagnation)
            scale *= 0.5;
        if (i % 2 == 1)
            reference_norm = gradient_norm;
    }
    return NewtonOutcome::step_limit;
}

bool refine_critical_point(const DerivativeSource& source, const NewtonParameters& parameters,
                           const NewtonStepWatcher& watcher, Vector3& position, double& value,
                           double& gradient_norm, Matrix3& hessian, int& steps)
{
    Vector3 gradient{};
    source(position, value, gradient, hessian);
    gradient_norm = vector_length(gradient);
    for (int i = 0;; ++i) {
        if (gradient_norm <= parameters.eps * REFINED_GRADIENT_FACTOR)
            return true;
        Vector3 step{};
        if (!newton_step(hessian, gradient, parameters.scale, step))
            return gradient_norm <= parameters.eps;  // degenerate: nothing to refine along
        if (vector_length(step) < REFINED_STEP)
            return true;
        if (i == MAX_REFINEMENT_STEPS)
            return false;
        for (int k = 0; k < 3; ++k)
            position[k] -= step[k];
        source(position, value, gradient, hessian);
        gradient_norm = vector_length(gradient);
        ++steps;
        if (watcher)
            watcher({steps, position, gradient_norm, parameters.scale});
        if (!(gradient_norm <= parameters.eps))
            return false;
    }
}

NewtonOutcome locate_critical_point_newton(bool report, Vector3& position, double& value, double& gradient_norm,
                                           Matrix3& hessian, int& not_converged, int code)
{
    return locate_critical_point_newton(property_derivative_source(code), report, position, value, gradient_norm,
                                        hessian, not_converged, code);
}

NewtonOutcome locate_critical_point_newton(const DerivativeSource& source, bool report, Vector3& position,
                                           double& value, double& gradient_norm, Matrix3& hessian,
                                           int& not_converged, int code)
{
    int steps = 0;
    const NewtonOutcome outcome =
        run_newton_search(source, newton_parameters_of_settings(), code, report ? pane_watcher() : NewtonStepWatcher{},
                          position, value, gradient_norm, hessian, steps);
    if (outcome == NewtonOutcome::converged)
        not_converged = 0;
    return outcome;
}
