#include "keldana/density/spherical_harmonics.h"

#include <cmath>
#include <iterator>
#include <numbers>

namespace {

constexpr double MIN_RADIUS = 1e-9;  // Angstrom

// N(l, |m|) = (1 for l = 0, 2 otherwise) / integral of |c_lm| over the
// sphere, worked out in closed form: the integral factorises into
// int_0^2pi |cos(m phi)| dphi (2 pi for m = 0, else 4) and the integral over
// u = cos(theta) of the polynomial's absolute value, split at its zeros.
double normalisation_closed_form(int l, int m)
{
    constexpr double pi = std::numbers::pi;
    const double sqrt3 = std::sqrt(3.0), sqrt7 = std::sqrt(7.0), sqrt30 = std::sqrt(30.0);
    switch (l * 10 + m) {
    case 0: return 1 / (4 * pi);
    case 10:
    case 11: return 1 / pi;
    case 20: return 3 * sqrt3 / (8 * pi);  // |3u^2 - 1|: 8 / (3 sqrt 3)
    case 21:
    case 22: return 0.75;
    case 30: return 10 / (13 * pi);  // |5u^3 - 3u|: 13 / 10
    case 31: return 20 / (56 + 5 * pi - 20 * std::atan(0.5));  // sqrt(1 - u^2) |5u^2 - 1|
    case 32: return 1.0;
    case 33: return 4 / (3 * pi);
    case 40: {
        // |35u^4 - 30u^2 + 3| with zeros u^2 = (15 -+ 2 sqrt 30) / 35 and the
        // odd antiderivative F(u) = 7u^5 - 10u^3 + 3u: the integral is
        // 4 (F(a) - F(b)).
        const double a = std::sqrt((15 - 2 * sqrt30) / 35), b = std::sqrt((15 + 2 * sqrt30) / 35);
        auto f = [](double u) { return u * (7 * u * u * u * u - 10 * u * u + 3); };
        return 1 / (4 * pi * (f(a) - f(b)));
    }
    case 41: return (4480 * sqrt7 - 1715) / 21388;  // sqrt(1 - u^2) |7u^3 - 3u|
    case 42: return (1190 * sqrt7 - 1715) / 4336;   // (1 - u^2) |7u^2 - 1|
    case 43: return 1.25;
    case 44: return 15.0 / 32;
    default: return 0.0;
    }
}

// c_lm = P_lm(x, y, z) / r^l with P_lm a homogeneous polynomial of degree l.
using Monomial = HarmonicMonomial;

// Indexed by l (l + 1) + m.
constexpr HarmonicPolynomial POLYNOMIALS[] = {
    {1, {{1, 0, 0, 0}}},  // (0, 0)
    {1, {{1, 0, 1, 0}}},  // (1, -1) y
    {1, {{1, 0, 0, 1}}},  // (1, 0) z
    {1, {{1, 1, 0, 0}}},  // (1, +1) x
    {1, {{1, 1, 1, 0}}},  // (2, -2) x y
    {1, {{1, 0, 1, 1}}},  // (2, -1) y z
    {3, {{2, 0, 0, 2}, {-1, 2, 0, 0}, {-1, 0, 2, 0}}},  // (2, 0) 3 z^2 - r^2
    {1, {{1, 1, 0, 1}}},                                // (2, +1) x z
    {2, {{0.5, 2, 0, 0}, {-0.5, 0, 2, 0}}},             // (2, +2) (x^2 - y^2) / 2
    {2, {{3, 2, 1, 0}, {-1, 0, 3, 0}}},                 // (3, -3) y (3 x^2 - y^2)
    {1, {{2, 1, 1, 1}}},                                // (3, -2) 2 x y z
    {3, {{4, 0, 1, 2}, {-1, 2, 1, 0}, {-1, 0, 3, 0}}},  // (3, -1) y (5 z^2 - r^2)
    {3, {{2, 0, 0, 3}, {-3, 2, 0, 1}, {-3, 0, 2, 1}}},  // (3, 0) 5 z^3 - 3 z r^2
    {3, {{4, 1, 0, 2}, {-1, 3, 0, 0}, {-1, 1, 2, 0}}},  // (3, +1) x (5 z^2 - r^2)
    {2, {{1, 2, 0, 1}, {-1, 0, 2, 1}}},                 // (3, +2) z (x^2 - y^2)
    {2, {{1, 3, 0, 0}, {-3, 1, 2, 0}}},                 // (3, +3) x (x^2 - 3 y^2)
    {2, {{4, 3, 1, 0}, {-4, 1, 3, 0}}},                 // (4, -4) 4 (x^3 y - x y^3)
    {2, {{3, 2, 1, 1}, {-1, 0, 3, 1}}},                 // (4, -3) z (3 x^2 y - y^3)
    {3, {{12, 1, 1, 2}, {-2, 3, 1, 0}, {-2, 1, 3, 0}}},  // (4, -2) 2 x y (7 z^2 - r^2)
    {3, {{4, 0, 1, 3}, {-3, 2, 1, 1}, {-3, 0, 3, 1}}},   // (4, -1) y (7 z^3 - 3 z r^2)
    // (4, 0) 35 z^4 - 30 z^2 r^2 + 3 r^4
    {6, {{8, 0, 0, 4}, {3, 4, 0, 0}, {3, 0, 4, 0}, {6, 2, 2, 0}, {-24, 2, 0, 2}, {-24, 0, 2, 2}}},
    {3, {{4, 1, 0, 3}, {-3, 3, 0, 1}, {-3, 1, 2, 1}}},                   // (4, +1) x (7 z^3 - 3 z r^2)
    {4, {{6, 2, 0, 2}, {-6, 0, 2, 2}, {-1, 4, 0, 0}, {1, 0, 4, 0}}},     // (4, +2) (x^2 - y^2)(7 z^2 - r^2)
    {2, {{1, 3, 0, 1}, {-3, 1, 2, 1}}},                                  // (4, +3) z (x^3 - 3 x y^2)
    {3, {{1, 4, 0, 0}, {-6, 2, 2, 0}, {1, 0, 4, 0}}},                    // (4, +4) x^4 - 6 x^2 y^2 + y^4
};

static_assert(std::size(POLYNOMIALS) == (MAX_L + 1) * (MAX_L + 1));

bool valid_lm(int l, int m)
{
    return l >= 0 && l <= MAX_L && m >= -l && m <= l;
}

// Powers 0..4 of the three coordinates.
struct CoordinatePowers {
    double p[3][MAX_L + 1];

    CoordinatePowers(double x, double y, double z)
    {
        const double c[3] = {x, y, z};
        for (int k = 0; k < 3; ++k) {
            p[k][0] = 1.0;
            for (int e = 1; e <= MAX_L; ++e)
                p[k][e] = p[k][e - 1] * c[k];
        }
    }
};

// d^(dx+dy+dz) P / dx^dx dy^dy dz^dz of one harmonic polynomial.
double differentiate_polynomial(const HarmonicPolynomial& polynomial, const CoordinatePowers& powers, int dx,
                                int dy, int dz)
{
    double sum = 0.0;
    for (int t = 0; t < polynomial.count; ++t) {
        const Monomial& term = polynomial.terms[t];
        const int exponent[3] = {term.px, term.py, term.pz};
        const int order[3] = {dx, dy, dz};
        double value = term.coefficient;
        for (int k = 0; k < 3 && value != 0.0; ++k) {
            if (order[k] > exponent[k]) {
                value = 0.0;
                break;
            }
            for (int d = 0; d < order[k]; ++d)
                value *= exponent[k] - d;
            value *= powers.p[k][exponent[k] - order[k]];
        }
        sum += value;
    }
    return sum;
}

double floored_radius(double x, double y, double z)
{
    const double r = std::sqrt(x * x + y * y + z * z);
    return r < MIN_RADIUS ? MIN_RADIUS : r;
}

// r^l by multiplication.
double radius_power(double r, int l)
{
    double p = 1.0;
    for (int k = 0; k < l; ++k)
        p *= r;
    return p;
}

const HarmonicPolynomial& polynomial_of(int l, int m)
{
    return POLYNOMIALS[l * (l + 1) + m];
}

}  // namespace

HarmonicNormalisation::HarmonicNormalisation()
{
    fill_harmonic_normalisation(*this);
}

HarmonicNormalisation& harmonic_normalisation()
{
    static HarmonicNormalisation table;
    return table;
}

void fill_harmonic_normalisation(HarmonicNormalisation& table)
{
    for (auto& row : table.n)
        row.fill(0.0);
    for (int l = 0; l <= MAX_L; ++l)
        for (int m = 0; m <= l; ++m) {
            table.n[l][MAX_L + m] = normalisation_closed_form(l, m);
            table.n[l][MAX_L - m] = table.n[l][MAX_L + m];
        }
}

double evaluate_real_harmonic(int l, int m, double x, double y, double z)
{
    if (!valid_lm(l, m))
        return 0.0;
    const double r = floored_radius(x, y, z);
    const CoordinatePowers powers(x, y, z);
    const double p = differentiate_polynomial(polynomial_of(l, m), powers, 0, 0, 0);
    return harmonic_normalisation()(l, m) * p / radius_power(r, l);
}

// d/dx_k (P r^-l) = (P_k - l P x_k / r^2) / r^l
double evaluate_real_harmonic_first_derivative(int l, int m, double x, double y, double z, int component)
{
    if (!valid_lm(l, m) || component < HARMONIC_D_X || component > HARMONIC_D_Z || l == 0)
        return 0.0;
    const int k = component - HARMONIC_D_X;
    const double r = floored_radius(x, y, z);
    const double r2 = r * r;
    const double coordinate[3] = {x, y, z};
    const CoordinatePowers powers(x, y, z);
    const HarmonicPolynomial& polynomial = polynomial_of(l, m);
    const double p = differentiate_polynomial(polynomial, powers, 0, 0, 0);
    const double pk = differentiate_polynomial(polynomial, powers, k == 0, k == 1, k == 2);
    return harmonic_normalisation()(l, m) * (pk - l * p * coordinate[k] / r2) / radius_power(r, l);
}

// d2/dx_j dx_k (P r^-l)
//   = (P_jk - l (P_j x_k + P_k x_j + P delta_jk) / r^2 + l (l + 2) P x_j x_k / r^4) / r^l
double evaluate_real_harmonic_second_derivative(int l, int m, double x, double y, double z, int component)
{
    static constexpr int PAIRS[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
    if (!valid_lm(l, m) || component < HARMONIC_D_XX || component > HARMONIC_D_YZ || l == 0)
        return 0.0;
    const int j = PAIRS[component - HARMONIC_D_XX][0];
    const int k = PAIRS[component - HARMONIC_D_XX][1];
    const double r = floored_radius(x, y, z);
    const double r2 = r * r;
    const double coordinate[3] = {x, y, z};
    const CoordinatePowers powers(x, y, z);
    const HarmonicPolynomial& polynomial = polynomial_of(l, m);
    const double p = differentiate_polynomial(polynomial, powers, 0, 0, 0);
    const double pj = differentiate_polynomial(polynomial, powers, j == 0, j == 1, j == 2);
    const double pk = differentiate_polynomial(polynomial, powers, k == 0, k == 1, k == 2);
    const int order[3] = {(j == 0) + (k == 0), (j == 1) + (k == 1), (j == 2) + (k == 2)};
    const double pjk = differentiate_polynomial(polynomial, powers, order[0], order[1], order[2]);
    const double delta = j == k ? 1.0 : 0.0;
    const double value = pjk - l * (pj * coordinate[k] + pk * coordinate[j] + p * delta) / r2
                         + l * (l + 2) * p * coordinate[j] * coordinate[k] / (r2 * r2);
    return harmonic_normalisation()(l, m) * value / radius_power(r, l);
}

const HarmonicPolynomial* get_harmonic_polynomial(int l, int m)
{
    return valid_lm(l, m) ? &polynomial_of(l, m) : nullptr;
}

bool map_multipole_index_to_lm(int index, int& l, int& m)
{
    if (index >= 14 && index <= 16) {
        static constexpr int DIPOLE_M[3] = {1, -1, 0};
        l = 1;
        m = DIPOLE_M[index - 14];
        return true;
    }
    // l = 2, 3, 4 start at 17, 22, 29 with m = 0, +1, -1, +2, -2, ...
    static constexpr int FIRST_INDEX[3] = {17, 22, 29};
    for (int order = 2; order <= MAX_L; ++order) {
        const int offset = index - FIRST_INDEX[order - 2];
        if (offset >= 0 && offset <= 2 * order) {
            l = order;
            m = offset == 0 ? 0 : ((offset + 1) / 2) * (offset % 2 == 1 ? 1 : -1);
            return true;
        }
    }
    return false;
}
