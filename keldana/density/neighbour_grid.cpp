#include "keldana/density/neighbour_grid.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

constexpr int MAX_CELLS_PER_AXIS = 64;

std::atomic<std::uint64_t> last_grid_id{0};

// The candidates of the last block of cells a thread asked for: the points
// of a path or a stencil mostly touch the same cells as the point before.
struct CandidateCache {
    std::uint64_t grid = 0;
    int first[3] = {}, last[3] = {};
    AtomMask mask{};
};
thread_local CandidateCache candidate_cache;

}  // namespace

void build_neighbour_grid(const std::vector<int>& atoms, const std::vector<Vector3>& positions, double radius,
                          NeighbourGrid& grid)
{
    grid = NeighbourGrid{};
    grid.id = ++last_grid_id;
    grid.radius = radius;
    if (atoms.empty() || !(radius > 0.0) || !std::isfinite(radius))
        return;
    Vector3 low = positions[atoms.front()], high = low;
    for (int atom : atoms)
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], positions[atom][k]);
            high[k] = std::max(high[k], positions[atom][k]);
        }
    // Cells of one radius, so a query touches at most 3 x 3 x 3 of them;
    // wider when the structure would need more cells than the cap.
    double size = radius;
    for (int k = 0; k < 3; ++k)
        size = std::max(size, (high[k] - low[k]) / MAX_CELLS_PER_AXIS);
    grid.origin = low;
    grid.cell_size = size;
    for (int k = 0; k < 3; ++k)
        grid.cells[k] = std::clamp(static_cast<int>((high[k] - low[k]) / size) + 1, 1, MAX_CELLS_PER_AXIS);

    const int total = grid.cells[0] * grid.cells[1] * grid.cells[2];
    std::vector<int> cell_of(atoms.size());
    grid.cell_start.assign(static_cast<std::size_t>(total) + 1, 0);
    for (std::size_t a = 0; a < atoms.size(); ++a) {
        int index[3];
        for (int k = 0; k < 3; ++k)
            index[k] = std::clamp(static_cast<int>((positions[atoms[a]][k] - low[k]) / size), 0, grid.cells[k] - 1);
        cell_of[a] = (index[2] * grid.cells[1] + index[1]) * grid.cells[0] + index[0];
        ++grid.cell_start[cell_of[a] + 1];
    }
    for (int c = 0; c < total; ++c)
        grid.cell_start[c + 1] += grid.cell_start[c];
    grid.cell_atoms.resize(atoms.size());
    std::vector<int> fill(grid.cell_start.begin(), grid.cell_start.end() - 1);
    for (std::size_t a = 0; a < atoms.size(); ++a)
        grid.cell_atoms[fill[cell_of[a]]++] = atoms[a];
}

void mark_neighbour_candidates(const NeighbourGrid& grid, const Vector3& point, AtomMask& mask)
{
    if (grid.cells[0] == 0)
        return;
    int first[3], last[3];
    for (int k = 0; k < 3; ++k) {
        const double low = (point[k] - grid.radius - grid.origin[k]) / grid.cell_size;
        const double high = (point[k] + grid.radius - grid.origin[k]) / grid.cell_size;
        // Compared as doubles first: a point far away (or not finite) has no cells.
        if (!(high >= 0.0) || !(low < grid.cells[k]))
            return;
        first[k] = std::max(0, static_cast<int>(std::floor(low)));
        last[k] = std::min(grid.cells[k] - 1, static_cast<int>(std::floor(high)));
    }
    CandidateCache& cache = candidate_cache;
    if (cache.grid != grid.id || !std::equal(first, first + 3, cache.first) || !std::equal(last, last + 3, cache.last)) {
        cache.grid = grid.id;
        std::copy(first, first + 3, cache.first);
        std::copy(last, last + 3, cache.last);
        cache.mask = AtomMask{};
        for (int z = first[2]; z <= last[2]; ++z)
            for (int y = first[1]; y <= last[1]; ++y)
                for (int x = first[0]; x <= last[0]; ++x) {
                    const int c = (z * grid.cells[1] + y) * grid.cells[0] + x;
                    for (int s = grid.cell_start[c]; s < grid.cell_start[c + 1]; ++s) {
                        const int atom = grid.cell_atoms[s];
                        cache.mask[atom >> 6] |= std::uint64_t{1} << (atom & 63);
                    }
                }
    }
    for (std::size_t word = 0; word < mask.size(); ++word)
        mask[word] |= cache.mask[word];
}
