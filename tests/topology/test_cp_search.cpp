// The searches as the dialog runs them: the pair filters (hydrogen pairs,
// distances, the hydrogen-bond angle), STOP in the pair and shell searches,
// a full list, the ring and shell reports and the summary.
#include "common/job_control.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/critical_point_list.h"
#include "topology_test_support.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int RHO = 3;

std::string carbon_cube()
{
    std::vector<SphericalAtom> atoms;
    int k = 0;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            for (int l = 0; l < 2; ++l)
                atoms.push_back({"C" + std::to_string(++k), 10 + i * 1.55, 10 + j * 1.55, 10 + l * 1.55});
    return spherical_atoms_model("Cube of spherical carbon atoms", atoms, 20, 20, 20);
}

std::string carbon_ring()
{
    std::vector<SphericalAtom> atoms;
    for (int k = 0; k < 6; ++k) {
        const double angle = k * M_PI / 3;
        atoms.push_back({"C" + std::to_string(k + 1), 10 + 1.40 * std::cos(angle), 10 + 1.40 * std::sin(angle), 10});
    }
    return spherical_atoms_model("Hexagon of spherical carbon atoms", atoms, 20, 20, 20);
}

// Donor N1-H1 along x, acceptor N2 at `angle` degrees (at H1) from the donor
// direction, 2.0 Angstrom from H1; a second hydrogen H2 0.74 from H1.
std::string hydrogen_bond(double angle_degrees)
{
    const double a = angle_degrees * M_PI / 180;
    return spherical_atoms_model("Hydrogen bond N-H...N",
                                 {{"N1", 9.0, 10.0, 10.0},
                                  {"H1", 10.0, 10.0, 10.0},
                                  {"N2", 10.0 - 2.0 * std::cos(a), 10.0 + 2.0 * std::sin(a), 10.0},
                                  {"H2", 10.0, 10.0, 10.74}},
                                 20, 20, 20);
}

CriticalPointSearchRequest all_pairs()
{
    CriticalPointSearchRequest request;
    request.mode = SearchMode::atoms;
    return request;
}

int count_starting_with(const std::vector<std::string>& lines, const std::string& start)
{
    int n = 0;
    for (const std::string& line : lines)
        n += line.rfind(start, 0) == 0 ? 1 : 0;
    return n;
}

class SearchTest : public TopologyTest {
protected:
    void SetUp() override
    {
        TopologyTest::SetUp();
        critical_point_search_settings() = CriticalPointSearchSettings{};
    }
};

}  // namespace

TEST_F(SearchTest, PairFiltersFollowTheSettings)
{
    ASSERT_TRUE(load_model("hbond.kdn", hydrogen_bond(180)));
    // Pairs within 0.5..2.5: N1-H1 (1.0), N1-H2, H1-N2 (2.0, linear: kept),
    // H1-H2 (hydrogens: skipped), N2-H2; N1-N2 (3.0) is too far.
    run_critical_point_search(all_pairs(), RHO);
    const std::vector<std::string> lines = pane_lines();
    EXPECT_EQ(count_starting_with(lines, " Searching between atoms H1    and H2   ..."), 0);
    EXPECT_EQ(count_starting_with(lines, " Searching between atoms N1    and N2   ..."), 0);
    EXPECT_EQ(count_starting_with(lines, " Searching between atoms N1    and H1   ..."), 1);
    EXPECT_EQ(count_starting_with(lines, " Searching between atoms H1    and N2   ..."), 1);

    critical_point_search_settings().search_hh = 1;
    critical_point_search_settings().max_distance = 1.5;
    const int from = text_pane_state().line_count + 1;
    run_critical_point_search(all_pairs(), RHO);
    const std::vector<std::string> again = pane_lines(from);
    EXPECT_EQ(count_starting_with(again, " Searching between atoms H1    and H2   ..."), 1);
    EXPECT_EQ(count_starting_with(again, " Searching between atoms H1    and N2   ..."), 0);
}

TEST_F(SearchTest, HydrogenBondAngleIsTheDonorHydrogenAcceptorAngle)
{
    struct Case {
        double angle;  // degrees at H1 between H1->N1 and H1->N2
        bool searched;
    };
    for (const Case c : {Case{180, true}, Case{120, true}, Case{95, true}, Case{80, false}}) {
        SCOPED_TRACE(c.angle);
        critical_point_list().cp_count = 0;
        ASSERT_TRUE(load_model("hbond.kdn", hydrogen_bond(c.angle)));
        const WorkingAtomSet& atoms = current_model().atoms;
        const double d = std::hypot(atoms.cart_x[3] - atoms.cart_x[2], atoms.cart_y[3] - atoms.cart_y[2]);
        const double angle = compute_hbond_angle_at_hydrogen(2, 3, d, RHO) * 180 / M_PI;
        EXPECT_NEAR(angle, c.angle, 1e-3);
        const int from = text_pane_state().line_count + 1;
        run_critical_point_search(all_pairs(), RHO);
        EXPECT_EQ(count_starting_with(pane_lines(from), " Searching between atoms H1    and N2   ..."),
                  c.searched ? 1 : 0);
    }
}

TEST_F(SearchTest, HydrogenWithoutDonorFailsTheAngleFilter)
{
    // H1 more than 1.2 from every heavy atom: its long pairs have angle 0.
    ASSERT_TRUE(load_model("lone.kdn", spherical_atoms_model("Lone hydrogen",
                                                              {{"N1", 8.5, 10, 10}, {"H1", 10, 10, 10}}, 20, 20, 20)));
    EXPECT_EQ(compute_hbond_angle_at_hydrogen(1, 2, 1.5, RHO), 0.0);
    run_critical_point_search(all_pairs(), RHO);
    EXPECT_EQ(count_starting_with(pane_lines(), " Searching between atoms"), 0);
    critical_point_search_settings().hbond_angle_filter = 0;
    run_critical_point_search(all_pairs(), RHO);
    EXPECT_EQ(count_starting_with(pane_lines(), " Searching between atoms"), 1);
}

TEST_F(SearchTest, CertainPairOfOneAtomSearchesNothing)
{
    ASSERT_TRUE(load_model("cube.kdn", carbon_cube()));
    CriticalPointSearchRequest request = all_pairs();
    request.certain_pair = true;
    request.atom1 = request.atom2 = 3;
    const SearchResult result = run_critical_point_search(request, RHO);
    EXPECT_EQ(result.found, 0);
    EXPECT_EQ(count_starting_with(pane_lines(), " Searching between atoms"), 0);
}

TEST_F(SearchTest, StopEndsThePairSearchKeepingWhatWasFound)
{
    ASSERT_TRUE(load_model("cube.kdn", carbon_cube()));
    job_control().stop_requested = true;  // an old STOP does not touch the next search
    int line_at_stop = 0;
    ui_->on_pump = [&line_at_stop] {
        if (line_at_stop == 0 && critical_point_list().cp_count == 2) {
            job_control().stop_requested = true;
            line_at_stop = text_pane_state().line_count;
        }
    };
    for (const int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        critical_point_list().cp_count = 0;
        line_at_stop = 0;
        CriticalPointSearchRequest request = all_pairs();
        request.execution = {threads, 0};  // the windows run after every pair
        const SearchResult result = run_critical_point_search(request, RHO);
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(result.found, 2);
        EXPECT_EQ(critical_point_list().cp_count, 2);
        ASSERT_GT(line_at_stop, 0);
        // Nothing was reported after STOP: no further pair, no further Newton
        // step; the search says where it stopped, then sums up.
        const std::vector<std::string> after = pane_lines(line_at_stop + 1);
        EXPECT_EQ(count_starting_with(after, " Searching between atoms"), 0);
        EXPECT_EQ(count_starting_with(after, "     1  "), 0);
        ASSERT_EQ(after.size(), 6u);  // the stop line and the summary of the two points
        EXPECT_EQ(after[0], " Search stopped by the user after pair C1      1 - C3      3");
        EXPECT_EQ(after[1], " Summary of CPs:");
    }
}

TEST_F(SearchTest, StopEndsTheShellSearchAfterTheCurrentGridPoint)
{
    ASSERT_TRUE(load_model("ring.kdn", carbon_ring()));
    int pumps = 0;
    int found_at_stop = -1;
    int line_at_stop = 0;
    ui_->on_pump = [&] {
        if (++pumps == 40) {
            job_control().stop_requested = true;
            found_at_stop = critical_point_list().cp_count;
            line_at_stop = text_pane_state().line_count;
        }
    };
    CriticalPointSearchRequest request;
    request.mode = SearchMode::shell;
    request.shell = {1, 7, 9, 3, 0.4, 1.0, 1.0e6, false};
    request.execution = {4, 0};
    const SearchResult result = run_critical_point_search(request, RHO);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(count_starting_with(listing_lines(), " Search stopped by the user after grid point r ="), 1);
    // Nothing was computed after STOP: no further Newton step or grid point.
    const std::vector<std::string> after = pane_lines(line_at_stop + 1);
    EXPECT_EQ(count_starting_with(after, "Starting Newton-Raphson search"), 0);
    EXPECT_EQ(count_starting_with(after, "     1  "), 0);
    EXPECT_EQ(critical_point_list().cp_count, found_at_stop);
    EXPECT_FALSE(job_control().stop_requested);  // the search's end resets the request
}

TEST_F(SearchTest, AFullListIsReportedAndNeverOverrun)
{
    ASSERT_TRUE(load_model("cube.kdn", carbon_cube()));
    CriticalPoint filler;
    filler.x = filler.y = filler.z = -50;
    while (critical_point_list().cp_count < MAX_CRITICAL_POINTS - 1)
        ASSERT_NE(append_critical_point(critical_point_list(), filler), 0);
    const SearchResult result = run_critical_point_search(all_pairs(), RHO);
    EXPECT_TRUE(result.list_full);
    EXPECT_EQ(result.found, 1);
    EXPECT_EQ(critical_point_list().cp_count, MAX_CRITICAL_POINTS);
    ASSERT_EQ(ui_->answers.messages.size(), 1u) << ui_->answers.message_log();
    EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
    EXPECT_NE(ui_->answers.messages[0].text.find("full"), std::string::npos);
    EXPECT_EQ(append_critical_point(critical_point_list(), filler), 0);

    CriticalPointSearchRequest shell;
    shell.mode = SearchMode::shell;
    shell.shell = {1, 5, 5, 1, 0.7, 0.7, 1.0e6, false};
    EXPECT_TRUE(run_critical_point_search(shell, RHO).list_full);
    EXPECT_EQ(critical_point_list().cp_count, MAX_CRITICAL_POINTS);
}

TEST_F(SearchTest, RingSearchReportsItsDistancesAndTable)
{
    ASSERT_TRUE(load_model("ring.kdn", carbon_ring()));
    CriticalPointSearchRequest request;
    request.mode = SearchMode::ring;
    request.ring.ring_atom_count = 6;
    for (int k = 1; k <= 6; ++k)
        request.ring.ring_atoms[k] = k;
    const SearchResult result = run_critical_point_search(request, RHO);
    ASSERT_EQ(result.found, 1);
    const CriticalPoint& cp = critical_point_list().points[1];
    EXPECT_EQ(cp.type, 3);
    EXPECT_NEAR(cp.x, 10, 1e-6);
    EXPECT_NEAR(cp.y, 10, 1e-6);
    EXPECT_EQ(cp.atom2, 0);
    const std::vector<std::string> listing = listing_lines();
    // Ring distances of a regular hexagon of radius 1.40: 1.400, 2.425, 2.800.
    EXPECT_TRUE(contains_line(listing, " Distance C1   -C2    :      1.400"));
    EXPECT_TRUE(contains_line(listing, " Distance C1   -C3    :      2.425"));
    EXPECT_TRUE(contains_line(listing, " Distance C1   -C4    :      2.800"));
    EXPECT_TRUE(contains_line(listing, "  Ring/Cage Critical Point search"));
    EXPECT_TRUE(contains_line(listing, "              Hessian Eigenvalues          f           Del2f      ellipt"));
    EXPECT_TRUE(contains_line(listing, " Distance from C6   -CP :      1.400"));
    // (3F12.4,2X,F8.3,2X,F11.2,6X,F6.3): a ring point has ellipticity 0.
    bool row = false;
    for (const std::string& line : listing)
        if (line.size() == 71 && line.substr(65) == " 0.000" && line.find("Distance") == std::string::npos)
            row = true;
    EXPECT_TRUE(row);
    EXPECT_TRUE(contains_line(listing, " Summary of CPs:"));

}

TEST_F(SearchTest, RingWithoutAtomsStartsAtTheOrigin)
{
    ASSERT_TRUE(load_model("ring.kdn", carbon_ring()));
    CriticalPointSearchRequest request;
    request.mode = SearchMode::ring;
    run_critical_point_search(request, RHO);
    EXPECT_EQ(count_starting_with(pane_lines(), "     0     0.0000  0.0000  0.0000"), 1);
}

TEST_F(SearchTest, SearchWithoutNewPointsWritesNoSummary)
{
    ASSERT_TRUE(load_model("ring.kdn", carbon_ring()));
    CriticalPointSearchRequest request;
    request.mode = SearchMode::point;
    request.point = {10.0, 10.0, 10.0};
    run_critical_point_search(request, RHO);
    ASSERT_EQ(critical_point_list().cp_count, 1);
    const size_t before = listing_lines().size();
    const SearchResult again = run_critical_point_search(request, RHO);
    EXPECT_EQ(again.found, 0);
    const std::vector<std::string> listing = listing_lines();
    EXPECT_EQ(count_starting_with(std::vector<std::string>(listing.begin() + before, listing.end()),
                                  " Summary of CPs:"),
              0);
}

TEST_F(SearchTest, ShellSearchKeepsOnlyPointsInsideWhenAsked)
{
    ASSERT_TRUE(load_model("ring.kdn", carbon_ring()));
    CriticalPointSearchRequest request;
    request.mode = SearchMode::shell;
    request.shell = {1, 5, 5, 2, 0.5, 0.9, 20.0, true};
    const SearchResult result = run_critical_point_search(request, RHO);
    // The bond points towards C2 and C6 are 0.700 from C1; nothing else is
    // within 0.5..0.9.
    EXPECT_EQ(result.found, 2);
    for (int k = 1; k <= critical_point_list().cp_count; ++k) {
        const CriticalPoint& cp = critical_point_list().points[k];
        EXPECT_EQ(cp.type, 2);
        EXPECT_EQ(cp.atom1, 1);
        EXPECT_NEAR(cp.distance, 0.7, 1e-4);
        EXPECT_TRUE(cp.has_direction);
    }
    const std::vector<std::string> listing = listing_lines();
    EXPECT_TRUE(contains_line(listing, " Atom        x      y      z            f         Del2f       d"));
    EXPECT_TRUE(contains_line(listing, " ---------------------------------------------------------------------"));
    EXPECT_TRUE(contains_line(listing, " Analysis of CP geometry (degrees, Angstroms):"));
    // The analysis lines, recomputed here from the listed positions: the
    // angle at C1 between its nearest neighbour C2 and each point, and the
    // angle between the two points.
    const WorkingAtomSet& atoms = current_model().atoms;
    const Vector3 c1{atoms.cart_x[1], atoms.cart_y[1], atoms.cart_z[1]};
    const Vector3 c2{atoms.cart_x[2], atoms.cart_y[2], atoms.cart_z[2]};
    auto direction = [&c1](const Vector3& p) {
        const double d = std::hypot(p[0] - c1[0], p[1] - c1[1], p[2] - c1[2]);
        return Vector3{(p[0] - c1[0]) / d, (p[1] - c1[1]) / d, (p[2] - c1[2]) / d};
    };
    auto degrees = [](const Vector3& u, const Vector3& v) {
        return std::acos(u[0] * v[0] + u[1] * v[1] + u[2] * v[2]) * 180 / M_PI;
    };
    std::vector<Vector3> points;
    for (int k = 1; k <= 2; ++k) {
        const CriticalPoint& cp = critical_point_list().points[k];
        points.push_back({cp.x, cp.y, cp.z});
        char line[120];
        std::snprintf(line, sizeof line, " Angle between C1    -C2     and C1    -CP%2d: %7.2f  distance C2    -CP%2d: %7.3f",
                      k, degrees(direction(c2), direction(points.back())), k,
                      std::hypot(cp.x - c2[0], cp.y - c2[1], cp.z - c2[2]));
        EXPECT_TRUE(contains_line(listing, line)) << line;
    }
    char pair_line[120];
    std::snprintf(pair_line, sizeof pair_line,
                  " Angle between C1    -CP 1 and C1    -CP 2: %7.2f  distance CP 1-CP 2: %7.3f",
                  degrees(direction(points[0]), direction(points[1])),
                  std::hypot(points[0][0] - points[1][0], points[0][1] - points[1][1], points[0][2] - points[1][2]));
    EXPECT_TRUE(contains_line(listing, pair_line)) << pair_line;

    // Without the flag the points beyond the interval are kept too.
    critical_point_list().cp_count = 0;
    request.shell.show_inside = false;
    EXPECT_GT(run_critical_point_search(request, RHO).found, 2);
}

TEST_F(SearchTest, ShellWithoutAGridSearchesNothing)
{
    ASSERT_TRUE(load_model("ring.kdn", carbon_ring()));
    CriticalPointSearchRequest request;
    request.mode = SearchMode::shell;
    request.shell = {1, 1, 9, 3, 0.5, 0.9, 1.0e6, false};  // nTheta 1: no polar step
    EXPECT_EQ(run_critical_point_search(request, RHO).found, 0);
    request.shell = {99, 7, 9, 3, 0.5, 0.9, 1.0e6, false};  // no such atom
    EXPECT_EQ(run_critical_point_search(request, RHO).found, 0);
    request.shell = {1, 5, 5, 2, 0.9, 0.5, 20.0, false};    // rMax below rMin: radii run downwards
    EXPECT_GT(run_critical_point_search(request, RHO).found, 0);
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
}
