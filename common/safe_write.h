// Writing a file so that a failure never costs the old one: the data go to a
// temporary in the target's folder (created exclusively, so no link or folder
// of that name is followed), which is flushed, synced and checked, then
// renamed over the target.  On any failure the temporary is removed, the old
// file is left byte for byte as it was, and the message names the target.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

class SafeWriteBuffer;

class SafeWrite {
public:
    // Creates the temporary beside `target`; check is_open() (or error()).
    explicit SafeWrite(std::string target);
    ~SafeWrite();  // removes the temporary unless committed
    SafeWrite(const SafeWrite&) = delete;
    SafeWrite& operator=(const SafeWrite&) = delete;

    bool is_open() const;
    // The stream to write to; writes after a failure are ignored and the
    // failure is reported by commit().
    std::ostream& stream();
    // Flushes, syncs and renames the temporary over the target.  Returns
    // false with error() set when anything failed; the old file then stays.
    bool commit();
    // Gives the new data up: the temporary is removed, the old file stays.
    void discard();

    const std::string& target() const { return target_; }
    const std::string& temporary() const { return temporary_; }
    // "Can not write file <target>: <reason>" after a failure; empty before.
    const std::string& error() const { return error_; }

private:
    void fail(const std::string& reason);

    std::string target_;
    std::string temporary_;
    std::string error_;
    std::unique_ptr<SafeWriteBuffer> buffer_;
    std::unique_ptr<std::ostream> stream_;
    bool open_ = false;
};

// Writes the whole of `contents` to `path` through a SafeWrite; on failure
// `error` names the file and the old file stays.
bool safe_write_file(const std::string& path, std::string_view contents, std::string& error);

// Commits a pair of files that belong together (a map and its post file):
// `first`, then `second`.  When `first` fails `second` is given up, so both
// old files stay.  False with `error` naming the file that failed.
bool commit_in_order(SafeWrite& first, SafeWrite& second, std::string& error);

// Test hook: after this many more bytes reach disk through any SafeWrite,
// writes fail as on a full disk.  A negative value (the default) turns the
// injection off.
void set_safe_write_failure_after(long long bytes);
