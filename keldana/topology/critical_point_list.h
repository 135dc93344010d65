// The critical points found by the searches, kept for bond paths, basins,
// the viewer and the critical-point file written at exit.
#pragma once

#include "keldana/model/model_store.h"

#include <array>

constexpr int MAX_CRITICAL_POINTS = 1000;

// Two points closer than this (Angstrom) are the same critical point.
constexpr double SAME_CRITICAL_POINT_DISTANCE = 0.01;

struct CriticalPoint {
    double x = 0, y = 0, z = 0;  // Angstrom
    int type = 0;                // 1 (3,-3), 2 (3,-1), 3 (3,+1), 4 (3,+3); 0 degenerate
    int atom1 = 0, atom2 = 0;    // the two nearest working atoms (atom2 0: one atom only)
    int property_code = 3;       // property the point was searched in
    // Hessian eigenvectors, column k for eigenvalue k, and the eigenvalues
    // in ascending order.
    Matrix3 eigenvectors;
    std::array<double, 3> lambda{};
    double distance = 0;  // Angstrom, from the point to the atom it is reported against
    // Unit vector from the centre atom of the shell search that analysed the
    // point; has_direction false for points no shell analysis has seen.
    bool has_direction = false;
    std::array<double, 3> direction{};
};

struct CriticalPointList {
    int cp_count = 0;
    std::array<CriticalPoint, MAX_CRITICAL_POINTS + 1> points{};  // 1-based
};

CriticalPointList& critical_point_list();

// Appends a point; its number (1..1000), or 0 when the list is full (the
// list is then unchanged).
int append_critical_point(CriticalPointList& list, const CriticalPoint& point);

// Number of the first point of property `code` within
// SAME_CRITICAL_POINT_DISTANCE of (x, y, z), 0 when there is none.
int find_critical_point(const CriticalPointList& list, double x, double y, double z, int code);

// The message shown when a search finds the list full.
void report_critical_point_list_full();
