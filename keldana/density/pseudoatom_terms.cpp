#include "keldana/density/pseudoatom_terms.h"

#include "common/worker_pool.h"

#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/local_frames.h"
#include "keldana/density/spherical_harmonics.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

// exp(x) of multipole_exponential, for a point alone and for points side by
// side in vector lanes (T a double or a vector of them, U the unsigned
// integers of its width): every lane takes the same operations, which no
// library exponential promises between its scalar and vector forms.
// x = k ln2 / 128 + r with |r| <= ln2 / 256; exp(x) = 2^(k / 128) exp(r),
// 2^(j / 128) from a table and exp(r) - 1 from its Taylor series to r^5
// (the next term is below 1e-18).
constexpr int EXP_TABLE_BITS = 7;
constexpr std::uint64_t EXP_TABLE_SIZE = 1 << EXP_TABLE_BITS;
constexpr double EXP_LOWEST = -708.0, EXP_HIGHEST = 709.0;

const std::array<double, EXP_TABLE_SIZE> EXP_TABLE = [] {
    std::array<double, EXP_TABLE_SIZE> table{};
    for (std::uint64_t j = 0; j < EXP_TABLE_SIZE; ++j)
        table[j] = static_cast<double>(std::exp2(static_cast<long double>(j) / EXP_TABLE_SIZE));
    return table;
}();

// 2^(j / 128) for each lane's j.
template <typename T, typename U>
[[gnu::always_inline]] inline T exponential_table_at(const U& j)
{
    if constexpr (sizeof(T) == sizeof(double)) {
        return EXP_TABLE[j];
    } else {
        static_assert(sizeof(T) == 4 * sizeof(double));
        return T{EXP_TABLE[j[0]], EXP_TABLE[j[1]], EXP_TABLE[j[2]], EXP_TABLE[j[3]]};
    }
}

template <typename T, typename U>
[[gnu::always_inline]] inline T exponential_core(const T& x)
{
    constexpr double INVERSE_STEP = 0x1.71547652b82fep+7;  // 128 / ln 2
    constexpr double STEP_HIGH = 0x1.62e42fef80000p-8;     // ln 2 / 128 in 34 bits: k STEP_HIGH is exact
    constexpr double STEP_LOW = 0x1.1cf79abc9e3b4p-43;     // the rest of ln 2 / 128
    constexpr double SHIFT = 0x1.8p52;                     // adding it rounds to an integer
    constexpr std::uint64_t K_OFFSET = std::uint64_t{1} << 24;  // keeps k + K_OFFSET positive
    const T shifted = x * INVERSE_STEP + SHIFT;
    const T kd = shifted - SHIFT;
    const T r = (x - kd * STEP_HIGH) - kd * STEP_LOW;
    // The integer k sits in the low bits of `shifted`.
    U k_offset;
    std::memcpy(&k_offset, &shifted, sizeof k_offset);
    k_offset = k_offset - (std::bit_cast<std::uint64_t>(SHIFT) - K_OFFSET);
    const U j = k_offset & (EXP_TABLE_SIZE - 1);
    const U power = ((k_offset >> EXP_TABLE_BITS) - (K_OFFSET >> EXP_TABLE_BITS)) << 52;  // 2^floor(k / 128)
    const T tabulated = exponential_table_at<T>(j);
    U scale_bits;
    std::memcpy(&scale_bits, &tabulated, sizeof scale_bits);
    scale_bits = scale_bits + power;
    T scale;
    std::memcpy(&scale, &scale_bits, sizeof scale);
    const T r2 = r * r;
    const T expm1 = r + r2 * (0.5 + r * 0x1.5555555555555p-3) + r2 * r2 * (0x1.5555555555555p-5 + r * 0x1.1111111111111p-7);
    return scale + scale * expm1;
}

}  // namespace

double multipole_exponential(double exponent, double r)
{
    const double x = -exponent * r;
    if (!(x >= EXP_LOWEST))
        return x != x ? x : 0.0;
    if (x > EXP_HIGHEST)
        return HUGE_VAL;
    return exponential_core<double, std::uint64_t>(x);
}

namespace {

constexpr int MAX_BANK_POWER = 10;  // (2n)! of the orbital normalisation is in the factorial table

// base^exponent by products; T is a double or a vector of them (the same
// operations in every lane).
template <typename T>
T integer_power(T base, int exponent)
{
    T result = T{} + 1.0;
    for (int k = 0; k < std::abs(exponent); ++k)
        result *= base;
    return exponent < 0 ? 1.0 / result : result;
}

// Second derivative component (xx, yy, zz, xy, xz, yz) of one orbital.
double orbital_second(const SlaterRadialValues& f, int component)
{
    switch (component) {
    case 0: return f.dxx;
    case 1: return f.dyy;
    case 2: return f.dzz;
    case 3: return f.dxy;
    case 4: return f.dxz;
    default: return f.dyz;
    }
}

double orbital_first(const SlaterRadialValues& f, int axis)
{
    return axis == 0 ? f.dx : axis == 1 ? f.dy : f.dz;
}

// The code's derivative of the product f g of two orbitals.
double orbital_product(int code, const SlaterRadialValues& f, const SlaterRadialValues& g)
{
    if (code < 5)
        return f.value * g.value;
    if (code <= 7) {
        const int k = code - 5;
        return f.value * orbital_first(g, k) + orbital_first(f, k) * g.value;
    }
    if (code == 8)
        return 2.0 * (f.dx * g.dx + f.dy * g.dy + f.dz * g.dz) + (f.dxx + f.dyy + f.dzz) * g.value
               + f.value * (g.dxx + g.dyy + g.dzz);
    if (code <= 11) {
        const int k = code - 9;
        return f.value * orbital_second(g, k) + 2.0 * orbital_first(f, k) * orbital_first(g, k)
               + orbital_second(f, k) * g.value;
    }
    static constexpr int AXES[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    const int a = AXES[code - 12][0], b = AXES[code - 12][1];
    return orbital_first(f, a) * orbital_first(g, b) + f.value * orbital_second(g, code - 9)
           + orbital_first(f, b) * orbital_first(g, a) + orbital_second(f, code - 9) * g.value;
}

// Adds g(r) with its radial derivatives as a function of the displacement d.
void add_spherical(const Vector3& d, double r, double g, double g1, double g2, DerivativeOrder order,
                   PointDerivatives& term)
{
    term.value += g;
    if (order == DerivativeOrder::value)
        return;
    if (order == DerivativeOrder::laplacian) {
        term.laplacian += g2 + 2.0 * g1 / r;
        return;
    }
    const double s = g1 / r;
    for (int k = 0; k < 3; ++k)
        term.gradient[k] += s * d[k];
    if (order != DerivativeOrder::hessian)
        return;
    const double t = (g2 - s) / (r * r);
    std::array<double, 6>& h = term.hessian;
    h[0] += t * d[0] * d[0] + s;
    h[1] += t * d[1] * d[1] + s;
    h[2] += t * d[2] * d[2] + s;
    h[3] += t * d[0] * d[1];
    h[4] += t * d[0] * d[2];
    h[5] += t * d[1] * d[2];
}

// Radial functions of the atom's Slater functions used by the sets in `mask`.
struct FunctionValues {
    double f[MAX_PREPARED_FUNCTIONS];
    double f1[MAX_PREPARED_FUNCTIONS];
    double f2[MAX_PREPARED_FUNCTIONS];
};

// r^k for k = 0..highest power of the atom.
using RadialPowers = std::array<double, MAX_SLATER_POWER + 1>;

template <typename T, typename Powers>
T power_of(const Powers& powers, const T& inverse_r, int k)
{
    return k >= 0 ? powers[k] : integer_power(inverse_r, -k);
}

void evaluate_functions(const PreparedDensityModel& prepared, const PreparedPseudoatom& atom, double r,
                        double inverse_r, const RadialPowers& powers, int mask, DerivativeOrder order,
                        FunctionValues& values)
{
    for (int u = atom.function_begin; u < atom.function_end; ++u) {
        const PreparedSlaterFunction& function = prepared.functions[u];
        if ((function.sets & mask) == 0)
            continue;
        const int slot = u - atom.function_begin;
        const double f = function.normalisation * powers[function.power] * std::exp(-function.exponent * r);
        values.f[slot] = f;
        if (order == DerivativeOrder::value)
            continue;
        const double q = function.power * inverse_r - function.exponent;
        values.f1[slot] = f * q;
        values.f2[slot] = f * (q * q - function.power * inverse_r * inverse_r);
    }
}

double sum_pair_values(const PreparedDensityModel& prepared, const PreparedPseudoatom& atom, int set,
                       const double* f)
{
    double s = 0;
    for (int p = atom.pair_begin[set]; p < atom.pair_begin[set + 1]; ++p) {
        const PreparedOrbitalPair& pair = prepared.pairs[p];
        s += pair.coefficient * f[pair.first - atom.function_begin] * f[pair.second - atom.function_begin];
    }
    return s;
}

void sum_pairs(const PreparedDensityModel& prepared, const PreparedPseudoatom& atom, int set, double weight,
               DerivativeOrder order, const FunctionValues& values, double& g, double& g1, double& g2)
{
    if (order == DerivativeOrder::value) {
        g += weight * sum_pair_values(prepared, atom, set, values.f);
        return;
    }
    double s0 = 0, s1 = 0, s2 = 0;
    for (int p = atom.pair_begin[set]; p < atom.pair_begin[set + 1]; ++p) {
        const PreparedOrbitalPair& pair = prepared.pairs[p];
        const int u = pair.first - atom.function_begin, v = pair.second - atom.function_begin;
        const double c = pair.coefficient;
        s0 += c * values.f[u] * values.f[v];
        s1 += c * (values.f1[u] * values.f[v] + values.f[u] * values.f1[v]);
        s2 += c * (values.f2[u] * values.f[v] + 2.0 * values.f1[u] * values.f1[v] + values.f[u] * values.f2[v]);
    }
    g += weight * s0;
    g1 += weight * s1;
    g2 += weight * s2;
}

// The monomials x^a y^b z^c of degree 0..MAX_L, lowest degree first; each
// after the first is an earlier one times one coordinate.
struct MonomialTable {
    int index[MAX_L + 1][MAX_L + 1][MAX_L + 1]{};  // [a][b][c], a + b + c <= MAX_L
    int parent[MONOMIAL_COUNT]{};
    int axis[MONOMIAL_COUNT]{};
    int below_degree[MAX_L + 2]{};  // count of the monomials of lower degree
};

constexpr MonomialTable make_monomial_table()
{
    MonomialTable t;
    int k = 0;
    for (int g = 0; g <= MAX_L; ++g) {
        t.below_degree[g] = k;
        for (int a = g; a >= 0; --a)
            for (int b = g - a; b >= 0; --b) {
                const int c = g - a - b;
                t.index[a][b][c] = k;
                if (a > 0) {
                    t.parent[k] = t.index[a - 1][b][c];
                    t.axis[k] = 0;
                } else if (b > 0) {
                    t.parent[k] = t.index[a][b - 1][c];
                    t.axis[k] = 1;
                } else if (c > 0) {
                    t.parent[k] = t.index[a][b][c - 1];
                    t.axis[k] = 2;
                }
                ++k;
            }
    }
    t.below_degree[MAX_L + 1] = k;
    return t;
}

constexpr MonomialTable MONOMIALS = make_monomial_table();
static_assert(MONOMIALS.below_degree[MAX_L + 1] == MONOMIAL_COUNT);

template <int DEGREE, typename T, typename Displacement>
void point_monomials(const Displacement& d, T* m)
{
    m[0] = T{} + 1.0;
#pragma GCC unroll 40
    for (int k = 1; k < MONOMIALS.below_degree[DEGREE + 1]; ++k)
        m[k] = m[MONOMIALS.parent[k]] * d[MONOMIALS.axis[k]];
}

constexpr int monomials_of_degree(int degree) { return degree < 0 ? 0 : (degree + 1) * (degree + 2) / 2; }

// f.template operator()<L>() for L = degree (0..MAX_L; a larger degree as
// MAX_L), so that the loops over monomials unroll for their degree.
template <typename F>
[[gnu::always_inline]] inline void with_degree(int degree, F&& f)
{
    static_assert(MAX_L == 4);
    switch (degree) {
    case 0: f.template operator()<0>(); break;
    case 1: f.template operator()<1>(); break;
    case 2: f.template operator()<2>(); break;
    case 3: f.template operator()<3>(); break;
    default: f.template operator()<4>(); break;
    }
}

// Sums c[N i + k] m[i] over the monomials i of one degree for each k < K of
// the N interleaved polynomials, each in monomial order (as the polynomials
// were always summed); the sums run side by side and the loops are unrolled
// for the degree.
template <int N, int DEGREE, int K = N, typename T = double>
void monomial_sums(const double* c, const T* m, T* out)
{
    constexpr int COUNT = monomials_of_degree(DEGREE);
    T s[K] = {};
#pragma GCC unroll 16
    for (int i = 0; i < COUNT; ++i)
#pragma GCC unroll 6
        for (int k = 0; k < K; ++k)
            s[k] += c[N * i + k] * m[i];
    for (int k = 0; k < K; ++k)
        out[k] = s[k];
}

// One order's polynomial Q with its gradient and Hessian, times R_l / r^l.
template <int L>
void add_multipole_order(const PreparedDensityModel& prepared, const PreparedOrder& term_order, const double* m,
                         const Vector3& d, double inverse_r, const RadialPowers& powers, double exponential,
                         DerivativeOrder order, PointDerivatives& term)
{
    constexpr int Q_COUNT = monomials_of_degree(L), G_COUNT = monomials_of_degree(L - 1);
    const double* c = prepared.order_coefficients.data() + term_order.coefficient_begin;
    double q = 0;
    monomial_sums<1, L>(c, m + MONOMIALS.below_degree[L], &q);
    const double s = term_order.normalisation * power_of(powers, inverse_r, term_order.power) * exponential;
    term.value += s * q;
    if (order == DerivativeOrder::value)
        return;
    double hq[6] = {};
    if constexpr (L >= 2)
        if (order == DerivativeOrder::hessian || !term_order.harmonic)
            monomial_sums<6, L - 2>(c + Q_COUNT + 3 * G_COUNT, m + MONOMIALS.below_degree[L - 2], hq);
    if (order == DerivativeOrder::laplacian) {
        const double p = term_order.power * inverse_r - term_order.exponent;
        const double s1 = s * p;
        const double s2 = s * (p * p - term_order.power * inverse_r * inverse_r);
        double laplacian = q * (s2 + 2.0 * (term_order.l + 1) * s1 * inverse_r);
        if (!term_order.harmonic)
            laplacian += s * (hq[0] + hq[1] + hq[2]);
        term.laplacian += laplacian;
        return;
    }
    Vector3 gq = {0, 0, 0};
    if constexpr (L >= 1)
        monomial_sums<3, L - 1>(c + Q_COUNT, m + MONOMIALS.below_degree[L - 1], gq.data());
    const double p = term_order.power * inverse_r - term_order.exponent;
    const double s1 = s * p;  // dS/dr
    const double radial = s1 * inverse_r;
    const Vector3 gs = {radial * d[0], radial * d[1], radial * d[2]};
    for (int k = 0; k < 3; ++k)
        term.gradient[k] += q * gs[k] + s * gq[k];
    if (order != DerivativeOrder::hessian)
        return;
    const double s2 = s * (p * p - term_order.power * inverse_r * inverse_r);  // d2S/dr2
    const double t = (s2 - radial) * inverse_r * inverse_r;
    std::array<double, 6>& h = term.hessian;
    h[0] += q * (t * d[0] * d[0] + radial) + 2.0 * gs[0] * gq[0] + s * hq[0];
    h[1] += q * (t * d[1] * d[1] + radial) + 2.0 * gs[1] * gq[1] + s * hq[1];
    h[2] += q * (t * d[2] * d[2] + radial) + 2.0 * gs[2] * gq[2] + s * hq[2];
    h[3] += q * t * d[0] * d[1] + gs[0] * gq[1] + gq[0] * gs[1] + s * hq[3];
    h[4] += q * t * d[0] * d[2] + gs[0] * gq[2] + gq[0] * gs[2] + s * hq[4];
    h[5] += q * t * d[1] * d[2] + gs[1] * gq[2] + gq[1] * gs[2] + s * hq[5];
}

// Every order of an atom whose orders reach degree D: the point monomials up
// to D, then each order's terms with one exponential per distinct exponent.
// `first_exponential` is that of the first order, taken by the caller.
template <int D>
void add_multipole_orders(const PreparedDensityModel& prepared, const PreparedPseudoatom& atom, const Vector3& d,
                          double r, double inverse_r, const RadialPowers& powers, double first_exponential,
                          DerivativeOrder order, PointDerivatives& term)
{
    double m[MONOMIALS.below_degree[D + 1]];
    point_monomials<D>(d, m);
    double last_exponent = atom.orders[0].exponent, exponential = first_exponential;
    for (int k = 0; k < atom.order_count; ++k) {
        const PreparedOrder& term_order = atom.orders[k];
        if (term_order.exponent != last_exponent) {
            last_exponent = term_order.exponent;
            exponential = multipole_exponential(last_exponent, r);
        }
        with_degree(term_order.l, [&]<int L>() {
            if constexpr (L <= D)
                add_multipole_order<L>(prepared, term_order, m, d, inverse_r, powers, exponential, order, term);
        });
    }
}

// The weighted sum of the atom's spherical sets that the selection takes at
// r, with its first and second radial derivatives as the order asks (g, g1
// and g2 start at 0); false when it takes none there.
[[gnu::always_inline]] inline bool spherical_sets(const PreparedDensityModel& prepared, const PreparedPseudoatom& atom,
                                                  double r, double inverse_r, const RadialPowers& powers,
                                                  const TermSelection& selection, DerivativeOrder order, double& g,
                                                  double& g1, double& g2)
{
    // The core falls below the floor well before the valence density.
    const int mask = (selection.core && r <= atom.core_radius ? 1 : 0)
                     | (selection.valence && atom.valence_weight != 0.0 ? 2 : 0) | (selection.free_valence ? 4 : 0);
    if (mask == 0 || atom.function_end <= atom.function_begin)
        return false;
    const double weights[3] = {1.0, atom.valence_weight, -1.0};
    const int derivatives = order == DerivativeOrder::value    ? 0
                            : order == DerivativeOrder::gradient ? 1
                                                                 : 2;
    int left = mask;
    if ((mask & 3) == 3 && atom.spherical_table[CORE_AND_VALENCE_TABLE] >= 0) {
        evaluate_spherical_density_table(*prepared.spherical_tables[atom.spherical_table[CORE_AND_VALENCE_TABLE]], r,
                                         derivatives, g, g1, g2);
        left &= ~3;
    }
    int summed = 0;  // sets without a table
    for (int set = PAIR_SET_CORE; set <= PAIR_SET_FREE; ++set) {
        if ((left & (1 << set)) == 0)
            continue;
        const int table = atom.spherical_table[set];
        if (table < 0) {
            summed |= 1 << set;
            continue;
        }
        double t0 = 0, t1 = 0, t2 = 0;
        evaluate_spherical_density_table(*prepared.spherical_tables[table], r, derivatives, t0, t1, t2);
        g += weights[set] * t0;
        g1 += weights[set] * t1;
        g2 += weights[set] * t2;
    }
    if (summed != 0) {
        FunctionValues values;
        evaluate_functions(prepared, atom, r, inverse_r, powers, summed, order, values);
        for (int set = PAIR_SET_CORE; set <= PAIR_SET_FREE; ++set)
            if (summed & (1 << set))
                sum_pairs(prepared, atom, set, weights[set], order, values, g, g1, g2);
    }
    return true;
}

// g = F^T g', H = F^T H' F for a term evaluated at d' = F d.
void turn_back(const Matrix3& f, PointDerivatives& term)
{
    const Vector3 g = term.gradient;
    for (int i = 0; i < 3; ++i)
        term.gradient[i] = f(1, i + 1) * g[0] + f(2, i + 1) * g[1] + f(3, i + 1) * g[2];
    const std::array<double, 6>& h = term.hessian;
    const double local[3][3] = {{h[0], h[3], h[4]}, {h[3], h[1], h[5]}, {h[4], h[5], h[2]}};
    double half[3][3];  // H' F
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            half[i][j] = local[i][0] * f(1, j + 1) + local[i][1] * f(2, j + 1) + local[i][2] * f(3, j + 1);
    auto element = [&](int i, int j) {
        return f(1, i + 1) * half[0][j] + f(2, i + 1) * half[1][j] + f(3, i + 1) * half[2][j];
    };
    term.hessian = {element(0, 0), element(1, 1), element(2, 2), element(0, 1), element(0, 2), element(1, 2)};
}

int find_or_add_function(PreparedDensityModel& prepared, int begin, int n, double exponent, int set_bit)
{
    for (int u = begin; u < static_cast<int>(prepared.functions.size()); ++u) {
        PreparedSlaterFunction& function = prepared.functions[u];
        if (function.power == n - 1 && function.exponent == exponent) {
            function.sets |= set_bit;
            return u;
        }
    }
    PreparedSlaterFunction function;
    function.power = n - 1;
    function.exponent = exponent;
    function.normalisation = std::pow(2.0 * exponent, n + 0.5) / std::sqrt(factorial_table()(2 * n));
    function.sets = set_bit;
    prepared.functions.push_back(function);
    return static_cast<int>(prepared.functions.size()) - 1;
}

// The pair list of one electron set of atom i's type, functions scaled by
// `scale`; pairs of the same two functions are merged.
void prepare_pair_set(const StructureModel& model, const WavefunctionBank& bank, const RadialLookupTables& tables,
                      int i, int part, double scale, int set_bit, PreparedDensityModel& prepared, int function_begin)
{
    const int t = model.atoms.atom_type_index[i];
    if (t < 1 || t > MAX_ATOM_TYPES)
        return;
    const int count = std::clamp(bank.function_count[t], 0, MAX_BANK_FUNCTIONS);
    const int shells = std::clamp(bank.shell_count[t], 0, BANK_SHELL_COUNT);
    const std::size_t first_pair = prepared.pairs.size();
    for (int k = 1; k <= shells; ++k)
        for (int j = 1; j <= count; ++j)
            for (int j2 = j; j2 <= count; ++j2) {
                const std::size_t entry = RadialLookupTables::index(t, j, j2, k, part);
                const double product = tables.orbital_product_sum[entry];
                if (product == 0.0)
                    continue;
                const int n1 = bank.function_n[t][j], n2 = bank.function_n[t][j2];
                const double a1 = scale * bank.orbital_exponent[t][j][k];
                const double a2 = scale * bank.orbital_exponent[t][j2][k];
                // A function without a positive exponent describes nothing normalisable.
                if (!(a1 > 0.0) || !(a2 > 0.0) || n1 < 1 || n1 > MAX_BANK_POWER || n2 < 1 || n2 > MAX_BANK_POWER)
                    continue;
                int u = find_or_add_function(prepared, function_begin, n1, a1, set_bit);
                int v = find_or_add_function(prepared, function_begin, n2, a2, set_bit);
                if (u > v)
                    std::swap(u, v);
                const double weight = j == j2 ? 1.0 : 2.0;
                prepared.pairs.push_back({u, v, weight * product * INVERSE_FOUR_PI});
            }
    auto begin = prepared.pairs.begin() + static_cast<std::ptrdiff_t>(first_pair);
    std::sort(begin, prepared.pairs.end(), [](const PreparedOrbitalPair& a, const PreparedOrbitalPair& b) {
        return a.first != b.first ? a.first < b.first : a.second < b.second;
    });
    auto out = begin;
    for (auto it = begin; it != prepared.pairs.end(); ++it) {
        if (out != begin && (out - 1)->first == it->first && (out - 1)->second == it->second)
            (out - 1)->coefficient += it->coefficient;
        else
            *out++ = *it;
    }
    prepared.pairs.erase(out, prepared.pairs.end());
}

void prepare_multipoles(const StructureModel& model, const MultipolePopulations& populations, int i, int l_limit,
                        PreparedDensityModel& prepared, PreparedPseudoatom& atom)
{
    const PseudoatomParameters& q = model.pseudoatoms;
    atom.order_count = 0;
    for (int l = 0; l <= l_limit; ++l) {
        const int n = q.radial_n[i][l];
        if (n < 0 || n > MAX_SLATER_POWER)
            continue;  // no normalisation: the radial function is taken as 0
        const double a = q.kappa_prime[i] * q.radial_zeta[i][l];
        const double normalisation = std::pow(a, n + 3) / factorial_table()(n + 2);
        double coefficient[MAX_L + 1][MAX_L + 1] = {};  // [px][py], pz = l - px - py
        for (int m = -l; m <= l; ++m) {
            // P00 is never rotated; the loader leaves it out of the global
            // populations of atoms without higher orders.
            const double p = l == 0 ? q.multipole_population[i](0, 0) : populations(l, m);
            const HarmonicPolynomial* polynomial = get_harmonic_polynomial(l, m);
            if (p == 0.0 || polynomial == nullptr)
                continue;
            const double factor = p * harmonic_normalisation()(l, m);
            for (int t = 0; t < polynomial->count; ++t)
                coefficient[polynomial->terms[t].px][polynomial->terms[t].py] +=
                    factor * polynomial->terms[t].coefficient;
        }
        // Q and its first and second derivatives, each a sum over the point monomials.
        double polynomial[ORDER_POLYNOMIALS][MONOMIAL_COUNT] = {};
        static constexpr int SECOND[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
        for (int px = 0; px <= l; ++px)
            for (int py = 0; px + py <= l; ++py) {
                const double c = coefficient[px][py];
                if (c == 0.0)
                    continue;
                const std::array<int, 3> e = {px, py, l - px - py};
                polynomial[0][MONOMIALS.index[e[0]][e[1]][e[2]]] += c;
                for (int k = 0; k < 3; ++k)
                    if (e[k] > 0) {
                        std::array<int, 3> f = e;
                        --f[k];
                        polynomial[1 + k][MONOMIALS.index[f[0]][f[1]][f[2]]] += c * e[k];
                    }
                for (int k = 0; k < 6; ++k) {
                    std::array<int, 3> f = e;
                    const int first = f[SECOND[k][0]]--;
                    const int second = f[SECOND[k][1]]--;
                    if (first > 0 && second > 0)
                        polynomial[4 + k][MONOMIALS.index[f[0]][f[1]][f[2]]] += c * first * second;
                }
            }
        // The harmonics are solid harmonics, so lap Q vanishes up to the
        // rounding of folding the populations; anything larger is kept.
        double largest = 0, largest_laplacian = 0;
        for (int index = 0; index < MONOMIAL_COUNT; ++index) {
            largest = std::max(largest, std::abs(polynomial[0][index]));
            largest_laplacian =
                std::max(largest_laplacian, std::abs(polynomial[4][index] + polynomial[5][index] + polynomial[6][index]));
        }
        PreparedOrder order;
        order.l = l;
        order.harmonic = largest_laplacian <= 1e-13 * (l * l + 1) * largest;
        order.power = n - l;
        order.exponent = a;
        order.normalisation = normalisation;
        const std::size_t first_monomial = prepared.monomials.size();
        for (int k = 0; k < ORDER_POLYNOMIALS; ++k) {
            order.polynomial_begin[k] = static_cast<int>(prepared.monomials.size());
            for (int index = 0; index < MONOMIAL_COUNT; ++index)
                if (polynomial[k][index] != 0.0)
                    prepared.monomials.push_back({polynomial[k][index], index});
        }
        order.polynomial_begin[ORDER_POLYNOMIALS] = static_cast<int>(prepared.monomials.size());
        if (order.polynomial_begin[1] > order.polynomial_begin[0] && normalisation != 0.0) {
            order.coefficient_begin = static_cast<int>(prepared.order_coefficients.size());
            const int blocks[3][3] = {{0, 1, l}, {1, 3, l - 1}, {4, 6, l - 2}};  // first polynomial, count, degree
            for (const auto& [first, count, degree] : blocks)
                for (int index = degree < 0 ? 0 : MONOMIALS.below_degree[degree];
                     degree >= 0 && index < MONOMIALS.below_degree[degree + 1]; ++index)
                    for (int k = first; k < first + count; ++k)
                        prepared.order_coefficients.push_back(polynomial[k][index]);
            atom.orders[atom.order_count++] = order;
            atom.monomial_degree = std::max(atom.monomial_degree, l);
            atom.highest_power = std::max(atom.highest_power, order.power);
        } else {
            prepared.monomials.resize(first_monomial);
        }
    }
}

// A table an atom needs: its sum, range and key.
struct TableRequest {
    std::vector<double> key;
    SphericalPairSum sum;
    double range = 0;
};

// Tables made for earlier preparations, by their key: a model prepared
// again after an edit that leaves an atom's sets alone (most edits, every
// cluster and settings change) reads them instead of tabulating again.
// Null for a sum that cannot be tabulated.  Emptied when it grows past
// TABLE_STORE_LIMIT; prepared models keep what they use.
constexpr std::size_t TABLE_STORE_LIMIT = 512;
std::mutex table_store_mutex;
std::map<std::vector<double>, std::shared_ptr<const SphericalDensityTable>> table_store;

// Each pair set of the atom over the distances where it is summed (the core
// to core_radius, the others to radius), and the core plus the weighted
// valence together within core_radius, where most points need both, as
// requests; atoms whose pairs and range are the same share one.  Until
// resolve_spherical_tables, atom.spherical_table holds request numbers.
void request_spherical_tables(const PreparedDensityModel& prepared, PreparedPseudoatom& atom,
                              std::map<std::vector<double>, int>& known, std::vector<TableRequest>& requests)
{
    for (int table = 0; table < SPHERICAL_TABLES; ++table) {
        atom.spherical_table[table] = -1;
        // The sets in the table, with their weights.
        std::vector<std::pair<int, double>> sets = {{table, 1.0}};
        if (table == CORE_AND_VALENCE_TABLE)
            sets = {{PAIR_SET_CORE, 1.0}, {PAIR_SET_VALENCE, atom.valence_weight}};
        TableRequest request;
        // Rounded up to a quarter Angstrom, so atoms whose radii differ a
        // little (by their multipoles or occupancy) share the table.
        const double needed = table == PAIR_SET_CORE || table == CORE_AND_VALENCE_TABLE ? atom.core_radius : atom.radius;
        request.range = std::ceil(needed * 4.0) / 4.0;
        request.key = {request.range};
        for (int u = atom.function_begin; u < atom.function_end; ++u) {
            const PreparedSlaterFunction& f = prepared.functions[u];
            request.sum.functions.push_back({f.power, f.exponent, f.normalisation});
            request.key.insert(request.key.end(), {static_cast<double>(f.power), f.exponent, f.normalisation});
        }
        for (const auto& [set, weight] : sets)
            for (int p = atom.pair_begin[set]; p < atom.pair_begin[set + 1]; ++p) {
                const PreparedOrbitalPair& pair = prepared.pairs[p];
                const SphericalPairSum::Pair term = {pair.first - atom.function_begin, pair.second - atom.function_begin,
                                                     weight * pair.coefficient};
                request.sum.pairs.push_back(term);
                request.key.insert(request.key.end(), {static_cast<double>(term.first),
                                                       static_cast<double>(term.second), term.coefficient});
            }
        if (request.sum.pairs.empty())
            continue;
        const auto [found, added] = known.emplace(request.key, static_cast<int>(requests.size()));
        if (added)
            requests.push_back(std::move(request));
        atom.spherical_table[table] = found->second;
    }
}

// Reads the requested tables from the store and makes the missing ones on
// the worker pool, then points the atoms at them.
void resolve_spherical_tables(const std::vector<TableRequest>& requests, PreparedDensityModel& prepared)
{
    std::vector<std::shared_ptr<const SphericalDensityTable>> tables(requests.size());
    std::vector<std::size_t> missing;
    {
        const std::lock_guard<std::mutex> lock(table_store_mutex);
        for (std::size_t r = 0; r < requests.size(); ++r) {
            const auto found = table_store.find(requests[r].key);
            if (found != table_store.end())
                tables[r] = found->second;
            else
                missing.push_back(r);
        }
    }
    run_parallel(static_cast<int>(missing.size()), available_cpu_count(), [&](int k) {
        auto built = std::make_shared<SphericalDensityTable>();
        const std::size_t r = missing[static_cast<std::size_t>(k)];
        if (build_spherical_density_table(requests[r].sum, requests[r].range, *built))
            tables[r] = std::move(built);
    });
    if (!missing.empty()) {
        const std::lock_guard<std::mutex> lock(table_store_mutex);
        if (table_store.size() + missing.size() > TABLE_STORE_LIMIT)
            table_store.clear();
        for (std::size_t r : missing)
            table_store.emplace(requests[r].key, tables[r]);
    }
    std::vector<int> index(requests.size(), -1);
    for (std::size_t r = 0; r < requests.size(); ++r)
        if (tables[r]) {
            index[r] = static_cast<int>(prepared.spherical_tables.size());
            prepared.spherical_tables.push_back(tables[r]);
        }
    for (std::size_t i = 1; i < prepared.atoms.size(); ++i)
        for (int& t : prepared.atoms[i].spherical_table)
            if (t >= 0)
                t = index[static_cast<std::size_t>(t)];
}

// The largest bound of the atom's terms at distance r: of its core, its
// valence and its free valence densities (each pair's |coefficient| times the
// functions) and of each multipole order (|Q(d)| <= r^l times the sum of
// |coefficients|), times |occupancy|; with core_only, of the core alone.
double term_bound(const PreparedDensityModel& prepared, const PreparedPseudoatom& atom, double r, bool core_only)
{
    double f[MAX_PREPARED_FUNCTIONS];
    for (int u = atom.function_begin; u < atom.function_end; ++u) {
        const PreparedSlaterFunction& function = prepared.functions[u];
        f[u - atom.function_begin] =
            function.normalisation * integer_power(r, function.power) * std::exp(-function.exponent * r);
    }
    double largest = 0;
    const double weights[3] = {1.0, std::abs(atom.valence_weight), 1.0};
    for (int set = PAIR_SET_CORE; set <= (core_only ? PAIR_SET_CORE : PAIR_SET_FREE); ++set) {
        double sum = 0;
        for (int p = atom.pair_begin[set]; p < atom.pair_begin[set + 1]; ++p) {
            const PreparedOrbitalPair& pair = prepared.pairs[p];
            sum += std::abs(pair.coefficient) * f[pair.first - atom.function_begin] * f[pair.second - atom.function_begin];
        }
        largest = std::max(largest, weights[set] * sum);
    }
    for (int k = 0; k < (core_only ? 0 : atom.order_count); ++k) {
        const PreparedOrder& order = atom.orders[k];
        double size = 0;
        for (int i = order.polynomial_begin[0]; i < order.polynomial_begin[1]; ++i)
            size += std::abs(prepared.monomials[i].coefficient);
        largest = std::max(largest, order.normalisation * integer_power(r, order.power + order.l)
                                        * std::exp(-order.exponent * r) * size);
    }
    return std::abs(atom.occupancy) * largest;
}

// The distance beyond which every term's bound stays below
// TERM_DENSITY_FLOOR, at most r_cut.  Every radial function r^p exp(-a r) falls beyond p / a, so the
// bound does too and a bisection finds where it crosses the floor.
double density_radius(const PreparedDensityModel& prepared, const PreparedPseudoatom& atom, double r_cut,
                      bool core_only)
{
    if (!(r_cut > 0.0))
        return r_cut;
    double low = MIN_TERM_RADIUS;
    for (int u = atom.function_begin; u < atom.function_end; ++u)
        low = std::max(low, prepared.functions[u].power / prepared.functions[u].exponent);
    for (int k = 0; k < atom.order_count; ++k) {
        if (!(atom.orders[k].exponent > 0.0))
            return r_cut;  // a radial function that does not fall off
        low = std::max(low, (atom.orders[k].power + atom.orders[k].l) / atom.orders[k].exponent);
    }
    auto below = [&](double r) { return term_bound(prepared, atom, r, core_only) < TERM_DENSITY_FLOOR; };
    if (!(low < r_cut) || !below(r_cut))
        return r_cut;
    if (below(low))
        return low;
    double high = r_cut;
    while (high - low > 1e-6)
        (below(0.5 * (low + high)) ? high : low) = 0.5 * (low + high);
    return high;
}

// d' = F d with the rows of F the columns of the inverse of the matrix whose
// rows are the local axes (the projections on the axes for an orthonormal
// frame).  False when the axes cannot be built.
bool build_local_frame(const StructureModel& model, int i, Matrix3& frame)
{
    Vector3 ex{}, ey{}, ez{};
    if (!get_atom_local_axes(model, i, ex, ey, ez))
        return false;
    if (!invert_3x3_row_vectors(ex, ey, ez))
        return false;
    const Vector3* rows[3] = {&ex, &ey, &ez};
    for (int row = 1; row <= 3; ++row)
        for (int column = 1; column <= 3; ++column)
            frame(row, column) = (*rows[column - 1])[row - 1];
    return true;
}

// F F^T = 1 to rounding: the frame is a rotation (or reflection).
bool is_orthonormal(const Matrix3& f)
{
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) {
            const double product = f(i, 1) * f(j, 1) + f(i, 2) * f(j, 2) + f(i, 3) * f(j, 3);
            if (std::abs(product - (i == j ? 1.0 : 0.0)) > 1e-13)
                return false;
        }
    return true;
}

}  // namespace

void evaluate_orbital_radial_term(int mode, int n, double zeta, double x, double y, double z,
                                  SlaterRadialValues& orbital)
{
    if (n < 1 || n > MAX_BANK_POWER) {
        orbital = SlaterRadialValues{};
        return;
    }
    const double r = floored_length({x, y, z});
    const double normalisation = std::pow(2.0 * zeta, n + 0.5) / std::sqrt(factorial_table()(2 * n));
    const double e = normalisation * std::exp(-zeta * r);
    orbital.value = e * integer_power(r, n - 1);
    if (mode < 5)
        return;
    const double first = e * integer_power(r, n - 3) * ((n - 1) - zeta * r);
    orbital.dx = first * x;
    orbital.dy = first * y;
    orbital.dz = first * z;
    const double r2 = r * r;
    const double second = e * integer_power(r, n - 5);
    auto pure = [&](double c) {
        const double c2 = c * c;
        return -second * (r2 - n * r2 + (4 * n - n * n - 3) * c2 - 3 * zeta * r * c2
                          + zeta * (r2 * r + 2 * n * r * c2) - zeta * zeta * r2 * c2);
    };
    if (mode == 8 || mode == 9)
        orbital.dxx = pure(x);
    if (mode == 8 || mode == 10)
        orbital.dyy = pure(y);
    if (mode == 8 || mode == 11)
        orbital.dzz = pure(z);
    if (mode >= 12) {
        const double mixed = second * ((n - 1) * (n - 3) - (2 * n - 3) * zeta * r + zeta * zeta * r2);
        orbital.dxy = mixed * x * y;
        orbital.dxz = mixed * x * z;
        orbital.dyz = mixed * y * z;
    }
}

double evaluate_orbital_density_term(const StructureModel& model, const WavefunctionBank& bank,
                                     const RadialLookupTables& tables, int code, int set, int atom, double scale,
                                     double x, double y, double z)
{
    if ((code == 2 && set == CORE_SET) || (code == 4 && set == CORE_SET) || (code == 1 && set == VALENCE_SET)
        || code >= 15 || (set != CORE_SET && set != VALENCE_SET) || atom < 1 || atom > MAX_WORKING_ATOMS)
        return 0.0;
    const int t = model.atoms.atom_type_index[atom];
    if (t < 1 || t > MAX_ATOM_TYPES)
        return 0.0;
    const int count = std::clamp(bank.function_count[t], 0, MAX_BANK_FUNCTIONS);
    const int shells = std::clamp(bank.shell_count[t], 0, BANK_SHELL_COUNT);
    double sum = 0.0;
    SlaterRadialValues orbital[MAX_BANK_FUNCTIONS + 1];
    bool done[MAX_BANK_FUNCTIONS + 1];
    for (int k = 1; k <= shells; ++k) {
        std::fill(done, done + count + 1, false);
        auto function = [&](int j) -> const SlaterRadialValues* {
            const double zeta = scale * bank.orbital_exponent[t][j][k];
            if (!(zeta > 0.0))
                return nullptr;
            if (!done[j]) {
                evaluate_orbital_radial_term(code, bank.function_n[t][j], zeta, x, y, z, orbital[j]);
                done[j] = true;
            }
            return &orbital[j];
        };
        for (int j = 1; j <= count; ++j) {
            for (int j2 = j; j2 <= count; ++j2) {
                const double product = tables.product_sum(t, j, j2, k, set);
                if (product == 0.0)
                    continue;
                const SlaterRadialValues* f = function(j);
                const SlaterRadialValues* g = function(j2);
                if (f == nullptr || g == nullptr)
                    continue;
                sum += (j == j2 ? 1.0 : 2.0) * product * orbital_product(code, *f, *g);
            }
        }
    }
    return sum * INVERSE_FOUR_PI;
}

double evaluate_orbital_density_term(int code, int set, int atom, double scale, double x, double y, double z)
{
    return evaluate_orbital_density_term(evaluated_model(), wavefunction_bank(), radial_lookup_tables(), code, set,
                                         atom, scale, x, y, z);
}

TermSelection select_terms_for_code(int code)
{
    TermSelection selection;
    switch (code) {
    case 0: selection.core = selection.valence = true; break;
    case 1: selection.core = true; break;
    case 2: selection.valence = selection.multipoles = true; break;
    case 4: selection.valence = selection.multipoles = selection.free_valence = true; break;
    default:
        if (code == 3 || (code >= 5 && code <= 14) || code == 24) {
            selection.core = selection.valence = selection.multipoles = true;
            if (code == 8)
                selection.order = DerivativeOrder::laplacian;
            else if (code >= 9 && code <= 14)
                selection.order = DerivativeOrder::hessian;
            else if (code != 3)
                selection.order = DerivativeOrder::gradient;
        }
        break;
    }
    return selection;
}

void prepare_density_model(const StructureModel& model, const WavefunctionBank& bank,
                           const RadialLookupTables& tables, const CalculationSettings& settings,
                           PopulationFrame frame, PreparedDensityModel& prepared)
{
    prepared = PreparedDensityModel{};
    prepared.frame = frame;
    prepared.cutoff = settings.rCut;
    const int count = std::clamp(model.atoms.atom_count, 0, MAX_WORKING_ATOMS);
    prepared.atoms.resize(static_cast<std::size_t>(count) + 1);
    std::map<std::vector<double>, int> known_tables;
    std::vector<TableRequest> table_requests;
    const WorkingAtomSet& atoms = model.atoms;
    const PseudoatomParameters& q = model.pseudoatoms;
    for (int i = 1; i <= count; ++i) {
        PreparedPseudoatom& atom = prepared.atoms[i];
        atom.position = {atoms.cart_x[i], atoms.cart_y[i], atoms.cart_z[i]};
        atom.atomic_number = atoms.atomic_number[i];
        atom.active = atoms.subset_mask[i] != 0;
        atom.occupancy = q.occupancy[i];
        const double nv = static_cast<double>(atom.atomic_number - q.core_electron_count[i]);
        if (nv > 0.0)
            atom.valence_weight = q.valence_population[i] / nv;

        atom.function_begin = static_cast<int>(prepared.functions.size());
        atom.pair_begin[PAIR_SET_CORE] = static_cast<int>(prepared.pairs.size());
        if (atom.atomic_number > 1)
            prepare_pair_set(model, bank, tables, i, CORE_SET, 1.0, 1, prepared, atom.function_begin);
        atom.pair_begin[PAIR_SET_VALENCE] = static_cast<int>(prepared.pairs.size());
        prepare_pair_set(model, bank, tables, i, VALENCE_SET, q.kappa[i], 2, prepared, atom.function_begin);
        atom.pair_begin[PAIR_SET_FREE] = static_cast<int>(prepared.pairs.size());
        prepare_pair_set(model, bank, tables, i, VALENCE_SET, 1.0, 4, prepared, atom.function_begin);
        atom.pair_begin[3] = static_cast<int>(prepared.pairs.size());
        atom.function_end = static_cast<int>(prepared.functions.size());

        const int l_limit = std::min({settings.lPole, q.l_max[i], MAX_L});
        const MultipolePopulations* populations = &model.global_populations.population[i];
        if (frame == PopulationFrame::local && l_limit > 0 && build_local_frame(model, i, atom.frame)) {
            atom.use_frame = true;
            atom.frame_orthonormal = is_orthonormal(atom.frame);
            populations = &q.multipole_population[i];
        }
        prepare_multipoles(model, *populations, i, l_limit, prepared, atom);
        for (int u = atom.function_begin; u < atom.function_end; ++u)
            atom.highest_power = std::max(atom.highest_power, prepared.functions[u].power);
        atom.highest_power = std::min(atom.highest_power, MAX_SLATER_POWER);
        atom.radius = density_radius(prepared, atom, settings.rCut, false);
        atom.core_radius = density_radius(prepared, atom, settings.rCut, true);
        request_spherical_tables(prepared, atom, known_tables, table_requests);
        if (atom.active)
            prepared.largest_radius = std::max(prepared.largest_radius, atom.radius);
    }
    resolve_spherical_tables(table_requests, prepared);
}

bool accumulate_pseudoatom(const PreparedDensityModel& prepared, int atom_index, const Vector3& d_global,
                           const TermSelection& selection, PointDerivatives& sum)
{
    const Vector3 d = displacement_in_atom_frame(prepared.atoms[atom_index], d_global);
    return accumulate_pseudoatom_at(prepared, atom_index, d, floored_length(d), selection, sum);
}

bool accumulate_pseudoatom_at(const PreparedDensityModel& prepared, int atom_index, const Vector3& d, double r,
                              const TermSelection& selection, PointDerivatives& sum)
{
    const PreparedPseudoatom& atom = prepared.atoms[atom_index];
    if (!(r <= atom.radius))
        return false;
    // A skew frame does not keep the Laplacian, and within the floor radius
    // |d| is not r: there the trace of the full Hessian keeps its old value.
    const DerivativeOrder order =
        selection.order == DerivativeOrder::laplacian
                && ((atom.use_frame && !atom.frame_orthonormal)
                    || d[0] * d[0] + d[1] * d[1] + d[2] * d[2] < MIN_TERM_RADIUS * MIN_TERM_RADIUS)
            ? DerivativeOrder::hessian
            : selection.order;

    // The multipoles' exponential first: its latency then overlaps the
    // spherical part.
    const bool multipoles = selection.multipoles && atom.order_count > 0;
    const double exponential = multipoles ? multipole_exponential(atom.orders[0].exponent, r) : 1.0;
    const double inverse_r = 1.0 / r;
    RadialPowers powers;
    powers[0] = 1.0;
    for (int k = 1; k <= atom.highest_power; ++k)
        powers[k] = powers[k - 1] * r;
    PointDerivatives term;
    double g = 0, g1 = 0, g2 = 0;
    if (spherical_sets(prepared, atom, r, inverse_r, powers, selection, order, g, g1, g2))
        add_spherical(d, r, g, g1, g2, order, term);
    if (multipoles) {
        with_degree(atom.monomial_degree, [&]<int D>() {
            add_multipole_orders<D>(prepared, atom, d, r, inverse_r, powers, exponential, order, term);
        });
    }
    if (atom.use_frame && order != DerivativeOrder::value && order != DerivativeOrder::laplacian)
        turn_back(atom.frame, term);

    sum.value += atom.occupancy * term.value;
    if (selection.order == DerivativeOrder::laplacian) {
        sum.laplacian += atom.occupancy
                         * (order == DerivativeOrder::laplacian ? term.laplacian
                                                                 : term.hessian[0] + term.hessian[1] + term.hessian[2]);
        return true;
    }
    if (order == DerivativeOrder::value)
        return true;
    for (int k = 0; k < 3; ++k)
        sum.gradient[k] += atom.occupancy * term.gradient[k];
    if (order == DerivativeOrder::hessian)
        for (int k = 0; k < 6; ++k)
            sum.hessian[k] += atom.occupancy * term.hessian[k];
    return true;
}

namespace {

// Several points' values side by side: every lane does the arithmetic of
// accumulate_pseudoatom_at in the same order, so each gets the same bits.
constexpr int LANES = 4;
typedef double Lanes __attribute__((vector_size(LANES * sizeof(double))));
typedef int IntLanes __attribute__((vector_size(LANES * sizeof(int))));
typedef std::uint64_t UnsignedLanes __attribute__((vector_size(LANES * sizeof(std::uint64_t))));

// The vector {f(0), ..., f(LANES - 1)}, built in registers: scalars stored
// one by one and read back as a vector stall the read until the stores
// have left for the cache.
template <typename F>
[[gnu::always_inline]] inline Lanes lanes_of(F&& f)
{
    static_assert(LANES == 4);
    return Lanes{f(0), f(1), f(2), f(3)};
}

// Whether a comparison of lanes holds in every lane.
template <typename Mask>
[[gnu::always_inline]] inline bool every_lane(const Mask& mask)
{
    static_assert(LANES == 4);
    return (mask[0] & mask[1] & mask[2] & mask[3]) != 0;
}

// multipole_exponential lane by lane.
[[gnu::always_inline]] inline Lanes multipole_exponential_lanes(double exponent, const Lanes& r)
{
    const Lanes x = -exponent * r;
    const Lanes e = exponential_core<Lanes, UnsignedLanes>(x);
    const Lanes bounded = x > EXP_HIGHEST ? Lanes{} + HUGE_VAL : e;
    return x >= EXP_LOWEST ? bounded : (x != x ? x : Lanes{});
}

// One order's value, and with LAPLACIAN its Laplacian (add_multipole_order
// with DerivativeOrder::value or ::laplacian), lane by lane.
template <bool LAPLACIAN, int L>
[[gnu::always_inline]] inline void add_multipole_order_lanes(const PreparedOrder& term_order, const double* c,
                                                             const Lanes* m, const Lanes& inverse_r,
                                                             const Lanes* powers, const Lanes& exponential,
                                                             Lanes& value, Lanes& laplacian)
{
    constexpr int Q_COUNT = monomials_of_degree(L), G_COUNT = monomials_of_degree(L - 1);
    Lanes q;
    monomial_sums<1, L>(c, m + MONOMIALS.below_degree[L], &q);
    const Lanes s = term_order.normalisation * power_of(powers, inverse_r, term_order.power) * exponential;
    value += s * q;
    if constexpr (LAPLACIAN) {
        Lanes hq[3] = {};
        if constexpr (L >= 2)
            if (!term_order.harmonic)
                monomial_sums<6, L - 2, 3>(c + Q_COUNT + 3 * G_COUNT, m + MONOMIALS.below_degree[L - 2], hq);
        const double power = term_order.power;
        const Lanes p = power * inverse_r - term_order.exponent;
        const Lanes s1 = s * p;
        const Lanes s2 = s * (p * p - power * inverse_r * inverse_r);
        Lanes term = q * (s2 + 2.0 * (term_order.l + 1) * s1 * inverse_r);
        if (!term_order.harmonic)
            term += s * (hq[0] + hq[1] + hq[2]);
        laplacian += term;
    }
}

// The multipole orders (add_multipole_orders) added lane by lane.
template <bool LAPLACIAN, int D>
[[gnu::always_inline]] inline void add_multipole_orders_lanes(const PreparedDensityModel& prepared,
                                                              const PreparedPseudoatom& atom, const Lanes* d,
                                                              const Lanes& r, const Lanes& inverse_r,
                                                              const Lanes* powers, Lanes& value, Lanes& laplacian)
{
    Lanes m[MONOMIALS.below_degree[D + 1]];
    point_monomials<D>(d, m);
    Lanes exponential{};
    for (int k = 0; k < atom.order_count; ++k) {
        const PreparedOrder& term_order = atom.orders[k];
        if (k == 0 || term_order.exponent != atom.orders[k - 1].exponent)
            exponential = multipole_exponential_lanes(term_order.exponent, r);
        const double* c = prepared.order_coefficients.data() + term_order.coefficient_begin;
        with_degree(term_order.l, [&]<int L>() {
            if constexpr (L <= D)
                add_multipole_order_lanes<LAPLACIAN, L>(term_order, c, m, inverse_r, powers, exponential, value,
                                                        laplacian);
        });
    }
}

// The one table every lane's spherical sets come from, and how
// spherical_sets weighs it: the core and valence together as read, or
// (`weighted`) the valence alone beyond the core's radius, times its weight.
// Null when the lanes differ or the sets are taken otherwise.
[[gnu::always_inline]] inline const SphericalDensityTable* common_spherical_table(const PreparedDensityModel& prepared,
                                                                              const PreparedPseudoatom& atom,
                                                                              const TermSelection& selection,
                                                                              const Lanes& r, int lanes, bool& weighted)
{
    if (!selection.core || !selection.valence || selection.free_valence || atom.valence_weight == 0.0
        || atom.function_end <= atom.function_begin)
        return nullptr;
    int within = 0;
    for (int lane = 0; lane < lanes; ++lane)
        within += r[lane] <= atom.core_radius ? 1 : 0;
    const int table = within == lanes ? atom.spherical_table[CORE_AND_VALENCE_TABLE]
                      : within == 0   ? atom.spherical_table[PAIR_SET_VALENCE]
                                      : -1;
    if (table < 0)
        return nullptr;
    weighted = within == 0;
    return prepared.spherical_tables[static_cast<std::size_t>(table)].get();
}

// evaluate_spherical_density_table lane by lane: each lane finds its own
// interval, and the quintics are summed side by side.
template <int DERIVATIVES>
[[gnu::always_inline]] inline void lanes_spherical_table(const SphericalDensityTable& table, const Lanes& r, Lanes& g,
                                                         Lanes& g1, Lanes& g2)
{
    // The first lane's octave, 2^-(k+1) <= r / range < 2^-k (open below for
    // the innermost, above for the outermost): is every lane in it?
    const int k = spherical_octave(table, r[0]);
    const auto power_of_two = [](int exponent) { return std::bit_cast<double>(std::uint64_t(1023 + exponent) << 52); };
    const double low = k == SPHERICAL_TABLE_OCTAVES ? -HUGE_VAL : power_of_two(-(k + 1));
    const double high = k == 0 ? HUGE_VAL : power_of_two(-k);
    const Lanes x = r * table.inverse_range;
    Lanes t, inverse_step, a[5] = {}, b[5] = {};
    std::size_t node[LANES];
    bool one_node = false;
    if (every_lane((x >= low) & (x < high))) {
        // Every lane in one octave, as the points of a stencil or of a short
        // stretch of a ray are: locate_spherical_interval lane by lane.
        const SphericalDensityTable::Octave& octave = table.octaves[k];
        const Lanes u = (r - octave.start) * octave.inverse_step;
        const IntLanes truncated = __builtin_convertvector(u, IntLanes);
        IntLanes i = truncated & __builtin_convertvector(u > 0.0, IntLanes);  // 0 where u <= 0
        i = i >= octave.count ? IntLanes{} + (octave.count - 1) : i;
        t = u - __builtin_convertvector(i, Lanes);
        inverse_step = Lanes{} + octave.inverse_step;
        one_node = every_lane(i == i[0]);
        for (int lane = 0; lane < (one_node ? 1 : LANES); ++lane)
            node[lane] = static_cast<std::size_t>(octave.first + i[lane]);
    } else {
        double t_column[LANES], step_column[LANES];
        for (int lane = 0; lane < LANES; ++lane)
            locate_spherical_interval(table, r[lane], node[lane], t_column[lane], step_column[lane]);
        t = lanes_of([&](std::size_t lane) { return t_column[lane]; });
        inverse_step = lanes_of([&](std::size_t lane) { return step_column[lane]; });
    }
    for (std::size_t m = 0; m <= DERIVATIVES + 2; ++m) {
        if (one_node) {
            a[m] = Lanes{} + table.nodes[node[0]][m];
            b[m] = Lanes{} + table.nodes[node[0] + 1][m];
        } else {
            a[m] = lanes_of([&](std::size_t lane) { return table.nodes[node[lane]][m]; });
            b[m] = lanes_of([&](std::size_t lane) { return table.nodes[node[lane] + 1][m]; });
        }
    }
    interpolate_quintic(a, b, t, inverse_step, DERIVATIVES, g, g1, g2);
}

// accumulate_pseudoatom_values; with LAPLACIAN the value and the Laplacian.
template <bool LAPLACIAN>
[[gnu::always_inline]] inline void accumulate_in_lanes(const PreparedDensityModel& prepared, int atom_index,
                                                       const DisplacementColumns& d, std::size_t count,
                                                       const TermSelection& selection, PointDerivatives* const* sums)
{
    const PreparedPseudoatom& atom = prepared.atoms[atom_index];
    const DerivativeOrder order = LAPLACIAN ? DerivativeOrder::laplacian : DerivativeOrder::value;
    // Up to CHUNK points at a time: those within the atom's radius, by
    // column, so that each group of lanes loads as whole vectors.
    constexpr std::size_t CHUNK = 64;
    constexpr std::size_t PADDED = CHUNK + LANES;
    alignas(sizeof(Lanes)) double x[PADDED], y[PADDED], z[PADDED], rr[PADDED];
    PointDerivatives* target[CHUNK];
    for (std::size_t first = 0; first < count; first += CHUNK) {
        const std::size_t end = std::min(count, first + CHUNK);
        std::size_t n = 0;
        for (std::size_t k = first; k < end; ++k) {
            if (!(d.r[k] <= atom.radius))
                continue;
            const Vector3 q = {d.x[k], d.y[k], d.z[k]};
            // At a nucleus the Laplacian is the Hessian's trace: the one-point path.
            if (LAPLACIAN && q[0] * q[0] + q[1] * q[1] + q[2] * q[2] < MIN_TERM_RADIUS * MIN_TERM_RADIUS) {
                accumulate_pseudoatom_at(prepared, atom_index, q, d.r[k], selection, *sums[k]);
                continue;
            }
            x[n] = q[0];
            y[n] = q[1];
            z[n] = q[2];
            rr[n] = d.r[k];
            target[n++] = sums[k];
        }
        if (n == 0)
            continue;
        const std::size_t padded = (n + LANES - 1) / LANES * LANES;
        for (std::size_t k = n; k < padded; ++k) {  // idle lanes repeat the first point
            x[k] = x[0];
            y[k] = y[0];
            z[k] = z[0];
            rr[k] = rr[0];
        }
        const bool multipoles = selection.multipoles && atom.order_count > 0;
        for (std::size_t group = 0; group < padded; group += LANES) {
            const int lanes = static_cast<int>(std::min<std::size_t>(LANES, n - group));
            Lanes dl[3], rl;
            std::memcpy(&dl[0], x + group, sizeof(Lanes));
            std::memcpy(&dl[1], y + group, sizeof(Lanes));
            std::memcpy(&dl[2], z + group, sizeof(Lanes));
            std::memcpy(&rl, rr + group, sizeof(Lanes));
            const Lanes inverse_r = 1.0 / rl;
            Lanes powers[MAX_SLATER_POWER + 1];
            powers[0] = Lanes{} + 1.0;
            for (int k = 1; k <= atom.highest_power; ++k)
                powers[k] = powers[k - 1] * rl;
            Lanes value = Lanes{}, laplacian = Lanes{};
            bool weighted = false;
            if (const SphericalDensityTable* table = common_spherical_table(prepared, atom, selection, rl, lanes, weighted)) {
                // Every lane reads the same table (spherical_sets' common case).
                Lanes g, g1, g2;
                lanes_spherical_table<LAPLACIAN ? 2 : 0>(*table, rl, g, g1, g2);
                if (weighted) {
                    // The valence alone, weighted, as spherical_sets adds it to 0.
                    g = 0.0 + atom.valence_weight * g;
                    g1 = 0.0 + atom.valence_weight * g1;
                    g2 = 0.0 + atom.valence_weight * g2;
                }
                value += g;
                if (LAPLACIAN)
                    laplacian += g2 + 2.0 * g1 / rl;
            } else {
                for (int lane = 0; lane < lanes; ++lane) {
                    RadialPowers lane_powers;
                    for (int k = 0; k <= atom.highest_power; ++k)
                        lane_powers[k] = powers[k][lane];
                    double g = 0, g1 = 0, g2 = 0;
                    if (spherical_sets(prepared, atom, rl[lane], inverse_r[lane], lane_powers, selection, order, g, g1,
                                       g2)) {
                        value[lane] += g;
                        if (LAPLACIAN)
                            laplacian[lane] += g2 + 2.0 * g1 / rl[lane];
                    }
                }
            }
            if (multipoles) {
                with_degree(atom.monomial_degree, [&]<int D>() {
                    add_multipole_orders_lanes<LAPLACIAN, D>(prepared, atom, dl, rl, inverse_r, powers, value,
                                                             laplacian);
                });
            }
            for (int lane = 0; lane < lanes; ++lane) {
                PointDerivatives& sum = *target[group + static_cast<std::size_t>(lane)];
                sum.value += atom.occupancy * value[lane];
                if (LAPLACIAN)
                    sum.laplacian += atom.occupancy * laplacian[lane];
            }
        }
    }
}

[[gnu::always_inline]] inline void accumulate_values_in_lanes(const PreparedDensityModel& prepared, int atom,
                                                             const DisplacementColumns& d, std::size_t count,
                                                             const TermSelection& selection,
                                                             PointDerivatives* const* sums)
{
    // A skew local frame does not keep the Laplacian: its atoms take the
    // one-point path, which turns the Hessian back.
    const PreparedPseudoatom& prepared_atom = prepared.atoms[atom];
    if (selection.order == DerivativeOrder::laplacian) {
        if (prepared_atom.use_frame && !prepared_atom.frame_orthonormal) {
            for (std::size_t k = 0; k < count; ++k)
                accumulate_pseudoatom_at(prepared, atom, {d.x[k], d.y[k], d.z[k]}, d.r[k], selection, *sums[k]);
            return;
        }
        accumulate_in_lanes<true>(prepared, atom, d, count, selection, sums);
    } else {
        accumulate_in_lanes<false>(prepared, atom, d, count, selection, sums);
    }
}

// Four lanes in one AVX2 register where the processor has them, two SSE2
// registers elsewhere; neither fuses a multiply and an add, so both give the
// bits of the scalar code.
[[gnu::flatten, gnu::target("avx2")]] void accumulate_values_avx2(const PreparedDensityModel& prepared, int atom,
                                                                 const DisplacementColumns& d, std::size_t count,
                                                                 const TermSelection& selection,
                                                                 PointDerivatives* const* sums)
{
    accumulate_values_in_lanes(prepared, atom, d, count, selection, sums);
}

[[gnu::flatten]] void accumulate_values_sse2(const PreparedDensityModel& prepared, int atom,
                                             const DisplacementColumns& d, std::size_t count,
                                             const TermSelection& selection, PointDerivatives* const* sums)
{
    accumulate_values_in_lanes(prepared, atom, d, count, selection, sums);
}

std::atomic<bool> avx2_lanes{__builtin_cpu_supports("avx2") != 0};

}  // namespace

void use_avx2_lanes(bool use) { avx2_lanes.store(use && __builtin_cpu_supports("avx2") != 0); }

void accumulate_pseudoatom_values(const PreparedDensityModel& prepared, int atom, const DisplacementColumns& d,
                                  std::size_t count, const TermSelection& selection, PointDerivatives* const* sums)
{
    if (avx2_lanes.load(std::memory_order_relaxed))
        accumulate_values_avx2(prepared, atom, d, count, selection, sums);
    else
        accumulate_values_sse2(prepared, atom, d, count, selection, sums);
}
