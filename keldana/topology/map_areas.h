// The areas of a map: what the MAP dialog defines (the map's type, plane
// source, centre atoms, window and point counts, and the extreme values of the
// last grid map) and the frame of its plane.  The MAP dialog fills them; the
// grid map engine, the trajectory engine and the structure viewer read them.
// They keep their values between openings of the dialog.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

#include <array>

struct MapDefinition {
    // The window in plane coordinates (Angstrom); "Calculate Map" orders each
    // pair so that min <= max.
    double x_min = 0, x_max = 0;
    double y_min = 0, y_max = 0;
    double z_min = 0, z_max = 0;
    int x_points = 0, y_points = 0;
    int z_points = 1;  // 1 for a 2-D map

    std::array<int, 3> centre_atom{};       // atoms chosen for the map centre
    FixedText<5> page_key = blank_text<5>();  // "ATOMS", "BVECT" or "CENT ": the plane source opened last
    bool plane_from_points = false;         // "Ok" of the three points defined the plane last
    bool plane_from_vectors = false;        // "Ok" of the two basis vectors did
    // The map-type radios as "Calculate Plane" took them; a map that is
    // neither 3-D nor trajectories is a 2-D map.
    bool map_is_2d = false, map_is_3d = false, map_is_trajectory = false;
    double map_min_value = 0, map_max_value = 0;  // of the last grid map
};

// The plane frame.  "Calculate Plane" makes the rows of `rotation` and the
// axis vectors the same right-handed unit axes u, v (in the plane) and w (its
// normal), so that the plane coordinates of a point p are rotation x (p -
// map_centre) and a plane point (u, v, w) lies at map_centre + u e_u + v e_v
// + w e_w.  plane_vector_1..3 are the dialog's working vectors: the two
// in-plane directions and the centre "Ok" read, then u, v, w again after
// "Calculate Plane"; no engine reads them, so a plane defined by "Ok" and not
// yet calculated never mixes into the frame of the last calculated one.
struct MapFrame {
    Vector3 map_centre{};
    Matrix3 rotation = identity_rotation();  // rows u, v, w
    Vector3 axis_u{1, 0, 0}, axis_v{0, 1, 0}, axis_w{0, 0, 1};
    Vector3 plane_vector_1{1, 0, 0}, plane_vector_2{0, 1, 0}, plane_vector_3{};

    static Matrix3 identity_rotation()
    {
        Matrix3 m;
        m(1, 1) = m(2, 2) = m(3, 3) = 1.0;
        return m;
    }
};

MapDefinition& map_definition();
MapFrame& map_frame();

// u, v, w = e_u.(r - c), e_v.(r - c), e_w.(r - c).
Vector3 plane_coordinates(const MapFrame& frame, const Vector3& r);

// c + u e_u + v e_v + w e_w.
Vector3 plane_point(const MapFrame& frame, double u, double v, double w = 0.0);

// Makes u, v, w the frame's axes: the rows of the rotation and the axis
// vectors.
void set_frame_axes(MapFrame& frame, const Vector3& u, const Vector3& v, const Vector3& w);
