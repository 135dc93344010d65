#include "keldana/model/symmetry_cluster.h"

#include "common/fortran_format.h"
#include "common/file_units.h"
#include "common/user_interface.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/cluster_files.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double HANDEDNESS_TOLERANCE = 1e-5;
constexpr double TRANSLATION_FRACTION_TOLERANCE = 1e-4;
// Fractions a lattice translation plus centring may have.
constexpr std::array<double, 8> ALLOWED_TRANSLATION_FRACTIONS = {0.0, 0.5, 0.33333, 0.66667,
                                                                 0.25, 0.75, 0.16667, 0.83333};
// Beyond this a "translation" is no cluster translation but corrupt input, and
// its images would overflow the coordinates.
constexpr double MAX_TRANSLATION = 1.0e6;
constexpr double SPECIAL_POSITION_TOLERANCE = 0.001;  // sum of squared fractional differences
constexpr int TRANSLATION_RANGE = 3;
constexpr double FIRST_SHELL_START = 0.1;  // Angstrom
constexpr double FIRST_SHELL_END = 1.5;
constexpr double SHELL_WIDTH = 0.5;

ClusterServices services;

void show_error(const std::string& text)
{
    ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::warning);
}

void write_listing_records(std::string_view format, std::initializer_list<FortranValue> values)
{
    for (const std::string& record : format_records(format, values))
        write_listing_line(record);
}

Vector3 fractional_position(const WorkingAtomSet& atoms, int k)
{
    return {atoms.frac_x[k], atoms.frac_y[k], atoms.frac_z[k]};
}

Vector3 cartesian_of(const OrthogonalisationMatrix& m, const Vector3& f)
{
    Vector3 c{};
    convert_fractional_to_cartesian(m, f[0], f[1], f[2], c[0], c[1], c[2]);
    return c;
}

double distance(const Vector3& a, const Vector3& b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// R(o) f + t(o) + translation, with the rotated part negated for sign -1.
Vector3 apply_operator(const SymmetryOperators& operators, int op, int sign, const Vector3& f, const Vector3& shift)
{
    const auto& s = operators.symop[op];
    Vector3 p{};
    for (int row = 1; row <= 3; ++row) {
        const double rotated = s[row][1] * f[0] + s[row][2] * f[1] + s[row][3] * f[2];
        p[row - 1] = sign * rotated + s[row][4] + shift[row - 1];
    }
    return p;
}

bool is_allowed_translation(double t)
{
    if (!std::isfinite(t) || std::fabs(t) >= MAX_TRANSLATION)
        return false;
    const double f = std::fabs(t - std::trunc(t));
    double nearest = 1.0;
    for (double allowed : ALLOWED_TRANSLATION_FRACTIONS)
        nearest = std::min(nearest, std::fabs(f - allowed));
    return nearest < TRANSLATION_FRACTION_TOLERANCE;
}

// The images a list makes, worked out before anything of the model changes.
struct PlannedImage {
    int parent = 0;
    int operation = 0;
    Vector3 fractional{};
};

struct ImagePlan {
    std::vector<PlannedImage> images;
    PerIndependentAtom<int> image_count{};
};

bool plan_images(const StructureModel& model, const SymmetryApplicationList& list, bool warn, ImagePlan& plan)
{
    const WorkingAtomSet& atoms = model.atoms;
    const int nind = atoms.independent_atom_count;
    const int dummy_count = model.dummies.dummy_count;
    if (nind < 0 || nind > MAX_INDEPENDENT_ATOMS || dummy_count < 0 || nind + dummy_count > MAX_WORKING_ATOMS) {
        show_error("The atom list can not take a cluster: too many independent or dummy atoms.");
        return false;
    }
    if (list.entry_count < 0 || list.entry_count > MAX_SYMMETRY_APPLICATIONS) {
        show_error("Too many entries in the cluster list: it holds at most " +
                   std::to_string(MAX_SYMMETRY_APPLICATIONS) + ".");
        return false;
    }

    // Sites taken so far, Cartesian: the independent atoms, then each image.
    std::vector<Vector3> sites;
    for (int a = 1; a <= nind; ++a)
        sites.push_back(cartesian_of(model.orthogonalisation, fractional_position(atoms, a)));
    ImagePlan result;
    for (int a = 1; a <= nind; ++a)
        result.image_count[a] = 1;

    for (int e = 1; e <= list.entry_count; ++e) {
        const int operation = list.operation[e];
        if (operation == 0)
            continue;
        const int sign = operation < 0 ? -1 : 1;
        if (std::abs(static_cast<long long>(operation)) > model.operators.symop_count) {
            show_error("Entry " + std::to_string(e) + " of the cluster list uses symmetry operation " +
                       std::to_string(operation) + ", but there are only " +
                       std::to_string(model.operators.symop_count) + " operators.");
            return false;
        }
        const Vector3 shift = {list.translation[e][1], list.translation[e][2], list.translation[e][3]};
        for (double t : shift)
            if (!is_allowed_translation(t)) {
                show_error(" Lattice translations are not correct!");
                return false;
            }
        const int first = list.first_atom[e], last = list.last_atom[e];
        if (last >= first && (first < 1 || last > nind)) {
            show_error("Entry " + std::to_string(e) + " of the cluster list applies to atoms " +
                       std::to_string(first) + " to " + std::to_string(last) + ", but there are " +
                       std::to_string(nind) + " independent atoms.");
            return false;
        }
        const int op = std::abs(operation);
        for (int a = first; a <= last; ++a) {
            const Vector3 parent = fractional_position(atoms, a);
            PlannedImage image{a, operation, apply_operator(model.operators, op, sign, parent, shift)};
            double squared = 0;
            for (int i = 0; i < 3; ++i)
                squared += (image.fractional[i] - parent[i]) * (image.fractional[i] - parent[i]);
            if (squared < SPECIAL_POSITION_TOLERANCE) {
                if (warn)
                    ui().message_box(format_line("(' atom ',A8,' is in a special position')", {atoms.atom_label[a]}),
                                     "Warning", MessageButtons::ok, MessageIcon::warning);
                continue;
            }
            const Vector3 site = cartesian_of(model.orthogonalisation, image.fractional);
            if (std::any_of(sites.begin(), sites.end(),
                            [&site](const Vector3& taken) { return distance(site, taken) < DUPLICATE_DISTANCE; }))
                continue;
            if (nind + static_cast<int>(result.images.size()) + 1 + dummy_count > MAX_WORKING_ATOMS) {
                show_error("Too many atoms in the cluster: the atom list holds at most " +
                           std::to_string(MAX_WORKING_ATOMS) + " atoms, dummy atoms included.");
                return false;
            }
            if (result.image_count[a] + 1 > MAX_IMAGES_PER_ATOM) {
                show_error("Too many images of atom " + text_field_string(atoms.atom_label[a]) + ": at most " +
                           std::to_string(MAX_IMAGES_PER_ATOM - 1) + " an atom.");
                return false;
            }
            ++result.image_count[a];
            sites.push_back(site);
            result.images.push_back(image);
        }
    }
    plan = std::move(result);
    return true;
}

}  // namespace

std::vector<Vector3> centring_vectors(int lattice_type)
{
    std::vector<Vector3> vectors = {{0.0, 0.0, 0.0}};
    switch (lattice_type) {
    case 2: vectors.push_back({0.0, 0.5, 0.5}); break;
    case 3: vectors.push_back({0.5, 0.0, 0.5}); break;
    case 4: vectors.push_back({0.5, 0.5, 0.0}); break;
    case 5:
        vectors.push_back({0.0, 0.5, 0.5});
        vectors.push_back({0.5, 0.0, 0.5});
        vectors.push_back({0.5, 0.5, 0.0});
        break;
    case 6: vectors.push_back({0.5, 0.5, 0.5}); break;
    case 7:
        vectors.push_back({0.6666667, 0.3333333, 0.3333333});
        vectors.push_back({0.3333333, 0.6666667, 0.6666667});
        break;
    default: break;
    }
    return vectors;
}

ClusterServices& cluster_services() { return services; }

char get_axes_handedness(const Vector3& x, const Vector3& y, const Vector3& z)
{
    const Vector3 cross = {x[1] * y[2] - x[2] * y[1], x[2] * y[0] - x[0] * y[2], x[0] * y[1] - x[1] * y[0]};
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(cross[i] - z[i]) <= HANDEDNESS_TOLERANCE))
            return 'L';
    return 'R';
}

void negate_populations_under_reflection(MultipolePopulations& populations, int axis)
{
    struct Term {
        int l, m;
    };
    static const std::vector<Term> odd_in_x = {{1, 1}, {2, -2}, {2, 1}, {3, -2}, {3, 1},
                                               {3, 3}, {4, -4}, {4, -2}, {4, 1}, {4, 3}};
    static const std::vector<Term> odd_in_y = {{1, -1}, {2, -2}, {2, -1}, {3, -3}, {3, -2},
                                               {3, -1}, {4, -4}, {4, -3}, {4, -2}, {4, -1}};
    static const std::vector<Term> odd_in_z = {{1, 0}, {2, -1}, {2, 1}, {3, -2}, {3, 0},
                                               {3, 2}, {4, -3}, {4, -1}, {4, 1}, {4, 3}};
    const std::vector<Term>& terms = axis == 1 ? odd_in_x : axis == 2 ? odd_in_y : odd_in_z;
    for (const Term& term : terms)
        populations(term.l, term.m) = -populations(term.l, term.m);
}

void generate_cluster_images(StructureModel& model, double radius, const Vector3& centre,
                             const std::array<double, 6>& box, int lattice_type, int kind)
{
    SymmetryApplicationList& list = model.applications;
    list.entry_count = 0;
    const WorkingAtomSet& atoms = model.atoms;
    const int nind = std::clamp(atoms.independent_atom_count, 0, MAX_INDEPENDENT_ATOMS);
    const int dummy_count = std::max(0, model.dummies.dummy_count);
    const int symop_count = std::clamp(model.operators.symop_count, 0, MAX_SYMMETRY_OPERATORS);
    const std::vector<Vector3> centring = centring_vectors(lattice_type);
    const bool sphere = kind != CLUSTER_IN_BOX;

    // Candidates are kept here, not in the atom table, so the atoms and the
    // image map stay as they are until a list is applied.  The list will be
    // applied from the independent atoms, so they are the sites to avoid.
    std::vector<Vector3> sites;
    for (int a = 1; a <= nind; ++a)
        sites.push_back(cartesian_of(model.orthogonalisation, fractional_position(atoms, a)));
    PerIndependentAtom<int> images_made{};

    if (sphere && radius <= FIRST_SHELL_START)
        return;
    double r0 = FIRST_SHELL_START;
    double r1 = std::min(FIRST_SHELL_END, radius);
    for (;;) {
        for (int t1 = TRANSLATION_RANGE; t1 >= -TRANSLATION_RANGE; --t1)
            for (int t2 = TRANSLATION_RANGE; t2 >= -TRANSLATION_RANGE; --t2)
                for (int t3 = TRANSLATION_RANGE; t3 >= -TRANSLATION_RANGE; --t3)
                    for (const Vector3& g : centring)
                        for (int op = 1; op <= symop_count; ++op)
                            for (int a = 1; a <= nind; ++a) {
                                if (nind + list.entry_count + 1 + dummy_count > MAX_WORKING_ATOMS)
                                    return;
                                if (images_made[a] >= MAX_GENERATED_IMAGES_PER_ATOM)
                                    continue;
                                const Vector3 shift = {t1 + g[0], t2 + g[1], t3 + g[2]};
                                const Vector3 p =
                                    apply_operator(model.operators, op, 1, fractional_position(atoms, a), shift);
                                if (!sphere && !(box[0] <= p[0] && p[0] <= box[1] && box[2] <= p[1] &&
                                                 p[1] <= box[3] && box[4] <= p[2] && p[2] <= box[5]))
                                    continue;
                                const Vector3 site = cartesian_of(model.orthogonalisation, p);
                                if (sphere) {
                                    const double d = distance(site, centre);
                                    if (!(r0 < d && d <= r1))
                                        continue;
                                }
                                if (std::any_of(sites.begin(), sites.end(), [&site](const Vector3& taken) {
                                        return distance(site, taken) < DUPLICATE_DISTANCE;
                                    }))
                                    continue;
                                sites.push_back(site);
                                ++images_made[a];
                                const int e = ++list.entry_count;
                                list.operation[e] = op;
                                list.translation[e] = {0.0, shift[0], shift[1], shift[2]};
                                list.first_atom[e] = a;
                                list.last_atom[e] = a;
                            }
        if (!sphere)
            return;
        r0 = r1;
        r1 = r1 + SHELL_WIDTH;
        if (radius <= r0)
            return;
        if (radius <= r1)
            r1 = radius;
    }
}

bool check_symmetry_application_list(const StructureModel& model, const SymmetryApplicationList& list)
{
    ImagePlan plan;
    return plan_images(model, list, false, plan);
}

namespace {

bool apply_list(StructureModel& model, bool warn)
{
    ImagePlan plan;
    if (!plan_images(model, model.applications, warn, plan))
        return false;
    WorkingAtomSet& atoms = model.atoms;
    SymmetryImageMap& map = model.images;
    const int nind = atoms.independent_atom_count;
    for (int a = 1; a <= nind; ++a) {
        map.image_count[a] = 1;
        map.image_list[a][1] = a;
    }
    int n = nind;
    for (const PlannedImage& image : plan.images) {
        const int k = ++n;
        const int a = image.parent;
        map.image_list[a][++map.image_count[a]] = k;
        atoms.frac_x[k] = image.fractional[0];
        atoms.frac_y[k] = image.fractional[1];
        atoms.frac_z[k] = image.fractional[2];
        // Label: the parent's first six characters and the operation (I2).
        AtomLabel label = blank_text<8>();
        std::copy_n(atoms.atom_label[a].begin(), 6, label.begin());
        const std::string number = format_line("(I2)", {image.operation});
        std::copy_n(number.begin(), std::min<std::size_t>(2, number.size()), label.begin() + 6);
        atoms.atom_label[k] = label;
        atoms.atomic_number[k] = atoms.atomic_number[a];
        map.parent_atom[k] = a;
        map.generating_operator[k] = image.operation;
    }
    atoms.atom_count = n;
    return true;
}

}  // namespace

bool apply_symmetry_application_list(StructureModel& model) { return apply_list(model, true); }

void build_bond_list(const StructureModel& model, int atom_count)
{
    if (cluster_services().build_bond_list)
        cluster_services().build_bond_list(model, atom_count);
}

namespace {

Matrix3 operator_rotation(const SymmetryOperators& operators, int operation)
{
    const int op = std::abs(operation);
    const double sign = operation < 0 ? -1.0 : 1.0;
    Matrix3 r;
    for (int row = 1; row <= 3; ++row)
        for (int column = 1; column <= 3; ++column)
            r(row, column) = sign * operators.symop[op][row][column];
    return r;
}

Vector3 multiply(const Matrix3& m, const Vector3& v)
{
    Vector3 r{};
    for (int row = 1; row <= 3; ++row)
        r[row - 1] = m(row, 1) * v[0] + m(row, 2) * v[1] + m(row, 3) * v[2];
    return r;
}

bool build_local_axes(const StructureModel& model, int atom, Vector3& ex, Vector3& ey, Vector3& ez)
{
    if (!services.build_atom_local_axes || !services.rotate_populations) {
        show_error("The local coordinate systems of the atoms can not be built in this program.");
        return false;
    }
    if (!services.build_atom_local_axes(model, atom, ex, ey, ez)) {
        show_error("The local coordinate system of atom " + text_field_string(model.atoms.atom_label[atom]) +
                   " can not be built.");
        return false;
    }
    return true;
}

bool rotate_populations(const StructureModel& model, int parent, MultipolePopulations& populations,
                        const Vector3& ex, const Vector3& ey, const Vector3& ez, int l_max)
{
    if (services.rotate_populations(populations, ex, ey, ez, l_max))
        return true;
    show_error("The populations of the images of atom " + text_field_string(model.atoms.atom_label[parent]) +
               " can not be rotated.");
    return false;
}

// Dummy references of the independent atoms follow the dummies to their
// slots after the N atoms.
void rebase_frame_atoms(StructureModel& model, bool listing)
{
    const int nind = model.atoms.independent_atom_count;
    const int n = model.atoms.atom_count;
    LocalAxisDefinitions& axes = model.local_axes;
    for (int i = 1; i <= nind; ++i) {
        const int loaded_1 = axes.loaded_frame_atom_1[i];
        if (std::abs(loaded_1) > nind) {
            const int sign = axes.frame_atom_1[i] < 0 ? -1 : 1;
            axes.frame_atom_1[i] = sign * (std::abs(loaded_1) - nind + n);
        }
        if (axes.loaded_frame_atom_2[i] > nind)
            axes.frame_atom_2[i] = axes.loaded_frame_atom_2[i] - nind + n;
        if (axes.loaded_frame_atom_3[i] > nind)
            axes.frame_atom_3[i] = axes.loaded_frame_atom_3[i] - nind + n;
        if (listing)
            write_listing_line(
                format_line("*", {"New axes=", axes.frame_atom_1[i], axes.frame_atom_2[i], axes.frame_atom_3[i]}));
    }
}

// Image k takes over its parent's pseudoatom: type, radial functions,
// populations as given in the parent's frame and the parent's frame itself.
void copy_parent_parameters(StructureModel& model, int k, int p)
{
    PseudoatomParameters& q = model.pseudoatoms;
    LocalAxisDefinitions& axes = model.local_axes;
    model.atoms.atom_type_index[k] = model.atoms.atom_type_index[p];
    model.atoms.site_weight[k] = 1.0;
    q.l_max[k] = q.l_max[p];
    q.valence_population[k] = q.valence_population[p];
    q.core_electron_count[k] = q.core_electron_count[p];
    q.occupancy[k] = q.occupancy[p];
    q.kappa[k] = q.kappa[p];
    q.kappa_prime[k] = q.kappa_prime[p];
    q.radial_n[k] = q.radial_n[p];
    q.radial_zeta[k] = q.radial_zeta[p];
    axes.frame_atom_1[k] = std::abs(axes.frame_atom_1[p]);
    axes.frame_atom_2[k] = axes.frame_atom_2[p];
    axes.frame_atom_3[k] = axes.frame_atom_3[p];
    axes.frame_axis_1[k] = axes.frame_axis_1[p];
    axes.frame_axis_2[k] = axes.frame_axis_2[p];
    axes.frame_axis_letter_1[k] = axes.frame_axis_letter_1[p];
    axes.frame_axis_letter_2[k] = axes.frame_axis_letter_2[p];
    const int l_max = std::clamp(q.l_max[p], 0, MAX_L);
    q.multipole_population[k] = MultipolePopulations{};
    for (int l = 0; l <= l_max; ++l)
        for (int m = -l; m <= l; ++m)
            q.multipole_population[k](l, m) = q.multipole_population[p](l, m);
}

// The image's density is its parent's carried by the operator: the parent's
// frame turned by the same (possibly improper) rotation in Cartesian axes
// carries the parent's local populations.  A left-handed result is made
// right-handed by inverting it, which flips the populations of odd l.
bool build_image_global_populations(StructureModel& model, int k, char& letter)
{
    const int p = model.images.parent_atom[k];
    const int l_max = std::clamp(model.pseudoatoms.l_max[k], 0, MAX_L);
    MultipolePopulations t;
    for (int l = 0; l <= l_max; ++l)
        for (int m = -l; m <= l; ++m)
            t(l, m) = model.pseudoatoms.multipole_population[p](l, m);
    letter = ' ';
    if (l_max > 0) {
        Matrix3 rc;
        if (!transform_matrix_by_cell(model.orthogonalisation,
                                      operator_rotation(model.operators, model.images.generating_operator[k]), rc)) {
            show_error("The unit cell can not carry the symmetry operators.");
            return false;
        }
        Vector3 x, y, z;
        if (!build_local_axes(model, p, x, y, z))
            return false;
        Vector3 xi = multiply(rc, x), yi = multiply(rc, y), zi = multiply(rc, z);
        letter = get_axes_handedness(xi, yi, zi);
        if (letter == 'L') {
            for (Vector3* axis : {&xi, &yi, &zi})
                for (double& c : *axis)
                    c = -c;
            for (int l = 1; l <= l_max; l += 2)
                for (int m = -l; m <= l; ++m)
                    t(l, m) = -t(l, m);
        }
        if (!rotate_populations(model, p, t, xi, yi, zi, l_max))
            return false;
    }
    model.global_populations.population[k] = t;
    return true;
}

// The image's global populations expressed in its parent's frame, which is
// the frame the evaluator uses for the image: rotate by the inverse of the
// parent's right-handed frame, then mirror as the parent's frame is mirrored.
bool build_image_local_populations(StructureModel& model, int k)
{
    const int p = model.images.parent_atom[k];
    const int l_max = std::clamp(model.pseudoatoms.l_max[k], 0, MAX_L);
    if (l_max == 0)
        return true;
    LocalAxisDefinitions& axes = model.local_axes;
    const int signed_atom = axes.frame_atom_1[p];
    axes.frame_atom_1[p] = std::abs(signed_atom);
    Vector3 x, y, z;
    const bool built = build_local_axes(model, p, x, y, z);
    axes.frame_atom_1[p] = signed_atom;
    if (!built)
        return false;

    Matrix3 frame, inverse;
    for (int j = 1; j <= 3; ++j) {
        frame(1, j) = x[j - 1];
        frame(2, j) = y[j - 1];
        frame(3, j) = z[j - 1];
    }
    if (!invert_3x3_matrix(frame, inverse)) {
        show_error("The local coordinate system of atom " + text_field_string(model.atoms.atom_label[p]) +
                   " can not be built.");
        return false;
    }
    const Vector3 ex = {inverse(1, 1), inverse(1, 2), inverse(1, 3)};
    const Vector3 ey = {inverse(2, 1), inverse(2, 2), inverse(2, 3)};
    const Vector3 ez = {inverse(3, 1), inverse(3, 2), inverse(3, 3)};
    MultipolePopulations t = model.global_populations.population[k];
    if (!rotate_populations(model, p, t, ex, ey, ez, l_max))
        return false;
    if (signed_atom < 0) {
        const int code = std::abs(axes.frame_axis_1[p]) + axes.frame_axis_2[p];
        negate_populations_under_reflection(t, code == 5 ? 1 : code == 4 ? 2 : 3);
    }
    for (int l = l_max + 1; l <= MAX_L; ++l)
        for (int m = -l; m <= l; ++m)
            t(l, m) = 0.0;
    model.pseudoatoms.multipole_population[k] = t;
    return true;
}

// In the unit cell an atom on a face, edge or corner is shared with the
// neighbouring cells; atoms outside the cell take no part.
void set_unit_cell_weights(WorkingAtomSet& atoms)
{
    for (int k = 1; k <= atoms.atom_count; ++k) {
        atoms.site_weight[k] = 1.0;
        const Vector3 f = fractional_position(atoms, k);
        if (std::any_of(f.begin(), f.end(), [](double c) { return c < 0.0 || c > 1.0; })) {
            atoms.subset_mask[k] = 0;
            continue;
        }
        const auto on_boundary = std::count_if(f.begin(), f.end(), [](double c) { return c == 0.0 || c == 1.0; });
        atoms.site_weight[k] = 1.0 / static_cast<double>(1 << on_boundary);
    }
}

// Reads the default cluster file of the mode into model.applications, or asks
// for a new list when there is none.  `apply` tells whether a list is to be
// applied, `file` the cluster file read (empty when none was); false with a
// message for an unreadable file.
bool take_default_cluster_list(StructureModel& model, bool& apply, std::string& file)
{
    const int unit_cell_mode = model.translations.unit_cell_mode;
    const std::string path =
        default_cluster_file_path(unit_cell_mode, run_settings().file_dialog.working_directory);
    std::ifstream input;
    std::string refusal;
    if (!open_input_file(path, input, refusal, std::ios::in) && !refusal.empty()) {
        ui().message_box(refusal, "Error!", MessageButtons::ok, MessageIcon::warning);
        return false;
    }
    if (input.is_open()) {
        apply = true;
        file = path;
        return read_cluster_file(input, path, model.applications);
    }
    auto run_dialog = [&model] {
        return services.run_generation_dialog && services.run_generation_dialog(model);
    };
    apply = unit_cell_mode == 1 && run_dialog();
    if (!apply && ui().message_box("File \"GSPACE.CLS\" not found. Do you want to create it?", "Warning!",
                                   MessageButtons::yes_no, MessageIcon::question) == MessageAnswer::yes)
        apply = run_dialog();
    return true;
}

bool build_cluster_in(int mode, StructureModel& model)
{
    bool apply = true;
    std::string cluster_file;
    if (mode == CLUSTER_FROM_DEFAULT_FILE && !take_default_cluster_list(model, apply, cluster_file))
        return false;
    if (apply && !apply_list(model, mode != CLUSTER_FROM_CURRENT_LIST_SILENT))
        return false;
    if (!apply)
        // The images stay; a model that never had a cluster still needs each
        // atom's own entry in the image map.
        for (int a = 1; a <= model.atoms.independent_atom_count; ++a)
            if (model.images.image_count[a] < 1) {
                model.images.image_count[a] = 1;
                model.images.image_list[a][1] = a;
            }

    WorkingAtomSet& atoms = model.atoms;
    std::fill(atoms.subset_mask.begin(), atoms.subset_mask.end(), 1);
    const int nind = atoms.independent_atom_count;
    const int n = atoms.atom_count;
    const DummyAtoms& dummies = model.dummies;
    for (int d = 1; d <= dummies.dummy_count; ++d)
        convert_fractional_to_cartesian(model.orthogonalisation, dummies.dummy_x[d], dummies.dummy_y[d],
                                        dummies.dummy_z[d], atoms.cart_x[n + d], atoms.cart_y[n + d],
                                        atoms.cart_z[n + d]);

    const bool listing = mode != CLUSTER_FROM_CURRENT_LIST_SILENT;
    rebase_frame_atoms(model, listing);
    if (listing && !cluster_file.empty()) {
        // The cluster file has no count or end mark: a file cut between two
        // lines reads as a smaller cluster, so the listing tells its size.
        write_listing_line("");
        write_listing_line(" The cluster file " + cluster_file + " gave " +
                           std::to_string(model.applications.entry_count) + " entries: " + std::to_string(n - nind) +
                           " symmetry-generated atoms.");
    }
    if (listing) {
        write_listing_line("");
        write_listing_line("       ========= SYMMETRY-GENERATED ATOM LIST =========");
        write_listing_records("(/,16X,'Fractional co-ordinates     Cartesian coordinates',/)", {});
        write_listing_records("(4X,' Symop  Z       xf      yf      zf','         x      y      z ')", {});
    }
    for (int k = nind + 1; k <= n; ++k) {
        convert_fractional_to_cartesian(model.orthogonalisation, atoms.frac_x[k], atoms.frac_y[k], atoms.frac_z[k],
                                        atoms.cart_x[k], atoms.cart_y[k], atoms.cart_z[k]);
        copy_parent_parameters(model, k, model.images.parent_atom[k]);
        if (listing)
            write_listing_records("(1X,A8,I4,2X,3F8.4,3X,3F8.4)",
                                  {atoms.atom_label[k], atoms.atomic_number[k], atoms.frac_x[k], atoms.frac_y[k],
                                   atoms.frac_z[k], atoms.cart_x[k], atoms.cart_y[k], atoms.cart_z[k]});
    }
    if (listing) {
        write_listing_line(format_line("*", {""}));
        write_listing_line(format_line("*", {"Left-handed coordinate system will be converted to Right-handed"}));
        write_listing_line(format_line("*", {""}));
        write_listing_line(format_line("*", {"Num   Atom  Symm   Right/Left-handed"}));
    }
    for (int k = nind + 1; k <= n; ++k) {
        char letter = ' ';
        if (!build_image_global_populations(model, k, letter))
            return false;
        if (listing)
            write_listing_records("(I3,4X,A,10X,A)", {k, atoms.atom_label[k], std::string(1, letter)});
    }
    for (int k = nind + 1; k <= n; ++k)
        if (!build_image_local_populations(model, k))
            return false;
    if (listing)
        write_listing_line("");
    if (model.translations.unit_cell_mode == 1)
        set_unit_cell_weights(atoms);
    return true;
}

}  // namespace

bool build_cluster_quietly(StructureModel& model)
{
    auto work = std::make_unique<StructureModel>(model);
    if (!build_cluster_in(CLUSTER_FROM_CURRENT_LIST_SILENT, *work))
        return false;
    model = *work;
    return true;
}

bool build_symmetry_cluster(int mode, StructureModel& model)
{
    // Built on a copy, so a failure leaves the model as it was.
    auto work = std::make_unique<StructureModel>(model);
    if (!build_cluster_in(mode, *work))
        return false;
    model = *work;
    note_model_change();
    if (model.translations.unit_cell_mode == 1)
        reset_pane_line_store();
    // Only the program's model has a bond list to follow it: a model still
    // being loaded gets its list when the load commits it.
    if (&model == &current_model())
        build_bond_list(model, model.atoms.atom_count);
    ui().redraw_viewer();
    ui().text_pane_changed();
    ui().pump_events();
    return true;
}
