#include "pathgraf/postscript/ps_page.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

#include "common/file_units.h"
#include "common/safe_write.h"
#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_compose.h"
#include "pathgraf/postscript/ps_contour_levels.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_text_variants.h"

namespace {

// Prolog lines 8 to 50 and 52 to 107; line 51 carries the page factor.
constexpr std::array<std::string_view, 43> PROLOG_HEAD = {
    "%%BeginProlog",
    "/inch {71 mul} bind def",
    "/Ah {moveto lineto lineto stroke} def",
    "/Ar {moveto 2 copy lineto 4 -2 roll",
    "     moveto lineto lineto stroke } def",
    "/arcit {S /A2 exch def /A1 exch def /Rad exch def",
    "        /Yc exch def /Xc exch def",
    "        Xc Rad A1 cos mul add Yc Rad A1 sin mul add",
    "        moveto newpath",
    "        Xc Yc Rad A1 A2 arc stroke} def",
    "/C {/Rad exch def /Yc exch def /Xc exch def",
    "         Xc Yc Rad 0 360 arc closepath",
    "        } def",
    "/c0sf {closepath 0 setgray fill} def",
    "/cf {closepath fill} def",
    "/Cs {closepath stroke} def",
    "/Cln {newpath 3 1 roll",
    "      moveto {lineto} repeat clip newpath",
    "     } def",
    "/Cs {closepath stroke} def",
    "/Fb {newpath moveto ",
    " Dx 0 rlineto 0 Dy rlineto Dx neg 0 rlineto closepath",
    " fill } def",
    "/Fbn { newpath 3 1 roll moveto {lineto} repeat",
    "       closepath fill } def",
    "/Fbnc { newpath 3 1 roll moveto",
    "       {lineto} repeat closepath fill } def",
    "/L /lineto load def",
    "/Lend {/Strlen exch stringwidth pop def} def",
    "/Lendi {/Strlen exch stringwidth pop 1.5 mul def} def",
    "/Lends {/Strlen exch stringwidth pop 1.1 mul def} def",
    "/Lenssd {/Strlenss exch stringwidth pop 3 mul 4 div def} def",
    "/LSM {2 copy lineto stroke moveto} def",
    "/lsm {Xp Yp lineto stroke mover} def",
    "/M /moveto load def",
    "/mover {Xp Yp moveto} def",
    "/Np {newpath} def",
    "/S /stroke load def",
    "/Sc {setrgbcolor} def",
    "/Sg {setgray} def",
    "/Setf {Curfnt exch scalefont setfont} def",
    "/SM {stroke moveto} def",
    "/sm {stroke mover} def",
};

constexpr std::array<std::string_view, 56> PROLOG_TAIL = {
    "/Slw0 {.24 setlinewidth} bind def",
    "%Line Breaking Procedure",
    "/TurnLineFL",
    "   { /T exch def /spacewidth space stringwidth pop def",
    "     /currentw 0 def /wordspace_count 0 def",
    "     /restart 0 def  /remainder T def",
    "     {remainder space search",
    "       {/nextword exch def pop",
    "        /remainder exch def",
    "        /nextwordwidth nextword stringwidth pop def",
    "        currentw nextwordwidth add lw gt",
    "        {T restart wordspace_count restart sub",
    "         getinterval showline",
    "         /restart wordspace_count def",
    "         /currentw nextwordwidth spacewidth add def",
    "        }",
    "        {/currentw currentw nextwordwidth add",
    "         spacewidth add def",
    "        } ",
    "        ifelse",
    "        /wordspace_count wordspace_count",
    "        nextword length add 1 add def",
    "       }",
    "       {pop exit}",
    "       ifelse",
    "     } loop",
    "     /lrem remainder stringwidth pop def",
    "     currentw lrem add lw gt",
    "     {T restart wordspace_count restart sub ",
    "      getinterval showline remainder showline}",
    "     {/lastchar T length def",
    "      T restart lastchar restart sub getinterval ",
    "      lm y moveto show}",
    "     ifelse",
    "   } def",
    " /parms {/y exch def /lm exch def /rm exch def",
    "         /leading exch def /pointsize exch def",
    "         /lw rm lm sub def",
    "         findfont pointsize scalefont setfont ",
    "         /showline {lm y moveto show",
    "         /y y leading sub def} def",
    "         lm y moveto } def",
    "/Xposd {/Xpos exch def} def",
    "/Xposjd  {/Xpos exch Xpos exch Strlen mul sub def} def",
    "/xydef {/Xp Xpos def /Yp Ypos def} def",
    "%/Xypd {/Yp exch def /Xp exch def} def",
    "/Xypos0d {/Xpos0 Xpres def /Ypos0 Ypres def} def",
    "/Xyprset {dup /Xpres exch cos Strlen mul Xpos add def",
    "              /Ypres exch sin Strlen mul Ypos add def} def",
    "/Xyprset0 {dup /Xpres exch cos Strlen mul Xpos0 add def",
    "               /Ypres exch sin Strlen mul Ypos0 add def} def",
    "/Yposd {/Ypos exch def} def",
    "/Yposjd  {/Ypos exch Ypos exch Strlen mul sub def} def",
    "/space ( ) def",
    "%%EndProlog",
    "%%Page: 1 1",
};

// Ends the open file: keep puts the lines written over the target (a file
// whose writes failed is not put: the old one stays), otherwise the new
// lines are dropped.  A lost file is reported over any earlier failure,
// since it is what the user must learn.
void close_ps_file(bool keep)
{
    PsOutputState& state = ps_output_state();
    const std::shared_ptr<SafeWrite> file = std::move(state.file);
    const bool was_open = state.file_open;
    state.file_open = false;
    if (!was_open || !file) return;
    if (!keep) {
        file->discard();
        return;
    }
    if (!file->commit()) {
        state.failed = true;
        state.error_text = file->error();
        ps_console_line(" " + file->error());
    }
}

// A clock text: a blank first character (the clock gave nothing) becomes "0".
std::string clock_text(std::string text)
{
    if (!text.empty() && text[0] == ' ') text[0] = '0';
    return text;
}

void write_header_and_prolog()
{
    const PsOutputState& state = ps_output_state();
    ps_line("%!PS-Adobe-3.0");
    ps_begin_line();
    ps_put("%%Title: ");
    ps_put(std::string_view(state.file_name).substr(0, static_cast<std::size_t>(find_last_nonblank(state.file_name))));
    ps_end_line();

    const PsClockTime t = read_ps_clock();
    char date[32];
    char time[32];
    std::snprintf(date, sizeof date, "%04d%02d%02d ", t.year, t.month, t.day);
    std::snprintf(time, sizeof time, "%02d%02d%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
    ps_begin_line();
    ps_put("%%CreationDate: ");
    ps_put(clock_text(std::string(date).substr(0, 9)));
    ps_put(" ");
    ps_put(clock_text(std::string(time).substr(0, 10)));
    ps_end_line();

    ps_line("%%Creator: Pathgraf PostScript Plotting Library");
    ps_line("%%Pages: (atend)");
    ps_line("%%EndComments");
    ps_line("% Pathgraf PostScript plotting library, written for the Pathgraf plot program");
    for (std::string_view line : PROLOG_HEAD) ps_line(line);
    ps_begin_line();
    ps_put("/Slw {");
    ps_put(ps_f(state.page_factor, 7, 4));
    ps_put(" mul setlinewidth} def");
    ps_end_line();
    for (std::string_view line : PROLOG_TAIL) ps_line(line);
}

// The grey line of a page's set-up.
void write_black_grey()
{
    ps_begin_line();
    ps_put(ps_f(0.0, 7, 3));
    ps_put(" Sg");
    ps_end_line();
    ps_graphics_state().grey = 0.0f;
}

void write_landscape_turn() { ps_line("90 rotate 0 -8.5 inch translate "); }

void write_pen_line(float x, float y, std::string_view word)
{
    ps_begin_line();
    ps_put(ps_f(ps_scaled(x), 8, 2));
    ps_put(ps_f(ps_scaled(y), 8, 2));
    ps_put(word);
    ps_end_line();
}

void finish_plot()
{
    PsOutputState& state = ps_output_state();
    ps_line("stroke showpage");
    ps_line("%%Trailer");
    ps_begin_line();
    ps_put("%%Pages: ");
    ps_put(ps_squeezed_i(state.page_number, 6));
    ps_end_line();
    ps_line("%%EOF");
    close_ps_file(true);
}

}  // namespace

bool open_ps_file_and_write_prolog(bool portrait)
{
    PsOutputState& state = ps_output_state();
    PsGraphicsState& graphics = ps_graphics_state();
    ContourState& contour = contour_state();
    contour.missing_flag = 0;
    contour.missing_value = 0.0f;
    ps_text_box_counters() = PsTextBoxCounters{};  // the box routines define Fwidth in each file
    state.portrait = portrait;
    state.page_factor = 71.0f;
    state.page_number = 1;
    if (state.name_flag == 0) {
        state.file_name = "plot.ps";
        state.file_name.resize(PS_FILE_NAME_LENGTH, ' ');
        state.file_path = "plot.ps";
        state.name_flag = 1;
    } else if (state.name_flag == 999) {
        state.name_flag = 1;
    }
    close_ps_file(true);  // a plot left unfinished: kept as it stands
    state.failed = false;
    state.error_text.clear();
    state.unit = PS_FIRST_UNIT;
    while (is_unit_open(state.unit)) ++state.unit;

    // The file is opened by its whole name, however long; only the title
    // line is held to 80 characters.
    const std::string& name = state.file_path;
    std::string refusal;
    std::error_code ec;
    if (name.empty())
        refusal = "No PostScript file name given";
    else if (std::filesystem::is_directory(name, ec))
        refusal = "Can not write file " + name + ": it is a folder";
    std::shared_ptr<SafeWrite> file;
    if (refusal.empty()) {
        file = std::make_shared<SafeWrite>(name);
        if (!file->is_open()) refusal = file->error();
    }
    if (!refusal.empty()) {
        state.failed = true;
        state.error_text = refusal;
        ps_console_line(" " + refusal);
        return false;
    }
    state.file = std::move(file);
    state.file_open = true;

    write_header_and_prolog();
    graphics.height_factor = 0.6f;
    graphics.font_size = 12;
    setfnt(20);
    state.scale = 1.0f;
    set_ps_scale(1.0f);
    ps_line("Slw0");
    graphics.line_width = 0.0f;
    write_black_grey();
    set_ps_rgb_color(0.0f, 0.0f, 0.0f);
    if (!portrait) write_landscape_turn();
    const float d = 18.034f / state.page_factor;
    plot_ps_pen(d, d, -3);
    if (portrait) plot_ps_pen(d, 0.0f, -3);
    else plot_ps_pen(0.0f, d, -3);
    return true;
}

void plot_ps_pen(float x, float y, int code)
{
    if (code == 999) {
        finish_plot();
        return;
    }
    write_pen_line(x, y, (code == 3 || code == -3) ? " SM" : " LSM");
    if (code < 0) write_pen_line(x, y, " translate");
}

bool end_ps_plot()
{
    finish_plot();
    return !ps_output_state().failed;
}

void discard_ps_plot()
{
    close_ps_file(false);
}

void chopit(float x, float y)
{
    PsOutputState& state = ps_output_state();
    if (!state.portrait) ps_line("0 8.5 inch translate -90 rotate");
    ps_line("%----------------chopit");
    ps_line("stroke showpage");
    state.page_number += 1;
    const std::string number = ps_squeezed_i(state.page_number, 4);
    ps_line("%%Page: " + number + " " + number);
    ps_line("newpath 0 0 moveto");
    state.name_flag += 1;
    const float kept_scale = state.scale;
    state.page_change_flag = 999;
    set_ps_orientation(state.portrait);
    plot_ps_pen(x, y, -3);
    set_ps_scale(kept_scale);
}

void set_ps_orientation(bool portrait)
{
    PsOutputState& state = ps_output_state();
    PsGraphicsState& graphics = ps_graphics_state();
    graphics.height_factor = 0.6f;
    graphics.font_size = 12;
    setfnt(state.page_change_flag == 999 ? graphics.font_number : 20);
    state.scale = 1.0f;
    set_ps_scale(1.0f);
    ps_line("Slw0");
    graphics.line_width = 0.0f;
    write_black_grey();
    set_ps_rgb_color(0.0f, 0.0f, 0.0f);
    if (!portrait) write_landscape_turn();
    const float e = 17.75f / state.page_factor;
    plot_ps_pen(e, e, -3);
    if (portrait) plot_ps_pen(e, 0.0f, -3);
    else plot_ps_pen(0.0f, e, -3);
}

void set_ps_scale(float s)
{
    PsOutputState& state = ps_output_state();
    const float undo = state.scale != 0.0f ? 1.0f / state.scale : 1.0f;
    ps_line(ps_f(undo, 7, 3) + ps_f(undo, 7, 3) + " scale");
    state.scale = s;
    ps_line(ps_f(s, 7, 3) + ps_f(s, 7, 3) + " scale");
}

void rotate_ps_axes(float angle) { ps_line(ps_f(angle, 8, 2) + " rotate"); }

void reset_postscript_library()
{
    close_ps_file(true);
    PsOutputState& state = ps_output_state();
    state = PsOutputState{};
    ps_command_buffer() = PsCommandBuffer{};
    ps_graphics_state() = PsGraphicsState{};
    ps_text_box_counters() = PsTextBoxCounters{};
    reset_contour_records();
}
