// Subscripts and superscripts set after the end of the text drawn before
// them, at 0.75 of its height, leaving the end point on the main baseline.
#pragma once

#include <span>
#include <string>
#include <string_view>

// List forms: one entry per script with its font (29 and 35 take a
// character code, see ps_character_code), text and count.
void draw_ps_text_subscript(int n, std::span<const int> fonts, std::span<const std::string> texts,
                            std::span<const int> counts, float height, float angle);
void draw_ps_text_superscript(int n, std::span<const int> fonts, std::span<const std::string> texts,
                              std::span<const int> counts, float height, float angle);
void draw_ps_text_sub_sup(int n_subscripts, std::span<const int> subscript_fonts,
                          std::span<const std::string> subscript_texts, std::span<const int> subscript_counts,
                          int n_superscripts, std::span<const int> superscript_fonts,
                          std::span<const std::string> superscript_texts, std::span<const int> superscript_counts,
                          float height, float angle);

// Single forms in the current font; a text of one apostrophe is drawn as the
// prime of the Symbol font.
void draw_ps_single_subscript(std::string_view text, int count, float height, float angle);
void draw_ps_single_superscript(std::string_view text, int count, float height, float angle);
void draw_ps_single_sub_sup(std::string_view subscript_text, int subscript_count, std::string_view superscript_text,
                            int superscript_count, float height, float angle);
