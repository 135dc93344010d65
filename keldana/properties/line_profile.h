// The property along a line: the active property at evenly spaced points
// from one point to another, reported as a table (listing file and text
// pane) and kept for the plot of the line-profile dialog, with the plot's
// ranges and its layout in pixels.
#pragma once

#include "keldana/density/numeric_helpers.h"

#include <array>
#include <string>
#include <vector>

inline constexpr int MAX_PROFILE_POINTS = 1001;

struct LineProfile {
    std::array<double, MAX_PROFILE_POINTS + 1> profile_value{};  // points 1..n
    double profile_min = 0, profile_max = 0;  // the Y range of the plot
    double profile_step = 0;                  // between neighbouring points (Angstrom)
    double profile_length = 0;                // covered by the plotted index range (Angstrom)
};

LineProfile& line_profile();

// One profile being computed.
struct LineProfileRun {
    Vector3 point{};      // the next point (Cartesian, Angstrom)
    Vector3 increment{};  // from one point to the next
    double distance = 0;  // of the next point from the first, as reported
    int count = 0;        // points of the profile
    int next = 1;         // the next point's number
    // Values of points ahead_first.. evaluated ahead on worker threads.
    std::vector<double> ahead;
    int ahead_first = 0;
};

// Starts a profile of `count` points (limited to 1..1001) from p1 to p2 for
// property `code`: LineProfile restarts at zero (step, length and the range
// of the new profile), the first point lies 0.0001 of a step beyond p1 (p1
// itself for one point), and the report head goes to the listing file and
// the text pane.
LineProfileRun start_line_profile(const Vector3& p1, const Vector3& p2, int count, int code);

// Computes point run.next, keeps it in LineProfile (the Y range follows it
// within -1e9..1e9 and always includes 0), reports its line and moves on.
// False when every point is done.
bool compute_next_line_profile_point(LineProfileRun& run, int code);

// "Refresh" with the index range first..last and a typed Y range: the range
// becomes the typed one, cut to the values first..last and 0, and the length
// covered follows the index range.  False, with nothing changed, unless 1 <=
// first < last <= 1001.
bool apply_line_profile_ranges(int first, int last, double y_min, double y_max);

// Where the profile's plot goes in a client area of width x height pixels:
// the plot area from (25, 5) to (width - 25, height - 20), the zero row (when
// it falls inside), the points first..last, and five distance labels below.
struct LineProfilePlot {
    int left = 25, top = 5, width = 0, height = 0;  // the plot area
    bool has_curve = false;                         // first < last and a non-empty range
    int zero_row = -1;                              // -1: the zero line is not drawn
    std::vector<std::array<int, 2>> points;         // x, y of points first..last
    std::array<int, 5> label_x{};
    std::array<std::string, 5> labels;              // (F6.3), left-adjusted
};

LineProfilePlot layout_line_profile_plot(int first, int last, int client_width, int client_height);
