#include "common/safe_write.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <streambuf>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::atomic<long long> bytes_until_failure{-1};

// Takes n bytes from the injected budget; false when the "disk" is full.
bool injected_room_for(std::size_t n)
{
    long long left = bytes_until_failure.load();
    while (left >= 0) {
        if (static_cast<long long>(n) > left) {
            bytes_until_failure.store(0);
            return false;
        }
        if (bytes_until_failure.compare_exchange_weak(left, left - static_cast<long long>(n)))
            return true;
    }
    return true;
}

std::string reason_of(int error_number)
{
    return std::strerror(error_number);
}

fs::path folder_of(const fs::path& path)
{
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// Where the chain of symbolic links starting at path ends (path itself when
// it is no link, a missing file for a dangling link); empty with `problem`
// set for a loop or an unreadable link.
std::string followed_links(const std::string& path, std::string& problem)
{
    fs::path at(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat state {};
        if (::lstat(at.c_str(), &state) != 0 || !S_ISLNK(state.st_mode))
            return at.string();
        std::error_code failure;
        const fs::path next = fs::read_symlink(at, failure);
        if (failure) {
            problem = failure.message();
            return {};
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    problem = reason_of(ELOOP);
    return {};
}

// Why an existing file may not be replaced; empty when it may.  The mode
// bits decide first, as an editor's "read-only" does, so root too keeps a
// file nobody may write; then the system's own access check.
std::string replacement_refusal(const std::string& path, const struct stat& state)
{
    if (!S_ISREG(state.st_mode))
        return "it is not a regular file";
    const uid_t user = ::geteuid();
    const bool read_only = user == 0 ? (state.st_mode & 0222) == 0
                                     : state.st_uid == user && (state.st_mode & S_IWUSR) == 0;
    if (read_only)
        return "the file is read-only";
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        return reason_of(errno);
    return {};
}

// The name part every temporary of `destination` starts with.
std::string temporary_prefix(const fs::path& destination)
{
    return "." + destination.filename().string() + ".";
}

// The writing process of a temporary named <prefix><pid>.XXXXXX; 0 when the
// name is not one of ours.
pid_t temporary_owner(const std::string& name, const std::string& prefix)
{
    if (name.size() < prefix.size() + 9 || name.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const std::string rest = name.substr(prefix.size());
    const std::size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 9 || rest.size() - dot - 1 != 6)
        return 0;
    long long pid = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        if (rest[i] < '0' || rest[i] > '9')
            return 0;
        pid = pid * 10 + (rest[i] - '0');
    }
    return static_cast<pid_t>(pid);
}

// Removes temporaries of `destination` left by processes that no longer run.
void remove_dead_temporaries(const fs::path& destination)
{
    const std::string prefix = temporary_prefix(destination);
    std::error_code failure;
    std::vector<fs::path> dead;
    for (fs::directory_iterator entry(folder_of(destination), failure), end; !failure && entry != end;
         entry.increment(failure)) {
        const pid_t owner = temporary_owner(entry->path().filename().string(), prefix);
        if (owner <= 0 || owner == ::getpid())
            continue;
        if (::kill(owner, 0) != 0 && errno == ESRCH && entry->is_regular_file(failure) && !entry->is_symlink(failure))
            dead.push_back(entry->path());
    }
    for (const fs::path& path : dead)
        ::unlink(path.c_str());
}

// Creates a fresh temporary beside `destination`, as the umask allows
// (no process-wide umask change) and closed on exec; -1 with errno set.
std::string temporary_name(const fs::path& destination)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 pick{std::random_device{}()};
    std::string name =
        (folder_of(destination) / (temporary_prefix(destination) + std::to_string(::getpid()) + ".")).string();
    for (int i = 0; i < 6; ++i)
        name += letters[pick() % (sizeof letters - 1)];
    return name;
}

int create_temporary(const fs::path& destination, std::string& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporary_name(destination);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A second name (hard link) for the old file at `destination`, under a
// temporary's name; empty when there is no old file or no link can be made.
std::string link_old_file(const fs::path& destination)
{
    struct stat state {};
    if (::lstat(destination.c_str(), &state) != 0 || !S_ISREG(state.st_mode))
        return {};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporary_name(destination);
        if (::link(destination.c_str(), name.c_str()) == 0)
            return name;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Gives the new file the old one's owner, group and permissions.  Owner and
// group only where the process may set them; any other failure counts.
int keep_attributes(int fd, const struct stat& old_state)
{
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return errno;
    if (now.st_uid != old_state.st_uid || now.st_gid != old_state.st_gid) {
        if (::fchown(fd, old_state.st_uid, old_state.st_gid) != 0) {
            if (errno != EPERM)
                return errno;
            if (now.st_gid != old_state.st_gid && ::fchown(fd, static_cast<uid_t>(-1), old_state.st_gid) != 0
                && errno != EPERM)
                return errno;
        }
    }
    if (::fchmod(fd, old_state.st_mode & 07777) != 0)
        return errno;
    return 0;
}

// Syncs the folder so that the rename survives a power cut.
int sync_folder(const fs::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES ? 0 : errno;  // a folder we may not read cannot be synced
    int result = 0;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        result = errno;
    if (::close(fd) != 0 && result == 0)
        result = errno;
    return result;
}

}  // namespace
// A plain buffered stream over the temporary's descriptor that remembers the
// first failing write.
class SafeWriteBuffer : public std::streambuf {
public:
    explicit SafeWriteBuffer(int fd) : fd_(fd), data_(1 << 16)
    {
        setp(data_.data(), data_.data() + data_.size());
    }
    ~SafeWriteBuffer() override { close_descriptor(); }

    bool failed() const { return error_ != 0 || sync_error_.load() != 0; }
    int error_number() const { return error_ != 0 ? error_ : sync_error_.load(); }

    bool flush_all()
    {
        write_out();
        return !failed();
    }
    bool sync_and_close()
    {
        if (!flush_all())
            return false;
        if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)
            error_ = errno;
        if (close_descriptor() != 0 && error_ == 0)
            error_ = errno;
        return !failed();
    }
    // Hands what is written so far to the disk without waiting for it, so
    // the sync at the end of a long write finds little left to do.
    void start_writeback()
    {
        if (flush_all() && fd_ >= 0)
            ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);  // advice: the final fsync checks
    }
    // The data sync of sync_written; the first error is kept, as the next
    // sync does not report it again.
    void sync_descriptor()
    {
        const long long written = written_.load();
        if (fd_ < 0 || written == synced_)
            return;
        synced_ = written;
        if (::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
            int none = 0;
            sync_error_.compare_exchange_strong(none, errno);
        }
    }
    int close_descriptor()
    {
        if (fd_ < 0)
            return 0;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

protected:
    int_type overflow(int_type ch) override
    {
        write_out();
        if (failed())
            return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }
    int sync() override
    {
        write_out();
        return failed() ? -1 : 0;
    }

private:
    void write_out()
    {
        const char* from = pbase();
        std::size_t left = static_cast<std::size_t>(pptr() - pbase());
        setp(data_.data(), data_.data() + data_.size());
        if (failed() || left == 0)
            return;
        if (!injected_room_for(left)) {
            error_ = ENOSPC;
            return;
        }
        while (left > 0) {
            const ssize_t n = ::write(fd_, from, left);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error_ = errno;
                return;
            }
            from += n;
            left -= static_cast<std::size_t>(n);
            written_.fetch_add(n, std::memory_order_relaxed);
        }
    }

    int fd_;
    int error_ = 0;
    // sync_descriptor's, on another thread than the writer's.
    std::atomic<long long> written_{0};  // bytes handed to the file
    long long synced_ = 0;               // of those, the bytes last synced
    std::atomic<int> sync_error_{0};
    std::vector<char> data_;
};

SafeWrite::SafeWrite(std::string target) : target_(std::move(target))
{
    open_temporary();
    if (!open_) {
        stream_ = std::make_unique<std::ostream>(nullptr);
        stream_->setstate(std::ios::badbit);
    }
}

void SafeWrite::open_temporary()
{
    std::string problem;
    destination_ = followed_links(target_, problem);
    if (destination_.empty()) {
        fail(problem);
        return;
    }
    struct stat old_state {};
    const bool exists = ::stat(destination_.c_str(), &old_state) == 0;
    if (exists) {
        problem = replacement_refusal(destination_, old_state);
        if (!problem.empty()) {
            fail(problem);
            return;
        }
    }
    const int fd = create_temporary(destination_, temporary_);
    if (fd < 0) {
        fail(reason_of(errno));
        temporary_.clear();
        return;
    }
    buffer_ = std::make_unique<SafeWriteBuffer>(fd);
    if (exists) {
        const int failure = keep_attributes(fd, old_state);
        if (failure != 0) {
            fail(reason_of(failure));
            discard();
            return;
        }
    }
    remove_dead_temporaries(destination_);
    stream_ = std::make_unique<std::ostream>(buffer_.get());
    open_ = true;
}

SafeWrite::~SafeWrite()
{
    discard();
}

bool SafeWrite::is_open() const
{
    return open_;
}

std::ostream& SafeWrite::stream()
{
    return *stream_;
}

void SafeWrite::start_writeback()
{
    if (open_ && !finished_ && buffer_)
        buffer_->start_writeback();
}

void SafeWrite::sync_written()
{
    if (open_ && !finished_ && buffer_)
        buffer_->sync_descriptor();
}

void SafeWrite::fail(const std::string& reason)
{
    if (error_.empty())
        error_ = "Can not write file " + target_ + ": " + reason;
}

bool SafeWrite::finish()
{
    if (finished_)
        return true;
    if (!open_) {
        fail("the file is not open");
        return false;
    }
    stream_->flush();
    const bool written = buffer_->sync_and_close() && !stream_->bad();
    if (!written) {
        const int number = buffer_->error_number();
        fail(number != 0 ? reason_of(number) : "write error");
        discard();
        return false;
    }
    finished_ = true;
    return true;
}

bool SafeWrite::commit()
{
    if (!finish())
        return false;
    if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        fail(reason_of(errno));
        discard();
        return false;
    }
    temporary_.clear();
    open_ = false;
    finished_ = false;
    const int failure = sync_folder(folder_of(destination_));
    if (failure != 0) {
        fail(reason_of(failure));
        return false;
    }
    return true;
}

void SafeWrite::discard()
{
    if (buffer_)
        buffer_->close_descriptor();
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    if (open_) {
        open_ = false;
        stream_->setstate(std::ios::badbit);
    }
    finished_ = false;
}

bool safe_write_file(const std::string& path, std::string_view contents, std::string& error)
{
    SafeWrite file(path);
    if (file.is_open())
        file.stream().write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!file.commit()) {
        error = file.error();
        return false;
    }
    return true;
}

bool commit_in_order(SafeWrite& first, SafeWrite& second, std::string& error)
{
    // Nothing is renamed before both new files are whole on disk.
    for (SafeWrite* file : {&first, &second}) {
        if (!file->finish()) {
            first.discard();
            second.discard();
            error = file->error();
            return false;
        }
    }
    // Should the second rename still fail, the first file's old contents
    // come back (or the new first file goes, when there was none before).
    const bool first_existed = ::access(first.destination_.c_str(), F_OK) == 0;
    const std::string old_first = link_old_file(first.destination_);
    if (!first.commit()) {
        second.discard();
        if (!old_first.empty())
            ::unlink(old_first.c_str());
        error = first.error();
        return false;
    }
    if (!second.commit()) {
        if (!old_first.empty())
            ::rename(old_first.c_str(), first.destination_.c_str());
        else if (!first_existed)
            ::unlink(first.destination_.c_str());
        error = second.error();
        return false;
    }
    if (!old_first.empty())
        ::unlink(old_first.c_str());
    return true;
}

void set_safe_write_failure_after(long long bytes)
{
    bytes_until_failure.store(bytes);
}
