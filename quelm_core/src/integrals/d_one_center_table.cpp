// The one-centre two-electron integrals of an s, p, d atom over its molecular orbital
// pairs, as one symmetric 45 × 45 table.
//
// The s, p entries are the element's own parameters (gss, gsp, gpp, gp2, hsp and
// hpp = ½(gpp − gp2)); the entries with d orbitals are the integrals 1–52 of its d record,
// placed by the angular coupling of the real harmonics (MNDO/d; Thiel & Voityuk,
// Theor. Chim. Acta 81, 391 (1992)). Every entry not listed is zero by symmetry.

#include "integrals/d_orbitals.hpp"

#include <cstdint>

namespace quelm {

namespace {

// Molecular orbital slots of an atom (order s, p, d of the batch).
enum Orbital : std::uint8_t { s, px, py, pz, dx2y2, dxz, dz2, dyz, dxy };

// (first pair | second pair) → one-centre integral number; each unordered pair of orbital
// pairs once.
struct DEntry {
    Orbital i, j, k, l;
    std::uint8_t integral;
};

// clang-format off
constexpr DEntry d_entries[] = {
    {s, s, dx2y2, dx2y2, 1}, {s, s, dxz, dxz, 1}, {s, s, dz2, dz2, 1}, {s, s, dyz, dyz, 1},
    {s, s, dxy, dxy, 1},
    {px, s, dx2y2, px, 3}, {px, s, dxz, pz, 3}, {px, s, dz2, px, 8}, {px, s, dxy, py, 3},
    {px, px, dx2y2, s, 9}, {px, px, dx2y2, dx2y2, 6}, {px, px, dxz, dxz, 6}, {px, px, dz2, s, 12},
    {px, px, dz2, dx2y2, 14}, {px, px, dz2, dz2, 13}, {px, px, dyz, dyz, 7}, {px, px, dxy, dxy, 6},
    {py, s, dx2y2, py, 15}, {py, s, dz2, py, 8}, {py, s, dyz, pz, 3}, {py, s, dxy, px, 3},
    {py, px, dyz, dxz, 11}, {py, px, dxy, s, 9}, {py, px, dxy, dz2, 14},
    {py, py, dx2y2, s, 17}, {py, py, dx2y2, dx2y2, 6}, {py, py, dxz, dxz, 7}, {py, py, dz2, s, 12},
    {py, py, dz2, dx2y2, 18}, {py, py, dz2, dz2, 13}, {py, py, dyz, dyz, 6}, {py, py, dxy, dxy, 6},
    {pz, s, dxz, px, 3}, {pz, s, dz2, pz, 2}, {pz, s, dyz, py, 3},
    {pz, px, dxz, s, 9}, {pz, px, dxz, dx2y2, 11}, {pz, px, dz2, dxz, 10}, {pz, px, dxy, dyz, 11},
    {pz, py, dyz, s, 9}, {pz, py, dyz, dx2y2, 16}, {pz, py, dyz, dz2, 10}, {pz, py, dxy, dxz, 11},
    {pz, pz, dx2y2, dx2y2, 7}, {pz, pz, dxz, dxz, 6}, {pz, pz, dz2, s, 4}, {pz, pz, dz2, dz2, 5},
    {pz, pz, dyz, dyz, 6}, {pz, pz, dxy, dxy, 7},
    {dx2y2, s, dx2y2, s, 19}, {dx2y2, s, dxz, dxz, 32}, {dx2y2, s, dz2, dx2y2, 22},
    {dx2y2, s, dyz, dyz, 40},
    {dx2y2, px, dx2y2, px, 33}, {dx2y2, px, dxz, pz, 34}, {dx2y2, px, dz2, px, 27},
    {dx2y2, px, dxy, py, 46},
    {dx2y2, py, dx2y2, py, 33}, {dx2y2, py, dz2, py, 28}, {dx2y2, py, dyz, pz, 41},
    {dx2y2, py, dxy, px, 47},
    {dx2y2, pz, dx2y2, pz, 35}, {dx2y2, pz, dxz, px, 35}, {dx2y2, pz, dyz, py, 42},
    {dx2y2, dx2y2, dx2y2, dx2y2, 29}, {dx2y2, dx2y2, dxz, dxz, 38}, {dx2y2, dx2y2, dz2, s, 22},
    {dx2y2, dx2y2, dz2, dz2, 31}, {dx2y2, dx2y2, dyz, dyz, 38}, {dx2y2, dx2y2, dxy, dxy, 51},
    {dxz, s, dxz, s, 19}, {dxz, s, dxz, dx2y2, 32}, {dxz, s, dz2, dxz, 21}, {dxz, s, dxy, dyz, 32},
    {dxz, px, dxz, px, 33}, {dxz, px, dz2, pz, 24}, {dxz, px, dyz, py, 34},
    {dxz, py, dxz, py, 35}, {dxz, py, dyz, px, 35}, {dxz, py, dxy, pz, 35},
    {dxz, pz, dxz, pz, 33}, {dxz, pz, dz2, px, 26}, {dxz, pz, dxy, py, 34},
    {dxz, dx2y2, dxz, dx2y2, 44}, {dxz, dx2y2, dz2, dxz, 37}, {dxz, dx2y2, dxy, dyz, 49},
    {dxz, dxz, dxz, dxz, 29}, {dxz, dxz, dz2, s, 21}, {dxz, dxz, dz2, dx2y2, 39},
    {dxz, dxz, dz2, dz2, 30}, {dxz, dxz, dyz, dyz, 38}, {dxz, dxz, dxy, dxy, 38},
    {dz2, s, dz2, s, 19}, {dz2, s, dz2, dz2, 20}, {dz2, s, dyz, dyz, 21}, {dz2, s, dxy, dxy, 22},
    {dz2, px, dz2, px, 25}, {dz2, px, dxy, py, 27},
    {dz2, py, dz2, py, 25}, {dz2, py, dyz, pz, 26}, {dz2, py, dxy, px, 27},
    {dz2, pz, dz2, pz, 23}, {dz2, pz, dyz, py, 24},
    {dz2, dx2y2, dz2, dx2y2, 48}, {dz2, dx2y2, dyz, dyz, 45},
    {dz2, dxz, dz2, dxz, 36}, {dz2, dxz, dxy, dyz, 37},
    {dz2, dz2, dz2, dz2, 29}, {dz2, dz2, dyz, dyz, 30}, {dz2, dz2, dxy, dxy, 31},
    {dyz, s, dyz, s, 19}, {dyz, s, dyz, dx2y2, 40}, {dyz, s, dyz, dz2, 21}, {dyz, s, dxy, dxz, 32},
    {dyz, px, dyz, px, 35}, {dyz, px, dxy, pz, 35},
    {dyz, py, dyz, py, 33},
    {dyz, pz, dyz, pz, 33}, {dyz, pz, dxy, px, 34},
    {dyz, dx2y2, dyz, dx2y2, 44}, {dyz, dx2y2, dyz, dz2, 43}, {dyz, dx2y2, dxy, dxz, 50},
    {dyz, dxz, dyz, dxz, 44}, {dyz, dxz, dxy, s, 32}, {dyz, dxz, dxy, dz2, 39},
    {dyz, dz2, dyz, dz2, 36}, {dyz, dz2, dxy, dxz, 37},
    {dyz, dyz, dyz, dyz, 29}, {dyz, dyz, dxy, dxy, 38},
    {dxy, s, dxy, s, 19}, {dxy, s, dxy, dz2, 22},
    {dxy, px, dxy, px, 33},
    {dxy, py, dxy, py, 33},
    {dxy, pz, dxy, pz, 35},
    {dxy, dx2y2, dxy, dx2y2, 52},
    {dxy, dxz, dxy, dxz, 44},
    {dxy, dz2, dxy, dz2, 48},
    {dxy, dyz, dxy, dyz, 44},
    {dxy, dxy, dxy, dxy, 29},
};
// clang-format on

void set_symmetric(OneCenterDTable& table, std::size_t i, std::size_t j, std::size_t k,
                   std::size_t l, double value) {
    const std::size_t first = orbital_pair_index(i, j);
    const std::size_t second = orbital_pair_index(k, l);
    table[first * d_orbital_pairs + second] = value;
    table[second * d_orbital_pairs + first] = value;
}

} // namespace

void fill_one_center_d_table(const ElementParameters& element, const DElementParameters& d,
                             OneCenterDTable& table) {
    table.fill(0.0);
    const double hpp = 0.5 * (element.g_pp - element.g_p2);
    set_symmetric(table, s, s, s, s, element.g_ss);
    for (std::size_t p = px; p <= pz; ++p) {
        set_symmetric(table, s, s, p, p, element.g_sp);
        set_symmetric(table, p, s, p, s, element.h_sp);
        set_symmetric(table, p, p, p, p, element.g_pp);
        for (std::size_t q = px; q < p; ++q) {
            set_symmetric(table, p, p, q, q, element.g_p2);
            set_symmetric(table, p, q, p, q, hpp);
        }
    }
    for (const DEntry& entry : d_entries) {
        set_symmetric(table, entry.i, entry.j, entry.k, entry.l,
                      d.one_center_integrals[entry.integral]);
    }
}

} // namespace quelm
