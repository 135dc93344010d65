#include "pathgraf/postscript/ps_scripts.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_text_parts.h"

namespace {

struct ScriptGeometry {
    float angle = 0.0f;
    float sin_theta = 0.0f;
    float cos_theta = 1.0f;
    int size = 0;              // points of the script text
    float sub_offset = 0.0f;   // library inches down
    float sup_offset = 0.0f;   // library inches up
};

ScriptGeometry script_geometry(float height, float angle)
{
    ScriptGeometry g;
    const float theta = angle * 3.14159274f / 180.0f;
    const float script_height = height * 3.0f * 0.25f;
    g.angle = angle;
    g.sin_theta = std::sin(theta);
    g.cos_theta = std::cos(theta);
    g.size = ps_font_size(script_height);
    g.sub_offset = script_height / 2.0f;
    g.sup_offset = script_height * 4.0f / 5.0f;
    return g;
}

// The script origin, moved across the baseline from the end of the text before.
void write_offset_lines(const ScriptGeometry& g, bool superscript)
{
    const float o = superscript ? g.sup_offset : g.sub_offset;
    const std::string across = ps_f(ps_scaled(o * g.sin_theta), 8, 2);
    const std::string along = ps_f(ps_scaled(o * g.cos_theta), 8, 2);
    if (superscript) {
        ps_line("/Xpos Xpres " + across + " sub def ");
        ps_line("/Ypos Ypres " + along + " add def ");
    } else {
        ps_line("/Xpos Xpres " + across + " add def ");
        ps_line("/Ypos Ypres " + along + " sub def ");
    }
}

void write_script_line(const std::string& string, float angle)
{
    ps_begin_line();
    ps_put("(" + string + ") Lend");
    join_ps_show(string, angle, "show");
    ps_end_line();
}

void write_list_entries(int n, std::span<const int> fonts, std::span<const std::string> texts,
                        std::span<const int> counts, const ScriptGeometry& g, bool superscript, bool keep_base)
{
    n = std::min({n, static_cast<int>(fonts.size()), static_cast<int>(texts.size()), static_cast<int>(counts.size())});
    for (int i = 0; i < n; ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        ps_line("Xypos0d");
        if (keep_base) ps_line("/Xposv Xpos0 def  /Yposv Ypos0 def");
        write_offset_lines(g, superscript);
        setfnt(fonts[at]);
        ps_line(ps_i(g.size, 3) + " Setf");
        std::string string;
        if (fonts[at] == 29 || fonts[at] == 35) string = "\\" + ps_squeezed_i(ps_first_word(texts[at]), 4);
        else string = ps_escape(ps_text_prefix(texts[at], std::max(counts[at], 0)));
        write_script_line(string, g.angle);
        write_ps_end_point(g.angle, " Xyprset0");
    }
}

// One part of the single forms; symbol_active tells whether the Symbol font
// is selected in the file (after a prime).
void write_single_part(std::string_view text, int count, const ScriptGeometry& g, bool superscript,
                       bool& symbol_active)
{
    write_offset_lines(g, superscript);
    const std::string raw = ps_text_prefix(text, std::abs(count));
    const bool prime = raw.substr(0, static_cast<std::size_t>(find_last_nonblank(raw))) == "'";
    if (prime) {
        write_ps_font_scale_line("Symbol", g.size);
        symbol_active = true;
        write_script_line("\\242", g.angle);
        return;
    }
    PsGraphicsState& state = ps_graphics_state();
    if (g.size != state.font_size || symbol_active) {
        // "Setf" scales the current font again, which also leaves the Symbol font.
        ps_line(ps_i(g.size, 3) + " Setf");
        state.font_size = g.size;
        symbol_active = false;
    }
    write_script_line(ps_escape(raw), g.angle);
}

void draw_single(std::string_view text, int count, float height, float angle, bool superscript)
{
    const ScriptGeometry g = script_geometry(height, angle);
    bool symbol_active = false;
    ps_line("Xypos0d");
    write_single_part(text, count, g, superscript, symbol_active);
    write_ps_end_point(angle, " Xyprset0");
    if (symbol_active) setfnt(ps_graphics_state().font_number);
}

}  // namespace

void draw_ps_text_subscript(int n, std::span<const int> fonts, std::span<const std::string> texts,
                            std::span<const int> counts, float height, float angle)
{
    const int entry_font = ps_graphics_state().font_number;
    write_list_entries(n, fonts, texts, counts, script_geometry(height, angle), false, false);
    setfnt(entry_font);
}

void draw_ps_text_superscript(int n, std::span<const int> fonts, std::span<const std::string> texts,
                              std::span<const int> counts, float height, float angle)
{
    const int entry_font = ps_graphics_state().font_number;
    write_list_entries(n, fonts, texts, counts, script_geometry(height, angle), true, false);
    setfnt(entry_font);
}

void draw_ps_text_sub_sup(int n_subscripts, std::span<const int> subscript_fonts,
                          std::span<const std::string> subscript_texts, std::span<const int> subscript_counts,
                          int n_superscripts, std::span<const int> superscript_fonts,
                          std::span<const std::string> superscript_texts, std::span<const int> superscript_counts,
                          float height, float angle)
{
    const int entry_font = ps_graphics_state().font_number;
    const ScriptGeometry g = script_geometry(height, angle);
    write_list_entries(n_subscripts, subscript_fonts, subscript_texts, subscript_counts, g, false, true);
    // Without subscripts the superscripts start where the text ended.
    if (n_subscripts > 0) ps_line("/Xpres Xposv def /Ypres Yposv def");
    write_list_entries(n_superscripts, superscript_fonts, superscript_texts, superscript_counts, g, true, false);
    setfnt(entry_font);
}

void draw_ps_single_subscript(std::string_view text, int count, float height, float angle)
{
    draw_single(text, count, height, angle, false);
}

void draw_ps_single_superscript(std::string_view text, int count, float height, float angle)
{
    draw_single(text, count, height, angle, true);
}

void draw_ps_single_sub_sup(std::string_view subscript_text, int subscript_count, std::string_view superscript_text,
                            int superscript_count, float height, float angle)
{
    const ScriptGeometry g = script_geometry(height, angle);
    bool symbol_active = false;
    bool symbol_used = false;
    ps_line("Xypos0d");
    write_single_part(subscript_text, subscript_count, g, false, symbol_active);
    symbol_used = symbol_active;
    write_single_part(superscript_text, superscript_count, g, true, symbol_active);
    symbol_used = symbol_used || symbol_active;
    write_ps_end_point(angle, " Xyprset0");
    if (symbol_active || symbol_used) setfnt(ps_graphics_state().font_number);
}
