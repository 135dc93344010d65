// The central-difference family: its stencils on a density with a known
// gradient and Laplacian, the modes, and a step of 0 in the settings.
#include "keldana/density/numeric_derivatives.h"

#include "keldana/density/property_evaluation.h"
#include "test_property_models.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace density_test;

namespace {

class NumericDerivatives : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestModel layout;
        layout.atoms = {free_atom("H1", 0, "1s1", 1.0)};
        ASSERT_TRUE(load_model(layout, ui_)) << ui_->answers.message_log();
    }
    ScopedScriptedUi ui_;
};

TEST_F(NumericDerivatives, FollowTheHydrogenDensity)
{
    const double pi = std::acos(-1.0);
    const Vector3 p = {0.3, -0.2, 0.4};
    const double r = std::sqrt(0.29), rb = r / A0;
    const double rho_au = std::exp(-2 * rb) / pi;
    Vector3 v{};
    const double norm = compute_property_gradient_or_laplacian_numeric(1, p[0], p[1], p[2], v, 3);
    EXPECT_NEAR(norm, 2 * rho_au / std::pow(A0, 4), 1e-5 * norm);
    EXPECT_NEAR(v[2], -2 * rho_au / std::pow(A0, 4) * p[2] / r, 1e-5 * norm);
    Vector3 minus{};
    EXPECT_EQ(compute_property_gradient_or_laplacian_numeric(-1, p[0], p[1], p[2], minus, 3), norm);
    EXPECT_EQ(minus[0], -v[0]);
    const double laplacian = compute_property_gradient_or_laplacian_numeric(2, p[0], p[1], p[2], v, 3);
    // Second differences of step 2 dr: accurate to a few 1e-4 of the curvatures.
    EXPECT_NEAR(laplacian, rho_au * (4 - 4 / rb) / std::pow(A0, 5), 1e-3 * std::abs(laplacian));

    Vector3 untouched = {7, 8, 9};
    EXPECT_EQ(compute_property_gradient_or_laplacian_numeric(3, p[0], p[1], p[2], untouched, 3), 0.0);
    EXPECT_EQ(untouched, (Vector3{7, 8, 9}));
    EXPECT_EQ(compute_property_partial_derivative_numeric(p[0], p[1], p[2], 4, 3), 0.0);

    double value = 0;
    Vector3 g{};
    Matrix3 h;
    compute_property_gradient_hessian_numeric(p, value, g, h, 3);
    double analytic_value = 0;
    Vector3 ag{};
    Matrix3 ah;
    evaluate_property_value_gradient_hessian(p, analytic_value, ag, ah, 3);
    EXPECT_EQ(value, analytic_value);
    double curvature = 0;
    for (double x : ah.v)
        curvature = std::max(curvature, std::abs(x));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_NEAR(g[i - 1], ag[i - 1], 1e-5 * norm);
        for (int j = 1; j <= 3; ++j) {
            EXPECT_NEAR(h(i, j), ah(i, j), 5e-5 * curvature);
            EXPECT_EQ(h(i, j), h(j, i));
        }
    }
    // Other codes take the numeric path in the value-gradient-Hessian call.
    evaluate_property_value_gradient_hessian(p, value, g, h, 24);
    EXPECT_NEAR(value, norm, 1e-5 * norm);
}

TEST_F(NumericDerivatives, AStepOfZeroFallsBackToTheDefault)
{
    run_settings().calculation.dr = 0.0;
    EXPECT_EQ(numeric_derivative_step(), DEFAULT_DR);
    Vector3 v{};
    EXPECT_TRUE(std::isfinite(compute_property_gradient_or_laplacian_numeric(2, 0.2, 0.1, 0.3, v, 3)));
    run_settings().calculation.dr = DEFAULT_DR;
}

}  // namespace
