// Integration of a property (or of 1, the volume) over atomic basins: inside
// the beta sphere of the atom with a fixed Gauss-Legendre product rule, and
// between the beta sphere and the interatomic surface with a product rule of
// the user's sizes, the surface radius at each quadrature direction
// interpolated in its cell of the surface grid (bilinearly in 1/R, which is
// smooth where the radius climbs steeply); where a ray leaves the basin and
// enters it again, also over the parts of the ray beyond its first crossing
// that belong to the atom.  Also the job of
// the integration dialog's "Start": the cluster around each selected atom,
// then its surface or its integral, with the report and the restored model.
#pragma once

#include "keldana/density/numeric_helpers.h"
#include "keldana/topology/interatomic_surface.h"

#include <array>
#include <string>
#include <vector>

// Rules of the quadrature: the inner part's sizes and the radial counts.
inline constexpr int INNER_THETA_POINTS = 32;
inline constexpr int INNER_PHI_POINTS = 48;
inline constexpr int INNER_RADIAL_POINTS = 120;
inline constexpr int INNER_RADIAL_POINTS_HYDROGEN = 96;

// True for the sizes the Gauss-Legendre rule knows: 1, 2, every even number
// from 4 to 32, 36, 40, 48, 54, 64, 96 and 120.
bool is_gauss_legendre_size(int n);

// The n nodes on [-1, 1] in ascending order and their weights.
struct GaussLegendreRule {
    std::vector<double> nodes;
    std::vector<double> weights;
};

// The cached rule of size n (computed on first use, never moved afterwards,
// so the ray loops read it without copying); null for any other size.
const GaussLegendreRule* gauss_legendre_rule(int n);

// Copies of the cached rule; false, with the vectors untouched, for any other
// size.
bool get_gauss_legendre_rule(int n, std::vector<double>& nodes, std::vector<double>& weights);

// The last results of each atom (1..120) and the dialog's selection; every
// model load clears them.
struct BasinIntegrationResults {
    std::array<double, MAX_SURFACE_ATOMS + 1> basin_property_integral{};
    std::array<double, MAX_SURFACE_ATOMS + 1> basin_volume{};
    std::array<int, MAX_SURFACE_ATOMS + 1> basin_selected{};
};

BasinIntegrationResults& basin_integration_results();

// The property a basin integral takes at a point: 1 for code 0 (the
// volume), the energy densities from code 30, the Laplacian of the density
// for code 8 whatever its sign setting, else the evaluator's value.
double basin_integrand(const Vector3& point, int code);

// Evaluations of the integrand made so far (for the benchmark).
long long basin_integrand_count();

// The radial part of one direction: the n_r-point rule over [r0, r1] of
// f r^2 times theta_weight sin(theta) (pi/2) half, half = (r1 - r0)/2.  The
// windows run after every point; `cancelled` is set when Cancel was
// confirmed (the result is then 0).
double integrate_property_along_ray(const Vector3& centre, double theta, double phi, double r0, double r1,
                                    double theta_weight, int n_r, int code, bool& cancelled);

// The surface radius of `atom` at (theta, phi) for every node pair of the
// rules, interpolated from the table's grid: R[k * phi_nodes.size() + l].
// Equal to the grid's radius at a grid direction and between the radii of the
// corners of the grid cell around the direction.
std::vector<double> interpolate_surface_radii(const InteratomicSurfaceTable& table, int atom,
                                              const std::vector<double>& theta_nodes,
                                              const std::vector<double>& phi_nodes);

// The radii the integration uses at the node pairs: interpolated, and with
// `rays` prepared for the atom, traced on the surface itself where the grid
// cell's radii differ by more than 5 per cent (where the surface is steep,
// folded or bends between grid directions) or where a corner's ray
// re-enters the basin.  `segments`, when given, receives by node pair the
// parts of the basin beyond the first crossing (pairs of radii; empty where
// the ray does not re-enter).  The traced radii are kept for the next call
// with the same surface, nodes and search.  False when cancelled.
bool integration_surface_radii(const InteratomicSurfaceTable& table, int atom, const std::vector<double>& theta_nodes,
                               const std::vector<double>& phi_nodes, const SurfaceRaySearch* rays,
                               std::vector<double>& radii, std::vector<std::vector<double>>* segments = nullptr);

enum class BasinOutcome { completed, cancelled, refused };

// The integral of property `code` (0: the volume) over the basin of `atom`,
// whose surface is in the table, with n_theta x n_phi directions outside the
// beta sphere.  Shows the progress dialog; Cancel ends it.  Refused (with a
// message) for an atom without a surface or sizes the rules do not know.
// With `rays` prepared for the atom (and the cluster it was prepared in),
// the surface radii are those of integration_surface_radii, and the parts
// of re-entrant rays beyond the first crossing are integrated too.
BasinOutcome integrate_property_in_basin(int atom, int n_theta, int n_phi, int code,
                                         const InteratomicSurfaceTable& table, double& result,
                                         const SurfaceRaySearch* rays = nullptr);

enum class BasinJobMode { surfaces, property, volume };

// One "Start" of the integration dialog, its boxes already read.
struct BasinJobRequest {
    BasinJobMode mode = BasinJobMode::property;
    std::vector<int> atoms;          // independent atoms, in list order
    int n_theta = 32, n_phi = 48;    // the surface grid, or the outer rule's sizes
    double cluster_radius = 0;       // Angstrom: the cluster around each atom and rCut for the run
    double step_factor = 0.015;      // surfaces: base length of a path step
    double surface_tolerance = 0.0005;
    std::string surface_file;        // surfaces: the file written
    int code = 3;                    // property mode: the property integrated
};

struct BasinJobResult {
    bool started = false;    // false: refused before any atom (reported)
    bool completed = false;  // every atom done
    std::vector<int> done;   // atoms whose surface or integral was finished
    double total = 0;
    double seconds = 0;
    long long evaluations = 0;
};

// Runs the job: rCut := the cluster radius; for each atom the cluster of
// symmetry images within that radius, then its surface (stored in the table
// and written to the file) or, when its surface is known, its integral
// (stored in the results); the report in the listing and the pane.  The
// model (cluster, atom count, subset) is restored however the job ends;
// the user's critical-point list is never touched.  An integral over a
// surface read from a file, which holds only each direction's first
// crossing, says in the report that it assumes one crossing a direction.
BasinJobResult run_basin_job(const BasinJobRequest& request);

// Checks a request's counts against the surface grid and the quadrature
// rules (surfaces: 4..96 theta and 6..120 phi intervals; integrals: sizes
// the rules know).
bool is_valid_basin_request(const BasinJobRequest& request);

// The name shown for the integrated quantity: " VOLUME  " or the property's
// label.
std::string basin_integral_name(BasinJobMode mode, int code);
