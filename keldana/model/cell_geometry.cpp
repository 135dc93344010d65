#include "keldana/model/cell_geometry.h"

#include <cmath>

namespace {

// Squared volume of the cell of unit edges below which the cell counts as
// flat: V < 0.001 a b c, flatter than any crystal cell.  The nine-digit
// DEG_TO_RAD alone lifts a flat cell such as 120, 120, 120 degrees to
// 1e-4 a b c, so the bound must lie well above that.  The square-root argument
// is at most sin^2 gamma, so the bound also keeps sin gamma away from 0.
constexpr double MIN_REDUCED_VOLUME_SQUARED = 1e-6;

// |det A| relative to the product of its column lengths (Hadamard's bound)
// below which a matrix counts as singular.
constexpr double MIN_RELATIVE_DETERMINANT = 1e-12;

double column_length(const Matrix3& a, int column)
{
    return std::sqrt(a(1, column) * a(1, column) + a(2, column) * a(2, column) + a(3, column) * a(3, column));
}

}  // namespace

void convert_fractional_to_cartesian(const OrthogonalisationMatrix& orthogonalisation, double xf, double yf,
                                     double zf, double& x, double& y, double& z)
{
    const Matrix3& m = orthogonalisation.matrix;
    x = m(1, 1) * xf + m(1, 2) * yf + m(1, 3) * zf;
    y = m(2, 1) * xf + m(2, 2) * yf + m(2, 3) * zf;
    z = m(3, 1) * xf + m(3, 2) * yf + m(3, 3) * zf;
}

void convert_cartesian_to_fractional(const OrthogonalisationMatrix& orthogonalisation, double x, double y,
                                     double z, double& xf, double& yf, double& zf)
{
    const Matrix3& m = orthogonalisation.matrix;
    double fz = z / m(3, 3);
    double fy = (y - m(2, 3) * fz) / m(2, 2);
    double fx = (x - m(1, 2) * fy - m(1, 3) * fz) / m(1, 1);
    xf = fx;
    yf = fy;
    zf = fz;
}

bool build_orthogonalisation_matrix(double alpha, double beta, double gamma, UnitCell& cell,
                                    OrthogonalisationMatrix& orthogonalisation)
{
    const double a = cell.cell_a, b = cell.cell_b, c = cell.cell_c;
    if (!(a > 0 && b > 0 && c > 0) || !std::isfinite(a * b * c))
        return false;
    const double ca = std::cos(alpha), cb = std::cos(beta), cg = std::cos(gamma), sg = std::sin(gamma);
    const double reduced_volume_squared = 1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg;
    // Written so that a NaN angle is refused as well.
    if (!(reduced_volume_squared > MIN_REDUCED_VOLUME_SQUARED) || !(sg > 0))
        return false;
    const double reduced_volume = std::sqrt(reduced_volume_squared);

    Matrix3 m;
    m(1, 1) = a;
    m(1, 2) = b * cg;
    m(1, 3) = c * cb;
    m(2, 1) = 0;
    m(2, 2) = b * sg;
    m(2, 3) = c * (ca - cb * cg) / sg;
    m(3, 1) = 0;
    m(3, 2) = 0;
    m(3, 3) = c * reduced_volume / sg;
    orthogonalisation.matrix = m;
    cell.cell_volume = a * b * c * reduced_volume;
    return true;
}

bool invert_3x3_matrix(const Matrix3& a, Matrix3& b)
{
    // Cofactors C(i, j); the inverse is the transposed cofactor matrix / det.
    auto cofactor = [&a](int i, int j) {
        const int r1 = i == 1 ? 2 : 1, r2 = i == 3 ? 2 : 3;
        const int c1 = j == 1 ? 2 : 1, c2 = j == 3 ? 2 : 3;
        const double minor = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
        return (i + j) % 2 == 0 ? minor : -minor;
    };
    const double det = a(1, 1) * cofactor(1, 1) + a(2, 1) * cofactor(2, 1) + a(3, 1) * cofactor(3, 1);
    const double bound = column_length(a, 1) * column_length(a, 2) * column_length(a, 3);
    if (!std::isfinite(det) || !(std::fabs(det) > MIN_RELATIVE_DETERMINANT * bound))
        return false;
    Matrix3 inverse;
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            inverse(i, j) = cofactor(j, i) / det;
    b = inverse;
    return true;
}

bool transform_matrix_by_cell(const OrthogonalisationMatrix& orthogonalisation, const Matrix3& a, Matrix3& r)
{
    const Matrix3& m = orthogonalisation.matrix;
    Matrix3 m_inverse;
    if (!invert_3x3_matrix(m, m_inverse))
        return false;
    Matrix3 ma;
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            ma(i, j) = m(i, 1) * a(1, j) + m(i, 2) * a(2, j) + m(i, 3) * a(3, j);
    Matrix3 result;
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            result(i, j) = ma(i, 1) * m_inverse(1, j) + ma(i, 2) * m_inverse(2, j) + ma(i, 3) * m_inverse(3, j);
    r = result;
    return true;
}
