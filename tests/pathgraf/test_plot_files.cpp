// Reading the trajectory data and post files: path headers, the kinds and
// their display switches, points inside the window, skipped and truncated
// paths, files refused before they are shown, the post file's sections and
// its capacities, and the size of the full bitmap.
#include "pathgraf/app/plot_files.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf_test_support.h"
#include "support/text_files.h"
#include "support/unreadable_inputs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct ReadPath {
    PathKind kind;
    std::vector<PlanePointF> points;
};

// The paths of a data file given as text.
bool read_text(const std::string& text, const PathKindsShown& shown, std::vector<ReadPath>& paths,
               PlotWindowF& window, std::string* error = nullptr)
{
    std::istringstream in(text);
    RecordReader next = [&in](std::string& line) {
        return std::getline(in, line) ? 0 : -1;
    };
    return read_plot_paths(next, shown, window,
                           [&paths](PathKind kind, const std::vector<PlanePointF>& points) {
                               paths.push_back({kind, points});
                           },
                           error);
}

TEST(PathHeader, DecodesCountAndKindFromTheFirstTenColumns)
{
    struct Case {
        const char* record;
        bool header;
        int count;
        PathKind kind;
    };
    const Case cases[] = {
        {"     3  TP", true, 3, PathKind::trajectory},
        {"    15  AS", true, 15, PathKind::surface},
        {"    38  BP", true, 38, PathKind::bond},
        {"     2    ", true, 2, PathKind::trajectory},  // blank kind is a trajectory
        {"     2", true, 2, PathKind::trajectory},      // short record, blank kind
        {"     0.00000     0.50000     1", false, 0, PathKind::trajectory},  // a point record
        {"    -1.50000    -1.00000     1", false, 0, PathKind::trajectory},
        {"     2  XY", false, 0, PathKind::trajectory},
        {"  abc   TP", false, 0, PathKind::trajectory},  // not a number: passed over
        {"", true, 0, PathKind::trajectory},            // blank: a header of no points
    };
    for (const Case& c : cases) {
        int count = -1;
        PathKind kind = PathKind::surface;
        EXPECT_EQ(decode_path_header(c.record, count, kind), c.header) << c.record;
        if (c.header) {
            EXPECT_EQ(count, c.count) << c.record;
            EXPECT_EQ(kind, c.kind) << c.record;
        }
    }
}

TEST(DataFile, PathsComeInFileOrderWithTheirPointsInsideTheWindow)
{
    std::vector<ReadPath> paths;
    PlotWindowF window;
    ASSERT_TRUE(read_text(file_text(trajectory_fixture("map.dat")), PathKindsShown{}, paths, window));
    EXPECT_EQ(window.xmin, -2.0f);
    EXPECT_EQ(window.xmax, 2.0f);
    EXPECT_EQ(window.ymin, -1.5f);
    EXPECT_EQ(window.ymax, 1.5f);
    // The one-point path and the header of no points are not paths; the path
    // outside the window has no points; the last one is read whole.
    ASSERT_EQ(paths.size(), 6u);
    const PathKind kinds[] = {PathKind::trajectory, PathKind::bond,       PathKind::surface,
                              PathKind::trajectory, PathKind::trajectory, PathKind::trajectory};
    const std::size_t counts[] = {3, 2, 2, 2, 0, 2};
    for (std::size_t k = 0; k < paths.size(); ++k) {
        EXPECT_EQ(paths[k].kind, kinds[k]) << k;
        EXPECT_EQ(paths[k].points.size(), counts[k]) << k;
    }
    EXPECT_EQ(paths[5].points[0].x, -1.5f);
    EXPECT_EQ(paths[5].points[0].y, 1.0f);
    EXPECT_EQ(paths[5].points[1].x, -0.5f);
}

TEST(DataFile, AHiddenKindIsPassedOverRecordByRecord)
{
    PathKindsShown shown;
    shown.bond = false;
    shown.trajectory = false;
    std::vector<ReadPath> paths;
    PlotWindowF window;
    ASSERT_TRUE(read_text(file_text(trajectory_fixture("map.dat")), shown, paths, window));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].kind, PathKind::surface);
    EXPECT_EQ(paths[0].points.size(), 2u);
    EXPECT_EQ(paths[0].points[0].y, -1.0f);
}

TEST(DataFile, PointsOnTheWindowEdgeAreInsideAndTheFileMayEndInsideAPath)
{
    const std::string text = "  -1.00000   1.00000  -1.00000   1.00000\n"
                             "     3  TP\n"
                             "    -1.00000     1.00000     1\n"
                             "     1.00001     0.00000     1\n"
                             "     1.00000    -1.00000     1\n"
                             "     5  BP\n"
                             "     0.00000     0.00000     2\n"
                             "     0.50000     0.00000     2\n";
    std::vector<ReadPath> paths;
    PlotWindowF window;
    ASSERT_TRUE(read_text(text, PathKindsShown{}, paths, window));
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0].points.size(), 2u);  // the point past the right edge is left out
    EXPECT_EQ(paths[1].kind, PathKind::bond);
    EXPECT_EQ(paths[1].points.size(), 2u);  // what was there of the last path
}

TEST(DataFile, EngineFileReadsEveryPathOfItsRun)
{
    std::vector<ReadPath> paths;
    PlotWindowF window;
    ASSERT_TRUE(read_text(file_text(trajectory_fixture("engine_map.dat")), PathKindsShown{}, paths, window));
    int surface = 0, bond = 0, trajectory = 0;
    for (const ReadPath& p : paths)
        (p.kind == PathKind::surface ? surface : p.kind == PathKind::bond ? bond : trajectory)++;
    // Eight paths around each of four atoms; two surface and two bond paths
    // for each of three bond critical points.
    EXPECT_EQ(trajectory, 32);
    EXPECT_EQ(surface, 6);
    EXPECT_EQ(bond, 6);
}

TEST(DataFile, CheckAcceptsTheFixturesWithTheirWindows)
{
    PlotExtents extents;
    std::string message;
    ASSERT_TRUE(check_trajectory_data_file(trajectory_fixture("map.dat"), extents, message)) << message;
    EXPECT_EQ(extents.xmin, -2.0);
    EXPECT_EQ(extents.ymax, 1.5);
    ASSERT_TRUE(check_trajectory_data_file(trajectory_fixture("engine_map.dat"), extents, message)) << message;
    EXPECT_EQ(extents.xmax, 3.0);
    EXPECT_EQ(extents.ymin, -2.0);
}

class HostileDataFile : public PlotTest {};

TEST_F(HostileDataFile, IsRefusedWithAMessage)
{
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"letters in the window", "  xmin xmax ymin ymax\n     2  TP\n"},
        {"a window of three numbers", "  -1.0 1.0 -1.0\n"},
        {"an empty window", "  1.0 1.0 -1.0 1.0\n"},
        {"an inverted window", "  -1.0 1.0 1.0 -1.0\n"},
        {"a window beyond the writer's fields", "  -1.0 1.0e6 -1.0 1.0\n"},
        {"an unreadable point", "  -1.0 1.0 -1.0 1.0\n     2  TP\n     0.10000     0.20000     1\n  abc def\n"},
        {"binary garbage", std::string("\x01\x02\xff\xfe\n\x00\x00", 7)},
        {"a point cut short", "  -1.0 1.0 -1.0 1.0\n     2  TP\n     0.10000     0.20000\n     0.30000     0.4"},
    };
    for (const auto& [what, text] : cases) {
        PlotExtents extents;
        std::string message;
        EXPECT_FALSE(check_trajectory_data_file(write_file("hostile.dat", text), extents, message)) << what;
        EXPECT_FALSE(message.empty()) << what;
    }
    PlotExtents extents;
    std::string message;
    EXPECT_FALSE(check_trajectory_data_file((directory_ / "missing.dat").string(), extents, message));
    EXPECT_NE(message.find("missing.dat"), std::string::npos);
}

TEST_F(HostileDataFile, WhatIsNoDataFileIsRefusedAtOnceByEveryReader)
{
    for (const std::string& source : unreadable_inputs(directory_, ".dat")) {
        SCOPED_TRACE(source);
        PlotExtents extents;
        std::string message;
        EXPECT_FALSE(check_trajectory_data_file(source, extents, message));
        EXPECT_NE(message.find(source), std::string::npos) << message;
        EXPECT_FALSE(open_trajectory_data_file(source, message));
        EXPECT_NE(message.find(source), std::string::npos) << message;
        PostData post;
        EXPECT_FALSE(read_post_file(source, post));
    }
}

class PostFile : public PlotTest {};

TEST_F(PostFile, AtomsAndCriticalPointsFillTheLabelSlotsInOrder)
{
    PostData post;
    ASSERT_TRUE(read_post_file(trajectory_fixture("map.pos"), post));
    EXPECT_EQ(post.atom_count, 2);
    EXPECT_EQ(post.cp_count, 1);
    EXPECT_EQ(post.item_text[1], "C1        ");
    EXPECT_EQ(post.item_text[2], "N2        ");
    EXPECT_EQ(post.item_text[3], "(3,-1)    ");
    EXPECT_EQ(post.atom_marker[1].x, -1.0f);
    EXPECT_EQ(post.atom_marker[2].x, 1.0f);
    EXPECT_EQ(post.cp_marker[1].x, 0.0f);
    EXPECT_EQ(post.item_position[2].x, post.atom_marker[2].x);
    EXPECT_EQ(post.item_position[3].y, post.cp_marker[1].y);

    ASSERT_TRUE(read_post_file(trajectory_fixture("engine_map.pos"), post));
    EXPECT_EQ(post.atom_count, 4);
    EXPECT_EQ(post.cp_count, 3);
    EXPECT_EQ(post.atom_marker[2].x, 1.85f);
    EXPECT_EQ(post.item_text[5], "(3,-1)    ");
}

TEST_F(PostFile, SectionsThatAreMissingCountAsRead)
{
    PostData post;
    ASSERT_TRUE(read_post_file(write_file("atoms.pos", "ATOMS\n  1\nO1             0.50000     0.25000\n\n"), post));
    EXPECT_EQ(post.atom_count, 1);
    EXPECT_EQ(post.cp_count, 0);
    EXPECT_EQ(post.atom_marker[1].y, 0.25f);

    ASSERT_TRUE(read_post_file(write_file("nothing.pos", "\n\n"), post));
    EXPECT_EQ(post.atom_count, 0);
    // A negative count is no atoms.
    ASSERT_TRUE(read_post_file(write_file("negative.pos", "ATOMS\n -3\nCP\n  0\n"), post));
    EXPECT_EQ(post.atom_count, 0);
    EXPECT_EQ(post.cp_count, 0);
}

std::string post_text(int atoms, int cps)
{
    std::string text = "ATOMS\n" + std::to_string(atoms) + "\n";
    for (int i = 0; i < atoms; ++i)
        text += "C1             0.10000     0.20000\n";
    text += "\nCP\n" + std::to_string(cps) + "\n";
    for (int i = 0; i < cps; ++i)
        text += "(3,-1)         0.00000     0.00000\n";
    return text;
}

TEST_F(PostFile, CapacitiesAndUnreadableRecordsRefuseTheWholeFile)
{
    PostData post;
    EXPECT_TRUE(read_post_file(write_file("full.pos", post_text(250, 50)), post));
    EXPECT_EQ(post.atom_count + post.cp_count, 300);

    const std::pair<const char*, std::string> refused[] = {
        {"251 atoms", post_text(251, 0)},
        {"251 critical points", post_text(0, 251)},
        {"301 slots", post_text(250, 51)},
        {"an unreadable marker", "ATOMS\n  2\nC1             0.10000     0.20000\nN1             abc\n"},
        {"an unreadable count", "ATOMS\n  two\n"},
        {"a file that ends in the markers", "ATOMS\n  3\nC1             0.10000     0.20000\n"},
    };
    for (const auto& [what, text] : refused) {
        post = PostData{};
        EXPECT_FALSE(read_post_file(write_file("refused.pos", text), post)) << what;
        EXPECT_EQ(post.atom_count, 0) << what;
        EXPECT_EQ(post.cp_count, 0) << what;
    }
    // The free texts take their slots from the same 300.
    post = PostData{};
    post.text_count = 60;
    EXPECT_FALSE(read_post_file(write_file("with_texts.pos", post_text(241, 0)), post));
    EXPECT_TRUE(read_post_file(write_file("with_texts.pos", post_text(240, 0)), post));
    EXPECT_FALSE(read_post_file((directory_ / "missing.pos").string(), post));
}

TEST(FullBitmap, TheLongerSideIs2400Pixels)
{
    // Sizes from single-precision arithmetic (checked with gfortran).
    struct Case {
        PlotExtents extents;
        int width, height;
    };
    const Case cases[] = {
        {{-2.0, 2.0, -1.5, 1.5}, 2400, 1800},
        {{-3.0, 3.0, -2.0, 2.0}, 2400, 1600},
        {{-1.0, 1.0, -1.5, 1.5}, 1600, 2400},
        {{0.0, 2.5, 0.0, 2.5}, 2400, 2400},
    };
    for (const Case& c : cases) {
        int w = 0, h = 0;
        full_bitmap_size(c.extents, w, h);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
    }
}

}  // namespace
