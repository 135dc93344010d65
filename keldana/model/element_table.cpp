#include "keldana/model/element_table.h"

#include "common/file_units.h"
#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/text_fields.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr std::size_t ELEMENT_LINE_LENGTH = 100;
constexpr const char* ELEMENT_LINE_FORMAT = "(I3,4X,A4,I3,F10.4,2F7.2,2X,I8,2X,A50)";
// Columns up to the colour: a shorter line has lost numbers that would
// otherwise read as zero.  The configuration text may be blank.
constexpr std::size_t ELEMENT_NUMBERS_END = 48;
// Masses and radii beyond this are misprints, not elements.
constexpr double MAX_ELEMENT_QUANTITY = 1000.0;

bool show_error(const std::string& text)
{
    ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::warning);
    return false;
}

bool is_blank_line(const std::string& line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The characters that end a symbol read from the right.
bool ends_symbol(char c) { return c == '-' || c == '+' || (static_cast<unsigned char>(c) >= 'A' && c != '_'); }

int find_exact_type(const AtomTypeTable& types, const FixedText<4>& symbol)
{
    for (int t = 1; t <= MAX_ATOM_TYPES; ++t)
        if (types.type_symbol[t] == symbol)
            return t;
    return 0;
}

// Leading letters of a symbol and a charge right after them ("+", "-", or a
// digit and a sign).
FixedText<4> leading_element(const FixedText<4>& symbol)
{
    std::size_t end = 0;
    while (end < symbol.size() && is_letter(symbol[end]))
        ++end;
    if (end > 0 && end < symbol.size()) {
        if (symbol[end] == '+' || symbol[end] == '-')
            ++end;
        else if (end + 1 < symbol.size() && symbol[end] >= '0' && symbol[end] <= '9'
                 && (symbol[end + 1] == '+' || symbol[end + 1] == '-'))
            end += 2;
    }
    FixedText<4> element = blank_text<4>();
    std::copy_n(symbol.begin(), end, element.begin());
    return element;
}

}  // namespace

bool read_element_table_stream(std::istream& input, const std::string& file_name, AtomTypeTable& types)
{
    auto read = std::make_unique<AtomTypeTable>();
    int type_count = 0;
    int line_number = 0;
    std::string line;
    while (std::getline(input, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > ELEMENT_LINE_LENGTH)
            line.resize(ELEMENT_LINE_LENGTH);
        if ((!line.empty() && line[0] == '/') || is_blank_line(line))
            continue;
        const std::string where = "Element table " + file_name + ", line " + std::to_string(line_number) + ": ";
        if (ends_inside_record(input, line))
            return show_error(where + "the file ends inside this line (it has no line end): it is cut short.");
        if (type_count == MAX_ATOM_TYPES)
            return show_error(where + "more than " + std::to_string(MAX_ATOM_TYPES) + " atom types.");
        if (line.size() < ELEMENT_NUMBERS_END)
            return show_error(where + "the line ends before the colour column.");
        const int t = ++type_count;
        int serial = 0;
        std::string error;
        if (!read_record(line, ELEMENT_LINE_FORMAT,
                         {&serial, &read->type_symbol[t], &read->type_atomic_number[t], &read->type_mass[t],
                          &read->type_radius[t], &read->type_covalent_radius[t], &read->type_colour[t],
                          &read->type_text[t]},
                         &error))
            return show_error(where + error);
        if (text_field_string(read->type_symbol[t]).empty())
            return show_error(where + "the element symbol is blank.");
        if (read->type_atomic_number[t] < 1 || read->type_atomic_number[t] > MAX_ATOMIC_NUMBER)
            return show_error(where + "the atomic number " + std::to_string(read->type_atomic_number[t])
                              + " is outside 1 to " + std::to_string(MAX_ATOMIC_NUMBER) + ".");
        for (const double value : {read->type_mass[t], read->type_radius[t], read->type_covalent_radius[t]})
            if (!(value >= 0.0 && value <= MAX_ELEMENT_QUANTITY))
                return show_error(where + "the mass and radii must lie between 0 and "
                                  + std::to_string(static_cast<int>(MAX_ELEMENT_QUANTITY)) + ".");
    }
    if (input.bad())
        return show_error("Can not read the element table " + file_name + ".");
    types = *read;
    return true;
}

bool read_element_table_file(const std::string& start_directory, AtomTypeTable& types)
{
    const std::filesystem::path path =
        std::filesystem::path(text_field_string(start_directory)) / ELEMENT_TABLE_FILE_NAME;
    std::ifstream input;
    std::string refusal;
    if (!open_input_file(path.string(), input, refusal))
        return show_error(refusal.empty() ? "File <Atoms.axp> not found" : refusal);
    return read_element_table_stream(input, path.string(), types);
}

FixedText<4> element_symbol_from_label(std::span<const char> label)
{
    FixedText<4> symbol = blank_text<4>();
    const std::size_t length = std::min<std::size_t>(label.size(), 8);
    std::size_t end = 0;
    const auto bracket = std::find(label.begin() + std::min<std::size_t>(length, 1), label.begin() + length, '(');
    if (bracket != label.begin() + length) {
        end = static_cast<std::size_t>(bracket - label.begin());
    } else {
        for (std::size_t p = std::min<std::size_t>(length, 4); p >= 1; --p) {
            if (ends_symbol(label[p - 1])) {
                end = p;
                break;
            }
        }
    }
    std::copy_n(label.begin(), std::min<std::size_t>(end, symbol.size()), symbol.begin());
    return symbol;
}

int find_atom_type(const AtomTypeTable& types, std::span<const char> symbol)
{
    FixedText<4> wanted = blank_text<4>();
    std::copy_n(symbol.begin(), std::min(symbol.size(), wanted.size()), wanted.begin());
    // Slots beyond the table's last type are blank: a blank symbol is no type.
    if (wanted == blank_text<4>())
        return 0;
    if (const int t = find_exact_type(types, wanted))
        return t;
    const FixedText<4> element = leading_element(wanted);
    if (element == wanted || element == blank_text<4>())
        return 0;
    return find_exact_type(types, element);
}
