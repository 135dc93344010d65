#include "keldana/properties/line_profile.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/property_names.h"
#include "keldana/model/report_output.h"
#include "keldana/properties/map_grid.h"
#include "keldana/topology/basin_integration_workers.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double VALUE_LIMIT = 1.0e9;
constexpr int AHEAD_POINTS = 256;  // evaluated together on the workers: a few ms
constexpr int AHEAD_PIECE = 32;    // a worker's points, in one pass over the atoms near them
constexpr double FIRST_POINT_OFFSET = 0.0001;  // of a step, beyond the first point
const char* const TABLE_HEAD = "     Distance           x         y         z                  Property";

std::string left_adjusted(std::string text)
{
    const size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

// Evaluates the points from run.next on (stepped as the run steps them, so
// the values are those one point at a time gives) on worker threads.
void evaluate_ahead(LineProfileRun& run, int code)
{
    const int n = std::min(AHEAD_POINTS, run.count - run.next + 1);
    std::vector<Vector3> points(static_cast<size_t>(n));
    Vector3 p = run.point;
    for (Vector3& q : points) {
        q = p;
        for (int k = 0; k < 3; ++k)
            p[k] += run.increment[k];
    }
    run.ahead.assign(static_cast<size_t>(n), 0.0);
    run.ahead_first = run.next;
    PreparedModelHold hold;
    const int pieces = (n + AHEAD_PIECE - 1) / AHEAD_PIECE;
    run_rows(
        pieces, worker_thread_count(),
        [&](int k, RowControl&) {
            const int first = k * AHEAD_PIECE;
            evaluate_map_property_at_points(points.data() + first, static_cast<size_t>(std::min(AHEAD_PIECE, n - first)),
                                            code, run.ahead.data() + first);
        },
        [](int) { return true; });
}

}  // namespace

LineProfile& line_profile()
{
    static LineProfile profile;
    return profile;
}

LineProfileRun start_line_profile(const Vector3& p1, const Vector3& p2, int count, int code)
{
    LineProfile& profile = line_profile();
    profile = LineProfile{};
    LineProfileRun run;
    run.count = std::clamp(count, 1, MAX_PROFILE_POINTS);
    if (run.count > 1) {
        const Vector3 d{p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
        profile.profile_length = vector_length(d);
        profile.profile_step = profile.profile_length / (run.count - 1);
        for (int k = 0; k < 3; ++k)
            run.increment[k] = d[k] / (run.count - 1);
    }
    for (int k = 0; k < 3; ++k)
        run.point[k] = p1[k] + FIRST_POINT_OFFSET * run.increment[k];

    const std::string property_line =
        format_line("(' Property = ',A9,' along a line, in ',I3,' steps')", {property_label(code), run.count});
    for (const std::string& line : {property_line, std::string(), std::string(TABLE_HEAD), std::string()})
        write_listing_line(line);
    text_pane_state().scroll_to_end = true;
    for (const std::string& line : {std::string(), std::string("          ===== PROPERTY ALONG A LINE ====="),
                                    std::string(), property_line, std::string(), std::string(),
                                    std::string(TABLE_HEAD)})
        append_pane_line(line);
    ui().text_pane_changed();
    return run;
}

bool compute_next_line_profile_point(LineProfileRun& run, int code)
{
    if (run.next < 1 || run.next > run.count)
        return false;
    LineProfile& profile = line_profile();
    double value;
    if (is_reentrant_property(code) && run.count > 1) {
        if (run.next < run.ahead_first || run.next >= run.ahead_first + static_cast<int>(run.ahead.size()))
            evaluate_ahead(run, code);
        value = run.ahead[static_cast<size_t>(run.next - run.ahead_first)];
    } else {
        value = evaluate_map_property(run.point[0], run.point[1], run.point[2], code);
    }
    profile.profile_value[run.next] = value;
    profile.profile_min = std::max(-VALUE_LIMIT, std::min(profile.profile_min, value));
    profile.profile_max = std::min(VALUE_LIMIT, std::max(profile.profile_max, value));
    const std::string line = format_line("(3X,F10.4,4X,3F10.4,4X,F20.4)",
                                         {run.distance, run.point[0], run.point[1], run.point[2], value});
    report_line(line, line);
    for (int k = 0; k < 3; ++k)
        run.point[k] += run.increment[k];
    run.distance += vector_length(run.increment);
    ++run.next;
    return true;
}

bool apply_line_profile_ranges(int first, int last, double y_min, double y_max)
{
    if (first < 1 || first >= last || last > MAX_PROFILE_POINTS)
        return false;
    LineProfile& profile = line_profile();
    profile.profile_min = y_min;
    profile.profile_max = y_max;
    profile.profile_length = (last - first) * profile.profile_step;
    double data_min = 0, data_max = 0;
    for (int k = first; k <= last; ++k) {
        data_min = std::min(data_min, profile.profile_value[k]);
        data_max = std::max(data_max, profile.profile_value[k]);
    }
    profile.profile_min = std::max(profile.profile_min, data_min);
    profile.profile_max = std::min(profile.profile_max, data_max);
    return true;
}

LineProfilePlot layout_line_profile_plot(int first, int last, int client_width, int client_height)
{
    const LineProfile& profile = line_profile();
    LineProfilePlot plot;
    plot.width = std::max(client_width - 25 - plot.left, 0);
    plot.height = std::max(client_height - 20 - plot.top, 0);
    const double range = profile.profile_max - profile.profile_min;
    first = std::max(first, 1);
    last = std::min(last, MAX_PROFILE_POINTS);
    if (first >= last || !(range > 0) || !(profile.profile_length > 0))
        return plot;
    plot.has_curve = true;
    const int w = plot.width, h = plot.height;
    const int y0 = static_cast<int>(std::lround(profile.profile_max * h / range)) + plot.top;
    if (y0 > 0 && y0 < h)
        plot.zero_row = y0;
    for (int k = first; k <= last; ++k) {
        const long x = plot.left + std::lround(profile.profile_step * (k - first) * w / profile.profile_length);
        // Values beyond the range are drawn off the area, never at overflowing rows.
        const double rise = std::clamp(h * profile.profile_value[k] / range, -1.0e6, 1.0e6);
        const long y = y0 - std::lround(rise);
        plot.points.push_back({static_cast<int>(x), static_cast<int>(y)});
    }
    for (int j = 0; j < 5; ++j) {
        plot.label_x[j] = plot.left + (j * w) / 4;
        plot.labels[j] = left_adjusted(format_line(
            "(F6.3)", {(first - 1) * profile.profile_step + j * profile.profile_length * 0.25}));
    }
    return plot;
}
