#include "keldana/model/molly_file.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/element_table.h"
#include "keldana/model/input_checks.h"
#include "keldana/model/symmetry_cards.h"
#include "keldana/model/text_fields.h"
#include "keldana/model/xd_files_text.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

struct MollyRead {
    RefinementTextFile parameter;
    RefinementTextFile table;
    std::string parameter_title;
    std::string table_title;
    StructureModel* model = nullptr;
    MollyValenceSets valence;
    MollyKappaSets kappas;
    // Per atom, as its card gives them.
    PerIndependentAtom<int> valence_set{}, kappa_set{};
    PerIndependentAtom<double> site_divisor{}, multiplier{};
    PerIndependentAtom<std::size_t> card_line{};
};

bool format_error(const std::string& title, const std::string& detail)
{
    ui().message_box("Please, check input file format - " + title.substr(0, 26) + "\n" + detail, "Reading error",
                     MessageButtons::ok, MessageIcon::warning);
    return false;
}

bool table_line_error(const MollyRead& read, const std::string& what, const std::string& reason)
{
    return format_error(read.table_title, refinement_line_detail(read.table.next, what, reason));
}

bool table_end(const MollyRead& read, const std::string& what)
{
    return format_error(read.table_title, refinement_end_detail(read.table, what));
}

bool parameter_line_error(const MollyRead& read, std::size_t line, const std::string& what, const std::string& reason)
{
    return format_error(read.parameter_title, refinement_line_detail(line, what, reason));
}

bool parameter_end(const MollyRead& read, const std::string& what)
{
    return format_error(read.parameter_title, refinement_end_detail(read.parameter, what));
}

// A count read from the line after a section's keyword, within 0..capacity.
bool read_section_count(MollyRead& read, RefinementTextFile& file, bool table_file, const std::string& what,
                        int capacity, int& count)
{
    std::string error;
    const std::string& title = table_file ? read.table_title : read.parameter_title;
    if (!read_refinement_list(file, {&count}, error))
        return format_error(title, refinement_line_detail(file.next, what, error));
    if (count < 0 || count > capacity)
        return format_error(title, refinement_line_detail(file.next, what,
                                                           std::to_string(count) + "; 0 to " + std::to_string(capacity)
                                                               + " can be read"));
    return true;
}

bool find_section(MollyRead& read, RefinementTextFile& file, bool table_file, const char* keyword)
{
    std::string line;
    if (find_refinement_keyword(file, keyword, false, line))
        return true;
    const std::string what = std::string("the ") + keyword + " section";
    return table_file ? table_end(read, what) : parameter_end(read, what);
}

// ---- table file ----

bool read_valence_sets(MollyRead& read)
{
    MollyValenceSets& sets = read.valence;
    if (!find_section(read, read.table, true, "VALE")
        || !read_section_count(read, read.table, true, "the number of valence sets", MOLLY_MAX_SETS,
                               sets.valence_set_count))
        return false;
    std::string line, error;
    for (int k = 1; k <= sets.valence_set_count; ++k) {
        const std::string what = "valence set " + std::to_string(k);
        do {
            if (!read_refinement_line(read.table, line))
                return table_end(read, "the ST line of " + what);
        } while (line.compare(0, 2, "ST") != 0);
        std::vector<FortranTarget> targets;
        for (int l = 0; l <= MAX_L; ++l) {
            targets.emplace_back(&sets.valence_set_n[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)]);
            targets.emplace_back(&sets.valence_set_zeta[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)]);
        }
        if (!read_record(line, "(20X,5(I2,F8.5))", targets, &error))
            return table_line_error(read, "the ST line of " + what, error);
        if (!read_refinement_line(read.table, line))
            return table_end(read, "the name of " + what);
        FixedText<4> name = blank_text<4>();
        if (!read_record(line, "(1X,A4)", {&name}, &error))
            return table_line_error(read, "the name of " + what, error);
        sets.valence_set_name[static_cast<std::size_t>(k)] = clean_molly_valence_set_name(name);
    }
    return true;
}

bool read_cell(MollyRead& read)
{
    if (!find_section(read, read.table, true, "CELL"))
        return false;
    UnitCell& cell = read.model->cell;
    double unused = 0.0;
    std::string error;
    if (!read_refinement_list(read.table, {&cell.cell_a, &cell.cell_b, &cell.cell_c, &cell.cell_alpha,
                                           &cell.cell_beta, &cell.cell_gamma, &unused},
                              error))
        return table_line_error(read, "the cell", error);
    return true;
}

// ---- parameter file ----

bool read_kappa_sets(MollyRead& read)
{
    MollyKappaSets& sets = read.kappas;
    if (!find_section(read, read.parameter, false, "KAPP")
        || !read_section_count(read, read.parameter, false, "the number of kappa sets", MOLLY_MAX_SETS,
                               sets.kappa_set_count))
        return false;
    for (int s = 1; s <= sets.kappa_set_count; ++s) {
        int number = 0;
        std::array<double, 4>& v = sets.kappa_set_values[static_cast<std::size_t>(s)];
        std::string error;
        if (!read_refinement_list(read.parameter, {&number, &v[0], &v[1], &v[2], &v[3]}, error))
            return parameter_line_error(read, read.parameter.next, "kappa set " + std::to_string(s), error);
    }
    return true;
}

// Beyond any atom's electrons: the sum of a kappa set's counts is refused above it.
constexpr double MAX_ELECTRON_COUNT = 1000.0;

// Integer part of a set number written as a real; 0 (no set) when it is out of range.
int set_number(double value)
{
    return std::fabs(value) < MOLLY_MAX_SETS + 1 ? static_cast<int>(std::trunc(value)) : 0;
}

// A label led by its element symbol: "1" of set S becomes S1, "C1" of set Cl
// becomes Cl1.
void lead_label_with_symbol(AtomLabel& label, const FixedText<4>& name)
{
    std::string symbol(name.data(), name.size());
    symbol = symbol.substr(0, symbol.find(' '));
    const std::string text(label.data(), label.size());
    std::size_t p = 0;
    while (p < symbol.size() && text[p] == symbol[p])
        ++p;
    if (p < symbol.size())
        set_text_field(label, symbol + text.substr(p));
}

bool read_atom(MollyRead& read, int i)
{
    StructureModel& model = *read.model;
    WorkingAtomSet& atoms = model.atoms;
    LocalAxisDefinitions& axes = model.local_axes;
    PseudoatomParameters& pseudo = model.pseudoatoms;
    std::string card, error;
    if (!read_refinement_line(read.parameter, card))
        return parameter_end(read, "the card of atom " + std::to_string(i));
    const std::size_t line = read.parameter.next;
    read.card_line[i] = line;
    FixedText<5> label = blank_text<5>();
    double valence_index = 0, kappa_index = 0;
    int levels = 0;
    if (!read_record(card, "(A5,2X,2A1,3I3,2F3.0,I3,4F9.6,F8.3)",
                     {&label, FortranTarget(&axes.frame_axis_letter_1[i], 1),
                      FortranTarget(&axes.frame_axis_letter_2[i], 1), &axes.frame_atom_1[i], &axes.frame_atom_2[i],
                      &axes.frame_atom_3[i], &valence_index, &kappa_index, &levels, &atoms.frac_x[i],
                      &atoms.frac_y[i], &atoms.frac_z[i], &read.site_divisor[i], &read.multiplier[i]},
                     &error))
        return parameter_line_error(read, line, "the card of atom " + std::to_string(i), error);
    set_text_field(atoms.atom_label[i], std::string_view(label.data(), label.size()));
    const std::string what = "the card of " + refinement_atom_name(model, i);
    // Set numbers are written as reals; their integer parts count.
    const int v = set_number(valence_index);
    const int s = set_number(kappa_index);
    if (v < 1 || v > read.valence.valence_set_count)
        return parameter_line_error(read, line, what,
                                    "valence set " + std::to_string(v) + " is not among the "
                                        + std::to_string(read.valence.valence_set_count) + " read");
    if (s < 1 || s > read.kappas.kappa_set_count)
        return parameter_line_error(read, line, what,
                                    "kappa set " + std::to_string(s) + " is not among the "
                                        + std::to_string(read.kappas.kappa_set_count) + " read");
    const double electrons = read.kappas.kappa_set_values[static_cast<std::size_t>(s)][2]
                             + read.kappas.kappa_set_values[static_cast<std::size_t>(s)][3];
    if (!(std::fabs(electrons) <= MAX_ELECTRON_COUNT))
        return parameter_line_error(read, line, what,
                                    "the electron counts of kappa set " + std::to_string(s) + " are out of range");
    if (levels < 1 || levels > MAX_L + 1)
        return parameter_line_error(read, line, what,
                                    std::to_string(levels) + " multipole levels; 1 to 5 can be read");
    if (read.site_divisor[i] == 0.0)
        return parameter_line_error(read, line, what, "the site divisor is 0");
    if (!sane_site_factor(read.site_divisor[i]) || !sane_site_factor(read.multiplier[i]))
        return parameter_line_error(read, line, what,
                                    "the site divisor and the multiplier must lie between "
                                        + format_line("(G0.3)", {MIN_SITE_FACTOR}) + " and "
                                        + format_line("(G0.3)", {MAX_SITE_FACTOR}) + " in size");
    read.valence_set[i] = v;
    read.kappa_set[i] = s;
    pseudo.l_max[i] = levels - 1;

    const FixedText<4>& name = read.valence.valence_set_name[static_cast<std::size_t>(v)];
    lead_label_with_symbol(atoms.atom_label[i], name);
    const int type = find_atom_type(model.atom_types, name);
    if (type == 0)
        return report_refinement_error("No atomic number for atom type " + std::string(name.data(), 4), "Error!");
    atoms.atomic_number[i] = model.atom_types.type_atomic_number[type];
    set_text_field(pseudo.electron_configuration[i], text_field_string(model.atom_types.type_text[type]));

    if (!read_refinement_line(read.parameter, card))
        return parameter_end(read, "the line after the card of " + refinement_atom_name(model, i));
    // Pv, then P(l,0), P(l,+1), P(l,-1), ..., P(l,+l), P(l,-l) for every l.
    MultipolePopulations& p = pseudo.multipole_population[i];
    std::vector<FortranTarget> populations = {&pseudo.valence_population[i]};
    for (int l = 0; l <= MAX_L; ++l) {
        populations.emplace_back(&p(l, 0));
        for (int m = 1; m <= l; ++m) {
            populations.emplace_back(&p(l, m));
            populations.emplace_back(&p(l, -m));
        }
    }
    if (!read_refinement_list(read.parameter, populations.data(), populations.size(), error))
        return parameter_line_error(read, read.parameter.next, "the populations of " + refinement_atom_name(model, i), error);
    return true;
}

bool read_atoms(MollyRead& read)
{
    StructureModel& model = *read.model;
    int atom_count = 0;
    if (!find_section(read, read.parameter, false, "ATOM")
        || !read_section_count(read, read.parameter, false, "the number of atoms", MAX_INDEPENDENT_ATOMS, atom_count))
        return false;
    if (atom_count < 1)
        return parameter_line_error(read, read.parameter.next, "the number of atoms",
                                    "0; 1 to " + std::to_string(MAX_INDEPENDENT_ATOMS) + " can be read");
    model.atoms.atom_count = atom_count;
    for (int i = 1; i <= atom_count; ++i)
        if (!read_atom(read, i))
            return false;

    PseudoatomParameters& pseudo = model.pseudoatoms;
    for (int i = 1; i <= atom_count; ++i) {
        MultipolePopulations& p = pseudo.multipole_population[i];
        // The file's dipole order is P(1,+1), P(1,-1), P(1,0); its sine
        // harmonics of m = 3 have the opposite sign.
        const double first = p(1, 0), second = p(1, 1), third = p(1, -1);
        p(1, 1) = first;
        p(1, -1) = second;
        p(1, 0) = third;
        p(3, -3) = -p(3, -3);
        p(4, -3) = -p(4, -3);

        pseudo.occupancy[i] = 1.0;
        const double factor = (1.0 / read.site_divisor[i]) * read.multiplier[i];
        pseudo.valence_population[i] *= factor;
        for (int l = 0; l <= pseudo.l_max[i]; ++l)
            for (int m = -l; m <= l; ++m)
                p(l, m) *= factor;

        const std::size_t v = static_cast<std::size_t>(read.valence_set[i]);
        const std::array<double, 4>& kappas = read.kappas.kappa_set_values[static_cast<std::size_t>(read.kappa_set[i])];
        pseudo.core_electron_count[i] = model.atoms.atomic_number[i] - static_cast<int>(std::trunc(kappas[2] + kappas[3]));
        for (int l = 0; l <= pseudo.l_max[i]; ++l) {
            const std::size_t ul = static_cast<std::size_t>(l);
            pseudo.radial_n[i][ul] = read.valence.valence_set_n[v][ul];
            pseudo.radial_zeta[i][ul] = read.valence.valence_set_zeta[v][ul];
            if (!(pseudo.radial_zeta[i][ul] > 0.0 && pseudo.radial_zeta[i][ul] <= MAX_RADIAL_EXPONENT))
                return parameter_line_error(read, read.card_line[i], "the card of " + refinement_atom_name(model, i),
                                            "the exponent zeta(" + std::to_string(l) + ") of valence set "
                                                + std::to_string(v) + " is not positive and finite");
        }
        pseudo.kappa[i] = kappas[0];
        pseudo.kappa_prime[i] = kappas[1];
    }
    return true;
}

// ---- symmetry and dummy atoms ----

std::string blanked_from_slash(std::string text)
{
    if (const std::size_t slash = text.find('/'); slash != std::string::npos)
        text.replace(slash, std::string::npos, text.size() - slash, ' ');
    return text;
}

bool read_counted_cards(MollyRead& read, SpaceGroupSymmetry& symmetry)
{
    int count = 0;
    if (!read_section_count(read, read.table, true, "the number of symmetry cards", MAX_SYMMETRY_CARDS, count))
        return false;
    std::string line, reason;
    for (int k = 1; k <= count; ++k) {
        if (!read_refinement_line(read.table, line))
            return table_end(read, "symmetry card " + std::to_string(k));
        if (!convert_symmetry_operator_text(std::string_view(line).substr(0, 80),
                                            SymmetryMatrixLayout::translations_then_columns,
                                            symmetry.symmetry_card_text[k], reason))
            return table_line_error(read, "symmetry card " + std::to_string(k), reason);
        symmetry.symmetry_card_count = k;
    }
    return true;
}

bool read_field_cards(MollyRead& read, SpaceGroupSymmetry& symmetry)
{
    for (int k = 1;; ++k) {
        const std::string what = "symmetry card " + std::to_string(k) + " or the \"END\" card";
        std::string line, error;
        if (!read_refinement_line(read.table, line))
            return table_end(read, what);
        SymmetryCardText card = identity_symmetry_card();
        std::vector<FortranTarget> fields;
        for (int row = 1; row <= 3; ++row)
            for (int field = 1; field <= 3; ++field)
                fields.emplace_back(&card[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)]);
        if (!read_record(line, "(3(3A3,1X))", fields, &error))
            return table_line_error(read, what, error);
        if (std::string_view(card[1][1].data(), 3) == "END")
            return true;
        if (k > MAX_SYMMETRY_CARDS)
            return table_line_error(read, what, "more than " + std::to_string(MAX_SYMMETRY_CARDS) + " symmetry cards");
        symmetry.symmetry_card_text[k] = card;
        symmetry.symmetry_card_count = k;
    }
}

bool read_symmetry(MollyRead& read)
{
    if (!find_section(read, read.table, true, "SYMM"))
        return false;
    SpaceGroupSymmetry& symmetry = read.model->space_group;
    set_text_field(symmetry.symmetry_header_line, std::string_view(read.table.lines[read.table.next - 1]).substr(0, 80));
    std::string line;
    if (!read_refinement_line(read.table, line))
        return table_end(read, "the centring line");
    const bool counted = line[0] == '/';
    set_text_field(symmetry.centring_word, blanked_from_slash(line.substr(counted ? 1 : 0, 20)));
    if (!counted)
        symmetry.lattice_letter = ' ';
    if (const std::size_t slash = line.find('/', 3); slash != std::string::npos)
        symmetry.lattice_letter = slash + 1 < line.size() ? line[slash + 1] : ' ';
    return counted ? read_counted_cards(read, symmetry) : read_field_cards(read, symmetry);
}

// Digits of fixed columns [first, first + count) of a line.
bool read_digits(const std::string& line, std::size_t first, std::size_t count, int& value)
{
    value = 0;
    for (std::size_t k = first; k < first + count; ++k) {
        if (line[k] < '0' || line[k] > '9')
            return false;
        value = 10 * value + (line[k] - '0');
    }
    return true;
}

// A dummy atom given as the image of an atom: "S aa tttoo".
bool place_generated_dummy(MollyRead& read, const std::string& line, int d)
{
    StructureModel& model = *read.model;
    const std::string what = "dummy atom " + std::to_string(d);
    int atom = 0, operation = 0;
    std::array<int, 3> translation{};
    if (!read_digits(line, 2, 2, atom) || !read_digits(line, 5, 1, translation[0])
        || !read_digits(line, 6, 1, translation[1]) || !read_digits(line, 7, 1, translation[2])
        || !read_digits(line, 8, 2, operation))
        return table_line_error(read, what,
                                "columns 3-4, 6-8 and 9-10 must hold the atom, the lattice translations and the "
                                "operator as digits");
    if (operation == 0 || operation == 50)
        return report_refinement_error("Dummy atom lattice translations are not correct!", "Error!");
    double sign = 1.0;
    if (operation > 50) {
        operation -= 50;
        sign = -1.0;
    }
    if (atom < 1 || atom > model.atoms.atom_count)
        return table_line_error(read, what, "atom " + std::to_string(atom) + " is not among the "
                                                + std::to_string(model.atoms.atom_count) + " atoms");
    if (operation > model.operators.symop_count)
        return table_line_error(read, what, "operator " + std::to_string(operation) + " is not among the "
                                                + std::to_string(model.operators.symop_count) + " operators");
    const auto& op = model.operators.symop[static_cast<std::size_t>(operation)];
    const WorkingAtomSet& atoms = model.atoms;
    std::array<double, 3> position{};
    for (std::size_t r = 1; r <= 3; ++r)
        position[r - 1] = sign * (op[r][1] * atoms.frac_x[atom] + op[r][2] * atoms.frac_y[atom]
                                  + op[r][3] * atoms.frac_z[atom])
                          + op[r][4] + (translation[r - 1] - 5);
    DummyAtoms& dummies = model.dummies;
    dummies.dummy_x[d] = position[0];
    dummies.dummy_y[d] = position[1];
    dummies.dummy_z[d] = position[2];
    return true;
}

bool read_dummy_atoms(MollyRead& read)
{
    DummyAtoms& dummies = read.model->dummies;
    if (!find_section(read, read.table, true, "DUMM")
        || !read_section_count(read, read.table, true, "the number of dummy atoms", MAX_DUMMY_ATOMS,
                               dummies.dummy_count))
        return false;
    for (int d = 1; d <= dummies.dummy_count; ++d) {
        std::string line, error;
        if (!read_refinement_line(read.table, line))
            return table_end(read, "dummy atom " + std::to_string(d));
        if (line[0] == 'S') {
            if (!place_generated_dummy(read, line, d))
                return false;
        } else {
            --read.table.next;
            if (!read_refinement_list(read.table, {&dummies.dummy_x[d], &dummies.dummy_y[d], &dummies.dummy_z[d]},
                                      error))
                return table_line_error(read, "dummy atom " + std::to_string(d), error);
        }
        // Numbered after the atoms.
        const int number = read.model->atoms.atom_count + d;
        set_text_field(dummies.dummy_label[d], number < 100 ? format_line("(I2)", {number}) : std::to_string(number));
    }
    return true;
}

// Frames can be checked once the dummy atoms are known.
bool check_frame_atoms(const MollyRead& read)
{
    const StructureModel& model = *read.model;
    const LocalAxisDefinitions& axes = model.local_axes;
    const int points = model.atoms.atom_count + model.dummies.dummy_count;
    for (int i = 1; i <= model.atoms.atom_count; ++i)
        if (model.pseudoatoms.l_max[i] > 0
            && (!frame_atom_1_in_range(axes.frame_atom_1[i], points) || !frame_atom_in_range(axes.frame_atom_2[i], points)
                || !frame_atom_in_range(axes.frame_atom_3[i], points)))
            return parameter_line_error(read, read.card_line[i], "the card of " + refinement_atom_name(model, i),
                                        "the frame atoms must be atoms or dummy atoms, 1 to " + std::to_string(points));
    return true;
}

bool read_molly_texts(MollyRead& read)
{
    StructureModel& model = *read.model;
    clear_refinement_read_areas(model);
    if (!read_valence_sets(read) || !read_cell(read) || !read_kappa_sets(read) || !read_atoms(read)
        || !read_symmetry(read))
        return false;
    set_text_field(model.space_group.input_title, "Keldana input file ... <dummy string>");
    if (!parse_symmetry_cards(model.space_group, model.operators, false))
        return false;
    return read_dummy_atoms(read) && check_frame_atoms(read);
}

}  // namespace

std::string molly_table_file_path(const std::string& parameter_path)
{
    const std::size_t dot = parameter_path.rfind('.');
    const std::size_t folder = parameter_path.find_last_of("/\\");
    if (dot == std::string::npos || (folder != std::string::npos && dot < folder))
        return "";
    return parameter_path.substr(0, dot + 1) + "tab";
}

FixedText<4> clean_molly_valence_set_name(const FixedText<4>& name)
{
    FixedText<4> clean = name;
    auto is_sign = [](char c) { return c == '+' || c == '-'; };
    for (std::size_t k = 3; k >= 2; --k) {
        if (is_sign(clean[k]))
            return clean;
        clean[k] = ' ';
    }
    if (!is_sign(clean[1]) && !(clean[1] >= 'a' && clean[1] <= 'z'))
        clean[1] = ' ';
    return clean;
}

bool read_mol_input_streams(std::istream& parameter_file, std::istream& table_file, const std::string& parameter_title,
                            const std::string& table_title, StructureModel& model)
{
    const auto read = std::make_unique<MollyRead>();
    read->parameter_title = parameter_title;
    read->table_title = table_title;
    read->model = &model;
    if (!load_refinement_text(parameter_file, read->parameter))
        return format_error(parameter_title, "The file could not be read.");
    if (!load_refinement_text(table_file, read->table))
        return format_error(table_title, "The file could not be read.");
    return read_molly_texts(*read);
}

bool read_mol_input_files(const std::string& path, const std::string& file_title, StructureModel& model)
{
    std::ifstream parameter_file;
    if (!open_refinement_file(path, parameter_file))
        return report_refinement_file_not_found(path);
    const std::string table_path = molly_table_file_path(path);
    std::ifstream table_file;
    if (table_path.empty() || !open_refinement_file(table_path, table_file))
        return report_refinement_file_not_found(table_path.empty() ? path : table_path);
    std::string table_title = molly_table_file_path(file_title);
    if (table_title.empty())
        table_title = std::filesystem::path(table_path).filename().string();
    return read_mol_input_streams(parameter_file, table_file, file_title, table_title, model);
}
