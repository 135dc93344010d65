// Basins that straight rays from the nucleus leave and enter again, and
// basins left open by the cluster radius.  The re-entrant crystal is urea as
// a promolecule (tests/fixtures/kdn/urea_basin_promolecule.kdn, made by
// urea_basin_make.py): P-42(1)m, two molecules CO(NH2)2 a cell.
#include "topology_test_support.h"

#include "keldana/density/property_evaluation.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/topology/basin_integration.h"
#include "keldana/topology/basin_integration_workers.h"
#include "keldana/topology/interatomic_surface.h"
#include "keldana/topology/surface_file.h"
#include "support/text_files.h"
#include "support/sanitizers.h"

#include <cmath>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;
constexpr double UREA_ELECTRONS = 32.0;  // a molecule
constexpr int UREA_C1 = 1;
// Sites a cell of C1, O1, N1, H1, H2 (two molecules a cell).
constexpr int SITES_A_CELL[] = {2, 2, 4, 4, 4};
constexpr double CLUSTER_RADIUS = 6.0;

Vector3 ray_direction(double theta, double phi)
{
    return {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
}

class ReentrantBasinTest : public TopologyTest {
protected:
    void TearDown() override
    {
        interatomic_surface_table().ias_present.fill(0);
        TopologyTest::TearDown();
    }

    bool load_urea()
    {
        const fs::path source = fs::path(KD_SOURCE_DIR) / "tests/fixtures/kdn/urea_basin_promolecule.kdn";
        return load_model("urea.kdn", file_text(source));
    }

    // The cluster a basin job builds around `atom`.
    void build_cluster_around(int atom)
    {
        run_settings().calculation.rCut = CLUSTER_RADIUS;
        StructureModel& model = current_model();
        const Vector3 centre = working_atom_position(model.atoms, atom);
        generate_cluster_images(model, CLUSTER_RADIUS, centre, {}, model.space_group.lattice_type, CLUSTER_AROUND_ATOM);
        ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST_SILENT, model));
    }

    // The atom whose nucleus a path of small uphill steps from p reaches:
    // a tracer of its own, apart from the surface search's.
    static int owner_of(Vector3 q)
    {
        const WorkingAtomSet& atoms = current_model().atoms;
        for (int step = 0; step < 100000; ++step) {
            for (int b = 1; b <= atoms.atom_count; ++b)
                if (point_distance(q, working_atom_position(atoms, b)) < 0.05)
                    return b;
            double value = 0;
            Vector3 g{};
            evaluate_density_value_gradient(q, value, g, RHO);
            const double norm = std::sqrt(dot_product(g, g));
            for (int k = 0; k < 3; ++k)
                q[k] += 0.001 * g[k] / norm;
        }
        return 0;
    }

    struct CellSums {
        std::vector<double> volume;
        double volume_error_percent = 0, electron_error = 0;  // electrons: a molecule's
    };

    // Surfaces of the five atoms on the grid, then the volumes and the
    // electrons with a 64 x 96 outer rule, summed over the cell.
    CellSums cell_sums(int n_theta, int n_phi)
    {
        CellSums sums;
        BasinJobRequest request;
        request.mode = BasinJobMode::surfaces;
        request.atoms = {1, 2, 3, 4, 5};
        request.n_theta = n_theta;
        request.n_phi = n_phi;
        request.cluster_radius = CLUSTER_RADIUS;
        request.surface_file = "urea.ias";
        EXPECT_TRUE(run_basin_job(request).completed) << ui_->answers.message_log();
        request.n_theta = 64;
        request.n_phi = 96;
        request.mode = BasinJobMode::volume;
        EXPECT_TRUE(run_basin_job(request).completed);
        request.mode = BasinJobMode::property;
        request.code = RHO;
        EXPECT_TRUE(run_basin_job(request).completed);
        const BasinIntegrationResults& results = basin_integration_results();
        double volume = 0, electrons = 0;
        for (int a = 1; a <= 5; ++a) {
            sums.volume.push_back(results.basin_volume[a]);
            volume += SITES_A_CELL[a - 1] * results.basin_volume[a];
            electrons += SITES_A_CELL[a - 1] * results.basin_property_integral[a];
        }
        sums.volume_error_percent = 100.0 * (volume / current_model().cell.cell_volume - 1.0);
        sums.electron_error = electrons / 2 - UREA_ELECTRONS;
        return sums;
    }
};

TEST_F(ReentrantBasinTest, RayLeavesTheCarbonBasinAndComesBack)
{
    // From C1 at theta = 15 pi / 32, phi = 14 pi / 24 (a direction of the
    // 32 x 48 grid) the ray leaves the carbon's basin near 1.8 A, crosses a
    // neighbour's and comes back into the carbon's before it leaves for
    // good near 2.4 A.  The search must find all three crossings whatever
    // radius it starts from, and a tracer of its own must see the owners
    // change as they say.
    ASSERT_TRUE(load_urea());
    build_cluster_around(UREA_C1);
    SurfaceRaySearch rays;
    ASSERT_TRUE(prepare_surface_ray_search(UREA_C1, 0.015, 0.0005, rays));
    const Vector3 u = ray_direction(15.0 * M_PI / 32.0, 14.0 * M_PI / 24.0);
    const Vector3 centre = working_atom_position(current_model().atoms, UREA_C1);
    const PreparedModelHold hold;
    std::vector<double> reference;
    for (double guess : {1.0, 1.8, 2.1, 2.35, 3.0}) {
        const std::vector<double> crossings = trace_surface_crossings(rays, u, guess, 0.05, rays.beta_radius, 3.0);
        ASSERT_EQ(crossings.size(), 3u) << "starting from " << guess;
        if (reference.empty())
            reference = crossings;
        for (size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(crossings[k], reference[k], 0.001) << "starting from " << guess;
    }
    EXPECT_GT(reference[1] - reference[0], 0.1);
    EXPECT_GT(reference[2] - reference[1], 0.1);
    // Owners between the crossings: C1, a neighbour, C1 again, then not C1.
    const double middles[] = {0.5 * (rays.beta_radius + reference[0]), 0.5 * (reference[0] + reference[1]),
                              0.5 * (reference[1] + reference[2]), reference[2] + 0.05};
    std::vector<int> owners;
    for (double r : middles)
        owners.push_back(owner_of({centre[0] + r * u[0], centre[1] + r * u[1], centre[2] + r * u[2]}));
    EXPECT_EQ(owners[0], UREA_C1);
    EXPECT_NE(owners[1], UREA_C1);
    EXPECT_NE(owners[1], 0);
    EXPECT_EQ(owners[2], UREA_C1);
    EXPECT_NE(owners[3], UREA_C1);
}

TEST_F(ReentrantBasinTest, CellSumsAgreeAtTwoGridsAndTheListingCountsReentrantRays)
{
    SKIP_WHEN_SANITIZED();
    // The five basins of a molecule fill half the cell and hold the
    // molecule's 32 electrons at 32 x 48 and at 64 x 96, and each atom's
    // volume is the same at both grids: when one crossing was searched per
    // ray, which crossing of H1's re-entrant rays it found depended on the
    // grid (1.03 or 1.35 A), and H1's volume by 1.5 %.
    ASSERT_TRUE(load_urea());
    const CellSums coarse = cell_sums(32, 48);
    int reentrant = 0;
    for (const std::string& line : listing_lines())
        if (line.rfind("Directions in which the ray re-enters the basin =", 0) == 0)
            reentrant += std::stoi(line.substr(line.find('=') + 1));
    EXPECT_GT(reentrant, 0);
    const CellSums fine = cell_sums(64, 96);
    for (const CellSums& sums : {coarse, fine}) {
        EXPECT_NEAR(sums.volume_error_percent, 0.0, 0.3);
        EXPECT_NEAR(sums.electron_error, 0.0, 0.01);
    }
    for (size_t a = 0; a < 5; ++a)
        EXPECT_NEAR(coarse.volume[a], fine.volume[a], 0.01 * fine.volume[a]) << "atom " << a + 1;
}

TEST_F(ReentrantBasinTest, OpenBasinStopsAtTheClusterRadius)
{
    // Two equal spherical atoms alone: the surface is the plane halfway
    // between them, and every other direction is open, so the basin within
    // a cluster radius R is the ball of R less its cap beyond the plane.
    // Every radius stays within R (a search that started its rays beyond
    // R once gave radii of 12 A for R = 4).
    const double bond = 1.1, radius = 3.0;
    ASSERT_TRUE(load_model("n2.kdn", spherical_atoms_model("Two nitrogen atoms", {{"N1", 10.0, 10.0, 10.0},
                                                                                 {"N2", 10.0, 10.0, 10.0 + bond}},
                                                           20.0, 20.0, 20.0)));
    BasinJobRequest request;
    request.mode = BasinJobMode::surfaces;
    request.atoms = {1};
    request.n_theta = 16;
    request.n_phi = 24;
    request.cluster_radius = radius;
    request.surface_file = (directory_ / "n2.ias").string();
    ASSERT_TRUE(run_basin_job(request).completed) << ui_->answers.message_log();
    const InteratomicSurfaceTable& table = interatomic_surface_table();
    for (int j = 0; j <= 24; ++j)
        for (int i = 0; i <= 16; ++i)
            EXPECT_LE(table.radius(i, j, 1), radius) << i << ", " << j;
    // The rim where the plane meets the ball needs a fine outer rule.
    request.mode = BasinJobMode::volume;
    request.n_theta = 64;
    request.n_phi = 96;
    ASSERT_TRUE(run_basin_job(request).completed);
    const double cap = radius - 0.5 * bond;
    const double expected = 4.0 / 3.0 * M_PI * std::pow(radius, 3) - M_PI * cap * cap * (3.0 * radius - cap) / 3.0;
    EXPECT_NEAR(basin_integration_results().basin_volume[1], expected, 0.005 * expected);
    EXPECT_FALSE(contains_line(listing_lines(), "  Surface of N1     from a file: one crossing per grid direction assumed"));

    // Read back from the file, the surface no longer knows where its rays
    // re-enter, and the integral says so.
    ASSERT_TRUE(read_interatomic_surface_path(request.surface_file, interatomic_surface_table()));
    EXPECT_EQ(surface_reach(interatomic_surface_table(), 1), nullptr);
    ASSERT_TRUE(run_basin_job(request).completed);
    EXPECT_NEAR(basin_integration_results().basin_volume[1], expected, 0.005 * expected);
    EXPECT_TRUE(contains_line(listing_lines(), "  Surface of N1     from a file: one crossing per grid direction assumed"));
}

}  // namespace
