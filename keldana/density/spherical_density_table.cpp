#include "keldana/density/spherical_density_table.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int FIRST_INTERVALS = 4;   // of the outermost octave before any halving
constexpr double TOLERANCE = 1e-13;  // of each quintic against its bound
// The innermost octave's floor, of the largest bound of the table: in the
// octave from the nucleus each interval i of a set that starts at r^6 or a
// higher power keeps the same relative error at every step (the error and
// the set both scale as the step's power), but its size falls with the
// step's sixth power, below any absolute floor.
constexpr double NUCLEUS_FLOOR = 1e-16;
constexpr int DERIVATIVES = 5;       // g and its first four derivatives
constexpr int BINOMIAL[DERIVATIVES][DERIVATIVES] = {
    {1, 0, 0, 0, 0}, {1, 1, 0, 0, 0}, {1, 2, 1, 0, 0}, {1, 3, 3, 1, 0}, {1, 4, 6, 4, 1}};

// f = N r^p exp(-a r) and its derivatives up to the fourth, finite at r = 0:
// f^(k) = N exp(-a r) sum over j of C(k, j) p!/(p-j)! r^(p-j) (-a)^(k-j).
void slater_function(int p, double a, double n, double r, double f[DERIVATIVES])
{
    double power[DERIVATIVES];  // p!/(p-j)! r^(p-j), 0 for j > p
    for (int j = 0; j < DERIVATIVES; ++j) {
        double v = j > p ? 0.0 : 1.0;
        for (int q = 0; q < j && j <= p; ++q)
            v *= p - q;
        for (int q = 0; q < p - j; ++q)
            v *= r;
        power[j] = v;
    }
    const double e = n * std::exp(-a * r);
    for (int k = 0; k < DERIVATIVES; ++k) {
        double sum = 0.0, scale = 1.0;  // scale = (-a)^(k-j), j from k down
        for (int j = k; j >= 0; --j) {
            sum += BINOMIAL[k][j] * power[j] * scale;
            scale *= -a;
        }
        f[k] = e * sum;
    }
}

// The node at r of an octave of step h: h^k g^(k).
std::array<double, 5> scaled_node(const SphericalPairSum& sum, double r, double h, double bound[DERIVATIVES])
{
    double g[DERIVATIVES];
    sum_spherical_pairs(sum, r, g, bound);
    std::array<double, 5> node{};
    double scale = 1.0;
    for (int k = 0; k < DERIVATIVES; ++k) {
        node[k] = g[k] * scale;
        scale *= h;
    }
    return node;
}

// The interval's three quintics against the pair sums at its middle, each
// within TOLERANCE of its bound there or within `floor`.
bool within_tolerance(const SphericalPairSum& sum, const std::array<double, 5>& a, const std::array<double, 5>& b,
                      double r0, double h, const double floor[3])
{
    double exact[DERIVATIVES], bound[DERIVATIVES], found[3];
    sum_spherical_pairs(sum, r0 + 0.5 * h, exact, bound);
    interpolate_spherical_nodes(a, b, 0.5, 1.0 / h, 2, found[0], found[1], found[2]);
    for (int m = 0; m < 3; ++m)
        if (!(std::abs(found[m] - exact[m]) <= std::max(TOLERANCE * bound[m], floor[m])))
            return false;
    return true;
}

}  // namespace

void sum_spherical_pairs(const SphericalPairSum& sum, double r, double g[DERIVATIVES], double bound[DERIVATIVES])
{
    for (int k = 0; k < DERIVATIVES; ++k)
        g[k] = bound[k] = 0.0;
    std::vector<std::array<double, DERIVATIVES>> f(sum.functions.size());
    for (std::size_t u = 0; u < f.size(); ++u) {
        const SphericalPairSum::Function& function = sum.functions[u];
        slater_function(function.power, function.exponent, function.normalisation, r, f[u].data());
    }
    for (const SphericalPairSum::Pair& pair : sum.pairs) {
        const std::array<double, DERIVATIVES>& a = f[static_cast<std::size_t>(pair.first)];
        const std::array<double, DERIVATIVES>& b = f[static_cast<std::size_t>(pair.second)];
        // Leibniz: (a b)^(k) = sum over j of C(k, j) a^(j) b^(k-j).
        for (int k = 0; k < DERIVATIVES; ++k)
            for (int j = 0; j <= k; ++j) {
                const double term = pair.coefficient * BINOMIAL[k][j] * a[j] * b[k - j];
                g[k] += term;
                bound[k] += std::abs(term);
            }
    }
}

bool build_spherical_density_table(const SphericalPairSum& sum, double range, SphericalDensityTable& table)
{
    table = SphericalDensityTable{};
    if (!(range > 0) || !std::isfinite(range))
        return false;
    for (const SphericalPairSum::Pair& pair : sum.pairs)
        if (pair.first < 0 || pair.second < 0 || pair.first >= static_cast<int>(sum.functions.size())
            || pair.second >= static_cast<int>(sum.functions.size()))
            return false;
    SphericalDensityTable fresh;
    fresh.range = range;
    fresh.inverse_range = 1.0 / range;
    int total = 0;  // intervals so far
    double peak[3] = {0, 0, 0};  // largest bounds at the nodes of the octaves done
    const double no_floor[3] = {0, 0, 0};
    for (int k = 0; k <= SPHERICAL_TABLE_OCTAVES; ++k) {
        const double nucleus_floor[3] = {NUCLEUS_FLOOR * peak[0], NUCLEUS_FLOOR * peak[1], NUCLEUS_FLOOR * peak[2]};
        SphericalDensityTable::Octave& octave = fresh.octaves[k];
        const double end = std::ldexp(range, -k);
        octave.start = k == SPHERICAL_TABLE_OCTAVES ? 0.0 : 0.5 * end;
        // An inner octave needs steps at least as short as the one outside it.
        const int first_count = k == 0 ? FIRST_INTERVALS : std::max(FIRST_INTERVALS, fresh.octaves[k - 1].count / 2);
        std::vector<std::array<double, 5>> nodes;
        for (int count = first_count;; count *= 2) {
            if (total + count > MAX_SPHERICAL_TABLE_INTERVALS)
                return false;
            const double h = (end - octave.start) / count;
            double bound[DERIVATIVES];
            double octave_peak[3] = {0, 0, 0};
            auto add_node = [&](double r) {
                nodes.push_back(scaled_node(sum, r, h, bound));
                for (int m = 0; m < 3; ++m)
                    octave_peak[m] = std::max(octave_peak[m], bound[m]);
            };
            nodes.clear();
            add_node(octave.start);
            bool good = true;
            for (int i = 0; i < count && good; ++i) {
                add_node(octave.start + (i + 1) * h);
                good = within_tolerance(sum, nodes[nodes.size() - 2], nodes.back(), octave.start + i * h, h,
                                        k == SPHERICAL_TABLE_OCTAVES ? nucleus_floor : no_floor);
            }
            if (good) {
                for (int m = 0; m < 3; ++m)
                    peak[m] = std::max(peak[m], octave_peak[m]);
                octave.step = h;
                octave.inverse_step = 1.0 / h;
                octave.count = count;
                break;
            }
        }
        octave.first = static_cast<int>(fresh.nodes.size());
        total += octave.count;
        fresh.nodes.insert(fresh.nodes.end(), nodes.begin(), nodes.end());
    }
    table = std::move(fresh);
    return true;
}
