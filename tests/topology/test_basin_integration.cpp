// Atomic basin integration checked against what holds without our code.
#include "common/job_control.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/basin_integration.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/interatomic_surface.h"
#include "topology_test_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string read_text(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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
            if (k > 0)
                EXPECT_LT(x[k - 1], x[k]);
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
        return load_model(name, read_text(source / name));
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

TEST_F(BasinTest, SurfaceFitIsExactForParabolasInThetaAndPhi)
{
    // Least-squares parabolas reproduce a radius quadratic in theta and phi
    // (set on every grid point, the repeated row and poles included).
    ASSERT_TRUE(load_neon());
    const auto f = [](double theta, double phi) { return 1.0 + 0.1 * theta * theta + 0.05 * phi - 0.002 * phi * phi; };
    InteratomicSurfaceTable& table = interatomic_surface_table();
    table.ias_theta_count = 12;
    table.ias_phi_count = 18;
    for (int j = 0; j <= 18; ++j)
        for (int i = 0; i <= 12; ++i)
            table.radius(i, j, 1) = f(i * M_PI / 12, j * 2 * M_PI / 18);
    std::vector<double> theta_nodes, phi_nodes, weights;
    get_gauss_legendre_rule(6, theta_nodes, weights);
    get_gauss_legendre_rule(8, phi_nodes, weights);
    for (double& t : theta_nodes)
        t = M_PI / 2 * t + M_PI / 2;
    for (double& p : phi_nodes)
        p = M_PI * p + M_PI;
    const std::vector<double> radii = interpolate_surface_radii(table, 1, theta_nodes, phi_nodes);
    for (size_t k = 0; k < theta_nodes.size(); ++k)
        for (size_t l = 0; l < phi_nodes.size(); ++l)
            EXPECT_NEAR(radii[k * phi_nodes.size() + l], f(theta_nodes[k], phi_nodes[l]), 1e-10);
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

int env_int(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

TEST_F(BasinTest, ScratchCyanogen)
{
    ASSERT_TRUE(load_example("cyanogen", "cyanogen.kdn"));
    const int st = env_int("ST", 16), sp = env_int("SP", 24), qt = env_int("QT", 32), qp = env_int("QP", 48);
    BasinJobRequest request;
    request.mode = BasinJobMode::surfaces;
    request.atoms = {1, 2};
    request.n_theta = st;
    request.n_phi = sp;
    request.cluster_radius = env_int("RC", 6);
    request.step_factor = std::getenv("H") ? std::atof(std::getenv("H")) : 0.015;
    request.surface_tolerance = 0.0005;
    request.surface_file = (directory_ / "cyanogen.ias").string();
    BasinJobResult surfaces = run_basin_job(request);
    ASSERT_TRUE(surfaces.completed) << ui_->answers.message_log();
    std::printf("surfaces: %lld evaluations, %.2f s\n", surfaces.evaluations, surfaces.seconds);
    request.n_theta = qt;
    request.n_phi = qp;
    for (BasinJobMode mode : {BasinJobMode::volume, BasinJobMode::property}) {
        for (int code : {3, 8}) {
            if (mode == BasinJobMode::volume && code == 8)
                continue;
            request.mode = mode;
            request.code = code;
            BasinJobResult r = run_basin_job(request);
            ASSERT_TRUE(r.completed);
            std::printf("mode %d code %d: C %.6f N %.6f total %.6f (x2 %.6f), %lld evaluations %.2f s\n",
                        static_cast<int>(mode), code,
                        mode == BasinJobMode::volume ? basin_integration_results().basin_volume[1]
                                                     : basin_integration_results().basin_property_integral[1],
                        mode == BasinJobMode::volume ? basin_integration_results().basin_volume[2]
                                                     : basin_integration_results().basin_property_integral[2],
                        r.total, 2 * r.total, r.evaluations, r.seconds);
        }
    }
    std::printf("cell volume %.6f\n", current_model().cell.cell_volume);
}

}  // namespace

namespace {
TEST_F(BasinTest, ScratchDiatomic)
{
    ASSERT_TRUE(load_model("c2.kdn", spherical_atoms_model("C2", {{"C1", 10, 10, 9.3}, {"C2", 10, 10, 10.7}}, 20, 20, 20)));
    const int st = env_int("ST", 16), sp = env_int("SP", 24), qt = env_int("QT", 32), qp = env_int("QP", 48);
    BasinJobRequest request;
    request.mode = BasinJobMode::surfaces;
    request.atoms = {1, 2};
    request.n_theta = st;
    request.n_phi = sp;
    request.cluster_radius = env_int("RC", 6);
    request.surface_file = (directory_ / "c2.ias").string();
    BasinJobResult surfaces = run_basin_job(request);
    ASSERT_TRUE(surfaces.completed) << ui_->answers.message_log();
    std::printf("surfaces: %lld evaluations, %.2f s\n", surfaces.evaluations, surfaces.seconds);
    request.n_theta = qt;
    request.n_phi = qp;
    for (int code : {3, 8}) {
        request.mode = BasinJobMode::property;
        request.code = code;
        BasinJobResult r = run_basin_job(request);
        std::printf("code %d: C1 %.6f C2 %.6f total %.6f, %lld evaluations %.2f s\n", code,
                    basin_integration_results().basin_property_integral[1],
                    basin_integration_results().basin_property_integral[2], r.total, r.evaluations, r.seconds);
    }
}
}  // namespace
