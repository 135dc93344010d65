// Whole PostScript files: header and prolog, a small plot, page changes and
// the trailer, compared with text written by hand; rendering by Ghostscript.
#include <cstdlib>

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
