#include "keldana/model/wavefunction_bank.h"

#include "common/scripted_ui.h"
#include "keldana/model/element_table.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/text_fields.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string DATA_DIRECTORY = std::string(KD_SOURCE_DIR) + "/data";
// The bohr radius the program's units are built on (CODATA 1986; the banks'
// 1/bohr exponents become 1/Angstrom with it).
constexpr double BOHR_IN_ANGSTROM = 0.529177249;

// ---- Physics of the free atom, independent of the program's evaluator ----

double factorial(int k) { return k <= 1 ? 1.0 : k * factorial(k - 1); }

// Normalised Slater function r^(n-1) exp(-zeta r): integral of f^2 r^2 dr = 1.
double slater_function(int n, double zeta, double r)
{
    return std::pow(2 * zeta, n + 0.5) / std::sqrt(factorial(2 * n)) * std::pow(r, n - 1) * std::exp(-zeta * r);
}

// Integral of f(r) r^2 dr over (0, infinity) in Angstrom: Simpson's rule in
// x = ln r from 1e-7 to 60 Angstrom, where every orbital of the banks has
// died out at both ends.
template <typename F>
double radial_integral(F f)
{
    const double x0 = std::log(1e-7), x1 = std::log(60.0);
    const int intervals = 2000;
    const double h = (x1 - x0) / intervals;
    double sum = 0;
    for (int k = 0; k <= intervals; ++k) {
        const double r = std::exp(x0 + k * h);
        const double weight = k == 0 || k == intervals ? 1 : (k % 2 == 1 ? 4 : 2);
        sum += weight * f(r) * r * r * r;  // dr = r dx
    }
    return sum * h / 3;
}

// Spherical free-atom density (electrons per cubic Angstrom) of type t from
// the tabulated product sums: 1/(4 pi) times the sum over shells and pairs
// i <= j of (2 - delta) D(i, j) f_i f_j at the shell's exponents.
double free_atom_density(const WavefunctionBank& bank, const RadialLookupTables& tables, int t, double r)
{
    const int count = bank.function_count[t];
    double sum = 0;
    for (int shell = 1; shell <= bank.shell_count[t]; ++shell) {
        std::vector<double> f(count + 1, 0.0);
        for (int j = 1; j <= count; ++j)
            if (const double zeta = bank.orbital_exponent[t][j][shell]; zeta != 0)
                f[j] = slater_function(bank.function_n[t][j], zeta, r);
        for (int part = 1; part <= 2; ++part)
            for (int i = 1; i <= count; ++i)
                for (int j = i; j <= count; ++j)
                    sum += (i == j ? 1 : 2) * tables.product_sum(t, i, j, shell, part) * f[i] * f[j];
    }
    return sum / (4 * std::numbers::pi);
}

// A small bank: an unknown type first (skipped with its lines), carbon split
// into a p and an s block, hydrogen last with a record that goes on in the
// next line.
const std::string SMALL_BANK = R"(! small test bank
 ATOM Xx    not an element of the table
  0   1   1
  1   1.0   1.0
 ATOM C     p block first
  1   2   1
  2   0.6   1.5
  2   0.4   3.0
 ATOM C     then s
  0   3   2
  1   0.9   5.0  -0.2   5.0
  2   0.1   1.5   0.5   1.5
  2   0.0   0.0   0.6   2.0
 ATOM H     last, one record on two lines
  0   1   1
  1   1.0
        1.0
)";

class WavefunctionBankTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(read_element_table_file(DATA_DIRECTORY, model_->atom_types)) << ui_->answers.message_log();
    }

    int type_of(const std::string& symbol) const
    {
        FixedText<4> field = blank_text<4>();
        set_text_field(field, symbol);
        return find_atom_type(model_->atom_types, field);
    }

    // Appends an independent atom (image when independent is false) of a type
    // with the element table's configuration.
    int add_atom(const std::string& symbol, bool independent = true)
    {
        WorkingAtomSet& atoms = model_->atoms;
        const int i = ++atoms.atom_count;
        if (independent)
            atoms.independent_atom_count = i;
        const int t = type_of(symbol);
        EXPECT_NE(t, 0) << symbol;
        atoms.atom_type_index[i] = t;
        atoms.atomic_number[i] = model_->atom_types.type_atomic_number[t];
        model_->pseudoatoms.electron_configuration[std::min(i, MAX_INDEPENDENT_ATOMS)] = blank_text<80>();
        set_text_field(model_->pseudoatoms.electron_configuration[std::min(i, MAX_INDEPENDENT_ATOMS)],
                       text_field_string(model_->atom_types.type_text[t]));
        return i;
    }

    bool read_bank(const std::string& text, WavefunctionBank& bank)
    {
        std::istringstream input(text);
        return read_wavefunction_bank_stream(input, "test.bnk", *model_, bank);
    }

    std::size_t message_count() { return ui_->answers.messages.size(); }
    const ShownMessage& last_message() { return ui_->answers.messages.back(); }

    ScopedScriptedUi ui_;
    std::unique_ptr<StructureModel> model_ = std::make_unique<StructureModel>();
    std::unique_ptr<WavefunctionBank> bank_ = std::make_unique<WavefunctionBank>();
    std::unique_ptr<RadialLookupTables> tables_ = std::make_unique<RadialLookupTables>();
};

}  // namespace

TEST_F(WavefunctionBankTest, EveryOrbitalOfTheClementiRoettiBankIsNormalised)
{
    add_atom("H");
    ASSERT_TRUE(read_bank(file_text(DATA_DIRECTORY + "/wavefCR.bnk"), *bank_)) << ui_->answers.message_log();
    int orbitals = 0;
    for (int t = 1; t <= MAX_ATOM_TYPES; ++t) {
        if (!bank_->type_in_bank[t])
            continue;
        for (int n = 1; n <= BANK_SHELL_COUNT; ++n)
            for (int l = 0; l < n && l <= 3; ++l) {
                const int o = bank_orbital_number(n, l);
                const auto& coefficient = bank_->orbital_coefficient[o][t];
                const int count = bank_->function_count[t];
                if (std::all_of(coefficient.begin() + 1, coefficient.begin() + count + 1,
                                [](double c) { return c == 0; }))
                    continue;
                const double norm = radial_integral([&](double r) {
                    double orbital = 0;
                    for (int j = 1; j <= count; ++j)
                        if (coefficient[j] != 0)
                            orbital += coefficient[j]
                                       * slater_function(bank_->function_n[t][j], bank_->orbital_exponent[t][j][n], r);
                    return orbital * orbital;
                });
                EXPECT_NEAR(norm, 1.0, 1e-3)
                    << text_field_string(model_->atom_types.type_symbol[t]) << " " << n << "spdf"[l];
                ++orbitals;
            }
    }
    EXPECT_GT(orbitals, 250);
}

TEST_F(WavefunctionBankTest, FreeAtomDensitiesHoldTheirElectrons)
{
    struct Atom {
        std::string symbol;
        double electrons;
    };
    const std::vector<Atom> atoms = {{"H", 1},  {"C", 6},   {"O", 8},    {"Ne", 10},
                                     {"Si", 14}, {"Fe", 26}, {"O-", 9}, {"Fe3+", 23}};
    for (const Atom& atom : atoms)
        add_atom(atom.symbol);
    ASSERT_TRUE(read_bank(file_text(DATA_DIRECTORY + "/wavefCR.bnk"), *bank_)) << ui_->answers.message_log();
    tabulate_radial_functions_by_type(*bank_, *model_, *tables_);
    EXPECT_EQ(message_count(), 0u) << ui_->answers.message_log();
    for (const Atom& atom : atoms) {
        SCOPED_TRACE(atom.symbol);
        const int t = type_of(atom.symbol);
        const double electrons =
            radial_integral([&](double r) { return 4 * std::numbers::pi * free_atom_density(*bank_, *tables_, t, r); });
        EXPECT_NEAR(electrons, atom.electrons, 1e-3);
    }
}

TEST_F(WavefunctionBankTest, HydrogenDensityIsTheExactOneSOrbital)
{
    add_atom("H");
    ASSERT_TRUE(read_bank(file_text(DATA_DIRECTORY + "/wavefCR.bnk"), *bank_)) << ui_->answers.message_log();
    tabulate_radial_functions_by_type(*bank_, *model_, *tables_);
    const int t = type_of("H");
    // zeta = 1/bohr: rho(r) = exp(-2 r / a0) / (pi a0^3), r in Angstrom.
    for (double r : {0.01, 0.05, 0.3, 1.0, 2.5}) {
        SCOPED_TRACE(r);
        const double exact = std::exp(-2 * r / BOHR_IN_ANGSTROM) / (std::numbers::pi * std::pow(BOHR_IN_ANGSTROM, 3));
        EXPECT_NEAR(free_atom_density(*bank_, *tables_, t, r), exact, 1e-10 * exact);
    }
}

TEST_F(WavefunctionBankTest, BlocksAreNumberedOnPerTypeWithExponentsPerShell)
{
    const int carbon = add_atom("C");
    add_atom("H");
    ASSERT_TRUE(read_bank(SMALL_BANK, *bank_)) << ui_->answers.message_log();
    EXPECT_EQ(bank_->bank_loaded, 1);
    const int c = model_->atoms.atom_type_index[carbon];
    const double to_angstrom = 1 / BOHR_IN_ANGSTROM;
    EXPECT_EQ(bank_->function_count[c], 5);
    EXPECT_EQ(bank_->shell_count[c], 2);
    EXPECT_EQ(bank_->function_n[c][1], 2);
    EXPECT_EQ(bank_->function_n[c][3], 1);
    EXPECT_EQ(bank_->orbital_coefficient[bank_orbital_number(2, 1)][c][2], 0.4);
    EXPECT_NEAR(bank_->orbital_exponent[c][2][2], 3.0 * to_angstrom, 1e-9);
    EXPECT_EQ(bank_->orbital_coefficient[bank_orbital_number(1, 0)][c][3], 0.9);
    EXPECT_EQ(bank_->orbital_coefficient[bank_orbital_number(2, 0)][c][3], -0.2);
    EXPECT_NEAR(bank_->orbital_exponent[c][3][1], 5.0 * to_angstrom, 1e-9);
    EXPECT_EQ(bank_->orbital_exponent[c][5][1], 0.0);
    EXPECT_NEAR(bank_->orbital_exponent[c][5][2], 2.0 * to_angstrom, 1e-9);
    const int h = type_of("H");
    EXPECT_EQ(bank_->function_count[h], 1);
    EXPECT_EQ(bank_->orbital_coefficient[1][h][1], 1.0);
    EXPECT_TRUE(bank_->type_in_bank[h]);
    EXPECT_FALSE(bank_->type_in_bank[type_of("O")]);
}

TEST_F(WavefunctionBankTest, FExponentsSitUnderTheirOwnShellAndTheShellCountCoversThem)
{
    add_atom("Ce");
    const std::string bank = " ATOM Ce\n 3 1 2\n 4 1.0 2.0 0.5 3.0\n ATOM Ce\n 1 1 1\n 2 1.0 1.0\n";
    ASSERT_TRUE(read_bank(bank, *bank_)) << ui_->answers.message_log();
    const int ce = type_of("Ce");
    EXPECT_EQ(bank_->orbital_coefficient[bank_orbital_number(4, 3)][ce][1], 1.0);
    EXPECT_EQ(bank_->orbital_coefficient[bank_orbital_number(5, 3)][ce][1], 0.5);
    EXPECT_NEAR(bank_->orbital_exponent[ce][1][4], 2.0 / BOHR_IN_ANGSTROM, 1e-9);
    EXPECT_NEAR(bank_->orbital_exponent[ce][1][5], 3.0 / BOHR_IN_ANGSTROM, 1e-9);
    // The 5f orbital lives in shell 5 and the lone 2p in shell 2: shells
    // 1..5 must all be evaluated.
    EXPECT_EQ(bank_->shell_count[ce], 5);
}

TEST_F(WavefunctionBankTest, ABankCutShortAnywhereIsRefusedWithNothingLoaded)
{
    add_atom("C");
    add_atom("H");
    ASSERT_TRUE(read_bank(SMALL_BANK, *bank_));
    const int c = type_of("C");

    // At a line end or inside a record (a coefficient 0.9 cut to 0. would
    // still read).
    for (std::size_t end = 0; end + 1 < SMALL_BANK.size(); ++end) {
        SCOPED_TRACE("first " + std::to_string(end) + " characters");
        const std::size_t messages = message_count();
        auto bank = std::make_unique<WavefunctionBank>(*bank_);
        EXPECT_FALSE(read_bank(SMALL_BANK.substr(0, end), *bank));
        EXPECT_EQ(bank->bank_loaded, 0);
        ASSERT_EQ(message_count(), messages + 1);
        EXPECT_EQ(bank->function_count[c], 5);
        EXPECT_EQ(bank->orbital_coefficient[1][c][3], 0.9);
    }
}

TEST_F(WavefunctionBankTest, MoreThanFortyFunctionsForOneTypeAreRefused)
{
    add_atom("C");
    auto block = [](int l, int functions) {
        std::string text = " ATOM C\n " + std::to_string(l) + " " + std::to_string(functions) + " 1\n";
        for (int j = 0; j < functions; ++j)
            text += " " + std::to_string(l + 1) + " 0.1 1.0\n";
        return text;
    };
    ASSERT_TRUE(read_bank(block(0, 20) + block(1, 20), *bank_)) << ui_->answers.message_log();
    EXPECT_EQ(bank_->function_count[type_of("C")], 40);

    EXPECT_FALSE(read_bank(block(0, 20) + block(1, 10) + block(2, 11), *bank_));
    EXPECT_EQ(bank_->bank_loaded, 0);
    EXPECT_EQ(last_message().text, "More than  40 basis functions - adjust dimensions.");
    EXPECT_EQ(last_message().caption, "Wavefunctions!");
    EXPECT_EQ(bank_->function_count[type_of("C")], 40);
}

TEST_F(WavefunctionBankTest, MalformedBlocksAreRefusedNamingTheLine)
{
    add_atom("H");
    ASSERT_TRUE(read_bank(SMALL_BANK, *bank_));
    struct BadBlock {
        std::string name, block, line;
    };
    const std::vector<BadBlock> cases = {
        {"symmetry 4", " ATOM H\n 4 1 1\n 5 1.0 1.0\n", "line 2"},
        {"negative function count", " ATOM H\n 0 -1 1\n", "line 2"},
        {"no orbitals", " ATOM H\n 0 1 0\n 1 1.0 1.0\n", "line 2"},
        {"seven s orbitals", " ATOM H\n 0 1 7\n 1 1.0 1.0\n", "line 2"},
        {"three f orbitals", " ATOM H\n 3 1 3\n 4 1.0 1.0\n", "line 2"},
        {"n = 0", " ATOM H\n 0 1 1\n 0 1.0 1.0\n", "line 3"},
        {"n = 11", " ATOM H\n 0 1 1\n 11 1.0 1.0\n", "line 3"},
        {"negative exponent", " ATOM H\n 0 1 1\n 1 1.0 -1.0\n", "line 3"},
        {"letters for a number", " ATOM H\n 0 1 1\n 1 one 1.0\n", "line 3"},
        {"the next block where a record belongs", " ATOM H\n 0 2 1\n 1 1.0 1.0\n ATOM H\n 0 1 1\n", "line 4"},
    };
    for (const BadBlock& c : cases) {
        SCOPED_TRACE(c.name);
        auto bank = std::make_unique<WavefunctionBank>(*bank_);
        EXPECT_FALSE(read_bank(c.block, *bank));
        EXPECT_EQ(bank->bank_loaded, 0);
        EXPECT_EQ(last_message().caption, "Wavefunctions!");
        EXPECT_NE(last_message().text.find("test.bnk, " + c.line), std::string::npos) << last_message().text;
        EXPECT_EQ(bank->function_count[type_of("C")], 5);
    }
}

TEST_F(WavefunctionBankTest, AnIndependentAtomWithoutABlockIsReportedOnce)
{
    add_atom("C");
    add_atom("Zn");
    add_atom("O");
    EXPECT_FALSE(read_bank(SMALL_BANK, *bank_));
    EXPECT_EQ(bank_->bank_loaded, 0);
    ASSERT_EQ(message_count(), 1u);
    EXPECT_EQ(last_message().text, "No atomic number for atom type Zn  . Please, check WAVEFUNCTIONS BANK!");
    EXPECT_EQ(last_message().caption, "Error!");

    EXPECT_FALSE(read_bank("", *bank_));
    EXPECT_EQ(last_message().text, "No atomic number for atom type C   . Please, check WAVEFUNCTIONS BANK!");
}

TEST_F(WavefunctionBankTest, TypesOfImagesOnlyAreNotLookedFor)
{
    add_atom("C");
    add_atom("O", false);
    EXPECT_TRUE(read_bank(SMALL_BANK, *bank_)) << ui_->answers.message_log();
    EXPECT_EQ(bank_->bank_loaded, 1);
}

TEST_F(WavefunctionBankTest, TheBankIsOpenedFromItsPathOrTheStartDirectory)
{
    add_atom("H");
    const int h = type_of("H");
    EXPECT_TRUE(read_wavefunction_bank(*bank_, *model_, DATA_DIRECTORY + "/wavefSCM.bnk", "/nowhere"));
    EXPECT_EQ(bank_->function_count[h], 2);  // the Su-Coppens hydrogen
    for (const std::string& path : {std::string(), std::string("   "), DATA_DIRECTORY + "/missing.bnk"}) {
        SCOPED_TRACE("path '" + path + "'");
        EXPECT_TRUE(read_wavefunction_bank(*bank_, *model_, path, DATA_DIRECTORY)) << ui_->answers.message_log();
        EXPECT_EQ(bank_->function_count[h], 1);  // the Clementi-Roetti hydrogen
    }
    EXPECT_EQ(message_count(), 0u);

    EXPECT_FALSE(read_wavefunction_bank(*bank_, *model_, DATA_DIRECTORY + "/missing.bnk", DATA_DIRECTORY + "/none"));
    EXPECT_EQ(bank_->bank_loaded, 0);
    EXPECT_EQ(bank_->function_count[h], 1);
    ASSERT_EQ(message_count(), 1u);
    EXPECT_EQ(last_message().text, "Not found wavefunctions file. Please, check <Options>.");
    EXPECT_EQ(last_message().caption, "Wavefunctions!");
}

TEST_F(WavefunctionBankTest, ProductSumsWeightCoefficientsWithTheShellOccupations)
{
    add_atom("C");
    add_atom("H");
    add_atom("C", false);
    add_atom("O", false);
    ASSERT_TRUE(read_bank(SMALL_BANK + " ATOM O\n 0 1 1\n 1 1.0 7.0\n", *bank_));
    tabulate_radial_functions_by_type(*bank_, *model_, *tables_);

    EXPECT_EQ(tables_->distinct_type_count, 3);
    const std::vector<int> types = {tables_->distinct_type[1], tables_->distinct_type[2], tables_->distinct_type[3]};
    EXPECT_EQ(types, (std::vector<int>{type_of("C"), type_of("H"), type_of("O")}));
    EXPECT_EQ(tables_->distinct_type_first_atom[3], 4);
    EXPECT_EQ(tables_->distinct_type_atomic_number[3], 8);

    // Carbon [He]2s2 2p2 with the small bank: p functions 1, 2 (2p 0.6, 0.4);
    // s functions 3, 4, 5 (1s 0.9, 0.1, 0.0; 2s -0.2, 0.5, 0.6).
    const int c = type_of("C");
    const RadialLookupTables& d = *tables_;
    EXPECT_DOUBLE_EQ(d.product_sum(c, 3, 4, 1, 1), 2 * 0.9 * 0.1);     // core 1s2
    EXPECT_DOUBLE_EQ(d.product_sum(c, 3, 3, 1, 1), 2 * 0.9 * 0.9);
    EXPECT_DOUBLE_EQ(d.product_sum(c, 4, 5, 2, 2), 2 * 0.5 * 0.6);     // valence 2s2
    EXPECT_DOUBLE_EQ(d.product_sum(c, 1, 2, 2, 2), 2 * 0.6 * 0.4);     // valence 2p2
    EXPECT_DOUBLE_EQ(d.product_sum(c, 1, 1, 2, 2), 2 * 0.6 * 0.6);
    EXPECT_EQ(d.product_sum(c, 1, 3, 2, 2), 0.0);                      // p with s: no common orbital
    EXPECT_EQ(d.product_sum(c, 4, 3, 1, 1), 0.0);                      // only i <= j is kept
    EXPECT_EQ(d.product_sum(c, 3, 4, 1, 2), 0.0);                      // no valence 1s
    EXPECT_EQ(d.product_sum(c, 4, 5, 2, 1), 0.0);                      // no core 2s
    const int o = type_of("O");
    EXPECT_DOUBLE_EQ(d.product_sum(o, 1, 1, 1, 1), 2.0);  // the image's own configuration [He]2s2 2p4
    EXPECT_EQ(message_count(), 0u) << ui_->answers.message_log();
}

TEST_F(WavefunctionBankTest, NothingCarriesOverFromAnEarlierBankOrStructure)
{
    add_atom("C");
    add_atom("O");
    ASSERT_TRUE(read_bank(SMALL_BANK + " ATOM O\n 0 1 1\n 1 1.0 7.0\n", *bank_));
    tabulate_radial_functions_by_type(*bank_, *model_, *tables_);
    const int o = type_of("O");
    ASSERT_EQ(tables_->product_sum(o, 1, 1, 1, 1), 2.0);

    model_->atoms.atom_count = 1;
    model_->atoms.independent_atom_count = 1;
    ASSERT_TRUE(read_bank(SMALL_BANK, *bank_));
    tabulate_radial_functions_by_type(*bank_, *model_, *tables_);
    EXPECT_FALSE(bank_->type_in_bank[o]);
    EXPECT_EQ(bank_->function_count[o], 0);
    EXPECT_EQ(bank_->orbital_coefficient[1][o][1], 0.0);
    EXPECT_EQ(bank_->orbital_exponent[o][1][1], 0.0);
    EXPECT_EQ(tables_->distinct_type_count, 1);
    EXPECT_EQ(tables_->distinct_type[2], 0);
    EXPECT_EQ(tables_->product_sum(o, 1, 1, 1, 1), 0.0);
}
