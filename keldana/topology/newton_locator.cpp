#include "keldana/topology/newton_locator.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"

#include <cmath>

namespace {

constexpr int EPOT_CODE = 23;

void write_start_lines(const Vector3& p, double gradient_norm)
{
    append_pane_line("   Step       x       y       z          |Grad(f)|   Max. step-size");
    append_pane_line(format_line("(2X,I4,3X,3F8.4,5X,F12.5)", {0, p[0], p[1], p[2], gradient_norm}));
}

void write_step_line(int step, const Vector3& p, double gradient_norm, double scale)
{
    append_pane_line(
        format_line("(2X,I4,3X,3F8.4,5X,F12.5,8X,F8.5)", {step, p[0], p[1], p[2], gradient_norm, scale}));
}

}  // namespace

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
    CalculationSettings& settings = run_settings().calculation;
    // A change of |grad f| below this between compared steps means the search
    // stalls or oscillates: the step cap is halved.
    const double stagnation = code == EPOT_CODE ? 1.0e-4 : 0.001;

    Vector3 gradient{};
    source(position, value, gradient, hessian);
    gradient_norm = vector_length(gradient);
    if (report) {
        write_start_lines(position, gradient_norm);
        ui().text_pane_changed();
        ui().pump_events();
    }

    double reference_norm = 0;
    for (int i = 1; i <= settings.nStep; ++i) {
        Matrix3 inverse = hessian;
        if (!invert_3x3_matrix_keep_copy(inverse))
            return NewtonOutcome::singular_hessian;
        const double scale = settings.Scale;
        for (int k = 1; k <= 3; ++k) {
            double s = 0;
            for (int j = 1; j <= 3; ++j)
                s += inverse(k, j) * gradient[j - 1];
            if (std::fabs(s) > scale)
                s = std::copysign(scale, s);
            position[k - 1] -= s;
        }

        source(position, value, gradient, hessian);
        gradient_norm = vector_length(gradient);

        if (report) {
            write_step_line(i, position, gradient_norm, scale);
            ui().text_pane_changed();
            if (pump_and_check_stop())
                return NewtonOutcome::stopped;
        }
        if (gradient_norm <= settings.eps) {
            not_converged = 0;
            return NewtonOutcome::converged;
        }
        if (i > 1 && std::fabs(gradient_norm - reference_norm) < stagnation)
            settings.Scale *= 0.5;
        if (i % 2 == 1)
            reference_norm = gradient_norm;
    }
    return NewtonOutcome::step_limit;
}
