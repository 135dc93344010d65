// The grid map engine on models whose properties are known exactly: the
// hydrogen atom's density exp(-2r)/pi and its Laplacian, the order and the
// layout of the grid file, a cancelled 3-D map and failed writes that keep
// the old files, the lattice images a trajectory map adds, and the GRID
// page's number readers and arithmetic.
#include "keldana/density/property_selection.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/model_store.h"
#include "keldana/model/text_fields.h"
#include "keldana/properties/map_grid.h"
#include "keldana/topology/basin_integration_workers.h"
#include "common/job_control.h"
#include "common/safe_write.h"
#include "common/worker_pool.h"
#include "test_map_support.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace map_tests;

constexpr double PI = 3.14159265358979323846;
constexpr int RHO = 3;
constexpr int LAPLACIAN = 8;
constexpr int ESFED = 22;
constexpr int EPOT = 23;
constexpr int KINETIC_ENERGY_DENSITY = 31;

struct GridPoint {
    double x = 0, y = 0, z = 0, value = 0;
};

// The records of a grid map file, read list-directed; `blank_end` tells
// whether the file ends with its empty record.
std::vector<GridPoint> read_grid(const std::filesystem::path& path, bool three_d, bool& blank_end)
{
    std::vector<GridPoint> points;
    const std::vector<std::string> lines = file_lines(path);
    blank_end = !lines.empty() && lines.back().empty();
    for (const std::string& line : lines) {
        if (line.empty())
            continue;
        GridPoint p;
        EXPECT_EQ(line.size(), three_d ? 56u : 44u) << line;
        if (three_d)
            EXPECT_TRUE(read_list(line, {&p.x, &p.y, &p.z, &p.value})) << line;
        else
            EXPECT_TRUE(read_list(line, {&p.x, &p.y, &p.value})) << line;
        points.push_back(p);
    }
    return points;
}

// Exact density of the hydrogen ground state, e/Angstrom^3, and its
// Laplacian, e/Angstrom^5.
double hydrogen_density(double r) { return std::exp(-2.0 * r / BOHR) / (PI * BOHR * BOHR * BOHR); }
double hydrogen_laplacian(double r)
{
    const double k = 2.0 / BOHR;
    return hydrogen_density(r) * (k * k - 2.0 * k / r);
}

class HydrogenMapTest : public MapTest {
protected:
    void SetUp() override
    {
        MapTest::SetUp();
        ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn")) << ui_->answers.message_log();
        // The plane z = 0.1 above the nucleus at the origin, axes x and y.
        map_frame().map_centre = {0.0, 0.0, 0.1};
        MapDefinition& map = map_definition();
        map.x_min = -1.0;
        map.x_max = 1.0;
        map.y_min = -1.0;
        map.y_max = 1.0;
        map.x_points = 5;
        map.y_points = 5;
        map.z_points = 1;
    }
};

TEST_F(HydrogenMapTest, DensityMapIsTheExactHydrogenDensity)
{
    // The atom lies 0.1 Angstrom below the plane.
    map_post_atoms().plane_w[1] = -0.1;
    ASSERT_EQ(compute_property_map_outcome(RHO), MapOutcome::completed) << ui_->answers.message_log();
    bool blank_end = false;
    const std::vector<GridPoint> points = read_grid(directory_ / "map.dat", false, blank_end);
    EXPECT_TRUE(blank_end);
    ASSERT_EQ(points.size(), 25u);
    for (const GridPoint& p : points) {
        const double r = std::sqrt(p.x * p.x + p.y * p.y + 0.01);
        EXPECT_NEAR(p.value, hydrogen_density(r), 1e-5 * hydrogen_density(r)) << p.x << " " << p.y;
    }
    // The extremes: above the nucleus and at the corners.
    EXPECT_NEAR(points[12].value, hydrogen_density(0.1), 1e-5 * hydrogen_density(0.1));
    EXPECT_NEAR(map_definition().map_max_value, points[12].value, 1e-6);
    EXPECT_NEAR(map_definition().map_min_value, points[0].value, 1e-8);

    // The post file: the window's corners around the atom.
    const std::vector<std::string> post = file_lines(directory_ / "map.pos");
    const std::vector<std::string> expected_post = {" -1.0000   -1.0000          ", "  0.0000    0.0000  H1      ",
                                                    "  1.0000    1.0000          "};
    EXPECT_EQ(post, expected_post);
    ASSERT_EQ(ui_->progress_titles.size(), 1u);
    EXPECT_EQ(ui_->progress_titles[0], " RHO      map calculating.  Please, wait...");
    EXPECT_FALSE(ui_->progress_open);
    EXPECT_FALSE(job_control().job_running);

    write_map_extremes_listing();
    const std::vector<std::string> listing = listing_lines();
    ASSERT_GE(listing.size(), 3u);
    EXPECT_EQ(listing[listing.size() - 3], "");
    EXPECT_EQ(listing[listing.size() - 2].substr(0, 18), "   Minimum value: ");
    EXPECT_EQ(listing[listing.size() - 2].substr(32, 17), "  Maximum value: ");
    EXPECT_EQ(listing.back(), "");
}

TEST_F(HydrogenMapTest, LaplacianNearTheNucleusIsNegativeEverywhere)
{
    // Within the Bohr radius the Laplacian of the 1s density is negative: the
    // map's largest value is negative.
    MapDefinition& map = map_definition();
    map.x_min = -0.2;
    map.x_max = 0.2;
    map.y_min = -0.2;
    map.y_max = 0.2;
    map.x_points = 3;
    map.y_points = 3;
    for (int numerical : {0, 1}) {
        run_settings().calculation.numerical_derivatives = numerical;
        ASSERT_EQ(compute_property_map_outcome(LAPLACIAN), MapOutcome::completed);
        bool blank_end = false;
        const std::vector<GridPoint> points = read_grid(directory_ / "map.dat", false, blank_end);
        ASSERT_EQ(points.size(), 9u);
        for (const GridPoint& p : points) {
            const double r = std::sqrt(p.x * p.x + p.y * p.y + 0.01);
            EXPECT_NEAR(p.value, hydrogen_laplacian(r), 2e-3 * std::abs(hydrogen_laplacian(r))) << numerical;
        }
        EXPECT_LT(map.map_max_value, 0.0);
        EXPECT_LT(map.map_min_value, map.map_max_value);
    }
    // The sign setting of the Laplacian holds for the numerical one too.
    property_selection().laplacian_sign = -1;
    ASSERT_EQ(compute_property_map_outcome(LAPLACIAN), MapOutcome::completed);
    EXPECT_GT(map.map_min_value, 0.0);
    property_selection().laplacian_sign = 1;
}

TEST_F(HydrogenMapTest, FieldEnergyDensityIsTheScaledPotentialGradient)
{
    // The potential of the neutral hydrogen atom is (1/r + 1/a) exp(-2r/a)
    // (e/Angstrom); ESFED is |dV/dr| / (8 pi).  Within 1 Angstrom of the
    // nucleus the tabulated potential gives its slope closely.
    ASSERT_TRUE(build_spherical_potential_tables()) << ui_->answers.message_log();
    ClusterTranslations& t = current_model().translations;
    t.cluster_k = t.cluster_l = t.cluster_m = 0;
    MapDefinition& map = map_definition();
    map.x_min = 0.3;
    map.x_max = 0.9;
    map.y_min = 0.0;
    map.y_max = 0.0;
    map.x_points = 3;
    map.y_points = 1;
    ASSERT_EQ(compute_property_map_outcome(ESFED), MapOutcome::completed);
    bool blank_end = false;
    const std::vector<GridPoint> points = read_grid(directory_ / "map.dat", false, blank_end);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_DOUBLE_EQ(points[1].x, 0.6);
    for (const GridPoint& p : points) {
        const double r = std::sqrt(p.x * p.x + 0.01);
        const double a = BOHR;
        const double slope = std::exp(-2 * r / a) * (1 / (r * r) + 2 / (a * r) + 2 / (a * a));
        EXPECT_NEAR(p.value, slope / (8 * PI), 1e-4 * slope / (8 * PI)) << r;
    }
    spherical_esp_tables().esp_tables_ready = 0;
}

TEST_F(HydrogenMapTest, EveryThreadCountWritesTheSameFiles)
{
    // Density, potential and an energy density (by differences of the
    // density) of a 3-D map, rows on the workers: 1 and 4 give the same bytes.
    ASSERT_TRUE(build_spherical_potential_tables()) << ui_->answers.message_log();
    MapDefinition& map = map_definition();
    map.map_is_3d = true;
    map.x_points = 7;
    map.y_points = 5;
    map.z_points = 3;
    map.z_min = -1.0;
    map.z_max = 1.0;
    for (int code : {RHO, EPOT, KINETIC_ENERGY_DENSITY}) {
        std::string files[2];
        for (int threads : {1, 4}) {
            set_worker_thread_count(threads);
            ASSERT_EQ(compute_property_map_outcome(code), MapOutcome::completed) << code;
            files[threads == 4] = file_text(directory_ / "map.dat") + file_text(directory_ / "map.pos");
        }
        set_worker_thread_count(0);
        EXPECT_EQ(files[0], files[1]) << code;
        EXPECT_EQ(file_lines(directory_ / "map.dat").size(), 7u * 5u * 3u + 1u);
    }
    spherical_esp_tables().esp_tables_ready = 0;

    // A map larger than the rows the job holds at a time: later rows wait
    // for the slots of the rows written before them.
    map.map_is_3d = false;
    map.x_points = 400;
    map.y_points = 250;
    std::string files[2];
    for (int threads : {1, 8}) {
        set_worker_thread_count(threads);
        ASSERT_EQ(compute_property_map_outcome(RHO), MapOutcome::completed);
        files[threads == 8] = file_text(directory_ / "map.dat") + file_text(directory_ / "map.pos");
    }
    set_worker_thread_count(0);
    EXPECT_EQ(files[0], files[1]);
    EXPECT_EQ(file_lines(directory_ / "map.dat").size(), 400u * 250u + 1u);
}

TEST_F(HydrogenMapTest, PointsRunAlongRowsOfIncreasingY)
{
    MapDefinition& map = map_definition();
    map.x_min = 0;
    map.x_max = 1;
    map.y_min = 0;
    map.y_max = 1;
    map.x_points = 3;
    map.y_points = 2;
    ASSERT_TRUE(compute_property_map(RHO));
    const std::vector<std::string> lines = file_lines(directory_ / "map.dat");
    ASSERT_EQ(lines.size(), 7u);
    const char* expected[] = {"     0.00000     0.00000", "     0.50000     0.00000", "     1.00000     0.00000",
                              "     0.00000     1.00000", "     0.50000     1.00000", "     1.00000     1.00000"};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(lines[k].substr(0, 24), expected[k]);
    EXPECT_EQ(lines[6], "");
    // One point on an axis lies at its minimum.
    map.x_points = 1;
    ASSERT_TRUE(compute_property_map(RHO));
    EXPECT_EQ(file_lines(directory_ / "map.dat").size(), 3u);
}

TEST_F(HydrogenMapTest, CancelledMapKeepsTheOldFilesAndWritesNoNewOne)
{
    MapDefinition& map = map_definition();
    map.map_is_3d = true;
    map.x_points = map.y_points = map.z_points = 3;
    map.z_min = -1.0;
    map.z_max = 1.0;
    ASSERT_EQ(compute_property_map_outcome(RHO), MapOutcome::completed);
    const std::string old_map = file_text(directory_ / "map.dat");
    const std::string old_post = file_text(directory_ / "map.pos");
    ASSERT_EQ(file_lines(directory_ / "map.dat").size(), 28u);
    // Cancel confirmed while the 14th point waits: 13 of 27 were evaluated.
    for (bool old_files : {true, false}) {
        SCOPED_TRACE(old_files);
        if (!old_files) {
            std::filesystem::remove(directory_ / "map.dat");
            std::filesystem::remove(directory_ / "map.pos");
        }
        // Cancel confirmed at the job's first look at the windows, before
        // any row is evaluated.
        const int pumps_before = ui_->pump_count;
        ui_->on_pump = [this, pumps_before] {
            if (ui_->pump_count - pumps_before == 1)
                job_control().job_running = false;
        };
        MapPointCount count;
        ASSERT_EQ(compute_property_map_outcome(RHO, &count), MapOutcome::cancelled);
        ui_->on_pump = nullptr;
        EXPECT_EQ(count.done, 0);
        EXPECT_EQ(count.total, 27);
        EXPECT_EQ(std::filesystem::exists(directory_ / "map.dat"), old_files);
        EXPECT_EQ(std::filesystem::exists(directory_ / "map.pos"), old_files);
        if (old_files) {
            EXPECT_EQ(file_text(directory_ / "map.dat"), old_map);
            EXPECT_EQ(file_text(directory_ / "map.pos"), old_post);
        }
        EXPECT_TRUE(safe_write_temporaries(directory_).empty());
        EXPECT_FALSE(job_control().job_running);
        EXPECT_FALSE(ui_->progress_open);
    }
    write_map_stopped_listing({13, 27});
    EXPECT_EQ(listing_lines().back(), " Map stopped by user after 13 of 27 points: the map file was not written.");
}

TEST_F(HydrogenMapTest, EditsWhileAJobRunsLeaveItsResults)
{
    // The settings, the property's options and the model change twice while
    // the map job runs (the calls the dialogs make): the job evaluates
    // the snapshot taken when it started, and writes the bytes of an
    // undisturbed run; the next job sees the edits.
    MapDefinition& map = map_definition();
    map.map_is_3d = true;
    map.x_points = 21;
    map.y_points = 21;
    map.z_points = 11;
    map.z_min = -1.0;
    map.z_max = 1.0;
    set_worker_thread_count(4);
    const auto map_files = [this] { return file_text(directory_ / "map.dat") + file_text(directory_ / "map.pos"); };
    for (int code : {LAPLACIAN, KINETIC_ENERGY_DENSITY}) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn")) << ui_->answers.message_log();
        ASSERT_EQ(compute_property_map_outcome(code), MapOutcome::completed);
        const std::string undisturbed = map_files();
        // At the job's first look at the windows, once it has taken its
        // snapshot and before its rows are done: two changes, each a new
        // revision of what evaluation reads.
        int pumps = 0;
        ui_->on_pump = [&pumps] {
            if (++pumps != 1)
                return;
            CalculationSettings& settings = run_settings().calculation;
            settings.rCut = 1.0;
            settings.lPole = 0;
            settings.dr = 0.01;
            settings.global_frame = 1 - settings.global_frame;
            property_selection().laplacian_sign = -1;
            property_selection().kinetic_model = 1;
            note_model_change();
            PseudoatomParameters& q = current_model().pseudoatoms;
            q.valence_population[1] = 0.5;
            q.kappa[1] = 1.3;
            current_model().atoms.subset_mask[1] = 0;
            note_model_change();
        };
        {
            const JobScope job;
            ASSERT_TRUE(job.started());
            ASSERT_EQ(compute_property_map_outcome(code), MapOutcome::completed);
        }
        ui_->on_pump = nullptr;
        EXPECT_GE(pumps, 1);
        EXPECT_EQ(map_files(), undisturbed);
        ASSERT_EQ(compute_property_map_outcome(code), MapOutcome::completed);
        EXPECT_NE(map_files(), undisturbed);
        property_selection() = PropertySelection{};
        run_settings().calculation = CalculationSettings{};
        apply_default_calculation_settings(run_settings().calculation);
    }
    set_worker_thread_count(0);
}

TEST_F(HydrogenMapTest, WorkerThatFailsEndsTheJobAndKeepsTheOldFiles)
{
    // A row worker runs out of memory part-way through a 3-D map: the job
    // ends with a message, the old files stay whole, no temporary is left,
    // and the next map runs as before.
    MapDefinition& map = map_definition();
    map.map_is_3d = true;
    map.z_points = 9;
    map.z_min = -1.0;
    map.z_max = 1.0;
    ASSERT_TRUE(compute_property_map(RHO));
    const std::string old_files = file_text(directory_ / "map.dat") + file_text(directory_ / "map.pos");
    ui_->answers.messages.clear();
    set_worker_thread_count(4);
    set_worker_failure_after(7);
    run_guarded([] { compute_property_map_outcome(RHO); });
    set_worker_failure_after(-1);
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("not enough memory"), std::string::npos);
    EXPECT_EQ(file_text(directory_ / "map.dat") + file_text(directory_ / "map.pos"), old_files);
    EXPECT_TRUE(safe_write_temporaries(directory_).empty());
    EXPECT_FALSE(job_control().job_running);
    EXPECT_FALSE(ui_->progress_open);
    EXPECT_EQ(compute_property_map_outcome(RHO), MapOutcome::completed);
    set_worker_thread_count(0);
    EXPECT_EQ(file_text(directory_ / "map.dat") + file_text(directory_ / "map.pos"), old_files);
}

TEST_F(HydrogenMapTest, FailedWritesLeaveTheOldFiles)
{
    // Both files are written out before either replaces its old file: a
    // failure in either (the post file fails with a budget of exactly the
    // map file's size) keeps the old pair and names the file that failed.
    ASSERT_TRUE(compute_property_map(RHO));
    const long long map_size = static_cast<long long>(std::filesystem::file_size(directory_ / "map.dat"));
    const struct {
        long long after;
        const char* named;
    } cases[] = {{0, "map.dat"}, {map_size / 2, "map.dat"}, {map_size, "map.pos"}, {map_size + 5, "map.pos"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        for (const char* name : {"map.dat", "map.pos"})
            write_file(directory_ / name, std::string("old ") + name);
        ui_->answers.messages.clear();
        set_safe_write_failure_after(c.after);
        EXPECT_EQ(compute_property_map_outcome(RHO), MapOutcome::file_error);
        set_safe_write_failure_after(-1);
        EXPECT_EQ(file_text(directory_ / "map.pos"), "old map.pos");
        EXPECT_EQ(file_text(directory_ / "map.dat"), "old map.dat");
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_NE(ui_->answers.messages[0].text.find(c.named), std::string::npos) << ui_->answers.messages[0].text;
        EXPECT_TRUE(safe_write_temporaries(directory_).empty());
    }
}

TEST_F(MapTest, LatticeImagesNearThePlaneFillTheFreeSlots)
{
    // C1 at the origin and N1 0.03 Angstrom short of the next cell along x
    // in a 3 Angstrom cube: the images of each that land on the other are
    // dropped.
    ASSERT_TRUE(load_model("pair.kdn", spherical_model({{"C1", 0.0, 0.0, 0.0}, {"N1", 2.97, 0.0, 0.0}}, 3, 3, 3)));
    MapFrame frame;
    MapDefinition map;
    map.x_min = -3.2;
    map.x_max = 6.0;
    map.y_min = -1.0;
    map.y_max = 1.0;
    MapPostAtoms post;
    post.post_atom_count = 2;
    StructureModel& model = current_model();
    ASSERT_EQ(append_lattice_images_near_plane(model, frame, map, 0.3, post), 2);
    EXPECT_EQ(post.post_atom_count, 4);
    EXPECT_EQ(model.atoms.atom_count, 2);
    EXPECT_EQ(text_field_string(model.atoms.atom_label[3]), "C1");
    EXPECT_NEAR(model.atoms.cart_x[3], -3.0, 1e-12);
    EXPECT_NEAR(post.plane_u[3], -3.0, 1e-12);
    EXPECT_EQ(model.atoms.atomic_number[3], 6);
    EXPECT_EQ(text_field_string(model.atoms.atom_label[4]), "N1");
    EXPECT_NEAR(post.plane_u[4], 5.97, 1e-12);
    EXPECT_NEAR(post.plane_w[4], 0.0, 1e-12);

    // The widened window includes its bounds: -2.75 - 0.25 reaches the C1
    // image at -3 exactly.
    map.x_min = -2.75;
    post.post_atom_count = 2;
    EXPECT_EQ(append_lattice_images_near_plane(model, frame, map, 0.3, post), 2);
    map.x_min = -2.7;
    post.post_atom_count = 2;
    EXPECT_EQ(append_lattice_images_near_plane(model, frame, map, 0.3, post), 1);
    // An inactive atom has no images and drops none.
    map.x_min = -3.2;
    model.atoms.subset_mask[2] = 0;
    post.post_atom_count = 2;
    EXPECT_EQ(append_lattice_images_near_plane(model, frame, map, 0.3, post), 2);
    EXPECT_EQ(text_field_string(model.atoms.atom_label[4]), "C1");
    EXPECT_NEAR(post.plane_u[4], 3.0, 1e-12);
    model.atoms.subset_mask[2] = 1;
    // Further from the plane than the out-of-plane distance: none.
    frame.map_centre = {0.0, 0.0, 0.31};
    post.post_atom_count = 2;
    EXPECT_EQ(append_lattice_images_near_plane(model, frame, map, 0.3, post), 0);
    EXPECT_EQ(post.post_atom_count, 2);
}

TEST_F(MapTest, LatticeImagesLeaveTheDummyPointsAlone)
{
    ASSERT_TRUE(load_example("cyanogen/cyanogen.kdn")) << ui_->answers.message_log();
    StructureModel& model = current_model();
    const int n = model.atoms.atom_count;
    ASSERT_EQ(model.dummies.dummy_count, 1);
    const double dummy[3] = {model.atoms.cart_x[n + 1], model.atoms.cart_y[n + 1], model.atoms.cart_z[n + 1]};
    // The plane through the image of atom 1 one cell along a.
    MapFrame frame;
    convert_fractional_to_cartesian(model.orthogonalisation, model.atoms.frac_x[1] + 1, model.atoms.frac_y[1],
                                    model.atoms.frac_z[1], frame.map_centre[0], frame.map_centre[1],
                                    frame.map_centre[2]);
    MapDefinition map;
    map.x_min = map.y_min = -0.1;
    map.x_max = map.y_max = 0.1;
    MapPostAtoms post;
    post.post_atom_count = n;
    ASSERT_GE(append_lattice_images_near_plane(model, frame, map, 0.3, post), 1);
    EXPECT_EQ(model.atoms.cart_x[n + 1], dummy[0]);
    EXPECT_EQ(model.atoms.cart_y[n + 1], dummy[1]);
    EXPECT_EQ(model.atoms.cart_z[n + 1], dummy[2]);
    EXPECT_GT(std::abs(post.plane_w[n + 1]), 1e20);
    EXPECT_EQ(text_field_string(model.atoms.atom_label[n + 2]), text_field_string(model.atoms.atom_label[1]));
    EXPECT_NEAR(post.plane_u[n + 2], 0.0, 1e-9);
    EXPECT_NEAR(post.plane_w[n + 2], 0.0, 1e-9);
}

TEST(MapGridBoxes, NumberReadersFollowTheirRules)
{
    struct RealCase {
        const char* text;
        bool ok;
        float value;
    };
    for (const RealCase& c : std::vector<RealCase>{{"  1.5   ", true, 1.5f},
                                                   {"-2", true, -2.0f},
                                                   {" .25", true, 0.25f},
                                                   {"3/4", true, 3.0f},
                                                   {" /3", false, 0},
                                                   {"-/3", false, 0},
                                                   {"abc", false, 0},
                                                   {"x5", false, 0},
                                                   {"", false, 0},
                                                   {"    ", false, 0}}) {
        float value = 99;
        EXPECT_EQ(parse_number_before_slash(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 99.0f) << c.text;
    }
    struct IntegerCase {
        const char* text;
        int flag;
        int value;
    };
    for (const IntegerCase& c : std::vector<IntegerCase>{{"  7", 1, 7},
                                                         {"42", 2, 42},
                                                         {"n=120", 3, 120},
                                                         {"-5", 1, 5},
                                                         {"12345", 5, 12345},
                                                         {"12a", -1, 99},
                                                         {"none", -1, 99}}) {
        int value = 99;
        EXPECT_EQ(parse_first_integer(c.text, value), c.flag) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(MapGridBoxes, StepAndPointsFollowEachOther)
{
    EXPECT_EQ(grid_points_for_step("0", "4", "0.5"), std::optional<std::string>("9"));
    EXPECT_EQ(grid_step_for_points("0", "4", "5"), std::optional<std::string>("1.0000"));
    EXPECT_EQ(grid_points_for_step("-2.5", "2.5", "0.05"), std::optional<std::string>("101"));
    EXPECT_EQ(grid_step_for_points("0", "1", "3"), std::optional<std::string>("0.5000"));
    // Limits typed the wrong way round give the same counts.
    EXPECT_EQ(grid_points_for_step("4", "0", "0.5"), std::optional<std::string>("9"));
    // Nothing for a step of 0 or below, a count below 2 or a limit that
    // does not read.
    EXPECT_EQ(grid_points_for_step("0", "4", "0"), std::nullopt);
    EXPECT_EQ(grid_points_for_step("0", "4", "-1"), std::nullopt);
    EXPECT_EQ(grid_step_for_points("0", "4", "1"), std::nullopt);
    EXPECT_EQ(grid_step_for_points("", "4", "5"), std::nullopt);
    EXPECT_EQ(grid_points_for_step("0", "a", "0.5"), std::nullopt);
    // A box holds 8 characters: more typed after them is not read (never cut).
    EXPECT_EQ(grid_points_for_step("0", "4       9", "0.5"), std::nullopt);
    EXPECT_EQ(grid_points_for_step("0", "4       ", "0.5"), std::optional<std::string>("9"));
    EXPECT_EQ(grid_step_for_points("0", "4", "1000001"), std::optional<std::string>("0.0000"));
    EXPECT_EQ(grid_step_for_points("0", "4", "100000001"), std::nullopt);
    // A tiny step gives a count as wide as five digits allow.
    EXPECT_EQ(grid_points_for_step("0", "9999", "0.000001"), std::optional<std::string>("*****"));
}

}  // namespace
