#include "keldana/topology/trajectory_files.h"

#include "common/fortran_format.h"

#include <algorithm>

std::string trajectory_window_record(double x_min, double x_max, double y_min, double y_max)
{
    return format_line("(4F10.5)", {x_min, x_max, y_min, y_max});
}

std::vector<std::string> trajectory_block_records(const std::string& kind, const std::vector<PlanePoint>& points,
                                                  int path_number)
{
    std::vector<std::string> records;
    if (points.size() < 2)
        return records;
    records.push_back(format_line("(I6,2X,A2)", {static_cast<int>(points.size()), kind}));
    for (const PlanePoint& p : points)
        records.push_back(format_line("(2F12.5,I6)", {p.u, p.v, path_number}));
    return records;
}

std::vector<std::string> post_section_records(const std::string& keyword, const std::vector<PostMarker>& markers)
{
    const int count = std::min(static_cast<int>(markers.size()), MAX_POST_MARKERS);
    std::vector<std::string> records = {keyword, format_line("(I3)", {count})};
    for (int k = 0; k < count; ++k) {
        const PostMarker& m = markers[k];
        // Built in a 40-character text as by an internal write, then written (A40).
        std::string label = m.label;
        label.resize(6, ' ');
        std::string text = format_line("(A6,4X,2F12.5)", {label, m.u, m.v});
        text.resize(40, ' ');
        records.push_back(text);
    }
    records.push_back(" ");
    return records;
}

bool write_records(std::ostream& output, const std::vector<std::string>& records)
{
    for (const std::string& record : records)
        output << record << '\n';
    return static_cast<bool>(output);
}
