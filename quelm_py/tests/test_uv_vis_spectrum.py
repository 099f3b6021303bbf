"""uv_vis_spectrum: grid, band areas, chemically sensible spectra and argument guards."""

import pytest
from conftest import FORMALDEHYDE, H2, benzene, polyene

import quelm_py

MULLIKEN = 4.319e-9  # f = 4.319e-9 ∫ε dν̃ (L mol⁻¹ cm⁻²)


def test_default_grid():
    spectrum = quelm_py.uv_vis_spectrum(*FORMALDEHYDE)
    assert len(spectrum.wavelengths_nm) == 701
    assert spectrum.wavelengths_nm[0] == 100.0 and spectrum.wavelengths_nm[-1] == 800.0
    assert len(spectrum.extinction_coefficients) == 701
    k = spectrum.extinction_coefficients.index(spectrum.epsilon_max)
    assert spectrum.lambda_max_nm == spectrum.wavelengths_nm[k]


def test_band_areas_over_wavenumber_sum_the_oscillator_strengths():
    z, xyz = polyene(2)
    states = quelm_py.meci(z, xyz, active_orbitals=4).states
    bright = [s for s in states if s.oscillator_strength > 1e-6 and s.excitation_energy_ev > 1e-4]
    assert bright
    spectrum = quelm_py.uv_vis_spectrum(
        z, xyz, active_orbitals=4, min_wavelength_nm=20.0, max_wavelength_nm=1500.0, step_nm=0.01
    )
    lam, eps = spectrum.wavelengths_nm, spectrum.extinction_coefficients
    area = sum(
        0.5 * (1e7 / lam[k - 1] - 1e7 / lam[k]) * (eps[k - 1] + eps[k]) for k in range(1, len(lam))
    )
    assert area * MULLIKEN == pytest.approx(sum(s.oscillator_strength for s in bright), rel=1e-6)


def first_bright_singlet(states):
    return next(
        s for s in states if s.multiplicity == 1 and s.root > 1 and s.oscillator_strength > 0.01
    )


@pytest.mark.parametrize("method", ["PM6", "AM1"])
def test_conjugation_moves_the_first_bright_band_to_longer_wavelength(method):
    wavelengths = []
    for n in (1, 2, 3):
        states = quelm_py.meci(*polyene(n), method=method, active_orbitals=4).states
        wavelengths.append(first_bright_singlet(states).wavelength_nm)
    assert wavelengths[0] < wavelengths[1] < wavelengths[2]
    # The polyene bands show in the spectrum: its peak follows the first bright state.
    peak = quelm_py.uv_vis_spectrum(*polyene(3), method=method, active_orbitals=4).lambda_max_nm
    assert peak == pytest.approx(wavelengths[2], abs=15.0)


@pytest.mark.parametrize("method", ["PM6", "AM1"])
def test_lowest_benzene_singlet_is_dark(method):
    states = quelm_py.meci(*benzene(), method=method, active_orbitals=4).states
    # Exact ties between singlets and triplets (D6h) still give states of definite spin.
    for s in states:
        assert s.multiplicity % 2 == 1
        assert s.s_squared == pytest.approx((s.multiplicity**2 - 1) / 4, abs=1e-6)
    singlets = [s for s in states if s.multiplicity == 1 and s.root > 1]
    assert singlets[0].oscillator_strength < 1e-6
    assert first_bright_singlet(states).excitation_energy_ev > singlets[0].excitation_energy_ev


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"fwhm_nm": 0.0}, "fwhm_nm must be positive"),
        ({"fwhm_nm": -5.0}, "fwhm_nm must be positive"),
        ({"fwhm_nm": float("nan")}, "argument 'fwhm_nm': must be a finite number, not nan"),
        ({"step_nm": 0.0}, "step_nm must be positive"),
        ({"step_nm": -1.0}, "step_nm must be positive"),
        (
            {"max_wavelength_nm": 1e9, "step_nm": 1e-3},
            "Wavelength grid would have more than 10000000 points",
        ),
        (
            {"active_orbitals": 12},
            "active_orbitals must be at most 8 (the CI matrix grows as the square of the "
            "microstate count)",
        ),
    ],
)
def test_guards_against_division_by_zero_and_unbounded_grids(kwargs, message):
    with pytest.raises(ValueError) as err:
        quelm_py.uv_vis_spectrum(*H2, **kwargs)
    assert str(err.value) == message


@pytest.mark.parametrize(
    "args, message",
    [(([], []), "atomic_numbers cannot be empty"), (([1], H2[1]), "Coordinate count mismatch")],
)
def test_molecule_errors_of_the_meci_pipeline(args, message):
    with pytest.raises(ValueError) as err:
        quelm_py.uv_vis_spectrum(*args)
    assert str(err.value) == message


def test_single_point_grid_when_the_maximum_is_below_the_minimum():
    spectrum = quelm_py.uv_vis_spectrum(*H2, min_wavelength_nm=300.0, max_wavelength_nm=200.0)
    assert spectrum.wavelengths_nm == [300.0]
    assert quelm_py.UvVisSpectrumPy.__doc__ == "Simulated UV-Vis spectrum exposed to Python."
