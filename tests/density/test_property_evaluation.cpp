// The density of the pseudoatom model at a point, checked against closed
// forms (the hydrogen atom), integrals (electron counts), finite differences
// of the density itself, the frame it is evaluated in and the symmetry of
// the model.
#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/property_evaluation.h"

#include "keldana/density/property_selection.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/wavefunction_bank.h"
#include "test_property_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace density_test;

namespace {

const double PI = std::acos(-1.0);

double property(const std::array<double, 3>& p, int code)
{
    return evaluate_property_at_point(p[0], p[1], p[2], code);
}

std::array<double, 3> shifted(std::array<double, 3> p, int axis, double step)
{
    p[axis] += step;
    return p;
}

double r_of(const std::array<double, 3>& p, const StructureModel& model, int atom)
{
    return std::hypot(p[0] - model.atoms.cart_x[atom], p[1] - model.atoms.cart_y[atom], p[2] - model.atoms.cart_z[atom]);
}

// Fourth-order central difference of code `code` along `axis`.
double difference(const std::array<double, 3>& p, int axis, int code, double h = 1e-3)
{
    return (8.0 * (property(shifted(p, axis, h), code) - property(shifted(p, axis, -h), code))
            - (property(shifted(p, axis, 2 * h), code) - property(shifted(p, axis, -2 * h), code)))
           / (12.0 * h);
}

class HydrogenAtom : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestModel layout;
        layout.atoms = {free_atom("H1", 0, "1s1", 1.0)};
        ASSERT_TRUE(load_model(layout, ui_)) << ui_->answers.message_log();
    }
    ScopedScriptedUi ui_;
};

// rho = exp(-2r) / pi and its Laplacian rho (4 - 4 / r) in atomic units; the
// program reports e/A^3 and e/A^5.
TEST_F(HydrogenAtom, DensityAndLaplacianFollowTheClosedForms)
{
    const double directions[3][3] = {{1, 0, 0}, {0.6, 0.8, 0}, {1 / std::sqrt(3.0), -1 / std::sqrt(3.0), 1 / std::sqrt(3.0)}};
    for (double r_bohr : {0.05, 0.25, 0.5, 1.0, 1.5, 2.0, 3.0, 5.0}) {
        const double rho_au = std::exp(-2 * r_bohr) / PI;
        const double rho = rho_au / (A0 * A0 * A0);
        const double laplacian = rho_au * (4 - 4 / r_bohr) / std::pow(A0, 5);
        const double slope = -2 * rho_au / std::pow(A0, 4);  // d rho / dr in e/A^4
        for (const auto& u : directions) {
            const double r = r_bohr * A0;
            const std::array<double, 3> p = {r * u[0], r * u[1], r * u[2]};
            SCOPED_TRACE(r_bohr);
            EXPECT_NEAR(property(p, 3), rho, 1e-12 * rho);
            EXPECT_NEAR(property(p, 2), rho, 1e-12 * rho);
            EXPECT_NEAR(property(p, 8), laplacian, 1e-10 * std::abs(laplacian) + 1e-12);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(property(p, 5 + k), slope * u[k], 1e-12 * std::abs(slope));
            EXPECT_NEAR(property(p, 24), std::abs(slope), 1e-12 * std::abs(slope));
            EXPECT_EQ(property(p, 1), 0.0);  // hydrogen has no core
            EXPECT_NEAR(property(p, 4), 0.0, 1e-12 * rho);  // the free atom deforms nothing
            EXPECT_NEAR(property(p, 16), 1.0 / r, 1e-12 / r);
        }
    }
}

TEST_F(HydrogenAtom, NucleusIsFiniteAndSignsApplyToTheLaplacianOnly)
{
    for (int code : {3, 5, 8, 9, 12, 16, 24})
        EXPECT_TRUE(std::isfinite(property({0, 0, 0}, code))) << code;
    EXPECT_NEAR(property({0, 0, 0}, 3), std::exp(-2e-9 / A0) / PI / (A0 * A0 * A0), 1e-13);

    const std::array<double, 3> p = {0.3, 0.2, -0.1};
    const double laplacian = property(p, 8), rho = property(p, 3);
    property_selection().laplacian_sign = -1;
    EXPECT_EQ(property(p, 8), -laplacian);
    EXPECT_EQ(property(p, 3), rho);
    Vector3 g{};
    Matrix3 h;
    double value = 0;
    evaluate_property_value_gradient_hessian({p[0], p[1], p[2]}, value, g, h, 3);
    EXPECT_NEAR(h(1, 1) + h(2, 2) + h(3, 3), laplacian, 1e-10 * std::abs(laplacian));
    property_selection().laplacian_sign = 1;
}

TEST_F(HydrogenAtom, CodesWithoutADensityTermAreZero)
{
    for (int code : {15, 19, 20, 21, 22, 25, 26, 27, 28, 29, 30, 54, -3})
        EXPECT_EQ(property({0.4, 0.1, 0.2}, code), 0.0) << code;
}

TEST_F(HydrogenAtom, CutOffRemovesTheDensityButNotTheNuclearPotential)
{
    run_settings().calculation.rCut = 1.0;
    EXPECT_GT(property({0.9, 0, 0}, 3), 0.0);
    for (int code : {1, 2, 3, 4, 5, 8, 11, 14, 24})
        EXPECT_EQ(property({1.1, 0, 0}, code), 0.0) << code;
    EXPECT_NEAR(property({1.1, 0, 0}, 16), 1 / 1.1, 1e-14);
    double r = 0;
    EXPECT_EQ(evaluate_pseudoatom_term_global_frame(1, 1.1, 0, 0, 3, r), 0.0);
    EXPECT_DOUBLE_EQ(r, 1.1);
    run_settings().calculation.rCut = 10.0;
}

// The spherical density integrates to Z electrons (radial quadrature on a
// logarithmic grid, Simpson's rule).
TEST(NeutralSphericalAtom, IntegratesToItsAtomicNumber)
{
    struct Case {
        const char* label;
        int z, core;
        const char* configuration;
    };
    const Case cases[] = {{"H1", 1, 0, "1s1"},           {"C1", 6, 2, "[He]2s2 2p2"},
                          {"Ne1", 10, 2, "[He]2s2 2p6"}, {"Cl1", 17, 10, "[Ne]3s2 3p5"},
                          {"Fe1", 26, 18, "[Ar]3d6 4s2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScopedScriptedUi ui;
        TestModel layout;
        layout.atoms = {free_atom(c.label, c.core, c.configuration, c.z - c.core)};
        ASSERT_TRUE(load_model(layout, ui)) << ui->answers.message_log();
        const int steps = 20000;
        const double t0 = std::log(1e-7), t1 = std::log(12.0), h = (t1 - t0) / steps;
        const double u[3] = {0.48, -0.6, 0.64};
        double sum = 0;
        for (int i = 0; i <= steps; ++i) {
            const double r = std::exp(t0 + i * h);
            const double weight = (i == 0 || i == steps) ? 1 : (i % 2 == 1 ? 4 : 2);
            sum += weight * property({r * u[0], r * u[1], r * u[2]}, 3) * 4 * PI * r * r * r;
        }
        EXPECT_NEAR(sum * h / 3, c.z, 2e-6 * c.z);
        // The core holds the core electrons.
        double core = 0;
        for (int i = 0; i <= steps; ++i) {
            const double r = std::exp(t0 + i * h);
            const double weight = (i == 0 || i == steps) ? 1 : (i % 2 == 1 ? 4 : 2);
            core += weight * property({r * u[0], r * u[1], r * u[2]}, 1) * 4 * PI * r * r * r;
        }
        EXPECT_NEAR(core * h / 3, c.z > 1 ? c.core : 0, 2e-6 * c.z);
    }
}

class MultipoleModel : public ::testing::Test {
protected:
    void load(std::vector<std::string> cluster = {}, std::string centring = "NON                  /P",
              std::vector<std::string> cards = {"     X         Y         Z"})
    {
        TestModel layout = multipole_model();
        layout.cluster = std::move(cluster);
        layout.centring = std::move(centring);
        layout.cards = std::move(cards);
        ASSERT_TRUE(load_model(layout, ui_)) << ui_->answers.message_log();
    }
    ScopedScriptedUi ui_;
};

TEST_F(MultipoleModel, AnalyticDerivativesAgreeWithCentralDifferences)
{
    load();
    for (const auto& p : random_points(25, 2.0, 0.15)) {
        SCOPED_TRACE(::testing::Message() << p[0] << " " << p[1] << " " << p[2]);
        const double rho = std::abs(property(p, 3));
        double scale = 0;
        for (int k = 0; k < 3; ++k) {
            const double numeric = difference(p, k, 3);
            scale = std::max(scale, std::abs(numeric));
            EXPECT_NEAR(property(p, 5 + k), numeric, 1e-6 * (std::abs(numeric) + rho));
        }
        // Second derivatives from differences of the analytic first ones.
        static constexpr int PAIRS[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
        double trace = 0;
        for (int c = 0; c < 6; ++c) {
            const double numeric = difference(p, PAIRS[c][1], 5 + PAIRS[c][0]);
            if (c < 3)
                trace += numeric;
            EXPECT_NEAR(property(p, 9 + c), numeric, 1e-6 * (std::abs(numeric) + scale + rho)) << c;
        }
        EXPECT_NEAR(property(p, 8), trace, 1e-6 * (std::abs(trace) + scale + rho));

        // The one-pass value, gradient and Hessian of each density code.
        for (int code : {0, 1, 2, 3, 4}) {
            double value = 0;
            Vector3 g{};
            Matrix3 h;
            evaluate_property_value_gradient_hessian({p[0], p[1], p[2]}, value, g, h, code);
            EXPECT_NEAR(value, property(p, code), 1e-14 + 1e-12 * std::abs(value)) << code;
            for (int k = 0; k < 3; ++k) {
                const double numeric = difference(p, k, code);
                EXPECT_NEAR(g[k], numeric, 1e-6 * (std::abs(numeric) + rho)) << code;
                for (int j = 0; j < 3; ++j)
                    EXPECT_NEAR(h(k + 1, j + 1), h(j + 1, k + 1), 1e-12 * (std::abs(h(k + 1, j + 1)) + 1));
            }
        }
    }
}

TEST_F(MultipoleModel, DensityCodesAreSumsOfTheirTerms)
{
    load();
    for (const auto& p : random_points(10, 2.0, 0.05)) {
        EXPECT_NEAR(property(p, 3), property(p, 1) + property(p, 2), 1e-12 * std::abs(property(p, 3)));
        // Deformation: valence and multipoles less the free atoms' valence density.
        double free_valence = 0;
        const StructureModel& model = current_model();
        for (int i = 1; i <= model.atoms.atom_count; ++i) {
            const double d[3] = {p[0] - model.atoms.cart_x[i], p[1] - model.atoms.cart_y[i],
                                 p[2] - model.atoms.cart_z[i]};
            free_valence += model.pseudoatoms.occupancy[i]
                            * evaluate_orbital_density_term(3, VALENCE_SET, i, 1.0, d[0], d[1], d[2]);
        }
        EXPECT_NEAR(property(p, 4), property(p, 2) - free_valence, 1e-12 * std::abs(property(p, 3)));
    }
}

// Both frames describe one density: the local-frame populations in the
// atoms' own axes, the global-frame ones rotated into the crystal axes.
TEST_F(MultipoleModel, LocalAndGlobalFramesAgree)
{
    load({"-1  0 0 0  1 2", "1  1 0 0  1 2"});
    const auto points = random_points(20, 3.0, 0.1);
    std::vector<std::array<double, 19>> global;
    for (const auto& p : points) {
        std::array<double, 19> values{};
        for (int code = 0; code <= 14; ++code)
            values[code] = property(p, code);
        values[15] = property(p, 24);
        global.push_back(values);
    }
    run_settings().calculation.global_frame = 0;
    for (std::size_t i = 0; i < points.size(); ++i)
        for (int code = 0; code <= 15; ++code) {
            const double local = property(points[i], code == 15 ? 24 : code);
            EXPECT_NEAR(local, global[i][code], 1e-10 * (std::abs(global[i][code]) + std::abs(global[i][3])))
                << "code " << code;
        }
    const StructureModel& model = current_model();
    for (int atom = 1; atom <= model.atoms.atom_count; ++atom)
        for (int code : {2, 3, 8, 6, 13}) {
            double r1 = 0, r2 = 0;
            const double a = evaluate_pseudoatom_term_global_frame(atom, 0.3, -0.2, 0.5, code, r1);
            const double b = evaluate_pseudoatom_term_local_frame(atom, 0.3, -0.2, 0.5, code, r2);
            EXPECT_NEAR(a, b, 1e-10 * (std::abs(a) + 1)) << "atom " << atom << " code " << code;
            EXPECT_EQ(r1, r2);
        }
    run_settings().calculation.global_frame = 1;
}

// With the cluster of a symmetry operation the density at R p equals that at
// p, the gradient turns with R and the Hessian as R H R^T.
struct SymmetryCase {
    const char* name;
    friend void PrintTo(const SymmetryCase& c, std::ostream* out) { *out << c.name; }
    const char* centring;
    std::vector<std::string> cards;
    std::vector<std::string> cluster;
    double rotation[3][3];  // Cartesian, about the origin
};

class SymmetricCluster : public ::testing::TestWithParam<SymmetryCase> {
protected:
    ScopedScriptedUi ui_;
};

TEST_P(SymmetricCluster, DensityIsInvariantUnderTheOperation)
{
    const SymmetryCase& c = GetParam();
    TestModel layout = multipole_model();
    layout.centring = c.centring;
    layout.cards = c.cards;
    layout.cluster = c.cluster;
    ASSERT_TRUE(load_model(layout, ui_)) << ui_->answers.message_log();
    ASSERT_EQ(current_model().atoms.atom_count, 4);
    for (int frame : {1, 0}) {
        run_settings().calculation.global_frame = frame;
        for (const auto& p : random_points(15, 2.0, 0.1)) {
            std::array<double, 3> q{};
            for (int i = 0; i < 3; ++i)
                q[i] = c.rotation[i][0] * p[0] + c.rotation[i][1] * p[1] + c.rotation[i][2] * p[2];
            // The cell's right angles carry the 10-digit degree factor of the
            // model (cos 90 deg = 2e-9), so b is along y to 2e-9 only.
            const double tolerance = 1e-7;
            const double rho = std::abs(property(p, 3));
            EXPECT_NEAR(property(q, 3), property(p, 3), tolerance * rho);
            EXPECT_NEAR(property(q, 8), property(p, 8), tolerance * (std::abs(property(p, 8)) + rho));
            Vector3 gp{}, gq{};
            Matrix3 hp, hq;
            double vp = 0, vq = 0;
            evaluate_property_value_gradient_hessian({p[0], p[1], p[2]}, vp, gp, hp, 3);
            evaluate_property_value_gradient_hessian({q[0], q[1], q[2]}, vq, gq, hq, 3);
            double size = rho;
            for (double x : hp.v)
                size = std::max(size, std::abs(x));
            for (int i = 0; i < 3; ++i) {
                const double turned = c.rotation[i][0] * gp[0] + c.rotation[i][1] * gp[1] + c.rotation[i][2] * gp[2];
                EXPECT_NEAR(gq[i], turned, tolerance * (std::abs(turned) + rho));
                for (int j = 0; j < 3; ++j) {
                    double rhr = 0;
                    for (int a = 0; a < 3; ++a)
                        for (int b = 0; b < 3; ++b)
                            rhr += c.rotation[i][a] * hp(a + 1, b + 1) * c.rotation[j][b];
                    EXPECT_NEAR(hq(i + 1, j + 1), rhr, tolerance * size);
                }
            }
        }
    }
    run_settings().calculation.global_frame = 1;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, SymmetricCluster,
    ::testing::Values(SymmetryCase{"inversion", "CEN                  /P", {"     X         Y         Z"},
                                   {"-1  0 0 0  1 2"}, {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}},
                      SymmetryCase{"twofold_b", "NON                  /P",
                                   {"     X         Y         Z", "    -X         Y        -Z"},
                                   {"2  0 0 0  1 2"}, {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The evaluator follows changes of the model and the settings at once: the
// editors announce them with note_model_change().
TEST_F(MultipoleModel, FollowsTheSubsetTheSettingsAndThePopulations)
{
    load();
    const std::array<double, 3> p = {0.4, 0.3, 0.9};
    const double both = property(p, 3);
    StructureModel& model = current_model();
    double r = 0;
    const double c_term = evaluate_pseudoatom_term_global_frame(
        1, p[0] - model.atoms.cart_x[1], p[1] - model.atoms.cart_y[1], p[2] - model.atoms.cart_z[1], 3, r);
    model.atoms.subset_mask[1] = 0;
    note_model_change();
    EXPECT_NEAR(property(p, 3), both - c_term, 1e-12 * both);
    EXPECT_NEAR(property(p, 16), model.atoms.atomic_number[2] / r_of(p, model, 2), 1e-12);
    model.atoms.subset_mask[1] = 1;
    note_model_change();
    EXPECT_NEAR(property(p, 3), both, 1e-14 * both);

    // lPole 0 keeps the monopole terms only.
    const double with_multipoles = property(p, 2);
    run_settings().calculation.lPole = 0;
    note_model_change();
    const double monopoles = property(p, 2);
    EXPECT_NE(monopoles, with_multipoles);
    auto saved = model.global_populations.population;
    for (int i = 1; i <= model.atoms.atom_count; ++i)
        for (int l = 1; l <= MAX_L; ++l)
            for (int m = -l; m <= l; ++m)
                model.global_populations.population[i](l, m) = 0.0;
    run_settings().calculation.lPole = 4;
    note_model_change();
    EXPECT_NEAR(property(p, 2), monopoles, 1e-14 * std::abs(monopoles));
    model.global_populations.population = saved;
    note_model_change();
    EXPECT_NEAR(property(p, 2), with_multipoles, 1e-14 * std::abs(with_multipoles));
}

// Code 0 (core and spherical valence) summed straight from the bank tables
// of the current model, without the evaluator's prepared copy.
double spherical_density_from_tables(const std::array<double, 3>& p)
{
    const StructureModel& model = current_model();
    const PseudoatomParameters& q = model.pseudoatoms;
    double sum = 0;
    for (int i = 1; i <= model.atoms.atom_count; ++i) {
        if (model.atoms.subset_mask[i] == 0 || r_of(p, model, i) > run_settings().calculation.rCut)
            continue;
        const double d[3] = {p[0] - model.atoms.cart_x[i], p[1] - model.atoms.cart_y[i], p[2] - model.atoms.cart_z[i]};
        const double nv = model.atoms.atomic_number[i] - q.core_electron_count[i];
        const double core = model.atoms.atomic_number[i] > 1
                                ? evaluate_orbital_density_term(0, CORE_SET, i, 1.0, d[0], d[1], d[2])
                                : 0.0;
        const double valence = evaluate_orbital_density_term(0, VALENCE_SET, i, q.kappa[i], d[0], d[1], d[2]);
        sum += q.occupancy[i] * (core + (nv > 0 ? q.valence_population[i] / nv : 0.0) * valence);
    }
    return sum;
}

struct ModelChange {
    const char* name;
    std::function<void(ScopedScriptedUi&)> apply;
};

// Evaluate, change, evaluate: every kind of change is seen by the next
// evaluation, with no stale prepared model.
TEST_F(MultipoleModel, NoStaleDensityAfterAnyKindOfChange)
{
    const ModelChange changes[] = {
        {"subset", [](ScopedScriptedUi&) {
             current_model().atoms.subset_mask[1] = 0;
             note_model_change();
         }},
        {"populations and kappa", [](ScopedScriptedUi&) {
             current_model().pseudoatoms.valence_population[2] *= 1.5;
             current_model().pseudoatoms.kappa[1] = 1.1;
             note_model_change();
         }},
        {"rCut written by a dialog", [](ScopedScriptedUi&) { run_settings().calculation.rCut = 0.5; }},
        {"promolecule", [](ScopedScriptedUi&) { switch_to_promolecule_model(current_model()); }},
        {"bank", [](ScopedScriptedUi&) {
             run_settings().paths.wavefun_bank_path = std::string(KD_RUNTIME_DIR) + "/wavefSCM.bnk";
             bank_loaded() = 0;
             ASSERT_TRUE(ensure_wavefunction_bank());
         }},
        {"load", [](ScopedScriptedUi& ui) {
             TestModel layout;
             layout.atoms = {free_atom("H1", 0, "1s1", 1.0)};
             ASSERT_TRUE(load_model(layout, ui)) << ui->answers.message_log();
         }},
    };
    const std::array<double, 3> p = {0.4, 0.3, 0.9};
    for (const ModelChange& change : changes) {
        SCOPED_TRACE(change.name);
        load();
        const double before = property(p, 0);
        ASSERT_NEAR(before, spherical_density_from_tables(p), 1e-12 * before);
        const double deformation = property(p, 4);
        change.apply(ui_);
        const double after = property(p, 0);
        EXPECT_GT(std::abs(after - before), 1e-6 * before);
        // Terms below the density floor may be left out; nothing more.
        EXPECT_NEAR(after, spherical_density_from_tables(p), 1e-12 * before + 1e-9);
        if (std::string(change.name) == "promolecule") {
            EXPECT_NEAR(property(p, 4), 0.0, 1e-12 * before) << "was " << deformation;
        }
    }
}

// Each atom's terms stop where they fall below 1e-10 e/A^3: for hydrogen
// where exp(-2r/a0) / (pi a0^3) does, whatever rCut is above that.
// EPOT reads every atom's frame and folded multipole terms from a set built
// once per model revision: after each edit it equals the sum with the frames
// built afresh.
TEST_F(MultipoleModel, PotentialFollowsEveryEditOfTheModel)
{
    load();
    ASSERT_TRUE(build_spherical_potential_tables()) << ui_->answers.message_log();
    const std::array<double, 3> p = {0.4, 0.3, 0.9};
    auto fresh = [&p] {
        return evaluate_atom_electrostatic_potential_sum(current_model(), spherical_esp_tables(), p[0], p[1], p[2]);
    };
    const std::function<void()> edits[] = {
        [] { current_model().pseudoatoms.multipole_population[1](2, 1) += 0.2; },
        [] { current_model().pseudoatoms.multipole_population[2](1, 0) -= 0.1; },
        [] { current_model().atoms.subset_mask[1] = 0; },
    };
    double before = property(p, 23);
    EXPECT_EQ(before, fresh());
    for (const auto& edit : edits) {
        edit();
        note_model_change();
        const double after = property(p, 23);
        EXPECT_EQ(after, fresh());
        EXPECT_GT(std::abs(after - before), 1e-6);
        before = after;
    }
    spherical_esp_tables().esp_tables_ready = 0;
}

TEST_F(HydrogenAtom, TermsStopWhereTheDensityFallsBelowTheFloor)
{
    const double radius = -A0 / 2 * std::log(TERM_DENSITY_FLOOR * PI * A0 * A0 * A0);
    EXPECT_NEAR(density_term_radius(1), radius, 1e-5);
    EXPECT_NEAR(property({radius - 1e-3, 0, 0}, 3), TERM_DENSITY_FLOOR, 1e-12);
    EXPECT_EQ(property({radius + 1e-3, 0, 0}, 3), 0.0);
    run_settings().calculation.rCut = 20.0;
    EXPECT_NEAR(density_term_radius(1), radius, 1e-5);
    run_settings().calculation.rCut = 3.0;
    EXPECT_EQ(density_term_radius(1), 3.0);
    run_settings().calculation.rCut = 10.0;
}

}  // namespace
