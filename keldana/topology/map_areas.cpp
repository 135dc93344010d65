#include "keldana/topology/map_areas.h"

namespace {

double dot(const Vector3& a, const Vector3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

MapDefinition& map_definition()
{
    static MapDefinition definition;
    return definition;
}

MapFrame& map_frame()
{
    static MapFrame frame;
    return frame;
}

Vector3 plane_coordinates(const MapFrame& frame, const Vector3& r)
{
    const Vector3 d{r[0] - frame.map_centre[0], r[1] - frame.map_centre[1], r[2] - frame.map_centre[2]};
    return {dot(frame.axis_u, d), dot(frame.axis_v, d), dot(frame.axis_w, d)};
}

Vector3 rotated_plane_coordinates(const MapFrame& frame, const Vector3& r)
{
    const Vector3 d{r[0] - frame.map_centre[0], r[1] - frame.map_centre[1], r[2] - frame.map_centre[2]};
    Vector3 p{};
    for (int row = 1; row <= 3; ++row)
        p[row - 1] = frame.rotation(row, 1) * d[0] + frame.rotation(row, 2) * d[1] + frame.rotation(row, 3) * d[2];
    return p;
}

Vector3 plane_point(const MapFrame& frame, double u, double v, double w)
{
    Vector3 r{};
    for (int k = 0; k < 3; ++k)
        r[k] = frame.map_centre[k] + u * frame.axis_u[k] + v * frame.axis_v[k] + w * frame.axis_w[k];
    return r;
}

void set_frame_axes(MapFrame& frame, const Vector3& u, const Vector3& v, const Vector3& w)
{
    frame.axis_u = u;
    frame.axis_v = v;
    frame.axis_w = w;
    for (int k = 1; k <= 3; ++k) {
        frame.rotation(1, k) = u[k - 1];
        frame.rotation(2, k) = v[k - 1];
        frame.rotation(3, k) = w[k - 1];
    }
}
