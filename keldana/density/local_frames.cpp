#include "keldana/density/local_frames.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>

namespace {

constexpr double MIN_DIRECTION_LENGTH = 1e-6;  // Angstrom: frame atoms closer than this coincide
constexpr double MIN_SINE = 1e-6;              // directions closer to parallel define no plane

Vector3 cross(const Vector3& a, const Vector3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double length(const Vector3& a)
{
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

Vector3 scaled(const Vector3& a, double factor)
{
    return {a[0] * factor, a[1] * factor, a[2] * factor};
}

Vector3 position(const StructureModel& model, int index)
{
    return {model.atoms.cart_x[index], model.atoms.cart_y[index], model.atoms.cart_z[index]};
}

Vector3 difference(const Vector3& to, const Vector3& from)
{
    return {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
}

bool all_finite(const Vector3& a)
{
    return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]);
}

}  // namespace

bool build_atom_local_axes(const StructureModel& model, int atom, Vector3& ex, Vector3& ey, Vector3& ez)
{
    const LocalAxisDefinitions& definitions = model.local_axes;
    // Dummy points are stored after the N atoms.
    const int last_point = std::min(model.atoms.atom_count + model.dummies.dummy_count, MAX_WORKING_ATOMS);
    auto is_point = [last_point](int index) { return index >= 1 && index <= last_point; };
    if (atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
        return false;

    const int first_code = definitions.frame_axis_1[atom];
    const int a1 = std::abs(first_code);
    const int a2 = definitions.frame_axis_2[atom];
    if (a1 < 1 || a1 > 3 || a2 < 1 || a2 > 3 || a1 == a2)
        return false;
    const int a3 = 6 - a1 - a2;

    const int j = std::abs(definitions.frame_atom_1[atom]);
    const int k2 = definitions.frame_atom_2[atom];
    const int k3 = definitions.frame_atom_3[atom];
    if (!is_point(j) || !is_point(k2) || !is_point(k3))
        return false;

    const double direction_sign = first_code > 0 ? 1.0 : -1.0;
    const double hand = definitions.frame_atom_1[atom] > 0 ? 1.0 : -1.0;
    const Vector3 v = scaled(difference(position(model, j), position(model, atom)), direction_sign);
    const Vector3 w = difference(position(model, k3), position(model, k2));
    const double v_length = length(v);
    const double w_length = length(w);
    if (!(v_length > MIN_DIRECTION_LENGTH) || !(w_length > MIN_DIRECTION_LENGTH))
        return false;

    const bool cyclic = a2 == a1 % 3 + 1;  // x->y, y->z, z->x
    const double k = cyclic ? hand : -hand;
    const Vector3 n = scaled(cross(v, w), k);
    const double n_length = length(n);
    if (!(n_length > MIN_SINE * v_length * w_length))
        return false;
    const Vector3 u = scaled(cross(n, v), k);  // part of w perpendicular to v, along w

    Vector3 axes[4];
    axes[a1] = scaled(v, 1.0 / v_length);
    axes[a3] = scaled(n, 1.0 / n_length);
    axes[a2] = scaled(u, 1.0 / length(u));
    if (!all_finite(axes[1]) || !all_finite(axes[2]) || !all_finite(axes[3]))
        return false;
    ex = axes[1];
    ey = axes[2];
    ez = axes[3];
    return true;
}

bool get_atom_local_axes(const StructureModel& model, int atom, Vector3& ex, Vector3& ey, Vector3& ez)
{
    int source = atom;
    if (atom > model.atoms.independent_atom_count && atom <= MAX_WORKING_ATOMS) {
        source = model.images.parent_atom[atom];
        if (source < 1 || source > model.atoms.independent_atom_count)
            return false;
    }
    return build_atom_local_axes(model, source, ex, ey, ez);
}
