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
#include "support/unreadable_inputs.h"
#include "topology_test_support.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
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
}

TEST_F(SurfaceTest, CurvedSurfaceHardlyMovesWithThePathStep)
{
    // Between carbon and nitrogen the surface bends around the carbon, and
    // the paths that decide it curve.  Steps along the tangent would drift
    // to the convex side and move the surface in proportion to the step;
    // the radii found with a step ten times shorter must agree closely.
    ASSERT_TRUE(load_model("cn.kdn", spherical_atoms_model("Spherical carbon and nitrogen along z",
                                                          {{"C1", 10.0, 10.0, 9.42}, {"N1", 10.0, 10.0, 10.58}},
                                                          20.0, 20.0, 20.0)));
    const SurfaceRun coarse = compute_interatomic_surface(1, 8, 6, 0.02, TOLERANCE);
    const SurfaceRun fine = compute_interatomic_surface(1, 8, 6, 0.002, TOLERANCE);
    ASSERT_EQ(coarse.outcome, SurfaceOutcome::completed) << ui_->answers.message_log();
    ASSERT_EQ(fine.outcome, SurfaceOutcome::completed) << ui_->answers.message_log();
    double worst = 0;
    for (int j = 0; j <= fine.grid.n_phi; ++j)
        for (int i = 0; i <= fine.grid.n_theta; ++i)
            if (fine.grid.at(i, j) < 2.0)
                worst = std::max(worst, std::abs(coarse.grid.at(i, j) - fine.grid.at(i, j)));
    EXPECT_LT(worst, 0.002);
}

TEST_F(SurfaceTest, AtomWithoutNeighbourIsReportedAndNotSearched)
{
    ASSERT_TRUE(load_model("c.kdn", spherical_atoms_model("One spherical carbon atom", {{"C1", 10.0, 10.0, 10.0}},
                                                         20.0, 20.0, 20.0)));
    const SurfaceRun run = compute_interatomic_surface(1, 8, 6, STEP, TOLERANCE);
    EXPECT_EQ(run.outcome, SurfaceOutcome::no_neighbour);
    EXPECT_EQ(run.beta_radius, NO_SURFACE_RADIUS);
    EXPECT_EQ(surface_critical_points().cp_count, 0);
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("C1 has no neighbour"), std::string::npos);
    EXPECT_FALSE(ui_->progress_open);
    // 100 does not fit (F7.4).
    EXPECT_TRUE(contains_line(listing_lines(), "BETA sphera radius = *******"));
}

TEST_F(SurfaceTest, CancelEndsTheSearchWithNothingStored)
{
    ASSERT_TRUE(load_model("c2.kdn", carbon_pair(C2_DISTANCE)));
    run_settings().calculation.rCut = 4.0;
    // Cancel confirmed at the first look while the progress dialog is up.
    ui_->on_pump = [this] {
        if (ui_->progress_open)
            job_control().job_running = false;
    };
    const SurfaceRun run = compute_interatomic_surface(1, 8, 6, STEP, TOLERANCE);
    ui_->on_pump = nullptr;
    EXPECT_EQ(run.outcome, SurfaceOutcome::cancelled);
    EXPECT_FALSE(ui_->progress_open);
    EXPECT_TRUE(ui_->answers.messages.empty());
}

// A table of two atoms on a 4 x 6 grid with distinct radii.
SurfaceGrid sample_grid(double base)
{
    SurfaceGrid grid;
    grid.n_theta = 4;
    grid.n_phi = 6;
    grid.start_radius = base;
    grid.radii.assign(5 * 7, 0.0);
    for (int j = 0; j <= 6; ++j)
        for (int i = 0; i <= 4; ++i)
            grid.at(i, j) = base + 0.01 * i + 0.1 * j;
    return grid;
}

std::string sample_file()
{
    std::ostringstream out;
    write_surface_file_header(out, 4, 6);
    AtomLabel label = blank_text<8>();
    std::memcpy(label.data(), "C1", 2);
    write_surface_block(out, 2, label, {1.0, 2.0, 3.0}, sample_grid(1.0));
    write_surface_block(out, 5, label, {4.0, 5.0, 6.0}, sample_grid(2.0));
    return out.str();
}

TEST(SurfaceFile, WrittenAndReadBackGivesTheSameTable)
{
    const std::string bytes = sample_file();
    // "IAS", two int32, then per atom: index, label, position, start radius
    // and 5 + 5 x 3 = 20 radii.
    const size_t block = 4 + 8 + 3 * 8 + 8 + 20 * 8;
    ASSERT_EQ(bytes.size(), 3 + 8 + 2 * block);
    EXPECT_EQ(bytes.substr(0, 11), std::string("IAS\x04\0\0\0\x06\0\0\0", 11));

    auto written = std::make_unique<InteratomicSurfaceTable>();
    written->ias_theta_count = 4;
    written->ias_phi_count = 6;
    store_surface_grid(*written, 2, sample_grid(1.0));
    store_surface_grid(*written, 5, sample_grid(2.0));

    ScopedScriptedUi ui;
    auto table = std::make_unique<InteratomicSurfaceTable>();
    table->ias_present[7] = 1;  // from an earlier file: cleared by the read
    std::istringstream in(bytes);
    ASSERT_TRUE(read_interatomic_surface_stream(in, "sample.ias", *table));
    EXPECT_EQ(table->ias_theta_count, 4);
    EXPECT_EQ(table->ias_phi_count, 6);
    EXPECT_EQ(table->ias_atoms_read, 2);
    EXPECT_EQ(table->ias_atom_list[1], 2);
    EXPECT_EQ(table->ias_atom_list[2], 5);
    EXPECT_EQ(table->ias_atom_list[3], 0);
    EXPECT_EQ(table->ias_present, written->ias_present);
    EXPECT_EQ(table->ias_start_radius, written->ias_start_radius);
    EXPECT_EQ(table->ias_radius, written->ias_radius);
    // Row 6 repeats row 0, and every row's poles are those of row 0.
    for (int j = 1; j <= 6; ++j) {
        EXPECT_EQ(table->radius(0, j, 5), 2.0);
        EXPECT_EQ(table->radius(4, j, 5), 2.04);
    }
    for (int i = 0; i <= 4; ++i)
        EXPECT_EQ(table->radius(i, 6, 2), table->radius(i, 0, 2));
    EXPECT_EQ(table->radius(2, 3, 2), 1.0 + 0.02 + 0.3);
    EXPECT_TRUE(ui->answers.messages.empty());
}

std::string with_int32(std::string bytes, size_t at, int value)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + k] = static_cast<char>((static_cast<unsigned>(value) >> (8 * k)) & 0xFF);
    return bytes;
}

TEST(SurfaceFile, HostileFilesAreRefusedAndLeaveTheTable)
{
    const std::string good = sample_file();
    const size_t second_block = 11 + 4 + 8 + 3 * 8 + 8 + 20 * 8;
    std::string nan_radius = good;
    const double nan = std::nan("");
    std::memcpy(&nan_radius[11 + 4 + 8 + 24 + 8 + 8], &nan, 8);
    const struct {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"wrong magic", "XYZ" + good.substr(3), "This is not IAS file."},
        {"empty file", "", "This is not IAS file."},
        {"theta count past the table", with_int32(good, 3, 97), "has a grid of 97 x 6 directions"},
        {"phi count past the table", with_int32(good, 7, 121), "has a grid of 4 x 121 directions"},
        {"negative grid", with_int32(good, 3, -4), "has a grid of -4 x 6"},
        {"atom past the table", with_int32(good, second_block, 121), "holds atom number 121 outside 1..120"},
        {"atom zero", with_int32(good, 11, 0), "holds atom number 0 outside"},
        {"cut inside the first block", good.substr(0, second_block - 5),
         "ends inside the block of atom 2"},
        {"cut inside the header", good.substr(0, 6), "ends inside its header"},
        {"radius not a number", nan_radius, "holds a radius of atom 2 that is not a positive number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedScriptedUi ui;
        auto table = std::make_unique<InteratomicSurfaceTable>();
        table->ias_theta_count = 8;
        table->ias_phi_count = 12;
        table->ias_present[3] = 1;
        table->radius(1, 1, 3) = 1.25;
        std::istringstream in(c.bytes);
        EXPECT_FALSE(read_interatomic_surface_stream(in, "bad.ias", *table));
        ASSERT_EQ(ui->answers.messages.size(), 1u);
        EXPECT_NE(ui->answers.messages[0].text.find(c.message), std::string::npos) << ui->answers.messages[0].text;
        EXPECT_EQ(ui->answers.messages[0].caption, "Error!");
        EXPECT_EQ(table->ias_theta_count, 8);
        EXPECT_EQ(table->ias_phi_count, 12);
        EXPECT_EQ(table->ias_present[3], 1);
        EXPECT_EQ(table->ias_present[2], 0);
        EXPECT_EQ(table->radius(1, 1, 3), 1.25);
    }
}

TEST_F(SurfaceTest, OpenRefusesWhatIsNoSurfaceFileAndKeepsTheTable)
{
    {
        std::ofstream out(directory_ / "pair.ias", std::ios::binary);
        out << sample_file();
    }
    ui_->answers.file_answers.push_back((directory_ / "pair.ias").string());
    ASSERT_TRUE(read_interatomic_surface_file());
    for (const std::string& source : unreadable_inputs(directory_, ".ias")) {
        SCOPED_TRACE(source);
        ui_->answers.messages.clear();
        ui_->answers.file_answers.push_back(source);
        EXPECT_FALSE(read_interatomic_surface_file());
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_NE(ui_->answers.messages[0].text.find(source), std::string::npos) << ui_->answers.messages[0].text;
        EXPECT_EQ(run_settings().output_files.ias_path, (directory_ / "pair.ias").string());
        EXPECT_EQ(interatomic_surface_table().ias_present[5], 1);
    }
}

TEST_F(SurfaceTest, OpenDialogReadsTheChosenFileIntoTheProgramTable)
{
    {
        std::ofstream out(directory_ / "pair.ias", std::ios::binary);
        out << sample_file();
    }
    ui_->answers.file_answers.push_back(std::nullopt);
    EXPECT_FALSE(read_interatomic_surface_file());
    ui_->answers.file_answers.push_back((directory_ / "pair.ias").string());
    ASSERT_TRUE(read_interatomic_surface_file());
    EXPECT_EQ(run_settings().output_files.ias_path, (directory_ / "pair.ias").string());
    EXPECT_EQ(interatomic_surface_table().ias_present[5], 1);
    ASSERT_EQ(ui_->answers.file_requests.size(), 2u);
    EXPECT_EQ(ui_->answers.file_requests[1].description, "InterAtomic Surface file (*.ias)");
    EXPECT_EQ(ui_->answers.file_requests[1].pattern, "*.ias");
}

}  // namespace
