#include "pathgraf/postscript/ps_overbar.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_greek.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_scripts.h"
#include "pathgraf/postscript/ps_text.h"
#include "pathgraf/postscript/ps_text_parts.h"

namespace {

enum class Scripts { none, subscript, superscript, both };

// What sets the members of the family apart.
struct OverbarMember {
    bool greek = false;
    float d_not_tall = 0.01f;     // bar offset above the height, base not tall
    float d_tall = 0.08f;         // base with a tall character
    float d_count_not_positive = 0.01f;  // offset when the count is not positive
    bool test_tall = true;
    float bar_width = 0.02f;
    Scripts scripts = Scripts::none;
    std::string_view opening = "incorrect";
    std::string_view routine;
};

bool tall_text_character(char c)
{
    return (c >= 'A' && c <= 'Z') || c == 'b' || c == 'd' || c == 'f' || c == 'h' || c == 'i' || c == 'j' || c == 'k'
           || c == 'l' || c == 't';
}

bool tall_greek_letter(int index)
{
    if (index >= 1 && index <= 24) return true;
    for (int k : {26, 28, 30, 32, 35, 38, 49, 50})
        if (index == k) return true;
    return false;
}

// The arguments of one call.
struct OverbarCall {
    float x = 0.0f, y = 0.0f, height = 0.0f, angle = 0.0f;
    std::string_view text;
    int index = 0;
    int count = 0;
    int justification = 0;
    std::string_view subscript;
    int subscript_count = 0;
    std::string_view superscript;
    int superscript_count = 0;
};

// Steps 0 to 15 of every member: the text (or letter), the bar over it and
// the line width back.  Returns whether the base counted as tall; entry_font
// receives the font number at entry.
bool draw_text_and_bar(const OverbarMember& member, const OverbarCall& call, bool greek_sub_sup, int& entry_font)
{
    PsGraphicsState& graphics = ps_graphics_state();
    const bool continued = call.x == PS_CONTINUE || call.y == PS_CONTINUE;
    if (greek_sub_sup && continued) ps_line("/Xpbeg Xpres def /Ypbeg Ypos def");
    entry_font = graphics.font_number;
    const int size = ps_font_size(call.height);
    if (member.greek) write_ps_font_scale_line("Symbol", size);
    else write_ps_size_if_changed(size);

    const std::string string = member.greek ? greek_letter_string(call.index)
                                            : ps_escape(ps_text_prefix(call.text, std::abs(call.count)));
    int j = call.count < 0 ? 0 : call.justification;
    write_ps_origin_lines(call.x, call.y, j);
    check_ps_justification(j, member.opening, member.routine);
    const float theta = member.greek ? ps_text_theta(call.angle) : call.angle * 3.14159274f / 180.0f;
    const float c = std::cos(theta);
    const float s = std::sin(theta);

    // The text line; when it would not fit one record it is written as the
    // width line and the show line.
    ps_begin_line();
    ps_put("(" + string + ") Lend");
    join_ps_justification(j, c, s, true);
    if (call.count == -1) join_ps_centring(call.height, c, s, true);
    const std::string width_part = ps_command_buffer().line;
    join_ps_show(string, call.angle, "show");
    if (static_cast<int>(ps_command_buffer().line.size()) > PS_RECORD_LENGTH) {
        ps_command_buffer().line = width_part;
        ps_end_line();
        ps_begin_line();
        ps_put("xydef mover");
        if (call.angle != 0.0f) ps_join(ps_f(call.angle, 7, 1) + " rotate");
        ps_join("(" + string + ") show");
        if (call.angle != 0.0f) ps_join(ps_f(-call.angle, 7, 1) + " rotate");
    }
    ps_end_line();
    ps_line("/Xpsav Xpos def /Ypsav Ypos def");

    bool tall = false;
    if (member.test_tall) {
        if (member.greek && (call.count > 0 || member.d_count_not_positive < 0.0f)) {
            tall = tall_greek_letter(call.index);
        } else if (!member.greek && call.count > 0) {
            const std::string tested = string.substr(0, std::min(string.size(), static_cast<std::size_t>(call.count)));
            tall = std::any_of(tested.begin(), tested.end(), tall_text_character);
        }
    }
    float d = tall ? member.d_tall : member.d_not_tall;
    if (call.count <= 0 && !tall && member.d_count_not_positive >= 0.0f) d = member.d_count_not_positive;
    const float b = call.height + d;
    ps_line("/Xpos Xpos" + ps_f(ps_scaled(s * b), 8, 2) + " sub def");
    ps_line("/Ypos Ypos" + ps_f(ps_scaled(c * b), 8, 2) + " add def");
    ps_line("xydef mover");

    auto script_width = [](std::string_view text, int count) {
        ps_line("(" + ps_escape(ps_text_prefix(text, std::max(count, 0))) + ") Lenssd");
    };
    switch (member.scripts) {
    case Scripts::none: break;
    case Scripts::subscript: script_width(call.subscript, call.subscript_count); break;
    case Scripts::superscript: script_width(call.superscript, call.superscript_count); break;
    case Scripts::both:
        script_width(call.subscript, call.subscript_count);
        ps_line("/Strlensb Strlenss def");
        script_width(call.superscript, call.superscript_count);
        ps_line("Strlensb Strlenss ge {/Strlenss Strlensb def} if");
        break;
    }
    const std::string along = member.scripts == Scripts::none ? "Strlen " : "Strlen Strlenss add ";
    ps_line("/Xpos " + along + ps_f(call.angle, 6, 1) + " cos mul Xpos add def");
    ps_line("/Ypos " + along + ps_f(call.angle, 6, 1) + " sin mul Ypos add def");

    const float w = graphics.line_width;
    ps_line(ps_f(member.bar_width, 7, 3) + " Slw");
    graphics.line_width = member.bar_width;
    ps_line("xydef lsm /Xpos Xpsav def /Ypos Ypsav def");
    set_ps_line_width(w);
    return tall;
}

float greek_end_degrees(float angle) { return ps_text_degrees(ps_text_theta(angle)); }

OverbarMember text_member(float d_not_tall, float d_tall, float bar_width, Scripts scripts, std::string_view routine)
{
    OverbarMember m;
    m.d_not_tall = d_not_tall;
    m.d_tall = d_tall;
    m.d_count_not_positive = d_not_tall;
    m.bar_width = bar_width;
    m.scripts = scripts;
    m.routine = routine;
    return m;
}

OverbarMember greek_member(float d_not_tall, float d_tall, float d_count_not_positive, Scripts scripts,
                           std::string_view routine)
{
    OverbarMember m;
    m.greek = true;
    m.d_not_tall = d_not_tall;
    m.d_tall = d_tall;
    m.d_count_not_positive = d_count_not_positive;
    m.scripts = scripts;
    m.routine = routine;
    return m;
}

}  // namespace

void OVERBAR(float x, float y, float height, std::string_view text, float angle, int count, int justification)
{
    const OverbarMember member = text_member(0.01f, 0.08f, 0.01f, Scripts::none, "OVERBAR, zero used");
    int entry_font = 0;
    draw_text_and_bar(member, {x, y, height, angle, text, 0, count, justification, {}, 0, {}, 0}, false, entry_font);
    write_ps_end_point(angle);
}

void OVRGRK(float x, float y, float height, int index, float angle, int count, int justification)
{
    // The letter decides the bar's height also for a count that is not positive.
    const OverbarMember member = greek_member(0.01f, 0.08f, -1.0f, Scripts::none, "OVRGRK, zero used");
    int entry_font = 0;
    draw_text_and_bar(member, {x, y, height, angle, {}, index, count, justification, {}, 0, {}, 0}, false, entry_font);
    write_ps_end_point(greek_end_degrees(angle));
    setfnt(entry_font);
}

void draw_ps_overbar_text_sub(float x, float y, float height, std::string_view text, float angle, int count,
                              int justification, std::string_view subscript, int subscript_count)
{
    const OverbarMember member = text_member(0.01f, 0.08f, 0.02f, Scripts::subscript, "txtout, zero used");
    int entry_font = 0;
    draw_text_and_bar(member, {x, y, height, angle, text, 0, count, justification, subscript, subscript_count, {}, 0},
                      false, entry_font);
    write_ps_end_point(angle);
    draw_ps_single_subscript(subscript, subscript_count, height, angle);
}

void OVERSUP(float x, float y, float height, std::string_view text, float angle, int count, int justification,
             std::string_view superscript, int superscript_count)
{
    const OverbarMember member = text_member(0.08f, 0.12f, 0.02f, Scripts::superscript, "OVERSUP, zero used");
    int entry_font = 0;
    const bool tall = draw_text_and_bar(
        member, {x, y, height, angle, text, 0, count, justification, {}, 0, superscript, superscript_count}, false,
        entry_font);
    write_ps_end_point(angle);
    draw_ps_single_superscript(superscript, tall ? superscript_count : -superscript_count, height, angle);
}

void OVERSUBG(float x, float y, float height, int index, float angle, int count, int justification,
              std::string_view subscript, int subscript_count)
{
    const OverbarMember member = greek_member(0.01f, 0.08f, 0.05f, Scripts::subscript, "OVERSUBG, zero used");
    int entry_font = 0;
    draw_text_and_bar(member, {x, y, height, angle, {}, index, count, justification, subscript, subscript_count, {}, 0},
                      false, entry_font);
    write_ps_end_point(greek_end_degrees(angle));
    setfnt(entry_font);
    draw_ps_single_subscript(subscript, subscript_count, height, angle);
}

void OVERSUPG(float x, float y, float height, int index, float angle, int count, int justification,
              std::string_view superscript, int superscript_count)
{
    OverbarMember member = greek_member(0.05f, 0.08f, 0.05f, Scripts::superscript, "OVERSUPG, zero used");
    member.opening = "Incorrect";
    int entry_font = 0;
    const bool tall = draw_text_and_bar(
        member, {x, y, height, angle, {}, index, count, justification, {}, 0, superscript, superscript_count}, false,
        entry_font);
    write_ps_end_point(greek_end_degrees(angle));
    setfnt(entry_font);
    draw_ps_single_superscript(superscript, tall ? superscript_count : -superscript_count, height, angle);
}

void OVERSBSP(float x, float y, float height, std::string_view text, float angle, int count, int justification,
              std::string_view subscript, int subscript_count, std::string_view superscript, int superscript_count)
{
    OverbarMember member = text_member(0.12f, 0.12f, 0.02f, Scripts::both, "OVERSBSP, zero used");
    member.test_tall = false;
    int entry_font = 0;
    draw_text_and_bar(member,
                      {x, y, height, angle, text, 0, count, justification, subscript, subscript_count, superscript,
                       superscript_count},
                      false, entry_font);
    draw_ps_text(x, y, height, text, angle, count, justification);
    draw_ps_single_sub_sup(subscript, subscript_count, superscript, superscript_count, height, angle);
}

void draw_ps_overbar_greek_sub_sup(float x, float y, float height, int index, float angle, int count,
                                   int justification, std::string_view subscript, int subscript_count,
                                   std::string_view superscript, int superscript_count)
{
    const OverbarMember member = greek_member(0.07f, 0.10f, 0.07f, Scripts::both, "txtout, zero used");
    int entry_font = 0;
    const bool tall = draw_text_and_bar(member,
                                        {x, y, height, angle, {}, index, count, justification, subscript,
                                         subscript_count, superscript, superscript_count},
                                        true, entry_font);
    setfnt(entry_font);
    grksym(x, y, height, index, angle, count, justification);
    draw_ps_single_superscript(superscript, tall ? superscript_count : -superscript_count, height, angle);
    if (x == PS_CONTINUE || y == PS_CONTINUE) ps_line("/Xpres Xpbeg def /Ypres Ypbeg def");
    grksym(x, y, height, index, angle, count, justification);
    draw_ps_single_subscript(subscript, subscript_count, height, angle);
}
