#include "keldana/topology/surface_file.h"

#include "common/user_interface.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/run_settings.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr char MAGIC[3] = {'I', 'A', 'S'};

void put_int32(std::ostream& output, int value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    char bytes[4];
    for (int k = 0; k < 4; ++k)
        bytes[k] = static_cast<char>((bits >> (8 * k)) & 0xFF);
    output.write(bytes, 4);
}

void put_real(std::ostream& output, double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    for (int k = 0; k < 8; ++k)
        bytes[k] = static_cast<char>((bits >> (8 * k)) & 0xFF);
    output.write(bytes, 8);
}

// Reads n bytes; false at the end of the stream.
bool get_bytes(std::istream& input, unsigned char* bytes, std::streamsize n)
{
    input.read(reinterpret_cast<char*>(bytes), n);
    return input.gcount() == n;
}

bool get_int32(std::istream& input, int& value)
{
    unsigned char bytes[4];
    if (!get_bytes(input, bytes, 4))
        return false;
    std::uint32_t bits = 0;
    for (int k = 0; k < 4; ++k)
        bits |= static_cast<std::uint32_t>(bytes[k]) << (8 * k);
    value = static_cast<std::int32_t>(bits);
    return true;
}

bool get_real(std::istream& input, double& value)
{
    unsigned char bytes[8];
    if (!get_bytes(input, bytes, 8))
        return false;
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k)
        bits |= static_cast<std::uint64_t>(bytes[k]) << (8 * k);
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

bool refuse(const std::string& text)
{
    ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::warning);
    return false;
}

struct FileBlock {
    int atom = 0;
    SurfaceGrid grid;
};

enum class BlockRead { read, end_of_file, cut_short, bad_atom, bad_radius };

BlockRead read_block(std::istream& input, int n_theta, int n_phi, FileBlock& block)
{
    if (input.peek() == std::char_traits<char>::eof())
        return BlockRead::end_of_file;
    if (!get_int32(input, block.atom))
        return BlockRead::cut_short;
    if (block.atom < 1 || block.atom > MAX_SURFACE_ATOMS)
        return BlockRead::bad_atom;
    unsigned char label[8];
    double position = 0;
    if (!get_bytes(input, label, 8) || !get_real(input, position) || !get_real(input, position)
        || !get_real(input, position))
        return BlockRead::cut_short;
    SurfaceGrid& grid = block.grid;
    grid.n_theta = n_theta;
    grid.n_phi = n_phi;
    grid.radii.assign(static_cast<size_t>(n_theta + 1) * (n_phi + 1), 0.0);
    if (!get_real(input, grid.start_radius))
        return BlockRead::cut_short;
    if (!(grid.start_radius > 0) || !std::isfinite(grid.start_radius))
        return BlockRead::bad_radius;
    for (int j = 0; j < n_phi; ++j) {
        const int first = j == 0 ? 0 : 1;
        const int last = j == 0 ? n_theta : n_theta - 1;
        for (int i = first; i <= last; ++i) {
            if (!get_real(input, grid.at(i, j)))
                return BlockRead::cut_short;
            if (!(grid.at(i, j) > 0) || !std::isfinite(grid.at(i, j)))
                return BlockRead::bad_radius;
        }
    }
    return BlockRead::read;
}

}  // namespace

void write_surface_file_header(std::ostream& output, int n_theta, int n_phi)
{
    output.write(MAGIC, 3);
    put_int32(output, n_theta);
    put_int32(output, n_phi);
}

void write_surface_block(std::ostream& output, int atom, const AtomLabel& label, const Vector3& position,
                         const SurfaceGrid& grid)
{
    put_int32(output, atom);
    output.write(label.data(), 8);
    for (double x : position)
        put_real(output, x);
    put_real(output, grid.start_radius);
    for (int j = 0; j < grid.n_phi; ++j) {
        const int first = j == 0 ? 0 : 1;
        const int last = j == 0 ? grid.n_theta : grid.n_theta - 1;
        for (int i = first; i <= last; ++i)
            put_real(output, grid.at(i, j));
    }
}

bool read_interatomic_surface_stream(std::istream& input, const std::string& file_name,
                                     InteratomicSurfaceTable& table)
{
    unsigned char magic[3] = {0, 0, 0};
    if (!get_bytes(input, magic, 3) || std::memcmp(magic, MAGIC, 3) != 0)
        return refuse("This is not IAS file.");
    int n_theta = 0, n_phi = 0;
    if (!get_int32(input, n_theta) || !get_int32(input, n_phi))
        return refuse("The surface file " + file_name + " ends inside its header.");
    if (!is_valid_surface_grid(n_theta, n_phi))
        return refuse("The surface file " + file_name + " has a grid of " + std::to_string(n_theta) + " x "
                      + std::to_string(n_phi) + " directions; a surface grid has " + std::to_string(MIN_SURFACE_THETA)
                      + " to " + std::to_string(MAX_SURFACE_THETA) + " theta and " + std::to_string(MIN_SURFACE_PHI)
                      + " to " + std::to_string(MAX_SURFACE_PHI) + " phi intervals.");

    std::vector<FileBlock> blocks;
    for (;;) {
        FileBlock block;
        const BlockRead read = read_block(input, n_theta, n_phi, block);
        if (read == BlockRead::end_of_file)
            break;
        const std::string number = std::to_string(block.atom);
        switch (read) {
        case BlockRead::cut_short:
            return refuse("The surface file " + file_name + " ends inside the block of atom " + number + ".");
        case BlockRead::bad_atom:
            return refuse("The surface file " + file_name + " holds atom number " + number + " outside 1.."
                          + std::to_string(MAX_SURFACE_ATOMS) + ".");
        case BlockRead::bad_radius:
            return refuse("The surface file " + file_name + " holds a radius of atom " + number
                          + " that is not a positive number.");
        default:
            break;
        }
        blocks.push_back(std::move(block));
    }

    table.ias_present.fill(0);
    table.ias_start_radius.fill(NO_SURFACE_RADIUS);
    table.ias_atom_list.fill(0);
    table.ias_theta_count = n_theta;
    table.ias_phi_count = n_phi;
    int k = 0;
    for (const FileBlock& block : blocks) {
        store_surface_grid(table, block.atom, block.grid);
        if (k < MAX_SURFACE_ATOMS)
            table.ias_atom_list[++k] = block.atom;
    }
    table.ias_atoms_read = k;
    return true;
}

bool read_interatomic_surface_path(const std::string& path, InteratomicSurfaceTable& table)
{
    std::ifstream input(path, std::ios::binary);
    if (!input)
        return refuse("Can not open file " + path);
    return read_interatomic_surface_stream(input, path, table);
}

bool read_interatomic_surface_file()
{
    RunSettings& settings = run_settings();
    FileDialogState& dialog = settings.file_dialog;
    dialog.dialog_mode = "open";
    const std::string working_directory = dialog.working_directory;
    run_file_dialog("InterAtomic Surface file (*.ias)", "*.ias");
    dialog.working_directory = working_directory;
    if (file_dialog_cancelled())
        return false;
    if (!read_interatomic_surface_path(dialog.dialog_path, interatomic_surface_table()))
        return false;
    settings.output_files.ias_path = dialog.dialog_path;
    return true;
}
