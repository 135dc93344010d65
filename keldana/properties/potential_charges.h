// Potential-derived charges: the electrostatic potential of the model (EPOT)
// on a cubic grid around the atoms, the grid points in a shell outside the
// atoms' van der Waals spheres, and one point charge per charge class fitted
// to the potential there by least squares, the charges of all atoms summing
// to zero.  Points, residual and charges are reported.
#pragma once

#include "keldana/model/model_store.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

inline constexpr int MAX_POTENTIAL_GRID_POINTS = 10000;
inline constexpr int MAX_POINTS_PER_EDGE = 21;  // 21^3 = 9261 grid points
inline constexpr int MAX_CHARGE_CLASSES = MAX_WORKING_ATOMS;

// The fit-constraint value of each atom: atoms with equal values share one
// charge.
struct ChargeClassArray {
    PerWorkingAtom<int> class_value{};
};

// The classes of the last fit, numbered 1..class_count in order of first
// appearance, with their fitted charges (electrons).
struct ChargeClasses {
    int class_count = 0;
    PerWorkingAtom<int> atom_class{};    // [atom]: its class
    PerWorkingAtom<int> member_count{};  // [class]
    PerWorkingAtom<int> first_member{};  // [class]: the atom that names it
    PerWorkingAtom<double> charge{};     // [class]
};

// The grid of the fit, compacted in place to the fitting points (1-based).
struct PotentialGridPoints {
    std::vector<double> x = std::vector<double>(MAX_POTENTIAL_GRID_POINTS + 1);
    std::vector<double> y = std::vector<double>(MAX_POTENTIAL_GRID_POINTS + 1);
    std::vector<double> z = std::vector<double>(MAX_POTENTIAL_GRID_POINTS + 1);
    std::vector<double> potential = std::vector<double>(MAX_POTENTIAL_GRID_POINTS + 1);  // e/Angstrom
    std::vector<double> weight = std::vector<double>(MAX_POTENTIAL_GRID_POINTS + 1);
    int point_count = 0;
    std::array<double, 3> box_min{}, box_max{};  // the cube, Angstrom
};

struct PotentialFitSettings {
    int points_per_edge = 12;
    double edge_length = 11.0;    // Angstrom
    double envelope_width = 2.5;  // Angstrom
    int weighting_scheme = 0;     // every point weighs 1
};

// The potential at a Cartesian point (Angstrom), e/Angstrom.
using PotentialFunction = std::function<double(double x, double y, double z)>;

// The program's areas.
ChargeClassArray& charge_class_array();
ChargeClasses& charge_classes();
PotentialGridPoints& potential_grid_points();

// Every independent atom its own value, every image its parent's.
void fill_default_charge_class_array(const StructureModel& model, ChargeClassArray& array);

// Atom i joins the class of the first earlier atom with its value, or opens
// the next class.
void build_charge_classes(const StructureModel& model, const ChargeClassArray& array, ChargeClasses& classes);

// The n^3 points of the cube box_min..box_max (z outermost, x innermost),
// each coordinate stepped by repeated addition, with their potential and
// weight 1.  n must be 2..MAX_POINTS_PER_EDGE.
void build_potential_grid(int n, const PotentialFunction& potential, PotentialGridPoints& grid);

// Keeps the points at least R(1) + R(k) from every atom k and closer than
// that plus the envelope to some atom (R the van der Waals radius of the
// type, R(1) that of the first type of the element table), moved to the
// front in grid order; returns their count.
int select_points_outside_atoms(const StructureModel& model, double envelope, PotentialGridPoints& grid);

// False when n is outside 2..MAX_POINTS_PER_EDGE (no step, or more points
// than the grid holds), or the edge or the envelope is not a positive number.
bool check_potential_fit_settings(const PotentialFitSettings& settings);

// The whole fit and its report for `model` with `potential`; the charges are
// left in `classes`.  False, with a message, when the settings are refused or
// the points cannot determine the charges (too few points for the classes,
// or a singular system).
bool fit_potential_derived_charges(const StructureModel& model, const ChargeClassArray& array,
                                   const PotentialFitSettings& settings, const PotentialFunction& potential,
                                   ChargeClasses& classes, PotentialGridPoints& grid);

// The fit for current_model() into the program's areas, to the
// electrostatic potential of the working atoms themselves (the atoms the
// charges stand for, without lattice translations, whatever K, L, M are).
// The spherical potential tables it needs are built first when they are not
// (false when that fails or is cancelled).
bool fit_potential_derived_charges(const ChargeClassArray& array, const PotentialFitSettings& settings);

// The dialog's list entries, (I3,2X,I3): atom number and its array value;
// the value is read back in free form from characters 6 to 8.
std::string format_charge_class_item(int atom, int value);
bool read_charge_class_item(const std::string& item, int& value);

// The three boxes as the dialog reads them: n in free form from the first
// 3 characters, the edge and the envelope from the first 8.  False when one
// is unreadable or refused by check_potential_fit_settings; bad_box is then
// 0, 1 or 2 for the box to correct.
bool read_potential_fit_settings(const std::string& count_text, const std::string& edge_text,
                                 const std::string& envelope_text, PotentialFitSettings& settings, int& bad_box);
