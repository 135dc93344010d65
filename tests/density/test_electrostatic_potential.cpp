#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/spherical_harmonics.h"
#include "keldana/density/spherical_potential_tables.h"

#include "common/job_control.h"
#include "common/scripted_ui.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "keldana/model/wavefunction_bank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

// Potentials are in e/Angstrom; one atomic unit (e/bohr) is 1 / BOHR_ANGSTROM
// of them.

namespace {

constexpr double PI = std::numbers::pi;
constexpr double A0 = BOHR_ANGSTROM;
constexpr double INVERSE_BOHR = 1.0 / A0;

constexpr int HYDROGEN = 1;
constexpr int LITHIUM = 2;

// Single-zeta free atoms, exponents in 1/bohr: H 1s 1.0; Li 1s 2.69 and a
// compact 2s 1.3 (so that the density beyond the table's last radius is
// negligible).
const char* const BANK_TEXT =
    " ATOM H   \n"
    " 0 1 1\n"
    " 1 1.0 1.0\n"
    " ATOM Li  \n"
    " 0 2 2\n"
    " 1 1.0 2.69 0.0 0.0\n"
    " 2 0.0 0.0 1.0 1.3\n";

// Potential (e/Angstrom) of one electron spread as the normalised density
// rho(r) = b^(p+3) / ((p+2)! 4 pi) r^p exp(-b r):
//   Q(r) / r + integral from r to infinity of 4 pi s rho(s) ds
//   = (1 - e^-x sum_{j<=p+2} x^j/j!) / r + b / (p+2) e^-x sum_{j<=p+1} x^j/j!.
double slater_shell_potential(int p, double b, double r)
{
    const double x = b * r;
    double term = 1.0, partial = 1.0, partial_before = 1.0;
    for (int j = 1; j <= p + 2; ++j) {
        term *= x / j;
        if (j == p + 2)
            partial_before = partial;
        partial += term;
    }
    return (1.0 - std::exp(-x) * partial) / r + b / (p + 2) * std::exp(-x) * partial_before;
}

// A model in a cubic cell with the element types H and Li, the bank above and
// fresh tables.
class EspModel {
public:
    std::unique_ptr<StructureModel> model = std::make_unique<StructureModel>();
    std::unique_ptr<WavefunctionBank> bank = std::make_unique<WavefunctionBank>();
    std::unique_ptr<RadialLookupTables> radial = std::make_unique<RadialLookupTables>();
    std::unique_ptr<SphericalEspTables> tables = std::make_unique<SphericalEspTables>();

    explicit EspModel(double cell = 10.0)
    {
        AtomTypeTable& types = model->atom_types;
        set_text_field(types.type_symbol[HYDROGEN], "H");
        types.type_atomic_number[HYDROGEN] = 1;
        set_text_field(types.type_symbol[LITHIUM], "Li");
        types.type_atomic_number[LITHIUM] = 3;
        for (int k = 1; k <= 3; ++k)
            model->orthogonalisation.matrix(k, k) = cell;
    }

    // An independent atom at the Cartesian position (x, y, z).
    int add_atom(const std::string& label, int type, double x, double y, double z, int core, double pv,
                 double kappa = 1.0)
    {
        WorkingAtomSet& atoms = model->atoms;
        const int i = ++atoms.atom_count;
        atoms.independent_atom_count = i;
        set_text_field(atoms.atom_label[i], label);
        const double cell = model->orthogonalisation.matrix(1, 1);
        atoms.cart_x[i] = x;
        atoms.cart_y[i] = y;
        atoms.cart_z[i] = z;
        atoms.frac_x[i] = x / cell;
        atoms.frac_y[i] = y / cell;
        atoms.frac_z[i] = z / cell;
        atoms.atom_type_index[i] = type;
        atoms.atomic_number[i] = model->atom_types.type_atomic_number[type];
        atoms.subset_mask[i] = 1;
        atoms.site_weight[i] = 1.0;
        PseudoatomParameters& p = model->pseudoatoms;
        p.core_electron_count[i] = core;
        p.valence_population[i] = pv;
        p.kappa[i] = kappa;
        p.kappa_prime[i] = 1.0;
        p.occupancy[i] = 1.0;
        set_text_field(p.electron_configuration[i], type == HYDROGEN ? "1s1" : "[He]2s1");
        return i;
    }

    bool build(const std::string& bank_text = BANK_TEXT)
    {
        std::istringstream input(bank_text);
        if (!read_wavefunction_bank_stream(input, "test.bnk", *model, *bank))
            return false;
        tabulate_radial_functions_by_type(*bank, *model, *radial);
        return build_spherical_potential_tables(*model, *bank, *radial, *tables);
    }

    double potential(int atom, double dx, double dy, double dz) const
    {
        return evaluate_atom_electrostatic_potential(*model, *tables, atom, dx, dy, dz);
    }
};

}  // namespace

TEST(SphericalEspGrid, IsTheLogarithmicGridAndItsInverse)
{
    EXPECT_NEAR(esp_grid_radius(0), 1e-7, 1e-15);
    EXPECT_NEAR(esp_grid_radius(1999), 5.3489, 5e-5);
    EXPECT_NEAR(esp_grid_radius(2000), 5.3598, 5e-5);
    for (int i = 1; i <= ESP_GRID_LAST; ++i) {
        const double r = esp_grid_radius(i);
        ASSERT_EQ(esp_grid_index(r * (1 + 1e-9)), i);
        ASSERT_EQ(esp_grid_index(r * (1 - 1e-9)), i - 1);
    }
}

TEST(SphericalEspTables, HydrogenAtomFromTheBankGivesTheExactPotential)
{
    ScopedScriptedUi ui;
    EspModel m;
    const int h = m.add_atom("H1", HYDROGEN, 0, 0, 0, 0, 1.0);
    ASSERT_TRUE(m.build());
    ASSERT_EQ(m.tables->esp_tables_ready, 1);
    EXPECT_TRUE(ui->answers.messages.empty()) << ui->answers.message_log();

    // V = (1 + 1/r) exp(-2r) hartree/e, r in bohr: the nucleus 1/r and the
    // electron's -(1/r)(1 - (1 + r) exp(-2r)).  The electron's part is checked,
    // so that the nucleus does not hide it near r = 0; the grid radius r_1000
    // is read without interpolation.
    const double radii[] = {1e-5, 1e-4, 1e-3, 0.01, 0.05, 0.1, 0.25, esp_grid_radius(1000),
                            0.5, 1.0, 1.5, 2.0, 3.0, 4.0, 5.0, 5.34};
    for (double r : radii) {
        const double rho = r / A0;
        const double exact = -(1 - (1 + rho) * std::exp(-2 * rho)) / rho;
        const double au = m.potential(h, 0.6 * r, 0, -0.8 * r) * A0 - 1 / rho;
        // The reference loses 1e-16 / rho to cancellation near the nucleus.
        EXPECT_NEAR(au, exact, 1e-12 + 1e-15 / rho) << "r = " << r << " Angstrom";
    }
    EXPECT_NEAR(m.potential(h, 0, 0, 1.0) * A0, (1 + A0) * std::exp(-2 / A0), 1e-13);

    // The electrons' potential at the nucleus is -1 hartree/e; it is what the
    // atom gives there (the nucleus itself is left out).
    EXPECT_NEAR(m.tables->esp_spherical_potential[h][0] * A0, -1.0, 1e-13);
    EXPECT_DOUBLE_EQ(m.potential(h, 0, 0, 0), m.tables->esp_spherical_potential[h][0]);
    EXPECT_DOUBLE_EQ(m.potential(h, 1e-8, 0, 0), m.tables->esp_spherical_potential[h][0]);

    // A neutral spherical atom's potential dies away as (1 + 1/r) e^-2r, also
    // past the grid, until it is below 1e-13 e/Angstrom; then it is that of
    // its net charge, zero.
    for (double r : {4.5, esp_grid_radius(1999), 7.0, 9.0}) {
        const double exact = (1 + A0 / r) * std::exp(-2 * r / A0) / A0;
        EXPECT_NEAR(m.potential(h, 0, r, 0), exact, 1e-14) << r;
    }
    EXPECT_NEAR(m.potential(h, 0, 40.0, 0), 0.0, 1e-15);
}

TEST(SphericalEspTables, CoreAndKappaExpandedValenceOfACation)
{
    ScopedScriptedUi ui;
    EspModel m;
    const double kappa = 1.1, pv = 0.8;
    const int li = m.add_atom("Li1", LITHIUM, 0, 0, 0, 2, pv, kappa);
    ASSERT_TRUE(m.build());

    // The electrons: the 1s^2 core and 0.8 of an expanded 2s electron.
    auto electrons = [&](double r) {
        return -2 * slater_shell_potential(0, 2 * 2.69 * INVERSE_BOHR, r)
               - pv * slater_shell_potential(2, 2 * kappa * 1.3 * INVERSE_BOHR, r);
    };
    for (double r : {1e-3, 0.02, 0.1, 0.3, 0.7, 1.2, 2.0, 3.5, 5.0}) {
        EXPECT_NEAR(m.potential(li, 0, r, 0) - 3 / r, electrons(r), 1e-12 * std::fabs(electrons(r)))
            << "r = " << r;
    }
    // Electrons at the nucleus: -2 zeta_1s - pv (2 kappa zeta_2s) / 4 per bohr.
    const double at_nucleus = -(2 * 2.69 + pv * 2 * kappa * 1.3 / 4) * INVERSE_BOHR;
    EXPECT_NEAR(m.potential(li, 0, 0, 0), at_nucleus, 1e-13 * std::fabs(at_nucleus));
    // The expanded 2s still reaches 6 Angstrom; far out the net charge +0.2.
    EXPECT_NEAR(m.potential(li, 0, 0, 6.0), 3 / 6.0 + electrons(6.0), 1e-14);
    EXPECT_NEAR(m.potential(li, 0, 0, 30.0), 0.2 / 30.0, 1e-13);
}

TEST(SphericalEspTables, AtomsWithoutElectronsOrValenceStayFinite)
{
    ScopedScriptedUi ui;
    EspModel m;
    const int proton = m.add_atom("H1", HYDROGEN, 0, 0, 0, 0, 0.0);   // no electrons at all
    const int ion = m.add_atom("Li1", LITHIUM, 3, 0, 0, 3, 0.5);      // nv = Z - core = 0
    ASSERT_TRUE(m.build());
    EXPECT_TRUE(ui->answers.messages.empty()) << ui->answers.message_log();

    for (double r : {1e-4, 0.3, 2.0, 5.0, 8.0})
        EXPECT_NEAR(m.potential(proton, r, 0, 0), 1 / r, 1e-9 / r) << "bare nucleus at r = " << r;
    EXPECT_EQ(m.potential(proton, 0, 0, 0), 0.0);

    // Only the core enters, as the density has it: the bank's two 1s
    // electrons, so the ion looks like a charge of +1 from afar.
    for (double r : {0.0, 1e-4, 0.3, 2.0, 5.0, 8.0})
        EXPECT_TRUE(std::isfinite(m.potential(ion, r, 0, 0))) << "r = " << r;
    EXPECT_NEAR(m.potential(ion, 8.0, 0, 0), 1 / 8.0, 1e-13);
    EXPECT_NEAR(m.potential(ion, 0, 0, 0), -2 * 2.69 * INVERSE_BOHR, 1e-12);
}

TEST(SphericalEspTables, ElectronsWithoutBankDensityAreRefused)
{
    ScopedScriptedUi ui;
    EspModel m;
    m.add_atom("H1", HYDROGEN, 0, 0, 0, 0, 1.0);
    // The only function has no exponent, so the bank gives no density.
    ASSERT_FALSE(m.build(" ATOM H   \n 0 1 1\n 1 1.0 0.0\n"));
    EXPECT_EQ(m.tables->esp_tables_ready, 0);
    ASSERT_EQ(ui->answers.messages.size(), 1u);
    EXPECT_EQ(ui->answers.messages[0].text, "No electron density in the wavefunction bank for atom H1.");
    EXPECT_FALSE(ui->progress_open);
    EXPECT_EQ(evaluate_atom_electrostatic_potential_sum(*m.model, *m.tables, 1, 1, 1), 0.0);
}

TEST(SphericalEspTables, BuildShowsProgressAndCancelLeavesThemNotReady)
{
    ScopedScriptedUi ui;
    EspModel m;
    m.add_atom("H1", HYDROGEN, 0, 0, 0, 0, 1.0);
    m.add_atom("H2", HYDROGEN, 1, 0, 0, 0, 1.0);
    job_control().job_running = false;

    ASSERT_TRUE(m.build());
    EXPECT_EQ(ui->progress_titles.size(), 1u);
    EXPECT_FALSE(ui->progress_open);
    EXPECT_EQ(ui->last_percent, 100);
    EXPECT_FALSE(job_control().job_running);
    EXPECT_GE(ui->pump_count, 2);

    // Cancel confirmed at the third pump, in the first atom.
    ui->on_pump = [&] {
        if (ui->pump_count == 3)
            job_control().job_running = false;
    };
    ui->pump_count = 0;
    EXPECT_FALSE(build_spherical_potential_tables(*m.model, *m.bank, *m.radial, *m.tables));
    EXPECT_EQ(ui->pump_count, 3);
    EXPECT_EQ(m.tables->esp_tables_ready, 0);
    EXPECT_FALSE(ui->progress_open);
    EXPECT_EQ(m.potential(1, 0.5, 0, 0), 0.0);
    EXPECT_EQ(evaluate_atom_electrostatic_potential_sum(*m.model, *m.tables, 0.5, 0, 0), 0.0);
}

TEST(SphericalEspTables, ResetMarksTheProgramsTablesNotReady)
{
    spherical_esp_tables().esp_tables_ready = 1;
    reset_spherical_potential_tables();
    EXPECT_EQ(spherical_esp_tables().esp_tables_ready, 0);
}

TEST(SphericalEspTables, ProgramsBuildReadsAMissingBankFirst)
{
    ScopedScriptedUi ui;
    EspModel m;
    m.add_atom("H1", HYDROGEN, 0, 0, 0, 0, 1.0);
    commit_model(std::move(m.model));
    const RunSettings saved = run_settings();
    run_settings().paths.wavefun_bank_path = "/nonexistent/bank.bnk";
    run_settings().file_dialog.start_directory = "/nonexistent";
    wavefunction_bank().bank_loaded = 0;
    spherical_esp_tables().esp_tables_ready = 1;

    EXPECT_FALSE(build_spherical_potential_tables());
    EXPECT_EQ(spherical_esp_tables().esp_tables_ready, 0);
    ASSERT_EQ(ui->answers.messages.size(), 1u);
    EXPECT_EQ(ui->answers.messages[0].caption, "Wavefunctions!");
    EXPECT_EQ(evaluate_atom_electrostatic_potential_sum(0.5, 0, 0), 0.0);

    run_settings() = saved;
    commit_model(std::make_unique<StructureModel>());
}

TEST(AtomElectrostaticPotential, ImageUsesItsParentsTableWithItsOwnWeights)
{
    ScopedScriptedUi ui;
    EspModel m;
    m.add_atom("H1", HYDROGEN, 0, 0, 0, 0, 0.6);
    ASSERT_TRUE(m.build());
    // Atom 2: an image of atom 1 elsewhere, half occupied on a cell face.
    StructureModel& model = *m.model;
    model.atoms.atom_count = 2;
    model.images.parent_atom[2] = 1;
    model.atoms.atomic_number[2] = 1;
    model.atoms.site_weight[2] = 0.5;
    model.pseudoatoms.occupancy[2] = 0.5;
    model.pseudoatoms.valence_population[2] = 0.6;
    for (double r : {0.0, 0.2, 1.0, 4.0, 6.0}) {
        const double parent = m.potential(1, 0, r, 0);
        EXPECT_DOUBLE_EQ(m.potential(2, 0, r, 0), 0.25 * parent) << "r = " << r;
    }
    EXPECT_NEAR(m.potential(2, 30.0, 0, 0), 0.25 * 0.4 / 30.0, 1e-15);
}

// ---------------------------------------------------------------------------
// Multipole part

namespace {

struct MultipoleCase {
    int l, m, n;
    double a;  // kappa' zeta, 1/Angstrom
};

// Every order, cosine and sine harmonics, n from below l (the outer integral
// with a negative power) to far above it.
const MultipoleCase MULTIPOLE_CASES[] = {
    {0, 0, 2, 3.0},  {1, 0, 1, 3.0},  {1, 1, 4, 4.0},  {1, -1, 0, 2.6}, {2, -2, 2, 3.5}, {2, 1, 0, 2.5},
    {2, 0, 9, 5.0},  {3, 3, 3, 3.0},  {3, -1, 0, 2.8}, {3, 2, 4, 3.3},  {4, 0, 4, 3.2},  {4, -3, 0, 3.0},
    {4, 2, 6, 4.0},  {4, 4, 12, 6.0},
};

// One atom at the origin with the single population P(l, m) = 0.7 and the
// local frame equal to the global one (z towards dummy 1, x towards dummy 2).
class MultipoleAtom {
public:
    std::unique_ptr<StructureModel> model = std::make_unique<StructureModel>();
    static constexpr double POPULATION = 0.7;

    explicit MultipoleAtom(const MultipoleCase& c)
    {
        WorkingAtomSet& atoms = model->atoms;
        atoms.atom_count = atoms.independent_atom_count = 1;
        model->dummies.dummy_count = 2;
        atoms.cart_z[2] = 1.0;  // dummy 1
        atoms.cart_x[3] = 1.0;  // dummy 2
        set_frame(2, 3);
        PseudoatomParameters& p = model->pseudoatoms;
        p.l_max[1] = 4;
        p.kappa_prime[1] = 1.0;
        for (int l = 0; l <= MAX_L; ++l) {
            p.radial_n[1][l] = l;
            p.radial_zeta[1][l] = 3.0;
        }
        p.radial_n[1][c.l] = c.n;
        p.radial_zeta[1][c.l] = c.a;
        p.multipole_population[1](c.l, c.m) = POPULATION;
    }

    // Local z towards point z_point, local x towards x_point.
    void set_frame(int z_point, int x_point)
    {
        LocalAxisDefinitions& axes = model->local_axes;
        axes.frame_atom_1[1] = z_point;
        axes.frame_axis_1[1] = 3;
        axes.frame_atom_2[1] = 1;
        axes.frame_atom_3[1] = x_point;
        axes.frame_axis_2[1] = 1;
    }

    double potential(double x, double y, double z) const
    {
        return evaluate_atom_multipole_potential(*model, 1, x, y, z);
    }
};

// The electron density of the term, written out: P R(r) y_lm with
// R = a^(n+3) / (n+2)! r^n exp(-a r).
double term_density(const MultipoleCase& c, double x, double y, double z)
{
    const double r = std::sqrt(x * x + y * y + z * z);
    const double radial = std::pow(c.a, c.n + 3) / std::tgamma(c.n + 3.0) * std::pow(r, c.n) * std::exp(-c.a * r);
    return MultipoleAtom::POPULATION * radial * evaluate_real_harmonic(c.l, c.m, x, y, z);
}

// Gauss-Legendre nodes and weights on [-1, 1].
void gauss_legendre(int count, std::vector<double>& nodes, std::vector<double>& weights)
{
    nodes.assign(count, 0.0);
    weights.assign(count, 0.0);
    for (int i = 0; i < count; ++i) {
        double x = std::cos(PI * (i + 0.75) / (count + 0.5));
        double derivative = 0;
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p0 = 1, p1 = x;
            for (int k = 2; k <= count; ++k) {
                const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            derivative = count * (x * p1 - p0) / (x * x - 1);
            const double step = p1 / derivative;
            x -= step;
            if (std::fabs(step) < 1e-15)
                break;
        }
        nodes[i] = x;
        weights[i] = 2 / ((1 - x * x) * derivative * derivative);
    }
}

// -integral of rho(r') / |p - r'| d3r', in spherical coordinates about p with
// the pole towards the nucleus: the Coulomb singularity cancels against s^2.
double direct_potential(const MultipoleCase& c, const double p[3])
{
    const double distance = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    const double e3[3] = {-p[0] / distance, -p[1] / distance, -p[2] / distance};
    double e1[3] = {1, 0, 0};
    const double along = e1[0] * e3[0];
    for (int k = 0; k < 3; ++k)
        e1[k] -= along * e3[k];
    const double n1 = std::sqrt(e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2]);
    for (double& v : e1)
        v /= n1;
    const double e2[3] = {e3[1] * e1[2] - e3[2] * e1[1], e3[2] * e1[0] - e3[0] * e1[2],
                          e3[0] * e1[1] - e3[1] * e1[0]};

    std::vector<double> mu, mu_weight, t, t_weight;
    gauss_legendre(48, mu, mu_weight);
    gauss_legendre(16, t, t_weight);
    const int phi_count = 48, panels = 16;
    const double s_max = distance + 40.0 / c.a, panel = s_max / panels;
    double total = 0;
    for (std::size_t i = 0; i < mu.size(); ++i) {
        const double sine = std::sqrt(1 - mu[i] * mu[i]);
        for (int j = 0; j < phi_count; ++j) {
            const double phi = 2 * PI * j / phi_count;
            double w[3];
            for (int k = 0; k < 3; ++k)
                w[k] = sine * std::cos(phi) * e1[k] + sine * std::sin(phi) * e2[k] + mu[i] * e3[k];
            double ray = 0;
            for (int q = 0; q < panels; ++q)
                for (std::size_t k = 0; k < t.size(); ++k) {
                    const double s = panel * (q + 0.5 * (t[k] + 1));
                    ray += 0.5 * panel * t_weight[k] * s
                           * term_density(c, p[0] + s * w[0], p[1] + s * w[1], p[2] + s * w[2]);
                }
            total += mu_weight[i] * (2 * PI / phi_count) * ray;
        }
    }
    return -total;
}

}  // namespace

TEST(MultipolePotential, MatchesDirectQuadratureOfItsDensity)
{
    // One term of every order, at points inside, across and outside the
    // density.
    const MultipoleCase cases[] = {{1, 1, 1, 2.5}, {2, -1, 2, 2.8}, {3, 0, 3, 3.0}, {4, -4, 4, 3.2}};
    const double points[][3] = {{0.31, -0.22, 0.42}, {-0.5, 0.9, 0.35}, {1.3, 0.7, -1.6}};
    for (const MultipoleCase& c : cases) {
        const MultipoleAtom atom(c);
        for (const auto& p : points) {
            const double reference = direct_potential(c, p);
            EXPECT_NEAR(atom.potential(p[0], p[1], p[2]), reference, 1e-6 + 1e-5 * std::fabs(reference))
                << "l " << c.l << " m " << c.m << " at " << p[0] << " " << p[1] << " " << p[2];
        }
    }
}

TEST(MultipolePotential, SolvesPoissonsEquationAndDecaysAsItsMoment)
{
    const double directions[][3] = {{0.48, -0.6, 0.64}, {-0.36, 0.8, 0.48}, {0.0, 0.6, -0.8}};
    for (const MultipoleCase& c : MULTIPOLE_CASES) {
        const MultipoleAtom atom(c);
        // Laplacian of V = 4 pi rho of the electrons (their charge counts
        // negative), by the seven-point stencil.
        for (double r : {0.15, 0.4, 0.9, 1.8}) {
            for (const auto& u : directions) {
                const double p[3] = {r * u[0], r * u[1], r * u[2]};
                // Richardson's step doubling takes the stencil's h^2 error out.
                auto stencil = [&](double h) {
                    double sum = -6 * atom.potential(p[0], p[1], p[2]);
                    for (int k = 0; k < 3; ++k) {
                        double q[3] = {p[0], p[1], p[2]};
                        q[k] = p[k] + h;
                        sum += atom.potential(q[0], q[1], q[2]);
                        q[k] = p[k] - h;
                        sum += atom.potential(q[0], q[1], q[2]);
                    }
                    return sum / (h * h);
                };
                const double laplacian = (4 * stencil(2e-3) - stencil(4e-3)) / 3;
                const double source = 4 * PI * term_density(c, p[0], p[1], p[2]);
                const double scale = std::fabs(atom.potential(p[0], p[1], p[2])) / (r * r) + std::fabs(source);
                EXPECT_NEAR(laplacian, source, 2e-5 * scale) << "l " << c.l << " m " << c.m << " n " << c.n
                                                             << " r " << r;
            }
        }
        // Far away: -4 pi / (2l + 1) P y_lm M_l / r^(l+1) with the moment
        // M_l = integral of R r^(l+2) dr = (n+l+2)! / ((n+2)! a^l).
        const double moment = std::tgamma(c.n + c.l + 3.0) / std::tgamma(c.n + 3.0) / std::pow(c.a, c.l);
        const double r = 80.0 / c.a;
        const auto& u = directions[0];
        const double far = -4 * PI / (2 * c.l + 1) * MultipoleAtom::POPULATION * moment
                           * evaluate_real_harmonic(c.l, c.m, u[0], u[1], u[2]) / std::pow(r, c.l + 1);
        EXPECT_NEAR(atom.potential(r * u[0], r * u[1], r * u[2]), far, 1e-10 * std::fabs(far))
            << "l " << c.l << " m " << c.m << " n " << c.n;
    }
}

TEST(MultipolePotential, IsTakenInTheAtomsLocalFrame)
{
    const MultipoleCase c{3, -2, 3, 3.0};
    const MultipoleAtom global(c);
    MultipoleAtom turned(c);
    // Local z along global x, local x along global y (so local y is global z).
    StructureModel& model = *turned.model;
    model.atoms.cart_x[2] = 1.0;
    model.atoms.cart_z[2] = 0.0;
    model.atoms.cart_x[3] = 0.0;
    model.atoms.cart_y[3] = 1.0;
    for (const auto& p : {std::array<double, 3>{0.3, -0.5, 0.2}, std::array<double, 3>{-1.1, 0.4, 0.9}})
        EXPECT_NEAR(turned.potential(p[0], p[1], p[2]), global.potential(p[1], p[2], p[0]), 1e-13);
}

TEST(MultipolePotential, StaysFiniteAtTheNucleusAndForUnusableTerms)
{
    for (const MultipoleCase& c : MULTIPOLE_CASES) {
        const MultipoleAtom atom(c);
        const double at_nucleus = atom.potential(0, 0, 0);
        EXPECT_TRUE(std::isfinite(at_nucleus)) << "l " << c.l << " n " << c.n;
        EXPECT_EQ(atom.potential(1e-12, -1e-12, 0), at_nucleus);
        EXPECT_DOUBLE_EQ(atom.potential(0.001, 0.001, 0.001), at_nucleus);
        for (double r : {1e-12, 1e-9, 1e-3, 1.0, 1e3, 1e6})
            EXPECT_TRUE(std::isfinite(compute_radial_potential_integral(c.l, c.n, c.a, r)))
                << "l " << c.l << " n " << c.n << " r " << r;
    }
    // No exponent, an n without a normalisation: no term at all.
    MultipoleAtom atom({2, 0, 2, 3.0});
    atom.model->pseudoatoms.kappa_prime[1] = 0.0;
    EXPECT_EQ(atom.potential(0.3, 0.1, 0.2), 0.0);
    atom.model->pseudoatoms.kappa_prime[1] = 1.0;
    atom.model->pseudoatoms.radial_n[1][2] = -1;
    EXPECT_EQ(atom.potential(0.3, 0.1, 0.2), 0.0);
}

// No cut-off: a cut would put a step into the potential where an atom
// crosses it.
TEST(AtomElectrostaticPotential, AddsTheMultipolesAtEveryDistance)
{
    ScopedScriptedUi ui;
    EspModel m;
    const int h = m.add_atom("H1", HYDROGEN, 0, 0, 0, 0, 1.0);
    ASSERT_TRUE(m.build());
    PseudoatomParameters& p = m.model->pseudoatoms;
    p.l_max[h] = 0;
    p.radial_n[h][0] = 0;
    p.radial_zeta[h][0] = 2.0;
    p.multipole_population[h](0, 0) = 0.3;
    for (double r : {0.5, 2.0, 3.0, 12.0, 40.0}) {
        const double spherical = interpolate_spherical_potential(*m.model, *m.tables, h, r);
        const double multipole = evaluate_atom_multipole_potential(*m.model, h, 0, 0, r);
        ASSERT_NE(multipole, 0.0);
        EXPECT_DOUBLE_EQ(m.potential(h, 0, 0, r), spherical + multipole) << r;
    }
}

TEST(ElectrostaticPotentialSum, SumsTheActiveAtomsOverTheLatticeCells)
{
    ScopedScriptedUi ui;
    EspModel m(4.0);
    m.add_atom("H1", HYDROGEN, 1.0, 1.0, 1.0, 0, 1.0);
    m.add_atom("H2", HYDROGEN, 3.0, 2.0, 1.0, 0, 1.0);
    ASSERT_TRUE(m.build());
    m.model->atoms.subset_mask[2] = 0;  // left out

    // Hydrogen potential in e/Angstrom at distance r Angstrom.
    auto hydrogen = [](double r) {
        const double rho = r / A0;
        return (1 + 1 / rho) * std::exp(-2 * rho) / A0;
    };
    const double point[3] = {1.7, 0.4, 1.2};
    auto expected = [&](int k) {
        double sum = 0;
        for (int a = -k; a <= k; ++a)
            for (int b = -k; b <= k; ++b)
                for (int c = -k; c <= k; ++c)
                    sum += hydrogen(std::hypot(point[0] - 1 - 4 * a, point[1] - 1 - 4 * b, point[2] - 1 - 4 * c));
        return sum;
    };
    ClusterTranslations& cells = m.model->translations;
    auto sum = [&] { return evaluate_atom_electrostatic_potential_sum(*m.model, *m.tables, point[0], point[1], point[2]); };
    EXPECT_NEAR(sum(), expected(1), 1e-5 * expected(1));  // 27 cells by default
    cells.cluster_k = cells.cluster_l = cells.cluster_m = 0;
    EXPECT_NEAR(sum(), expected(0), 1e-5 * expected(0));
    cells.cluster_k = -1;
    EXPECT_EQ(sum(), 0.0);
}
