// The viewer's arithmetic without a window: mouse drags, the Move menu, the
// first centring, the square viewport, the width of atom numbers and the
// colour bytes and the colour labels are drawn in.
#include "keldana/resources/viewer_resources.h"
#include "keldana/viewer/scene_drawing.h"
#include "keldana/viewer/viewer_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr float ANGLE_TOLERANCE = 1e-3f;

TEST(ViewerDrag, EachModeMovesItsOwnPartOfTheTransform)
{
    ViewerSceneState state;
    apply_viewer_mouse_drag(state, DRAG_TRANSLATE, 0, 100, 0, 50, 0, 7);
    EXPECT_FLOAT_EQ(state.shift_x, 1.0f);
    EXPECT_FLOAT_EQ(state.shift_y, -0.5f);  // window y grows downwards
    EXPECT_FLOAT_EQ(state.zoom, 0.0f);

    apply_viewer_mouse_drag(state, DRAG_ROTATE, 0, 10, 0, 20, 0, -30);
    EXPECT_NEAR(state.rot_x, 7.2f, ANGLE_TOLERANCE);
    EXPECT_NEAR(state.rot_y, 3.6f, ANGLE_TOLERANCE);
    EXPECT_NEAR(state.rot_z, -10.8f, ANGLE_TOLERANCE);

    apply_viewer_mouse_drag(state, DRAG_ZOOM, 0, 30, 0, -20, 0, 0);
    EXPECT_FLOAT_EQ(state.zoom, 1.0f);  // 0.02 (30 + 20)
    EXPECT_FLOAT_EQ(state.shift_x, 1.0f);
}

TEST(ViewerDrag, FiftyOneRotationStepsWrapPast360)
{
    ViewerSceneState state;
    for (int k = 0; k < 51; ++k)
        ASSERT_TRUE(step_viewer_view(state, CMD_VIEWER_ROTATE_X_DOWN));
    EXPECT_NEAR(state.rot_x, 7.2f, ANGLE_TOLERANCE);  // 367.2 - 360
    ViewerSceneState down;
    for (int k = 0; k < 51; ++k)
        step_viewer_view(down, CMD_VIEWER_ROTATE_X_UP);
    EXPECT_NEAR(down.rot_x, -7.2f, ANGLE_TOLERANCE);  // -367.2 + 360
}

TEST(ViewerDrag, MoveMenuCommandsStepTheTransform)
{
    struct Case {
        int command;
        float shift_x, shift_y, zoom, rot_x, rot_y, rot_z;
        int mouse_x, mouse_y, mouse_z;
    };
    const Case cases[] = {
        {CMD_VIEWER_ROTATE_X_UP, 0, 0, 0, -7.2f, 0, 0, 0, -20, 0},
        {CMD_VIEWER_ROTATE_X_DOWN, 0, 0, 0, 7.2f, 0, 0, 0, 20, 0},
        {CMD_VIEWER_ROTATE_Y_RIGHT, 0, 0, 0, 0, -7.2f, 0, -20, 0, 0},
        {CMD_VIEWER_ROTATE_Y_LEFT, 0, 0, 0, 0, 7.2f, 0, 20, 0, 0},
        {CMD_VIEWER_ROTATE_Z_CLOCKWISE, 0, 0, 0, 0, 0, -7.2f, 0, 0, -20},
        {CMD_VIEWER_ROTATE_Z_COUNTER, 0, 0, 0, 0, 0, 7.2f, 0, 0, 20},
        {CMD_VIEWER_MOVE_UP, 0, 0.3f, 0, 0, 0, 0, 0, -30, 0},
        {CMD_VIEWER_MOVE_DOWN, 0, -0.3f, 0, 0, 0, 0, 0, 30, 0},
        {CMD_VIEWER_MOVE_LEFT, -0.3f, 0, 0, 0, 0, 0, -30, 0, 0},
        {CMD_VIEWER_MOVE_RIGHT, 0.3f, 0, 0, 0, 0, 0, 30, 0, 0},
        {CMD_VIEWER_ZOOM_IN, 0, 0, 2.0f, 0, 0, 0, 50, -50, 0},
        {CMD_VIEWER_ZOOM_OUT, 0, 0, -2.0f, 0, 0, 0, -50, 50, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ViewerSceneState state;
        ASSERT_TRUE(step_viewer_view(state, c.command));
        EXPECT_NEAR(state.shift_x, c.shift_x, 1e-6f);
        EXPECT_NEAR(state.shift_y, c.shift_y, 1e-6f);
        EXPECT_NEAR(state.zoom, c.zoom, 1e-6f);
        EXPECT_NEAR(state.rot_x, c.rot_x, ANGLE_TOLERANCE);
        EXPECT_NEAR(state.rot_y, c.rot_y, ANGLE_TOLERANCE);
        EXPECT_NEAR(state.rot_z, c.rot_z, ANGLE_TOLERANCE);
        EXPECT_EQ(state.mouse_x, c.mouse_x);
        EXPECT_EQ(state.mouse_y, c.mouse_y);
        EXPECT_EQ(state.mouse_z, c.mouse_z);
        EXPECT_EQ(state.drag_mode, DRAG_NONE);
    }
    ViewerSceneState state;
    for (int k = 0; k < 3; ++k)
        step_viewer_view(state, CMD_VIEWER_ZOOM_IN);
    EXPECT_NEAR(state.zoom, 6.0f, 1e-5f);
    EXPECT_FALSE(step_viewer_view(state, CMD_VIEWER_AXIS));
}

TEST(ViewerMouse, ButtonsChooseTheDrag)
{
    ViewerSceneState state;
    ViewerMouseKeys left;
    left.left = true;
    press_viewer_mouse(state, true, left, 10, 20);
    EXPECT_EQ(state.drag_mode, DRAG_ROTATE);
    EXPECT_TRUE(move_viewer_mouse(state, left, 60, 20));
    EXPECT_NEAR(state.rot_y, 18.0f, ANGLE_TOLERANCE);  // 50 pixels right
    EXPECT_EQ(state.mouse_x, 60);
    release_viewer_mouse(state);
    EXPECT_FALSE(move_viewer_mouse(state, left, 100, 100));
    EXPECT_NEAR(state.rot_y, 18.0f, ANGLE_TOLERANCE);

    // Ctrl with the left button drives z by the x position only.
    ViewerMouseKeys control_left = left;
    control_left.control = true;
    press_viewer_mouse(state, true, control_left, 5, 7);
    EXPECT_EQ(state.mouse_z, 5);
    EXPECT_EQ(state.mouse_x, 60);
    EXPECT_EQ(state.drag_mode, DRAG_ROTATE);
    move_viewer_mouse(state, control_left, 15, 99);
    EXPECT_NEAR(state.rot_z, 3.6f, ANGLE_TOLERANCE);
    EXPECT_NEAR(state.rot_x, 0.0f, ANGLE_TOLERANCE);
    release_viewer_mouse(state);

    ViewerMouseKeys right;
    right.right = true;
    press_viewer_mouse(state, false, right, 0, 0);
    EXPECT_EQ(state.drag_mode, DRAG_TRANSLATE);
    move_viewer_mouse(state, right, 100, 50);
    EXPECT_FLOAT_EQ(state.shift_x, 1.0f);
    EXPECT_FLOAT_EQ(state.shift_y, -0.5f);

    // The right button joins the left: both zoom.
    ViewerMouseKeys both = right;
    both.left = true;
    press_viewer_mouse(state, false, both, 0, 0);
    EXPECT_EQ(state.drag_mode, DRAG_ZOOM);
    move_viewer_mouse(state, both, 10, -10);
    EXPECT_FLOAT_EQ(state.zoom, 0.4f);
}

// Where a point of the scene lies in the view, as a fraction of the half
// field of the window's side (x across, y up), under the fitted transform.
std::array<double, 2> seen_fraction(const ViewerSceneState& state, double x, double y, double z, int width,
                                    int height)
{
    constexpr double PI = 3.14159265358979323846;
    const double depth = 10.0 - state.zoom - (z - state.centre_z);
    const int larger = std::max(width, height);
    const double t = std::tan(25.0 * PI / 180.0);
    return {(x - state.centre_x + state.shift_x) / depth / (t * width / larger),
            (y - state.centre_y + state.shift_y) / depth / (t * height / larger)};
}

// The first view: the structure with its labels in the middle, as large as
// fits the window with a margin, whatever the view was before.
TEST(ViewerFit, TheStructureWithItsLabelsFillsTheViewWithAMargin)
{
    auto model = std::make_unique<StructureModel>();
    WorkingAtomSet& atoms = model->atoms;
    atoms.atom_count = 4;
    // Three atoms on a line along x and one left out of the subset.
    const double positions[4][3] = {{1, 2, 3}, {2, 2, 3}, {9, 2, 3}, {100, 100, 100}};
    for (int i = 1; i <= 4; ++i) {
        atoms.cart_x[i] = positions[i - 1][0];
        atoms.cart_y[i] = positions[i - 1][1];
        atoms.cart_z[i] = positions[i - 1][2];
        atoms.subset_mask[i] = i < 4 ? 1 : 0;
    }
    std::vector<AtomReach> reach(5, AtomReach{0.2, 1.5, 0.35});
    ViewerSceneState state;
    state.shift_x = 3;
    state.zoom = 7;
    ASSERT_TRUE(fit_viewer_scene(state, atoms, reach, 400, 400));
    // The scene turns about the middle of the atoms' box, not their mean.
    EXPECT_FLOAT_EQ(state.centre_x, 5.0f);
    EXPECT_FLOAT_EQ(state.centre_y, 2.0f);
    EXPECT_FLOAT_EQ(state.centre_z, 3.0f);
    // From the left of atom 1's sphere to the end of atom 3's label, centred
    // across and filling the width within the margin.
    const auto left = seen_fraction(state, 1 - 0.2, 2, 3 + 0.2, 400, 400);
    const auto right = seen_fraction(state, 9 + 1.5, 2, 3 + 0.2, 400, 400);
    EXPECT_NEAR(left[0], -right[0], 1e-6);
    EXPECT_LT(right[0], 1.0 / 1.05);
    EXPECT_GT(right[0], 1.0 / 1.2);

    // Turned a quarter about y the line runs towards the eye; a window twice
    // as high as wide: everything still lies inside, the turn is kept.
    ViewerSceneState turned;
    turned.rot_y = 90;
    ASSERT_TRUE(fit_viewer_scene(turned, atoms, reach, 300, 600));
    EXPECT_EQ(turned.rot_y, 90.0f);
    EXPECT_LT(turned.zoom, 10.0f - 4.0f - 0.2f);  // the eye stays in front of the nearest atom

    // No atom in the subset: nothing to fit.
    ViewerSceneState empty;
    for (int i = 1; i <= 4; ++i)
        atoms.subset_mask[i] = 0;
    EXPECT_FALSE(fit_viewer_scene(empty, atoms, reach, 400, 400));
    EXPECT_EQ(empty.zoom, 0.0f);
}

// Atom colours stand out from the background as labels do, keeping their hue.
TEST(ViewerColours, DarkAtomColoursAreLightenedOnADarkBackground)
{
    const unsigned nitrogen = 0x0000A0;  // dark blue, packed red-high
    const unsigned shown = contrasting_atom_colour(nitrogen, 0x000000);
    const unsigned r = (shown >> 16) & 0xFF, g = (shown >> 8) & 0xFF, b = shown & 0xFF;
    EXPECT_GT(b, r);
    EXPECT_GT(b, g);
    // Contrast ratio with black at least 4.5: luminance at least 0.175.
    auto linear = [](unsigned c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    EXPECT_GE(0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b), 0.175);
    // A colour that stands out already is drawn as it is; on white, a light
    // yellow is darkened.
    EXPECT_EQ(contrasting_atom_colour(0xFF0D0D, 0x000000), 0xFF0D0Du);
    const unsigned on_white = contrasting_atom_colour(0xFFFF80, 0xFFFFFF);
    EXPECT_LT(on_white & 0xFF, 0x80u);
}

TEST(ViewerViewport, SquareOfTheLargerSideCentredOnTheWindow)
{
    struct Case {
        int width, height, x0, y0, side;
    };
    const Case cases[] = {
        {400, 300, 0, -50, 400},
        {300, 400, -50, 0, 400},
        {301, 400, -49, 0, 400},  // integer halves
        {200, 200, 0, 0, 200},
    };
    for (const Case& c : cases) {
        const ViewerViewport viewport = compute_viewer_viewport(c.width, c.height);
        EXPECT_EQ(viewport.x0, c.x0) << c.width << " x " << c.height;
        EXPECT_EQ(viewport.y0, c.y0) << c.width << " x " << c.height;
        EXPECT_EQ(viewport.side, c.side) << c.width << " x " << c.height;
    }
}

TEST(ViewerLabels, AtomNumberWidthAndColourBytes)
{
    const std::pair<int, int> widths[] = {{0, 1}, {9, 1}, {10, 2}, {99, 2}, {100, 3},
                                          {999, 3}, {1000, 4}, {9999, 4}, {10000, 5}, {250000, 5}};
    for (auto [n, width] : widths)
        EXPECT_EQ(count_decimal_digits(n), width) << n;

    float first = 0, second = 0, third = 0;
    convert_colour_to_rgb(0x00FF8001u, first, second, third);
    EXPECT_FLOAT_EQ(first, 1.0f);
    EXPECT_FLOAT_EQ(second, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(third, 1.0f / 255.0f);
}

TEST(ViewerLabels, LabelColourStandsOutFromTheBackground)
{
    // COLORREF values: red in the low byte.
    struct Case {
        unsigned label, background, drawn;
    };
    const Case cases[] = {
        {0x000000, 0x000000, 0xFFFFFF},  // the starting settings: black on black shows white
        {0x000000, 0xFFFFFF, 0x000000},  // black on white stays
        {0xFFFFFF, 0xFFFFFF, 0x000000},  // white on white shows black
        {0x00FFFF, 0xFFFFFF, 0x000000},  // yellow on white is too faint
        {0xFF00FF, 0x000000, 0xFF00FF},  // magenta on black stays
        {0x00FFFF, 0x800000, 0x00FFFF},  // yellow on navy stays
        {0x707070, 0x606060, 0xFFFFFF},  // two dark greys: white stands out more
        {0x707070, 0xA0A0A0, 0x000000},  // on a light grey black does
    };
    for (const Case& c : cases) {
        const unsigned drawn = contrasting_label_colour(c.label, c.background);
        EXPECT_EQ(drawn, c.drawn) << std::hex << c.label << " on " << c.background;
        EXPECT_NE(drawn, c.background);
    }
}

}  // namespace
