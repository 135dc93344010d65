#include "keldana/model/xd_files.h"

#include "common/scripted_ui.h"
#include "keldana/model/element_table.h"
#include "keldana/model/kdn_file.h"
#include "keldana/model/slater_table.h"
#include "keldana/model/text_fields.h"
#include "keldana/model/xd_files_text.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string FIXTURES = std::string(KD_TEST_DATA_DIR) + "/fixtures/xd/";
const std::string DATA_DIR = std::string(KD_SOURCE_DIR) + "/data";
const std::string MASTER_PATH = "/data/ch2o.mas";

std::string field(std::span<const char> text) { return text_field_string(text); }

std::string card_row(const SymmetryCardText& card, int row)
{
    std::string text;
    for (int f = 1; f <= 3; ++f)
        text += std::string(card[static_cast<std::size_t>(row)][static_cast<std::size_t>(f)].data(), 3);
    return text;
}

// How closely two models must agree: exactly, or to the precision the
// program's own file prints.
struct Tolerance {
    double cell = 0, coordinate = 0, zeta = 0, kappa = 0, population = 0;
};
constexpr Tolerance PRINTED{0.5e-4, 0.5e-6, 0.5e-4, 0.5e-6, 0.5e-4};

// Everything a reader fills; populations and radial functions up to l_max,
// as the program's own file keeps them.
void expect_same_model(const StructureModel& a, const StructureModel& b, const Tolerance& tolerance)
{
    EXPECT_EQ(a.space_group.input_title, b.space_group.input_title);
    EXPECT_NEAR(a.cell.cell_a, b.cell.cell_a, tolerance.cell);
    EXPECT_NEAR(a.cell.cell_b, b.cell.cell_b, tolerance.cell);
    EXPECT_NEAR(a.cell.cell_c, b.cell.cell_c, tolerance.cell);
    EXPECT_NEAR(a.cell.cell_alpha, b.cell.cell_alpha, tolerance.cell);
    EXPECT_NEAR(a.cell.cell_beta, b.cell.cell_beta, tolerance.cell);
    EXPECT_NEAR(a.cell.cell_gamma, b.cell.cell_gamma, tolerance.cell);
    EXPECT_EQ(a.space_group.symmetry_header_line, b.space_group.symmetry_header_line);
    EXPECT_EQ(a.space_group.centring_word, b.space_group.centring_word);
    EXPECT_EQ(a.space_group.lattice_letter, b.space_group.lattice_letter);
    ASSERT_EQ(a.space_group.symmetry_card_count, b.space_group.symmetry_card_count);
    EXPECT_EQ(a.space_group.symmetry_card_text, b.space_group.symmetry_card_text);

    ASSERT_EQ(a.dummies.dummy_count, b.dummies.dummy_count);
    for (int d = 1; d <= a.dummies.dummy_count; ++d) {
        SCOPED_TRACE("dummy atom " + std::to_string(d));
        // Labels are words in the program's own file.
        EXPECT_EQ(field(a.dummies.dummy_label[d]).substr(field(a.dummies.dummy_label[d]).find_first_not_of(' ')),
                  field(b.dummies.dummy_label[d]).substr(field(b.dummies.dummy_label[d]).find_first_not_of(' ')));
        EXPECT_NEAR(a.dummies.dummy_x[d], b.dummies.dummy_x[d], tolerance.coordinate);
        EXPECT_NEAR(a.dummies.dummy_y[d], b.dummies.dummy_y[d], tolerance.coordinate);
        EXPECT_NEAR(a.dummies.dummy_z[d], b.dummies.dummy_z[d], tolerance.coordinate);
    }

    ASSERT_EQ(a.atoms.atom_count, b.atoms.atom_count);
    for (int i = 1; i <= a.atoms.atom_count; ++i) {
        SCOPED_TRACE("atom " + std::to_string(i));
        EXPECT_EQ(a.atoms.atom_label[i], b.atoms.atom_label[i]);
        EXPECT_NEAR(a.atoms.frac_x[i], b.atoms.frac_x[i], tolerance.coordinate);
        EXPECT_NEAR(a.atoms.frac_y[i], b.atoms.frac_y[i], tolerance.coordinate);
        EXPECT_NEAR(a.atoms.frac_z[i], b.atoms.frac_z[i], tolerance.coordinate);
        const LocalAxisDefinitions& fa = a.local_axes;
        const LocalAxisDefinitions& fb = b.local_axes;
        EXPECT_EQ(fa.frame_atom_1[i], fb.frame_atom_1[i]);
        EXPECT_EQ(fa.frame_atom_2[i], fb.frame_atom_2[i]);
        EXPECT_EQ(fa.frame_atom_3[i], fb.frame_atom_3[i]);
        EXPECT_EQ(fa.frame_axis_letter_1[i], fb.frame_axis_letter_1[i]);
        EXPECT_EQ(fa.frame_axis_letter_2[i], fb.frame_axis_letter_2[i]);
        const PseudoatomParameters& pa = a.pseudoatoms;
        const PseudoatomParameters& pb = b.pseudoatoms;
        ASSERT_EQ(pa.l_max[i], pb.l_max[i]);
        EXPECT_EQ(pa.core_electron_count[i], pb.core_electron_count[i]);
        EXPECT_EQ(pa.electron_configuration[i], pb.electron_configuration[i]);
        EXPECT_NEAR(pa.occupancy[i], pb.occupancy[i], tolerance.coordinate);
        EXPECT_NEAR(pa.kappa[i], pb.kappa[i], tolerance.kappa);
        EXPECT_NEAR(pa.kappa_prime[i], pb.kappa_prime[i], tolerance.kappa);
        EXPECT_NEAR(pa.valence_population[i], pb.valence_population[i], tolerance.population);
        for (int l = 0; l <= pa.l_max[i]; ++l) {
            EXPECT_EQ(pa.radial_n[i][l], pb.radial_n[i][l]) << "l = " << l;
            EXPECT_NEAR(pa.radial_zeta[i][l], pb.radial_zeta[i][l], tolerance.zeta) << "l = " << l;
            for (int m = -l; m <= l; ++m)
                EXPECT_NEAR(pa.multipole_population[i](l, m), pb.multipole_population[i](l, m), tolerance.population)
                    << "P(" << l << "," << m << ")";
        }
    }
}

// Writes the model in the program's own format, as a load leaves it
// (exponents in 1/Angstrom), and reads it back.
std::unique_ptr<StructureModel> through_kdn_file(const StructureModel& model)
{
    auto loaded = std::make_unique<StructureModel>(model);
    loaded->atoms.independent_atom_count = loaded->atoms.atom_count;
    for (int i = 1; i <= loaded->atoms.atom_count; ++i)
        for (double& zeta : loaded->pseudoatoms.radial_zeta[i])
            zeta /= BOHR_ANGSTROM;
    std::ostringstream out;
    EXPECT_TRUE(write_kdn_input_file(out, *loaded));
    auto back = std::make_unique<StructureModel>();
    std::istringstream in(out.str());
    EXPECT_TRUE(read_kdn_input_file(in, "ch2o.kdn", *back));
    return back;
}

class XdFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(read_element_table_file(DATA_DIR, *types_)); }

    std::unique_ptr<StructureModel> fresh_model() const
    {
        auto model = std::make_unique<StructureModel>();
        model->atom_types = *types_;
        return model;
    }

    // slater: the text of "atoms.szt", or null when it is missing.
    bool read_texts(const std::string& parameter, const std::string& master, const std::string* slater,
                    StructureModel& model, const std::string& title = "ch2o.inp")
    {
        std::istringstream p(parameter), m(master), s(slater ? *slater : "");
        return read_xd_input_streams(p, m, slater ? &s : nullptr, title, MASTER_PATH, model);
    }

    std::unique_ptr<StructureModel> read_fixture(const std::string& parameter, const std::string& master)
    {
        auto model = fresh_model();
        const std::string slater = file_text(FIXTURES + "atoms.szt");
        EXPECT_TRUE(read_texts(file_text(FIXTURES + parameter), file_text(FIXTURES + master), &slater, *model,
                               parameter));
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

    ScopedScriptedUi ui_;
    std::unique_ptr<AtomTypeTable> types_ = std::make_unique<AtomTypeTable>();
};

struct PopulationValue {
    int l, m;
    double value;
};

}  // namespace

TEST_F(XdFilesTest, ReadsTheParameterFileWithAUsageLine)
{
    const auto model = read_fixture("ch2o.inp", "ch2o.mas");
    const StructureModel& s = *model;
    EXPECT_EQ(field(s.space_group.input_title), "CH2O");
    EXPECT_EQ(s.cell.cell_a, 6.5);
    EXPECT_EQ(s.cell.cell_b, 5.9);
    EXPECT_EQ(s.cell.cell_c, 4.1);
    EXPECT_EQ(s.cell.cell_alpha, 90.0);
    EXPECT_EQ(s.cell.cell_beta, 101.5);
    EXPECT_EQ(s.cell.cell_gamma, 90.0);
    EXPECT_EQ(field(s.space_group.symmetry_header_line), "SYMMETRY information");
    EXPECT_EQ(std::string(s.space_group.centring_word.data(), 20), "CENTrosymmetric     ");
    EXPECT_EQ(s.space_group.lattice_letter, 'P');
    ASSERT_EQ(s.space_group.symmetry_card_count, 2);
    EXPECT_EQ(card_row(s.space_group.symmetry_card_text[1], 1), "        X");
    EXPECT_EQ(card_row(s.space_group.symmetry_card_text[1], 2), "        Y");
    EXPECT_EQ(card_row(s.space_group.symmetry_card_text[1], 3), "        Z");
    EXPECT_EQ(card_row(s.space_group.symmetry_card_text[2], 1), "       -X");
    EXPECT_EQ(card_row(s.space_group.symmetry_card_text[2], 2), "1/2    +Y");
    EXPECT_EQ(card_row(s.space_group.symmetry_card_text[2], 3), "1/2    -Z");

    ASSERT_EQ(s.dummies.dummy_count, 1);
    EXPECT_EQ(field(s.dummies.dummy_label[1]), "DUM1");
    EXPECT_EQ(s.dummies.dummy_x[1], 0.25);
    EXPECT_EQ(s.dummies.dummy_y[1], 0.25);
    EXPECT_EQ(s.dummies.dummy_z[1], 0.0);

    const WorkingAtomSet& atoms = s.atoms;
    ASSERT_EQ(atoms.atom_count, 4);
    const char* labels[] = {"", "C(1)", "O(1)", "H(1)", "H(2)"};
    const int z[] = {0, 6, 8, 1, 1};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(field(atoms.atom_label[i]), labels[i]);
        EXPECT_EQ(atoms.atomic_number[i], z[i]);
        EXPECT_EQ(field(s.atom_types.type_symbol[atoms.atom_type_index[i]]), i == 1 ? "C" : i == 2 ? "O" : "H");
        EXPECT_EQ(s.pseudoatoms.occupancy[i], 1.0);
    }
    EXPECT_EQ(atoms.frac_x[2], 0.0567);
    EXPECT_EQ(atoms.frac_y[2], 0.4321);
    EXPECT_EQ(atoms.frac_z[2], 0.2109);

    // Axis codes 1, 2, 3 become X, Y, Z; frame atom 5 is the dummy atom.
    const LocalAxisDefinitions& axes = s.local_axes;
    EXPECT_EQ(axes.frame_axis_letter_1[1], 'X');
    EXPECT_EQ(axes.frame_axis_letter_2[1], 'Y');
    EXPECT_EQ(axes.frame_atom_1[1], 2);
    EXPECT_EQ(axes.frame_atom_2[1], 1);
    EXPECT_EQ(axes.frame_atom_3[1], 3);
    EXPECT_EQ(axes.frame_axis_letter_1[2], 'Z');
    EXPECT_EQ(axes.frame_axis_letter_2[2], 'X');
    EXPECT_EQ(axes.frame_atom_3[2], 5);
    EXPECT_EQ(axes.frame_atom_2[4], 4);

    const PseudoatomParameters& p = s.pseudoatoms;
    EXPECT_EQ(p.l_max[1], 4);
    EXPECT_EQ(p.l_max[3], 1);
    EXPECT_EQ(p.valence_population[1], 4.0812);
    // The file lists the dipoles as P(1,+1), P(1,-1), P(1,0) and the other
    // levels as P(l,0), P(l,+1), P(l,-1), ...
    const PopulationValue carbon[] = {
        {0, 0, 0.0},      {1, 1, 0.0123},   {1, -1, -0.0456}, {1, 0, 0.0789},   {2, 0, 0.1012},
        {2, 1, 0.0011},   {2, -1, -0.0022}, {2, 2, 0.0033},   {2, -2, -0.0044}, {3, 0, 0.2101},
        {3, 1, -0.0102},  {3, -1, 0.0203},  {3, 2, -0.0304},  {3, -2, 0.0405},  {3, 3, -0.0506},
        {3, -3, 0.0607},  {4, 0, 0.0108},   {4, 1, 0.0209},   {4, -1, -0.0310}, {4, 2, 0.0411},
        {4, -2, -0.0512}, {4, 3, 0.0613},   {4, -3, -0.0714}, {4, 4, 0.0815},   {4, -4, -0.0916}};
    for (const PopulationValue& v : carbon)
        EXPECT_EQ(p.multipole_population[1](v.l, v.m), v.value) << "P(" << v.l << "," << v.m << ")";
    // Site divisor 0.5 doubles the populations up to l_max; P(2,0) lies above.
    EXPECT_DOUBLE_EQ(p.valence_population[4], 0.88);
    EXPECT_DOUBLE_EQ(p.multipole_population[4](1, 1), 0.01);
    EXPECT_DOUBLE_EQ(p.multipole_population[4](1, -1), -0.012);
    EXPECT_DOUBLE_EQ(p.multipole_population[4](1, 0), 0.122);
    EXPECT_EQ(p.multipole_population[4](2, 0), 0.01);

    EXPECT_EQ(p.kappa[1], 0.9876);
    EXPECT_EQ(p.kappa_prime[1], 0.9123);
    EXPECT_EQ(p.kappa[2], 0.9812);
    EXPECT_EQ(p.kappa_prime[2], 0.8543);
    EXPECT_EQ(p.kappa[4], 1.16);
    EXPECT_EQ(p.kappa_prime[4], 1.2);
    EXPECT_EQ(field(p.electron_configuration[1]), "[He]2s2 2p2");
    EXPECT_EQ(field(p.electron_configuration[3]), "1s1");

    // SCAT codes: C 1s2 2s-2 2p-2, O 1s2 2s-2 2p-4, H 1s-1; with a USAGE line
    // zeta is twice the valence exponents weighted by electrons.
    EXPECT_EQ(p.core_electron_count[1], 2);
    EXPECT_EQ(p.core_electron_count[2], 2);
    EXPECT_EQ(p.core_electron_count[3], 0);
    EXPECT_EQ(p.radial_n[1], (PerOrder<int>{2, 2, 2, 3, 4}));
    EXPECT_EQ(p.radial_n[2], (PerOrder<int>{2, 2, 2, 3, 4}));
    EXPECT_EQ(p.radial_n[3], (PerOrder<int>{0, 1, 0, 0, 0}));
    for (int l = 0; l <= 4; ++l) {
        EXPECT_NEAR(p.radial_zeta[1][l], 2 * (2 * 1.6083 + 2 * 1.5679) / 4, 1e-12);
        EXPECT_NEAR(p.radial_zeta[2][l], 2 * (2 * 2.2458 + 4 * 2.2266) / 6, 1e-12);
    }
    EXPECT_EQ(p.radial_zeta[3][0], 2.0);
    EXPECT_EQ(p.radial_zeta[3][1], 2.0);
    EXPECT_EQ(p.radial_zeta[3][2], 0.0);
}

TEST_F(XdFilesTest, LayoutWithoutKeywordsGivesTheSameModelWithItsOwnExponents)
{
    const auto with_usage = read_fixture("ch2o.inp", "ch2o.mas");
    const auto without = read_fixture("ch2o.res", "ch2o.mas");
    // Without a USAGE line, O takes the sum of its 2s and 2p exponents.
    for (int l = 0; l <= 4; ++l) {
        EXPECT_NEAR(without->pseudoatoms.radial_zeta[1][l], 1.6083 + 1.5679, 1e-12);
        EXPECT_NEAR(without->pseudoatoms.radial_zeta[2][l], 2.2458 + 2.2266, 1e-12);
        with_usage->pseudoatoms.radial_zeta[2][l] = without->pseudoatoms.radial_zeta[2][l];
    }
    EXPECT_EQ(without->pseudoatoms.radial_n[3], (PerOrder<int>{0, 1, 0, 0, 0}));
    expect_same_model(*with_usage, *without, Tolerance{0, 0, 1e-12, 0, 0});
}

TEST_F(XdFilesTest, RdsdLinesGiveTheRadialFunctionsWithoutTheSlaterTable)
{
    // The table has hydrogen only: C and O must come from their RDSD lines.
    auto model = fresh_model();
    const std::string hydrogen_only = split_lines(file_text(FIXTURES + "atoms.szt"))[3] + "\n";
    ASSERT_TRUE(read_texts(file_text(FIXTURES + "ch2o.inp"), file_text(FIXTURES + "ch2o_rdsd.mas"), &hydrogen_only,
                           *model))
        << ui_->answers.message_log();
    EXPECT_EQ(ui_->answers.message_log(), "");
    const PseudoatomParameters& p = model->pseudoatoms;
    EXPECT_EQ(p.radial_n[1], (PerOrder<int>{2, 2, 2, 3, 4}));
    EXPECT_EQ(p.radial_zeta[1], (PerOrder<double>{3.0, 3.1, 3.2, 3.3, 3.4}));
    EXPECT_EQ(p.radial_zeta[2], (PerOrder<double>{4.5, 4.5, 4.5, 4.5, 4.5}));
    EXPECT_EQ(p.radial_zeta[4][1], 2.0);
    EXPECT_EQ(p.core_electron_count[2], 2);

    // The matrix notation gives the card of "-X, 1/2+Y, 1/2-Z".
    const auto fractions = read_fixture("ch2o.inp", "ch2o.mas");
    EXPECT_EQ(model->space_group.symmetry_card_text, fractions->space_group.symmetry_card_text);
}

TEST_F(XdFilesTest, EveryFormEqualsItsModelWrittenAndReadBackInTheProgramsOwnFile)
{
    const std::pair<const char*, const char*> files[] = {
        {"ch2o.inp", "ch2o.mas"}, {"ch2o.res", "ch2o.mas"}, {"ch2o.inp", "ch2o_rdsd.mas"}};
    for (const auto& [parameter, master] : files) {
        SCOPED_TRACE(std::string(parameter) + " with " + master);
        auto model = fresh_model();
        const std::string slater = file_text(FIXTURES + "atoms.szt");
        ASSERT_TRUE(read_texts(file_text(FIXTURES + parameter), file_text(FIXTURES + master), &slater, *model))
            << ui_->answers.message_log();
        const auto back = through_kdn_file(*model);
        expect_same_model(*model, *back, PRINTED);
        EXPECT_EQ(ui_->answers.message_log(), "");
    }
}

TEST_F(XdFilesTest, FilesCutShortAtAnyRecordAreRefusedWithAMessage)
{
    const std::string slater = file_text(FIXTURES + "atoms.szt");
    const std::pair<const char*, const char*> files[] = {
        {"ch2o.inp", "ch2o.mas"}, {"ch2o.res", "ch2o.mas"}, {"ch2o.inp", "ch2o_rdsd.mas"}};
    for (const auto& [parameter_name, master_name] : files) {
        const std::string parameter = file_text(FIXTURES + parameter_name);
        const std::string master = file_text(FIXTURES + master_name);
        for (int cut_master = 0; cut_master <= 1; ++cut_master) {
            const std::vector<std::string> lines = split_lines(cut_master ? master : parameter);
            for (std::size_t kept = 0; kept < lines.size(); ++kept) {
                SCOPED_TRACE(std::string(cut_master ? master_name : parameter_name) + " cut after line "
                             + std::to_string(kept));
                ui_->answers.messages.clear();
                const std::string head = join_lines({lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kept)});
                auto model = fresh_model();
                EXPECT_FALSE(read_texts(cut_master ? parameter : head, cut_master ? head : master, &slater, *model,
                                        parameter_name));
                expect_one_message("Reading error", cut_master ? "Please, check input file format - /data/ch2o.mas\n"
                                                               : "Please, check input file format - ch2o.");
            }
        }
    }
}

// A file cut inside its last record: a number there may be cut too (a kappa
// of 1.2 read as 1.), so the record without its line end is refused.
TEST_F(XdFilesTest, FilesCutInsideTheirLastRecordAreRefusedNamingTheLine)
{
    const std::string slater = file_text(FIXTURES + "atoms.szt");
    const std::string parameter = file_text(FIXTURES + "ch2o.inp");
    const std::string master = file_text(FIXTURES + "ch2o.mas");
    for (int cut_master = 0; cut_master <= 1; ++cut_master) {
        const std::string& whole = cut_master ? master : parameter;
        ASSERT_EQ(whole.back(), '\n');
        const std::size_t last = whole.rfind('\n', whole.size() - 2) + 1;
        const std::string line = std::to_string(split_lines(whole).size());
        for (std::size_t end = last + 1; end < whole.size(); ++end) {
            SCOPED_TRACE((cut_master ? "ch2o.mas cut at " : "ch2o.inp cut at ") + std::to_string(end));
            ui_->answers.messages.clear();
            const std::string head = whole.substr(0, end);
            auto model = fresh_model();
            EXPECT_FALSE(read_texts(cut_master ? parameter : head, cut_master ? head : master, &slater, *model));
            ASSERT_EQ(ui_->answers.messages.size(), 1u);
            std::string text = ui_->answers.messages[0].text;
            std::transform(text.begin(), text.end(), text.begin(), ::tolower);
            EXPECT_NE(text.find("line " + line), std::string::npos) << text;
        }
    }
}

TEST_F(XdFilesTest, MalformedRecordsAreRefusedNamingTheLine)
{
    struct Case {
        const char* name;
        bool master;
        std::size_t line;  // 1-based line of ch2o.inp or ch2o.mas replaced
        const char* replacement;
        const char* fragment;
    };
    const Case cases[] = {
        {"title missing", true, 4, "TITLE", "Line 4, the TITL line: fewer values than expected"},
        {"cell value not a number", true, 5, "CELL     6.5000   5.9000   four   90.000  101.500   90.000",
         "Line 5, the CELL line: "},
        {"lattice letters missing", true, 8, "LATT", "Line 8, the LATT line"},
        {"translation without a card field", true, 10, "SYMM  0.3-X, 0.5+Y, 0.5-Z",
         "Line 10, the SYMM line: the translation 0.3 of row 1 is none of 0, 1/2"},
        {"three terms in a row", true, 10, "SYMM  X-Y+Z, Y, Z", "cannot be written on a symmetry card"},
        {"row missing", true, 10, "SYMM  -X, 1/2+Y", "row 3 is missing"},
        {"orbital code not an integer", true, 18,
         "C    CHFW CHFW CSZD    2  -2.5 0   0  -2   0   0   0   0   0   0   0   0   0   0   0   0   0",
         "Line 18, scattering type C: the 18 orbital codes do not read"},
        {"too few orbital codes", true, 18, "C    CHFW CHFW CSZD    2  -2   0   0  -2",
         "the 18 orbital codes do not read (fewer values than expected)"},
        {"orbital code beyond a shell", true, 18,
         "C    CHFW CHFW CSZD    2  -2147483648   0   0  -2   0   0   0   0   0   0   0   0   0   0   0   0   0",
         "Line 18, scattering type C: orbital code -2147483648 is outside -14 to 14"},
        {"eighteenth orbital occupied", true, 18,
         "C    CHFW CHFW CSZD    2  -2   0   0  -2   0   0   0   0   0   0   0   0   0   0   0   0   1",
         "only the first 17 orbital columns can be occupied"},
        {"dummy coordinate not a number", true, 28, "DUM1      0.2500  x.2500  0.0000", "Line 28, dummy atom 1: "},
        {"over 120 atoms", false, 7, "USAGE   121  2  4  3  1  0  0  0  3  0  0  0  0  1",
         "121 atoms; 1 to 120 can be read"},
        {"populations above l = 4", false, 7, "USAGE     4  2  5  3  1  0  0  0  3  0  0  0  0  1",
         "populations up to l = 5; 0 to 4 can be read"},
        {"usage value not a number", false, 7, "USAGE     4  2  4.5  3  1  0  0  0  3  0  0  0  0  1",
         "Line 7, the USAGE line: "},
        {"axis code 4", false, 11,
         "C(1)      4  2    2    1    3      2    1    1    4    0    0  0.12340  0.23450  0.34560  1.0000",
         "Line 11, the record of atom 1 (C(1)): the axis codes must be 1 (x), 2 (y) or 3 (z)"},
        {"l_max above 4", false, 11,
         "C(1)      1  2    2    1    3      2    1    1    5    0    0  0.12340  0.23450  0.34560  1.0000",
         "l_max 5 is outside 0 to 4"},
        {"frame atom past the dummy atom", false, 11,
         "C(1)      1  2    6    1    3      2    1    1    4    0    0  0.12340  0.23450  0.34560  1.0000",
         "the frame atoms must be atoms or dummy atoms, 1 to 5"},
        {"kappa set 0", false, 11,
         "C(1)      1  2    2    1    3      2    1    0    4    0    0  0.12340  0.23450  0.34560  1.0000",
         "kappa set 0 is outside 1 to 250"},
        {"kappa set 251", false, 11,
         "C(1)      1  2    2    1    3      2    1  251    4    0    0  0.12340  0.23450  0.34560  1.0000",
         "kappa set 251 is outside 1 to 250"},
        {"site divisor 0", false, 11,
         "C(1)      1  2    2    1    3      2    1    1    4    0    0  0.12340  0.23450  0.34560  0.0000",
         "the site divisor is 0"},
        // Frame atoms at the ends of the integers once overflowed in std::abs.
        {"first frame atom -2147483648", false, 11,
         "C(1)      1  2 -2147483648    1    3      2    1    1    4    0    0  0.12340  0.23450  0.34560  1.0000",
         "the frame atoms must be atoms or dummy atoms, 1 to 5"},
        {"third frame atom 2147483647", false, 11,
         "C(1)      1  2    2    1 2147483647      2    1    1    4    0    0  0.12340  0.23450  0.34560  1.0000",
         "the frame atoms must be atoms or dummy atoms, 1 to 5"},
        {"site divisor 1E-300", false, 11,
         "C(1)      1  2    2    1    3      2    1    1    4    0    0  0.12340  0.23450  0.34560  1.0E-300",
         "the site divisor is 0 or out of range"},
        {"coordinate out of range", false, 11,
         "C(1)      1  2    2    1    3      2    1    1    4    0    0  0.12340  1.2e400  0.34560  1.0000",
         "value 14 is out of range"},
        {"population not a number", false, 14,
         "  0.2101 -0.0102  0.0203 -0.0304  0.04O5 -0.0506  0.0607  0.0108  0.0209 -0.0310",
         "Line 14, the populations of atom 1 (C(1)): "},
        {"kappa not a number", false, 32, "  2  0.98l200  0.854300", "Line 32, kappa set 2: "},
    };
    const std::vector<std::string> parameter = split_lines(file_text(FIXTURES + "ch2o.inp"));
    const std::vector<std::string> master = split_lines(file_text(FIXTURES + "ch2o.mas"));
    const std::string slater = file_text(FIXTURES + "atoms.szt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        std::vector<std::string> edited = c.master ? master : parameter;
        edited.at(c.line - 1) = c.replacement;
        auto model = fresh_model();
        EXPECT_FALSE(read_texts(c.master ? join_lines(parameter) : join_lines(edited),
                                c.master ? join_lines(edited) : join_lines(master), &slater, *model));
        expect_one_message("Reading error", c.fragment);
    }
}

TEST_F(XdFilesTest, AnElementMissingFromTheElementTableStopsAtThatAtom)
{
    std::vector<std::string> parameter = split_lines(file_text(FIXTURES + "ch2o.inp"));
    parameter[20].replace(0, 4, "Xx1 ");
    const std::string slater = file_text(FIXTURES + "atoms.szt");
    auto model = fresh_model();
    EXPECT_FALSE(read_texts(join_lines(parameter), file_text(FIXTURES + "ch2o.mas"), &slater, *model));
    expect_one_message("Error!", "No atomic number for atom type Xx  ");
    EXPECT_EQ(ui_->answers.messages.front().text, "No atomic number for atom type Xx  ");
}

TEST_F(XdFilesTest, AtomsWhoseRadialFunctionsCannotBeSetAreRefused)
{
    const std::string parameter = file_text(FIXTURES + "ch2o.inp");
    const std::string master = file_text(FIXTURES + "ch2o.mas");
    const std::vector<std::string> slater_lines = split_lines(file_text(FIXTURES + "atoms.szt"));
    std::vector<std::string> without_oxygen = slater_lines;
    without_oxygen.pop_back();
    std::vector<std::string> unreadable_oxygen = slater_lines;
    unreadable_oxygen.back() = "O       7.6579    2.24x8    0.0000";
    std::vector<std::string> carbon_without_valence = slater_lines;
    carbon_without_valence[4] = "C       5.6727    0.0000    0.0000    0.0000    0.0000    0.0 0 0 0 0 0 0";

    struct Case {
        const char* name;
        std::string slater;
        const char* text;
    };
    const Case cases[] = {
        {"element not in the table", join_lines(without_oxygen), "Atom O    is not found in <atoms.szt>"},
        {"entry that does not read", join_lines(unreadable_oxygen), "Error in reading <atoms.szt> element O   "},
        {"exponents of zero", join_lines(carbon_without_valence),
         "The radial functions of atom 1 (C(1)) cannot be set: the exponent zeta(0) of type C is not positive."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        auto model = fresh_model();
        EXPECT_FALSE(read_texts(parameter, master, &c.slater, *model));
        expect_one_message("Error", c.text);
        EXPECT_EQ(ui_->answers.messages.front().text, c.text);
    }

    // No scattering type for hydrogen.
    ui_->answers.messages.clear();
    std::vector<std::string> no_hydrogen = split_lines(master);
    no_hydrogen.erase(no_hydrogen.begin() + 19);
    auto model = fresh_model();
    const std::string slater = join_lines(slater_lines);
    EXPECT_FALSE(read_texts(parameter, join_lines(no_hydrogen), &slater, *model));
    expect_one_message("Error", "The radial functions of atom 3 (H(1)) cannot be set: the SCAT table of "
                                "/data/ch2o.mas has no type H.");
}

TEST_F(XdFilesTest, WithoutTheSlaterTableOnlyTypesWithRdsdLinesCanBeRead)
{
    const std::string warning =
        "File <Atoms.szt> not found! Please, check and input correct values Zeta and N for all atoms! ";
    const std::string parameter = file_text(FIXTURES + "ch2o.inp");
    auto model = fresh_model();
    EXPECT_FALSE(read_texts(parameter, file_text(FIXTURES + "ch2o_rdsd.mas"), nullptr, *model));
    ASSERT_EQ(ui_->answers.messages.size(), 2u) << ui_->answers.message_log();
    EXPECT_EQ(ui_->answers.messages[0].caption, " Warning!");
    EXPECT_EQ(ui_->answers.messages[0].text, warning);
    EXPECT_EQ(ui_->answers.messages[1].caption, "Error");
    EXPECT_EQ(ui_->answers.messages[1].text,
              "The radial functions of atom 3 (H(1)) cannot be set: <atoms.szt> was not found and the SCAT table "
              "gives no RDSD line for type H.");

    // With an RDSD line for hydrogen too, the warning is all.
    ui_->answers.messages.clear();
    std::vector<std::string> all_rdsd = split_lines(file_text(FIXTURES + "ch2o_rdsd.mas"));
    all_rdsd[21].replace(15, 4, "RDSD");
    all_rdsd.insert(all_rdsd.begin() + 22, "   1  2.2000   1  2.2000   2  2.2000   3  2.2000   4  2.2000");
    model = fresh_model();
    ASSERT_TRUE(read_texts(parameter, join_lines(all_rdsd), nullptr, *model));
    ASSERT_EQ(ui_->answers.messages.size(), 1u) << ui_->answers.message_log();
    EXPECT_EQ(ui_->answers.messages[0].text, warning);
    EXPECT_EQ(model->pseudoatoms.radial_n[3], (PerOrder<int>{1, 1, 0, 0, 0}));
    EXPECT_EQ(model->pseudoatoms.radial_zeta[3][1], 2.2);
}

TEST_F(XdFilesTest, TablesAreFilledToTheirCapacitiesAndRefusedBeyond)
{
    const std::string parameter = file_text(FIXTURES + "ch2o.inp");
    const std::string slater = file_text(FIXTURES + "atoms.szt");
    const std::vector<std::string> master = split_lines(file_text(FIXTURES + "ch2o.mas"));
    auto read_master = [&](const std::vector<std::string>& lines) {
        ui_->answers.messages.clear();
        auto model = fresh_model();
        const bool ok = read_texts(parameter, join_lines(lines), &slater, *model);
        return std::make_pair(ok, std::move(model));
    };

    // Symmetry cards: x, y, z and 49 SYMM lines fill the 50 cards.
    std::vector<std::string> cards = master;
    cards.insert(cards.begin() + 10, 48, "SYM   1/2-X, -Y, 1/2+Z");
    auto [ok, model] = read_master(cards);
    ASSERT_TRUE(ok) << ui_->answers.message_log();
    EXPECT_EQ(model->space_group.symmetry_card_count, 50);
    EXPECT_EQ(card_row(model->space_group.symmetry_card_text[50], 3), "1/2    +Z");
    cards.insert(cards.begin() + 10, "SYMM  X, Y, Z");
    EXPECT_FALSE(read_master(cards).first);
    expect_one_message("Reading error", "Line 59, a SYMM line: more than 50 symmetry cards");

    // 120 scattering types (those past H not used), then one more.
    std::vector<std::string> types = master;
    const std::string neon =
        "NE   CHFW CHFW CSZD    2  -2   0   0  -6   0   0   0   0   0   0   0   0   0   0   0   0   0";
    types.insert(types.begin() + 20, 117, neon);
    std::tie(ok, model) = read_master(types);
    EXPECT_TRUE(ok) << ui_->answers.message_log();
    types.insert(types.begin() + 20, neon);
    EXPECT_FALSE(read_master(types).first);
    expect_one_message("Reading error", "Line 138, the SCAT table: more than 120 scattering types");

    // 120 dummy atoms, then one more.
    std::vector<std::string> dummies = master;
    dummies.insert(dummies.begin() + 28, 119, "DUM2      0.7500  0.2500  0.5000");
    std::tie(ok, model) = read_master(dummies);
    ASSERT_TRUE(ok) << ui_->answers.message_log();
    EXPECT_EQ(model->dummies.dummy_count, 120);
    EXPECT_EQ(model->dummies.dummy_z[120], 0.5);
    dummies.insert(dummies.begin() + 28, "DUM2      0.7500  0.2500  0.5000");
    EXPECT_FALSE(read_master(dummies).first);
    expect_one_message("Reading error", "Line 148, the dummy atoms: more than 120 dummy atoms");
}

TEST_F(XdFilesTest, ATableOfOneHundredAndTwentyAtomsIsRead)
{
    std::vector<std::string> parameter = split_lines(file_text(FIXTURES + "ch2o.inp"));
    parameter[6] = "USAGE   120  2  4  3  1  0  0  0  3  0  0  0  0  1";
    // Atoms 5..120: copies of H(2) with its frame.
    const std::vector<std::string> hydrogen(parameter.begin() + 25, parameter.begin() + 30);
    parameter.insert(parameter.begin() + 30, 116 * 5, "");
    for (int k = 0; k < 116; ++k)
        std::copy(hydrogen.begin(), hydrogen.end(), parameter.begin() + 30 + 5 * k);
    const std::string slater = file_text(FIXTURES + "atoms.szt");
    auto model = fresh_model();
    ASSERT_TRUE(read_texts(join_lines(parameter), file_text(FIXTURES + "ch2o.mas"), &slater, *model))
        << ui_->answers.message_log();
    EXPECT_EQ(model->atoms.atom_count, 120);
    EXPECT_EQ(field(model->atoms.atom_label[120]), "H(2)");
    EXPECT_DOUBLE_EQ(model->pseudoatoms.valence_population[120], 0.88);
    EXPECT_EQ(model->pseudoatoms.kappa[120], 1.16);
}

TEST(XdSymmetryLines, NotationsBecomeCardFields)
{
    struct Case {
        const char* text;
        SymmetryMatrixLayout layout;
        const char* rows[3];
    };
    const auto by_rows = SymmetryMatrixLayout::by_rows;
    const auto by_columns = SymmetryMatrixLayout::translations_then_columns;
    const Case cases[] = {
        {"-X, 1/2+Y, 1/2-Z", by_rows, {"       -X", "1/2    +Y", "1/2    -Z"}},
        {"0.5-X, Y, 0.5-Z", by_rows, {"1/2    -X", "        Y", "1/2    -Z"}},
        {"0.25+x 0.75+y z", by_rows, {"1/4    +X", "3/4    +Y", "        Z"}},
        {"X-Y,X,Z", by_rows, {"     X -Y", "        X", "        Z"}},
        {"-X+Y, -X, 2/3+Z", by_rows, {"    -X +Y", "       -X", "2/3    +Z"}},
        {"X ,Y ,Z", by_rows, {"        X", "        Y", "        Z"}},
        {"1/3+X-Y, Y, -Z", by_rows, {"1/3 +X -Y", "        Y", "       -Z"}},
        // Matrix rows: translation, then the row of the rotation; both terms of X-Y are kept.
        {"0.0 1.0 -1.0 0.0  0.0 1.0 0.0 0.0  0.3333 0.0 0.0 1.0", by_rows, {"    +X -Y", "       +X", "1/3    +Z"}},
        // Translations first, then the rotation column by column.
        {"0.5 0.0 0.5  -1.0 0.0 0.0  0.0 1.0 0.0  0.0 0.0 -1.0", by_columns, {"1/2    -X", "       +Y", "1/2    -Z"}},
        {"0.1667 0.8333 0.0  0.0 1.0 0.0  -1.0 0.0 0.0  0.0 0.0 1.0", by_columns, {"1/6    -Y", "5/6    +X", "       +Z"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SymmetryCardText card{};
        std::string reason;
        ASSERT_TRUE(convert_symmetry_operator_text(c.text, c.layout, card, reason)) << reason;
        for (int r = 1; r <= 3; ++r)
            EXPECT_EQ(card_row(card, r), c.rows[r - 1]) << "row " << r;
    }
}

TEST(XdSymmetryLines, RowsThatNoCardHoldsAreRefused)
{
    const std::pair<const char*, const char*> cases[] = {
        {"0.3-X, Y, Z", "the translation 0.3 of row 1 is none of 0, 1/2, 1/3, 2/3, 1/4, 3/4, 1/6, 5/6"},
        {"X, Y", "row 3 is missing"},
        {"X-Y+Z, Y, Z", "row 1: the term \"X-Y+Z\" cannot be written on a symmetry card"},
        {"1/2, Y, Z", "row 1: the term \"1/2\" has no variable"},
        {"0.5, Y, Z", "row 1 has no variable term"},
        {"0.5 0.0 0.0 0.0  0.0 0.0 1.0 0.0  0.0 0.0 0.0 1.0", "row 1: the term \"1/2\" has no variable"},
        {"0.0 0.0 0.0 0.0  0.0 0.0 1.0 0.0  0.0 0.0 0.0 1.0", "row 1: a row has no term"},
        {"0.0 1.0 1.0 1.0  0.0 0.0 1.0 0.0  0.0 0.0 0.0 1.0", "cannot be written on a symmetry card"},
        {"0.0 1.0 0.0 0.0  0.0 0.0 1.0 0.0  0.125 0.0 0.0 1.0", "the translation 0.125000 of row 3"},
        {"0.0 1.0 0.0 0.0  0.0 0.0 1.0 0.0  0.0 0.0 0.0", "the twelve numbers of the matrix notation do not read"},
    };
    for (const auto& [text, fragment] : cases) {
        SCOPED_TRACE(text);
        SymmetryCardText card{};
        std::string reason;
        EXPECT_FALSE(convert_symmetry_operator_text(text, SymmetryMatrixLayout::by_rows, card, reason));
        EXPECT_NE(reason.find(fragment), std::string::npos) << reason;
    }
}

TEST(XdMasterFilePath, ReplacesTheExtensionOfTheFileName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"D:/data/mod.res", "D:/data/mod.mas"},
        {"mod.inp", "mod.mas"},
        {"/work/x.y.res", "/work/x.y.mas"},
        {"/data.v1/model", "/data.v1/model.mas"},
        {"C:\\data.v1\\model", "C:\\data.v1\\model.mas"},
        {"model", "model.mas"},
    };
    for (const auto& [path, master] : cases)
        EXPECT_EQ(xd_master_file_path(path), master) << path;
}

TEST_F(XdFilesTest, FilesAreOpenedByPathWithTheSlaterTableOfTheStartUpDirectory)
{
    auto model = fresh_model();
    ASSERT_TRUE(read_xd_input_files(FIXTURES + "ch2o.res", "ch2o.res", FIXTURES, *model))
        << ui_->answers.message_log();
    EXPECT_EQ(model->atoms.atom_count, 4);
    EXPECT_NEAR(model->pseudoatoms.radial_zeta[2][0], 4.4724, 1e-12);

    // A parameter file without its master file beside it.
    const std::string molly = std::string(KD_TEST_DATA_DIR) + "/fixtures/molly/";
    model = fresh_model();
    EXPECT_FALSE(read_xd_input_files(molly + "ch2o.par", "ch2o.par", FIXTURES, *model));
    const std::string master = molly + "ch2o.mas";
    expect_one_message("Error", "No found file - " + master.substr(0, 44));

    ui_->answers.messages.clear();
    EXPECT_FALSE(read_xd_input_files(FIXTURES + "none.inp", "none.inp", FIXTURES, *model));
    expect_one_message("Error", "No found file - ");
}

TEST(SlaterTable, EntriesAreFoundByTheirFirstLine)
{
    std::istringstream text(
        "! comment naming C\n"
        " C      9.0000 (a line starting with a blank is ignored)\n"
        "\n"
        "C       5.6727    1.6083    0.0000    0.0000    1.5679    0.0000    0.0000    0.0000    0.0000    0.0000"
        "    0.0000    0.0000\n"
        "C       1.0  1.0  1.0  1.0  1.0  1.0  1.0  1.0  1.0  1.0  1.0  1.0\n"
        "Cl     16.5239    5.7152    2.3561    0.0000    6.4966    2.0387    0.0000    0.0000    0.0000    0.0000"
        "    0.0000    0.0000\n"
        "N       6.6651    1.9237\n"
        "O       7.6579    2.2458 0 0 2.2266 0 0 0 0 0 0 zero\n");
    std::vector<std::string> lines;
    ASSERT_TRUE(read_slater_table_lines(text, lines));
    SlaterExponents v{};
    ASSERT_EQ(find_slater_table_entry(lines, slater_table_symbol(FixedText<4>{'C', ' ', ' ', ' '}), v),
              SlaterEntryStatus::found);
    EXPECT_EQ(v[1], 5.6727);
    EXPECT_EQ(v[5], 1.5679);
    ASSERT_EQ(find_slater_table_entry(lines, slater_table_symbol(FixedText<4>{'C', 'L', ' ', ' '}), v),
              SlaterEntryStatus::found);
    EXPECT_EQ(v[6], 2.0387);
    EXPECT_EQ(find_slater_table_entry(lines, FixedText<4>{'N', ' ', ' ', ' '}, v), SlaterEntryStatus::unreadable);
    EXPECT_EQ(find_slater_table_entry(lines, FixedText<4>{'O', ' ', ' ', ' '}, v), SlaterEntryStatus::unreadable);
    EXPECT_EQ(find_slater_table_entry(lines, FixedText<4>{'F', ' ', ' ', ' '}, v), SlaterEntryStatus::missing);
}

TEST(SlaterTable, RadialFunctionsAreDerivedInBothForms)
{
    // Exponents (1/bohr) of Clementi & Raimondi (1963) for
    // 1s 2s 3s 4s 2p 3p 4p 3d 4d 4f 5s 5p.
    const SlaterExponents h{0, 1.0};
    const SlaterExponents he{0, 1.6875};
    const SlaterExponents c{0, 5.6727, 1.6083, 0, 0, 1.5679};
    const SlaterExponents f{0, 8.6501, 2.5638, 0, 0, 2.5500};
    const SlaterExponents na{0, 10.6259, 3.2857, 0.8358, 0, 3.4009};
    const SlaterExponents si{0, 13.5745, 4.5100, 1.6344, 0, 4.9725, 1.4284};
    const SlaterExponents cl{0, 16.5239, 5.7152, 2.3561, 0, 6.4966, 2.0387};
    const SlaterExponents mg{0, 11.6089, 3.6960, 1.1025, 0, 3.9129};
    const SlaterExponents fe{0, 25.3810, 9.2995, 4.5587, 1.3585, 11.0444, 4.2593, 0, 3.7266};
    SlaterOrbitalNames names = filled_array<FixedText<2>, SLATER_ORBITAL_COUNT + 1>(blank_text<2>());
    const char* written[] = {"", "1S", "2S", "3S", "4S", "2P", "3P", "4P", "3D", "4D", "4F", "5S", "5P"};
    for (int k = 1; k <= SLATER_ORBITAL_COUNT; ++k)
        set_text_field(names[static_cast<std::size_t>(k)], written[k]);

    struct Case {
        const char* name;
        int form;
        SlaterOrbitalCodes codes;
        const SlaterExponents* v;
        int z;
        PerOrder<int> n;
        double zeta;
    };
    const Case cases[] = {
        // Without USAGE: the outermost occupied s shell and its p partner.
        {"H", 1, {0, -1}, &h, 1, {0, 1, 2, 3, 4}, 2.0},
        {"C", 1, {0, 2, -2, 0, 0, -2}, &c, 6, {2, 2, 2, 3, 4}, 1.6083 + 1.5679},
        {"Na", 1, {0, 2, 2, -1, 0, 6}, &na, 11, {4, 4, 4, 4, 4}, 2 * 0.8358},
        {"Si", 1, {0, 2, 2, -2, 0, 6, -2}, &si, 14, {4, 4, 4, 4, 4}, 1.6344 + 1.4284},
        {"Fe", 1, {0, 2, 2, 2, -2, 6, 6, 0, -6}, &fe, 26, {4, 4, 4, 4, 4}, 2 * 1.3585},
        {"no s shell", 1, {0, 0, 0, 0, 0, 0, 0, 0, -6}, &fe, 26, {4, 4, 4, 4, 4}, 2 * 3.7266},
        // With USAGE: valence exponents weighted by electrons.
        {"H", 2, {0, -1}, &h, 1, {0, 1, 2, 3, 4}, 2.0},
        {"C", 2, {0, 2, -2, 0, 0, -2}, &c, 6, {2, 2, 2, 3, 4}, 2 * (2 * 1.6083 + 2 * 1.5679) / 4},
        {"Fe", 2, {0, 2, 2, 2, -2, 6, 6, 0, -6}, &fe, 26, {5, 5, 5, 5, 5}, 2 * (2 * 1.3585 + 6 * 3.7266) / 8},
        // Closed shells: by electron total and atomic number.
        {"He", 2, {0, 2}, &he, 2, {0, 1, 2, 3, 4}, 2 * 1.6875},
        {"F-", 2, {0, 2, 2, 0, 0, 6}, &f, 9, {2, 2, 2, 3, 4}, 2 * (2 * 2.5638 + 6 * 2.5500) / 8},
        {"Na+", 2, {0, 2, 2, 0, 0, 6}, &na, 11, {4, 4, 4, 4, 4}, 2 * 0.8358},
        {"Cl-", 2, {0, 2, 2, 2, 0, 6, 6}, &cl, 17, {4, 4, 4, 4, 4}, 2 * (2 * 2.3561 + 6 * 2.0387) / 8},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.name) + ", form " + std::to_string(k.form));
        SlaterRadialFunctions radial;
        std::string reason;
        if (k.form == 1)
            derive_slater_radial_functions_form_1(k.codes, *k.v, radial);
        else
            ASSERT_TRUE(derive_slater_radial_functions_form_2(k.codes, names, *k.v, k.z, radial, reason)) << reason;
        EXPECT_EQ(radial.n, k.n);
        for (double zeta : radial.zeta)
            EXPECT_NEAR(zeta, k.zeta, 1e-12);
    }

    // Twelve electrons, all in the core, is no closed shell of the table.
    SlaterRadialFunctions radial;
    std::string reason;
    EXPECT_FALSE(derive_slater_radial_functions_form_2({0, 2, 2, 2, 0, 6}, names, mg, 12, radial, reason));
    EXPECT_NE(reason.find("closed-shell type with 12 electrons"), std::string::npos) << reason;
}
