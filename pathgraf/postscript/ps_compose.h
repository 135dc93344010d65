// Composing PostScript lines inside the library: edit-descriptor fields,
// joining of pieces, escaping of PostScript strings and the console.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Fortran edit descriptors as the library writes them (gfortran layouts).
std::string ps_f(double value, int width, int decimals);  // Fw.d
std::string ps_i(long long value, int width);              // Iw
std::string ps_e(double value, int width, int decimals);   // Ew.d
// A number written with Iw and stripped of its blanks.
std::string ps_squeezed_i(long long value, int width);

// The command buffer as a line under composition.
void ps_begin_line();
// Appends the piece as it stands (literal texts and fields of one record).
void ps_put(std::string_view piece);
// Appends the piece after the buffer's last non-blank character and one
// blank, the piece without its trailing blanks.
void ps_join(std::string_view piece);
void ps_end_line();
// One whole line.
void ps_line(std::string_view text);

// Coordinates in library inches times the page factor.
float ps_scaled(float inches);

// The first n characters of an 80-character text field (blank-padded),
// n limited to 80.
std::string ps_text_prefix(std::string_view text, int n);
// The text with a backslash before every backslash, "(" and ")".
std::string ps_escape(std::string_view text);
// The 32-bit integer of a text's first word (count -999 mode).
std::int32_t ps_first_word(std::string_view text);

// Font size in points for a text height in library inches.
int ps_font_size(float height);

// Writes a line to the process's standard output (the library's console).
void ps_console_line(const std::string& line);
// A list-directed item of a single-precision real as gfortran writes it.
std::string ps_list_real(float value);
// A list-directed item of an integer.
std::string ps_list_int(long long value);

// Records a failure that would have ended the program: the message goes to
// the console, the failure to PsOutputState.
void ps_record_failure(const std::string& console_line);
