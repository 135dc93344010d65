// Attributes, paths, polygons, bands and shapes as PostScript lines.
#include <algorithm>
#include <sstream>

#include "ps_test_support.h"

namespace {

class PsDrawingTest : public PsFileTest {};

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

TEST_F(PsDrawingTest, AttributesAreClampedWrittenAndRemembered)
{
    const Lines lines = lines_of([] {
        set_ps_rgb_color(1.5f, -0.2f, 0.5f);
        set_ps_gray(2.0f);
        set_ps_line_width(0.0f);
        set_ps_line_width(0.000005f);
        set_ps_line_width(0.01f);
        set_ps_line_width(-0.02f);
        setfnt(29);
    });
    EXPECT_EQ(lines, (Lines{" 1.000 0.000 0.500 Sc", " 1.000 Sg", "Slw0", "Slw0", " 0.010 Slw", " -0.020 Slw",
                            "/Curfnt /Symbol findfont def", " 12 Setf"}));
    // drawn_lines() closed the file; the records keep the last values.
    const PsGraphicsState& g = ps_graphics_state();
    EXPECT_FLOAT_EQ(g.red, 1.0f);
    EXPECT_FLOAT_EQ(g.green, 0.0f);
    EXPECT_FLOAT_EQ(g.blue, 0.5f);
    EXPECT_FLOAT_EQ(g.grey, 1.0f);
    EXPECT_FLOAT_EQ(g.line_width, -0.02f);
    EXPECT_EQ(g.font_number, 29);
}

TEST_F(PsDrawingTest, InvalidFontNumbersFallBackToHelvetica)
{
    for (int bad : {0, 36}) {
        open_plot();
        testing::internal::CaptureStdout();
        setfnt(bad);
        const std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(console, " Invalid font number encountered in **setfnt**\n Using Helvetica default\n");
        EXPECT_EQ(drawn_lines(), (Lines{"/Curfnt /Helvetica findfont def", " 12 Setf"}));
        EXPECT_EQ(ps_graphics_state().font_number, 20);
    }
}

TEST_F(PsDrawingTest, SaveAndRestoreFont)
{
    const Lines lines = lines_of([] {
        setfnt(12);
        save_ps_state_and_font();
        ps_graphics_state().font_size = 20;
        setfnt(30);
        restore_ps_state_and_font();
    });
    EXPECT_EQ(lines, (Lines{"/Curfnt /Courier findfont def", " 12 Setf", "gsave", "/Curfnt /Times-Bold findfont def",
                            " 20 Setf", "grestore", "/Curfnt /Courier findfont def", " 12 Setf"}));
}

TEST_F(PsDrawingTest, PolylineWidthAndPathRestarts)
{
    const std::vector<float> x = {0.0f, 1.0f, 1.0f};
    const std::vector<float> y = {0.0f, 0.0f, 1.0f};
    EXPECT_EQ(lines_of([&] { draw_ps_polyline(x, y, 3, 0.0f, true); }),
              (Lines{"Np", " 0.00 0.00 M", " 71.00 0.00 L", " 71.00 71.00 L", "Cs"}));
    EXPECT_EQ(lines_of([&] { draw_ps_polyline(x, y, 3, 0.02f, false); }),
              (Lines{"Np", " 0.020 Slw", " 0.00 0.00 M", " 71.00 0.00 L", " 71.00 71.00 L", "S", "Slw0"}));

    std::vector<float> lx(250), ly(250, 0.0f);
    for (int k = 0; k < 250; ++k) lx[static_cast<std::size_t>(k)] = static_cast<float>(k) * 0.01f;
    const Lines long_line = lines_of([&] { draw_ps_open_polyline(lx, ly, 250, 0.0f); });
    ASSERT_EQ(long_line.size(), 1u + 250u + 2u * 2u + 1u);
    // After points 100 and 200: stroke, then a move to the same point.
    EXPECT_EQ(long_line[101], "stroke");
    EXPECT_EQ(long_line[102], " 70.29 0.00 M");
    EXPECT_EQ(long_line[100], " 70.29 0.00 L");
    EXPECT_EQ(long_line[203], "stroke");
    EXPECT_EQ(long_line.back(), "S");
}

TEST_F(PsDrawingTest, DashedLines)
{
    const Lines along = lines_of([] { draw_ps_dashed_line(0.0f, 0.0f, 1.0f, 0.0f, 4, 0.0f); });
    ASSERT_EQ(along.size(), 10u);  // four dashes, then the last one ending at the end point
    EXPECT_EQ(along[0], " 0.00 0.00 SM");
    EXPECT_EQ(along[2], " 17.75 0.00 SM");
    EXPECT_EQ(along[9], " 71.00 0.00 LSM");

    const Lines down = lines_of([] { draw_ps_dashed_line(0.0f, 0.0f, 0.0f, -1.0f, 2, 0.02f); });
    EXPECT_EQ(down.front(), " 0.020 Slw");
    EXPECT_EQ(words(down[2]).at(1), "-17.75");  // the first dash goes down
    EXPECT_EQ(down.back(), "Slw0");

    // A dash count below 1 draws the line solid.
    EXPECT_EQ(lines_of([] { draw_ps_dashed_line(0.0f, 0.0f, 1.0f, 0.0f, 0, 0.0f); }),
              (Lines{" 0.00 0.00 SM", " 71.00 0.00 LSM"}));
}

TEST_F(PsDrawingTest, DashedPolylineCarriesThePatternRoundCorners)
{
    // Dash length 0.25 along an L of legs 0.35.
    const std::vector<float> x = {0.0f, 0.35f, 0.35f};
    const std::vector<float> y = {0.0f, 0.0f, 0.35f};
    const Lines lines = lines_of([&] { draw_ps_dashed_polyline(x, y, 3, 2, 0.0f); });
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], " 0.00 0.00 SM");
    EXPECT_EQ(lines[1], " 17.75 0.00 LSM");     // dash to 0.25
    EXPECT_EQ(lines[2], " 24.85 0.00 SM");      // the gap reaches the corner ...
    EXPECT_EQ(words(lines[3]).at(1), "10.65");  // ... and goes on 0.15 up the second leg
    EXPECT_EQ(words(lines[3]).at(2), "SM");
    EXPECT_EQ(lines[4], " 24.85 24.85 LSM");    // the last dash ends at the last vertex
}

TEST_F(PsDrawingTest, PackedPolygons)
{
    std::vector<float> x(10), y(10, 1.0f);
    for (int k = 0; k < 10; ++k) x[static_cast<std::size_t>(k)] = static_cast<float>(k);
    EXPECT_EQ(lines_of([&] { fill_ps_polygon_rgb(x, y, 10, 0.0f, 0.0f, 0.0f); }),
              (Lines{" 0.00 71.00 71.00 71.00 142.00 71.00 213.00 71.00 284.00 71.00 355.00 71.00 426.00 71.00",
                     " 497.00 71.00 568.00 71.00 639.00 71.00 9 Fbn"}));
    EXPECT_EQ(lines_of([&] { fill_ps_polygon_gray(x, y, 2, 1.5f); }),
              (Lines{" 1.000 Sg", " 0.00 71.00 71.00 71.00 1 Fbn"}));
    EXPECT_FLOAT_EQ(ps_graphics_state().grey, 1.0f);
    EXPECT_EQ(lines_of([&] { clip_ps_polygon(x, y, 2); }), (Lines{" 0.00 71.00 71.00 71.00", " 1 Cln"}));
    EXPECT_EQ(lines_of([&] { fill_ps_polygon(x, y, 2); }), (Lines{" 0.00 71.00 M", " 71.00 71.00 L", "closepath fill"}));
    EXPECT_EQ(lines_of([&] { fill_ps_polygon_rgb(x, y, 0, 1.0f, 0.0f, 0.0f); }), Lines{});  // nothing to fill

    contour_state().cell_width = 0.5f;
    contour_state().cell_height = 0.25f;
    EXPECT_EQ(lines_of([&] { fill_ps_cell_polygon_gray(x, y, 2, 2, 3, 0.0f); }),
              (Lines{" 71.00 71.00 106.50 71.00 1 Fbnc"}));
}

TEST_F(PsDrawingTest, Bands)
{
    EXPECT_EQ(lines_of([] { fill_ps_wide_line_rgb(0.0f, 0.0f, 0.0f, 1.0f, 0.1f, 0.0f, 1.0f, 0.0f); }),
              (Lines{" 0.000 1.000 0.000 Sc", " 0.00 0.00 M", " 0.00 71.00 L", " -7.10 71.00 L", " -7.10 0.00 L",
                     "closepath fill", " 0.000 0.000 0.000 Sc"}));
    const Lines flat = lines_of([] { draw_ps_wide_line_outline(0.0f, 0.0f, 1.0f, 0.0f, 0.1f); });
    ASSERT_EQ(flat.size(), 6u);
    EXPECT_EQ(words(flat[3]), (std::vector<std::string>{"71.00", "7.10", "L"}));
    EXPECT_EQ(words(flat[4]).at(1), "7.10");
    EXPECT_EQ(flat[5], "Cs");
}

TEST_F(PsDrawingTest, Shapes)
{
    EXPECT_EQ(lines_of([] { draw_ps_circle(1.0f, 1.0f, 0.05f, true); }), (Lines{"Np 71.00 71.00 3.55 C fill"}));
    EXPECT_EQ(lines_of([] { draw_ps_arc(1.0f, 1.0f, 0.5f, 0.0f, 90.0f); }), (Lines{" 71.00 71.00 35.50 0.00 90.00 arcit"}));

    const Lines triangle = lines_of([] { draw_ps_triangle(1.0f, 1.0f, 0.5f, 0.0f); });
    ASSERT_EQ(triangle.size(), 4u);
    EXPECT_EQ(words(triangle[0]).back(), "SM");
    for (int k = 1; k < 4; ++k) EXPECT_EQ(words(triangle[static_cast<std::size_t>(k)]).back(), "LSM");

    const Lines check = lines_of([] { fill_ps_check_mark(1.0f, 1.0f, 0.3f, 0.1f); });
    EXPECT_TRUE(std::none_of(check.begin(), check.end(), [](const std::string& l) { return l.find("Sg") != std::string::npos; }));

    const Lines box = lines_of([] { draw_ps_rounded_box(1.0f, 1.0f, 2.0f, 1.0f, 0.1f, 0.0f, false); });
    EXPECT_EQ(box.front(), " 71.00 71.00 SM");
    EXPECT_EQ(box[2], "newpath");
    EXPECT_EQ(box[3], " 71.00 0.00 M");
    EXPECT_EQ(box[box.size() - 3], "closepath stroke");
    EXPECT_EQ(box.back(), " -71.00 -71.00 translate");
    EXPECT_TRUE(std::none_of(box.begin(), box.end(), [](const std::string& l) { return l.find("rotate") != std::string::npos; }));
}

TEST_F(PsDrawingTest, ArrowHeadsPointAlongTheArrow)
{
    // Arrow along +x: the apex is at the end point for position 0, one head length beyond for 2.
    const auto apex = [](const Lines& lines) {
        const std::vector<std::string> w = words(lines.at(0));
        return std::pair<std::string, std::string>(w.at(4), w.at(5));
    };
    EXPECT_EQ(apex(lines_of([] { draw_ps_arrow(0.0f, 0.0f, 1.0f, 0.0f, 0.2f, 30.0f, 0); })),
              std::make_pair(std::string("71.00"), std::string("0.00")));
    // u = 0.2 cos 30 = 0.1732: apex x = 1.1732 inches = 83.30 units.
    EXPECT_EQ(apex(lines_of([] { draw_ps_arrow(0.0f, 0.0f, 1.0f, 0.0f, 0.2f, 30.0f, 2); })).first, "83.30");
    // Bearing 0 points up: with position 1 the apex lies above the point.
    const std::vector<std::string> head = words(lines_of([] { draw_ps_arrow_head(1.0f, 1.0f, 0.0f, 0.2f, 30.0f, 1); }).at(0));
    EXPECT_EQ(head.at(2), "71.00");
    EXPECT_EQ(head.at(3), "77.15");  // 71 + 71 * 0.5 * 0.1732
}

TEST_F(PsDrawingTest, FrameTicks)
{
    const Lines all = lines_of([] { draw_ps_frame_ticks(5.0f, 4.0f, 1111, 1111, 5, 2, 4, 2); });
    // Edges: 4 x 2 lines; ticks: 9 + 11 + 9 + 11, two lines each.
    EXPECT_EQ(all.size(), 8u + 2u * 40u);
    const Lines left_ticks_only = lines_of([] { draw_ps_frame_ticks(5.0f, 4.0f, 1000, 0, 5, 2, 4, 2); });
    ASSERT_EQ(left_ticks_only.size(), 18u);
    EXPECT_EQ(left_ticks_only[0], " 0.00 284.00 SM");
    EXPECT_EQ(left_ticks_only[1], " 7.10 284.00 LSM");  // major tick 0.1 inward
    EXPECT_EQ(left_ticks_only[3], " 3.55 248.50 LSM");  // minor tick 0.05
    const Lines outward = lines_of([] { draw_ps_frame_ticks(5.0f, 4.0f, -1000, 0, 5, 2, 4, 2); });
    EXPECT_EQ(outward[1], " -7.10 284.00 LSM");
    // No divisions: no ticks, no division by zero.
    EXPECT_EQ(lines_of([] { draw_ps_frame_ticks(5.0f, 4.0f, 1111, 0, 0, 0, 0, 0); }), Lines{});
}

}  // namespace
