// The files of the outside refinement program XD: the parameter file
// ("*.inp", "*.res": atom records, local frames, populations, kappa sets),
// its master file (same path, extension "mas": title, cell, lattice,
// symmetry, scattering types, dummy atoms) and the Slater table "atoms.szt"
// of the start-up directory, read into a structure model as the program's
// own file would give it.
//
// Master file, as read: "TITL" (title, the first word after column 5);
// "CELL" a b c alpha beta gamma; "LATT" with the centrosymmetry letter (A
// acentric, C centric) and the lattice letter; "SYM"/"SYMM" lines up to the
// first line starting "END" (matrix, decimal or fraction notation); the
// "SCAT" header naming the orbital columns, one line per scattering type
// (symbol, three words, the orbital codes), each followed by a line of five
// (n, zeta) pairs when its fourth word is "RDSD", up to "END"; the "ATOM"
// table, whose lines starting "DUM" are the dummy atoms (label, x, y, z).
//
// Parameter file, as read: "!" comment lines and one line; then either 22
// integers (the last 14 are the usage values) or, when the file has a line
// starting "USAGE", the 14 usage values of that line (value 1 the atom count,
// value 3 the highest l of the populations listed, L); per atom, from the
// first line starting with a letter: label, two axis codes (1 x, 2 y, 3 z),
// three frame atoms, two integers, the kappa set, l_max, two integers,
// x, y, z and the site divisor; one line not used; Pv and P(l,0), P(l,+m),
// P(l,-m) for l = 0..L, the dipoles in the order P(1,+1), P(1,-1), P(1,0);
// then one line per kappa set: its number, kappa, kappa'.
#pragma once

#include "keldana/model/model_store.h"

#include <istream>
#include <string>

inline constexpr int XD_MAX_SCATTERING_TYPES = 120;
inline constexpr int XD_MAX_ORBITAL_COLUMNS = 17;
inline constexpr int XD_USAGE_VALUE_COUNT = 14;
inline constexpr int XD_MAX_KAPPA_SETS = 250;

// The scattering types of the master file's SCAT table.
struct XdScatteringTypes {
    int xd_type_count = 0;
    int orbital_column_count = 0;  // columns named on the SCAT line (at most XD_MAX_ORBITAL_COLUMNS kept)
    std::array<FixedText<2>, XD_MAX_ORBITAL_COLUMNS + 1> xd_orbital_names =
        filled_array<FixedText<2>, XD_MAX_ORBITAL_COLUMNS + 1>(blank_text<2>());
    // Per type 1..xd_type_count.
    std::array<FixedText<4>, XD_MAX_SCATTERING_TYPES + 1> type_symbol =
        filled_array<FixedText<4>, XD_MAX_SCATTERING_TYPES + 1>(blank_text<4>());  // first upper, rest lower
    std::array<std::array<int, XD_MAX_ORBITAL_COLUMNS + 1>, XD_MAX_SCATTERING_TYPES + 1> orbital_code{};
    std::array<int, XD_MAX_SCATTERING_TYPES + 1> core_count{};  // sum of the positive codes
    std::array<PerOrder<int>, XD_MAX_SCATTERING_TYPES + 1> radial_n{};
    std::array<PerOrder<double>, XD_MAX_SCATTERING_TYPES + 1> radial_zeta{};  // 1/bohr
    std::array<bool, XD_MAX_SCATTERING_TYPES + 1> type_done{};  // n and zeta final
};

// The master file of a parameter file: its path with the extension replaced
// by "mas" ("mod.res" -> "mod.mas"); a file name without extension gets
// ".mas" (a "." of a folder name is not an extension).
std::string xd_master_file_path(const std::string& parameter_path);

// Reads the three files into `model`, whose atom-type table (the element
// table) must be filled: title, cell, centring word, lattice letter,
// symmetry header line and cards (card 1 is x, y, z), dummy atoms, atoms
// (labels, fractional coordinates, element type and atomic number), local
// frame definitions, l_max, populations (divided by the site divisor; the
// occupancy is 1), kappas, configurations from the element table, core
// electrons and radial functions (exponents in 1/bohr as read; the loader
// converts them).  Every area it fills is cleared first; nothing else is
// derived.  `slater_table` null means "atoms.szt" was not found.
//
// Reports and gives false (the model then partly filled, not to be used):
// a record that does not read or is missing, with "Please, check input file
// format - " + the first 26 characters of the file's name (the master path,
// or file_title for the parameter file), caption "Reading error"; counts
// beyond the tables likewise; an element missing from the element table,
// "No atomic number for atom type " + symbol, caption "Error!"; an atom
// whose radial functions cannot be set (no scattering type, "atoms.szt"
// missing or without the element, exponents that are not positive), caption
// "Error".  A missing "atoms.szt" is reported first with its own warning,
// caption " Warning!", and is fatal only for a type it is needed for.
bool read_xd_input_streams(std::istream& parameter_file, std::istream& master_file, std::istream* slater_table,
                           const std::string& file_title, const std::string& master_path, StructureModel& model);

// Opens `path` (the parameter file), its master file and "atoms.szt" of
// start_directory and reads them as above.  A parameter or master file that
// cannot be opened: "No found file - " + the first 44 characters of its
// name, caption "Error", false.
bool read_xd_input_files(const std::string& path, const std::string& file_title, const std::string& start_directory,
                         StructureModel& model);
