// Greek letters of the Symbol font and the one-half sign, each drawn as one
// character placed like draw_ps_text, after which the current font returns.
#pragma once

#include <string>
#include <string_view>

// Symbol-font characters of the Greek letters 1..50 (capitals alpha to
// omega, then the small letters), blank from 51 to 80.
constexpr std::string_view GREEK_LETTERS =
    "ABGDEZHQIKLMNXOPRSTUFCYWabgdezhJiklmnxoprstujcywqf                              ";

// The PostScript string of Greek letter k: the letter, "\241" for the capital
// upsilon, a blank outside 1..80.
std::string greek_letter_string(int k);

// count only switches modes: negative = left-justified, -1 = centred.
void grksym(float x, float y, float height, int k, float angle, int count, int justification);
void ONEHLF(float x, float y, float height, float angle, int justification);
