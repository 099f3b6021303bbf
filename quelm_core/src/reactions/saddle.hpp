#pragma once
// Two-ended transition-state search (SADDLE, Dewar, Healy and Stewart, J. Chem. Soc. Faraday
// Trans. 2 80, 227 (1984)): reactant and product are superposed, then, cycle after cycle,
// the lower of the two is pulled a fixed distance towards the other and relaxed at that
// separation, until they nearly meet. The transition state is interpolated between them where
// the gradient vanishes and optionally refined by eigenvector following.
//
// Units: Å, eV, heats and barriers in kcal/mol, gradients kcal/(mol·Å).

#include "opt/eigenvector_following.hpp"
#include "parameters/parameter_model.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quelm {

struct SaddleOptions {
    std::size_t max_cycles = 60;
    double step_size = 0.10;            // separation decrement per cycle, Å
    double convergence_distance = 0.12; // Å; must be positive
    std::size_t inner_max_steps = 12;
    double inner_grad_tol = 3.0; // RMS of the transverse gradient, kcal/(mol·Å)
    bool use_nddo = true;
    bool refine_with_ts = true;
};

struct SaddlePoint {
    std::vector<Coordinate> coordinates; // the structure relaxed in this cycle
    std::size_t cycle = 0;               // 1-based
    std::size_t moving_structure = 0;    // 1 reactant side, 2 product side
    double distance = 0.0;               // separation after the cycle, Å
    double heat_of_formation_kcal = 0.0;
    double total_energy_ev = 0.0;
    double grad_rms = 0.0; // last transverse gradient, kcal/(mol·Å)
};

struct SaddleResult {
    std::optional<TransitionStateResult> ts_refinement;
    std::vector<Coordinate> transition_state_coordinates;
    std::vector<SaddlePoint> trajectory;
    std::size_t num_cycles = 0;
    double final_distance = 0.0;
    double transition_state_energy_ev = 0.0;
    double transition_state_heat_of_formation_kcal = 0.0;
    double barrier_forward_kcal = 0.0; // TS − starting reactant
    double barrier_reverse_kcal = 0.0; // TS − starting product
    bool converged = false;
};

struct DockedStructure {
    std::vector<Coordinate> coordinates; // the mobile set, rotated onto the target
    double distance = 0.0;               // √Σ|t_i − m_i|² after superposition, Å
};

// Horn's quaternion superposition of `mobile` onto `target` (equal atom counts): the proper
// rotation about the centroids that minimises the summed squared deviations; the mobile set
// takes the target's centroid.
DockedStructure dock(std::span<const Coordinate> target, std::span<const Coordinate> mobile);

// The search. Every relaxation SCF starts from the moving side's previous converged density.
SaddleResult run_saddle(std::span<const std::uint8_t> atomic_numbers,
                        std::span<const Coordinate> reactant, std::span<const Coordinate> product,
                        const ParameterModel& model, const SaddleOptions& options);

} // namespace quelm
