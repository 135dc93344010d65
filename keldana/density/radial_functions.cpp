#include "keldana/density/radial_functions.h"

#include "keldana/density/numeric_helpers.h"

#include <cmath>

namespace {

constexpr double MIN_RADIUS = 1e-9;  // Angstrom

}  // namespace

bool evaluate_slater_radial_function(int mode, int n, double zeta, double kappa_prime, double x, double y,
                                     double z, SlaterRadialValues& radial)
{
    if (n < 0 || n > MAX_SLATER_POWER) {
        radial = SlaterRadialValues{};
        return false;
    }
    const double a = kappa_prime * zeta;
    double r = std::sqrt(x * x + y * y + z * z);
    if (r < MIN_RADIUS)
        r = MIN_RADIUS;
    const double normalised_exponential = std::pow(a, n + 3) / factorial_table()(n + 2) * std::exp(-a * r);
    radial.value = normalised_exponential * std::pow(r, n);
    if (mode <= 4)
        return true;

    // dR/dx_k = N e^(-ar) r^(n-2) (n - a r) x_k
    const double first = normalised_exponential * std::pow(r, n - 2) * (n - a * r);
    radial.dx = first * x;
    radial.dy = first * y;
    radial.dz = first * z;
    if (mode < 8)
        return true;

    // d2R/dx_j dx_k = N e^(-ar) r^(n-4) [r^2 (n - a r) delta_jk + x_j x_k h],
    // h = n (n - 2) - (2n - 1) a r + a^2 r^2
    const double second = normalised_exponential * std::pow(r, n - 4);
    const double h = n * (n - 2) - (2 * n - 1) * a * r + a * a * r * r;
    const double diagonal = r * r * (n - a * r);
    radial.dxx = second * (diagonal + x * x * h);
    radial.dyy = second * (diagonal + y * y * h);
    radial.dzz = second * (diagonal + z * z * h);
    if (mode < 12)
        return true;

    radial.dxy = second * x * y * h;
    radial.dxz = second * x * z * h;
    radial.dyz = second * y * z * h;
    return true;
}
