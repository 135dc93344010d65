// The program's own structure file "*.kdn" (KdnInputFile): one complete
// pseudoatom model as text.  Records in order:
//   1  (A80)                 title
//   2  (6F9.4)               a, b, c, alpha, beta, gamma
//   3  free                  atom count, dummy count
//   4  (A8,3F12.6,5X,F8.6)   per atom: label, x, y, z, occupancy (fractional)
//   5  (A8,3F12.6)           per dummy atom: label, x, y, z
//   6  per atom:
//      a (3I6,3X,A1,2I6,3X,A1,10X,'/* atom: ',A6,' */')
//                            l_max, core electrons, frame atom 1, axis letter 1,
//                            frame atoms 2 and 3, axis letter 2, label
//      b (A80)               electron configuration
//      c (I6,4(2X,I6))       radial n, l = 0..l_max
//      d (5F8.4)             radial zeta, l = 0..l_max, 1/bohr
//      e (2F9.6)             kappa, kappa'
//      f..k                  Pv, then P(l,m) for l = 0..l_max as a centred
//                            pyramid of 80-column lines
//   7  (A80)                 symmetry header line
//   8  (A20,1X,'/',A1)       centring word, lattice letter
//   9  (3(3A3,1X))           one line per symmetry card
//  10  (A3)                  "END"
// The writer keeps these columns; the reader takes nearly everything in free
// format, so a hand-edited file need only keep the order of the values and
// the line structure.
#pragma once

#include "keldana/model/model_store.h"

#include <istream>
#include <ostream>
#include <string>
#include <vector>

// How record 3 (the atom and dummy counts) is laid out: list-directed when
// the model is saved as a file, (2I10) in the text editor.
enum class KdnCountLayout { list_directed, fixed_2i10 };

// The records of the model in the file's layout, without line ends.  Only
// the independent atoms are written; dummy references, which point past the
// working atoms in memory, are brought back to the numbering of the file, and
// the radial exponents are written in 1/bohr.
std::vector<std::string> format_kdn_input_records(const StructureModel& model,
                                                  KdnCountLayout layout = KdnCountLayout::list_directed);

// Writes format_kdn_input_records to a stream the caller has opened, one
// record a line.  False when the stream failed; the caller, who knows the
// file, reports it.
bool write_kdn_input_file(std::ostream& output, const StructureModel& model);

// Reads a model file into a fresh model: title, cell, atoms (labels,
// fractional coordinates, occupancies, atom_count), dummy atoms, the
// pseudoatom parameters and local-frame definitions of every atom, and the
// symmetry text.  Radial exponents stay in 1/bohr as in the file; nothing is
// derived (the loader does that).  Every area it fills is cleared first.
//
// An end of file before the "END" card, a number that does not read (or is
// beyond the range of a double), a first atom line with other than 3 or 4
// numbers, an l_max outside 0..4, a frame atom of an atom with multipoles
// that is neither an atom nor a dummy atom, or more atoms, dummy atoms or
// cards than the tables hold, show the message "Please, check input file - "
// + three blanks + the first 30 characters of file_title, then on a new line
// the line at fault and what was wrong there (caption "Input file reading
// error", warning icon), and give false.  The model is then partly filled and
// must not be used.
bool read_kdn_input_file(std::istream& input, const std::string& file_title, StructureModel& model);

// Opens path and reads it as above; a file that cannot be opened gives the
// same message and false.
bool read_kdn_input_file(const std::string& path, const std::string& file_title, StructureModel& model);

// The line (from 1) that the message of the last refused read named, so the
// editor can show it; 0 when the last read was refused for no one line or
// was not refused.
int last_kdn_fault_line();
// Called as a load starts: a load refused before the file is read names no line.
void forget_kdn_fault_line();
