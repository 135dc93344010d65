// The data areas of the plot program: what it keeps of the open trajectory
// files, the display switches and styles, the transform of the last render,
// the view and its edits.  Each lives for the run; start_plot_program (and
// the tests) put them back to their start values with reset_plot_state.
// Item slots, atoms, critical points and user lines count from 1, as the
// slot layout of PostData does.
#pragma once

#include "common/user_interface.h"

#include <array>
#include <string>

inline constexpr int MAX_POST_ATOMS = 250;
inline constexpr int MAX_POST_CPS = 250;
inline constexpr int MAX_ITEM_SLOTS = 300;
inline constexpr int MAX_ITEM_TEXT = 100;   // characters of a label or free text
inline constexpr int MAX_USER_LINES = 250;  // committed lines and segments together
inline constexpr int FULL_BITMAP_SIDE = 2400;

// File units: the data file stays open on 10 while it is shown; the post
// file is read on 11.  A new data file is read through once, outside the
// units, before it replaces the plot.
inline constexpr int DATA_UNIT = 10;
inline constexpr int POST_UNIT = 11;

struct PlanePointF {
    float x = 0.0f, y = 0.0f;
};

struct PixelPoint {
    int x = 0, y = 0;
};

// The plot window of the data file's first record (Angstrom).
struct PlotExtents {
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
};

// Tick ranges and lengths (plane units), edited by "Axis Ticks".
struct AxisSettings {
    double major_tick_step = 0.5;
    double major_tick_length = static_cast<double>(0.16f);
    double minor_tick_length = static_cast<double>(0.08f);
    double y_step = 0.0, y_max = 0.0, y_min = 0.0;
    double x_step = 0.0, x_max = 0.0, x_min = 0.0;
};

struct PostData {
    int atom_count = 0;
    int cp_count = 0;
    int text_count = 0;  // free texts, in slots 300 down to 301 - text_count
    std::array<PlanePointF, MAX_POST_ATOMS + 1> atom_marker{};
    std::array<PlanePointF, MAX_POST_CPS + 1> cp_marker{};
    std::array<PlanePointF, MAX_ITEM_SLOTS + 1> item_position{};
    std::array<std::string, MAX_ITEM_SLOTS + 1> item_text{};  // at most MAX_ITEM_TEXT characters
    std::array<PixelPoint, MAX_ITEM_SLOTS + 1> item_pixel{};   // view pixels while edited
};

enum class PathKind { surface, bond, trajectory };  // "AS", "BP", "TP"

struct PathKindsShown {
    bool surface = true, bond = true, trajectory = true;
};

// Colours are 0x00BBGGRR.
struct StyleSettings {
    float symbol_size = 0.05f;  // half-size of the symbols, plane units
    int cp_symbol = 6;
    int atom_symbol = 4;
    int user_line_dash = 0;
    int symbol_thickness = 2;
    int user_line_width = 2;
    int frame_width = 2;
    int surface_path_width = 3;
    int bond_path_width = 3;
    int trajectory_path_width = 2;
    unsigned background_colour = 0xFFFFFF;
    unsigned symbol_colour = 0x000000;
    unsigned user_line_colour = 0xFF00FF;
    unsigned surface_path_colour = 0x0000FF;
    unsigned bond_path_colour = 0x0000FF;
    unsigned trajectory_path_colour = 0xFF0000;
    unsigned frame_colour = 0x000000;
    unsigned text_font_colour = 0;
    unsigned label_font_colour = 0;
    unsigned axis_font_colour = 0;
    bool ticks_shown = true;
    bool surface_paths_shown = true;
    bool bond_paths_shown = true;
    bool trajectory_paths_shown = true;
};

// The path kinds the style shows, and the pen width (pixels of the full
// bitmap) and colour of a kind.
struct PathStyle {
    int width = 0;
    unsigned colour = 0;
};
PathKindsShown shown_path_kinds();
PathStyle path_style(PathKind kind);

// The three fonts; the text colours are those of StyleSettings.
struct PlotFonts {
    FontChoice text_font;
    FontChoice label_font;
    FontChoice axis_font;
};

// Set by each render: pixel x = x scale + x0, pixel y = y0 - y scale.
struct PlotTransform {
    int widest_y_label = 0;
    int char_width = 0;
    int char_height = 0;
    float x0 = 0.0f, y0 = 0.0f, scale = 0.0f;
};

struct ViewState {
    int origin_x = 0, origin_y = 0;
    int mouse_x = 0, mouse_y = 0;
    int previous_x = 0, previous_y = 0;
    int selected_item = 0;
    int hit_item = 0;
    int tracking = 0;
    int draw_line_mode = 0, zoom_in_mode = 0, zoom_out_mode = 0, move_mode = 0;
    int full_width = 0, full_height = 0;
    int view_width = 0, view_height = 0;
    int zoom_divisor = 1;
    int saved_cursor = 0;  // cursor id to restore when an edit mode ends
    int view_cursor = 0;   // cursor id the view shows
};

struct UserLineStyle {
    unsigned colour = 0;
    int dash = 0;   // dashes per inch; 0 = solid
    int width = 0;  // pixels of the full bitmap
};

// Committed lines 1..line_count in plane coordinates; segments being drawn
// 1..segment_count in view pixels, segment i styled by style[line_count + i].
struct UserLines {
    int line_count = 0;
    int segment_count = 0;
    std::array<float, MAX_USER_LINES + 1> x1{}, x2{}, y1{}, y2{};
    std::array<PixelPoint, MAX_USER_LINES + 1> segment_start{}, segment_end{};
    std::array<UserLineStyle, MAX_USER_LINES + 1> style{};
};

struct DisplayOptions {
    float pixels_per_inch = 96.0f;
    int bits_per_pixel = 32;
    bool texts_shown = false;
    bool post_lines_shown = false;
    bool cp_labels_shown = false;
    bool atom_labels_shown = false;
    bool cp_positions_shown = false;
    bool atom_positions_shown = false;
    bool axis_labels_shown = true;
    bool post_loaded = false;
    bool data_open = false;
    bool draw_text_mode = false;
    bool labels_mode = false;
};

struct PlotFileDialogState {
    std::string mode;               // "DATA", "POST" or "SAVE"
    std::string initial_directory;  // offered by the next file dialog
    std::string file_title;
    std::string start_directory;    // where the program started (help file)
    std::string chosen_name;        // full path of the last accepted dialog
};

// Lengths in library inches.
struct PostScriptPageSettings {
    float left_offset = 0.5f, top_offset = 0.5f;
    float text_height = 0.0f;
    float size_factor = 0.75f;
    float page_width = 8.5f, page_height = 11.0f;
    float margin_x = 0.0f, margin_y = 0.0f;
    bool portrait = true;
    int axis_font = 12, label_font = 12, text_font = 12;
};

struct BmpExportSize {
    int width = 0, height = 0;
};

PlotExtents& plot_extents();
AxisSettings& axis_settings();
PostData& post_data();
StyleSettings& style_settings();
PlotFonts& plot_fonts();
PlotTransform& plot_transform();
ViewState& view_state();
UserLines& user_lines();
DisplayOptions& display_options();
PlotFileDialogState& plot_file_dialog_state();
PostScriptPageSettings& postscript_page_settings();
BmpExportSize& bmp_export_size();

// Every area back to its start value; the fonts get their start faces and
// heights.  Closes the file units of the plot.
void reset_plot_state();

// The fonts at start: "Courier New", text and label -48, axis -34.
PlotFonts default_plot_fonts();

// The font at the size it has on the view: its height times view width over
// full width, plus one half, truncated; a height of 0 becomes -1.
FontChoice font_at_view_size(FontChoice font);

// Text of a slot without trailing blanks.
std::string trimmed_item_text(int slot);
// The slot of free text k (1-based): 301 - k.
inline int free_text_slot(int k) { return MAX_ITEM_SLOTS + 1 - k; }
// The lowest slot a new free text may take; 0 when the slots are full.
int next_free_text_slot();
