// The neighbour grid finds every atom within the radius of a point (a
// superset, in ascending atom order), and nothing for a point far away.
#include "keldana/density/neighbour_grid.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

namespace {

std::vector<int> marked(const AtomMask& mask)
{
    std::vector<int> atoms;
    for (std::size_t word = 0; word < mask.size(); ++word)
        for (std::uint64_t bits = mask[word]; bits != 0; bits &= bits - 1)
            atoms.push_back(static_cast<int>(word * 64) + std::countr_zero(bits));
    return atoms;
}

TEST(NeighbourGrid, MarksEveryAtomWithinTheRadius)
{
    std::mt19937 generator(2);
    std::uniform_real_distribution<double> coordinate(-15.0, 15.0);
    std::vector<Vector3> positions(MAX_WORKING_ATOMS + 1);
    std::vector<int> atoms;
    for (int i = 1; i <= MAX_WORKING_ATOMS; ++i) {
        positions[i] = {coordinate(generator), coordinate(generator), 0.3 * coordinate(generator)};
        if (i % 7 != 0)  // some atoms are left out, as inactive ones are
            atoms.push_back(i);
    }
    for (double radius : {0.5, 2.0, 4.0, 40.0}) {
        NeighbourGrid grid;
        build_neighbour_grid(atoms, positions, radius, grid);
        for (int trial = 0; trial < 200; ++trial) {
            const Vector3 p = {coordinate(generator), coordinate(generator), coordinate(generator)};
            AtomMask mask{};
            mark_neighbour_candidates(grid, p, mask);
            const std::vector<int> found = marked(mask);
            for (int i : atoms) {
                const double d = std::hypot(p[0] - positions[i][0], p[1] - positions[i][1], p[2] - positions[i][2]);
                if (d <= radius) {
                    EXPECT_TRUE(std::binary_search(found.begin(), found.end(), i)) << "atom " << i << " at " << d;
                }
            }
            for (int i : found)
                EXPECT_NE(i % 7, 0) << "atom " << i << " was not listed";
        }
    }
}

TEST(NeighbourGrid, FindsNothingFarAwayOrWithoutARadius)
{
    std::vector<Vector3> positions = {{}, {0, 0, 0}, {1, 1, 1}};
    NeighbourGrid grid;
    build_neighbour_grid({1, 2}, positions, 2.0, grid);
    AtomMask mask{};
    mark_neighbour_candidates(grid, {50, 0, 0}, mask);
    EXPECT_TRUE(marked(mask).empty());
    mark_neighbour_candidates(grid, {std::nan(""), 0, 0}, mask);
    EXPECT_TRUE(marked(mask).empty());
    mark_neighbour_candidates(grid, {0.5, 0.5, 0.5}, mask);
    EXPECT_EQ(marked(mask), (std::vector<int>{1, 2}));
    for (double radius : {0.0, -1.0, std::nan("")}) {
        build_neighbour_grid({1, 2}, positions, radius, grid);
        AtomMask none{};
        mark_neighbour_candidates(grid, {0, 0, 0}, none);
        EXPECT_TRUE(marked(none).empty());
    }
}

}  // namespace
