// Contour levels, line tracing (circles of a paraboloid), contour plots and
// filled contours.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "ps_test_support.h"

namespace {

class PsContourTest : public PsFileTest {
protected:
    template <typename Draw>
    std::pair<Lines, std::string> with_console(Draw draw)
    {
        open_plot();
        testing::internal::CaptureStdout();
        draw();
        const std::string console = testing::internal::GetCapturedStdout();
        return {drawn_lines(), console};
    }
};

bool contains(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// z = x^2 + y^2 on n by n points over [-2, 2]^2 (column-major).
std::vector<float> paraboloid(int n)
{
    std::vector<float> z(static_cast<std::size_t>(n * n));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const float x = -2.0f + 4.0f * static_cast<float>(i) / static_cast<float>(n - 1);
            const float y = -2.0f + 4.0f * static_cast<float>(j) / static_cast<float>(n - 1);
            z[static_cast<std::size_t>(i + j * n)] = x * x + y * y;
        }
    return z;
}

TEST(PsContourLevels, ChosenFromTheGrid)
{
    reset_postscript_library();
    const std::vector<float> z = {-3.5f, 0.0f, 5.0f, 12.5f};
    std::vector<float> levels(40);
    float lo = 0.0f, hi = 0.0f, step = 0.0f;
    int count = 0, constant = 0;
    choose_contour_levels(z, 2, 2, 2, lo, hi, step, 16, 40, levels, count, constant);
    ASSERT_EQ(count, 16);
    EXPECT_EQ(constant, 0);
    EXPECT_FLOAT_EQ(step, 1.0f);
    for (int k = 0; k < 16; ++k) EXPECT_FLOAT_EQ(levels[static_cast<std::size_t>(k)], -3.0f + static_cast<float>(k));
    EXPECT_FLOAT_EQ(lo, -3.0f);
    EXPECT_FLOAT_EQ(hi, 12.0f);

    // nmax smaller than the levels that fit: the list stops, hi is the last.
    lo = hi = step = 0.0f;
    choose_contour_levels(z, 2, 2, 2, lo, hi, step, 16, 5, levels, count, constant);
    EXPECT_EQ(count, 5);
    EXPECT_FLOAT_EQ(hi, 1.0f);

    const std::vector<float> flat(4, 7.0f);
    lo = hi = step = 0.0f;
    choose_contour_levels(flat, 2, 2, 2, lo, hi, step, 16, 40, levels, count, constant);
    EXPECT_EQ(constant, 1);
    EXPECT_EQ(count, 1);
    EXPECT_FLOAT_EQ(lo, 7.0f);

    lo = hi = 5.0f;
    step = 0.0f;
    choose_contour_levels(z, 2, 2, 2, lo, hi, step, 16, 40, levels, count, constant);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(constant, 0);
    EXPECT_FLOAT_EQ(levels[0], 5.0f);

    lo = 1.0f;
    hi = 0.0f;  // swapped
    step = 0.25f;
    choose_contour_levels(z, 2, 2, 2, lo, hi, step, 16, 40, levels, count, constant);
    EXPECT_EQ(count, 5);
    EXPECT_FLOAT_EQ(levels[4], 1.0f);
}

TEST(PsContourLevels, LabelledLevelsComeFirst)
{
    std::vector<float> levels;
    for (int k = 0; k < 10; ++k) levels.push_back(-1.5f + 0.5f * static_cast<float>(k));
    std::vector<float> work(10);
    int nlabelled = 0;
    order_contour_levels(levels, 10, work, nlabelled, 4);
    EXPECT_EQ(nlabelled, 5);
    EXPECT_EQ(levels, (std::vector<float>{-1.0f, 0.0f, 1.0f, 2.0f, 3.0f, -1.5f, -0.5f, 0.5f, 1.5f, 2.5f}));

    std::vector<float> few = {1.0f, 2.0f, 3.0f, 4.0f};
    order_contour_levels(few, 4, work, nlabelled, 4);
    EXPECT_EQ(nlabelled, 4);
    EXPECT_EQ(few, (std::vector<float>{1.0f, 2.0f, 3.0f, 4.0f}));
}

TEST(PsContourLevels, ChunkLength)
{
    const std::vector<float> z(100 * 100, 0.0f);
    EXPECT_EQ(compute_label_chunk_length(z, 100, 100, 100, 1.0f, 1.0f, 0, 1.0f), 34);
    EXPECT_EQ(compute_label_chunk_length(z, 100, 100, 48, 1.0f, 1.0f, 0, 1.0f), 48);
}

TEST_F(PsContourTest, TracedParaboloidLevelsAreCircles)
{
    const int n = 41;
    const std::vector<float> z = paraboloid(n);
    ContourOptions& options = contour_options();
    options.use_options = 1;
    options.legend_on = 0;
    options.label_mode = 0;  // no labelled levels
    options.extrema_mode = -1;
    const std::vector<float> levels = {1.0f, 2.25f};
    const auto [lines, console] = with_console([&] { ASSERT_TRUE(plot_contours(z, n, n, n, 4.0f, 4.0f, levels, 2)); });

    // Every point of every drawn path lies on one of the circles r = 1 and r = 1.5
    // about the page point (2, 2) (the grid spans 4 inches for 4 units).
    std::vector<int> points_on(2, 0);
    int paths = 0;
    for (const std::string& line : lines) {
        if (line == "Np") ++paths;
        std::istringstream in(line);
        double x = 0.0, y = 0.0;
        std::string word;
        if (!(in >> x >> y >> word) || (word != "M" && word != "L")) continue;
        const double r = std::hypot(x / 71.0 - 2.0, y / 71.0 - 2.0);
        const bool on_small = std::fabs(r - 1.0) < 0.006;
        const bool on_large = std::fabs(r - 1.5) < 0.006;
        EXPECT_TRUE(on_small || on_large) << line << " r=" << r;
        ++points_on[on_large ? 1 : 0];
    }
    EXPECT_EQ(paths, 2);  // one closed line per level
    EXPECT_GT(points_on[0], 40);
    EXPECT_GT(points_on[1], 60);
}

TEST_F(PsContourTest, DashedLevelsAreHalfDrawnAlongTheirCircle)
{
    // The circle r = 1.5 inches with 4 dashes an inch: pieces of 1/8 inch,
    // drawn and skipped in turn, so about half of 3 pi inches is drawn.
    const int n = 41;
    const std::vector<float> z = paraboloid(n);
    ContourOptions& options = contour_options();
    options.use_options = 1;
    options.legend_on = 0;
    options.label_mode = 0;
    options.extrema_mode = -1;
    options.dash_count = 4;
    const std::vector<float> levels = {2.25f};
    const auto [lines, console] = with_console([&] { ASSERT_TRUE(plot_contours(z, n, n, n, 4.0f, 4.0f, levels, 1)); });
    EXPECT_EQ(console.find("abandoned"), std::string::npos) << console;
    double drawn = 0.0, skipped = 0.0;
    int draws = 0, moves = 0;
    bool have_previous = false;
    double px = 0.0, py = 0.0;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        double x = 0.0, y = 0.0;
        std::string word;
        if (!(in >> x >> y >> word)) continue;
        EXPECT_TRUE(word == "SM" || word == "LSM") << "a dashed level is drawn by pen moves only: " << line;
        x /= 71.0;
        y /= 71.0;
        EXPECT_NEAR(std::hypot(x - 2.0, y - 2.0), 1.5, 0.006) << line;
        if (have_previous) {
            const double step = std::hypot(x - px, y - py);
            EXPECT_LT(step, 0.125 + 1e-3) << line;  // no piece longer than a dash
            (word == "LSM" ? drawn : skipped) += step;
        }
        ++(word == "LSM" ? draws : moves);
        have_previous = true;
        px = x;
        py = y;
    }
    const double circumference = 3.0 * M_PI;
    EXPECT_NEAR(drawn, circumference / 2.0, 0.15);
    EXPECT_NEAR(skipped, circumference / 2.0, 0.15);
    EXPECT_GT(moves, 35);  // about 38 gaps
}

TEST_F(PsContourTest, QuietTracingKeepsTheClosedRun)
{
    const int n = 41;
    const std::vector<float> z = paraboloid(n);
    contour_options().label_mode = CONTOUR_QUIET;
    const std::vector<float> levels = {2.25f};
    const Lines lines = lines_of([&] { ASSERT_TRUE(plot_contours(z, n, n, n, 4.0f, 4.0f, levels, 1)); });
    EXPECT_EQ(lines, (Lines{"S", "S"}));  // nothing drawn but the strokes
    const std::vector<ContourRun>& runs = contour_state().runs;
    ASSERT_EQ(runs.size(), 1u);
    const ContourRun& run = runs[0];
    ASSERT_GT(run.x.size(), 60u);
    EXPECT_FLOAT_EQ(run.x.front(), run.x.back());  // the line closes on its start
    EXPECT_FLOAT_EQ(run.y.front(), run.y.back());
    double turned = 0.0;
    for (std::size_t k = 1; k < run.x.size(); ++k) {
        EXPECT_NEAR(std::hypot(run.x[k] - 2.0, run.y[k] - 2.0), 1.5, 0.006);
        double step = std::atan2(run.y[k] - 2.0, run.x[k] - 2.0) - std::atan2(run.y[k - 1] - 2.0, run.x[k - 1] - 2.0);
        if (step > M_PI) step -= 2 * M_PI;
        if (step < -M_PI) step += 2 * M_PI;
        turned += step;
    }
    EXPECT_NEAR(std::fabs(turned), 2 * M_PI, 1e-3);  // once around the centre
}

TEST_F(PsContourTest, DoublePathStoresTheCircleForFilling)
{
    const int n = 21;
    const std::vector<float> zf = paraboloid(n);
    const std::vector<double> z(zf.begin(), zf.end());
    const std::vector<float> levels = {1.0f};
    open_plot();
    ASSERT_TRUE(trace_contour_levels(z, n, n, n, 4.0f, 4.0f, levels, 1));
    drawn_lines();
    const ContourState& st = contour_state();
    ASSERT_EQ(st.polygon_count, 1);
    const ContourPolygonRun& run = st.polygon_runs[0];
    EXPECT_FLOAT_EQ(run.level, 1.0f);
    ASSERT_GT(run.x.size(), 20u);
    for (std::size_t k = 0; k < run.x.size(); ++k) EXPECT_NEAR(std::hypot(run.x[k] - 2.0, run.y[k] - 2.0), 1.0, 0.03);
}

TEST_F(PsContourTest, TooLongALineIsAbandonedWithItsMessage)
{
    // A level running the length of a 2 by 150 grid needs 150 points; the double path holds 100.
    std::vector<double> z;
    for (int j = 0; j < 150; ++j) {
        z.push_back(0.0);
        z.push_back(1.0);
    }
    const std::vector<float> levels = {0.5f};
    open_plot();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(trace_contour_levels(z, 2, 2, 150, 1.0f, 10.0f, levels, 1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " nsav too big in drlin2, program abandoned\n");
    EXPECT_TRUE(ps_output_state().failed);
    EXPECT_FALSE(end_ps_plot());  // the file is still closed properly
}

TEST_F(PsContourTest, LabelledLevelsCarryTheirScaledValue)
{
    const int n = 41;
    const std::vector<float> z = paraboloid(n);
    ContourOptions& options = contour_options();
    options.use_options = 1;
    options.legend_on = 0;
    options.label_mode = 1;
    options.label_decimals = 1;
    options.label_interval = 3;
    options.extrema_mode = -1;
    const std::vector<float> levels = {1.0f, 2.25f};
    const auto [lines, console] = with_console([&] { ASSERT_TRUE(plot_contours(z, n, n, n, 4.0f, 4.0f, levels, 2)); });
    // The largest level 2.25 gives the scale 10: labels 10.0 and 22.5.
    EXPECT_TRUE(contains(lines, "(22.5) Lend"));
    EXPECT_NE(console.find("FUNCTION CONTOURED FOR FOLLOWING VALUES"), std::string::npos);
    EXPECT_NE(console.find("  0.10000E+01 0.22500E+01"), std::string::npos);
}

TEST_F(PsContourTest, LegendWithScaleAndConstantField)
{
    std::vector<float> z(25);
    for (int k = 0; k < 25; ++k) z[static_cast<std::size_t>(k)] = 0.004f * static_cast<float>(k);
    std::vector<float> levels;
    for (int k = 1; k <= 9; ++k) levels.push_back(0.01f * static_cast<float>(k));
    const auto [lines, console] = with_console([&] { ASSERT_TRUE(plot_contours(z, 5, 5, 5, 2.0f, 2.0f, levels, 9)); });
    for (const char* text : {"(CMIN: ) Lend", "(1.00E+01) Lend 1.000 Xposjd", "(CMAX: ) Lend", "(9.00E+01) Lend 1.000 Xposjd",
                             "(SCALE:) Lend", "(10**-3) Lend 1.000 Xposjd", "(ZMIN: ) Lend", "(0.00E+00) Lend 1.000 Xposjd",
                             "(ZMAX: ) Lend", "(9.60E-02) Lend 1.000 Xposjd"})
        EXPECT_TRUE(contains(lines, text)) << text;
    EXPECT_NE(console.find("MIN AND MAX CONTOURED ARRAY VALUES ARE     0.00000E+00    0.96000E-01"), std::string::npos);

    const std::vector<float> flat(25, 3.0f);
    const auto [flat_lines, flat_console] = with_console([&] { ASSERT_TRUE(plot_contours(flat, 5, 5, 5, 2.0f, 2.0f, {}, 0)); });
    EXPECT_TRUE(contains(flat_lines, "(CONSTANT FIELD DETEC) Lend"));
    EXPECT_TRUE(contains(flat_lines, "(CONSTANT VALUE= ) Lend"));
    EXPECT_TRUE(contains(flat_lines, "(3.0000E+00) Lend"));
    EXPECT_EQ(std::count(flat_lines.begin(), flat_lines.end(), "S"), 3);  // the three texts' strokes: nothing traced
    EXPECT_NE(flat_console.find("CONSTANT FIELD DETECTED, VALUE=  0.3000000E+01"), std::string::npos);
}

TEST_F(PsContourTest, HighsAndLowsAreMarked)
{
    // One peak in the middle of a 21 by 21 grid, one pit near a corner.
    const int n = 21;
    std::vector<float> z(static_cast<std::size_t>(n * n));
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            const float peak = std::exp(-0.05f * static_cast<float>((i - 11) * (i - 11) + (j - 11) * (j - 11)));
            const float pit = std::exp(-0.2f * static_cast<float>((i - 4) * (i - 4) + (j - 4) * (j - 4)));
            z[static_cast<std::size_t>((i - 1) + (j - 1) * n)] = peak - pit;
        }
    ContourState& st = contour_state();
    const Lines lines = lines_of([&] {
        st.x_origin = st.y_origin = 1.0f;
        st.x_per_unit = st.y_per_unit = 10.0f;
        label_ps_grid_extrema(z, n, n, n, 2.5f, 1.0f, 0, 1.0f);
    });
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "(H) Lend"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "(L) Lend"), 1);
    EXPECT_TRUE(contains(lines, "(1.0) Lend 0.500 Xposjd"));
    EXPECT_TRUE(contains(lines, " 66.74 Xposd"));  // (11 - 1) / 10 - 0.06 inches
    // Fewer than 3 rows: no marks.
    EXPECT_EQ(lines_of([&] { label_ps_grid_extrema(z, n, n, 2, 2.5f, 1.0f, 0, 1.0f); }), Lines{});
}

TEST_F(PsContourTest, ColourFilledCellCrossedByTwoLevels)
{
    const std::vector<float> z = {0.0f, 1.0f, 0.0f, 1.0f};  // z = x on one cell
    const std::vector<float> cval = {0.5f, 0.8f};
    const std::vector<std::array<float, 3>> colours = {{1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    const auto [lines, console] = with_console([&] { ASSERT_TRUE(CONCOLR(z, 2, 2, 2, 1.0f, 1.0f, cval, colours, 2, 0, -999.0f)); });
    EXPECT_EQ(lines, (Lines{" 0.000 0.000 1.000 Sc", " 0.00 0.00 M", " 71.00 0.00 L", " 71.00 71.00 L", " 0.00 71.00 L",
                            "closepath fill", "/dx 1.0000000 1 div 71.0000 mul def /dy 1.0000000 1 div 71.0000 mul def",
                            "/Dx dx def /Dy dy def", " 0.00 0.00 Fb", " 1.000 0.000 0.000 Sc",
                            " 35.50 0.00 35.50 71.00 0.00 71.00 0.00 0.00 3 Fbnc", " 0.000 0.000 1.000 Sc",
                            " 56.80 0.00 56.80 71.00 35.50 71.00 35.50 0.00 3 Fbnc", " 0.000 0.000 0.000 Sc"}));
    EXPECT_EQ(console.substr(0, console.find('\n')),
              " ***CONCOLR*** concolr array range    0.00000000       1.00000000    ");
    EXPECT_NE(console.find(" Incrementing nval, nval now equals            4\n"), std::string::npos);
    EXPECT_EQ(contour_options().label_mode, 0);  // restored
}

TEST_F(PsContourTest, GreyFilledPlotRenders)
{
    const int n = 11;
    const std::vector<float> z = paraboloid(n);
    const std::vector<float> cval = {0.5f, 1.0f, 2.0f, 3.0f, 4.0f, 6.0f};
    const std::vector<float> greys = {0.1f, 0.25f, 0.4f, 0.55f, 0.7f, 0.85f};
    set_ps_file_name("filled.ps");
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    plot_ps_pen(1.0f, 4.0f, -3);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(CONFILL(z, n, n, n, 4.0f, 4.0f, cval, greys, 6, 0, -999.0f));
    plot_ps_pen(0.0f, -5.0f, -3);
    const std::vector<std::array<float, 3>> colours(6, {0.2f, 0.5f, 0.9f});
    EXPECT_TRUE(CONCOLR(z, n, n, n, 4.0f, 4.0f, cval, colours, 6, 0, -999.0f));
    plot_ps_pen(5.0f, 0.0f, -3);
    EXPECT_TRUE(plot_contours(z, n, n, n, 2.5f, 2.5f, {}, 0));
    const std::string console = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(end_ps_plot()) << ps_output_state().error_text << "\n" << console;
    const Lines lines = read_text_lines(dir_ / "filled.ps");
    EXPECT_GT(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find("Fbnc") != std::string::npos; }), 10);
    if (std::system("gs --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "Ghostscript (gs) is not installed: rendering not checked";
    const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage filled.ps > gs.log 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    for (const std::string& line : read_text_lines(dir_ / "gs.log")) EXPECT_EQ(line.find("Error"), std::string::npos) << line;
}

}  // namespace
