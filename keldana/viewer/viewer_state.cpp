#include "keldana/viewer/viewer_state.h"

#include "keldana/resources/viewer_resources.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

ViewerSceneState& viewer_scene_state()
{
    static ViewerSceneState state;
    return state;
}

ViewerWindowState& viewer_window_state()
{
    static ViewerWindowState state;
    return state;
}

namespace {

float wrap_angle(float degrees)
{
    if (degrees > 360.0f)
        degrees -= 360.0f;
    if (degrees < -360.0f)
        degrees += 360.0f;
    return degrees;
}

// wParam of the button messages compared as a whole: Ctrl with the left
// button and nothing else.
bool control_left_only(const ViewerMouseKeys& keys)
{
    return keys.left && keys.control && !keys.right && !keys.shift;
}

bool both_buttons_only(const ViewerMouseKeys& keys)
{
    return keys.left && keys.right && !keys.control && !keys.shift;
}

struct ViewStep {
    int command;
    int mode;
    int dx, dy, dz;
};

constexpr ViewStep VIEW_STEPS[] = {
    {CMD_VIEWER_ROTATE_X_UP, DRAG_ROTATE, 0, -20, 0},
    {CMD_VIEWER_ROTATE_X_DOWN, DRAG_ROTATE, 0, 20, 0},
    {CMD_VIEWER_ROTATE_Y_RIGHT, DRAG_ROTATE, -20, 0, 0},
    {CMD_VIEWER_ROTATE_Y_LEFT, DRAG_ROTATE, 20, 0, 0},
    {CMD_VIEWER_ROTATE_Z_CLOCKWISE, DRAG_ROTATE, 0, 0, -20},
    {CMD_VIEWER_ROTATE_Z_COUNTER, DRAG_ROTATE, 0, 0, 20},
    {CMD_VIEWER_MOVE_UP, DRAG_TRANSLATE, 0, -30, 0},
    {CMD_VIEWER_MOVE_DOWN, DRAG_TRANSLATE, 0, 30, 0},
    {CMD_VIEWER_MOVE_LEFT, DRAG_TRANSLATE, -30, 0, 0},
    {CMD_VIEWER_MOVE_RIGHT, DRAG_TRANSLATE, 30, 0, 0},
    {CMD_VIEWER_ZOOM_IN, DRAG_ZOOM, 50, -50, 0},
    {CMD_VIEWER_ZOOM_OUT, DRAG_ZOOM, -50, 50, 0},
};

}  // namespace

void apply_viewer_mouse_drag(ViewerSceneState& state, int mode, int old_x, int new_x, int old_y, int new_y,
                             int old_z, int new_z)
{
    const int dx = new_x - old_x;
    const int dy = new_y - old_y;
    const int dz = new_z - old_z;
    switch (mode) {
    case DRAG_TRANSLATE:
        state.shift_x += static_cast<float>(0.01 * dx);
        state.shift_y -= static_cast<float>(0.01 * dy);
        break;
    case DRAG_ROTATE:
        state.rot_x = wrap_angle(state.rot_x + static_cast<float>(0.36 * dy));
        state.rot_y = wrap_angle(state.rot_y + static_cast<float>(0.36 * dx));
        state.rot_z = wrap_angle(state.rot_z + static_cast<float>(0.36 * dz));
        break;
    case DRAG_ZOOM:
        state.zoom += static_cast<float>(0.02 * (dx - dy));
        break;
    default:
        break;
    }
}

void press_viewer_mouse(ViewerSceneState& state, bool left_button, const ViewerMouseKeys& keys, int x, int y)
{
    if (left_button && control_left_only(keys)) {
        state.mouse_z = x;
    } else {
        state.mouse_x = x;
        state.mouse_y = y;
    }
    if (both_buttons_only(keys))
        state.drag_mode = DRAG_ZOOM;
    else
        state.drag_mode = left_button ? DRAG_ROTATE : DRAG_TRANSLATE;
}

void release_viewer_mouse(ViewerSceneState& state) { state.drag_mode = DRAG_NONE; }

bool move_viewer_mouse(ViewerSceneState& state, const ViewerMouseKeys& keys, int x, int y)
{
    if (state.drag_mode == DRAG_NONE)
        return false;
    int new_x = state.mouse_x, new_y = state.mouse_y, new_z = state.mouse_z;
    if (control_left_only(keys)) {
        new_z = x;
    } else {
        new_x = x;
        new_y = y;
    }
    apply_viewer_mouse_drag(state, state.drag_mode, state.mouse_x, new_x, state.mouse_y, new_y, state.mouse_z, new_z);
    state.mouse_x = new_x;
    state.mouse_y = new_y;
    state.mouse_z = new_z;
    return true;
}

bool step_viewer_view(ViewerSceneState& state, int command)
{
    const ViewStep* step = std::find_if(std::begin(VIEW_STEPS), std::end(VIEW_STEPS),
                                        [command](const ViewStep& s) { return s.command == command; });
    if (step == std::end(VIEW_STEPS))
        return false;
    const int old_x = state.mouse_x, old_y = state.mouse_y, old_z = state.mouse_z;
    state.mouse_x += step->dx;
    state.mouse_y += step->dy;
    state.mouse_z += step->dz;
    state.drag_mode = step->mode;
    apply_viewer_mouse_drag(state, step->mode, old_x, state.mouse_x, old_y, state.mouse_y, old_z, state.mouse_z);
    state.drag_mode = DRAG_NONE;
    return true;
}

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

// The scene's turn: about x, then y, then z, as the drawing applies them.
Matrix scene_rotation(const ViewerSceneState& state)
{
    constexpr double DEGREE = 3.14159265358979323846 / 180.0;
    auto about = [](int axis, double degrees) {
        const double c = std::cos(degrees * DEGREE), s = std::sin(degrees * DEGREE);
        Matrix m{};
        const int a = (axis + 1) % 3, b = (axis + 2) % 3;
        m[axis][axis] = 1;
        m[a][a] = c;
        m[a][b] = -s;
        m[b][a] = s;
        m[b][b] = c;
        return m;
    };
    auto times = [](const Matrix& x, const Matrix& y) {
        Matrix m{};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                for (int k = 0; k < 3; ++k)
                    m[r][c] += x[r][k] * y[k][c];
        return m;
    };
    return times(times(about(0, state.rot_x), about(1, state.rot_y)), about(2, state.rot_z));
}

}  // namespace

bool fit_viewer_scene(ViewerSceneState& state, const WorkingAtomSet& atoms, const std::vector<AtomReach>& reach,
                      int width, int height)
{
    constexpr double PI = 3.14159265358979323846;
    constexpr double HALF_FIELD = 25.0 * PI / 180.0;  // of the 50 degree perspective
    constexpr double EYE_DISTANCE = 10.0;             // of the projection
    constexpr double MARGIN = 1.1;
    constexpr double LEAST_DEPTH = 0.5;  // the nearest point keeps this far from the eye
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    std::vector<int> shown;
    for (int i = 1; i <= n; ++i)
        if (atoms.subset_mask[i] != 0)
            shown.push_back(i);
    if (shown.empty())
        return false;
    double low[3], high[3];
    for (int k = 0; k < 3; ++k) {
        low[k] = std::numeric_limits<double>::max();
        high[k] = std::numeric_limits<double>::lowest();
    }
    for (int i : shown) {
        const double p[3] = {atoms.cart_x[i], atoms.cart_y[i], atoms.cart_z[i]};
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], p[k]);
            high[k] = std::max(high[k], p[k]);
        }
    }
    const double c[3] = {0.5 * (low[0] + high[0]), 0.5 * (low[1] + high[1]), 0.5 * (low[2] + high[2])};

    // Each atom in the view, as the rectangle it covers and its nearest depth.
    struct Covered {
        double left, right, bottom, top, near;
    };
    const Matrix turn = scene_rotation(state);
    std::vector<Covered> covered;
    double left = std::numeric_limits<double>::max(), right = std::numeric_limits<double>::lowest();
    double bottom = left, top = right, nearest = right;
    for (int i : shown) {
        const double d[3] = {atoms.cart_x[i] - c[0], atoms.cart_y[i] - c[1], atoms.cart_z[i] - c[2]};
        double q[3] = {0, 0, 0};
        for (int r = 0; r < 3; ++r)
            q[r] = turn[r][0] * d[0] + turn[r][1] * d[1] + turn[r][2] * d[2];
        const AtomReach a = i < static_cast<int>(reach.size()) ? reach[static_cast<size_t>(i)] : AtomReach{};
        const double r = std::max(a.radius, 0.0);
        Covered box{q[0] - r, q[0] + std::max(r, a.label_right), q[1] - r, q[1] + std::max(r, a.label_top), q[2] + r};
        left = std::min(left, box.left);
        right = std::max(right, box.right);
        bottom = std::min(bottom, box.bottom);
        top = std::max(top, box.top);
        nearest = std::max(nearest, box.near);
        covered.push_back(box);
    }
    // Centred across the view, then moved back until every rectangle lies
    // inside the field of each side (the square viewport spans the larger
    // side, so the smaller one sees less).
    const double shift_x = -0.5 * (left + right), shift_y = -0.5 * (bottom + top);
    const int larger = std::max({width, height, 1});
    const double across = std::tan(HALF_FIELD) * std::clamp(width, 1, larger) / larger / MARGIN;
    const double up = std::tan(HALF_FIELD) * std::clamp(height, 1, larger) / larger / MARGIN;
    double distance = nearest + LEAST_DEPTH;
    for (const Covered& box : covered) {
        const double x = std::max(std::abs(box.left + shift_x), std::abs(box.right + shift_x));
        const double y = std::max(std::abs(box.bottom + shift_y), std::abs(box.top + shift_y));
        distance = std::max({distance, box.near + x / across, box.near + y / up});
    }
    state.centre_x = static_cast<float>(c[0]);
    state.centre_y = static_cast<float>(c[1]);
    state.centre_z = static_cast<float>(c[2]);
    state.shift_x = static_cast<float>(shift_x);
    state.shift_y = static_cast<float>(shift_y);
    state.zoom = static_cast<float>(EYE_DISTANCE - distance);
    return true;
}

ViewerViewport compute_viewer_viewport(int width, int height)
{
    ViewerViewport viewport;
    viewport.side = std::max(width, height);
    viewport.x0 = height > width ? -(height - width) / 2 : 0;
    viewport.y0 = width > height ? -(width - height) / 2 : 0;
    return viewport;
}

int count_decimal_digits(int n)
{
    if (n <= 9)
        return 1;
    if (n <= 99)
        return 2;
    if (n <= 999)
        return 3;
    if (n <= 9999)
        return 4;
    return 5;
}

void convert_colour_to_rgb(unsigned colour, float& first, float& second, float& third)
{
    first = static_cast<float>((colour >> 16) & 0xFF) / 255.0f;
    second = static_cast<float>((colour >> 8) & 0xFF) / 255.0f;
    third = static_cast<float>(colour & 0xFF) / 255.0f;
}
