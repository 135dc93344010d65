// Gradient trajectories in a plane and the two files Pathgraf reads: the
// record layouts to the column, a run on a homonuclear diatomic whose paths
// are known by symmetry, a cancelled run, the properties without paths and
// the capacities of one run.
#include "common/job_control.h"
#include "common/safe_write.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/basin_integration_workers.h"
#include "keldana/topology/gradient_trajectories.h"
#include "keldana/topology/map_areas.h"
#include "keldana/topology/trajectory_files.h"
#include "topology_test_support.h"
#include "support/text_files.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;
constexpr int EPOT = 23;
constexpr double HALF_BOND = 0.7;  // Angstrom

TEST(TrajectoryFiles, RecordsFollowTheLayoutsToTheColumn)
{
    // (4F10.5)
    EXPECT_EQ(trajectory_window_record(-2.5, 2.5, -1.0, 3.25), "  -2.50000   2.50000  -1.00000   3.25000");
    // (I6,2X,A2) then (2F12.5,I6)
    const std::vector<std::string> block = trajectory_block_records("AS", {{0.0, 0.0}, {0.125, -1.5}}, 2);
    ASSERT_EQ(block.size(), 3u);
    EXPECT_EQ(block[0], "     2  AS");
    EXPECT_EQ(block[1], "     0.00000     0.00000     2");
    EXPECT_EQ(block[2], "     0.12500    -1.50000     2");
    // A path of one point writes nothing.
    EXPECT_TRUE(trajectory_block_records("TP", {{1.0, 1.0}}, 1).empty());
    // "ATOMS", (I3), (A40) texts built with (A6,4X,2F12.5), one blank record.
    const std::vector<std::string> post = post_section_records("ATOMS", {{"C1234567", 1.5, -0.5}, {"H", 0.0, 2.0}});
    ASSERT_EQ(post.size(), 5u);
    EXPECT_EQ(post[0], "ATOMS");
    EXPECT_EQ(post[1], "  2");
    EXPECT_EQ(post[2], "C12345         1.50000    -0.50000      ");
    EXPECT_EQ(post[3], "H              0.00000     2.00000      ");
    EXPECT_EQ(post[2].size(), 40u);
    EXPECT_EQ(post[4], " ");
}

TEST(TrajectoryFiles, MarkersBeyondTheCountFieldAreLeftOut)
{
    const std::vector<PostMarker> markers(1200, {"C1", 0.0, 0.0});
    const std::vector<std::string> post = post_section_records("CP", markers);
    EXPECT_EQ(post[1], "999");
    EXPECT_EQ(post.size(), 3u + 999u);
}

struct Block {
    int count = 0;
    std::string kind;
    std::vector<std::array<double, 2>> points;
    std::vector<int> numbers;
};

// Reads the data file by columns; fails the test on a malformed record.
std::vector<Block> read_blocks(const fs::path& path, std::string& window)
{
    const std::vector<std::string> lines = file_lines(path);
    std::vector<Block> blocks;
    if (lines.empty()) {
        ADD_FAILURE() << "empty data file";
        return blocks;
    }
    window = lines[0];
    for (size_t k = 1; k < lines.size();) {
        const std::string& header = lines[k];
        EXPECT_EQ(header.size(), 10u) << "header " << header;
        Block block;
        block.count = std::stoi(header.substr(0, 6));
        EXPECT_EQ(header.substr(6, 2), "  ");
        block.kind = header.substr(8, 2);
        EXPECT_GE(block.count, 2);
        EXPECT_LE(block.count, MAX_PATH_POINTS);
        ++k;
        for (int p = 0; p < block.count; ++p, ++k) {
            if (k >= lines.size()) {
                ADD_FAILURE() << "the file ends inside a path";
                return blocks;
            }
            const std::string& record = lines[k];
            EXPECT_EQ(record.size(), 30u) << record;
            block.points.push_back({std::stod(record.substr(0, 12)), std::stod(record.substr(12, 12))});
            block.numbers.push_back(std::stoi(record.substr(24, 6)));
        }
        blocks.push_back(block);
    }
    return blocks;
}

class TrajectoryTest : public TopologyTest {
protected:
    void SetUp() override
    {
        TopologyTest::SetUp();
        ASSERT_TRUE(load_model("c2.kdn", spherical_atoms_model("Two spherical carbon atoms along x",
                                                                {{"C1", 10.0 - HALF_BOND, 10.0, 10.0},
                                                                 {"C2", 10.0 + HALF_BOND, 10.0, 10.0}},
                                                                20.0, 20.0, 20.0)));
        // The xy plane through the bond's midpoint; coarse paths.
        set_plane(10.0);
        map_definition() = {-2.0, 2.0, -2.0, 2.0};
        TrajectorySettings& settings = trajectory_settings();
        settings = TrajectorySettings{};
        settings.path_count = 8;
        settings.path_step = 0.05;
        run_settings().output_files.map_file_name = (directory_ / "map.dat").string();
        run_settings().output_files.post_file_name = (directory_ / "map.pos").string();
        job_control().job_running = false;
    }

    void TearDown() override
    {
        ui_->on_pump = nullptr;
        map_frame() = MapFrame{};
        map_post_atoms() = MapPostAtoms{};
        trajectory_settings() = TrajectorySettings{};
        TopologyTest::TearDown();
    }

    // Plane z = height, axes along x and y, and the atoms' plane coordinates.
    void set_plane(double height)
    {
        MapFrame& frame = map_frame();
        frame = MapFrame{};
        frame.map_centre = {10.0, 10.0, height};
        const WorkingAtomSet& atoms = current_model().atoms;
        MapPostAtoms& post = map_post_atoms();
        post.post_atom_count = atoms.atom_count;
        for (int a = 1; a <= atoms.atom_count; ++a) {
            const Vector3 p = plane_coordinates(frame, {atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]});
            post.plane_u[a] = p[0];
            post.plane_v[a] = p[1];
            post.plane_w[a] = p[2];
        }
    }
};

TEST_F(TrajectoryTest, DiatomicPathsFollowTheMirrorPlaneAndTheBondAxis)
{
    ASSERT_EQ(trace_gradient_trajectories(RHO), TrajectoryOutcome::completed) << ui_->answers.message_log();
    std::string window;
    const std::vector<Block> blocks = read_blocks(directory_ / "map.dat", window);
    EXPECT_EQ(window, "  -2.00000   2.00000  -2.00000   2.00000");

    // Eight paths around each atom, then the surface and bond paths of the
    // one bond point.
    std::vector<std::string> kinds;
    for (const Block& b : blocks)
        kinds.push_back(b.kind);
    std::vector<std::string> expected(16, "TP");
    for (const char* k : {"AS", "AS", "BP", "BP"})
        expected.push_back(k);
    ASSERT_EQ(kinds, expected);
    for (int k = 0; k < 16; ++k) {
        const Block& b = blocks[k];
        EXPECT_EQ(b.numbers.front(), k % 8 + 1);
        EXPECT_NEAR(b.points[0][0], k < 8 ? -HALF_BOND : HALF_BOND, 1e-5);
        EXPECT_NEAR(b.points[0][1], 0.0, 1e-5);
        // Paths run away from their atom.
        const auto& last = b.points.back();
        EXPECT_GT(std::hypot(last[0] - b.points[0][0], last[1]), 0.5);
    }
    for (int k = 16; k < 18; ++k)  // the surface paths stay on the mirror plane u = 0
        for (const auto& p : blocks[k].points)
            EXPECT_NEAR(p[0], 0.0, 1e-4);
    for (int k = 18; k < 20; ++k) {  // the bond paths stay on the axis and end at a nucleus
        for (const auto& p : blocks[k].points)
            EXPECT_NEAR(p[1], 0.0, 1e-4);
        EXPECT_NEAR(std::abs(blocks[k].points.back()[0]), HALF_BOND, 0.03);
    }
    EXPECT_NEAR(blocks[18].points.back()[0], -blocks[19].points.back()[0], 0.03);

    std::vector<std::string> post = file_lines(directory_ / "map.pos");
    // The point lies on the plane to rounding: a coordinate of -1e-17 is
    // written "-0.00000", as the format writes it.
    if (post.size() > 7 && post[7].substr(0, 16) == "(3,-1)        -0")
        post[7][14] = ' ';
    const std::vector<std::string> expected_post = {
        "ATOMS", "  2", "C1            -0.70000     0.00000      ", "C2             0.70000     0.00000      ", " ",
        "CP",    "  1", "(3,-1)         0.00000     0.00000      ", " "};
    EXPECT_EQ(post, expected_post);
}

TEST_F(TrajectoryTest, CancelledRunLeavesTwoWellFormedFiles)
{
    // Cancel confirmed while the surface and bond paths are traced.
    ui_->on_pump = [this] {
        if (ui_->progress_open && ui_->progress_titles.size() == 2)
            job_control().job_running = false;
    };
    ASSERT_EQ(trace_gradient_trajectories(RHO), TrajectoryOutcome::cancelled);
    std::string window;
    const std::vector<Block> blocks = read_blocks(directory_ / "map.dat", window);
    EXPECT_FALSE(blocks.empty());
    for (const Block& b : blocks)
        EXPECT_EQ(b.kind, "TP");
    const std::vector<std::string> post = file_lines(directory_ / "map.pos");
    EXPECT_EQ(post.size(), 5u);
    EXPECT_EQ(post.front(), "ATOMS");
    EXPECT_FALSE(ui_->progress_open);
}

std::string file_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST_F(TrajectoryTest, OneAndFourThreadsWriteTheSameFiles)
{
    ASSERT_TRUE(build_spherical_potential_tables()) << ui_->answers.message_log();
    for (int code : {RHO, EPOT}) {
        std::string data[2], post[2];
        for (int k = 0; k < 2; ++k) {
            set_worker_thread_count(k == 0 ? 1 : 4);
            ASSERT_EQ(trace_gradient_trajectories(code), TrajectoryOutcome::completed) << ui_->answers.message_log();
            data[k] = file_bytes(directory_ / "map.dat");
            post[k] = file_bytes(directory_ / "map.pos");
        }
        set_worker_thread_count(0);
        EXPECT_GT(data[0].size(), 1000u) << code;
        EXPECT_EQ(data[0], data[1]) << code;
        EXPECT_EQ(post[0], post[1]) << code;
    }
    spherical_esp_tables().esp_tables_ready = 0;
}

TEST_F(TrajectoryTest, FailedWritesLeaveTheOldFiles)
{
    // Both files are written out before either replaces its old file: a
    // failure in either keeps the old pair and names the file that failed.
    ASSERT_EQ(trace_gradient_trajectories(RHO), TrajectoryOutcome::completed);
    const long long data_size = static_cast<long long>(fs::file_size(directory_ / "map.dat"));
    const struct {
        long long after;
        const char* named;
    } cases[] = {{0, "map.dat"}, {data_size - 10, "map.dat"}, {data_size, "map.pos"}, {data_size + 5, "map.pos"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        for (const char* name : {"map.dat", "map.pos"}) {
            std::ofstream out(directory_ / name, std::ios::binary);
            out << "old " << name;
        }
        ui_->answers.messages.clear();
        set_safe_write_failure_after(c.after);
        EXPECT_EQ(trace_gradient_trajectories(RHO), TrajectoryOutcome::file_error);
        set_safe_write_failure_after(-1);
        EXPECT_EQ(file_bytes(directory_ / "map.pos"), "old map.pos");
        EXPECT_EQ(file_bytes(directory_ / "map.dat"), "old map.dat");
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_NE(ui_->answers.messages[0].text.find((directory_ / c.named).string()), std::string::npos);
        int temporaries = 0;
        for (const auto& entry : fs::directory_iterator(directory_))
            temporaries += entry.path().filename().string().rfind('.', 0) == 0;
        EXPECT_EQ(temporaries, 0);
    }
}

TEST_F(TrajectoryTest, PropertiesWithoutTrajectoriesTouchNoFile)
{
    for (int code : {22, 24}) {
        EXPECT_EQ(trace_gradient_trajectories(code), TrajectoryOutcome::not_traced);
        EXPECT_FALSE(trace_gradient_trajectories_in_plane(code));
    }
    EXPECT_FALSE(fs::exists(directory_ / "map.dat"));
    EXPECT_FALSE(fs::exists(directory_ / "map.pos"));
}

TEST_F(TrajectoryTest, PlaneWithoutAtomsWritesTheWindowAndAnEmptyAtomList)
{
    set_plane(15.0);  // 5 Angstrom above the atoms
    ASSERT_EQ(trace_gradient_trajectories(RHO), TrajectoryOutcome::completed);
    EXPECT_EQ(file_lines(directory_ / "map.dat"), std::vector<std::string>{"  -2.00000   2.00000  -2.00000   2.00000"});
    EXPECT_EQ(file_lines(directory_ / "map.pos"), (std::vector<std::string>{"ATOMS", "  0", " "}));
}

TEST_F(TrajectoryTest, LongPathsAreCutAtTheBufferAndReported)
{
    TrajectorySettings& settings = trajectory_settings();
    settings.path_count = 2;    // path 1 leaves each atom away from the other
    settings.path_step = 1e-5;  // 1000 points cover about 1 Angstrom
    map_definition() = {-3.0, 3.0, -3.0, 3.0};
    ASSERT_EQ(trace_gradient_trajectories(RHO), TrajectoryOutcome::completed);
    std::string window;
    const std::vector<Block> blocks = read_blocks(directory_ / "map.dat", window);
    ASSERT_GE(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].count, MAX_PATH_POINTS);
    // Towards the other atom the path ends on the mirror plane, uncut.
    EXPECT_LT(blocks[1].count, MAX_PATH_POINTS);
    EXPECT_NEAR(blocks[1].points.back()[0], 0.0, 0.01);
    // Cut: the outward path of each atom and both surface paths.
    EXPECT_TRUE(contains_line(listing_lines(), " Paths cut at 1000 points:      4"));
}

TEST_F(TrajectoryTest, PathCountBeyondThreeDigitsIsCappedAndReported)
{
    TrajectorySettings& settings = trajectory_settings();
    settings.path_count = 1500;
    settings.path_step = 0.5;
    ASSERT_EQ(trace_gradient_trajectories(RHO), TrajectoryOutcome::completed);
    std::string window;
    int largest = 0;
    for (const Block& b : read_blocks(directory_ / "map.dat", window))
        largest = std::max(largest, b.numbers.front());
    EXPECT_LE(largest, MAX_PATHS_PER_CENTRE);
    EXPECT_TRUE(contains_line(listing_lines(), " Paths per atom limited to 999 (  1500 asked)"));
}

TEST_F(TrajectoryTest, HydrogenClimbEndsAtTheMaximumNextToTheNucleus)
{
    ASSERT_TRUE(load_model("h.kdn", spherical_atoms_model("A spherical hydrogen atom", {{"H1", 10.0, 10.0, 10.0}},
                                                         20.0, 20.0, 20.0)));
    set_plane(10.0);
    double u = 0.04, v = -0.03, w = 0.0;
    ASSERT_TRUE(climb_to_plane_maximum(u, v, w, RHO));
    // The climb stops at the last point before the value falls: within a
    // few growing steps of the nucleus.
    EXPECT_LT(std::hypot(u, v), 0.05);
    EXPECT_NEAR(w, 0.0, 1e-12);
}

// The paths in the ring plane of the p-benzoquinone example: every record of
// both files in its columns, the blocks in their order.
TEST_F(TrajectoryTest, ExampleModelFilesFollowTheLayouts)
{
    const fs::path source = fs::path(KD_SOURCE_DIR) / "examples/benzoquinone";
    fs::copy_file(source / "gspace.cls", directory_ / "gspace.cls", fs::copy_options::overwrite_existing);
    std::ifstream in(source / "benzoquinone.kdn");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(load_model("benzoquinone.kdn", text));
    const WorkingAtomSet& atoms = current_model().atoms;
    auto position = [&atoms](int a) { return Vector3{atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]}; };
    auto unit = [](Vector3 v) {
        const double n = std::hypot(v[0], v[1], v[2]);
        return Vector3{v[0] / n, v[1] / n, v[2] / n};
    };
    auto cross = [](const Vector3& a, const Vector3& b) {
        return Vector3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    // u along C1->C2, w normal to the ring through C1, C2, C3, about the
    // inversion centre at the origin.
    const Vector3 c1 = position(1), c2 = position(2), c3 = position(3);
    const Vector3 u = unit({c2[0] - c1[0], c2[1] - c1[1], c2[2] - c1[2]});
    const Vector3 w = unit(cross(u, {c3[0] - c1[0], c3[1] - c1[1], c3[2] - c1[2]}));
    const Vector3 v = cross(w, u);
    MapFrame& frame = map_frame();
    frame.map_centre = {0.0, 0.0, 0.0};
    set_frame_axes(frame, u, v, w);
    MapPostAtoms& post = map_post_atoms();
    post.post_atom_count = atoms.atom_count;
    for (int a = 1; a <= atoms.atom_count; ++a) {
        const Vector3 p = plane_coordinates(frame, position(a));
        post.plane_u[a] = p[0];
        post.plane_v[a] = p[1];
        post.plane_w[a] = p[2];
    }
    map_definition() = {-4.0, 4.0, -4.0, 4.0};
    trajectory_settings().path_count = 6;
    trajectory_settings().path_step = 0.1;

    ASSERT_EQ(trace_gradient_trajectories(RHO), TrajectoryOutcome::completed) << ui_->answers.message_log();
    std::string window;
    const std::vector<Block> blocks = read_blocks(directory_ / "map.dat", window);
    EXPECT_EQ(window, "  -4.00000   4.00000  -4.00000   4.00000");
    // TP blocks first, then AS AS BP BP per bond point.
    size_t k = 0;
    while (k < blocks.size() && blocks[k].kind == "TP")
        ++k;
    EXPECT_GE(k, 12u * 2);  // the twelve ring-plane atoms of the molecule, paths of at least two points
    const size_t pair_blocks = blocks.size() - k;
    EXPECT_GE(pair_blocks, 4u * 12);  // twelve bonds of the molecule in the plane
    for (; k < blocks.size(); ++k)
        EXPECT_TRUE(blocks[k].kind == "AS" || blocks[k].kind == "BP") << blocks[k].kind;

    const std::vector<std::string> lines = file_lines(directory_ / "map.pos");
    ASSERT_GE(lines.size(), 3u);
    ASSERT_EQ(lines[0], "ATOMS");
    const int atom_markers = std::stoi(lines[1]);
    EXPECT_EQ(lines[1].size(), 3u);
    EXPECT_EQ(atom_markers, 12);
    size_t at = 2;
    for (int m = 0; m < atom_markers; ++m, ++at) {
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at].size(), 40u) << lines[at];
        EXPECT_EQ(lines[at].substr(6, 4), "    ");
        EXPECT_EQ(lines[at].substr(34), "      ");
    }
    ASSERT_LT(at + 2, lines.size());
    EXPECT_EQ(lines[at++], " ");
    EXPECT_EQ(lines[at++], "CP");
    const int cp_markers = std::stoi(lines[at++]);
    EXPECT_GE(cp_markers, 12);
    for (int m = 0; m < cp_markers; ++m, ++at) {
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at].substr(0, 10), "(3,-1)    ");
        EXPECT_EQ(lines[at].size(), 40u);
    }
    ASSERT_EQ(at + 1, lines.size());
    EXPECT_EQ(lines[at], " ");
}

}  // namespace
