#include "keldana/density/local_frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// Atom 1 at (1, 1, 1); atom 2 two Angstrom above it along z; atom 3 at
// (4, 1, 2), so atom 1 -> atom 3 is (3, 0, 1); atom 4 on the z line through
// atom 1; atom 5 an image of atom 1; dummy 1 (position 6) along +y from atom 1.
class LocalFrames : public ::testing::Test {
protected:
    std::unique_ptr<StructureModel> model = std::make_unique<StructureModel>();

    void SetUp() override
    {
        WorkingAtomSet& atoms = model->atoms;
        atoms.atom_count = 5;
        atoms.independent_atom_count = 4;
        model->dummies.dummy_count = 1;
        const double positions[][3] = {{1, 1, 1}, {1, 1, 3}, {4, 1, 2}, {1, 1, 5}, {7, 7, 7}, {1, 3, 1}};
        for (int i = 1; i <= 6; ++i) {
            atoms.cart_x[i] = positions[i - 1][0];
            atoms.cart_y[i] = positions[i - 1][1];
            atoms.cart_z[i] = positions[i - 1][2];
        }
        model->images.parent_atom[5] = 1;
        define(5, 4, 3, 3, 2, 1);  // the image's own definition is never used
    }

    void define(int atom, int frame_1, int axis_1, int frame_2, int frame_3, int axis_2)
    {
        LocalAxisDefinitions& d = model->local_axes;
        d.frame_atom_1[atom] = frame_1;
        d.frame_axis_1[atom] = axis_1;
        d.frame_atom_2[atom] = frame_2;
        d.frame_atom_3[atom] = frame_3;
        d.frame_axis_2[atom] = axis_2;
    }
};

double dot(const Vector3& a, const Vector3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double determinant(const Vector3& x, const Vector3& y, const Vector3& z)
{
    return x[0] * (y[1] * z[2] - y[2] * z[1]) - y[0] * (x[1] * z[2] - x[2] * z[1]) + z[0] * (x[1] * y[2] - x[2] * y[1]);
}

constexpr double S10 = 0.31622776601683794;  // 1 / sqrt(10)

}  // namespace

TEST_F(LocalFrames, AxesFollowTheAxisCodesAndSigns)
{
    struct Case {
        const char* name;
        int frame_1, axis_1, frame_2, frame_3, axis_2;
        Vector3 x, y, z;
        double handedness;
    };
    const Case cases[] = {
        {"Z to atom 2, X towards atom 3", 2, 3, 1, 3, 1, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 1},
        {"-Z reverses z and y", 2, -3, 1, 3, 1, {1, 0, 0}, {0, -1, 0}, {0, 0, -1}, 1},
        {"negative atom mirrors the third axis", -2, 3, 1, 3, 1, {1, 0, 0}, {0, -1, 0}, {0, 0, 1}, -1},
        {"X to atom 2, Z towards atom 3 (anti-cyclic)", 2, 1, 1, 3, 3, {0, 0, 1}, {0, -1, 0}, {1, 0, 0}, 1},
        {"Y to the dummy, Z towards atom 3", 6, 2, 1, 3, 3, {S10, 0, -3 * S10}, {0, 1, 0}, {3 * S10, 0, S10}, 1},
        {"Y to the dummy, X along atom 2 -> atom 3", 6, 2, 2, 3, 1, {3 * S10, 0, -S10}, {0, 1, 0},
         {S10, 0, 3 * S10}, 1},
        // -Y reverses y and x, the negative atom x again.
        {"negative atom and -Y", -6, -2, 1, 3, 3, {S10, 0, -3 * S10}, {0, -1, 0}, {3 * S10, 0, S10}, -1},
    };
    for (const Case& c : cases) {
        define(1, c.frame_1, c.axis_1, c.frame_2, c.frame_3, c.axis_2);
        Vector3 x, y, z;
        ASSERT_TRUE(build_atom_local_axes(*model, 1, x, y, z)) << c.name;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(x[k], c.x[k], 1e-15) << c.name;
            EXPECT_NEAR(y[k], c.y[k], 1e-15) << c.name;
            EXPECT_NEAR(z[k], c.z[k], 1e-15) << c.name;
        }
        EXPECT_NEAR(dot(x, x), 1, 1e-15);
        EXPECT_NEAR(dot(y, y), 1, 1e-15);
        EXPECT_NEAR(dot(z, z), 1, 1e-15);
        EXPECT_NEAR(dot(x, y), 0, 1e-15);
        EXPECT_NEAR(dot(x, z), 0, 1e-15);
        EXPECT_NEAR(dot(y, z), 0, 1e-15);
        EXPECT_NEAR(determinant(x, y, z), c.handedness, 1e-15) << c.name;
    }
}

TEST_F(LocalFrames, ImageGetsExactlyItsParentsFrame)
{
    define(1, 6, 2, 2, 3, 1);
    Vector3 px, py, pz, ix, iy, iz;
    ASSERT_TRUE(build_atom_local_axes(*model, 1, px, py, pz));
    ASSERT_TRUE(get_atom_local_axes(*model, 5, ix, iy, iz));
    EXPECT_EQ(ix, px);
    EXPECT_EQ(iy, py);
    EXPECT_EQ(iz, pz);
    ASSERT_TRUE(get_atom_local_axes(*model, 1, ix, iy, iz));
    EXPECT_EQ(ix, px);

    model->images.parent_atom[5] = 0;
    EXPECT_FALSE(get_atom_local_axes(*model, 5, ix, iy, iz));
}

TEST_F(LocalFrames, DegenerateDefinitionsFailWithoutTouchingTheAxes)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        int atom, frame_1, axis_1, frame_2, frame_3, axis_2;
    };
    const Case cases[] = {
        {"first frame atom is the atom itself", 1, 1, 3, 1, 3, 1},
        {"second direction of zero length", 1, 2, 3, 3, 3, 1},
        {"second direction along the first", 1, 2, 3, 1, 4, 1},
        {"second direction against the first", 1, 2, 3, 4, 1, 1},
        {"two equal axis codes", 1, 2, 3, 1, 3, 3},
        {"axis code 0", 1, 2, 0, 1, 3, 1},
        {"axis code 4", 1, 2, 3, 1, 3, 4},
        {"frame atom 0", 1, 0, 3, 1, 3, 1},
        {"frame atom past the dummies", 1, 7, 3, 1, 3, 1},
        {"negative second frame atom", 1, 2, 3, -1, 3, 1},
        {"atom 0", 0, 2, 3, 1, 3, 1},
        {"atom past N", 6, 2, 3, 1, 3, 1},
    };
    for (const Case& c : cases) {
        if (c.atom >= 0 && c.atom <= MAX_WORKING_ATOMS)
            define(c.atom, c.frame_1, c.axis_1, c.frame_2, c.frame_3, c.axis_2);
        Vector3 x{9, 9, 9}, y{9, 9, 9}, z{9, 9, 9};
        EXPECT_FALSE(build_atom_local_axes(*model, c.atom, x, y, z)) << c.name;
        EXPECT_EQ(x, (Vector3{9, 9, 9})) << c.name;
        EXPECT_EQ(z, (Vector3{9, 9, 9})) << c.name;
    }

    // Nearly collinear: the second direction 1e-9 rad off the first.
    model->atoms.cart_x[4] = 1 + 4e-9;
    define(1, 2, 3, 1, 4, 1);
    Vector3 x, y, z;
    EXPECT_FALSE(build_atom_local_axes(*model, 1, x, y, z));

    // A position that is not a number.
    model->atoms.cart_x[4] = 1;
    model->atoms.cart_y[3] = nan;
    define(1, 2, 3, 1, 3, 1);
    EXPECT_FALSE(build_atom_local_axes(*model, 1, x, y, z));
}
