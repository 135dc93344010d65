#include "keldana/model/xd_files_text.h"

#include "common/file_units.h"

#include "common/user_interface.h"
#include "keldana/model/text_fields.h"

#include <array>
#include <filesystem>
#include <memory>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace {

std::string upper_case(std::string_view text)
{
    std::string upper(text);
    convert_to_upper_case(upper);
    return upper;
}

bool all_finite(const FortranTarget* targets, std::size_t count, std::string& error)
{
    for (std::size_t k = 0; k < count; ++k) {
        if (targets[k].kind == FortranTarget::Kind::real && !std::isfinite(*static_cast<double*>(targets[k].address))) {
            error = "value " + std::to_string(k + 1) + " is out of range";
            return false;
        }
    }
    return true;
}

// ---- symmetry cards ----

constexpr std::array<double, 8> TRANSLATION_VALUES = {0.0, 0.5, 0.3333, 0.6667, 0.25, 0.75, 0.1667, 0.8333};
constexpr std::array<const char*, 8> TRANSLATION_TEXTS = {"   ", "1/2", "1/3", "2/3", "1/4", "3/4", "1/6", "5/6"};

bool translation_text(double t, std::string& text)
{
    for (std::size_t k = 0; k < TRANSLATION_VALUES.size(); ++k) {
        if (t > TRANSLATION_VALUES[k] - 0.01 && t < TRANSLATION_VALUES[k] + 0.01) {
            text = TRANSLATION_TEXTS[k];
            return true;
        }
    }
    return false;
}

bool starts_a_variable(char c) { return c == 'X' || c == 'Y' || c == 'Z' || c == '-' || c == '+'; }

FixedText<3> field_of(std::string_view text)
{
    FixedText<3> field = blank_text<3>();
    set_text_field(field, text);
    return field;
}

// Writes one row term ("X", "-X", "X-Y", "-X+Y", "1/2-X", "1/3+X-Y") into
// the row's fields, the variable terms right-aligned.
bool place_row_term(std::string term, std::array<FixedText<3>, 4>& row, std::string& reason)
{
    row[1] = row[2] = row[3] = blank_text<3>();
    term.erase(term.find_last_not_of(' ') + 1);
    std::string rest = term;
    if (!term.empty() && !starts_a_variable(term[0])) {
        if (term.size() < 4) {
            reason = "the term \"" + term + "\" has no variable";
            return false;
        }
        row[1] = field_of(term.substr(0, 3));
        rest = term.substr(3);
    }
    switch (rest.size()) {
    case 1: row[3] = field_of("  " + rest); return true;
    case 2: row[3] = field_of(" " + rest); return true;
    case 3:
        row[2] = field_of("  " + rest.substr(0, 1));
        row[3] = field_of(" " + rest.substr(1));
        return true;
    case 4:
        row[2] = field_of(" " + rest.substr(0, 2));
        row[3] = field_of(" " + rest.substr(2));
        return true;
    default:
        reason = term.empty() ? "a row has no term" : "the term \"" + term + "\" cannot be written on a symmetry card";
        return false;
    }
}

std::size_t skip_blanks(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    return pos;
}

std::size_t end_of_term(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && text[pos] != ',' && text[pos] != ' ' && text[pos] != '\t')
        ++pos;
    return pos;
}

// Rows of the text notations, one term each, separated by a comma, blanks,
// or both.
bool convert_text_rows(std::string_view text, bool decimal, SymmetryCardText& card, std::string& reason)
{
    std::size_t pos = skip_blanks(text, 0);
    for (int r = 1; r <= 3; ++r) {
        const std::string row_name = "row " + std::to_string(r);
        if (pos >= text.size()) {
            reason = row_name + " is missing";
            return false;
        }
        std::size_t start = pos;
        std::string term;
        if (decimal) {
            std::size_t p = pos;
            while (p < text.size() && !starts_a_variable(text[p]) && text[p] != ',')
                ++p;
            if (p >= text.size() || text[p] == ',') {
                reason = row_name + " has no variable term";
                return false;
            }
            std::string number(text.substr(pos, p - pos));
            number.erase(number.find_last_not_of(' ') + 1);
            if (!number.empty()) {
                double t = 0.0;
                std::string error;
                const FortranTarget target(&t);
                if (!read_text_list(number, &target, 1, error)) {
                    reason = "the translation \"" + number + "\" of " + row_name + " does not read";
                    return false;
                }
                if (!translation_text(t, term)) {
                    reason = "the translation " + number + " of " + row_name + " is none of 0, 1/2, 1/3, 2/3, 1/4, "
                             "3/4, 1/6, 5/6";
                    return false;
                }
            }
            start = p;
        }
        const std::size_t end = end_of_term(text, start);
        term += std::string(text.substr(start, end - start));
        if (!place_row_term(term, card[r], reason)) {
            reason = row_name + ": " + reason;
            return false;
        }
        pos = skip_blanks(text, end);
        if (pos < text.size() && text[pos] == ',')
            pos = skip_blanks(text, pos + 1);
    }
    return true;
}

bool convert_matrix_rows(std::string_view text, SymmetryMatrixLayout layout, SymmetryCardText& card,
                         std::string& reason)
{
    std::array<double, 12> v{};
    std::vector<FortranTarget> targets;
    for (double& value : v)
        targets.emplace_back(&value);
    std::string error;
    if (!read_text_list(text, targets.data(), targets.size(), error)) {
        reason = "the twelve numbers of the matrix notation do not read (" + error + ")";
        return false;
    }
    static constexpr const char* AXES = "XYZ";
    for (int r = 1; r <= 3; ++r) {
        double t = 0.0;
        std::array<double, 4> rotation{};  // [1..3]
        if (layout == SymmetryMatrixLayout::by_rows) {
            t = v[static_cast<std::size_t>(4 * (r - 1))];
            for (int c = 1; c <= 3; ++c)
                rotation[static_cast<std::size_t>(c)] = v[static_cast<std::size_t>(4 * (r - 1) + c)];
        } else {
            t = v[static_cast<std::size_t>(r - 1)];
            for (int c = 1; c <= 3; ++c)
                rotation[static_cast<std::size_t>(c)] = v[static_cast<std::size_t>(3 + 3 * (c - 1) + (r - 1))];
        }
        std::string term;
        if (!translation_text(t, term)) {
            reason = "the translation " + std::to_string(t) + " of row " + std::to_string(r)
                     + " is none of 0, 1/2, 1/3, 2/3, 1/4, 3/4, 1/6, 5/6";
            return false;
        }
        // Every non-zero entry gives a term, so X-Y keeps both of them.
        std::string variables;
        for (int c = 1; c <= 3; ++c) {
            const double entry = rotation[static_cast<std::size_t>(c)];
            if (entry != 0.0)
                variables += std::string(1, entry < 0.0 ? '-' : '+') + AXES[c - 1];
        }
        if (!place_row_term(term + variables, card[r], reason)) {
            reason = "row " + std::to_string(r) + ": " + reason;
            return false;
        }
    }
    return true;
}

std::string cut_line_text(const RefinementTextFile& file)
{
    return "the file ends inside line " + std::to_string(file.lines.size() + 1)
           + " (it has no line end): the file is cut short";
}

}  // namespace

bool load_refinement_text(std::istream& input, RefinementTextFile& file)
{
    file.lines.clear();
    file.next = 0;
    file.cut = false;
    for (std::string line; std::getline(input, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (ends_inside_record(input, line)) {
            file.cut = true;
            break;
        }
        file.lines.push_back(std::move(line));
    }
    return !input.bad();
}

bool read_refinement_line(RefinementTextFile& file, std::string& line, std::size_t width)
{
    if (file.next >= file.lines.size())
        return false;
    line = file.lines[file.next++];
    line.resize(width, ' ');
    return true;
}

bool find_refinement_keyword(RefinementTextFile& file, std::string_view keyword, bool upper_case_line,
                             std::string& line)
{
    file.next = 0;
    while (read_refinement_line(file, line)) {
        const std::string_view head = std::string_view(line).substr(0, 4);
        if ((upper_case_line ? upper_case(head) : std::string(head)) == keyword)
            return true;
    }
    return false;
}

bool read_refinement_list(RefinementTextFile& file, const FortranTarget* targets, std::size_t count,
                          std::string& error)
{
    ListReader reader([&file](std::string& line) {
        if (file.next >= file.lines.size())
            return -1;
        line = file.lines[file.next++];
        return 0;
    });
    if (!reader.read(targets, count)) {
        error = !reader.end_of_file() ? reader.error()
                : file.cut           ? cut_line_text(file)
                                     : "the file ends before all values were read";
        return false;
    }
    return all_finite(targets, count, error);
}

bool read_refinement_list(RefinementTextFile& file, std::initializer_list<FortranTarget> targets, std::string& error)
{
    return read_refinement_list(file, targets.begin(), targets.size(), error);
}

bool read_text_list(std::string_view text, const FortranTarget* targets, std::size_t count, std::string& error)
{
    bool used = false;
    ListReader reader([&used, text](std::string& line) {
        if (used)
            return -1;
        used = true;
        line = std::string(text);
        return 0;
    });
    if (!reader.read(targets, count)) {
        error = reader.end_of_file() ? "fewer values than expected" : reader.error();
        return false;
    }
    return all_finite(targets, count, error);
}

bool read_text_list(std::string_view text, std::initializer_list<FortranTarget> targets, std::string& error)
{
    return read_text_list(text, targets.begin(), targets.size(), error);
}

std::string refinement_line_detail(std::size_t line, const std::string& what, const std::string& reason)
{
    return "Line " + std::to_string(line) + ", " + what + ": " + reason + ".";
}

std::string refinement_end_detail(const RefinementTextFile& file, const std::string& what)
{
    if (file.cut)
        return "Line " + std::to_string(file.lines.size() + 1) + ", where " + what + " should follow: "
               + cut_line_text(file) + ".";
    return "The file ends (after line " + std::to_string(file.lines.size()) + ") where " + what + " should follow.";
}

std::string refinement_name_for_message(const std::string& name, std::size_t length)
{
    if (name.size() <= length)
        return name;
    return name.substr(0, length) + "\n" + name;
}

SymmetryCardText identity_symmetry_card()
{
    SymmetryCardText card = filled_array<std::array<FixedText<3>, 4>, 4>(filled_array<FixedText<3>, 4>(blank_text<3>()));
    card[1][3] = field_of("  X");
    card[2][3] = field_of("  Y");
    card[3][3] = field_of("  Z");
    return card;
}

bool convert_symmetry_operator_text(std::string_view text, SymmetryMatrixLayout layout, SymmetryCardText& card,
                                    std::string& reason)
{
    card = identity_symmetry_card();
    std::string upper = upper_case(text.substr(0, std::min<std::size_t>(text.size(), 80)));
    std::size_t dots = 0;
    for (char c : upper)
        dots += c == '.';
    if (dots >= 4)
        return convert_matrix_rows(upper, layout, card, reason);
    return convert_text_rows(upper, dots > 0, card, reason);
}

bool report_refinement_error(const std::string& text, const std::string& caption)
{
    ui().message_box(text, caption, MessageButtons::ok, MessageIcon::warning);
    return false;
}

namespace {

template <typename Area>
void clear_area(Area& area)
{
    const auto fresh = std::make_unique<Area>();  // the areas are too big for the stack
    area = *fresh;
}

}  // namespace

void clear_refinement_read_areas(StructureModel& model)
{
    WorkingAtomSet& atoms = model.atoms;
    atoms.atom_count = 0;
    atoms.atom_label.fill(blank_text<8>());
    atoms.frac_x.fill(0.0);
    atoms.frac_y.fill(0.0);
    atoms.frac_z.fill(0.0);
    atoms.atomic_number.fill(0);
    atoms.atom_type_index.fill(0);
    clear_area(model.cell);
    clear_area(model.dummies);
    clear_area(model.pseudoatoms);
    clear_area(model.local_axes);
    clear_area(model.space_group);
    clear_area(model.operators);
}

std::string refinement_atom_name(const StructureModel& model, int i)
{
    return "atom " + std::to_string(i) + " (" + text_field_string(model.atoms.atom_label[i]) + ")";
}

bool open_refinement_file(const std::string& path, std::ifstream& input)
{
    std::string refusal;
    return open_input_file(path, input, refusal);
}

bool report_refinement_file_not_found(const std::string& name)
{
    if (const std::string refusal = input_file_refusal(name); !refusal.empty())
        return report_refinement_error(refusal, "Error");
    return report_refinement_error("No found file - " + refinement_name_for_message(name, 44), "Error");
}
