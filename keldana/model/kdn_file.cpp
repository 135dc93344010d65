#include "keldana/model/kdn_file.h"

#include "common/file_units.h"
#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/input_checks.h"
#include "keldana/model/text_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>

namespace {

// The writer's factor from 1/Angstrom to 1/bohr; the load divides by
// BOHR_ANGSTROM, which agrees to the printed precision.
constexpr double ZETA_TO_PER_BOHR = 0.5291772;
constexpr std::size_t RECORD_LENGTH = 80;

// Population lines of l = 0..4, centred under each other.
constexpr std::array<const char*, MAX_L + 1> POPULATION_FORMATS = {
    "(32X,F8.4,32X)", "(24X,3F8.4,24X)", "(16X,5F8.4,16X)", "(8X,7F8.4,8X)", "(9F8.4)"};

std::string field_text(std::span<const char> field, std::size_t length)
{
    return std::string(field.data(), std::min(length, field.size()));
}

// ---------------------------------------------------------------- writer

// A dummy reference points past the N working atoms in memory and past the
// Nind atoms in the file.
int file_frame_atom_1(int f, int n, int n_ind)
{
    if (std::abs(f) <= n_ind)
        return f;
    const int magnitude = std::abs(f) - n + n_ind;
    return f < 0 ? -magnitude : magnitude;
}

int file_frame_atom(int f, int n, int n_ind) { return f > n_ind ? f - n + n_ind : f; }

void add_atom_block(std::vector<std::string>& records, const StructureModel& model, int i)
{
    const PseudoatomParameters& pseudo = model.pseudoatoms;
    const LocalAxisDefinitions& axes = model.local_axes;
    const int n = model.atoms.atom_count;
    const int n_ind = model.atoms.independent_atom_count;
    const int l_max = std::clamp(pseudo.l_max[i], 0, MAX_L);

    records.push_back(format_line("(3I6,3X,A1,2I6,3X,A1,10X,'/* atom: ',A6,' */')",
                                  {l_max, pseudo.core_electron_count[i],
                                   file_frame_atom_1(axes.frame_atom_1[i], n, n_ind),
                                   std::string(1, axes.frame_axis_letter_1[i]),
                                   file_frame_atom(axes.frame_atom_2[i], n, n_ind),
                                   file_frame_atom(axes.frame_atom_3[i], n, n_ind),
                                   std::string(1, axes.frame_axis_letter_2[i]),
                                   field_text(model.atoms.atom_label[i], 6)}));
    records.push_back(format_line("(A80)", {pseudo.electron_configuration[i]}));

    std::vector<FortranValue> powers, exponents;
    for (int l = 0; l <= l_max; ++l) {
        powers.emplace_back(pseudo.radial_n[i][l]);
        exponents.emplace_back(pseudo.radial_zeta[i][l] * ZETA_TO_PER_BOHR);
    }
    records.push_back(format_line("(I6,4(2X,I6))", powers));
    records.push_back(format_line("(5F8.4)", exponents));
    records.push_back(format_line("(2F9.6)", {pseudo.kappa[i], pseudo.kappa_prime[i]}));
    records.push_back(format_line(POPULATION_FORMATS[0], {pseudo.valence_population[i]}));

    const MultipolePopulations& p = pseudo.multipole_population[i];
    for (int l = 0; l <= l_max; ++l) {
        std::vector<FortranValue> level;
        for (int m = -l; m <= l; ++m)
            level.emplace_back(p(l, m));
        records.push_back(format_line(POPULATION_FORMATS[l], level));
    }
}

// ---------------------------------------------------------------- reader

// The file as lines, with the position of the next line to read; every read
// starts at a new line, as the records of the file do.
struct KdnReadState {
    std::vector<std::string> lines;
    std::size_t next = 0;
    std::string file_title;
    bool cut = false;  // the file ends inside a line with text, left out of `lines`
};

// The line the last refused read named; 0 when it named none.
int fault_line = 0;

bool report_reading_error(const KdnReadState& state, const std::string& detail)
{
    const std::string text = "Please, check input file - " + std::string(3, ' ')
                             + state.file_title.substr(0, 30) + "\n" + detail;
    ui().message_box(text, "Input file reading error", MessageButtons::ok, MessageIcon::warning);
    return false;
}

bool report_line_error(const KdnReadState& state, std::size_t line, const std::string& what,
                       const std::string& reason)
{
    fault_line = static_cast<int>(line);
    return report_reading_error(state, "Line " + std::to_string(line) + ", " + what + ": " + reason + ".");
}

bool report_end_of_file(const KdnReadState& state, const std::string& what)
{
    if (state.cut) {
        fault_line = static_cast<int>(state.lines.size() + 1);
        return report_reading_error(state, "The file ends inside line " + std::to_string(state.lines.size() + 1)
                                               + " (it has no line end) where " + what
                                               + " should follow: the file is cut short.");
    }
    fault_line = static_cast<int>(state.lines.size());
    return report_reading_error(state, "The file ends (after line " + std::to_string(state.lines.size())
                                           + ") where " + what + " should follow.");
}

// One record of up to 80 characters, as an (A80) read takes it.
bool read_text_record(KdnReadState& state, std::string& record, const std::string& what)
{
    if (state.next >= state.lines.size())
        return report_end_of_file(state, what);
    record = state.lines[state.next++].substr(0, RECORD_LENGTH);
    return true;
}

// One free-format read starting at the next line; it goes on over further
// lines while values are still expected.
bool read_free(KdnReadState& state, const FortranTarget* targets, std::size_t count, const std::string& what)
{
    ListReader reader([&state](std::string& line) {
        if (state.next >= state.lines.size())
            return -1;
        line = state.lines[state.next++];
        return 0;
    });
    if (reader.read(targets, count)) {
        // As the run-time's own read does, refuse a number beyond the range of a double.
        for (std::size_t k = 0; k < count; ++k) {
            const FortranTarget& target = targets[k];
            if (target.kind == FortranTarget::Kind::real && !std::isfinite(*static_cast<double*>(target.address)))
                return report_line_error(state, state.next, what,
                                         "value " + std::to_string(k + 1) + " is out of range");
        }
        return true;
    }
    if (reader.end_of_file())
        return report_end_of_file(state, what);
    return report_line_error(state, state.next, what, reader.error());
}

bool read_free(KdnReadState& state, std::initializer_list<FortranTarget> targets, const std::string& what)
{
    return read_free(state, targets.begin(), targets.size(), what);
}

// Words of an atom line: runs of characters other than blanks and commas.
int count_words(std::string_view text)
{
    text = text.substr(0, RECORD_LENGTH);
    int words = 0;
    bool in_word = false;
    for (char c : text) {
        const bool separator = c == ' ' || c == '\t' || c == ',' || c == '\r';
        if (!separator && !in_word)
            ++words;
        in_word = !separator;
    }
    return words;
}

template <typename Area>
void clear_area(Area& area)
{
    const auto fresh = std::make_unique<Area>();  // the areas are too big for the stack
    area = *fresh;
}

void clear_read_areas(StructureModel& model)
{
    WorkingAtomSet& atoms = model.atoms;
    atoms.atom_count = 0;
    atoms.atom_label.fill(blank_text<8>());
    atoms.frac_x.fill(0.0);
    atoms.frac_y.fill(0.0);
    atoms.frac_z.fill(0.0);
    clear_area(model.cell);
    clear_area(model.dummies);
    clear_area(model.pseudoatoms);
    clear_area(model.local_axes);
    clear_area(model.space_group);
}

std::string atom_name(const StructureModel& model, int i)
{
    return "atom " + std::to_string(i) + " (" + text_field_string(model.atoms.atom_label[i]) + ")";
}

bool read_atoms(KdnReadState& state, StructureModel& model)
{
    WorkingAtomSet& atoms = model.atoms;
    if (state.next >= state.lines.size())
        return report_end_of_file(state, "the first atom line");
    // The first atom line decides whether the atom lines hold an occupancy.
    const int values = count_words(state.lines[state.next]) - 1;
    if (values != 3 && values != 4)
        return report_line_error(state, state.next + 1, "the first atom line",
                                 "a label and 3 or 4 numbers were expected, " + std::to_string(values)
                                     + " values follow the label");
    for (int i = 1; i <= atoms.atom_count; ++i) {
        std::string label;
        double occupancy = 1.0;
        const FortranTarget targets[] = {&label, &atoms.frac_x[i], &atoms.frac_y[i], &atoms.frac_z[i], &occupancy};
        if (!read_free(state, targets, 1 + static_cast<std::size_t>(values), "atom line " + std::to_string(i)))
            return false;
        set_text_field(atoms.atom_label[i], label);
        model.pseudoatoms.occupancy[i] = occupancy;
    }
    return true;
}

bool read_dummy_atoms(KdnReadState& state, DummyAtoms& dummies)
{
    // One read for all of them: they may share lines.
    std::vector<std::string> labels(static_cast<std::size_t>(dummies.dummy_count));
    std::vector<FortranTarget> targets;
    for (int d = 1; d <= dummies.dummy_count; ++d) {
        targets.emplace_back(&labels[static_cast<std::size_t>(d - 1)]);
        targets.emplace_back(&dummies.dummy_x[d]);
        targets.emplace_back(&dummies.dummy_y[d]);
        targets.emplace_back(&dummies.dummy_z[d]);
    }
    if (!targets.empty() && !read_free(state, targets.data(), targets.size(), "the dummy atoms"))
        return false;
    for (int d = 1; d <= dummies.dummy_count; ++d)
        set_text_field(dummies.dummy_label[d], labels[static_cast<std::size_t>(d - 1)]);
    return true;
}

char first_letter(const std::string& word) { return word.empty() ? ' ' : word.front(); }

bool read_atom_block(KdnReadState& state, StructureModel& model, int i)
{
    PseudoatomParameters& pseudo = model.pseudoatoms;
    LocalAxisDefinitions& axes = model.local_axes;
    const std::string atom = atom_name(model, i);

    std::string letter_1, letter_2;
    int l_max = 0;
    if (!read_free(state,
                   {&l_max, &pseudo.core_electron_count[i], &axes.frame_atom_1[i], &letter_1,
                    &axes.frame_atom_2[i], &axes.frame_atom_3[i], &letter_2},
                   "the local frame of " + atom))
        return false;
    axes.frame_axis_letter_1[i] = first_letter(letter_1);
    axes.frame_axis_letter_2[i] = first_letter(letter_2);
    if (l_max < 0 || l_max > MAX_L)
        return report_line_error(state, state.next, "the local frame of " + atom,
                                 "l_max " + std::to_string(l_max) + " is outside 0 to 4");
    pseudo.l_max[i] = l_max;
    // The frame of an atom with multipoles is built from these points.
    const int points = model.atoms.atom_count + model.dummies.dummy_count;
    if (l_max > 0
        && (!frame_atom_1_in_range(axes.frame_atom_1[i], points) || !frame_atom_in_range(axes.frame_atom_2[i], points)
            || !frame_atom_in_range(axes.frame_atom_3[i], points)))
        return report_line_error(state, state.next, "the local frame of " + atom,
                                 "the frame atoms must be atoms or dummy atoms, 1 to " + std::to_string(points));

    std::string configuration;
    if (!read_text_record(state, configuration, "the electron configuration of " + atom))
        return false;
    set_text_field(pseudo.electron_configuration[i], configuration);

    std::vector<FortranTarget> powers, exponents;
    for (int l = 0; l <= l_max; ++l) {
        powers.emplace_back(&pseudo.radial_n[i][l]);
        exponents.emplace_back(&pseudo.radial_zeta[i][l]);
    }
    if (!read_free(state, powers.data(), powers.size(), "the radial powers n(l) of " + atom)
        || !read_free(state, exponents.data(), exponents.size(), "the radial exponents zeta(l) of " + atom))
        return false;

    std::vector<FortranTarget> populations = {&pseudo.kappa[i], &pseudo.kappa_prime[i],
                                              &pseudo.valence_population[i]};
    MultipolePopulations& p = pseudo.multipole_population[i];
    for (int l = 0; l <= l_max; ++l)
        for (int m = -l; m <= l; ++m)
            populations.emplace_back(&p(l, m));
    return read_free(state, populations.data(), populations.size(), "the kappas and populations of " + atom);
}

bool read_symmetry(KdnReadState& state, SpaceGroupSymmetry& symmetry)
{
    std::string record;
    if (!read_text_record(state, record, "the symmetry header line"))
        return false;
    set_text_field(symmetry.symmetry_header_line, record);

    if (!read_text_record(state, record, "the centring line"))
        return false;
    set_text_field(symmetry.centring_word, record);
    record.resize(RECORD_LENGTH, ' ');
    // The lattice letter follows the last "/"; without one it stays as it was.
    if (const std::size_t slash = record.rfind('/'); slash != std::string::npos)
        symmetry.lattice_letter = slash + 1 < record.size() ? record[slash + 1] : ' ';

    for (int k = 1;; ++k) {
        const std::string what = "symmetry card " + std::to_string(k) + " or the \"END\" card";
        if (!read_text_record(state, record, what))
            return false;
        std::array<std::array<FixedText<3>, 3>, 3> card{};
        std::vector<FortranTarget> fields;
        for (auto& row : card)
            for (auto& field : row)
                fields.emplace_back(&field);
        std::string error;
        if (!read_record(record, "(3(3A3,1X))", fields, &error))
            return report_line_error(state, state.next, what, error);
        const std::string_view first(card[0][0].data(), 3);
        if (first == "END" || first == "end") {
            symmetry.symmetry_card_count = k - 1;
            return true;
        }
        if (k > MAX_SYMMETRY_CARDS)
            return report_line_error(state, state.next, what,
                                     "more than " + std::to_string(MAX_SYMMETRY_CARDS) + " symmetry cards");
        for (int row = 1; row <= 3; ++row)
            for (int field = 1; field <= 3; ++field)
                symmetry.symmetry_card_text[k][row][field] = card[row - 1][field - 1];
    }
}

bool read_kdn_lines(KdnReadState& state, StructureModel& model)
{
    clear_read_areas(model);

    std::string record;
    if (!read_text_record(state, record, "the title"))
        return false;
    set_text_field(model.space_group.input_title, record);

    UnitCell& cell = model.cell;
    if (!read_free(state,
                   {&cell.cell_a, &cell.cell_b, &cell.cell_c, &cell.cell_alpha, &cell.cell_beta, &cell.cell_gamma},
                   "the cell parameters"))
        return false;

    int atom_count = 0, dummy_count = 0;
    if (!read_free(state, {&atom_count, &dummy_count}, "the numbers of atoms and dummy atoms"))
        return false;
    if (atom_count < 1 || atom_count > MAX_INDEPENDENT_ATOMS)
        return report_line_error(state, state.next, "the number of atoms",
                                 std::to_string(atom_count) + " atoms; 1 to "
                                     + std::to_string(MAX_INDEPENDENT_ATOMS) + " can be read");
    if (dummy_count < 0 || dummy_count > MAX_DUMMY_ATOMS)
        return report_line_error(state, state.next, "the number of dummy atoms",
                                 std::to_string(dummy_count) + " dummy atoms; 0 to "
                                     + std::to_string(MAX_DUMMY_ATOMS) + " can be read");
    model.atoms.atom_count = atom_count;
    model.dummies.dummy_count = dummy_count;

    if (!read_atoms(state, model) || !read_dummy_atoms(state, model.dummies))
        return false;
    for (int i = 1; i <= atom_count; ++i)
        if (!read_atom_block(state, model, i))
            return false;
    return read_symmetry(state, model.space_group);
}

}  // namespace

std::vector<std::string> format_kdn_input_records(const StructureModel& model, KdnCountLayout layout)
{
    const WorkingAtomSet& atoms = model.atoms;
    const DummyAtoms& dummies = model.dummies;
    const SpaceGroupSymmetry& symmetry = model.space_group;
    const UnitCell& cell = model.cell;
    // Only the atoms of the input are saved; the symmetry images are rebuilt at load.
    const int n_ind = std::clamp(atoms.independent_atom_count, 0, MAX_INDEPENDENT_ATOMS);
    const int dummy_count = std::clamp(dummies.dummy_count, 0, MAX_DUMMY_ATOMS);
    const int card_count = std::clamp(symmetry.symmetry_card_count, 0, MAX_SYMMETRY_CARDS);

    std::vector<std::string> records;
    records.push_back(format_line("(A80)", {symmetry.input_title}));
    records.push_back(format_line("(6F9.4)", {cell.cell_a, cell.cell_b, cell.cell_c, cell.cell_alpha,
                                              cell.cell_beta, cell.cell_gamma}));
    records.push_back(
        format_line(layout == KdnCountLayout::list_directed ? "*" : "(2I10)", {n_ind, dummy_count}));
    for (int i = 1; i <= n_ind; ++i)
        records.push_back(format_line("(A8,3F12.6,5X,F8.6)", {atoms.atom_label[i], atoms.frac_x[i], atoms.frac_y[i],
                                                              atoms.frac_z[i], model.pseudoatoms.occupancy[i]}));
    for (int d = 1; d <= dummy_count; ++d)
        records.push_back(format_line("(A8,3F12.6)", {dummies.dummy_label[d], dummies.dummy_x[d], dummies.dummy_y[d],
                                                      dummies.dummy_z[d]}));
    for (int i = 1; i <= n_ind; ++i)
        add_atom_block(records, model, i);

    records.push_back(format_line("(A80)", {symmetry.symmetry_header_line}));
    records.push_back(
        format_line("(A20,1X,'/',A1)", {symmetry.centring_word, std::string(1, symmetry.lattice_letter)}));
    for (int k = 1; k <= card_count; ++k) {
        std::vector<FortranValue> fields;
        for (int row = 1; row <= 3; ++row)
            for (int field = 1; field <= 3; ++field)
                fields.emplace_back(symmetry.symmetry_card_text[k][row][field]);
        records.push_back(format_line("(3(3A3,1X))", fields));
    }
    records.push_back("END");
    return records;
}

bool write_kdn_input_file(std::ostream& output, const StructureModel& model)
{
    for (const std::string& record : format_kdn_input_records(model))
        output << record << '\n';
    output.flush();
    return !output.fail();
}

int last_kdn_fault_line() { return fault_line; }
void forget_kdn_fault_line() { fault_line = 0; }

bool read_kdn_input_file(std::istream& input, const std::string& file_title, StructureModel& model)
{
    fault_line = 0;
    KdnReadState state;
    state.file_title = file_title;
    for (std::string line; std::getline(input, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // A last line without its line end may hold a number cut short.
        if (ends_inside_record(input, line)) {
            state.cut = true;
            break;
        }
        state.lines.push_back(std::move(line));
    }
    if (input.bad())
        return report_reading_error(state, "The file could not be read.");
    return read_kdn_lines(state, model);
}

bool read_kdn_input_file(const std::string& path, const std::string& file_title, StructureModel& model)
{
    std::ifstream input;
    std::string refusal;
    if (!open_input_file(path, input, refusal)) {
        fault_line = 0;
        KdnReadState state;
        state.file_title = file_title;
        return report_reading_error(state, refusal.empty() ? "The file " + path + " could not be opened." : refusal);
    }
    return read_kdn_input_file(input, file_title, model);
}
