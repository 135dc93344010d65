#include "keldana/density/numeric_helpers.h"

#include "keldana/model/cell_geometry.h"

#include <cmath>

FactorialTable::FactorialTable()
{
    build_factorial_table(*this, MAX_FACTORIAL);
}

FactorialTable& factorial_table()
{
    static FactorialTable table;
    return table;
}

bool build_factorial_table(FactorialTable& table, int n)
{
    if (n < 0 || n > MAX_FACTORIAL)
        return false;
    table.f[0] = 1.0;
    for (int k = 1; k <= n; ++k)
        table.f[k] = k * table.f[k - 1];
    return true;
}

double compute_distance(double x1, double y1, double z1, double x2, double y2, double z2)
{
    return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2) + (z1 - z2) * (z1 - z2));
}

double compute_kronecker_delta(int i, int j)
{
    return i == j ? 1.0 : 0.0;
}

int classify_critical_point(const std::array<double, 3>& lambda)
{
    for (double value : lambda)
        if (!std::isfinite(value) || value == 0.0)
            return 0;
    // Without zeros the type is the count of positive curvatures, whatever the order.
    int positive = 0;
    for (double value : lambda)
        if (value > 0.0)
            ++positive;
    return positive + 1;
}

bool invert_3x3_row_vectors(Vector3& a, Vector3& b, Vector3& c)
{
    Matrix3 m;
    for (int column = 1; column <= 3; ++column) {
        m(1, column) = a[column - 1];
        m(2, column) = b[column - 1];
        m(3, column) = c[column - 1];
    }
    if (!invert_3x3_matrix_keep_copy(m))
        return false;
    for (int column = 1; column <= 3; ++column) {
        a[column - 1] = m(1, column);
        b[column - 1] = m(2, column);
        c[column - 1] = m(3, column);
    }
    return true;
}

bool invert_3x3_matrix_keep_copy(Matrix3& m)
{
    Matrix3 inverse;
    if (!invert_3x3_matrix(m, inverse))
        return false;
    m = inverse;
    return true;
}
