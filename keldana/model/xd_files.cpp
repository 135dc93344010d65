// The parameter file of XD, the radial functions from the SCAT table and
// "atoms.szt", and the opening of the three files.
#include "keldana/model/xd_files.h"

#include "common/user_interface.h"
#include "keldana/model/element_table.h"
#include "keldana/model/input_checks.h"
#include "keldana/model/slater_table.h"
#include "keldana/model/text_fields.h"
#include "keldana/model/xd_files_read.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

// Per atom, kept until the kappa sets and divisors are applied.
struct XdAtomRecords {
    PerIndependentAtom<int> kappa_set{};
    PerIndependentAtom<double> site_divisor{};
    int highest_kappa_set = 0;
};

std::string upper_head(const std::string& line)
{
    std::string head = line.substr(0, 4);
    convert_to_upper_case(head);
    return head;
}

bool parameter_line_error(const XdFilesRead& read, const std::string& what, const std::string& reason)
{
    return report_xd_parameter_error(read, refinement_line_detail(read.parameter.next, what, reason));
}

bool parameter_end(const XdFilesRead& read, const std::string& what)
{
    return report_xd_parameter_error(read, refinement_end_detail(read.parameter, what));
}

// 1 without a "USAGE" line, 2 with one.
int parameter_file_form(const RefinementTextFile& file)
{
    for (const std::string& line : file.lines)
        if (upper_head(line) == "USAG")
            return 2;
    return 1;
}

bool read_usage_values(XdFilesRead& read, int form, std::array<int, XD_USAGE_VALUE_COUNT + 1>& usage)
{
    RefinementTextFile& file = read.parameter;
    file.next = 0;
    std::string line, error;
    // Comment lines, then one line that is not used.
    do {
        if (!read_refinement_line(file, line))
            return parameter_end(read, "the header");
    } while (line[0] == '!');

    std::vector<FortranTarget> targets;
    if (form == 1) {
        std::array<int, 8> limits{};
        for (int& value : limits)
            targets.emplace_back(&value);
        for (int k = 1; k <= XD_USAGE_VALUE_COUNT; ++k)
            targets.emplace_back(&usage[static_cast<std::size_t>(k)]);
        if (!read_refinement_list(file, targets.data(), targets.size(), error))
            return parameter_line_error(read, "the 22 integers of the header", error);
        return true;
    }
    do {
        if (!read_refinement_line(file, line))
            return parameter_end(read, "the USAGE line");
    } while (upper_head(line) != "USAG");
    blank_non_numeric_characters(line);
    for (int k = 1; k <= XD_USAGE_VALUE_COUNT; ++k)
        targets.emplace_back(&usage[static_cast<std::size_t>(k)]);
    if (!read_text_list(line, targets.data(), targets.size(), error))
        return parameter_line_error(read, "the USAGE line", error);
    return true;
}

bool read_atom(XdFilesRead& read, XdAtomRecords& records, int i, int highest_order)
{
    StructureModel& model = *read.model;
    WorkingAtomSet& atoms = model.atoms;
    LocalAxisDefinitions& axes = model.local_axes;
    PseudoatomParameters& pseudo = model.pseudoatoms;
    int axis_1 = 0, axis_2 = 0, kappa_set = 0, l_max = 0;
    std::array<int, 4> unused{};
    double divisor = 0.0;
    std::string error;
    if (!read_refinement_list(read.parameter,
                              {&atoms.atom_label[i], &axis_1, &axis_2, &axes.frame_atom_1[i], &axes.frame_atom_2[i],
                               &axes.frame_atom_3[i], &unused[0], &unused[1], &kappa_set, &l_max, &unused[2],
                               &unused[3], &atoms.frac_x[i], &atoms.frac_y[i], &atoms.frac_z[i], &divisor},
                              error))
        return parameter_line_error(read, "the record of atom " + std::to_string(i), error);
    const std::string atom = refinement_atom_name(model, i);
    const std::string what = "the record of " + atom;
    if (axis_1 < 1 || axis_1 > 3 || axis_2 < 1 || axis_2 > 3)
        return parameter_line_error(read, what, "the axis codes must be 1 (x), 2 (y) or 3 (z)");
    static constexpr const char* AXIS_LETTERS = " XYZ";
    axes.frame_axis_letter_1[i] = AXIS_LETTERS[axis_1];
    axes.frame_axis_letter_2[i] = AXIS_LETTERS[axis_2];
    if (l_max < 0 || l_max > MAX_L)
        return parameter_line_error(read, what, "l_max " + std::to_string(l_max) + " is outside 0 to 4");
    pseudo.l_max[i] = l_max;
    const int points = atoms.atom_count + model.dummies.dummy_count;
    if (l_max > 0
        && (!frame_atom_1_in_range(axes.frame_atom_1[i], points) || !frame_atom_in_range(axes.frame_atom_2[i], points)
            || !frame_atom_in_range(axes.frame_atom_3[i], points)))
        return parameter_line_error(read, what,
                                    "the frame atoms must be atoms or dummy atoms, 1 to " + std::to_string(points));
    if (kappa_set < 1 || kappa_set > XD_MAX_KAPPA_SETS)
        return parameter_line_error(read, what,
                                    "kappa set " + std::to_string(kappa_set) + " is outside 1 to "
                                        + std::to_string(XD_MAX_KAPPA_SETS));
    if (!sane_site_factor(divisor))
        return parameter_line_error(read, what, "the site divisor is 0 or out of range");
    records.kappa_set[i] = kappa_set;
    records.highest_kappa_set = std::max(records.highest_kappa_set, kappa_set);
    records.site_divisor[i] = divisor;

    const FixedText<4> symbol = element_symbol_from_label(atoms.atom_label[i]);
    const int type = find_atom_type(model.atom_types, symbol);
    if (type == 0)
        return report_refinement_error("No atomic number for atom type " + std::string(symbol.data(), 4), "Error!");
    atoms.atom_type_index[i] = type;
    atoms.atomic_number[i] = model.atom_types.type_atomic_number[type];
    set_text_field(pseudo.electron_configuration[i], text_field_string(model.atom_types.type_text[type]));

    std::string line;
    if (!read_refinement_line(read.parameter, line))
        return parameter_end(read, "the line after the record of " + atom);

    // Pv, then per level P(l,0), P(l,+1), P(l,-1), ..., P(l,+l), P(l,-l).
    MultipolePopulations& p = pseudo.multipole_population[i];
    std::vector<FortranTarget> populations = {&pseudo.valence_population[i]};
    for (int l = 0; l <= highest_order; ++l) {
        populations.emplace_back(&p(l, 0));
        for (int m = 1; m <= l; ++m) {
            populations.emplace_back(&p(l, m));
            populations.emplace_back(&p(l, -m));
        }
    }
    if (!read_refinement_list(read.parameter, populations.data(), populations.size(), error))
        return parameter_line_error(read, "the populations of " + atom, error);
    return true;
}

bool read_kappa_sets(XdFilesRead& read, const XdAtomRecords& records)
{
    std::array<double, XD_MAX_KAPPA_SETS + 1> kappa{}, kappa_prime{};
    for (int k = 1; k <= records.highest_kappa_set; ++k) {
        int number = 0;
        std::string error;
        if (!read_refinement_list(read.parameter, {&number, &kappa[static_cast<std::size_t>(k)],
                                                   &kappa_prime[static_cast<std::size_t>(k)]},
                                  error))
            return parameter_line_error(read, "kappa set " + std::to_string(k), error);
    }
    PseudoatomParameters& pseudo = read.model->pseudoatoms;
    for (int i = 1; i <= read.model->atoms.atom_count; ++i) {
        const std::size_t set = static_cast<std::size_t>(records.kappa_set[i]);
        pseudo.kappa[i] = kappa[set];
        pseudo.kappa_prime[i] = kappa_prime[set];
    }
    return true;
}

bool read_parameter_file(XdFilesRead& read, int form)
{
    StructureModel& model = *read.model;
    std::array<int, XD_USAGE_VALUE_COUNT + 1> usage{};
    if (!read_usage_values(read, form, usage))
        return false;
    const int atom_count = usage[1];
    const int highest_order = usage[3];
    if (atom_count < 1 || atom_count > MAX_INDEPENDENT_ATOMS)
        return parameter_line_error(read, "the usage values",
                                    std::to_string(atom_count) + " atoms; 1 to "
                                        + std::to_string(MAX_INDEPENDENT_ATOMS) + " can be read");
    if (highest_order < 0 || highest_order > MAX_L)
        return parameter_line_error(read, "the usage values",
                                    "populations up to l = " + std::to_string(highest_order) + "; 0 to 4 can be read");
    model.atoms.atom_count = atom_count;

    // The atom records start at the first line that begins with a letter.
    std::string line;
    do {
        if (!read_refinement_line(read.parameter, line))
            return parameter_end(read, "the first atom record");
    } while (static_cast<unsigned char>(line[0]) < 'A');
    --read.parameter.next;

    const auto records = std::make_unique<XdAtomRecords>();
    for (int i = 1; i <= atom_count; ++i)
        if (!read_atom(read, *records, i, highest_order))
            return false;

    PseudoatomParameters& pseudo = model.pseudoatoms;
    for (int i = 1; i <= atom_count; ++i) {
        MultipolePopulations& p = pseudo.multipole_population[i];
        if (highest_order >= 1) {
            // The file gives the dipoles as P(1,+1), P(1,-1), P(1,0).
            const double first = p(1, 0), second = p(1, 1), third = p(1, -1);
            p(1, 1) = first;
            p(1, -1) = second;
            p(1, 0) = third;
        }
        pseudo.occupancy[i] = 1.0;
        const double divisor = records->site_divisor[i];
        pseudo.valence_population[i] /= divisor;
        for (int l = 0; l <= pseudo.l_max[i]; ++l)
            for (int m = -l; m <= l; ++m)
                p(l, m) /= divisor;
    }
    return read_kappa_sets(read, *records);
}

bool radial_error(const std::string& text) { return report_refinement_error(text, "Error"); }

// n(l) and zeta(l) of scattering type t from its "atoms.szt" entry.
bool derive_from_slater_table(XdFilesRead& read, int form, int t, int atomic_number)
{
    XdScatteringTypes& types = *read.types;
    const std::size_t ut = static_cast<std::size_t>(t);
    const FixedText<4> symbol = slater_table_symbol(types.type_symbol[ut]);
    const std::string symbol_text(symbol.data(), 4);
    SlaterExponents exponents{};
    switch (find_slater_table_entry(read.slater_lines, symbol, exponents)) {
    case SlaterEntryStatus::missing: return radial_error("Atom " + symbol_text + " is not found in <atoms.szt>");
    case SlaterEntryStatus::unreadable: return radial_error("Error in reading <atoms.szt> element " + symbol_text);
    case SlaterEntryStatus::found: break;
    }
    SlaterOrbitalCodes codes{};
    SlaterOrbitalNames names = filled_array<FixedText<2>, SLATER_ORBITAL_COUNT + 1>(blank_text<2>());
    for (std::size_t k = 1; k <= SLATER_ORBITAL_COUNT; ++k) {
        codes[k] = types.orbital_code[ut][k];
        names[k] = types.xd_orbital_names[k];
    }
    SlaterRadialFunctions radial;
    std::string reason;
    if (form == 1)
        derive_slater_radial_functions_form_1(codes, exponents, radial);
    else if (!derive_slater_radial_functions_form_2(codes, names, exponents, atomic_number, radial, reason))
        return radial_error("The radial functions of type " + text_field_string(symbol)
                            + " cannot be derived from <atoms.szt>: " + reason + ".");
    types.radial_n[ut] = radial.n;
    types.radial_zeta[ut] = radial.zeta;
    types.type_done[ut] = true;
    return true;
}

bool set_radial_functions(XdFilesRead& read, int form)
{
    StructureModel& model = *read.model;
    XdScatteringTypes& types = *read.types;
    if (!read.slater_present)
        report_refinement_error("File <Atoms.szt> not found! Please, check and input correct values Zeta and N for all atoms! ",
                     " Warning!");
    PseudoatomParameters& pseudo = model.pseudoatoms;
    for (int i = 1; i <= model.atoms.atom_count; ++i) {
        const std::string atom = refinement_atom_name(model, i);
        const FixedText<4>& element = model.atom_types.type_symbol[model.atoms.atom_type_index[i]];
        int t = 0;
        for (int k = 1; k <= types.xd_type_count && t == 0; ++k)
            if (types.type_symbol[static_cast<std::size_t>(k)] == element)
                t = k;
        if (t == 0)
            return radial_error("The radial functions of " + atom + " cannot be set: the SCAT table of "
                                + read.master_path + " has no type " + text_field_string(element) + ".");
        const std::size_t ut = static_cast<std::size_t>(t);
        pseudo.core_electron_count[i] = types.core_count[ut];
        if (!types.type_done[ut]) {
            if (!read.slater_present)
                return radial_error("The radial functions of " + atom + " cannot be set: <atoms.szt> was not found "
                                    "and the SCAT table gives no RDSD line for type "
                                    + text_field_string(element) + ".");
            if (!derive_from_slater_table(read, form, t, model.atoms.atomic_number[i]))
                return false;
        }
        for (int l = 0; l <= pseudo.l_max[i]; ++l) {
            const std::size_t ul = static_cast<std::size_t>(l);
            pseudo.radial_n[i][ul] = types.radial_n[ut][ul];
            pseudo.radial_zeta[i][ul] = types.radial_zeta[ut][ul];
            if (!(pseudo.radial_zeta[i][ul] > 0.0))
                return radial_error("The radial functions of " + atom + " cannot be set: the exponent zeta("
                                    + std::to_string(l) + ") of type " + text_field_string(element)
                                    + " is not positive.");
        }
    }
    return true;
}

bool read_xd_texts(XdFilesRead& read)
{
    clear_refinement_read_areas(*read.model);
    const int form = parameter_file_form(read.parameter);
    return read_xd_master_file(read) && read_parameter_file(read, form) && set_radial_functions(read, form);
}

}  // namespace

std::string xd_master_file_path(const std::string& parameter_path)
{
    const std::size_t dot = parameter_path.rfind('.');
    const std::size_t folder = parameter_path.find_last_of("/\\");
    if (dot == std::string::npos || (folder != std::string::npos && dot < folder))
        return parameter_path + ".mas";
    return parameter_path.substr(0, dot + 1) + "mas";
}

bool read_xd_input_streams(std::istream& parameter_file, std::istream& master_file, std::istream* slater_table,
                           const std::string& file_title, const std::string& master_path, StructureModel& model)
{
    const auto types = std::make_unique<XdScatteringTypes>();
    XdFilesRead read;
    read.file_title = file_title;
    read.master_path = master_path;
    read.model = &model;
    read.types = types.get();
    if (!load_refinement_text(parameter_file, read.parameter))
        return report_xd_parameter_error(read, "The file could not be read.");
    if (!load_refinement_text(master_file, read.master))
        return report_xd_master_error(read, "The file could not be read.");
    read.slater_present = slater_table != nullptr && read_slater_table_lines(*slater_table, read.slater_lines);
    return read_xd_texts(read);
}

bool read_xd_input_files(const std::string& path, const std::string& file_title, const std::string& start_directory,
                         StructureModel& model)
{
    std::ifstream parameter_file;
    if (!open_refinement_file(path, parameter_file))
        return report_refinement_file_not_found(path);
    const std::string master_path = xd_master_file_path(path);
    std::ifstream master_file;
    if (!open_refinement_file(master_path, master_file))
        return report_refinement_file_not_found(master_path);
    std::ifstream slater_table;
    const bool slater_found =
        open_refinement_file((std::filesystem::path(start_directory) / SLATER_TABLE_FILE_NAME).string(), slater_table);
    return read_xd_input_streams(parameter_file, master_file, slater_found ? &slater_table : nullptr, file_title,
                                 master_path, model);
}
