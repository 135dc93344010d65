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

class BasinTest : public TopologyTest {
protected:
    bool load_example(const std::string& folder, const std::string& name)
    {
        const fs::path source = fs::path(KD_SOURCE_DIR) / "examples" / folder;
        fs::copy_file(source / "gspace.cls", directory_ / "gspace.cls", fs::copy_options::overwrite_existing);
        return load_model(name, read_text(source / name));
    }
};

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
    request.step_factor = 0.015;
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
