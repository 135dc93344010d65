// The viewer's questions: the "Bond parameter" dialog and the colour and
// font pickers.
#pragma once

#include "keldana/viewer/viewer_state.h"

#include <string>

class QWidget;

// Dialog 207: the bond delta as typed.  OK stores the text as "bondDlt" and
// rebuilds the bond list; true when the user pressed OK.  A text holding no
// number is refused and the dialog stays open.
bool run_bond_parameter_dialog(QWidget* owner);
// What the dialog's box shows: the stored text, or when none is stored the
// delta in use.
std::string shown_bond_delta_text(const std::string& stored, double delta);

// The chosen colour (0x00BBGGRR), or -1 when the user cancelled.
int choose_colour(int colour);

// The font picker started from the given font and colour; true when a font
// was chosen, with the font and its colour changed.  Fields the picker does
// not show (character set, precisions, quality) are kept.
bool choose_viewer_font(ViewerLabelFont& font, unsigned& colour);
