// Neighbour lists by a cell grid: atoms are binned into cubes of the cutoff's edge, and
// each atom looks only into its own and the 26 surrounding cubes.

#include "karvel/block_matrix.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace quelm {

PointNeighbours find_point_neighbours(const std::vector<Coordinate>& points,
                                      double cutoff_angstrom) {
    PointNeighbours result;
    const std::size_t n = points.size();
    result.row_start.assign(n + 1, 0);
    if (n == 0)
        return result;

    std::array<double, 3> low{std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::max()};
    std::array<double, 3> high{-low[0], -low[1], -low[2]};
    for (const Coordinate& r : points) {
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], r[axis]);
            high[axis] = std::max(high[axis], r[axis]);
        }
    }
    // Cells no smaller than the cutoff, and no more cells than ~8 per point, so a sparse
    // cloud with a tiny cutoff cannot allocate without bound.
    double edge = std::max(cutoff_angstrom, 1e-3);
    std::array<std::size_t, 3> cells{};
    for (;;) {
        double total = 1.0;
        for (int axis = 0; axis < 3; ++axis) {
            const double count = std::floor((high[axis] - low[axis]) / edge) + 1.0;
            cells[axis] = static_cast<std::size_t>(std::min(count, 1e9));
            total *= count;
        }
        if (total <= 8.0 * static_cast<double>(n) + 8.0)
            break;
        edge *= 2.0;
    }
    auto cell_of = [&](const Coordinate& r, int axis) {
        return std::min(cells[axis] - 1, static_cast<std::size_t>((r[axis] - low[axis]) / edge));
    };
    const std::size_t n_cells = cells[0] * cells[1] * cells[2];
    std::vector<std::size_t> cell_start(n_cells + 1, 0);
    std::vector<std::size_t> point_cell(n);
    for (std::size_t a = 0; a < n; ++a) {
        const Coordinate& r = points[a];
        point_cell[a] = (cell_of(r, 0) * cells[1] + cell_of(r, 1)) * cells[2] + cell_of(r, 2);
        ++cell_start[point_cell[a] + 1];
    }
    for (std::size_t c = 0; c < n_cells; ++c)
        cell_start[c + 1] += cell_start[c];
    std::vector<std::size_t> cell_points(n);
    {
        std::vector<std::size_t> fill(cell_start.begin(), cell_start.end() - 1);
        for (std::size_t a = 0; a < n; ++a)
            cell_points[fill[point_cell[a]]++] = a;
    }

    const double cutoff2 = cutoff_angstrom * cutoff_angstrom;
    std::vector<std::uint32_t> row;
    for (std::size_t a = 0; a < n; ++a) {
        row.clear();
        const Coordinate& ra = points[a];
        const std::size_t ca[3] = {cell_of(ra, 0), cell_of(ra, 1), cell_of(ra, 2)};
        std::size_t lo[3];
        std::size_t hi[3];
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = ca[axis] > 0 ? ca[axis] - 1 : 0;
            hi[axis] = std::min(ca[axis] + 1, cells[axis] - 1);
        }
        for (std::size_t ix = lo[0]; ix <= hi[0]; ++ix) {
            for (std::size_t iy = lo[1]; iy <= hi[1]; ++iy) {
                for (std::size_t iz = lo[2]; iz <= hi[2]; ++iz) {
                    const std::size_t c = (ix * cells[1] + iy) * cells[2] + iz;
                    for (std::size_t k = cell_start[c]; k < cell_start[c + 1]; ++k) {
                        const std::size_t b = cell_points[k];
                        const Coordinate& rb = points[b];
                        const double dx = rb[0] - ra[0];
                        const double dy = rb[1] - ra[1];
                        const double dz = rb[2] - ra[2];
                        if (b == a || dx * dx + dy * dy + dz * dz <= cutoff2)
                            row.push_back(static_cast<std::uint32_t>(b));
                    }
                }
            }
        }
        std::sort(row.begin(), row.end());
        result.neighbours.insert(result.neighbours.end(), row.begin(), row.end());
        result.row_start[a + 1] = result.neighbours.size();
    }
    return result;
}

AtomPairPattern AtomPairPattern::build(const MolecularBatch& batch, double cutoff_angstrom) {
    PointNeighbours lists = find_point_neighbours(batch.positions(), cutoff_angstrom);
    AtomPairPattern pattern;
    pattern.cutoff_angstrom = cutoff_angstrom;
    pattern.row_start = std::move(lists.row_start);
    pattern.neighbours = std::move(lists.neighbours);
    pattern.block_offset.resize(pattern.neighbours.size());
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        for (std::size_t k = pattern.row_start[a]; k < pattern.row_start[a + 1]; ++k) {
            pattern.block_offset[k] = pattern.n_values;
            pattern.n_values += static_cast<std::size_t>(batch.basis_types[a]) *
                                batch.basis_types[pattern.neighbours[k]];
        }
    }
    return pattern;
}

std::size_t AtomPairPattern::find(std::size_t a, std::size_t b) const {
    const auto first = neighbours.begin() + static_cast<std::ptrdiff_t>(row_start[a]);
    const auto last = neighbours.begin() + static_cast<std::ptrdiff_t>(row_start[a + 1]);
    const auto it = std::lower_bound(first, last, static_cast<std::uint32_t>(b));
    if (it == last || *it != b)
        return npos;
    return static_cast<std::size_t>(it - neighbours.begin());
}

} // namespace quelm
