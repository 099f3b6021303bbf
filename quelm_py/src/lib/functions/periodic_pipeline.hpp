#pragma once
// The periodic pipeline behind `pbc`: validation of the cell and its molecule, the unit
// cell, and one Bloch SCF with its bands and density of states. Plain C++: the Python
// layer converts the arguments in and the record out.

#include "pbc/bloch_scf.hpp"
#include "toolkit/choice_name.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

namespace quelm {

// The settings `pbc` takes from its caller; the other PbcOptions fields keep their defaults.
struct PeriodicSettings {
    LatticeCounts mers{5, 1, 1};
    LatticeCounts k_grid{16, 1, 1};
    bool use_nddo = true;
    std::size_t max_iter = 100;
    std::size_t band_points = 40;
};

// One periodic calculation of the home cell (coordinates and translation vectors in Å) with
// the named method. Failures ordinary input can cause come back as the ValueError message;
// SCF non-convergence is reported through `converged`.
Result<PbcResult> run_periodic_calculation(std::span<const std::uint8_t> atomic_numbers,
                                           std::span<const Coordinate> coordinates,
                                           std::span<const Coordinate> translation_vectors,
                                           const ChoiceName& method,
                                           const PeriodicSettings& settings);

} // namespace quelm
