// The electrostatic potential of the example molecules, loaded through the
// program: its values, Poisson's equation against the model's own density,
// the curvatures at the centre of cyanogen, and the position-weighted
// gradient sum of the virial kinetic-energy models for the hydrogen atom;
// the Laplacian taken alone against the trace of the full Hessian.
#include "common/scripted_ui.h"
#include "keldana/density/eigen_solver.h"
#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/energy_densities.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/topology/newton_locator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3, EPOT = 23;
constexpr double PI = std::numbers::pi;

class PotentialExampleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_epot_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
    }

    void TearDown() override
    {
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    // Copies examples/<folder>/<file> (and its cluster file, if any) here,
    // loads it with the default settings and builds the potential tables.
    bool load_example(const std::string& folder, const std::string& file)
    {
        const fs::path source = fs::path(KD_SOURCE_DIR) / "examples" / folder;
        if (!fs::exists(source / file))
            return false;
        fs::copy_file(source / file, directory_ / file, fs::copy_options::overwrite_existing);
        if (fs::exists(source / "gspace.cls"))
            fs::copy_file(source / "gspace.cls", directory_ / "gspace.cls", fs::copy_options::overwrite_existing);
        else
            ui_->answers.message_answers.push_back(MessageAnswer::no);
        RunSettings& settings = run_settings();
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        settings.file_dialog.dialog_path = (directory_ / file).string();
        settings.file_dialog.file_title = file;
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (directory_ / file).string();
        settings.paths.wavefun_bank_path.clear();
        settings.calculation = CalculationSettings{};
        apply_default_calculation_settings(settings.calculation);
        return load_structure_file() && build_spherical_potential_tables();
    }

    static Vector3 atom(int i)
    {
        const WorkingAtomSet& a = current_model().atoms;
        return {a.cart_x[i], a.cart_y[i], a.cart_z[i]};
    }

    // Points of benzoquinone between and around its atoms (not at grid
    // radii of any atom): bond points, the ring centre, lone-pair and
    // hydrogen regions and points off the molecular plane.
    static std::vector<Vector3> benzoquinone_points()
    {
        struct Place {
            int from, to;
            double fraction;
            Vector3 shift;
        };
        // Atoms 1-6: C1 C2 C3 O1 H2 H3; 7-12 their images through the centre.
        const Place places[] = {
            {1, 2, 0.5, {0, 0, 0}},        {2, 3, 0.47, {0, 0, 0}},     {3, 7, 0.5, {0.02, -0.01, 0.03}},
            {1, 4, 0.45, {0, 0, 0}},       {2, 5, 0.55, {0, 0, 0}},     {3, 6, 0.6, {0.05, 0, -0.04}},
            {4, 4, 0, {0.35, -0.45, 0.3}}, {1, 1, 0, {0.4, 0.5, -0.3}}, {5, 5, 0, {-0.2, 0.55, 0.35}},
            {1, 9, 0.5, {0.1, -0.15, 0.2}},
        };
        std::vector<Vector3> points;
        for (const Place& p : places) {
            const Vector3 a = atom(p.from), b = atom(p.to);
            Vector3 q;
            for (int k = 0; k < 3; ++k)
                q[k] = a[k] + p.fraction * (b[k] - a[k]) + p.shift[k];
            points.push_back(q);
        }
        return points;
    }

    static double distance_to_nearest_atom(const Vector3& p)
    {
        double nearest = 1e9;
        for (int i = 1; i <= current_model().atoms.atom_count; ++i) {
            const Vector3 a = atom(i);
            nearest = std::min(nearest, std::hypot(p[0] - a[0], p[1] - a[1], p[2] - a[2]));
        }
        return nearest;
    }

    ScopedScriptedUi ui_;
    fs::path previous_;
    fs::path directory_;
};

}  // namespace

TEST_F(PotentialExampleTest, ValuesOfBenzoquinone)
{
    if (!load_example("benzoquinone", "benzoquinone.kdn"))
        GTEST_SKIP() << "example missing or not loaded: " << ui_->answers.message_log();
    const std::vector<Vector3> points = benzoquinone_points();
    // EPOT (e/Angstrom, 27 cells) of the benzoquinone crystal at the points
    // above, every atom's multipole potential summed wherever it is.  Until
    // 11 December 2026 an atom farther than rCut (10 A) gave only its
    // spherical part, which left out the charge of its monopole population
    // and put the values 0.042 to 0.074 e/A above these.
    const double before[] = {1.6758751847295661, 2.1614930030491695, 1.6848489861859379, 2.9458819435400039,
                             2.0835131748548044, 1.8882450973464853, 0.8579292026969092, 1.5625426126939177,
                             0.3859929869919107, 2.690235151211597};
    ASSERT_EQ(points.size(), std::size(before));
    for (std::size_t k = 0; k < points.size(); ++k) {
        const double value = evaluate_property_at_point(points[k][0], points[k][1], points[k][2], EPOT);
        EXPECT_NEAR(value, before[k], 1e-10) << "point " << k;
    }
}

// Poisson's equation: away from the nuclei the Laplacian of the potential
// is 4 pi rho (e/Angstrom^3; the electrons count negative in the potential,
// so their source has this sign), with rho the model's own density.  The
// cluster's atoms alone (K = L = M = 0), as the density sums them; the
// Laplacian by the program's central differences at the default step.
TEST_F(PotentialExampleTest, LaplacianOfThePotentialIsFourPiRhoInBenzoquinone)
{
    if (!load_example("benzoquinone", "benzoquinone.kdn"))
        GTEST_SKIP() << "example missing or not loaded: " << ui_->answers.message_log();
    ASSERT_EQ(numeric_derivative_step(), 0.001);
    ClusterTranslations& cells = current_model().translations;
    cells.cluster_k = cells.cluster_l = cells.cluster_m = 0;
    for (const Vector3& p : benzoquinone_points()) {
        ASSERT_GT(distance_to_nearest_atom(p), 0.3);
        Vector3 second{};
        const double laplacian = compute_property_gradient_or_laplacian_numeric(2, p[0], p[1], p[2], second, EPOT);
        const double source = 4 * PI * evaluate_property_at_point(p[0], p[1], p[2], RHO);
        EXPECT_NEAR(laplacian, source, 0.01 * source) << p[0] << " " << p[1] << " " << p[2];
    }
}

// Cyanogen is linear and centrosymmetric: at the C-C midpoint the two
// curvatures across the axis are equal (the crystal field of its neighbours
// is far below 1e-3 of them), with the derivative step of the defaults.
TEST_F(PotentialExampleTest, CyanogenCentreHasEqualCurvaturesAcrossTheAxis)
{
    if (!load_example("cyanogen", "cyanogen.kdn"))
        GTEST_SKIP() << "example missing or not loaded: " << ui_->answers.message_log();
    ASSERT_EQ(numeric_derivative_step(), 0.001);
    Vector3 position{0.03, -0.02, 0.04};
    double value = 0, gradient_norm = 0;
    Matrix3 hessian;
    int not_converged = 1;
    locate_critical_point_newton(false, position, value, gradient_norm, hessian, not_converged, EPOT);
    ASSERT_EQ(not_converged, 0);
    EXPECT_LT(std::hypot(position[0], position[1], position[2]), 1e-4);

    std::array<double, 3> curvature{};
    Matrix3 vectors = hessian;
    solve_symmetric_eigenproblem(vectors, curvature);
    // Along the bond the potential rises towards both carbons.
    const Vector3 c1 = atom(1);
    const double length = std::hypot(c1[0], c1[1], c1[2]);
    const double along = (vectors(1, 3) * c1[0] + vectors(2, 3) * c1[1] + vectors(3, 3) * c1[2]) / length;
    EXPECT_GT(std::fabs(along), 0.999999);
    EXPECT_GT(curvature[2], 0.0);
    EXPECT_LT(curvature[1], 0.0);
    EXPECT_LT(std::fabs(curvature[0] - curvature[1]) / std::fabs(curvature[1]), 1e-3)
        << curvature[0] << " " << curvature[1] << " " << curvature[2];
}

// The hydrogen atom (1s, exponent 1/bohr): V = (1 + 1/r) e^-2r hartree/e,
// so r dV/dr = -(2r + 2 + 1/r) e^-2r, -5/e at r = 0.5 bohr.  The virial
// kinetic energy density G = L/4 - (ex + rho S)/2 with rho = e^-2r / pi,
// |grad rho| = 2 rho and L = (4 - 4/r) rho there, and Becke's exchange
// ex = -rho^(4/3) (Cx + 2^(-1/3) beta s^2 / (1 + 6 beta s asinh s)),
// Cx = (3/4)(3/pi)^(1/3), beta = 0.0042, s = 2^(1/3) |grad rho| / rho^(4/3).
TEST_F(PotentialExampleTest, VirialSumAndKineticEnergyOfTheHydrogenAtom)
{
    if (!load_example("free_atoms", "hydrogen.kdn"))
        GTEST_SKIP() << "example missing or not loaded: " << ui_->answers.message_log();
    const double a0 = BOHR_ANGSTROM, r = 0.5;
    const Vector3 h = atom(1);
    const Vector3 direction{0.36, -0.48, 0.8};
    const Vector3 p{h[0] + r * a0 * direction[0], h[1] + r * a0 * direction[1], h[2] + r * a0 * direction[2]};

    const double exact_sum = -5 / std::exp(1.0);
    const double sum = sum_position_dot_gradient(p[0], p[1], p[2], EPOT) * a0;
    EXPECT_NEAR(sum, exact_sum, 2e-7);

    const double rho = std::exp(-2 * r) / PI, g = 2 * rho, laplacian = (4 - 4 / r) * rho;
    const double beta = 0.0042, cx = 0.75 * std::cbrt(3 / PI);
    const double s = std::cbrt(2.0) * g / std::pow(rho, 4.0 / 3);
    const double becke =
        -std::pow(rho, 4.0 / 3) * (cx + beta / std::cbrt(2.0) * s * s / (1 + 6 * beta * s * std::asinh(s)));
    PropertySelection& selection = property_selection();
    const PropertySelection saved = selection;
    selection.kinetic_model = 1;
    const double kinetic = laplacian / 4 - (becke + rho * exact_sum) / 2;
    // rho and L come from the bank's density, L by central differences at
    // twice the step: a few 1e-6 au.
    EXPECT_NEAR(evaluate_energy_density_property(p[0], p[1], p[2], 31), kinetic, 1e-5);
    // Lee and Zhou's exchange in place of Becke's, the rest the same.
    selection.kinetic_model = 2;
    const double lee_zhou = evaluate_energy_density_property(p[0], p[1], p[2], 39);
    EXPECT_NEAR(evaluate_energy_density_property(p[0], p[1], p[2], 31),
                laplacian / 4 - (lee_zhou + rho * exact_sum) / 2, 1e-5);
    selection = saved;
}

// With multipoles (benzoquinone's atoms up to l = 4 in their own frames) the
// exact sum is that of central differences of the atom potentials, taken to
// the limit of a vanishing step (Richardson: (4 D(h) - D(2h)) / 3).
TEST_F(PotentialExampleTest, PositionDotGradientSumMatchesDifferencesWithMultipoles)
{
    if (!load_example("benzoquinone", "benzoquinone.kdn"))
        GTEST_SKIP() << "example missing or not loaded: " << ui_->answers.message_log();
    const StructureModel& model = current_model();
    for (const Vector3& p : benzoquinone_points()) {
        auto differences = [&](double h) {
            double sum = 0;
            for (int i = 1; i <= model.atoms.atom_count; ++i) {
                const Vector3 a = atom(i);
                const double d[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
                for (int k = 0; k < 3; ++k) {
                    double plus[3] = {d[0], d[1], d[2]}, minus[3] = {d[0], d[1], d[2]};
                    plus[k] += h;
                    minus[k] -= h;
                    sum += d[k]
                           * (evaluate_atom_electrostatic_potential(model, spherical_esp_tables(), i, plus[0],
                                                                    plus[1], plus[2])
                              - evaluate_atom_electrostatic_potential(model, spherical_esp_tables(), i,
                                                                      minus[0], minus[1], minus[2]))
                           / (2 * h);
                }
            }
            return sum;
        };
        const double limit = (4 * differences(0.001) - differences(0.002)) / 3;
        EXPECT_NEAR(sum_position_dot_gradient(p[0], p[1], p[2], EPOT), limit, 1e-6 * (std::fabs(limit) + 1))
            << p[0] << " " << p[1] << " " << p[2];
    }
}

// Code 8 sums, per term, only the value and radial derivatives (each
// multipole polynomial being a solid harmonic); it must equal the trace of
// the full Hessian of the same terms, at and near the nuclei, between the
// atoms and far out, in both population frames and for the valence and
// deformation terms too.
TEST_F(PotentialExampleTest, LaplacianAloneEqualsTheTraceOfTheHessian)
{
    constexpr double RELATIVE = 1e-12, ABSOLUTE = 1e-14;
    const Vector3 offsets[] = {{0, 0, 0},         {2e-9, -1e-9, 3e-9},  {1e-6, 0, 0},       {0, -3e-4, 2e-4},
                               {0.02, 0.01, -0.03}, {-0.1, 0.25, 0.05}, {0.4, -0.3, 0.6},    {-0.9, 0.7, 1.1},
                               {2.0, -1.5, 0.5},    {0, 0, 3.5},        {-4.0, 3.0, 2.5}};
    const int codes[] = {3, 2, 4};  // total, valence with multipoles, deformation
    for (const char* name : {"benzoquinone", "cyanogen"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(load_example(name, std::string(name) + ".kdn")) << ui_->answers.message_log();
        const StructureModel& model = current_model();
        const int count = model.atoms.atom_count;
        int harmonic_orders = 0, frames = 0;
        for (PopulationFrame frame : {PopulationFrame::global, PopulationFrame::local}) {
            PreparedDensityModel prepared;
            prepare_density_model(model, wavefunction_bank(), radial_lookup_tables(), run_settings().calculation,
                                  frame, prepared);
            for (int i = 1; i <= count; ++i) {
                const PreparedPseudoatom& a = prepared.atoms[i];
                frames += a.use_frame ? 1 : 0;
                for (int k = 0; k < a.order_count; ++k) {
                    // r^l y_lm are solid harmonics: lap Q must vanish.
                    EXPECT_TRUE(a.orders[k].harmonic) << "atom " << i << " l " << a.orders[k].l;
                    harmonic_orders += a.orders[k].l >= 2 ? 1 : 0;
                }
            }
            for (int code : codes) {
                TermSelection full = select_terms_for_code(code);
                full.order = DerivativeOrder::hessian;
                TermSelection alone = full;
                alone.order = DerivativeOrder::laplacian;
                for (int i = 1; i <= count; ++i)
                    for (int j = 1; j <= std::min(count, 4); ++j)
                        for (const Vector3& o : offsets) {
                            // Displacements from atom i of points near atom j.
                            const Vector3 d = {atom(j)[0] - atom(i)[0] + o[0], atom(j)[1] - atom(i)[1] + o[1],
                                               atom(j)[2] - atom(i)[2] + o[2]};
                            PointDerivatives h, l;
                            const bool summed = accumulate_pseudoatom(prepared, i, d, full, h);
                            EXPECT_EQ(accumulate_pseudoatom(prepared, i, d, alone, l), summed);
                            const double trace = h.hessian[0] + h.hessian[1] + h.hessian[2];
                            EXPECT_EQ(l.value, h.value);
                            EXPECT_NEAR(l.laplacian, trace, RELATIVE * std::abs(trace) + ABSOLUTE)
                                << "code " << code << " atom " << i << " near " << j << " offset " << o[0] << ","
                                << o[1] << "," << o[2];
                        }
            }
        }
        EXPECT_GT(harmonic_orders, 0);
        EXPECT_GT(frames, 0);  // the local frame was exercised
        // Through the evaluator: code 8 against codes 9 + 10 + 11, both frames
        // and both signs.
        for (int global : {1, 0}) {
            run_settings().calculation.global_frame = global;
            for (int i = 1; i <= count; ++i)
                for (const Vector3& o : offsets) {
                    const Vector3 p = {atom(i)[0] + o[0], atom(i)[1] + o[1], atom(i)[2] + o[2]};
                    double value = 0;
                    Vector3 gradient{};
                    Matrix3 hessian;
                    evaluate_property_value_gradient_hessian(p, value, gradient, hessian, RHO);
                    const double trace = hessian(1, 1) + hessian(2, 2) + hessian(3, 3);
                    const double sum = evaluate_property_at_point(p[0], p[1], p[2], 9)
                                       + evaluate_property_at_point(p[0], p[1], p[2], 10)
                                       + evaluate_property_at_point(p[0], p[1], p[2], 11);
                    const double laplacian = evaluate_property_at_point(p[0], p[1], p[2], 8);
                    EXPECT_NEAR(laplacian, trace, RELATIVE * std::abs(trace) + ABSOLUTE) << "atom " << i;
                    EXPECT_NEAR(laplacian, sum, RELATIVE * std::abs(sum) + ABSOLUTE) << "atom " << i;
                }
        }
        run_settings().calculation.global_frame = 1;
    }
}

// Every selection and derivative order of every atom of both examples, with
// each atom's spherical densities read from their tables and summed pair by
// pair: the same values to a part in about 1e13.
TEST_F(PotentialExampleTest, TabulatedSphericalDensitiesAgreeWithThePairSums)
{
    const Vector3 offsets[] = {{0, 0, 0},          {2e-9, -1e-9, 3e-9}, {1e-6, 0, 0},    {0, -3e-4, 2e-4},
                               {0.02, 0.01, -0.03}, {-0.1, 0.25, 0.05},  {0.4, -0.3, 0.6}, {-0.9, 0.7, 1.1},
                               {2.0, -1.5, 0.5},    {0, 0, 3.5},         {-4.0, 3.0, 2.5}, {5.0, 1.0, -3.0}};
    for (const char* name : {"benzoquinone", "cyanogen"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(load_example(name, std::string(name) + ".kdn")) << ui_->answers.message_log();
        const StructureModel& model = current_model();
        const int count = model.atoms.atom_count;
        PreparedDensityModel tabulated;
        prepare_density_model(model, wavefunction_bank(), radial_lookup_tables(), run_settings().calculation,
                              PopulationFrame::local, tabulated);
        // Preparing again (after any edit that leaves the sets alone) reads
        // the tables made before.
        PreparedDensityModel again;
        prepare_density_model(model, wavefunction_bank(), radial_lookup_tables(), run_settings().calculation,
                              PopulationFrame::local, again);
        ASSERT_EQ(again.spherical_tables.size(), tabulated.spherical_tables.size());
        for (std::size_t t = 0; t < again.spherical_tables.size(); ++t)
            EXPECT_EQ(again.spherical_tables[t].get(), tabulated.spherical_tables[t].get());
        PreparedDensityModel summed = tabulated;
        for (int i = 1; i <= count; ++i) {
            // Every set with pairs has its table here: nothing falls back.
            PreparedPseudoatom& atom = summed.atoms[i];
            for (int set = PAIR_SET_CORE; set <= PAIR_SET_FREE; ++set)
                EXPECT_EQ(atom.spherical_table[set] >= 0, atom.pair_begin[set + 1] > atom.pair_begin[set]) << i;
            EXPECT_GE(atom.spherical_table[CORE_AND_VALENCE_TABLE], 0) << i;
            atom.spherical_table.fill(-1);
        }
        for (int code : {0, 1, 2, 3, 4, 5, 8, 9})
            for (int i = 1; i <= count; ++i)
                for (const Vector3& o : offsets) {
                    const TermSelection selection = select_terms_for_code(code);
                    PointDerivatives a, b;
                    ASSERT_EQ(accumulate_pseudoatom(tabulated, i, o, selection, a),
                              accumulate_pseudoatom(summed, i, o, selection, b));
                    // Against the size of the total density's terms at the
                    // point (the deformation and a derivative through zero
                    // are differences of much larger terms): the value, the
                    // largest gradient and Hessian components, and the value
                    // over 0.05 A (its scale length near a nucleus) per
                    // derivative.
                    TermSelection all = select_terms_for_code(3);
                    all.order = DerivativeOrder::hessian;
                    PointDerivatives total;
                    accumulate_pseudoatom(summed, i, o, all, total);
                    const double v = std::max(std::abs(total.value), std::abs(b.value));
                    double g = 20.0 * v, h = 400.0 * v;
                    for (int k = 0; k < 3; ++k)
                        g = std::max(g, std::abs(total.gradient[k]));
                    for (int k = 0; k < 6; ++k)
                        h = std::max(h, std::abs(total.hessian[k]));
                    const std::string where = "code " + std::to_string(code) + " atom " + std::to_string(i) +
                                              " offset " + std::to_string(o[0]) + "," + std::to_string(o[1]) + "," +
                                              std::to_string(o[2]);
                    EXPECT_NEAR(a.value, b.value, 1e-13 * v + 1e-24) << where;
                    EXPECT_NEAR(a.laplacian, b.laplacian, 1e-12 * h + 1e-24) << where;
                    for (int k = 0; k < 3; ++k)
                        EXPECT_NEAR(a.gradient[k], b.gradient[k], 1e-12 * g + 1e-24) << where;
                    for (int k = 0; k < 6; ++k)
                        EXPECT_NEAR(a.hessian[k], b.hessian[k], 1e-12 * h + 1e-24) << where;
                }
    }
}
