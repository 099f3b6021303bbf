// Statistical thermodynamics of an ideal gas of rigid rotors with harmonic vibrations.
//
// Vibrations: Einstein functions of x = hcν/kT (ZPE kept apart). Rotation: the classical
// high-temperature partition function, q = √π/σ · sqrt(T³/(θ_A θ_B θ_C)) with θ = h²/(8π²Ik)
// for a non-linear molecule, T/(σθ) for a linear one. Translation: Sackur–Tetrode at pressure
// P. SI constants are those of the 2019 redefinition (h, k exact) with CODATA 2018's
// atomic mass unit.

#include "vibrations/thermochemistry.hpp"

#include "scf/eigensolver.hpp"
#include "types/aligned_storage.hpp"
#include "types/atomic_masses.hpp"
#include "vibrations/normal_modes.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {

namespace {

constexpr double gas_constant_cal = 1.987204258640832;          // R, cal/(mol·K)
constexpr double kcal_mol_per_wavenumber = 0.00285914370690045; // h·c·N_A
constexpr double kelvin_per_wavenumber = 1.43877687750393;      // h·c/k
constexpr double planck_j_s = 6.62607015e-34;
constexpr double boltzmann_j_k = 1.380649e-23;
constexpr double kg_per_amu = 1.6605390666e-27;
constexpr double kg_m2_per_amu_angstrom2 = 1.6605390666e-47;
constexpr double pascal_per_atm = 101325.0;
constexpr double two_pi = 6.283185307179586;
constexpr double eight_pi_squared = 78.95683520871486;
constexpr double planck_squared = 4.390480563272102e-67;             // h², J²·s²
constexpr double planck_squared_over_8pi2_k = 4.027532408937818e-46; // h²/(8π²k), K·kg·m²
constexpr double sqrt_pi = 1.7724538509055159;
// Frequencies at or below this (cm⁻¹) are too soft for the harmonic thermal terms.
constexpr double lowest_thermal_wavenumber = 10.0;

struct RigidRotor {
    double energy = 0.0, heat_capacity = 0.0, entropy = 0.0;
};

RigidRotor rotational_terms(const MolecularBatch& batch, std::span<const double> masses, double t,
                            double sigma) {
    RigidRotor rotor;
    if (batch.n_atoms <= 1)
        return rotor;
    const Coordinate centre = centre_of_mass(batch, masses);
    AlignedMatrix inertia(3, 3);
    double sum_r2 = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const Coordinate r = batch.position(a);
        const double x = r[0] - centre[0], y = r[1] - centre[1], z = r[2] - centre[2];
        const double m = masses[a];
        sum_r2 += m * (x * x + y * y + z * z);
        inertia(0, 0) += m * (y * y + z * z);
        inertia(1, 1) += m * (x * x + z * z);
        inertia(2, 2) += m * (x * x + y * y);
        inertia(0, 1) -= m * x * y;
        inertia(0, 2) -= m * x * z;
        inertia(1, 2) -= m * y * z;
    }
    inertia(1, 0) = inertia(0, 1);
    inertia(2, 0) = inertia(0, 2);
    inertia(2, 1) = inertia(1, 2);

    const double r = gas_constant_cal;
    if (is_linear_molecule(batch)) {
        // Σ m|r − R|² is the moment about any axis through the centre perpendicular to the line.
        const double theta =
            planck_squared / (sum_r2 * kg_m2_per_amu_angstrom2 * eight_pi_squared * boltzmann_j_k);
        rotor.entropy = std::max(0.0, r * (std::log(t / (sigma * theta)) + 1.0));
        rotor.heat_capacity = r;
        rotor.energy = r * t;
        return rotor;
    }
    AlignedVec64 moments(3);
    AlignedMatrix axes(3, 3);
    diagonalize_symmetric(inertia, moments, axes);
    double theta_product = 1.0;
    for (std::size_t k = 0; k < 3; ++k) {
        theta_product *=
            planck_squared_over_8pi2_k / (std::max(moments[k], 1e-6) * kg_m2_per_amu_angstrom2);
    }
    const double q = (sqrt_pi / sigma) * std::sqrt(t * t * t / theta_product);
    rotor.entropy = std::max(0.0, r * (std::log(std::max(q, 1e-10)) + 1.5));
    rotor.heat_capacity = 1.5 * r;
    rotor.energy = 1.5 * r * t;
    return rotor;
}

} // namespace

double compute_zpve_kcal_mol(std::span<const double> vibrational_frequencies_cm1) {
    double zpve = 0.0;
    for (const double nu : vibrational_frequencies_cm1) {
        if (nu > 0.0)
            zpve += 0.5 * nu * kcal_mol_per_wavenumber;
    }
    return zpve;
}

Thermodynamics compute_thermodynamics(const MolecularBatch& batch,
                                      std::span<const double> masses_amu,
                                      std::span<const double> vibrational_frequencies_cm1,
                                      double temperature_k, double pressure_atm,
                                      double rotational_symmetry_number) {
    const double t = temperature_k;
    const double r = gas_constant_cal;
    Thermodynamics thermo;
    thermo.temperature_k = t;
    thermo.pressure_atm = pressure_atm;
    thermo.zpve_kcal_mol = compute_zpve_kcal_mol(vibrational_frequencies_cm1);

    for (const double nu : vibrational_frequencies_cm1) {
        if (!(nu > lowest_thermal_wavenumber))
            continue;
        const double theta = kelvin_per_wavenumber * nu;
        const double x = theta / t;
        if (x > 100.0) // e^−x below 1e-43: no thermal population
            continue;
        const double ex = std::exp(x);
        const double em1 = ex - 1.0;
        thermo.e_vib_cal_mol += r * theta / em1;
        thermo.cv_vib_cal_k_mol += r * x * x * ex / (em1 * em1);
        thermo.entropy_vib_cal_k_mol += r * (x / em1 - std::log(1.0 - std::exp(-x)));
    }

    const RigidRotor rotor = rotational_terms(batch, masses_amu, t, rotational_symmetry_number);
    thermo.e_rot_cal_mol = rotor.energy;
    thermo.cv_rot_cal_k_mol = rotor.heat_capacity;
    thermo.entropy_rot_cal_k_mol = rotor.entropy;

    double total_mass = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        total_mass += masses_amu[a];
    const double thermal_wavelength =
        planck_j_s / std::sqrt(total_mass * kg_per_amu * two_pi * boltzmann_j_k * t);
    const double q_trans = boltzmann_j_k * t / (pressure_atm * pascal_per_atm) /
                           (thermal_wavelength * thermal_wavelength * thermal_wavelength);
    thermo.entropy_trans_cal_k_mol = r * (std::log(std::max(q_trans, 1e-10)) + 2.5);
    thermo.e_trans_cal_mol = 1.5 * r * t;
    thermo.cp_trans_cal_k_mol = 2.5 * r;

    thermo.enthalpy_thermal_cal_mol =
        thermo.e_vib_cal_mol + thermo.e_rot_cal_mol + thermo.e_trans_cal_mol + r * t;
    thermo.cp_total_cal_k_mol =
        thermo.cv_vib_cal_k_mol + thermo.cv_rot_cal_k_mol + thermo.cp_trans_cal_k_mol;
    thermo.entropy_total_cal_k_mol = thermo.entropy_vib_cal_k_mol + thermo.entropy_rot_cal_k_mol +
                                     thermo.entropy_trans_cal_k_mol;
    thermo.gibbs_correction_kcal_mol =
        (thermo.zpve_kcal_mol * 1000.0 + thermo.enthalpy_thermal_cal_mol) / 1000.0 -
        t * thermo.entropy_total_cal_k_mol / 1000.0;
    return thermo;
}

} // namespace quelm
