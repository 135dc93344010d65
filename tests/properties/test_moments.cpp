// Molecular dipole and quadrupole moments: point-like ions checked against
// sum q r by hand, a centrosymmetric molecule, the e.s.d. propagation of a
// two-parameter covariance matrix, and the quadrupole of a linear
// arrangement.
#include "common/fortran_format.h"
#include "common/scripted_ui.h"
#include "keldana/density/numeric_helpers.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "keldana/properties/centre_of_mass.h"
#include "keldana/properties/dipole_moment.h"
#include "keldana/properties/quadrupole_moment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double DEBYE = 4.80324;

std::string trimmed(std::string text)
{
    const std::size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

// A fresh working directory with an open listing.
class MomentsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_moments_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        RunSettings& settings = run_settings();
        settings.calculation = CalculationSettings{};
        apply_default_calculation_settings(settings.calculation);
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        settings.paths.wavefun_bank_path.clear();
        covariance_matrix().esd_available = 0;
        ASSERT_TRUE(open_report_output());
    }

    void TearDown() override
    {
        close_report_output();
        covariance_matrix().esd_available = 0;
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    std::vector<std::string> listing() const
    {
        std::vector<std::string> lines;
        std::ifstream in(directory_ / listing_file_name());
        for (std::string line; std::getline(in, line);)
            lines.push_back(trimmed(line));
        return lines;
    }

    std::vector<std::string> pane() const
    {
        std::vector<std::string> lines;
        for (int k = 1; k <= text_pane_state().line_count; ++k)
            lines.push_back(trimmed(read_pane_line(k)));
        return lines;
    }

    static bool has_line(const std::vector<std::string>& lines, const std::string& line)
    {
        for (const std::string& l : lines)
            if (l == trimmed(line))
                return true;
        return false;
    }

    // Loads an example folder's model through the real loader.
    bool load_example(const std::string& folder, const std::string& file)
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(KD_SOURCE_DIR) / "examples" / folder))
            fs::copy_file(entry.path(), directory_ / entry.path().filename(), fs::copy_options::overwrite_existing);
        RunSettings& settings = run_settings();
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (directory_ / file).string();
        settings.file_dialog.dialog_path = (directory_ / file).string();
        settings.file_dialog.file_title = file;
        const bool loaded = load_structure_file();
        apply_default_calculation_settings(settings.calculation);
        return loaded;
    }

    ScopedScriptedUi ui_;
    fs::path previous_;
    fs::path directory_;
};

struct TestAtom {
    const char* label;
    double x, y, z;
    int atomic_number, core;
    double valence;
    double mass;
};

// Independent atoms without images, each of its own type, spherical unless
// the test adds populations.
std::unique_ptr<StructureModel> model_of(const std::vector<TestAtom>& list)
{
    auto model = std::make_unique<StructureModel>();
    WorkingAtomSet& atoms = model->atoms;
    atoms.atom_count = atoms.independent_atom_count = static_cast<int>(list.size());
    for (int i = 1; i <= atoms.atom_count; ++i) {
        const TestAtom& a = list[i - 1];
        set_text_field(atoms.atom_label[i], a.label);
        atoms.cart_x[i] = a.x;
        atoms.cart_y[i] = a.y;
        atoms.cart_z[i] = a.z;
        atoms.atomic_number[i] = a.atomic_number;
        atoms.subset_mask[i] = 1;
        atoms.atom_type_index[i] = i;
        atoms.site_weight[i] = 1.0;
        model->atom_types.type_mass[i] = a.mass;
        PseudoatomParameters& q = model->pseudoatoms;
        q.core_electron_count[i] = a.core;
        q.valence_population[i] = a.valence;
        q.occupancy[i] = 1.0;
        q.kappa[i] = q.kappa_prime[i] = 1.0;
        model->images.image_count[i] = 1;
        model->images.image_list[i][1] = i;
    }
    return model;
}

void give_multipoles(StructureModel& model, int atom, int l_max, int n, double kappa_prime, double zeta)
{
    PseudoatomParameters& q = model.pseudoatoms;
    q.l_max[atom] = l_max;
    q.kappa_prime[atom] = kappa_prime;
    for (int l = 1; l <= l_max; ++l) {
        q.radial_n[atom][l] = n;
        q.radial_zeta[atom][l] = zeta;
    }
}

// Na+ (Z 11, 10 core electrons, no valence) and Cl- (Z 17, 10 core, 8 valence).
std::unique_ptr<StructureModel> ion_pair()
{
    return model_of({{"Na1", 0.5, -1.0, 2.0, 11, 10, 0.0, 22.99}, {"Cl1", 2.0, 1.0, -0.5, 17, 10, 8.0, 35.45}});
}

TEST_F(MomentsTest, DipoleOfTwoIonsIsTheSumOfChargesTimesPositions)
{
    auto model = ion_pair();
    const std::array<double, 3> centre = compute_centre_of_mass(*model).centre;
    DipoleMomentTables tables;
    compute_dipole_moment_tables(*model, centre, tables);
    // D = (+1) r_Na + (-1) r_Cl, the same about any centre for a neutral pair.
    const std::array<double, 3> expected = {0.5 - 2.0, -1.0 - 1.0, 2.0 - -0.5};
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(tables.dipole[k], expected[k], 1e-12);
    EXPECT_NEAR(tables.magnitude, std::sqrt(12.5), 1e-12);
    EXPECT_DOUBLE_EQ(tables.net_charge[1], 1.0);
    EXPECT_DOUBLE_EQ(tables.net_charge[2], -1.0);

    report_molecular_dipole_moment(*model, covariance_matrix(), centre);
    // -1.5, -2.0, 2.5 e A and sqrt(12.5) e A = 16.982 D.
    const std::string components = "   px =      -7.2       py =      -9.6       pz =      12.0";
    const std::string magnitude = "  Dipole Magnitude:       17.0  Debye";
    const std::vector<std::string> listing_lines = listing();
    const std::vector<std::string> pane_lines = pane();
    EXPECT_TRUE(has_line(listing_lines, components));
    EXPECT_TRUE(has_line(listing_lines, magnitude));
    EXPECT_TRUE(has_line(pane_lines, components));
    EXPECT_TRUE(has_line(pane_lines, magnitude));
    // The banner is the pane's, the totals line the listing's.
    EXPECT_TRUE(has_line(pane_lines, "   ===== MOLECULAR DIPOLE MOMENT ====="));
    EXPECT_FALSE(has_line(listing_lines, "   ===== MOLECULAR DIPOLE MOMENT ====="));
    EXPECT_TRUE(has_line(listing_lines, "      Pseudoatom charges and contributions to moleculardipole:"));
    EXPECT_TRUE(has_line(pane_lines, "      Pseudoatom charges and contributions to molecular dipole:"));
    const std::string centre_line = format_line("('  Centre of inertia:',3F10.5)", {centre[0], centre[1], centre[2]});
    EXPECT_TRUE(has_line(listing_lines, centre_line));
    EXPECT_TRUE(has_line(pane_lines, centre_line));
    // Each ion's charge term is q (r - c) in Debye.
    const std::string sodium = format_line("(1X,A5,7F9.4)", {"Na1     ", 1.0, (0.5 - centre[0]) * DEBYE,
                                                             (-1.0 - centre[1]) * DEBYE, (2.0 - centre[2]) * DEBYE,
                                                             0.0, 0.0, 0.0});
    EXPECT_TRUE(has_line(listing_lines, sodium));
    EXPECT_TRUE(has_line(pane_lines, sodium));
    bool total_found = false;
    for (const std::string& line : listing_lines)
        total_found = total_found || line.rfind("Total    0.0000  -7.2049  -9.6065  12.0081", 0) == 0;
    EXPECT_TRUE(total_found);
}

TEST_F(MomentsTest, DipoleTotalChargeIsOccupancyWeightedButTheAtomsChargeIsNot)
{
    auto model = model_of({{"Na1", 0.0, 0.0, 1.0, 11, 10, 0.0, 22.99}});
    model->pseudoatoms.occupancy[1] = 0.5;
    report_molecular_dipole_moment(*model, covariance_matrix(), {0.0, 0.0, 0.0});
    const std::vector<std::string> lines = listing();
    EXPECT_TRUE(has_line(lines, format_line("(1X,A5,7F9.4)", {"Na1     ", 1.0, 0.0, 0.0, DEBYE, 0.0, 0.0, 0.0})));
    EXPECT_TRUE(has_line(lines, format_line("('Total ',7F9.4)", {0.5, 0.0, 0.0, DEBYE, 0.0, 0.0, 0.0})));
}

TEST_F(MomentsTest, NoActiveAtomGivesZeroLinesAndNoAtomRows)
{
    auto model = ion_pair();
    model->atoms.subset_mask[1] = model->atoms.subset_mask[2] = 0;
    report_molecular_dipole_moment(*model, covariance_matrix(), compute_centre_of_mass(*model).centre);
    const std::vector<std::string> lines = pane();
    EXPECT_TRUE(has_line(lines, "  Centre of inertia:   0.00000   0.00000   0.00000"));
    EXPECT_TRUE(has_line(lines, "   px =       0.0       py =       0.0       pz =       0.0"));
    EXPECT_TRUE(has_line(lines, "  Dipole Magnitude:        0.0  Debye"));
    for (const std::string& line : lines)
        EXPECT_EQ(line.find("Na1"), std::string::npos);
}

TEST_F(MomentsTest, CentrosymmetricMoleculeHasNoDipoleNorDipoleEsd)
{
    ASSERT_TRUE(load_example("cyanogen", "cyanogen.kdn"));
    const StructureModel& model = current_model();
    ASSERT_EQ(model.atoms.atom_count, 4);
    const std::array<double, 3> centre = compute_centre_of_mass(model).centre;
    DipoleMomentTables tables;
    compute_dipole_moment_tables(model, centre, tables);
    // The atoms do contribute, the images cancel them.
    EXPECT_GT(std::abs(tables.contribution[1][5]) + std::abs(tables.contribution[1][2]), 0.01);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(tables.dipole[k], 0.0, 1e-12);

    // Refined monopole and dipole populations of C1 move both halves of the
    // molecule alike: the dipole stays zero, so its e.s.d. is zero.
    auto matrix = std::make_unique<CovarianceMatrix>();
    matrix->cov_order = 3;
    matrix->cov_scale = 1.0;
    matrix->esd_available = 1;
    const int kinds[] = {12, 16, 14};
    for (int s = 1; s <= 3; ++s) {
        matrix->cov_atom[s] = 1;
        matrix->cov_kind[s] = kinds[s - 1];
        for (int t = s; t <= 3; ++t)
            matrix->cov_at(s, t) = s == t ? 0.01 : 0.002;
    }
    double sx = 1, sy = 1, sz = 1;
    compute_dipole_moment_esd(model, *matrix, centre, sx, sy, sz);
    EXPECT_NEAR(sx, 0.0, 1e-12);
    EXPECT_NEAR(sy, 0.0, 1e-12);
    EXPECT_NEAR(sz, 0.0, 1e-12);

    compute_molecular_dipole_moment();
    EXPECT_TRUE(has_line(pane(), "  Dipole Magnitude:        0.0  Debye"));
}

// Benzoquinone's cluster with a subset: the monopole populations of C1 and
// O1 (correlated) move every image of their atoms, but only the images in
// the subset carry the dipole, so only they enter its e.s.d., each with its
// position from the subset's centre of mass.
TEST_F(MomentsTest, DipoleEsdSumsTheSubsetsImagesOnly)
{
    ASSERT_TRUE(load_example("benzoquinone", "benzoquinone.kdn"));
    StructureModel& model = current_model();
    const int n = model.atoms.atom_count;
    ASSERT_GT(n, 12);
    auto matrix = std::make_unique<CovarianceMatrix>();
    matrix->cov_order = 2;
    matrix->cov_scale = 1.0;
    matrix->esd_available = 1;
    matrix->cov_atom[1] = 1;  // Pv of C1
    matrix->cov_kind[1] = 12;
    matrix->cov_atom[2] = 4;  // P00 of O1
    matrix->cov_kind[2] = 13;
    struct Case {
        int last_active;            // atoms 1..last_active form the subset
        double covariance;          // between the two parameters
        std::array<double, 3> esd;  // by hand where given (e A), else < 0
    };
    // Atoms 1-6 hold one image of each atom; with C1's variance alone the
    // e.s.d. is 0.1 |r(C1) - c|.  Atoms 1-12 are the centrosymmetric
    // molecule: its images cancel.
    for (const Case& c : {Case{6, 0.0, {0.063, 0.008, 0.035}}, Case{6, 0.003, {-1, -1, -1}},
                          Case{12, 0.003, {0.0, 0.0, 0.0}}, Case{n, 0.003, {-1, -1, -1}}}) {
        for (int i = 1; i <= n; ++i)
            model.atoms.subset_mask[i] = i <= c.last_active ? 1 : 0;
        matrix->cov_at(1, 1) = 0.01;
        matrix->cov_at(1, 2) = c.covariance;
        matrix->cov_at(2, 2) = c.covariance == 0 ? 0.0 : 0.004;
        const std::array<double, 3> centre = compute_centre_of_mass(model).centre;
        double sigma[3] = {-1, -1, -1};
        compute_dipole_moment_esd(model, *matrix, centre, sigma[0], sigma[1], sigma[2]);
        for (int r = 0; r < 3; ++r) {
            // dD/dp = -sum (r_g - c) over the subset's images g of the parameter's atom.
            double d1 = 0, d2 = 0;
            for (int g = 1; g <= c.last_active; ++g) {
                const int parent = g <= model.atoms.independent_atom_count ? g : model.images.parent_atom[g];
                const double offset = working_atom_position(model.atoms, g)[r] - centre[r];
                if (parent == 1)
                    d1 -= offset;
                if (parent == 4)
                    d2 -= offset;
            }
            const double variance = d1 * d1 * 0.01 + 2 * d1 * d2 * c.covariance + d2 * d2 * matrix->cov_at(2, 2);
            EXPECT_NEAR(sigma[r], std::sqrt(variance), 1e-12) << c.last_active << " " << r;
            if (c.esd[r] >= 0) {
                EXPECT_NEAR(sigma[r], c.esd[r], 0.0005) << c.last_active << " " << r;
            }
        }
    }
}

// Two atoms: A (parameter 1, its valence population) and B (parameter 2,
// its dipole population along its local z axis, which points to A).
class DipoleEsdTest : public MomentsTest {
protected:
    void SetUp() override
    {
        MomentsTest::SetUp();
        model_ = model_of({{"C1", 0.5, -1.0, 2.0, 6, 2, 4.0, 3.0}, {"C2", 0.5, -1.0, -0.5, 6, 2, 4.0, 1.0}});
        give_multipoles(*model_, 2, 1, 2, 0.9, 4.0);
        // Frame of B: z towards A, x towards the dummy point after the atoms.
        model_->dummies.dummy_count = 1;
        model_->atoms.cart_x[3] = 2.0;
        model_->atoms.cart_y[3] = -1.0;
        model_->atoms.cart_z[3] = -0.5;
        LocalAxisDefinitions& axes = model_->local_axes;
        axes.frame_atom_1[2] = 1;
        axes.frame_axis_1[2] = 3;
        axes.frame_atom_2[2] = 2;
        axes.frame_atom_3[2] = 3;
        axes.frame_axis_2[2] = 1;
        model_->global_populations.population[2](1, 0) = 0.1;

        matrix_ = std::make_unique<CovarianceMatrix>();
        matrix_->cov_order = 2;
        matrix_->cov_scale = 1.5;
        matrix_->esd_available = 1;
        matrix_->cov_atom[1] = 1;
        matrix_->cov_kind[1] = 12;
        matrix_->cov_atom[2] = 2;
        matrix_->cov_kind[2] = 16;
        matrix_->cov_at(1, 1) = 0.0004;
        matrix_->cov_at(1, 2) = 0.0001;
        matrix_->cov_at(2, 2) = 0.0009;
    }

    std::unique_ptr<StructureModel> model_;
    std::unique_ptr<CovarianceMatrix> matrix_;
};

TEST_F(DipoleEsdTest, PropagatesTheCovarianceOfTwoParameters)
{
    // Centre of mass (masses 3 and 1): z = (3 * 2 - 0.5) / 4.
    const std::array<double, 3> centre = compute_centre_of_mass(*model_).centre;
    EXPECT_NEAR(centre[0], 0.5, 1e-15);
    EXPECT_NEAR(centre[1], -1.0, 1e-15);
    EXPECT_NEAR(centre[2], 1.375, 1e-15);

    // dDz/dPv(A) = -(zA - cz); dDz/dP10(B) = -R along B's z = (0, 0, 1),
    // R = 4 (n + 3) / (3 kappa' zeta) = 20 / 10.8.  x and y depend on neither.
    const double d1 = -(2.0 - 1.375);
    const double d2 = -20.0 / 10.8;
    const double variance = d1 * d1 * 0.0004 + 2 * d1 * d2 * 0.0001 + d2 * d2 * 0.0009;
    double sx = -1, sy = -1, sz = -1;
    compute_dipole_moment_esd(*model_, *matrix_, centre, sx, sy, sz);
    EXPECT_NEAR(sx, 0.0, 1e-15);
    EXPECT_NEAR(sy, 0.0, 1e-15);
    EXPECT_NEAR(sz, std::sqrt(variance) * 1.5, 1e-12);
    EXPECT_NEAR(compute_dipole_radial_factor(*model_, 2), 20.0 / 10.8, 1e-14);
}

TEST_F(DipoleEsdTest, ReportsValuesWithTheirEsdsInTenthsOfDebye)
{
    report_molecular_dipole_moment(*model_, *matrix_, compute_centre_of_mass(*model_).centre);
    // Dz = -R P10 = -0.18519 e A = -0.889 D; sigma_z = 0.08841 e A = 4.2 tenths of a Debye.
    const std::string components = "   px =       0.0( 0)  py =       0.0( 0)pz =      -0.9( 4)";
    const std::string magnitude = "  Dipole Magnitude:        0.9( 4)  Debye";
    EXPECT_TRUE(has_line(listing(), components));
    EXPECT_TRUE(has_line(listing(), magnitude));
    EXPECT_TRUE(has_line(pane(), components));
    EXPECT_TRUE(has_line(pane(), magnitude));
}

TEST(DipoleMagnitudeEsd, FollowsTheComponentsAndStaysFiniteAtZero)
{
    EXPECT_NEAR(compute_dipole_magnitude_esd({3.0, 0.0, 4.0}, 0.1, 0.7, 0.2), std::hypot(0.3, 0.8) / 5.0, 1e-15);
    EXPECT_NEAR(compute_dipole_magnitude_esd({0.0, 0.0, 0.0}, 0.1, 0.2, 0.2), std::sqrt(0.03), 1e-15);
}

// -1 at z = -1.5 and +1.5, +2 at the origin: the centre of mass is the
// origin and Q(3zz-rr) = sum q (2 z^2 - x^2 - y^2) = -4 * 1.5^2 = -9 e A^2.
TEST_F(MomentsTest, QuadrupoleOfALinearArrangementOfIons)
{
    auto model = model_of({{"F1", 0.0, 0.0, -1.5, 9, 2, 8.0, 19.0},
                           {"Mg1", 0.0, 0.0, 0.0, 12, 10, 0.0, 24.3},
                           {"F2", 0.0, 0.0, 1.5, 9, 2, 8.0, 19.0}});
    report_molecular_quadrupole_moment(*model);
    const double f = QUADRUPOLE_OUTPUT_FACTOR;
    const std::string summary = format_line("(' Summary:',5F10.4)", {0.0, 0.0, 0.0, 0.0, -9.0 * f});
    EXPECT_EQ(summary, " Summary:    0.0000    0.0000    0.0000    0.0000  -81.6913");
    EXPECT_TRUE(has_line(listing(), summary));
    EXPECT_TRUE(has_line(pane(), summary));
    EXPECT_TRUE(has_line(listing(), "               Qxy       Qxz       Qyz      Qxx-yy     Qzz"));
    EXPECT_TRUE(has_line(pane(), "              Qxy       Qxz       Qyz      Qxx-yy      Qzz"));
    EXPECT_TRUE(has_line(listing(), " Atom        Charge      Px        Py        Qxy     Total"));
    EXPECT_TRUE(has_line(pane(), " Atom       Charge      Px        Py        Qxy     Total"));
    // The outer ion's row of Q(3zz-rr), the last table: -1 * 2 * 1.5^2 in its
    // charge and total columns.
    std::string row;
    for (const std::string& line : listing())
        if (line.rfind(" F2      ", 0) == 0)
            row = line.substr(9);
    std::array<double, 6> values{};
    ASSERT_TRUE(read_list(row, {&values[0], &values[1], &values[2], &values[3], &values[4], &values[5]})) << row;
    EXPECT_EQ(values, (std::array<double, 6>{-40.8456, 0.0, 0.0, 0.0, 0.0, -40.8456}));
}

TEST_F(MomentsTest, QuadrupoleTermsOfDipoleAndQuadrupolePopulations)
{
    // Two neutral carbon atoms of equal mass 2 A apart along x: x' = -1 and +1.
    auto model = model_of({{"C1", -1.0, 0.0, 0.0, 6, 2, 4.0, 12.0}, {"C2", 1.0, 0.0, 0.0, 6, 2, 4.0, 12.0}});
    give_multipoles(*model, 2, 2, 2, 1.0, 4.0);
    MultipolePopulations& p = model->global_populations.population[2];
    p(1, 1) = 0.2;    // px = -R * 0.2, R = 4 * 5 / 12
    p(1, -1) = 0.1;
    p(2, -2) = 0.05;  // Qxy term -<r^2> 3 pi / 15 P, <r^2> = 6 * 5 / 16
    p(2, 0) = 0.1;    // Q(3zz-rr) term -<r^2> 6 sqrt(3) / 5 P
    give_multipoles(*model, 1, 1, 2, 1.0, 4.0);
    model->global_populations.population[1](2, 0) = 0.3;  // l_max 1: no quadrupole term

    QuadrupoleMomentTables tables;
    compute_quadrupole_moment_tables(*model, compute_centre_of_mass(*model).centre, tables);
    const double px = -20.0 / 12.0 * 0.2;
    const double r2 = 30.0 / 16.0;
    // Qxy: charge 0, Px p_x y' = 0, Py p_y x' with x' = 1, then the quadrupole term.
    EXPECT_NEAR(tables.row[0][2][2], -20.0 / 12.0 * 0.1 * 1.0, 1e-14);
    EXPECT_NEAR(tables.row[0][2][3], -r2 * 9.4244781 / 15.0 * 0.05, 1e-14);
    // Q(xx-yy)/2: Px is p_x x'; Q(3zz-rr): Px is -2 p_x x'.
    EXPECT_NEAR(tables.row[3][2][1], px, 1e-14);
    EXPECT_NEAR(tables.row[4][2][1], -2 * px, 1e-14);
    EXPECT_NEAR(tables.row[4][2][4], -r2 * 10.392304845413264 / 5.0 * 0.1, 1e-14);
    EXPECT_EQ(tables.row[4][1][4], 0.0);
    // Every row sums to its total and every total to the column sums.
    for (int s = 0; s < QUADRUPOLE_SECTION_COUNT; ++s) {
        const int last = quadrupole_value_count(s) - 1;
        double total = 0;
        for (int i = 1; i <= 2; ++i) {
            double row = 0;
            for (int k = 0; k < last; ++k)
                row += tables.row[s][i][k];
            EXPECT_NEAR(tables.row[s][i][last], row, 1e-15);
            total += row;
        }
        EXPECT_NEAR(tables.total[s], total, 1e-15);
        EXPECT_NEAR(tables.column_sum[s][last], total, 1e-15);
    }
}

TEST_F(MomentsTest, QuadrupoleLeavesInactiveAtomsOutOfTablesAndCentre)
{
    auto model = ion_pair();
    model->atoms.subset_mask[2] = 0;
    report_molecular_quadrupole_moment(*model);
    const std::vector<std::string> lines = listing();
    EXPECT_TRUE(has_line(lines, "  Centre of inertia:   0.50000  -1.00000   2.00000"));
    for (const std::string& line : lines)
        EXPECT_EQ(line.find("Cl1"), std::string::npos);
}

}  // namespace
