// The wavefunction bank ("*.bnk"): the atomic orbitals of the free atoms,
// expanded in Slater-type functions r^(n-1) exp(-zeta r), per atom type.
//
// File layout (text, read sequentially): outside a block every line is text;
// a line with "ATOM" in columns 2-5 opens a block for the type whose symbol
// is in columns 7-10 (compared with type_symbol, blanks and case included;
// blocks of other symbols are skipped).  The block is a free-format header
// l, nb, norb (symmetry 0..3, functions, orbitals of that symmetry) and nb
// records n, then norb pairs (coefficient, zeta in 1/bohr) for the orbitals
// l+1, l+2, .. of that symmetry.  The functions of a type are numbered on
// across its blocks.
#pragma once

#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"

#include <array>
#include <istream>
#include <string>

inline constexpr int MAX_BANK_FUNCTIONS = 40;  // Slater functions per atom type
inline constexpr int BANK_ORBITAL_COUNT = 17;  // 1s 2s 2p 3s 3p 3d 4s 4p 4d 4f 5s 5p 5d 5f 6s 6p 6d
inline constexpr int BANK_SHELL_COUNT = 6;     // principal quantum numbers 1..6
inline constexpr double INVERSE_BOHR_TO_INVERSE_ANGSTROM = 1.8897259885789233;
inline constexpr const char* DEFAULT_BANK_FILE_NAME = "wavefCR.bnk";

template <typename T>
using PerBankFunction = std::array<T, MAX_BANK_FUNCTIONS + 1>;

struct WavefunctionBank {
    PerAtomType<PerBankFunction<int>> function_n{};  // [type][function]: power n of the function
    // [orbital 1..17][type][function]: coefficient of the function in the
    // orbital; 0 where the function takes no part.
    std::array<PerAtomType<PerBankFunction<double>>, BANK_ORBITAL_COUNT + 1> orbital_coefficient{};
    // [type][function][shell 1..6]: exponent of the function in the orbital of
    // that principal quantum number and the function's own symmetry,
    // 1/Angstrom; 0 where there is none.
    PerAtomType<PerBankFunction<std::array<double, BANK_SHELL_COUNT + 1>>> orbital_exponent{};
    PerAtomType<int> function_count{};  // functions read for the type, at most 40
    PerAtomType<int> shell_count{};     // highest principal quantum number of the type's orbitals, at most 6
    PerAtomType<bool> type_in_bank{};   // an "ATOM" block for the type was found
    int bank_loaded = 0;                // 1 after a successful read
    std::string file_path;              // the file it was read from
};

// The bank of the program (about 1 MB, allocated once).  Its flag is the one
// every job that evaluates the density tests: read the bank while it is 0,
// give up when it stays 0, then tabulate the radial tables.
WavefunctionBank& wavefunction_bank();
int& bank_loaded();

// Orbital number 1..17 of (n, l), 0 for an orbital the bank does not know.
int bank_orbital_number(int n, int l);
// How many orbitals of symmetry l the bank knows (6 s, 5 p, 4 d, 2 f; 0 else).
int bank_orbital_limit(int l);

// Reads a bank for the model's atom types.  On success bank holds exactly
// what was read and bank_loaded is 1.  Every failure shows a message, leaves
// the tables as they were and bank_loaded 0:
// - a type with more than 40 functions: "More than  40 basis functions -
//   adjust dimensions." / "Wavefunctions!";
// - an independent atom whose type has no block: "No atomic number for atom
//   type <symbol>. Please, check WAVEFUNCTIONS BANK!" / "Error!";
// - a block cut short, a value that is not a number, a symmetry other than
//   0..3, an orbital count outside 1..limit, n outside 1..10 or a negative
//   exponent: a message naming the file and line / "Wavefunctions!".
bool read_wavefunction_bank_stream(std::istream& input, const std::string& file_name, const StructureModel& model,
                                   WavefunctionBank& bank);

// Opens bank_path, else DEFAULT_BANK_FILE_NAME in the start-up directory (a
// blank path counts as one that does not open), and reads it.  Neither opens:
// "Not found wavefunctions file. Please, check <Options>." / "Wavefunctions!".
bool read_wavefunction_bank(WavefunctionBank& bank, const StructureModel& model, const std::string& bank_path,
                            const std::string& start_directory);
// The same with the bank path and start-up directory of run_settings().
bool read_wavefunction_bank(WavefunctionBank& bank, const StructureModel& model);
