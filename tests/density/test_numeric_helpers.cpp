#include "keldana/density/numeric_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(FactorialTable, HoldsExactFactorialsUpTo20)
{
    FactorialTable table;
    table.f.fill(-1.0);
    ASSERT_TRUE(build_factorial_table(table, 20));
    EXPECT_EQ(table(0), 1.0);
    EXPECT_EQ(table(1), 1.0);
    EXPECT_EQ(table(5), 120.0);
    EXPECT_EQ(table(20), 2432902008176640000.0);
}

TEST(FactorialTable, FreshTableIsCompleteAndOversizeRequestIsRefused)
{
    FactorialTable table;
    EXPECT_EQ(table(20), 2432902008176640000.0);
    table.f[20] = -1.0;
    EXPECT_FALSE(build_factorial_table(table, 21));
    EXPECT_FALSE(build_factorial_table(table, -1));
    EXPECT_EQ(table(20), -1.0);
}

TEST(NumericHelpers, DistanceAndKroneckerDelta)
{
    EXPECT_DOUBLE_EQ(compute_distance(1, 2, 3, 4, 6, 3), 5.0);
    EXPECT_EQ(compute_kronecker_delta(3, 3), 1.0);
    EXPECT_EQ(compute_kronecker_delta(3, -3), 0.0);
}

TEST(NumericHelpers, CriticalPointTypeFromEigenvalueSigns)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::array<double, 3> lambda;
        int type;
    };
    const Case cases[] = {
        {{-3, -2, -1}, 1},  {{-3, -2, 1}, 2},   {{-3, 2, 5}, 3},  {{1, 2, 3}, 4},
        {{-1e-30, -1e-30, 1e-30}, 2},
        // Degenerate points have no rank-3 type.
        {{-1, 0, 1}, 0},    {{-2, -1, 0}, 0},   {{0, 0, 0}, 0},   {{-1, nan, 1}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classify_critical_point(c.lambda), c.type)
            << c.lambda[0] << " " << c.lambda[1] << " " << c.lambda[2];
}

TEST(NumericHelpers, RowVectorsAreReplacedByTheRowsOfTheInverse)
{
    const Vector3 a0{2, 1, 0}, b0{0, 3, 1}, c0{1, 0, 4};
    Vector3 a = a0, b = b0, c = c0;
    ASSERT_TRUE(invert_3x3_row_vectors(a, b, c));
    // Rows of A times columns of A^-1 give the identity.
    const Vector3 rows[3] = {a0, b0, c0};
    const Vector3 inverse_rows[3] = {a, b, c};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double sum = 0;
            for (int k = 0; k < 3; ++k)
                sum += rows[i][k] * inverse_rows[k][j];
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-14);
        }
}

TEST(NumericHelpers, SingularMatricesAreRefusedUnchanged)
{
    Vector3 a{1, 2, 3}, b{2, 4, 6}, c{0, 1, 0};
    EXPECT_FALSE(invert_3x3_row_vectors(a, b, c));
    EXPECT_EQ(a, (Vector3{1, 2, 3}));
    EXPECT_EQ(b, (Vector3{2, 4, 6}));

    Matrix3 zero;
    EXPECT_FALSE(invert_3x3_matrix_keep_copy(zero));
    EXPECT_EQ(zero.v, Matrix3{}.v);

    Matrix3 m;
    m(1, 1) = 2;
    m(2, 2) = 4;
    m(3, 3) = 0.5;
    m(1, 3) = 1;
    ASSERT_TRUE(invert_3x3_matrix_keep_copy(m));
    EXPECT_DOUBLE_EQ(m(1, 1), 0.5);
    EXPECT_DOUBLE_EQ(m(2, 2), 0.25);
    EXPECT_DOUBLE_EQ(m(3, 3), 2.0);
    EXPECT_DOUBLE_EQ(m(1, 3), -1.0);  // [[2,0,1],[0,4,0],[0,0,.5]]^-1
}
