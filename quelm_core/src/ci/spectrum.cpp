// Transition dipoles, oscillator strengths and the broadened UV-Vis spectrum.
//
// The dipole operator in the ZDO picture: an electron in χμχν on atom A sits at R_A, plus
// the s–p hybrid dipole of the multipole model (charge separation d1, bohr), which is what
// makes a π → π* or n → π* move on one atom carry intensity. The operator is one-electron
// and Hermitian, so ⟨I|μ|J⟩ between determinants one spin orbital apart is the MO element
// with the determinant phase, the same in both directions.
//
// Bands are Gaussians in wavelength with the FWHM in nm, each scaled so that its integral
// over wavenumber is f / 4.319e-9 L mol⁻¹ cm⁻² (Mulliken: f = 4.319e-9 ∫ε dν̃), which makes
// ε a molar extinction coefficient whatever the width.

#include "ci/spectrum.hpp"

#include "integrals/multipoles.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <limits>

namespace quelm {
namespace {

using Mask = std::uint32_t;

// ΔE (eV) · |μ|² (debye²) → f = (2/3) ΔE |μ|² in atomic units.
constexpr double oscillator_strength_per_ev_debye2 = 0.0037922207906861114;
constexpr double smallest_excitation_ev = 1e-4;
constexpr double smallest_oscillator_strength = 1e-6;
constexpr double fwhm_per_sigma = 2.3548200450309493; // 2√(2 ln 2)
constexpr double band_reach_fwhm = 4.0;               // bands stop 4 FWHM from their centre
constexpr double nm_per_cm_wavenumber = 1e7;          // ν̃ (cm⁻¹) = 1e7 / λ (nm)
constexpr int band_quadrature_intervals = 1024;       // Simpson, even

// The active-MO dipole matrices D^d_pq in e·Å (electron positions; the sign of the
// electron charge drops out of |μ|).
std::array<AlignedMatrix, 3> active_dipole_matrices(const MolecularBatch& batch,
                                                    const ParameterModel& model,
                                                    const AlignedMatrix& c,
                                                    const std::vector<std::size_t>& active) {
    const std::size_t n = active.size();
    std::array<AlignedMatrix, 3> dipole = {AlignedMatrix(n, n), AlignedMatrix(n, n),
                                           AlignedMatrix(n, n)};
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const std::size_t first = batch.orbital_offsets[a];
        const std::size_t n_ao = batch.basis_types[a];
        const Coordinate r = batch.position(a);
        double sp_length = 0.0; // Å
        const auto element = model.get_element(batch.atomic_numbers[a]);
        if (batch.atomic_numbers[a] != 1 && n_ao > 3 && element) {
            sp_length = DerivedMultipoleParams::from_element(*element).d1 * angstrom_per_bohr;
        }
        for (std::size_t p = 0; p < n; ++p) {
            for (std::size_t q = 0; q < n; ++q) {
                double overlap = 0.0;
                for (std::size_t mu = 0; mu < n_ao; ++mu)
                    overlap += c(first + mu, active[p]) * c(first + mu, active[q]);
                for (std::size_t d = 0; d < 3; ++d) {
                    double value = r[d] * overlap;
                    if (sp_length != 0.0) {
                        const std::size_t s = first;
                        const std::size_t pd = first + 1 + d;
                        value += sp_length * (c(s, active[p]) * c(pd, active[q]) +
                                              c(pd, active[p]) * c(s, active[q]));
                    }
                    dipole[d](p, q) += value;
                }
            }
        }
    }
    return dipole;
}

// Area over wavenumber (cm⁻¹) of exp(−(λ − λ₀)²/(2σ²)) on the band's support (Simpson).
double band_wavenumber_area(double centre_nm, double sigma_nm, double lo_nm, double hi_nm) {
    const double h = (hi_nm - lo_nm) / band_quadrature_intervals;
    double sum = 0.0;
    for (int k = 0; k <= band_quadrature_intervals; ++k) {
        const double lambda = lo_nm + k * h;
        const double x = (lambda - centre_nm) / sigma_nm;
        const double value = std::exp(-0.5 * x * x) * nm_per_cm_wavenumber / (lambda * lambda);
        const double weight =
            (k == 0 || k == band_quadrature_intervals) ? 1.0 : (k % 2 ? 4.0 : 2.0);
        sum += weight * value;
    }
    return sum * h / 3.0;
}

} // namespace

void compute_transition_dipoles_and_oscillator_strengths(
    const MolecularBatch& batch, const ParameterModel& model, const AlignedMatrix& eigenvectors,
    const std::vector<std::size_t>& active_orbitals, MeciResult& result) {
    const std::size_t m = result.microstates.size();
    if (m == 0 || result.states.size() != m)
        throw InternalError(size_mismatch("CI states", result.states.size(), m));
    const std::array<AlignedMatrix, 3> dipole =
        active_dipole_matrices(batch, model, eigenvectors, active_orbitals);
    const std::vector<Mask> masks = determinant_masks(result.microstates);

    // v^d = M^d c⁽¹⁾ over the determinant pairs one spin orbital apart, so that each root
    // then costs one dot product per direction.
    const std::vector<double>& ground = result.states[0].coefficients;
    std::array<std::vector<double>, 3> v;
    for (auto& vd : v)
        vd.assign(m, 0.0);
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            const Mask removed = masks[j] & ~masks[i];
            const Mask added = masks[i] & ~masks[j];
            if (std::popcount(removed) != 1 || std::popcount(added) != 1)
                continue;
            const unsigned u = static_cast<unsigned>(std::countr_zero(removed));
            const unsigned w = static_cast<unsigned>(std::countr_zero(added));
            const double sign = single_move_sign(masks[j], u, w);
            for (std::size_t d = 0; d < 3; ++d) {
                const double element = sign * dipole[d](w / 2, u / 2);
                v[d][i] += element * ground[j];
                v[d][j] += element * ground[i];
            }
        }
    }
    for (std::size_t r = 1; r < m; ++r) {
        CiState& state = result.states[r];
        double strength2 = 0.0;
        for (std::size_t d = 0; d < 3; ++d) {
            double mu = 0.0;
            for (std::size_t i = 0; i < m; ++i)
                mu += v[d][i] * state.coefficients[i];
            state.transition_dipole_debye[d] = std::abs(mu) * debye_per_e_angstrom;
            state.polarization_angstrom2[d] = mu * mu;
            strength2 += state.transition_dipole_debye[d] * state.transition_dipole_debye[d];
        }
        state.dipole_strength_debye = std::sqrt(strength2);
        state.oscillator_strength =
            state.excitation_energy_ev > smallest_excitation_ev
                ? state.excitation_energy_ev * oscillator_strength_per_ev_debye2 * strength2
                : 0.0;
    }
}

std::size_t spectrum_point_count(double min_wavelength_nm, double max_wavelength_nm,
                                 double step_nm) {
    const double intervals = std::floor((max_wavelength_nm - min_wavelength_nm) / step_nm);
    if (!(intervals >= 0.0)) // negative or NaN
        return 1;
    if (intervals >= static_cast<double>(std::numeric_limits<std::size_t>::max() - 1))
        return std::numeric_limits<std::size_t>::max();
    return static_cast<std::size_t>(intervals) + 1;
}

UvVisSpectrum simulate_uv_vis_spectrum(const std::vector<CiState>& states, double min_wavelength_nm,
                                       double max_wavelength_nm, double step_nm, double fwhm_nm) {
    if (!(fwhm_nm > 0.0))
        throw InternalError("Spectrum band width must be positive");
    const std::size_t n_points =
        spectrum_point_count(min_wavelength_nm, max_wavelength_nm, step_nm);
    if (n_points > max_spectrum_points)
        throw InternalError("Spectrum grid of " + std::to_string(n_points) + " points");
    UvVisSpectrum spectrum;
    spectrum.wavelengths_nm.resize(n_points);
    spectrum.extinction_coefficients.assign(n_points, 0.0);
    for (std::size_t k = 0; k < n_points; ++k)
        spectrum.wavelengths_nm[k] = static_cast<double>(k) * step_nm + min_wavelength_nm;

    const double sigma = fwhm_nm / fwhm_per_sigma;
    const double reach = band_reach_fwhm * fwhm_nm;
    for (const CiState& state : states) {
        if (!(state.excitation_energy_ev > smallest_excitation_ev && state.wavelength_nm > 0.0 &&
              state.oscillator_strength > smallest_oscillator_strength)) {
            continue;
        }
        const double centre = state.wavelength_nm;
        // Below half its centre a band in wavelength has no meaning (and 1/λ² in the
        // wavenumber measure would grow without bound): the support stops there too.
        const double lo = std::max(centre - reach, 0.5 * centre);
        const double hi = centre + reach;
        const double height = state.oscillator_strength *
                              integrated_absorption_per_oscillator_strength /
                              band_wavenumber_area(centre, sigma, lo, hi);
        for (std::size_t k = 0; k < n_points; ++k) {
            const double lambda = spectrum.wavelengths_nm[k];
            if (lambda < lo || lambda > hi)
                continue;
            const double x = (lambda - centre) / sigma;
            spectrum.extinction_coefficients[k] += height * std::exp(-0.5 * x * x);
        }
    }
    spectrum.lambda_max_nm = min_wavelength_nm;
    for (std::size_t k = 0; k < n_points; ++k) {
        if (spectrum.extinction_coefficients[k] > spectrum.epsilon_max) {
            spectrum.epsilon_max = spectrum.extinction_coefficients[k];
            spectrum.lambda_max_nm = spectrum.wavelengths_nm[k];
        }
    }
    return spectrum;
}

} // namespace quelm
