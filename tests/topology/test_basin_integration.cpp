// Atomic basin integration checked against what holds without our code.
#include "common/job_control.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/basin_integration.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/interatomic_surface.h"
#include "topology_test_support.h"
#include "support/text_files.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;
constexpr int LAPLACIAN = 8;

TEST(GaussLegendre, KnownRulesAndExactness)
{
    std::vector<double> x, w;
    ASSERT_TRUE(get_gauss_legendre_rule(4, x, w));
    // Abramowitz and Stegun, table 25.4.
    const std::vector<double> nodes = {-0.861136311594052575, -0.339981043584856265, 0.339981043584856265,
                                       0.861136311594052575};
    const std::vector<double> weights = {0.347854845137453857, 0.652145154862546143, 0.652145154862546143,
                                         0.347854845137453857};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(x[k], nodes[k], 1e-15);
        EXPECT_NEAR(w[k], weights[k], 1e-15);
    }
    ASSERT_TRUE(get_gauss_legendre_rule(1, x, w));
    EXPECT_EQ(x, std::vector<double>{0.0});
    EXPECT_EQ(w, std::vector<double>{2.0});
    // Every size is exact for x^(2n-2) and x^(2n-1) on [-1, 1].
    for (int n : {2, 4, 10, 32, 36, 40, 48, 54, 64, 96, 120}) {
        ASSERT_TRUE(get_gauss_legendre_rule(n, x, w)) << n;
        ASSERT_EQ(x.size(), static_cast<size_t>(n));
        double even = 0, odd = 0;
        for (int k = 0; k < n; ++k) {
            even += w[k] * std::pow(x[k], 2 * n - 2);
            odd += w[k] * std::pow(x[k], 2 * n - 1);
            if (k > 0) {
                EXPECT_LT(x[k - 1], x[k]);
            }
        }
        EXPECT_NEAR(even, 2.0 / (2 * n - 1), 1e-14) << n;
        EXPECT_NEAR(odd, 0.0, 1e-14) << n;
    }
    // Sizes the rule does not know leave the vectors untouched.
    for (int n : {0, 3, 5, 33, 34, 50, 121}) {
        std::vector<double> a = {7.0}, b = {8.0};
        EXPECT_FALSE(get_gauss_legendre_rule(n, a, b)) << n;
        EXPECT_EQ(a, std::vector<double>{7.0});
        EXPECT_EQ(b, std::vector<double>{8.0});
    }
}

class BasinTest : public TopologyTest {
protected:
    void TearDown() override
    {
        interatomic_surface_table().ias_present.fill(0);
        TopologyTest::TearDown();
    }

    bool load_example(const std::string& folder, const std::string& name)
    {
        const fs::path source = fs::path(KD_SOURCE_DIR) / "examples" / folder;
        fs::copy_file(source / "gspace.cls", directory_ / "gspace.cls", fs::copy_options::overwrite_existing);
        return load_model(name, file_text(source / name));
    }

    bool load_neon()
    {
        return load_model("ne.kdn", spherical_atoms_model("A spherical neon atom", {{"Ne1", 10.0, 10.0, 10.0}},
                                                          20.0, 20.0, 20.0));
    }

    // Atom 1's surface: the radius f(theta, phi) on an n_theta x n_phi grid.
    template <typename F>
    static void set_surface(int n_theta, int n_phi, double start_radius, F f)
    {
        InteratomicSurfaceTable& table = interatomic_surface_table();
        table.ias_theta_count = n_theta;
        table.ias_phi_count = n_phi;
        SurfaceGrid grid;
        grid.n_theta = n_theta;
        grid.n_phi = n_phi;
        grid.start_radius = start_radius;
        grid.radii.assign((n_theta + 1) * (n_phi + 1), 0.0);
        for (int j = 0; j <= n_phi; ++j)
            for (int i = 0; i <= n_theta; ++i)
                grid.at(i, j) = f(i * M_PI / n_theta, j * 2 * M_PI / n_phi);
        store_surface_grid(table, 1, grid);
    }
};

TEST_F(BasinTest, SphericalSurfaceEnclosesItsVolume)
{
    ASSERT_TRUE(load_neon());
    set_surface(8, 12, 0.8, [](double, double) { return 1.5; });
    double volume = 0;
    ASSERT_EQ(integrate_property_in_basin(1, 10, 4, 0, interatomic_surface_table(), volume), BasinOutcome::completed);
    EXPECT_NEAR(volume, 4.0 / 3.0 * M_PI * 1.5 * 1.5 * 1.5, 1e-9);
    EXPECT_FALSE(ui_->progress_open);
}

TEST_F(BasinTest, FreeAtomHoldsItsElectronsAndNoLaplacian)
{
    // Neon's density beyond 5 Angstrom is negligible: the sphere holds its
    // ten electrons, and the Laplacian integrates to the vanishing flux of
    // the gradient through the sphere.
    ASSERT_TRUE(load_neon());
    set_surface(8, 12, 1.0, [](double, double) { return 5.0; });
    double electrons = 0, laplacian = 0;
    ASSERT_EQ(integrate_property_in_basin(1, 4, 6, RHO, interatomic_surface_table(), electrons),
              BasinOutcome::completed);
    EXPECT_NEAR(electrons, 10.0, 1e-4);
    ASSERT_EQ(integrate_property_in_basin(1, 4, 6, LAPLACIAN, interatomic_surface_table(), laplacian),
              BasinOutcome::completed);
    EXPECT_NEAR(laplacian, 0.0, 1e-4);
}

TEST_F(BasinTest, LaplacianIntegralIgnoresTheSignSetting)
{
    // Within 0.5 Angstrom of the nucleus the gradient points inwards: the
    // integral of the Laplacian is the negative flux, whatever sign the
    // Properties dialog gives the Laplacian.
    ASSERT_TRUE(load_neon());
    set_surface(8, 12, 0.3, [](double, double) { return 0.5; });
    double plus = 0, minus = 0;
    ASSERT_EQ(integrate_property_in_basin(1, 4, 6, LAPLACIAN, interatomic_surface_table(), plus),
              BasinOutcome::completed);
    property_selection().laplacian_sign = -1;
    const BasinOutcome outcome = integrate_property_in_basin(1, 4, 6, LAPLACIAN, interatomic_surface_table(), minus);
    property_selection().laplacian_sign = 1;
    ASSERT_EQ(outcome, BasinOutcome::completed);
    EXPECT_LT(plus, -1.0);
    EXPECT_DOUBLE_EQ(minus, plus);
}

// The Gauss-Legendre directions of an n_theta x n_phi rule as angles.
void quadrature_angles(int n_theta, int n_phi, std::vector<double>& theta_nodes, std::vector<double>& phi_nodes)
{
    std::vector<double> weights;
    get_gauss_legendre_rule(n_theta, theta_nodes, weights);
    get_gauss_legendre_rule(n_phi, phi_nodes, weights);
    for (double& t : theta_nodes)
        t = M_PI / 2 * t + M_PI / 2;
    for (double& p : phi_nodes)
        p = M_PI * p + M_PI;
}

// Fills atom 1's radii on an n_theta x n_phi grid, the repeated row and the
// poles included.
template <typename F>
void fill_table(int n_theta, int n_phi, F f)
{
    InteratomicSurfaceTable& table = interatomic_surface_table();
    table.ias_theta_count = n_theta;
    table.ias_phi_count = n_phi;
    for (int j = 0; j <= n_phi; ++j)
        for (int i = 0; i <= n_theta; ++i)
            table.radius(i, j, 1) = f(i * M_PI / n_theta, j * 2 * M_PI / n_phi);
}

TEST_F(BasinTest, SurfaceInterpolationKeepsGridRadiiSpheresAndPlanes)
{
    // At a grid direction the grid's radius; a sphere about the nucleus
    // exactly; a plane 1 Angstrom away (R = 1 / cos, whose 1/R is smooth)
    // within 0.5 per cent on a 24 x 36 grid where it is less than twice as
    // far as its nearest point.
    ASSERT_TRUE(load_neon());
    const Vector3 normal{0.36, 0.48, 0.8};
    const auto plane = [&](double theta, double phi) {
        const double cosine = std::sin(theta) * std::cos(phi) * normal[0]
                              + std::sin(theta) * std::sin(phi) * normal[1] + std::cos(theta) * normal[2];
        return cosine > 0.1 ? 1.0 / cosine : 10.0;
    };
    fill_table(24, 36, plane);
    const std::vector<double> grid_theta = {3 * M_PI / 24, 17 * M_PI / 24}, grid_phi = {0.0, 5 * M_PI / 18};
    const std::vector<double> at_grid = interpolate_surface_radii(interatomic_surface_table(), 1, grid_theta, grid_phi);
    for (size_t k = 0; k < 2; ++k)
        for (size_t l = 0; l < 2; ++l)
            EXPECT_DOUBLE_EQ(at_grid[k * 2 + l], plane(grid_theta[k], grid_phi[l]));
    std::vector<double> theta_nodes, phi_nodes;
    quadrature_angles(16, 24, theta_nodes, phi_nodes);
    const std::vector<double> radii = interpolate_surface_radii(interatomic_surface_table(), 1, theta_nodes, phi_nodes);
    int checked = 0;
    for (size_t k = 0; k < theta_nodes.size(); ++k)
        for (size_t l = 0; l < phi_nodes.size(); ++l) {
            const double exact = plane(theta_nodes[k], phi_nodes[l]);
            if (exact < 2.0) {
                EXPECT_NEAR(radii[k * phi_nodes.size() + l], exact, 0.005 * exact);
                ++checked;
            }
        }
    EXPECT_GT(checked, 50);
    fill_table(12, 18, [](double, double) { return 1.7; });
    for (double r : interpolate_surface_radii(interatomic_surface_table(), 1, theta_nodes, phi_nodes))
        EXPECT_NEAR(r, 1.7, 1e-14);
}

TEST_F(BasinTest, SurfaceFitFollowsAPlaneUpToTheClusterRadius)
{
    // A flat surface 0.7 Angstrom from the nucleus, seen up to a cluster
    // radius of 6: the radius d / cos climbs steeply near the rays along the
    // plane, and a coarse grid still gives it within 4 per cent where it
    // matters; nowhere does the fit leave the radii it was fitted to.
    ASSERT_TRUE(load_neon());
    const Vector3 normal{0.36, 0.48, 0.8};
    const auto plane = [&](double theta, double phi) {
        const double cosine = std::sin(theta) * std::cos(phi) * normal[0]
                              + std::sin(theta) * std::sin(phi) * normal[1] + std::cos(theta) * normal[2];
        return cosine > 0.7 / 6.0 ? 0.7 / cosine : 6.0;
    };
    fill_table(32, 48, plane);
    std::vector<double> theta_nodes, phi_nodes;
    quadrature_angles(48, 64, theta_nodes, phi_nodes);
    const std::vector<double> radii = interpolate_surface_radii(interatomic_surface_table(), 1, theta_nodes, phi_nodes);
    for (size_t k = 0; k < theta_nodes.size(); ++k)
        for (size_t l = 0; l < phi_nodes.size(); ++l) {
            const double r = radii[k * phi_nodes.size() + l];
            const double exact = plane(theta_nodes[k], phi_nodes[l]);
            ASSERT_GE(r, 0.7 - 1e-12);
            ASSERT_LE(r, 6.0 + 1e-12);
            if (exact < 2.0) {
                EXPECT_NEAR(r, exact, 0.04 * exact) << theta_nodes[k] << " " << phi_nodes[l];
            }
        }
}

TEST_F(BasinTest, AtomWithoutSurfaceOrUnknownRuleIsRefused)
{
    ASSERT_TRUE(load_neon());
    double result = 1.0;
    EXPECT_EQ(integrate_property_in_basin(1, 4, 6, RHO, interatomic_surface_table(), result), BasinOutcome::refused);
    set_surface(8, 12, 1.0, [](double, double) { return 2.0; });
    EXPECT_EQ(integrate_property_in_basin(1, 5, 6, RHO, interatomic_surface_table(), result), BasinOutcome::refused);
    EXPECT_EQ(result, 0.0);
    ASSERT_EQ(ui_->answers.messages.size(), 2u);
    EXPECT_EQ(ui_->answers.messages[1].text, "Can not read data. Please, check data in boxes");
}

// One carbon atom in a simple cubic cell of 2 Angstrom: by symmetry its basin
// is the cell, a cube of 8 cubic Angstrom bounded by the mid-planes to the six
// nearest atoms.
constexpr double CUBE_EDGE = 2.0;

TEST_F(BasinTest, BasinOfTheAtomOfASimpleCubicCellFillsTheCell)
{
    ASSERT_TRUE(load_model("sc.kdn", spherical_atoms_model("Simple cubic carbon", {{"C1", 0, 0, 0}}, CUBE_EDGE,
                                                           CUBE_EDGE, CUBE_EDGE)));
    critical_point_list().cp_count = 4;  // the user's search results
    const int atom_count = current_model().atoms.atom_count;
    BasinJobRequest request;
    request.mode = BasinJobMode::surfaces;
    request.atoms = {1};
    request.n_theta = 16;
    request.n_phi = 24;
    request.cluster_radius = 4.0;
    request.surface_file = (directory_ / "sc.ias").string();
    const BasinJobResult surfaces = run_basin_job(request);
    ASSERT_TRUE(surfaces.completed) << ui_->answers.message_log();
    EXPECT_EQ(surfaces.done, std::vector<int>{1});
    EXPECT_EQ(current_model().atoms.atom_count, atom_count);  // the cluster is restored
    EXPECT_EQ(critical_point_list().cp_count, 4);
    // The nearest surface points are the six face centres, the bond points.
    EXPECT_EQ(surface_critical_points().cp_count, 6);
    EXPECT_NEAR(interatomic_surface_table().ias_start_radius[1], CUBE_EDGE / 2, 0.001);

    request.mode = BasinJobMode::volume;
    request.n_theta = 32;
    request.n_phi = 48;
    const BasinJobResult volume = run_basin_job(request);
    ASSERT_TRUE(volume.completed);
    const double cell = CUBE_EDGE * CUBE_EDGE * CUBE_EDGE;
    EXPECT_NEAR(volume.total, cell, 0.005 * cell);
    EXPECT_EQ(basin_integration_results().basin_volume[1], volume.total);
    const std::vector<std::string> lines = listing_lines();
    EXPECT_TRUE(contains_line(lines, "   num  atom        VOLUME       CPU time (sec)"));
    EXPECT_TRUE(contains_line(lines, "  ---------------------------------------------"));
}

TEST_F(BasinTest, CancelledIntegrationKeepsEarlierResultsAndRestoresTheCluster)
{
    ASSERT_TRUE(load_neon());
    set_surface(8, 12, 1.0, [](double, double) { return 2.0; });
    BasinIntegrationResults& results = basin_integration_results();
    results.basin_property_integral[1] = 5.0;
    critical_point_list().cp_count = 2;
    current_model().atoms.subset_mask[1] = 0;  // the user's subset survives the job
    // Cancel confirmed at the first look while the progress dialog is up.
    ui_->on_pump = [this] {
        if (ui_->progress_open)
            job_control().job_running = false;
    };
    BasinJobRequest request;
    request.atoms = {1};
    request.n_theta = 4;
    request.n_phi = 6;
    request.cluster_radius = 5.0;
    request.code = RHO;
    const BasinJobResult result = run_basin_job(request);
    ui_->on_pump = nullptr;
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.completed);
    EXPECT_TRUE(result.done.empty());
    EXPECT_EQ(results.basin_property_integral[1], 0.0);  // zeroed, not filled
    EXPECT_EQ(current_model().atoms.subset_mask[1], 0);
    EXPECT_EQ(critical_point_list().cp_count, 2);
    EXPECT_FALSE(ui_->progress_open);
    EXPECT_FALSE(job_control().job_running);
    for (const std::string& line : listing_lines())
        EXPECT_EQ(line.find("TOTAL"), std::string::npos);
}

TEST_F(BasinTest, IntegrationSkipsAtomsWithoutSurface)
{
    ASSERT_TRUE(load_neon());
    BasinJobRequest request;
    request.atoms = {1};
    request.n_theta = 4;
    request.n_phi = 6;
    request.cluster_radius = 5.0;
    request.code = RHO;
    const BasinJobResult result = run_basin_job(request);
    EXPECT_TRUE(result.completed);
    EXPECT_TRUE(result.done.empty());
    EXPECT_TRUE(ui_->answers.messages.empty());
    EXPECT_TRUE(contains_line(listing_lines(), "    TOTAL           0.000000               0.00"));
}

TEST_F(BasinTest, RequestsTheTablesCannotTakeAreRefused)
{
    ASSERT_TRUE(load_neon());
    BasinJobRequest request;
    request.mode = BasinJobMode::surfaces;
    request.atoms = {1};
    request.cluster_radius = 5.0;
    request.surface_file = (directory_ / "x.ias").string();
    for (auto [n_theta, n_phi] : {std::pair{3, 48}, {97, 48}, {32, 5}, {32, 121}}) {
        request.n_theta = n_theta;
        request.n_phi = n_phi;
        EXPECT_FALSE(run_basin_job(request).started) << n_theta << " x " << n_phi;
    }
    request.n_theta = 8;
    request.n_phi = 12;
    request.atoms = {2};  // not an atom of the asymmetric unit
    EXPECT_FALSE(run_basin_job(request).started);
    EXPECT_FALSE(fs::exists(directory_ / "x.ias"));
    EXPECT_EQ(ui_->answers.messages.size(), 5u);
}

}  // namespace
