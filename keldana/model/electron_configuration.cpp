#include "keldana/model/electron_configuration.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/report_output.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view INCORRECT_DESCRIPTION = "Description of electron shell is incorrect";
constexpr std::string_view SUBSHELL_LETTERS = "spdf";
constexpr std::array<int, 4> SUBSHELL_CAPACITY = {2, 6, 10, 14};

struct CoreShell {
    int n, l, count;
};

// Each noble gas adds its own shells on top of the previous one's.
struct NobleGasCore {
    std::string_view symbol;
    std::vector<CoreShell> added;
};

const std::array<NobleGasCore, 6>& noble_gas_cores()
{
    static const std::array<NobleGasCore, 6> cores = {{
        {"He", {{1, 0, 2}}},
        {"Ne", {{2, 0, 2}, {2, 1, 6}}},
        {"Ar", {{3, 0, 2}, {3, 1, 6}}},
        {"Kr", {{3, 2, 10}, {4, 0, 2}, {4, 1, 6}}},
        {"Xe", {{4, 2, 10}, {5, 0, 2}, {5, 1, 6}}},
        {"Rn", {{4, 3, 14}, {5, 2, 10}, {6, 0, 2}, {6, 1, 6}}},
    }};
    return cores;
}

void show_incorrect_description()
{
    ui().message_box(std::string(INCORRECT_DESCRIPTION), "Error!", MessageButtons::ok, MessageIcon::warning);
}

// Subshell letter (either case) at position, as l = 0..3, or -1.
int subshell_l_at(std::span<const char> text, int position)
{
    if (position < 1 || position > static_cast<int>(text.size()))
        return -1;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[position - 1])));
    const auto found = SUBSHELL_LETTERS.find(c);
    return found == std::string_view::npos ? -1 : static_cast<int>(found);
}

char character_at(std::span<const char> text, int position)
{
    return position >= 1 && position <= static_cast<int>(text.size()) ? text[position - 1] : ' ';
}

void add_noble_gas_core(const NobleGasCore& core, ShellOccupation& occupation)
{
    for (const NobleGasCore& lighter : noble_gas_cores()) {
        for (const CoreShell& shell : lighter.added)
            occupation[shell_occupation_index(CORE_ELECTRONS, shell.l, shell.n)] += shell.count;
        if (&lighter == &core)
            break;
    }
}

// Reads the entry whose letter is at position into part; false for an entry
// that does not name a shell 1..7.
bool add_subshell_entry(std::span<const char> text, int position, int part, ShellOccupation& occupation)
{
    int n = 0, count = 0, error = 0;
    parse_subshell_entry(text, position, n, count, error);
    if (error != 0 || n < 1 || n > MAX_PRINCIPAL_QUANTUM_NUMBER)
        return false;
    occupation[shell_occupation_index(part, subshell_l_at(text, position), n)] += count;
    return true;
}

std::string format_counts(std::string_view format, const ShellOccupation& occupation, int part, int l)
{
    std::vector<FortranValue> values;
    for (int n = l + 1; n <= MAX_PRINCIPAL_QUANTUM_NUMBER; ++n)
        values.emplace_back(occupation[shell_occupation_index(part, l, n)]);
    return format_line(format, values);
}

void list_part(std::string_view heading, const ShellOccupation& occupation, int part)
{
    write_listing_line(format_line("*", {heading}));
    write_listing_line(format_line("*", {"n=  1  2  3  4  5  6  7"}));
    write_listing_line(format_line("*", {"-----------------------"}));
    write_listing_line(format_counts("(2X,'s',1X,7I3)", occupation, part, 0));
    write_listing_line(format_counts("(2X,'p',4X,6I3)", occupation, part, 1));
    write_listing_line(format_counts("(2X,'d',7X,5I3)", occupation, part, 2));
    write_listing_line(format_counts("(2X,'f',10X,4I3)", occupation, part, 3));
    write_listing_line("");
}

void list_configuration(std::span<const char> configuration, const ShellOccupation& occupation)
{
    write_listing_line(format_line("(1X,A80)", {std::string(configuration.begin(), configuration.end())}));
    write_listing_line("");
    list_part("Core electrons", occupation, CORE_ELECTRONS);
    list_part("Valence electrons", occupation, VALENCE_ELECTRONS);
    write_listing_line(format_line("*", {"Electron shells"}));
    write_listing_line(format_line("*", {"n=  1  2  3  4  5  6  7"}));
    write_listing_line(format_line("*", {"-----------------------"}));
    std::vector<FortranValue> totals;
    for (int n = 1; n <= MAX_PRINCIPAL_QUANTUM_NUMBER; ++n) {
        int total = 0;
        for (int part = CORE_ELECTRONS; part <= VALENCE_ELECTRONS; ++part)
            for (int l = 0; l <= 3; ++l)
                total += occupation[shell_occupation_index(part, l, n)];
        totals.emplace_back(total);
    }
    write_listing_line(format_line("(4X,7I3)", totals));
}

// Over-filled subshells and subshells that do not exist (1p, 2d, 3f ...):
// one message per shell, core and valence counted together.
bool check_subshells(const ShellOccupation& occupation)
{
    bool clean = true;
    for (int n = 1; n <= MAX_PRINCIPAL_QUANTUM_NUMBER; ++n) {
        for (int l = 0; l <= 3; ++l) {
            const int count = occupation[shell_occupation_index(CORE_ELECTRONS, l, n)]
                              + occupation[shell_occupation_index(VALENCE_ELECTRONS, l, n)];
            if (count > SUBSHELL_CAPACITY[l] || (count != 0 && l >= n)) {
                report_subshell_error(SUBSHELL_LETTERS[l]);
                clean = false;
            }
        }
    }
    return clean;
}

// The counts without the listing; false after a message that stops the
// analysis.
bool fill_occupation(std::span<const char> text, ShellOccupation& occupation)
{
    const int length = static_cast<int>(text.size());
    const int opening = static_cast<int>(std::count(text.begin(), text.end(), '['));
    const int closing = static_cast<int>(std::count(text.begin(), text.end(), ']'));
    if (opening != closing || opening > 1) {
        show_incorrect_description();
        return false;
    }

    int valence_start = 1;
    if (opening == 1) {
        const int a = static_cast<int>(std::find(text.begin(), text.end(), '[') - text.begin()) + 1;
        const int b = static_cast<int>(std::find(text.begin(), text.end(), ']') - text.begin()) + 1;
        if (b < a + 3) {
            show_incorrect_description();
            return false;
        }
        for (int m = a + 1; m <= b - 2; ++m) {
            const std::string_view pair(text.data() + m - 1, 2);
            for (const NobleGasCore& core : noble_gas_cores())
                if (pair == core.symbol)
                    add_noble_gas_core(core, occupation);
        }
        for (int p = a + 2; p <= b - 2; ++p) {
            if (subshell_l_at(text, p) >= 0 && !add_subshell_entry(text, p, CORE_ELECTRONS, occupation)) {
                show_incorrect_description();
                return false;
            }
        }
        valence_start = b + 1;
    }
    for (int p = valence_start; p <= length - 1; ++p) {
        if (subshell_l_at(text, p) >= 0 && !add_subshell_entry(text, p, VALENCE_ELECTRONS, occupation)) {
            show_incorrect_description();
            return false;
        }
    }
    return true;
}

}  // namespace

int shell_occupation_index(int part, int l, int n) { return 1 + 28 * (part - 1) + 7 * l + (n - 1); }

int get_configuration_digit_at(std::span<const char> configuration, int position)
{
    const char c = character_at(configuration, position);
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

void parse_subshell_entry(std::span<const char> configuration, int position, int& n, int& count, int& error)
{
    n = get_configuration_digit_at(configuration, position - 1);
    if (get_configuration_digit_at(configuration, position + 2) >= 0)
        count = 10 * get_configuration_digit_at(configuration, position + 1)
                + get_configuration_digit_at(configuration, position + 2);
    else
        count = get_configuration_digit_at(configuration, position + 1);
    if (get_configuration_digit_at(configuration, position + 1) < 0)
        count = -1;
    if (n == -1 || count == -1)
        error = 1;
}

void report_subshell_error(char letter)
{
    ui().message_box(format_line("('Check carefully ',A1,'-subshells!!!')", {std::string(1, letter)}), "Error!",
                     MessageButtons::ok, MessageIcon::warning);
    write_listing_line(format_line("*", {"Check carefully ", std::string(1, letter), "-subshells!!!"}));
}

bool analyse_electron_configuration(std::span<const char> configuration, ShellOccupation& occupation)
{
    occupation.fill(0);
    const std::span<const char> text = configuration.first(std::min<std::size_t>(configuration.size(), CONFIGURATION_LENGTH));
    if (!fill_occupation(text, occupation))
        return false;
    const bool clean = check_subshells(occupation);
    list_configuration(text, occupation);
    return clean;
}

bool analyse_electron_configuration(StructureModel& model, int atom)
{
    // Readers fill configurations for the independent atoms only; an image
    // shares its parent's.
    int source = atom;
    if (atom > model.atoms.independent_atom_count && atom <= MAX_WORKING_ATOMS) {
        const int parent = model.images.parent_atom[atom];
        if (parent >= 1 && parent <= model.atoms.independent_atom_count)
            source = parent;
    }
    if (source < 1 || source > MAX_INDEPENDENT_ATOMS) {
        model.atom_types.shell_occupation.fill(0);
        show_incorrect_description();
        return false;
    }
    return analyse_electron_configuration(model.pseudoatoms.electron_configuration[source],
                                          model.atom_types.shell_occupation);
}
