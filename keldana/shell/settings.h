// Keldana's settings in the user's configuration: calculation parameters,
// paths and the text pane's font.
#pragma once

#include "common/user_interface.h"

#include <optional>
#include <string>

inline constexpr const char* OPTIONS_KEY = "Software\\Orvo\\Keldana\\Options";
inline constexpr const char* FONT_KEY = "Software\\Orvo\\Keldana\\Font";

// Reads the stored settings into CalculationSettings, PathSettings, the
// kinetic-energy coefficients and the text pane's font; missing or zero
// numbers fall back to the program's defaults, other missing values leave
// their fields as they were.  Sets the working directory and gives the font
// to the main window's text pane.
void load_settings_from_registry();

// The text pane's font as stored (face name empty when none is stored).
FontChoice stored_text_pane_font();

// The text pane's font of the run: loaded with the settings, written by
// "Set as defaults" of the Options dialog.
FontChoice& text_pane_font();

// At exit: "WorkDir" := the working directory when "Use last directory" is on.
void save_working_directory_at_exit();

// Reads a stored number: every character that is not a digit or "." is
// dropped first, so "1.0E-5" reads as 1.0.  Nothing when no number is left.
std::optional<double> parse_stored_number(const std::string& text);

// The text to store for a number typed as box_text and read as value: the
// trimmed text when it reads back as value by the rule above, else the
// plainest decimal form of value (so "1e-5" is stored as "0.00001").
std::string stored_number_text(const std::string& box_text, double value);

// What "Set as defaults" stores in the "Options" key: the number texts as
// typed, the whole numbers and the three paths.
struct StoredOptions {
    std::string eps, Scale, rCut, ds, dr, elambda, coeff;
    int nStep = 0, lPole = 0, lwdir = 0;
    std::string converter_path, wavefun_bank_path, work_dir;
};
void save_options_to_registry(const StoredOptions& options);

// Writes the "Font" key: the font's height, width and byte fields as the
// fields of a Windows LOGFONT (each byte field as a DWORD whose upper bytes
// are the bytes that follow it), the text colour and the face name.
void save_text_pane_font_to_registry(const FontChoice& font);
