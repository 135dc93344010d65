// The interatomic surface file "*.ias": a binary stream without record
// marks, little-endian, integers int32 and reals float64.  The letters "IAS",
// n_theta, n_phi, then atom blocks to the end of the file: the atom's index
// (1..120), its 8-character label, its Cartesian position (3 reals), its
// start radius and its radii: row 0 for i = 0..n_theta, then rows
// j = 1..n_phi - 1 for i = 1..n_theta - 1 (the poles and row n_phi are
// rebuilt from row 0 when read).
#pragma once

#include "keldana/topology/interatomic_surface.h"

#include <istream>
#include <ostream>
#include <string>

void write_surface_file_header(std::ostream& output, int n_theta, int n_phi);

// One complete atom block; its start radius is the grid's.
void write_surface_block(std::ostream& output, int atom, const AtomLabel& label, const Vector3& position,
                         const SurfaceGrid& grid);

// Reads a whole surface file into the table: every present flag is cleared
// and the grid counts, start radii and radii of the file's atoms are set.  A
// wrong magic, a grid the table cannot hold, an atom index outside 1..120, a
// radius that is not a positive number or a file cut short before its first
// complete block is refused with a message naming the file, and the table is
// left as it was.  A file cut short inside a later block (a run that ended
// while writing) loads its complete blocks; a warning names the atom whose
// block is incomplete.
bool read_interatomic_surface_stream(std::istream& input, const std::string& file_name,
                                     InteratomicSurfaceTable& table);

// The same from the file at `path` (a file that cannot be opened is reported).
bool read_interatomic_surface_path(const std::string& path, InteratomicSurfaceTable& table);

// Asks for a surface file with the Open dialog and reads it into the
// program's table; on success ias_path of OutputFileNames names it.  False
// when cancelled or refused.
bool read_interatomic_surface_file();
