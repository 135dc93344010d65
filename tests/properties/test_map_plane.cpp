// The map plane: the right-handed frame from two directions, the centre by
// each rule, the shift along the normal, and the atom table in the new frame
// as the listing file and the list box show it.
#include "keldana/model/model_store.h"
#include "keldana/properties/map_plane.h"
#include "test_map_support.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace map_tests;

Vector3 column(const Matrix3& m, int k) { return {m(1, k), m(2, k), m(3, k)}; }

void expect_vector(const Vector3& actual, const Vector3& expected, double tolerance = 1e-12)
{
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(actual[k], expected[k], tolerance) << "component " << k;
}

// Cartesian coordinates from a cell with right angles carry the rounding of
// the program's degree conversion.
constexpr double CELL_ROUNDING = 1e-6;

const std::string NOT_A_PLANE = "Error!: Please, check selected atoms. They are not define plane.";

class MapFrameTest : public ::testing::Test {
protected:
    std::string last_message()
    {
        const auto& messages = ui_->answers.messages;
        return messages.empty() ? std::string() : messages.back().caption + ": " + messages.back().text;
    }
    ScopedScriptedUi ui_;
};

TEST_F(MapFrameTest, PlaneFrameIsRightHandedWithTheSecondVectorAbove)
{
    Matrix3 r;
    ASSERT_TRUE(build_plane_frame({2, 0, 0}, {1, 3, 0}, r, 1, 2, 3));
    expect_vector(column(r, 1), {1, 0, 0});
    expect_vector(column(r, 2), {0, 1, 0});
    expect_vector(column(r, 3), {0, 0, 1});
    // The second vector on the other side turns the normal round.
    ASSERT_TRUE(build_plane_frame({2, 0, 0}, {1, -3, 0}, r, 1, 2, 3));
    expect_vector(column(r, 2), {0, -1, 0});
    expect_vector(column(r, 3), {0, 0, -1});
    // A tilted pair: u along a, w along a x b.
    ASSERT_TRUE(build_plane_frame({1, 1, 0}, {0, 0, 2}, r, 1, 2, 3));
    const double h = 1 / std::sqrt(2.0);
    expect_vector(column(r, 1), {h, h, 0});
    expect_vector(column(r, 2), {0, 0, 1});
    expect_vector(column(r, 3), {h, -h, 0});
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(MapFrameTest, OtherColumnOrdersKeepTheFrameRightHanded)
{
    // (2, 3, 1) is cyclic: column 2 = a, column 1 = a x b, column 3 = their
    // cross product; (2, 1, 3) is not: the normal changes sign.
    Matrix3 r;
    ASSERT_TRUE(build_plane_frame({1, 0, 0}, {0, 1, 0}, r, 2, 3, 1));
    expect_vector(column(r, 2), {1, 0, 0});
    expect_vector(column(r, 1), {0, 0, 1});
    expect_vector(column(r, 3), {0, 1, 0});
    ASSERT_TRUE(build_plane_frame({1, 0, 0}, {0, 1, 0}, r, 2, 1, 3));
    expect_vector(column(r, 2), {1, 0, 0});
    expect_vector(column(r, 3), {0, 0, -1});
    expect_vector(column(r, 1), {0, 1, 0});
}

TEST_F(MapFrameTest, ParallelOrZeroVectorsDefineNoPlane)
{
    Matrix3 r;
    EXPECT_FALSE(build_plane_frame({1, 0, 0}, {-2, 0, 0}, r, 1, 2, 3));
    EXPECT_EQ(last_message(), NOT_A_PLANE);
    EXPECT_FALSE(build_plane_frame({0, 0, 0}, {0, 1, 0}, r, 1, 2, 3));
    EXPECT_EQ(ui_->answers.messages.size(), 2u);
    double length = 7;
    r(1, 2) = 0.25;
    const Matrix3 before = r;
    EXPECT_FALSE(normalise_plane_axis({0, 0, 0}, r, length, 2));
    expect_vector(column(r, 2), column(before, 2));
    EXPECT_EQ(length, 0.0);
    EXPECT_TRUE(normalise_plane_axis({0, 3, 4}, r, length, 2));
    EXPECT_EQ(length, 5.0);
    expect_vector(column(r, 2), {0, 0.6, 0.8});
    expect_vector(cross_product({1, 2, 3}, {4, 5, 6}), {-3, 6, -3});
}

TEST_F(MapFrameTest, NearlyParallelVectorsDefineNoPlane)
{
    // |a x b| / (|a||b|) is the sine of the angle between them; the frame
    // needs 1e-4 at least, whatever the lengths.
    const struct {
        Vector3 a, b;
        bool plane;
    } cases[] = {
        {{1, 0, 0}, {1, 5e-5, 0}, false},
        {{1, 0, 0}, {-1, 0, 9e-5}, false},
        {{1000, 0, 0}, {1e-3, 5e-8, 0}, false},
        {{1, 0, 0}, {1, 2e-4, 0}, true},
        {{1e-3, 0, 0}, {0, 0, 1000}, true},
    };
    for (const auto& c : cases) {
        ui_->answers.messages.clear();
        Matrix3 r;
        EXPECT_EQ(build_plane_frame(c.a, c.b, r, 1, 2, 3), c.plane) << c.b[1] << " " << c.b[2];
        EXPECT_EQ(last_message(), c.plane ? "" : NOT_A_PLANE);
    }
}

// Three atoms in the plane z = 10 Angstrom: C1, N1 one Angstrom along x, H1
// one Angstrom along y (to the left of C1 -> N1).
class MapPlaneTest : public MapTest {
protected:
    void SetUp() override
    {
        MapTest::SetUp();
        ASSERT_TRUE(load_model("mol.kdn", spherical_model({{"C1", 10, 10, 10}, {"N1", 11, 10, 10}, {"H1", 10, 11, 10}},
                                                          20, 20, 20)));
        MapFrame& frame = map_frame();
        frame.plane_vector_1 = {1, 0, 0};
        frame.plane_vector_2 = {0, 1, 0};
        map_definition().plane_from_points = true;
    }

    std::vector<std::string> lines_;
};

TEST_F(MapPlaneTest, PlaneOfThreeAtomsListsThemInTheFrame)
{
    MapDefinition& map = map_definition();
    map.z_points = 7;
    map.z_max = 3;
    MapPlaneRequest request;
    request.centre_rule = MapCentreRule::atom_position;
    request.centre_atoms = {2, 1, 1};
    ASSERT_TRUE(calculate_map_plane(request, lines_));
    const MapFrame& frame = map_frame();
    expect_vector(frame.map_centre, {11, 10, 10}, CELL_ROUNDING);
    expect_vector(frame.axis_u, {1, 0, 0});
    expect_vector(frame.axis_w, {0, 0, 1});
    expect_vector(frame.plane_vector_2, {0, 1, 0});
    EXPECT_EQ(frame.rotation(3, 3), 1.0);
    EXPECT_EQ(map.z_points, 1);
    EXPECT_EQ(map.z_max, 0.0);
    EXPECT_EQ(map.centre_atom[0], 2);

    const std::vector<std::string> box = {
        "",
        " Map plane vectors:  1.0000  0.0000  0.0000",
        "                     0.0000  1.0000  0.0000",
        "",
        "  Map centre point: 11.0000 10.0000 10.0000",
        "",
        "num atom           x         y    dist. to plane ",
        "  1  C1        -1.00000   0.00000   0.00000",
        "  2  N1         0.00000   0.00000   0.00000",
        "  3  H1        -1.00000   1.00000   0.00000",
    };
    EXPECT_EQ(lines_, box);
    std::vector<std::string> listing = listing_lines();
    ASSERT_GE(listing.size(), box.size());
    listing.erase(listing.begin(), listing.end() - box.size());
    std::vector<std::string> expected = box;
    expected[6] = " num  atom           x        y    dist. to plane";
    EXPECT_EQ(listing, expected);
    const MapPostAtoms& post = map_post_atoms();
    EXPECT_NEAR(post.plane_u[3], -1.0, CELL_ROUNDING);
    EXPECT_NEAR(post.plane_v[3], 1.0, CELL_ROUNDING);
    EXPECT_NEAR(post.plane_w[1], 0.0, CELL_ROUNDING);
}

TEST_F(MapPlaneTest, ThreeDimensionalMapListsTheNormalAndZ)
{
    map_definition().map_is_3d = true;
    MapPlaneRequest request;
    request.centre_rule = MapCentreRule::between_three_atoms;
    request.centre_atoms = {1, 2, 3};
    ASSERT_TRUE(calculate_map_plane(request, lines_));
    expect_vector(map_frame().map_centre, {31.0 / 3, 31.0 / 3, 10}, CELL_ROUNDING);
    ASSERT_EQ(lines_.size(), 11u);
    EXPECT_EQ(lines_[3], "                     0.0000  0.0000  1.0000");
    EXPECT_EQ(lines_[7], "num atom           x         y         z ");
    EXPECT_EQ(listing_lines()[listing_lines().size() - 4], " num  atom           x        y         z");
}

TEST_F(MapPlaneTest, CentreRulesAndTheShift)
{
    MapPlaneRequest request;
    request.centre_rule = MapCentreRule::between_two_atoms;
    request.centre_atoms = {1, 3, 2};
    request.shift = 0.5;
    ASSERT_TRUE(calculate_map_plane(request, lines_));
    // Midway between C1 and H1, moved 0.5 along the normal: every atom lies
    // 0.5 below the plane.
    expect_vector(map_frame().map_centre, {10, 10.5, 10.5}, CELL_ROUNDING);
    EXPECT_EQ(lines_.back(), "  3  H1         0.00000   0.50000  -0.50000");
    EXPECT_NEAR(map_post_atoms().plane_w[2], -0.5, CELL_ROUNDING);

    // A plane from basis vectors ignores the shift.
    map_definition().plane_from_points = false;
    map_definition().plane_from_vectors = true;
    request.centre_rule = MapCentreRule::arbitrary_point;
    request.centre_point = {1, 2, 3};
    ASSERT_TRUE(calculate_map_plane(request, lines_));
    expect_vector(map_frame().map_centre, {1, 2, 3});

    // A shift below 0.0001 counts as none.
    map_definition().plane_from_vectors = false;
    request.shift = 0.00005;
    ASSERT_TRUE(calculate_map_plane(request, lines_));
    expect_vector(map_frame().map_centre, {1, 2, 3});
}

TEST_F(MapTest, TheAtomsOfALinearMoleculeDefineNoPlane)
{
    // Cyanogen, N-C-C-N, is linear: its first three atoms differ from a line
    // only by the rounding of their coordinates.
    ASSERT_TRUE(load_example("cyanogen/cyanogen.kdn")) << ui_->answers.message_log();
    const WorkingAtomSet& atoms = current_model().atoms;
    ASSERT_GE(atoms.atom_count, 3);
    MapFrame& frame = map_frame();
    for (int k = 0; k < 3; ++k) {
        const Vector3 p1 = working_atom_position(atoms, 1);
        frame.plane_vector_1[k] = working_atom_position(atoms, 2)[k] - p1[k];
        frame.plane_vector_2[k] = working_atom_position(atoms, 3)[k] - p1[k];
    }
    map_definition().plane_from_points = true;
    ui_->answers.messages.clear();
    std::vector<std::string> lines;
    EXPECT_FALSE(calculate_map_plane(MapPlaneRequest{}, lines));
    EXPECT_TRUE(lines.empty());
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].text, "Please, check selected atoms. They are not define plane.");
}

TEST_F(MapPlaneTest, CollinearPointsLeaveTheFrameAsItWas)
{
    MapPlaneRequest request;
    ASSERT_TRUE(calculate_map_plane(request, lines_));
    const MapFrame before = map_frame();
    map_frame().plane_vector_2 = {3, 0, 0};
    request.centre_atoms = {3, 1, 1};
    lines_.clear();
    EXPECT_FALSE(calculate_map_plane(request, lines_));
    EXPECT_TRUE(lines_.empty());
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].text, "Please, check selected atoms. They are not define plane.");
    expect_vector(map_frame().map_centre, before.map_centre);
    expect_vector(map_frame().axis_v, before.axis_v);
}

}  // namespace
