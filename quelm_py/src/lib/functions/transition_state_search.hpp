#pragma once
// The pipeline behind `transition_state`: validation, the eigenvector-following search and
// the full single point at the final geometry, as a plain record for the result class.

#include "functions/single_point.hpp"
#include "toolkit/choice_name.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quelm {

struct TransitionStateSettings {
    std::size_t max_cycles = 100;
    double grad_rms_tol = 0.1; // kcal/(mol·Å)
    double grad_max_tol = 0.2; // kcal/(mol·Å)
    double trust_radius = 0.1; // Å
    std::optional<std::size_t> target_mode;
    bool use_nddo = false;
};

// Everything TransitionStatePyResult exposes.
struct TransitionStateRecord {
    bool converged = false;
    std::size_t cycles = 0;
    double final_energy_ev = 0.0;              // the search's own last SCF
    double final_heat_of_formation_kcal = 0.0; // from the final single point
    double initial_grad_rms = 0.0;
    double final_grad_rms = 0.0;
    double final_grad_max = 0.0;
    double ts_mode_eigenvalue = 0.0; // kcal/(mol·Å²)
    std::size_t ts_mode_index = 0;
    std::vector<Coordinate> coordinates; // Å
    SinglePointResult final_result;
};

// Validates (molecule, method, elements, electron count, then target_mode below 3N), runs the
// search and the final single point. Failures come back as the ValueError message.
Result<TransitionStateRecord> run_transition_state(std::span<const std::uint8_t> atomic_numbers,
                                                   std::span<const Coordinate> coordinates,
                                                   const ChoiceName& method,
                                                   const TransitionStateSettings& settings);

} // namespace quelm
