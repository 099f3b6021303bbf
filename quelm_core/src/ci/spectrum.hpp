#pragma once
// Electronic absorption from the CI states: transition dipoles and oscillator strengths from
// the ground root, and the spectrum they broaden into, in molar extinction coefficients.

#include "ci/meci.hpp"
#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <vector>

namespace quelm {

// Fills the transition fields of every state of `result` (root 1 keeps zeros): the
// dipole ⟨root 1|μ|root r⟩ in the ZDO point-charge picture (atom positions plus the s–p
// atomic dipole), its components in debye, their squares in e²·Å², and
// f = (2/3) ΔE |μ|² in atomic units.
void compute_transition_dipoles_and_oscillator_strengths(
    const MolecularBatch& batch, const ParameterModel& model, const AlignedMatrix& eigenvectors,
    const std::vector<std::size_t>& active_orbitals, MeciResult& result);

struct UvVisSpectrum {
    std::vector<double> wavelengths_nm;          // ascending grid
    std::vector<double> extinction_coefficients; // L/(mol·cm)
    double lambda_max_nm = 0.0;
    double epsilon_max = 0.0;
};

// Integrated absorption of one unit of oscillator strength over wavenumber:
// ∫ε dν̃ = f / 4.319e-9 in L mol⁻¹ cm⁻² (Mulliken's relation).
inline constexpr double integrated_absorption_per_oscillator_strength = 1.0 / 4.319e-9;

// Largest grid `simulate_uv_vis_spectrum` builds.
inline constexpr std::size_t max_spectrum_points = 10'000'000;

// Number of grid points λ_k = min + k·step (k = 0 … ⌊(max − min)/step⌋) ending at or below
// max; 1 when max < min or step < 0. The caller guarantees step > 0 or a single point.
std::size_t spectrum_point_count(double min_wavelength_nm, double max_wavelength_nm,
                                 double step_nm);

// Sums one Gaussian band per state with ΔE > 1e-4 eV, λ > 0 and f > 1e-6, of FWHM
// `fwhm_nm` in wavelength, each normalised so that its area over wavenumber is
// f / 4.319e-9 L mol⁻¹ cm⁻²; bands reach 4 FWHM either side. Requires fwhm_nm > 0 and a
// point count of at most max_spectrum_points.
UvVisSpectrum simulate_uv_vis_spectrum(const std::vector<CiState>& states, double min_wavelength_nm,
                                       double max_wavelength_nm, double step_nm, double fwhm_nm);

} // namespace quelm
