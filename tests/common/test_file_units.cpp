// Numbered file units: opening rules, sequential text records with rewind
// and backspace, direct access, and the binary layouts, checked against
// files gfortran wrote (gfortran_cases/fixtures.f90).
#include "common/file_units.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path CASE_DIR = fs::path(KD_TEST_DATA_DIR) / "common" / "gfortran_cases";

std::string file_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put_file(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class FileUnitsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("kd_units_test_" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        close_all_units();
        fs::remove_all(dir_);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

UnitOpenOptions options(const std::string& status, const std::string& access = "sequential",
                        const std::string& form = "", int record_length = 0)
{
    UnitOpenOptions o;
    o.status = status;
    o.access = access;
    o.form = form;
    o.record_length = record_length;
    return o;
}

TEST_F(FileUnitsTest, OpenStatuses)
{
    const std::string name = path("a.txt");
    IoStatus s = open_unit(10, name, options("old"));
    EXPECT_GT(s.code, 0);
    EXPECT_NE(s.message.find("a.txt"), std::string::npos);
    EXPECT_FALSE(is_unit_open(10));

    ASSERT_TRUE(open_unit(10, name, options("NEW")).ok());  // words are case-insensitive
    EXPECT_TRUE(is_unit_open(10));
    EXPECT_EQ(unit_file_name(10), name);
    ASSERT_TRUE(write_line(10, "first").ok());
    ASSERT_TRUE(close_unit(10).ok());
    EXPECT_FALSE(is_unit_open(10));
    EXPECT_EQ(unit_file_name(10), "");

    EXPECT_GT(open_unit(10, name, options("new")).code, 0);  // exists already
    ASSERT_TRUE(open_unit(10, name + "   ", options("old")).ok());  // trailing blanks of a name do not count
    std::string line;
    ASSERT_TRUE(read_line(10, line).ok());
    EXPECT_EQ(line, "first");
    ASSERT_TRUE(open_unit(10, name, options("replace")).ok());  // reopening closes the unit first
    EXPECT_TRUE(read_line(10, line).end_of_file());
    EXPECT_EQ(file_bytes(name), "");

    EXPECT_GT(open_unit(11, path("b.txt"), options("sometimes")).code, 0);
    EXPECT_GT(open_unit(11, path("b.txt"), options("unknown", "random")).code, 0);
    EXPECT_GT(open_unit(11, path("b.txt"), options("unknown", "sequential", "packed")).code, 0);
    EXPECT_GT(open_unit(11, path("b.txt"), options("unknown", "direct")).code, 0);  // no record length
    EXPECT_GT(open_unit(-1, path("b.txt")).code, 0);
    EXPECT_GT(open_unit(11, "").code, 0);
    EXPECT_GT(open_unit(11, dir_.string()).code, 0);  // a directory
    EXPECT_FALSE(fs::exists(path("b.txt")));

    ASSERT_TRUE(open_unit(12, path("c.txt")).ok());  // "unknown" creates
    EXPECT_TRUE(fs::exists(path("c.txt")));
}

// An input opened for reading only: never written, and refused at once when
// it is no regular file of sane size.
TEST_F(FileUnitsTest, ReadActionOpensInputsForReadingOnly)
{
    std::ofstream(path("in.txt")) << "line\n";
    ::chmod(path("in.txt").c_str(), 0444);
    UnitOpenOptions input = options("old");
    input.action = "read";
    ASSERT_TRUE(open_unit(10, path("in.txt"), input).ok());
    std::string line;
    ASSERT_TRUE(read_line(10, line).ok());
    EXPECT_EQ(line, "line");
    EXPECT_FALSE(write_line(10, "more").ok());
    close_unit(10);
    EXPECT_EQ(file_bytes(path("in.txt")), "line\n");
    EXPECT_FALSE(open_unit(10, path("missing.txt"), input).ok());

    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    for (const std::string& source : {path("pipe"), std::string("/dev/zero")}) {
        const IoStatus read_only = open_unit(10, source, input);
        EXPECT_NE(read_only.message.find("not a regular file"), std::string::npos) << read_only.message;
        const IoStatus read_write = open_unit(11, source, options("old"));
        EXPECT_NE(read_write.message.find("not a regular file"), std::string::npos) << read_write.message;
    }
    EXPECT_FALSE(is_unit_open(10));
    EXPECT_FALSE(is_unit_open(11));
}

TEST_F(FileUnitsTest, OneFileOnOneUnitOnly)
{
    ASSERT_TRUE(open_unit(1, path("a.txt")).ok());
    const IoStatus s = open_unit(2, (dir_ / "." / "a.txt").string(), options("old"));
    EXPECT_GT(s.code, 0);
    EXPECT_NE(s.message.find("unit 1"), std::string::npos);
    EXPECT_TRUE(open_unit(1, path("a.txt"), options("old")).ok());  // the same unit may reopen it
}

TEST_F(FileUnitsTest, ScratchFilesGoAwayOnClose)
{
    ASSERT_TRUE(open_unit(24, "ignored", options("SCRATCH")).ok());
    const std::string scratch = unit_file_name(24);
    EXPECT_TRUE(fs::exists(scratch));
    ASSERT_TRUE(write_line(24, "    3    1.000").ok());
    ASSERT_TRUE(rewind_unit(24).ok());
    std::string line;
    ASSERT_TRUE(read_line(24, line).ok());
    EXPECT_EQ(line, "    3    1.000");
    ASSERT_TRUE(close_unit(24, "keep").ok());  // kept? never, for a scratch file
    EXPECT_FALSE(fs::exists(scratch));

    ASSERT_TRUE(open_unit(24, "", options("scratch")).ok());
    const std::string second = unit_file_name(24);
    ASSERT_TRUE(open_unit(24, path("real.txt")).ok());  // reopening discards the scratch file
    EXPECT_FALSE(fs::exists(second));
    ASSERT_TRUE(open_unit(25, "", options("scratch")).ok());
    const std::string third = unit_file_name(25);
    close_all_units();
    EXPECT_FALSE(fs::exists(third));
    EXPECT_TRUE(fs::exists(path("real.txt")));
}

TEST_F(FileUnitsTest, CloseKeepsOrDeletes)
{
    ASSERT_TRUE(open_unit(3, path("keep.txt")).ok());
    ASSERT_TRUE(open_unit(4, path("delete.txt")).ok());
    EXPECT_GT(close_unit(3, "destroy").code, 0);
    EXPECT_TRUE(is_unit_open(3));
    EXPECT_TRUE(close_unit(3, "KEEP").ok());
    EXPECT_TRUE(close_unit(4, "delete").ok());
    EXPECT_TRUE(fs::exists(path("keep.txt")));
    EXPECT_FALSE(fs::exists(path("delete.txt")));
    EXPECT_TRUE(close_unit(99).ok());  // not open: nothing to do
}

TEST_F(FileUnitsTest, OperationsOnAUnitThatIsNotOpen)
{
    std::string line;
    std::vector<unsigned char> bytes;
    EXPECT_GT(write_line(7, "x").code, 0);
    EXPECT_GT(read_line(7, line).code, 0);
    EXPECT_GT(rewind_unit(7).code, 0);
    EXPECT_GT(backspace_unit(7).code, 0);
    EXPECT_GT(read_direct(7, 1, line).code, 0);
    EXPECT_GT(read_unformatted(7, bytes).code, 0);
    int i = 0;
    EXPECT_GT(read_list_directed(7, {&i}).code, 0);
    EXPECT_GT(read_formatted(7, "(I3)", {&i}).code, 0);
    EXPECT_GT(write_formatted(7, "(I3)", {1}).code, 0);
    EXPECT_NE(write_line(7, "x").message.find("unit 7"), std::string::npos);
}

TEST_F(FileUnitsTest, SequentialRecordsRewindAndEndOfFile)
{
    put_file(path("in.txt"), "one\r\ntwo\n\nlast without line end");
    ASSERT_TRUE(open_unit(8, path("in.txt"), options("old")).ok());
    std::string line;
    const std::vector<std::string> expected{"one", "two", "", "last without line end"};
    for (const std::string& e : expected) {
        ASSERT_TRUE(read_line(8, line).ok());
        EXPECT_EQ(line, e);
    }
    EXPECT_EQ(read_line(8, line).code, IO_END_OF_FILE);
    EXPECT_TRUE(read_line(8, line).end_of_file());
    ASSERT_TRUE(rewind_unit(8).ok());
    ASSERT_TRUE(read_line(8, line).ok());
    EXPECT_EQ(line, "one");
}

TEST_F(FileUnitsTest, WriteEndsTheFileWhereItWrites)
{
    ASSERT_TRUE(open_unit(8, path("out.txt")).ok());
    for (const char* l : {"a", "b", "c"}) ASSERT_TRUE(write_line(8, l).ok());
    ASSERT_TRUE(rewind_unit(8).ok());
    std::string line;
    ASSERT_TRUE(read_line(8, line).ok());
    ASSERT_TRUE(write_line(8, "B").ok());  // replaces b and drops c
    EXPECT_TRUE(read_line(8, line).end_of_file());
    ASSERT_TRUE(close_unit(8).ok());
    EXPECT_EQ(file_bytes(path("out.txt")), "a\nB\n");

    ASSERT_TRUE(open_unit(8, path("out.txt"), options("old")).ok());
    ASSERT_TRUE(write_line(8, "new").ok());  // the old contents go
    ASSERT_TRUE(close_unit(8).ok());
    EXPECT_EQ(file_bytes(path("out.txt")), "new\n");
}

TEST_F(FileUnitsTest, BackspaceStepsBackOneRecord)
{
    put_file(path("atoms.txt"), "CELL 1 2 3\nC1 0.1 0.2 0.3 1.0\n\nC2 0.4 0.5 0.6\n");
    ASSERT_TRUE(open_unit(23, path("atoms.txt"), options("old")).ok());
    std::string line;
    EXPECT_TRUE(backspace_unit(23).ok());  // at the start: nothing happens
    ASSERT_TRUE(read_line(23, line).ok());
    ASSERT_TRUE(read_line(23, line).ok());
    EXPECT_EQ(line, "C1 0.1 0.2 0.3 1.0");
    // Read a line as text, step back, read it again list-directed.
    ASSERT_TRUE(backspace_unit(23).ok());
    std::string label;
    double x = 0, y = 0, z = 0, occupancy = 0;
    ASSERT_TRUE(read_list_directed(23, {&label, &x, &y, &z, &occupancy}).ok());
    EXPECT_EQ(label, "C1");
    EXPECT_EQ(occupancy, 1.0);
    ASSERT_TRUE(read_line(23, line).ok());  // the empty record
    ASSERT_TRUE(backspace_unit(23).ok());
    ASSERT_TRUE(read_line(23, line).ok());
    EXPECT_EQ(line, "");
    ASSERT_TRUE(read_line(23, line).ok());
    EXPECT_TRUE(read_line(23, line).end_of_file());
    // After an end of file the first backspace only steps back over it.
    ASSERT_TRUE(backspace_unit(23).ok());
    EXPECT_TRUE(read_line(23, line).end_of_file());
    ASSERT_TRUE(backspace_unit(23).ok());
    ASSERT_TRUE(backspace_unit(23).ok());
    ASSERT_TRUE(read_line(23, line).ok());
    EXPECT_EQ(line, "C2 0.4 0.5 0.6");

    // Backspace after a write, over a last line without line end, and over
    // records longer than the search buffer.
    const std::string long_record(10000, 'x');
    ASSERT_TRUE(open_unit(24, path("w.txt")).ok());
    ASSERT_TRUE(write_line(24, long_record).ok());
    ASSERT_TRUE(write_line(24, long_record + "y").ok());
    ASSERT_TRUE(backspace_unit(24).ok());
    ASSERT_TRUE(read_line(24, line).ok());
    EXPECT_EQ(line, long_record + "y");
    ASSERT_TRUE(backspace_unit(24).ok());
    ASSERT_TRUE(backspace_unit(24).ok());
    ASSERT_TRUE(read_line(24, line).ok());
    EXPECT_EQ(line, long_record);
    put_file(path("n.txt"), "a\nlast");
    ASSERT_TRUE(open_unit(25, path("n.txt"), options("old")).ok());
    ASSERT_TRUE(read_line(25, line).ok());
    ASSERT_TRUE(read_line(25, line).ok());
    ASSERT_TRUE(backspace_unit(25).ok());
    ASSERT_TRUE(read_line(25, line).ok());
    EXPECT_EQ(line, "last");
}

TEST_F(FileUnitsTest, FormattedAndListDirectedTransfers)
{
    ASSERT_TRUE(open_unit(3, path("covar.dat"), options("unknown")).ok());
    ASSERT_TRUE(write_formatted(3, "(I5,F9.3)", {3, 1.0}).ok());
    ASSERT_TRUE(write_formatted(3, "(15F11.7)", std::vector<FortranValue>(20, FortranValue(0.5))).ok());
    ASSERT_TRUE(write_formatted(3, "(25I4)", {1, 2, 3}).ok());
    ASSERT_TRUE(write_formatted(3, "*", {12, 2}).ok());
    const IoStatus bad = write_formatted(3, "(I3)", {1.5});
    EXPECT_GT(bad.code, 0);
    EXPECT_FALSE(bad.message.empty());
    ASSERT_TRUE(close_unit(3).ok());
    std::string fifteen;
    for (int i = 0; i < 15; ++i) fifteen += "  0.5000000";
    std::string five;
    for (int i = 0; i < 5; ++i) five += "  0.5000000";
    EXPECT_EQ(file_bytes(path("covar.dat")),
              "    3    1.000\n" + fifteen + "\n" + five + "\n   1   2   3\n          12           2\n");

    ASSERT_TRUE(open_unit(3, path("covar.dat"), options("old")).ok());
    int n = 0;
    double scale = 0;
    ASSERT_TRUE(read_formatted(3, "(I5,F9.3)", {&n, &scale}).ok());
    EXPECT_EQ(n, 3);
    EXPECT_EQ(scale, 1.0);
    std::vector<double> values(20);
    std::vector<FortranTarget> targets;
    for (double& v : values) targets.emplace_back(&v);
    ASSERT_TRUE(read_list_directed(3, targets).ok());  // the row runs over two lines
    EXPECT_EQ(values[19], 0.5);
    int a = 0, b = 0, c = 0;
    ASSERT_TRUE(read_formatted(3, "(3I4)", {&a, &b, &c}).ok());
    EXPECT_EQ(c, 3);
    ASSERT_TRUE(read_list_directed(3, {&a, &b}).ok());
    EXPECT_EQ(a, 12);
    EXPECT_EQ(read_list_directed(3, {&a}).code, IO_END_OF_FILE);
    EXPECT_EQ(read_formatted(3, "(I3)", {&a}).code, IO_END_OF_FILE);

    // A format needing more records than the file holds.
    ASSERT_TRUE(rewind_unit(3).ok());
    EXPECT_EQ(read_formatted(3, "(I5///////I3)", {&a, &b}).code, IO_END_OF_FILE);
    // A bad field is an error, not an end of file.
    ASSERT_TRUE(rewind_unit(3).ok());
    const IoStatus wrong = read_formatted(3, "(A1,I4)", {&a, &b});
    EXPECT_GT(wrong.code, 0);
}

TEST_F(FileUnitsTest, DirectAccessFormattedMatchesGfortran)
{
    ASSERT_TRUE(open_unit(41, path("direct.txt"), options("replace", "direct", "formatted", 12)).ok());
    ASSERT_TRUE(write_direct(41, 2, "second").ok());
    ASSERT_TRUE(write_direct(41, 1, format_line("(I3,F8.3)", {7, 1.5})).ok());
    ASSERT_TRUE(write_direct(41, 3, "third record").ok());
    EXPECT_GT(write_direct(41, 4, "thirteen char").code, 0);  // longer than a record
    EXPECT_GT(write_direct(41, 0, "x").code, 0);
    std::string record;
    ASSERT_TRUE(read_direct(41, 2, record).ok());
    EXPECT_EQ(record, "second      ");
    EXPECT_GT(read_direct(41, 4, record).code, 0);  // no such record
    EXPECT_GT(read_line(41, record).code, 0);       // not a sequential unit
    EXPECT_GT(rewind_unit(41).code, 0);
    ASSERT_TRUE(close_unit(41).ok());
    EXPECT_EQ(file_bytes(path("direct.txt")), file_bytes(CASE_DIR / "direct_formatted.txt"));
}

TEST_F(FileUnitsTest, DirectAccessBinaryRecordsOfTheTextPane)
{
    ASSERT_TRUE(open_unit(41, "", options("scratch", "DIRECT", "BINARY", 150)).ok());
    for (int k = 1; k <= 3; ++k) {
        std::string line(150, ' ');
        line.replace(0, 6, "line " + std::to_string(k));
        ASSERT_TRUE(write_direct(41, k, line).ok());
    }
    std::string record;
    ASSERT_TRUE(read_direct(41, 2, record).ok());
    EXPECT_EQ(record.size(), 150u);
    EXPECT_EQ(record.substr(0, 7), "line 2 ");
    ASSERT_TRUE(read_direct(41, 3, record).ok());
    EXPECT_EQ(record.substr(0, 6), "line 3");
    EXPECT_GT(read_direct(41, 4, record).code, 0);
}

TEST_F(FileUnitsTest, DirectAccessUnformattedMatchesGfortran)
{
    ASSERT_TRUE(open_unit(12, path("du.bin"), options("replace", "direct", "unformatted", 8)).ok());
    std::vector<unsigned char> three, one_and_half;
    append_int32(three, 3);
    append_real64(one_and_half, 1.5);
    ASSERT_TRUE(write_direct(12, 2, std::string(three.begin(), three.end())).ok());
    ASSERT_TRUE(write_direct(12, 1, std::string(one_and_half.begin(), one_and_half.end())).ok());
    ASSERT_TRUE(close_unit(12).ok());
    EXPECT_EQ(file_bytes(path("du.bin")), file_bytes(CASE_DIR / "direct_unformatted.bin"));
}

TEST_F(FileUnitsTest, StreamBytesMatchGfortran)
{
    ASSERT_TRUE(open_unit(46, path("s.ias"), options("unknown", "sequential", "binary")).ok());
    std::vector<unsigned char> bytes;
    append_text(bytes, "IAS");
    append_int32(bytes, 97);
    append_int32(bytes, 121);
    append_real64(bytes, 2.5);
    ASSERT_TRUE(write_bytes(46, bytes.data(), bytes.size()).ok());
    EXPECT_GT(write_line(46, "text").code, 0);  // not a formatted unit
    ASSERT_TRUE(close_unit(46).ok());
    EXPECT_EQ(file_bytes(path("s.ias")), file_bytes(CASE_DIR / "stream.bin"));

    fs::copy_file(CASE_DIR / "stream.bin", path("copy.bin"));
    ASSERT_TRUE(open_unit(46, path("copy.bin"), options("old", "stream")).ok());
    char magic[3];
    std::int32_t counts[2];
    double value = 0;
    ASSERT_TRUE(read_bytes(46, magic, 3).ok());
    ASSERT_TRUE(read_bytes(46, counts, sizeof counts).ok());
    ASSERT_TRUE(read_bytes(46, &value, sizeof value).ok());
    EXPECT_EQ(std::string(magic, 3), "IAS");
    EXPECT_EQ(counts[1], 121);
    EXPECT_EQ(value, 2.5);
    EXPECT_EQ(read_bytes(46, &value, 1).code, IO_END_OF_FILE);
    ASSERT_TRUE(rewind_unit(46).ok());
    ASSERT_TRUE(read_bytes(46, magic, 3).ok());
}

TEST_F(FileUnitsTest, UnformattedSequentialReadsWhatGfortranWrote)
{
    fs::copy_file(CASE_DIR / "unformatted_sequential.bin", path("u.bin"));
    ASSERT_TRUE(open_unit(1, path("u.bin"), options("old", "sequential", "unformatted")).ok());
    std::vector<unsigned char> record;
    ASSERT_TRUE(read_unformatted(1, record).ok());
    RecordDecoder first(record);
    std::int32_t i = 0;
    float r4 = 0;
    double r8 = 0;
    std::string label;
    ASSERT_TRUE(first.int32(i) && first.real32(r4) && first.real64(r8) && first.text(label, 8));
    EXPECT_EQ(i, 7);
    EXPECT_EQ(r4, 2.5f);
    EXPECT_EQ(r8, -1.25);
    EXPECT_EQ(label, "LABEL   ");
    EXPECT_EQ(first.remaining(), 0u);
    EXPECT_FALSE(first.int32(i));  // nothing left

    ASSERT_TRUE(read_unformatted(1, record).ok());
    EXPECT_TRUE(record.empty());
    ASSERT_TRUE(read_unformatted(1, record).ok());
    ASSERT_EQ(record.size(), 400u);
    RecordDecoder values(record);
    ASSERT_TRUE(values.skip(99 * 4) && values.int32(i));
    EXPECT_EQ(i, 100);
    // Back over the array record and read it again.
    ASSERT_TRUE(backspace_unit(1).ok());
    ASSERT_TRUE(read_unformatted(1, record).ok());
    EXPECT_EQ(record.size(), 400u);
    ASSERT_TRUE(read_unformatted(1, record).ok());
    EXPECT_EQ(std::string(record.begin(), record.end()), "A");
    EXPECT_EQ(read_unformatted(1, record).code, IO_END_OF_FILE);
    EXPECT_GT(read_line(1, label).code, 0);  // not a formatted unit
}

TEST_F(FileUnitsTest, UnformattedSequentialWritesGfortransLayout)
{
    ASSERT_TRUE(open_unit(2, path("u.bin"), options("replace", "sequential", "unformatted")).ok());
    std::vector<unsigned char> record;
    append_int32(record, 7);
    append_real32(record, 2.5f);
    append_real64(record, -1.25);
    append_text(record, "LABEL   ");
    ASSERT_TRUE(write_unformatted(2, record).ok());
    ASSERT_TRUE(write_unformatted(2, {}).ok());
    record.clear();
    for (int v = 1; v <= 100; ++v) append_int32(record, v);
    ASSERT_TRUE(write_unformatted(2, record).ok());
    ASSERT_TRUE(write_unformatted(2, {'A'}).ok());
    ASSERT_TRUE(close_unit(2).ok());
    EXPECT_EQ(file_bytes(path("u.bin")), file_bytes(CASE_DIR / "unformatted_sequential.bin"));
}

TEST_F(FileUnitsTest, DamagedUnformattedFilesAreErrorsNotCrashes)
{
    const std::string good = file_bytes(CASE_DIR / "unformatted_sequential.bin");
    const std::string cases[] = {
        good.substr(0, 10),                                   // cut inside the first record
        std::string("\xff\xff\xff\x7f", 4) + good.substr(4),  // a length beyond the file
        good.substr(0, 4) + good.substr(4, 20) + "\x01\x02\x03\x04",  // end marker differs
        "ab",                                                 // shorter than a marker
    };
    for (const std::string& bytes : cases) {
        put_file(path("bad.bin"), bytes);
        ASSERT_TRUE(open_unit(1, path("bad.bin"), options("old", "sequential", "unformatted")).ok());
        std::vector<unsigned char> record;
        const IoStatus s = read_unformatted(1, record);
        EXPECT_GT(s.code, 0);
        EXPECT_FALSE(s.message.empty());
        EXPECT_TRUE(record.empty());
        EXPECT_TRUE(close_unit(1).ok());
    }
}

TEST_F(FileUnitsTest, LongPaths)
{
    fs::path deep = dir_;
    for (int i = 0; i < 4; ++i) deep /= std::string(60, static_cast<char>('a' + i));
    fs::create_directories(deep);
    const std::string name = (deep / "keldana0.out").string();
    ASSERT_GT(name.size(), 250u);
    ASSERT_TRUE(open_unit(8, name).ok());
    ASSERT_TRUE(write_line(8, "listing").ok());
    EXPECT_EQ(unit_file_name(8), name);
    ASSERT_TRUE(close_unit(8).ok());
    EXPECT_EQ(file_bytes(name), "listing\n");
}

}  // namespace

namespace {

class InputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kd_input_file_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

// What is not a regular file would block (a FIFO) or never end (/dev/zero);
// an over-size file is refused before it is read.  Nothing here is opened.
TEST_F(InputFileTest, OnlyRegularFilesOfSaneSizeAreRead)
{
    const fs::path fifo = folder_ / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path small = folder_ / "small.txt";
    std::ofstream(small) << "0123456789";
    const fs::path huge = folder_ / "huge.txt";
    std::ofstream(huge).close();
    fs::resize_file(huge, MAX_INPUT_FILE_BYTES + 1);  // sparse: takes no room
    const fs::path link = folder_ / "link.txt";
    fs::create_symlink(small, link);

    struct Case {
        fs::path path;
        std::uintmax_t limit;
        const char* refusal;  // a part of the reason; empty: may be read
    };
    const Case cases[] = {
        {fifo, MAX_INPUT_FILE_BYTES, "is not a regular file"},
        {"/dev/zero", MAX_INPUT_FILE_BYTES, "is not a regular file"},
        {folder_, MAX_INPUT_FILE_BYTES, "is not a regular file"},
        {huge, MAX_INPUT_FILE_BYTES, "is larger than 256 MB"},
        {small, 9, "is larger than"},
        {small, 10, ""},
        {link, MAX_INPUT_FILE_BYTES, ""},
        {folder_ / "missing.txt", MAX_INPUT_FILE_BYTES, ""},
    };
    for (const Case& c : cases) {
        const std::string reason = input_file_refusal(c.path.string(), c.limit);
        if (*c.refusal == '\0') {
            EXPECT_EQ(reason, "") << c.path;
        } else {
            EXPECT_NE(reason.find(c.refusal), std::string::npos) << c.path << ": " << reason;
            EXPECT_NE(reason.find(c.path.string()), std::string::npos) << reason;
        }
    }

    std::ifstream input;
    std::string refusal;
    EXPECT_FALSE(open_input_file(fifo.string(), input, refusal));
    EXPECT_FALSE(input.is_open());
    EXPECT_NE(refusal.find("not a regular file"), std::string::npos);
    EXPECT_FALSE(open_input_file((folder_ / "missing.txt").string(), input, refusal));
    EXPECT_EQ(refusal, "");
    ASSERT_TRUE(open_input_file(small.string(), input, refusal));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(input), {}), "0123456789");
}

}  // namespace
