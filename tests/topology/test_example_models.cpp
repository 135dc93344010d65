// The example models, searched in every mode: each molecule alone in a
// large cell has points that, merged, satisfy the Poincare-Hopf relation
// n - b + r - c = 1, and the shell search around every atom finds the bond
// points of the pair search.  In the crystals of their cluster files the
// points listed are the crystal's, those the missing atoms may move are
// reported near the cluster's edge.
#include "keldana/model/model_store.h"
#include "keldana/density/property_esd.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/cluster_edge.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/critical_point_list.h"
#include "topology_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;
const fs::path EXAMPLES = fs::path(KD_SOURCE_DIR) / "examples";

struct Example {
    const char* folder;
    const char* file;
    int cluster_entries;    // entries of the example's cluster file that complete one molecule
    std::vector<int> ring;  // ring atoms of the molecule, if any
};

const std::vector<Example> EXAMPLE_MOLECULES = {
    {"free_atoms", "hydrogen.kdn", 0, {}},
    {"free_atoms", "neon.kdn", 0, {}},
    {"cyanogen", "cyanogen.kdn", 1, {}},
    // The six carbon atoms of the quinone ring: C1, C2, C3 and their
    // images by the inversion centre (atoms 7, 8, 9).
    {"benzoquinone", "benzoquinone.kdn", 1, {1, 2, 3, 7, 8, 9}},
};

// A shell grid coarse enough for a test yet with a start near every bond
// point between 0.3 and 0.9 Angstrom of an atom.
ShellSearchParameters shell_around(int atom) { return {atom, 5, 5, 2, 0.3, 0.9, 20.0, true}; }

std::vector<Vector3> bond_points()
{
    std::vector<Vector3> points;
    for (int k = 1; k <= critical_point_list().cp_count; ++k) {
        const CriticalPoint& p = critical_point_list().points[k];
        if (p.type == 2)
            points.push_back({p.x, p.y, p.z});
    }
    return points;
}

class ExampleModelTest : public TopologyTest {
protected:
    // Loads the example with the first entries of its cluster file; free:
    // its molecule alone, from the fixture that places it in a cell too
    // large for neighbours within reach (the free atoms are alone already).
    bool load_example(const Example& example, bool free = false)
    {
        const fs::path folder = EXAMPLES / example.folder;
        fs::remove(directory_ / "gspace.cls");
        if (example.cluster_entries > 0) {
            std::ifstream in(folder / "gspace.cls");
            std::ofstream out(directory_ / "gspace.cls");
            std::string line;
            for (int k = 0; k < 2 + example.cluster_entries && std::getline(in, line); ++k)
                out << line << '\n';
        }
        const fs::path alone = fs::path(KD_TEST_DATA_DIR) / "fixtures" / "kdn" /
                               (fs::path(example.file).stem().string() + "_free.kdn");
        std::ifstream model(free && fs::exists(alone) ? alone : folder / example.file);
        const std::string text((std::istreambuf_iterator<char>(model)), std::istreambuf_iterator<char>());
        critical_point_list().cp_count = 0;
        return load_model(example.file, text);
    }

    // Loads the example in its crystal with its whole cluster file.
    bool load_crystal(const Example& example)
    {
        const fs::path folder = EXAMPLES / example.folder;
        fs::copy_file(folder / "gspace.cls", directory_ / "gspace.cls", fs::copy_options::overwrite_existing);
        std::ifstream in(folder / example.file);
        critical_point_list().cp_count = 0;
        return load_model(example.file, {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    }

    void run(CriticalPointSearchRequest request) { run_critical_point_search(request, RHO); }

    void search_pairs()
    {
        CriticalPointSearchRequest request;
        request.mode = SearchMode::atoms;
        run(request);
    }

    void search_shells()
    {
        CriticalPointSearchRequest request;
        request.mode = SearchMode::shell;
        for (int a = 1; a <= current_model().atoms.atom_count; ++a) {
            request.shell = shell_around(a);
            run(request);
        }
    }

    void search_nuclei_and_ring(const Example& example)
    {
        const WorkingAtomSet& atoms = current_model().atoms;
        CriticalPointSearchRequest request;
        request.mode = SearchMode::point;
        for (int a = 1; a <= atoms.atom_count; ++a) {
            request.point = {atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]};
            run(request);
        }
        if (!example.ring.empty()) {
            request.mode = SearchMode::ring;
            request.ring.ring_atom_count = static_cast<int>(example.ring.size());
            for (size_t k = 0; k < example.ring.size(); ++k)
                request.ring.ring_atoms[k + 1] = example.ring[k];
            run(request);
        }
    }
};

}  // namespace

TEST_F(ExampleModelTest, EverySearchModeListsAPoincareHopfSetAndShellsMatchPairs)
{
    for (const Example& example : EXAMPLE_MOLECULES) {
        SCOPED_TRACE(example.file);
        if (!fs::exists(EXAMPLES / example.folder / example.file))
            GTEST_SKIP() << "example missing: " << example.file;
        ASSERT_TRUE(load_example(example, true)) << ui_->answers.message_log();

        search_pairs();
        const std::vector<Vector3> pair_bonds = bond_points();
        critical_point_list().cp_count = 0;
        search_shells();
        const std::vector<Vector3> shell_bonds = bond_points();
        ASSERT_EQ(shell_bonds.size(), pair_bonds.size());
        for (const Vector3& s : shell_bonds) {
            double nearest = 1e9;
            for (const Vector3& q : pair_bonds)
                nearest = std::min(nearest, std::hypot(s[0] - q[0], s[1] - q[1], s[2] - q[2]));
            EXPECT_LT(nearest, 1e-4);
        }

        // The shells' points, then every other mode on top: what a search
        // finds again is merged, not listed twice.
        search_pairs();
        search_nuclei_and_ring(example);
        int counts[5] = {0, 0, 0, 0, 0};
        const CriticalPointList& list = critical_point_list();
        for (int k = 1; k <= list.cp_count; ++k) {
            ++counts[list.points[k].type];
            for (int l = 1; l < k; ++l)
                EXPECT_GE(std::hypot(list.points[k].x - list.points[l].x, list.points[k].y - list.points[l].y,
                                     list.points[k].z - list.points[l].z),
                          SAME_CRITICAL_POINT_DISTANCE);
        }
        const int nuclei = current_model().atoms.atom_count;
        EXPECT_EQ(counts[0], 0);  // no degenerate point
        EXPECT_EQ(counts[1], nuclei);
        EXPECT_EQ(counts[1] - counts[2] + counts[3] - counts[4], 1)
            << "n " << counts[1] << " b " << counts[2] << " r " << counts[3] << " c " << counts[4];
        EXPECT_TRUE(contains_line(listing_lines(), " Summary of CPs:"));
    }
}

// The example crystals with their whole cluster files (cyanogen: one
// molecule; benzoquinone: five): the points that the atoms missing from the
// cluster cannot move by EDGE_SHIFT_LIMIT are listed, and each is a
// critical point of the crystal summed over all its images (the multipoles
// included); the others are reported near the edge of the cluster.
TEST_F(ExampleModelTest, CrystalClustersListOnlyTheCrystalsPoints)
{
    for (const Example& example : {EXAMPLE_MOLECULES[2], EXAMPLE_MOLECULES[3]}) {
        SCOPED_TRACE(example.file);
        if (!fs::exists(EXAMPLES / example.folder / example.file))
            GTEST_SKIP() << "example missing: " << example.file;
        ASSERT_TRUE(load_crystal(example)) << ui_->answers.message_log();
        const SearchResult result = run_critical_point_search(CriticalPointSearchRequest{}, RHO);
        EXPECT_GE(result.found, 2);
        EXPECT_GE(result.near_edge, 1);
        RecordProperty(std::string(example.file) + "_listed", result.found);
        RecordProperty(std::string(example.file) + "_refused", result.near_edge);
        const CrystalSum crystal = crystal_sum();
        for (int k = 1; k <= critical_point_list().cp_count; ++k) {
            const CriticalPoint& cp = critical_point_list().points[k];
            EXPECT_LT(crystal.newton_shift({cp.x, cp.y, cp.z}), EDGE_SHIFT_LIMIT) << cp.atom1 << " - " << cp.atom2;
        }
    }
}

// The starts of a search located on four threads report exactly what one
// thread reports: the same pane and listing lines in the same order and the
// same list (the benzoquinone crystal: points listed and points near the
// edge of its cluster).
TEST_F(ExampleModelTest, FourThreadsReportWhatOneThreadReports)
{
    const Example& example = EXAMPLE_MOLECULES[3];
    if (!fs::exists(EXAMPLES / example.folder / example.file))
        GTEST_SKIP() << "example missing: " << example.file;
    ASSERT_TRUE(load_crystal(example)) << ui_->answers.message_log();
    struct Run {
        std::vector<std::string> pane, listing;
        std::vector<CriticalPoint> points;
    };
    const auto run_with = [&](int threads) {
        critical_point_list().cp_count = 0;
        const int pane_from = text_pane_state().line_count + 1;
        const std::size_t listing_from = listing_lines().size();
        CriticalPointSearchRequest request;
        request.mode = SearchMode::atoms;
        request.execution = {threads, 0};
        run(request);
        request.mode = SearchMode::shell;
        request.shell = {2, 5, 5, 2, 0.3, 0.9, 20.0, false};
        run(request);
        Run r;
        r.pane = pane_lines(pane_from);
        const std::vector<std::string> listing = listing_lines();
        r.listing.assign(listing.begin() + static_cast<std::ptrdiff_t>(listing_from), listing.end());
        for (int k = 1; k <= critical_point_list().cp_count; ++k)
            r.points.push_back(critical_point_list().points[k]);
        return r;
    };
    const Run one = run_with(1);
    const Run four = run_with(4);
    ASSERT_GT(one.points.size(), 5u);
    EXPECT_TRUE(std::any_of(one.listing.begin(), one.listing.end(), [](const std::string& line) {
        return line.find("near the edge of the cluster") != std::string::npos;
    }));
    EXPECT_EQ(one.pane, four.pane);
    EXPECT_EQ(one.listing, four.listing);
    ASSERT_EQ(one.points.size(), four.points.size());
    for (std::size_t k = 0; k < one.points.size(); ++k) {
        const CriticalPoint& a = one.points[k];
        const CriticalPoint& b = four.points[k];
        EXPECT_EQ(std::memcmp(&a.x, &b.x, 3 * sizeof(double)), 0) << k;
        EXPECT_EQ(a.lambda, b.lambda) << k;
        EXPECT_EQ(a.type, b.type) << k;
        EXPECT_EQ(a.atom1, b.atom1) << k;
        EXPECT_EQ(a.atom2, b.atom2) << k;
    }
}

// Benzoquinone, shells from the nucleus outwards around each independent
// atom with the default settings, in both derivative modes: every nucleus
// searched from is listed as its (3,-3) point, and every other point listed
// is where a Newton search with analytic derivatives driven to
// |grad| < 1e-9 ends (within 0.001 Angstrom).
TEST_F(ExampleModelTest, ShellPointsAreRefinedCriticalPointsAndNucleiAreFound)
{
    const Example& example = EXAMPLE_MOLECULES[3];
    if (!fs::exists(EXAMPLES / example.folder / example.file))
        GTEST_SKIP() << "example missing: " << example.file;
    ASSERT_TRUE(load_example(example, true)) << ui_->answers.message_log();
    const WorkingAtomSet& atoms = current_model().atoms;
    for (const int numeric : {0, 1}) {
        SCOPED_TRACE(numeric);
        run_settings().calculation.numerical_derivatives = numeric;
        critical_point_list().cp_count = 0;
        for (int a = 1; a <= atoms.independent_atom_count; ++a) {
            CriticalPointSearchRequest request;
            request.mode = SearchMode::shell;
            request.shell = {a, 3, 3, 2, 0.0, 0.8, 1.0e6, false};
            run(request);
            bool nucleus = false;
            for (int k = 1; k <= critical_point_list().cp_count; ++k) {
                const CriticalPoint& cp = critical_point_list().points[k];
                nucleus = nucleus || (cp.type == 1 && cp.x == atoms.cart_x[a] && cp.y == atoms.cart_y[a] &&
                                      cp.z == atoms.cart_z[a]);
            }
            EXPECT_TRUE(nucleus) << a;
        }
        for (int k = 1; k <= critical_point_list().cp_count; ++k) {
            const CriticalPoint& cp = critical_point_list().points[k];
            Vector3 p{cp.x, cp.y, cp.z};
            bool at_nucleus = false;
            for (int a = 1; a <= atoms.atom_count; ++a)
                at_nucleus = at_nucleus || (cp.x == atoms.cart_x[a] && cp.y == atoms.cart_y[a] && cp.z == atoms.cart_z[a]);
            if (at_nucleus)
                continue;  // the cusp: no derivative is zero there
            double value = 0;
            Vector3 g{};
            Matrix3 h;
            for (int step = 0; step < 100; ++step) {
                evaluate_property_value_gradient_hessian(p, value, g, h, RHO);
                if (vector_length(g) < 1e-9)
                    break;
                Matrix3 inverse = h;
                ASSERT_TRUE(invert_3x3_matrix_keep_copy(inverse));
                for (int i = 1; i <= 3; ++i)
                    for (int j = 1; j <= 3; ++j)
                        p[i - 1] -= inverse(i, j) * g[j - 1];
            }
            EXPECT_LT(vector_length(g), 1e-9) << k;
            EXPECT_LT(std::hypot(p[0] - cp.x, p[1] - cp.y, p[2] - cp.z), 0.001) << k << " type " << cp.type;
        }
    }
    run_settings().calculation.numerical_derivatives = 0;
}

// Benzoquinone in P2_1/c with the molecules made by the 2_1 screw axis and
// the c glide: with C1's populations refined, the e.s.d.s of the density and
// of its Laplacian at a point near C1 and at its image near C1's image by
// each operation agree.
TEST_F(ExampleModelTest, EsdsAgreeAtPointsRelatedByScrewAndGlide)
{
    const Example crystal{"benzoquinone", "benzoquinone.kdn", 3, {}};
    if (!fs::exists(EXAMPLES / crystal.folder / crystal.file))
        GTEST_SKIP() << "example missing: " << crystal.file;
    ASSERT_TRUE(load_example(crystal)) << ui_->answers.message_log();
    const StructureModel& model = current_model();
    const WorkingAtomSet& atoms = model.atoms;

    auto matrix = std::make_unique<CovarianceMatrix>();
    const int kinds[] = {12, 13, 14, 15, 16, 17, 18, 20, 22, 25, 30};
    const int n = static_cast<int>(std::size(kinds));
    matrix->cov_order = n;
    matrix->cov_scale = 1.0;
    matrix->esd_available = 1;
    for (int s = 1; s <= n; ++s) {
        matrix->cov_atom[s] = 1;
        matrix->cov_kind[s] = kinds[s - 1];
        for (int t = s; t <= n; ++t)
            matrix->cov_at(s, t) = s == t ? 0.01 : 0.001 * ((s + t) % 3 - 1);
    }

    // Only the nearest image of C1 within reach: the finite cluster gives the
    // two points different far neighbours.
    run_settings().calculation.rCut = 2.0;
    const Vector3 c1 = working_atom_position(atoms, 1);
    int operations = 0;
    for (int g = atoms.independent_atom_count + 1; g <= atoms.atom_count; ++g) {
        const int operation = model.images.generating_operator[g];
        if (model.images.parent_atom[g] != 1 || std::abs(operation) == 3)
            continue;  // the inversion images are not what this is about
        ++operations;
        SCOPED_TRACE(operation);
        Matrix3 rotation, turn;
        for (int row = 1; row <= 3; ++row)
            for (int column = 1; column <= 3; ++column)
                rotation(row, column) = (operation < 0 ? -1.0 : 1.0) * model.operators.symop[std::abs(operation)][row][column];
        ASSERT_TRUE(transform_matrix_by_cell(model.orthogonalisation, rotation, turn));
        const auto turned = [&turn](const Vector3& v) {
            Vector3 w{};
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    w[i] += turn(i + 1, j + 1) * v[j];
            return w;
        };
        // The turn carries C1 -> O1 onto the images' C1 -> O1.
        const int o1_image = g + 3;  // O1 is the fourth atom of each block of six
        const Vector3 bond = turned(vector_difference(working_atom_position(atoms, 4), c1));
        const Vector3 image_bond =
            vector_difference(working_atom_position(atoms, o1_image), working_atom_position(atoms, g));
        ASSERT_LT(point_distance(bond, image_bond), 1e-6);
        const Vector3 cg = working_atom_position(atoms, g);
        for (const Vector3& v : {Vector3{0.3, 0.1, -0.2}, Vector3{-0.1, 0.45, 0.2}, Vector3{0.2, -0.3, 0.35}}) {
            const Vector3 w = turned(v);
            for (const int code : {17, 18}) {
                const double at_point = evaluate_property_esd(*matrix, c1[0] + v[0], c1[1] + v[1], c1[2] + v[2], code);
                const double at_image = evaluate_property_esd(*matrix, cg[0] + w[0], cg[1] + w[1], cg[2] + w[2], code);
                EXPECT_GT(at_point, 0.0);
                // Within the rounding of the model's coordinates and cell; a
                // wrong turn of an image's frame is off in the leading digits.
                EXPECT_NEAR(at_image, at_point, 1e-6 * at_point) << code;
            }
        }
    }
    EXPECT_EQ(operations, 2);
}
