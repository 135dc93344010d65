#include "keldana/density/pseudoatom_terms.h"
#include "keldana/density/radial_functions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// R(r) = a^(n+3) / (n+2)! r^n exp(-a r), written out for the test.
double reference_radial(int n, double a, double x, double y, double z)
{
    const double r = std::sqrt(x * x + y * y + z * z);
    return std::pow(a, n + 3) / std::tgamma(n + 3.0) * std::pow(r, n) * std::exp(-a * r);
}

struct RadialCase {
    int n;
    double zeta, kappa_prime;
};

const RadialCase RADIAL_CASES[] = {
    {0, 2.0, 1.0}, {1, 3.7, 1.0}, {2, 4.0, 0.9}, {3, 5.5, 1.1}, {4, 6.2, 1.0}, {6, 8.0, 0.95}, {8, 3.0, 1.2},
};

}  // namespace

TEST(SlaterRadialFunction, IsNormalisedOverRSquaredDr)
{
    for (const RadialCase& c : RADIAL_CASES) {
        // Composite Simpson on [0, 60 / a]; the tail beyond is below 1e-20.
        const double a = c.zeta * c.kappa_prime;
        const int intervals = 20000;
        const double h = 60.0 / a / intervals;
        double sum = 0;
        for (int i = 0; i <= intervals; ++i) {
            const double r = i * h;
            SlaterRadialValues radial;
            ASSERT_TRUE(evaluate_slater_radial_function(3, c.n, c.zeta, c.kappa_prime, r, 0, 0, radial));
            const double weight = (i == 0 || i == intervals) ? 1.0 : (i % 2 == 1 ? 4.0 : 2.0);
            sum += weight * radial.value * r * r;
        }
        EXPECT_NEAR(sum * h / 3.0, 1.0, 1e-10) << "n = " << c.n;
    }
}

TEST(SlaterRadialFunction, DerivativesMatchCentralDifferences)
{
    const double points[][3] = {{0.3, -0.2, 0.5}, {-0.9, 0.4, 0.1}, {0.05, 0.07, -0.02}, {1.2, -0.8, -1.1}};
    const double h = 1e-5;
    for (const RadialCase& c : RADIAL_CASES) {
        const double a = c.zeta * c.kappa_prime;
        for (const auto& p : points) {
            SlaterRadialValues radial;
            ASSERT_TRUE(evaluate_slater_radial_function(14, c.n, c.zeta, c.kappa_prime, p[0], p[1], p[2], radial));
            EXPECT_NEAR(radial.value, reference_radial(c.n, a, p[0], p[1], p[2]),
                        1e-13 * std::fabs(radial.value) + 1e-300);

            auto f = [&](int i, double di, int j, double dj) {
                double q[3] = {p[0], p[1], p[2]};
                q[i] += di;
                q[j] += dj;
                return reference_radial(c.n, a, q[0], q[1], q[2]);
            };
            const double gradient[3] = {radial.dx, radial.dy, radial.dz};
            const double hessian[3][3] = {{radial.dxx, radial.dxy, radial.dxz},
                                          {radial.dxy, radial.dyy, radial.dyz},
                                          {radial.dxz, radial.dyz, radial.dzz}};
            double scale = std::fabs(radial.value) / (0.01 + std::pow(std::hypot(p[0], p[1], p[2]), 2));
            for (int i = 0; i < 3; ++i) {
                const double numeric = (f(i, h, i, 0) - f(i, -h, i, 0)) / (2 * h);
                EXPECT_NEAR(gradient[i], numeric, 1e-6 * (std::fabs(numeric) + scale)) << "n " << c.n << " i " << i;
                for (int j = 0; j < 3; ++j) {
                    const double second = (f(i, h, j, h) - f(i, h, j, -h) - f(i, -h, j, h) + f(i, -h, j, -h))
                                          / (4 * h * h);
                    EXPECT_NEAR(hessian[i][j], second, 1e-4 * (std::fabs(second) + scale))
                        << "n " << c.n << " i " << i << " j " << j;
                }
            }
        }
    }
}

TEST(SlaterRadialFunction, ModeSelectsTheDerivativesAndKeepsTheRest)
{
    const double keep = -777.0;
    const SlaterRadialValues sentinel{keep, keep, keep, keep, keep, keep, keep, keep, keep, keep};
    struct Case {
        int mode;
        bool gradient, diagonal, mixed;
    };
    const Case cases[] = {{1, false, false, false}, {4, false, false, false}, {5, true, false, false},
                          {7, true, false, false},  {8, true, true, false},   {11, true, true, false},
                          {12, true, true, true},   {16, true, true, true}};
    for (const Case& c : cases) {
        SlaterRadialValues radial = sentinel;
        ASSERT_TRUE(evaluate_slater_radial_function(c.mode, 2, 3.0, 1.0, 0.3, 0.4, 0.5, radial));
        EXPECT_NE(radial.value, keep);
        EXPECT_EQ(radial.dx != keep && radial.dy != keep && radial.dz != keep, c.gradient) << c.mode;
        EXPECT_EQ(radial.dxx != keep && radial.dyy != keep && radial.dzz != keep, c.diagonal) << c.mode;
        EXPECT_EQ(radial.dxy != keep && radial.dxz != keep && radial.dyz != keep, c.mixed) << c.mode;
        if (!c.gradient) {
            EXPECT_EQ(radial.dx, keep);
        }
        if (!c.mixed) {
            EXPECT_EQ(radial.dyz, keep);
        }
    }
}

TEST(SlaterRadialFunction, StaysFiniteAtTheNucleus)
{
    for (int n = 0; n <= 6; ++n) {
        SlaterRadialValues radial;
        ASSERT_TRUE(evaluate_slater_radial_function(16, n, 4.0, 1.0, 0, 0, 0, radial));
        for (double v : {radial.value, radial.dx, radial.dy, radial.dz, radial.dxx, radial.dyy, radial.dzz,
                         radial.dxy, radial.dxz, radial.dyz})
            EXPECT_TRUE(std::isfinite(v)) << "n = " << n;
    }
    SlaterRadialValues radial;
    ASSERT_TRUE(evaluate_slater_radial_function(3, 0, 4.0, 1.0, 0, 0, 0, radial));
    EXPECT_DOUBLE_EQ(radial.value, 64.0 / 2.0 * std::exp(-4e-9));  // a^3 / 2!
}

TEST(SlaterRadialFunction, PowerOutsideTheFactorialTableIsRefused)
{
    for (int n : {-1, 19, 100}) {
        SlaterRadialValues radial{1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        EXPECT_FALSE(evaluate_slater_radial_function(16, n, 3.0, 1.0, 0.3, 0.2, 0.1, radial)) << n;
        EXPECT_EQ(radial.value, 0.0);
        EXPECT_EQ(radial.dyz, 0.0);
    }
    SlaterRadialValues radial;
    EXPECT_TRUE(evaluate_slater_radial_function(3, 18, 3.0, 1.0, 0.3, 0.2, 0.1, radial));
    EXPECT_TRUE(std::isfinite(radial.value));
}

// The multipoles' own exponential against the long-double one, in units in
// the last place of the double result, over its whole range, and its ends.
TEST(MultipoleExponential, StaysWithinOneAndAHalfUnitsInTheLastPlace)
{
    double worst = 0;
    double worst_x = 0;
    // Every step of 1e-3 from -708 to 709, and one random-looking point in
    // each, so that every table entry and every place in an interval is met.
    for (long k = -708000; k < 709000; ++k) {
        for (const double x : {k * 1e-3, k * 1e-3 + 0.000617 * std::abs(std::sin(static_cast<double>(k)))}) {
            if (x < -708.0 || x > 709.0)
                continue;
            const double ours = multipole_exponential(1.0, -x);
            const long double exact = std::exp(static_cast<long double>(x));
            const double unit = std::nextafter(static_cast<double>(exact), HUGE_VAL) - static_cast<double>(exact);
            const double error = static_cast<double>(std::fabs(ours - exact) / unit);
            if (error > worst) {
                worst = error;
                worst_x = x;
            }
        }
    }
    EXPECT_LE(worst, 1.5) << "at x = " << worst_x;
    EXPECT_EQ(multipole_exponential(2.0, 0.0), 1.0);
    EXPECT_EQ(multipole_exponential(1.0, 708.5), 0.0);  // below the smallest normal double
    EXPECT_EQ(multipole_exponential(1.0, HUGE_VAL), 0.0);
    EXPECT_EQ(multipole_exponential(-1.0, 710.0), HUGE_VAL);
    EXPECT_TRUE(std::isnan(multipole_exponential(1.0, std::nan(""))));
}
