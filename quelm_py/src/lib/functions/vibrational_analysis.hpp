#pragma once
// The pipeline behind `frequencies`: validation, the Hessian with its normal modes and the
// thermochemistry, as a plain record for the result classes. Plain C++: the Python layer
// converts the arguments in and the record out.

#include "toolkit/choice_name.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"
#include "vibrations/normal_modes.hpp"
#include "vibrations/thermochemistry.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quelm {

struct FrequencySettings {
    double temperature_k = 298.15;
    double pressure_atm = 1.0;
    double rotational_symmetry_number = 1.0;
    double step_size_angstrom = 0.005;
    bool project_external = true;
    bool use_nddo = false;
    std::optional<std::vector<double>> custom_masses;
};

// Everything VibrationalResultPy exposes.
struct VibrationalRecord {
    std::vector<double> all_frequencies_cm1;
    std::vector<double> vibrational_frequencies_cm1;
    std::vector<NormalMode> normal_modes;
    double zpve_kcal_mol = 0.0;
    Thermodynamics thermo;
    bool is_transition_state = false;
    AlignedMatrix cartesian_hessian; // kcal/(mol·Å²)
};

// A first vibrational frequency below this (cm⁻¹) marks a transition state.
inline constexpr double transition_state_frequency_cm1 = -10.0;

// Validates (method first, then the molecule, the step and the masses) and runs the
// vibrational analysis. Validation failures come back as the ValueError message; the
// engine's own checks (base SCF, temperature) throw InternalError.
Result<VibrationalRecord> run_frequencies(std::span<const std::uint8_t> atomic_numbers,
                                          std::span<const Coordinate> coordinates,
                                          const ChoiceName& method,
                                          const FrequencySettings& settings);

} // namespace quelm
