// Pieces that the library's text routines share: the size line, the origin
// lines with the 999 continuation, the justification check, the width and
// show pieces and the end-point line.
#pragma once

#include <string>
#include <string_view>

// The angle in radians as the text routines compute it (single precision).
float ps_text_theta(float angle);
// Back to degrees for the "Xyprset" line.
float ps_text_degrees(float theta);

// Writes "n Setf" when the size differs from the one in force (and remembers it).
void write_ps_size_if_changed(int size);
// Writes the X and Y origin lines ("/Xpos Xpres def" for 999, which forces
// justification 0, else the coordinate with "Xposd").
void write_ps_origin_lines(float x, float y, int& justification);
// Reports a justification outside 0..2 on the console and makes it 0.
// opening is "incorrect" or "Incorrect"; routine e.g. "TXTOUT, zero used".
void check_ps_justification(int& justification, std::string_view opening, std::string_view routine);
// Appends the justification pieces to the line under composition; with
// always set they are written also when zero.
void join_ps_justification(int justification, float c, float s, bool always);
// Appends the centring pieces of count -1 (a one-character symbol centred
// on the point); with always set they are written also when zero.
void join_ps_centring(float height, float c, float s, bool always);
// Appends "xydef mover", the rotation, the string and the show word, and
// the rotation back.
void join_ps_show(std::string_view string, float angle, std::string_view show_word);
// The end-point line: angle (degrees) with " Xyprset" (or " Xyprset0").
void write_ps_end_point(float degrees, std::string_view word = " Xyprset");
// "/Symbol findfont n scalefont setfont" (and the same for another font name).
void write_ps_font_scale_line(std::string_view font, int size);

// The behaviour that sets draw_ps_text and its variants apart.
struct PsTextStyle {
    bool leading_stroke = true;  // write "S" first
    bool code_mode = true;       // count -999 takes a character code
    std::string_view show_word = "show";
    std::string_view opening = "incorrect";
    std::string_view routine = "TXTOUT, zero used";
};
void draw_ps_text_styled(float x, float y, float height, std::string_view text, float angle, int count,
                         int justification, const PsTextStyle& style);
// The output text of a count: the code word of -999 in code mode, else the
// first |count| characters escaped.
std::string ps_output_text(std::string_view text, int count, bool code_mode);
