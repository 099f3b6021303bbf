#pragma once
// Empirical correction of semi-empirical polarizabilities. A minimal valence basis misses
// most of the diffuse response, so raw finite-field values fall well short of experiment;
// a per-method linear map with additive atomic increments, fitted to experimental
// volumes, brings them back.

#include <cstdint>
#include <span>
#include <string_view>

namespace quelm {

// Polarizability volume: Å³ per bohr³ (a₀³).
inline constexpr double angstrom3_per_bohr3 = 0.1481847114721628;

// f(α) = (A·k·α + B + Σ_atoms c_Z)/k with k = Å³ per bohr³ and the slope A, offset B (Å³)
// and increments c_Z (Å³) of the named method ("AM1", "PM3", "PM6", "PM7", "MNDO";
// upper case). α in and out in bohr³; returned unchanged for any other method, whose
// slope is 0.
double compute_pol_vol(std::string_view method_name, std::span<const std::uint8_t> atomic_numbers,
                       double alpha_au);

} // namespace quelm
