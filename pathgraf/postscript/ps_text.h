// The main text routine and the number labels.  Text arguments are
// 80-character fields (shorter texts count as blank-padded); count tells how
// many characters are drawn: negative = left-justified, -1 = one character
// centred on the point, -999 = the first word holds a character code (see
// ps_character_code).  Justification 0 starts at the point, 1 centres, 2 ends
// there.  x or y of 999 continues where the previous text ended.
#pragma once

#include <string>
#include <string_view>

void draw_ps_text(float x, float y, float height, std::string_view text, float angle, int count, int justification);

// Turns a value into text: fixed-point with ndec decimals (ndec < 0: no
// decimals and no point; 0: the point kept), or exponential.  False (with
// the console line) when ndec is above 15, or negative for exponential.
bool numsym(float value, int ndec, std::string& text, int& count, bool exponential);

// numsym then draw_ps_text; false when numsym refused the decimals.
bool draw_ps_number_fixed(float x, float y, float height, float value, float angle, int ndec, int justification);
bool draw_ps_number_fixed_twin(float x, float y, float height, float value, float angle, int ndec, int justification);
bool draw_ps_number_exponential(float x, float y, float height, float value, float angle, int ndec, int justification);
bool draw_ps_number_fixed_left(float x, float y, float height, float value, float angle, int ndec);
