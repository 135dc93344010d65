// Loads that must fail: model files cut short or holding a wrong card, an
// unknown element, a wavefunction bank without the element or with too many
// functions, a missing element table, bad cluster files.  Each shows a
// message and returns false, and the model loaded before stays the program's
// model with its caption, bank and surface file name.
#include "keldana/model/model_loader.h"

#include "common/scripted_ui.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/model/wavefunction_bank.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path EXAMPLES = fs::path(KD_SOURCE_DIR) / "examples";
const fs::path LOADER_FIXTURES = fs::path(KD_TEST_DATA_DIR) / "fixtures" / "loader";
const fs::path QUINONE = EXAMPLES / "benzoquinone" / "benzoquinone.kdn";
const fs::path QUINONE_CLUSTER = EXAMPLES / "benzoquinone" / "gspace.cls";
const fs::path HYDROGEN = EXAMPLES / "free_atoms" / "hydrogen.kdn";
const fs::path NEON = EXAMPLES / "free_atoms" / "neon.kdn";

void write_lines(const fs::path& file, const std::vector<std::string>& lines, std::size_t count)
{
    std::ofstream out(file, std::ios::trunc);
    for (std::size_t i = 0; i < count && i < lines.size(); ++i)
        out << lines[i] << '\n';
}

void write_lines(const fs::path& file, const std::vector<std::string>& lines)
{
    write_lines(file, lines, lines.size());
}

std::size_t index_of(const std::vector<std::string>& lines, const std::string& start)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].compare(0, start.size(), start) == 0)
            return i;
    return lines.size();
}

// One card line: three rows of a translation and two variable fields.
std::string card(const std::string& row_1, const std::string& row_2, const std::string& row_3)
{
    return row_1 + " " + row_2 + " " + row_3;
}

const std::string IDENTITY = card("     X   ", "     Y   ", "     Z   ");

class LoadFailureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_loader_failure_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
    }

    void TearDown() override
    {
        close_report_output();
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    // Loads `file` with `cluster` as the default cluster file of the working
    // directory (none: the question to create one is answered No), the bank
    // at `bank` (empty: the default bank of the start-up directory).
    bool load(const fs::path& file, const fs::path& cluster = {}, const fs::path& bank = {},
              const fs::path& start_directory = KD_RUNTIME_DIR, const std::string& type = "kdn")
    {
        fs::remove(directory_ / "gspace.cls");
        ui_->answers.message_answers.clear();
        ui_->answers.messages.clear();
        if (!cluster.empty())
            fs::copy_file(cluster, directory_ / "gspace.cls");
        else
            ui_->answers.message_answers.push_back(MessageAnswer::no);
        RunSettings& settings = run_settings();
        settings.file_dialog.start_directory = start_directory.string();
        settings.file_dialog.working_directory = directory_.string();
        settings.file_dialog.dialog_path = file.string();
        settings.file_dialog.file_title = file.filename().string();
        settings.output_files.input_type = type;
        settings.output_files.input_file_path = file.string();
        settings.paths.wavefun_bank_path = bank.string();
        return load_structure_file();
    }

    // Loads a good model and keeps what a failed load must leave alone.
    void load_good_model(const fs::path& file, const fs::path& cluster, const fs::path& bank = {})
    {
        ASSERT_TRUE(load(file, cluster, bank)) << ui_->answers.message_log();
        good_ = std::make_unique<StructureModel>(current_model());
        good_caption_ = ui_->caption;
        good_surface_file_ = run_settings().output_files.ias_file_name;
        good_bank_functions_ = wavefunction_bank().function_count;
    }

    // The load just made failed with a message containing `message` and left
    // the good model in place.
    void expect_refused_and_model_kept(bool loaded, const std::string& message)
    {
        EXPECT_FALSE(loaded);
        bool shown = false;
        for (const ShownMessage& m : ui_->answers.messages)
            shown = shown || (m.caption + ": " + m.text).find(message) != std::string::npos;
        EXPECT_TRUE(shown) << "expected \"" << message << "\", shown:\n" << ui_->answers.message_log();

        const StructureModel& model = current_model();
        ASSERT_EQ(model.atoms.atom_count, good_->atoms.atom_count);
        EXPECT_EQ(model.atoms.independent_atom_count, good_->atoms.independent_atom_count);
        for (int k = 1; k <= good_->atoms.atom_count; ++k) {
            EXPECT_EQ(model.atoms.atom_label[k], good_->atoms.atom_label[k]) << k;
            EXPECT_EQ(model.atoms.frac_x[k], good_->atoms.frac_x[k]) << k;
            EXPECT_EQ(model.atoms.frac_y[k], good_->atoms.frac_y[k]) << k;
            EXPECT_EQ(model.atoms.frac_z[k], good_->atoms.frac_z[k]) << k;
            EXPECT_EQ(model.atoms.cart_x[k], good_->atoms.cart_x[k]) << k;
            EXPECT_EQ(model.pseudoatoms.valence_population[k], good_->pseudoatoms.valence_population[k]) << k;
            EXPECT_EQ(model.global_populations.population[k].p, good_->global_populations.population[k].p) << k;
        }
        EXPECT_EQ(model.operators.symop_count, good_->operators.symop_count);
        EXPECT_EQ(ui_->caption, good_caption_);
        EXPECT_EQ(run_settings().output_files.ias_file_name, good_surface_file_);
        EXPECT_EQ(bank_loaded(), 1);
        EXPECT_EQ(wavefunction_bank().function_count, good_bank_functions_);
    }

    ScopedScriptedUi ui_;
    fs::path directory_, previous_;
    std::unique_ptr<StructureModel> good_;
    std::string good_caption_, good_surface_file_;
    PerAtomType<int> good_bank_functions_{};
};

TEST_F(LoadFailureTest, EveryExampleCutShortAtAnyRecordIsRefused)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    struct Example {
        fs::path file, cluster;
    };
    const std::vector<Example> examples = {{HYDROGEN, {}},
                                           {NEON, {}},
                                           {EXAMPLES / "cyanogen" / "cyanogen.kdn", EXAMPLES / "cyanogen" / "gspace.cls"},
                                           {QUINONE, QUINONE_CLUSTER}};
    const fs::path cut = directory_ / "cut.kdn";
    for (const Example& example : examples) {
        const std::vector<std::string> lines = file_lines(example.file);
        ASSERT_GT(lines.size(), 10u);
        for (std::size_t count = 0; count < lines.size(); ++count) {
            SCOPED_TRACE(example.file.filename().string() + " cut after line " + std::to_string(count));
            write_lines(cut, lines, count);
            expect_refused_and_model_kept(load(cut, example.cluster),
                                          "Input file reading error: Please, check input file -    cut.kdn");
        }
    }
}

TEST_F(LoadFailureTest, AModelFileCutInsideItsLastRecordIsRefused)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    for (const fs::path& example : {HYDROGEN, QUINONE}) {
        const std::string whole = file_text(example);
        const std::size_t last = whole.rfind('\n', whole.size() - 2) + 1;
        for (std::size_t end = last + 1; end < whole.size(); ++end) {
            SCOPED_TRACE(example.filename().string() + " cut at " + std::to_string(end));
            std::ofstream(directory_ / "cut.kdn", std::ios::binary) << whole.substr(0, end);
            expect_refused_and_model_kept(load(directory_ / "cut.kdn", QUINONE_CLUSTER), "cut.kdn");
        }
    }
}

// The cluster file has no count or end mark: one cut between two lines
// cannot be told from a smaller cluster, so the listing states its size.
TEST_F(LoadFailureTest, TheListingTellsHowManyAtomsTheClusterFileGave)
{
    const std::vector<std::string> cluster = file_lines(QUINONE_CLUSTER);
    ASSERT_GT(cluster.size(), 3u);
    write_lines(directory_ / "short.cls", cluster, 3);  // the headers and one entry
    std::vector<int> generated;
    for (const fs::path& file : {QUINONE_CLUSTER, directory_ / "short.cls"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(load(QUINONE, file)) << ui_->answers.message_log();
        const StructureModel& model = current_model();
        const std::string told = "gave " + std::to_string(model.applications.entry_count) + " entries: " +
                                 std::to_string(model.atoms.atom_count - model.atoms.independent_atom_count) +
                                 " symmetry-generated atoms.";
        generated.push_back(model.atoms.atom_count - model.atoms.independent_atom_count);
        close_report_output();
        EXPECT_NE(file_text(directory_ / "keldana0.out").find(told), std::string::npos) << told;
    }
    EXPECT_LT(generated[1], generated[0]);
}

// A number in a record without its line end may be cut (a kappa of 1.2 read
// as 1.): such a file is refused and the model loaded before stays.
TEST_F(LoadFailureTest, AnXdFileCutInsideItsLastRecordIsRefused)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    const fs::path xd = fs::path(KD_TEST_DATA_DIR) / "fixtures" / "xd";
    fs::copy_file(xd / "ch2o.mas", directory_ / "cut.mas");
    const std::string whole = file_text(xd / "ch2o.inp");
    const std::size_t last = whole.rfind('\n', whole.size() - 2) + 1;
    for (std::size_t end : {last + 4, whole.size() - 3, whole.size() - 1}) {
        SCOPED_TRACE(end);
        std::ofstream(directory_ / "cut.inp", std::ios::binary) << whole.substr(0, end);
        expect_refused_and_model_kept(load(directory_ / "cut.inp", QUINONE_CLUSTER, {}, KD_RUNTIME_DIR, "xdi"),
                                      "the file is cut short");
    }
}

TEST_F(LoadFailureTest, WrongSymmetryCardsAreRefused)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    const std::vector<std::string> quinone = file_lines(QUINONE);
    const std::size_t centring = index_of(quinone, "CEN ");
    ASSERT_EQ(quinone.at(centring + 3), "END");
    struct Case {
        const char* name;
        std::string centring;
        std::vector<std::string> cards;
        const char* message;
    };
    const std::string card_2_error = "ERROR: Error in symmetry operator no.  2.  Job terminated.";
    const std::string too_many = "ERROR: Too many symmetry cards. Job terminated.";
    const std::vector<Case> cases = {
        {"lower-case letter", "CEN", {IDENTITY, card("    -x   ", "1/2  Y   ", "1/2 -Z   ")}, card_2_error.c_str()},
        {"letter at the left", "CEN", {IDENTITY, card("   X     ", "1/2  Y   ", "1/2 -Z   ")}, card_2_error.c_str()},
        {"translation 1/8", "CEN", {IDENTITY, card("    -X   ", "1/8  Y   ", "1/2 -Z   ")}, card_2_error.c_str()},
        {"49 cards", "NON", std::vector<std::string>(49, IDENTITY), too_many.c_str()},
        {"25 cards doubled by the centre", "CEN", std::vector<std::string>(25, IDENTITY), too_many.c_str()},
        {"51 cards", "NON", std::vector<std::string>(51, IDENTITY), "more than 50 symmetry cards"},
    };
    const fs::path file = directory_ / "cards.kdn";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines(quinone.begin(), quinone.begin() + centring);
        lines.push_back(c.centring + std::string(18, ' ') + "/P");
        lines.insert(lines.end(), c.cards.begin(), c.cards.end());
        lines.push_back("END");
        write_lines(file, lines);
        expect_refused_and_model_kept(load(file, QUINONE_CLUSTER), c.message);
    }
}

TEST_F(LoadFailureTest, UnknownElementAndBadLocalFrameAreRefused)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    const fs::path file = directory_ / "bad.kdn";

    std::vector<std::string> lines = file_lines(HYDROGEN);
    const std::size_t atom = index_of(lines, "H1 ");
    ASSERT_LT(atom, lines.size());
    lines[atom].replace(0, 3, "Xx1");
    write_lines(file, lines);
    expect_refused_and_model_kept(
        load(file), "Error!: No atomic number for atom type Xx  . Please, check <atoms.axp> and <wavefun.bnk>");

    // Both axis letters name the x axis.
    lines = file_lines(EXAMPLES / "cyanogen" / "cyanogen.kdn");
    const std::size_t frame = index_of(lines, "     4     2     2   Z     1     3   X");
    ASSERT_LT(frame, lines.size());
    lines[frame][21] = 'x';
    write_lines(file, lines);
    expect_refused_and_model_kept(load(file, EXAMPLES / "cyanogen" / "gspace.cls"),
                                  "Input file error:  ERROR IN SITE SYSTEM ");

    // The frame's second direction runs from the atom to its own first axis atom.
    lines[frame] = "     4     2     2   Z     1     2   X          /* atom: C1     */";
    write_lines(file, lines);
    expect_refused_and_model_kept(load(file, EXAMPLES / "cyanogen" / "gspace.cls"), "ERROR IN SITE SYSTEM of atom C1");
}

TEST_F(LoadFailureTest, BankWithoutTheElementOrWithAFortyFirstFunctionIsRefused)
{
    // The small bank holds hydrogen with forty functions, as many as a type may have.
    load_good_model(HYDROGEN, {}, LOADER_FIXTURES / "bank_hydrogen_40_functions.bnk");
    ASSERT_EQ(wavefunction_bank().function_count[current_model().atoms.atom_type_index[1]], 40);

    // The bank is read after the cluster is built: the viewer's bond list
    // must not follow a model that is then refused.
    const auto hook = cluster_services().build_bond_list;
    int bond_lists_built = 0;
    cluster_services().build_bond_list = [&](const StructureModel&, int) { ++bond_lists_built; };
    const bool neon_loaded = load(NEON, {}, LOADER_FIXTURES / "bank_hydrogen_only.bnk");
    cluster_services().build_bond_list = hook;
    EXPECT_EQ(bond_lists_built, 0);
    expect_refused_and_model_kept(neon_loaded,
                                  "Error!: No atomic number for atom type Ne  . Please, check WAVEFUNCTIONS BANK!");
    expect_refused_and_model_kept(load(HYDROGEN, {}, LOADER_FIXTURES / "bank_hydrogen_41_functions.bnk"),
                                  "Wavefunctions!: More than  40 basis functions - adjust dimensions.");

    // Neither the bank of the settings nor the default bank beside the element table.
    const fs::path data = directory_ / "data without bank";
    fs::create_directory(data);
    fs::copy_file(fs::path(KD_RUNTIME_DIR) / "atoms.axp", data / "atoms.axp");
    expect_refused_and_model_kept(load(HYDROGEN, {}, directory_ / "no such bank.bnk", data),
                                  "Wavefunctions!: Not found wavefunctions file. Please, check <Options>.");
}

TEST_F(LoadFailureTest, MissingElementTableOrModelFileIsRefused)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    const fs::path empty = directory_ / "empty";
    fs::create_directory(empty);
    expect_refused_and_model_kept(load(HYDROGEN, {}, {}, empty), "Error!: File <Atoms.axp> not found");
    expect_refused_and_model_kept(load(directory_ / "missing.kdn"), "Please, check input file -    missing.kdn");
}

TEST_F(LoadFailureTest, BadDefaultClusterFilesAreRefused)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    const std::string title = "Generation of the symmetry-related atoms in the given space";
    const std::string header = " symm.       translations        appl.for atoms  No.in list";
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"a line that is no entry", {title, header, "  3  0.0 0.0 0.0  1  6", "  two 0.0 0.0 0.0 1 6"},
         "Can not read line 4"},
        {"header lines missing", {"  3     0.00000  0.00000  0.00000       1    6        7"}, "header lines"},
        {"translation 0.35", {title, header, "  2     0.00000  0.35000  0.00000       1    6        7"},
         "Error!:  Lattice translations are not correct!"},
        {"atoms beyond the independent ones", {title, header, "  2     0.00000  0.00000  0.00000       1    7        7"},
         "there are 6 independent atoms"},
        {"operation beyond the operators", {title, header, "  5     0.00000  0.00000  0.00000       1    6        7"},
         "there are only 4 operators"},
    };
    const fs::path cluster = directory_ / "bad.cls";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_lines(cluster, c.lines);
        expect_refused_and_model_kept(load(QUINONE, cluster), c.message);
    }
}

struct HostileCase {
    const char* file;  // in fixtures/loader/hostile
    const char* message;
};

// Numbers that once loaded and then overflowed, read out of bounds or made
// infinite positions: each load is refused and the model before stays.
TEST_F(LoadFailureTest, HostileNumbersAreRefusedBeforeAnyUse)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    const HostileCase cases[] = {
        {"frame_atom_int_min.kdn", "the frame atoms must be atoms or dummy atoms, 1 to 4"},
        {"frame_atom_int_max.kdn", "the frame atoms must be atoms or dummy atoms, 1 to 4"},
        {"core_int_min.kdn", "Atom 1 (C1): the core electron count -2147483648 is outside 0 to 6"},
        {"core_above_z.kdn", "Atom 1 (C1): the core electron count 7 is outside 0 to 6"},
        {"fraction_1e308.kdn", "Atom 1 (C1): a fractional coordinate is not a number within"},
        {"cartesian_beyond_bound.kdn", "Atom 1 (C1): its Cartesian position is not within"},
        {"cell_1e308.kdn", "The cell length 1E+308 is not between 0 and"},
        {"dummy_1e308.kdn", "Dummy atom 1: a fractional coordinate is not a number"},
        {"population_1e300.kdn", "Atom 1 (C1): a population is not a number"},
        {"zeta_zero.kdn", "Atom 1 (C1): the radial exponent zeta(0) = 0 is not between"},
        {"kappa_negative.kdn", "Atom 1 (C1): kappa -0.99"},
        {"radial_power_int_min.kdn", "Atom 1 (C1): the radial power n(2) = -2147483648"},
        {"spherical_frame_int_max.kdn", "the frame atoms 2147483647, 0, 0 are not atoms or dummy atoms 1 to 1"},
        {"spherical_core_above_z.kdn", "Atom 1 (Ne1): the core electron count 11 is outside 0 to 10"},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.file);
        expect_refused_and_model_kept(load(LOADER_FIXTURES / "hostile" / c.file), c.message);
    }
}

// A FIFO would block the load for ever, /dev/zero would read until memory
// runs out, a folder reads as nothing.
TEST_F(LoadFailureTest, WhatIsNotARegularFileIsRefused)
{
    load_good_model(QUINONE, QUINONE_CLUSTER);
    const fs::path fifo = directory_ / "model.kdn";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(directory_ / "folder.kdn");
    for (const fs::path& path : {fifo, directory_ / "folder.kdn", fs::path("/dev/zero")}) {
        SCOPED_TRACE(path.string());
        expect_refused_and_model_kept(load(path), "is not a regular file");
    }
}

}  // namespace
