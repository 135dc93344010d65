// The loaded structure model: atoms, cell, symmetry, dummy atoms, pseudoatom
// parameters, local frames, atom types and the symmetry cluster.
//
// Conventions kept from the numerical code that reads these tables:
// - indices are 1-based: every array is sized capacity + 1 and slot 0 is never
//   a valid atom, type, card or operator (per-l arrays run l = 0..MAX_L);
// - text fields are std::array<char, N>, blank-padded and never terminated
//   (see text_fields.h for the helpers that fill and read them);
// - lengths in Angstrom, cell angles in degrees, radial exponents in 1/Angstrom
//   once the loader has converted them (1/bohr as read from files).
//
// A load fills a fresh StructureModel on the heap and commits it only when
// every step succeeded, so a failed load leaves the previous model untouched.
// StructureModel is a plain aggregate of fixed-size arrays: copyable, movable
// and big (about 350 kB), so never put one on the stack.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numbers>

inline constexpr int MAX_WORKING_ATOMS = 250;      // independent atoms + images (+ dummies in the Cartesian arrays)
inline constexpr int MAX_INDEPENDENT_ATOMS = 120;
inline constexpr int MAX_DUMMY_ATOMS = 120;
inline constexpr int MAX_ATOM_TYPES = 120;
inline constexpr int MAX_SYMMETRY_CARDS = 50;
inline constexpr int MAX_SYMMETRY_OPERATORS = 48;
inline constexpr int MAX_L = 4;                    // highest multipole order
inline constexpr int MAX_IMAGES_PER_ATOM = 120;    // image_list slots of one atom, the atom itself included
inline constexpr int MAX_SYMMETRY_APPLICATIONS = 250;
inline constexpr int SHELL_OCCUPATION_COUNT = 56;

inline constexpr double DEG_TO_RAD = std::numbers::pi / 180;
inline constexpr double BOHR_ANGSTROM = 0.529177249;

template <std::size_t N>
using FixedText = std::array<char, N>;
using AtomLabel = FixedText<8>;

template <std::size_t N>
constexpr FixedText<N> blank_text()
{
    FixedText<N> text{};
    text.fill(' ');
    return text;
}

template <typename T, std::size_t N>
constexpr std::array<T, N> filled_array(const T& value)
{
    std::array<T, N> array{};
    array.fill(value);
    return array;
}

// A 3 x 3 matrix stored column by column, addressed 1-based as (row, column).
struct Matrix3 {
    std::array<double, 9> v{};

    double& operator()(int row, int column) { return v[(column - 1) * 3 + (row - 1)]; }
    double operator()(int row, int column) const { return v[(column - 1) * 3 + (row - 1)]; }
};

// Multipole populations P(l, m) of one atom, l = 0..MAX_L, m = -l..l;
// m > 0 cosine, m < 0 sine real harmonics.
struct MultipolePopulations {
    std::array<std::array<double, 2 * MAX_L + 1>, MAX_L + 1> p{};

    double& operator()(int l, int m) { return p[l][m + MAX_L]; }
    double operator()(int l, int m) const { return p[l][m + MAX_L]; }
};

template <typename T>
using PerWorkingAtom = std::array<T, MAX_WORKING_ATOMS + 1>;
template <typename T>
using PerIndependentAtom = std::array<T, MAX_INDEPENDENT_ATOMS + 1>;
template <typename T>
using PerAtomType = std::array<T, MAX_ATOM_TYPES + 1>;
template <typename T>
using PerOrder = std::array<T, MAX_L + 1>;  // l = 0..MAX_L

struct WorkingAtomSet {
    int atom_count = 0;              // N: atoms 1..N
    int independent_atom_count = 0;  // atoms 1..Nind from the input, Nind+1..N symmetry images
    PerWorkingAtom<AtomLabel> atom_label = filled_array<AtomLabel, MAX_WORKING_ATOMS + 1>(blank_text<8>());
    PerWorkingAtom<double> frac_x{}, frac_y{}, frac_z{};
    // Slots N+1..N+dummy_count hold the dummy atoms.
    PerWorkingAtom<double> cart_x{}, cart_y{}, cart_z{};
    PerWorkingAtom<int> atomic_number{};
    PerWorkingAtom<int> subset_mask{};  // not 0: active in evaluations, searches and the viewer
    PerWorkingAtom<int> atom_type_index{};  // 1..MAX_ATOM_TYPES into AtomTypeTable
    // Weight in lattice sums: 1 in space; 0.5 face, 0.25 edge, 0.125 corner in unit-cell mode.
    PerWorkingAtom<double> site_weight{};
};

struct UnitCell {
    double cell_a = 0, cell_b = 0, cell_c = 0;              // Angstrom
    double cell_alpha = 0, cell_beta = 0, cell_gamma = 0;   // degrees
    double cell_volume = 0;                                 // cubic Angstrom
};

// Fractional to Cartesian, r = M f; upper triangular with a along x and b in
// the xy plane.  No inverse is kept: the back conversion back-substitutes.
struct OrthogonalisationMatrix {
    Matrix3 matrix;
};

struct SpaceGroupSymmetry {
    FixedText<80> input_title = blank_text<80>();
    FixedText<80> symmetry_header_line = blank_text<80>();
    FixedText<20> centring_word = blank_text<20>();  // "CEN" / "NON" in its first three characters
    char lattice_letter = ' ';                       // P, A, B, C, F, I or R
    int lattice_type = 0;                            // 1 P, 2 A, 3 B, 4 C, 5 F, 6 I, 7 R, 0 other
    int symmetry_card_count = 0;
    // [card][row][field], rows and fields 1..3: row r gives the r-th coordinate of the image.
    std::array<std::array<std::array<FixedText<3>, 4>, 4>, MAX_SYMMETRY_CARDS + 1> symmetry_card_text =
        filled_array<std::array<std::array<FixedText<3>, 4>, 4>, MAX_SYMMETRY_CARDS + 1>(
            filled_array<std::array<FixedText<3>, 4>, 4>(filled_array<FixedText<3>, 4>(blank_text<3>())));
};

struct SymmetryOperators {
    // [operator][row 1..3][column 1..4]: columns 1-3 the rotation in fractional
    // coordinates, column 4 the translation.
    std::array<std::array<std::array<double, 5>, 4>, MAX_SYMMETRY_OPERATORS + 1> symop{};
    int symop_count = 0;
    int centrosymmetric = 0;  // 1 when the inverted copies follow the cards' operators
};

// Points that only serve to define local axes; a frame-atom index above N
// refers to dummy (index - N).
struct DummyAtoms {
    int dummy_count = 0;
    std::array<double, MAX_DUMMY_ATOMS + 1> dummy_x{}, dummy_y{}, dummy_z{};  // fractional
    std::array<AtomLabel, MAX_DUMMY_ATOMS + 1> dummy_label =
        filled_array<AtomLabel, MAX_DUMMY_ATOMS + 1>(blank_text<8>());
};

struct PseudoatomParameters {
    PerWorkingAtom<int> l_max{};  // 0..MAX_L
    PerWorkingAtom<int> core_electron_count{};  // monopole charge is Z - core - Pv
    PerIndependentAtom<FixedText<80>> electron_configuration =
        filled_array<FixedText<80>, MAX_INDEPENDENT_ATOMS + 1>(blank_text<80>());
    PerWorkingAtom<PerOrder<int>> radial_n{};        // [atom][l]: power of r of the deformation function
    PerWorkingAtom<PerOrder<double>> radial_zeta{};  // [atom][l]: exponent, 1/Angstrom in memory
    PerWorkingAtom<double> kappa{}, kappa_prime{};
    PerWorkingAtom<double> valence_population{};
    PerWorkingAtom<double> occupancy{};
    PerWorkingAtom<MultipolePopulations> multipole_population{};  // in the atom's local frame
};

// Populations of each working atom rotated into the global Cartesian frame.
struct GlobalFramePopulations {
    PerWorkingAtom<MultipolePopulations> population{};
};

struct LocalAxisDefinitions {
    // Atoms (or dummies, index > N) defining the local frame; frame_atom_1 may
    // be negative, its sign is read by the frame builder.
    PerWorkingAtom<int> frame_atom_1{}, frame_atom_2{}, frame_atom_3{};
    PerWorkingAtom<char> frame_axis_letter_1 = filled_array<char, MAX_WORKING_ATOMS + 1>(' ');
    PerWorkingAtom<char> frame_axis_letter_2 = filled_array<char, MAX_WORKING_ATOMS + 1>(' ');
    PerWorkingAtom<int> frame_axis_1{}, frame_axis_2{};  // 1 x, 2 y, 3 z; never equal
    // Frame atoms of each independent atom as loaded: the reference for
    // re-basing dummy references whenever N changes.
    PerIndependentAtom<int> loaded_frame_atom_1{}, loaded_frame_atom_2{}, loaded_frame_atom_3{};
};

struct AtomTypeTable {
    PerAtomType<FixedText<4>> type_symbol = filled_array<FixedText<4>, MAX_ATOM_TYPES + 1>(blank_text<4>());
    PerAtomType<int> type_atomic_number{};
    PerAtomType<double> type_mass{};
    PerAtomType<double> type_radius{};           // van der Waals radius, Angstrom
    PerAtomType<double> type_covalent_radius{};  // Angstrom
    PerAtomType<int> type_colour{};              // red bits 16-23, green 8-15, blue 0-7
    PerAtomType<FixedText<50>> type_text = filled_array<FixedText<50>, MAX_ATOM_TYPES + 1>(blank_text<50>());
    std::array<int, SHELL_OCCUPATION_COUNT + 1> shell_occupation{};  // of one analysed configuration
};

// Which images make the cluster: each entry applies an operator and a lattice
// translation to a range of independent atoms.
struct SymmetryApplicationList {
    int entry_count = 0;
    // Operator index; negative: its rotation negated (inversion); 0: skipped.
    std::array<int, MAX_SYMMETRY_APPLICATIONS + 1> operation{};
    std::array<std::array<double, 4>, MAX_SYMMETRY_APPLICATIONS + 1> translation{};  // [entry][1..3], fractional
    std::array<int, MAX_SYMMETRY_APPLICATIONS + 1> first_atom{}, last_atom{};  // inclusive
};

struct SymmetryImageMap {
    PerWorkingAtom<int> parent_atom{};          // of an image: its independent atom
    PerWorkingAtom<int> generating_operator{};  // of an image: the signed operation of its entry
    PerWorkingAtom<int> image_count{};          // of an independent atom: 1 + its images
    // [atom a][j]: j = 1 is a itself, 2..image_count(a) its images in order of creation.
    PerIndependentAtom<std::array<int, MAX_IMAGES_PER_ATOM + 1>> image_list{};
};

struct ClusterTranslations {
    // Lattice translations -K..K, -L..L, -M..M of the lattice sums.
    int cluster_k = 1, cluster_l = 1, cluster_m = 1;
    int unit_cell_mode = 0;  // 0 cluster in space ("gspace.cls"), 1 unit cell ("unitcell.cls")
};

struct StructureModel {
    WorkingAtomSet atoms;
    UnitCell cell;
    OrthogonalisationMatrix orthogonalisation;
    SpaceGroupSymmetry space_group;
    SymmetryOperators operators;
    DummyAtoms dummies;
    PseudoatomParameters pseudoatoms;
    GlobalFramePopulations global_populations;
    LocalAxisDefinitions local_axes;
    AtomTypeTable atom_types;
    SymmetryApplicationList applications;
    SymmetryImageMap images;
    ClusterTranslations translations;
};

// The program's loaded model, allocated once on first use.  Its address never
// changes, so references to it stay valid across loads.
StructureModel& current_model();

// Makes a fully loaded model the current one (its contents are moved into
// current_model()); a null pointer changes nothing.
void commit_model(std::unique_ptr<StructureModel> loaded);

// Revision of the loaded model and of what its evaluation reads besides it:
// the wavefunction bank, its radial tables and the calculation settings.
// Whatever changes any of them (a load, an edit, the promolecule switch, a
// cluster, a settings dialog, a bank) calls note_model_change(); the
// evaluators rebuild what they prepared from them when the revision they
// were built for is no longer current.  Safe to read from any thread.
std::uint64_t model_revision();
void note_model_change();

// Sets the current model's lattice translations of the lattice sums; a
// model change only when they differ from those it has, so a job that
// writes its dialog's unchanged boxes back keeps what was prepared.
void set_lattice_translations(const ClusterTranslations& translations);
