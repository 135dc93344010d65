#include "keldana/topology/surface_file.h"

#include "common/file_units.h"
#include "common/user_interface.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/run_settings.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

namespace {

constexpr char MAGIC[3] = {'I', 'A', 'S'};

// Reads up to n bytes: fewer only where the stream ends.
std::vector<unsigned char> take_bytes(std::istream& input, std::size_t n)
{
    std::vector<unsigned char> bytes(n);
    input.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(n));
    bytes.resize(static_cast<std::size_t>(input.gcount()));
    return bytes;
}

void put_bytes(std::ostream& output, const std::vector<unsigned char>& bytes)
{
    output.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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
    const std::vector<unsigned char> number = take_bytes(input, 4);
    std::int32_t atom = 0;
    if (!RecordDecoder(number).int32(atom))
        return BlockRead::cut_short;
    block.atom = atom;
    if (block.atom < 1 || block.atom > MAX_SURFACE_ATOMS)
        return BlockRead::bad_atom;
    SurfaceGrid& grid = block.grid;
    grid.n_theta = n_theta;
    grid.n_phi = n_phi;
    grid.radii.assign(static_cast<size_t>(n_theta + 1) * (n_phi + 1), 0.0);
    // Label and position (unused), start radius, then the stored radii: the
    // whole first meridian, the inner points of the others.
    const auto stored = static_cast<std::size_t>(n_theta + 1 + (n_phi - 1) * (n_theta - 1));
    const std::vector<unsigned char> rest = take_bytes(input, 8 + 3 * 8 + 8 + stored * 8);
    RecordDecoder decoder(rest);
    if (!decoder.skip(8 + 3 * 8) || !decoder.real64(grid.start_radius))
        return BlockRead::cut_short;
    if (!(grid.start_radius > 0) || !std::isfinite(grid.start_radius))
        return BlockRead::bad_radius;
    for (int j = 0; j < n_phi; ++j) {
        const int first = j == 0 ? 0 : 1;
        const int last = j == 0 ? n_theta : n_theta - 1;
        for (int i = first; i <= last; ++i) {
            if (!decoder.real64(grid.at(i, j)))
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
    std::vector<unsigned char> bytes;
    append_text(bytes, std::string_view(MAGIC, 3));
    append_int32(bytes, n_theta);
    append_int32(bytes, n_phi);
    put_bytes(output, bytes);
}

void write_surface_block(std::ostream& output, int atom, const AtomLabel& label, const Vector3& position,
                         const SurfaceGrid& grid)
{
    std::vector<unsigned char> bytes;
    append_int32(bytes, atom);
    append_text(bytes, std::string_view(label.data(), 8));
    for (double x : position)
        append_real64(bytes, x);
    append_real64(bytes, grid.start_radius);
    for (int j = 0; j < grid.n_phi; ++j) {
        const int first = j == 0 ? 0 : 1;
        const int last = j == 0 ? grid.n_theta : grid.n_theta - 1;
        for (int i = first; i <= last; ++i)
            append_real64(bytes, grid.at(i, j));
    }
    put_bytes(output, bytes);
}

bool read_interatomic_surface_stream(std::istream& input, const std::string& file_name,
                                     InteratomicSurfaceTable& table)
{
    const std::vector<unsigned char> magic = take_bytes(input, 3);
    if (magic.size() != 3 || std::memcmp(magic.data(), MAGIC, 3) != 0)
        return refuse("This is not IAS file.");
    const std::vector<unsigned char> header = take_bytes(input, 8);
    RecordDecoder decoder(header);
    std::int32_t n_theta = 0, n_phi = 0;
    if (!decoder.int32(n_theta) || !decoder.int32(n_phi))
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
        if (read == BlockRead::cut_short && !blocks.empty()) {
            ui().message_box("The surface file " + file_name + " ends inside the block of atom " + number
                                 + "; the " + std::to_string(blocks.size()) + " complete blocks before it are read.",
                             "Warning!", MessageButtons::ok, MessageIcon::warning);
            break;
        }
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
    std::ifstream input;
    std::string refusal;
    if (!open_input_file(path, input, refusal))
        return refuse(refusal.empty() ? "Can not open file " + path : refusal);
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
