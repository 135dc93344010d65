// The MAP command (30022): the modal dialog "MAP - Compute property on a 2D
// or 3D grid" with its five pages.  The user defines the plane on "ATOMS" or
// "BASIS VECTORS" ("Ok"), chooses the map type, centre and shift on "MAP TYPE
// AND CENTRE" ("Calculate Plane"), then the window and grid on "GRID" or the
// trajectory settings on "TRAJECTORY" ("Calculate Map", as often as wanted).
// The command menus stay greyed while the dialog is open.
#pragma once

class QWidget;

void run_map_dialog(QWidget* owner = nullptr);
