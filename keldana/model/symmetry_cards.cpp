#include "keldana/model/symmetry_cards.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/report_output.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

namespace {

struct TranslationField {
    std::string_view text;
    double value;
};

// The cards' fractions were single-precision constants: keep their values so
// that images land where they always did.
constexpr std::array<TranslationField, 8> TRANSLATION_FIELDS = {{
    {"   ", 0.0},
    {"1/2", 0.5},
    {"1/3", static_cast<double>(1.0f / 3.0f)},
    {"2/3", static_cast<double>(2.0f / 3.0f)},
    {"1/4", 0.25},
    {"3/4", 0.75},
    {"1/6", static_cast<double>(1.0f / 6.0f)},
    {"5/6", static_cast<double>(5.0f / 6.0f)},
}};

struct VariableField {
    std::string_view text;
    int code;
};

constexpr std::array<VariableField, 10> VARIABLE_FIELDS = {{
    {"   ", 0},
    {"  X", 1}, {" +X", 1}, {" -X", -1},
    {"  Y", 2}, {" +Y", 2}, {" -Y", -2},
    {"  Z", 3}, {" +Z", 3}, {" -Z", -3},
}};

void write_listing_records(std::string_view format, std::initializer_list<FortranValue> values)
{
    for (const std::string& record : format_records(format, values))
        write_listing_line(record);
}

void write_error_heading() { write_listing_records("(/,'ERRORMESSAGE/',1X,/,12('-'),/,/,' ')", {}); }

void show_error(const std::string& text)
{
    ui().message_box(text, "ERROR", MessageButtons::ok, MessageIcon::warning);
}

bool refuse_too_many_cards()
{
    write_error_heading();
    write_listing_records("('TOO MANY SYMMETRY CARDS./',/,' JOB TERMINATED.')", {});
    show_error("Too many symmetry cards. Job terminated.");
    return false;
}

std::string_view field_text(const FixedText<3>& field) { return {field.data(), field.size()}; }

}  // namespace

bool look_up_card_translation(std::string_view field, double& value)
{
    for (const TranslationField& entry : TRANSLATION_FIELDS)
        if (entry.text == field) {
            value = entry.value;
            return true;
        }
    return false;
}

bool look_up_card_variable(std::string_view field, int& code)
{
    for (const VariableField& entry : VARIABLE_FIELDS)
        if (entry.text == field) {
            code = entry.code;
            return true;
        }
    return false;
}

bool parse_symmetry_cards(const SpaceGroupSymmetry& space_group, SymmetryOperators& operators, bool write_listing)
{
    if (write_listing)
        write_listing_records("(A)", {space_group.symmetry_header_line});

    const std::string_view word(space_group.centring_word.data(), 3);
    SymmetryOperators parsed;
    parsed.centrosymmetric = word == "CEN" ? 1 : 0;
    if (write_listing)
        write_listing_records("('CENTROSYMMETRIE = ',A3)", {std::string(word)});

    const int card_count = std::max(0, space_group.symmetry_card_count);
    for (int k = 1; k <= card_count; ++k) {
        // A count beyond the operator table is refused at the first card
        // that does not fit, so the card table is never read past its end.
        if (k > MAX_SYMMETRY_OPERATORS)
            return refuse_too_many_cards();
        const auto& card = space_group.symmetry_card_text[k];
        if (write_listing)
            write_listing_records("(5X,3(3A3,1X),4X,I4,'. CARD')",
                                  {card[1][1], card[1][2], card[1][3], card[2][1], card[2][2], card[2][3],
                                   card[3][1], card[3][2], card[3][3], k});
        for (int row = 1; row <= 3; ++row) {
            auto& op_row = parsed.symop[k][row];
            op_row.fill(0.0);
            bool known = look_up_card_translation(field_text(card[row][1]), op_row[4]);
            for (int field = 2; field <= 3 && known; ++field) {
                int code = 0;
                known = look_up_card_variable(field_text(card[row][field]), code);
                // A second term on the same axis overwrites the first.
                if (known && code != 0)
                    op_row[std::abs(code)] = code > 0 ? 1.0 : -1.0;
            }
            if (!known) {
                write_error_heading();
                write_listing_records("('0ERROR IN SYMMETRY OPERATOR NO.',I3,'.',/,/,' JOB TERMINATED.')", {k});
                show_error(format_line("('Error in symmetry operator no.',I3,'.  Job terminated.')", {k}));
                return false;
            }
        }
    }

    parsed.symop_count = card_count;
    if (parsed.centrosymmetric == 1) {
        if (2 * card_count > MAX_SYMMETRY_OPERATORS)
            return refuse_too_many_cards();
        for (int k = 1; k <= card_count; ++k) {
            parsed.symop[card_count + k] = parsed.symop[k];
            // 0.0 - x keeps the zero elements +0.0.
            for (int row = 1; row <= 3; ++row)
                for (int column = 1; column <= 3; ++column)
                    parsed.symop[card_count + k][row][column] = 0.0 - parsed.symop[k][row][column];
        }
        parsed.symop_count = 2 * card_count;
    }
    operators = parsed;
    return true;
}
