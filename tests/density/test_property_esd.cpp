// E.s.d.s of the density and its Laplacian: sqrt(d^T C d) times the scale,
// with d the finite-difference derivatives of the density (or Laplacian)
// with respect to each refined parameter, taken by reloading the model with
// the parameter moved.
#include "keldana/density/property_esd.h"

#include "keldana/density/property_evaluation.h"
#include "keldana/density/spherical_harmonics.h"
#include "test_property_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace density_test;

namespace {

struct Parameter {
    int atom, kind;
};

// The model parameter a covariance parameter stands for.
double& parameter_in(TestModel& layout, const Parameter& p)
{
    TestAtom& atom = layout.atoms[p.atom - 1];
    if (p.kind == 12)
        return atom.valence_population;
    int l = 0, m = 0;
    if (p.kind != 13)
        map_multipole_index_to_lm(p.kind, l, m);
    return atom.p[l][m + 4];
}

TestModel cluster_model()
{
    TestModel layout = multipole_model();
    layout.centring = "CEN                  /P";
    layout.cluster = {"-1  0 0 0  1 2", "1  1 0 0  1 2"};
    return layout;
}

class PropertyEsd : public ::testing::Test {
protected:
    void SetUp() override
    {
        parameters_ = {{1, 12}, {1, 13}, {1, 14}, {1, 16}, {1, 19}, {1, 26}, {1, 33}, {1, 11},
                       {2, 12}, {2, 13}, {2, 15}, {2, 20}, {2, 30}};
        points_ = {{0.3, -0.4, 0.5}, {-0.6, 0.2, 0.1}, {1.2, 0.9, -0.3}, {-1.4, -0.8, 0.7}, {2.9, 0.4, 0.2}};
        // d by central differences; the density is linear in each parameter.
        const double h = 0.05;
        derivatives_.assign(parameters_.size(), std::vector<std::array<double, 2>>(points_.size()));
        for (std::size_t k = 0; k < parameters_.size(); ++k) {
            std::array<std::vector<std::array<double, 2>>, 2> values;
            for (int side = 0; side < 2; ++side) {
                TestModel layout = cluster_model();
                if (parameters_[k].kind >= 12)
                    parameter_in(layout, parameters_[k]) += side == 0 ? h : -h;
                ASSERT_TRUE(load_model(layout, ui_)) << ui_->answers.message_log();
                for (const auto& p : points_)
                    values[side].push_back({evaluate_property_at_point(p[0], p[1], p[2], 3),
                                            evaluate_property_at_point(p[0], p[1], p[2], 8)});
            }
            for (std::size_t i = 0; i < points_.size(); ++i)
                for (int c = 0; c < 2; ++c)
                    derivatives_[k][i][c] = (values[0][i][c] - values[1][i][c]) / (2 * h);
        }
        ASSERT_TRUE(load_model(cluster_model(), ui_));
        ASSERT_EQ(current_model().atoms.atom_count, 6);

        const int n = static_cast<int>(parameters_.size());
        std::mt19937 generator(3);
        std::normal_distribution<double> normal(0.0, 0.01);
        std::vector<double> b(static_cast<std::size_t>(n) * n);
        for (double& x : b)
            x = normal(generator);
        matrix_.cov_order = n;
        matrix_.cov_scale = 1.3;
        matrix_.esd_available = 1;
        for (int i = 1; i <= n; ++i) {
            matrix_.cov_atom[i] = parameters_[i - 1].atom;
            matrix_.cov_kind[i] = parameters_[i - 1].kind;
            for (int j = i; j <= n; ++j) {
                double c = i == j ? 1e-4 : 0.0;
                for (int k = 0; k < n; ++k)
                    c += b[(i - 1) + n * k] * b[(j - 1) + n * k];
                matrix_.cov_at(i, j) = c;
            }
        }
    }

    double expected(std::size_t point, int component) const
    {
        const int n = matrix_.cov_order;
        double sum = 0;
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= n; ++j) {
                const double c = i <= j ? matrix_.cov_at(i, j) : matrix_.cov_at(j, i);
                // Kinds below 12 are not density parameters.
                const double di = parameters_[i - 1].kind >= 12 ? derivatives_[i - 1][point][component] : 0.0;
                const double dj = parameters_[j - 1].kind >= 12 ? derivatives_[j - 1][point][component] : 0.0;
                sum += di * c * dj;
            }
        return std::sqrt(sum) * matrix_.cov_scale;
    }

    ScopedScriptedUi ui_;
    std::vector<Parameter> parameters_;
    std::vector<std::array<double, 3>> points_;
    std::vector<std::vector<std::array<double, 2>>> derivatives_;  // [parameter][point][density, Laplacian]
    CovarianceMatrix matrix_;
};

TEST_F(PropertyEsd, EqualsThePropagationOfFiniteDifferenceDerivatives)
{
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const auto& p = points_[i];
        SCOPED_TRACE(i);
        for (std::size_t k = 0; k < parameters_.size(); ++k)
            for (int c = 0; c < 2; ++c) {
                const double want = parameters_[k].kind >= 12 ? derivatives_[k][i][c] : 0.0;
                EXPECT_NEAR(evaluate_property_parameter_derivative(matrix_, static_cast<int>(k) + 1, p[0], p[1], p[2],
                                                                   17 + c),
                            want, 1e-7 * (std::abs(want) + 1e-3))
                    << "parameter " << k << " code " << 17 + c;
            }
        const double sigma_rho = expected(i, 0), sigma_laplacian = expected(i, 1);
        EXPECT_NEAR(evaluate_property_esd(matrix_, p[0], p[1], p[2], 17), sigma_rho, 1e-7 * sigma_rho);
        EXPECT_NEAR(evaluate_property_esd(matrix_, p[0], p[1], p[2], 18), sigma_laplacian, 1e-7 * sigma_laplacian);
    }
    // Through the property codes with the program's matrix.
    covariance_matrix() = matrix_;
    const auto& p = points_[0];
    EXPECT_NEAR(evaluate_property_at_point(p[0], p[1], p[2], 17), expected(0, 0), 1e-7 * expected(0, 0));
    covariance_matrix() = CovarianceMatrix{};
}

TEST_F(PropertyEsd, GivesZeroWithoutDensityParametersOrOutOfReach)
{
    const auto& p = points_[1];
    CovarianceMatrix only_positions = matrix_;
    for (int i = 1; i <= only_positions.cov_order; ++i)
        only_positions.cov_kind[i] = 1 + i % 11;
    EXPECT_EQ(evaluate_property_esd(only_positions, p[0], p[1], p[2], 17), 0.0);
    CovarianceMatrix unread = matrix_;
    unread.esd_available = 0;
    EXPECT_EQ(evaluate_property_esd(unread, p[0], p[1], p[2], 17), 0.0);
    EXPECT_EQ(evaluate_property_esd(matrix_, p[0], p[1], p[2], 3), 0.0);
    run_settings().calculation.rCut = 1e-3;
    EXPECT_EQ(evaluate_property_esd(matrix_, p[0], p[1], p[2], 18), 0.0);
    run_settings().calculation.rCut = 10.0;
    // Orders above lPole take no part, in the density as in its e.s.d.
    run_settings().calculation.lPole = 0;
    EXPECT_EQ(evaluate_property_parameter_derivative(matrix_, 3, p[0], p[1], p[2], 17), 0.0);
    EXPECT_NE(evaluate_property_parameter_derivative(matrix_, 2, p[0], p[1], p[2], 17), 0.0);
    run_settings().calculation.lPole = 4;
}

}  // namespace
