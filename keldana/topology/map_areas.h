// The areas of the map subsystem that the trajectory engine reads: the plane
// window of the map and the frame of its plane.  The map dialog fills them
// before a trajectory run.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

// The plane window in plane coordinates (Angstrom), min <= max.
struct MapDefinition {
    double x_min = 0, x_max = 0;
    double y_min = 0, y_max = 0;
};

// The plane frame: its centre, the rotation whose rows are the unit axes u, v,
// w (used to project critical points) and the axis vectors e_u, e_v, e_w
// (used to project path points and to lift plane points into space).
struct MapFrame {
    Vector3 map_centre{};
    Matrix3 rotation = identity_rotation();
    Vector3 axis_u{1, 0, 0}, axis_v{0, 1, 0}, axis_w{0, 0, 1};

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

// The same with the rows of the rotation.
Vector3 rotated_plane_coordinates(const MapFrame& frame, const Vector3& r);

// c + u e_u + v e_v + w e_w.
Vector3 plane_point(const MapFrame& frame, double u, double v, double w = 0.0);
