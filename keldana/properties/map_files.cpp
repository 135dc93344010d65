#include "keldana/properties/map_files.h"

#include "common/fortran_format.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double POST_PLANE_DISTANCE = 1.0;  // Angstrom: atoms of a 2-D post file

int post_limit(const WorkingAtomSet& atoms) { return std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS); }

std::string post_record_2d(double u, double v, const AtomLabel& label)
{
    return format_line("(F8.4,2X,F8.4,2X,A8)", {u, v, label});
}

bool inside_box(const MapDefinition& map, double u, double v, double w)
{
    return map.x_min <= u && u <= map.x_max && map.y_min <= v && v <= map.y_max && map.z_min <= w
           && w <= map.z_max;
}

}  // namespace

std::string post_file_name_for(const std::string& map_name)
{
    // A "." of a folder name does not make an extension.
    const size_t name_start = map_name.find_last_of('/');
    const size_t dot = map_name.find_last_of('.');
    std::string post = map_name;
    if (dot != std::string::npos && (name_start == std::string::npos || dot > name_start)) {
        post.resize(std::max(post.size(), dot + 5), ' ');
        post.replace(dot + 1, 4, "pos ");
    }
    const size_t end = post.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : post.substr(0, end + 1);
}

std::string grid_map_record_2d(double x, double y, double value)
{
    return format_line("(2F12.5,6X,E14.7)", {x, y, value});
}

std::string grid_map_record_3d(double x, double y, double z, double value)
{
    return format_line("(3F12.5,6X,E14.7)", {x, y, z, value});
}

std::vector<std::string> map_post_records_2d(const MapDefinition& map, const WorkingAtomSet& atoms,
                                             const MapPostAtoms& post)
{
    const AtomLabel blank = blank_text<8>();
    std::vector<std::string> records = {post_record_2d(map.x_min, map.y_min, blank)};
    const int last = std::min(post_limit(atoms), MAX_POST_ATOMS);
    for (int n = 1; n <= last; ++n) {
        const double u = post.plane_u[n], v = post.plane_v[n];
        if (std::abs(post.plane_w[n]) <= POST_PLANE_DISTANCE && map.x_min <= u && u <= map.x_max
            && map.y_min <= v && v <= map.y_max)
            records.push_back(post_record_2d(u, v, atoms.atom_label[n]));
    }
    records.push_back(post_record_2d(map.x_max, map.y_max, blank));
    return records;
}

std::vector<std::string> map_post_head_3d(const MapDefinition& map, const WorkingAtomSet& atoms,
                                          const MapPostAtoms& post)
{
    std::vector<std::string> listed;
    const int last = std::min(post_limit(atoms), MAX_POST_ATOMS);
    for (int n = 1; n <= last; ++n)
        if (atoms.subset_mask[n] != 0 && inside_box(map, post.plane_u[n], post.plane_v[n], post.plane_w[n]))
            listed.push_back(format_line("(A6,3X,I3,2X,3F12.5)",
                                         {std::string(atoms.atom_label[n].data(), 6), atoms.atomic_number[n],
                                          post.plane_u[n], post.plane_v[n], post.plane_w[n]}));
    std::vector<std::string> records = {"ATOMS", format_line("(I3)", {static_cast<int>(listed.size())})};
    records.insert(records.end(), listed.begin(), listed.end());
    return records;
}

std::vector<std::string> map_post_tail_3d(const MapDefinition& map, double x_step, double y_step, double z_step,
                                          double z_end)
{
    return {"GRID Info",
            format_line("(3F12.5)", {map.x_min, map.x_max, x_step}),
            format_line("(3F12.5)", {map.y_min, map.y_max, y_step}),
            format_line("(3F12.5)", {map.z_min, z_end, z_step}),
            format_line("(3E10.2)", {map.map_min_value, map.map_max_value})};
}
