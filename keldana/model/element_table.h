// The element table "atoms.axp": one line per atom type (symbol, Z, mass,
// van der Waals and covalent radii, colour, configuration text), read into
// AtomTypeTable before every load, and the lookup of an atom's type from its
// label.
#pragma once

#include "keldana/model/model_store.h"

#include <istream>
#include <span>
#include <string>

inline constexpr const char* ELEMENT_TABLE_FILE_NAME = "atoms.axp";
inline constexpr int MAX_ATOMIC_NUMBER = 103;  // hydrogen to lawrencium

// Reads the element lines of a table ("/" in column 1 starts a comment line,
// blank lines are skipped), fixed columns (I3,4X,A4,I3,F10.4,2F7.2,2X,I8,2X,A50),
// types numbered 1, 2, 3 .. in file order.  On success the whole type table
// is replaced (types beyond the file's last one are blank).  A line that does
// not fit its columns or ends before the colour, a blank symbol, an atomic
// number outside 1..MAX_ATOMIC_NUMBER, a mass or radius outside 0..1000 or
// more than 120 types: message naming the file and line, false, the table
// unchanged.
bool read_element_table_stream(std::istream& input, const std::string& file_name, AtomTypeTable& types);

// "atoms.axp" in the start-up directory.  Missing: "File <Atoms.axp> not
// found" / "Error!", false, the table unchanged; a file that is not a
// regular one, or is over-size, is refused with its reason the same way.
bool read_element_table_file(const std::string& start_directory, AtomTypeTable& types);

// The element symbol a label stands for, blank-padded to 4: the text before a
// "(" that follows the first character ("Cu(12)" -> "Cu"); otherwise the label
// up to the rightmost of positions 1..4 that holds "+", "-" or a character
// from "A" up other than "_" ("Cl1" -> "Cl", "O1A" -> "O1A", "H_1" -> "H",
// "Na+" -> "Na+"); blank when none qualifies.
FixedText<4> element_symbol_from_label(std::span<const char> label);

// Index 1..120 of the first type whose symbol equals the 4-character symbol.
// A symbol that is no type falls back to its leading letters, with the
// charge that directly follows them ("O1A" -> "O", "H1A" -> "H",
// "O-1A" -> "O-", "Fe3+" stays itself): labels that carry a site suffix still
// find their element.  0 when neither is a type, and for a blank symbol.
int find_atom_type(const AtomTypeTable& types, std::span<const char> symbol);
