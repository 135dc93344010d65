// The mouse modes of the view: chains of user lines, zooming about a point,
// panning, moving and editing labels and free texts, deleting them, and the
// capacities of lines and item slots.
#include "common/qt/dialog.h"
#include "pathgraf/app/mouse_modes.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_view.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class ModeTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        start();
        open_data(trajectory_fixture("map.dat"));
        ASSERT_TRUE(display_options().data_open);
    }
    PlotMainWindow& window() { return *program_->window; }
    bool usable(int id) { return window().menu_enabled(id) || window().toolbar_enabled(id); }
    // Plane length of one view pixel.
    float pixel_size() const
    {
        return static_cast<float>(view_state().full_width) / static_cast<float>(view_state().view_width) /
               plot_transform().scale;
    }
    PixelPoint at(float x, float y) const { return plane_to_view({x, y}); }
    void click(PixelPoint p)
    {
        view_left_button_down(p.x, p.y);
        view_button_up();
    }
    void drag(PixelPoint from, PixelPoint to)
    {
        view_left_button_down(from.x, from.y);
        view_mouse_move(to.x, to.y);
        view_button_up();
    }
    void expect_near(PlanePointF p, float x, float y, const char* what)
    {
        EXPECT_NEAR(p.x, x, 1.5f * pixel_size()) << what;
        EXPECT_NEAR(p.y, y, 1.5f * pixel_size()) << what;
    }
    // Right click on an empty place in Draw Text mode, typing text.
    void place_text(PixelPoint p, const std::string& text)
    {
        when_open([text](Dialog& d) {
            EXPECT_EQ(d.get_resource_id(), IDD_TEXT_ENTRY);
            d.user_set_text(IDC_TEXT_ENTRY, text);
            d.user_click(1);
        });
        view_right_button_down(p.x, p.y);
        view_button_up();
    }
};

TEST_F(ModeTest, ThreeClicksAndLeavingDrawLineCommitThreeLines)
{
    window().handle_command(CMD_DRAW_LINE);
    EXPECT_TRUE(window().menu_checked(CMD_DRAW_LINE));
    EXPECT_TRUE(window().toolbar_checked(CMD_DRAW_LINE));
    EXPECT_TRUE(usable(CMD_DRAW_LINE));
    EXPECT_TRUE(window().toolbar_enabled(CMD_LINE_STYLE));
    EXPECT_FALSE(window().menu_enabled(CMD_LINE_STYLE));
    for (int id : {CMD_OPEN, CMD_SAVE_AS, CMD_POST, CMD_AXIS, CMD_DRAW_TEXT, CMD_MOVE})
        EXPECT_FALSE(usable(id)) << id;

    click(at(-1.0f, 0.0f));
    click(at(0.0f, 1.0f));
    click(at(1.0f, 0.0f));
    const PixelPoint last = at(1.0f, -1.0f);
    view_mouse_move(last.x, last.y);
    window().handle_command(CMD_DRAW_LINE);

    const UserLines& lines = user_lines();
    ASSERT_EQ(lines.line_count, 3);
    expect_near({lines.x1[1], lines.y1[1]}, -1.0f, 0.0f, "first start");
    expect_near({lines.x2[1], lines.y2[1]}, 0.0f, 1.0f, "first end");
    expect_near({lines.x1[2], lines.y1[2]}, 0.0f, 1.0f, "second start");
    expect_near({lines.x2[3], lines.y2[3]}, 1.0f, -1.0f, "third end, where the mouse was");
    EXPECT_EQ(lines.style[3].colour, style_settings().user_line_colour);
    EXPECT_EQ(lines.style[3].width, style_settings().user_line_width);
    EXPECT_TRUE(display_options().post_lines_shown);
    EXPECT_TRUE(window().menu_checked(CMD_POST_LINES));
    EXPECT_TRUE(usable(CMD_OPEN));
    EXPECT_TRUE(window().toolbar_checked(CMD_MOVE));
    EXPECT_EQ(view_state().view_cursor, CURSOR_MOVE);
    // The committed lines are drawn in the user-line colour.
    const QImage& plot = plot_window_handles().plot_bitmap;
    const PlotTransform& t = plot_transform();
    EXPECT_TRUE(colour_near(plot, static_cast<int>(-0.5f * t.scale + t.x0), static_cast<int>(t.y0 - 0.5f * t.scale),
                            3, QColor(255, 0, 255)));
}

TEST_F(ModeTest, EnterDropsTheSegmentFollowingTheMouse)
{
    window().handle_command(CMD_DRAW_LINE);
    click(at(-1.0f, 0.0f));
    click(at(0.0f, 1.0f));
    click(at(1.0f, 0.0f));
    EXPECT_TRUE(handle_plot_key(Qt::Key_Return));
    window().handle_command(CMD_DRAW_LINE);
    EXPECT_EQ(user_lines().line_count, 2);
}

TEST_F(ModeTest, ARightClickTakesTheLastPointBack)
{
    window().handle_command(CMD_DRAW_LINE);
    click(at(-1.0f, 0.0f));
    click(at(0.0f, 1.0f));
    click(at(1.0f, 0.0f));
    const PixelPoint back = at(0.5f, -0.5f);
    view_right_button_down(back.x, back.y);
    view_button_up();
    EXPECT_EQ(user_lines().segment_count, 2);
    EXPECT_EQ(view_state().tracking, 1);
    window().handle_command(CMD_DRAW_LINE);
    ASSERT_EQ(user_lines().line_count, 2);
    expect_near({user_lines().x2[2], user_lines().y2[2]}, 0.5f, -0.5f, "the segment follows the mouse again");
}

TEST_F(ModeTest, ASegmentLeftBeforeTheMouseMovedIsAPoint)
{
    window().handle_command(CMD_DRAW_LINE);
    click(at(0.5f, 0.5f));
    window().handle_command(CMD_DRAW_LINE);
    const UserLines& lines = user_lines();
    ASSERT_EQ(lines.line_count, 1);
    EXPECT_EQ(lines.x1[1], lines.x2[1]);
    EXPECT_EQ(lines.y1[1], lines.y2[1]);
    expect_near({lines.x1[1], lines.y1[1]}, 0.5f, 0.5f, "the click");
}

TEST_F(ModeTest, LinesStopAtTheirCapacity)
{
    user_lines().line_count = MAX_USER_LINES - 1;
    window().handle_command(CMD_DRAW_LINE);
    click(at(-1.0f, 0.0f));
    click(at(0.0f, 1.0f));
    click(at(1.0f, 1.0f));
    EXPECT_EQ(user_lines().segment_count, 1);
    window().handle_command(CMD_DRAW_LINE);
    EXPECT_EQ(user_lines().line_count, MAX_USER_LINES);
}

TEST_F(ModeTest, ZoomKeepsTheClickedPointAtTheCentreWithinItsLimits)
{
    ViewState& view = view_state();
    const int start_divisor = view.zoom_divisor;
    ASSERT_GT(start_divisor, 1);
    window().handle_command(CMD_ZOOM_IN);
    EXPECT_TRUE(window().toolbar_checked(CMD_ZOOM_IN));
    EXPECT_FALSE(window().toolbar_checked(CMD_MOVE));
    const PixelPoint p = at(1.0f, 0.5f);
    click(p);
    EXPECT_EQ(view.zoom_divisor, start_divisor - 1);
    EXPECT_EQ(view.view_width, view.full_width / view.zoom_divisor);
    EXPECT_EQ(plot_window_handles().view_bitmap.width(), view.view_width);
    const QWidget* v = plot_window_handles().view_window;
    const PixelPoint moved = at(1.0f, 0.5f);
    EXPECT_NEAR(moved.x, v->width() / 2, 2);
    EXPECT_NEAR(moved.y, v->height() / 2, 2);

    while (view.zoom_divisor > 1)
        click(p);
    const int origin_x = view.origin_x;
    click(p);  // at divisor 1 nothing changes
    EXPECT_EQ(view.zoom_divisor, 1);
    EXPECT_EQ(view.origin_x, origin_x);

    window().handle_command(CMD_ZOOM_OUT);
    while (view.zoom_divisor < 10)
        click(p);
    const int width = view.view_width;
    click(p);
    EXPECT_EQ(view.zoom_divisor, 10);
    EXPECT_EQ(view.view_width, width);
}

TEST_F(ModeTest, MovePansTheImage)
{
    ViewState& view = view_state();
    const int x = view.origin_x, y = view.origin_y;
    drag({200, 200}, {230, 180});
    EXPECT_EQ(view.origin_x, x + 30);
    EXPECT_EQ(view.origin_y, y - 20);
    EXPECT_EQ(view.tracking, 0);
}

TEST_F(ModeTest, LabelsMoveWithTheImageAndStayWherePlaced)
{
    load_post(trajectory_fixture("map.pos"));
    window().handle_command(CMD_ATOM_LABELS);
    ASSERT_TRUE(display_options().atom_labels_shown);
    window().handle_command(CMD_LABELS);
    EXPECT_TRUE(display_options().labels_mode);
    // The labels leave the plot while they are edited.
    EXPECT_FALSE(display_options().atom_labels_shown);
    EXPECT_FALSE(window().menu_checked(CMD_ATOM_LABELS));
    EXPECT_TRUE(window().toolbar_enabled(CMD_FONT));
    EXPECT_FALSE(window().menu_enabled(CMD_FONT));
    EXPECT_FALSE(usable(CMD_OPEN));
    EXPECT_EQ(view_state().view_cursor, CURSOR_TEXT);
    // Each label is edited where the plot draws it: beside its symbol, to the
    // right and lowered to be level with it, by the same offset for all.
    PostData& post = post_data();
    const PixelPoint anchor1 = plane_to_view(post.item_position[1]);
    const int dx = post.item_pixel[1].x - anchor1.x, dy = post.item_pixel[1].y - anchor1.y;
    EXPECT_GT(dx, 0);
    EXPECT_GE(dy, 0);
    for (int slot = 1; slot <= 3; ++slot) {
        EXPECT_NEAR(post.item_pixel[slot].x, plane_to_view(post.item_position[slot]).x + dx, 1) << slot;
        EXPECT_NEAR(post.item_pixel[slot].y, plane_to_view(post.item_position[slot]).y + dy, 1) << slot;
    }

    // Pan on an empty place: the labels go with the image.
    drag({5, 5}, {30, -10});
    const PixelPoint n2 = post.item_pixel[2];
    EXPECT_NEAR(n2.x, plane_to_view(post.item_position[2]).x + dx, 1);
    // Drag the label of C1 by (12, 6) pixels.
    const PixelPoint c1 = post.item_pixel[1];
    EXPECT_EQ(find_item_at_point(c1.x + 1, c1.y), 1);
    drag({c1.x + 1, c1.y}, {c1.x + 13, c1.y + 6});
    EXPECT_EQ(post.item_pixel[1].x, c1.x + 12);
    EXPECT_EQ(view_state().selected_item, 1);

    window().handle_command(CMD_LABELS);
    EXPECT_FALSE(display_options().labels_mode);
    EXPECT_TRUE(display_options().atom_labels_shown);
    EXPECT_TRUE(display_options().cp_labels_shown);
    EXPECT_TRUE(usable(CMD_OPEN));
    expect_near(post.item_position[2], 1.0f, 0.0f, "N2 stays at its atom");
    expect_near(post.item_position[3], 0.0f, 0.0f, "the critical point's label stays");
    expect_near(post.item_position[1], -1.0f + 12.0f * pixel_size(), -6.0f * pixel_size(), "C1 moved");
}

TEST_F(ModeTest, DeletingALabelTakesItsSymbolWithIt)
{
    load_post(trajectory_fixture("map.pos"));
    window().handle_command(CMD_LABELS);
    PostData& post = post_data();
    const PixelPoint c1 = post.item_pixel[1];
    click({c1.x + 1, c1.y});
    ASSERT_EQ(view_state().selected_item, 1);
    EXPECT_TRUE(handle_plot_key(Qt::Key_Delete));
    EXPECT_EQ(post.atom_count, 1);
    EXPECT_EQ(post.cp_count, 1);
    EXPECT_EQ(post.item_text[1], "N2        ");
    EXPECT_EQ(post.item_text[2], "(3,-1)    ");
    EXPECT_EQ(post.atom_marker[1].x, 1.0f);
    window().handle_command(CMD_LABELS);
    // No symbol is left where C1 was.
    const PlotTransform& t = plot_transform();
    const QImage& plot = plot_window_handles().plot_bitmap;
    EXPECT_EQ(QColor(plot.pixel(static_cast<int>(-1.0f * t.scale + t.x0), static_cast<int>(t.y0))), QColor(Qt::white));
    EXPECT_EQ(QColor(plot.pixel(static_cast<int>(1.0f * t.scale + t.x0), static_cast<int>(t.y0))), QColor(Qt::black));
}

TEST_F(ModeTest, FreeTextsArePlacedEditedAndDeleted)
{
    window().handle_command(CMD_DRAW_TEXT);
    EXPECT_TRUE(display_options().draw_text_mode);
    place_text(at(-1.5f, -1.25f), "first");
    place_text(at(0.5f, 1.25f), "second");
    place_text(at(1.0f, -1.25f), "   ");  // a blank text is not stored
    PostData& post = post_data();
    ASSERT_EQ(post.text_count, 2);
    EXPECT_EQ(post.item_text[300], "first");
    EXPECT_EQ(post.item_text[299], "second");
    window().handle_command(CMD_DRAW_TEXT);
    EXPECT_TRUE(display_options().texts_shown);
    EXPECT_TRUE(window().menu_checked(CMD_TEXT));
    expect_near(post.item_position[300], -1.5f, -1.25f, "first");
    expect_near(post.item_position[299], 0.5f, 1.25f, "second");

    // Entering again puts every text on the view at its plot position.
    ViewState& view = view_state();
    view.origin_x += 17;
    window().handle_command(CMD_DRAW_TEXT);
    EXPECT_FALSE(display_options().texts_shown);
    for (int slot : {300, 299}) {
        EXPECT_EQ(post.item_pixel[slot].x, plane_to_view(post.item_position[slot]).x);
        EXPECT_EQ(post.item_pixel[slot].y, plane_to_view(post.item_position[slot]).y);
    }
    // A right click on a text edits it.
    const PixelPoint second = post.item_pixel[299];
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_text(IDC_TEXT_ENTRY), "second");
        d.user_set_text(IDC_TEXT_ENTRY, "edited");
        d.user_click(1);
    });
    view_right_button_down(second.x + 1, second.y);
    view_button_up();
    EXPECT_EQ(post.item_text[299], "edited");
    EXPECT_EQ(post.text_count, 2);

    // Deleting the upper text moves the lower one up; deleting the lowest
    // only lowers the count.
    const PixelPoint first = post.item_pixel[300];
    click({first.x + 1, first.y});
    ASSERT_EQ(view.selected_item, 300);
    handle_plot_key(Qt::Key_Delete);
    EXPECT_EQ(post.text_count, 1);
    EXPECT_EQ(post.item_text[300], "edited");
    click({post.item_pixel[300].x + 1, post.item_pixel[300].y});
    handle_plot_key(Qt::Key_Delete);
    EXPECT_EQ(post.text_count, 0);
    window().handle_command(CMD_DRAW_TEXT);
}

TEST_F(ModeTest, NoFreeTextWhenTheSlotsAreFull)
{
    load_post(trajectory_fixture("map.pos"));
    PostData& post = post_data();
    post.text_count = MAX_ITEM_SLOTS - post.atom_count - post.cp_count;
    for (int k = 1; k <= post.text_count; ++k)
        post.item_text[free_text_slot(k)] = "t";
    window().handle_command(CMD_DRAW_TEXT);
    const PixelPoint empty = at(1.5f, -1.25f);
    run_without_dialog([&] {
        view_right_button_down(empty.x, empty.y);
        view_button_up();
    });
    EXPECT_EQ(post.text_count, MAX_ITEM_SLOTS - 3);
    EXPECT_EQ(post.item_text[3], "(3,-1)    ");
    window().handle_command(CMD_DRAW_TEXT);
}

TEST_F(ModeTest, PlaneAndViewCoordinatesAgreeWithinAPixel)
{
    for (PlanePointF p : {PlanePointF{-2.0f, -1.5f}, PlanePointF{0.3f, 0.7f}, PlanePointF{2.0f, 1.5f}}) {
        const PlanePointF back = view_to_plane(plane_to_view(p));
        EXPECT_NEAR(back.x, p.x, pixel_size());
        EXPECT_NEAR(back.y, p.y, pixel_size());
    }
    // The window's corners lie on the view bitmap's frame.
    const ViewState& view = view_state();
    const PixelPoint corner = plane_to_view({-2.0f, 1.5f});
    EXPECT_GT(corner.x, view.origin_x);
    EXPECT_GT(corner.y, view.origin_y);
    EXPECT_LT(plane_to_view({2.0f, -1.5f}).x, view.origin_x + view.view_width);
}

}  // namespace
