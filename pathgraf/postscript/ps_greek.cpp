#include "pathgraf/postscript/ps_greek.h"

#include <cmath>

#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_text_parts.h"

std::string greek_letter_string(int k)
{
    if (k < 1 || k > static_cast<int>(GREEK_LETTERS.size())) return " ";
    const char letter = GREEK_LETTERS[static_cast<std::size_t>(k - 1)];
    if (letter == 'U') return "\\241";
    return std::string(1, letter);
}

void grksym(float x, float y, float height, int k, float angle, int count, int justification)
{
    const int entry_font = ps_graphics_state().font_number;
    write_ps_font_scale_line("Symbol", ps_font_size(height));
    const std::string letter = greek_letter_string(k);
    int j = count < 0 ? 0 : justification;
    write_ps_origin_lines(x, y, j);
    check_ps_justification(j, "Incorrect", "grksym, zero used");
    const float theta = ps_text_theta(angle);
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    ps_begin_line();
    ps_put("(" + letter + ") Lend");
    join_ps_justification(j, c, s, false);
    if (count == -1) join_ps_centring(height, c, s, false);
    ps_end_line();
    ps_begin_line();
    ps_put("xydef mover");
    if (angle != 0.0f) ps_join(ps_f(angle, 7, 1) + " rotate");
    ps_join("(" + letter + ") show");
    if (angle != 0.0f) ps_join(ps_f(-angle, 7, 1) + " rotate");
    ps_end_line();
    write_ps_end_point(ps_text_degrees(theta));
    setfnt(entry_font);
}

void ONEHLF(float x, float y, float height, float angle, int justification)
{
    const int entry_font = ps_graphics_state().font_number;
    ps_line("Curfnt dup length dict begin");
    ps_line("  {1 index /FID ne {def} {pop pop } ifelse} forall");
    ps_line("  /Encoding ISOLatin1Encoding def");
    ps_line("  currentdict");
    ps_line("end");
    ps_line("/Latino exch definefont pop");
    write_ps_font_scale_line("Latino", ps_font_size(height));
    int j = justification;
    write_ps_origin_lines(x, y, j);
    check_ps_justification(j, "incorrect", "ONEHLF, zero used");
    const float theta = ps_text_theta(angle);
    ps_begin_line();
    ps_put("(\\275) Lend");
    join_ps_justification(j, std::cos(theta), std::sin(theta), false);
    ps_end_line();
    ps_begin_line();
    ps_put("xydef mover");
    if (angle != 0.0f) ps_join(ps_f(angle, 7, 1) + " rotate");
    ps_join("(\\275) show");
    if (angle != 0.0f) ps_join(ps_f(-angle, 7, 1) + " rotate");
    ps_end_line();
    write_ps_end_point(ps_text_degrees(theta));
    setfnt(entry_font);
    ps_line(ps_i(ps_graphics_state().font_size, 3) + " Setf");
}
