// What the structure viewer keeps: the scene switches, the transform of the
// scene and the mouse, kept from one opening of the viewer to the next, and
// the arithmetic that moves the scene (mouse drags, the Move menu, the first
// centring, the square viewport).
#pragma once

#include "keldana/model/model_store.h"

#include <cstdint>
#include <string>
#include <vector>

class StructureViewer;

// The label font as the settings keep it (the LOGFONT fields the viewer uses).
struct ViewerLabelFont {
    std::string face_name;  // at most 32 characters
    int height = 0;         // negative: character height in pixels
    int width = 0;
    int weight = 0;         // 0: normal
    uint8_t italic = 0, underline = 0, strike_out = 0, char_set = 0;
    uint8_t out_precision = 0, clip_precision = 0, quality = 0;
};

inline constexpr int ATOM_STYLE_BALL = 1;
inline constexpr int ATOM_STYLE_COVALENT = 2;
inline constexpr int ATOM_STYLE_VAN_DER_WAALS = 3;

inline constexpr int DRAG_NONE = 0;
inline constexpr int DRAG_TRANSLATE = 1;
inline constexpr int DRAG_ROTATE = 2;
inline constexpr int DRAG_ZOOM = 3;

struct ViewerSceneState {
    bool axis_shown = false;
    bool atoms_shown = false;
    bool bonds_shown = false;
    bool plane_shown = false;
    bool atom_labels_shown = false;
    bool atom_numbers_shown = false;
    bool cps_shown = false;
    bool cp_type_labels_shown = false;
    bool ias_shown = false;
    bool ias_as_points = false;
    bool ias_as_surface = false;
    int atom_style = 0;  // ATOM_STYLE_*
    // Scene units, and degrees within -360..360.
    float shift_x = 0, shift_y = 0, zoom = 0;
    float rot_x = 0, rot_y = 0, rot_z = 0;
    // The point of the structure the scene turns about and the view centres
    // on: the middle of its bounding sphere (Cartesian, Angstrom).
    float centre_x = 0, centre_y = 0, centre_z = 0;
    unsigned background_colour = 0;  // 0x00BBGGRR
    unsigned label_colour = 0;       // 0x00BBGGRR
    ViewerLabelFont label_font;
    int mouse_x = 0, mouse_y = 0, mouse_z = 0;  // last positions; z follows Ctrl+left drags
    int drag_mode = DRAG_NONE;
};

// The program's scene state: zero at start, kept while the program runs.
ViewerSceneState& viewer_scene_state();

// The open viewer window, nullptr while the viewer is closed.
struct ViewerWindowState {
    StructureViewer* viewer = nullptr;
};
ViewerWindowState& viewer_window_state();

// Mode 1 moves (0.01 scene units a pixel, y up), mode 2 turns (0.36 degrees a
// pixel: dy about x, dx about y, dz about z), mode 3 zooms (0.02 (dx - dy)).
void apply_viewer_mouse_drag(ViewerSceneState& state, int mode, int old_x, int new_x, int old_y, int new_y,
                             int old_z, int new_z);

// Buttons and keys held during a mouse event.
struct ViewerMouseKeys {
    bool left = false, right = false, control = false, shift = false;
};

// A button went down (left_button: which one) at (x, y).  Ctrl with the left
// button alone drives z by x; both buttons zoom, the left turns, the right
// moves.
void press_viewer_mouse(ViewerSceneState& state, bool left_button, const ViewerMouseKeys& keys, int x, int y);
void release_viewer_mouse(ViewerSceneState& state);
// True when the move changed the scene (a drag is on).
bool move_viewer_mouse(ViewerSceneState& state, const ViewerMouseKeys& keys, int x, int y);

// The Rotation, Move and Zoom commands of the Move menu; false for any other
// command id.
bool step_viewer_view(ViewerSceneState& state, int command);

// How far an atom reaches from its centre in the view: its sphere, and its
// upright label beside it (to the right and up, scene units).
struct AtomReach {
    double radius = 0;
    double label_right = 0;
    double label_top = 0;
};

// The first view of a structure: the scene turns about the middle of the
// box around the subset atoms; seen in the current rotation, the atoms with
// their reach (reach[i] for atom i) are centred in the view and moved back
// until they fit a width x height window with a margin.  The rotation is
// kept.  False, nothing changed, when no atom is in the subset.
bool fit_viewer_scene(ViewerSceneState& state, const WorkingAtomSet& atoms, const std::vector<AtomReach>& reach,
                      int width, int height);

// The viewport is the square of the larger side, centred on the window.
struct ViewerViewport {
    int x0 = 0, y0 = 0, side = 0;
};
ViewerViewport compute_viewer_viewport(int width, int height);

// Field width of atom numbers: 1 up to 9, 2 up to 99, ... 5 above 9999.
int count_decimal_digits(int n);

// A packed colour split into bytes / 255, highest of the low three first
// (atom-type colours give red, green, blue; a COLORREF gives blue, green, red).
void convert_colour_to_rgb(unsigned colour, float& first, float& second, float& third);
