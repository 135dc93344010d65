// The converter program run as Keldana runs it: blentrix FILE in a folder,
// "covar.dat" compared byte for byte with the text gfortran wrote for the
// fixture; cut-short and over-size inputs end with a failing exit status and
// leave an earlier "covar.dat" as it was.
#include "covariance_test_files.h"

#include "common/scripted_ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace covariance_test;

namespace {

const std::string OLD_OUTPUT = "an earlier covar.dat\n";

class BlentrixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = make_scratch_folder("kd_blentrix");
        ASSERT_FALSE(folder_.empty());
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    ProcessResult run(const std::vector<std::string>& args)
    {
        return run_child_process(BLENTRIX, args, folder_.string(), true);
    }

    // Runs the converter on `bytes` with an earlier "covar.dat" in place and
    // checks that it failed without touching that file.
    void expect_refused(const std::string& bytes, const std::string& what)
    {
        put_file(folder_ / "bad.mat", bytes);
        put_file(folder_ / "covar.dat", OLD_OUTPUT);
        const ProcessResult result = run({"bad.mat"});
        EXPECT_TRUE(result.started) << what;
        EXPECT_NE(result.exit_code, 0) << what;
        EXPECT_EQ(file_bytes(folder_ / "covar.dat"), OLD_OUTPUT) << what;
        EXPECT_FALSE(fs::exists(folder_ / "covar.dat.tmp")) << what;
    }

    fs::path folder_;
};

struct ConversionCase {
    const char* input;
    const char* expected;
};

TEST_F(BlentrixTest, WritesTheFixturesTextsByteForByte)
{
    for (const ConversionCase c : {ConversionCase{"small.mat", "small_covar.dat"},
                                   ConversionCase{"empty.mat", "empty_covar.dat"}}) {
        SCOPED_TRACE(c.input);
        // A folder and a name with blanks: the path must reach the program as one argument.
        const fs::path sub = folder_ / "runs of MOLLY";
        fs::create_directories(sub);
        fs::copy_file(FIXTURES / c.input, sub / "a matrix.mat", fs::copy_options::overwrite_existing);
        put_file(folder_ / "covar.dat", OLD_OUTPUT);

        const ProcessResult result = run({(sub / "a matrix.mat").string()});
        ASSERT_TRUE(result.started);
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(file_bytes(folder_ / "covar.dat"), file_bytes(FIXTURES / c.expected));
        EXPECT_FALSE(fs::exists(folder_ / "covar.dat.tmp"));
    }
}

TEST_F(BlentrixTest, TakesAPathRelativeToItsFolder)
{
    fs::copy_file(FIXTURES / "small.mat", folder_ / "small.mat");
    const ProcessResult result = run({"small.mat"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(file_bytes(folder_ / "covar.dat"), file_bytes(FIXTURES / "small_covar.dat"));
}

TEST_F(BlentrixTest, RefusesAFileCutShortAtEveryRecord)
{
    const std::string whole = file_bytes(FIXTURES / "small.mat");
    const SplitFile split = split_records(whole);
    ASSERT_EQ(split.records.size(), 9u);
    for (std::size_t r = 0; r < split.records.size(); ++r) {
        const std::size_t start = split.offsets[r];
        expect_refused(whole.substr(0, start), "missing record " + std::to_string(r + 1));
        expect_refused(whole.substr(0, start + 4 + split.records[r].size() / 2),
                       "record " + std::to_string(r + 1) + " cut in the middle");
    }
}

TEST_F(BlentrixTest, RefusesRecordsShorterThanTheirContents)
{
    const SplitFile split = split_records(file_bytes(FIXTURES / "small.mat"));
    for (std::size_t r = 0; r < split.records.size(); ++r) {
        if (split.records[r].empty())
            continue;
        std::vector<Record> records = split.records;
        records[r].resize(records[r].size() - 1);
        expect_refused(join_records(records), "record " + std::to_string(r + 1) + " one byte short");
    }
}

// The reason of a refusal names the input file once, whatever failed.
TEST_F(BlentrixTest, ARefusalNamesTheFileOnce)
{
    const std::string whole = file_bytes(FIXTURES / "small.mat");
    const SplitFile split = split_records(whole);
    const std::pair<std::string, const char*> cases[] = {
        {whole.substr(0, split.offsets[1]), "record 2: the file ends before it"},
        {whole.substr(0, split.offsets[1] + 6), "record 2: the record is damaged"},
        {std::string(), "record 1: the file ends before it"},
    };
    for (const auto& [bytes, reason] : cases) {
        put_file(folder_ / "bad.mat", bytes);
        const ProcessResult result = run({"bad.mat"});
        EXPECT_EQ(result.exit_code, 1) << reason;
        const std::string& text = result.error_output;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
        EXPECT_NE(text.find("bad.mat"), std::string::npos) << text;
        EXPECT_EQ(text.find("bad.mat"), text.rfind("bad.mat")) << text;
    }
    const ProcessResult missing = run({"missing.mat"});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.error_output.find("missing.mat"), std::string::npos) << missing.error_output;
    EXPECT_EQ(missing.error_output.find("missing.mat"), missing.error_output.rfind("missing.mat"))
        << missing.error_output;
}

// -h and --help print the usage and convert nothing; no argument or two
// are refused with the usage on the standard error.
TEST_F(BlentrixTest, HelpPrintsTheUsage)
{
    for (const char* option : {"-h", "--help"}) {
        const std::string command = "cd '" + folder_.string() + "' && '" + BLENTRIX + "' " + option;
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        EXPECT_EQ(pclose(pipe), 0) << option;
        EXPECT_EQ(output.rfind("usage: blentrix FILE\n", 0), 0u) << output;
        EXPECT_FALSE(fs::exists(folder_ / "covar.dat")) << option;
    }
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
        const ProcessResult result = run(args);
        EXPECT_EQ(result.exit_code, 1);
        EXPECT_EQ(result.error_output.rfind("usage: blentrix FILE\n", 0), 0u) << result.error_output;
    }
}

struct HeaderCase {
    const char* what;
    std::size_t item;  // 1-based item of record 2
    int value;
};

TEST_F(BlentrixTest, RefusesCountsBeyondItsCapacities)
{
    const SplitFile split = split_records(file_bytes(FIXTURES / "small.mat"));
    const HeaderCase cases[] = {
        {"121 atoms", 2, 121},
        {"negative atom count", 2, -1},
        {"4301 parameters", 3, 4301},
        {"501 refined parameters", 4, 501},
        {"negative refined count", 4, -5},
        {"negative first group", 5, -1},
        {"atoms' parameters beyond the table", 5, 1500},
    };
    for (const HeaderCase& c : cases) {
        std::vector<Record> records = split.records;
        put_int32(records[1], c.item - 1, c.value);
        expect_refused(join_records(records), c.what);
    }
}

TEST_F(BlentrixTest, RefusesRefinedPositionsOutsideTheRefinedList)
{
    const SplitFile split = split_records(file_bytes(FIXTURES / "small.mat"));
    constexpr std::size_t POSITIONS = 5;  // record 6 (record 4 is present)
    for (int position : {-1, 29}) {
        std::vector<Record> records = split.records;
        put_int32(records[POSITIONS], 2, position);
        expect_refused(join_records(records), "position " + std::to_string(position));
    }
}

void put_real32(Record& record, std::size_t byte_offset, float value)
{
    ASSERT_LE(byte_offset + 4, record.size());
    std::memcpy(record.data() + byte_offset, &value, 4);
}

struct ValueCase {
    const char* what;
    std::size_t record;       // 0-based
    std::size_t byte_offset;  // within the record's data
    float value;
};

// Values the text could not hold: non-finite ones, those that fill their
// field with asterisks, and those that leave no blank before them.
TEST_F(BlentrixTest, RefusesValuesThatDoNotFitTheirFields)
{
    const SplitFile split = split_records(file_bytes(FIXTURES / "small.mat"));
    constexpr std::size_t SCALE = 20;  // R5 of record 1
    constexpr std::size_t TRIANGLE = 6;  // record 7 (record 4 is present)
    const float inf = std::numeric_limits<float>::infinity();
    const ValueCase cases[] = {
        {"scale NaN", 0, SCALE, std::numeric_limits<float>::quiet_NaN()},
        {"scale infinite", 0, SCALE, inf},
        {"scale 99999 runs into the count", 0, SCALE, 99999.0f},
        {"scale beyond the field", 0, SCALE, 1.0e7f},
        {"covariance NaN", TRIANGLE, 0, std::numeric_limits<float>::quiet_NaN()},
        {"covariance -infinity", TRIANGLE, 8, -inf},
        {"covariance of asterisks", TRIANGLE, 4, 12345.0f},
        {"covariance with no blank before it", TRIANGLE, 4, -10.5f},
    };
    for (const ValueCase& c : cases) {
        std::vector<Record> records = split.records;
        put_real32(records[c.record], c.byte_offset, c.value);
        expect_refused(join_records(records), c.what);
    }
}

TEST_F(BlentrixTest, RefusesAnInputThatIsNotARegularFile)
{
    fs::create_directory(folder_ / "folder.mat");
    put_file(folder_ / "covar.dat", OLD_OUTPUT);
    for (const char* input : {"folder.mat", "/dev/zero"}) {
        const ProcessResult result = run({input});
        EXPECT_EQ(result.exit_code, 1) << input;
        EXPECT_EQ(file_bytes(folder_ / "covar.dat"), OLD_OUTPUT) << input;
    }
}

// A link or a folder named like a temporary of the output is neither
// written through nor removed.
TEST_F(BlentrixTest, LeavesALinkOrFolderNamedLikeItsTemporaryAlone)
{
    fs::copy_file(FIXTURES / "small.mat", folder_ / "small.mat");
    const fs::path elsewhere = folder_ / "elsewhere.txt";
    put_file(elsewhere, "not to be written\n");
    fs::create_symlink(elsewhere, folder_ / "covar.dat.tmp");
    EXPECT_EQ(run({"small.mat"}).exit_code, 0);
    EXPECT_EQ(file_bytes(elsewhere), "not to be written\n");
    EXPECT_EQ(file_bytes(folder_ / "covar.dat"), file_bytes(FIXTURES / "small_covar.dat"));

    fs::remove(folder_ / "covar.dat.tmp");
    fs::create_directory(folder_ / "covar.dat.tmp");
    EXPECT_EQ(run({"small.mat"}).exit_code, 0);
    EXPECT_TRUE(fs::is_directory(folder_ / "covar.dat.tmp"));
}

TEST_F(BlentrixTest, FailsWithoutItsInput)
{
    put_file(folder_ / "covar.dat", OLD_OUTPUT);
    EXPECT_NE(run({}).exit_code, 0);
    EXPECT_NE(run({"missing.mat"}).exit_code, 0);
    EXPECT_EQ(file_bytes(folder_ / "covar.dat"), OLD_OUTPUT);
}

}  // namespace
