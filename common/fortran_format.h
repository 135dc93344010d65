// Fortran-style formatted conversion between numbers and text: the edit
// descriptors every report, listing and data file of the programs is laid out
// with, fixed-column reads of one record, and list-directed (free-form) reads
// and writes.  Output agrees byte for byte with gfortran.
//
// Formats are given as their text, with or without the outer parentheses;
// blanks outside quoted literals are ignored and letters may be of either
// case ("(1pe16. 3)" is "(1PE16.3)").  "*" means list-directed.
//
// Supported edit descriptors: Iw, Iw.m, Fw.d, Ew.d, Ew.dEe, Dw.d, Gw.d, Gw.dEe,
// Aw, A, Lw, nX, Tn, TLn, TRn, kP, '/', ':', quoted literals ('..' and ".."
// with doubled quotes), repeat counts and nested groups with repeat counts.
// I0 and F0.d give the shortest field.  A number that does not fit prints as
// w asterisks.  When the list is longer than the format, output goes on in a
// new record from the last top-level group (or from the start when there is
// none).  Processing stops at the first data descriptor (or ':' or the end of
// the format) met after the last value; literals, X, T and '/' before it are
// still written.  Trailing X or T positioning writes no blanks.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <istream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A value for a formatted write: integer, real (double), text or logical.
// Integers given to F, E, D or G are written as reals; a real given to I, or
// a number given to A, is an error.  For L an integer is true when odd
// (logical values stored as integers use -1 for true).
struct FortranValue {
    enum class Kind { integer, real, text, logical };
    Kind kind = Kind::integer;
    long long integer = 0;
    int integer_bytes = 4;  // list-directed width: 11 columns for 4 bytes, 20 for 8
    double real = 0.0;
    bool logical = false;
    std::string text;

    FortranValue(int v) : kind(Kind::integer), integer(v) {}
    FortranValue(unsigned v) : kind(Kind::integer), integer(v) {}
    FortranValue(long v) : kind(Kind::integer), integer(v), integer_bytes(sizeof(long)) {}
    FortranValue(long long v) : kind(Kind::integer), integer(v), integer_bytes(8) {}
    FortranValue(unsigned long v) : kind(Kind::integer), integer(static_cast<long long>(v)), integer_bytes(sizeof(long)) {}
    FortranValue(unsigned long long v) : kind(Kind::integer), integer(static_cast<long long>(v)), integer_bytes(8) {}
    FortranValue(double v) : kind(Kind::real), real(v) {}
    FortranValue(float v) : kind(Kind::real), real(v) {}
    FortranValue(bool v) : kind(Kind::logical), logical(v) {}
    FortranValue(const char* v) : kind(Kind::text), text(v ? v : "") {}
    FortranValue(std::string v) : kind(Kind::text), text(std::move(v)) {}
    FortranValue(std::string_view v) : kind(Kind::text), text(v) {}
    template <std::size_t N>
    FortranValue(const std::array<char, N>& v) : kind(Kind::text), text(v.data(), N) {}
};

// Records produced by one WRITE with the given format.  A bad format, or a
// value of the wrong kind for its descriptor, ends the conversion: the plain
// functions then return what was produced before the fault.
std::vector<std::string> format_records(std::string_view format, std::initializer_list<FortranValue> values);
std::vector<std::string> format_records(std::string_view format, const std::vector<FortranValue>& values);
// The same records joined by '\n' (handy for one-record formats).
std::string format_line(std::string_view format, std::initializer_list<FortranValue> values);
std::string format_line(std::string_view format, const std::vector<FortranValue>& values);
// As format_records, telling faults: false with a message in *error
// (records then hold what was produced before the fault).
bool try_format_records(std::string_view format, const FortranValue* values, std::size_t count,
                        std::vector<std::string>& records, std::string* error = nullptr);

// A variable a read stores into: an integer, a real, a text of any length
// (std::string) or a fixed-length blank-padded text (char buffer).
struct FortranTarget {
    enum class Kind { int32, int64, real, string, chars };
    Kind kind = Kind::int32;
    void* address = nullptr;
    std::size_t length = 0;  // chars only

    FortranTarget(int* v) : kind(Kind::int32), address(v) {}
    FortranTarget(long long* v) : kind(Kind::int64), address(v) {}
    FortranTarget(double* v) : kind(Kind::real), address(v) {}
    FortranTarget(std::string* v) : kind(Kind::string), address(v) {}
    FortranTarget(char* buffer, std::size_t buffer_length) : kind(Kind::chars), address(buffer), length(buffer_length) {}
    template <std::size_t N>
    FortranTarget(std::array<char, N>* v) : kind(Kind::chars), address(v->data()), length(N) {}
};

// Fixed-column read of one record with a format: Iw, Fw.d, Ew.d, Dw.d, Gw.d,
// Aw, A, nX, Tn, TLn, TRn, kP; a literal skips its length.  The rules are
// gfortran's for internal reads: a field without a decimal point takes d
// decimals from the descriptor; exponents may be written with E, D, Q
// (either case) or a bare sign; blanks inside numeric fields are ignored;
// an all-blank field, or a lone sign or point, reads as 0; a numeric field
// ends where the record's trailing blanks begin.  A record shorter than the
// format is blank-padded for A.  Aw into a char buffer keeps its rightmost
// characters when w is longer, and pads with blanks when shorter; Aw into a
// std::string gives the w characters, A the rest of the record.
// Returns false with a message for a bad format, a field that is not a
// number (also an exponent of 10000 or more), an integer that overflows its
// target, a descriptor that does not suit its target (I for integers; F, E,
// D for reals; A for texts) or a format that needs a second record; targets
// read before the fault keep their new values.
bool read_record(std::string_view record, std::string_view format, std::initializer_list<FortranTarget> targets,
                 std::string* error = nullptr);
bool read_record(std::string_view record, std::string_view format, const std::vector<FortranTarget>& targets,
                 std::string* error = nullptr);
// As read_record, for a format that may span records: next_record is asked
// for each further record ('/' or reversion) and returns 0, -1 at end of
// file or a positive error code.
bool read_records(const std::function<int(std::string&)>& next_record, std::string_view first_record,
                  std::string_view format, const FortranTarget* targets, std::size_t count, std::string* error);

// List-directed reading over a sequence of lines.  Every read starts at the
// next line; values are separated by blanks, tabs, commas or line ends, and
// a read goes on to the next lines while values are still expected (blank
// lines are skipped).  "/" ends a read leaving the remaining targets as they
// were; surplus values on the last line used are ignored.  Texts are quoted
// ('..' or "..", quotes doubled inside) or bare words; r*c repeats c r
// times (all of one type: integer, real or text); an empty value between
// commas, a comma opening the first line of a read, or r* leaves its target
// unchanged.  Integers accept an optional sign and digits; reals also accept
// a decimal point and an exponent (E, D, Q or a bare sign).  A trailing
// carriage return of a line is dropped.
class ListReader {
public:
    explicit ListReader(std::istream& input);
    // Lines from a callback: 0 = a line was read, -1 = end of file,
    // positive = an error code.
    explicit ListReader(std::function<int(std::string&)> next_line);

    // Reads values into the targets; false at end of file before all values
    // were read, or for a value that does not fit its target (error() says
    // which).  An empty target list skips one line.
    bool read(std::initializer_list<FortranTarget> targets);
    bool read(const FortranTarget* targets, std::size_t count);
    // True when no further line exists.
    bool at_end();
    // The message of the last failed read; empty after a successful one.
    std::string error() const { return error_; }
    // True when the last failed read met the end of the input.
    bool end_of_file() const { return end_of_file_; }
    // The status code of the last failed read: -1 end of file, 0 ok, or the
    // positive code of the line source or of a bad value.
    int status() const { return status_; }

private:
    int fetch_line();

    std::function<int(std::string&)> next_line_;
    std::string line_;
    std::size_t position_ = 0;
    bool have_peeked_ = false;
    int peeked_status_ = 0;
    std::string peeked_line_;
    std::string error_;
    bool end_of_file_ = false;
    int status_ = 0;
};

// One list-directed read from a text (lines separated by '\n').
bool read_list(std::string_view text, std::initializer_list<FortranTarget> targets, std::string* error = nullptr);

// ---- The parsed form of a format, shared by writing and reading. ----

enum class FormatCode { integer, fixed, exponent, exponent_d, general, text, logical,
                        skip, tab, tab_left, tab_right, literal, slash, colon, scale, group };

struct FormatItem {
    FormatCode code = FormatCode::skip;
    int repeat = 1;     // groups, data descriptors and '/'
    int width = -1;     // w, n of nX/Tn/TLn/TRn, k of kP; -1 when absent (A)
    int digits = -1;    // d, or m of Iw.m; -1 when absent
    int exponent = -1;  // e of Ew.dEe; -1 when absent
    std::string text;   // literal
    std::vector<FormatItem> items;  // group contents
};

struct ParsedFormat {
    bool list_directed = false;
    std::vector<FormatItem> items;
    std::size_t reversion_index = 0;  // first top-level item used again on reversion
};

// Parses a format; false with a message when it is not valid.
bool parse_format(std::string_view format, ParsedFormat& parsed, std::string* error);
// True for the descriptors that take a value from the list.
bool is_data_descriptor(FormatCode code);
// True when items[from..] hold a data descriptor, also inside groups.
bool format_has_data(const std::vector<FormatItem>& items, std::size_t from = 0);
