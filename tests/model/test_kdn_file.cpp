#include "keldana/model/kdn_file.h"

#include "common/scripted_ui.h"
#include "keldana/model/text_fields.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string FIXTURES = std::string(KD_TEST_DATA_DIR) + "/fixtures/kdn/";
const std::string READING_ERROR = "Input file reading error";

std::string field(std::span<const char> text) { return text_field_string(text); }

std::string card_row(const SpaceGroupSymmetry& symmetry, int card, int row)
{
    std::string text;
    for (int f = 1; f <= 3; ++f)
        text += std::string(symmetry.symmetry_card_text[card][row][f].data(), 3);
    return text;
}

class KdnFileTest : public ::testing::Test {
protected:
    bool read_text(const std::string& text, StructureModel& model, const std::string& title = "test.kdn")
    {
        std::istringstream in(text);
        return read_kdn_input_file(in, title, model);
    }

    std::unique_ptr<StructureModel> read_fixture(const std::string& name)
    {
        auto model = std::make_unique<StructureModel>();
        EXPECT_TRUE(read_kdn_input_file(FIXTURES + name, name, *model));
        EXPECT_EQ(ui_->answers.message_log(), "");
        return model;
    }

    // The model as a load leaves it: exponents in 1/Angstrom, and with N
    // working atoms the dummy references moved past them.
    static void make_loaded(StructureModel& model, int working_atoms)
    {
        const int n_ind = model.atoms.atom_count;
        model.atoms.independent_atom_count = n_ind;
        model.atoms.atom_count = working_atoms;
        LocalAxisDefinitions& axes = model.local_axes;
        for (int i = 1; i <= n_ind; ++i) {
            for (int l = 0; l <= 4; ++l)
                model.pseudoatoms.radial_zeta[i][l] /= BOHR_ANGSTROM;
            const int shift = working_atoms - n_ind;
            if (std::abs(axes.frame_atom_1[i]) > n_ind)
                axes.frame_atom_1[i] += axes.frame_atom_1[i] > 0 ? shift : -shift;
            if (axes.frame_atom_2[i] > n_ind)
                axes.frame_atom_2[i] += shift;
            if (axes.frame_atom_3[i] > n_ind)
                axes.frame_atom_3[i] += shift;
        }
        // Images carry copies of their parents' parameters; the file leaves them out.
        for (int i = n_ind + 1; i <= working_atoms; ++i) {
            set_text_field(model.atoms.atom_label[i], "IMAGE");
            model.pseudoatoms.l_max[i] = 4;
            model.pseudoatoms.kappa[i] = 7.0;
        }
    }

    void expect_one_reading_error(const std::string& fragment)
    {
        ASSERT_EQ(ui_->answers.messages.size(), 1u) << ui_->answers.message_log();
        const ShownMessage& message = ui_->answers.messages.front();
        EXPECT_EQ(message.caption, READING_ERROR);
        EXPECT_EQ(message.icon, MessageIcon::warning);
        EXPECT_EQ(message.text.rfind("Please, check input file -    test.kdn\n", 0), 0u) << message.text;
        EXPECT_NE(message.text.find(fragment), std::string::npos) << message.text;
    }

    ScopedScriptedUi ui_;
};

}  // namespace

TEST_F(KdnFileTest, ReadsAFreeAtomInALargeCell)
{
    const auto model = read_fixture("free_atom.kdn");
    EXPECT_EQ(field(model->space_group.input_title), "Free neon atom in a large cell");
    EXPECT_EQ(model->cell.cell_a, 20.0);
    EXPECT_EQ(model->cell.cell_b, 20.0);
    EXPECT_EQ(model->cell.cell_c, 20.0);
    EXPECT_EQ(model->cell.cell_alpha, 90.0);
    EXPECT_EQ(model->cell.cell_beta, 90.0);
    EXPECT_EQ(model->cell.cell_gamma, 90.0);

    // The atom line starts with blanks and gives no occupancy.
    ASSERT_EQ(model->atoms.atom_count, 1);
    EXPECT_EQ(model->atoms.atom_label[1], (AtomLabel{'N', 'e', '1', ' ', ' ', ' ', ' ', ' '}));
    EXPECT_EQ(model->atoms.frac_x[1], 0.0);
    EXPECT_EQ(model->atoms.frac_y[1], 0.0);
    EXPECT_EQ(model->atoms.frac_z[1], 0.0);
    EXPECT_EQ(model->pseudoatoms.occupancy[1], 1.0);
    EXPECT_EQ(model->dummies.dummy_count, 0);

    const PseudoatomParameters& p = model->pseudoatoms;
    EXPECT_EQ(p.l_max[1], 0);
    EXPECT_EQ(p.core_electron_count[1], 2);
    EXPECT_EQ(model->local_axes.frame_atom_1[1], 0);
    EXPECT_EQ(model->local_axes.frame_axis_letter_1[1], 'X');
    EXPECT_EQ(model->local_axes.frame_atom_2[1], 0);
    EXPECT_EQ(model->local_axes.frame_atom_3[1], 0);
    EXPECT_EQ(model->local_axes.frame_axis_letter_2[1], 'Y');
    EXPECT_EQ(field(p.electron_configuration[1]), "[He]2s2 2p6");
    EXPECT_EQ(p.radial_n[1][0], 2);
    EXPECT_DOUBLE_EQ(p.radial_zeta[1][0], 4.3555);  // 1/bohr as in the file
    EXPECT_EQ(p.kappa[1], 1.0);
    EXPECT_EQ(p.kappa_prime[1], 1.0);
    EXPECT_EQ(p.valence_population[1], 8.0);
    EXPECT_EQ(p.multipole_population[1](0, 0), 0.0);

    const SpaceGroupSymmetry& s = model->space_group;
    EXPECT_EQ(field(s.symmetry_header_line), "Space group P1");
    EXPECT_EQ(field(s.centring_word), "NON");
    EXPECT_EQ(s.lattice_letter, 'P');
    EXPECT_EQ(s.symmetry_card_count, 1);  // the lower-case "end" is not a card
    EXPECT_EQ(card_row(s, 1, 1), "     X   ");
    EXPECT_EQ(card_row(s, 1, 2), "     Y   ");
    EXPECT_EQ(card_row(s, 1, 3), "     Z   ");
}

TEST_F(KdnFileTest, ReadsACentrosymmetricMoleculeWithDummyFrames)
{
    const auto model = read_fixture("ethyne.kdn");
    EXPECT_EQ(field(model->space_group.input_title), "Ethyne C2H2 about a centre of symmetry, multipole model");
    EXPECT_EQ(model->cell.cell_b, 6.3);
    EXPECT_EQ(model->cell.cell_beta, 108.5);

    const WorkingAtomSet& atoms = model->atoms;
    ASSERT_EQ(atoms.atom_count, 2);
    EXPECT_EQ(field(atoms.atom_label[1]), "C1");
    EXPECT_EQ(field(atoms.atom_label[2]), "H1");
    EXPECT_EQ(atoms.frac_x[2], 0.15);
    EXPECT_EQ(atoms.frac_y[2], 0.18);
    EXPECT_EQ(atoms.frac_z[2], 0.21);
    EXPECT_EQ(model->pseudoatoms.occupancy[1], 1.0);
    EXPECT_EQ(model->pseudoatoms.occupancy[2], 0.5);

    // Both dummy atoms stand on one line.
    const DummyAtoms& d = model->dummies;
    ASSERT_EQ(d.dummy_count, 2);
    EXPECT_EQ(field(d.dummy_label[1]), "DUM1");
    EXPECT_EQ(d.dummy_x[1], 0.5);
    EXPECT_EQ(field(d.dummy_label[2]), "DUM2");
    EXPECT_EQ(d.dummy_x[2], 0.25);
    EXPECT_EQ(d.dummy_y[2], 0.75);
    EXPECT_EQ(d.dummy_z[2], 0.0);

    const LocalAxisDefinitions& axes = model->local_axes;
    EXPECT_EQ(axes.frame_atom_1[1], 3);  // dummy 1
    EXPECT_EQ(axes.frame_axis_letter_1[1], 'Z');
    EXPECT_EQ(axes.frame_atom_2[1], 1);
    EXPECT_EQ(axes.frame_atom_3[1], 4);  // dummy 2
    EXPECT_EQ(axes.frame_axis_letter_2[1], 'X');
    EXPECT_EQ(axes.frame_atom_1[2], -4);  // left-handed, towards dummy 2
    EXPECT_EQ(axes.frame_axis_letter_1[2], 'z');
    EXPECT_EQ(axes.frame_atom_2[2], 2);
    EXPECT_EQ(axes.frame_atom_3[2], 3);
    EXPECT_EQ(axes.frame_axis_letter_2[2], 'x');

    const PseudoatomParameters& p = model->pseudoatoms;
    EXPECT_EQ(p.l_max[1], 4);
    EXPECT_EQ(p.core_electron_count[1], 2);
    EXPECT_EQ(field(p.electron_configuration[1]), "[He]2s2 2p2");
    EXPECT_EQ(p.radial_n[1], (PerOrder<int>{2, 2, 2, 3, 4}));
    for (int l = 0; l <= 4; ++l)
        EXPECT_EQ(p.radial_zeta[1][l], 3.1765);
    EXPECT_EQ(p.kappa[1], 0.99);
    EXPECT_EQ(p.kappa_prime[1], 0.85);
    EXPECT_EQ(p.valence_population[1], 4.1);
    const MultipolePopulations& c = p.multipole_population[1];
    EXPECT_EQ(c(0, 0), 0.0);
    EXPECT_EQ(c(1, -1), 0.01);
    EXPECT_EQ(c(1, 1), 0.03);
    EXPECT_EQ(c(2, -2), 0.11);
    EXPECT_EQ(c(2, 2), 0.15);
    EXPECT_EQ(c(3, -3), 0.21);
    EXPECT_EQ(c(3, 3), 0.27);
    EXPECT_EQ(c(4, -4), 0.31);
    EXPECT_EQ(c(4, 0), 0.35);
    EXPECT_EQ(c(4, 4), 0.39);

    EXPECT_EQ(p.l_max[2], 1);
    EXPECT_EQ(p.core_electron_count[2], 0);
    EXPECT_EQ(p.radial_n[2], (PerOrder<int>{1, 1, 0, 0, 0}));
    EXPECT_EQ(p.radial_zeta[2][1], 2.2);
    EXPECT_EQ(p.radial_zeta[2][2], 0.0);
    EXPECT_EQ(p.kappa[2], 1.2);
    EXPECT_EQ(p.valence_population[2], 0.9);
    EXPECT_EQ(p.multipole_population[2](0, 0), 0.05);
    EXPECT_EQ(p.multipole_population[2](1, -1), 0.1);
    EXPECT_EQ(p.multipole_population[2](1, 1), -0.1);
    EXPECT_EQ(p.multipole_population[2](2, 0), 0.0);

    EXPECT_EQ(field(model->space_group.centring_word), "CEN");
    EXPECT_EQ(model->space_group.lattice_letter, 'P');
    EXPECT_EQ(model->space_group.symmetry_card_count, 1);
}

TEST_F(KdnFileTest, WriterKeepsTheColumnsOfTheFile)
{
    // Two symmetry images make N = 4: the dummy references 5 and 6 in memory
    // are 3 and 4 in the file.  The expected text was written by gfortran
    // (ethyne_written.f90).
    auto model = read_fixture("ethyne.kdn");
    make_loaded(*model, 4);
    ASSERT_EQ(model->local_axes.frame_atom_1[1], 5);
    ASSERT_EQ(model->local_axes.frame_atom_1[2], -6);

    std::ostringstream out;
    ASSERT_TRUE(write_kdn_input_file(out, *model));
    EXPECT_EQ(out.str(), file_text(FIXTURES + "ethyne_written.kdn"));
}

TEST_F(KdnFileTest, WriteThenReadGivesTheSameModelToThePrintedPrecision)
{
    auto model = read_fixture("ethyne.kdn");
    // Values with more digits than the file keeps.
    model->atoms.frac_x[1] = 0.123456789;
    model->pseudoatoms.occupancy[2] = 0.333333333;
    model->cell.cell_a = 5.123456789;
    model->pseudoatoms.kappa[1] = 0.987654321;
    model->pseudoatoms.multipole_population[1](3, -1) = -0.123456789;
    model->pseudoatoms.radial_zeta[2][0] = 2.345678901;
    model->dummies.dummy_y[2] = 0.987654321;
    const auto original = std::make_unique<StructureModel>(*model);
    make_loaded(*model, 4);

    std::ostringstream out;
    ASSERT_TRUE(write_kdn_input_file(out, *model));
    auto back = std::make_unique<StructureModel>();
    ASSERT_TRUE(read_text(out.str(), *back)) << ui_->answers.message_log();

    const StructureModel& a = *original;
    const StructureModel& b = *back;
    EXPECT_EQ(b.space_group.input_title, a.space_group.input_title);
    EXPECT_NEAR(b.cell.cell_a, a.cell.cell_a, 0.5e-4);
    EXPECT_EQ(b.cell.cell_beta, a.cell.cell_beta);
    ASSERT_EQ(b.atoms.atom_count, 2);  // the images are not saved
    ASSERT_EQ(b.dummies.dummy_count, 2);
    for (int i = 1; i <= 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(b.atoms.atom_label[i], a.atoms.atom_label[i]);
        EXPECT_NEAR(b.atoms.frac_x[i], a.atoms.frac_x[i], 0.5e-6);
        EXPECT_NEAR(b.atoms.frac_y[i], a.atoms.frac_y[i], 0.5e-6);
        EXPECT_NEAR(b.atoms.frac_z[i], a.atoms.frac_z[i], 0.5e-6);
        EXPECT_NEAR(b.pseudoatoms.occupancy[i], a.pseudoatoms.occupancy[i], 0.5e-6);
        EXPECT_NEAR(b.dummies.dummy_x[i], a.dummies.dummy_x[i], 0.5e-6);
        EXPECT_NEAR(b.dummies.dummy_y[i], a.dummies.dummy_y[i], 0.5e-6);
        EXPECT_EQ(b.dummies.dummy_label[i], a.dummies.dummy_label[i]);
        EXPECT_EQ(b.local_axes.frame_atom_1[i], a.local_axes.frame_atom_1[i]);
        EXPECT_EQ(b.local_axes.frame_atom_2[i], a.local_axes.frame_atom_2[i]);
        EXPECT_EQ(b.local_axes.frame_atom_3[i], a.local_axes.frame_atom_3[i]);
        EXPECT_EQ(b.local_axes.frame_axis_letter_1[i], a.local_axes.frame_axis_letter_1[i]);
        EXPECT_EQ(b.local_axes.frame_axis_letter_2[i], a.local_axes.frame_axis_letter_2[i]);
        const PseudoatomParameters& pa = a.pseudoatoms;
        const PseudoatomParameters& pb = b.pseudoatoms;
        EXPECT_EQ(pb.l_max[i], pa.l_max[i]);
        EXPECT_EQ(pb.core_electron_count[i], pa.core_electron_count[i]);
        EXPECT_EQ(pb.electron_configuration[i], pa.electron_configuration[i]);
        EXPECT_EQ(pb.radial_n[i], pa.radial_n[i]);
        for (int l = 0; l <= 4; ++l)
            EXPECT_NEAR(pb.radial_zeta[i][l], pa.radial_zeta[i][l], 0.5e-4) << "l = " << l;
        EXPECT_NEAR(pb.kappa[i], pa.kappa[i], 0.5e-6);
        EXPECT_NEAR(pb.kappa_prime[i], pa.kappa_prime[i], 0.5e-6);
        EXPECT_NEAR(pb.valence_population[i], pa.valence_population[i], 0.5e-4);
        for (int l = 0; l <= 4; ++l)
            for (int m = -l; m <= l; ++m)
                EXPECT_NEAR(pb.multipole_population[i](l, m), pa.multipole_population[i](l, m), 0.5e-4)
                    << "P(" << l << "," << m << ")";
    }
    EXPECT_EQ(b.space_group.symmetry_header_line, a.space_group.symmetry_header_line);
    EXPECT_EQ(b.space_group.centring_word, a.space_group.centring_word);
    EXPECT_EQ(b.space_group.lattice_letter, a.space_group.lattice_letter);
    EXPECT_EQ(b.space_group.symmetry_card_count, a.space_group.symmetry_card_count);
    EXPECT_EQ(b.space_group.symmetry_card_text, a.space_group.symmetry_card_text);
}

TEST_F(KdnFileTest, EditorTextWithTwoI10CountsTrimmedLinesAndCrLfReadsBack)
{
    auto model = read_fixture("ethyne.kdn");
    make_loaded(*model, 2);
    std::vector<std::string> records = format_kdn_input_records(*model, KdnCountLayout::fixed_2i10);
    ASSERT_GT(records.size(), 3u);
    EXPECT_EQ(records[2], "         2         2");
    // The editor drops trailing blanks and ends every line with CR LF.
    for (std::string& record : records)
        record.erase(record.find_last_not_of(' ') + 1);

    auto back = std::make_unique<StructureModel>();
    ASSERT_TRUE(read_text(join_lines(records, "\r\n"), *back)) << ui_->answers.message_log();
    EXPECT_EQ(back->atoms.atom_count, 2);
    EXPECT_EQ(back->dummies.dummy_count, 2);
    EXPECT_EQ(back->pseudoatoms.multipole_population[1](4, 4), 0.39);
    EXPECT_EQ(back->space_group.input_title, model->space_group.input_title);
    EXPECT_EQ(back->space_group.symmetry_card_count, 1);
    EXPECT_EQ(card_row(back->space_group, 1, 3), "     Z   ");
}

TEST_F(KdnFileTest, FileCutShortAnywhereIsRefused)
{
    const std::vector<std::string> lines = split_lines(file_text(FIXTURES + "ethyne.kdn"));
    ASSERT_EQ(lines.size(), 29u);
    for (std::size_t kept = 0; kept < lines.size(); ++kept) {
        // Whole records, and the next record cut in the middle.
        std::vector<std::string> head(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kept));
        std::vector<std::string> half = head;
        half.push_back(lines[kept].substr(0, lines[kept].size() / 2));
        for (const std::string& text : {join_lines(head), join_lines(half)}) {
            SCOPED_TRACE("lines kept: " + std::to_string(kept) + "\n" + text);
            ui_->answers.messages.clear();
            auto model = std::make_unique<StructureModel>();
            EXPECT_FALSE(read_text(text, *model));
            expect_one_reading_error("");
        }
    }
}

TEST_F(KdnFileTest, MalformedAndOverSizeRecordsAreRefused)
{
    struct Case {
        const char* name;
        std::size_t line;         // 1-based line of ethyne.kdn replaced
        const char* replacement;
        const char* fragment;     // in the message
    };
    const Case cases[] = {
        {"cell value not a number", 2, "5.2 6.3 five 90 108.5 90", "Line 2, the cell parameters: "},
        {"cell value out of range", 2, "5.2 6.3 1e400 90 108.5 90",
         "Line 2, the cell parameters: value 3 is out of range"},
        {"count not an integer", 3, " 2.5 2", "Line 3, the numbers of atoms and dummy atoms: "},
        {"no atoms", 3, " 0 2", "0 atoms; 1 to 120 can be read"},
        {"over 120 atoms", 3, " 121 2", "121 atoms; 1 to 120 can be read"},
        {"negative dummy count", 3, " 2 -1", "-1 dummy atoms; 0 to 120 can be read"},
        {"over 120 dummy atoms", 3, " 2 121", "121 dummy atoms; 0 to 120 can be read"},
        {"first atom line with 2 numbers", 4, "C1 0.05 0.06", "Line 4, the first atom line: "},
        {"first atom line with 5 numbers", 4, "C1 0.05 0.06 0.07 1.0 9.0", "5 values follow the label"},
        {"coordinate not a number", 5, "H1 0.15 0.l8 0.21 0.5", "Line 5, atom line 2: "},
        {"dummy coordinate not a number", 6, "DUM1 0.5 0.5 0.5   DUM2 x 0.75 0.0", "Line 6, the dummy atoms: "},
        {"l_max above 4", 7, "     5     2     3   Z     1     4   X", "l_max 5 is outside 0 to 4"},
        {"negative l_max", 7, "    -1     2     3   Z     1     4   X", "l_max -1 is outside 0 to 4"},
        {"frame atom past the dummy atoms", 7, "     4     2     5   Z     1     4   X",
         "the frame atoms must be atoms or dummy atoms, 1 to 4"},
        {"frame atom 0", 18, "     1     0    -4   z     0     3   x", "Line 18, the local frame of atom 2 (H1)"},
        {"radial power not an integer", 9, "     2       2.5     2       3       4", "Line 9, the radial powers"},
        {"population not a number", 16, "0.2100 -0.2200 0.2300 -0.2400 0.25OO -0.2600 0.2700",
         "Line 16, the kappas and populations of atom 1 (C1)"},
    };
    const std::vector<std::string> lines = split_lines(file_text(FIXTURES + "ethyne.kdn"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        std::vector<std::string> edited = lines;
        edited.at(c.line - 1) = c.replacement;
        auto model = std::make_unique<StructureModel>();
        EXPECT_FALSE(read_text(join_lines(edited), *model));
        expect_one_reading_error(c.fragment);
    }
}

TEST_F(KdnFileTest, FiftySymmetryCardsAreReadAndTheFiftyFirstIsRefused)
{
    std::vector<std::string> lines = split_lines(file_text(FIXTURES + "free_atom.kdn"));
    lines.pop_back();  // "end"
    const std::string card = std::string("1/2 -X    ") + "    -Y    " + "1/2 +Z   ";
    for (int k = 2; k <= 50; ++k)
        lines.push_back(card);
    auto model = std::make_unique<StructureModel>();
    ASSERT_TRUE(read_text(join_lines(lines) + "END\n", *model)) << ui_->answers.message_log();
    EXPECT_EQ(model->space_group.symmetry_card_count, 50);
    EXPECT_EQ(card_row(model->space_group, 50, 1), "1/2 -X   ");
    EXPECT_EQ(card_row(model->space_group, 50, 3), "1/2 +Z   ");

    lines.push_back(card);
    model = std::make_unique<StructureModel>();
    EXPECT_FALSE(read_text(join_lines(lines) + "END\n", *model));
    expect_one_reading_error("Line 64, symmetry card 51 or the \"END\" card: more than 50 symmetry cards");
}

TEST_F(KdnFileTest, FullTablesOfAtomsAndDummyAtomsAreRead)
{
    auto model = std::make_unique<StructureModel>();
    model->atoms.atom_count = model->atoms.independent_atom_count = MAX_INDEPENDENT_ATOMS;
    model->dummies.dummy_count = MAX_DUMMY_ATOMS;
    for (int i = 1; i <= MAX_INDEPENDENT_ATOMS; ++i) {
        set_text_field(model->atoms.atom_label[i], "C" + std::to_string(i));
        model->atoms.frac_x[i] = i / 1000.0;
        model->pseudoatoms.occupancy[i] = 1.0;
        model->local_axes.frame_axis_letter_1[i] = 'Z';
        model->local_axes.frame_axis_letter_2[i] = 'X';
    }
    for (int d = 1; d <= MAX_DUMMY_ATOMS; ++d) {
        set_text_field(model->dummies.dummy_label[d], "DUM" + std::to_string(d));
        model->dummies.dummy_z[d] = d / 1000.0;
    }
    std::ostringstream out;
    ASSERT_TRUE(write_kdn_input_file(out, *model));

    auto back = std::make_unique<StructureModel>();
    ASSERT_TRUE(read_text(out.str(), *back)) << ui_->answers.message_log();
    EXPECT_EQ(back->atoms.atom_count, MAX_INDEPENDENT_ATOMS);
    EXPECT_EQ(field(back->atoms.atom_label[120]), "C120");
    EXPECT_EQ(back->atoms.frac_x[120], 0.12);
    EXPECT_EQ(back->dummies.dummy_count, MAX_DUMMY_ATOMS);
    EXPECT_EQ(field(back->dummies.dummy_label[120]), "DUM120");
    EXPECT_EQ(back->dummies.dummy_z[120], 0.12);
}

TEST_F(KdnFileTest, LatticeLetterFollowsTheLastSlash)
{
    struct Case {
        const char* centring_line;
        const char* word;
        char letter;
    };
    const Case cases[] = {
        {"CEN                  /P", "CEN", 'P'},
        {"CEN /A  /I", "CEN /A  /I", 'I'},
        {"NON", "NON", ' '},
        {"NON                 /", "NON", ' '},
    };
    std::vector<std::string> lines = split_lines(file_text(FIXTURES + "free_atom.kdn"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.centring_line);
        lines.at(12) = c.centring_line;
        auto model = std::make_unique<StructureModel>();
        ASSERT_TRUE(read_text(join_lines(lines), *model)) << ui_->answers.message_log();
        EXPECT_EQ(field(model->space_group.centring_word), c.word);
        EXPECT_EQ(model->space_group.lattice_letter, c.letter);
    }
}

TEST_F(KdnFileTest, NothingCarriesOverFromAnEarlierRead)
{
    auto model = read_fixture("ethyne.kdn");
    model->space_group.symmetry_card_count = 2;
    set_text_field(model->space_group.symmetry_card_text[2][1][2], " -X");
    ASSERT_TRUE(read_kdn_input_file(FIXTURES + "free_atom.kdn", "free_atom.kdn", *model));

    EXPECT_EQ(model->atoms.atom_count, 1);
    EXPECT_EQ(field(model->atoms.atom_label[2]), "");
    EXPECT_EQ(model->atoms.frac_x[2], 0.0);
    EXPECT_EQ(model->pseudoatoms.occupancy[2], 0.0);
    EXPECT_EQ(model->dummies.dummy_count, 0);
    EXPECT_EQ(field(model->dummies.dummy_label[1]), "");
    EXPECT_EQ(model->pseudoatoms.l_max[2], 0);
    EXPECT_EQ(model->pseudoatoms.radial_n[1][1], 0);
    EXPECT_EQ(model->pseudoatoms.multipole_population[2](1, 1), 0.0);
    EXPECT_EQ(model->local_axes.frame_atom_1[2], 0);
    EXPECT_EQ(field(model->pseudoatoms.electron_configuration[2]), "");
    EXPECT_EQ(model->space_group.symmetry_card_count, 1);
    EXPECT_EQ(card_row(model->space_group, 2, 1), "         ");
}

TEST_F(KdnFileTest, FileThatCannotBeOpenedIsReported)
{
    auto model = std::make_unique<StructureModel>();
    EXPECT_FALSE(read_kdn_input_file(FIXTURES + "no_such_model.kdn", "test.kdn", *model));
    expect_one_reading_error("could not be opened");
}
