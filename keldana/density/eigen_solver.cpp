#include "keldana/density/eigen_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Relative size of a negligible off-diagonal element: the machine precision,
// so every eigenpair is exact to rounding (a coarser bound such as 1.6e-12
// leaves residuals of that order in the vectors).
constexpr double TOLERANCE = std::numeric_limits<double>::epsilon();
constexpr int MAX_ITERATIONS = 30;

// 1-based views of the caller's arrays.
struct Square {
    std::span<double> v;
    int n;
    double& operator()(int i, int j) { return v[(i - 1) + static_cast<std::size_t>(n) * (j - 1)]; }
};

struct Vector {
    std::span<double> v;
    double& operator()(int i) { return v[i - 1]; }
};

}  // namespace

void reduce_to_tridiagonal(int n, std::span<double> d_values, std::span<double> e_values, std::span<double> matrix)
{
    Square a{matrix, n};
    Vector d{d_values}, e{e_values};
    for (int i = n; i >= 2; --i) {
        const int l = i - 1;
        double h = 0.0;
        if (l > 1) {
            double scale = 0.0;
            for (int k = 1; k <= l; ++k)
                scale += std::fabs(a(i, k));
            if (scale == 0.0) {
                e(i) = a(i, l);
            } else {
                for (int k = 1; k <= l; ++k) {
                    a(i, k) /= scale;
                    h += a(i, k) * a(i, k);
                }
                double f = a(i, l);
                double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
                e(i) = scale * g;
                h -= f * g;
                a(i, l) = f - g;
                f = 0.0;
                for (int j = 1; j <= l; ++j) {
                    a(j, i) = a(i, j) / h;
                    g = 0.0;
                    for (int k = 1; k <= j; ++k)
                        g += a(j, k) * a(i, k);
                    for (int k = j + 1; k <= l; ++k)
                        g += a(k, j) * a(i, k);
                    e(j) = g / h;
                    f += e(j) * a(i, j);
                }
                const double hh = f / (h + h);
                for (int j = 1; j <= l; ++j) {
                    f = a(i, j);
                    g = e(j) - hh * f;
                    e(j) = g;
                    for (int k = 1; k <= j; ++k)
                        a(j, k) -= f * e(k) + g * a(i, k);
                }
                // Row i keeps the scaled Householder vector: the accumulation
                // below pairs it with column i = vector / h of the same scale.
            }
        } else {
            e(i) = a(i, l);
        }
        d(i) = h;
    }
    d(1) = 0.0;
    e(1) = 0.0;
    for (int i = 1; i <= n; ++i) {
        const int l = i - 1;
        if (d(i) != 0.0)
            for (int j = 1; j <= l; ++j) {
                double g = 0.0;
                for (int k = 1; k <= l; ++k)
                    g += a(i, k) * a(k, j);
                for (int k = 1; k <= l; ++k)
                    a(k, j) -= g * a(k, i);
            }
        d(i) = a(i, i);
        a(i, i) = 1.0;
        for (int j = 1; j <= l; ++j)
            a(j, i) = a(i, j) = 0.0;
    }
}

void solve_tridiagonal_ql(int n, std::span<double> d_values, std::span<double> e_values, std::span<double> matrix,
                          int& error_index)
{
    Square z{matrix, n};
    Vector d{d_values}, e{e_values};
    error_index = 0;
    if (n == 1)
        return;
    for (int i = 2; i <= n; ++i)
        e(i - 1) = e(i);
    e(n) = 0.0;
    double f = 0.0, b = 0.0;
    for (int l = 1; l <= n; ++l) {
        int iterations = 0;
        b = std::max(b, TOLERANCE * (std::fabs(d(l)) + std::fabs(e(l))));
        int m = l;
        while (m < n && std::fabs(e(m)) > b)
            ++m;
        if (m > l) {
            do {
                if (iterations == MAX_ITERATIONS) {
                    error_index = l;
                    return;
                }
                ++iterations;
                double g = d(l);
                double p = (d(l + 1) - g) / (2.0 * e(l));
                double r = std::fabs(TOLERANCE * p) > 1.0 ? std::fabs(p) : std::sqrt(p * p + 1.0);
                d(l) = e(l) / (p + (p >= 0.0 ? r : -r));
                double h = g - d(l);
                for (int i = l + 1; i <= n; ++i)
                    d(i) -= h;
                f += h;
                p = d(m);
                double c = 1.0, s = 0.0;
                for (int i = m - 1; i >= l; --i) {
                    g = c * e(i);
                    h = c * p;
                    if (std::fabs(p) >= std::fabs(e(i))) {
                        c = e(i) / p;
                        r = std::sqrt(c * c + 1.0);
                        e(i + 1) = s * p * r;
                        s = c / r;
                        c = 1.0 / r;
                    } else {
                        c = p / e(i);
                        r = std::sqrt(c * c + 1.0);
                        e(i + 1) = s * e(i) * r;
                        s = 1.0 / r;
                        c *= s;
                    }
                    p = c * d(i) - s * g;
                    d(i + 1) = h + s * (c * g + s * d(i));
                    for (int k = 1; k <= n; ++k) {
                        const double zi = z(k, i), zi1 = z(k, i + 1);
                        z(k, i) = c * zi - s * zi1;
                        z(k, i + 1) = s * zi + c * zi1;
                    }
                }
                e(l) = s * p;
                d(l) = c * p;
            } while (std::fabs(e(l)) > b);
        }
        d(l) += f;
    }
    for (int i = 1; i < n; ++i) {
        int k = i;
        for (int j = i + 1; j <= n; ++j)
            if (d(j) < d(k))
                k = j;
        if (k != i) {
            std::swap(d(i), d(k));
            for (int row = 1; row <= n; ++row)
                std::swap(z(row, i), z(row, k));
        }
    }
}

void solve_symmetric_eigenproblem(std::span<double> matrix, std::span<double> eigenvalues, std::span<double> work,
                                  int n, int& error_index)
{
    if (n < 1 || matrix.size() < static_cast<std::size_t>(n) * n || eigenvalues.size() < static_cast<std::size_t>(n)
        || work.size() < static_cast<std::size_t>(n)) {
        error_index = -1;
        return;
    }
    // Not-a-number passes every convergence test and would read as success.
    if (!std::all_of(matrix.begin(), matrix.begin() + static_cast<std::ptrdiff_t>(n) * n,
                     [](double x) { return std::isfinite(x); })) {
        error_index = -1;
        return;
    }
    reduce_to_tridiagonal(n, eigenvalues, work, matrix);
    solve_tridiagonal_ql(n, eigenvalues, work, matrix, error_index);
}

int solve_symmetric_eigenproblem(Matrix3& matrix, std::array<double, 3>& eigenvalues)
{
    std::array<double, 3> work{};
    int error_index = 0;
    solve_symmetric_eigenproblem(matrix.v, eigenvalues, work, 3, error_index);
    return error_index;
}
