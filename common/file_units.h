// Numbered file units as the Fortran run-time keeps them: files opened by
// name on a unit number and then read, written, positioned and closed by
// that number.  Every routine reports through an IoStatus and never ends the
// program; an operation on a unit that is not open is an error.
//
// Layouts match gfortran's: formatted sequential files are text lines ending
// in '\n' (a '\r' before it is dropped on reading); formatted direct-access
// records are record_length characters, blank-padded, with no line ends;
// unformatted direct-access records are record_length bytes; unformatted
// sequential records carry a 4-byte little-endian byte count before and after
// their data; stream access and the "binary" form are plain bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/fortran_format.h"

// The outcome of a file operation: code 0 = done, -1 = end of file,
// positive = error, with a message for the user.
struct IoStatus {
    int code = 0;
    std::string message;
    bool ok() const { return code == 0; }
    bool end_of_file() const { return code < 0; }
};

constexpr int IO_END_OF_FILE = -1;
constexpr int IO_OK = 0;
constexpr int IO_ERROR = 1;

// Specifiers of an open; the words are case-insensitive.
struct UnitOpenOptions {
    std::string status = "unknown";     // "old", "new", "unknown", "scratch", "replace"
    std::string access = "sequential";  // "sequential", "direct", "stream"
    std::string form;                   // "formatted", "unformatted", "binary"; empty:
                                        // formatted for sequential, unformatted otherwise
    int record_length = 0;              // direct access: characters or bytes per record
    std::string action = "readwrite";   // "read": an existing input file, opened for reading
                                        // only after input_file_refusal
};

// Connects a unit to a file, closing whatever the unit had open.  "old" needs
// an existing file, "new" a missing one; "unknown" opens or creates;
// "replace" creates afresh; "scratch" makes a temporary file (the name is
// not used) that is deleted on close.  Trailing blanks of the name are
// ignored.  A file that cannot be written is opened for reading only.  The
// file is positioned at its start.  Only regular files are opened (a FIFO or
// a device would block or never end).
IoStatus open_unit(int unit, std::string_view file_name, const UnitOpenOptions& options = {});
// Disconnects a unit: status "keep" (or empty) keeps the file, "delete"
// removes it; scratch files are always removed.  Closing a unit that is not
// open does nothing.
IoStatus close_unit(int unit, std::string_view status = "");
// Closes every unit (scratch files removed).
void close_all_units();
// True when the unit is connected to a file.
bool is_unit_open(int unit);
// The name the unit was opened with (the temporary path for a scratch
// file); empty when the unit is not open.
std::string unit_file_name(int unit);

// Formatted sequential: writes one record (a line); after it the file ends.
IoStatus write_line(int unit, std::string_view record);
// Reads the next record without its line end; -1 at end of file.
IoStatus read_line(int unit, std::string& record);
// Writes the records of one formatted WRITE; nothing is written when the
// format or a value is at fault.
IoStatus write_formatted(int unit, std::string_view format, std::initializer_list<FortranValue> values);
IoStatus write_formatted(int unit, std::string_view format, const std::vector<FortranValue>& values);
// One formatted READ: reads the next record, and further ones when the
// format asks ('/', reversion).
IoStatus read_formatted(int unit, std::string_view format, std::initializer_list<FortranTarget> targets);
IoStatus read_formatted(int unit, std::string_view format, const std::vector<FortranTarget>& targets);
// One list-directed READ from the next records (rules of ListReader).
IoStatus read_list_directed(int unit, std::initializer_list<FortranTarget> targets);
IoStatus read_list_directed(int unit, const std::vector<FortranTarget>& targets);

// Positions a sequential or stream unit at its start.
IoStatus rewind_unit(int unit);
// Steps a sequential unit back over the record just read or written; after
// an end of file it steps back before the end of file only.
IoStatus backspace_unit(int unit);

// Direct access: writes record n (1-based); data longer than the record
// length is an error, shorter data is padded with blanks (formatted) or
// zero bytes (unformatted, binary).
IoStatus write_direct(int unit, long long record_number, std::string_view data);
// Reads record n (its full record_length characters or bytes); a record
// beyond the end of the file is an error.
IoStatus read_direct(int unit, long long record_number, std::string& data);

// Unformatted sequential: one record with its length markers.
IoStatus write_unformatted(int unit, const std::vector<unsigned char>& record);
// Reads the next record's data; -1 at end of file, an error for a damaged
// record.
IoStatus read_unformatted(int unit, std::vector<unsigned char>& record);

// Stream access or binary form: plain bytes at the current position.
IoStatus write_bytes(int unit, const void* data, std::size_t size);
// Reads exactly size bytes; -1 when the file ends first.
IoStatus read_bytes(int unit, void* data, std::size_t size);

// Building an unformatted record: little-endian values appended.
void append_int32(std::vector<unsigned char>& record, std::int32_t value);
void append_real32(std::vector<unsigned char>& record, float value);
void append_real64(std::vector<unsigned char>& record, double value);
void append_text(std::vector<unsigned char>& record, std::string_view text);

// Taking values out of an unformatted record in order; each call returns
// false (and takes nothing) when the record holds too few bytes.
class RecordDecoder {
public:
    explicit RecordDecoder(const std::vector<unsigned char>& record) : record_(record) {}
    bool int32(std::int32_t& value);
    bool real32(float& value);
    bool real64(double& value);
    bool text(std::string& value, std::size_t length);
    bool skip(std::size_t bytes);
    std::size_t remaining() const { return record_.size() - offset_; }

private:
    const std::vector<unsigned char>& record_;
    std::size_t offset_ = 0;
};

// Input files the readers take: only regular files (a folder, a FIFO or a
// device would block or never end) of at most MAX_INPUT_FILE_BYTES.
constexpr std::uintmax_t MAX_INPUT_FILE_BYTES = 256ull * 1024 * 1024;

// Why path is not read as an input file, for the user; empty when it may be
// (a missing file gives empty too: the caller reports it as not found).
std::string input_file_refusal(const std::string& path, std::uintmax_t max_bytes = MAX_INPUT_FILE_BYTES);

// Opens path for reading after input_file_refusal; on false, refusal holds
// the reason, or is empty when the file is missing or cannot be opened.
bool open_input_file(const std::string& path, std::ifstream& input, std::string& refusal,
                     std::ios::openmode mode = std::ios::in | std::ios::binary);
// After std::getline gave `line`: true when that line was the last of the
// file, had no line end and holds text, i.e. the file ends inside a record
// and a value in it may be cut short.
bool ends_inside_record(const std::istream& input, std::string_view line);

