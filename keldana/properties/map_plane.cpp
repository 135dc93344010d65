#include "keldana/properties/map_plane.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/report_output.h"
#include "keldana/topology/map_areas.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double SHIFT_TOLERANCE = 0.0001;  // Angstrom

// |a x b| below this fraction of |a||b| (an angle under 1e-4 rad between
// the in-plane directions) defines no plane.
constexpr double NEARLY_PARALLEL = 1.0e-4;

Vector3 column(const Matrix3& m, int k) { return {m(1, k), m(2, k), m(3, k)}; }

bool refuse_plane()
{
    ui().message_box("Please, check selected atoms. They are not define plane.", "Error!", MessageButtons::ok,
                     MessageIcon::warning);
    return false;
}

Vector3 map_centre_by_rule(const MapPlaneRequest& request, const WorkingAtomSet& atoms)
{
    // An atom number out of range stands for the origin.
    auto position = [&atoms](int n) {
        return n >= 1 && n <= MAX_WORKING_ATOMS ? working_atom_position(atoms, n) : Vector3{};
    };
    const Vector3 a = position(request.centre_atoms[0]);
    const Vector3 b = position(request.centre_atoms[1]);
    const Vector3 c = position(request.centre_atoms[2]);
    Vector3 centre{};
    for (int k = 0; k < 3; ++k) {
        switch (request.centre_rule) {
        case MapCentreRule::atom_position: centre[k] = a[k]; break;
        case MapCentreRule::between_two_atoms: centre[k] = (a[k] + b[k]) * 0.5; break;
        case MapCentreRule::between_three_atoms: centre[k] = (a[k] + b[k] + c[k]) * 0.3333333333333333; break;
        case MapCentreRule::arbitrary_point: centre[k] = request.centre_point[k]; break;
        }
    }
    return centre;
}

// The table of the atoms in the new frame, for the listing and the list box.
void list_plane(const MapDefinition& map, const MapFrame& frame, std::vector<std::string>& box_lines)
{
    std::vector<std::string> lines = {""};
    lines.push_back(format_line("(' Map plane vectors:',3F8.4)", {frame.axis_u[0], frame.axis_u[1], frame.axis_u[2]}));
    lines.push_back(format_line("('                   ',3F8.4)", {frame.axis_v[0], frame.axis_v[1], frame.axis_v[2]}));
    if (map.map_is_3d)
        lines.push_back(
            format_line("('                   ',3F8.4)", {frame.axis_w[0], frame.axis_w[1], frame.axis_w[2]}));
    lines.push_back("");
    lines.push_back(format_line("('  Map centre point:',3F8.4)",
                                {frame.map_centre[0], frame.map_centre[1], frame.map_centre[2]}));
    lines.push_back("");
    for (const std::string& line : lines) {
        write_listing_line(line);
        box_lines.push_back(line);
    }
    write_listing_line(map.map_is_3d ? " num  atom           x        y         z "
                                     : " num  atom           x        y    dist. to plane ");
    box_lines.push_back(map.map_is_3d ? "num atom           x         y         z "
                                      : "num atom           x         y    dist. to plane ");

    const WorkingAtomSet& atoms = current_model().atoms;
    MapPostAtoms& post = map_post_atoms();
    const int last = std::clamp(atoms.atom_count, 0, std::min(MAX_WORKING_ATOMS, MAX_POST_ATOMS));
    for (int i = 1; i <= last; ++i) {
        const Vector3 p = plane_coordinates(frame, working_atom_position(atoms, i));
        post.plane_u[i] = p[0];
        post.plane_v[i] = p[1];
        post.plane_w[i] = p[2];
        const std::string line = format_line("(I3,2X,A8,3F10.5)", {i, atoms.atom_label[i], p[0], p[1], p[2]});
        write_listing_line(line);
        box_lines.push_back(line);
    }
}

}  // namespace

bool normalise_plane_axis(const Vector3& vector, Matrix3& rotation, double& length, int column)
{
    length = vector_length(vector);
    if (length == 0.0 || !std::isfinite(length))
        return refuse_plane();
    for (int row = 1; row <= 3; ++row)
        rotation(row, column) = vector[row - 1] * (1.0 / length);
    return true;
}

bool build_plane_frame(const Vector3& a, const Vector3& b, Matrix3& rotation, int i1, int i2, int i3)
{
    const int d = i2 - i1;
    const double s = (d == 1 || d == -2) ? 1.0 : -1.0;
    Vector3 c = cross_product(a, b);
    for (double& x : c)
        x *= s;
    // Nearly parallel directions give a normal made of rounding noise.
    if (vector_length(c) < NEARLY_PARALLEL * vector_length(a) * vector_length(b))
        return refuse_plane();
    double length = 0;
    if (!normalise_plane_axis(a, rotation, length, i1) || !normalise_plane_axis(c, rotation, length, i3))
        return false;
    Vector3 b_prime = cross_product(column(rotation, i3), column(rotation, i1));
    for (double& x : b_prime)
        x *= s;
    return normalise_plane_axis(b_prime, rotation, length, i2);
}

bool calculate_map_plane(const MapPlaneRequest& request, std::vector<std::string>& box_lines)
{
    MapDefinition& map = map_definition();
    MapFrame& frame = map_frame();
    const WorkingAtomSet& atoms = current_model().atoms;
    Vector3 centre = map_centre_by_rule(request, atoms);

    Matrix3 axes;  // columns u, v, w
    if (!build_plane_frame(frame.plane_vector_1, frame.plane_vector_2, axes, 1, 2, 3))
        return false;
    const Vector3 u = column(axes, 1), v = column(axes, 2), w = column(axes, 3);
    const double shift = std::abs(request.shift) < SHIFT_TOLERANCE ? 0.0 : request.shift;
    if (!map.plane_from_vectors && std::abs(static_cast<float>(shift)) > static_cast<float>(SHIFT_TOLERANCE))
        for (int k = 0; k < 3; ++k)
            centre[k] += shift * w[k];

    map.z_min = 0;
    map.z_max = 0;
    map.z_points = 1;
    map.centre_atom = request.centre_atoms;
    frame.map_centre = centre;
    set_frame_axes(frame, u, v, w);
    frame.plane_vector_1 = u;
    frame.plane_vector_2 = v;
    frame.plane_vector_3 = w;
    list_plane(map, frame, box_lines);
    return true;
}
