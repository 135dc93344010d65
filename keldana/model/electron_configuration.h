// Electron configurations: a text such as "[Ar]3d10 4s2" (a noble-gas core in
// brackets, explicit core subshells inside the brackets, valence subshells
// after them) turned into electron counts per shell (n, l), separately for the
// core and the valence electrons.  The wavefunction bank weights its orbital
// products with these counts.
#pragma once

#include "keldana/model/model_store.h"

#include <array>
#include <span>

inline constexpr int CONFIGURATION_LENGTH = 80;
inline constexpr int MAX_PRINCIPAL_QUANTUM_NUMBER = 7;
inline constexpr int CORE_ELECTRONS = 1;
inline constexpr int VALENCE_ELECTRONS = 2;

// Counts of one analysed configuration, laid out as AtomTypeTable's
// shell_occupation: slot 1 + 28 (part - 1) + 7 l + (n - 1) for part 1 (core)
// or 2 (valence), l = 0..3 (s, p, d, f), n = 1..7; slot 0 unused.
using ShellOccupation = std::array<int, SHELL_OCCUPATION_COUNT + 1>;

int shell_occupation_index(int part, int l, int n);

// Value 0..9 of the character at position (1-based) of the configuration, or
// -1 when it is not a decimal digit or lies outside the text.
int get_configuration_digit_at(std::span<const char> configuration, int position);

// The subshell entry whose letter is at position: n is the digit before it,
// the count the one or two digits after it ("4s2": n 4, count 2; "3d10": n 3,
// count 10).  A missing digit gives -1 and sets error to 1.
void parse_subshell_entry(std::span<const char> configuration, int position, int& n, int& count, int& error);

// Shows "Check carefully <letter>-subshells!!!" and lists it.
void report_subshell_error(char letter);

// Clears occupation and fills it from the configuration (the first 80
// characters take part), then lists the counts.  Malformed text shows
// "Description of electron shell is incorrect" and stops the analysis with
// the counts filled so far; over-filled or impossible subshells (2d, 3p7,
// core and valence together above capacity) show the subshell message and
// the analysis goes on.  False when any message was shown.
bool analyse_electron_configuration(std::span<const char> configuration, ShellOccupation& occupation);

// Analyses electron_configuration of an atom into the model's
// shell_occupation.  A symmetry image with a parent uses its parent's
// configuration; an atom beyond the 120 configurations without one is
// reported as a malformed configuration.
bool analyse_electron_configuration(StructureModel& model, int atom);
