// The viewer's settings key: the label font and colour, the background colour
// and the bond delta as typed.
#pragma once

#include "keldana/viewer/viewer_state.h"

#include <string>

inline constexpr const char* VIEWER_KEY = "Software\\Orvo\\Keldana\\Viewer";
inline constexpr int MAX_FACE_NAME_LENGTH = 32;
inline constexpr int MAX_BOND_DELTA_TEXT = 20;

// Reads "FaceName", "Height", "Width", "Italic", "CharSet", "fntColor" and
// "bkColor"; a missing value leaves its field as it was.  "Italic" and
// "CharSet" each hold four bytes of the font from their field on, so the
// later "CharSet" overrides the character set that "Italic" carried.
void read_viewer_settings(ViewerSceneState& state);

// After "Font...": "FaceName", "Height", "Width", "Italic", "fntColor", "CharSet".
void write_viewer_font_settings(const ViewerSceneState& state);
// After "Background...": "bkColor".
void write_viewer_background_setting(unsigned colour);

// The four bytes from lfItalic (italic, underline, strike-out, character
// set) and from lfCharSet (character set, output and clip precision,
// quality), lowest first.
uint32_t pack_italic_bytes(const ViewerLabelFont& font);
uint32_t pack_char_set_bytes(const ViewerLabelFont& font);
void unpack_italic_bytes(uint32_t value, ViewerLabelFont& font);
void unpack_char_set_bytes(uint32_t value, ViewerLabelFont& font);

// "bondDlt" as typed, blank when none is stored.
std::string read_bond_delta_text();
void write_bond_delta_text(const std::string& text);
