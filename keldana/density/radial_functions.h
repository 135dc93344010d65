// Slater-type radial function of the multipole deformation terms,
// R(r) = N r^n exp(-a r) with a = kappa' zeta and N = a^(n+3) / (n+2)!, so
// that the integral of R r^2 dr over [0, inf) is 1, with its Cartesian
// derivatives.  zeta in 1/Angstrom, so R is in 1/Angstrom^3.
#pragma once

// R and its derivatives at the displacement (x, y, z) from the nucleus.
struct SlaterRadialValues {
    double value = 0;
    double dx = 0, dy = 0, dz = 0;
    double dxx = 0, dyy = 0, dzz = 0;
    double dxy = 0, dxz = 0, dyz = 0;
};

inline constexpr int MAX_SLATER_POWER = 18;  // (n + 2)! must be in the factorial table

// Fills what the property code `mode` needs: the value always, the gradient
// for mode > 4, the three pure second derivatives for mode >= 8, the mixed
// ones for mode >= 12; other fields keep their contents.  r is floored at
// 1e-9 Angstrom.  False, with every field set to 0, when n is outside
// 0..MAX_SLATER_POWER (its normalisation is not in the factorial table).
bool evaluate_slater_radial_function(int mode, int n, double zeta, double kappa_prime, double x, double y,
                                     double z, SlaterRadialValues& radial);
