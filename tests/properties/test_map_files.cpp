// The grid map file and the map post file to the column, and the post
// file's name that follows the map file's name.
#include "keldana/properties/map_files.h"

#include "common/fortran_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
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

// The map writer's own conversion against the general formatter (which
// tests/common checks against gfortran, grid records included): the same
// bytes for rounding ties, decade and width overflows, signed zeros,
// subnormals, infinities, NaN and 300 000 values of every magnitude.
TEST(MapFileRecords, GridRecordsMatchTheFormatter)
{
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.0, -0.0, 0.5, -0.5, 0.000005, -0.000015, 2.500005, 0.12345675, 9.99999995,
                                  9.999999949999, 99999.999995, 999999.99999, 999999.999995, -99999.999995,
                                  -999999.99999, 1e6, -1e6, 1e-99, 1e-100, 9.99999996e99, 9.9999994e98, 1e99,
                                  1e100, 1e300, 5e-324, -5e-324, 1e-300, std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::min(), inf, -inf,
                                  std::numeric_limits<double>::quiet_NaN(), 0.0000049999, 0.0000050001};
    for (int k = -12; k <= 12; ++k)  // decimal ties of the fifth decimal and the seventh digit
        for (double tie : {0.000005, 0.0000005, 0.00000005}) {
            values.push_back(std::pow(10.0, k) * (1.0 + tie));
            values.push_back(-std::pow(10.0, k) * (1.0 - tie));
        }
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> exponent(-320.0, 310.0), mantissa(-1.0, 1.0), small(-7.0, 7.0);
    for (int i = 0; i < 300000; ++i)
        values.push_back(i % 2 ? mantissa(random) * std::pow(10.0, exponent(random))
                               : mantissa(random) * std::pow(10.0, small(random)));
    int mismatches = 0;
    std::string record;
    for (size_t i = 0; i < values.size() && mismatches < 10; ++i) {
        const double a = values[i], b = values[(i * 7 + 3) % values.size()], c = values[(i * 13 + 5) % values.size()];
        const double v = values[(i * 31 + 11) % values.size()];
        const double xyz[] = {a, b, c};
        record.clear();
        append_grid_map_record(record, xyz, 3, v);
        const std::string expected3 = format_line("(3F12.5,6X,E14.7)", {a, b, c, v});
        record.clear();
        append_grid_map_record(record, xyz, 2, a);
        const std::string expected2 = format_line("(2F12.5,6X,E14.7)", {a, b, a});
        const std::string got3 = grid_map_record_3d(a, b, c, v);
        mismatches += got3 != expected3;
        mismatches += record != expected2;
        EXPECT_EQ(got3, expected3) << a << " " << b << " " << c << " " << v;
        EXPECT_EQ(record, expected2) << a << " " << b;
    }
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
