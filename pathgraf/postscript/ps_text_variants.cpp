#include "pathgraf/postscript/ps_text_variants.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_page.h"
#include "pathgraf/postscript/ps_text_parts.h"

PsTextBoxCounters& ps_text_box_counters()
{
    static PsTextBoxCounters counters;
    return counters;
}

void draw_ps_text_chars(float x, float y, float height, std::string_view text, float angle, int count,
                        int justification)
{
    PsTextStyle style;
    style.code_mode = false;
    style.opening = "Incorrect";
    style.routine = "TXTOUTC, zero used";
    draw_ps_text_styled(x, y, height, text, angle, count, justification, style);
}

void draw_ps_text_outlined(float x, float y, float height, std::string_view text, float angle, int count,
                           int justification)
{
    PsTextStyle style;
    style.leading_stroke = false;
    style.show_word = "false charpath stroke";
    style.opening = "Incorrect";
    style.routine = "txtouto, zero used";
    draw_ps_text_styled(x, y, height, text, angle, count, justification, style);
}

void draw_ps_text_advance(float x, float y, float height, std::string_view text, float angle, int count)
{
    write_ps_size_if_changed(ps_font_size(height));
    const std::string out = ps_escape(ps_text_prefix(text, std::abs(count)));
    ps_line(x == PS_CONTINUE ? std::string("/Xpos Xpres def") : "/Xpos " + ps_e(ps_scaled(x), 10, 4) + " def");
    ps_line(y == PS_CONTINUE ? std::string("/Ypos Ypres def") : "/Ypos " + ps_e(ps_scaled(y), 10, 4) + " def");
    if (count == -1) {
        const float theta = ps_text_theta(angle);
        const float a = 0.5f * ps_graphics_state().height_factor * height;
        const float dx = 0.5f * height * std::sin(theta) - a * std::cos(theta);
        const float dy = -(0.5f * height * std::cos(theta) + a * std::sin(theta));
        ps_line("/Xpos Xpos" + ps_f(ps_scaled(dx), 8, 2) + " add def");
        ps_line("/Ypos Ypos" + ps_f(ps_scaled(dy), 8, 2) + " add def");
    }
    ps_line("xydef mover");
    if (angle != 0.0f) ps_line(ps_f(angle, 7, 1) + " rotate");
    ps_line("(" + out + ") show");
    if (angle != 0.0f) ps_line(ps_f(-angle, 7, 1) + " rotate");
}

namespace {

// The steps the two box routines share; the colour steps are passed in.
void draw_text_in_box(int& calls, float x, float y, float height, std::string_view text, float angle, float edge,
                      int x_align, int y_align, const std::function<void()>& box_colour,
                      const std::function<void()>& text_colour, const std::function<void()>& restore_colour)
{
    calls += 1;
    if (calls == 1) {
        ps_line("/Fwidth { newpath 0 0 moveto text false charpath flattenpath pathbbox");
        ps_line("/ury exch def /urx exch def /lly exch def /llx exch def");
        ps_line("/swidth urx llx sub def /sheight ury lly sub def} def");
    }
    write_ps_size_if_changed(ps_font_size(height));
    // The text is escaped so that parentheses and backslashes cannot break the string.
    ps_line("/text (" + ps_escape(text) + ") def");
    ps_line("gsave Fwidth grestore");
    std::string margin = ps_f(edge, 5, 2);
    int count = 0;
    squeeze_blanks(margin, static_cast<int>(margin.size()), margin, count);
    ps_line("/edg " + margin.substr(0, static_cast<std::size_t>(count)) + " sheight mul def");
    ps_line("/tothgt sheight 2 edg mul add def /totwid swidth 2 edg mul add def");
    plot_ps_pen(x, y, -3);
    if (angle != 0.0f) ps_line(ps_f(angle, 8, 2) + " rotate");
    // Alignments are written whole so that any integer stays a number.
    ps_line("/xsh " + std::to_string(x_align) + " totwid mul 2 div def");
    ps_line("/ysh " + std::to_string(y_align) + " tothgt mul 2 div def");
    ps_line("xsh neg ysh neg translate");
    box_colour();
    ps_line("Np 0 0 moveto totwid 0 rlineto");
    ps_line("0 tothgt rlineto totwid neg 0 rlineto cf");
    text_colour();
    ps_line("edg llx sub edg lly sub moveto text show");
    restore_colour();
    ps_line("xsh ysh translate");
    if (angle != 0.0f) ps_line(ps_f(-angle, 8, 2) + " rotate");
    plot_ps_pen(-x, -y, -3);
}

}  // namespace

void draw_ps_text_in_color_box(float x, float y, float height, std::string_view text, float angle, float edge,
                               int x_align, int y_align, float text_red, float text_green, float text_blue,
                               float box_red, float box_green, float box_blue)
{
    const PsGraphicsState before = ps_graphics_state();
    draw_text_in_box(
        ps_text_box_counters().color_box_calls, x, y, height, text, angle, edge, x_align, y_align,
        [&] { set_ps_rgb_color(box_red, box_green, box_blue); },
        [&] { set_ps_rgb_color(text_red, text_green, text_blue); },
        [&] { set_ps_rgb_color(before.red, before.green, before.blue); });
}

void draw_ps_text_in_gray_box(float x, float y, float height, std::string_view text, float angle, float edge,
                              int x_align, int y_align, float text_grey, float box_grey)
{
    const float before = ps_graphics_state().grey;
    draw_text_in_box(
        ps_text_box_counters().gray_box_calls, x, y, height, text, angle, edge, x_align, y_align,
        [&] { set_ps_gray(box_grey); }, [&] { set_ps_gray(text_grey); }, [&] { set_ps_gray(before); });
}
