// Surfaces, basin integrals and trajectories on worker threads give the
// same files and values as one thread; the files they write replace the
// old ones only when complete; the surface file keeps the beta radius and
// loads its complete blocks when cut short; the integration's surface
// radius follows rays traced on the surface itself.
#include "common/job_control.h"
#include "common/safe_write.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/basin_integration.h"
#include "keldana/topology/basin_integration_workers.h"
#include "keldana/topology/interatomic_surface.h"
#include "keldana/topology/surface_file.h"
#include "support/text_files.h"
#include "topology_test_support.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;
constexpr int LAPLACIAN = 8;
constexpr int KINETIC_ENERGY_DENSITY = 31;

// Carbon and nitrogen 1.16 Angstrom apart along a body diagonal, so no ray
// of the grid passes through their bond point.
std::string carbon_nitrogen()
{
    const double s = 1.16 / std::sqrt(3.0);
    return spherical_atoms_model("Spherical carbon and nitrogen on a diagonal",
                                 {{"C1", 10.0, 10.0, 10.0}, {"N1", 10.0 + s, 10.0 + s, 10.0 + s}}, 20.0, 20.0, 20.0);
}

std::string bytes_of(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Files in the folder whose names start with a dot: the writers' temporaries.
int temporaries_in(const fs::path& folder)
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        count += entry.path().filename().string().rfind('.', 0) == 0;
    return count;
}

class BasinWorkersTest : public TopologyTest {
protected:
    void TearDown() override
    {
        set_worker_thread_count(0);
        set_safe_write_failure_after(-1);
        interatomic_surface_table().ias_present.fill(0);
        TopologyTest::TearDown();
    }

    BasinJobRequest surface_request(const std::string& file) const
    {
        BasinJobRequest request;
        request.mode = BasinJobMode::surfaces;
        request.atoms = {1};
        request.n_theta = 8;
        request.n_phi = 6;
        request.cluster_radius = 4.0;
        request.surface_file = (directory_ / file).string();
        return request;
    }
};

TEST_F(BasinWorkersTest, OneAndFourThreadsGiveTheSameFileAndIntegrals)
{
    struct Outcome {
        std::string file;
        double volume = 0, electrons = 0, laplacian = 0, kinetic = 0;
    };
    auto run = [this](int threads) {
        set_worker_thread_count(threads);
        Outcome outcome;
        // A fresh load empties the table and the radii traced before.
        if (!load_model("cn.kdn", carbon_nitrogen()))
            return outcome;
        const std::string name = "cn" + std::to_string(threads) + ".ias";
        BasinJobRequest request = surface_request(name);
        if (!run_basin_job(request).completed)
            return outcome;
        outcome.file = bytes_of(directory_ / name);
        request.mode = BasinJobMode::volume;
        request.n_theta = 16;
        request.n_phi = 24;
        outcome.volume = run_basin_job(request).total;
        request.mode = BasinJobMode::property;
        request.code = RHO;
        outcome.electrons = run_basin_job(request).total;
        request.code = LAPLACIAN;
        outcome.laplacian = run_basin_job(request).total;
        request.code = KINETIC_ENERGY_DENSITY;  // an energy density, by differences of the density
        request.n_theta = 8;
        request.n_phi = 12;
        outcome.kinetic = run_basin_job(request).total;
        return outcome;
    };
    const Outcome one = run(1);
    const Outcome four = run(4);
    ASSERT_FALSE(one.file.empty()) << ui_->answers.message_log();
    EXPECT_EQ(one.file, four.file);
    EXPECT_GT(one.volume, 1.0);
    EXPECT_EQ(one.volume, four.volume);
    EXPECT_EQ(one.electrons, four.electrons);
    EXPECT_EQ(one.laplacian, four.laplacian);
    EXPECT_GT(one.kinetic, 0.0);
    EXPECT_EQ(one.kinetic, four.kinetic);
}

TEST_F(BasinWorkersTest, SurfaceFileHoldsTheBetaRadiusOfTheListing)
{
    ASSERT_TRUE(load_model("cn.kdn", carbon_nitrogen()));
    ASSERT_TRUE(run_basin_job(surface_request("cn.ias")).completed) << ui_->answers.message_log();
    const CriticalPointList& points = surface_critical_points();
    ASSERT_EQ(points.cp_count, 1);
    const double beta = points.points[1].distance;
    // Header 11 bytes, then the atom, its label and its position.
    const std::string bytes = bytes_of(directory_ / "cn.ias");
    double start_radius = 0;
    ASSERT_GT(bytes.size(), 11u + 4 + 8 + 24 + 8);
    std::memcpy(&start_radius, bytes.data() + 11 + 4 + 8 + 24, 8);
    EXPECT_EQ(start_radius, beta);
    char printed[16];
    std::snprintf(printed, sizeof printed, "%7.4f", beta);
    EXPECT_TRUE(contains_line(listing_lines(), std::string("BETA sphera radius = ") + printed));
    // The grid misses the bond point: its smallest radius is not the beta radius.
    EXPECT_GT(interatomic_surface_table().ias_start_radius[1] - beta, 1e-4);
}

TEST_F(BasinWorkersTest, FailedWritesLeaveTheOldSurfaceFile)
{
    ASSERT_TRUE(load_model("cn.kdn", carbon_nitrogen()));
    const std::string old_contents = "the surfaces of an earlier run";
    for (long long after : {0LL, 11LL, 200LL}) {
        SCOPED_TRACE(after);
        {
            std::ofstream out(directory_ / "cn.ias", std::ios::binary);
            out << old_contents;
        }
        ui_->answers.messages.clear();
        set_safe_write_failure_after(after);
        run_basin_job(surface_request("cn.ias"));
        set_safe_write_failure_after(-1);
        EXPECT_EQ(bytes_of(directory_ / "cn.ias"), old_contents);
        EXPECT_EQ(temporaries_in(directory_), 0);
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_NE(ui_->answers.messages[0].text.find((directory_ / "cn.ias").string()), std::string::npos);
    }
}

TEST_F(BasinWorkersTest, IntegrationRadiusFollowsRaysTracedInAHydrogenBasin)
{
    // A hydrogen atom bonded to a carbon and closed in by three nitrogens.
    ASSERT_TRUE(load_model("h.kdn", spherical_atoms_model("A hydrogen atom in a cage",
                                                          {{"H1", 10.0, 10.0, 10.0},
                                                           {"C1", 10.0, 10.0, 11.09},
                                                           {"N1", 10.0, 12.3, 9.4},
                                                           {"N2", 12.0, 8.85, 9.4},
                                                           {"N3", 8.0, 8.85, 9.4}},
                                                          20.0, 20.0, 20.0)));
    run_settings().calculation.rCut = 4.0;
    InteratomicSurfaceTable& table = interatomic_surface_table();
    table.ias_theta_count = 16;
    table.ias_phi_count = 24;
    const SurfaceRun run = compute_interatomic_surface(1, 16, 24, 0.015, 0.0005);
    ASSERT_EQ(run.outcome, SurfaceOutcome::completed) << ui_->answers.message_log();
    store_surface_grid(table, 1, run.grid);
    SurfaceRaySearch rays;
    ASSERT_TRUE(prepare_surface_ray_search(1, 0.015, 0.0005, rays));
    EXPECT_EQ(rays.beta_radius, run.beta_radius);

    std::mt19937 random(20261210);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int closed = 0;
    for (int n = 0; n < 50; ++n) {
        const double theta = std::acos(1.0 - 2.0 * unit(random));
        const double phi = 2.0 * M_PI * unit(random);
        std::vector<double> radii;
        ASSERT_TRUE(integration_surface_radii(table, 1, {theta}, {phi}, &rays, radii));
        const Vector3 u{std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
        const double traced = trace_surface_ray(rays, u, 1.5 * rays.beta_radius, 0.1);
        ASSERT_LT(traced, NO_SURFACE_RADIUS) << theta << " " << phi;
        EXPECT_NEAR(radii[0], traced, 0.01 * traced) << theta << " " << phi;
        closed += traced < 3.0;
    }
    EXPECT_GT(closed, 25);  // most directions meet a neighbour's surface
}

TEST(SurfaceFileCutShort, LoadsTheCompleteBlocksBeforeTheCut)
{
    SurfaceGrid grid;
    grid.n_theta = 4;
    grid.n_phi = 6;
    grid.start_radius = 0.5;
    grid.radii.assign(5 * 7, 1.25);
    std::ostringstream out;
    write_surface_file_header(out, 4, 6);
    AtomLabel label = blank_text<8>();
    std::memcpy(label.data(), "O1", 2);
    write_surface_block(out, 3, label, {0, 0, 0}, grid);
    write_surface_block(out, 4, label, {1, 1, 1}, grid);
    const std::string file = out.str();
    const size_t block = 4 + 8 + 24 + 8 + 20 * 8;
    for (size_t cut : {size_t{1}, size_t{4}, size_t{40}, block - 1}) {
        SCOPED_TRACE(cut);
        ScopedScriptedUi ui;
        auto table = std::make_unique<InteratomicSurfaceTable>();
        std::istringstream in(file.substr(0, 11 + block + cut));
        ASSERT_TRUE(read_interatomic_surface_stream(in, "cut.ias", *table));
        EXPECT_EQ(table->ias_atoms_read, 1);
        EXPECT_EQ(table->ias_present[3], 1);
        EXPECT_EQ(table->ias_present[4], 0);
        EXPECT_EQ(table->ias_start_radius[3], 0.5);
        EXPECT_EQ(table->ias_start_radius[4], NO_SURFACE_RADIUS);
        EXPECT_EQ(table->radius(2, 3, 3), 1.25);
        ASSERT_EQ(ui->answers.messages.size(), 1u);
        EXPECT_NE(ui->answers.messages[0].text.find("cut.ias ends inside the block of atom"), std::string::npos);
    }
}

}  // namespace
