#include "pathgraf/postscript/ps_contour_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/fortran_format.h"
#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_contour_levels.h"
#include "pathgraf/postscript/ps_contour_trace.h"
#include "pathgraf/postscript/ps_lines.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_text.h"

namespace {

float grid_at(std::span<const float> z, int mx, int i, int j)
{
    return z[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(mx)];
}

bool refuse_grid(std::size_t size, int mx, int nx, int ny, const char* routine)
{
    if (contour_grid_is_valid(size, mx, nx, ny) && nx >= 2 && ny >= 2) return false;
    ps_record_failure(std::string(" ") + routine + ": the grid must hold at least 2 by 2 points");
    return true;
}

// The power of ten that brings the largest level magnitude between 10 and 100.
int level_exponent(float first, float last)
{
    const float b = std::max(std::fabs(first), std::fabs(last));
    if (b == 0.0f || !std::isfinite(b)) return 0;
    return static_cast<int>(std::log10(b) - 500.0f) + 498;
}

// A console line whose format begins with the carriage-control '0': one
// blank line before it.
void console_after_blank_line(const std::string& text)
{
    ps_console_line("");
    ps_console_line(text);
}

void draw_legend_text(float x, float y, const std::string& text)
{
    draw_ps_text(x, y, 0.11f, text, 0.0f, static_cast<int>(text.size()), 0);
}

bool draw_legend_number(float x, float y, float value)
{
    std::string text;
    int count = 0;
    if (!numsym(value, 2, text, count, true)) return false;
    draw_ps_text(x, y, 0.11f, text, 0.0f, count, 2);
    return true;
}

}  // namespace

bool plot_contours(std::span<const float> z, int mx, int nx, int ny, float xlen, float ylen,
                   std::span<const float> levels, int nlevels)
{
    if (refuse_grid(z.size(), mx, nx, ny, "plot_contours")) return false;
    ContourState& st = contour_state();
    const ContourOptions& options = contour_options();
    ContourDefaults& defaults = contour_defaults();
    if (nlevels > CONTOUR_LEVEL_CAPACITY || nlevels > static_cast<int>(levels.size()) || nlevels < 0) {
        ps_record_failure(" plot_contours: at most 100 contour levels can be given");
        return false;
    }
    st.runs.clear();
    const std::int32_t saved_missing_flag = st.missing_flag;
    const float saved_missing_value = st.missing_value;
    auto restore_missing = [&] {
        st.missing_flag = saved_missing_flag;
        st.missing_value = saved_missing_value;
    };
    if (options.use_options != 0) {
        defaults.legend_on = options.legend_on;
        defaults.label_levels = options.label_mode;
        defaults.extrema_mode = options.extrema_mode;
        const int interval = std::abs(options.label_interval);
        defaults.label_interval = interval == 999 ? 0 : interval;
        defaults.fixed_scale = options.fixed_scale;
        defaults.dash_count = options.dash_count;
        st.missing_flag = options.missing_flag;
        st.missing_value = options.missing_value;
    }
    st.dash_count = defaults.dash_count;
    const bool quiet = options.label_mode == CONTOUR_QUIET;

    st.x_origin = 1.0f;
    st.y_origin = 1.0f;
    st.x_per_unit = static_cast<float>(nx - 1) / std::fabs(xlen);
    st.y_per_unit = static_cast<float>(ny - 1) / std::fabs(ylen);

    std::array<float, CONTOUR_LEVEL_CAPACITY> list{};
    std::array<float, CONTOUR_LEVEL_CAPACITY> work{};
    int count = 0;
    int constant = 0;
    float lo = 0.0f;
    if (nlevels == 0) {
        float hi = 0.0f;
        float step = 0.0f;
        choose_contour_levels(z, mx, nx, ny, lo, hi, step, defaults.levels_wanted,
                              std::min<int>(defaults.levels_max, CONTOUR_LEVEL_CAPACITY), list, count, constant);
    } else {
        std::copy(levels.begin(), levels.begin() + nlevels, list.begin());
        count = nlevels;
        lo = list[0];
    }
    st.level_list = list;
    st.level_count = count;

    if (!quiet) {
        console_after_blank_line("FUNCTION CONTOURED FOR FOLLOWING VALUES");
        std::vector<FortranValue> values(list.begin(), list.begin() + count);
        for (const std::string& line : format_records("(1X,10E12.5)", values)) ps_console_line(line);
    }

    const int e = defaults.fixed_scale == 0 && count > 0 ? level_exponent(list[0], list[static_cast<std::size_t>(count - 1)]) : 0;
    const float scale = std::pow(10.0f, static_cast<float>(-e));
    const float cmin = count > 0 ? list[0] * scale : 0.0f;
    const float cmax = count > 0 ? list[static_cast<std::size_t>(count - 1)] * scale : 0.0f;
    const float step = count > 1 ? (list[1] - list[0]) * scale : 0.0f;

    float zmin = 1e20f;
    float zmax = -1e20f;
    for (int j = 1; j <= ny; ++j)
        for (int i = 1; i <= nx; ++i) {
            const float v = grid_at(z, mx, i, j);
            if (st.missing_flag != 0 && v == st.missing_value) continue;
            zmin = std::min(zmin, v);
            zmax = std::max(zmax, v);
        }
    if (!quiet) console_after_blank_line("MIN AND MAX CONTOURED ARRAY VALUES ARE " + format_line("(2E15.5)", {zmin, zmax}));

    const bool legend = !quiet && defaults.legend_on != 0;
    if (constant != 0) {
        if (legend) {
            draw_legend_text(0.0f, -0.254f, "CONSTANT FIELD DETEC");
            draw_legend_text(0.0f, -0.45f, "CONSTANT VALUE= ");
            std::string text;
            int n = 0;
            numsym(lo, 4, text, n, true);
            draw_ps_text(PS_CONTINUE, PS_CONTINUE, 0.11f, text, 0.0f, n, 0);
        }
        if (!quiet) console_after_blank_line("CONSTANT FIELD DETECTED, VALUE=" + format_line("(E15.7)", {lo}));
        restore_missing();
        return true;
    }
    if (legend) {
        draw_legend_text(0.0f, -0.254f, "CMIN: ");
        draw_legend_number(1.5f, -0.254f, cmin);
        draw_legend_text(0.0f, -0.45f, "CMAX: ");
        draw_legend_number(1.5f, -0.45f, cmax);
        draw_legend_text(1.7f, -0.254f, "STEP :");
        draw_legend_number(3.3f, -0.254f, step);
        if (e != 0) {
            draw_legend_text(1.7f, -0.45f, "SCALE:");
            const std::string power = "10**" + ps_squeezed_i(e, 10);
            draw_ps_text(3.3f, -0.45f, 0.11f, power, 0.0f, static_cast<int>(power.size()), 2);
        }
        draw_legend_text(3.5f, -0.254f, "ZMIN: ");
        draw_legend_number(5.0f, -0.254f, zmin);
        draw_legend_text(3.5f, -0.45f, "ZMAX: ");
        draw_legend_number(5.0f, -0.45f, zmax);
    }

    int nlabelled = 0;
    if (!quiet && defaults.label_levels != 0) order_contour_levels(list, count, work, nlabelled, defaults.label_interval + 1);

    bool ok = true;
    for (int i = 1; i <= count && ok; ++i) {
        ps_line("S");
        ok = trace_contour_grid_single(z, mx, nx, ny, list[static_cast<std::size_t>(i - 1)], i <= nlabelled ? 1 : 0, scale);
    }
    if (!ok) {
        restore_missing();
        return false;
    }
    ps_line("S");
    if (!quiet) {
        if (defaults.extrema_mode == 0) label_ps_grid_extrema(z, mx, nx, ny, defaults.extrema_p5, defaults.extrema_p6, 0, scale);
        else if (defaults.extrema_mode > 0) compute_label_chunk_length(z, mx, nx, ny, 1.0f, 1.0f, 0, scale);
    }
    restore_missing();
    return true;
}

bool trace_contour_levels(std::span<const double> z, int mx, int nx, int ny, float xlen, float ylen,
                          std::span<const float> levels, int nlevels)
{
    if (!contour_grid_is_valid(z.size(), mx, nx, ny) || nx < 2 || ny < 2) return true;
    ContourState& st = contour_state();
    st.dash_count = 0;
    st.polygon_count = 0;
    st.polygon_runs.clear();
    st.x_origin8 = 1.0;
    st.y_origin8 = 1.0;
    st.x_per_unit8 = static_cast<double>(nx - 1) / xlen;
    st.y_per_unit8 = static_cast<double>(ny - 1) / ylen;
    nlevels = std::clamp(nlevels, 0, std::min<int>(CONTOUR_LEVEL_CAPACITY, static_cast<int>(levels.size())));
    std::array<float, CONTOUR_LEVEL_CAPACITY> list{};
    std::copy(levels.begin(), levels.begin() + nlevels, list.begin());
    st.level_list = list;
    st.level_count = nlevels;
    const int e = nlevels > 0 ? level_exponent(list[0], list[static_cast<std::size_t>(nlevels - 1)]) : 0;
    const float scale = std::pow(10.0f, static_cast<float>(-e));
    for (int i = 0; i < nlevels; ++i)
        if (!trace_contour_grid_double(z, mx, nx, ny, list[static_cast<std::size_t>(i)], 0, scale)) return false;
    return true;
}
