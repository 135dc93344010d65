// Texts and Greek letters with a bar over them, optionally followed by a
// subscript, a superscript or both.  Texts, counts and placement as for
// draw_ps_text; a Greek letter is chosen by its index in GREEK_LETTERS.
#pragma once

#include <string_view>

void OVERBAR(float x, float y, float height, std::string_view text, float angle, int count, int justification);
void OVRGRK(float x, float y, float height, int index, float angle, int count, int justification);
void draw_ps_overbar_text_sub(float x, float y, float height, std::string_view text, float angle, int count,
                              int justification, std::string_view subscript, int subscript_count);
void OVERSUP(float x, float y, float height, std::string_view text, float angle, int count, int justification,
             std::string_view superscript, int superscript_count);
void OVERSUBG(float x, float y, float height, int index, float angle, int count, int justification,
              std::string_view subscript, int subscript_count);
void OVERSUPG(float x, float y, float height, int index, float angle, int count, int justification,
              std::string_view superscript, int superscript_count);
void OVERSBSP(float x, float y, float height, std::string_view text, float angle, int count, int justification,
              std::string_view subscript, int subscript_count, std::string_view superscript, int superscript_count);
void draw_ps_overbar_greek_sub_sup(float x, float y, float height, int index, float angle, int count,
                                   int justification, std::string_view subscript, int subscript_count,
                                   std::string_view superscript, int superscript_count);
