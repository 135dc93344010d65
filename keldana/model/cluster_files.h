// Cluster files "*.cls": the SymmetryApplicationList as text.  Record 1 is a
// title, record 2 the column header, every further record one entry written
// with (I3,3X,3(1X,F8.5),3X,2I5,6X,I3): signed operation, translation x, y, z
// (fractional), first and last atom, and the number the entry's image gets
// in the atom list (for the reader's eye only).  Readers take the first six
// values of an entry line in free form, so hand-made files may use blanks or
// commas.  The default files are "gspace.cls" (cluster in space) and
// "unitcell.cls" (unit cell).
#pragma once

#include "keldana/model/model_store.h"

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* CLUSTER_TITLE_IN_SPACE = "Generation of the symmetry-related atoms in the given space";
inline constexpr const char* CLUSTER_TITLE_UNIT_CELL = "Generation of the symmetry-related atoms in the unit cell";
inline constexpr const char* CLUSTER_COLUMN_HEADER = " symm.       translations        appl.for atoms  No.in list";
inline constexpr int CLUSTER_RECORD_LENGTH = 60;     // records are written (A60)
inline constexpr int CLUSTER_LINE_TEXT_LENGTH = 70;  // lines shown in the dialog are cut here
inline constexpr int CLUSTER_HEADER_LINES = 2;

// "unitcell.cls" in unit-cell mode (1), else "gspace.cls".
std::string default_cluster_file_name(int unit_cell_mode);

// The default file of the mode in the working directory (the name alone, in
// the current directory, when no working directory is set).  The dialog
// saves and the cluster builder reads the same file.
std::string default_cluster_file_path(int unit_cell_mode, const std::string& working_directory);

// One entry line (55 characters) of entry 1..entry_count; the last column is
// independent_atom_count + entry.
std::string format_cluster_line(const SymmetryApplicationList& list, int entry, int independent_atom_count);

// Entries from lines laid out as a cluster file: the first two lines are the
// headers and are skipped, blank lines are skipped, every other line gives one
// entry from its first six values.  `source` names the lines in messages
// (a file name, or "the cluster list").  False, with a message and `list`
// unchanged, when a line does not start with an integer, three finite numbers
// and two integers, when the two header lines are missing, or for more
// entries than the list holds.
bool parse_cluster_lines(const std::vector<std::string>& lines, const std::string& source,
                         SymmetryApplicationList& list);

// Reads a whole cluster file into `list` (see parse_cluster_lines); a stream
// that fails while reading is reported as well.
bool read_cluster_file(std::istream& input, const std::string& file_name, SymmetryApplicationList& list);

// The file's lines as text for the dialog's list box, each cut to 70
// characters.  False, with a message and `lines` unchanged, for a file of more
// lines than a cluster list can hold or a stream that fails while reading.
bool read_cluster_file_lines(std::istream& input, const std::string& file_name, std::vector<std::string>& lines);

// Writes the lines as records of exactly 60 characters (cut or blank-padded).
// False when the stream fails.
bool write_cluster_file(std::ostream& output, const std::vector<std::string>& lines);

// As above into the file at `path` (created or replaced); a file that cannot
// be written is reported with a message naming it.
bool write_cluster_file(const std::string& path, const std::vector<std::string>& lines);
