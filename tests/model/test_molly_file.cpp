#include "keldana/model/molly_file.h"

#include "common/scripted_ui.h"
#include "keldana/model/element_table.h"
#include "keldana/model/kdn_file.h"
#include "keldana/model/text_fields.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string FIXTURES = std::string(KD_TEST_DATA_DIR) + "/fixtures/molly/";
const std::string DATA_DIR = std::string(KD_SOURCE_DIR) + "/data";

std::string field(std::span<const char> text) { return text_field_string(text); }

std::string card_row(const SpaceGroupSymmetry& symmetry, int card, int row)
{
    std::string text;
    for (int f = 1; f <= 3; ++f)
        text += std::string(symmetry.symmetry_card_text[card][row][f].data(), 3);
    return text;
}

std::string left_trimmed(std::span<const char> text)
{
    const std::string s = text_field_string(text);
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first);
}

class MollyFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(read_element_table_file(DATA_DIR, *types_)); }

    std::unique_ptr<StructureModel> fresh_model() const
    {
        auto model = std::make_unique<StructureModel>();
        model->atom_types = *types_;
        return model;
    }

    bool read_texts(const std::string& parameter, const std::string& table, StructureModel& model)
    {
        std::istringstream p(parameter), t(table);
        return read_mol_input_streams(p, t, "ch2o.par", "ch2o.tab", model);
    }

    bool read_lines(const std::vector<std::string>& parameter, const std::vector<std::string>& table,
                    StructureModel& model)
    {
        return read_texts(join_lines(parameter), join_lines(table), model);
    }

    std::unique_ptr<StructureModel> read_fixture()
    {
        auto model = fresh_model();
        EXPECT_TRUE(read_texts(file_text(FIXTURES + "ch2o.par"), file_text(FIXTURES + "ch2o.tab"), *model));
        EXPECT_EQ(ui_->answers.message_log(), "");
        return model;
    }

    void expect_one_message(const std::string& caption, const std::string& fragment)
    {
        ASSERT_EQ(ui_->answers.messages.size(), 1u) << ui_->answers.message_log();
        const ShownMessage& message = ui_->answers.messages.front();
        EXPECT_EQ(message.caption, caption);
        EXPECT_EQ(message.icon, MessageIcon::warning);
        EXPECT_NE(message.text.find(fragment), std::string::npos) << message.text;
    }

    const std::vector<std::string> parameter_ = split_lines(file_text(FIXTURES + "ch2o.par"));
    const std::vector<std::string> table_ = split_lines(file_text(FIXTURES + "ch2o.tab"));
    ScopedScriptedUi ui_;
    std::unique_ptr<AtomTypeTable> types_ = std::make_unique<AtomTypeTable>();
};

}  // namespace

TEST_F(MollyFileTest, ReadsTheParameterAndTableFiles)
{
    const auto model = read_fixture();
    const StructureModel& s = *model;
    EXPECT_EQ(field(s.space_group.input_title), "Keldana input file ... <dummy string>");
    EXPECT_EQ(s.cell.cell_a, 6.5);
    EXPECT_EQ(s.cell.cell_c, 4.1);
    EXPECT_EQ(s.cell.cell_beta, 101.5);
    EXPECT_EQ(s.cell.cell_gamma, 90.0);

    // "/CEN/P": centring word up to the "/", the lattice letter after it.
    EXPECT_EQ(field(s.space_group.symmetry_header_line), "SYMM   P 21/C");
    EXPECT_EQ(field(s.space_group.centring_word), "CEN");
    EXPECT_EQ(s.space_group.lattice_letter, 'P');
    ASSERT_EQ(s.space_group.symmetry_card_count, 2);
    EXPECT_EQ(card_row(s.space_group, 1, 1), "        X");
    EXPECT_EQ(card_row(s.space_group, 1, 3), "        Z");
    EXPECT_EQ(card_row(s.space_group, 2, 1), "       -X");
    EXPECT_EQ(card_row(s.space_group, 2, 2), "1/2    +Y");
    EXPECT_EQ(card_row(s.space_group, 2, 3), "1/2    -Z");
    // The cards are parsed: two operators and their inverted copies.
    ASSERT_EQ(s.operators.symop_count, 4);
    EXPECT_EQ(s.operators.symop[2][1][1], -1.0);
    EXPECT_EQ(s.operators.symop[2][2][4], 0.5);

    // Dummy 1 is atom 1 under -x, 1/2+y, 1/2-z; both numbered after the 4 atoms.
    const DummyAtoms& d = s.dummies;
    ASSERT_EQ(d.dummy_count, 2);
    EXPECT_DOUBLE_EQ(d.dummy_x[1], -0.1234);
    EXPECT_DOUBLE_EQ(d.dummy_y[1], 0.5 + 0.2345);
    EXPECT_DOUBLE_EQ(d.dummy_z[1], 0.5 - 0.3456);
    EXPECT_EQ(std::string(d.dummy_label[1].data(), 8), " 5      ");
    EXPECT_EQ(d.dummy_x[2], 0.25);
    EXPECT_EQ(d.dummy_z[2], 0.0);
    EXPECT_EQ(std::string(d.dummy_label[2].data(), 8), " 6      ");

    const WorkingAtomSet& atoms = s.atoms;
    ASSERT_EQ(atoms.atom_count, 4);
    // The fourth card's label "2" is led by its valence set's symbol.
    const char* labels[] = {"", "C1", "O1", "H1", "H2"};
    const int z[] = {0, 6, 8, 1, 1};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(field(atoms.atom_label[i]), labels[i]);
        EXPECT_EQ(atoms.atomic_number[i], z[i]);
        EXPECT_EQ(s.pseudoatoms.occupancy[i], 1.0);
    }
    EXPECT_EQ(atoms.frac_x[1], 0.1234);
    EXPECT_EQ(atoms.frac_z[4], 0.4105);

    const LocalAxisDefinitions& axes = s.local_axes;
    EXPECT_EQ(axes.frame_axis_letter_1[2], 'Z');
    EXPECT_EQ(axes.frame_axis_letter_2[2], 'X');
    EXPECT_EQ(axes.frame_atom_1[2], 1);
    EXPECT_EQ(axes.frame_atom_2[2], 2);
    EXPECT_EQ(axes.frame_atom_3[2], 6);

    const PseudoatomParameters& p = s.pseudoatoms;
    EXPECT_EQ(p.l_max[1], 4);
    EXPECT_EQ(p.l_max[3], 1);
    const MultipolePopulations& c = p.multipole_population[1];
    EXPECT_EQ(p.valence_population[1], 4.0812);
    EXPECT_EQ(c(0, 0), 0.0);
    // Dipoles given as P(1,+1), P(1,-1), P(1,0).
    EXPECT_EQ(c(1, 1), 0.0123);
    EXPECT_EQ(c(1, -1), -0.0456);
    EXPECT_EQ(c(1, 0), 0.0789);
    EXPECT_EQ(c(2, 0), 0.1012);
    EXPECT_EQ(c(2, -2), -0.0044);
    // P(3,-3) and P(4,-3) change sign; their neighbours do not.
    EXPECT_EQ(c(3, 3), -0.0506);
    EXPECT_EQ(c(3, -3), -0.0607);
    EXPECT_EQ(c(4, 3), 0.0613);
    EXPECT_EQ(c(4, -3), 0.0714);
    EXPECT_EQ(c(4, -4), -0.0916);
    // Multiplier 0.5 over divisor 0.25 doubles the populations up to l_max.
    EXPECT_DOUBLE_EQ(p.valence_population[4], 0.88);
    EXPECT_DOUBLE_EQ(p.multipole_population[4](1, 1), 0.01);
    EXPECT_DOUBLE_EQ(p.multipole_population[4](1, -1), -0.012);
    EXPECT_DOUBLE_EQ(p.multipole_population[4](1, 0), 0.122);
    EXPECT_EQ(p.multipole_population[4](2, 0), 0.01);

    // Core electrons: Z minus the two electron counts of the kappa set.
    EXPECT_EQ(p.core_electron_count[1], 2);
    EXPECT_EQ(p.core_electron_count[2], 2);
    EXPECT_EQ(p.core_electron_count[4], 0);
    EXPECT_EQ(p.radial_n[1], (PerOrder<int>{2, 2, 2, 3, 4}));
    EXPECT_EQ(p.radial_zeta[2], (PerOrder<double>{4.466, 4.466, 4.466, 4.466, 4.466}));
    EXPECT_EQ(p.radial_n[3], (PerOrder<int>{1, 1, 0, 0, 0}));
    EXPECT_EQ(p.radial_zeta[3], (PerOrder<double>{2.0, 2.0, 0.0, 0.0, 0.0}));
    EXPECT_EQ(p.kappa[2], 0.9812);
    EXPECT_EQ(p.kappa_prime[2], 0.8543);
    EXPECT_EQ(p.kappa[3], 1.16);
    EXPECT_EQ(field(p.electron_configuration[2]), "[He]2s2 2p4");
}

TEST_F(MollyFileTest, ModelEqualsItselfWrittenAndReadBackInTheProgramsOwnFile)
{
    const auto model = read_fixture();
    auto loaded = std::make_unique<StructureModel>(*model);
    loaded->atoms.independent_atom_count = loaded->atoms.atom_count;
    for (int i = 1; i <= loaded->atoms.atom_count; ++i)
        for (double& zeta : loaded->pseudoatoms.radial_zeta[i])
            zeta /= BOHR_ANGSTROM;
    std::ostringstream out;
    ASSERT_TRUE(write_kdn_input_file(out, *loaded));
    auto back = std::make_unique<StructureModel>();
    std::istringstream in(out.str());
    ASSERT_TRUE(read_kdn_input_file(in, "ch2o.kdn", *back)) << ui_->answers.message_log();

    const StructureModel& a = *model;
    const StructureModel& b = *back;
    EXPECT_EQ(a.space_group.input_title, b.space_group.input_title);
    EXPECT_NEAR(a.cell.cell_beta, b.cell.cell_beta, 0.5e-4);
    EXPECT_EQ(a.space_group.symmetry_header_line, b.space_group.symmetry_header_line);
    EXPECT_EQ(a.space_group.centring_word, b.space_group.centring_word);
    EXPECT_EQ(a.space_group.lattice_letter, b.space_group.lattice_letter);
    EXPECT_EQ(a.space_group.symmetry_card_count, b.space_group.symmetry_card_count);
    EXPECT_EQ(a.space_group.symmetry_card_text, b.space_group.symmetry_card_text);
    ASSERT_EQ(b.dummies.dummy_count, 2);
    for (int d = 1; d <= 2; ++d) {
        // Labels are words in the program's own file.
        EXPECT_EQ(left_trimmed(a.dummies.dummy_label[d]), left_trimmed(b.dummies.dummy_label[d]));
        EXPECT_NEAR(a.dummies.dummy_x[d], b.dummies.dummy_x[d], 0.5e-6);
        EXPECT_NEAR(a.dummies.dummy_y[d], b.dummies.dummy_y[d], 0.5e-6);
        EXPECT_NEAR(a.dummies.dummy_z[d], b.dummies.dummy_z[d], 0.5e-6);
    }
    ASSERT_EQ(b.atoms.atom_count, 4);
    for (int i = 1; i <= 4; ++i) {
        SCOPED_TRACE("atom " + std::to_string(i));
        EXPECT_EQ(a.atoms.atom_label[i], b.atoms.atom_label[i]);
        EXPECT_NEAR(a.atoms.frac_y[i], b.atoms.frac_y[i], 0.5e-6);
        EXPECT_EQ(a.local_axes.frame_atom_1[i], b.local_axes.frame_atom_1[i]);
        EXPECT_EQ(a.local_axes.frame_atom_2[i], b.local_axes.frame_atom_2[i]);
        EXPECT_EQ(a.local_axes.frame_atom_3[i], b.local_axes.frame_atom_3[i]);
        EXPECT_EQ(a.local_axes.frame_axis_letter_1[i], b.local_axes.frame_axis_letter_1[i]);
        EXPECT_EQ(a.local_axes.frame_axis_letter_2[i], b.local_axes.frame_axis_letter_2[i]);
        const PseudoatomParameters& pa = a.pseudoatoms;
        const PseudoatomParameters& pb = b.pseudoatoms;
        ASSERT_EQ(pa.l_max[i], pb.l_max[i]);
        EXPECT_EQ(pa.core_electron_count[i], pb.core_electron_count[i]);
        EXPECT_EQ(pa.electron_configuration[i], pb.electron_configuration[i]);
        EXPECT_EQ(pa.occupancy[i], pb.occupancy[i]);
        EXPECT_NEAR(pa.kappa[i], pb.kappa[i], 0.5e-6);
        EXPECT_NEAR(pa.kappa_prime[i], pb.kappa_prime[i], 0.5e-6);
        EXPECT_NEAR(pa.valence_population[i], pb.valence_population[i], 0.5e-4);
        for (int l = 0; l <= pa.l_max[i]; ++l) {
            EXPECT_EQ(pa.radial_n[i][l], pb.radial_n[i][l]);
            EXPECT_NEAR(pa.radial_zeta[i][l], pb.radial_zeta[i][l], 0.5e-4);
            for (int m = -l; m <= l; ++m)
                EXPECT_NEAR(pa.multipole_population[i](l, m), pb.multipole_population[i](l, m), 0.5e-4)
                    << "P(" << l << "," << m << ")";
        }
    }
}

TEST_F(MollyFileTest, FilesCutShortAtAnyRecordAreRefusedWithAMessage)
{
    for (int cut_table = 0; cut_table <= 1; ++cut_table) {
        const std::vector<std::string>& lines = cut_table ? table_ : parameter_;
        for (std::size_t kept = 0; kept < lines.size(); ++kept) {
            SCOPED_TRACE(std::string(cut_table ? "ch2o.tab" : "ch2o.par") + " cut after line " + std::to_string(kept));
            ui_->answers.messages.clear();
            const std::vector<std::string> head(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kept));
            auto model = fresh_model();
            EXPECT_FALSE(read_lines(cut_table ? parameter_ : head, cut_table ? head : table_, *model));
            expect_one_message("Reading error", cut_table ? "Please, check input file format - ch2o.tab\n"
                                                          : "Please, check input file format - ch2o.par\n");
        }
    }
}

TEST_F(MollyFileTest, FilesCutInsideTheirLastRecordAreRefusedNamingTheLine)
{
    for (int cut_table = 0; cut_table <= 1; ++cut_table) {
        const std::vector<std::string>& lines = cut_table ? table_ : parameter_;
        const std::string whole = join_lines(lines);
        const std::size_t last = whole.size() - lines.back().size() - 1;
        for (std::size_t end = last + 1; end < whole.size(); ++end) {
            SCOPED_TRACE((cut_table ? "ch2o.tab cut at " : "ch2o.par cut at ") + std::to_string(end));
            ui_->answers.messages.clear();
            const std::string head = whole.substr(0, end);
            auto model = fresh_model();
            EXPECT_FALSE(read_texts(cut_table ? join_lines(parameter_) : head, cut_table ? head : join_lines(table_),
                                    *model));
            ASSERT_EQ(ui_->answers.messages.size(), 1u);
            std::string text = ui_->answers.messages[0].text;
            std::transform(text.begin(), text.end(), text.begin(), ::tolower);
            EXPECT_NE(text.find("line " + std::to_string(lines.size())), std::string::npos) << text;
        }
    }
}

TEST_F(MollyFileTest, MalformedRecordsAreRefusedNamingTheLine)
{
    struct Case {
        const char* name;
        bool table;
        std::size_t line;  // 1-based line of ch2o.tab or ch2o.par replaced
        const char* replacement;
        const char* fragment;
    };
    const Case cases[] = {
        {"too many valence sets", true, 3, "  251", "Line 3, the number of valence sets: 251; 0 to 250 can be read"},
        {"exponent not a number", true, 4, "ST  C   2S2P         2 3.1x620 2 3.17620 2 3.17620 3 3.17620 4 3.17620",
         "Line 4, the ST line of valence set 1: "},
        {"exponent of zero", true, 4, "ST  C   2S2P         2 0.00000 2 3.17620 2 3.17620 3 3.17620 4 3.17620",
         "Line 9, the card of atom 1 (C1): the exponent zeta(0) of valence set 1 is not positive"},
        {"cell value not a number", true, 11, "    6.50000   5.90000   x.10000  90.0  101.5  90.0  1.0",
         "Line 11, the cell: "},
        {"too many cards", true, 14, "   51", "the number of symmetry cards: 51; 0 to 50 can be read"},
        {"card count not a number", true, 14, "   two", "Line 14, the number of symmetry cards: "},
        {"translation no card holds", true, 16, "-X,0.3+Y,0.5-Z",
         "Line 16, symmetry card 2: the translation 0.3 of row 2 is none of"},
        {"too many dummy atoms", true, 18, "  121", "the number of dummy atoms: 121; 0 to 120 can be read"},
        {"letter in the digit columns", true, 19, "S 0l 55502",
         "Line 19, dummy atom 1: columns 3-4, 6-8 and 9-10 must hold the atom"},
        {"blank in the digit columns", true, 19, "S  1 55502", "must hold the atom, the lattice translations"},
        {"atom beyond the atoms", true, 19, "S 09 55502", "dummy atom 1: atom 9 is not among the 4 atoms"},
        {"operator beyond the operators", true, 19, "S 01 55505", "dummy atom 1: operator 5 is not among the 4"},
        {"dummy coordinate not a number", true, 20, "    0.25000   0.2S000   0.00000", "Line 20, dummy atom 2: "},
        {"too many kappa sets", false, 3, "  251", "Line 3, the number of kappa sets: 251; 0 to 250 can be read"},
        {"kappa not a number", false, 5, "    2   0.9812O   0.85430   6.00000   0.00000", "Line 5, kappa set 2: "},
        {"too many atoms", false, 8, "  121", "Line 8, the number of atoms: 121; 0 to 120 can be read"},
        {"no atoms", false, 8, "    0", "Line 8, the number of atoms: 0; 1 to 120 can be read"},
        {"valence set beyond the sets", false, 9, "C1     XY  2  1  3 4. 1.  5 0.123400 0.234500 0.345600 1.000000   1.000",
         "Line 9, the card of atom 1 (C1): valence set 4 is not among the 3 read"},
        {"set number beyond any integer", false, 9,
         "C1     XY  2  1  39E9 1.  5 0.123400 0.234500 0.345600 1.000000   1.000",
         "valence set 0 is not among the 3 read"},
        {"electron counts out of range", false, 4, "    1   0.98760   0.91230   4.0E300   4.0E300",
         "Line 9, the card of atom 1 (C1): the electron counts of kappa set 1 are out of range"},
        {"kappa set 0", false, 9, "C1     XY  2  1  3 1. 0.  5 0.123400 0.234500 0.345600 1.000000   1.000",
         "kappa set 0 is not among the 3 read"},
        {"six multipole levels", false, 9, "C1     XY  2  1  3 1. 1.  6 0.123400 0.234500 0.345600 1.000000   1.000",
         "6 multipole levels; 1 to 5 can be read"},
        {"site divisor 0", false, 9, "C1     XY  2  1  3 1. 1.  5 0.123400 0.234500 0.345600 0.000000   1.000",
         "the site divisor is 0"},
        // Fixed-column reals that once loaded as infinite populations.
        {"multiplier 1.0E400", false, 9, "C1     XY  2  1  3 1. 1.  5 0.123400 0.234500 0.345600 1.000000 1.0E400",
         "Line 9, the card of atom 1"},
        {"site divisor Inf", false, 9, "C1     XY  2  1  3 1. 1.  5 0.123400 0.234500 0.345600      Inf   1.000",
         "Line 9, the card of atom 1"},
        {"site divisor 1E-300", false, 9, "C1     XY  2  1  3 1. 1.  5 0.123400 0.234500 0.345600 1.0E-300   1.000",
         "the site divisor and the multiplier must lie between"},
        {"multiplier 1E5", false, 9, "C1     XY  2  1  3 1. 1.  5 0.123400 0.234500 0.345600 1.000000 100000.",
         "the site divisor and the multiplier must lie between"},
        {"exponent Inf", true, 4, "ST  C   2S2P         2     Inf 2 3.17620 2 3.17620 3 3.17620 4 3.17620",
         "valence set 1"},
        {"first frame atom -99", false, 9, "C1     XY-99  1  3 1. 1.  5 0.123400 0.234500 0.345600 1.000000   1.000",
         "the frame atoms must be atoms or dummy atoms, 1 to 6"},
        {"coordinate not a number", false, 9, "C1     XY  2  1  3 1. 1.  5 0.1234x0 0.234500 0.345600 1.000000   1.000",
         "Line 9, the card of atom 1: "},
        {"frame atom past the dummy atoms", false, 9,
         "C1     XY  7  1  3 1. 1.  5 0.123400 0.234500 0.345600 1.000000   1.000",
         "Line 9, the card of atom 1 (C1): the frame atoms must be atoms or dummy atoms, 1 to 6"},
        {"population not a number", false, 12, "   0.1012   0.0011  -0.0022   0.0033  -O.0044",
         "Line 12, the populations of atom 1 (C1): "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        std::vector<std::string> parameter = parameter_, table = table_;
        (c.table ? table : parameter).at(c.line - 1) = c.replacement;
        auto model = fresh_model();
        EXPECT_FALSE(read_lines(parameter, table, *model));
        expect_one_message("Reading error", c.fragment);
    }
}

TEST_F(MollyFileTest, ProgramStoppingFaultsAreReportedInstead)
{
    struct Case {
        const char* name;
        std::size_t line;  // of ch2o.tab
        const char* replacement;
        const char* caption;
        const char* text;
    };
    const Case cases[] = {
        {"valence set of no element", 5, " XVAL", "Error!", "No atomic number for atom type X   "},
        {"dummy with operator 0", 19, "S 01 55500", "Error!", "Dummy atom lattice translations are not correct!"},
        {"dummy with operator 50", 19, "S 01 55550", "Error!", "Dummy atom lattice translations are not correct!"},
        {"card field the card tables lack", 16, "1/8-X,1/2+Y,1/2-Z", "ERROR",
         "Error in symmetry operator no.  2.  Job terminated."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        std::vector<std::string> table = table_;
        table.at(c.line - 1) = c.replacement;
        auto model = fresh_model();
        EXPECT_FALSE(read_lines(parameter_, table, *model));
        ASSERT_EQ(ui_->answers.messages.size(), 1u) << ui_->answers.message_log();
        EXPECT_EQ(ui_->answers.messages.front().caption, c.caption);
        EXPECT_EQ(ui_->answers.messages.front().text, c.text);
    }
}

TEST_F(MollyFileTest, DummyOperatorsAboveFiftyNegateTheRotation)
{
    std::vector<std::string> table = table_;
    table[18] = "S 01 55652";  // operator 2 with -R, moved by (0, 0, +1)
    auto model = fresh_model();
    ASSERT_TRUE(read_lines(parameter_, table, *model)) << ui_->answers.message_log();
    // -(-x, y, -z) + (0, 1/2, 1/2) + (0, 0, 1)
    EXPECT_DOUBLE_EQ(model->dummies.dummy_x[1], 0.1234);
    EXPECT_DOUBLE_EQ(model->dummies.dummy_y[1], -0.2345 + 0.5);
    EXPECT_DOUBLE_EQ(model->dummies.dummy_z[1], 0.3456 + 0.5 + 1.0);
}

TEST_F(MollyFileTest, CardsInFieldsOrInMatrixNotationGiveTheSameCards)
{
    const auto expected = read_fixture();

    // Without "/" in column 1: the fields of the program's cards up to "END".
    std::vector<std::string> fields = table_;
    fields[12] = "CEN                 /P";
    fields[13] = "        X         Y         Z";
    fields[14] = "       -X 1/2    +Y 1/2    -Z";
    fields[15] = "END";
    auto model = fresh_model();
    ASSERT_TRUE(read_lines(parameter_, fields, *model)) << ui_->answers.message_log();
    EXPECT_EQ(field(model->space_group.centring_word), "CEN");
    EXPECT_EQ(model->space_group.lattice_letter, 'P');
    EXPECT_EQ(model->space_group.symmetry_card_count, 2);
    EXPECT_EQ(model->space_group.symmetry_card_text, expected->space_group.symmetry_card_text);
    EXPECT_EQ(model->dummies.dummy_y[1], expected->dummies.dummy_y[1]);

    // Translations, then the rotation column by column.
    std::vector<std::string> matrix = table_;
    matrix[15] = "0.0 0.5 0.5  -1.0 0.0 0.0  0.0 1.0 0.0  0.0 0.0 -1.0";
    model = fresh_model();
    ASSERT_TRUE(read_lines(parameter_, matrix, *model)) << ui_->answers.message_log();
    EXPECT_EQ(model->space_group.symmetry_card_text, expected->space_group.symmetry_card_text);

    // A file ending before the "END" card.
    fields.resize(15);
    model = fresh_model();
    EXPECT_FALSE(read_lines(parameter_, fields, *model));
    expect_one_message("Reading error", "where symmetry card 3 or the \"END\" card should follow");
}

TEST(MollyValenceSetNames, AreCleanedToElementSymbols)
{
    const std::pair<const char*, const char*> cases[] = {
        {"NVAL", "N   "}, {"SIV ", "S   "}, {"Fe  ", "Fe  "}, {"O1- ", "O1- "},
        {"Fe3+", "Fe3+"}, {"NA+ ", "NA+ "}, {"Cl  ", "Cl  "}, {"C-  ", "C-  "},
    };
    for (const auto& [name, clean] : cases) {
        FixedText<4> text{};
        std::copy_n(name, 4, text.begin());
        const FixedText<4> result = clean_molly_valence_set_name(text);
        EXPECT_EQ(std::string(result.data(), 4), clean) << name;
    }
}

TEST(MollyTableFilePath, ReplacesTheExtensionOfTheFileName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"model.par", "model.tab"}, {"/data/a.b.par", "/data/a.b.tab"}, {"/data.v1/model", ""}, {"model", ""}};
    for (const auto& [path, table] : cases)
        EXPECT_EQ(molly_table_file_path(path), table) << path;
}

TEST_F(MollyFileTest, FilesAreOpenedByPath)
{
    auto model = fresh_model();
    ASSERT_TRUE(read_mol_input_files(FIXTURES + "ch2o.par", "ch2o.par", *model)) << ui_->answers.message_log();
    EXPECT_EQ(model->atoms.atom_count, 4);

    // A parameter file without its table file beside it.
    const std::string xd = std::string(KD_TEST_DATA_DIR) + "/fixtures/xd/";
    model = fresh_model();
    EXPECT_FALSE(read_mol_input_files(xd + "ch2o.inp", "ch2o.inp", *model));
    expect_one_message("Error", "No found file - " + (xd + "ch2o.tab").substr(0, 44));

    // A name without extension has no table file.
    ui_->answers.messages.clear();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "keldana_test_molly_file";
    std::filesystem::create_directories(folder);
    const std::string bare = (folder / "ch2o").string();
    std::filesystem::copy_file(FIXTURES + "ch2o.par", bare, std::filesystem::copy_options::overwrite_existing);
    EXPECT_FALSE(read_mol_input_files(bare, "ch2o", *model));
    expect_one_message("Error", "No found file - ");
    std::filesystem::remove_all(folder);
}
