#include "pathgraf/postscript/ps_signs.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_page.h"
#include "pathgraf/postscript/ps_text.h"
#include "pathgraf/postscript/ps_text_parts.h"

namespace {

constexpr float PI = 3.14159274f;

void draw_one_sign(float x, float y, float height, float angle, int justification, const std::string& code,
                   const char* routine)
{
    const int entry_font = ps_graphics_state().font_number;
    write_ps_font_scale_line("Symbol", ps_font_size(height));
    int j = justification;
    write_ps_origin_lines(x, y, j);
    check_ps_justification(j, "Incorrect", routine);
    const float theta = ps_text_theta(angle);
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    ps_begin_line();
    ps_put("(" + code + ") Lend");
    join_ps_justification(j, c, s, true);
    join_ps_show(code, angle, "show");
    ps_end_line();
    write_ps_end_point(ps_text_degrees(theta));
    setfnt(entry_font);
}

// A limit text of the summation and integral signs.
void draw_limit(float x, float y, float height, std::string_view text, int count, float code_height, int justification,
                int entry_font)
{
    if (count == 0) return;
    if (count == -999) {
        setfnt(PS_SYMBOL_FONT);
        draw_ps_text(x, y, code_height, text, 0.0f, count, justification);
        setfnt(entry_font);
        return;
    }
    draw_ps_text(x, y, height, text, 0.0f, count, justification);
}

}  // namespace

void PLSMIN(float x, float y, float height, float angle, int justification)
{
    draw_one_sign(x, y, height, angle, justification, "\\261", "PLSMIN, zero used");
}

void PRIME(float x, float y, float height, float angle, int justification)
{
    draw_one_sign(x, y, height, angle, justification, "\\242", "PRIME, zero used");
}

void SIGMA(float x, float y, float height, float angle, std::string_view lower_text, int lower_count,
           std::string_view upper_text, int upper_count)
{
    const float f = ps_output_state().page_factor;
    const int entry_font = ps_graphics_state().font_number;
    ps_line("S");
    const int size = ps_font_size(height);
    const int g = static_cast<int>(1.5f * static_cast<float>(size));
    const float t = 0.13f * static_cast<float>(g);
    const float theta = angle * PI / 180.0f;
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    const float w = t * s;
    const float v = -t * c;

    const float ox = x + w / f;
    const float oy = y + v / f;
    plot_ps_pen(ox, oy, -3);
    if (angle != 0.0f) ps_line(ps_f(angle, 7, 1) + " rotate");
    const float limit_height = static_cast<float>(std::max(static_cast<int>(0.2f * static_cast<float>(g)), 1)) / f;
    draw_limit(0.0f, 0.85f * static_cast<float>(g) / f, limit_height, upper_text, upper_count, 1.4f * limit_height, 1,
               entry_font);
    draw_limit(0.0f, -1.7f * limit_height, limit_height, lower_text, lower_count, 1.5f * limit_height, 1, entry_font);
    setfnt(entry_font);
    if (angle != 0.0f) ps_line(ps_f(-angle, 7, 1) + " rotate");
    plot_ps_pen(-ox, -oy, -3);

    write_ps_font_scale_line("Symbol", g);
    const std::string sign = "\\" + ps_squeezed_i(345, 10);
    // A blank before "add" keeps the offset a number of its own.
    ps_line(x == PS_CONTINUE ? "/Xpos Xpres " + ps_f(w, 8, 2) + " add def" : ps_f(x * f + w, 8, 2) + " Xposd");
    ps_line(y == PS_CONTINUE ? "/Ypos Ypres " + ps_f(v, 8, 2) + " add def" : ps_f(y * f + v, 8, 2) + " Yposd");
    ps_begin_line();
    ps_put("(" + sign + ") Lend");
    join_ps_justification(1, c, s, false);
    ps_end_line();
    ps_begin_line();
    ps_put("xydef mover");
    if (angle != 0.0f) ps_join(ps_f(angle, 7, 1) + " rotate");
    ps_join("(" + sign + ") show");
    if (angle != 0.0f) ps_join(ps_f(-angle, 7, 1) + " rotate");
    ps_end_line();
    ps_line("/Xpos Xpos " + ps_f(w, 8, 2) + " sub def");
    ps_line("  /Ypos Ypos " + ps_f(v, 8, 2) + " sub def");
    ps_line("(" + sign + ") Lends");
    write_ps_end_point(theta * 180.0f / PI);
    setfnt(entry_font);
}

void integral(float x, float y, float height, float angle, std::string_view lower_text, int lower_count,
              std::string_view upper_text, int upper_count)
{
    const float f = ps_output_state().page_factor;
    ps_line("S");
    const int text_size = ps_font_size(height);
    const int sign_size = static_cast<int>(static_cast<float>(text_size) * 1.5f);
    const float size = static_cast<float>(sign_size);
    const float theta = angle * PI / 180.0f;
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    const float drop = 0.13f * size;
    const float a = drop * s;
    const float b = -drop * c;
    const float limit_height = static_cast<float>(std::max(static_cast<int>(0.2f * size), 1)) / f;
    const int entry_font = ps_graphics_state().font_number;

    const float ox = x + a / f;
    const float oy = y + b / f;
    plot_ps_pen(ox, oy, -3);
    if (angle != 0.0f) ps_line(ps_f(angle, 7, 1) + " rotate");
    draw_limit(0.3f * size / f, 0.82f * size / f, limit_height, upper_text, upper_count, limit_height, 0, entry_font);
    draw_limit(0.2f * size / f, -0.13f * size / f, limit_height, lower_text, lower_count, limit_height, 0, entry_font);
    setfnt(entry_font);
    if (angle != 0.0f) ps_line(ps_f(-angle, 7, 1) + " rotate");
    plot_ps_pen(-ox, -oy, -3);

    write_ps_font_scale_line("Symbol", sign_size);
    const std::string sign = "\\" + ps_squeezed_i(362, 10);
    ps_line(x == PS_CONTINUE ? "/Xpos Xpres " + ps_f(a, 8, 2) + " add def" : ps_f(x * f + a, 8, 2) + " Xposd");
    ps_line(y == PS_CONTINUE ? "/Ypos Ypres " + ps_f(b, 8, 2) + " add def" : ps_f(y * f + b, 8, 2) + " Yposd");
    ps_line("(" + sign + ") Lendi");
    ps_begin_line();
    ps_put("xydef mover");
    if (angle != 0.0f) ps_join(ps_f(angle, 7, 1) + " rotate");
    ps_join("(" + sign + ") show");
    if (angle != 0.0f) ps_join(ps_f(-angle, 7, 1) + " rotate");
    ps_end_line();
    ps_line("/Xpint Xp def /Ypint Yp def /Intsz " + ps_i(sign_size, 3) + " def");
    setfnt(entry_font);
    ps_line("/Xpos Xpos " + ps_f(a, 8, 2) + " sub def");
    ps_line("  /Ypos Ypos " + ps_f(b, 8, 2) + " sub def");
    write_ps_end_point(angle);
}
