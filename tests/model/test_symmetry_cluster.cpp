// The symmetry cluster: generation of image lists, images made from a list,
// the default cluster files, unit-cell weights, and the populations images
// take over from their parents.  Image positions are worked out here from the
// operators in the notation of International Tables; populations are checked
// through the density they describe, with harmonics written out here.
#include "keldana/model/symmetry_cluster.h"

#include "common/scripted_ui.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const double PI = std::acos(-1.0);

using Rows = std::array<std::array<double, 4>, 3>;  // rotation rows with the translation last

// "-x+y,-x,z+2/3" as rotation rows and translations.
Rows parse_xyz(const std::string& text)
{
    Rows rows{};
    std::size_t start = 0;
    for (int row = 0; row < 3; ++row) {
        const std::size_t end = text.find(',', start);
        const std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end + 1;
        double sign = 1;
        for (std::size_t i = 0; i < part.size(); ++i) {
            const char c = part[i];
            if (c == '+' || c == '-') {
                sign = c == '-' ? -1 : 1;
            } else if (c == 'x' || c == 'y' || c == 'z') {
                rows[row][c - 'x'] += sign;
                sign = 1;
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                const double numerator = c - '0';
                const double denominator = part[i + 2] - '0';  // "n/d"
                rows[row][3] += sign * numerator / denominator;
                sign = 1;
                i += 2;
            }
        }
    }
    return rows;
}

Vector3 apply_rows(const Rows& rows, const Vector3& f, double sign, const Vector3& shift)
{
    Vector3 p{};
    for (int r = 0; r < 3; ++r)
        p[r] = sign * (rows[r][0] * f[0] + rows[r][1] * f[1] + rows[r][2] * f[2]) + rows[r][3] + shift[r];
    return p;
}

struct TestAtom {
    const char* label;
    double x, y, z;
    int atomic_number;
};

struct TestCell {
    double a, b, c, alpha, beta, gamma;
};

std::unique_ptr<StructureModel> make_model(const TestCell& cell, const std::vector<std::string>& operators,
                                           const std::vector<TestAtom>& atoms)
{
    auto model = std::make_unique<StructureModel>();
    model->cell = {cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma, 0};
    const double rad = PI / 180;
    EXPECT_TRUE(build_orthogonalisation_matrix(cell.alpha * rad, cell.beta * rad, cell.gamma * rad, model->cell,
                                               model->orthogonalisation));
    model->operators.symop_count = static_cast<int>(operators.size());
    for (std::size_t k = 0; k < operators.size(); ++k) {
        const Rows rows = parse_xyz(operators[k]);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                model->operators.symop[k + 1][r + 1][c + 1] = rows[r][c];
    }
    WorkingAtomSet& set = model->atoms;
    set.atom_count = set.independent_atom_count = static_cast<int>(atoms.size());
    for (int a = 1; a <= set.atom_count; ++a) {
        const TestAtom& atom = atoms[a - 1];
        set_text_field(set.atom_label[a], atom.label);
        set.frac_x[a] = atom.x;
        set.frac_y[a] = atom.y;
        set.frac_z[a] = atom.z;
        convert_fractional_to_cartesian(model->orthogonalisation, atom.x, atom.y, atom.z, set.cart_x[a],
                                        set.cart_y[a], set.cart_z[a]);
        set.atomic_number[a] = atom.atomic_number;
        set.atom_type_index[a] = 1;
        set.site_weight[a] = 1.0;
        model->images.image_count[a] = 1;
        model->images.image_list[a][1] = a;
        model->pseudoatoms.occupancy[a] = 1.0;
        model->local_axes.frame_axis_1[a] = 1;
        model->local_axes.frame_axis_2[a] = 2;
    }
    return model;
}

void add_entry(StructureModel& model, int operation, const Vector3& t, int first, int last)
{
    const int e = ++model.applications.entry_count;
    model.applications.operation[e] = operation;
    model.applications.translation[e] = {0.0, t[0], t[1], t[2]};
    model.applications.first_atom[e] = first;
    model.applications.last_atom[e] = last;
}

Vector3 fractional(const StructureModel& model, int k)
{
    return {model.atoms.frac_x[k], model.atoms.frac_y[k], model.atoms.frac_z[k]};
}

Vector3 cartesian(const StructureModel& model, int k)
{
    return {model.atoms.cart_x[k], model.atoms.cart_y[k], model.atoms.cart_z[k]};
}

void expect_near(const Vector3& actual, const Vector3& expected)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-12) << "component " << i;
}

double length(const Vector3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// Cartesian position of the image that entry e of the list describes.
Vector3 entry_image(const StructureModel& model, int e)
{
    const SymmetryApplicationList& list = model.applications;
    const int a = list.first_atom[e];
    const int op = list.operation[e];
    const auto& s = model.operators.symop[op];
    const Vector3 f = fractional(model, a);
    Vector3 p{};
    for (int r = 1; r <= 3; ++r)
        p[r - 1] = s[r][1] * f[0] + s[r][2] * f[1] + s[r][3] * f[2] + s[r][4] + list.translation[e][r];
    Vector3 c{};
    convert_fractional_to_cartesian(model.orthogonalisation, p[0], p[1], p[2], c[0], c[1], c[2]);
    return c;
}

// ---- Real harmonics y_lm = N(l, |m|) c_lm, written out from their
// Cartesian polynomials, for the density checks. ----

double real_harmonic(int l, int m, const Vector3& u)
{
    static const double n[5][5] = {{0.079578}, {0.31831, 0.31831}, {0.206748, 0.75, 0.75},
                                   {0.244854, 0.320333, 1.0, 0.424413},
                                   {0.069418, 0.474003, 0.330591, 1.25, 0.46875}};
    const double x = u[0], y = u[1], z = u[2];  // unit vector: r = 1
    double c = 0;
    switch (l * 10 + (m + 4)) {
    case 4: c = 1; break;
    case 13: c = y; break;
    case 14: c = z; break;
    case 15: c = x; break;
    case 22: c = x * y; break;
    case 23: c = y * z; break;
    case 24: c = 3 * z * z - 1; break;
    case 25: c = x * z; break;
    case 26: c = (x * x - y * y) / 2; break;
    case 31: c = y * (3 * x * x - y * y); break;
    case 32: c = 2 * x * y * z; break;
    case 33: c = y * (5 * z * z - 1); break;
    case 34: c = 5 * z * z * z - 3 * z; break;
    case 35: c = x * (5 * z * z - 1); break;
    case 36: c = z * (x * x - y * y); break;
    case 37: c = x * (x * x - 3 * y * y); break;
    case 40: c = 4 * (x * x * x * y - x * y * y * y); break;
    case 41: c = z * (3 * x * x * y - y * y * y); break;
    case 42: c = 2 * x * y * (7 * z * z - 1); break;
    case 43: c = y * (7 * z * z * z - 3 * z); break;
    case 44: c = 35 * z * z * z * z - 30 * z * z + 3; break;
    case 45: c = x * (7 * z * z * z - 3 * z); break;
    case 46: c = (x * x - y * y) * (7 * z * z - 1); break;
    case 47: c = z * (x * x * x - 3 * x * y * y); break;
    case 48: c = x * x * x * x - 6 * x * x * y * y + y * y * y * y; break;
    default: break;
    }
    return n[l][std::abs(m)] * c;
}

double density(const MultipolePopulations& p, const Vector3& u)
{
    double sum = 0;
    for (int l = 0; l <= MAX_L; ++l)
        for (int m = -l; m <= l; ++m)
            sum += p(l, m) * real_harmonic(l, m, u);
    return sum;
}

// Columns of a frame as a matrix product: M^T v.
Vector3 to_frame(const Vector3& ex, const Vector3& ey, const Vector3& ez, const Vector3& v)
{
    auto dot = [](const Vector3& a, const Vector3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    return {dot(ex, v), dot(ey, v), dot(ez, v)};
}

std::vector<Vector3> random_directions(int count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> normal;
    std::vector<Vector3> directions;
    while (static_cast<int>(directions.size()) < count) {
        Vector3 v = {normal(generator), normal(generator), normal(generator)};
        const double r = length(v);
        if (r > 1e-3)
            directions.push_back({v[0] / r, v[1] / r, v[2] / r});
    }
    return directions;
}

// Rotation of populations found by least squares over sample directions:
// sum P'(l,m) y_lm(M u) = sum P(l,m) y_lm(u) with M = [ex ey ez].  It relies
// on nothing but the harmonics above, so it serves as the rotation service.
bool rotate_by_least_squares(MultipolePopulations& p, const Vector3& ex, const Vector3& ey, const Vector3& ez,
                             int l_max)
{
    const std::vector<Vector3> samples = random_directions(60, 7);
    for (int l = 1; l <= l_max; ++l) {
        const int size = 2 * l + 1;
        std::vector<std::vector<double>> normal(size, std::vector<double>(size + 1, 0.0));
        for (const Vector3& u : samples) {
            const Vector3 g = {ex[0] * u[0] + ey[0] * u[1] + ez[0] * u[2], ex[1] * u[0] + ey[1] * u[1] + ez[1] * u[2],
                               ex[2] * u[0] + ey[2] * u[1] + ez[2] * u[2]};
            double target = 0;
            for (int m = -l; m <= l; ++m)
                target += p(l, m) * real_harmonic(l, m, u);
            for (int i = 0; i < size; ++i) {
                const double ai = real_harmonic(l, i - l, g);
                for (int j = 0; j < size; ++j)
                    normal[i][j] += ai * real_harmonic(l, j - l, g);
                normal[i][size] += ai * target;
            }
        }
        for (int col = 0; col < size; ++col) {  // Gauss-Jordan with partial pivoting
            int pivot = col;
            for (int r = col + 1; r < size; ++r)
                if (std::fabs(normal[r][col]) > std::fabs(normal[pivot][col]))
                    pivot = r;
            std::swap(normal[col], normal[pivot]);
            for (int r = 0; r < size; ++r)
                if (r != col) {
                    const double f = normal[r][col] / normal[col][col];
                    for (int c = col; c <= size; ++c)
                        normal[r][c] -= f * normal[col][c];
                }
        }
        for (int i = 0; i < size; ++i)
            p(l, i - l) = normal[i][size] / normal[i][i];
    }
    return true;
}

// A generic right-handed frame, the same for every atom; a negative first
// frame atom reverses the third axis, as the frame builder does.
std::array<Vector3, 3> generic_frame()
{
    const Vector3 axis = {1 / std::sqrt(14.0), 2 / std::sqrt(14.0), 3 / std::sqrt(14.0)};
    const double c = std::cos(0.7), s = std::sin(0.7);
    std::array<Vector3, 3> columns{};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const double cross = (i == j) ? 0
                                 : ((i + 1) % 3 == j) ? -axis[(i + 2) % 3]
                                                      : axis[(i + 1) % 3];
            columns[j][i] = (i == j ? c : 0) + (1 - c) * axis[i] * axis[j] + s * cross;
        }
    return columns;
}

bool generic_local_axes(const StructureModel& model, int atom, Vector3& ex, Vector3& ey, Vector3& ez)
{
    std::array<Vector3, 3> axes = generic_frame();
    if (model.local_axes.frame_atom_1[atom] < 0) {
        const int third = 6 - std::abs(model.local_axes.frame_axis_1[atom]) - model.local_axes.frame_axis_2[atom];
        for (double& c : axes[third - 1])
            c = -c;
    }
    ex = axes[0];
    ey = axes[1];
    ez = axes[2];
    return true;
}

class SymmetryClusterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_cluster_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        ASSERT_TRUE(open_report_output());
        saved_working_directory_ = run_settings().file_dialog.working_directory;
        run_settings().file_dialog.working_directory = directory_.string();
        cluster_services() = ClusterServices{};
        cluster_services().build_atom_local_axes = generic_local_axes;
        cluster_services().rotate_populations = rotate_by_least_squares;
    }

    void TearDown() override
    {
        cluster_services() = ClusterServices{};
        run_settings().file_dialog.working_directory = saved_working_directory_;
        close_report_output();
        fs::current_path(previous_directory_);
        fs::remove_all(directory_);
    }

    std::vector<std::string> listing() const
    {
        std::ifstream input(directory_ / "keldana0.out");
        std::vector<std::string> lines;
        for (std::string line; std::getline(input, line);)
            lines.push_back(line);
        return lines;
    }

    std::vector<std::string> message_texts()
    {
        std::vector<std::string> texts;
        for (const ShownMessage& m : ui_->answers.messages)
            texts.push_back(m.caption + ": " + m.text);
        return texts;
    }

    ScopedScriptedUi ui_;
    fs::path previous_directory_;
    fs::path directory_;
    std::string saved_working_directory_;
};

const TestCell CUBIC_1 = {1, 1, 1, 90, 90, 90};
const TestCell CUBIC_10 = {10, 10, 10, 90, 90, 90};
const TestCell MONOCLINIC = {7, 8, 9, 90, 100, 90};
// P2_1/c (No. 14) in full.
const std::vector<std::string> P21_C = {"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"};

}  // namespace

TEST_F(SymmetryClusterTest, HandednessComparesTheCrossProductWithTheThirdAxis)
{
    const Vector3 x = {1, 0, 0}, y = {0, 1, 0}, z = {0, 0, 1}, minus_z = {0, 0, -1};
    EXPECT_EQ(get_axes_handedness(x, y, z), 'R');
    EXPECT_EQ(get_axes_handedness(y, x, z), 'L');
    EXPECT_EQ(get_axes_handedness(x, y, minus_z), 'L');
    EXPECT_EQ(get_axes_handedness(z, x, y), 'R');
    EXPECT_EQ(get_axes_handedness(x, y, {0, 0, 1 + 0.5e-5}), 'R');
    EXPECT_EQ(get_axes_handedness(x, y, {2e-5, 0, 1}), 'L');
    const auto frame = generic_frame();
    EXPECT_EQ(get_axes_handedness(frame[0], frame[1], frame[2]), 'R');
}

TEST_F(SymmetryClusterTest, ASphereAroundAnAtomFindsItsNeighboursShellByShell)
{
    // P1, one atom at the origin of a 1 Angstrom cubic cell.
    struct Case {
        double radius;
        int within_1_5, beyond_1_5;
    };
    // Radius 1.2: the 6 neighbours at 1; radius 2: then 12 at 1.41 in the
    // first shell, and 8 at 1.73 and 6 at 2 in the second.
    for (const Case& c : {Case{1.2, 6, 0}, Case{2.0, 18, 14}, Case{0.1, 0, 0}}) {
        SCOPED_TRACE(c.radius);
        auto model = make_model(CUBIC_1, {"x,y,z"}, {{"C1", 0, 0, 0, 6}});
        generate_cluster_images(*model, c.radius, {0, 0, 0}, {0, 1, 0, 1, 0, 1}, 1, CLUSTER_AROUND_ATOM);
        const SymmetryApplicationList& list = model->applications;
        ASSERT_EQ(list.entry_count, c.within_1_5 + c.beyond_1_5);
        for (int e = 1; e <= list.entry_count; ++e) {
            EXPECT_EQ(list.operation[e], 1);
            EXPECT_EQ(list.first_atom[e], 1);
            EXPECT_EQ(list.last_atom[e], 1);
            const double d = length(entry_image(*model, e));
            // Nearest shell first: every image of the first pass before the second.
            if (e <= c.within_1_5)
                EXPECT_TRUE(d > 0.1 && d <= 1.5 + 1e-12) << e << " " << d;
            else
                EXPECT_TRUE(d > 1.5 && d <= c.radius + 1e-12) << e << " " << d;
        }
    }
}

TEST_F(SymmetryClusterTest, GenerationStopsAtTheImageLimitAndTheAtomTable)
{
    // One atom: at most 118 images, though 342 lattice points lie within reach.
    auto single = make_model(CUBIC_1, {"x,y,z"}, {{"C1", 0, 0, 0, 6}});
    generate_cluster_images(*single, 10.0, {0, 0, 0}, {}, 1, CLUSTER_AROUND_POINT);
    EXPECT_EQ(single->applications.entry_count, MAX_GENERATED_IMAGES_PER_ATOM);

    // Three atoms and two dummy atoms: the images fill the table to 250.
    auto model = make_model(CUBIC_1, {"x,y,z"}, {{"C1", 0, 0, 0, 6}, {"C2", 0.5, 0, 0, 6}, {"C3", 0, 0.5, 0, 6}});
    model->dummies.dummy_count = 2;
    generate_cluster_images(*model, 10.0, {0, 0, 0}, {}, 1, CLUSTER_AROUND_POINT);
    EXPECT_EQ(model->applications.entry_count, MAX_WORKING_ATOMS - 3 - 2);
    std::array<int, 4> per_atom{};
    for (int e = 1; e <= model->applications.entry_count; ++e)
        ++per_atom[model->applications.first_atom[e]];
    for (int a = 1; a <= 3; ++a)
        EXPECT_LE(per_atom[a], MAX_GENERATED_IMAGES_PER_ATOM);
    // The list applies: nothing was generated that the table cannot take.
    ASSERT_TRUE(apply_symmetry_application_list(*model));
    EXPECT_EQ(model->atoms.atom_count, MAX_WORKING_ATOMS - 2);
}

TEST_F(SymmetryClusterTest, ABoxKeepsImagesOnItsFacesAndCentringAddsCandidates)
{
    struct Case {
        int lattice_type;
        int expected;
    };
    // Atom at the origin, box (0, 1) on each axis: the 7 other corners; an I
    // lattice adds the body centre, an R lattice (hexagonal axes) its two
    // centring points.
    for (const Case& c : {Case{1, 7}, Case{6, 8}, Case{7, 9}, Case{0, 7}}) {
        SCOPED_TRACE(c.lattice_type);
        auto model = make_model({5, 5, 12, 90, 90, 120}, {"x,y,z"}, {{"C1", 0, 0, 0, 6}});
        generate_cluster_images(*model, 0, {0, 0, 0}, {0, 1, 0, 1, 0, 1}, c.lattice_type, CLUSTER_IN_BOX);
        const SymmetryApplicationList& list = model->applications;
        ASSERT_EQ(list.entry_count, c.expected);
        for (int e = 1; e <= list.entry_count; ++e)
            for (int i = 1; i <= 3; ++i) {
                EXPECT_GE(list.translation[e][i], 0.0);
                EXPECT_LE(list.translation[e][i], 1.0);
            }
        if (c.lattice_type == 7) {
            int centred = 0;
            for (int e = 1; e <= list.entry_count; ++e)
                if (std::fabs(list.translation[e][1] - 2.0 / 3) < 1e-6 &&
                    std::fabs(list.translation[e][2] - 1.0 / 3) < 1e-6 &&
                    std::fabs(list.translation[e][3] - 1.0 / 3) < 1e-6)
                    ++centred;
            EXPECT_EQ(centred, 1);
        }
    }
}

TEST_F(SymmetryClusterTest, GenerationChangesNothingButTheList)
{
    auto model = make_model(MONOCLINIC, P21_C, {{"C1", 0.1, 0.2, 0.3, 6}, {"O1", 0.2, 0.25, 0.1, 8}});
    add_entry(*model, 2, {0, 0, 0}, 1, 2);
    add_entry(*model, 3, {1, 1, 1}, 1, 2);
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    ASSERT_EQ(model->atoms.atom_count, 6);
    auto before = std::make_unique<StructureModel>(*model);

    generate_cluster_images(*model, 6.0, cartesian(*model, 1), {}, 1, CLUSTER_AROUND_ATOM);
    ASSERT_GT(model->applications.entry_count, 5);
    EXPECT_EQ(model->atoms.atom_count, before->atoms.atom_count);
    EXPECT_EQ(model->atoms.frac_x, before->atoms.frac_x);
    EXPECT_EQ(model->atoms.frac_y, before->atoms.frac_y);
    EXPECT_EQ(model->atoms.frac_z, before->atoms.frac_z);
    EXPECT_EQ(model->images.image_count, before->images.image_count);
    EXPECT_EQ(model->images.image_list, before->images.image_list);
    EXPECT_EQ(model->images.parent_atom, before->images.parent_atom);

    // The list is counted from the independent atoms: the same as for a
    // model without a cluster.
    auto plain = make_model(MONOCLINIC, P21_C, {{"C1", 0.1, 0.2, 0.3, 6}, {"O1", 0.2, 0.25, 0.1, 8}});
    generate_cluster_images(*plain, 6.0, cartesian(*plain, 1), {}, 1, CLUSTER_AROUND_ATOM);
    ASSERT_EQ(plain->applications.entry_count, model->applications.entry_count);
    for (int e = 1; e <= plain->applications.entry_count; ++e) {
        EXPECT_EQ(plain->applications.operation[e], model->applications.operation[e]);
        EXPECT_EQ(plain->applications.translation[e], model->applications.translation[e]);
        EXPECT_EQ(plain->applications.first_atom[e], model->applications.first_atom[e]);
    }
}

TEST_F(SymmetryClusterTest, ImagesAreTheParentsMovedByTheirOperators)
{
    auto model = make_model(MONOCLINIC, P21_C, {{"C1", 0.1, 0.2, 0.3, 6}, {"O12", 0.35, 0.05, 0.6, 8}});
    struct Expected {
        int operation;
        Vector3 t;
        int first, last;
    };
    const std::vector<Expected> entries = {
        {2, {0, 0, 0}, 1, 2}, {-2, {1, 0, 0}, 1, 1}, {3, {0, 1, -1}, 2, 2}, {0, {0, 0, 0}, 1, 2}, {4, {0, 0, 0}, 2, 1}};
    for (const Expected& e : entries)
        add_entry(*model, e.operation, e.t, e.first, e.last);
    ASSERT_TRUE(apply_symmetry_application_list(*model));
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();

    // Entry 4 (operation 0) is skipped, entry 5 has an empty range.
    struct Image {
        int entry, parent, operation;
        const char* label;
        Vector3 position;
    };
    // -x,y+1/2,-z+1/2 on (0.1,0.2,0.3) gives (-0.1,0.7,0.2); with the rotation
    // negated and (1,0,0) added: (1.1,0.3,0.8); -x,-y,-z on (0.35,0.05,0.6)
    // plus (0,1,-1): (-0.35,0.95,-1.6).
    const std::vector<Image> images = {{1, 1, 2, "C1     2", {-0.1, 0.7, 0.2}},
                                       {1, 2, 2, "O12    2", {-0.35, 0.55, -0.1}},
                                       {2, 1, -2, "C1    -2", {1.1, 0.3, 0.8}},
                                       {3, 2, 3, "O12    3", {-0.35, 0.95, -1.6}}};
    ASSERT_EQ(model->atoms.atom_count, 2 + static_cast<int>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int k = 3 + static_cast<int>(i);
        const Image& image = images[i];
        SCOPED_TRACE(image.label);
        EXPECT_EQ(std::string(model->atoms.atom_label[k].data(), 8), image.label);
        EXPECT_EQ(model->images.parent_atom[k], image.parent);
        EXPECT_EQ(model->images.generating_operator[k], image.operation);
        EXPECT_EQ(model->atoms.atomic_number[k], image.parent == 1 ? 6 : 8);
        const Vector3 f = fractional(*model, k);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(f[c], image.position[c], 1e-12);
        // The same from the operators as International Tables write them.
        const auto& t = model->applications.translation[image.entry];
        const Vector3 expected = apply_rows(parse_xyz(P21_C[std::abs(image.operation) - 1]),
                                            fractional(*model, image.parent), image.operation < 0 ? -1 : 1,
                                            {t[1], t[2], t[3]});
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(f[c], expected[c], 1e-12);
    }
    EXPECT_EQ(model->images.image_count[1], 3);
    EXPECT_EQ(model->images.image_count[2], 3);
    EXPECT_EQ(model->images.image_list[1][1], 1);
    EXPECT_EQ(model->images.image_list[1][2], 3);
    EXPECT_EQ(model->images.image_list[1][3], 5);
    EXPECT_EQ(model->images.image_list[2][2], 4);
    EXPECT_EQ(model->images.image_list[2][3], 6);
}

TEST_F(SymmetryClusterTest, AnImageOnItsParentsSiteIsDroppedWithAWarning)
{
    // P2/m: the mirror x,-y,z leaves an atom at y = 0 where it is.
    auto model = make_model(CUBIC_10, {"x,y,z", "-x,y,-z", "x,-y,z"}, {{"Cl1", 0.1, 0.0, 0.2, 17}});
    add_entry(*model, 3, {0, 0, 0}, 1, 1);
    add_entry(*model, 2, {0, 0, 0}, 1, 1);
    ASSERT_TRUE(apply_symmetry_application_list(*model));
    EXPECT_EQ(model->atoms.atom_count, 2);
    EXPECT_EQ(model->images.image_count[1], 2);
    EXPECT_EQ(message_texts(), std::vector<std::string>{"Warning:  atom Cl1      is in a special position"});
}

TEST_F(SymmetryClusterTest, CoincidingImagesAreKeptOnce)
{
    // The same entry twice, and an entry putting atom 1 onto atom 2, which
    // is its image by the 2-fold axis: one new atom each time it is new.
    auto model = make_model(CUBIC_10, {"x,y,z", "-x,y,-z"}, {{"C1", 0.1, 0.2, 0.3, 6}, {"C2", -0.1, 0.2, -0.3, 6}});
    add_entry(*model, 1, {1, 0, 0}, 1, 1);
    add_entry(*model, 1, {1, 0, 0}, 1, 1);
    add_entry(*model, 2, {0, 0, 0}, 1, 1);
    add_entry(*model, 2, {1, 0, 0}, 1, 2);
    ASSERT_TRUE(apply_symmetry_application_list(*model));
    // Kept: C1 + (1,0,0); from the last entry C1 -> (0.9,0.2,-0.3) and
    // C2 -> (1.1,0.2,0.3), which is C1 + (1,0,0) again: dropped.
    EXPECT_EQ(model->atoms.atom_count, 4);
    EXPECT_EQ(model->images.image_count[1], 3);
    EXPECT_EQ(model->images.image_count[2], 1);
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
}

TEST_F(SymmetryClusterTest, LatticeTranslationsAreCheckedAndABadOneChangesNothing)
{
    struct Case {
        double t;
        bool accepted;
    };
    const std::vector<Case> cases = {{0.3333, true},  {0.35, false},      {-0.5, true},      {-2.66667, true},
                                     {0.16667, true}, {3.8333, true},     {0.125, false},    {1e7, false},
                                     {std::nan(""), false}, {HUGE_VAL, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        ui_->answers.messages.clear();
        auto model = make_model(CUBIC_10, {"x,y,z"}, {{"C1", 0.1, 0.2, 0.3, 6}});
        add_entry(*model, 1, {0, 0, 1}, 1, 1);
        ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
        add_entry(*model, 1, {0, c.t, 0}, 1, 1);
        EXPECT_EQ(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(model->atoms.atom_count, 3);
        } else {
            EXPECT_EQ(message_texts(), std::vector<std::string>{"Error!:  Lattice translations are not correct!"});
            EXPECT_EQ(model->atoms.atom_count, 2);
            EXPECT_NEAR(model->atoms.frac_z[2], 1.3, 1e-12);
        }
    }
}

TEST_F(SymmetryClusterTest, ListsBeyondTheTablesAreRefused)
{
    struct Case {
        const char* name;
        std::vector<std::array<double, 6>> entries;  // operation, t, first, last
        bool accepted;
        const char* message_part;
    };
    auto translations = [](int count, int first, int last) {
        std::vector<std::array<double, 6>> entries;
        for (int i = 1; i <= count; ++i)
            entries.push_back({1, static_cast<double>(i), 0, 0, static_cast<double>(first), static_cast<double>(last)});
        return entries;
    };
    const std::vector<Case> cases = {
        {"unknown operation", {{3, 0, 0, 0, 1, 1}}, false, "only 2 operators"},
        {"inverted unknown operation", {{-3, 0, 0, 0, 1, 1}}, false, "only 2 operators"},
        {"atom 0", {{2, 0, 0, 0, 0, 1}}, false, "3 independent atoms"},
        {"atom beyond the independent atoms", {{2, 0, 0, 0, 2, 4}}, false, "3 independent atoms"},
        {"119 images of one atom", translations(119, 1, 1), true, ""},
        {"120 images of one atom", translations(120, 1, 1), false, "Too many images of atom C1"},
        {"249 images: 252 atoms", translations(83, 1, 3), false, "at most 250"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        auto model = make_model(CUBIC_1, {"x,y,z", "-x,-y,-z"},
                                {{"C1", 0.1, 0.2, 0.3, 6}, {"C2", 0.3, 0.3, 0.3, 6}, {"C3", 0.5, 0.5, 0.2, 6}});
        for (const auto& e : c.entries)
            add_entry(*model, static_cast<int>(e[0]), {e[1], e[2], e[3]}, static_cast<int>(e[4]),
                      static_cast<int>(e[5]));
        EXPECT_EQ(check_symmetry_application_list(*model, model->applications), c.accepted);
        EXPECT_EQ(apply_symmetry_application_list(*model), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(ui_->answers.messages.empty());
        } else {
            ASSERT_EQ(ui_->answers.messages.size(), 2u);  // the check, then the application
            EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
            EXPECT_NE(ui_->answers.messages[0].text.find(c.message_part), std::string::npos)
                << ui_->answers.messages[0].text;
            EXPECT_EQ(model->atoms.atom_count, 3);
        }
    }
    // 3 + 82 x 3 + 1 = 250 atoms fill the table exactly.
    auto model = make_model(CUBIC_1, {"x,y,z"},
                            {{"C1", 0.1, 0.2, 0.3, 6}, {"C2", 0.3, 0.3, 0.3, 6}, {"C3", 0.5, 0.5, 0.2, 6}});
    for (int i = 1; i <= 82; ++i)
        add_entry(*model, 1, {static_cast<double>(i), 0, 0}, 1, 3);
    add_entry(*model, 1, {0, 5, 0}, 1, 1);
    ui_->answers.messages.clear();
    EXPECT_TRUE(apply_symmetry_application_list(*model));
    EXPECT_EQ(model->atoms.atom_count, MAX_WORKING_ATOMS);
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(SymmetryClusterTest, TheListingShowsTheImagesAndTheViewerIsRedrawn)
{
    auto model = make_model(CUBIC_10, {"x,y,z", "-x,y+1/2,-z+1/2"}, {{"C1", 0.1, 0.2, 0.3, 6}});
    add_entry(*model, 2, {0, 0, 0}, 1, 1);
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    ASSERT_EQ(model->atoms.atom_count, 2);
    // -x,y+1/2,-z+1/2: (-0.1,0.7,0.2), 10 Angstrom cell.
    expect_near(cartesian(*model, 2), {-1.0, 7.0, 2.0});

    const auto lines = listing();
    const auto title = std::find(lines.begin(), lines.end(), "       ========= SYMMETRY-GENERATED ATOM LIST =========");
    ASSERT_NE(title, lines.end());
    // (1X,A8,I4,2X,3F8.4,3X,3F8.4)
    const std::string record = std::string(" ") + "C1     2" + "   6" + "  " + " -0.1000" + "  0.7000" + "  0.2000" +
                               "   " + " -1.0000" + "  7.0000" + "  2.0000";
    EXPECT_NE(std::find(title, lines.end(), record), lines.end());
    EXPECT_EQ(lines.front().rfind(" New axes=", 0), 0u);
    EXPECT_EQ(ui_->viewer_redraws, 1);
    EXPECT_GE(ui_->pump_count, 1);
}

TEST_F(SymmetryClusterTest, TheSilentModeWritesNoListing)
{
    auto model = make_model(CUBIC_10, {"x,y,z"}, {{"C1", 0.1, 0.2, 0.3, 6}});
    add_entry(*model, 1, {1, 0, 0}, 1, 1);
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST_SILENT, *model));
    EXPECT_EQ(model->atoms.atom_count, 2);
    EXPECT_TRUE(listing().empty());
}

TEST_F(SymmetryClusterTest, TheUnitCellWeightsSharedSitesAndStartsThePaneAfresh)
{
    auto model = make_model(CUBIC_10, {"x,y,z"},
                            {{"C1", 0, 0.5, 0.5, 6}, {"C2", 0, 0, 0.5, 6}, {"C3", 1, 1, 1, 6}, {"C4", 1.2, 0.5, 0.5, 6},
                             {"C5", 0.5, 0.5, 0.5, 6}});
    model->translations.unit_cell_mode = 1;
    append_pane_line("a line before the rebuild");
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    const std::vector<std::pair<double, int>> expected = {{0.5, 1}, {0.25, 1}, {0.125, 1}, {1.0, 0}, {1.0, 1}};
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(model->atoms.site_weight[k], expected[k - 1].first) << k;
        EXPECT_EQ(model->atoms.subset_mask[k], expected[k - 1].second) << k;
    }
    EXPECT_EQ(text_pane_state().line_count, 0);
}

TEST_F(SymmetryClusterTest, ImagesCarryTheirParentsDensityInTheGlobalAndTheParentsFrame)
{
    // Monoclinic, b unique: b lies along y, so the 2-fold axis along b is
    // diag(-1,1,-1) in Cartesian axes, the glide plane diag(1,-1,1) and the
    // inversion -1; operation -2 is the glide plane as well.
    struct Operation {
        int operation;
        std::array<double, 3> cartesian_diagonal;
        char letter;
    };
    const std::vector<Operation> operations = {
        {1, {1, 1, 1}, 'R'},    {2, {-1, 1, -1}, 'R'}, {3, {-1, -1, -1}, 'L'},
        {4, {1, -1, 1}, 'L'},   {-2, {1, -1, 1}, 'L'}};
    for (int frame_sign : {1, -1}) {
        SCOPED_TRACE(frame_sign);
        auto model = make_model(MONOCLINIC, P21_C, {{"S1", 0.1, 0.2, 0.3, 16}, {"O1", 0.3, 0.1, 0.2, 8}});
        // S1 with every multipole up to l = 4; its frame: atom 2 along z, y
        // second; a negative first atom mirrors it.
        model->pseudoatoms.l_max[1] = 4;
        std::mt19937 generator(11);
        std::uniform_real_distribution<double> uniform(-0.5, 0.5);
        for (int l = 0; l <= 4; ++l)
            for (int m = -l; m <= l; ++m)
                model->pseudoatoms.multipole_population[1](l, m) = uniform(generator);
        model->local_axes.frame_atom_1[1] = model->local_axes.loaded_frame_atom_1[1] = frame_sign * 2;
        model->local_axes.frame_axis_1[1] = 3;
        model->local_axes.frame_axis_2[1] = 2;
        model->pseudoatoms.l_max[2] = 0;
        model->pseudoatoms.multipole_population[2](0, 0) = 0.7;
        // Operation -2 equals operation 4: another translation keeps its
        // images apart.
        for (const Operation& op : operations)
            add_entry(*model, op.operation, op.operation < 0 ? Vector3{1, 0, 0} : Vector3{0, 0, 1}, 1, 2);
        ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model)) << ui_->answers.message_log();
        ASSERT_EQ(model->atoms.atom_count, 12);

        Vector3 ex, ey, ez;
        ASSERT_TRUE(generic_local_axes(*model, 1, ex, ey, ez));
        const MultipolePopulations& parent = model->pseudoatoms.multipole_population[1];
        const auto directions = random_directions(25, 3);
        const auto lines = listing();
        for (std::size_t i = 0; i < operations.size(); ++i) {
            const int k = 3 + 2 * static_cast<int>(i);
            SCOPED_TRACE(operations[i].operation);
            ASSERT_EQ(model->images.parent_atom[k], 1);
            const auto& d = operations[i].cartesian_diagonal;
            for (const Vector3& u : directions) {
                // The image's density at P_k + u is the parent's at P_1 + Rc^T u.
                const Vector3 back = {d[0] * u[0], d[1] * u[1], d[2] * u[2]};
                const double expected = density(parent, to_frame(ex, ey, ez, back));
                EXPECT_NEAR(density(model->global_populations.population[k], u), expected, 1e-9);
                // In the parent's frame, as the evaluator uses it for images.
                EXPECT_NEAR(density(model->pseudoatoms.multipole_population[k], to_frame(ex, ey, ez, u)), expected,
                            1e-9);
            }
            // (I3,4X,A,10X,A): number, label, handedness of the carried frame.
            const char letter = frame_sign > 0 ? operations[i].letter : (operations[i].letter == 'R' ? 'L' : 'R');
            const std::string label(model->atoms.atom_label[k].data(), 8);
            std::string number = std::to_string(k);
            number.insert(0, 3 - number.size(), ' ');
            EXPECT_NE(std::find(lines.begin(), lines.end(), number + std::string(4, ' ') + label +
                                                                 std::string(10, ' ') + letter),
                      lines.end());
            // The spherical neighbour keeps its monopole in both frames.
            EXPECT_EQ(model->global_populations.population[k + 1](0, 0), 0.7);
            EXPECT_EQ(model->pseudoatoms.multipole_population[k + 1](0, 0), 0.7);
            EXPECT_EQ(model->pseudoatoms.l_max[k], 4);
            EXPECT_EQ(model->local_axes.frame_atom_1[k], 2);
        }
    }
}

TEST_F(SymmetryClusterTest, DummyAtomsMoveBehindTheImagesAndFramesFollowThem)
{
    auto model = make_model(CUBIC_10, {"x,y,z"}, {{"C1", 0.1, 0.2, 0.3, 6}, {"C2", 0.2, 0.2, 0.3, 6}});
    model->dummies.dummy_count = 2;
    model->dummies.dummy_x[1] = 0.5;
    model->dummies.dummy_y[2] = 0.25;
    // Atom 1's frame from dummy 2 (mirrored) and dummy 1, as loaded with N = 2.
    model->local_axes.loaded_frame_atom_1[1] = model->local_axes.frame_atom_1[1] = -4;
    model->local_axes.loaded_frame_atom_2[1] = model->local_axes.frame_atom_2[1] = 1;
    model->local_axes.loaded_frame_atom_3[1] = model->local_axes.frame_atom_3[1] = 3;
    add_entry(*model, 1, {1, 0, 0}, 1, 2);
    add_entry(*model, 1, {0, 1, 0}, 1, 1);
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    ASSERT_EQ(model->atoms.atom_count, 5);
    expect_near(cartesian(*model, 6), {5.0, 0.0, 0.0});
    expect_near(cartesian(*model, 7), {0.0, 2.5, 0.0});
    EXPECT_EQ(model->local_axes.frame_atom_1[1], -7);
    EXPECT_EQ(model->local_axes.frame_atom_2[1], 1);
    EXPECT_EQ(model->local_axes.frame_atom_3[1], 6);
    // The images take the parent's frame atoms, the first one unsigned.
    EXPECT_EQ(model->local_axes.frame_atom_1[3], 7);
    EXPECT_EQ(model->local_axes.frame_atom_3[3], 6);

    // Back to no images: the dummies return to 3 and 4.
    model->applications.entry_count = 0;
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    EXPECT_EQ(model->local_axes.frame_atom_1[1], -4);
    EXPECT_EQ(model->local_axes.frame_atom_3[1], 3);
    expect_near(cartesian(*model, 3), {5.0, 0.0, 0.0});
}

TEST_F(SymmetryClusterTest, WithoutLocalFramesImagesWithMultipolesAreRefused)
{
    cluster_services() = ClusterServices{};
    auto model = make_model(CUBIC_10, {"x,y,z"}, {{"C1", 0.1, 0.2, 0.3, 6}, {"H1", 0.2, 0.2, 0.3, 1}});
    model->pseudoatoms.l_max[1] = 2;
    add_entry(*model, 1, {1, 0, 0}, 2, 2);
    // A spherical atom's images need no frame.
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    EXPECT_EQ(model->atoms.atom_count, 3);
    add_entry(*model, 1, {1, 0, 0}, 1, 1);
    EXPECT_FALSE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    EXPECT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(model->atoms.atom_count, 3);

    // A frame that cannot be built, or populations that cannot be rotated.
    cluster_services().build_atom_local_axes = [](const StructureModel&, int, Vector3&, Vector3&, Vector3&) {
        return false;
    };
    cluster_services().rotate_populations = rotate_by_least_squares;
    EXPECT_FALSE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    cluster_services().build_atom_local_axes = generic_local_axes;
    cluster_services().rotate_populations = [](MultipolePopulations&, const Vector3&, const Vector3&,
                                               const Vector3&, int) { return false; };
    EXPECT_FALSE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    EXPECT_EQ(ui_->answers.messages.size(), 3u);
    EXPECT_EQ(model->atoms.atom_count, 3);
}
