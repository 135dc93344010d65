#include "keldana/model/element_table.h"

#include "common/scripted_ui.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "keldana/model/wavefunction_bank.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string DATA_DIRECTORY = std::string(KD_SOURCE_DIR) + "/data";

std::string symbol_of(const AtomTypeTable& types, int t) { return text_field_string(types.type_symbol[t]); }

int type_named(const AtomTypeTable& types, const std::string& symbol)
{
    for (int t = 1; t <= MAX_ATOM_TYPES; ++t)
        if (symbol_of(types, t) == symbol)
            return t;
    return 0;
}

// A type table filled from the shipped "atoms.axp".
std::unique_ptr<AtomTypeTable> shipped_types()
{
    auto types = std::make_unique<AtomTypeTable>();
    EXPECT_TRUE(read_element_table_file(DATA_DIRECTORY, *types));
    return types;
}

std::unique_ptr<AtomTypeTable> types_from(const std::string& text)
{
    auto types = std::make_unique<AtomTypeTable>();
    std::istringstream input(text);
    EXPECT_TRUE(read_element_table_stream(input, "test.axp", *types));
    return types;
}

// Element lines in the table's columns (I3,4X,A4,I3,F10.4,2F7.2,2X,I8,2X,A50).
const std::string HYDROGEN_LINE = "  1    H     1    1.0080   1.20   0.37  16777215  1s1";
const std::string OXYGEN_LINE = "  2    O     8   15.9990   1.55   0.73  16715021  [He]2s2 2p4";

FixedText<8> label(const std::string& text)
{
    FixedText<8> field = blank_text<8>();
    set_text_field(field, text);
    return field;
}

}  // namespace

TEST(ElementTable, ShippedRowsReadBackWithTheirNumbers)
{
    const auto types = shipped_types();
    struct Row {
        std::string symbol;
        int atomic_number;
        double mass, radius, covalent_radius;
        int colour;
        std::string configuration;
    };
    const std::vector<Row> rows = {
        {"C", 6, 12.0110, 1.70, 0.77, 8421504, "[He]2s2 2p2"},
        {"O", 8, 15.9990, 1.55, 0.73, 16715021, "[He]2s2 2p4"},
        {"Fe3+", 26, 55.8450, 2.05, 1.25, 8420039, "[Ar]3d5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.symbol);
        const int t = type_named(*types, row.symbol);
        ASSERT_NE(t, 0);
        EXPECT_EQ(types->type_atomic_number[t], row.atomic_number);
        EXPECT_DOUBLE_EQ(types->type_mass[t], row.mass);
        EXPECT_DOUBLE_EQ(types->type_radius[t], row.radius);
        EXPECT_DOUBLE_EQ(types->type_covalent_radius[t], row.covalent_radius);
        EXPECT_EQ(types->type_colour[t], row.colour);
        EXPECT_EQ(text_field_string(types->type_text[t]), row.configuration);
    }
    EXPECT_EQ(symbol_of(*types, 1), "H");
    EXPECT_EQ(symbol_of(*types, MAX_ATOM_TYPES), "Cs+");
}

TEST(ElementTable, CommentsBlankLinesAndCarriageReturnsAreSkipped)
{
    const auto types = types_from("/ comment line\n\n" + HYDROGEN_LINE + "\r\n   \n/ another\n" + OXYGEN_LINE + "\n");
    EXPECT_EQ(symbol_of(*types, 1), "H");
    EXPECT_EQ(symbol_of(*types, 2), "O");
    EXPECT_EQ(text_field_string(types->type_text[2]), "[He]2s2 2p4");
    EXPECT_EQ(symbol_of(*types, 3), "");
}

TEST(ElementTable, AShorterTableLeavesNoTypesOfTheEarlierOne)
{
    auto types = shipped_types();
    std::istringstream input(OXYGEN_LINE + "\n");
    ASSERT_TRUE(read_element_table_stream(input, "short.axp", *types));
    EXPECT_EQ(symbol_of(*types, 1), "O");
    for (int t = 2; t <= MAX_ATOM_TYPES; ++t)
        ASSERT_EQ(symbol_of(*types, t), "") << "type " << t;
    EXPECT_EQ(types->type_atomic_number[2], 0);
}

TEST(ElementTable, MalformedTablesAreRefusedAndLeaveTheTypesAsTheyWere)
{
    std::string too_many;
    for (int i = 0; i <= MAX_ATOM_TYPES; ++i)
        too_many += HYDROGEN_LINE + "\n";
    struct BadTable {
        std::string name, text, line;
    };
    const std::vector<BadTable> cases = {
        {"letters in the atomic number", HYDROGEN_LINE + "\n  2    O     x   15.9990   1.55   0.73  16715021\n", "line 2"},
        {"letters in the mass", "  2    O     8   15.99x0   1.55   0.73  16715021\n", "line 1"},
        {"a line cut before the colour", "/ types\n  2    O     8   15.9990   1.55\n", "line 2"},
        {"a blank symbol", "  2          8   15.9990   1.55   0.73  16715021\n", "line 1"},
        {"121 types", too_many, "line 121"},
        {"atomic number 999", "  2    O   999   15.9990   1.55   0.73  16715021\n", "line 1"},
        {"atomic number -5", HYDROGEN_LINE + "\n  2    O    -5   15.9990   1.55   0.73  16715021\n", "line 2"},
        {"atomic number 0", "  2    O     0   15.9990   1.55   0.73  16715021\n", "line 1"},
        {"atomic number 104", "  2    O   104   15.9990   1.55   0.73  16715021\n", "line 1"},
        {"a radius of 1E+300", "  2    O     8   15.9990 1.E300   0.73  16715021\n", "line 1"},
        // The colour 16715021 cut to 167 would still read.
        {"a line cut inside its record", HYDROGEN_LINE + "\n  2    O     8   15.9990   1.55   0.73  167", "line 2"},
    };
    for (const BadTable& c : cases) {
        SCOPED_TRACE(c.name);
        auto types = shipped_types();
        ScopedScriptedUi ui;
        std::istringstream input(c.text);
        EXPECT_FALSE(read_element_table_stream(input, "bad.axp", *types));
        ASSERT_EQ(ui->answers.messages.size(), 1u);
        EXPECT_NE(ui->answers.messages[0].text.find("bad.axp"), std::string::npos) << ui->answers.messages[0].text;
        EXPECT_NE(ui->answers.messages[0].text.find(c.line), std::string::npos) << ui->answers.messages[0].text;
        EXPECT_EQ(ui->answers.messages[0].caption, "Error!");
        EXPECT_EQ(symbol_of(*types, 1), "H");
        EXPECT_EQ(symbol_of(*types, MAX_ATOM_TYPES), "Cs+");
    }
}

TEST(ElementTable, AMissingTableIsReportedAndChangesNothing)
{
    auto types = shipped_types();
    ScopedScriptedUi ui;
    EXPECT_FALSE(read_element_table_file(DATA_DIRECTORY + "/no-such-folder", *types));
    ASSERT_EQ(ui->answers.messages.size(), 1u);
    EXPECT_EQ(ui->answers.messages[0].text, "File <Atoms.axp> not found");
    EXPECT_EQ(ui->answers.messages[0].caption, "Error!");
    EXPECT_EQ(symbol_of(*types, 1), "H");
}

TEST(ElementTable, LabelsGiveTheirElementSymbols)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Cu(12)", "Cu"}, {"Cl1", "Cl"},   {"O1A", "O1A"},   {"H_1", "H"},  {"Na+", "Na+"}, {"C12", "C"},
        {"(C)1", "(C"},  {"123", ""},     {"Fe3+A", "Fe3+"}, {"O-1", "O-"}, {"", ""},       {"Sn4+long", "Sn4+"},
    };
    for (const auto& [text, symbol] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(text_field_string(element_symbol_from_label(label(text))), symbol);
    }
}

TEST(ElementTable, AtomTypesAreFoundBySymbolThenByTheLeadingElement)
{
    const auto types = shipped_types();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"O", "O"},      {"Cl", "Cl"},  {"Fe3+", "Fe3+"}, {"O1A", "O"},  {"H1A", "H"}, {"Cl1A", "Cl"},
        {"O-1A", "O-"},  {"Fe3A", "Fe"}, {"CL1A", ""},    {"Xx", ""},    {"", ""},      {"1A", ""},
    };
    for (const auto& [symbol, type] : cases) {
        SCOPED_TRACE(symbol);
        FixedText<4> field = blank_text<4>();
        set_text_field(field, symbol);
        const int t = find_atom_type(*types, field);
        EXPECT_EQ(t == 0 ? "" : symbol_of(*types, t), type);
    }
    // A symbol that is itself a type is never replaced by its element.
    auto own = types_from(HYDROGEN_LINE + "\n  2    H1A   1    1.0080   1.20   0.37  16777215  1s1\n");
    FixedText<4> h1a = blank_text<4>();
    set_text_field(h1a, "H1A");
    EXPECT_EQ(find_atom_type(*own, h1a), 2);
}

namespace {

int reset_calls = 0;
void count_reset() { ++reset_calls; }

}  // namespace

TEST(LoadDefaults, EveryLoadStartsFromTheDefaultsAndTheElementTable)
{
    ScopedScriptedUi ui;
    RunSettings& settings = run_settings();
    const std::string previous_start = settings.file_dialog.start_directory;
    settings.file_dialog.start_directory = DATA_DIRECTORY;
    settings.calculation.numerical_derivatives = 0;
    settings.calculation.global_frame = 0;
    settings.paths.follow_dialog_directory = false;
    trajectory_settings() = {0.5, 0.5, 0.5, 3, 0.5};
    map_post_atoms().post_atom_count = 7;
    charge_groups().charge_group[5] = 1;
    viewer_view_state().view = {1, 2, 3};
    bank_loaded() = 1;
    reset_calls = 0;
    register_load_time_reset(count_reset);
    register_load_time_reset(count_reset);

    auto model = std::make_unique<StructureModel>();
    model->atoms.subset_mask[250] = 0;
    model->atoms.cart_x[3] = 1.5;
    model->atoms.atom_label[0] = label("junk");
    model->images.image_count[9] = 4;
    model->translations = {2, 3, 4, 1};
    const bool read = read_element_table(*model);
    unregister_load_time_reset(count_reset);
    settings.file_dialog.start_directory = previous_start;

    ASSERT_TRUE(read) << ui->answers.message_log();
    EXPECT_EQ(reset_calls, 1);
    EXPECT_EQ(symbol_of(model->atom_types, 6), "C");
    EXPECT_EQ(model->atoms.subset_mask[250], 1);
    EXPECT_EQ(model->atoms.cart_x[3], 0.0);
    EXPECT_EQ(model->atoms.atom_label[0], blank_text<8>());
    EXPECT_EQ(model->images.image_count[9], 1);
    EXPECT_EQ(model->translations.cluster_k, 1);
    EXPECT_EQ(model->translations.cluster_l, 1);
    EXPECT_EQ(model->translations.cluster_m, 1);
    EXPECT_EQ(model->translations.unit_cell_mode, 0);

    EXPECT_EQ(settings.calculation.numerical_derivatives, 1);
    EXPECT_EQ(settings.calculation.global_frame, 1);
    EXPECT_TRUE(settings.paths.follow_dialog_directory);
    const TrajectorySettings& trajectory = trajectory_settings();
    EXPECT_EQ(trajectory.path_step, 0.01);
    EXPECT_EQ(trajectory.path_end_value, 1e-5);
    EXPECT_EQ(trajectory.out_of_plane_distance, 0.3);
    EXPECT_EQ(trajectory.path_start, 0.1);
    EXPECT_EQ(trajectory.path_count, 36);
    EXPECT_EQ(map_post_atoms().post_atom_count, 0);
    for (int i = 0; i <= MAX_WORKING_ATOMS; ++i)
        ASSERT_EQ(charge_groups().charge_group[i], i);
    EXPECT_EQ(viewer_view_state().view, (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(bank_loaded(), 0);
}

TEST(LoadDefaults, AMissingElementTableFailsTheLoad)
{
    ScopedScriptedUi ui;
    RunSettings& settings = run_settings();
    const std::string previous_start = settings.file_dialog.start_directory;
    settings.file_dialog.start_directory = DATA_DIRECTORY + "/no-such-folder";
    auto model = std::make_unique<StructureModel>();
    EXPECT_FALSE(read_element_table(*model));
    settings.file_dialog.start_directory = previous_start;
    ASSERT_EQ(ui->answers.messages.size(), 1u);
    EXPECT_EQ(ui->answers.messages[0].text, "File <Atoms.axp> not found");
}

TEST(LoadDefaults, PromoleculeSwitchGivesNeutralSphericalAtoms)
{
    const fs::path previous = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "kd_promolecule_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    fs::current_path(pattern);
    ScopedScriptedUi ui;
    ASSERT_TRUE(open_report_output());

    auto model = std::make_unique<StructureModel>();
    model->atoms.atom_count = 2;
    PseudoatomParameters& p = model->pseudoatoms;
    model->atoms.atomic_number[1] = 8;
    p.core_electron_count[1] = 2;
    p.occupancy[1] = 0.5;
    p.l_max[1] = 4;
    p.kappa[1] = 0.98;
    p.kappa_prime[1] = 0.9;
    p.valence_population[1] = 6.3;
    p.multipole_population[1](0, 0) = 0.1;
    p.multipole_population[1](4, -4) = 0.2;
    model->global_populations.population[1](2, 1) = 0.3;
    model->atoms.atomic_number[2] = 1;
    p.occupancy[2] = 1.0;
    p.valence_population[2] = 0.8;
    promolecule_selected() = false;

    switch_to_promolecule_model(*model);
    const int pane_lines = text_pane_state().line_count;
    std::vector<std::string> pane;
    for (int k = 1; k <= pane_lines; ++k)
        pane.push_back(text_field_string(read_pane_line(k)));
    close_report_output();
    std::ifstream listing("keldana0.out");
    std::vector<std::string> records;
    for (std::string line; std::getline(listing, line);)
        records.push_back(line);
    fs::current_path(previous);
    fs::remove_all(pattern);

    // The whole pseudoatom is scaled by its occupancy when evaluated, so the
    // neutral atom carries its full valence shell here.
    EXPECT_EQ(p.valence_population[1], 6.0);
    EXPECT_EQ(p.valence_population[2], 1.0);
    EXPECT_EQ(p.l_max[1], 0);
    EXPECT_EQ(p.kappa[1], 1.0);
    EXPECT_EQ(p.kappa_prime[1], 1.0);
    EXPECT_EQ(p.multipole_population[1](0, 0), 0.0);
    EXPECT_EQ(p.multipole_population[1](4, -4), 0.0);
    EXPECT_EQ(model->global_populations.population[1](2, 1), 0.0);
    EXPECT_TRUE(promolecule_selected());
    EXPECT_EQ(pane, (std::vector<std::string>{"", "  ***** Procrystal/Promolecule Model has been selected *****", "",
                                              "***** Please, reload data for change this selection *****", ""}));
    EXPECT_EQ(records, (std::vector<std::string>{"", " Procrystal/Promolecule Model has been selected", ""}));
    promolecule_selected() = false;
}
