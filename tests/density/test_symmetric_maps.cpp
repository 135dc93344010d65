// A map of the Laplacian across a crystal's two-fold axis is symmetric to
// the last digits: the cell's right angles and the harmonics' normalisation
// (through the rotation of the image's populations) carry no rounding of
// typed constants.
#include "keldana/density/property_evaluation.h"
#include "test_property_models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace density_test;

namespace {

constexpr int LAPLACIAN = 8;

TEST(SymmetricMaps, LaplacianMapAcrossATwofoldAxisIsSymmetric)
{
    ScopedScriptedUi ui;
    TestModel layout = multipole_model();  // monoclinic, b along y
    layout.cards = {"     X         Y         Z", "    -X         Y        -Z"};
    layout.cluster = {"2  0 0 0  1 2"};
    ASSERT_TRUE(load_model(layout, ui)) << ui->answers.message_log();
    ASSERT_EQ(current_model().atoms.atom_count, 4);
    for (int frame : {1, 0}) {
        run_settings().calculation.global_frame = frame;
        // A 21 x 21 map in the plane y = 0.35 A, centred on the axis: the
        // point (x, z) and its image (-x, -z) are both on the map.
        const int n = 21;
        const double step = 0.12, y = 0.35;
        auto value = [&](int i, int j) {
            return evaluate_property_at_point((i - n / 2) * step, y, (j - n / 2) * step, LAPLACIAN);
        };
        double largest = 0, worst = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const double a = value(i, j), b = value(n - 1 - i, n - 1 - j);
                largest = std::max(largest, std::fabs(a));
                worst = std::max(worst, std::fabs(a - b) / std::max(std::fabs(a), 1e-3));
            }
        ASSERT_GT(largest, 1.0);
        EXPECT_LT(worst, 1e-9) << "global frame " << frame;
    }
    run_settings().calculation.global_frame = 1;
}

}  // namespace
