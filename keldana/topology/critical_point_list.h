// The critical points found by the searches, kept for bond paths, basins,
// the viewer and the critical-point file written at exit.
#pragma once

#include <array>

constexpr int MAX_CRITICAL_POINTS = 1000;

struct CriticalPoint {
    double x = 0, y = 0, z = 0;  // Angstrom
    int type = 0;                // 1 (3,-3), 2 (3,-1), 3 (3,+1), 4 (3,+3)
    int atom1 = 0, atom2 = 0;    // the two nearest working atoms
    int property_code = 3;       // property the point was searched in
};

struct CriticalPointList {
    int cp_count = 0;
    std::array<CriticalPoint, MAX_CRITICAL_POINTS + 1> points{};  // 1-based
};

CriticalPointList& critical_point_list();
