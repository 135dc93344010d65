#include "keldana/density/numeric_derivatives.h"

#include "keldana/density/energy_densities.h"
#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

namespace {


// The differences below take f as any callable, so that a stencil can be run
// twice: once to note its points, once more reading their values from one
// pass of the evaluator over the atoms near them.
template <typename F>
double shifted(F&& f, double x, double y, double z, int axis, double step, int code)
{
    return f(x + (axis == 1 ? step : 0.0), y + (axis == 2 ? step : 0.0), z + (axis == 3 ? step : 0.0), code);
}

template <typename F>
double partial_derivative(F&& f, double x, double y, double z, int axis, int code)
{
    if (axis < 1 || axis > 3)
        return 0.0;
    const double h = numeric_derivative_step();
    return (shifted(f, x, y, z, axis, h, code) - shifted(f, x, y, z, axis, -h, code)) / (2.0 * h);
}

template <typename F>
void gradient_hessian(F&& f, const Vector3& p, double& value, Vector3& gradient, Matrix3& hessian, int code)
{
    const double h = numeric_derivative_step();
    value = f(p[0], p[1], p[2], code);
    for (int i = 1; i <= 3; ++i)
        gradient[i - 1] = partial_derivative(f, p[0], p[1], p[2], i, code);
    for (int i = 1; i <= 3; ++i)
        for (int j = i; j <= 3; ++j) {
            const double dx = j == 1 ? h : 0.0, dy = j == 2 ? h : 0.0, dz = j == 3 ? h : 0.0;
            const double plus = partial_derivative(f, p[0] + dx, p[1] + dy, p[2] + dz, i, code);
            const double minus = partial_derivative(f, p[0] - dx, p[1] - dy, p[2] - dz, i, code);
            hessian(i, j) = (plus - minus) / (2.0 * h);
            hessian(j, i) = hessian(i, j);
        }
}

template <typename F>
double gradient_or_laplacian(F&& f, int mode, double x, double y, double z, Vector3& vector, int code)
{
    const double h = numeric_derivative_step();
    if (mode == 1 || mode == -1) {
        for (int k = 1; k <= 3; ++k)
            vector[k - 1] = mode * (shifted(f, x, y, z, k, h, code) - shifted(f, x, y, z, k, -h, code)) / (2.0 * h);
        return std::sqrt(vector[0] * vector[0] + vector[1] * vector[1] + vector[2] * vector[2]);
    }
    if (mode != 2)
        return 0.0;
    const double centre = f(x, y, z, code);
    for (int k = 1; k <= 3; ++k)
        vector[k - 1] =
            (shifted(f, x, y, z, k, 2.0 * h, code) - 2.0 * centre + shifted(f, x, y, z, k, -2.0 * h, code))
            / (4.0 * h * h);
    return vector[0] + vector[1] + vector[2];
}

// Runs `stencil(f)` with the property of evaluate_property_at_point: first
// noting the points it asks for, then with their values from one
// evaluate_property_at_points call (the same values, the same arithmetic).
// A point asked for again with the same coordinates to the bit (the centre
// of a Hessian's diagonal, (x + h) - h == x) is evaluated once.
template <typename Stencil, typename EvaluateMany>
auto in_one_pass(int code, Stencil&& stencil, EvaluateMany&& evaluate_many)
{
    constexpr std::size_t MOST = 32;  // requests of the largest stencil (31)
    std::array<Vector3, MOST> points;
    std::array<std::size_t, MOST> slot{};  // per request, its point
    std::size_t point_count = 0, request_count = 0;
    bool fits = true;
    stencil([&](double x, double y, double z, int) {
        const Vector3 p = {x, y, z};
        const auto same = [&p](const Vector3& q) {
            const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
            return bits(q[0]) == bits(p[0]) && bits(q[1]) == bits(p[1]) && bits(q[2]) == bits(p[2]);
        };
        const std::size_t found =
            static_cast<std::size_t>(std::find_if(points.begin(), points.begin() + point_count, same) - points.begin());
        if (request_count == MOST || (found == point_count && point_count == MOST)) {
            fits = false;
            return 0.0;
        }
        if (found == point_count)
            points[point_count++] = p;
        slot[request_count++] = found;
        return 0.0;
    });
    if (!fits) {  // not met by the stencils here: point by point
        return stencil([&evaluate_many](double x, double y, double z, int c) {
            const Vector3 p = {x, y, z};
            double value = 0;
            evaluate_many(&p, 1, c, &value);
            return value;
        });
    }
    std::array<double, MOST> values{};
    evaluate_many(points.data(), point_count, code, values.data());
    std::size_t next = 0;
    return stencil([&values, &slot, &next](double, double, double, int) { return values[slot[next++]]; });
}

// The density's value, gradient norm (mode 1) and Laplacian (mode 2).
template <typename F>
void value_gradient_norm_laplacian(F&& f, double x, double y, double z, int code, double& value,
                                   double& gradient_norm, double& laplacian)
{
    value = f(x, y, z, code);
    Vector3 vector{};
    gradient_norm = gradient_or_laplacian(f, 1, x, y, z, vector, code);
    laplacian = gradient_or_laplacian(f, 2, x, y, z, vector, code);
}

}  // namespace

// Energy densities (code 30 and above) at `count` points: the density
// points of all their central differences in one pass, each energy density
// then from its own values, as evaluate_energy_density_property takes them.
void evaluate_energy_densities_at_points(const Vector3* points, std::size_t count, int code, double* values)
{
    constexpr int DENSITY = 3;
    std::vector<Vector3> inner;
    std::vector<std::size_t> slot;  // per request, its inner point
    std::map<std::array<std::uint64_t, 3>, std::size_t> known;
    for (std::size_t k = 0; k < count; ++k) {
        double value = 0, norm = 0, laplacian = 0;
        value_gradient_norm_laplacian(
            [&](double x, double y, double z, int) {
                const Vector3 p = {x, y, z};
                const auto [found, added] = known.emplace(std::bit_cast<std::array<std::uint64_t, 3>>(p), inner.size());
                if (added)
                    inner.push_back(p);
                slot.push_back(found->second);
                return 0.0;
            },
            points[k][0], points[k][1], points[k][2], DENSITY, value, norm, laplacian);
    }
    std::vector<double> density(inner.size());
    evaluate_property_at_points(inner.data(), inner.size(), DENSITY, density.data());
    std::size_t next = 0;
    const auto recorded = [&](double, double, double, int) { return density[slot[next++]]; };
    for (std::size_t k = 0; k < count; ++k) {
        double value = 0, norm = 0, laplacian = 0;
        value_gradient_norm_laplacian(recorded, points[k][0], points[k][1], points[k][2], DENSITY, value, norm,
                                      laplacian);
        values[k] = evaluate_energy_density_from_differences(points[k][0], points[k][1], points[k][2], code, value,
                                                             norm, laplacian);
    }
}

double numeric_derivative_step()
{
    const double dr = evaluated_settings().dr;
    return dr > 0.0 && std::isfinite(dr) ? dr : DEFAULT_DR;
}

double compute_property_partial_derivative_numeric(double x, double y, double z, int axis, int code)
{
    return in_one_pass(
        code, [&](auto&& f) { return partial_derivative(f, x, y, z, axis, code); }, evaluate_property_at_points);
}

double compute_energy_density_partial_derivative_numeric(double x, double y, double z, int axis, int code)
{
    return in_one_pass(
        code, [&](auto&& f) { return partial_derivative(f, x, y, z, axis, code); }, evaluate_energy_densities_at_points);
}

void compute_property_gradient_hessian_numeric(const Vector3& point, double& value, Vector3& gradient,
                                               Matrix3& hessian, int code)
{
    in_one_pass(
        code,
        [&](auto&& f) {
            gradient_hessian(f, point, value, gradient, hessian, code);
            return 0;
        },
        evaluate_property_at_points);
}

void compute_energy_density_gradient_hessian_numeric(const Vector3& point, double& value, Vector3& gradient,
                                                     Matrix3& hessian, int code)
{
    in_one_pass(
        code,
        [&](auto&& f) {
            gradient_hessian(f, point, value, gradient, hessian, code);
            return 0;
        },
        evaluate_energy_densities_at_points);
}

double compute_property_gradient_or_laplacian_numeric(int mode, double x, double y, double z, Vector3& vector,
                                                      int code)
{
    return in_one_pass(
        code, [&](auto&& f) { return gradient_or_laplacian(f, mode, x, y, z, vector, code); },
        evaluate_property_at_points);
}

double compute_energy_density_gradient_or_laplacian_numeric(int mode, double x, double y, double z,
                                                            Vector3& vector, int code)
{
    return in_one_pass(
        code, [&](auto&& f) { return gradient_or_laplacian(f, mode, x, y, z, vector, code); },
        evaluate_energy_densities_at_points);
}

void compute_property_value_gradient_norm_laplacian_numeric(double x, double y, double z, int code, double& value,
                                                            double& gradient_norm, double& laplacian)
{
    in_one_pass(
        code,
        [&](auto&& f) {
            value_gradient_norm_laplacian(f, x, y, z, code, value, gradient_norm, laplacian);
            return 0;
        },
        evaluate_property_at_points);
}
