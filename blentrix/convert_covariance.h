// The conversion of a MOLLY covariance file ("*.mat", unformatted
// sequential) into the covariance-matrix text "covar.dat" that Keldana reads.
//
// Input records (each one READ, little-endian int32 and real32):
//   1  int32, five real32 R1..R5, int32, int32, 9 characters   (R5: the scale)
//   2  ten int32: (2) NA atoms, (3) L parameters, (4) N refined parameters,
//      (5) M1 and (6) M2 per-atom parameters of the two groups, (9) record 4 present
//   3  NA atom names of 4 characters
//   4  only when item (9) > 0: NA one-byte values
//   5  L real32 parameter values
//   6  L int32: position of parameter k in the refined list, 0 = not refined
//   7  N(N+1)/2 real32: upper triangle of the refined parameters' covariances, row by row
//   8, 9  NA real32 each
// A record may hold more than is read from it, never less.  Every record is
// read, although only record 1's scale, record 2's counts, record 6 and
// record 7 are used.
#pragma once

#include <string>
#include <vector>

inline constexpr int MAX_CONVERTER_ATOMS = 120;
inline constexpr int MAX_CONVERTER_PARAMETERS = 4300;  // also the room of the parameter table
inline constexpr int MAX_REFINED_PARAMETERS = 500;
inline constexpr int LEADING_PARAMETERS = 3;           // the overall parameters before the atoms'

inline constexpr const char* COVARIANCE_OUTPUT_NAME = "covar.dat";

struct ConverterInputFile {
    float scale = 0;             // R5 of record 1
    int atom_count = 0;          // NA
    int parameter_count = 0;     // L
    int refined_count = 0;       // N
    int first_group_count = 0;   // M1
    int second_group_count = 0;  // M2
    std::vector<int> refined_position;  // [1..L]; slot 0 unused
    std::vector<float> covariance;      // the packed upper triangle, N(N+1)/2 values
};

// Kind code and atom number of every parameter, 1-based: first of the whole
// parameter list, then (after compaction) of the refined list.
struct ParameterCodes {
    std::vector<int> kind = std::vector<int>(MAX_CONVERTER_PARAMETERS + 1, 0);
    std::vector<int> atom = std::vector<int>(MAX_CONVERTER_PARAMETERS + 1, 0);
};

// Reads the whole input file.  False with a message in `error` when the file
// cannot be opened, a record is missing, damaged or too short, or a count is
// negative or beyond the capacities (checked before any array is sized from
// it), or a refined position lies outside 0..N.
bool read_converter_input(const std::string& path, ConverterInputFile& input, std::string& error);

// The kind codes and atom numbers of the refined parameters: the table of all
// L parameters (three leading ones of no atom; per atom the kinds 11 and 12;
// per atom its first group coded 1..M1 and its second group coded 12, 13, 16,
// 14, 15, then 17; the rest of no atom), then each refined parameter copied to
// its position in increasing parameter order, a later copy overwriting an
// earlier one.
ParameterCodes build_parameter_codes(const ConverterInputFile& input);

// The records of the covariance-matrix text: (I5,F9.3) N and the scale; each
// row of the triangle with (15F11.7); the N atom numbers and the N kind codes
// with (25I4).
std::vector<std::string> format_covariance_records(const ConverterInputFile& input, const ParameterCodes& codes);

// Writes the records as the file `path` through the common safe write: a
// failure leaves the old file as it was.  False with a message in `error`.
bool write_records_safely(const std::string& path, const std::vector<std::string>& records, std::string& error);

// The scale and every covariance must be finite and fit its field of
// covar.dat with a blank before it.  False with a message in `error`.
bool check_covariance_values(const ConverterInputFile& input, std::string& error);

// The whole program: reads input_path and writes "covar.dat" in the current
// directory.  False with a message in `error`; nothing is written then.
bool convert_covariance_matrix(const std::string& input_path, std::string& error);
