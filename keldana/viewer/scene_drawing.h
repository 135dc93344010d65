// The viewer's OpenGL scene (fixed-function OpenGL with GLU quadrics): the
// lighting, the projection and the drawing of atoms, bonds, axes, the map
// plane, critical points and interatomic surfaces from the model, the
// critical-point list, the map frame, the bond list and the surface lists.
// Every routine here needs the viewer's context to be current.
#pragma once

#include "keldana/viewer/viewer_state.h"

#include <string>
#include <vector>

// A text of the scene, placed where the scene put it; the window paints the
// texts over the image, upright, in the label font.
struct SceneLabel {
    double x = 0, y = 0;       // start of the baseline, framebuffer pixels from the lower left corner
    double pixel_height = 0;   // 0.35 scene units at the text's depth
    double depth = 0;          // window depth (0 near .. 1 far) of the upright text
    std::string text;
    float red = 0, green = 0, blue = 0;
};

// Depth test, colour material, normalised normals, alpha blending,
// two-sided lighting with a specular material and two lights.  Light
// positions are taken through the model-view matrix current at the call.
void set_up_viewer_lighting();

// Viewport: the square of the larger side, centred (device pixels); a 50
// degree perspective; the eye 10 scene units in front of the origin.
void set_viewer_projection(int width, int height);

// Clears to the background colour and draws the scene with the current
// projection; returns the texts to paint over it.
std::vector<SceneLabel> draw_structure_scene(const ViewerSceneState& state);

// The colour the labels are drawn in (COLORREF values): the chosen label
// colour, unless it can hardly be told from the background (contrast ratio
// of their luminances below 3); then black or white, whichever stands out
// more.  The default black labels on the default black background show white.
unsigned contrasting_label_colour(unsigned label_colour, unsigned background_colour);

// An atom-type colour (packed, red in the high byte) as the scene draws it
// on the background (a COLORREF): unchanged when it stands out (contrast
// ratio at least 4.5; the shading darkens it), else moved towards white (dark
// background) or black until it does.  The dark blue of nitrogen shows on
// black.
unsigned contrasting_atom_colour(unsigned type_colour, unsigned background_colour);

// Scene units of a text's em: labels are drawn this high.
inline constexpr double VIEWER_TEXT_SCALE = 0.35;

// The drawn radius of an atom's sphere in the style (1 ball, 2 covalent,
// 3 van der Waals).
double viewer_atom_radius(const StructureModel& model, int atom, int style);

// The six-character names of critical-point types 1..4, blank for others.
std::string critical_point_type_name(int type);
