#include "pathgraf/postscript/ps_text.h"

#include <cmath>
#include <cstdlib>

#include "common/fortran_format.h"

#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_text_parts.h"

float ps_text_theta(float angle) { return angle * 4.0f * 0.785398185f / 180.0f; }

float ps_text_degrees(float theta) { return theta * 180.0f / 3.14159274f; }

void write_ps_size_if_changed(int size)
{
    PsGraphicsState& state = ps_graphics_state();
    if (size == state.font_size) return;
    ps_line(ps_i(size, 3) + " Setf");
    state.font_size = size;
}

void write_ps_origin_lines(float x, float y, int& justification)
{
    if (x == PS_CONTINUE) {
        ps_line("/Xpos Xpres def");
        justification = 0;
    } else {
        ps_line(ps_f(ps_scaled(x), 8, 2) + " Xposd");
    }
    if (y == PS_CONTINUE) {
        ps_line("/Ypos Ypres def");
        justification = 0;
    } else {
        ps_line(ps_f(ps_scaled(y), 8, 2) + " Yposd");
    }
}

void check_ps_justification(int& justification, std::string_view opening, std::string_view routine)
{
    if (justification >= 0 && justification <= 2) return;
    ps_console_line(" " + std::string(opening) + " justification code " + ps_i(justification, 5) + "found in "
                    + std::string(routine));
    justification = 0;
}

void join_ps_justification(int justification, float c, float s, bool always)
{
    const float jx = 0.5f * static_cast<float>(justification) * c;
    const float jy = 0.5f * static_cast<float>(justification) * s;
    if (always || jx != 0.0f) ps_join(ps_f(jx, 7, 3) + " Xposjd");
    if (always || jy != 0.0f) ps_join(ps_f(jy, 7, 3) + " Yposjd");
}

void join_ps_centring(float height, float c, float s, bool always)
{
    const float a = 0.5f * ps_graphics_state().height_factor * height;
    const float dx = 0.5f * height * s - a * c;
    const float dy = -(0.5f * height * c + a * s);
    if (always || dx != 0.0f) ps_join("/Xpos Xpos" + ps_f(ps_scaled(dx), 8, 2) + " add def");
    if (always || dy != 0.0f) ps_join("/Ypos Ypos" + ps_f(ps_scaled(dy), 8, 2) + " add def");
}

void join_ps_show(std::string_view string, float angle, std::string_view show_word)
{
    ps_join("xydef mover");
    if (angle != 0.0f) ps_join(ps_f(angle, 7, 1) + " rotate");
    ps_join("(" + std::string(string) + ") " + std::string(show_word));
    if (angle != 0.0f) ps_join(ps_f(-angle, 7, 1) + " rotate");
}

void write_ps_end_point(float degrees, std::string_view word)
{
    ps_line(ps_f(degrees, 6, 1) + std::string(word));
}

void write_ps_font_scale_line(std::string_view font, int size)
{
    ps_line("/" + std::string(font) + " findfont " + ps_i(size, 3) + " scalefont setfont");
}

std::string ps_output_text(std::string_view text, int count, bool code_mode)
{
    if (code_mode && count == -999) return "\\" + ps_squeezed_i(ps_first_word(text), 10);
    return ps_escape(ps_text_prefix(text, std::abs(count)));
}

void draw_ps_text_styled(float x, float y, float height, std::string_view text, float angle, int count,
                         int justification, const PsTextStyle& style)
{
    if (style.leading_stroke) ps_line("S");
    write_ps_size_if_changed(ps_font_size(height));
    const std::string out = ps_output_text(text, count, style.code_mode);
    const bool code_word = style.code_mode && count == -999;
    int j = (count < 0 && !code_word) ? 0 : justification;
    write_ps_origin_lines(x, y, j);
    check_ps_justification(j, style.opening, style.routine);
    const float theta = ps_text_theta(angle);
    const float c = std::cos(theta);
    const float s = std::sin(theta);

    ps_begin_line();
    ps_put("(" + out + ") Lend");
    join_ps_justification(j, c, s, false);
    if (count == -1) join_ps_centring(height, c, s, false);
    ps_end_line();

    ps_begin_line();
    ps_put("xydef mover");
    if (angle != 0.0f) ps_join(ps_f(angle, 7, 1) + " rotate");
    ps_join("(" + out + ") " + std::string(style.show_word));
    if (angle != 0.0f) ps_join(ps_f(-angle, 7, 1) + " rotate");
    ps_end_line();

    write_ps_end_point(ps_text_degrees(theta));
}

void draw_ps_text(float x, float y, float height, std::string_view text, float angle, int count, int justification)
{
    draw_ps_text_styled(x, y, height, text, angle, count, justification, PsTextStyle{});
}

bool numsym(float value, int ndec, std::string& text, int& count, bool exponential)
{
    text.assign(PS_TEXT_LENGTH, ' ');
    count = 0;
    if (ndec > 15) {
        ps_record_failure(" In call to numsym, ndec gt 15 " + ps_i(ndec, 20) + " program abandoned");
        return false;
    }
    std::string format;
    if (exponential) {
        if (ndec < 0) {
            ps_record_failure(" in numsym, exponential format specified with ndec= " + ps_i(ndec, 3)
                              + " program abandoned");
            return false;
        }
        format = "(1pe16." + ps_i(ndec, 2) + ")";
    } else {
        format = ndec < 0 ? "(f16.1)" : "(f16." + ps_i(ndec, 2) + ")";
    }
    std::string work = format_line(format, {value});
    squeeze_blanks(work, PS_TEXT_LENGTH, work, count);
    const std::size_t point = work.find('.');
    const int p = point == std::string::npos ? 0 : static_cast<int>(point) + 1;
    if (!exponential) {
        if (ndec < 0) count = p - 1;
        else if (ndec == 0) count = p;
    } else if (ndec == 0) {
        const std::size_t e_at = work.find('E');
        if (e_at != std::string::npos && p > 0) {
            const int e = static_cast<int>(e_at) + 1;
            const std::string tail = work.substr(e_at, static_cast<std::size_t>(count - e + 1));
            work.replace(static_cast<std::size_t>(p), tail.size(), tail);
            count = count - (e - p) + 1;
        }
    }
    text = work;
    text.resize(PS_TEXT_LENGTH, ' ');
    return true;
}

namespace {

bool draw_number(float x, float y, float height, float value, float angle, int ndec, int justification,
                 bool exponential)
{
    std::string text;
    int count = 0;
    if (!numsym(value, ndec, text, count, exponential)) return false;
    draw_ps_text(x, y, height, text, angle, count, justification);
    return true;
}

}  // namespace

bool draw_ps_number_fixed(float x, float y, float height, float value, float angle, int ndec, int justification)
{
    return draw_number(x, y, height, value, angle, ndec, justification, false);
}

bool draw_ps_number_fixed_twin(float x, float y, float height, float value, float angle, int ndec, int justification)
{
    return draw_number(x, y, height, value, angle, ndec, justification, false);
}

bool draw_ps_number_exponential(float x, float y, float height, float value, float angle, int ndec, int justification)
{
    return draw_number(x, y, height, value, angle, ndec, justification, true);
}

bool draw_ps_number_fixed_left(float x, float y, float height, float value, float angle, int ndec)
{
    return draw_number(x, y, height, value, angle, ndec, 0, false);
}
