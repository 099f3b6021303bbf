#pragma once
// The excited-state pipeline behind `meci` and `uv_vis_spectrum`: validation, one SCF,
// the CI over the active orbitals with transition dipoles and, for `meci`, the gradient of
// the target root. Plain C++: the Python layer converts the arguments in and the records out.

#include "ci/meci.hpp"
#include "ci/spectrum.hpp"
#include "toolkit/choice_name.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quelm {

struct MeciSettings {
    std::size_t active_orbitals = 2;
    std::size_t target_root = 1;
    bool use_nddo = true;
};

// Everything `MeciPyResult` exposes.
struct MeciRecord {
    std::vector<CiState> states;
    std::size_t num_microstates = 0;
    std::size_t target_root = 1;
    double ci_energy_correction_ev = 0.0;
    double electronic_energy_ev = 0.0;
    double total_energy_ev = 0.0;
    double heat_of_formation_kcal = 0.0;
    std::vector<Coordinate> gradients_kcal_mol_angstrom;
};

// One MECI run; `with_gradient` false skips the target-root gradient (the spectrum needs
// only the states).
Result<MeciRecord> run_meci_internal(std::span<const std::uint8_t> atomic_numbers,
                                     std::span<const Coordinate> coordinates,
                                     const ChoiceName& method, const MeciSettings& settings,
                                     bool with_gradient);

struct SpectrumGrid {
    double min_wavelength_nm = 100.0;
    double max_wavelength_nm = 800.0;
    double step_nm = 1.0;
    double fwhm_nm = 20.0;
};

// The states of a MECI run (target root 1, no gradient) broadened on the grid.
Result<UvVisSpectrum> run_uv_vis_internal(std::span<const std::uint8_t> atomic_numbers,
                                          std::span<const Coordinate> coordinates,
                                          const ChoiceName& method, std::size_t active_orbitals,
                                          const SpectrumGrid& grid, bool use_nddo);

} // namespace quelm
