// Local energy densities: the uniform-gas limits of ELF and LOL, the
// formulas of each code written out here and compared at points of a model,
// and the guards of the virial kinetic-energy models.
#include "keldana/density/energy_densities.h"

#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_evaluation.h"
#include "test_property_models.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace density_test;

namespace {

PropertySelection gradient_expansion(double elambda = 1.0 / 72, double coeff = 1.0 / 6)
{
    PropertySelection s;
    s.kinetic_model = 0;
    s.elambda = elambda;
    s.coeff = coeff;
    return s;
}

TEST(EnergyDensities, ElfAndLolReachTheUniformGasLimit)
{
    for (double rho : {1e-3, 0.05, 1.0, 30.0}) {
        EXPECT_NEAR(evaluate_energy_density_from_density(30, rho, 0, 0, 0, gradient_expansion()), 0.5, 1e-12);
        EXPECT_NEAR(evaluate_energy_density_from_density(41, rho, 0, 0, 0, gradient_expansion()), 0.5, 1e-12);
        // Without the gradient corrections G is the Thomas-Fermi term everywhere.
        EXPECT_NEAR(evaluate_energy_density_from_density(41, rho, 0.7, -3.0, 0, gradient_expansion(0, 0)), 0.5, 1e-12);
        EXPECT_NEAR(evaluate_energy_density_from_density(31, rho, 0, 0, 0, gradient_expansion()),
                    0.3 * std::pow(3 * M_PI * M_PI, 2.0 / 3.0) * std::pow(rho, 5.0 / 3.0), 1e-8 * std::pow(rho, 5.0 / 3.0));
    }
    // A single orbital (G = g^2 / (8 rho), the von Weizsaecker limit) gives ELF = 1.
    PropertySelection s = gradient_expansion(1.0 / 8, 0);
    const double rho = 0.2, g = 0.3;
    const double tf = 2.871234000188 * std::pow(rho, 5.0 / 3.0);
    s.elambda = 1.0 / 8 - tf * rho / (g * g);  // G = tF + elambda g^2 / rho = g^2 / (8 rho)
    EXPECT_NEAR(evaluate_energy_density_from_density(30, rho, g, 0, 0, s), 1.0, 1e-12);
}

TEST(EnergyDensities, VirialModelsNeverTakeTheLogarithmOfANonPositiveKineticEnergy)
{
    PropertySelection s;
    s.kinetic_model = 1;
    for (int code = 30; code <= 43; ++code)
        EXPECT_TRUE(std::isfinite(evaluate_energy_density_from_density(code, 0.3, 0.2, -4.0, 50.0, s))) << code;
    EXPECT_LT(evaluate_energy_density_from_density(31, 0.3, 0.2, -4.0, 50.0, s), 0.0);  // G itself is reported
    EXPECT_TRUE(std::isfinite(evaluate_energy_density_from_density(43, 0.0, 0.0, 0.0, 0.0, s)));
    EXPECT_EQ(evaluate_energy_density_from_density(29, 0.3, 0.2, 1.0, 0.0, s), 0.0);
    EXPECT_EQ(evaluate_energy_density_from_density(44, 0.3, 0.2, 1.0, 0.0, s), 0.0);
}

// The table of codes written out independently; G by the chosen model.
double expected(int code, double rho, double g, double l, double s_virial, const PropertySelection& sel)
{
    rho = std::max(rho, 1e-9);
    const double r43 = std::pow(rho, 4.0 / 3.0);
    const double s = 1.25992105 * g / r43;
    const double becke = -r43 * (0.738558775 + 0.0033335422091999994 * s * s / (1 + 0.0252 * s * std::log(s + std::sqrt(s * s + 1))));
    const double lee_zhou = -(0.738558775 * r43 + 0.0009002135830799999 * g * g / r43);
    const double tf = 2.871234000188 * std::pow(rho, 5.0 / 3.0);
    double kinetic = std::max(tf + sel.elambda * g * g / rho + sel.coeff * l, 1e-9);
    if (sel.kinetic_model != 0)
        kinetic = l / 4 - ((sel.kinetic_model == 1 ? becke : lee_zhou) + rho * s_virial) / 2;
    const double d = (kinetic - g * g / (8 * rho)) / tf;
    switch (code) {
    case 30: return 1 / (1 + d * d);
    case 31: return kinetic;
    case 32: return kinetic - l / 4;
    case 33: return l / 4 - kinetic;
    case 34: return (l / 4 - 2 * kinetic) * sel.potential_energy_sign;
    case 35: return -0.738558766 * r43;
    case 36: return becke;
    case 37: return -0.984745022 * std::pow(rho, 1.0 / 3.0);
    case 38: return 3.09366772628 * std::pow(rho, 1.0 / 3.0);
    case 39: return lee_zhou;
    case 40: return l / (4 * rho) - g * g / (8 * rho * rho);
    case 41: return tf / (tf + kinetic);
    case 42: return 0.6666666667 * kinetic / rho;
    case 43: return 1.5 * rho * (std::log(kinetic / tf) + 4.15382052755);
    default: return 0;
    }
}

TEST(EnergyDensities, ValuesAtPointsFollowTheFormulas)
{
    ScopedScriptedUi ui;
    ASSERT_TRUE(load_model(multipole_model(), ui)) << ui->answers.message_log();
    PropertySelection& selection = property_selection();
    const double a0 = A0;
    const double h = run_settings().calculation.dr;
    for (const auto& p : random_points(6, 1.5, 0.2, 3)) {
        auto f = [&](double dx, double dy, double dz) { return evaluate_property_at_point(p[0] + dx, p[1] + dy, p[2] + dz, 3); };
        const double rho = f(0, 0, 0);
        const double gx = (f(h, 0, 0) - f(-h, 0, 0)) / (2 * h), gy = (f(0, h, 0) - f(0, -h, 0)) / (2 * h),
                     gz = (f(0, 0, h) - f(0, 0, -h)) / (2 * h);
        const double lap = (f(2 * h, 0, 0) + f(-2 * h, 0, 0) + f(0, 2 * h, 0) + f(0, -2 * h, 0) + f(0, 0, 2 * h)
                            + f(0, 0, -2 * h) - 6 * rho) / (4 * h * h);
        Vector3 v{};
        EXPECT_NEAR(compute_property_gradient_or_laplacian_numeric(2, p[0], p[1], p[2], v, 3), lap, 1e-9 * std::abs(lap));
        EXPECT_NEAR(compute_property_gradient_or_laplacian_numeric(1, p[0], p[1], p[2], v, 3), std::sqrt(gx * gx + gy * gy + gz * gz), 1e-9);
        // The conversion factors as given for these properties (those of a0 =
        // 0.52917721 A, within 2e-6 of the program's 0.529177249).
        EXPECT_NEAR(DENSITY_TO_AU, std::pow(a0, 3), 2e-6 * DENSITY_TO_AU);
        const double rho_au = rho * 0.14818453430073747,
                     g_au = std::sqrt(gx * gx + gy * gy + gz * gz) * 0.07841584731829784, l_au = lap * 0.04149586283114636;
        for (int sign : {1, -1}) {
            selection.potential_energy_sign = sign;
            for (int code = 30; code <= 43; ++code) {
                const double want = expected(code, rho_au, g_au, l_au, 0, selection);
                EXPECT_NEAR(evaluate_energy_density_property(p[0], p[1], p[2], code), want, 1e-7 * (std::abs(want) + 1e-6))
                    << "code " << code;
            }
        }
    }
    selection.potential_energy_sign = 1;
}

}  // namespace
