// The Newton-Raphson locator on functions whose derivatives are known
// exactly: convergence, the step cap, the halving of the cap when the search
// stalls or oscillates (the search's own cap: the setting is left as it
// is), the step limit, a singular Hessian and STOP, each
// with the outcome and the progress lines it reports.
#include "keldana/topology/newton_locator.h"

#include "common/job_control.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "topology_test_support.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// f = 1 - (x - 0.3)^2 - 2 (y + 0.2)^2 - 3 (z - 0.1)^2: one maximum at
// (0.3, -0.2, 0.1), where Newton lands in one uncapped step.
void quadratic(const Vector3& p, double& value, Vector3& gradient, Matrix3& hessian)
{
    const double dx = p[0] - 0.3, dy = p[1] + 0.2, dz = p[2] - 0.1;
    value = 1 - dx * dx - 2 * dy * dy - 3 * dz * dz;
    gradient = {-2 * dx, -4 * dy, -6 * dz};
    hessian = Matrix3{};
    hessian(1, 1) = -2;
    hessian(2, 2) = -4;
    hessian(3, 3) = -6;
}

// Gradient norms given call by call (the start point first), along x, with
// the identity as Hessian.
DerivativeSource scripted_norms(std::vector<double> norms)
{
    auto call = std::make_shared<size_t>(0);
    return [norms, call](const Vector3&, double& value, Vector3& gradient, Matrix3& hessian) {
        const double g = norms[std::min(*call, norms.size() - 1)];
        ++*call;
        value = 0;
        gradient = {g, 0, 0};
        hessian = Matrix3{};
        hessian(1, 1) = hessian(2, 2) = hessian(3, 3) = 1;
    };
}

struct NewtonCase {
    const char* name;
    DerivativeSource source;
    Vector3 start;
    int code;
    int n_step;
    bool report;
    NewtonOutcome outcome;
    int flag;                                 // not-converged flag after the call
    std::optional<Vector3> end;               // last point reached, where it is known
    std::vector<std::string> step_scales;     // "Max. step-size" column of each step line
};

class NewtonLocatorTest : public TopologyTest {
protected:
    void SetUp() override
    {
        TopologyTest::SetUp();
        CalculationSettings& s = run_settings().calculation;
        s.eps = 1e-5;
        s.Scale = 0.05;
        s.nStep = 50;
    }
};

}  // namespace

TEST_F(NewtonLocatorTest, CasesAndTheirReportedOutcome)
{
    const std::vector<NewtonCase> cases = {
        {"converges in one uncapped step", quadratic, {0.31, -0.21, 0.11}, 3, 50, true,
         NewtonOutcome::converged, 0, Vector3{0.3, -0.2, 0.1}, {" 0.05000"}},
        // s = (0.2, 0.01, 0): x is capped at Scale with its sign, y keeps its own step.
        {"step component capped at Scale", quadratic, {0.5, -0.19, 0.1}, 3, 1, true,
         NewtonOutcome::step_limit, 1, Vector3{0.45, -0.2, 0.1}, {" 0.05000"}},
        // Norms 0.5, 0.4995, 0.5: step 2 stalls against step 1 and step 3
        // returns to step 1's norm (an oscillation): Scale is halved twice.
        {"stagnation halves Scale", scripted_norms({1.0, 0.5, 0.4995, 0.5, 0.3}), {0, 0, 0}, 3, 4, true,
         NewtonOutcome::step_limit, 1, std::nullopt, {" 0.05000", " 0.05000", " 0.02500", " 0.01250"}},
        // The potential's threshold is 1e-4: the change of 0.0005 is progress.
        {"EPOT halves only below 1e-4", scripted_norms({1.0, 0.5, 0.4995, 0.5, 0.3}), {0, 0, 0}, 23, 4, true,
         NewtonOutcome::step_limit, 1, std::nullopt, {" 0.05000", " 0.05000", " 0.05000", " 0.02500"}},
        {"nStep reached", scripted_norms({1.0, 0.9, 0.7, 0.4}), {0, 0, 0}, 3, 3, true, NewtonOutcome::step_limit, 1,
         std::nullopt, {" 0.05000", " 0.05000", " 0.05000"}},
        {"nStep 0 takes no step", quadratic, {0.5, 0.0, 0.0}, 3, 0, true, NewtonOutcome::step_limit, 1,
         Vector3{0.5, 0.0, 0.0}, {}},
        {"a start at the point still takes one step", quadratic, {0.3, -0.2, 0.1}, 3, 50, true,
         NewtonOutcome::converged, 0, Vector3{0.3, -0.2, 0.1}, {" 0.05000"}},
        {"silent search writes nothing", quadratic, {0.31, -0.21, 0.11}, 3, 50, false, NewtonOutcome::converged, 0,
         Vector3{0.3, -0.2, 0.1}, {}},
    };
    for (const NewtonCase& c : cases) {
        SCOPED_TRACE(c.name);
        CalculationSettings& s = run_settings().calculation;
        s.Scale = 0.05;
        s.nStep = c.n_step;
        const int first_line = text_pane_state().line_count + 1;
        Vector3 p = c.start;
        double value = 0, gradient_norm = -1;
        Matrix3 hessian;
        int flag = 1;
        const NewtonOutcome outcome =
            locate_critical_point_newton(c.source, c.report, p, value, gradient_norm, hessian, flag, c.code);
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(flag, c.flag);
        EXPECT_GE(gradient_norm, 0.0);
        if (c.end) {
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(p[k], (*c.end)[k], 1e-12);
        }
        // The halving is the search's own: the setting stays for the next one.
        EXPECT_DOUBLE_EQ(s.Scale, 0.05);

        const std::vector<std::string> lines = pane_lines(first_line);
        if (!c.report) {
            EXPECT_TRUE(lines.empty());
            continue;
        }
        ASSERT_EQ(lines.size(), 2 + c.step_scales.size());
        EXPECT_EQ(lines[0], "   Step       x       y       z          |Grad(f)|   Max. step-size");
        EXPECT_EQ(lines[1].substr(0, 6), "     0");
        for (size_t i = 0; i < c.step_scales.size(); ++i) {
            // (2X,I4,3X,3F8.4,5X,F12.5,8X,F8.5): the cap is in columns 59-66.
            const std::string& line = lines[2 + i];
            ASSERT_EQ(line.size(), 66u) << line;
            EXPECT_EQ(std::stoi(line.substr(2, 4)), static_cast<int>(i + 1));
            EXPECT_EQ(line.substr(58, 8), c.step_scales[i]);
        }
    }
}

TEST_F(NewtonLocatorTest, ReportLinesHaveTheirFixedColumns)
{
    Vector3 p{0.5, -0.19, 0.1};
    double value = 0, gradient_norm = 0;
    Matrix3 hessian;
    int flag = 1;
    run_settings().calculation.nStep = 1;
    locate_critical_point_newton(quadratic, true, p, value, gradient_norm, hessian, flag, 3);
    const std::vector<std::string> lines = pane_lines();
    ASSERT_EQ(lines.size(), 3u);
    // |grad| at the start: sqrt(0.4^2 + 0.04^2) = 0.40200 (gfortran: F12.5).
    EXPECT_EQ(lines[1], "     0     0.5000 -0.1900  0.1000          0.40200");
    // After the capped step: x = 0.45, |grad| = 0.3.
    EXPECT_EQ(lines[2], "     1     0.4500 -0.2000  0.1000          0.30000         0.05000");
}

TEST_F(NewtonLocatorTest, SingularHessianEndsWithoutAStep)
{
    const DerivativeSource flat = [](const Vector3&, double& value, Vector3& gradient, Matrix3& hessian) {
        value = 0;
        gradient = {1e-3, 0, 0};
        hessian = Matrix3{};
    };
    Vector3 p{1, 2, 3};
    double value = 0, gradient_norm = 0;
    Matrix3 hessian;
    int flag = 1;
    EXPECT_EQ(locate_critical_point_newton(flat, false, p, value, gradient_norm, hessian, flag, 3),
              NewtonOutcome::singular_hessian);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(p, (Vector3{1, 2, 3}));
    EXPECT_DOUBLE_EQ(gradient_norm, 1e-3);
}

TEST_F(NewtonLocatorTest, StopEndsTheSearchAfterTheCurrentStep)
{
    int pumps = 0;
    ui_->on_pump = [&pumps] {
        if (++pumps == 2)  // the start drains once; the first step's pump sees STOP
            job_control().stop_requested = true;
    };
    Vector3 p{0, 0, 0};
    double value = 0, gradient_norm = 0;
    Matrix3 hessian;
    int flag = 1;
    EXPECT_EQ(locate_critical_point_newton(scripted_norms({1.0}), true, p, value, gradient_norm, hessian, flag, 3),
              NewtonOutcome::stopped);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(pane_lines().size(), 3u);  // heading, start and the one step
    EXPECT_TRUE(job_control().stop_requested);
}

// f = 1 - x^2 - y^2 - c z^2 with c = 6e-5: a maximum at the origin on a
// valley so flat along z that 0.04 Angstrom off it |grad f| is below eps.
void flat_valley(const Vector3& p, double& value, Vector3& gradient, Matrix3& hessian)
{
    constexpr double c = 6e-5;
    value = 1 - p[0] * p[0] - p[1] * p[1] - c * p[2] * p[2];
    gradient = {-2 * p[0], -2 * p[1], -2 * c * p[2]};
    hessian = Matrix3{};
    hessian(1, 1) = hessian(2, 2) = -2;
    hessian(3, 3) = -2 * c;
}

TEST_F(NewtonLocatorTest, RefinementTakesAConvergedPointToTheCriticalPoint)
{
    // 0.04 off the maximum the gradient is already within eps: a search
    // stepping there stops as converged ...
    Vector3 p{0.0, 0.0, 0.04};
    double value = 0, gradient_norm = 0;
    Matrix3 hessian;
    Vector3 gradient{};
    flat_valley(p, value, gradient, hessian);
    const NewtonParameters parameters = newton_parameters_of_settings();
    ASSERT_LE(vector_length(gradient), parameters.eps);
    int steps = 1;
    // ... and refined onto it, each further step reported on from the last.
    std::vector<int> reported;
    const NewtonStepWatcher watcher = [&reported](const NewtonStepRecord& r) {
        reported.push_back(r.step);
        return true;
    };
    ASSERT_TRUE(refine_critical_point(flat_valley, parameters, watcher, p, value, gradient_norm, hessian, steps));
    EXPECT_LT(vector_length(p), 1e-5);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.front(), 2);
    EXPECT_EQ(reported.back(), steps);

    struct Case {
        const char* name;
        DerivativeSource source;
        bool confirmed;
    };
    const auto constant = [](double g, double curvature) -> DerivativeSource {
        return [g, curvature](const Vector3&, double& value, Vector3& gradient, Matrix3& hessian) {
            value = 0;
            gradient = {g, 0, 0};
            hessian = Matrix3{};
            hessian(1, 1) = hessian(2, 2) = hessian(3, 3) = curvature;
        };
    };
    for (const Case& c : {Case{"steps that never shrink", constant(5e-6, 0.01), false},
                          Case{"a step already below 1e-5", constant(5e-6, 1.0), true},
                          Case{"a degenerate point stays", constant(5e-6, 0.0), true},
                          Case{"a gradient growing beyond eps", constant(2e-5, 1.0), false}}) {
        SCOPED_TRACE(c.name);
        Vector3 q{1, 2, 3};
        int n = 0;
        EXPECT_EQ(refine_critical_point(c.source, parameters, {}, q, value, gradient_norm, hessian, n), c.confirmed);
        EXPECT_LE(n, 30);
    }
}
