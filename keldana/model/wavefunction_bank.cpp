#include "keldana/model/wavefunction_bank.h"

#include "common/fortran_format.h"
#include "common/file_units.h"
#include "common/user_interface.h"
#include "keldana/model/text_fields.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

// The power n enters the normalisation through (2n)!, tabulated up to 20!.
constexpr int MAX_FUNCTION_N = 10;

constexpr std::array<int, 4> ORBITAL_LIMIT = {6, 5, 4, 2};
// Orbital number of (n, l), [n][l]; 0 for the orbitals the bank does not know.
constexpr std::array<std::array<int, 4>, BANK_SHELL_COUNT + 1> ORBITAL_NUMBER = {{
    {0, 0, 0, 0},
    {1, 0, 0, 0},
    {2, 3, 0, 0},
    {4, 5, 6, 0},
    {7, 8, 9, 10},
    {11, 12, 13, 14},
    {15, 16, 17, 0},
}};

bool show_bank_message(const std::string& text, const std::string& caption)
{
    ui().message_box(text, caption, MessageButtons::ok, MessageIcon::warning);
    return false;
}

// Lines of the bank with their numbers, shared by the text reads and the
// free-format reads of block headers and records.
class BankLines {
public:
    explicit BankLines(std::istream& input) : input_(input) {}

    int next(std::string& line)
    {
        if (!std::getline(input_, line))
            return input_.bad() ? 1 : -1;
        ++number_;
        if (ends_inside_record(input_, line)) {
            cut_ = true;
            return 1;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return 0;
    }
    int number() const { return number_; }
    bool cut() const { return cut_; }

private:
    std::istream& input_;
    int number_ = 0;
    bool cut_ = false;
};

class BankReader {
public:
    BankReader(std::istream& input, const std::string& file_name, const AtomTypeTable& types)
        : lines_(input), list_([this](std::string& line) { return lines_.next(line); }), file_name_(file_name),
          types_(types), bank_(std::make_unique<WavefunctionBank>())
    {
    }

    // Reads the whole file into a fresh bank; false after a message.
    bool read()
    {
        std::string line;
        int status = 0;
        while ((status = lines_.next(line)) == 0) {
            if (line.size() < 5 || line.compare(1, 4, "ATOM") != 0)
                continue;
            FixedText<4> symbol = blank_text<4>();
            if (line.size() > 6)
                set_text_field(symbol, std::string_view(line).substr(6, 4));
            const int t = type_of(symbol);
            if (t != 0 && !read_block(t, symbol))
                return false;
        }
        if (status > 0)
            return fail("the file can not be read");
        return true;
    }

    std::unique_ptr<WavefunctionBank> take() { return std::move(bank_); }

private:
    int type_of(const FixedText<4>& symbol) const
    {
        if (symbol == blank_text<4>())
            return 0;
        for (int t = 1; t <= MAX_ATOM_TYPES; ++t)
            if (types_.type_symbol[t] == symbol)
                return t;
        return 0;
    }

    bool fail(const std::string& what)
    {
        const std::string reason =
            lines_.cut() ? "the file ends inside this line (it has no line end): the file is cut short" : what;
        return show_bank_message("Wavefunctions file " + file_name_ + ", line " + std::to_string(lines_.number())
                                     + ": " + reason + ".",
                                 "Wavefunctions!");
    }

    bool fail_read(const std::string& expected)
    {
        if (list_.end_of_file())
            return fail("the file ends where " + expected + " is expected");
        return fail(expected + " expected (" + list_.error() + ")");
    }

    bool read_block(int t, const FixedText<4>& symbol)
    {
        WavefunctionBank& bank = *bank_;
        bank.type_in_bank[t] = true;
        const std::string block = "block ATOM " + text_field_string(symbol);
        int l = 0, nb = 0, norb = 0;
        if (!list_.read({&l, &nb, &norb}))
            return fail_read("the header (l, functions, orbitals) of " + block);
        if (l < 0 || l > 3)
            return fail("symmetry l = " + std::to_string(l) + " of " + block + " is not 0..3");
        if (nb < 0)
            return fail("negative function count in " + block);
        if (norb < 1 || norb > ORBITAL_LIMIT[l])
            return fail("orbital count " + std::to_string(norb) + " of " + block + " is not 1.."
                        + std::to_string(ORBITAL_LIMIT[l]));

        const int first = bank.function_count[t] + 1;
        if (bank.function_count[t] + nb > MAX_BANK_FUNCTIONS)
            return show_bank_message(format_line("('More than ',I3,' basis functions - adjust dimensions.')",
                                                 {MAX_BANK_FUNCTIONS}),
                                     "Wavefunctions!");
        bank.function_count[t] += nb;
        bank.shell_count[t] = std::max(bank.shell_count[t], l + norb);

        std::vector<double> pairs(2 * static_cast<std::size_t>(norb));
        for (int j = first; j < first + nb; ++j) {
            // A "/" ends a record early: the values it leaves out are 0.
            std::fill(pairs.begin(), pairs.end(), 0.0);
            int n = 0;
            std::vector<FortranTarget> targets{&n};
            for (double& value : pairs)
                targets.emplace_back(&value);
            if (!list_.read(targets.data(), targets.size()))
                return fail_read("function " + std::to_string(j - first + 1) + " of " + block);
            if (n < 1 || n > MAX_FUNCTION_N)
                return fail("n = " + std::to_string(n) + " of function " + std::to_string(j - first + 1) + " of "
                            + block + " is not 1.." + std::to_string(MAX_FUNCTION_N));
            bank.function_n[t][j] = n;
            for (int k = 1; k <= norb; ++k) {
                const double coefficient = pairs[2 * (k - 1)];
                const double zeta = pairs[2 * (k - 1) + 1];
                if (zeta < 0)
                    return fail("negative exponent in function " + std::to_string(j - first + 1) + " of " + block);
                bank.orbital_coefficient[bank_orbital_number(l + k, l)][t][j] = coefficient;
                bank.orbital_exponent[t][j][l + k] = zeta * INVERSE_BOHR_TO_INVERSE_ANGSTROM;
            }
        }
        return true;
    }

    BankLines lines_;
    ListReader list_;
    std::string file_name_;
    const AtomTypeTable& types_;
    std::unique_ptr<WavefunctionBank> bank_;
};

// The first independent atom whose type has no block, 0 when there is none.
int first_atom_missing_from_bank(const WavefunctionBank& bank, const StructureModel& model)
{
    const int count = std::min(model.atoms.independent_atom_count, MAX_WORKING_ATOMS);
    for (int i = 1; i <= count; ++i) {
        const int t = model.atoms.atom_type_index[i];
        if (t < 1 || t > MAX_ATOM_TYPES || !bank.type_in_bank[t])
            return i;
    }
    return 0;
}

// False when the bank cannot be opened; `refused` when it exists but is not
// to be read (not a regular file, or over-size), with the message shown.
bool open_bank(std::ifstream& input, const std::string& path, bool& refused)
{
    refused = false;
    if (text_field_string(path).empty())
        return false;
    std::string refusal;
    if (open_input_file(path, input, refusal, std::ios::in))
        return true;
    refused = !refusal.empty();
    if (refused)
        show_bank_message(refusal, "Wavefunctions!");
    return false;
}

}  // namespace

WavefunctionBank& wavefunction_bank()
{
    static const std::unique_ptr<WavefunctionBank> bank = std::make_unique<WavefunctionBank>();
    return *bank;
}

int& bank_loaded() { return wavefunction_bank().bank_loaded; }

int bank_orbital_number(int n, int l)
{
    if (n < 1 || n > BANK_SHELL_COUNT || l < 0 || l > 3)
        return 0;
    return ORBITAL_NUMBER[n][l];
}

int bank_orbital_limit(int l) { return l >= 0 && l <= 3 ? ORBITAL_LIMIT[l] : 0; }

bool read_wavefunction_bank_stream(std::istream& input, const std::string& file_name, const StructureModel& model,
                                   WavefunctionBank& bank)
{
    bank.bank_loaded = 0;
    BankReader reader(input, file_name, model.atom_types);
    if (!reader.read())
        return false;
    std::unique_ptr<WavefunctionBank> read = reader.take();
    if (const int atom = first_atom_missing_from_bank(*read, model)) {
        const int t = model.atoms.atom_type_index[atom];
        const FixedText<4> symbol = t >= 1 && t <= MAX_ATOM_TYPES ? model.atom_types.type_symbol[t] : blank_text<4>();
        return show_bank_message("No atomic number for atom type " + std::string(symbol.begin(), symbol.end())
                                     + ". Please, check WAVEFUNCTIONS BANK!",
                                 "Error!");
    }
    bank = *read;
    bank.bank_loaded = 1;
    bank.file_path = file_name;
    return true;
}

bool read_wavefunction_bank(WavefunctionBank& bank, const StructureModel& model, const std::string& bank_path,
                            const std::string& start_directory)
{
    bank.bank_loaded = 0;
    std::string path = text_field_string(bank_path);
    std::ifstream input;
    bool refused = false;
    if (!open_bank(input, path, refused)) {
        if (refused)
            return false;
        path = (std::filesystem::path(text_field_string(start_directory)) / DEFAULT_BANK_FILE_NAME).string();
        if (!open_bank(input, path, refused))
            return !refused && show_bank_message("Not found wavefunctions file. Please, check <Options>.",
                                                 "Wavefunctions!");
    }
    return read_wavefunction_bank_stream(input, path, model, bank);
}

bool read_wavefunction_bank(WavefunctionBank& bank, const StructureModel& model)
{
    const RunSettings& settings = run_settings();
    return read_wavefunction_bank(bank, model, settings.paths.wavefun_bank_path,
                                  settings.file_dialog.start_directory);
}
