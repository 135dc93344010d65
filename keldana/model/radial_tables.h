// Radial lookup tables: per atom type of the loaded structure, the
// occupation-weighted products of the bank's orbital coefficients for every
// pair of Slater functions and every shell, separately for the core and the
// valence electrons.  The free-atom density of a type is then
//   rho(r) = 1/(4 pi) sum over shells n, pairs i <= j of
//            (2 - delta(i, j)) product_sum(t, i, j, n, part) f_i(r) f_j(r)
// with f the normalised Slater functions of the bank at the shell's exponents.
#pragma once

#include "keldana/model/model_store.h"
#include "keldana/model/wavefunction_bank.h"

#include <cstddef>
#include <vector>

struct RadialLookupTables {
    // Product sums by (part 1 core / 2 valence, type, shell, i, j), all
    // 1-based, only i <= j filled; about 18 MB, so the table lives on the heap
    // and one part is one contiguous half.
    std::vector<double> orbital_product_sum = std::vector<double>(SIZE, 0.0);
    int distinct_type_count = 0;
    PerAtomType<int> distinct_type{};                // type index of the m-th distinct type
    PerAtomType<int> distinct_type_atomic_number{};  // atomic number of its first atom
    PerAtomType<int> distinct_type_first_atom{};     // index of its first atom

    static constexpr std::size_t SIZE = std::size_t{2} * MAX_ATOM_TYPES * BANK_SHELL_COUNT * MAX_BANK_FUNCTIONS
                                        * MAX_BANK_FUNCTIONS;

    static std::size_t index(int type, int i, int j, int shell, int part)
    {
        return ((((static_cast<std::size_t>(part - 1) * MAX_ATOM_TYPES + (type - 1)) * BANK_SHELL_COUNT + (shell - 1))
                     * MAX_BANK_FUNCTIONS
                 + (i - 1))
                * MAX_BANK_FUNCTIONS)
               + (j - 1);
    }
    double& product_sum(int type, int i, int j, int shell, int part)
    {
        return orbital_product_sum[index(type, i, j, shell, part)];
    }
    double product_sum(int type, int i, int j, int shell, int part) const
    {
        return orbital_product_sum[index(type, i, j, shell, part)];
    }
};

// The program's tables, allocated once.
RadialLookupTables& radial_lookup_tables();

// Rebuilds the tables from a read bank: the distinct types over atoms 1..N in
// order of first occurrence (each with its first atom's atomic number and
// index), then for each the electron configuration of its first atom
// (analysed into the model's shell_occupation, with its listing) weighting the
// products of the coefficients of the orbitals of every shell.
void tabulate_radial_functions_by_type(const WavefunctionBank& bank, StructureModel& model,
                                       RadialLookupTables& tables);

// When no bank is loaded: reads the program's bank for the current model and
// tabulates its radial functions.  False (reported by the reader) when the
// bank cannot be read.
bool ensure_wavefunction_bank();
