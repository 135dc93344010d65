// The grid map file and the map post file to the column, and the post
// file's name that follows the map file's name.
#include "keldana/properties/map_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MapFileRecords, GridRecordsFollowTheirLayouts)
{
    // (2F12.5,6X,E14.7) and (3F12.5,6X,E14.7)
    EXPECT_EQ(grid_map_record_2d(0.5, 0.0, 2.148), "     0.50000     0.00000       0.2148000E+01");
    EXPECT_EQ(grid_map_record_2d(-1.25, 3.0, -0.5), "    -1.25000     3.00000      -0.5000000E+00");
    EXPECT_EQ(grid_map_record_3d(0.0, -0.5, 0.25, 1.0e-12),
              "     0.00000    -0.50000     0.25000       0.1000000E-11");
    EXPECT_EQ(grid_map_record_2d(0.0, 0.0, 0.0).size(), 44u);
}

class MapPostFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        atoms_.atom_count = 3;
        const char* labels[] = {"", "C1234567", "N1", "H1"};
        const double plane[4][3] = {{}, {0.5, -0.5, 0.0}, {2.5, 0.0, 0.9}, {0.0, 1.0, -1.2}};
        for (int a = 1; a <= 3; ++a) {
            atoms_.atom_label[a] = blank_text<8>();
            std::copy_n(labels[a], std::string(labels[a]).size(), atoms_.atom_label[a].begin());
            atoms_.atomic_number[a] = a == 1 ? 6 : a == 2 ? 7 : 1;
            atoms_.subset_mask[a] = 1;
            post_.plane_u[a] = plane[a][0];
            post_.plane_v[a] = plane[a][1];
            post_.plane_w[a] = plane[a][2];
        }
        map_.x_min = -1.0;
        map_.x_max = 2.0;
        map_.y_min = -1.0;
        map_.y_max = 1.5;
    }

    WorkingAtomSet atoms_;
    MapPostAtoms post_;
    MapDefinition map_;
};

TEST_F(MapPostFile, TwoDimensionalPostListsAtomsWithinOneAngstromInsideTheWindow)
{
    // (F8.4,2X,F8.4,2X,A8): the window's corners around the atoms; N1 lies
    // outside the window, H1 1.2 Angstrom from the plane.
    const std::vector<std::string> expected = {
        " -1.0000   -1.0000          ",
        "  0.5000   -0.5000  C1234567",
        "  2.0000    1.5000          ",
    };
    EXPECT_EQ(map_post_records_2d(map_, atoms_, post_), expected);
    map_.x_max = 3.0;
    EXPECT_EQ(map_post_records_2d(map_, atoms_, post_)[2], "  2.5000    0.0000  N1      ");
}

TEST_F(MapPostFile, ThreeDimensionalPostListsActiveAtomsInTheBox)
{
    map_.x_max = 3.0;
    map_.z_min = -1.0;
    map_.z_max = 1.0;
    atoms_.subset_mask[2] = 1;
    // "ATOMS", (I3), then (A6,3X,I3,2X,3F12.5); H1 lies below the box.
    std::vector<std::string> expected = {
        "ATOMS",
        "  2",
        "C12345     6       0.50000    -0.50000     0.00000",
        "N1         7       2.50000     0.00000     0.90000",
    };
    EXPECT_EQ(map_post_head_3d(map_, atoms_, post_), expected);
    atoms_.subset_mask[1] = 0;
    expected = {"ATOMS", "  1", "N1         7       2.50000     0.00000     0.90000"};
    EXPECT_EQ(map_post_head_3d(map_, atoms_, post_), expected);

    map_.map_min_value = -1.0e20;
    map_.map_max_value = 0.0123;
    const std::vector<std::string> tail = {
        "GRID Info",
        "    -1.00000     3.00000     0.50000",
        "    -1.00000     1.50000     0.25000",
        "    -1.00000     0.50000     0.50000",
        " -0.10E+21  0.12E-01",
    };
    EXPECT_EQ(map_post_tail_3d(map_, 0.5, 0.25, 0.5, 0.5), tail);
}

TEST(MapFileNames, PostNameReplacesTheExtension)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"map.dat", "map.pos"},
        {"a.b.data", "a.b.pos"},
        {"x.datafile", "x.pos file"},
        {"m.d", "m.pos"},
        {"result", "result"},
        {"/tmp/run.1/map", "/tmp/run.1/map"},
        {"/tmp/run.1/map.dat", "/tmp/run.1/map.pos"},
        {"", ""},
    };
    for (const auto& [map_name, post_name] : cases)
        EXPECT_EQ(post_file_name_for(map_name), post_name) << map_name;
}

}  // namespace
