// Critical points of models whose topology is known without our code: a
// homonuclear diatomic (bond point at the midpoint, zero ellipticity, a
// straight bond path of the interatomic length), a ring and a cage of
// spherical atoms and a simple cubic crystal, whose points satisfy the
// Poincare-Hopf relation n - b + r - c = 1 (molecule) or 0 (unit cell).
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/bond_path.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/critical_point_list.h"
#include "topology_test_support.h"

#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr int RHO = 3;
constexpr double N2_DISTANCE = 1.0976;  // Angstrom
constexpr double NE2_DISTANCE = 4.6;    // longer than two 2-Angstrom paths

std::string diatomic(const std::string& element, double d)
{
    return spherical_atoms_model("Homonuclear diatomic, spherical atoms",
                                 {{element + "1", 10.0 - d / 2, 10.0, 10.0}, {element + "2", 10.0 + d / 2, 10.0, 10.0}},
                                 20.0, 20.0, 20.0);
}

// A regular hexagon of carbon atoms (radius 1.40) in the xy plane.
std::string carbon_ring()
{
    std::vector<SphericalAtom> atoms;
    for (int k = 0; k < 6; ++k) {
        const double angle = k * M_PI / 3;
        atoms.push_back({"C" + std::to_string(k + 1), 10 + 1.40 * std::cos(angle), 10 + 1.40 * std::sin(angle), 10});
    }
    return spherical_atoms_model("Hexagon of spherical carbon atoms", atoms, 20, 20, 20);
}

// A cube of carbon atoms with 1.55 Angstrom edges.
constexpr double CUBE_EDGE = 1.55;
std::string carbon_cube()
{
    std::vector<SphericalAtom> atoms;
    int k = 0;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            for (int l = 0; l < 2; ++l)
                atoms.push_back({"C" + std::to_string(++k), 10 + i * CUBE_EDGE, 10 + j * CUBE_EDGE, 10 + l * CUBE_EDGE});
    return spherical_atoms_model("Cube of spherical carbon atoms", atoms, 20, 20, 20);
}

struct TypeCounts {
    int n = 0, b = 0, r = 0, c = 0, degenerate = 0;
    int poincare_hopf() const { return n - b + r - c; }
};

TypeCounts count_types(const std::vector<const CriticalPoint*>& points)
{
    TypeCounts counts;
    for (const CriticalPoint* p : points) {
        switch (p->type) {
        case 1: ++counts.n; break;
        case 2: ++counts.b; break;
        case 3: ++counts.r; break;
        case 4: ++counts.c; break;
        default: ++counts.degenerate; break;
        }
    }
    return counts;
}

std::vector<const CriticalPoint*> listed_points()
{
    std::vector<const CriticalPoint*> points;
    for (int k = 1; k <= critical_point_list().cp_count; ++k)
        points.push_back(&critical_point_list().points[k]);
    return points;
}

Vector3 atom_position(int a)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    return {atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]};
}

class CriticalPointTest : public TopologyTest {
protected:
    SearchResult search_all_pairs()
    {
        CriticalPointSearchRequest request;
        request.mode = SearchMode::atoms;
        return run_critical_point_search(request, RHO);
    }
    SearchResult search_pair(int i, int j)
    {
        CriticalPointSearchRequest request;
        request.mode = SearchMode::atoms;
        request.certain_pair = true;
        request.atom1 = i;
        request.atom2 = j;
        return run_critical_point_search(request, RHO);
    }
    SearchResult search_ring(const std::vector<int>& atoms)
    {
        CriticalPointSearchRequest request;
        request.mode = SearchMode::ring;
        request.ring.ring_atom_count = static_cast<int>(atoms.size());
        for (size_t k = 0; k < atoms.size(); ++k)
            request.ring.ring_atoms[k + 1] = atoms[k];
        return run_critical_point_search(request, RHO);
    }
    SearchResult search_from(const Vector3& point)
    {
        CriticalPointSearchRequest request;
        request.mode = SearchMode::point;
        request.point = point;
        return run_critical_point_search(request, RHO);
    }
    // Every nucleus as a start point: the maxima.
    void search_nuclei()
    {
        for (int a = 1; a <= current_model().atoms.atom_count; ++a)
            search_from(atom_position(a));
    }
};

}  // namespace

TEST_F(CriticalPointTest, HomonuclearDiatomicHasItsBondPointAtTheMidpointWithZeroEllipticity)
{
    ASSERT_TRUE(load_model("n2.kdn", diatomic("N", N2_DISTANCE))) << ui_->answers.message_log();
    const SearchResult result = search_all_pairs();
    EXPECT_EQ(result.found, 1);
    ASSERT_EQ(critical_point_list().cp_count, 1);
    const CriticalPoint& cp = critical_point_list().points[1];
    EXPECT_EQ(cp.type, 2);
    EXPECT_NEAR(cp.x, 10.0, 1e-6);
    EXPECT_NEAR(cp.y, 10.0, 1e-6);
    EXPECT_NEAR(cp.z, 10.0, 1e-6);
    EXPECT_EQ(cp.atom1, 1);
    EXPECT_EQ(cp.atom2, 2);
    EXPECT_NEAR(cp.distance, N2_DISTANCE / 2, 1e-6);
    // Cylindrical symmetry: the two curvatures across the bond are equal.
    EXPECT_LT(cp.lambda[0], 0);
    EXPECT_NEAR(cp.lambda[0] / cp.lambda[1] - 1, 0.0, 1e-6);
    EXPECT_GT(cp.lambda[2], 0);
    EXPECT_NEAR(std::fabs(cp.eigenvectors(1, 3)), 1.0, 1e-6);  // the positive curvature runs along the bond

    // The bond table: (1X,A6,I3,' - ',A6,I3,2X,F10.3,2X,F11.2,3F8.3) and
    // (40X,3F12.3,2X,F6.3) with Rij = 1.098, d1 = d2 = 0.549, ellipticity 0.
    const std::vector<std::string> listing = listing_lines();
    bool row_found = false;
    for (size_t k = 0; k + 1 < listing.size(); ++k) {
        const std::string& row = listing[k];
        if (row.rfind(" N1      1 - N2      2  ", 0) != 0)
            continue;
        row_found = true;
        EXPECT_EQ(row.size(), 71u);
        EXPECT_EQ(row.substr(47), "   1.098   0.549   0.549");
        EXPECT_EQ(listing[k + 1].size(), 84u);
        EXPECT_EQ(listing[k + 1].substr(76), "   0.000");
    }
    EXPECT_TRUE(row_found);
    EXPECT_TRUE(contains_line(listing, " Summary of CPs:"));
}

TEST_F(CriticalPointTest, DiatomicBondPathRunsToBothNucleiWithTheInteratomicLength)
{
    ASSERT_TRUE(load_model("n2.kdn", diatomic("N", N2_DISTANCE)));
    search_all_pairs();
    ASSERT_EQ(critical_point_list().cp_count, 1);
    const BondPathResult path = trace_bond_path(1);
    ASSERT_TRUE(path.traced);
    EXPECT_EQ(path.legs[0].nucleus, 1);
    EXPECT_EQ(path.legs[1].nucleus, 2);
    for (const BondPathLeg& leg : path.legs) {
        EXPECT_TRUE(leg.complete);
        const Vector3 nucleus = atom_position(leg.nucleus);
        EXPECT_LT(std::hypot(leg.end[0] - nucleus[0], leg.end[1] - nucleus[1], leg.end[2] - nucleus[2]),
                  run_settings().calculation.ds);
    }
    EXPECT_NEAR(path.legs[0].length + path.legs[1].length, N2_DISTANCE, 1e-9);
    const std::vector<std::string> listing = listing_lines();
    EXPECT_TRUE(contains_line(listing, " Bond path from CP -> nucleus N1    :    0.549 Angstroms"));
    EXPECT_TRUE(contains_line(listing, " Bond path from CP -> nucleus N2    :    0.549 Angstroms"));
    EXPECT_TRUE(contains_line(listing, "    Distance from N1   -N2    to CP :    0.000 Angstroms"));
}

TEST_F(CriticalPointTest, BondPathsLongerThanTwoAngstromReachTheNucleus)
{
    ASSERT_TRUE(load_model("ne2.kdn", diatomic("Ne", NE2_DISTANCE)));
    const SearchResult result = search_pair(1, 2);
    ASSERT_EQ(result.found, 1);
    ASSERT_EQ(critical_point_list().points[1].type, 2);
    const BondPathResult path = trace_bond_path(1);
    ASSERT_TRUE(path.traced);
    for (const BondPathLeg& leg : path.legs) {
        EXPECT_TRUE(leg.complete);
        EXPECT_GT(leg.steps, 200);  // beyond the 2-Angstrom limit of ds = 0.01
    }
    EXPECT_NEAR(path.legs[0].length + path.legs[1].length, NE2_DISTANCE, 1e-9);
}

TEST_F(CriticalPointTest, AnIncompletePathIsFlaggedAndNotPadded)
{
    ASSERT_TRUE(load_model("n2.kdn", diatomic("N", N2_DISTANCE)));
    search_all_pairs();
    ASSERT_EQ(critical_point_list().cp_count, 1);
    // Pretend the point belongs to atom 2 and a far atom it can not reach:
    // the leg towards the far atom runs to atom 1 instead and never arrives.
    critical_point_list().points[1].atom1 = 2;
    critical_point_list().points[1].atom2 = 1;
    current_model().atoms.cart_x[1] = 2.0;  // the leg's target moved out of reach
    const BondPathResult path = trace_bond_path(1);
    ASSERT_TRUE(path.traced);
    const BondPathLeg& stray = path.legs[1];
    EXPECT_FALSE(stray.complete);
    EXPECT_NEAR(stray.length, 0.001 + stray.steps * run_settings().calculation.ds, 1e-9);
    bool flagged = false;
    for (const std::string& line : listing_lines())
        flagged = flagged || line.find("INCOMPLETE") != std::string::npos;
    EXPECT_TRUE(flagged);
}

TEST_F(CriticalPointTest, RingOfAtomsSatisfiesPoincareHopf)
{
    ASSERT_TRUE(load_model("ring.kdn", carbon_ring()));
    search_all_pairs();
    search_nuclei();
    search_ring({1, 2, 3, 4, 5, 6});
    const TypeCounts counts = count_types(listed_points());
    EXPECT_EQ(counts.n, 6);
    EXPECT_EQ(counts.b, 6);
    EXPECT_EQ(counts.r, 1);
    EXPECT_EQ(counts.c, 0);
    EXPECT_EQ(counts.degenerate, 0);
    EXPECT_EQ(counts.poincare_hopf(), 1);
}

TEST_F(CriticalPointTest, CageOfAtomsSatisfiesPoincareHopf)
{
    ASSERT_TRUE(load_model("cube.kdn", carbon_cube()));
    search_all_pairs();
    search_nuclei();
    // Faces (atoms numbered by i, j, l in binary) and the whole cage.
    const std::vector<std::vector<int>> faces = {{1, 2, 4, 3}, {5, 6, 8, 7}, {1, 2, 6, 5},
                                                 {3, 4, 8, 7}, {1, 3, 7, 5}, {2, 4, 8, 6}};
    for (const auto& face : faces)
        search_ring(face);
    search_ring({1, 2, 3, 4, 5, 6, 7, 8});
    const TypeCounts counts = count_types(listed_points());
    EXPECT_EQ(counts.n, 8);
    EXPECT_EQ(counts.b, 12);
    EXPECT_EQ(counts.r, 6);
    EXPECT_EQ(counts.c, 1);
    EXPECT_EQ(counts.poincare_hopf(), 1);
    // The cage point is at the centre.
    const CriticalPoint& cage = critical_point_list().points[critical_point_list().cp_count];
    EXPECT_EQ(cage.type, 4);
    EXPECT_NEAR(cage.x, 10 + CUBE_EDGE / 2, 1e-6);
}

TEST_F(CriticalPointTest, UnitCellOfASimpleCubicCrystalSatisfiesPoincareHopf)
{
    // One carbon atom in a 2-Angstrom cubic cell with its 26 nearest
    // lattice images as the cluster, and terms reaching 1.9 Angstrom: the
    // cluster then holds the reach of every point of the central cell.
    constexpr double a = 2.0;
    write_translation_cluster(1, 1);
    ASSERT_TRUE(load_model("cubic.kdn", spherical_atoms_model("Simple cubic carbon", {{"C1", 0, 0, 0}}, a, a, a)))
        << ui_->answers.message_log();
    ASSERT_EQ(current_model().atoms.atom_count, 27);
    run_settings().calculation.rCut = 1.9;
    auto image = [](int i, int j, int k) {
        const WorkingAtomSet& atoms = current_model().atoms;
        for (int n = 1; n <= atoms.atom_count; ++n)
            if (std::lround(atoms.frac_x[n]) == i && std::lround(atoms.frac_y[n]) == j &&
                std::lround(atoms.frac_z[n]) == k)
                return n;
        return 0;
    };
    search_all_pairs();
    search_from({0, 0, 0});
    search_ring({image(0, 0, 0), image(1, 0, 0), image(1, 1, 0), image(0, 1, 0)});
    search_ring({image(0, 0, 0), image(1, 0, 0), image(1, 0, 1), image(0, 0, 1)});
    search_ring({image(0, 0, 0), image(0, 1, 0), image(0, 1, 1), image(0, 0, 1)});
    search_ring({image(0, 0, 0), image(1, 0, 0), image(1, 1, 0), image(0, 1, 0), image(0, 0, 1), image(1, 0, 1),
                 image(1, 1, 1), image(0, 1, 1)});

    // The points of one unit cell: fractional coordinates taken modulo 1,
    // points that coincide then counted once.
    std::vector<const CriticalPoint*> cell_points;
    std::vector<Vector3> cell_positions;
    for (const CriticalPoint* p : listed_points()) {
        Vector3 f{p->x / a, p->y / a, p->z / a};
        for (double& v : f)
            v -= std::floor(v + 0.01);  // into [-0.01, 0.99)
        bool known = false;
        for (const Vector3& q : cell_positions)
            known = known || std::hypot(f[0] - q[0], f[1] - q[1], f[2] - q[2]) < 0.02;
        if (!known) {
            cell_positions.push_back(f);
            cell_points.push_back(p);
        }
    }
    const TypeCounts counts = count_types(cell_points);
    EXPECT_EQ(counts.n, 1);
    EXPECT_EQ(counts.b, 3);
    EXPECT_EQ(counts.r, 3);
    EXPECT_EQ(counts.c, 1);
    EXPECT_EQ(counts.poincare_hopf(), 0);
}

TEST_F(CriticalPointTest, APointFoundAgainIsMergedNotListedTwice)
{
    ASSERT_TRUE(load_model("n2.kdn", diatomic("N", N2_DISTANCE)));
    search_all_pairs();
    const SearchResult again = search_from({10.01, 10.0, 10.0});
    EXPECT_EQ(again.found, 0);
    EXPECT_EQ(critical_point_list().cp_count, 1);
    EXPECT_TRUE(contains_line(pane_lines(), " CP located: the same as CP number   1 of the list"));
}

TEST_F(CriticalPointTest, PointSearchRecordsTheNearestAtomAndItsDistance)
{
    ASSERT_TRUE(load_model("n2.kdn", diatomic("N", N2_DISTANCE)));
    // A slot left from an earlier list must not leak into the new entry.
    CriticalPoint stale;
    stale.atom1 = 1;
    stale.atom2 = 2;
    stale.distance = 99;
    append_critical_point(critical_point_list(), stale);
    critical_point_list().cp_count = 0;
    // From the second nucleus the search settles on its maximum.
    search_from(atom_position(2));
    ASSERT_EQ(critical_point_list().cp_count, 1);
    const CriticalPoint& cp = critical_point_list().points[1];
    EXPECT_EQ(cp.type, 1);
    EXPECT_EQ(cp.atom1, 2);
    EXPECT_EQ(cp.atom2, 0);
    EXPECT_LT(cp.distance, 0.01);
}

TEST_F(CriticalPointTest, EsdColumnsOnlyForTheDensityAndItsLaplacian)
{
    ASSERT_TRUE(load_model("n2.kdn", diatomic("N", N2_DISTANCE)));
    CovarianceMatrix saved = covariance_matrix();
    covariance_matrix().esd_available = 1;
    covariance_matrix().cov_order = 0;
    search_all_pairs();
    critical_point_list().cp_count = 0;
    CriticalPointSearchRequest request;
    request.mode = SearchMode::atoms;
    run_critical_point_search(request, 2);  // the valence density: no e.s.d.s are computed for it
    covariance_matrix() = saved;
    const std::vector<std::string> listing = listing_lines();
    int with_esd = 0, without_esd = 0;
    for (const std::string& line : listing) {
        if (line.rfind(" N1      1 - N2      2  ", 0) != 0)
            continue;
        if (line.find('(') != std::string::npos)
            ++with_esd;
        else
            ++without_esd;
    }
    EXPECT_EQ(with_esd, 1);
    EXPECT_EQ(without_esd, 1);
    EXPECT_TRUE(contains_line(listing, "          Bond                  f           Del2f        Rij    d1"));
    EXPECT_TRUE(contains_line(listing, "          Bond                f          Del2f     Rij     d1      d2"));
}
