#include "pathgraf/app/plot_files.h"

#include "common/file_units.h"
#include "common/fortran_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

namespace {

bool read_point(const RecordReader& next_record, float& x, float& y, int& status, std::string* error)
{
    double xd = 0.0, yd = 0.0;
    ListReader reader(next_record);
    if (!reader.read({&xd, &yd})) {
        status = reader.end_of_file() ? IO_END_OF_FILE : IO_ERROR;
        if (status != IO_END_OF_FILE && error)
            *error = reader.error();
        return false;
    }
    x = static_cast<float>(xd);
    y = static_cast<float>(yd);
    return true;
}

bool inside(const PlotWindowF& w, float x, float y)
{
    return w.xmin <= x && x <= w.xmax && w.ymin <= y && y <= w.ymax;
}

bool shown_kind(const PathKindsShown& shown, PathKind kind)
{
    switch (kind) {
    case PathKind::surface: return shown.surface;
    case PathKind::bond: return shown.bond;
    case PathKind::trajectory: return shown.trajectory;
    }
    return false;
}

}  // namespace

bool decode_path_header(const std::string& record, int& count, PathKind& kind)
{
    int n = 0;
    std::array<char, 2> letters{' ', ' '};
    if (!read_record(record.substr(0, 80), "(I6,2X,A2)", {&n, &letters}))
        return false;
    const std::string text(letters.data(), 2);
    if (text == "AS")
        kind = PathKind::surface;
    else if (text == "BP")
        kind = PathKind::bond;
    else if (text == "TP" || text == "  ")
        kind = PathKind::trajectory;
    else
        return false;
    count = n;
    return true;
}

bool read_plot_paths(const RecordReader& next_record, const PathKindsShown& shown, PlotWindowF& window,
                     const std::function<void(PathKind, const std::vector<PlanePointF>&)>& draw, std::string* error)
{
    double w[4] = {0.0, 0.0, 0.0, 0.0};
    {
        ListReader reader(next_record);
        if (!reader.read({&w[0], &w[1], &w[2], &w[3]})) {
            if (error)
                *error = reader.end_of_file() ? "the file is empty" : reader.error();
            return false;
        }
    }
    window = {static_cast<float>(w[0]), static_cast<float>(w[1]), static_cast<float>(w[2]),
              static_cast<float>(w[3])};

    std::vector<PlanePointF> points;
    std::string record;
    for (;;) {
        const int status = next_record(record);
        if (status < 0)
            return true;
        if (status > 0) {
            if (error)
                *error = "a record cannot be read";
            return false;
        }
        int count = 0;
        PathKind kind = PathKind::trajectory;
        if (!decode_path_header(record, count, kind) || count < 2 || !shown_kind(shown, kind))
            continue;
        points.clear();
        for (int k = 0; k < count; ++k) {
            float x = 0.0f, y = 0.0f;
            int point_status = 0;
            if (!read_point(next_record, x, y, point_status, error)) {
                if (point_status != IO_END_OF_FILE)
                    return false;
                draw(kind, points);  // what was read of the last path
                return true;
            }
            if (inside(window, x, y))
                points.push_back({x, y});
        }
        draw(kind, points);
    }
}

bool read_open_plot_paths(const PathKindsShown& shown, PlotWindowF& window,
                          const std::function<void(PathKind, const std::vector<PlanePointF>&)>& draw,
                          std::string* error)
{
    if (!rewind_unit(DATA_UNIT).ok()) {
        if (error)
            *error = "no data file is open";
        return false;
    }
    return read_plot_paths([](std::string& line) { return read_line(DATA_UNIT, line).code; }, shown, window, draw,
                           error);
}

bool check_trajectory_data_file(const std::string& path, PlotExtents& extents, std::string& message)
{
    std::ifstream in;
    if (!open_input_file(path, in, message)) {
        if (message.empty())
            message = "Can not open the file " + path;
        return false;
    }
    RecordReader next_record = [&in](std::string& line) {
        if (!std::getline(in, line))
            return in.bad() ? IO_ERROR : IO_END_OF_FILE;
        if (ends_inside_record(in, line))
            return IO_ERROR;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return IO_OK;
    };
    // The window once more in full precision for the extents.
    double first[4] = {0, 0, 0, 0};
    const bool window_read = ListReader(next_record).read({&first[0], &first[1], &first[2], &first[3]});
    in.clear();
    in.seekg(0);

    PlotWindowF window;
    std::string error;
    auto ignore = [](PathKind, const std::vector<PlanePointF>&) {};
    if (!window_read || !read_plot_paths(next_record, PathKindsShown{}, window, ignore, &error)) {
        message = "Can not read the trajectory data file " + path + (error.empty() ? "" : ": " + error);
        return false;
    }
    for (double v : first) {
        if (!std::isfinite(v) || std::abs(v) >= MAX_PLOT_COORDINATE) {
            message = "The plot window of " + path + " is out of range";
            return false;
        }
    }
    if (!(window.xmin < window.xmax) || !(window.ymin < window.ymax)) {
        message = "The plot window of " + path + " is empty";
        return false;
    }
    extents = {first[0], first[1], first[2], first[3]};
    return true;
}

bool open_trajectory_data_file(const std::string& path, std::string& message)
{
    close_unit(DATA_UNIT);
    UnitOpenOptions options;
    options.status = "old";
    options.action = "read";
    const IoStatus status = open_unit(DATA_UNIT, path, options);
    if (!status.ok()) {
        message = status.message;
        return false;
    }
    return true;
}

namespace {

// Reads first words of records until one starts with keyword; false at the
// end of the file (status -1) or on a read error (status 1).
bool find_keyword(const std::string& keyword, int& status)
{
    for (;;) {
        std::string word;
        const IoStatus read = read_list_directed(POST_UNIT, {&word});
        if (!read.ok()) {
            status = read.end_of_file() ? IO_END_OF_FILE : IO_ERROR;
            return false;
        }
        if (word.compare(0, keyword.size(), keyword) == 0)
            return true;
    }
}

bool read_markers(PostData& post, int first_slot, int count, PlanePointF* markers)
{
    for (int i = 1; i <= count; ++i) {
        std::array<char, 10> label;
        label.fill(' ');
        double x = 0.0, y = 0.0;
        if (!read_formatted(POST_UNIT, "(A10,2F12.5)", {&label, &x, &y}).ok())
            return false;
        const int slot = first_slot + i - 1;
        post.item_text[slot] = std::string(label.data(), label.size());
        markers[i] = {static_cast<float>(x), static_cast<float>(y)};
        post.item_position[slot] = markers[i];
    }
    return true;
}

bool read_post_sections(PostData& post)
{
    int status = 0;
    if (!find_keyword("ATOM", status))
        return status == IO_END_OF_FILE;
    int atoms = 0;
    if (!read_list_directed(POST_UNIT, {&atoms}).ok())
        return false;
    atoms = std::max(atoms, 0);
    if (atoms > MAX_POST_ATOMS || atoms + post.text_count > MAX_ITEM_SLOTS)
        return false;
    post.atom_count = atoms;
    if (!read_markers(post, 1, atoms, post.atom_marker.data()))
        return false;

    if (!rewind_unit(POST_UNIT).ok())
        return false;
    if (!find_keyword("CP", status))
        return status == IO_END_OF_FILE;
    int cps = 0;
    if (!read_list_directed(POST_UNIT, {&cps}).ok())
        return false;
    cps = std::max(cps, 0);
    if (cps > MAX_POST_CPS || post.atom_count + cps + post.text_count > MAX_ITEM_SLOTS)
        return false;
    post.cp_count = cps;
    return read_markers(post, post.atom_count + 1, cps, post.cp_marker.data());
}

}  // namespace

bool read_post_file(const std::string& path, PostData& post)
{
    post.atom_count = 0;
    post.cp_count = 0;
    UnitOpenOptions options;
    options.status = "old";
    options.action = "read";
    if (!open_unit(POST_UNIT, path, options).ok())
        return false;
    const bool read = read_post_sections(post);
    close_unit(POST_UNIT);
    if (!read) {
        post.atom_count = 0;
        post.cp_count = 0;
    }
    return read;
}

void full_bitmap_size(const PlotExtents& extents, int& width, int& height)
{
    const float r = (static_cast<float>(extents.xmax) - static_cast<float>(extents.xmin)) /
                    (static_cast<float>(extents.ymax) - static_cast<float>(extents.ymin));
    if (r >= 1.0f) {
        width = FULL_BITMAP_SIDE;
        height = static_cast<int>(std::max(1.0f, std::min(2400.0f, 2400.0f / r)));
    } else {
        height = FULL_BITMAP_SIDE;
        width = static_cast<int>(std::max(1.0f, std::min(2400.0f, 2400.0f * r)));
    }
}
