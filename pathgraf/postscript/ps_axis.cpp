#include "pathgraf/postscript/ps_axis.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_page.h"
#include "pathgraf/postscript/ps_scripts.h"
#include "pathgraf/postscript/ps_text.h"

void draw_ps_axis(float x, float y, std::string_view title, int nchar, float length, float angle, float first,
                  float step)
{
    const float side = (static_cast<float>(nchar) + 0.1f >= 0.0f) ? 1.0f : -1.0f;
    const int n = static_cast<int>(length + 0.5f);
    const float theta = angle * 3.14159274f / 180.0f;
    const float c = std::cos(theta);
    const float d = std::sin(theta);

    // The comb: axis line with a tick of 0.1 at every inch.
    float ax = x;
    float ay = y;
    float tx = x - 0.1f * side * d;
    float ty = y + 0.1f * side * c;
    plot_ps_pen(tx, ty, 3);
    for (int k = 1; k <= n; ++k) {
        plot_ps_pen(ax, ay, 2);
        plot_ps_pen(ax + c, ay + d, 2);
        plot_ps_pen(tx + c, ty + d, 2);
        ax += c;
        ay += d;
        tx += c;
        ty += d;
    }

    // Values scaled by a power of ten (judged on the step's magnitude, so a
    // negative step is scaled as well).
    int e = 0;
    float end = first + static_cast<float>(n) * step;
    float v = step;
    if (step != 0.0f && std::isfinite(step)) {
        while (std::fabs(v) >= 100.0f) {
            v /= 10.0f;
            end /= 10.0f;
            ++e;
        }
        while (std::fabs(v) < 0.01f) {
            v *= 10.0f;
            end *= 10.0f;
            --e;
        }
    }

    const float offset = side > 0 ? 0.15f : -0.28f;
    float px = x + static_cast<float>(n) * c - offset * d;
    float py = y + static_cast<float>(n) * d + offset * c;
    float value = end;
    for (int i = 1; i <= n + 1; ++i) {
        draw_ps_number_fixed_twin(px, py, 0.13f, value, angle, 2, i == n + 1 ? 0 : 1);
        px -= c;
        py -= d;
        value -= v;
    }

    const float across = side > 0 ? 0.13f + 0.3f : -(0.13f + 0.3f + 0.15f);
    const float half = length / 2.0f;
    draw_ps_text(x + half * c - across * d, y + half * d + across * c, 0.15f, title, angle, std::abs(nchar), 1);
    if (std::abs(static_cast<float>(e)) > 1e-5f) {
        draw_ps_text(PS_CONTINUE, PS_CONTINUE, 0.12f, " (X10", angle, 5, 0);
        const std::string exponent = ps_squeezed_i(e, 10);
        draw_ps_single_superscript(exponent, static_cast<int>(exponent.size()), 0.12f, angle);
        draw_ps_text(PS_CONTINUE, PS_CONTINUE, 0.12f, ")", angle, 1, 0);
    }
}

void draw_ps_frame_ticks(float w, float h, int tick_sides, int line_sides, int nx, int mx, int ny, int my)
{
    struct Side {
        float start_x, start_y;  // start point
        float span_x, span_y;    // the whole side
        int steps, major;
        float dir_x, dir_y;      // tick direction for positive tick_sides
    };
    const Side sides[4] = {
        {0.0f, h, 0.0f, -h, ny * my, my, 1.0f, 0.0f},
        {0.0f, 0.0f, w, 0.0f, nx * mx, mx, 0.0f, 1.0f},
        {w, 0.0f, 0.0f, h, ny * my, my, -1.0f, 0.0f},
        {w, h, -w, 0.0f, nx * mx, mx, 0.0f, -1.0f},
    };
    const int weights[4] = {1000, 100, 10, 1};
    const float outward = tick_sides < 0 ? -1.0f : 1.0f;
    for (int k = 0; k < 4; ++k) {
        const Side& side = sides[k];
        const bool ticks = (std::abs(tick_sides) / weights[k]) % 10 % 2 == 1;
        const bool line = (std::abs(line_sides) / weights[k]) % 10 % 2 == 1;
        if (!ticks && !line) continue;
        if (line) {
            plot_ps_pen(side.start_x, side.start_y, 3);
            plot_ps_pen(side.start_x + side.span_x, side.start_y + side.span_y, 2);
        }
        // No divisions (a count of 0): the side has no ticks.
        if (!ticks || side.steps <= 0 || side.major == 0) continue;
        const float step_x = side.span_x / static_cast<float>(side.steps);
        const float step_y = side.span_y / static_cast<float>(side.steps);
        for (int t = 0; t <= side.steps; ++t) {
            const float px = side.start_x + static_cast<float>(t) * step_x;
            const float py = side.start_y + static_cast<float>(t) * step_y;
            const float tick = (t % side.major == 0 ? 0.1f : 0.05f) * outward;
            plot_ps_pen(px, py, 3);
            plot_ps_pen(px + tick * side.dir_x, py + tick * side.dir_y, 2);
        }
    }
}
