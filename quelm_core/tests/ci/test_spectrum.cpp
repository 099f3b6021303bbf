// The broadened spectrum: band areas over wavenumber (Mulliken's f = 4.319e-9 ∫ε dν̃), the
// grid and the peak search.

#include "ci/spectrum.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

CiState band(double wavelength_nm, double f) {
    CiState s;
    s.excitation_energy_ev = 1239.841984 / wavelength_nm;
    s.wavelength_nm = wavelength_nm;
    s.oscillator_strength = f;
    return s;
}

// ∫ε dν̃ by the trapezoid rule over the grid, ν̃ = 1e7/λ (cm⁻¹).
double wavenumber_area(const UvVisSpectrum& spectrum) {
    double area = 0.0;
    for (std::size_t k = 1; k < spectrum.wavelengths_nm.size(); ++k) {
        const double dnu = 1e7 / spectrum.wavelengths_nm[k - 1] - 1e7 / spectrum.wavelengths_nm[k];
        area += 0.5 * dnu *
                (spectrum.extinction_coefficients[k - 1] + spectrum.extinction_coefficients[k]);
    }
    return area;
}

TEST(UvVisSpectrum, EachBandIntegratesToItsOscillatorStrengthOverWavenumber) {
    struct Case {
        const char* name;
        std::vector<CiState> states;
        double fwhm_nm;
        double expected_f_sum;
    };
    const Case cases[] = {
        {"one band", {band(250.0, 0.8)}, 20.0, 0.8},
        {"narrow band", {band(180.0, 0.05)}, 2.0, 0.05},
        {"broad bands", {band(200.0, 0.3), band(420.0, 1.1)}, 60.0, 1.4},
        // Root-1-like, dark and too-small states contribute nothing.
        {"skipped states", {CiState{}, band(300.0, 1e-7), band(300.0, 0.2)}, 20.0, 0.2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UvVisSpectrum s = simulate_uv_vis_spectrum(c.states, 20.0, 1200.0, 0.01, c.fwhm_nm);
        EXPECT_NEAR(wavenumber_area(s) * 4.319e-9 / c.expected_f_sum, 1.0, 1e-6);
    }
}

TEST(UvVisSpectrum, PeakHeightIsAMolarExtinctionCoefficient) {
    // f = 1 at 250 nm, 20 nm FWHM (about 3200 cm⁻¹ wide there): a Gaussian in wavenumber of
    // that width peaks near f / (4.319e-9 · 1.0645 · 3200) ≈ 6.8e4 L mol⁻¹ cm⁻¹.
    const UvVisSpectrum s = simulate_uv_vis_spectrum({band(250.0, 1.0)}, 100.0, 800.0, 1.0, 20.0);
    const double fwhm_cm1 = 1e7 / 240.0 - 1e7 / 260.0;
    EXPECT_NEAR(s.epsilon_max / (1.0 / (4.319e-9 * 1.0644670194 * fwhm_cm1)), 1.0, 0.01);
    EXPECT_EQ(s.lambda_max_nm, 250.0);
}

TEST(UvVisSpectrum, GridAndEmptySpectrum) {
    const UvVisSpectrum s = simulate_uv_vis_spectrum({}, 100.0, 800.0, 1.0, 20.0);
    ASSERT_EQ(s.wavelengths_nm.size(), 701u);
    EXPECT_EQ(s.wavelengths_nm.front(), 100.0);
    EXPECT_EQ(s.wavelengths_nm.back(), 800.0);
    EXPECT_EQ(s.epsilon_max, 0.0);
    EXPECT_EQ(s.lambda_max_nm, 100.0);
    EXPECT_EQ(spectrum_point_count(100.0, 800.5, 1.0), 701u); // ends at or below the maximum
    EXPECT_EQ(spectrum_point_count(800.0, 100.0, 1.0), 1u);
    EXPECT_EQ(spectrum_point_count(100.0, NAN, 1.0), 1u);
    // A band centred beyond the grid still reaches the points within 4 FWHM of it.
    const UvVisSpectrum edge =
        simulate_uv_vis_spectrum({band(830.0, 0.5)}, 100.0, 800.0, 1.0, 20.0);
    EXPECT_GT(edge.extinction_coefficients.back(), 0.0);
    EXPECT_EQ(edge.lambda_max_nm, 800.0);
    EXPECT_EQ(edge.extinction_coefficients[700 - 51], 0.0); // 749 nm: 81 nm away
}

} // namespace
} // namespace quelm
