// Interatomic surfaces whose shape is known without our code, and the
// surface file: a homonuclear diatomic's surface is its mid-plane, a file
// written and read back gives the same table, hostile files are refused.
#include "common/job_control.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/interatomic_surface.h"
#include "keldana/topology/map_areas.h"
#include "keldana/topology/surface_file.h"
#include "topology_test_support.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>

namespace {

constexpr double C2_DISTANCE = 1.40;
constexpr double TOLERANCE = 0.0005;
constexpr double STEP = 0.015;

std::string carbon_pair(double d)
{
    return spherical_atoms_model("Two spherical carbon atoms along z",
                                 {{"C1", 10.0, 10.0, 10.0 - d / 2}, {"C2", 10.0, 10.0, 10.0 + d / 2}}, 20.0, 20.0,
                                 20.0);
}

class SurfaceTest : public TopologyTest {
protected:
    void SetUp() override
    {
        TopologyTest::SetUp();
        // A short reach keeps the rays that never meet the mid-plane cheap.
        run_settings().calculation.rCut = 4.0;
    }
};

TEST_F(SurfaceTest, HomonuclearDiatomicSurfaceIsTheMidPlane)
{
    ASSERT_TRUE(load_model("c2.kdn", carbon_pair(C2_DISTANCE)));
    run_settings().calculation.rCut = 4.0;
    const Vector3 centre_before = map_frame().map_centre;
    critical_point_list().cp_count = 3;  // the user's search results

    const SurfaceRun run = compute_interatomic_surface(1, 8, 6, STEP, TOLERANCE);
    ASSERT_EQ(run.outcome, SurfaceOutcome::completed) << ui_->answers.message_log();
    EXPECT_NEAR(run.beta_radius, C2_DISTANCE / 2, 1e-4);
    const int nt = run.grid.n_theta;
    int checked = 0;
    for (int j = 0; j <= run.grid.n_phi; ++j)
        for (int i = 0; i <= nt; ++i) {
            const double theta = i * M_PI / nt;
            const double expected = C2_DISTANCE / 2 / std::cos(theta);
            if (std::cos(theta) > 0.3) {
                EXPECT_NEAR(run.grid.at(i, j), expected, TOLERANCE) << "theta " << theta << " row " << j;
                ++checked;
            } else if (std::cos(theta) < 0) {
                EXPECT_GT(run.grid.at(i, j), 3.0) << "theta " << theta << " row " << j;
            }
        }
    EXPECT_GT(checked, 15);
    EXPECT_EQ(critical_point_list().cp_count, 3);
    EXPECT_EQ(map_frame().map_centre, centre_before);
    EXPECT_EQ(surface_critical_points().cp_count, 1);
    EXPECT_EQ(surface_critical_points().points[1].type, 2);
    std::printf("surface: %lld evaluations, %.2f s\n", run.evaluations, run.cpu_seconds);
}

}  // namespace
