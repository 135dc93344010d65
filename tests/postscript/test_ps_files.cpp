// Whole PostScript files: header and prolog, a small plot, page changes and
// the trailer, compared with text written by hand; rendering by Ghostscript.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

#include "common/safe_write.h"
#include "ps_test_support.h"

namespace {

const std::filesystem::path FIXTURES = std::filesystem::path(KD_TEST_DATA_DIR) / "fixtures" / "postscript";

class PsFilesTest : public PsFileTest {};

TEST_F(PsFilesTest, PrologOfAPortraitPlotWithoutName)
{
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    EXPECT_EQ(ps_output_state().unit, 60);
    ASSERT_TRUE(end_ps_plot());
    Lines expected = read_text_lines(FIXTURES / "prolog_portrait.ps");
    ASSERT_EQ(expected.size(), 118u);
    for (const char* line : {"stroke showpage", "%%Trailer", "%%Pages: 1", "%%EOF"}) expected.push_back(line);
    EXPECT_EQ(read_text_lines(dir_ / "plot.ps"), expected);
}

TEST_F(PsFilesTest, SmallPlot)
{
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    plot_ps_pen(1.0f, 9.0f, -3);
    set_ps_scale(0.75f);
    setfnt(12);
    set_ps_rgb_color(1.0f, 0.0f, 0.0f);
    set_ps_line_width(0.02f);
    plot_ps_pen(0.0f, 0.0f, 3);
    plot_ps_pen(2.0f, 0.0f, 2);
    plot_ps_pen(2.0f, -1.5f, 2);
    draw_ps_wide_line_outline(0.0f, 0.0f, 0.0f, -1.5f, 2.0f);
    draw_ps_circle(1.0f, -0.75f, 0.05f, true);
    set_ps_rgb_color(0.0f, 0.0f, 1.0f);
    draw_ps_dashed_line(0.0f, -2.0f, 1.0f, -2.0f, 5, 0.0f);
    draw_ps_text(0.0f, -2.5f, 0.15f, "H(2)", 0.0f, 4, 0);
    EXPECT_TRUE(draw_ps_number_fixed(2.0f, -2.5f, 0.15f, 3.14159f, 0.0f, 2, 2));
    ASSERT_TRUE(end_ps_plot());

    Lines expected = read_text_lines(FIXTURES / "prolog_portrait.ps");
    for (const std::string& line : read_text_lines(FIXTURES / "small_plot_body.ps")) expected.push_back(line);
    EXPECT_EQ(read_text_lines(dir_ / "plot.ps"), expected);
}

TEST_F(PsFilesTest, LandscapeTurnsThePageBeforeTheOriginMoves)
{
    ASSERT_TRUE(open_ps_file_and_write_prolog(false));
    ASSERT_TRUE(end_ps_plot());
    const Lines lines = read_text_lines(dir_ / "plot.ps");
    ASSERT_GE(lines.size(), 123u);
    const Lines setup(lines.begin() + 114, lines.begin() + 119);
    EXPECT_EQ(setup, (Lines{"90 rotate 0 -8.5 inch translate", " 18.03 18.03 SM", " 18.03 18.03 translate",
                            " 0.00 18.03 SM", " 0.00 18.03 translate"}));
}

TEST_F(PsFilesTest, PageChangesAreCountedInTheTrailer)
{
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    set_ps_scale(0.5f);
    setfnt(33);
    ps_line("%mark");
    chopit(1.0f, 2.0f);
    chopit(0.0f, 0.0f);
    const Lines lines = drawn_lines();
    const Lines first_change(lines.begin(), lines.begin() + 20);
    EXPECT_EQ(first_change, (Lines{"%----------------chopit", "stroke showpage", "%%Page: 2 2", "newpath 0 0 moveto",
                                   "/Curfnt /Times-Roman findfont def", " 12 Setf", " 1.000 1.000 scale",
                                   " 1.000 1.000 scale", "Slw0", " 0.000 Sg", " 0.000 0.000 0.000 Sc",
                                   " 17.75 17.75 SM", " 17.75 17.75 translate", " 17.75 0.00 SM",
                                   " 17.75 0.00 translate", " 71.00 142.00 SM", " 71.00 142.00 translate",
                                   " 1.000 1.000 scale", " 0.500 0.500 scale", "%----------------chopit"}));
    const Lines all = read_text_lines(dir_ / "plot.ps");
    EXPECT_EQ(all[all.size() - 2], "%%Pages: 3");
    EXPECT_EQ(ps_output_state().name_flag, 3);
}

TEST_F(PsFilesTest, PenCodesAndScale)
{
    const Lines lines = lines_of([] {
        plot_ps_pen(1.0f, 1.0f, 2);
        plot_ps_pen(1.0f, 1.0f, -3);
        plot_ps_pen(1.0f, 1.0f, -2);
        plot_ps_pen(1.0f, 1.0f, 7);
        plot_ps_pen(2000.0f, -100.0f, 3);  // too wide for F8.2, then a full field
        set_ps_scale(2.0f);
        set_ps_scale(1.0f);
        rotate_ps_axes(30.0f);
    });
    EXPECT_EQ(lines, (Lines{" 71.00 71.00 LSM", " 71.00 71.00 SM", " 71.00 71.00 translate", " 71.00 71.00 LSM",
                            " 71.00 71.00 translate", " 71.00 71.00 LSM", "********-7100.00 SM",
                            " 1.000 1.000 scale", " 2.000 2.000 scale", " 0.500 0.500 scale", " 1.000 1.000 scale",
                            " 30.00 rotate"}));
}

TEST_F(PsFilesTest, NamedPlotAndASecondPlotInTheSameRun)
{
    set_ps_file_name("first  name.ps");
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    ASSERT_TRUE(end_ps_plot());
    const Lines first = read_text_lines(dir_ / "first  name.ps");
    ASSERT_GT(first.size(), 2u);
    EXPECT_EQ(first[1], "%%Title: first name.ps");
    // Without a new name the second plot overwrites the first file.
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    plot_ps_pen(0.0f, 0.0f, 3);
    ASSERT_TRUE(end_ps_plot());
    const Lines second = read_text_lines(dir_ / "first  name.ps");
    EXPECT_EQ(second.size(), first.size() + 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "plot.ps"));
}

TEST_F(PsFilesTest, AFileThatCannotBeOpenedIsReportedNotFatal)
{
    std::filesystem::create_directory(dir_ / "taken");
    set_ps_file_name("taken");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(open_ps_file_and_write_prolog(true));
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ps_output_state().failed);
    EXPECT_FALSE(ps_output_state().file_open);
    plot_ps_pen(1.0f, 1.0f, 2);  // goes nowhere
    EXPECT_FALSE(end_ps_plot());
}

// Names of the folder's entries other than the ones given.
std::vector<std::string> other_entries(const std::filesystem::path& folder, const std::vector<std::string>& known)
{
    std::vector<std::string> others;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
}

TEST_F(PsFilesTest, APathLongerThanTheTitleIsOpenedWhole)
{
    // 130 characters of path below the test folder; the title shows 80.
    const std::filesystem::path folder = dir_ / std::string(100, 'f');
    std::filesystem::create_directory(folder);
    const std::string name = (std::filesystem::path(std::string(100, 'f')) / "long_name_plot.ps").string();
    ASSERT_GT(name.size(), 80u);
    set_ps_file_name(name);
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    ASSERT_TRUE(end_ps_plot());
    const Lines lines = read_text_lines(folder / "long_name_plot.ps");
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[1], "%%Title: " + name.substr(0, 80));
    EXPECT_EQ(lines.back(), "%%EOF");
    EXPECT_EQ(other_entries(folder, {"long_name_plot.ps"}), std::vector<std::string>{});
}

TEST_F(PsFilesTest, AWriteFailureKeepsTheOldFileAndNamesIt)
{
    const std::string old_text = "%!PS-Adobe-3.0\n% the plot of yesterday\n";
    std::ofstream(dir_ / "kept.ps", std::ios::binary) << old_text;
    // Fails in the prolog (a few kilobytes), and at the very end.
    for (long long after : {100LL, 4000LL}) {
        set_ps_file_name("kept.ps");
        ASSERT_TRUE(open_ps_file_and_write_prolog(true));
        for (int k = 0; k < 200; ++k) plot_ps_pen(static_cast<float>(k), 1.0f, 2);
        set_safe_write_failure_after(after);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(end_ps_plot()) << after;
        const std::string console = testing::internal::GetCapturedStdout();
        set_safe_write_failure_after(-1);
        EXPECT_NE(ps_output_state().error_text.find("kept.ps"), std::string::npos) << ps_output_state().error_text;
        EXPECT_NE(console.find("kept.ps"), std::string::npos);
        std::ifstream in(dir_ / "kept.ps", std::ios::binary);
        const std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(now, old_text) << after;
        EXPECT_EQ(other_entries(dir_, {"kept.ps"}), std::vector<std::string>{}) << after;
    }
    // Without the failure the plot replaces the old file.
    set_ps_file_name("kept.ps");
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    ASSERT_TRUE(end_ps_plot());
    EXPECT_EQ(read_text_lines(dir_ / "kept.ps").back(), "%%EOF");
}

TEST_F(PsFilesTest, ADiscardedPlotLeavesTheOldFile)
{
    std::ofstream(dir_ / "plot.ps", std::ios::binary) << "old\n";
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    plot_ps_pen(1.0f, 1.0f, 2);
    discard_ps_plot();
    EXPECT_FALSE(ps_output_state().file_open);
    EXPECT_EQ(read_text_lines(dir_ / "plot.ps"), Lines{"old"});
    EXPECT_EQ(other_entries(dir_, {"plot.ps"}), std::vector<std::string>{});
}

// The axis examples: ticks at every inch, the values from the far end back
// to the origin (centred, the last one left-aligned), and the power of ten
// after the title when the step is scaled.
TEST_F(PsFilesTest, AxisValuesAndTheirPowerOfTen)
{
    struct Case {
        float length, first, step;
        std::vector<std::string> numbers;  // as drawn, far end first
        bool exponent;
    };
    const std::vector<Case> cases = {
        {5.0f, 0.0f, 1.0f, {"5.00", "4.00", "3.00", "2.00", "1.00", "0.00"}, false},
        {4.0f, 0.0f, 200.0f, {"80.00", "60.00", "40.00", "20.00", "0.00"}, true},  // values / 10
        {3.0f, 7.0f, 0.0f, {"7.00", "7.00", "7.00", "7.00"}, false},
    };
    for (const Case& c : cases) {
        const Lines lines = lines_of([&] { draw_ps_axis(0.0f, 0.0f, "Distance", 8, c.length, 0.0f, c.first, c.step); });
        // The comb: a move to the first tick's end, then three draws an inch.
        const auto draws = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.size() > 4 && l.compare(l.size() - 4, 4, " LSM") == 0;
        });
        EXPECT_EQ(draws, 3 * static_cast<long>(c.length)) << c.step;
        EXPECT_EQ(lines.at(0), " 0.00 7.10 SM");
        // The texts shown, and how each was placed (the line before "show").
        std::vector<std::string> shown;
        std::vector<bool> centred;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            const std::string& line = lines[k];
            const auto open = line.find("mover (");
            if (open == std::string::npos || line.size() < 6 || line.compare(line.size() - 6, 6, ") show") != 0)
                continue;
            shown.push_back(line.substr(open + 7, line.size() - 6 - open - 7));
            centred.push_back(k > 0 && lines[k - 1].find(" 0.500 Xposjd") != std::string::npos);
        }
        ASSERT_GE(shown.size(), c.numbers.size() + 1) << c.step;
        EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + c.numbers.size()), c.numbers) << c.step;
        for (std::size_t k = 0; k < c.numbers.size(); ++k)
            EXPECT_EQ(centred[k], k + 1 < c.numbers.size()) << c.step << " number " << k;
        EXPECT_EQ(shown[c.numbers.size()], "Distance") << c.step;
        EXPECT_TRUE(centred[c.numbers.size()]);
        const std::vector<std::string> after(shown.begin() + c.numbers.size() + 1, shown.end());
        if (c.exponent) {
            EXPECT_EQ(after, (std::vector<std::string>{" \\(X10", "1", "\\)"})) << c.step;
            // The exponent goes up from where " (X10" ended, in a smaller size.
            const auto raise = std::find(lines.begin(), lines.end(), "/Ypos Ypres 5.11 add def");
            const auto one = std::find(lines.begin(), lines.end(), "(1) Lend xydef mover (1) show");
            ASSERT_NE(raise, lines.end());
            EXPECT_LT(raise, one);
            EXPECT_TRUE(std::find(raise, one, " 10 Setf") != one);
        } else {
            EXPECT_EQ(after, std::vector<std::string>{}) << c.step;
        }
    }
}

// Ghostscript must read the files without a PostScript error.
void expect_renders(const std::filesystem::path& file)
{
    const std::string log = file.string() + ".log";
    const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage '" + file.string() + "' > '" + log
                                + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << "gs failed on " << file;
    const Lines output = read_text_lines(log);
    for (const std::string& line : output) EXPECT_EQ(line.find("Error"), std::string::npos) << line;
}

bool have_ghostscript() { return std::system("gs --version > /dev/null 2>&1") == 0; }

TEST_F(PsFilesTest, GhostscriptRendersThePlots)
{
    if (!have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed: rendering not checked";
    set_ps_file_name("everything.ps");
    ASSERT_TRUE(open_ps_file_and_write_prolog(true));
    plot_ps_pen(1.0f, 9.0f, -3);
    set_ps_scale(0.75f);
    draw_ps_wide_line_outline(0.0f, 0.0f, 3.0f, 0.0f, 0.5f);
    fill_ps_wide_line_rgb(0.0f, 1.0f, 1.0f, 1.0f, 0.2f, 0.2f, 0.6f, 0.2f);
    draw_ps_circle(1.0f, -0.75f, 0.05f, false);
    draw_ps_dashed_line(0.0f, -2.0f, 3.0f, -1.0f, 4, 0.01f);
    draw_ps_text(0.0f, -2.5f, 0.15f, "a (b) \\ c", 30.0f, 9, 1);
    draw_ps_text(999.0f, 999.0f, 0.15f, ps_character_code(101), 0.0f, -999, 0);
    draw_ps_number_exponential(2.0f, -3.0f, 0.12f, 12345.678f, 0.0f, 3, 2);
    draw_ps_axis(0.0f, -4.0f, "Distance", 8, 4.0f, 0.0f, 0.0f, 200.0f);
    draw_ps_frame_ticks(4.0f, 3.0f, 1111, 1111, 4, 2, 3, 2);
    grksym(1.0f, -5.0f, 0.2f, 20, 0.0f, 1, 0);
    ONEHLF(999.0f, 999.0f, 0.2f, 0.0f, 0);
    PLSMIN(999.0f, 999.0f, 0.2f, 0.0f, 0);
    SIGMA(2.0f, -5.0f, 0.2f, 0.0f, "i=1", 3, "n", 1);
    integral(3.0f, -5.0f, 0.2f, 0.0f, "0", 1, "1", 1);
    draw_ps_text(4.0f, -5.0f, 0.2f, "x", 0.0f, 1, 0);
    draw_ps_single_sub_sup("i", 1, "'", 1, 0.2f, 0.0f);
    OVERBAR(1.0f, -6.0f, 0.2f, "AB", 0.0f, 2, 0);
    OVERSBSP(2.0f, -6.0f, 0.2f, "x", 0.0f, 1, 0, "1", 1, "2", 1);
    draw_ps_overbar_greek_sub_sup(3.0f, -6.0f, 0.2f, 3, 0.0f, 1, 0, "a", 1, "b", 1);
    draw_ps_text_in_color_box(1.0f, -7.0f, 0.2f, "Boxed (text)", 0.0f, 0.2f, 1, 1, 1, 1, 1, 0.1f, 0.1f, 0.5f);
    draw_ps_text_in_gray_box(3.0f, -7.0f, 0.2f, "Grey", 15.0f, 0.2f, 0, 0, 0.0f, 0.8f);
    draw_ps_text_outlined(1.0f, -8.0f, 0.3f, "Outline", 0.0f, 7, 0);
    draw_ps_arrow(0.0f, -9.0f, 2.0f, -8.5f, 0.2f, 20.0f, 0);
    draw_ps_arrow_head_arc(3.0f, -9.0f, 45.0f, 0.2f, 20.0f, 1, true);
    draw_ps_rounded_box(4.0f, -9.0f, 1.0f, 0.5f, 0.1f, 10.0f, false);
    draw_ps_triangle(5.5f, -9.0f, 0.3f, 0.0f);
    fill_ps_check_mark(6.0f, -9.0f, 0.3f, 0.1f);
    const std::vector<float> x = {0.0f, 1.0f, 1.0f, 0.5f};
    const std::vector<float> y = {-10.0f, -10.0f, -9.5f, -9.2f};
    fill_ps_polygon_rgb(x, y, 4, 0.9f, 0.5f, 0.1f);
    draw_ps_dashed_polyline(x, y, 4, 6, 0.0f);
    chopit(0.0f, 0.0f);
    draw_ps_text(1.0f, 5.0f, 0.3f, "Page 2", 0.0f, 6, 0);
    ASSERT_TRUE(end_ps_plot());
    expect_renders(dir_ / "everything.ps");
}

}  // namespace
