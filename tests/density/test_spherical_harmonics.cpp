#include "keldana/density/spherical_harmonics.h"
#include "keldana/density/spherical_harmonics_rotation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double PI = std::numbers::pi;

// The angular functions c_lm written as the model's closed forms, apart from
// the code under test (m > 0 cosine, m < 0 sine type).
double reference_angular(int l, int m, double x, double y, double z)
{
    const double r = std::sqrt(x * x + y * y + z * z);
    const double r2 = r * r, r3 = r2 * r, r4 = r2 * r2;
    switch (l * 10 + (m + 4)) {
    case 4: return 1.0;
    case 14: return z / r;
    case 15: return x / r;
    case 13: return y / r;
    case 24: return (3 * z * z - r2) / r2;
    case 25: return x * z / r2;
    case 23: return y * z / r2;
    case 26: return (x * x - y * y) / (2 * r2);
    case 22: return x * y / r2;
    case 34: return (5 * z * z * z - 3 * z * r2) / r3;
    case 35: return x * (5 * z * z - r2) / r3;
    case 33: return y * (5 * z * z - r2) / r3;
    case 36: return z * (x * x - y * y) / r3;
    case 32: return 2 * x * y * z / r3;
    case 37: return x * (x * x - 3 * y * y) / r3;
    case 31: return y * (3 * x * x - y * y) / r3;
    case 44: return (35 * std::pow(z, 4) - 30 * z * z * r2 + 3 * r4) / r4;
    case 45: return x * (7 * z * z * z - 3 * z * r2) / r4;
    case 43: return y * (7 * z * z * z - 3 * z * r2) / r4;
    case 46: return (x * x - y * y) * (7 * z * z - r2) / r4;
    case 42: return 2 * x * y * (7 * z * z - r2) / r4;
    case 47: return z * (x * x * x - 3 * x * y * y) / r4;
    case 41: return z * (3 * x * x * y - y * y * y) / r4;
    case 48: return (std::pow(x, 4) - 6 * x * x * y * y + std::pow(y, 4)) / r4;
    case 40: return 4 * (x * x * x * y - x * y * y * y) / r4;
    }
    return NAN;
}

// The model's harmonics: the closed forms above with the program's
// normalisation table (checked on its own in DensityNormalisation).
double reference_harmonic(int l, int m, const Vector3& r)
{
    return harmonic_normalisation()(l, m) * reference_angular(l, m, r[0], r[1], r[2]);
}

// Value of the multipole populations of orders 1..lmax in the direction r.
double multipole_density(const MultipolePopulations& p, int lmax, const Vector3& r)
{
    double sum = 0;
    for (int l = 1; l <= lmax; ++l)
        for (int m = -l; m <= l; ++m)
            sum += p(l, m) * reference_harmonic(l, m, r);
    return sum;
}

// A rotation as the three axes (columns) of its matrix.
struct Rotation {
    Vector3 ex, ey, ez;
};

Vector3 apply(const Rotation& rotation, const Vector3& r)
{
    Vector3 out;
    for (int i = 0; i < 3; ++i)
        out[i] = rotation.ex[i] * r[0] + rotation.ey[i] * r[1] + rotation.ez[i] * r[2];
    return out;
}

Vector3 apply_transposed(const Rotation& rotation, const Vector3& r)
{
    auto dot = [&r](const Vector3& a) { return a[0] * r[0] + a[1] * r[1] + a[2] * r[2]; };
    return {dot(rotation.ex), dot(rotation.ey), dot(rotation.ez)};
}

Rotation product(const Rotation& a, const Rotation& b)
{
    return {apply(a, b.ex), apply(a, b.ey), apply(a, b.ez)};
}

Rotation transposed(const Rotation& a)
{
    return {{a.ex[0], a.ey[0], a.ez[0]}, {a.ex[1], a.ey[1], a.ez[1]}, {a.ex[2], a.ey[2], a.ez[2]}};
}

// Rotation by angle about a unit axis (Rodrigues).
Rotation axis_angle(Vector3 axis, double angle)
{
    const double norm = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (double& c : axis)
        c /= norm;
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    const double x = axis[0], y = axis[1], z = axis[2];
    return {{t * x * x + c, t * x * y + s * z, t * x * z - s * y},
            {t * x * y - s * z, t * y * y + c, t * y * z + s * x},
            {t * x * z + s * y, t * y * z - s * x, t * z * z + c}};
}

Rotation random_rotation(std::mt19937& random)
{
    std::normal_distribution<double> normal;
    double q[4];
    double norm = 0;
    for (double& c : q) {
        c = normal(random);
        norm += c * c;
    }
    norm = std::sqrt(norm);
    const double w = q[0] / norm, x = q[1] / norm, y = q[2] / norm, z = q[3] / norm;
    return {{1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y)},
            {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x)},
            {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y)}};
}

// A turn about z, a tiny tilt and another turn about z, multiplied through a
// detour (A A^T) so that its small off-axis elements carry the absolute
// rounding of O(1) terms, as frames built from atom positions do.
Rotation nearly_about_z(double tilt)
{
    const Rotation detour = axis_angle({0.3, -0.5, 0.8}, 2.1);
    const Rotation target =
        product(axis_angle({0, 0, 1}, 1.1), product(axis_angle({1, 0.3, 0}, tilt), axis_angle({0, 0, 1}, 2.3)));
    return product(detour, product(transposed(detour), target));
}

Vector3 random_direction(std::mt19937& random)
{
    std::normal_distribution<double> normal;
    return {normal(random), normal(random), normal(random)};
}

MultipolePopulations random_populations(std::mt19937& random)
{
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    MultipolePopulations p;
    for (int l = 0; l <= MAX_L; ++l)
        for (int m = -l; m <= l; ++m)
            p(l, m) = uniform(random);
    return p;
}

// Gauss-Legendre nodes and weights on [-1, 1] by Newton iteration.
void gauss_legendre(int n, std::vector<double>& nodes, std::vector<double>& weights)
{
    nodes.assign(n, 0);
    weights.assign(n, 0);
    for (int i = 0; i < n; ++i) {
        double x = std::cos(PI * (i + 0.75) / (n + 0.5));
        double derivative = 0;
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p0 = 1, p1 = x;
            for (int k = 2; k <= n; ++k) {
                const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            derivative = n * (x * p1 - p0) / (x * x - 1);
            const double step = p1 / derivative;
            x -= step;
            if (std::fabs(step) < 1e-16)
                break;
        }
        nodes[i] = x;
        weights[i] = 2 / ((1 - x * x) * derivative * derivative);
    }
}

// Integral over the unit sphere of f(direction), exact for polynomials of
// degree up to 15.
template <typename Function>
double integrate_over_sphere(Function f)
{
    std::vector<double> nodes, weights;
    gauss_legendre(8, nodes, weights);
    const int phi_count = 16;
    double sum = 0;
    for (int i = 0; i < 8; ++i) {
        const double ct = nodes[i], st = std::sqrt(1 - ct * ct);
        for (int j = 0; j < phi_count; ++j) {
            const double phi = 2 * PI * j / phi_count;
            sum += weights[i] * (2 * PI / phi_count) * f(Vector3{st * std::cos(phi), st * std::sin(phi), ct});
        }
    }
    return sum;
}

struct LmPair {
    int l, m;
};

std::vector<LmPair> all_lm()
{
    std::vector<LmPair> pairs;
    for (int l = 0; l <= MAX_L; ++l)
        for (int m = -l; m <= l; ++m)
            pairs.push_back({l, m});
    return pairs;
}

const double SAMPLE_POINTS[][3] = {
    {0.3, -0.4, 0.85}, {-1.2, 0.5, 0.1}, {0.02, 0.9, -0.6}, {2.0, 1.0, 3.0}, {-0.7, -0.7, -0.2}, {0.1, 0.0, 0.0},
};

}  // namespace

TEST(RealHarmonics, ValuesFollowTheClosedFormsAndDependOnDirectionOnly)
{
    for (const LmPair& lm : all_lm())
        for (const auto& p : SAMPLE_POINTS) {
            const double expected = reference_harmonic(lm.l, lm.m, {p[0], p[1], p[2]});
            EXPECT_NEAR(evaluate_real_harmonic(lm.l, lm.m, p[0], p[1], p[2]), expected, 1e-14)
                << lm.l << "," << lm.m;
            EXPECT_NEAR(evaluate_real_harmonic(lm.l, lm.m, 3.5 * p[0], 3.5 * p[1], 3.5 * p[2]), expected, 1e-14);
        }
}

TEST(RealHarmonics, DensityNormalisation)
{
    // The integral of |y_lm| over the sphere is 1 for l = 0 and 2 otherwise.
    // |c_lm| factorises into |Theta(theta)| |Phi(phi)|, so the integral is
    // the product of two 1-D integrals through a point where c_lm is not 0.
    const double theta0 = 0.7, phi0 = 0.3;
    auto direction = [](double theta, double phi) {
        return Vector3{std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
    };
    const int steps = 100000;
    for (const LmPair& lm : all_lm()) {
        const double at_point = reference_harmonic(lm.l, lm.m, direction(theta0, phi0));
        ASSERT_GT(std::fabs(at_point), 0.01);
        double polar = 0, azimuthal = 0;
        for (int i = 0; i < steps; ++i) {
            const double t = -1 + 2.0 * (i + 0.5) / steps;  // cos theta
            polar += std::fabs(reference_harmonic(lm.l, lm.m, direction(std::acos(t), phi0))) * 2.0 / steps;
            const double phi = 2 * PI * (i + 0.5) / steps;
            azimuthal += std::fabs(reference_harmonic(lm.l, lm.m, direction(theta0, phi))) * 2 * PI / steps;
        }
        const double integral = polar * azimuthal / std::fabs(at_point);
        // The midpoint sums carry 1e-7 at the ends of the polar range.
        EXPECT_NEAR(integral, lm.l == 0 ? 1.0 : 2.0, 3e-7) << lm.l << "," << lm.m;
    }
}

TEST(RealHarmonics, NormalisationIsItsClosedFormInFullPrecision)
{
    // N(l, |m|) = (1 or 2) / integral of |c_lm| over the sphere, the
    // integrals done symbolically (u = cos theta; the zeros of the Legendre
    // factors bring in sqrt(30) for l = 4, m = 0).
    const double s7 = std::sqrt(7.0), s30 = std::sqrt(30.0), s35 = std::sqrt(35.0), s42 = std::sqrt(42.0);
    const double n40 = 1225
                       / (32 * PI
                          * (-3 * s35 * std::sqrt(2 * s30 + 15) + 3 * s35 * std::sqrt(15 - 2 * s30)
                             + 5 * s42 * std::sqrt(15 - 2 * s30) + 5 * s42 * std::sqrt(2 * s30 + 15)));
    const double closed[5][5] = {
        {1 / (4 * PI)},
        {1 / PI, 1 / PI},
        {3 * std::sqrt(3.0) / (8 * PI), 0.75, 0.75},
        {10 / (13 * PI), 20 / (-20 * std::asin(std::sqrt(5.0) / 5) + 5 * PI + 56), 1.0, 4 / (3 * PI)},
        {n40, -1715.0 / 21388 + 1120 * s7 / 5347, -1715.0 / 4336 + 595 * s7 / 2168, 1.25, 15.0 / 32},
    };
    HarmonicNormalisation table;
    for (const LmPair& lm : all_lm()) {
        const double want = closed[lm.l][std::abs(lm.m)];
        EXPECT_NEAR(table(lm.l, lm.m), want, 1e-15 * want) << lm.l << "," << lm.m;
        EXPECT_EQ(harmonic_normalisation()(lm.l, lm.m), table(lm.l, lm.m));
    }
}

TEST(RealHarmonics, DerivativesMatchCentralDifferencesOfTheClosedForms)
{
    const double h = 1e-5;
    for (const LmPair& lm : all_lm())
        for (const auto& p : SAMPLE_POINTS) {
            auto f = [&](int i, double di, int j, double dj) {
                Vector3 q{p[0], p[1], p[2]};
                q[i] += di;
                q[j] += dj;
                return reference_harmonic(lm.l, lm.m, q);
            };
            static constexpr int PAIRS[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
            const double r = std::hypot(p[0], p[1], p[2]);
            for (int i = 0; i < 3; ++i) {
                const double numeric = (f(i, h, i, 0) - f(i, -h, i, 0)) / (2 * h);
                EXPECT_NEAR(evaluate_real_harmonic_first_derivative(lm.l, lm.m, p[0], p[1], p[2], 5 + i), numeric,
                            1e-7 / r)
                    << lm.l << "," << lm.m << " d" << i;
            }
            for (int c = 0; c < 6; ++c) {
                const int i = PAIRS[c][0], j = PAIRS[c][1];
                const double numeric =
                    (f(i, h, j, h) - f(i, h, j, -h) - f(i, -h, j, h) + f(i, -h, j, -h)) / (4 * h * h);
                EXPECT_NEAR(evaluate_real_harmonic_second_derivative(lm.l, lm.m, p[0], p[1], p[2], 5 + c), numeric,
                            1e-4 / (r * r))
                    << lm.l << "," << lm.m << " component " << 5 + c;
            }
        }
}

TEST(RealHarmonics, FiniteAtTheNucleusAndZeroOutsideTheTable)
{
    for (const LmPair& lm : all_lm()) {
        EXPECT_TRUE(std::isfinite(evaluate_real_harmonic(lm.l, lm.m, 0, 0, 0)));
        for (int c = 5; c <= 10; ++c) {
            EXPECT_TRUE(std::isfinite(evaluate_real_harmonic_first_derivative(lm.l, lm.m, 0, 0, 0, c)));
            EXPECT_TRUE(std::isfinite(evaluate_real_harmonic_second_derivative(lm.l, lm.m, 1e-12, 0, 0, c)));
        }
    }
    EXPECT_DOUBLE_EQ(evaluate_real_harmonic(0, 0, 0, 0, 0), 1 / (4 * PI));
    EXPECT_EQ(evaluate_real_harmonic(5, 0, 1, 0, 0), 0.0);
    EXPECT_EQ(evaluate_real_harmonic(2, 3, 1, 0, 0), 0.0);
    EXPECT_EQ(evaluate_real_harmonic_first_derivative(1, 1, 1, 0, 0, 8), 0.0);
    EXPECT_EQ(evaluate_real_harmonic_second_derivative(1, 1, 1, 0, 0, 11), 0.0);
    EXPECT_EQ(evaluate_real_harmonic_first_derivative(0, 0, 1, 2, 0, 5), 0.0);
}

TEST(RealHarmonics, MultipoleParameterNumbering)
{
    struct Case {
        int index, l, m;
    };
    const Case cases[] = {{14, 1, 1},  {15, 1, -1}, {16, 1, 0},  {17, 2, 0},  {18, 2, 1},  {19, 2, -1},
                          {20, 2, 2},  {21, 2, -2}, {22, 3, 0},  {27, 3, 3},  {28, 3, -3}, {29, 4, 0},
                          {33, 4, -2}, {36, 4, 4},  {37, 4, -4}};
    for (const Case& c : cases) {
        int l = -9, m = -9;
        EXPECT_TRUE(map_multipole_index_to_lm(c.index, l, m));
        EXPECT_EQ(l, c.l) << c.index;
        EXPECT_EQ(m, c.m) << c.index;
    }
    for (int index : {13, 38, 0, -14}) {
        int l = -9, m = -9;
        EXPECT_FALSE(map_multipole_index_to_lm(index, l, m));
        EXPECT_EQ(l, -9);
        EXPECT_EQ(m, -9);
    }
}

TEST(HarmonicRotation, EulerAnglesRebuildTheFrame)
{
    std::mt19937 random(11);
    std::vector<Rotation> rotations = {
        axis_angle({0, 0, 1}, 0.0),  axis_angle({0, 0, 1}, 2.0),         axis_angle({1, 0, 0}, PI),
        axis_angle({1, 1, 0}, 1e-9), axis_angle({0, 1, 0}, PI - 1e-9),   nearly_about_z(1e-9),
        nearly_about_z(1e-12),       nearly_about_z(PI - 1e-9),
    };
    for (int i = 0; i < 20; ++i)
        rotations.push_back(random_rotation(random));
    for (const Rotation& rotation : rotations) {
        double alpha = -1, beta = -1, gamma = -1;
        compute_euler_angles(rotation.ex, rotation.ey, rotation.ez, alpha, beta, gamma);
        EXPECT_GE(alpha, 0.0);
        EXPECT_LT(alpha, 2 * PI);
        EXPECT_GE(beta, 0.0);
        EXPECT_LE(beta, PI);
        const Rotation rebuilt =
            product(axis_angle({0, 0, 1}, alpha), product(axis_angle({0, 1, 0}, beta), axis_angle({0, 0, 1}, gamma)));
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(rebuilt.ex[k], rotation.ex[k], 1e-14);
            EXPECT_NEAR(rebuilt.ey[k], rotation.ey[k], 1e-14);
            EXPECT_NEAR(rebuilt.ez[k], rotation.ez[k], 1e-14);
        }
    }
    double alpha = -1, beta = -1, gamma = -1;
    compute_euler_angles({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, alpha, beta, gamma);
    EXPECT_EQ(alpha, 0.0);
    EXPECT_EQ(beta, 0.0);
    EXPECT_EQ(gamma, 0.0);
    compute_euler_angles({1, 0, 0}, {0, -1, 0}, {0, 0, -1}, alpha, beta, gamma);
    EXPECT_DOUBLE_EQ(beta, PI);
    EXPECT_EQ(gamma, 0.0);
}

TEST(HarmonicRotation, SmallDOfZeroOrdersIsTheLegendrePolynomial)
{
    const double beta = 0.83, c = std::cos(beta);
    const double legendre[] = {1.0, c, (3 * c * c - 1) / 2, (5 * c * c * c - 3 * c) / 2,
                               (35 * std::pow(c, 4) - 30 * c * c + 3) / 8};
    for (int l = 0; l <= MAX_L; ++l)
        EXPECT_NEAR(compute_wigner_small_d(l, 0, 0, std::cos(beta / 2), std::sin(beta / 2)), legendre[l], 1e-14) << l;
}

// The defining property: with r_global = R r_local, the rotated populations
// give in r_global the value the local ones give in r_local.
TEST(HarmonicRotation, RotatedPopulationsReproduceTheDensity)
{
    std::mt19937 random(2024);
    std::vector<std::pair<const char*, Rotation>> rotations = {
        {"about z", axis_angle({0, 0, 1}, 0.9)},          {"z to -z", axis_angle({1, 2, 0}, PI)},
        {"z to -z about x", axis_angle({1, 0, 0}, PI)},  {"tilt 1e-9", axis_angle({0.3, 1, 0}, 1e-9)},
        {"tilt 1e-4", axis_angle({1, 0.2, 0}, 1e-4)},     {"tilt pi - 1e-7", axis_angle({1, -1, 0}, PI - 1e-7)},
        {"about x", axis_angle({1, 0, 0}, PI / 2)},        {"about y", axis_angle({0, 1, 0}, -PI / 3)},
        {"tilt 1e-9 between turns about z", nearly_about_z(1e-9)},
        {"tilt 1e-12 between turns about z", nearly_about_z(1e-12)},
    };
    for (int i = 0; i < 30; ++i)
        rotations.push_back({"random", random_rotation(random)});
    for (const auto& [name, rotation] : rotations) {
        const MultipolePopulations local = random_populations(random);
        MultipolePopulations global = local;
        ASSERT_TRUE(build_harmonic_rotation_matrices(global, rotation.ex, rotation.ey, rotation.ez, MAX_L)) << name;
        EXPECT_EQ(global(0, 0), local(0, 0)) << name;
        for (int l = 1; l <= MAX_L; ++l) {
            for (int k = 0; k < 10; ++k) {
                const Vector3 r = random_direction(random);
                double rotated = 0, unrotated = 0;
                for (int m = -l; m <= l; ++m) {
                    rotated += global(l, m) * reference_harmonic(l, m, r);
                    unrotated += local(l, m) * reference_harmonic(l, m, apply_transposed(rotation, r));
                }
                EXPECT_NEAR(rotated, unrotated, 1e-12) << name << " l = " << l;
            }
        }
    }
}

TEST(HarmonicRotation, IdentityAndComposition)
{
    std::mt19937 random(7);
    const MultipolePopulations p = random_populations(random);
    MultipolePopulations same = p;
    ASSERT_TRUE(build_harmonic_rotation_matrices(same, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, MAX_L));
    for (int l = 0; l <= MAX_L; ++l)
        for (int m = -l; m <= l; ++m)
            EXPECT_NEAR(same(l, m), p(l, m), 1e-15);

    for (int trial = 0; trial < 10; ++trial) {
        const Rotation first = random_rotation(random), second = random_rotation(random);
        const Rotation both = product(second, first);
        MultipolePopulations stepwise = p, direct = p;
        ASSERT_TRUE(build_harmonic_rotation_matrices(stepwise, first.ex, first.ey, first.ez, MAX_L));
        ASSERT_TRUE(build_harmonic_rotation_matrices(stepwise, second.ex, second.ey, second.ez, MAX_L));
        ASSERT_TRUE(build_harmonic_rotation_matrices(direct, both.ex, both.ey, both.ez, MAX_L));
        for (int l = 1; l <= MAX_L; ++l)
            for (int m = -l; m <= l; ++m)
                EXPECT_NEAR(stepwise(l, m), direct(l, m), 1e-12) << l << "," << m;
    }
}

// Each order's block is orthogonal in the metric of the harmonics: it keeps
// the overlap integrals of the sphere, W^T G W = G with G(m, m') = <y_m, y_m'>.
TEST(HarmonicRotation, EachOrderBlockIsOrthogonal)
{
    std::mt19937 random(99);
    for (int trial = 0; trial < 5; ++trial) {
        const Rotation rotation = random_rotation(random);
        for (int l = 1; l <= MAX_L; ++l) {
            const int size = 2 * l + 1;
            std::vector<std::vector<double>> w(size, std::vector<double>(size)), g(size, std::vector<double>(size));
            for (int m2 = -l; m2 <= l; ++m2) {
                MultipolePopulations unit;
                unit(l, m2) = 1.0;
                ASSERT_TRUE(build_harmonic_rotation_matrices(unit, rotation.ex, rotation.ey, rotation.ez, l));
                for (int m = -l; m <= l; ++m)
                    w[m + l][m2 + l] = unit(l, m);
            }
            for (int m = -l; m <= l; ++m)
                for (int m2 = -l; m2 <= l; ++m2)
                    g[m + l][m2 + l] = integrate_over_sphere(
                        [&](const Vector3& r) { return reference_harmonic(l, m, r) * reference_harmonic(l, m2, r); });
            for (int i = 0; i < size; ++i)
                for (int j = 0; j < size; ++j) {
                    double wgw = 0;
                    for (int a = 0; a < size; ++a)
                        for (int b = 0; b < size; ++b)
                            wgw += w[a][i] * g[a][b] * w[b][j];
                    EXPECT_NEAR(wgw, g[i][j], 1e-12) << "l = " << l << " (" << i << "," << j << ")";
                }
        }
    }
}

TEST(HarmonicRotation, OrdersAboveLmaxAreLeftAlone)
{
    std::mt19937 random(5);
    const Rotation rotation = random_rotation(random);
    const MultipolePopulations p = random_populations(random);
    for (int lmax = 0; lmax <= MAX_L; ++lmax) {
        MultipolePopulations q = p;
        ASSERT_TRUE(build_harmonic_rotation_matrices(q, rotation.ex, rotation.ey, rotation.ez, lmax));
        for (int l = lmax + 1; l <= MAX_L; ++l)
            for (int m = -l; m <= l; ++m)
                EXPECT_EQ(q(l, m), p(l, m));
        const Vector3 r = random_direction(random);
        EXPECT_NEAR(multipole_density(q, lmax, r), multipole_density(p, lmax, apply_transposed(rotation, r)), 1e-12);
    }
}

TEST(HarmonicRotation, FramesThatAreNoRotationAreRefusedUnchanged)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        Vector3 ex, ey, ez;
        int lmax;
    };
    const Case cases[] = {
        {"left-handed", {1, 0, 0}, {0, 1, 0}, {0, 0, -1}, 4},
        {"not orthogonal", {1, 0, 0}, {0.1, 1, 0}, {0, 0, 1}, 4},
        {"zero axis", {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, 4},
        {"not finite", {1, 0, 0}, {0, nan, 0}, {0, 0, 1}, 4},
        {"lmax 5", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 5},
        {"lmax -1", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, -1},
    };
    std::mt19937 random(3);
    const MultipolePopulations p = random_populations(random);
    for (const Case& c : cases) {
        MultipolePopulations q = p;
        EXPECT_FALSE(build_harmonic_rotation_matrices(q, c.ex, c.ey, c.ez, c.lmax)) << c.name;
        EXPECT_EQ(q.p, p.p) << c.name;
    }
}
