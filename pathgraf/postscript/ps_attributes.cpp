#include "pathgraf/postscript/ps_attributes.h"

#include <cmath>
#include <string>

#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_output.h"

const std::array<std::string_view, PS_FONT_COUNT> PS_FONT_NAMES = {
    "AvantGarde-Book",
    "AvantGarde-BookOblique",
    "AvantGarde-Demi",
    "AvantGarde-DemiOblique",
    "Bookman-Demi",
    "Bookman-DemiItalic",
    "Bookman-Light",
    "Bookman-LightItalic",
    "Courier-Bold",
    "Courier-BoldOblique",
    "Courier-Oblique",
    "Courier",
    "Helvetica-Bold",
    "Helvetica-BoldOblique",
    "Helvetica-Narrow-Bold",
    "Helvetica-Narrow-BoldOblique",
    "Helvetica-Narrow-Oblique",
    "Helvetica-Narrow",
    "Helvetica-Oblique",
    "Helvetica",
    "NewCenturySchlbk-Bold",
    "NewCenturySchlbk-BoldItalic",
    "NewCenturySchlbk-Italic",
    "NewCenturySchlbk-Roman",
    "Palatino-Bold",
    "Palatino-BoldItalic",
    "Palatino-Italic",
    "Palatino-Roman",
    "Symbol",
    "Times-Bold",
    "Times-BoldItalic",
    "Times-Italic",
    "Times-Roman",
    "ZapfChancery-MediumItalic",
    "ZapfDingbats",
};

namespace {

float clamp_level(float v)
{
    if (v > 1.0f) v = 1.0f;
    if (v < 0.0f) v = 0.0f;
    return v;
}

}  // namespace

void set_ps_rgb_color(float r, float g, float b)
{
    PsGraphicsState& state = ps_graphics_state();
    state.red = clamp_level(r);
    state.green = clamp_level(g);
    state.blue = clamp_level(b);
    ps_line(ps_f(state.red, 7, 3) + ps_f(state.green, 7, 3) + ps_f(state.blue, 7, 3) + " Sc");
}

void set_ps_gray(float g)
{
    PsGraphicsState& state = ps_graphics_state();
    state.grey = clamp_level(g);
    ps_line(ps_f(state.grey, 7, 3) + " Sg");
}

void set_ps_line_width(float w)
{
    if (std::fabs(w) < 1e-5f) ps_line("Slw0");
    else ps_line(ps_f(w, 7, 3) + " Slw");
    ps_graphics_state().line_width = w;
}

void setfnt(int n)
{
    PsGraphicsState& state = ps_graphics_state();
    state.font_number = n;
    if (n < 1 || n > PS_FONT_COUNT) {
        ps_console_line(" Invalid font number encountered in **setfnt**");
        ps_console_line(" Using Helvetica default");
        state.font_number = PS_DEFAULT_FONT;
    }
    ps_line("/Curfnt /" + std::string(PS_FONT_NAMES[static_cast<std::size_t>(state.font_number - 1)]) + " findfont def");
    ps_line(ps_i(state.font_size, 3) + " Setf");
}

void save_ps_state_and_font()
{
    PsGraphicsState& state = ps_graphics_state();
    state.saved_font_size = state.font_size;
    state.saved_font_number = state.font_number;
    ps_line("gsave");
}

void restore_ps_state_and_font()
{
    PsGraphicsState& state = ps_graphics_state();
    ps_line("grestore");
    state.font_size = state.saved_font_size;
    setfnt(state.saved_font_number);
}
