// The property along a line: the hydrogen atom's density along a line
// through the nucleus's neighbourhood, the report to the listing and the
// pane, the limits of the point count, the zoomed ranges and the plot's
// layout in pixels.
#include "keldana/properties/line_profile.h"
#include "keldana/topology/basin_integration_workers.h"
#include "test_map_support.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace map_tests;

constexpr double PI = 3.14159265358979323846;
constexpr int RHO = 3;

double hydrogen_density(double r) { return std::exp(-2.0 * r / BOHR) / (PI * BOHR * BOHR * BOHR); }

class LineProfileTest : public MapTest {
protected:
    void SetUp() override
    {
        MapTest::SetUp();
        ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn")) << ui_->answers.message_log();
    }

    // The whole profile of `count` points from p1 to p2.
    LineProfileRun run_profile(const Vector3& p1, const Vector3& p2, int count)
    {
        LineProfileRun run = start_line_profile(p1, p2, count, RHO);
        while (compute_next_line_profile_point(run, RHO)) {
        }
        return run;
    }
};

TEST_F(LineProfileTest, EveryThreadCountGivesTheSameValues)
{
    // 600 points: the points evaluated ahead on the workers come in more
    // than one batch; the values are those of one point at a time.
    std::vector<double> values[2];
    for (int threads : {1, 4}) {
        set_worker_thread_count(threads);
        run_profile({-2.0, 0.3, 0.1}, {2.0, -0.2, 0.4}, 600);
        const LineProfile& profile = line_profile();
        values[threads == 4].assign(profile.profile_value.begin() + 1, profile.profile_value.begin() + 601);
    }
    set_worker_thread_count(0);
    EXPECT_EQ(values[0], values[1]);
    LineProfileRun run = start_line_profile({-2.0, 0.3, 0.1}, {2.0, -0.2, 0.4}, 600, RHO);
    for (int k = 1; k <= 600; ++k) {
        const Vector3 p = run.point;
        ASSERT_TRUE(compute_next_line_profile_point(run, RHO));
        const double r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        ASSERT_NEAR(values[0][k - 1], hydrogen_density(r), 1e-5 * hydrogen_density(r)) << k;
    }
}

TEST_F(LineProfileTest, TwoAngstromsInFourStepsReportTheDensity)
{
    const int first_pane_line = text_pane_state().line_count + 1;
    LineProfileRun run = start_line_profile({0.5, 0, 0}, {2.5, 0, 0}, 5, RHO);
    EXPECT_EQ(run.count, 5);
    EXPECT_NEAR(run.point[0], 0.5 + 0.0001 * 0.5, 1e-15);  // 0.0001 of a step beyond the first point
    while (compute_next_line_profile_point(run, RHO)) {
    }
    const LineProfile& profile = line_profile();
    EXPECT_DOUBLE_EQ(profile.profile_step, 0.5);
    EXPECT_DOUBLE_EQ(profile.profile_length, 2.0);
    for (int k = 1; k <= 5; ++k) {
        const double r = 0.5 + 0.5 * (k - 1) + 0.00005;
        EXPECT_NEAR(profile.profile_value[k], hydrogen_density(r), 1e-5 * hydrogen_density(r)) << k;
    }
    EXPECT_EQ(profile.profile_value[6], 0.0);
    // The range starts at 0, so positive values still include it.
    EXPECT_EQ(profile.profile_min, 0.0);
    EXPECT_EQ(profile.profile_max, profile.profile_value[1]);

    const std::vector<std::string> pane = pane_lines(first_pane_line);
    ASSERT_EQ(pane.size(), 12u);
    const std::vector<std::string> head = {
        "", "          ===== PROPERTY ALONG A LINE =====", "",
        " Property =  RHO      along a line, in   5 steps", "", "",
        "     Distance           x         y         z                  Property"};
    EXPECT_EQ(std::vector<std::string>(pane.begin(), pane.begin() + 7), head);
    const char* distances[] = {"0.0000", "0.5000", "1.0000", "1.5000", "2.0000"};
    for (int k = 0; k < 5; ++k) {
        // (3X,F10.4,4X,3F10.4,4X,F20.4)
        const std::string& line = pane[7 + k];
        ASSERT_EQ(line.size(), 71u) << line;
        EXPECT_EQ(line.substr(0, 13), "       " + std::string(distances[k]));
        EXPECT_EQ(line.substr(27, 20), "    0.0000    0.0000");
    }
    EXPECT_EQ(pane[7].substr(47), format_line("(4X,F20.4)", {profile.profile_value[1]}));

    const std::vector<std::string> listing = listing_lines();
    ASSERT_GE(listing.size(), 9u);
    const std::vector<std::string> listed(listing.end() - 9, listing.end());
    EXPECT_EQ(listed[0], " Property =  RHO      along a line, in   5 steps");
    EXPECT_EQ(listed[1], "");
    EXPECT_EQ(listed[2], head[6]);
    EXPECT_EQ(listed[3], "");
    EXPECT_EQ(listed[4], pane[7]);
}

TEST_F(LineProfileTest, PointCountIsLimitedToItsRange)
{
    EXPECT_EQ(start_line_profile({0, 0, 1}, {0, 0, 2}, 2000, RHO).count, 1001);
    EXPECT_EQ(pane_lines().back(), "     Distance           x         y         z                  Property");
    EXPECT_EQ(listing_lines()[listing_lines().size() - 4], " Property =  RHO      along a line, in *** steps");
    // One point (or none asked): the value at the first point itself.
    for (int count : {1, 0, -3}) {
        LineProfileRun run = run_profile({0, 0, 1}, {0, 0, 2}, count);
        EXPECT_EQ(run.count, 1);
        EXPECT_EQ(run.next, 2);
        EXPECT_NEAR(line_profile().profile_value[1], hydrogen_density(1.0), 1e-5 * hydrogen_density(1.0));
        EXPECT_EQ(line_profile().profile_step, 0.0);
    }
}

TEST_F(LineProfileTest, RefreshZoomsToAnIndexRange)
{
    run_profile({0.5, 0, 0}, {2.5, 0, 0}, 21);
    LineProfile& profile = line_profile();
    ASSERT_DOUBLE_EQ(profile.profile_step, 0.1);
    // The typed range is cut to the values of points 10..20 and 0.
    ASSERT_TRUE(apply_line_profile_ranges(10, 20, -5.0, 100.0));
    EXPECT_NEAR(profile.profile_length, 1.0, 1e-12);
    EXPECT_EQ(profile.profile_min, 0.0);
    EXPECT_EQ(profile.profile_max, profile.profile_value[10]);
    ASSERT_TRUE(apply_line_profile_ranges(10, 20, 0.001, 0.002));
    EXPECT_EQ(profile.profile_min, 0.001);
    EXPECT_EQ(profile.profile_max, 0.002);
    const LineProfilePlot plot = layout_line_profile_plot(10, 20, 225, 125);
    ASSERT_TRUE(plot.has_curve);
    ASSERT_EQ(plot.points.size(), 11u);
    EXPECT_EQ(plot.points.front()[0], 25);
    EXPECT_EQ(plot.points.back()[0], 200);
    const std::array<std::string, 5> labels = {"0.900", "1.150", "1.400", "1.650", "1.900"};
    EXPECT_EQ(plot.labels, labels);
    // Ranges that are not 1 <= first < last <= 1001 change nothing.
    for (auto [first, last] : std::vector<std::pair<int, int>>{{0, 5}, {5, 5}, {6, 5}, {5, 1002}})
        EXPECT_FALSE(apply_line_profile_ranges(first, last, 0.0, 1.0)) << first << " " << last;
    EXPECT_EQ(profile.profile_max, 0.002);
}

TEST(LineProfilePlotLayout, PointsZeroRowAndLabelsInPixels)
{
    LineProfile& profile = line_profile();
    profile = LineProfile{};
    profile.profile_value[1] = -1;
    profile.profile_value[2] = 0;
    profile.profile_value[3] = 1;
    profile.profile_min = -1;
    profile.profile_max = 1;
    profile.profile_step = 0.5;
    profile.profile_length = 1.0;
    // Plot area 175 x 100 pixels from (25, 5).
    LineProfilePlot plot = layout_line_profile_plot(1, 3, 225, 125);
    EXPECT_EQ(plot.width, 175);
    EXPECT_EQ(plot.height, 100);
    EXPECT_EQ(plot.zero_row, 55);
    const std::vector<std::array<int, 2>> points = {{25, 105}, {113, 55}, {200, 5}};
    EXPECT_EQ(plot.points, points);
    const std::array<int, 5> label_x = {25, 68, 112, 156, 200};
    EXPECT_EQ(plot.label_x, label_x);
    const std::array<std::string, 5> labels = {"0.000", "0.250", "0.500", "0.750", "1.000"};
    EXPECT_EQ(plot.labels, labels);
    // Nothing but the frame for a single point or an empty range.
    EXPECT_FALSE(layout_line_profile_plot(2, 2, 225, 125).has_curve);
    EXPECT_FALSE(layout_line_profile_plot(0, 0, 225, 125).has_curve);
    profile.profile_max = profile.profile_min;
    plot = layout_line_profile_plot(1, 3, 225, 125);
    EXPECT_FALSE(plot.has_curve);
    EXPECT_TRUE(plot.points.empty());
    profile = LineProfile{};
}

}  // namespace
