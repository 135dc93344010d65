// The covariance matrix: reading the text in free form, the report, refusing
// bad or over-size files without losing the matrix held, writing it back in
// the file's layout, and the import through the converter program.
#include "covariance_test_files.h"

#include "keldana/model/covariance_matrix.h"

#include "common/safe_write.h"
#include "common/scripted_ui.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace covariance_test;

namespace {

const std::string READ_ERROR = "Error when reading data from file <*.cov>";

// N = 3, scale 1.0: rows of 3, 2 and 1 values, then the atoms and the kinds.
const std::string THREE_PARAMETERS =
    "    3    1.000\n"
    "  0.1000000  0.2000000  0.3000000\n"
    "  0.4000000  0.5000000\n"
    "  0.6000000\n"
    "   1   1   2\n"
    "  12  13  14\n";

// The matrix every failing read must leave in place.
const std::string PREVIOUS_MATRIX =
    "    2    0.500\n"
    "  9.0000000  8.0000000\n"
    "  7.0000000\n"
    "   4   5\n"
    "  16  17\n";

std::string trimmed_pane_line(int k)
{
    std::string line = read_pane_line(k);
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

class CovarianceMatrixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_directory_ = fs::current_path();
        saved_settings_ = run_settings();
        saved_matrix_ = std::make_unique<CovarianceMatrix>(covariance_matrix());
        folder_ = make_scratch_folder("kd_covariance");
        ASSERT_FALSE(folder_.empty());
        covariance_matrix() = CovarianceMatrix{};
        run_settings().paths.converter_path = BLENTRIX;
        saved_model_ = std::make_unique<StructureModel>(current_model());
        set_model(3, 4);  // the atoms of the fixture's matrix
    }
    void TearDown() override
    {
        fs::current_path(saved_directory_);
        run_settings() = saved_settings_;
        covariance_matrix() = *saved_matrix_;
        current_model() = *saved_model_;
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    bool read_text(const std::string& text)
    {
        std::istringstream input(text);
        return read_covariance_matrix(input, covariance_matrix());
    }

    void read_previous_matrix()
    {
        ASSERT_TRUE(read_text(PREVIOUS_MATRIX));
        ui_->answers.messages.clear();
    }

    void expect_previous_matrix_kept(int esd_available, const std::string& what)
    {
        const CovarianceMatrix& m = covariance_matrix();
        EXPECT_EQ(m.cov_order, 2) << what;
        EXPECT_EQ(m.cov_scale, 0.5) << what;
        EXPECT_EQ(m.cov_at(1, 1), 9.0) << what;
        EXPECT_EQ(m.cov_at(1, 2), 8.0) << what;
        EXPECT_EQ(m.cov_at(2, 2), 7.0) << what;
        EXPECT_EQ(m.cov_atom[1], 4) << what;
        EXPECT_EQ(m.cov_kind[2], 17) << what;
        EXPECT_EQ(m.esd_available, esd_available) << what;
    }

    // Queues the file dialog's answer: a copy of `mat_bytes` in a folder with
    // blanks in its name.
    fs::path queue_mat_file(const std::string& mat_bytes)
    {
        const fs::path sub = folder_ / "MOLLY run 1";
        fs::create_directories(sub);
        const fs::path mat = sub / "the matrix.mat";
        put_file(mat, mat_bytes);
        ui_->answers.file_answers.push_back(mat.string());
        return mat;
    }

    // The loaded model as far as a matrix is checked against it: `atoms`
    // independent atoms, each with multipoles up to l_max.
    static void set_model(int atoms, int l_max)
    {
        StructureModel& model = current_model();
        model.atoms.atom_count = model.atoms.independent_atom_count = atoms;
        for (int i = 1; i <= atoms; ++i) {
            model.pseudoatoms.l_max[i] = l_max;
            set_text_field(model.atoms.atom_label[i], "A" + std::to_string(i));
        }
    }

    ScopedScriptedUi ui_;
    fs::path folder_;
    fs::path saved_directory_;
    RunSettings saved_settings_;
    std::unique_ptr<CovarianceMatrix> saved_matrix_;
    std::unique_ptr<StructureModel> saved_model_;
};

TEST_F(CovarianceMatrixTest, ReadsAThreeParameterFileAndReportsIt)
{
    fs::current_path(folder_);
    ASSERT_TRUE(open_report_output());
    const int lines_before = text_pane_state().line_count;
    ASSERT_TRUE(read_text(THREE_PARAMETERS));
    const std::string listing = file_bytes(folder_ / listing_file_name());
    EXPECT_EQ(listing,
              "\n Covariance matrix read in for   3 refined parameters\n\n"
              "\n  E.s.d.s will be computed, where available\n");

    const CovarianceMatrix& m = covariance_matrix();
    EXPECT_EQ(m.cov_order, 3);
    EXPECT_EQ(m.cov_scale, 1.0);
    EXPECT_EQ(m.cov_at(1, 1), 0.1);
    EXPECT_EQ(m.cov_at(1, 3), 0.3);
    EXPECT_EQ(m.cov_at(2, 3), 0.5);
    EXPECT_EQ(m.cov_at(3, 3), 0.6);
    EXPECT_EQ(m.cov_at(3, 1), 0.0);  // the lower triangle is not filled
    EXPECT_EQ((std::vector<int>{m.cov_atom[1], m.cov_atom[2], m.cov_atom[3]}), (std::vector<int>{1, 1, 2}));
    EXPECT_EQ((std::vector<int>{m.cov_kind[1], m.cov_kind[2], m.cov_kind[3]}), (std::vector<int>{12, 13, 14}));
    EXPECT_EQ(m.esd_available, 1);
    EXPECT_TRUE(ui_->answers.messages.empty());

    ASSERT_EQ(text_pane_state().line_count, lines_before + 4);
    EXPECT_EQ(trimmed_pane_line(lines_before + 1), "");
    EXPECT_EQ(trimmed_pane_line(lines_before + 2),
              "A variance-covariance matrix read successfully. E.s.d.s will be computed, where available.");
    EXPECT_EQ(trimmed_pane_line(lines_before + 3), "");
    EXPECT_EQ(trimmed_pane_line(lines_before + 4), " Covariance matrix read in for   3 refined parameters");
    EXPECT_TRUE(text_pane_state().scroll_to_end);
    close_report_output();
}

struct FreeFormCase {
    const char* what;
    std::string text;
};

TEST_F(CovarianceMatrixTest, ReadsRowsInFreeForm)
{
    const FreeFormCase cases[] = {
        {"commas", "3,1.0\n0.1,0.2,0.3\n0.4,0.5\n0.6\n1,1,2\n12,13,14\n"},
        {"rows split over lines", "3 1.0\n0.1\n0.2 0.3\n0.4\n\n0.5\n0.6\n1 1\n2\n12 13 14\n"},
        {"surplus values on a group's last line", "3 1.0 7.5\n0.1 0.2 0.3 9\n0.4 0.5\n0.6\n1 1 2 8\n12 13 14 15\n"},
    };
    for (const FreeFormCase& c : cases) {
        covariance_matrix() = CovarianceMatrix{};
        ASSERT_TRUE(read_text(c.text)) << c.what;
        const CovarianceMatrix& m = covariance_matrix();
        EXPECT_EQ(m.cov_order, 3) << c.what;
        EXPECT_EQ(m.cov_at(1, 2), 0.2) << c.what;
        EXPECT_EQ(m.cov_at(2, 2), 0.4) << c.what;
        EXPECT_EQ(m.cov_at(3, 3), 0.6) << c.what;
        EXPECT_EQ(m.cov_atom[3], 2) << c.what;
        EXPECT_EQ(m.cov_kind[1], 12) << c.what;
        EXPECT_EQ(m.esd_available, 1) << c.what;
    }
}

TEST_F(CovarianceMatrixTest, ReadsTheConvertersRowsOverTwoLines)
{
    ASSERT_TRUE(read_covariance_matrix_file((FIXTURES / "small_covar.dat").string()));
    const CovarianceMatrix& m = covariance_matrix();
    EXPECT_EQ(m.cov_order, 28);
    EXPECT_EQ(m.cov_scale, 1.25);
    EXPECT_EQ(m.cov_at(1, 1), 0.5000001);
    EXPECT_EQ(m.cov_at(1, 3), 12.3456697);
    EXPECT_EQ(m.cov_at(1, 16), -0.0007837);  // first value of row 1's second line
    EXPECT_EQ(m.cov_at(1, 28), -0.0004030);
    EXPECT_EQ(m.cov_at(2, 2), 0.2500002);    // row 2 starts a new line
    EXPECT_EQ(m.cov_at(14, 28), 0.0003380);  // a row of exactly 15 values
    EXPECT_EQ(m.cov_at(15, 15), 0.0333348);  // and the next row on the next line
    EXPECT_EQ(m.cov_atom[25], 0);
    EXPECT_EQ(m.cov_atom[27], 3);
    EXPECT_EQ(m.cov_kind[23], 17);
    EXPECT_EQ(m.cov_kind[28], 0);
    EXPECT_EQ(m.esd_available, 1);
}

TEST_F(CovarianceMatrixTest, WritesTheSameTextBack)
{
    for (const char* name : {"small_covar.dat", "empty_covar.dat"}) {
        set_model(std::string(name) == "empty_covar.dat" ? 0 : 3, 4);  // the empty one is of no atom
        ASSERT_TRUE(read_covariance_matrix_file((FIXTURES / name).string())) << name;
        const fs::path saved = folder_ / (std::string("saved ") + name);
        ASSERT_TRUE(save_covariance_matrix_as(saved.string())) << name;
        EXPECT_EQ(file_bytes(saved), file_bytes(FIXTURES / name)) << name;
    }
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(CovarianceMatrixTest, AFailedSaveKeepsTheOldFile)
{
    ASSERT_TRUE(read_covariance_matrix_file((FIXTURES / "small_covar.dat").string()));
    const fs::path saved = folder_ / "saved.cov";
    const std::string old = "    1    1.000\n  0.5000000\n   1\n  12\n";
    put_file(saved, old);
    const long long size = static_cast<long long>(file_bytes(FIXTURES / "small_covar.dat").size());
    for (long long after : {0LL, size / 2, size - 1}) {
        ui_->answers.messages.clear();
        set_safe_write_failure_after(after);
        EXPECT_FALSE(save_covariance_matrix_as(saved.string())) << after;
        set_safe_write_failure_after(-1);
        EXPECT_EQ(file_bytes(saved), old) << after;
        EXPECT_TRUE(safe_write_temporaries(folder_).empty()) << after;
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_NE(ui_->answers.messages[0].text.find(saved.string()), std::string::npos);
    }
    ASSERT_TRUE(save_covariance_matrix_as(saved.string()));
    EXPECT_EQ(file_bytes(saved), file_bytes(FIXTURES / "small_covar.dat"));
}

TEST_F(CovarianceMatrixTest, RefusesFilesCutShortAtEveryLine)
{
    read_previous_matrix();
    std::istringstream lines(THREE_PARAMETERS);
    std::string text, line;
    while (std::getline(lines, line)) {
        ui_->answers.messages.clear();
        EXPECT_FALSE(read_text(text)) << "cut before: " << line;
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_EQ(ui_->answers.messages[0].text, READ_ERROR);
        EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
        expect_previous_matrix_kept(1, "cut before: " + line);
        text += line + "\n";
    }
}

struct BadFileCase {
    const char* what;
    std::string text;
    std::string message_part;
};

TEST_F(CovarianceMatrixTest, RefusesBadFilesKeepingTheMatrixAndItsFlag)
{
    const BadFileCase cases[] = {
        {"a letter in row 2", "    3    1.000\n 0.1 0.2 0.3\n 0.4 x\n 0.6\n 1 1 2\n 12 13 14\n", READ_ERROR},
        {"a real among the atoms", "    3    1.000\n 0.1 0.2 0.3\n 0.4 0.5\n 0.6\n 1 1.5 2\n 12 13 14\n", READ_ERROR},
        {"a count that is not a number", "  three 1.0\n", READ_ERROR},
        {"no scale", "    3\n", READ_ERROR},
        {"a negative count", "   -1    1.000\n", "-1 refined parameters"},
        {"kind code 10000", "    3    1.000\n 0.1 0.2 0.3\n 0.4 0.5\n 0.6\n 1 1 2\n 12 13 10000\n", "kind code 10000"},
        {"a negative atom", "    3    1.000\n 0.1 0.2 0.3\n 0.4 0.5\n 0.6\n 1 -1 2\n 12 13 14\n", "the atom -1"},
        {"a scale beyond a double", "    3  1.0E400\n 0.1 0.2 0.3\n 0.4 0.5\n 0.6\n 1 1 2\n 12 13 14\n", "scale"},
        {"a covariance beyond a double", "    3    1.000\n 0.1 0.2 0.3\n 0.4 -1E999\n 0.6\n 1 1 2\n 12 13 14\n",
         "(2,3)"},
    };
    for (int esd_available : {1, 0}) {
        read_previous_matrix();
        if (esd_available == 0)
            reset_covariance_for_load();
        for (const BadFileCase& c : cases) {
            ui_->answers.messages.clear();
            EXPECT_FALSE(read_text(c.text)) << c.what;
            ASSERT_EQ(ui_->answers.messages.size(), 1u) << c.what;
            EXPECT_NE(ui_->answers.messages[0].text.find(c.message_part), std::string::npos) << c.what;
            expect_previous_matrix_kept(esd_available, c.what);
        }
    }
}

TEST_F(CovarianceMatrixTest, RefusesMoreThan400Parameters)
{
    read_previous_matrix();
    std::string text = "  401    1.000\n";
    EXPECT_FALSE(read_text(text));
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("401"), std::string::npos);
    EXPECT_NE(ui_->answers.messages[0].text.find("400"), std::string::npos);
    expect_previous_matrix_kept(1, "401 parameters");
}

TEST_F(CovarianceMatrixTest, ReadsExactly400Parameters)
{
    std::string text = "  400    2.000\n";
    for (int i = 1; i <= 400; ++i) {
        for (int j = i; j <= 400; ++j)
            text += "  0.0100000";
        text += "\n";
    }
    for (int list = 0; list < 2; ++list) {
        for (int i = 1; i <= 400; ++i)
            text += "   1";
        text += "\n";
    }
    ASSERT_TRUE(read_text(text));
    EXPECT_EQ(covariance_matrix().cov_order, 400);
    EXPECT_EQ(covariance_matrix().cov_at(400, 400), 0.01);
}

TEST_F(CovarianceMatrixTest, ALoadClearsOnlyTheFlag)
{
    read_previous_matrix();
    reset_covariance_for_load();
    expect_previous_matrix_kept(0, "after a load");
}

TEST_F(CovarianceMatrixTest, ImportsThroughTheConverterAndSavesTheSameMatrix)
{
    for (bool default_converter : {false, true}) {
        SCOPED_TRACE(default_converter ? "blentrix beside the program" : "configured converter");
        covariance_matrix() = CovarianceMatrix{};
        if (default_converter) {
            run_settings().paths.converter_path = "  ";
            run_settings().file_dialog.start_directory = KD_RUNTIME_DIR;
        }
        const fs::path mat = queue_mat_file(file_bytes(FIXTURES / "small.mat"));

        ASSERT_TRUE(import_covariance_matrix_via_converter()) << ui_->answers.message_log();
        EXPECT_TRUE(ui_->answers.messages.empty());
        ASSERT_EQ(ui_->answers.file_requests.size(), default_converter ? 2u : 1u);
        EXPECT_EQ(ui_->answers.file_requests.back().description, "Molly covariance matrix (*.mat)");
        EXPECT_EQ(ui_->answers.file_requests.back().pattern, "*.mat");
        EXPECT_EQ(covariance_matrix().esd_available, 1);
        EXPECT_EQ(covariance_matrix().cov_order, 28);
        EXPECT_FALSE(fs::exists(mat.parent_path() / "covar.dat"));  // consumed

        const fs::path saved = folder_ / "saved.cov";
        ASSERT_TRUE(save_covariance_matrix_as(saved.string()));
        EXPECT_EQ(file_bytes(saved), file_bytes(FIXTURES / "small_covar.dat"));
    }
}

struct ForeignMatrixCase {
    const char* what;
    int atoms;  // of the loaded model
    int l_max;  // of each of its atoms
    const char* message;
};

// The fixture's matrix names atoms 1..3; atom 2 has a quadrupole (kind 17).
TEST_F(CovarianceMatrixTest, AMatrixOfAnotherModelIsRefusedBeforeAnyEsdIsComputed)
{
    const ForeignMatrixCase cases[] = {
        {"a model of more atoms", 4, 4, "parameters of 3 atoms, the model has 4 independent atoms"},
        {"a model of fewer atoms", 2, 4, "parameters of 3 atoms, the model has 2 independent atoms"},
        {"atoms of lower multipole order", 3, 1, "population of order 2 of atom A2"},
    };
    for (const ForeignMatrixCase& c : cases) {
        set_model(c.atoms, c.l_max);
        for (bool import : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (import ? ", imported" : ", read"));
            read_previous_matrix();
            const int pane_lines = text_pane_state().line_count;
            if (import) {
                queue_mat_file(file_bytes(FIXTURES / "small.mat"));
                EXPECT_FALSE(import_covariance_matrix_via_converter());
            } else {
                EXPECT_FALSE(read_covariance_matrix_file((FIXTURES / "small_covar.dat").string()));
            }
            ASSERT_EQ(ui_->answers.messages.size(), 1u);
            EXPECT_NE(ui_->answers.messages[0].text.find("does not belong to the loaded model"), std::string::npos);
            EXPECT_NE(ui_->answers.messages[0].text.find(c.message), std::string::npos)
                << ui_->answers.messages[0].text;
            expect_previous_matrix_kept(1, c.what);
            EXPECT_EQ(text_pane_state().line_count, pane_lines);  // no "read in" report
        }
    }
}

TEST(CovarianceKinds, PopulationKindsGiveTheirOrder)
{
    const std::pair<int, int> cases[] = {{11, -1}, {12, 0}, {13, 0}, {14, 1}, {16, 1}, {17, 2}, {21, 2},
                                         {22, 3}, {28, 3}, {29, 4}, {37, 4}, {38, -1}, {1, -1}, {0, -1}};
    for (const auto& [kind, order] : cases)
        EXPECT_EQ(population_kind_order(kind), order) << kind;
}

// A file the converter refuses: its own reason reaches the user.
TEST_F(CovarianceMatrixTest, TheConvertersReasonIsShown)
{
    read_previous_matrix();
    const std::string whole = file_bytes(FIXTURES / "small.mat");
    const SplitFile split = split_records(whole);
    queue_mat_file(whole.substr(0, split.offsets[2]));  // ends after record 2
    EXPECT_FALSE(import_covariance_matrix_via_converter());
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    const std::string& text = ui_->answers.messages[0].text;
    EXPECT_NE(text.find("CONVERTOR"), std::string::npos) << text;
    EXPECT_NE(text.find("record 3: the file ends before it"), std::string::npos) << text;
    EXPECT_NE(text.find("the matrix.mat"), std::string::npos) << text;
    EXPECT_EQ(text.find("the matrix.mat"), text.rfind("the matrix.mat")) << text;  // named once
    expect_previous_matrix_kept(1, "cut short");
}

struct FailingConverterCase {
    const char* what;
    std::string converter;
    bool starts;
};

TEST_F(CovarianceMatrixTest, AFailingConverterKeepsTheMatrixAndNeverUsesAnOldOutput)
{
    const FailingConverterCase cases[] = {
        {"converter fails", "/bin/false", true},
        {"converter writes nothing", "/bin/true", true},
        {"converter missing", (folder_ / "no such converter").string(), false},
    };
    for (const FailingConverterCase& c : cases) {
        read_previous_matrix();
        run_settings().paths.converter_path = c.converter;
        const fs::path mat = queue_mat_file(file_bytes(FIXTURES / "small.mat"));
        // A readable covar.dat from an earlier run lies in the folder.
        put_file(mat.parent_path() / "covar.dat", THREE_PARAMETERS);

        EXPECT_FALSE(import_covariance_matrix_via_converter()) << c.what;
        ASSERT_EQ(ui_->answers.messages.size(), 1u) << c.what;
        const ShownMessage& shown = ui_->answers.messages[0];
        if (c.starts) {
            EXPECT_NE(shown.text.find("CONVERTOR"), std::string::npos) << c.what;
            EXPECT_NE(shown.text.find("the matrix.mat"), std::string::npos) << c.what;
        } else {
            EXPECT_EQ(shown.text, "Please, check path to CONVERTOR program!") << c.what;
        }
        EXPECT_EQ(shown.caption, "Error") << c.what;
        expect_previous_matrix_kept(1, c.what);
        EXPECT_FALSE(fs::exists(mat.parent_path() / "covar.dat")) << c.what;
    }
}

TEST_F(CovarianceMatrixTest, AConvertedMatrixOfMoreThan400ParametersIsRefused)
{
    read_previous_matrix();
    const fs::path mat = queue_mat_file(molly_file_without_atoms(401));
    EXPECT_FALSE(import_covariance_matrix_via_converter());
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("401"), std::string::npos);
    expect_previous_matrix_kept(1, "401 parameters");
    EXPECT_FALSE(fs::exists(mat.parent_path() / "covar.dat"));
}

TEST_F(CovarianceMatrixTest, CancellingTheDialogChangesNothing)
{
    read_previous_matrix();
    ui_->answers.file_answers.push_back(std::nullopt);
    EXPECT_FALSE(import_covariance_matrix_via_converter());
    EXPECT_TRUE(ui_->answers.messages.empty());
    expect_previous_matrix_kept(1, "cancelled");
}

// A kind code of -2147483648 once reached the harmonics index of the e.s.d.s.
TEST_F(CovarianceMatrixTest, RefusesTheFixtureOfAKindCodeOfTheLowestInteger)
{
    read_previous_matrix();
    EXPECT_FALSE(read_covariance_matrix_file((FIXTURES / "kind_code_int_min.cov").string()));
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("-2147483648"), std::string::npos);
    expect_previous_matrix_kept(1, "kind code INT_MIN");
}

TEST_F(CovarianceMatrixTest, RefusesWhatIsNotARegularFile)
{
    read_previous_matrix();
    for (const std::string& path : {folder_.string(), std::string("/dev/zero")}) {
        ui_->answers.messages.clear();
        EXPECT_FALSE(read_covariance_matrix_file(path)) << path;
        ASSERT_EQ(ui_->answers.messages.size(), 1u) << path;
        EXPECT_NE(ui_->answers.messages[0].text.find("not a regular file"), std::string::npos) << path;
        expect_previous_matrix_kept(1, path);
    }
}

TEST_F(CovarianceMatrixTest, ReportsFilesThatCanNotBeOpenedOrWritten)
{
    read_previous_matrix();
    EXPECT_FALSE(read_covariance_matrix_file((folder_ / "missing.cov").string()));
    EXPECT_FALSE(save_covariance_matrix_as((folder_ / "no folder" / "saved.cov").string()));
    EXPECT_EQ(ui_->answers.messages.size(), 2u);
    expect_previous_matrix_kept(1, "unreadable files");
}

}  // namespace
