// The density of single pseudoatoms: the normalised Slater orbitals of the
// wavefunction bank, the spherical free-atom densities built from them, and
// the prepared form of every atom of a model that the point evaluator sums.
//
// A pseudoatom's density is occupancy * (core + Pv / nv * valence(kappa)
// + sum over l of R_l(r) sum over m P_lm y_lm), with nv = Z - core electrons.
// The prepared form keeps, per atom, the distinct Slater functions of its core
// and valence sets with the nonzero pair coefficients of their products, each
// set's spherical density tabulated (spherical_density_table.h; summed pair
// by pair where it could not be), and per multipole order the populations
// folded into one homogeneous polynomial (sum over m of P_lm y_lm r^l).
// Value, gradient and Hessian come from one pass over the tables, the
// multipole radial functions and the polynomials.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/density/radial_functions.h"
#include "keldana/density/spherical_density_table.h"
#include "keldana/model/model_store.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"

#include <array>
#include <cmath>
#include <memory>
#include <vector>

inline constexpr double MIN_TERM_RADIUS = 1e-9;  // Angstrom: every term is taken at r >= this

// |d| raised to MIN_TERM_RADIUS, so every term stays finite at a nucleus.
inline double floored_length(const Vector3& d)
{
    const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    return r < MIN_TERM_RADIUS ? MIN_TERM_RADIUS : r;
}

inline constexpr double INVERSE_FOUR_PI = 0.07957747154594876;
inline constexpr int CORE_SET = 1;
inline constexpr int VALENCE_SET = 2;

// One normalised Slater orbital f = N r^(n-1) exp(-zeta r),
// N = (2 zeta)^(n + 1/2) / sqrt((2n)!), at the displacement (x, y, z) from the
// nucleus (r floored at 1e-9): the value always, the gradient for mode >= 5,
// f_xx and f_yy and f_zz for mode 8, f_kk alone for mode 9, 10, 11 (k = x, y,
// z), every second derivative for mode >= 12.  Fields the mode does not ask
// for keep their contents.  n must be 1..10 (the bank's range).
void evaluate_orbital_radial_term(int mode, int n, double zeta, double x, double y, double z,
                                  SlaterRadialValues& orbital);

// The spherical free-atom density of one electron set (CORE_SET or
// VALENCE_SET) of the atom's type, every orbital exponent multiplied by
// `scale`, at the displacement (x, y, z): the value for code < 5, d/dx, d/dy,
// d/dz for 5, 6, 7, the Laplacian for 8, the second derivatives xx, yy, zz,
// xy, xz, yz for 9..14.  0.0 for the core set with codes 2 and 4, the valence
// set with code 1, and every code from 15 up.
double evaluate_orbital_density_term(const StructureModel& model, const WavefunctionBank& bank,
                                     const RadialLookupTables& tables, int code, int set, int atom, double scale,
                                     double x, double y, double z);
// The same for the loaded model and the program's bank tables.
double evaluate_orbital_density_term(int code, int set, int atom, double scale, double x, double y, double z);

// Value, gradient and Hessian (xx, yy, zz, xy, xz, yz) at a point; the
// Laplacian alone when only it is asked for.
struct PointDerivatives {
    double value = 0;
    Vector3 gradient{};
    std::array<double, 6> hessian{};
    double laplacian = 0;
};

// laplacian: the value and the Laplacian, without gradient or Hessian.
enum class DerivativeOrder { value, gradient, hessian, laplacian };

// Which terms of a pseudoatom a property takes.
struct TermSelection {
    bool core = false;
    bool valence = false;
    bool free_valence = false;  // subtracted: the free atom's own spherical valence density
    bool multipoles = false;
    DerivativeOrder order = DerivativeOrder::value;
};

// The terms of property codes 0..14 and 24: 0 core + valence, 1 core,
// 2 valence + multipoles, 3 total, 4 deformation (valence + multipoles - free
// valence), 5..14 and 24 derivatives of the total density (8 the Laplacian
// alone).
TermSelection select_terms_for_code(int code);

// A distinct Slater function of a prepared atom: N r^power exp(-exponent r).
struct PreparedSlaterFunction {
    int power = 0;
    double exponent = 0;
    double normalisation = 0;
    int sets = 0;  // bit 1 core, 2 valence, 4 free valence: the pair lists using it
};

// (2 - delta) D / (4 pi) of one pair of functions, summed over the shells.
struct PreparedOrbitalPair {
    int first = 0, second = 0;  // into PreparedDensityModel::functions
    double coefficient = 0;
};

// Monomials x^a y^b z^c of degree 0..MAX_L.
inline constexpr int MONOMIAL_COUNT = (MAX_L + 1) * (MAX_L + 2) * (MAX_L + 3) / 6;

// One term of a polynomial in the components of d: the coefficient times
// the point monomial `index` (lowest degree first).
struct PreparedMonomial {
    double coefficient = 0;
    int index = 0;
};

// The polynomials of one multipole order: 0 is Q = sum over m of
// P_lm y_lm r^l, 1..3 its first derivatives (x, y, z), 4..9 its second
// derivatives (xx, yy, zz, xy, xz, yz), all worked out at preparation.
inline constexpr int ORDER_POLYNOMIALS = 10;

// One multipole order: R_l / r^l = N r^power exp(-exponent r) times Q; the
// monomials of polynomial k are [polynomial_begin[k], polynomial_begin[k + 1]).
struct PreparedOrder {
    int l = 0;
    bool harmonic = false;  // Q has no Laplacian: every r^l y_lm is a solid harmonic
    int power = 0;
    double exponent = 0;
    double normalisation = 0;
    // Into PreparedDensityModel::order_coefficients: the same polynomials
    // dense over the monomials of their degree, in monomial order: Q
    // (degree l), the gradient's three interleaved (l - 1), the Hessian's
    // six interleaved (l - 2).
    int coefficient_begin = 0;
    std::array<int, ORDER_POLYNOMIALS + 1> polynomial_begin{};  // last: the evaluator does not read it
};

// Below this (e/Angstrom^3) an atom's density terms are not summed.
inline constexpr double TERM_DENSITY_FLOOR = 1e-10;

inline constexpr int PAIR_SET_CORE = 0, PAIR_SET_VALENCE = 1, PAIR_SET_FREE = 2;
inline constexpr int CORE_AND_VALENCE_TABLE = 3, SPHERICAL_TABLES = 4;

// The fields a point's evaluation reads come first, so an atom's terms
// touch few cache lines.
struct PreparedPseudoatom {
    // Beyond this distance the atom's terms are skipped: rCut, or less where
    // each of them (core, valence, free valence, each multipole order) stays
    // below TERM_DENSITY_FLOOR; beyond core_radius the core alone does.
    double radius = 0;
    double core_radius = 0;
    double occupancy = 0;
    double valence_weight = 0;         // Pv / nv; 0 when nv <= 0
    int function_begin = 0, function_end = 0;
    // Into PreparedDensityModel::spherical_tables: pair set s at [s], the
    // core plus the weighted valence within core_radius at
    // [CORE_AND_VALENCE_TABLE]; -1: summed pair by pair (no pairs, or no
    // table within its size limit).
    std::array<int, SPHERICAL_TABLES> spherical_table{-1, -1, -1, -1};
    int order_count = 0;
    int monomial_degree = 0;   // highest degree of the order polynomials
    int highest_power = 0;     // of r among its Slater functions and orders
    // Local-frame evaluation: d' = frame d; the derivatives are turned back.
    bool use_frame = false;
    bool frame_orthonormal = false;  // the Laplacian needs no turning back
    Matrix3 frame;
    std::array<PreparedOrder, MAX_L + 1> orders{};
    std::array<int, 4> pair_begin{};   // pair set s is [pair_begin[s], pair_begin[s + 1])
    Vector3 position{};
    int atomic_number = 0;
    bool active = false;
};

// Which populations the prepared atoms carry.
enum class PopulationFrame { global, local };

struct PreparedDensityModel {
    PopulationFrame frame = PopulationFrame::global;
    double cutoff = 0;                        // rCut
    std::vector<PreparedPseudoatom> atoms;    // [1..N], slot 0 unused
    std::vector<PreparedSlaterFunction> functions;
    std::vector<PreparedOrbitalPair> pairs;
    std::vector<PreparedMonomial> monomials;
    std::vector<double> order_coefficients;
    // Shared by the atoms of equal pair sets, and with later preparations.
    std::vector<std::shared_ptr<const SphericalDensityTable>> spherical_tables;
    double largest_radius = 0;                // of the active atoms
};

inline constexpr int MAX_PREPARED_FUNCTIONS = 3 * MAX_BANK_FUNCTIONS * BANK_SHELL_COUNT;

// Prepares atoms 1..atom_count of `model` for evaluation with the multipole
// order limit lPole and the cut-off rCut of `settings`, each atom with its
// own radius (at most rCut) beyond which its terms stay below
// TERM_DENSITY_FLOOR.  Global: the
// populations of GlobalFramePopulations; local: multipole_population in the
// atom's local axes (an atom whose axes cannot be built keeps the global
// populations and no frame, which describes the same density).  P00 is never
// rotated and is always taken from multipole_population.
void prepare_density_model(const StructureModel& model, const WavefunctionBank& bank,
                           const RadialLookupTables& tables, const CalculationSettings& settings,
                           PopulationFrame frame, PreparedDensityModel& prepared);

// Adds the selected terms of prepared atom `atom` (times its occupancy) at
// the displacement d = point - atom position (global axes).  With
// DerivativeOrder::laplacian, the value and the Laplacian: each multipole
// term S(r) Q(d), Q homogeneous of degree l, has the Laplacian
// Q (S'' + 2 (l + 1) S' / r) + S lap Q, and lap Q is 0 for harmonic Q.  False, adding
// nothing, when the floored distance is beyond the atom's radius.
bool accumulate_pseudoatom(const PreparedDensityModel& prepared, int atom, const Vector3& d,
                           const TermSelection& selection, PointDerivatives& sum);

// The same in two steps, for callers that take the distances of many atoms
// in one loop (their square roots then overlap): d in the atom's own frame,
// then the terms at that d and r = floored_length(d).
inline Vector3 displacement_in_atom_frame(const PreparedPseudoatom& atom, const Vector3& d_global)
{
    Vector3 d = d_global;
    if (atom.use_frame)
        for (int row = 0; row < 3; ++row)
            d[row] = atom.frame(row + 1, 1) * d_global[0] + atom.frame(row + 1, 2) * d_global[1]
                     + atom.frame(row + 1, 3) * d_global[2];
    return d;
}
bool accumulate_pseudoatom_at(const PreparedDensityModel& prepared, int atom, const Vector3& d, double r,
                              const TermSelection& selection, PointDerivatives& sum);

// The displacements of several points from one atom, in the atom's frame,
// by column (so that neighbouring points load as one vector), and their
// floored lengths.
struct DisplacementColumns {
    const double* x;
    const double* y;
    const double* z;
    const double* r;
};

// accumulate_pseudoatom_at(prepared, atom, {d.x[k], d.y[k], d.z[k]}, d.r[k],
// selection, *sums[k]) for k = 0..count-1, for a selection of
// DerivativeOrder::value or ::laplacian: the points' multipole terms are
// taken side by side in vector lanes, with the same arithmetic per point, so
// each sum gets the same bits.
void accumulate_pseudoatom_values(const PreparedDensityModel& prepared, int atom, const DisplacementColumns& d,
                                  std::size_t count, const TermSelection& selection, PointDerivatives* const* sums);
// Whether accumulate_pseudoatom_values takes AVX2 registers (where the
// processor has them; the default); false takes SSE2 everywhere.
void use_avx2_lanes(bool use);

// exp(-exponent r), the exponential of the multipoles' radial functions:
// the evaluator's own routine, so that points side by side in vector lanes
// get the bits of a point alone.  Within 1.5 units in the last place while
// -708 <= -exponent r <= 709; below that 0 (the results would be below the
// smallest normal double), above it infinity, NaN as NaN.
double multipole_exponential(double exponent, double r);
