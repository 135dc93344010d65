// Operations on fixed-length, blank-padded text fields (labels, input records,
// dialog texts).  Each works in place on the whole field; characters are
// compared as unsigned bytes and every code up to 32 counts as a blank.
#pragma once

#include <span>
#include <string>
#include <string_view>

// Position (1-based) of the last non-blank character, 0 when there is none.
// When 0 < k < length the field is also zero-terminated at k + 1 and blanked
// after it, ready for system calls.
int get_trimmed_length(std::span<char> text);

// Blanks every character other than the digits and "." (signs included) and
// reads the first number left, free format.  False, with value unchanged, when
// no number is left or the first one is malformed (e.g. "." or "1.2.3").
bool parse_real_ignoring_letters(std::span<char> text, double& value);

// count: characters "1".."9" in the field; offset: characters before the
// leftmost of them (0 when there is none).
void count_nonzero_digits(std::span<const char> text, int& count, int& offset);

// Replaces the field by its first word, left-aligned and blank-padded, and
// gives that word's length (0 for a blank field).  Only the first 80
// characters take part.
void left_adjust_first_word(std::span<char> text, int& word_length);

void convert_to_upper_case(std::span<char> text);
void convert_to_lower_case(std::span<char> text);

// Every character other than "-", "." and the digits becomes a blank.
void blank_non_numeric_characters(std::span<char> text);

// Moving text in and out of fixed fields: set_text_field copies text into the
// field, blank-padded or cut at its length; text_field_string gives the field
// without its trailing blanks (codes up to 32), the field left unchanged.
void set_text_field(std::span<char> field, std::string_view text);
std::string text_field_string(std::span<const char> field);
