// The Slater table "atoms.szt" of the start-up directory: per element the
// single-zeta exponents (1/bohr) of the orbitals 1s 2s 3s 4s 2p 3p 4p 3d 4d
// 4f 5s 5p, from which the XD reader derives the power n(l) and exponent
// zeta(l) of a scattering type's deformation functions when the master file
// gives none.
//
// Layout: lines of up to 127 characters; "!" in column 1 starts a comment
// and a line starting with a blank is ignored; an entry holds the element
// symbol in columns 1-4 (first letter upper case, the rest lower case,
// blank-padded) and the twelve exponents, free format, from column 6.  The
// first entry of a symbol counts.
#pragma once

#include "keldana/model/model_store.h"

#include <array>
#include <istream>
#include <span>
#include <string>
#include <vector>

inline constexpr const char* SLATER_TABLE_FILE_NAME = "atoms.szt";
inline constexpr int SLATER_ORBITAL_COUNT = 12;

// Exponents v(1..12) of one element; slot 0 unused.
using SlaterExponents = std::array<double, SLATER_ORBITAL_COUNT + 1>;

// Orbital codes of a scattering type for the table's twelve orbitals, in the
// order above (1-based; slot 0 unused): positive, core electrons of that
// orbital; negative, valence electrons; 0, empty.
using SlaterOrbitalCodes = std::array<int, SLATER_ORBITAL_COUNT + 1>;

// The two-character names ("2S", "3D") of the same orbital columns; the
// digit is the principal quantum number.
using SlaterOrbitalNames = std::array<FixedText<2>, SLATER_ORBITAL_COUNT + 1>;

// The radial functions derived for one scattering type, l = 0..4.
struct SlaterRadialFunctions {
    PerOrder<int> n{};
    PerOrder<double> zeta{};
};

// Reads the lines of a table.  False when the stream could not be read.
bool read_slater_table_lines(std::istream& input, std::vector<std::string>& lines);

enum class SlaterEntryStatus { found, missing, unreadable };

// The first entry of `symbol` (four characters compared exactly; pass the
// symbol re-cased first-upper, rest-lower): missing when no line has it,
// unreadable when its twelve exponents do not read.
SlaterEntryStatus find_slater_table_entry(const std::vector<std::string>& lines, std::span<const char> symbol,
                                          SlaterExponents& exponents);

// The symbol as the table writes it: first letter upper case, the rest lower
// case ("CL  " -> "Cl  ").
FixedText<4> slater_table_symbol(std::span<const char> symbol);

// Derivation for a parameter file without a "USAGE" line: from the outermost
// occupied s shell (4s, 3s, 2s, 1s) and its p partner, or from 3d when no s
// shell is occupied.
void derive_slater_radial_functions_form_1(const SlaterOrbitalCodes& codes, const SlaterExponents& exponents,
                                           SlaterRadialFunctions& radial);

// Derivation for a parameter file with a "USAGE" line: the valence orbitals'
// exponents weighted by their electrons, and n from their principal quantum
// numbers; a closed-shell type takes its outermost shell, chosen by its
// electron total and atomic number.  False with `reason` when the type is
// closed-shell with a total of electrons other than 2, 10, 18, 28, 36, 46 or
// 54, or an orbital column it needs has no name with a digit.
bool derive_slater_radial_functions_form_2(const SlaterOrbitalCodes& codes, const SlaterOrbitalNames& names,
                                           const SlaterExponents& exponents, int atomic_number,
                                           SlaterRadialFunctions& radial, std::string& reason);
