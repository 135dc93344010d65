// The symmetric eigen-solver: A v = lambda v for every pair, orthonormal
// vectors, ascending values, also for repeated eigenvalues.
#include "keldana/density/eigen_solver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

using Matrix = std::vector<double>;  // column by column

double at(const Matrix& m, int n, int i, int j) { return m[i + static_cast<std::size_t>(n) * j]; }

// Q diag(values) Q^T with a random orthogonal Q (Gram-Schmidt on random columns).
Matrix with_eigenvalues(const std::vector<double>& values, std::mt19937& generator)
{
    const int n = static_cast<int>(values.size());
    std::normal_distribution<double> normal;
    Matrix q(static_cast<std::size_t>(n) * n);
    for (double& x : q)
        x = normal(generator);
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < j; ++k) {
            double dot = 0;
            for (int i = 0; i < n; ++i)
                dot += q[i + n * j] * q[i + n * k];
            for (int i = 0; i < n; ++i)
                q[i + n * j] -= dot * q[i + n * k];
        }
        double norm = 0;
        for (int i = 0; i < n; ++i)
            norm += q[i + n * j] * q[i + n * j];
        for (int i = 0; i < n; ++i)
            q[i + n * j] /= std::sqrt(norm);
    }
    Matrix a(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                a[i + n * j] += q[i + n * k] * values[k] * q[j + n * k];
    for (int i = 0; i < n; ++i)  // exactly symmetric
        for (int j = 0; j < i; ++j)
            a[j + n * i] = a[i + n * j];
    return a;
}

void expect_eigenpairs(const Matrix& a, int n)
{
    Matrix vectors = a;
    std::vector<double> values(n), work(n);
    int error = -2;
    solve_symmetric_eigenproblem(vectors, values, work, n, error);
    ASSERT_EQ(error, 0);
    double norm = 0;
    for (double x : a)
        norm = std::max(norm, std::abs(x));
    for (int k = 0; k < n; ++k) {
        if (k > 0) {
            EXPECT_LE(values[k - 1], values[k]);
        }
        for (int i = 0; i < n; ++i) {
            double residual = -values[k] * at(vectors, n, i, k);
            for (int j = 0; j < n; ++j)
                residual += at(a, n, i, j) * at(vectors, n, j, k);
            EXPECT_LT(std::abs(residual), 1e-12 * std::max(norm, 1.0)) << "pair " << k << " row " << i;
        }
        for (int l = 0; l < n; ++l) {
            double dot = 0;
            for (int i = 0; i < n; ++i)
                dot += at(vectors, n, i, k) * at(vectors, n, i, l);
            EXPECT_NEAR(dot, k == l ? 1.0 : 0.0, 1e-13);
        }
    }
}

TEST(SymmetricEigenSolver, RandomMatricesGiveExactEigenpairs)
{
    std::mt19937 generator(11);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (int n : {2, 3, 3, 3, 4, 6, 10}) {
        for (int trial = 0; trial < 20; ++trial) {
            Matrix a(static_cast<std::size_t>(n) * n);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j <= i; ++j)
                    a[i + n * j] = a[j + n * i] = uniform(generator);
            SCOPED_TRACE(::testing::Message() << "n " << n << " trial " << trial);
            expect_eigenpairs(a, n);
        }
    }
}

TEST(SymmetricEigenSolver, RepeatedEigenvaluesGiveOrthonormalVectors)
{
    std::mt19937 generator(5);
    const std::vector<std::vector<double>> spectra = {
        {2, 2, -1}, {-3, 5, 5}, {4, 4, 4}, {0, 0, 1}, {1e-3, 1e-3, 1e3}, {-1, -1, 2, 2, 2}, {0, 0, 0}};
    for (const auto& spectrum : spectra) {
        const Matrix a = with_eigenvalues(spectrum, generator);
        expect_eigenpairs(a, static_cast<int>(spectrum.size()));
    }
}

TEST(SymmetricEigenSolver, SimpleCases)
{
    // diag(3, -1, 2): eigenvalues -1, 2, 3 with e2, e3, e1.
    Matrix3 m;
    m(1, 1) = 3;
    m(2, 2) = -1;
    m(3, 3) = 2;
    std::array<double, 3> lambda{};
    EXPECT_EQ(solve_symmetric_eigenproblem(m, lambda), 0);
    EXPECT_EQ(lambda, (std::array<double, 3>{-1, 2, 3}));
    EXPECT_EQ(std::abs(m(2, 1)), 1.0);
    EXPECT_EQ(std::abs(m(3, 2)), 1.0);
    EXPECT_EQ(std::abs(m(1, 3)), 1.0);

    std::vector<double> one = {-4.5}, value(1), work(1);
    int error = -2;
    solve_symmetric_eigenproblem(one, value, work, 1, error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(value[0], -4.5);
    EXPECT_EQ(one[0], 1.0);

    Matrix3 identity;
    identity(1, 1) = identity(2, 2) = identity(3, 3) = 1;
    EXPECT_EQ(solve_symmetric_eigenproblem(identity, lambda), 0);
    EXPECT_EQ(lambda, (std::array<double, 3>{1, 1, 1}));
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            EXPECT_EQ(identity(i, j), i == j ? 1.0 : 0.0);

    std::vector<double> short_matrix(3), values(2), work2(2);
    solve_symmetric_eigenproblem(short_matrix, values, work2, 2, error);
    EXPECT_EQ(error, -1);
}

TEST(SymmetricEigenSolver, NonFiniteInputEndsWithAnErrorIndex)
{
    Matrix3 m;
    m(1, 1) = std::nan("");
    m(1, 2) = m(2, 1) = 1;
    m(2, 2) = 2;
    m(3, 3) = 1;
    std::array<double, 3> lambda{};
    EXPECT_EQ(solve_symmetric_eigenproblem(m, lambda), -1);
    EXPECT_TRUE(std::isnan(m(1, 1)));  // left as it was
}

}  // namespace
