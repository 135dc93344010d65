// The full-size plot: the tick walk and its labels, the transform of a
// known window to the bitmap, path pixels where the plane coordinates put
// them, the display switches, the symbols and the dashed user lines.
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf_test_support.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

const QColor BLUE(0, 0, 255), RED(255, 0, 0), BLACK(0, 0, 0), WHITE(255, 255, 255);

TEST(TickWalk, StepsThroughThousandthsWithMajorTicksOnTheMajorStep)
{
    std::vector<Tick> ticks = walk_ticks(0.0, 1.0, 0.1, 0.5);
    ASSERT_EQ(ticks.size(), 11u);
    for (std::size_t k = 0; k < ticks.size(); ++k) {
        EXPECT_FLOAT_EQ(ticks[k].value, static_cast<float>(k) / 10.0f);
        EXPECT_EQ(ticks[k].major, k % 5 == 0) << k;
    }
    ticks = walk_ticks(-1.5, 1.5, static_cast<double>(0.1f), 0.5);
    ASSERT_EQ(ticks.size(), 31u);
    int majors = 0;
    for (const Tick& t : ticks)
        majors += t.major;
    EXPECT_EQ(majors, 7);  // -1.5, -1, -0.5, 0, 0.5, 1, 1.5
    // Steps below one thousandth, zero and negative steps give no ticks.
    EXPECT_TRUE(walk_ticks(0.0, 1.0, 0.0005, 0.5).empty());
    EXPECT_TRUE(walk_ticks(0.0, 1.0, 0.0, 0.5).empty());
    EXPECT_TRUE(walk_ticks(0.0, 1.0, -0.1, 0.5).empty());
    EXPECT_EQ(walk_ticks(-1e9, 1e9, 0.001, 0.5).size(), static_cast<std::size_t>(MAX_TICKS));
}

TEST(TickWalk, LabelsAreWrittenF61AndLeftAdjusted)
{
    // F6.1 as gfortran writes it, leading blanks dropped.
    EXPECT_EQ(tick_label(-1.5f), "-1.5");
    EXPECT_EQ(tick_label(0.5f), "0.5");
    EXPECT_EQ(tick_label(12.0f), "12.0");
    EXPECT_EQ(tick_label(123456.0f), "******");
    std::string text = " \t -2.5 x";
    EXPECT_EQ(left_adjust_tick_label(text), 4);
    EXPECT_EQ(text, "-2.5 x   ");
}

TEST(Symbols, EachKindDrawsItsShape)
{
    const int x = 30, y = 30, r = 10;
    struct Case {
        int kind;
        std::vector<QPoint> coloured;
        std::vector<QPoint> white;
    };
    const Case cases[] = {
        {1, {{x, y}, {x + r, y}, {x, y - r}}, {{x + r / 2, y + r / 2}}},
        {2, {{x, y}, {x + r / 2, y + r / 2}}, {{x + r, y}, {x, y - r}}},
        {3, {{x + r, y}, {x - r, y}}, {{x, y}}},
        {4, {{x, y}, {x + r / 2, y}}, {}},
        {5, {{x, y + r}, {x, y - r}}, {{x, y}}},
        {6, {{x, y + r}, {x + r, y}}, {{x, y}}},
        {7, {{x + r, y}, {x, y - r}}, {{x, y}}},
        {8, {{x, y}, {x - r, y - r}}, {{x + r + 1, y}, {x - r - 2, y}}},  // no outline around the fill
        {9, {}, {{x, y}, {x + r, y}}},
    };
    for (const Case& c : cases) {
        QImage image(60, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            draw_point_symbol_gdi(painter, x, y, c.kind, r, 3, 0x0000FF);
        }
        for (const QPoint& p : c.coloured)
            EXPECT_TRUE(colour_near(image, p.x(), p.y(), 1, RED)) << "kind " << c.kind << " at " << p.x() << "," << p.y();
        for (const QPoint& p : c.white)
            EXPECT_EQ(QColor(image.pixel(p)), WHITE) << "kind " << c.kind << " at " << p.x() << "," << p.y();
    }
}

TEST(DashedLines, DashesAreHalfAPeriodOfOneInchOverTheDashCount)
{
    // 4 dashes per inch at 96 pixels per inch: 12-pixel dashes and gaps.
    QImage image(200, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, 1));
        draw_dashed_line_gdi(painter, 0.0f, 5.0f, 190.0f, 5.0f, 4, 96.0f);
    }
    for (int x : {2, 6, 10, 26, 30, 50})
        EXPECT_EQ(QColor(image.pixel(x, 5)), BLACK) << x;
    for (int x : {14, 18, 22, 38, 42})
        EXPECT_EQ(QColor(image.pixel(x, 5)), WHITE) << x;
    // No dashes: one solid line.
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, 1));
        draw_dashed_line_gdi(painter, 0.0f, 5.0f, 190.0f, 5.0f, 0, 96.0f);
    }
    for (int x = 0; x < 190; ++x)
        ASSERT_EQ(QColor(image.pixel(x, 5)), BLACK) << x;
}

class RenderTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        start();
        open_data(trajectory_fixture("map.dat"));
        ASSERT_TRUE(display_options().data_open) << ui_->answers.message_log();
    }

    const QImage& plot() const { return plot_window_handles().plot_bitmap; }
    int px(float x) const { return static_cast<int>(x * plot_transform().scale + plot_transform().x0); }
    int py(float y) const { return static_cast<int>(plot_transform().y0 - y * plot_transform().scale); }
    QColor at(float x, float y) const { return QColor(plot().pixel(px(x), py(y))); }
};

TEST_F(RenderTest, TheWindowIsMappedByTheTransformOfTheFrame)
{
    ASSERT_EQ(plot().width(), 2400);
    ASSERT_EQ(plot().height(), 1800);
    const PlotTransform& t = plot_transform();
    EXPECT_EQ(t.widest_y_label, 4);  // "-1.5"
    const float cw = static_cast<float>(t.char_width), ch = static_cast<float>(t.char_height);
    ASSERT_GT(cw, 0.0f);
    // Room for the Y labels and ticks at the left, a character height at the
    // top, four below and the tick length inside both.
    const float ml = 0.16f, lw = 7.0f * cw;
    const float sx = (2400.0f - lw - ml * (2400.0f - lw) / 4.0f - 3.0f * cw) / 4.0f;
    const float sy = ((1800.0f - 4.0f * ch) - ml * (1800.0f - 4.0f * ch) / 3.0f) / 3.0f;
    EXPECT_FLOAT_EQ(t.scale, std::min(sx, sy));
    EXPECT_FLOAT_EQ(t.x0, lw + (ml + 2.0f) * t.scale);
    EXPECT_FLOAT_EQ(t.y0, ch + 1.5f * t.scale);
    // The frame through the window's corners.
    EXPECT_EQ(at(-2.0f, 0.25f), BLACK);
    EXPECT_EQ(at(2.0f, 0.25f), BLACK);
    EXPECT_EQ(at(0.25f, 1.5f), BLACK);
    EXPECT_EQ(at(0.25f, -1.5f), BLACK);
    EXPECT_LT(px(2.0f), 2400);
    EXPECT_LT(py(-1.5f), 1800);
}

TEST_F(RenderTest, PathsAreDrawnWhereTheirPointsLieInTheirKindsColours)
{
    EXPECT_EQ(at(-0.5f, 0.5f), BLUE);   // trajectory at y = 0.5
    EXPECT_EQ(at(0.0f, 0.75f), RED);    // bond path at x = 0
    EXPECT_EQ(at(0.75f, -1.0f), RED);   // surface path at y = -1
    EXPECT_EQ(at(0.5f, -0.5f), BLUE);   // blank kind drawn as a trajectory
    EXPECT_EQ(at(-1.0f, 1.0f), BLUE);   // the last path, after the skipped ones
    EXPECT_EQ(at(1.5f, 1.25f), WHITE);  // nothing drawn there
    EXPECT_EQ(at(-1.5f, 0.5f), WHITE);  // past the trajectory's first point
}

TEST_F(RenderTest, TheKindSwitchesHideTheirPathsOnly)
{
    program_->window->handle_command(CMD_TRAJECTORY_PATH);
    EXPECT_FALSE(program_->window->menu_checked(CMD_TRAJECTORY_PATH));
    EXPECT_EQ(at(-0.5f, 0.5f), WHITE);
    EXPECT_EQ(at(0.5f, -0.5f), WHITE);
    EXPECT_EQ(at(-1.0f, 1.0f), WHITE);
    EXPECT_EQ(at(0.0f, 0.75f), RED);
    EXPECT_EQ(at(0.75f, -1.0f), RED);
    program_->window->handle_command(CMD_BOND_PATH);
    EXPECT_EQ(at(0.0f, 0.75f), WHITE);
    EXPECT_EQ(at(0.75f, -1.0f), RED);
    program_->window->handle_command(CMD_TRAJECTORY_PATH);
    EXPECT_EQ(at(-1.0f, 1.0f), BLUE);
}

TEST_F(RenderTest, WithoutAxisLabelsTheLeftMarginIsThreeCharactersAndTheTickLength)
{
    program_->window->handle_command(CMD_AXIS_LABELS);
    ASSERT_FALSE(display_options().axis_labels_shown);
    const PlotTransform& t = plot_transform();
    EXPECT_EQ(t.widest_y_label, 0);
    EXPECT_EQ(px(-2.0f), static_cast<int>(3.0f * static_cast<float>(t.char_width) + 0.16f * t.scale));
    // Ticks still hang below the frame: a major tick at x = 0.5.
    const int l = static_cast<int>(0.16f * t.scale);
    EXPECT_EQ(QColor(plot().pixel(px(0.5f), py(-1.5f) + l / 2)), BLACK);
    // No ticks: no marks below the frame.
    program_->window->handle_command(CMD_AXIS_TICKS);
    EXPECT_EQ(QColor(plot().pixel(px(0.5f), py(-1.5f) + l / 2)), WHITE);
}

TEST_F(RenderTest, PostSymbolsSitOnTheirMarkersAndLabelsFollowTheirSwitches)
{
    load_post(trajectory_fixture("map.pos"));
    ASSERT_TRUE(display_options().post_loaded);
    const int r = static_cast<int>(0.05f * plot_transform().scale);
    // Atoms: filled circles; the critical point: a diamond.
    EXPECT_EQ(at(-1.0f, 0.0f), BLACK);
    EXPECT_EQ(at(1.0f, 0.0f), BLACK);
    EXPECT_TRUE(colour_near(plot(), px(0.0f), py(0.0f) + r, 1, BLACK));
    EXPECT_TRUE(colour_near(plot(), px(0.0f), py(0.0f) - r, 1, BLACK));

    // Labels are drawn from their baseline start once switched on.
    auto label_ink = [&] {
        int dark = 0;
        const int x = px(1.0f), y = py(0.0f);
        for (int dy = -30; dy < 0; ++dy)
            for (int dx = r + 2; dx < 80; ++dx)
                dark += QColor(plot().pixel(x + dx, y + dy)).lightness() < 128;
        return dark;
    };
    EXPECT_EQ(label_ink(), 0);
    program_->window->handle_command(CMD_ATOM_LABELS);
    EXPECT_GT(label_ink(), 20);
    program_->window->handle_command(CMD_ATOM_POSITIONS);
    EXPECT_EQ(at(1.0f, 0.0f), WHITE);
}

// Atom and critical-point labels stand beside their symbols, level with
// them, with clear space between: "N1" is not read as "l1" under a filled
// circle, nor "(3,-1)" drawn over "C1".
TEST_F(RenderTest, LabelsStandBesideTheirSymbolsWithoutTouchingThem)
{
    load_post(trajectory_fixture("map.pos"));
    program_->window->handle_command(CMD_ATOM_LABELS);
    program_->window->handle_command(CMD_CP_LABELS);
    ASSERT_TRUE(display_options().atom_labels_shown && display_options().cp_labels_shown);
    ASSERT_TRUE(display_options().atom_positions_shown && display_options().cp_positions_shown);
    const int r = static_cast<int>(0.05f * plot_transform().scale);
    auto dark = [&](int x, int y) { return plot().valid(x, y) && QColor(plot().pixel(x, y)).lightness() < 128; };
    for (float marker_x : {-1.0f, 0.0f, 1.0f}) {  // C1, the critical point, N2
        const int x = px(marker_x), y = py(0.0f);
        // The symbol's box holds the symbol alone: no ink of a label
        // above or below it within a label's height.
        int first_ink = -1;
        for (int dx = r + 1; dx < r + 200 && first_ink < 0; ++dx)
            for (int dy = -60; dy <= 60; ++dy)
                if (dark(x + dx, y + dy)) {
                    first_ink = dx;
                    break;
                }
        ASSERT_GT(first_ink, 0) << marker_x << ": no label beside the symbol";
        EXPECT_GE(first_ink - r, 3) << marker_x << ": the label touches its symbol";
        // Level with the symbol: the label's ink spans the marker's row.
        int top = y, bottom = y;
        for (int dy = -60; dy <= 60; ++dy)
            for (int dx = first_ink; dx < first_ink + 60; ++dx)
                if (dark(x + dx, y + dy)) {
                    top = std::min(top, y + dy);
                    bottom = std::max(bottom, y + dy);
                }
        EXPECT_LT(top, y) << marker_x;
        EXPECT_GT(bottom, y) << marker_x;
        for (int dy = -r - 40; dy <= r + 40; ++dy)
            for (int dx = -r - 1; dx <= r + 1; ++dx)
                if (std::abs(dy) > r + 1) {
                    EXPECT_FALSE(dark(x + dx, y + dy)) << marker_x << ": ink above or below the symbol at " << dy;
                }
    }
}

}  // namespace
