#include "keldana/model/cell_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

// DEG_TO_RAD carries nine digits, so an angle converted with it is off by up
// to 2e-9 rad: trigonometric values agree with the exact ones to ~1e-8.
constexpr double ANGLE_TOLERANCE = 1e-7;

struct CellCase {
    double a, b, c, alpha, beta, gamma;  // Angstrom, degrees
};

bool build(const CellCase& cell_case, UnitCell& cell, OrthogonalisationMatrix& orthogonalisation)
{
    cell.cell_a = cell_case.a;
    cell.cell_b = cell_case.b;
    cell.cell_c = cell_case.c;
    return build_orthogonalisation_matrix(cell_case.alpha * DEG_TO_RAD, cell_case.beta * DEG_TO_RAD,
                                          cell_case.gamma * DEG_TO_RAD, cell, orthogonalisation);
}

Matrix3 from_rows(std::initializer_list<std::initializer_list<double>> rows)
{
    Matrix3 m;
    int i = 1;
    for (auto row : rows) {
        int j = 1;
        for (double value : row)
            m(i, j++) = value;
        ++i;
    }
    return m;
}

void expect_matrix_near(const Matrix3& actual, const Matrix3& expected, double tolerance)
{
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            EXPECT_NEAR(actual(i, j), expected(i, j), tolerance) << "element (" << i << "," << j << ")";
}

double rad(double degrees) { return degrees * std::numbers::pi / 180; }

}  // namespace

TEST(CellGeometry, CubicCellGivesScaledIdentityAndVolume)
{
    UnitCell cell;
    OrthogonalisationMatrix orthogonalisation;
    ASSERT_TRUE(build({10, 10, 10, 90, 90, 90}, cell, orthogonalisation));
    expect_matrix_near(orthogonalisation.matrix, from_rows({{10, 0, 0}, {0, 10, 0}, {0, 0, 10}}), 10 * ANGLE_TOLERANCE);
    EXPECT_NEAR(cell.cell_volume, 1000, 1e-6);
}

TEST(CellGeometry, HexagonalGammaPutsBAt120Degrees)
{
    UnitCell cell;
    OrthogonalisationMatrix orthogonalisation;
    ASSERT_TRUE(build({5, 7, 9, 90, 90, 120}, cell, orthogonalisation));
    const Matrix3& m = orthogonalisation.matrix;
    EXPECT_NEAR(m(1, 2), -7.0 / 2, 10 * ANGLE_TOLERANCE);
    EXPECT_NEAR(m(2, 2), 7 * std::sqrt(3.0) / 2, 10 * ANGLE_TOLERANCE);
    EXPECT_EQ(m(2, 1), 0);
    EXPECT_EQ(m(3, 1), 0);
    EXPECT_EQ(m(3, 2), 0);
    EXPECT_NEAR(cell.cell_volume, 5 * 7 * 9 * std::sqrt(3.0) / 2, 1e-5);
}

// The columns of M are the cell vectors: their dot products must give the
// metric tensor built from the lengths and angles alone, and the volume its
// determinant's square root.  The second cell is very oblique but not flat.
TEST(CellGeometry, MatrixReproducesMetricTensorAndRoundTrips)
{
    for (const CellCase& cell_case : {CellCase{5.1, 7.3, 9.2, 71, 83, 104}, CellCase{6, 6, 6, 10, 10, 10}}) {
        SCOPED_TRACE(cell_case.alpha);
        UnitCell cell;
        OrthogonalisationMatrix orthogonalisation;
        ASSERT_TRUE(build(cell_case, cell, orthogonalisation));
        const Matrix3& m = orthogonalisation.matrix;

        const double len[4] = {0, cell_case.a, cell_case.b, cell_case.c};
        Matrix3 g;  // a_i . a_j
        g(1, 1) = len[1] * len[1];
        g(2, 2) = len[2] * len[2];
        g(3, 3) = len[3] * len[3];
        g(1, 2) = g(2, 1) = len[1] * len[2] * std::cos(rad(cell_case.gamma));
        g(1, 3) = g(3, 1) = len[1] * len[3] * std::cos(rad(cell_case.beta));
        g(2, 3) = g(3, 2) = len[2] * len[3] * std::cos(rad(cell_case.alpha));
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j)
                EXPECT_NEAR(m(1, i) * m(1, j) + m(2, i) * m(2, j) + m(3, i) * m(3, j), g(i, j), 1e-6);
        const double det_g = g(1, 1) * (g(2, 2) * g(3, 3) - g(2, 3) * g(3, 2))
                             - g(1, 2) * (g(2, 1) * g(3, 3) - g(2, 3) * g(3, 1))
                             + g(1, 3) * (g(2, 1) * g(3, 2) - g(2, 2) * g(3, 1));
        EXPECT_NEAR(cell.cell_volume, std::sqrt(det_g), 1e-5);

        const double points[][3] = {{0, 0, 0}, {0.25, -0.5, 0.75}, {1.3, 2.1, -0.9}, {-3, 0.001, 7.5}};
        for (const auto& f : points) {
            double x, y, z, xf, yf, zf;
            convert_fractional_to_cartesian(orthogonalisation, f[0], f[1], f[2], x, y, z);
            convert_cartesian_to_fractional(orthogonalisation, x, y, z, xf, yf, zf);
            EXPECT_NEAR(xf, f[0], 1e-11);
            EXPECT_NEAR(yf, f[1], 1e-11);
            EXPECT_NEAR(zf, f[2], 1e-11);
        }
    }
}

TEST(CellGeometry, DiagonalRotationOfOrthorhombicCellIsUnchanged)
{
    UnitCell cell;
    OrthogonalisationMatrix orthogonalisation;
    ASSERT_TRUE(build({4, 6, 11, 90, 90, 90}, cell, orthogonalisation));
    for (const Matrix3& a : {from_rows({{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}),
                             from_rows({{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}})}) {
        Matrix3 r;
        ASSERT_TRUE(transform_matrix_by_cell(orthogonalisation, a, r));
        expect_matrix_near(r, a, ANGLE_TOLERANCE);
    }
}

// Operators of a hexagonal cell (a along x, b at 120 degrees in the xy plane)
// against the Cartesian rotations and mirror they are.
TEST(CellGeometry, HexagonalOperatorsBecomeCartesianRotations)
{
    UnitCell cell;
    OrthogonalisationMatrix orthogonalisation;
    ASSERT_TRUE(build({3.2, 3.2, 5.2, 90, 90, 120}, cell, orthogonalisation));

    auto rotation_z = [](double degrees) {
        const double c = std::cos(rad(degrees)), s = std::sin(rad(degrees));
        return from_rows({{c, -s, 0}, {s, c, 0}, {0, 0, 1}});
    };
    // Mirror through the line at 60 degrees (between a and b) in the xy plane.
    const double c120 = std::cos(rad(120)), s120 = std::sin(rad(120));
    const Matrix3 mirror = from_rows({{c120, s120, 0}, {s120, -c120, 0}, {0, 0, 1}});

    struct {
        const char* name;
        Matrix3 fractional;
        Matrix3 cartesian;
    } cases[] = {
        {"6-fold (x-y, x, z)", from_rows({{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}), rotation_z(60)},
        {"3-fold (-y, x-y, z)", from_rows({{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}), rotation_z(120)},
        {"mirror (y, x, z)", from_rows({{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}), mirror},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Matrix3 r;
        ASSERT_TRUE(transform_matrix_by_cell(orthogonalisation, c.fractional, r));
        expect_matrix_near(r, c.cartesian, ANGLE_TOLERANCE);
    }
}

TEST(CellGeometry, DegenerateCellsAreRefusedAndLeaveTheMatrixAlone)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct {
        const char* name;
        CellCase cell;
    } cases[] = {
        {"zero length", {0, 5, 5, 90, 90, 90}},
        {"negative length", {5, 5, -5, 90, 90, 90}},
        {"gamma 0 (sin gamma = 0)", {5, 5, 5, 90, 90, 0}},
        {"gamma 180", {5, 5, 5, 90, 90, 180}},
        {"angles 120 120 120 (flat cell)", {5, 5, 5, 120, 120, 120}},
        {"angles 150 150 150 (negative square-root argument)", {5, 5, 5, 150, 150, 150}},
        {"alpha not a number", {5, 5, 5, nan, 90, 90}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UnitCell cell;
        cell.cell_volume = 123;
        OrthogonalisationMatrix orthogonalisation;
        orthogonalisation.matrix = from_rows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
        const Matrix3 before = orthogonalisation.matrix;
        EXPECT_FALSE(build(c.cell, cell, orthogonalisation));
        EXPECT_EQ(orthogonalisation.matrix.v, before.v);
        EXPECT_EQ(cell.cell_volume, 123);
    }
}

TEST(CellGeometry, InverseByCofactors)
{
    // A textbook matrix of determinant 1 with an integer inverse.
    const Matrix3 a = from_rows({{1, 2, 3}, {0, 1, 4}, {5, 6, 0}});
    Matrix3 b;
    ASSERT_TRUE(invert_3x3_matrix(a, b));
    expect_matrix_near(b, from_rows({{-24, 18, 5}, {20, -15, -4}, {-5, 4, 1}}), 1e-12);
}

TEST(CellGeometry, SingularMatricesAreRefused)
{
    const Matrix3 sentinel = from_rows({{9, 9, 9}, {9, 9, 9}, {9, 9, 9}});
    for (const Matrix3& a : {from_rows({{1, 2, 3}, {4, 5, 6}, {5, 7, 9}}),  // row 3 = row 1 + row 2
                             from_rows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}),  // det 0 only up to rounding
                             Matrix3{}}) {
        Matrix3 b = sentinel;
        EXPECT_FALSE(invert_3x3_matrix(a, b));
        EXPECT_EQ(b.v, sentinel.v);
    }
    OrthogonalisationMatrix never_built;  // all zero
    Matrix3 r = sentinel;
    EXPECT_FALSE(transform_matrix_by_cell(never_built, from_rows({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}), r));
    EXPECT_EQ(r.v, sentinel.v);
}
