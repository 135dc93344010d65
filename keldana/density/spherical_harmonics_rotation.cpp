#include "keldana/density/spherical_harmonics_rotation.h"

#include "keldana/density/spherical_harmonics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

constexpr double TWO_PI = 2.0 * std::numbers::pi;

// Frames are built from atom positions and symmetry operators: allow the
// rounding of slightly inconsistent cell constants, refuse anything else.
constexpr double FRAME_TOLERANCE = 1e-3;

// Q(l, |m|): the associated Legendre function P_l^|m| over the angular part
// of c_lm, for l = 2..4.
constexpr double CONVERSION[MAX_L + 1][MAX_L + 1] = {
    {1, 0, 0, 0, 0},
    {1, 1, 0, 0, 0},
    {0.5, 3.0, 6.0, 0, 0},
    {0.5, 1.5, 15.0, 15.0, 0},
    {0.125, 2.5, 7.5, 105.0, 105.0},
};

double wrap_angle(double angle)
{
    return angle < 0.0 ? angle + TWO_PI : angle;
}

double dot(const Vector3& a, const Vector3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

bool is_right_handed_orthonormal(const Vector3& ex, const Vector3& ey, const Vector3& ez)
{
    const Vector3* axes[3] = {&ex, &ey, &ez};
    for (int i = 0; i < 3; ++i) {
        for (double component : *axes[i])
            if (!std::isfinite(component))
                return false;
        for (int j = 0; j < 3; ++j)
            if (!(std::fabs(dot(*axes[i], *axes[j]) - (i == j ? 1.0 : 0.0)) <= FRAME_TOLERANCE))
                return false;
    }
    const double determinant = ex[0] * (ey[1] * ez[2] - ey[2] * ez[1]) - ey[0] * (ex[1] * ez[2] - ex[2] * ez[1])
                               + ez[0] * (ex[1] * ey[2] - ex[2] * ey[1]);
    return determinant > 0.0;
}

}  // namespace

void compute_euler_angles(const Vector3& ex, const Vector3& ey, const Vector3& ez, double& alpha, double& beta,
                          double& gamma)
{
    // M(i, j): component i of axis j.
    const double m11 = ex[0], m21 = ex[1];
    const double m12 = ey[0], m22 = ey[1];
    const double m13 = ez[0], m23 = ez[1], m33 = ez[2];
    const double sin_beta = std::hypot(m13, m23);
    beta = std::atan2(sin_beta, m33);
    if (sin_beta == 0.0) {
        gamma = 0.0;
        alpha = m33 > 0.0 ? std::atan2(m21, m11) : std::atan2(-m21, -m11);
    } else {
        alpha = std::atan2(m23, m13);
        // Rz(alpha)^T M = Ry(beta) Rz(gamma), whose second row is
        // (sin gamma, cos gamma, 0): gamma absorbs any error of alpha, which
        // is poorly defined when beta is tiny.
        const double ca = std::cos(alpha), sa = std::sin(alpha);
        gamma = std::atan2(-sa * m11 + ca * m21, -sa * m12 + ca * m22);
    }
    alpha = wrap_angle(alpha);
    gamma = wrap_angle(gamma);
}

double compute_wigner_small_d(int l, int m, int m2, double cos_half_beta, double sin_half_beta)
{
    if (l < 0 || l > MAX_L || std::abs(m) > l || std::abs(m2) > l)
        return 0.0;
    const FactorialTable& f = factorial_table();
    const int first = std::max(0, m2 - m);
    const int last = std::min(l + m2, l - m);
    double sum = 0.0;
    for (int k = first; k <= last; ++k) {
        const double term = f(l + m2) * f(l - m2) / (f(k) * f(l + m2 - k) * f(l - m - k) * f(k - m2 + m))
                            * std::pow(cos_half_beta, 2 * l + m2 - m - 2 * k)
                            * std::pow(sin_half_beta, 2 * k - m2 + m);
        sum += k % 2 == 0 ? term : -term;
    }
    return m < 0 && m % 2 != 0 ? -sum : sum;
}

bool build_harmonic_rotation_matrices(MultipolePopulations& populations, const Vector3& ex, const Vector3& ey,
                                      const Vector3& ez, int lmax)
{
    if (lmax < 0 || lmax > MAX_L || !is_right_handed_orthonormal(ex, ey, ez))
        return false;
    double alpha = 0, beta = 0, gamma = 0;
    compute_euler_angles(ex, ey, ez, alpha, beta, gamma);
    const double cb = std::cos(0.5 * beta);
    const double sb = std::sin(0.5 * beta);
    const FactorialTable& f = factorial_table();
    const HarmonicNormalisation& normalisation = harmonic_normalisation();

    MultipolePopulations rotated = populations;
    for (int l = 1; l <= lmax; ++l) {
        // w[m + l][m2 + l] = W(m, m2)
        double w[2 * MAX_L + 1][2 * MAX_L + 1] = {};
        for (int m2 = -l; m2 <= l; ++m2) {
            const int u = std::abs(m2);
            for (int m = 0; m <= l; ++m) {
                double factor = f(l - m) / f(l - u);
                if (m == 0)
                    factor *= 0.5;
                const double dp = compute_wigner_small_d(l, m, u, cb, sb);
                const double dm = compute_wigner_small_d(l, -m, u, cb, sb);
                const double difference = u * gamma - m * alpha;
                const double sum = m * alpha + u * gamma;
                if (m2 < 0) {
                    w[m + l][m2 + l] = -(dm * std::sin(difference) + dp * std::sin(sum)) * factor;
                    if (m > 0)
                        w[-m + l][m2 + l] = (dp * std::cos(sum) - dm * std::cos(difference)) * factor;
                } else {
                    w[m + l][m2 + l] = (dm * std::cos(difference) + dp * std::cos(sum)) * factor;
                    if (m > 0)
                        w[-m + l][m2 + l] = (dp * std::sin(sum) - dm * std::sin(difference)) * factor;
                }
            }
        }
        for (int m = -l; m <= l; ++m) {
            double value = 0.0;
            for (int m2 = -l; m2 <= l; ++m2) {
                double element = w[m + l][m2 + l];
                if (l >= 2)  // from the Legendre-based harmonics to y_lm = N c_lm
                    element *= normalisation(l, m2) * CONVERSION[l][std::abs(m)]
                               / (CONVERSION[l][std::abs(m2)] * normalisation(l, m));
                value += element * populations(l, m2);
            }
            rotated(l, m) = value;
        }
    }
    populations = rotated;
    return true;
}
