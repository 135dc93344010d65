#include "keldana/topology/map_areas.h"

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
    const Vector3 d = vector_difference(r, frame.map_centre);
    return {dot_product(frame.axis_u, d), dot_product(frame.axis_v, d), dot_product(frame.axis_w, d)};
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
