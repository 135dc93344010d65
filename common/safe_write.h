// Writing a file so that a failure never costs the old one: the data go to a
// temporary in the target's folder (created exclusively, so no link or folder
// of that name is followed), which is flushed, synced and checked, then
// renamed over the target and the folder synced.  On any failure the
// temporary is removed, the old file is left byte for byte as it was, and the
// message names the target.
//
// As a careful editor does: a target the user may not write (read-only, or
// permission denied) is refused, not replaced; a target that is a symbolic
// link keeps its link and the file it leads to is written (safely, in that
// file's folder); the old file's permissions, owner and group are kept where
// the process may set them.  Temporaries are named ".<name>.<pid>.XXXXXX";
// a write removes those of its own target left by processes that no longer
// run (a kill or a power cut in the middle of a write).
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

class SafeWriteBuffer;

class SafeWrite {
public:
    // Creates the temporary for `target`; check is_open() (or error()).
    explicit SafeWrite(std::string target);
    ~SafeWrite();  // removes the temporary unless committed
    SafeWrite(const SafeWrite&) = delete;
    SafeWrite& operator=(const SafeWrite&) = delete;

    bool is_open() const;
    // The stream to write to; writes after a failure are ignored and the
    // failure is reported by finish() or commit().
    std::ostream& stream();
    // Starts writing what the stream holds so far to the disk, without
    // waiting: a long write calls it now and then so that its final sync
    // is short.
    void start_writeback();
    // Syncs what has reached the file so far (not what the stream still
    // holds) and waits for the disk.  Unlike the writing it may run on
    // another thread while a worker writes: the thread that waits for a
    // long job calls it now and then, so that the final sync is short.  A
    // failure is reported by finish() or commit().
    void sync_written();
    // Flushes, syncs and closes the temporary: everything but the rename.
    // False with error() set (and the temporary removed) when anything
    // failed; the old file then stays.
    bool finish();
    // finish(), then renames the temporary over the target and syncs the
    // folder.  False with error() set when anything failed.
    bool commit();
    // Gives the new data up: the temporary is removed, the old file stays.
    void discard();

    const std::string& target() const { return target_; }
    const std::string& temporary() const { return temporary_; }
    // "Can not write file <target>: <reason>" after a failure; empty before.
    const std::string& error() const { return error_; }

private:
    friend bool commit_in_order(SafeWrite& first, SafeWrite& second, std::string& error);
    void open_temporary();
    void fail(const std::string& reason);

    std::string target_;       // as named by the caller, used in messages
    std::string destination_;  // the file replaced: the target or where its links lead
    std::string temporary_;
    std::string error_;
    std::unique_ptr<SafeWriteBuffer> buffer_;
    std::unique_ptr<std::ostream> stream_;
    bool open_ = false;
    bool finished_ = false;
};

// Writes the whole of `contents` to `path` through a SafeWrite; on failure
// `error` names the file and the old file stays.
bool safe_write_file(const std::string& path, std::string_view contents, std::string& error);

// Commits a pair of files that belong together (a map and its post file):
// both temporaries are written out, synced and closed before either is
// renamed, `first` then `second`.  A failure gives both up and keeps both old
// files (after the first rename, the old first file is put back).  False
// with `error` naming the file that failed.
bool commit_in_order(SafeWrite& first, SafeWrite& second, std::string& error);

// Test hook: after this many more bytes reach disk through any SafeWrite,
// writes fail as on a full disk.  A negative value (the default) turns the
// injection off.
void set_safe_write_failure_after(long long bytes);
