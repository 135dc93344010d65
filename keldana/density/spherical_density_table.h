// The spherical density of one electron set of a pseudoatom, g(r) = sum
// over orbital pairs of c f_u(r) f_v(r), tabulated once per distinct set so
// that a point costs one piecewise polynomial instead of an exponential per
// Slater function and a sum over every pair.
//
// The nodes hold g and its first four derivatives (taken exactly from the
// Slater functions).  Between two nodes each of g, g' and g'' is read from
// its own quintic, the one that matches it and its next two derivatives at
// both nodes; none is differentiated, so rounding in the node values is not
// magnified by the step.  The range [0, R] is cut into octaves
// [R 2^-(k+1), R 2^-k) (the innermost reaches 0), each with its own even
// step, halved until the three quintics stay within 1e-13 of the sum of the
// pairs' absolute values in the middle of every interval, where their errors
// peak (or, in the innermost octave, within 1e-16 of the largest such sum
// of the table: there a set starting at r^6 or higher keeps its relative
// error at every step while its size vanishes).  Near the nucleus the core's steep functions need short steps;
// farther out only the slow valence functions matter and the steps grow.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

// g as its Slater functions f = N r^power exp(-exponent r) and the pairs
// c f_first f_second (indices into functions).
struct SphericalPairSum {
    struct Function {
        int power = 0;
        double exponent = 0, normalisation = 0;
    };
    struct Pair {
        int first = 0, second = 0;
        double coefficient = 0;
    };
    std::vector<Function> functions;
    std::vector<Pair> pairs;
};

inline constexpr int SPHERICAL_TABLE_OCTAVES = 14;
// A set that would need more intervals is summed pair by pair instead.
inline constexpr int MAX_SPHERICAL_TABLE_INTERVALS = 1 << 16;

struct SphericalDensityTable {
    double range = 0, inverse_range = 0;
    struct Octave {
        double start = 0, step = 0, inverse_step = 0;
        int first = 0, count = 0;  // intervals; their nodes are [first, first + count] of `nodes`
    };
    std::array<Octave, SPHERICAL_TABLE_OCTAVES + 1> octaves{};
    // Per node, h^k g^(k) for k = 0..4, h the step of its octave.
    std::vector<std::array<double, 5>> nodes;
};

// g and its derivatives up to the fourth, summed pair by pair; bound[m] is
// the sum of the absolute values of the pairs' terms of the m-th derivative.
void sum_spherical_pairs(const SphericalPairSum& sum, double r, double g[5], double bound[5]);

// Tabulates the sum on [0, range].  False (the table left empty) when
// the range is not positive and finite, a pair names no function, or the
// tolerance would need more than MAX_SPHERICAL_TABLE_INTERVALS intervals.
bool build_spherical_density_table(const SphericalPairSum& sum, double range, SphericalDensityTable& table);

// g and, as `derivatives` asks (0, 1 or 2), g' and g'' at t (0..1) of the
// interval between the nodes a and b (each h^k g^(k), k = 0..4), whose step
// is 1 / inverse_step; the derivatives not asked for are 0.  T is a double
// or a vector of them, every lane with the same operations.
template <typename T>
[[gnu::always_inline]] inline void interpolate_quintic(const T* a, const T* b, T t, T inverse_step, int derivatives,
                                                       T& g, T& g1, T& g2)
{
    // Quintic Hermite basis at t: value, first and second derivative at the
    // left node (p0, p1, p2) and at the right node (q0, q1, q2).
    const T t2 = t * t, t3 = t2 * t;
    const T v = 1.0 - t;
    const T v2 = v * v, v3 = v2 * v;
    const T p0 = v3 * (1.0 + t * (3.0 + 6.0 * t));
    const T p1 = v3 * t * (1.0 + 3.0 * t);
    const T p2 = 0.5 * v3 * t2;
    const T q0 = t3 * (1.0 + v * (3.0 + 6.0 * v));
    const T q1 = -t3 * v * (1.0 + 3.0 * v);
    const T q2 = 0.5 * t3 * v2;
    g = p0 * a[0] + p1 * a[1] + p2 * a[2] + q0 * b[0] + q1 * b[1] + q2 * b[2];
    g1 = derivatives >= 1 ? (p0 * a[1] + p1 * a[2] + p2 * a[3] + q0 * b[1] + q1 * b[2] + q2 * b[3]) * inverse_step
                          : T{};
    g2 = derivatives >= 2
             ? (p0 * a[2] + p1 * a[3] + p2 * a[4] + q0 * b[2] + q1 * b[3] + q2 * b[4]) * inverse_step * inverse_step
             : T{};
}

[[gnu::always_inline]] inline void interpolate_spherical_nodes(const std::array<double, 5>& a,
                                                               const std::array<double, 5>& b, double t,
                                                               double inverse_step, int derivatives, double& g,
                                                               double& g1, double& g2)
{
    interpolate_quintic(a.data(), b.data(), t, inverse_step, derivatives, g, g1, g2);
}

// The octave k of r, 2^-(k+1) <= r / range < 2^-k, read from the binary
// exponent of r / range (biased by 1023; zero for 0 and subnormals).
[[gnu::always_inline]] inline int spherical_octave(const SphericalDensityTable& table, double r)
{
    const double x = r * table.inverse_range;
    const int biased = static_cast<int>((std::bit_cast<std::uint64_t>(x) >> 52) & 0x7ff);
    return x >= 0.5 ? 0 : biased == 0 ? SPHERICAL_TABLE_OCTAVES : std::min(1022 - biased, SPHERICAL_TABLE_OCTAVES);
}

// The interval of the table that holds r (0 <= r <= range): the index of
// its left node, r's place t (0..1) in it, and the inverse of its step.
[[gnu::always_inline]] inline void locate_spherical_interval(const SphericalDensityTable& table, double r,
                                                             std::size_t& node, double& t, double& inverse_step)
{
    const SphericalDensityTable::Octave& octave = table.octaves[spherical_octave(table, r)];
    const double u = (r - octave.start) * octave.inverse_step;
    int i = u > 0 ? static_cast<int>(u) : 0;
    if (i >= octave.count)
        i = octave.count - 1;
    node = static_cast<std::size_t>(octave.first + i);
    t = u - i;
    inverse_step = octave.inverse_step;
}

// g(r) and, as `derivatives` asks (0, 1 or 2), g'(r) and g''(r) for
// 0 <= r <= range.
[[gnu::always_inline]] inline void evaluate_spherical_density_table(const SphericalDensityTable& table, double r,
                                                                    int derivatives, double& g, double& g1, double& g2)
{
    std::size_t node = 0;
    double t = 0, inverse_step = 0;
    locate_spherical_interval(table, r, node, t, inverse_step);
    interpolate_spherical_nodes(table.nodes[node], table.nodes[node + 1], t, inverse_step, derivatives, g, g1, g2);
}
