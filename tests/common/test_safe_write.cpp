// The safe write keeps the old file whenever the new one cannot be written
// whole, and leaves no temporary behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "common/safe_write.h"

namespace fs = std::filesystem;

namespace {

struct SafeWriteTest : ::testing::Test {
    fs::path folder;
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("safe_write_" + std::to_string(::getpid()) + "_" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        set_safe_write_failure_after(-1);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }
    std::string read(const fs::path& path) const
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void put(const fs::path& path, const std::string& text) const
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    // Only the named files are in the folder (no temporary left).
    std::size_t file_count() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
};

}  // namespace

TEST_F(SafeWriteTest, ReplacesTheOldFileOnlyWhenCommitted)
{
    const fs::path target = folder / "map.dat";
    put(target, "old contents\n");
    {
        SafeWrite file(target.string());
        ASSERT_TRUE(file.is_open());
        file.stream() << "new contents\n";
        EXPECT_EQ(read(target), "old contents\n");
        EXPECT_EQ(file_count(), 2u);
        ASSERT_TRUE(file.commit()) << file.error();
    }
    EXPECT_EQ(read(target), "new contents\n");
    EXPECT_EQ(file_count(), 1u);

    {
        SafeWrite abandoned(target.string());
        abandoned.stream() << "never kept\n";
    }
    EXPECT_EQ(read(target), "new contents\n");
    EXPECT_EQ(file_count(), 1u);
}

TEST_F(SafeWriteTest, AFullDiskKeepsTheOldFileAndNamesIt)
{
    const fs::path target = folder / "covar.dat";
    const std::string old(5000, 'o');
    put(target, old);
    set_safe_write_failure_after(4096);
    SafeWrite file(target.string());
    for (int i = 0; i < 20000; ++i)
        file.stream() << "0.1234567 ";
    EXPECT_FALSE(file.commit());
    EXPECT_NE(file.error().find(target.string()), std::string::npos) << file.error();
    EXPECT_EQ(read(target), old);
    EXPECT_EQ(file_count(), 1u);

    std::string error;
    set_safe_write_failure_after(3);
    EXPECT_FALSE(safe_write_file(target.string(), "short but too long", error));
    EXPECT_EQ(read(target), old);
    EXPECT_EQ(file_count(), 1u);
}

TEST_F(SafeWriteTest, RefusesFoldersItCannotWriteAndTargetsThatAreFolders)
{
    std::string error;
    EXPECT_FALSE(safe_write_file((folder / "missing" / "a.dat").string(), "x", error));
    EXPECT_NE(error.find("a.dat"), std::string::npos);

    fs::create_directory(folder / "cps.dat");
    EXPECT_FALSE(safe_write_file((folder / "cps.dat").string(), "x", error));
    EXPECT_TRUE(fs::is_directory(folder / "cps.dat"));
    EXPECT_EQ(file_count(), 1u);

    if (::geteuid() != 0) {  // root writes anywhere
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(safe_write_file((folder / "b.dat").string(), "x", error));
    }
}

TEST_F(SafeWriteTest, KeepsTheOldPermissionsAndDoesNotFollowLinks)
{
    const fs::path target = folder / "model.kdn";
    put(target, "old");
    ::chmod(target.c_str(), 0640);
    std::string error;
    ASSERT_TRUE(safe_write_file(target.string(), "new", error)) << error;
    struct stat state {};
    ASSERT_EQ(::stat(target.c_str(), &state), 0);
    EXPECT_EQ(state.st_mode & 0777, 0640u);

    // A link where a fixed temporary name might be is never written through.
    const fs::path elsewhere = folder / "elsewhere";
    put(elsewhere, "untouched");
    fs::create_symlink(elsewhere, folder / "covar.dat.tmp");
    ASSERT_TRUE(safe_write_file((folder / "covar.dat").string(), "rows", error)) << error;
    EXPECT_EQ(read(elsewhere), "untouched");
    EXPECT_EQ(read(folder / "covar.dat"), "rows");
}
