// The master file of XD: title, cell, lattice, symmetry, scattering types
// and dummy atoms.
#include "common/user_interface.h"
#include "keldana/model/slater_table.h"
#include "keldana/model/text_fields.h"
#include "keldana/model/xd_files_read.h"

#include <algorithm>
#include <vector>

namespace {

// Electrons of a full f shell: no orbital column holds more.
constexpr int MAX_SHELL_ELECTRONS = 14;

std::string upper_case(std::string text)
{
    convert_to_upper_case(text);
    return text;
}

bool master_line_error(const XdFilesRead& read, const std::string& what, const std::string& reason)
{
    return report_xd_master_error(read, refinement_line_detail(read.master.next, what, reason));
}

bool master_end(const XdFilesRead& read, const std::string& what)
{
    return report_xd_master_error(read, refinement_end_detail(read.master, what));
}

bool read_title(XdFilesRead& read)
{
    std::string line, error;
    if (!find_refinement_keyword(read.master, "TITL", true, line))
        return master_end(read, "the TITL line");
    // The title is the first word (or quoted text) after column 5.
    if (!read_text_list(std::string_view(line).substr(5), {&read.model->space_group.input_title}, error))
        return master_line_error(read, "the TITL line", error);
    return true;
}

bool read_cell(XdFilesRead& read)
{
    std::string line, error;
    if (!find_refinement_keyword(read.master, "CELL", true, line))
        return master_end(read, "the CELL line");
    UnitCell& cell = read.model->cell;
    FixedText<4> keyword{};
    if (!read_text_list(line, {&keyword, &cell.cell_a, &cell.cell_b, &cell.cell_c, &cell.cell_alpha, &cell.cell_beta,
                               &cell.cell_gamma},
                        error))
        return master_line_error(read, "the CELL line", error);
    return true;
}

bool read_lattice(XdFilesRead& read)
{
    std::string line, error;
    if (!find_refinement_keyword(read.master, "LATT", true, line))
        return master_end(read, "the LATT line");
    line = upper_case(line);
    char centring = ' ';
    SpaceGroupSymmetry& symmetry = read.model->space_group;
    const FortranTarget targets[] = {FortranTarget(&centring, 1), FortranTarget(&symmetry.lattice_letter, 1)};
    if (!read_text_list(std::string_view(line).substr(4), targets, 2, error))
        return master_line_error(read, "the LATT line", error);
    if (centring == 'A')
        set_text_field(symmetry.centring_word, "NONCentrosymmetric");
    else if (centring == 'C')
        set_text_field(symmetry.centring_word, "CENTrosymmetric");
    set_text_field(symmetry.symmetry_header_line, "SYMMETRY information");
    return true;
}

bool read_symmetry(XdFilesRead& read)
{
    SpaceGroupSymmetry& symmetry = read.model->space_group;
    symmetry.symmetry_card_text[1] = identity_symmetry_card();
    symmetry.symmetry_card_count = 1;
    read.master.next = 0;
    for (std::string line;;) {
        if (!read_refinement_line(read.master, line))
            return master_end(read, "the \"END\" line after the symmetry lines");
        line = upper_case(line);
        if (line.compare(0, 3, "END") == 0)
            return true;
        if (line.compare(0, 3, "SYM") != 0)
            continue;
        const int card = symmetry.symmetry_card_count + 1;
        if (card > MAX_SYMMETRY_CARDS)
            return master_line_error(read, "a SYMM line",
                                     "more than " + std::to_string(MAX_SYMMETRY_CARDS) + " symmetry cards");
        const std::size_t start = line.compare(0, 4, "SYMM") == 0 ? 4 : 3;
        std::string reason;
        if (!convert_symmetry_operator_text(std::string_view(line).substr(start, 80 - start),
                                            SymmetryMatrixLayout::by_rows, symmetry.symmetry_card_text[card], reason))
            return master_line_error(read, "the SYMM line", reason);
        symmetry.symmetry_card_count = card;
    }
}

// The orbital names of the SCAT header: two characters from each digit on.
void read_orbital_names(const std::string& line, XdScatteringTypes& types)
{
    int columns = 0, offset = 0;
    count_nonzero_digits(line, columns, offset);
    types.orbital_column_count = columns;
    std::size_t pos = static_cast<std::size_t>(offset);
    for (int j = 1; j <= columns && pos < line.size(); ++j) {
        if (j <= XD_MAX_ORBITAL_COLUMNS)
            set_text_field(types.xd_orbital_names[static_cast<std::size_t>(j)], line.substr(pos, 2));
        pos += 2;
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
    }
}

bool read_scattering_type(XdFilesRead& read, const std::string& line, int t)
{
    XdScatteringTypes& types = *read.types;
    const std::size_t ut = static_cast<std::size_t>(t);
    types.type_symbol[ut] = slater_table_symbol(std::string_view(line).substr(0, 4));

    // The codes follow the four words (4(A4,1X)); a symbol such as Fe2+ adds none.
    std::string numbers = line.substr(20);
    blank_non_numeric_characters(numbers);
    const int columns = types.orbital_column_count;
    std::vector<int> codes(static_cast<std::size_t>(columns));
    std::vector<FortranTarget> targets;
    for (int& code : codes)
        targets.emplace_back(&code);
    std::string error;
    if (!read_text_list(numbers, targets.data(), targets.size(), error))
        return master_line_error(read, "scattering type " + text_field_string(types.type_symbol[ut]),
                                 "the " + std::to_string(columns) + " orbital codes do not read (" + error + ")");
    types.core_count[ut] = 0;
    for (int j = 1; j <= columns; ++j) {
        const int code = codes[static_cast<std::size_t>(j - 1)];
        if (code < -MAX_SHELL_ELECTRONS || code > MAX_SHELL_ELECTRONS)
            return master_line_error(read, "scattering type " + text_field_string(types.type_symbol[ut]),
                                     "orbital code " + std::to_string(code) + " is outside -14 to 14");
        if (j > XD_MAX_ORBITAL_COLUMNS && code != 0)
            return master_line_error(read, "scattering type " + text_field_string(types.type_symbol[ut]),
                                     "only the first " + std::to_string(XD_MAX_ORBITAL_COLUMNS)
                                         + " orbital columns can be occupied");
        if (j <= XD_MAX_ORBITAL_COLUMNS)
            types.orbital_code[ut][static_cast<std::size_t>(j)] = code;
        types.core_count[ut] += std::max(code, 0);
    }

    if (line.compare(15, 4, "RDSD") == 0) {
        PerOrder<int>& n = types.radial_n[ut];
        PerOrder<double>& zeta = types.radial_zeta[ut];
        if (!read_refinement_list(read.master, {&n[0], &zeta[0], &n[1], &zeta[1], &n[2], &zeta[2], &n[3], &zeta[3],
                                                &n[4], &zeta[4]},
                                  error))
            return master_line_error(read, "the RDSD line of scattering type " + text_field_string(types.type_symbol[ut]),
                                     error);
        types.type_done[ut] = true;
    }
    return true;
}

bool read_scattering_types(XdFilesRead& read)
{
    std::string line;
    if (!find_refinement_keyword(read.master, "SCAT", true, line))
        return master_end(read, "the SCAT table");
    XdScatteringTypes& types = *read.types;
    read_orbital_names(line, types);
    types.xd_type_count = 0;
    for (;;) {
        if (!read_refinement_line(read.master, line))
            return master_end(read, "the \"END\" line of the SCAT table");
        line = upper_case(line);
        if (line.compare(0, 3, "END") == 0)
            return true;
        // Comments, blank lines and lines starting with a digit are no types.
        if (line.compare(0, 3, "A  ") < 0)
            continue;
        const int t = types.xd_type_count + 1;
        if (t > XD_MAX_SCATTERING_TYPES)
            return master_line_error(read, "the SCAT table",
                                     "more than " + std::to_string(XD_MAX_SCATTERING_TYPES) + " scattering types");
        types.xd_type_count = t;
        if (!read_scattering_type(read, line, t))
            return false;
    }
}

bool read_dummy_atoms(XdFilesRead& read)
{
    std::string line;
    if (!find_refinement_keyword(read.master, "ATOM", true, line))
        return master_end(read, "the ATOM table");
    DummyAtoms& dummies = read.model->dummies;
    dummies.dummy_count = 0;
    for (;;) {
        if (!read_refinement_line(read.master, line))
            return master_end(read, "the \"END\" line of the ATOM table");
        const std::string head = upper_case(line.substr(0, 4));
        if (head.compare(0, 3, "END") == 0)
            return true;
        if (head.compare(0, 3, "DUM") == 0)
            break;
    }
    do {
        const int d = dummies.dummy_count + 1;
        if (d > MAX_DUMMY_ATOMS)
            return master_line_error(read, "the dummy atoms",
                                     "more than " + std::to_string(MAX_DUMMY_ATOMS) + " dummy atoms");
        std::string error;
        if (!read_text_list(line, {&dummies.dummy_label[d], &dummies.dummy_x[d], &dummies.dummy_y[d],
                                   &dummies.dummy_z[d]},
                            error))
            return master_line_error(read, "dummy atom " + std::to_string(d), error);
        dummies.dummy_count = d;
        if (!read_refinement_line(read.master, line))
            return master_end(read, "the line after the dummy atoms");
    } while (line.compare(0, 3, "DUM") == 0);
    return true;
}

}  // namespace

bool report_xd_master_error(const XdFilesRead& read, const std::string& detail)
{
    ui().message_box("Please, check input file format - " + refinement_name_for_message(read.master_path, 26) + "\n"
                         + detail,
                     "Reading error", MessageButtons::ok, MessageIcon::warning);
    return false;
}

bool report_xd_parameter_error(const XdFilesRead& read, const std::string& detail)
{
    ui().message_box("Please, check input file format - " + read.file_title.substr(0, 26) + "\n" + detail,
                     "Reading error", MessageButtons::ok, MessageIcon::warning);
    return false;
}

bool read_xd_master_file(XdFilesRead& read)
{
    return read_title(read) && read_cell(read) && read_lattice(read) && read_symmetry(read)
           && read_scattering_types(read) && read_dummy_atoms(read);
}
