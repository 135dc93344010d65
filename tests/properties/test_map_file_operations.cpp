// Operations on two small 2-D map files written by hand: sum, difference,
// cut-off and the inverted sign, maps of different grids, short files, 3-D
// map files, the paths that are refused before any file is touched, and an
// existing target kept whole when a source or the disk fails.
#include "keldana/properties/map_file_operations.h"
#include "common/safe_write.h"
#include "support/unreadable_inputs.h"
#include "test_map_support.h"

#include <string>
#include <vector>

namespace {

using namespace map_tests;

// Two 2 x 2 maps on the same grid, in the grid map layout with its final
// empty record.
const char* const MAP_A = "     0.00000     0.00000      -0.3000000E+01\n"
                          "     0.50000     0.00000       0.5000000E+00\n"
                          "     0.00000     0.50000       0.2000000E+01\n"
                          "     0.50000     0.50000       0.0000000E+00\n"
                          "\n";
const char* const MAP_B = "     0.00000     0.00000       0.1250000E+01\n"
                          "     0.50000     0.00000      -0.2500000E+00\n"
                          "     0.00000     0.50000       0.1000000E+01\n"
                          "     0.50000     0.50000       0.7500000E+00\n"
                          "\n";

const std::string SUCCESS = "Map files operation: The process is completed successfully!";

class MapFileOperationsTest : public MapTest {
protected:
    void SetUp() override
    {
        MapTest::SetUp();
        write_file(directory_ / "a.dat", MAP_A);
        write_file(directory_ / "b.dat", MAP_B);
    }

    bool run(MapFileOperation operation, const std::string& source_1, const std::string& source_2,
             const std::string& target, bool invert = false, const std::string& cut_off = "")
    {
        ui_->answers.messages.clear();
        MapFileOperationRequest request;
        request.operation = operation;
        request.invert_sign = invert;
        request.source_1 = source_1;
        request.source_2 = source_2;
        request.target = target;
        request.cut_off_text = cut_off;
        return run_map_file_operation(request);
    }

    std::string message()
    {
        const auto& messages = ui_->answers.messages;
        return messages.size() == 1 ? messages[0].caption + ": " + messages[0].text : ui_->answers.message_log();
    }

    MessageIcon icon() { return ui_->answers.messages.empty() ? MessageIcon::none : ui_->answers.messages[0].icon; }

    std::vector<std::string> values(const std::string& name) const
    {
        std::vector<std::string> result;
        for (const std::string& line : file_lines(directory_ / name))
            result.push_back(line.size() > 28 ? line.substr(28) : line);
        return result;
    }
};

TEST_F(MapFileOperationsTest, SumAndDifferencePointByPoint)
{
    ASSERT_TRUE(run(MapFileOperation::addition, "a.dat", "b.dat", "sum.dat")) << message();
    EXPECT_EQ(message(), SUCCESS);
    EXPECT_EQ(icon(), MessageIcon::information);
    const std::vector<std::string> sum = file_lines(directory_ / "sum.dat");
    const std::vector<std::string> expected = {
        "     0.00000     0.00000      -0.1750000E+01",
        "     0.50000     0.00000       0.2500000E+00",
        "     0.00000     0.50000       0.3000000E+01",
        "     0.50000     0.50000       0.7500000E+00",
    };
    EXPECT_EQ(sum, expected);

    ASSERT_TRUE(run(MapFileOperation::subtraction, "a.dat", "b.dat", "diff.dat", true));
    const std::vector<std::string> difference = {"   0.4250000E+01", "  -0.7500000E+00", "  -0.1000000E+01",
                                                 "   0.7500000E+00"};
    EXPECT_EQ(values("diff.dat"), difference);

    // A map with itself: doubled values and zeros, coordinates copied.
    ASSERT_TRUE(run(MapFileOperation::addition, "a.dat", "a.dat", "twice.dat"));
    EXPECT_EQ(values("twice.dat")[0], "  -0.6000000E+01");
    ASSERT_TRUE(run(MapFileOperation::subtraction, "a.dat", "a.dat", "zero.dat"));
    for (const std::string& value : values("zero.dat"))
        EXPECT_EQ(value, "   0.0000000E+00");
    EXPECT_EQ(file_lines(directory_ / "zero.dat")[2].substr(0, 24), "     0.00000     0.50000");
}

TEST_F(MapFileOperationsTest, CutOffKeepsTheSign)
{
    ASSERT_TRUE(run(MapFileOperation::cut_off, "a.dat", "", "cut.dat", false, "1.5"));
    std::vector<std::string> expected = {"  -0.1500000E+01", "   0.5000000E+00", "   0.1500000E+01",
                                         "   0.0000000E+00"};
    EXPECT_EQ(values("cut.dat"), expected);
    ASSERT_TRUE(run(MapFileOperation::cut_off, "a.dat", "no such file", "cut.dat", true, "  1.5       "));
    expected = {"   0.1500000E+01", "  -0.5000000E+00", "  -0.1500000E+01", "  -0.0000000E+00"};
    EXPECT_EQ(values("cut.dat"), expected);
    // More than the box's ten characters is refused, not cut to "  1.5     ".
    EXPECT_FALSE(run(MapFileOperation::cut_off, "a.dat", "", "cut.dat", false, "  1.5     9"));
    EXPECT_EQ(message(), "Error!: Can not read cutoff value! Please, check it!");
    EXPECT_FALSE(run(MapFileOperation::cut_off, "a.dat", "", "cut.dat", false, "abc"));
    EXPECT_EQ(message(), "Error!: Can not read cutoff value! Please, check it!");
    EXPECT_EQ(icon(), MessageIcon::error);
    EXPECT_EQ(values("cut.dat").size(), 4u);  // the target is not touched
}

TEST_F(MapFileOperationsTest, DifferentGridsStopAtTheFirstDifferentPoint)
{
    std::string other = MAP_B;
    other.replace(other.find("0.00000     0.50000"), 19, "0.00000     0.40000");
    write_file(directory_ / "other.dat", other);
    EXPECT_FALSE(run(MapFileOperation::addition, "a.dat", "other.dat", "sum.dat"));
    EXPECT_EQ(message(), "Error!: Maps calculated with different steps");
    // A part of the result is not left to pass for the whole.
    EXPECT_FALSE(std::filesystem::exists(directory_ / "sum.dat"));

    // A shorter second file ends the operation as a success.
    write_file(directory_ / "short.dat", "     0.00000     0.00000       0.1000000E+01\n");
    ASSERT_TRUE(run(MapFileOperation::addition, "a.dat", "short.dat", "sum.dat"));
    EXPECT_EQ(message(), SUCCESS);
    EXPECT_EQ(values("sum.dat"), std::vector<std::string>{"  -0.2000000E+01"});

    // A record that is not three numbers is reported.
    write_file(directory_ / "bad.dat", "0.0 0.0 1.0\n0.5 0.0 x\n");
    EXPECT_FALSE(run(MapFileOperation::cut_off, "bad.dat", "", "cut.dat", false, "1"));
    EXPECT_EQ(message(), "Error!: Can not read data. Please, check SOURCE FILE #1");
    EXPECT_FALSE(std::filesystem::exists(directory_ / "cut.dat"));
}

TEST_F(MapFileOperationsTest, ThreeDimensionalMapFilesAreRefused)
{
    // A 3-D record is x, y, z, P: read as x, y, P it would pass z for P.
    const std::string map_3d = "     0.00000     0.00000    -1.00000       0.1250000E+01\n"
                               "     0.50000     0.00000    -1.00000      -0.2500000E+00\n\n";
    write_file(directory_ / "c.dat", map_3d);
    const std::string old = "old target\n";
    write_file(directory_ / "t.dat", old);
    const struct {
        MapFileOperation operation;
        const char* source_1;
        const char* source_2;
        const char* message;
    } cases[] = {
        {MapFileOperation::addition, "c.dat", "a.dat", "Error!: Can not read data. Please, check SOURCE FILE #1"},
        {MapFileOperation::subtraction, "a.dat", "c.dat", "Error!: Can not read data. Please, check SOURCE FILE #2"},
        {MapFileOperation::cut_off, "c.dat", "", "Error!: Can not read data. Please, check SOURCE FILE #1"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(run(c.operation, c.source_1, c.source_2, "t.dat", false, "1")) << c.source_1;
        EXPECT_EQ(message(), c.message) << c.source_1 << " " << c.source_2;
        EXPECT_EQ(file_text(directory_ / "t.dat"), old);
    }
    // Three numbers and a comment after a slash are still a 2-D record.
    write_file(directory_ / "d.dat", "0.0 0.0 2.0 / from a 3-D map\n");
    ASSERT_TRUE(run(MapFileOperation::cut_off, "d.dat", "", "t.dat", false, "1")) << message();
    EXPECT_EQ(values("t.dat"), std::vector<std::string>{"   0.1000000E+01"});
    EXPECT_TRUE(safe_write_temporaries(directory_).empty());
}

TEST_F(MapFileOperationsTest, AnExistingTargetIsReplacedOnlyByAWholeResult)
{
    const std::string old = "     9.00000     9.00000       0.9000000E+01\n";
    std::string other = MAP_B;
    other.replace(other.find("0.00000     0.50000"), 19, "0.00000     0.40000");
    write_file(directory_ / "other.dat", other);
    write_file(directory_ / "bad.dat", "0.0 0.0 1.0\n0.5 0.0 x\n");
    const struct {
        MapFileOperation operation;
        const char* source_1;
        const char* source_2;
        long long fail_after;  // -1: the disk does not fail
        const char* message;
    } cases[] = {
        {MapFileOperation::addition, "a.dat", "other.dat", -1, "Error!: Maps calculated with different steps"},
        {MapFileOperation::addition, "a.dat", "bad.dat", -1, "Error!: Can not read data. Please, check SOURCE FILE #2"},
        {MapFileOperation::cut_off, "bad.dat", "", -1, "Error!: Can not read data. Please, check SOURCE FILE #1"},
        {MapFileOperation::addition, "a.dat", "b.dat", 0, "t.dat"},
        {MapFileOperation::addition, "a.dat", "b.dat", 90, "t.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        write_file(directory_ / "t.dat", old);
        set_safe_write_failure_after(c.fail_after);
        EXPECT_FALSE(run(c.operation, c.source_1, c.source_2, "t.dat", false, "1"));
        set_safe_write_failure_after(-1);
        EXPECT_NE(message().find(c.message), std::string::npos) << message();
        EXPECT_EQ(file_text(directory_ / "t.dat"), old);
        EXPECT_TRUE(safe_write_temporaries(directory_).empty());
    }
    ASSERT_TRUE(run(MapFileOperation::addition, "a.dat", "b.dat", "t.dat"));
    EXPECT_EQ(values("t.dat").size(), 4u);
}

TEST_F(MapFileOperationsTest, BadPathsAreRefusedBeforeAnyFileIsWritten)
{
    struct Case {
        MapFileOperation operation;
        const char* source_1;
        const char* source_2;
        const char* target;
        const char* message;
    };
    const std::vector<Case> cases = {
        {MapFileOperation::addition, "", "b.dat", "t.dat", "Error!: Please, check path for SOURCE FILE #1"},
        {MapFileOperation::addition, "missing.dat", "b.dat", "t.dat", "Error!: Please, check path for SOURCE FILE #1"},
        {MapFileOperation::addition, "a.dat", "   ", "t.dat", "Error!: Please, check path for SOURCE FILE #2"},
        {MapFileOperation::subtraction, "a.dat", "missing.dat", "t.dat",
         "Error!: Please, check path for SOURCE FILE #2"},
        {MapFileOperation::addition, "a.dat", "b.dat", "", "Error!: Please, check path for TARGET FILE"},
        {MapFileOperation::addition, "a.dat", "b.dat", "no/such/folder/t.dat",
         "Error!: Please, check path for TARGET FILE"},
        // A target that is a source would be emptied before it is read.
        {MapFileOperation::addition, "a.dat", "b.dat", "./b.dat", "Error!: Please, check path for TARGET FILE"},
        {MapFileOperation::cut_off, "a.dat", "", "a.dat", "Error!: Please, check path for TARGET FILE"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(run(c.operation, c.source_1, c.source_2, c.target, false, "1")) << c.source_1 << c.target;
        EXPECT_EQ(message(), c.message) << c.source_1 << " " << c.source_2 << " " << c.target;
    }
    EXPECT_FALSE(std::filesystem::exists(directory_ / "t.dat"));
    EXPECT_EQ(file_text(directory_ / "a.dat"), MAP_A);
    EXPECT_EQ(file_text(directory_ / "b.dat"), MAP_B);
}

TEST_F(MapFileOperationsTest, ASourceCutInsideARecordIsRefused)
{
    // "0.0000000E+00" cut to "0.00" would read as the same value: a record
    // without its line end is refused whatever it holds.
    const std::string whole = MAP_A;
    const std::size_t last = whole.rfind('\n', whole.size() - 3) + 1;
    for (std::size_t end = last + 6; end < whole.size() - 1; ++end) {  // from the first digit on
        SCOPED_TRACE(end);
        write_file(directory_ / "cut.dat", whole.substr(0, end));
        EXPECT_FALSE(run(MapFileOperation::cut_off, "cut.dat", "", "t.dat", false, "1"));
        EXPECT_EQ(message(), "Error!: Can not read data. Please, check SOURCE FILE #1");
        EXPECT_FALSE(run(MapFileOperation::addition, "b.dat", "cut.dat", "t.dat"));
        EXPECT_EQ(message(), "Error!: Can not read data. Please, check SOURCE FILE #2");
    }
    EXPECT_FALSE(std::filesystem::exists(directory_ / "t.dat"));
}

TEST_F(MapFileOperationsTest, SourcesThatAreNoMapFilesAreRefusedAtOnce)
{
    for (const std::string& source : unreadable_inputs(directory_, ".dat")) {
        SCOPED_TRACE(source);
        EXPECT_FALSE(run(MapFileOperation::cut_off, source, "", "t.dat", false, "1"));
        EXPECT_NE(message().find(source), std::string::npos) << message();
        EXPECT_FALSE(run(MapFileOperation::addition, "a.dat", source, "t.dat"));
        EXPECT_NE(message().find(source), std::string::npos) << message();
    }
    EXPECT_FALSE(std::filesystem::exists(directory_ / "t.dat"));
}

}  // namespace
