#pragma once
// The single-point pipeline behind `calculate` and the final single points of the
// geometry drivers: validation, one SCF (no retry ladder), frozen-density gradients,
// the optional dispersion and H4 / H–H corrections, the heat of formation, the ZDO
// charges and dipole, and the Mulliken analysis. Plain C++: the Python layer converts
// the arguments in and the record out.

#include "corrections/dispersion.hpp"
#include "toolkit/choice_name.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quelm {

// The settings of one single point. The defaults are those the geometry drivers use for
// their final single point (they pass only their own use_nddo).
struct SinglePointSettings {
    std::optional<double> cosmo_eps; // solvent dielectric constant; absent: vacuum
    double energy_tol_ev = 1e-7;
    double density_tol = 1e-6;
    double level_shift_ev = 0.0;
    double damping = 0.5;
    std::optional<ChoiceName> dispersion; // resolved after the SCF
    bool h_bonds = false;
    bool use_nddo = true;
    std::size_t max_iter = 60;
};

// Everything `CalculationResult` exposes. Energies in eV, heat in kcal/mol, gradients per
// atom in eV/Å and kcal/(mol·Å), dipole [μx, μy, μz, |μ|] in debye, charges in e.
struct SinglePointResult {
    double total_energy_ev = 0.0; // SCF energy plus the corrections
    double electronic_energy_ev = 0.0;
    double nuclear_repulsion_ev = 0.0;
    double binding_energy_ev = 0.0; // SCF energy minus the isolated atoms (no corrections)
    double heat_of_formation_kcal = 0.0;
    std::vector<Coordinate> gradients_ev_angstrom;
    std::vector<Coordinate> gradients_kcal_mol_angstrom;
    std::array<double, 4> dipole_debye{};
    std::vector<double> atomic_charges; // ZDO charges of the dipole analysis
    std::vector<double> mulliken_charges;
    bool converged = false;
    std::size_t scf_iterations = 0;
    double homo_energy_ev = 0.0;
    double lumo_energy_ev = 0.0;
    double homo_lumo_gap_ev = 0.0;
};

// The dispersion form named by dispersion.upper_case ("DH+", "PM6-DH+", "PM6_DH+" → PM6-DH+;
// "PM7" → PM7; "D3", "D3BJ", "D3-BJ", "PM6-D3", "AM1-D3" → D3-BJ), or the
// "Unknown dispersion model" message naming the upper-cased text.
Result<DispersionModel> resolve_dispersion_model(const ChoiceName& dispersion);

// One single point of the molecule (coordinates in Å) with the named method. Failures
// ordinary input can cause come back as the ValueError message; SCF non-convergence is
// reported through `converged`, not as a failure.
Result<SinglePointResult> run_calculation_internal(std::span<const std::uint8_t> atomic_numbers,
                                                   std::span<const Coordinate> coordinates,
                                                   const ChoiceName& method,
                                                   const SinglePointSettings& settings);

} // namespace quelm
