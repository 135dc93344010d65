#include "pathgraf/postscript/ps_contour_levels.h"

#include <algorithm>
#include <cmath>

#include "pathgraf/postscript/ps_text.h"

ContourOptions& contour_options()
{
    static ContourOptions options;
    return options;
}

ContourDefaults& contour_defaults()
{
    static ContourDefaults defaults;
    return defaults;
}

ContourState& contour_state()
{
    static ContourState state;
    return state;
}

void reset_contour_records()
{
    contour_options() = ContourOptions{};
    contour_defaults() = ContourDefaults{};
    contour_state() = ContourState{};
}

bool contour_grid_is_valid(std::size_t size, int mx, int nx, int ny)
{
    if (nx < 1 || ny < 1 || mx < nx || nx >= 32768 || ny >= 65536) return false;
    const long long needed = static_cast<long long>(mx) * (ny - 1) + nx;
    return static_cast<long long>(size) >= needed;
}

namespace {

float grid_value(std::span<const float> z, int mx, int i, int j)
{
    return z[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(mx)];
}

}  // namespace

void choose_contour_levels(std::span<const float> z, int mx, int nx, int ny, float& lo, float& hi, float& step,
                           int nwant, int nmax, std::span<float> levels, int& count, int& constant)
{
    const ContourState& state = contour_state();
    constant = 0;
    count = 0;
    nmax = std::min(nmax, static_cast<int>(levels.size()));
    bool from_grid = false;
    if (hi < lo) std::swap(lo, hi);
    if (hi == lo) {
        if (lo != 0.0f) {
            if (!levels.empty()) {
                levels[0] = lo;
                count = 1;
            }
            return;
        }
        from_grid = true;
        lo = 1e32f;
        hi = -1e32f;
        if (contour_grid_is_valid(z.size(), mx, nx, ny)) {
            for (int j = 1; j <= ny; ++j)
                for (int i = 1; i <= nx; ++i) {
                    const float v = grid_value(z, mx, i, j);
                    if (state.missing_flag != 0 && v == state.missing_value) continue;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
        }
    }
    if (step <= 0.0f) {
        const float intervals = step < 0.0f ? std::max(1.0f, -step) : static_cast<float>(nwant);
        const float s = (hi - lo) / intervals;
        if (!(s > 0.0f) || !std::isfinite(s)) {
            constant = 1;
            count = 1;
            return;
        }
        const int k = static_cast<int>(std::log10(s) + 500.0f) - 500;
        const float p = std::pow(10.0f, static_cast<float>(k));
        step = std::trunc(s / p) * p;
    }
    if (from_grid) {
        lo = std::trunc(lo / step) * step;
        hi = std::trunc(hi / step) * step * (hi < 0.0f ? 1.0f - 1e-6f : 1.0f + 1e-6f);
    }
    for (int i = 0; i < nmax; ++i) {
        const float v = lo + static_cast<float>(i) * step;
        if (v > hi) break;
        levels[static_cast<std::size_t>(i)] = v;
        count = i + 1;
    }
    if (count > 0) {
        lo = levels[0];
        hi = levels[static_cast<std::size_t>(count - 1)];
    }
}

void order_contour_levels(std::span<float> levels, int n, std::span<float> work, int& nlabelled, int m)
{
    n = std::min({n, static_cast<int>(levels.size()), static_cast<int>(work.size())});
    nlabelled = n;
    if (n <= 4 || m <= 1) return;
    const int k = n <= 10 ? 2 : m;
    auto level = [&](int i) { return levels[static_cast<std::size_t>(i - 1)]; };

    int anchor = 0;
    for (int i = 1; i <= n && anchor == 0; ++i)
        if (level(i) == 0.0f) anchor = i;
    const int mid = n / 2;
    if (anchor == 0) {
        float p = std::pow(10.0f, std::trunc(std::log10(std::fabs(level(mid))) + 1.0f));
        for (int pass = 0; pass < 3 && anchor == 0; ++pass) {
            p /= 10.0f;
            for (int i = 1; i <= n; ++i) {
                const float v = std::fabs(level(i) * 1e-9f + level(i)) / p;
                if (std::fmod(v, static_cast<float>(k)) <= 1e-4f) {
                    anchor = i;
                    break;
                }
            }
        }
        if (anchor == 0) anchor = mid;
    }
    int r = anchor % k;
    if (r == 0) r = k;

    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(n));
    for (int i = r; i <= n; i += k) order.push_back(i);
    nlabelled = static_cast<int>(order.size());
    for (int i = 1; i < r; ++i) order.push_back(i);
    for (int li = 0; li < nlabelled; ++li) {
        const int labelled = order[static_cast<std::size_t>(li)];
        const bool last = li == nlabelled - 1;
        const int until = last ? n : labelled + k - 1;
        for (int i = labelled + 1; i <= until && i <= n; ++i) order.push_back(i);
    }
    for (int i = 0; i < n; ++i) work[static_cast<std::size_t>(i)] = level(order[static_cast<std::size_t>(i)]);
    for (int i = 0; i < n; ++i) levels[static_cast<std::size_t>(i)] = work[static_cast<std::size_t>(i)];
}

void label_ps_grid_extrema(std::span<const float> z, int mx, int nx, int ny, float p5, float p6, int p7, float scale)
{
    if (!contour_grid_is_valid(z.size(), mx, nx, ny)) return;
    const ContourState& state = contour_state();
    const int wx = std::clamp(nx / 10, 2, 15);
    const int wy = std::clamp(ny / 10, 2, 15);
    auto value = [&](int i, int j) { return grid_value(z, mx, i, j); };
    auto missing = [&](int i, int j) { return state.missing_flag != 0 && value(i, j) == state.missing_value; };

    // Whether every point of the window other than row j's run is beyond v
    // (below for a high, above for a low) and present.
    auto beyond = [&](float w, float v, bool high) { return high ? w < v : w > v; };
    auto stands = [&](int i, int j, float v, int run, bool high) {
        if (run < wx)
            for (int k = std::max(1, i - wx); k <= i - run - 1; ++k)
                if (missing(k, j) || !beyond(value(k, j), v, high)) return false;
        for (int k = i + 2; k <= std::min(i + wx, nx); ++k)
            if (missing(k, j) || !beyond(value(k, j), v, high)) return false;
        for (int jj = std::max(1, j - wy); jj <= std::min(j + wy, ny); ++jj) {
            if (jj == j) continue;
            for (int ii = std::max(1, i - wx); ii <= std::min(i + wx, nx); ++ii)
                if (missing(ii, jj) || !beyond(value(ii, jj), v, high)) return false;
        }
        return true;
    };

    for (int j = 2; j <= ny - 1; ++j) {
        int valid_run = 0;
        int need = 2;
        int rise = 0;
        int fall = 0;
        for (int i = 1; i <= nx - 1; ++i) {
            if (missing(i, j)) {
                valid_run = 0;
                need = wx + 1;
                rise = fall = 0;
                continue;
            }
            ++valid_run;
            const float v = value(i, j);
            if (valid_run >= 2) {
                const float before = value(i - 1, j);
                if (v > before) {
                    ++rise;
                    fall = 0;
                } else if (v < before) {
                    ++fall;
                    rise = 0;
                } else {
                    rise = fall = 0;
                }
            }
            if (valid_run < need || missing(i + 1, j)) continue;
            const float next = value(i + 1, j);
            bool high = false;
            if (next < v && fall == 0) high = true;
            else if (!(next > v && rise == 0)) continue;
            if (!stands(i, j, v, high ? rise : fall, high)) continue;
            const float x = (static_cast<float>(i) - state.x_origin) / state.x_per_unit;
            const float y = (static_cast<float>(j) - state.y_origin) / state.y_per_unit;
            draw_ps_text(x - 0.06f, y - 0.06f, 0.13f, high ? "H" : "L", 0.0f, 1, 0);
            draw_ps_number_fixed_twin(x, y - 0.25f, 0.1f, v * scale, 0.0f, 1, 1);
        }
    }
}

int compute_label_chunk_length(std::span<const float> z, int mx, int nx, int ny, float p5, float p6, int p7,
                               float scale)
{
    if (ny < 1) return 0;
    const int chunks = (ny + 47) / 48;
    return (ny + chunks - 1) / chunks;
}
