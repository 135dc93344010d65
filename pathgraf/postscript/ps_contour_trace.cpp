#include "pathgraf/postscript/ps_contour_trace.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_contour_levels.h"
#include "pathgraf/postscript/ps_lines.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_page.h"
#include "pathgraf/postscript/ps_text.h"

namespace {

struct TracedPoint {
    double x = 0.0, y = 0.0;  // page, library inches
    int ci = 1, cj = 1;       // grid corner of the crossing's edge
    int pen = 2;              // 3 move, 2 draw
};

template <typename T>
struct Grid {
    std::span<const T> z;
    int mx = 0, nx = 0, ny = 0;
    T at(int i, int j) const
    {
        return z[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(mx)];
    }
    bool inside(int i, int j) const { return i >= 1 && i <= nx && j >= 1 && j <= ny; }
};

int direction_after(int dir, int turn)
{
    int d = (dir - 1 + turn) % 8;
    if (d < 0) d += 8;
    return d + 1;
}

void set_step(ContourState& st)
{
    st.idx = DIR_DX[static_cast<std::size_t>(st.dir - 1)];
    st.idy = DIR_DY[static_cast<std::size_t>(st.dir - 1)];
}

// Marks an interior start edge as used; false when the key store is full.
bool add_visited(ContourState& st, int i, int j, int nx)
{
    if (st.visited_count + 1 > st.visited_limit) return false;
    st.visited.push_back(i * 65536 + j);
    st.visited_count += 1;
    const std::size_t at = static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(nx);
    if (at < st.visited_mark.size()) st.visited_mark[at] = 1;
    return true;
}

// Follows one line from the start state into points.  False when the line
// needs more points than capacity.
template <typename T>
bool walk_line(const Grid<T>& g, T level, bool double_path, int capacity, std::vector<TracedPoint>& points)
{
    ContourState& st = contour_state();
    points.clear();
    const int ix0 = st.ix, iy0 = st.iy, dir0 = st.dir;
    const T missing_value = static_cast<T>(st.missing_value);
    auto missing = [&](int i, int j) { return st.missing_flag != 0 && g.at(i, j) == missing_value; };
    const double tolerance = double_path ? static_cast<double>(1.0e-14f) : 1e-6;

    auto crossing = [&]() {
        const int nbx = st.ix + st.idx, nby = st.iy + st.idy;
        const T here = g.at(st.ix, st.iy);
        const T fraction = (here - level) / (here - g.at(nbx, nby));
        T gx = static_cast<T>(st.ix), gy = static_cast<T>(st.iy);
        if (st.idx != 0) gx = static_cast<T>(st.ix) + static_cast<T>(st.idx) * fraction;
        else gy = static_cast<T>(st.iy) + static_cast<T>(st.idy) * fraction;
        TracedPoint p;
        if (double_path) {
            p.x = (static_cast<double>(gx) - st.x_origin8) / st.x_per_unit8;
            p.y = (static_cast<double>(gy) - st.y_origin8) / st.y_per_unit8;
        } else {
            p.x = static_cast<float>((static_cast<float>(gx) - st.x_origin) / st.x_per_unit);
            p.y = static_cast<float>((static_cast<float>(gy) - st.y_origin) / st.y_per_unit);
        }
        p.ci = std::min(st.ix, nbx);
        p.cj = std::min(st.iy, nby);
        return p;
    };
    auto store = [&](TracedPoint p, int pen, bool dedupe) {
        if (dedupe && !points.empty()) {
            const TracedPoint& last = points.back();
            if (std::fabs(p.x - last.x) <= tolerance && std::fabs(p.y - last.y) <= tolerance) return true;
        }
        if (static_cast<int>(points.size()) >= capacity) return false;
        p.pen = pen;
        points.push_back(p);
        return true;
    };

    TracedPoint previous = crossing();
    bool pending = st.missing_flag != 0 && (missing(st.ix, st.iy) || missing(st.ix + st.idx, st.iy + st.idy));
    if (!pending && !store(previous, 3, false)) return false;

    // A guard against a walk that never comes back (it cannot, on a sound grid).
    const long long max_steps = 16LL * g.nx * g.ny + 64;
    for (long long step = 0; step < max_steps; ++step) {
        st.dir = direction_after(st.dir, 1);
        set_step(st);
        const int nbx = st.ix + st.idx, nby = st.iy + st.idy;
        if (!g.inside(nbx, nby)) break;
        if (g.at(nbx, nby) >= level) {
            st.ix = nbx;
            st.iy = nby;
            st.dir = direction_after(st.dir, 4);
            continue;
        }
        if (st.dir % 2 == 0) continue;
        const TracedPoint point = crossing();
        bool drawable = true;
        if (st.missing_flag != 0) {
            const int d1 = direction_after(st.dir, -1), d2 = direction_after(st.dir, -2);
            const int ax = st.ix + DIR_DX[static_cast<std::size_t>(d1 - 1)], ay = st.iy + DIR_DY[static_cast<std::size_t>(d1 - 1)];
            const int bx = st.ix + DIR_DX[static_cast<std::size_t>(d2 - 1)], by = st.iy + DIR_DY[static_cast<std::size_t>(d2 - 1)];
            if (!g.inside(ax, ay) || !g.inside(bx, by)) break;
            drawable = !missing(st.ix, st.iy) && !missing(nbx, nby) && !missing(ax, ay) && !missing(bx, by);
        }
        if (drawable) {
            if (pending) {
                if (!store(previous, 3, false) || !store(point, 2, false)) return false;
                pending = false;
            } else if (!store(point, 2, true)) {
                return false;
            }
        } else {
            pending = true;
        }
        previous = point;
        if (st.dir == 1 && !add_visited(st, st.ix, st.iy, g.nx)) break;
        if (st.interior != 0 && st.dir == dir0 && st.ix == ix0 && st.iy == iy0) break;
    }
    return true;
}

// The pen-down runs of a line: [first, last] index pairs.
std::vector<std::pair<int, int>> pen_down_runs(const std::vector<TracedPoint>& points)
{
    std::vector<std::pair<int, int>> runs;
    const int n = static_cast<int>(points.size());
    for (int k = 0; k < n; ++k) {
        if (k == 0 || points[static_cast<std::size_t>(k)].pen == 3) runs.emplace_back(k, k);
        else runs.back().second = k;
    }
    return runs;
}

void keep_runs(const std::vector<TracedPoint>& points, float level)
{
    ContourState& st = contour_state();
    st.runs.clear();
    for (const auto& [first, last] : pen_down_runs(points)) {
        if (static_cast<int>(st.runs.size()) >= CONTOUR_RUN_CAPACITY) break;
        ContourRun run;
        run.level = level;
        for (int k = first; k <= last && k - first < CONTOUR_RUN_POINT_CAPACITY; ++k) {
            run.x.push_back(static_cast<float>(points[static_cast<std::size_t>(k)].x));
            run.y.push_back(static_cast<float>(points[static_cast<std::size_t>(k)].y));
        }
        st.runs.push_back(std::move(run));
    }
}

void draw_run(const std::vector<TracedPoint>& points, int first, int last, bool dashed)
{
    std::vector<float> x, y;
    for (int k = first; k <= last; ++k) {
        x.push_back(static_cast<float>(points[static_cast<std::size_t>(k)].x));
        y.push_back(static_cast<float>(points[static_cast<std::size_t>(k)].y));
    }
    const int n = static_cast<int>(x.size());
    if (dashed) draw_ps_dashed_polyline(x, y, n, contour_state().dash_count, 0.0f);
    else draw_ps_polyline(x, y, n, 0.0f, false);
}

// The dashed pieces of drlindsh.
struct DashedPieces {
    std::vector<float> x, y;
    void start(double px, double py)
    {
        x.assign(1, static_cast<float>(px));
        y.assign(1, static_cast<float>(py));
    }
    void add(double px, double py)
    {
        x.push_back(static_cast<float>(px));
        y.push_back(static_cast<float>(py));
    }
    void draw() const
    {
        draw_ps_dashed_polyline(x, y, static_cast<int>(x.size()), contour_state().dash_count, 0.0f);
    }
};

bool draw_labelled_line(const Grid<float>& g, const std::vector<TracedPoint>& points, float level, float scale,
                        bool dashed)
{
    ContourState& st = contour_state();
    const ContourOptions& options = contour_options();
    ContourDefaults& defaults = contour_defaults();
    int k = 0;
    for (int i = 0; i < st.level_count && i < CONTOUR_LEVEL_CAPACITY; ++i)
        if (std::fabs(level - st.level_list[static_cast<std::size_t>(i)]) < 1e-6f) {
            k = i + 1;
            break;
        }
    if (k == 0) {
        ps_record_failure(dashed ? " cannot find current contour level, program abandoned"
                                 : " Cannot find current contour level, program abandoned.");
        return false;
    }
    const float v = level * scale;
    const int d = options.use_options != 0 ? options.label_decimals : 1;
    int c = v == 0.0f ? d + 2
                      : d + static_cast<int>(std::max(1.0f, std::log10(std::fabs(v)) + 1.0f)) + 1;
    if (v < 0.0f) ++c;
    if (options.label_height != 0.0f) defaults.label_height = options.label_height;
    const float label_height = defaults.label_height;
    const double L = static_cast<double>(static_cast<float>(c) * label_height * ps_graphics_state().height_factor + 0.13f);
    const double h = label_height * 0.5;

    const int n = static_cast<int>(points.size());
    auto P = [&](int p) -> const TracedPoint& { return points[static_cast<std::size_t>(p - 1)]; };
    std::vector<double> s(static_cast<std::size_t>(n + 1), 0.0);
    std::vector<int> e(static_cast<std::size_t>(n + 1), n);
    for (int p = 2; p <= n; ++p) s[static_cast<std::size_t>(p)] = s[static_cast<std::size_t>(p - 1)] + std::hypot(P(p).x - P(p - 1).x, P(p).y - P(p - 1).y);
    for (int p = n; p >= 1; --p) e[static_cast<std::size_t>(p)] = (p == n || P(p + 1).pen == 3) ? p : e[static_cast<std::size_t>(p + 1)];
    auto arc = [&](int p) { return s[static_cast<std::size_t>(p)]; };
    auto run_end = [&](int p) { return arc(e[static_cast<std::size_t>(p)]); };

    double distance = 3.5 - 0.1 * run_end(1);
    DashedPieces piece;
    ps_line("S");
    if (dashed) {
        plot_ps_pen(static_cast<float>(P(1).x), static_cast<float>(P(1).y), P(1).pen);
        piece.start(P(1).x, P(1).y);
    } else if (P(1).pen == 3) {
        draw_ps_move_to(static_cast<float>(P(1).x), static_cast<float>(P(1).y));
    } else {
        draw_ps_line_to(static_cast<float>(P(1).x), static_cast<float>(P(1).y));
    }

    int p = 1;
    while (true) {
        bool placed = false;
        if (d > -2 && run_end(p) - arc(p) > L) {
            distance += arc(p) - arc(std::max(1, p - 1));
            bool candidate = distance >= 3.5;
            if (candidate && k > 1) {
                const int i = std::min(P(p).ci, g.nx - 1), j = std::min(P(p).cj, g.ny - 1);
                const float gx = (g.at(i + 1, j) - g.at(i, j)) * st.x_per_unit;
                const float gy = (g.at(i, j + 1) - g.at(i, j)) * st.y_per_unit;
                if (std::fabs(gx) >= 1e30f || std::fabs(gy) >= 1e30f) {
                    candidate = false;
                } else {
                    const float grad = std::sqrt(gx * gx + gy * gy);
                    const float gap = std::fabs(st.level_list[static_cast<std::size_t>(k - 1)]
                                                - st.level_list[static_cast<std::size_t>(k - 2)]);
                    candidate = grad == 0.0f || gap / grad >= 0.5f * label_height;
                }
            }
            int m = 0;
            if (candidate) {
                for (int q = p + 1; q <= e[static_cast<std::size_t>(p)]; ++q)
                    if (std::hypot(P(q).x - P(p).x, P(q).y - P(p).y) >= L) {
                        m = q;
                        break;
                    }
                if (m != 0) {
                    const double chord = std::hypot(P(m).x - P(p).x, P(m).y - P(p).y);
                    const double along = arc(m) - arc(p);
                    if (along <= 0.0 || chord / along < 0.8) m = 0;
                }
            }
            if (m != 0) {
                double qx = P(m).x, qy = P(m).y;
                for (double f : {0.2, 0.4, 0.6, 0.8, 1.0}) {
                    const double tx = P(m - 1).x + f * (P(m).x - P(m - 1).x);
                    const double ty = P(m - 1).y + f * (P(m).y - P(m - 1).y);
                    if (std::hypot(tx - P(p).x, ty - P(p).y) > L) {
                        qx = tx;
                        qy = ty;
                        break;
                    }
                }
                const double dx = qx - P(p).x, dy = qy - P(p).y;
                const double r = std::hypot(dx, dy);
                const double ex = P(p).x + L * dx / r, ey = P(p).y + L * dy / r;
                double angle = dx == 0.0 ? (dy < 0.0 ? 270.0 : 90.0) : std::atan(dy / dx) * 180.0 / 3.1415927;
                double ox = 0.0, oy = 0.0;
                if (dx < 0.0) {
                    ox = ex - (dx + dy) * h / r;
                    oy = ey - (dy - dx) * h / r;
                } else {
                    ox = P(p).x + (dx + dy) * h / r;
                    oy = P(p).y + (dy - dx) * h / r;
                }
                std::string text;
                int count = 0;
                if (!numsym(v, d, text, count, false)) return false;
                draw_ps_text(static_cast<float>(ox), static_cast<float>(oy), label_height, text,
                             static_cast<float>(angle), count, 0);
                if (dashed) {
                    piece.draw();
                    piece.start(ex, ey);
                    piece.add(P(m).x, P(m).y);
                } else {
                    draw_ps_move_to(static_cast<float>(ex), static_cast<float>(ey));
                    draw_ps_line_to(static_cast<float>(P(m).x), static_cast<float>(P(m).y));
                }
                distance = 0.0;
                p = m;
                placed = true;
            }
        }
        if (placed) continue;
        if (p + 1 > n) break;
        const TracedPoint& next = P(p + 1);
        if (dashed) {
            if (next.pen == 3) {
                piece.draw();
                piece.start(next.x, next.y);
            } else {
                piece.add(next.x, next.y);
            }
        } else if (next.pen == 3) {
            ps_line("S");
            draw_ps_move_to(static_cast<float>(next.x), static_cast<float>(next.y));
        } else {
            draw_ps_line_to(static_cast<float>(next.x), static_cast<float>(next.y));
        }
        ++p;
    }
    if (dashed && piece.x.size() > 1) piece.draw();
    return true;
}

bool follow_single(std::span<const float> z, int mx, int nx, int ny, int labelled, float scale, bool dashed)
{
    ContourState& st = contour_state();
    const Grid<float> g{z, mx, nx, ny};
    std::vector<TracedPoint> points;
    if (!walk_line(g, st.level, false, CONTOUR_LINE_POINT_CAPACITY, points)) {
        ps_record_failure(dashed ? " nsav too big in drlindsh, program abandoned"
                                 : " nsav too big in drlin2, program abandoned");
        return false;
    }
    if (points.empty()) return true;
    const bool quiet = contour_options().label_mode == CONTOUR_QUIET;
    if (labelled == 1 && !quiet) return draw_labelled_line(g, points, st.level, scale, dashed);
    if (!dashed) keep_runs(points, st.level);
    if (quiet) return true;
    const auto runs = pen_down_runs(points);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const bool last = r + 1 == runs.size();
        if (last && runs[r].second == runs[r].first) break;
        draw_run(points, runs[r].first, runs[r].second, dashed);
    }
    return true;
}

// The start search of both drivers; follow() traces one line.
template <typename T, typename Follow>
bool search_starts(const Grid<T>& g, T level, Follow follow)
{
    ContourState& st = contour_state();
    st.visited.clear();
    st.visited_mark.assign(static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(g.ny), 0);
    st.visited_count = 0;
    st.interior = 0;
    st.visited_limit = CONTOUR_VISITED_CAPACITY;
    auto start = [&](int i, int j, int dir) {
        st.ix = i;
        st.iy = j;
        st.dir = dir;
        set_step(st);
        return follow();
    };
    for (int i = 2; i <= g.nx; ++i) {
        if (g.at(i - 1, 1) < level && level <= g.at(i, 1) && !start(i, 1, 1)) return false;
        if (g.at(i, g.ny) < level && level <= g.at(i - 1, g.ny) && !start(i - 1, g.ny, 5)) return false;
    }
    for (int j = 2; j <= g.ny; ++j) {
        if (g.at(g.nx, j - 1) < level && level <= g.at(g.nx, j) && !start(g.nx, j, 7)) return false;
        if (g.at(1, j) < level && level <= g.at(1, j - 1) && !start(1, j - 1, 3)) return false;
    }
    st.interior = 1;
    for (int j = 2; j <= g.ny - 1; ++j)
        for (int i = 2; i <= g.nx; ++i) {
            if (!(g.at(i - 1, j) < level && level <= g.at(i, j))) continue;
            const std::size_t at = static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(g.nx);
            if (st.visited_mark[at] != 0) continue;
            if (!add_visited(st, i, j, g.nx)) return true;  // the rest of the level is skipped
            if (!start(i, j, 1)) return false;
        }
    return true;
}

}  // namespace

bool drlin2(std::span<const float> z, int mx, int nx, int ny, int labelled, float scale)
{
    return follow_single(z, mx, nx, ny, labelled, scale, false);
}

bool drlindsh(std::span<const float> z, int mx, int nx, int ny, int labelled, float scale)
{
    return follow_single(z, mx, nx, ny, labelled, scale, true);
}

bool trace_contour_lines_double(std::span<const double> z, int mx, int nx, int ny, int labelled, float scale)
{
    ContourState& st = contour_state();
    const Grid<double> g{z, mx, nx, ny};
    std::vector<TracedPoint> points;
    if (!walk_line(g, st.level8, true, CONTOUR_LINE_POINT_CAPACITY_DOUBLE, points)) {
        ps_record_failure(" nsav too big in drlin2, program abandoned");
        return false;
    }
    if (points.empty() || (labelled == 1 && contour_options().label_mode != CONTOUR_QUIET)) return true;
    if (st.polygon_append == 0) {
        st.polygon_count = 0;
        st.polygon_runs.clear();
    }
    for (const auto& [first, last] : pen_down_runs(points)) {
        if (st.polygon_count >= CONTOUR_POLYGON_RUN_CAPACITY) {
            ps_record_failure(" too many contour runs for the polygon store, program abandoned");
            return false;
        }
        ContourPolygonRun run;
        run.level = st.level;
        for (int k = first; k <= last; ++k) {
            run.x.push_back(points[static_cast<std::size_t>(k)].x);
            run.y.push_back(points[static_cast<std::size_t>(k)].y);
        }
        st.polygon_runs.resize(static_cast<std::size_t>(st.polygon_count));
        st.polygon_runs.push_back(std::move(run));
        st.polygon_count += 1;
    }
    return true;
}

bool trace_contour_grid_single(std::span<const float> z, int mx, int nx, int ny, float level, int labelled,
                               float scale)
{
    if (!contour_grid_is_valid(z.size(), mx, nx, ny)) return true;  // nothing to trace
    ContourState& st = contour_state();
    st.level = level;
    const Grid<float> g{z, mx, nx, ny};
    const bool dashed = st.dash_count != 0;
    return search_starts(g, level, [&] { return follow_single(z, mx, nx, ny, labelled, scale, dashed); });
}

bool trace_contour_grid_double(std::span<const double> z, int mx, int nx, int ny, float level, int labelled,
                               float scale)
{
    if (!contour_grid_is_valid(z.size(), mx, nx, ny)) return true;
    ContourState& st = contour_state();
    st.level = level;
    st.level8 = static_cast<double>(level);
    const Grid<double> g{z, mx, nx, ny};
    return search_starts(g, st.level8, [&] { return trace_contour_lines_double(z, mx, nx, ny, labelled, scale); });
}
