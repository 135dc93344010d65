// Critical points a crystallographer can trust: a point is listed only where
// the atoms missing from the cluster cannot move it by EDGE_SHIFT_LIMIT
// (urea, a cluster cut close round one molecule and one of 250 atoms,
// checked on the crystal summed over all its images; the bounds of the
// missing atoms' terms checked against the evaluator), a point found from
// two pairs keeps its first labels, and a nucleus's Hessian prints in full.
#include "common/fortran_format.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/property_names.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/topology/cluster_edge.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/interatomic_surface.h"
#include "topology_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;
const std::string EDGE_TEXT = "near the edge of the cluster: atoms beyond it are missing";

std::string file_text(const fs::path& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Vector3 atom_position(int a)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    return {atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]};
}

class ClusterEdgeTest : public TopologyTest {
protected:
    // Urea with the images within `radius` of the middle of its C=O bond.
    void load_urea_cluster(double radius)
    {
        critical_point_list().cp_count = 0;
        ASSERT_TRUE(load_model("urea.kdn", file_text(fs::path(KD_TEST_DATA_DIR) / "fixtures" / "urea_promolecule.kdn")))
            << ui_->answers.message_log();
        StructureModel& model = current_model();
        const Vector3 c = atom_position(1);
        const Vector3 o = atom_position(2);
        const Vector3 centre{(c[0] + o[0]) / 2, (c[1] + o[1]) / 2, (c[2] + o[2]) / 2};
        generate_cluster_images(model, radius, centre, {}, model.space_group.lattice_type, CLUSTER_AROUND_POINT);
        ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST_SILENT, model));
        // Terms reach 4 Angstrom: a point of the rim then misses atoms
        // close to it, while the inner points miss only faint tails.
        run_settings().calculation.rCut = 4.0;
    }

    // The positions of the "near the edge" lines of the listing.
    std::vector<Vector3> edge_points() const
    {
        std::vector<Vector3> points;
        for (const std::string& line : listing_lines()) {
            const std::size_t at = line.find("point at");
            if (line.find(EDGE_TEXT) == std::string::npos || at == std::string::npos)
                continue;
            Vector3 p{};
            EXPECT_EQ(std::sscanf(line.c_str() + at + 8, "%lf %lf %lf", &p[0], &p[1], &p[2]), 3) << line;
            points.push_back(p);
        }
        return points;
    }

    // The rows and the "near the edge" points of the last table of bond
    // critical points the surface search wrote to the listing.
    struct SurfaceTable {
        std::vector<Vector3> rows, refused;
        bool counted = false;  // the count of the refused points follows the table
    };
    SurfaceTable surface_table() const
    {
        const std::vector<std::string> lines = listing_lines();
        std::size_t k = lines.size();
        while (k > 0 && lines[k - 1].rfind("Bond Critical Points of the atom", 0) != 0)
            --k;
        SurfaceTable table;
        // The header and the rule, the rows, then the header again.
        for (k += 2; k < lines.size() && lines[k].rfind("num ", 0) != 0; ++k) {
            const std::size_t at = lines[k].find("point at");
            Vector3 p{};
            if (lines[k].find(EDGE_TEXT) != std::string::npos && at != std::string::npos) {
                EXPECT_EQ(std::sscanf(lines[k].c_str() + at + 8, "%lf %lf %lf", &p[0], &p[1], &p[2]), 3);
                table.refused.push_back(p);
            } else if (lines[k].size() > 48) {
                EXPECT_EQ(std::sscanf(lines[k].c_str() + lines[k].size() - 48, "%lf %lf %lf", &p[0], &p[1], &p[2]), 3)
                    << lines[k];
                table.rows.push_back(p);
            }
        }
        for (; k < lines.size() && lines[k].rfind("BETA sphera radius", 0) != 0; ++k)
            table.counted = table.counted
                            || lines[k] == format_line("(' Points near the edge of the cluster, not listed:',I5)",
                                                       {static_cast<int>(table.refused.size())});
        return table;
    }
};

}  // namespace

// The molecule's own bond points lie well inside a 7-Angstrom cluster; the
// points between the molecules at its rim do not.  Checked on the crystal:
// a Newton step on the crystal's density moves every listed point less than
// EDGE_SHIFT_LIMIT, and some refused point would have been a false one.
TEST_F(ClusterEdgeTest, CloseClusterRefusesPointsAtItsEdgeAndKeepsTheInnerOnes)
{
    load_urea_cluster(7.0);
    ASSERT_GT(current_model().atoms.atom_count, 100);
    const SearchResult result = run_critical_point_search(CriticalPointSearchRequest{}, RHO);
    const std::vector<Vector3> refused = edge_points();

    ASSERT_GT(result.near_edge, 0);
    EXPECT_EQ(static_cast<int>(refused.size()), result.near_edge);  // each reported once
    for (std::size_t i = 0; i < refused.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_GE(point_distance(refused[i], refused[j]), SAME_CRITICAL_POINT_DISTANCE);
    EXPECT_TRUE(contains_line(listing_lines(), format_line("(' Points near the edge of the cluster, not listed:',I5)",
                                                           {result.near_edge})));
    // The bond points of the central molecule: C=O, two C-N, four N-H.
    const Vector3 c = atom_position(1);
    const Vector3 o = atom_position(2);
    const Vector3 middle{(c[0] + o[0]) / 2, (c[1] + o[1]) / 2, (c[2] + o[2]) / 2};
    int central_bonds = 0;
    for (int k = 1; k <= critical_point_list().cp_count; ++k) {
        const CriticalPoint& cp = critical_point_list().points[k];
        if (cp.type == 2 && point_distance({cp.x, cp.y, cp.z}, middle) < 2.5 &&
            point_distance(atom_position(cp.atom1), atom_position(cp.atom2)) < 1.5)
            ++central_bonds;
    }
    EXPECT_EQ(central_bonds, 7);
    // More than the molecule's own: the inner hydrogen bonds too.
    EXPECT_GT(result.found, 7);
    RecordProperty("listed", result.found);
    RecordProperty("refused", result.near_edge);

    const CrystalSum crystal = crystal_sum();
    for (int k = 1; k <= critical_point_list().cp_count; ++k) {
        const CriticalPoint& cp = critical_point_list().points[k];
        EXPECT_LT(crystal.newton_shift({cp.x, cp.y, cp.z}), EDGE_SHIFT_LIMIT) << cp.atom1 << " - " << cp.atom2;
    }
    double largest = 0;
    for (const Vector3& p : refused)
        largest = std::max(largest, crystal.gradient_norm(p));
    EXPECT_GT(largest, 1e-2);
}

// The bound tables of one search serve the next one of the same model and
// property; an edit, another property or another rCut makes them again.
TEST_F(ClusterEdgeTest, EdgeTablesFollowTheModelBetweenSearches)
{
    load_urea_cluster(7.0);
    const ClusterReach first = prepare_cluster_reach(RHO);
    const ClusterReach again = prepare_cluster_reach(RHO);
    ASSERT_EQ(first.rule, ClusterReach::Rule::effect);
    EXPECT_EQ(again.held.size(), first.held.size());
    ASSERT_EQ(again.bounds.size(), first.bounds.size());
    for (std::size_t a = 0; a < first.bounds.size(); ++a)
        EXPECT_EQ(again.bounds[a].gradient, first.bounds[a].gradient);

    current_model().atoms.subset_mask[5] = 0;  // as the Subset dialog's OK
    note_model_change();
    EXPECT_EQ(prepare_cluster_reach(RHO).held.size(), first.held.size() - 1);
    EXPECT_EQ(prepare_cluster_reach(8).rule, ClusterReach::Rule::reach);
    EXPECT_EQ(prepare_cluster_reach(RHO).rule, ClusterReach::Rule::effect);
    const double r_cut = run_settings().calculation.rCut;
    run_settings().calculation.rCut = 3.0;
    const ClusterReach shorter = prepare_cluster_reach(RHO);
    run_settings().calculation.rCut = r_cut;
    ASSERT_FALSE(shorter.bounds.empty());
    EXPECT_LT(shorter.bounds[0].gradient.size(), first.bounds[0].gradient.size());
}

// The surface search locates the bond points around its atom itself.  On
// the close cluster it lists those of the central carbon, as the
// critical-point search does, and of a hydrogen at the rim none that search
// refuses, reporting each such point once on its own line.  The refused
// points still bound the surface: its list and its beta radius keep them.
TEST_F(ClusterEdgeTest, SurfaceSearchListsOnlyPointsTheCriticalPointSearchKeeps)
{
    load_urea_cluster(7.0);
    const SearchResult search = run_critical_point_search(CriticalPointSearchRequest{}, RHO);
    ASSERT_GT(search.near_edge, 0);
    const std::vector<Vector3> refused_by_search = edge_points();
    std::vector<Vector3> listed_by_search;
    for (int k = 1; k <= critical_point_list().cp_count; ++k)
        listed_by_search.push_back({critical_point_list().points[k].x, critical_point_list().points[k].y,
                                    critical_point_list().points[k].z});
    // The printed positions have four decimals.
    const auto among = [](const Vector3& p, const std::vector<Vector3>& points) {
        return std::any_of(points.begin(), points.end(), [&](const Vector3& q) { return point_distance(p, q) < 1e-3; });
    };

    // The hydrogen farthest from the molecule at the centre whose nitrogen
    // is in the cluster.
    const WorkingAtomSet& atoms = current_model().atoms;
    const Vector3 centre = atom_position(1);
    int rim = 0;
    for (int a = 1; a <= atoms.atom_count; ++a) {
        if (atoms.atomic_number[a] != 1)
            continue;
        bool bonded = false;
        for (int b = 1; b <= atoms.atom_count; ++b)
            bonded = bonded || (atoms.atomic_number[b] == 7 && point_distance(atom_position(a), atom_position(b)) < 1.2);
        if (bonded && (rim == 0 || point_distance(atom_position(a), centre) > point_distance(atom_position(rim), centre)))
            rim = a;
    }
    ASSERT_NE(rim, 0);

    for (const int atom : {1, rim}) {
        SCOPED_TRACE(atom);
        const SurfaceRun run = compute_interatomic_surface(atom, 4, 6, 0.015, 0.0005);
        const SurfaceTable table = surface_table();
        for (const Vector3& p : table.rows) {
            EXPECT_TRUE(among(p, listed_by_search));
            EXPECT_FALSE(among(p, refused_by_search));
        }
        for (const Vector3& p : table.refused)
            EXPECT_TRUE(among(p, refused_by_search));
        for (std::size_t i = 0; i < table.refused.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_GE(point_distance(table.refused[i], table.refused[j]), SAME_CRITICAL_POINT_DISTANCE);
        EXPECT_EQ(table.counted, !table.refused.empty());

        const CriticalPointList& points = surface_critical_points();
        EXPECT_EQ(points.cp_count, static_cast<int>(table.rows.size() + table.refused.size()));
        double nearest = NO_SURFACE_RADIUS;
        for (int k = 1; k <= points.cp_count; ++k)
            nearest = std::min(nearest, points.points[k].distance);
        EXPECT_EQ(run.beta_radius, nearest);
        if (atom == 1) {
            EXPECT_EQ(table.rows.size(), 3u);  // C=O and the two C-N
            EXPECT_TRUE(table.refused.empty());
        } else {
            EXPECT_TRUE(table.rows.empty());
            EXPECT_FALSE(table.refused.empty());
        }
    }
}

// Urea with the 250-atom cluster of tests/fixtures/urea_gspace.cls and the
// default rCut: every listed point is a critical point of the crystal, whose
// gradient and Hessian are summed here over every symmetry and lattice image
// of the spherical atoms within rCut (independently of the cluster): a
// Newton step on the crystal moves it less than EDGE_SHIFT_LIMIT.  Some
// refused point is far from one.
TEST_F(ClusterEdgeTest, ListedPointsOfA250AtomClusterAreCriticalPointsOfTheCrystal)
{
    fs::copy_file(fs::path(KD_TEST_DATA_DIR) / "fixtures" / "urea_gspace.cls", directory_ / "gspace.cls");
    ASSERT_TRUE(load_model("urea.kdn", file_text(fs::path(KD_TEST_DATA_DIR) / "fixtures" / "urea_promolecule.kdn")))
        << ui_->answers.message_log();
    ASSERT_EQ(current_model().atoms.atom_count, 250);
    const SearchResult result = run_critical_point_search(CriticalPointSearchRequest{}, RHO);
    // The pairs of the inner molecules give their bond points and the
    // hydrogen bonds between them; the rim's are refused.
    EXPECT_GT(result.found, 40);
    EXPECT_GT(result.near_edge, 100);

    const CrystalSum crystal = crystal_sum();
    double largest_gradient = 0, largest_shift = 0;
    for (int k = 1; k <= critical_point_list().cp_count; ++k) {
        const CriticalPoint& cp = critical_point_list().points[k];
        const Vector3 p{cp.x, cp.y, cp.z};
        const double shift = crystal.newton_shift(p);
        EXPECT_LT(shift, EDGE_SHIFT_LIMIT) << k;
        largest_shift = std::max(largest_shift, shift);
        largest_gradient = std::max(largest_gradient, crystal.gradient_norm(p));
    }
    double largest = 0;
    for (const Vector3& p : edge_points())
        largest = std::max(largest, crystal.gradient_norm(p));
    EXPECT_GT(largest, 1e-2);
    RecordProperty("listed", result.found);
    RecordProperty("refused", result.near_edge);
    RecordProperty("largest_crystal_gradient", std::to_string(largest_gradient));
    RecordProperty("largest_newton_shift", std::to_string(largest_shift));
}

// The bounds of an atom's density and of its gradient's magnitude hold in
// every direction at every distance out to its radius, for the atom and for
// each of its symmetry images, with the populations in either frame
// (benzoquinone with multipoles up to hexadecapoles, urea's spherical
// atoms), and they are not idle: within a few times the largest value.
TEST_F(ClusterEdgeTest, TermBoundsHoldInEveryDirectionForEveryImage)
{
    const struct {
        fs::path model, cluster;
    } models[] = {
        {fs::path(KD_SOURCE_DIR) / "examples" / "benzoquinone" / "benzoquinone.kdn",
         fs::path(KD_SOURCE_DIR) / "examples" / "benzoquinone" / "gspace.cls"},
        {fs::path(KD_TEST_DATA_DIR) / "fixtures" / "urea_promolecule.kdn",
         fs::path(KD_TEST_DATA_DIR) / "fixtures" / "urea_gspace.cls"},
    };
    // Directions spread over the sphere (a Fibonacci lattice).
    std::vector<Vector3> directions;
    constexpr int DIRECTION_COUNT = 120;
    for (int k = 0; k < DIRECTION_COUNT; ++k) {
        const double z = 1.0 - (2.0 * k + 1.0) / DIRECTION_COUNT;
        const double phi = k * 2.399963229728653;
        directions.push_back({std::sqrt(1 - z * z) * std::cos(phi), std::sqrt(1 - z * z) * std::sin(phi), z});
    }
    for (const auto& [model_path, cluster_path] : models) {
        SCOPED_TRACE(model_path.filename().string());
        if (!fs::exists(model_path))
            GTEST_SKIP() << "example missing: " << model_path;
        fs::copy_file(cluster_path, directory_ / "gspace.cls", fs::copy_options::overwrite_existing);
        ASSERT_TRUE(load_model(model_path.filename().string(), file_text(model_path))) << ui_->answers.message_log();
        const StructureModel& model = current_model();
        ASSERT_GT(model.atoms.atom_count, model.atoms.independent_atom_count);
        for (int a = 1; a <= model.atoms.independent_atom_count; ++a) {
            const int images = std::min(model.images.image_count[a], MAX_IMAGES_PER_ATOM);
            double radius = density_term_radius(a);
            for (int j = 2; j <= images; ++j)
                radius = std::max(radius, density_term_radius(model.images.image_list[a][j]));
            const AtomTermBounds bounds = prepare_atom_term_bounds(a, RHO, radius);
            double tightest = 0;
            for (int j = 1; j <= std::max(images, 1); ++j) {
                const int atom = j == 1 ? a : model.images.image_list[a][j];
                for (double r = 0.05; r <= radius; r += 0.0731)
                    for (const Vector3& u : directions) {
                        double unused = 0;
                        for (const auto term : {evaluate_pseudoatom_term_global_frame,
                                                evaluate_pseudoatom_term_local_frame}) {
                            Vector3 g{};
                            for (int k = 0; k < 3; ++k)
                                g[k] = term(atom, r * u[0], r * u[1], r * u[2], 5 + k, unused);
                            const double rho = term(atom, r * u[0], r * u[1], r * u[2], RHO, unused);
                            const double g_bound = bound_at(bounds.gradient, bounds.step, r);
                            const double rho_bound = bound_at(bounds.density, bounds.step, r);
                            ASSERT_LE(vector_length(g), g_bound) << "atom " << atom << " r " << r;
                            ASSERT_LE(std::abs(rho), rho_bound) << "atom " << atom << " r " << r;
                            if (r > 1.0 && r < 3.0)
                                tightest = std::max(tightest, vector_length(g) / g_bound);
                        }
                    }
            }
            EXPECT_GT(tightest, 0.2) << "atom " << a;
            RecordProperty("tightest_" + model_path.stem().string() + "_" + std::to_string(a),
                           std::to_string(tightest));
        }
    }
}

// The summary of a cluster of 100 atoms or more prints atom numbers in full.
TEST_F(ClusterEdgeTest, SummaryPrintsAtomNumbersFrom100InFull)
{
    load_urea_cluster(6.0);
    ASSERT_GE(current_model().atoms.atom_count, 110);
    CriticalPoint cp;
    cp.type = 2;
    cp.atom1 = 2;
    cp.atom2 = 110;
    ASSERT_EQ(append_critical_point(critical_point_list(), cp), 1);
    write_critical_point_summary(0, RHO);
    bool summarised = false;
    const std::string row = format_line("(2X,I3,2X,A9,A5,I3,' - ',A5,I3,2X,A9)",
                                        {1, property_label(52), "O1   ", 2, atom_label_text(110, 5), 110,
                                         property_label(RHO)});
    for (const std::string& line : listing_lines())
        summarised = summarised || line.rfind(row, 0) == 0;
    EXPECT_TRUE(summarised) << row;
}

// The shell search about a hydrogen atom at the rim of the cluster lists
// nothing and reports each point it finds there once.
TEST_F(ClusterEdgeTest, ShellSearchRefusesPointsAtTheEdgeOnce)
{
    load_urea_cluster(6.0);
    CriticalPointSearchRequest request;
    request.mode = SearchMode::shell;
    const Vector3 centre = atom_position(1);
    int rim = 0;
    for (int a = 1; a <= current_model().atoms.atom_count; ++a)
        if (current_model().atoms.atomic_number[a] == 1 &&
            (rim == 0 || point_distance(atom_position(a), centre) > point_distance(atom_position(rim), centre)))
            rim = a;
    request.shell = {rim, 5, 5, 2, 0.3, 1.5, 20.0, false};
    const SearchResult result = run_critical_point_search(request, RHO);
    EXPECT_EQ(result.found, 0);
    EXPECT_GT(result.near_edge, 0);
    EXPECT_EQ(static_cast<int>(edge_points().size()), result.near_edge);
    EXPECT_EQ(critical_point_list().cp_count, 0);
}

// Four carbon atoms on a square: the centre is found from the pair 1-3 and
// again from the pair 2-4.  The entry keeps the labels it was first found
// with, and the line naming it follows the row of the second pair.
TEST_F(ClusterEdgeTest, PointFoundFromTwoPairsKeepsItsFirstLabels)
{
    constexpr double side = 1.5;
    ASSERT_TRUE(load_model("square.kdn", spherical_atoms_model("Square of spherical carbon atoms",
                                                               {{"C1", 10, 10, 10},
                                                                {"C2", 10 + side, 10, 10},
                                                                {"C3", 10 + side, 10 + side, 10},
                                                                {"C4", 10, 10 + side, 10}},
                                                               20, 20, 20)));
    const SearchResult result = run_critical_point_search(CriticalPointSearchRequest{}, RHO);
    EXPECT_EQ(result.near_edge, 0);
    const CriticalPointList& list = critical_point_list();
    int centre = 0;
    for (int k = 1; k <= list.cp_count; ++k)
        if (std::hypot(list.points[k].x - 10 - side / 2, list.points[k].y - 10 - side / 2) < 1e-6)
            centre = k;
    ASSERT_NE(centre, 0);
    EXPECT_EQ(list.points[centre].atom1, 1);
    EXPECT_EQ(list.points[centre].atom2, 3);
    EXPECT_NEAR(list.points[centre].distance, side / std::sqrt(2.0), 1e-6);

    const std::vector<std::string> listing = listing_lines();
    const std::string same = format_line("(' CP located: the same as CP number',I4,' of the list')", {centre});
    std::size_t row = listing.size(), line = listing.size();
    for (std::size_t k = 0; k < listing.size(); ++k) {
        if (listing[k].rfind(" C2      2 - C4      4", 0) == 0)
            row = k;
        if (listing[k] == same)
            line = k;
    }
    ASSERT_LT(row, listing.size());
    ASSERT_LT(line, listing.size());
    EXPECT_EQ(line, row + 2);  // after the row and its eigenvalues
    const std::string summary_row = format_line("(2X,I3,2X,A9,A5,I2,' - ',A5,I2)",
                                                {centre, property_label(50 + list.points[centre].type),
                                                 "C1   ", 1, "C3   ", 3});
    bool summarised = false;
    for (const std::string& text : listing)
        summarised = summarised || text.rfind(summary_row, 0) == 0;
    EXPECT_TRUE(summarised) << summary_row;
}

// Values too wide for their columns: fixed form while they fit, E form
// beyond, never asterisks.
TEST(FittedRealTest, FixedWhileItFitsElseExponent)
{
    const struct {
        double value;
        int width, decimals;
        const char* text;
    } cases[] = {
        {-12.5, 12, 3, "     -12.500"},
        {9999999.999, 12, 3, " 9999999.999"},
        {-123456789.0, 12, 3, "-1.23457E+08"},
        {2.5e12, 12, 4, " 2.50000E+12"},
        {1234567.0, 8, 3, " 1.2E+06"},
        {-7.25, 11, 2, "      -7.25"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fitted_real(c.value, c.width, c.decimals), c.text) << c.value;
}

// A search from a nucleus with analytic derivatives: the cusp gives huge
// Hessian values, which print in full.
TEST_F(ClusterEdgeTest, NucleusHessianPrintsWithoutAsterisks)
{
    ASSERT_TRUE(load_model("c.kdn", spherical_atoms_model("One spherical carbon atom", {{"C1", 10, 10, 10}}, 20,
                                                          20, 20)));
    run_settings().calculation.numerical_derivatives = 0;
    CriticalPointSearchRequest request;
    request.mode = SearchMode::point;
    request.point = {10, 10, 10};
    run_critical_point_search(request, RHO);
    ASSERT_EQ(critical_point_list().cp_count, 1);
    EXPECT_EQ(critical_point_list().points[1].type, 1);
    const std::vector<std::string> listing = listing_lines();
    bool row = false;
    for (std::size_t k = 0; k + 1 < listing.size(); ++k)
        if (listing[k].find("Hessian Eigenvalues          f") != std::string::npos) {
            row = true;
            EXPECT_EQ(listing[k + 1].find('*'), std::string::npos) << listing[k + 1];
            EXPECT_NE(listing[k + 1].find("E+"), std::string::npos) << listing[k + 1];
        }
    EXPECT_TRUE(row);
}
