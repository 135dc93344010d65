#include "keldana/topology/property_source.h"

#include "keldana/density/eigen_solver.h"
#include "keldana/density/energy_densities.h"
#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_esd.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/newton_locator.h"

#include <atomic>

namespace {

constexpr int FIRST_ENERGY_DENSITY_CODE = 30;
constexpr long long NUMERIC_GRADIENT_HESSIAN_COST = 31;  // value, 3 x 2 for the gradient, 6 x 4 for the Hessian

// Counted from every thread a search locates on.
std::atomic<long long> evaluations{0};

}  // namespace

long long search_evaluation_count() { return evaluations; }

double evaluate_search_property(const Vector3& p, int code)
{
    ++evaluations;
    if (code >= FIRST_ENERGY_DENSITY_CODE)
        return evaluate_energy_density_property(p[0], p[1], p[2], code);
    return evaluate_property_at_point(p[0], p[1], p[2], code);
}

Vector3 evaluate_search_gradient(const Vector3& p, int code)
{
    evaluations += 6;
    Vector3 g{};
    if (code >= FIRST_ENERGY_DENSITY_CODE)
        compute_energy_density_gradient_or_laplacian_numeric(1, p[0], p[1], p[2], g, code);
    else
        compute_property_gradient_or_laplacian_numeric(1, p[0], p[1], p[2], g, code);
    return g;
}

void analyse_hessian(Matrix3& matrix, std::array<double, 3>& lambda)
{
    solve_symmetric_eigenproblem(matrix, lambda);  // the error index is not used: the result stands as it is
}

double evaluate_search_esd(const Vector3& p, int code)
{
    return evaluate_property_esd(p[0], p[1], p[2], code);
}

Vector3 evaluate_total_density_gradient(const Vector3& p)
{
    Vector3 g{};
    if (evaluated_settings().numerical_derivatives != 0)
        return evaluate_search_gradient(p, 3);
    // The three components in one analytic pass.
    ++evaluations;
    double value = 0;
    evaluate_density_value_gradient(p, value, g, 3);
    return g;
}

DerivativeSource property_derivative_source(int code)
{
    if (code >= FIRST_ENERGY_DENSITY_CODE)
        return [code](const Vector3& p, double& value, Vector3& gradient, Matrix3& hessian) {
            evaluations += NUMERIC_GRADIENT_HESSIAN_COST;
            compute_energy_density_gradient_hessian_numeric(p, value, gradient, hessian, code);
        };
    if (spherical_esp_tables().esp_tables_ready != 0 || evaluated_settings().numerical_derivatives != 0)
        return [code](const Vector3& p, double& value, Vector3& gradient, Matrix3& hessian) {
            evaluations += NUMERIC_GRADIENT_HESSIAN_COST;
            compute_property_gradient_hessian_numeric(p, value, gradient, hessian, code);
        };
    return [code](const Vector3& p, double& value, Vector3& gradient, Matrix3& hessian) {
        ++evaluations;
        evaluate_property_value_gradient_hessian(p, value, gradient, hessian, code);
    };
}
