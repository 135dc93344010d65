// Text files of the outside refinement programs (XD, MOLLY), held as lines
// and read the way those programs' files are read: line by line with rewind
// and step back, keyword searches, list-directed reads that go on over the
// following lines, and the writing of a symmetry operator into the
// 3-character fields of a symmetry card.  Shared by the XD and MOLLY readers.
#pragma once

#include "common/fortran_format.h"
#include "keldana/model/model_store.h"

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

// Columns of a line as the readers' text reads take it.
inline constexpr std::size_t REFINEMENT_LINE_WIDTH = 120;

struct RefinementTextFile {
    std::vector<std::string> lines;  // without line ends
    std::size_t next = 0;            // index of the next line; after a read, the 1-based number of that line
    bool cut = false;                // the file ends inside a line with text (not in `lines`)
};

// Reads the whole stream into `file` (a trailing carriage return is dropped
// from each line).  A last line with text but no line end is a record cut
// short (a value in it may be cut too): it is left out and `cut` is set, so a
// read that needs it fails and says so.  False when the stream could not be
// read.
bool load_refinement_text(std::istream& input, RefinementTextFile& file);

// The next line, blank-padded or cut to `width` columns; false at the end of
// the file.
bool read_refinement_line(RefinementTextFile& file, std::string& line, std::size_t width = REFINEMENT_LINE_WIDTH);

// Rewinds, then reads lines until one whose first four characters equal
// `keyword` (compared upper-cased when asked); `line` is that line,
// blank-padded to REFINEMENT_LINE_WIDTH, and the next read starts after it.
// False when the file ends first.
bool find_refinement_keyword(RefinementTextFile& file, std::string_view keyword, bool upper_case, std::string& line);

// One list-directed read starting at the next line and going on over further
// lines while values are still expected.  False with `error` saying why: the
// end of the file, a value that does not read, or a number beyond the range
// of a double.
bool read_refinement_list(RefinementTextFile& file, const FortranTarget* targets, std::size_t count,
                          std::string& error);
bool read_refinement_list(RefinementTextFile& file, std::initializer_list<FortranTarget> targets, std::string& error);

// One list-directed read from a text that must hold every value.
bool read_text_list(std::string_view text, const FortranTarget* targets, std::size_t count, std::string& error);
bool read_text_list(std::string_view text, std::initializer_list<FortranTarget> targets, std::string& error);

// Message details naming a place of a file.
std::string refinement_line_detail(std::size_t line, const std::string& what, const std::string& reason);
std::string refinement_end_detail(const RefinementTextFile& file, const std::string& what);

// The text up to the first `length` characters; with a longer name, the
// whole name follows on a new line, so a long path is still told in full.
// Shows a reading error (warning icon) and returns false.
bool report_refinement_error(const std::string& text, const std::string& caption);

// Clears what a refinement-file reader fills, so nothing of an earlier model
// is left in the fresh one.
void clear_refinement_read_areas(StructureModel& model);

// "atom 3 (C1)" for messages.
std::string refinement_atom_name(const StructureModel& model, int i);

std::string refinement_name_for_message(const std::string& name, std::size_t length);

// Opens a refinement file for reading; false for what is not a regular file,
// an over-size file or one that cannot be opened.
bool open_refinement_file(const std::string& path, std::ifstream& input);

// "No found file - " with the name (caption "Error"), or why an existing
// file is not read; returns false.
bool report_refinement_file_not_found(const std::string& name);

// ---- Symmetry cards ----

// The fields of one card: [row 1..3][field 1..3] = translation, first and
// second variable term (index 0 unused), as SpaceGroupSymmetry keeps them.
using SymmetryCardText = std::array<std::array<FixedText<3>, 4>, 4>;

// The card of x, y, z.
SymmetryCardText identity_symmetry_card();

// How the numbers of an operator in matrix notation are ordered: per row the
// translation and the three rotation entries (XD), or the three translations
// and then the rotation column by column (MOLLY).
enum class SymmetryMatrixLayout { by_rows, translations_then_columns };

// Converts the text of one operator (the part of its line after any keyword,
// up to column 80) into card fields.  The number of "." in the text selects
// the notation: four or more, twelve numbers of the matrix notation; one to
// three, decimal translations ("0.5-X, Y, 0.5-Z"); none, fractions as text
// ("1/2-X, 1/2+Y, -Z").  Rows are separated by a comma, blanks, or both.
// False with `reason` for a row that cannot be written on a card: no
// variable term, more than two of them, a translation that is not 0, 1/2,
// 1/3, 2/3, 1/4, 3/4, 1/6 or 5/6 (within 0.01), or a term of another shape.
bool convert_symmetry_operator_text(std::string_view text, SymmetryMatrixLayout layout, SymmetryCardText& card,
                                    std::string& reason);
