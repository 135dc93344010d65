// The files of the outside refinement program MOLLY: the parameter file
// "*.par" (sections KAPP and ATOM) and its table file, the same name with the
// extension "tab" (sections VALE, CELL, SYMM and DUMM), read into a
// structure model as the program's own file would give it.
//
// A section is found by its keyword in columns 1-4 of a line, searching from
// the start of its file; its data follow on the next lines ("free" below:
// list-directed values that may continue on following lines).
//
// Table file:
//   VALE  free: the number of valence sets; per set a line starting "ST",
//         (20X,5(I2,F8.5)) n(l) and zeta(l) for l = 0..4, and the next line,
//         (1X,A4) the set's name, cleaned to an element symbol ("NVAL" -> N,
//         "Fe" stays, "O1-" stays)
//   CELL  free: a, b, c, alpha, beta, gamma and one value not used
//   SYMM  the keyword line is the symmetry header line; the next line gives
//         the centring word and, after a "/", the lattice letter.  When it
//         starts with "/", a free card count follows and one operator a line
//         (matrix, decimal or fraction notation); otherwise the cards follow
//         in (3(3A3,1X)) up to a card "END"
//   DUMM  free: the number of dummy atoms; per dummy atom either its x, y, z
//         (free) or a line "S aa tttoo": the image of atom aa under operator
//         oo (oo above 50: operator oo-50 with its rotation negated) moved by
//         the lattice translations t-5
// Parameter file:
//   KAPP  free: the number of kappa sets; per set its number, kappa, kappa',
//         and two electron counts e1, e2
//   ATOM  free: the atom count; per atom the card
//         (A5,2X,2A1,3I3,2F3.0,I3,4F9.6,F8.3): label, two axis letters,
//         three frame atoms, valence set, kappa set, number of multipole
//         levels (l_max + 1), x, y, z, site divisor, population multiplier;
//         one line not used; free: Pv and P(l,0), P(l,+1), P(l,-1), ...,
//         P(l,+l), P(l,-l) for l = 0..4, the dipoles in the order P(1,+1),
//         P(1,-1), P(1,0), and P(3,-3), P(4,-3) with the opposite sign
#pragma once

#include "keldana/model/model_store.h"

#include <istream>
#include <string>

inline constexpr int MOLLY_MAX_SETS = 250;

struct MollyValenceSets {
    int valence_set_count = 0;
    std::array<FixedText<4>, MOLLY_MAX_SETS + 1> valence_set_name =
        filled_array<FixedText<4>, MOLLY_MAX_SETS + 1>(blank_text<4>());
    std::array<PerOrder<int>, MOLLY_MAX_SETS + 1> valence_set_n{};
    std::array<PerOrder<double>, MOLLY_MAX_SETS + 1> valence_set_zeta{};  // 1/bohr
};

struct MollyKappaSets {
    int kappa_set_count = 0;
    // kappa, kappa', and the electron counts e1, e2 of each set.
    std::array<std::array<double, 4>, MOLLY_MAX_SETS + 1> kappa_set_values{};
};

// The table file of a parameter file: its path with the extension replaced
// by "tab" ("model.par" -> "model.tab").  Empty when the file name has no
// extension.
std::string molly_table_file_path(const std::string& parameter_path);

// A valence-set name cleaned to its element symbol: from the right,
// characters 4 and 3 are blanked and character 2 unless it is a lower-case
// letter; a "+" or "-" stops the cleaning ("NVAL" -> "N", "SIV" -> "S",
// "Fe" stays, "O1-" stays).
FixedText<4> clean_molly_valence_set_name(const FixedText<4>& name);

// Reads the two files into `model`, whose atom-type table (the element table)
// must be filled: title ("Keldana input file ... <dummy string>"), cell,
// symmetry text and the operators parsed from it, dummy atoms (labelled by
// their number after the atoms), atoms (labels led by their element symbol,
// fractional coordinates, atomic numbers), local frame definitions, l_max,
// populations (times multiplier / divisor up to l_max; the occupancy is 1),
// kappas, configurations from the element table, core electrons (Z - e1 -
// e2) and radial functions (exponents in 1/bohr as read; the loader converts
// them).  Every area it fills is cleared first.
//
// Reports and gives false (the model then partly filled, not to be used): a
// record that does not read or is missing, a set index or count beyond what
// was read or the tables hold, a frame atom that is no atom or dummy atom, a
// site divisor of 0, a symmetry operator that cannot be written on a card,
// with "Please, check input file format - " + the first 26 characters of the
// title of the file being read, caption "Reading error"; a valence set whose
// name is no element, "No atomic number for atom type " + name, caption
// "Error!"; a generated dummy atom with operator 0 or 50, "Dummy atom lattice
// translations are not correct!", caption "Error!"; faulty symmetry cards with
// the messages of the card parser.
bool read_mol_input_streams(std::istream& parameter_file, std::istream& table_file, const std::string& parameter_title,
                            const std::string& table_title, StructureModel& model);

// Opens `path` and its table file and reads them as above (`file_title` names
// them in messages).  A file that cannot be opened, or a name without
// extension: "No found file - " + the first 44 characters of the name,
// caption "Error", false.
bool read_mol_input_files(const std::string& path, const std::string& file_title, StructureModel& model);
