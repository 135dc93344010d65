#include "keldana/topology/cluster_edge.h"

#include "keldana/density/property_evaluation.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/model_store.h"
#include "keldana/model/symmetry_cluster.h"

#include <algorithm>
#include <cmath>

namespace {

// Lattice translations tried along one axis at most; a reach wider than
// this many cells is taken as not held (a cell far smaller than any atom).
constexpr double MAX_TRANSLATIONS_PER_AXIS = 200;

constexpr int NUCLEAR_POTENTIAL_CODE = 16;
constexpr int ESFED_CODE = 22;
constexpr int EPOT_CODE = 23;

// Sums of terms cut at each atom's radius; the potentials are lattice sums.
bool has_finite_reach(int code)
{
    return code != NUCLEAR_POTENTIAL_CODE && code != ESFED_CODE && code != EPOT_CODE;
}

Vector3 to_cartesian(const OrthogonalisationMatrix& m, const Vector3& f)
{
    Vector3 c{};
    convert_fractional_to_cartesian(m, f[0], f[1], f[2], c[0], c[1], c[2]);
    return c;
}

bool is_held(const ClusterReach& reach, const Vector3& site, int atomic_number)
{
    constexpr double limit = CLUSTER_SITE_TOLERANCE * CLUSTER_SITE_TOLERANCE;
    return std::any_of(reach.held.begin(), reach.held.end(), [&](const ClusterReach::Atom& atom) {
        const Vector3 d = vector_difference(atom.position, site);
        return atom.atomic_number == atomic_number && d[0] * d[0] + d[1] * d[1] + d[2] * d[2] < limit;
    });
}

}  // namespace

ClusterReach prepare_cluster_reach(int code)
{
    ClusterReach reach;
    const StructureModel& model = current_model();
    const WorkingAtomSet& atoms = model.atoms;
    const int n = std::min(atoms.atom_count, MAX_WORKING_ATOMS);
    const int independent = std::min(atoms.independent_atom_count, n);
    reach.applies = has_finite_reach(code) && independent > 0;
    if (!reach.applies)
        return reach;
    reach.orthogonalisation = model.orthogonalisation;
    // Row i of the inverse orthogonalisation is a*_i: the fractional
    // coordinates of the Cartesian unit vectors are its columns.
    std::array<Vector3, 3> columns{};
    for (int j = 0; j < 3; ++j) {
        Vector3 unit{};
        unit[j] = 1.0;
        convert_cartesian_to_fractional(model.orthogonalisation, unit[0], unit[1], unit[2], columns[j][0],
                                        columns[j][1], columns[j][2]);
    }
    for (int i = 0; i < 3; ++i)
        reach.reciprocal_lengths[i] = std::hypot(columns[0][i], columns[1][i], columns[2][i]);

    for (int k = 1; k <= n; ++k)
        if (atoms.subset_mask[k] != 0)
            reach.held.push_back({working_atom_position(atoms, k), atoms.atomic_number[k]});

    const SymmetryOperators& operators = model.operators;
    const std::vector<Vector3> centring = centring_vectors(model.space_group.lattice_type);
    for (int a = 1; a <= independent; ++a) {
        // An image has its parent's terms; the widest of them counts.
        double radius = density_term_radius(a);
        for (int j = 2; a <= MAX_INDEPENDENT_ATOMS && j <= model.images.image_count[a] && j <= MAX_IMAGES_PER_ATOM;
             ++j)
            radius = std::max(radius, density_term_radius(model.images.image_list[a][j]));
        const Vector3 x{atoms.frac_x[a], atoms.frac_y[a], atoms.frac_z[a]};
        // Without operators the atom itself and its lattice images.
        const int count = std::clamp(operators.symop_count, 1, MAX_SYMMETRY_OPERATORS);
        for (int o = 1; o <= count; ++o)
            for (const Vector3& g : centring) {
                ClusterReach::Site site;
                site.radius = radius;
                site.atomic_number = atoms.atomic_number[a];
                const auto& s = operators.symop[o];
                for (int row = 1; row <= 3; ++row)
                    site.fractional[row - 1] =
                        operators.symop_count > 0
                            ? s[row][1] * x[0] + s[row][2] * x[1] + s[row][3] * x[2] + s[row][4] + g[row - 1]
                            : x[row - 1] + g[row - 1];
                reach.images.push_back(site);
            }
    }
    return reach;
}

bool cluster_holds_reach(const ClusterReach& reach, const Vector3& point)
{
    if (!reach.applies)
        return true;
    Vector3 pf{};
    convert_cartesian_to_fractional(reach.orthogonalisation, point[0], point[1], point[2], pf[0], pf[1], pf[2]);
    for (const ClusterReach::Site& site : reach.images) {
        // |fractional difference along i| <= radius |a*_i| for every image within reach.
        std::array<double, 3> low{}, high{};
        for (int i = 0; i < 3; ++i) {
            const double centre = pf[i] - site.fractional[i];
            const double half = site.radius * reach.reciprocal_lengths[i];
            if (!std::isfinite(centre) || !std::isfinite(half) || half > MAX_TRANSLATIONS_PER_AXIS)
                return false;
            low[i] = std::ceil(centre - half);
            high[i] = std::floor(centre + half);
        }
        for (double t1 = low[0]; t1 <= high[0]; ++t1)
            for (double t2 = low[1]; t2 <= high[1]; ++t2)
                for (double t3 = low[2]; t3 <= high[2]; ++t3) {
                    const Vector3 image = to_cartesian(
                        reach.orthogonalisation,
                        {site.fractional[0] + t1, site.fractional[1] + t2, site.fractional[2] + t3});
                    if (point_distance(image, point) <= site.radius && !is_held(reach, image, site.atomic_number))
                        return false;
                }
    }
    return true;
}
