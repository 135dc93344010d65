#include "keldana/properties/map_files.h"

#include "common/fortran_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

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

// The grid records' two edit descriptors written straight into `out` for
// the values whose fields need no special case; false (nothing written)
// otherwise, and the general formatter writes the record.  Digits come from
// the same correctly rounded conversion, so the bytes are the formatter's.

// F12.5: a sign for every negative value (also -0.0 and what rounds to 0).
bool append_f12_5(std::string& out, double value)
{
    constexpr int WIDTH = 12;
    if (!std::isfinite(value) || std::fabs(value) >= 1.0e6)
        return false;
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, std::fabs(value), std::chars_format::fixed, 5);
    const int length = static_cast<int>(result.ptr - digits) + (std::signbit(value) ? 1 : 0);
    if (length > WIDTH)
        return false;
    out.append(static_cast<size_t>(WIDTH - length), ' ');
    if (std::signbit(value))
        out += '-';
    out.append(digits, result.ptr);
    return true;
}

// E14.7: 0.ddddddd and E+ee (a two-digit exponent).
bool append_e14_7(std::string& out, double value)
{
    if (!std::isfinite(value))
        return false;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 6);
    // text: d.dddddde[+-]xx[x]
    const char* e = std::find(text, result.ptr, 'e');
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), result.ptr, exponent);
    exponent = value == 0.0 ? 0 : exponent + 1;
    if (std::abs(exponent) > 99)
        return false;
    char field[14];
    field[0] = std::signbit(value) ? '-' : ' ';
    field[1] = '0';
    field[2] = '.';
    field[3] = text[0];
    std::memcpy(field + 4, text + 2, 6);
    field[10] = 'E';
    field[11] = exponent < 0 ? '-' : '+';
    field[12] = static_cast<char>('0' + std::abs(exponent) / 10);
    field[13] = static_cast<char>('0' + std::abs(exponent) % 10);
    out.append(field, sizeof field);
    return true;
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

void append_grid_map_record(std::string& out, const double* coordinates, int coordinate_count, double value)
{
    const size_t start = out.size();
    bool fast = true;
    for (int i = 0; i < coordinate_count && fast; ++i)
        fast = append_f12_5(out, coordinates[i]);
    if (fast) {
        out.append(6, ' ');
        fast = append_e14_7(out, value);
    }
    if (fast)
        return;
    out.resize(start);
    const std::string format = "(" + std::to_string(coordinate_count) + "F12.5,6X,E14.7)";
    std::vector<FortranValue> values(coordinates, coordinates + coordinate_count);
    values.emplace_back(value);
    out += format_line(format, values);
}

std::string grid_map_record_2d(double x, double y, double value)
{
    std::string record;
    const double xy[] = {x, y};
    append_grid_map_record(record, xy, 2, value);
    return record;
}

std::string grid_map_record_3d(double x, double y, double z, double value)
{
    std::string record;
    const double xyz[] = {x, y, z};
    append_grid_map_record(record, xyz, 3, value);
    return record;
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
