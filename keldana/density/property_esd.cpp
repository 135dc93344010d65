#include "keldana/density/property_esd.h"

#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/local_frames.h"
#include "keldana/density/pseudoatom_terms.h"
#include "keldana/density/radial_functions.h"
#include "keldana/density/spherical_harmonics.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int VALENCE_POPULATION_KIND = 12;
constexpr int MONOPOLE_POPULATION_KIND = 13;

// Columns: the parent's local axes (`axes`) turned by the image's operator,
// so that the image's density is sum P_lm y_lm(G^T d) with the parent's P_lm.
bool image_frame(const StructureModel& model, const Vector3 (&axes)[3], int parent, int image, Matrix3& frame)
{
    Matrix3 turn;
    turn(1, 1) = turn(2, 2) = turn(3, 3) = 1.0;
    const int operation = image == parent ? 0 : model.images.generating_operator[image];
    const int op = std::abs(operation);
    if (op >= 1 && op <= MAX_SYMMETRY_OPERATORS) {
        const double sign = operation < 0 ? -1.0 : 1.0;
        Matrix3 rotation;
        for (int row = 1; row <= 3; ++row)
            for (int column = 1; column <= 3; ++column)
                rotation(row, column) = sign * model.operators.symop[op][row][column];
        if (!transform_matrix_by_cell(model.orthogonalisation, rotation, turn))
            return false;
    }
    for (int column = 1; column <= 3; ++column)
        for (int row = 1; row <= 3; ++row)
            frame(row, column) = turn(row, 1) * axes[column - 1][0] + turn(row, 2) * axes[column - 1][1]
                                 + turn(row, 3) * axes[column - 1][2];
    return true;
}

// The atom and its images that take part at the point.
struct ImageTerm {
    int atom = 0;
    Vector3 d{};        // point - image, global axes
    Vector3 local{};    // the same in the image's turned local frame
    bool has_frame = false;
};

struct ImageSet {
    int parent = 0;
    int count = 0;
    ImageTerm terms[MAX_IMAGES_PER_ATOM];
};

void collect_images(const StructureModel& model, int parent, const Vector3& point, ImageSet& set)
{
    set.parent = parent;
    set.count = 0;
    const double cutoff = evaluated_settings().rCut;
    const int images = model.images.image_count[parent];
    // The parent's axes are the same for every image: build them once.
    Vector3 axes[3];
    const bool has_axes = get_atom_local_axes(model, parent, axes[0], axes[1], axes[2]);
    for (int j = 1; j <= std::max(images, 1) && j <= MAX_IMAGES_PER_ATOM; ++j) {
        const int w = images < 1 ? parent : model.images.image_list[parent][j];
        if (w < 1 || w > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS) || model.atoms.subset_mask[w] == 0)
            continue;
        ImageTerm& term = set.terms[set.count];
        term.atom = w;
        term.d = {point[0] - model.atoms.cart_x[w], point[1] - model.atoms.cart_y[w],
                  point[2] - model.atoms.cart_z[w]};
        const double r = std::sqrt(term.d[0] * term.d[0] + term.d[1] * term.d[1] + term.d[2] * term.d[2]);
        if (std::max(r, MIN_TERM_RADIUS) > cutoff)
            continue;
        Matrix3 frame;
        term.has_frame = has_axes && image_frame(model, axes, parent, w, frame);
        term.local = term.d;  // the monopole needs no frame
        if (term.has_frame)
            for (int k = 0; k < 3; ++k)
                term.local[k] = frame(1, k + 1) * term.d[0] + frame(2, k + 1) * term.d[1] + frame(3, k + 1) * term.d[2];
        ++set.count;
    }
}

double multipole_derivative(const StructureModel& model, const ImageTerm& term, int l, int m, int code)
{
    const PseudoatomParameters& q = model.pseudoatoms;
    const int w = term.atom;
    if (l > std::min({evaluated_settings().lPole, q.l_max[w], MAX_L}))
        return 0.0;
    if (l > 0 && !term.has_frame)
        return 0.0;
    const Vector3& d = term.local;
    SlaterRadialValues radial;
    const int mode = code == 17 ? 3 : 8;
    if (!evaluate_slater_radial_function(mode, q.radial_n[w][l], q.radial_zeta[w][l], q.kappa_prime[w], d[0], d[1],
                                         d[2], radial))
        return 0.0;
    const double y = evaluate_real_harmonic(l, m, d[0], d[1], d[2]);
    double value = radial.value * y;
    if (code == 18) {
        double first = 0.0, second = 0.0;
        const double r_first[3] = {radial.dx, radial.dy, radial.dz};
        for (int k = 0; k < 3; ++k) {
            first += r_first[k] * evaluate_real_harmonic_first_derivative(l, m, d[0], d[1], d[2], HARMONIC_D_X + k);
            second += evaluate_real_harmonic_second_derivative(l, m, d[0], d[1], d[2], HARMONIC_D_XX + k);
        }
        value = 2.0 * first + (radial.dxx + radial.dyy + radial.dzz) * y + second * radial.value;
    }
    return q.occupancy[w] * value;
}

double valence_derivative(const StructureModel& model, const ImageTerm& term, int code)
{
    const PseudoatomParameters& q = model.pseudoatoms;
    const int w = term.atom;
    const int nv = model.atoms.atomic_number[w] - q.core_electron_count[w];
    if (nv <= 0)
        return 0.0;
    const double density = evaluate_orbital_density_term(code == 17 ? 3 : 8, VALENCE_SET, w, q.kappa[w], term.d[0],
                                                         term.d[1], term.d[2]);
    return q.occupancy[w] * density / nv;
}

double parameter_derivative(const StructureModel& model, const CovarianceMatrix& matrix, int p, const Vector3& point,
                            int code, ImageSet& images)
{
    const int kind = matrix.cov_kind[p];
    const int atom = matrix.cov_atom[p];
    int l = 0, m = 0;
    if (kind != VALENCE_POPULATION_KIND && kind != MONOPOLE_POPULATION_KIND && !map_multipole_index_to_lm(kind, l, m))
        return 0.0;
    if (atom < 1 || atom > std::min(model.atoms.independent_atom_count, MAX_INDEPENDENT_ATOMS))
        return 0.0;
    if (images.parent != atom)
        collect_images(model, atom, point, images);
    double sum = 0.0;
    for (int j = 0; j < images.count; ++j)
        sum += kind == VALENCE_POPULATION_KIND ? valence_derivative(model, images.terms[j], code)
                                               : multipole_derivative(model, images.terms[j], l, m, code);
    return sum;
}

}  // namespace

double evaluate_property_parameter_derivative(const CovarianceMatrix& matrix, int parameter, double x, double y,
                                              double z, int code)
{
    if ((code != 17 && code != 18) || parameter < 1 || parameter > std::min(matrix.cov_order, MAX_COVARIANCE_PARAMETERS))
        return 0.0;
    ImageSet images;
    return parameter_derivative(evaluated_model(), matrix, parameter, {x, y, z}, code, images);
}

double evaluate_property_esd(const CovarianceMatrix& matrix, double x, double y, double z, int code)
{
    if ((code != 17 && code != 18) || matrix.esd_available != 1)
        return 0.0;
    const StructureModel& model = evaluated_model();
    const int n = std::clamp(matrix.cov_order, 0, MAX_COVARIANCE_PARAMETERS);
    ImageSet images;
    int used[MAX_COVARIANCE_PARAMETERS];
    double derivative[MAX_COVARIANCE_PARAMETERS];
    int count = 0;
    for (int p = 1; p <= n; ++p) {
        const double d = parameter_derivative(model, matrix, p, {x, y, z}, code, images);
        if (d != 0.0) {
            used[count] = p;
            derivative[count++] = d;
        }
    }
    double variance = 0.0;
    for (int a = 0; a < count; ++a) {
        variance += derivative[a] * derivative[a] * matrix.cov_at(used[a], used[a]);
        for (int b = a + 1; b < count; ++b)
            variance += 2.0 * derivative[a] * matrix.cov_at(used[a], used[b]) * derivative[b];
    }
    // A matrix that is not positive definite can give a negative sum.
    return std::sqrt(std::max(variance, 0.0)) * matrix.cov_scale;
}

double evaluate_property_esd(double x, double y, double z, int code)
{
    return evaluate_property_esd(evaluated_covariance(), x, y, z, code);
}
