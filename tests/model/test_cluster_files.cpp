// Cluster files: the entry line layout, write and read back, hand-made files
// in free form, and files that must be refused.
#include "keldana/model/cluster_files.h"

#include "common/safe_write.h"
#include "common/scripted_ui.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/model/text_fields.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Entry {
    int operation;
    double x, y, z;
    int first, last;
};

std::unique_ptr<SymmetryApplicationList> make_list(const std::vector<Entry>& entries)
{
    auto list = std::make_unique<SymmetryApplicationList>();
    for (const Entry& e : entries) {
        const int k = ++list->entry_count;
        list->operation[k] = e.operation;
        list->translation[k] = {0.0, e.x, e.y, e.z};
        list->first_atom[k] = e.first;
        list->last_atom[k] = e.last;
    }
    return list;
}

void expect_entries(const SymmetryApplicationList& list, const std::vector<Entry>& expected)
{
    ASSERT_EQ(list.entry_count, static_cast<int>(expected.size()));
    for (int k = 1; k <= list.entry_count; ++k) {
        const Entry& e = expected[k - 1];
        EXPECT_EQ(list.operation[k], e.operation) << k;
        EXPECT_NEAR(list.translation[k][1], e.x, 1e-12) << k;
        EXPECT_NEAR(list.translation[k][2], e.y, 1e-12) << k;
        EXPECT_NEAR(list.translation[k][3], e.z, 1e-12) << k;
        EXPECT_EQ(list.first_atom[k], e.first) << k;
        EXPECT_EQ(list.last_atom[k], e.last) << k;
    }
}

const std::string HEADERS = std::string(CLUSTER_TITLE_IN_SPACE) + "\n" + CLUSTER_COLUMN_HEADER + "\n";

class ClusterFilesTest : public ::testing::Test {
protected:
    ScopedScriptedUi ui_;
};

// One atom C1 at (0.1, 0.2, 0.3) of a 10 Angstrom cubic cell; operators
// x,y,z and -x,y+1/2,-z+1/2.
std::unique_ptr<StructureModel> make_model()
{
    auto model = std::make_unique<StructureModel>();
    model->cell = {10, 10, 10, 90, 90, 90, 0};
    const double right = std::acos(0.0);
    EXPECT_TRUE(build_orthogonalisation_matrix(right, right, right, model->cell, model->orthogonalisation));
    model->operators.symop_count = 2;
    for (int r = 1; r <= 3; ++r)
        model->operators.symop[1][r][r] = 1;
    model->operators.symop[2][1][1] = -1;
    model->operators.symop[2][2][2] = 1;
    model->operators.symop[2][2][4] = 0.5;
    model->operators.symop[2][3][3] = -1;
    model->operators.symop[2][3][4] = 0.5;
    WorkingAtomSet& atoms = model->atoms;
    atoms.atom_count = atoms.independent_atom_count = 1;
    set_text_field(atoms.atom_label[1], "C1");
    atoms.frac_x[1] = 0.1;
    atoms.frac_y[1] = 0.2;
    atoms.frac_z[1] = 0.3;
    convert_fractional_to_cartesian(model->orthogonalisation, 0.1, 0.2, 0.3, atoms.cart_x[1], atoms.cart_y[1],
                                    atoms.cart_z[1]);
    atoms.atomic_number[1] = 6;
    model->images.image_count[1] = 1;
    model->images.image_list[1][1] = 1;
    return model;
}

void add_entry(StructureModel& model, const Entry& entry)
{
    const int e = ++model.applications.entry_count;
    model.applications.operation[e] = entry.operation;
    model.applications.translation[e] = {0.0, entry.x, entry.y, entry.z};
    model.applications.first_atom[e] = entry.first;
    model.applications.last_atom[e] = entry.last;
}

// The cluster builder reads the default files from the working directory,
// here a fresh temporary one.
class DefaultClusterFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kd_default_cls_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        saved_working_directory_ = run_settings().file_dialog.working_directory;
        run_settings().file_dialog.working_directory = directory_.string();
        cluster_services() = ClusterServices{};
    }

    void TearDown() override
    {
        cluster_services() = ClusterServices{};
        run_settings().file_dialog.working_directory = saved_working_directory_;
        fs::remove_all(directory_);
    }

    void write_file(const std::string& name, const std::string& body)
    {
        std::ofstream(directory_ / name) << HEADERS << body;
    }

    ScopedScriptedUi ui_;
    fs::path directory_;
    std::string saved_working_directory_;
};

}  // namespace

TEST_F(ClusterFilesTest, EntryLinesHaveTheFixedLayout)
{
    auto list = make_list({{-2, 0.5, -1.0, 0.6666667, 1, 1}, {12, -3.0, 0.0, 2.25, 3, 120}});
    // (I3,3X,3(1X,F8.5),3X,2I5,6X,I3); the last column is Nind + entry.
    EXPECT_EQ(format_cluster_line(*list, 1, 2), " -2     0.50000 -1.00000  0.66667       1    1        3");
    EXPECT_EQ(format_cluster_line(*list, 2, 2), " 12    -3.00000  0.00000  2.25000       3  120        4");
    EXPECT_EQ(format_cluster_line(*list, 1, 2).size(), 55u);
}

TEST_F(ClusterFilesTest, WrittenFilesReadBackToTheSameList)
{
    const std::vector<Entry> entries = {{1, 0, 0, 1, 1, 1}, {-2, 0.5, -1.0, 0.66667, 1, 2}, {3, -3, 3, 0.16667, 2, 2}};
    auto list = make_list(entries);
    std::vector<std::string> lines = {CLUSTER_TITLE_IN_SPACE, CLUSTER_COLUMN_HEADER};
    for (int e = 1; e <= list->entry_count; ++e)
        lines.push_back(format_cluster_line(*list, e, 2));

    std::stringstream file;
    ASSERT_TRUE(write_cluster_file(file, lines));
    // Every record is exactly 60 characters: (A60).
    std::istringstream records(file.str());
    int count = 0;
    for (std::string record; std::getline(records, record); ++count) {
        EXPECT_EQ(record.size(), 60u);
        EXPECT_EQ(record.substr(0, lines[count].size()), lines[count].substr(0, 60));
    }
    EXPECT_EQ(count, 5);

    auto read = std::make_unique<SymmetryApplicationList>();
    ASSERT_TRUE(read_cluster_file(file, "gspace.cls", *read));
    expect_entries(*read, entries);
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(ClusterFilesTest, HandMadeFilesAreReadInFreeForm)
{
    struct Case {
        const char* name;
        std::string body;
        std::vector<Entry> expected;
    };
    const std::vector<Case> cases = {
        {"commas and tabs", "1,0.5,0,0,1,2\n-3\t1\t0\t0.25\t2\t2\n", {{1, 0.5, 0, 0, 1, 2}, {-3, 1, 0, 0.25, 2, 2}}},
        {"further values ignored", "2 0 0 0 1 1 13 extra text\n", {{2, 0, 0, 0, 1, 1}}},
        {"Windows line ends", "2 0 0 0 1 1\r\n4 1 1 1 2 2\r\n", {{2, 0, 0, 0, 1, 1}, {4, 1, 1, 1, 2, 2}}},
        {"blank lines skipped", "\n2 0 0 0 1 1\n   \n4 1 1 1 2 2\n\n", {{2, 0, 0, 0, 1, 1}, {4, 1, 1, 1, 2, 2}}},
        {"headers only", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream file(HEADERS + c.body);
        auto list = std::make_unique<SymmetryApplicationList>();
        list->entry_count = 7;  // a list from before
        ASSERT_TRUE(read_cluster_file(file, "hand.cls", *list));
        expect_entries(*list, c.expected);
    }
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(ClusterFilesTest, HostileFilesAreRefusedAndTheListIsKept)
{
    std::string too_many;
    for (int i = 0; i <= MAX_SYMMETRY_APPLICATIONS; ++i)
        too_many += "1 " + std::to_string(i) + " 0 0 1 1\n";
    struct Case {
        const char* name;
        std::string file;
        const char* message_part;
    };
    const std::vector<Case> cases = {
        {"empty file", "", "two header lines are missing"},
        {"one header line", std::string(CLUSTER_TITLE_IN_SPACE) + "\n", "two header lines are missing"},
        {"five values", HEADERS + "1 0 0 0 1\n", "line 3"},
        {"five values, six on the next line", HEADERS + "1 0 0 0 1\n2 0 0 0 1 1\n", "line 3"},
        {"letters", HEADERS + "2 0 0 0 1 1\nabc def\n", "line 4"},
        {"slash ends the values", HEADERS + "1 0 0 0 1 /\n", "line 3"},
        {"empty value", HEADERS + "1,,0,0,1,1\n", "line 3"},
        {"not a number", HEADERS + "1 nan 0 0 1 1\n", "line 3"},
        {"infinite translation", HEADERS + "1 1e400 0 0 1 1\n", "line 3"},
        {"integer overflow", HEADERS + "99999999999 0 0 0 1 1\n", "line 3"},
        {"real operation", HEADERS + "1.5 0 0 0 1 1\n", "line 3"},
        {"binary", HEADERS + std::string("\x01\xff\x7f\x00\x10 9", 7) + "\n", "line 3"},
        // A translation 0.5 cut to 0. would still read.
        {"cut inside a record", HEADERS + "  2     0.00000  0.50000  0.00000       1    2        3", "line 3"},
        {"more entries than the list holds", HEADERS + too_many, "at most 250"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        std::istringstream file(c.file);
        auto list = make_list({{5, 1, 2, 3, 4, 4}});
        EXPECT_FALSE(read_cluster_file(file, "bad.cls", *list));
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
        EXPECT_NE(ui_->answers.messages[0].text.find("bad.cls"), std::string::npos) << ui_->answers.messages[0].text;
        EXPECT_NE(ui_->answers.messages[0].text.find(c.message_part), std::string::npos)
            << ui_->answers.messages[0].text;
        expect_entries(*list, {{5, 1, 2, 3, 4, 4}});
    }
}

TEST_F(ClusterFilesTest, TheDialogGetsTheLinesAsTextCutAtSeventyCharacters)
{
    const std::string long_line = " 1     0.00000  0.00000  1.00000       1    1        2" + std::string(30, 'x');
    std::istringstream file(HEADERS + long_line + "\n");
    std::vector<std::string> lines;
    ASSERT_TRUE(read_cluster_file_lines(file, "gspace.cls", lines));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], CLUSTER_TITLE_IN_SPACE);
    EXPECT_EQ(lines[2], long_line.substr(0, 70));

    std::string too_many = HEADERS;
    for (int i = 0; i <= MAX_SYMMETRY_APPLICATIONS; ++i)
        too_many += "1 0 0 0 1 1\n";
    std::istringstream big(too_many);
    EXPECT_FALSE(read_cluster_file_lines(big, "big.cls", lines));
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(ui_->answers.messages.size(), 1u);
}

TEST_F(ClusterFilesTest, DefaultFilesAreNamedByModeInTheWorkingDirectory)
{
    EXPECT_EQ(default_cluster_file_name(0), "gspace.cls");
    EXPECT_EQ(default_cluster_file_name(1), "unitcell.cls");
    EXPECT_EQ(default_cluster_file_path(0, ""), "gspace.cls");
    EXPECT_EQ(default_cluster_file_path(1, "/data/work"), "/data/work/unitcell.cls");
    EXPECT_EQ(default_cluster_file_path(0, "/data/work/"), "/data/work/gspace.cls");
}

TEST_F(ClusterFilesTest, AFileThatCannotBeWrittenIsReported)
{
    const fs::path folder = fs::temp_directory_path() / "kd_no_such_folder_for_clusters" / "gspace.cls";
    EXPECT_FALSE(write_cluster_file(folder.string(), {CLUSTER_TITLE_IN_SPACE}));
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].text, "Can not write the cluster file " + folder.string() + ".");
}

TEST_F(ClusterFilesTest, AFailedWriteKeepsTheOldFile)
{
    const fs::path folder = fs::temp_directory_path() / ("kd_cluster_write_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path path = folder / "gspace.cls";
    const std::string old = "  1 1 0 0 1 1\n";
    std::ofstream(path, std::ios::binary) << old;
    const std::vector<std::string> lines(40, CLUSTER_TITLE_IN_SPACE);  // 40 records of 61 bytes
    for (long long after : {0LL, 1200LL}) {
        ui_->answers.messages.clear();
        set_safe_write_failure_after(after);
        EXPECT_FALSE(write_cluster_file(path.string(), lines));
        set_safe_write_failure_after(-1);
        EXPECT_EQ(file_text(path), old);
        EXPECT_TRUE(safe_write_temporaries(folder).empty());
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_EQ(ui_->answers.messages[0].text, "Can not write the cluster file " + path.string() + ".");
    }
    fs::remove_all(folder);
}

TEST_F(DefaultClusterFileTest, TheFileOfTheClusterModeMakesTheCluster)
{
    write_file("gspace.cls", "  2     0.00000  0.00000  0.00000       1    1        2\n");
    write_file("unitcell.cls", "  1 1 0 0 1 1\n  1 0 1 0 1 1\n");
    auto model = make_model();
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_DEFAULT_FILE, *model));
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
    ASSERT_EQ(model->atoms.atom_count, 2);
    // -x,y+1/2,-z+1/2 on (0.1,0.2,0.3): (-0.1,0.7,0.2), 10 Angstrom cell.
    EXPECT_NEAR(model->atoms.cart_x[2], -1.0, 1e-12);
    EXPECT_NEAR(model->atoms.cart_y[2], 7.0, 1e-12);
    EXPECT_NEAR(model->atoms.cart_z[2], 2.0, 1e-12);

    model->translations.unit_cell_mode = 1;
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_DEFAULT_FILE, *model));
    EXPECT_EQ(model->atoms.atom_count, 3);
    expect_entries(model->applications, {{1, 1, 0, 0, 1, 1}, {1, 0, 1, 0, 1, 1}});
}

TEST_F(DefaultClusterFileTest, AMissingDefaultFileIsOfferedToTheGenerationDialog)
{
    struct Case {
        const char* name;
        int unit_cell_mode;
        MessageAnswer answer;
        bool dialog_applies;
        int dialog_calls;
        int questions;
        int atoms_after;
    };
    // No keeps the images there are; Yes opens the dialog; in unit-cell mode
    // the dialog comes first and the question only when it was not applied.
    const std::vector<Case> cases = {
        {"no", 0, MessageAnswer::no, true, 0, 1, 2},
        {"yes, applied", 0, MessageAnswer::yes, true, 1, 1, 3},
        {"yes, cancelled", 0, MessageAnswer::yes, false, 1, 1, 2},
        {"unit cell, applied", 1, MessageAnswer::no, true, 1, 0, 3},
        {"unit cell, not applied", 1, MessageAnswer::no, false, 1, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        ui_->answers.message_answers = {c.answer};
        auto model = make_model();
        add_entry(*model, {1, 1, 0, 0, 1, 1});
        ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
        model->translations.unit_cell_mode = c.unit_cell_mode;
        int calls = 0;
        cluster_services().run_generation_dialog = [&](StructureModel& m) {
            ++calls;
            m.applications.entry_count = 0;
            add_entry(m, {1, 0, 1, 0, 1, 1});
            add_entry(m, {1, 0, 0, 1, 1, 1});
            return c.dialog_applies;
        };
        ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_DEFAULT_FILE, *model));
        EXPECT_EQ(calls, c.dialog_calls);
        ASSERT_EQ(static_cast<int>(ui_->answers.messages.size()), c.questions);
        if (c.questions == 1) {
            EXPECT_EQ(ui_->answers.messages[0].text, "File \"GSPACE.CLS\" not found. Do you want to create it?");
            EXPECT_EQ(ui_->answers.messages[0].caption, "Warning!");
            EXPECT_EQ(ui_->answers.messages[0].buttons, MessageButtons::yes_no);
        }
        EXPECT_EQ(model->atoms.atom_count, c.atoms_after);
    }
}

TEST_F(DefaultClusterFileTest, AnUnreadableDefaultFileFailsAndChangesNothing)
{
    auto model = make_model();
    add_entry(*model, {1, 1, 0, 0, 1, 1});
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    const std::vector<std::string> bodies = {
        "  1 0.0 0.0\n",                   // cut short
        "  1 0.0 0.0 0.35 1 1\n",          // not a lattice translation
        "  7 0.0 0.0 1.0 1 1\n",           // no operator 7
        "  1 0.0 0.0 1.0 1 2147483647\n",  // no such atom
    };
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body);
        ui_->answers.messages.clear();
        write_file("gspace.cls", body);
        EXPECT_FALSE(build_symmetry_cluster(CLUSTER_FROM_DEFAULT_FILE, *model));
        EXPECT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_EQ(model->atoms.atom_count, 2);
        EXPECT_EQ(model->applications.entry_count, 1);
        EXPECT_NEAR(model->applications.translation[1][1], 1.0, 0);
    }
}

