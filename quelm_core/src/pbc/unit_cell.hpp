#pragma once
// The geometry of a periodic system: a unit cell of one, two or three translation
// vectors, its reciprocal lattice, the finite set of lattice translations a periodic SCF
// sums over, the Monkhorst–Pack sampling of the Brillouin zone and the straight-line band
// path through the high-symmetry points. Lengths in Å, wave vectors in Å⁻¹ with the 2π
// included (b_i · t_j = 2π δ_ij).

#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quelm {

// Repeat counts or k-point counts along the three lattice directions. Signed, so that a
// count of 0 or below is an ordinary value the callers can test and refuse, not a wrapped
// unsigned number.
using LatticeCounts = std::array<std::int32_t, 3>;

// A lattice translation T = i·t1 + j·t2 + k·t3 with its length.
struct TranslationIndex {
    Coordinate vector{}; // Å
    double length = 0.0; // |T|, Å
    std::array<std::int32_t, 3> multiples{};
};

// A point of the Brillouin zone: fractional coordinates along b1, b2, b3, the Cartesian
// wave vector and the sampling weight (0 on a band path).
struct KPoint {
    std::string label; // "Gamma", "X", ... or empty
    std::array<double, 3> fractional{};
    Coordinate cartesian{}; // Å⁻¹
    double weight = 0.0;
};

struct UnitCell {
    std::array<Coordinate, 3> translations{}; // t1, t2, t3 (zero beyond the dimension), Å
    std::array<Coordinate, 3> reciprocal{};   // b1, b2, b3 (zero beyond the dimension), Å⁻¹
    double measure = 0.0;                     // length (1D, Å), area (2D, Å²) or |volume| (3D, Å³)
    std::size_t dimension = 0;                // 1, 2 or 3

    // The cell of the first `count` vectors (1 to 3), or the message naming what is wrong:
    // a wrong count, a vanishing length, collinear or coplanar vectors.
    static Result<UnitCell> from_translation_vectors(const std::array<Coordinate, 3>& vectors,
                                                     std::size_t count);

    // Translations i = −h1..h1, j = −h2..h2, k = −h3..h3 with h = (m − 1)/2 per direction
    // (counts beyond the dimension are 1; counts below 1 act as 1, and an even count as the
    // odd count below it), sorted by length with ties in enumeration order: the zero
    // translation comes first.
    static std::vector<TranslationIndex> generate_translation_indices(const UnitCell& cell,
                                                                      const LatticeCounts& mers);

    // The Monkhorst–Pack grid of N1 × N2 × N3 points of equal weight, f = (2i − N + 1)/(2N)
    // per direction (counts beyond the dimension and below 1 are 1); a point at the zone
    // centre carries the label "Gamma". Odd counts include Γ, even counts do not.
    static std::vector<KPoint> generate_monkhorst_pack_grid(const UnitCell& cell,
                                                            const LatticeCounts& k_grid);

    // The band path Γ→X (1D), Γ→X→M→Γ (2D), Γ→X→M→Γ→Z (3D) with max(points_per_leg, 10)
    // steps per leg: labelled corners, unlabelled interior points, weight 0.
    static std::vector<KPoint> generate_band_path(const UnitCell& cell, std::size_t points_per_leg);

    // k = f1·b1 + f2·b2 + f3·b3.
    Coordinate wave_vector(const std::array<double, 3>& fractional) const;
};

} // namespace quelm
