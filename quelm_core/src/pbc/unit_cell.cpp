// Unit cell, reciprocal lattice, lattice translations and Brillouin-zone sampling.
//
// The reciprocal vectors satisfy b_i · t_j = 2π δ_ij within the periodic directions:
// 1D b1 = 2π t1/|t1|²; 2D the in-plane duals built with the normal c = t1 × t2; 3D the
// usual 2π (t2 × t3)/V with the signed volume, so a left-handed cell works as well.
// Monkhorst–Pack points: H. J. Monkhorst & J. D. Pack, Phys. Rev. B 13, 5188 (1976).

#include "pbc/unit_cell.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {
namespace {

constexpr double two_pi = 6.283185307179586;
// Below this a length, area or volume counts as zero.
constexpr double degenerate_measure = 1e-6;
// A grid point closer than this to the zone centre in every direction is Γ.
constexpr double gamma_tolerance = 1e-6;
constexpr std::size_t min_steps_per_leg = 10;

Coordinate cross(const Coordinate& a, const Coordinate& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double dot(const Coordinate& a, const Coordinate& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Coordinate scaled(const Coordinate& a, double factor) {
    return {a[0] * factor, a[1] * factor, a[2] * factor};
}

// The counts a cell of this dimension uses: the given ones along its periodic directions,
// 1 elsewhere, and at least 1 everywhere.
LatticeCounts effective_counts(const UnitCell& cell, const LatticeCounts& counts) {
    LatticeCounts effective{1, 1, 1};
    for (std::size_t d = 0; d < cell.dimension && d < 3; ++d)
        effective[d] = std::max<std::int32_t>(counts[d], 1);
    return effective;
}

// f = (2i − N + 1)/(2N): N points symmetric about the zone centre; a single point is Γ.
double monkhorst_pack_coordinate(std::int32_t i, std::int32_t n) {
    if (n < 2)
        return 0.0;
    return static_cast<double>(2 * static_cast<std::int64_t>(i) - n + 1) /
           (2.0 * static_cast<double>(n));
}

struct Corner {
    const char* label;
    std::array<double, 3> fractional;
};

} // namespace

Result<UnitCell> UnitCell::from_translation_vectors(const std::array<Coordinate, 3>& vectors,
                                                    std::size_t count) {
    if (count < 1 || count > 3) {
        return Error{"Unit cell requires 1, 2, or 3 translation vectors, got " +
                     std::to_string(count)};
    }
    UnitCell cell;
    cell.dimension = count;
    for (std::size_t d = 0; d < count; ++d)
        cell.translations[d] = vectors[d];
    const Coordinate& t1 = cell.translations[0];
    const Coordinate& t2 = cell.translations[1];
    const Coordinate& t3 = cell.translations[2];
    if (count == 1) {
        const double length_squared = dot(t1, t1);
        const double length = std::sqrt(length_squared);
        if (length < degenerate_measure)
            return Error{"1D translation vector length is virtually zero"};
        cell.reciprocal[0] = scaled(t1, two_pi / length_squared);
        cell.measure = length;
    } else if (count == 2) {
        const Coordinate normal = cross(t1, t2);
        const double area_squared = dot(normal, normal);
        const double area = std::sqrt(area_squared);
        if (area < degenerate_measure)
            return Error{"2D translation vectors are collinear (area = 0)"};
        cell.reciprocal[0] = scaled(cross(t2, normal), two_pi / area_squared);
        cell.reciprocal[1] = scaled(cross(normal, t1), two_pi / area_squared);
        cell.measure = area;
    } else {
        const double volume = dot(t1, cross(t2, t3));
        if (std::fabs(volume) < degenerate_measure)
            return Error{"3D translation vectors are coplanar (volume = 0)"};
        cell.reciprocal[0] = scaled(cross(t2, t3), two_pi / volume);
        cell.reciprocal[1] = scaled(cross(t3, t1), two_pi / volume);
        cell.reciprocal[2] = scaled(cross(t1, t2), two_pi / volume);
        cell.measure = std::fabs(volume);
    }
    return cell;
}

std::vector<TranslationIndex> UnitCell::generate_translation_indices(const UnitCell& cell,
                                                                     const LatticeCounts& mers) {
    const LatticeCounts counts = effective_counts(cell, mers);
    std::array<std::int32_t, 3> half{};
    for (std::size_t d = 0; d < 3; ++d)
        half[d] = (counts[d] - 1) / 2;
    std::vector<TranslationIndex> translations;
    translations.reserve(static_cast<std::size_t>(2 * half[0] + 1) *
                         static_cast<std::size_t>(2 * half[1] + 1) *
                         static_cast<std::size_t>(2 * half[2] + 1));
    for (std::int32_t i = -half[0]; i <= half[0]; ++i) {
        for (std::int32_t j = -half[1]; j <= half[1]; ++j) {
            for (std::int32_t k = -half[2]; k <= half[2]; ++k) {
                TranslationIndex entry;
                entry.multiples = {i, j, k};
                for (std::size_t axis = 0; axis < 3; ++axis) {
                    entry.vector[axis] = i * cell.translations[0][axis] +
                                         j * cell.translations[1][axis] +
                                         k * cell.translations[2][axis];
                }
                entry.length = std::sqrt(dot(entry.vector, entry.vector));
                translations.push_back(entry);
            }
        }
    }
    // Stable: translations of equal length keep the enumeration order.
    std::stable_sort(
        translations.begin(), translations.end(),
        [](const TranslationIndex& a, const TranslationIndex& b) { return a.length < b.length; });
    return translations;
}

std::vector<KPoint> UnitCell::generate_monkhorst_pack_grid(const UnitCell& cell,
                                                           const LatticeCounts& k_grid) {
    const LatticeCounts counts = effective_counts(cell, k_grid);
    const double weight = 1.0 / (static_cast<double>(counts[0]) * static_cast<double>(counts[1]) *
                                 static_cast<double>(counts[2]));
    std::vector<KPoint> points;
    points.reserve(static_cast<std::size_t>(counts[0]) * static_cast<std::size_t>(counts[1]) *
                   static_cast<std::size_t>(counts[2]));
    for (std::int32_t i = 0; i < counts[0]; ++i) {
        for (std::int32_t j = 0; j < counts[1]; ++j) {
            for (std::int32_t m = 0; m < counts[2]; ++m) {
                KPoint point;
                point.fractional = {monkhorst_pack_coordinate(i, counts[0]),
                                    monkhorst_pack_coordinate(j, counts[1]),
                                    monkhorst_pack_coordinate(m, counts[2])};
                point.cartesian = cell.wave_vector(point.fractional);
                point.weight = weight;
                const bool at_gamma = std::fabs(point.fractional[0]) < gamma_tolerance &&
                                      std::fabs(point.fractional[1]) < gamma_tolerance &&
                                      std::fabs(point.fractional[2]) < gamma_tolerance;
                if (at_gamma)
                    point.label = "Gamma";
                points.push_back(std::move(point));
            }
        }
    }
    return points;
}

std::vector<KPoint> UnitCell::generate_band_path(const UnitCell& cell, std::size_t points_per_leg) {
    static constexpr Corner gamma{"Gamma", {0.0, 0.0, 0.0}};
    static constexpr Corner x{"X", {0.5, 0.0, 0.0}};
    static constexpr Corner m{"M", {0.5, 0.5, 0.0}};
    static constexpr Corner z{"Z", {0.0, 0.0, 0.5}};
    std::vector<Corner> corners = {gamma, x};
    if (cell.dimension >= 2)
        corners.insert(corners.end(), {m, gamma});
    if (cell.dimension >= 3)
        corners.push_back(z);

    const std::size_t steps = std::max(points_per_leg, min_steps_per_leg);
    std::vector<KPoint> path;
    path.reserve((corners.size() - 1) * steps + 1);
    auto add_point = [&](const char* label, const std::array<double, 3>& fractional) {
        KPoint point;
        point.label = label;
        point.fractional = fractional;
        point.cartesian = cell.wave_vector(fractional);
        path.push_back(std::move(point));
    };
    for (std::size_t leg = 0; leg + 1 < corners.size(); ++leg) {
        const Corner& from = corners[leg];
        const Corner& to = corners[leg + 1];
        add_point(from.label, from.fractional);
        for (std::size_t step = 1; step < steps; ++step) {
            const double t = static_cast<double>(step) / static_cast<double>(steps);
            std::array<double, 3> fractional{};
            for (std::size_t d = 0; d < 3; ++d)
                fractional[d] = from.fractional[d] + t * (to.fractional[d] - from.fractional[d]);
            add_point("", fractional);
        }
    }
    add_point(corners.back().label, corners.back().fractional);
    return path;
}

Coordinate UnitCell::wave_vector(const std::array<double, 3>& fractional) const {
    Coordinate k{};
    for (std::size_t d = 0; d < 3; ++d) {
        for (std::size_t axis = 0; axis < 3; ++axis)
            k[axis] += fractional[d] * reciprocal[d][axis];
    }
    return k;
}

} // namespace quelm
