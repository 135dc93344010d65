#include "keldana/model/cluster_files.h"

#include "common/file_units.h"
#include "common/fortran_format.h"
#include "common/safe_write.h"
#include "common/user_interface.h"

#include <climits>
#include <cmath>
#include <fstream>
#include <limits>

namespace {

void show_error(const std::string& text)
{
    ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::warning);
}

bool is_blank_line(std::string_view line)
{
    for (char c : line)
        if (static_cast<unsigned char>(c) > 32)
            return false;
    return true;
}

std::string too_many_entries_text(const std::string& source)
{
    return "Too many entries in " + source + ": a cluster list holds at most " +
           std::to_string(MAX_SYMMETRY_APPLICATIONS) + ".";
}

// Lines of a stream without their line ends.  Reading stops as soon as more
// entry lines than a list can hold have come, so a hostile file costs little.
bool read_lines(std::istream& input, const std::string& file_name, std::vector<std::string>& lines)
{
    std::vector<std::string> read;
    int entry_lines = 0;
    std::string line;
    while (std::getline(input, line)) {
        if (ends_inside_record(input, line)) {
            show_error("Can not read line " + std::to_string(read.size() + 1) + " of the cluster file " + file_name +
                       ": the file ends inside it (it has no line end), it is cut short.");
            return false;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (static_cast<int>(read.size()) >= CLUSTER_HEADER_LINES && !is_blank_line(line)
            && ++entry_lines > MAX_SYMMETRY_APPLICATIONS) {
            show_error(too_many_entries_text("the cluster file " + file_name));
            return false;
        }
        read.push_back(line);
    }
    if (input.bad()) {
        show_error("Can not read the cluster file " + file_name + ".");
        return false;
    }
    lines = std::move(read);
    return true;
}

// The first six values of a line: operation, translation x, y, z, first and
// last atom.  Values left unread (a short line, "/", empty values between
// commas) keep a sentinel and make the line unreadable.
bool parse_entry_line(std::string_view line, int& operation, std::array<double, 3>& translation, int& first_atom,
                      int& last_atom)
{
    const double missing = std::numeric_limits<double>::quiet_NaN();
    int op = INT_MIN, first = INT_MIN, last = INT_MIN;
    double t1 = missing, t2 = missing, t3 = missing;
    if (!read_list(line, {&op, &t1, &t2, &t3, &first, &last}))
        return false;
    if (op == INT_MIN || first == INT_MIN || last == INT_MIN)
        return false;
    if (!std::isfinite(t1) || !std::isfinite(t2) || !std::isfinite(t3))
        return false;
    operation = op;
    translation = {t1, t2, t3};
    first_atom = first;
    last_atom = last;
    return true;
}

}  // namespace

std::string default_cluster_file_name(int unit_cell_mode)
{
    return unit_cell_mode == 1 ? "unitcell.cls" : "gspace.cls";
}

std::string default_cluster_file_path(int unit_cell_mode, const std::string& working_directory)
{
    const std::string name = default_cluster_file_name(unit_cell_mode);
    if (working_directory.empty())
        return name;
    if (working_directory.back() == '/')
        return working_directory + name;
    return working_directory + "/" + name;
}

std::string format_cluster_line(const SymmetryApplicationList& list, int entry, int independent_atom_count)
{
    const auto& t = list.translation[entry];
    return format_line("(I3,3X,3(1X,F8.5),3X,2I5,6X,I3)",
                       {list.operation[entry], t[1], t[2], t[3], list.first_atom[entry], list.last_atom[entry],
                        independent_atom_count + entry});
}

bool parse_cluster_lines(const std::vector<std::string>& lines, const std::string& source,
                         SymmetryApplicationList& list)
{
    if (static_cast<int>(lines.size()) < CLUSTER_HEADER_LINES) {
        show_error("Can not read " + source + ": its two header lines are missing.");
        return false;
    }
    SymmetryApplicationList parsed;
    for (std::size_t j = CLUSTER_HEADER_LINES; j < lines.size(); ++j) {
        if (is_blank_line(lines[j]))
            continue;
        if (parsed.entry_count >= MAX_SYMMETRY_APPLICATIONS) {
            show_error(too_many_entries_text(source));
            return false;
        }
        const int e = parsed.entry_count + 1;
        std::array<double, 3> translation{};
        if (!parse_entry_line(lines[j], parsed.operation[e], translation, parsed.first_atom[e], parsed.last_atom[e])) {
            show_error("Can not read line " + std::to_string(j + 1) + " of " + source +
                       ": an operation, three translations and two atom numbers are expected.");
            return false;
        }
        parsed.translation[e] = {0.0, translation[0], translation[1], translation[2]};
        parsed.entry_count = e;
    }
    list = parsed;
    return true;
}

bool read_cluster_file(std::istream& input, const std::string& file_name, SymmetryApplicationList& list)
{
    std::vector<std::string> lines;
    if (!read_lines(input, file_name, lines))
        return false;
    return parse_cluster_lines(lines, "the cluster file " + file_name, list);
}

bool read_cluster_file_lines(std::istream& input, const std::string& file_name, std::vector<std::string>& lines)
{
    std::vector<std::string> read;
    if (!read_lines(input, file_name, read))
        return false;
    for (std::string& line : read)
        if (line.size() > static_cast<std::size_t>(CLUSTER_LINE_TEXT_LENGTH))
            line.resize(CLUSTER_LINE_TEXT_LENGTH);
    lines = std::move(read);
    return true;
}

bool write_cluster_file(std::ostream& output, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        std::string record = line.substr(0, CLUSTER_RECORD_LENGTH);
        record.resize(CLUSTER_RECORD_LENGTH, ' ');
        output << record << '\n';
    }
    output.flush();
    return static_cast<bool>(output);
}

bool write_cluster_file(const std::string& path, const std::vector<std::string>& lines)
{
    SafeWrite output(path);
    if (output.is_open())
        write_cluster_file(output.stream(), lines);
    if (!output.commit()) {
        show_error("Can not write the cluster file " + path + ".");
        return false;
    }
    return true;
}
