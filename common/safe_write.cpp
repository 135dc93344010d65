#include "common/safe_write.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <streambuf>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

    bool failed() const { return error_ != 0; }
    int error_number() const { return error_; }

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
        }
    }

    int fd_;
    int error_ = 0;
    std::vector<char> data_;
};

SafeWrite::SafeWrite(std::string target) : target_(std::move(target))
{
    namespace fs = std::filesystem;
    const fs::path path(target_);
    fs::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        fail(reason_of(errno));
        stream_ = std::make_unique<std::ostream>(nullptr);
        stream_->setstate(std::ios::badbit);
        return;
    }
    temporary_ = name.data();
    // The new file keeps the old one's permissions, or takes the usual ones.
    struct stat old_state {};
    if (::stat(target_.c_str(), &old_state) == 0 && S_ISREG(old_state.st_mode)) {
        ::fchmod(fd, old_state.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    buffer_ = std::make_unique<SafeWriteBuffer>(fd);
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

void SafeWrite::fail(const std::string& reason)
{
    if (error_.empty())
        error_ = "Can not write file " + target_ + ": " + reason;
}

bool SafeWrite::commit()
{
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
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail(reason_of(errno));
        discard();
        return false;
    }
    temporary_.clear();
    open_ = false;
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
    if (!first.commit()) {
        second.discard();
        error = first.error();
        return false;
    }
    if (!second.commit()) {
        error = second.error();
        return false;
    }
    return true;
}

void set_safe_write_failure_after(long long bytes)
{
    bytes_until_failure.store(bytes);
}
