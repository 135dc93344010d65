// The safe write keeps the old file whenever the new one cannot be written
// whole, and leaves no temporary behind.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <csignal>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// A long job's waiting thread syncs what its writer has written so far: the
// file keeps every byte in order, and a write that fails still fails whole.
TEST_F(SafeWriteTest, SyncsFromAnotherThreadWhileTheWriterWrites)
{
    const fs::path target = folder / "map.dat";
    std::string expected;
    for (int i = 0; i < 40000; ++i)
        expected += "   " + std::to_string(i) + "   0.12345   -0.6789E-03\n";
    for (long long full_after : {-1LL, 300000LL}) {
        SCOPED_TRACE(full_after);
        put(target, "old map\n");
        set_safe_write_failure_after(full_after);
        SafeWrite file(target.string());
        ASSERT_TRUE(file.is_open());
        std::atomic<bool> written{false};
        std::thread writer([&] {
            for (std::size_t at = 0; at < expected.size(); at += 4000) {
                file.stream() << expected.substr(at, 4000);
                if (at % 40000 == 0)
                    file.start_writeback();
            }
            written.store(true);
        });
        int syncs = 0;
        while (!written.load() || syncs == 0) {
            file.sync_written();
            ++syncs;
        }
        writer.join();
        if (full_after < 0) {
            ASSERT_TRUE(file.commit()) << file.error();
            EXPECT_TRUE(read(target) == expected);
        } else {
            EXPECT_FALSE(file.commit());
            EXPECT_NE(file.error().find(target.string()), std::string::npos) << file.error();
            EXPECT_EQ(read(target), "old map\n");
        }
        EXPECT_EQ(file_count(), 1u);
    }
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

TEST_F(SafeWriteTest, APairIsReplacedOnlyWhenBothFilesAreWhole)
{
    // The second file fails after the first was written out whole: neither
    // old file is replaced and the message names the second.
    const fs::path map = folder / "map.dat", post = folder / "map.pos";
    const std::string map_data(10000, 'm');
    for (long long after : {0LL, 5000LL, 10000LL, 10003LL}) {
        SCOPED_TRACE(after);
        put(map, "old map");
        put(post, "old post");
        set_safe_write_failure_after(after);
        SafeWrite first(map.string()), second(post.string());
        first.stream() << map_data;
        second.stream() << "post records";
        std::string error;
        EXPECT_FALSE(commit_in_order(first, second, error));
        set_safe_write_failure_after(-1);
        EXPECT_NE(error.find(after < 10000 ? "map.dat" : "map.pos"), std::string::npos) << error;
        EXPECT_EQ(read(map), "old map");
        EXPECT_EQ(read(post), "old post");
        EXPECT_EQ(file_count(), 2u);
    }
    // A real failure: the system refuses files beyond a size limit (in a
    // child process, which alone takes the limit).
    const auto over_the_limit = [&] {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 20000;
        std::signal(SIGXFSZ, SIG_IGN);
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 100;
        SafeWrite first(map.string()), second(post.string());
        first.stream() << map_data;
        second.stream() << std::string(30000, 'p');
        std::string error;
        const bool committed = commit_in_order(first, second, error);
        return committed + 2 * (error.find("map.pos") == std::string::npos) + 4 * (read(map) != "old map") +
               8 * (read(post) != "old post") + 16 * (file_count() != 2);
    };
    EXPECT_EXIT(std::_Exit(over_the_limit()), ::testing::ExitedWithCode(0), "");

    SafeWrite first(map.string()), second(post.string());
    first.stream() << map_data;
    second.stream() << "post records";
    std::string error;
    ASSERT_TRUE(commit_in_order(first, second, error)) << error;
    EXPECT_EQ(read(map), map_data);
    EXPECT_EQ(read(post), "post records");
    EXPECT_EQ(file_count(), 2u);
}

TEST_F(SafeWriteTest, ASecondRenameThatFailsPutsTheFirstOldFileBack)
{
    // The post file's name turns into a folder after its temporary was made:
    // its rename fails after the map file's.
    const fs::path map = folder / "map.dat", post = folder / "map.pos";
    for (bool old_map : {true, false}) {
        SCOPED_TRACE(old_map);
        if (old_map)
            put(map, "old map");
        SafeWrite first(map.string()), second(post.string());
        first.stream() << "new map";
        second.stream() << "new post";
        fs::create_directory(post);
        put(post / "inside", "");
        std::string error;
        EXPECT_FALSE(commit_in_order(first, second, error));
        EXPECT_NE(error.find("map.pos"), std::string::npos) << error;
        EXPECT_EQ(fs::exists(map), old_map);
        if (old_map) {
            EXPECT_EQ(read(map), "old map");
        }
        EXPECT_EQ(file_count(), old_map ? 2u : 1u);
        fs::remove_all(post);
        fs::remove(map);
    }
}

TEST_F(SafeWriteTest, TargetsNobodyMayWriteAreRefusedNotReplaced)
{
    // Decided by the mode bits, so root too keeps a read-only file.
    const fs::path target = folder / "model.kdn";
    put(target, "keep");
    ::chmod(target.c_str(), 0444);
    std::string error;
    EXPECT_FALSE(safe_write_file(target.string(), "new", error));
    EXPECT_NE(error.find(target.string()), std::string::npos) << error;
    EXPECT_NE(error.find("is read-only"), std::string::npos) << error;
    EXPECT_EQ(read(target), "keep");
    EXPECT_EQ(file_count(), 1u);

    // Neither is anything but a regular file replaced.
    const fs::path fifo = folder / "pipe.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_FALSE(safe_write_file(fifo.string(), "new", error));
    EXPECT_NE(error.find(fifo.string()), std::string::npos) << error;
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(file_count(), 2u);
}

// An ordinary user: the folder may be written, but not a read-only file of
// their own nor a file of another owner.  Run as root, the case runs in a
// child process that has given up root.
TEST_F(SafeWriteTest, AnOrdinaryUserKeepsFilesTheyMayNotWrite)
{
    const fs::path own = folder / "own.dat", others = folder / "others.dat";
    put(others, "root's");
    ::chmod(others.c_str(), 0644);
    ::chmod(folder.c_str(), 0777);
    const auto attempt = [&] {
        put(own, "mine");
        ::chmod(own.c_str(), 0444);
        std::string error;
        int faults = 0;
        faults += safe_write_file(own.string(), "new", error) || error.find("is read-only") == std::string::npos;
        faults += safe_write_file(others.string(), "new", error) ||
                  error.find(std::strerror(EACCES)) == std::string::npos;
        faults += read(own) != "mine" || read(others) != "root's";
        faults += !safe_write_file((folder / "new.dat").string(), "fresh", error);
        return faults;
    };
    if (::geteuid() != 0) {
        if (::access(others.c_str(), W_OK) == 0)
            GTEST_SKIP() << "no file of another owner to try";
        EXPECT_EQ(attempt(), 0);
        return;
    }
    ASSERT_EQ(::chown(others.c_str(), 0, 0), 0);
    EXPECT_EXIT(
        {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                std::_Exit(100);
            std::_Exit(attempt());
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(SafeWriteTest, ALinkKeepsItsPlaceAndItsTargetGetsTheNewContents)
{
    const fs::path elsewhere = folder / "data";
    fs::create_directory(elsewhere);
    const fs::path real = elsewhere / "map.dat";
    put(real, "old");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink("data/map.dat", folder / "map.dat");
    fs::create_symlink("map.dat", folder / "link2.dat");  // a chain of links
    fs::create_symlink(elsewhere / "missing.dat", folder / "dangling.dat");
    std::string error;
    ASSERT_TRUE(safe_write_file((folder / "map.dat").string(), "new", error)) << error;
    ASSERT_TRUE(safe_write_file((folder / "link2.dat").string(), "newer", error)) << error;
    ASSERT_TRUE(safe_write_file((folder / "dangling.dat").string(), "made", error)) << error;
    for (const char* link : {"map.dat", "link2.dat", "dangling.dat"})
        EXPECT_TRUE(fs::is_symlink(folder / link)) << link;
    EXPECT_EQ(read(real), "newer");
    EXPECT_EQ(read(elsewhere / "missing.dat"), "made");
    struct stat state {};
    ASSERT_EQ(::stat(real.c_str(), &state), 0);
    EXPECT_EQ(state.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 2);

    // A link to a read-only file is refused like the file.
    ::chmod(real.c_str(), 0444);
    EXPECT_FALSE(safe_write_file((folder / "map.dat").string(), "no", error));
    EXPECT_EQ(read(real), "newer");
}

TEST_F(SafeWriteTest, NewFilesTakeTheUmaskAndOldOnesKeepTheirOwner)
{
    const mode_t old_mask = ::umask(027);
    std::string error;
    const bool written = safe_write_file((folder / "new.dat").string(), "x", error);
    ::umask(old_mask);
    ASSERT_TRUE(written) << error;
    struct stat state {};
    ASSERT_EQ(::stat((folder / "new.dat").c_str(), &state), 0);
    EXPECT_EQ(state.st_mode & 0777, 0640u);

    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another owner";
    const fs::path target = folder / "theirs.dat";
    put(target, "old");
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    ASSERT_TRUE(safe_write_file(target.string(), "new", error)) << error;
    ASSERT_EQ(::stat(target.c_str(), &state), 0);
    EXPECT_EQ(state.st_uid, 65534u);
    EXPECT_EQ(state.st_gid, 65534u);
}

TEST_F(SafeWriteTest, TheTemporaryIsClosedOnExecAndNamesItsProcess)
{
    SafeWrite file((folder / "map.dat").string());
    ASSERT_TRUE(file.is_open());
    EXPECT_NE(file.temporary().find("." + std::to_string(::getpid()) + "."), std::string::npos) << file.temporary();
    int descriptors = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code failure;
        if (fs::read_symlink(entry.path(), failure) != fs::path(file.temporary()))
            continue;
        ++descriptors;
        const int fd = std::stoi(entry.path().filename().string());
        EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
    }
    EXPECT_EQ(descriptors, 1);
}

TEST_F(SafeWriteTest, TemporariesOfKilledWritersGoWithTheNextWrite)
{
    const fs::path target = folder / "map.dat";
    put(target, "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SafeWrite file(target.string());
        file.stream() << std::string(100000, 'x');
        file.stream().flush();
        ::kill(::getpid(), SIGKILL);
        std::_Exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(read(target), "old");
    ASSERT_EQ(file_count(), 2u);
    // A running writer's temporary and another file's stay.
    const fs::path running = folder / (".map.dat." + std::to_string(::getppid()) + ".abcdef");
    const fs::path other = folder / ".map.dat.1.12345.abcdef";
    put(running, "");
    put(other, "");
    std::string error;
    ASSERT_TRUE(safe_write_file(target.string(), "new", error)) << error;
    EXPECT_EQ(read(target), "new");
    EXPECT_EQ(file_count(), 3u);
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(other));
}
