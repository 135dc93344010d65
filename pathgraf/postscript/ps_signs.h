// Special signs of the Symbol font: plus-minus, prime, summation and
// integral (the last two with optional limit texts), drawn at a point or
// after the previous text (999) and followed by the current font again.
#pragma once

#include <string_view>

void PLSMIN(float x, float y, float height, float angle, int justification);
void PRIME(float x, float y, float height, float angle, int justification);
// Limit texts as draw_ps_text takes them; a count of 0 omits a limit, -999
// draws a character code in the Symbol font.
void SIGMA(float x, float y, float height, float angle, std::string_view lower_text, int lower_count,
           std::string_view upper_text, int upper_count);
void integral(float x, float y, float height, float angle, std::string_view lower_text, int lower_count,
              std::string_view upper_text, int upper_count);
