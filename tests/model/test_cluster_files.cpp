// Cluster files: the entry line layout, write and read back, hand-made files
// in free form, and files that must be refused.
#include "keldana/model/cluster_files.h"

#include "common/scripted_ui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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
