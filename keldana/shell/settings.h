// Keldana's settings in the user's configuration: calculation parameters,
// paths and the text pane's font.
#pragma once

#include "common/user_interface.h"

inline constexpr const char* OPTIONS_KEY = "Software\\Orvo\\Keldana\\Options";
inline constexpr const char* FONT_KEY = "Software\\Orvo\\Keldana\\Font";

// Reads the stored settings into CalculationSettings, PathSettings and the
// kinetic-energy coefficients; missing or zero numbers fall back to the
// program's defaults.  Sets the working directory.
void load_settings_from_registry();

// The text pane's font as stored (face name empty when none is stored).
FontChoice stored_text_pane_font();

// At exit: "WorkDir" := the working directory when "Use last directory" is on.
void save_working_directory_at_exit();

// Reads a stored number: every character that is not a digit or "." is
// dropped first, so "1.0E-5" reads as 1.0.  Nothing when no number is left.
std::optional<double> parse_stored_number(const std::string& text);
