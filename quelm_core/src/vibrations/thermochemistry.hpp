#pragma once
// Ideal-gas, rigid-rotor, harmonic-oscillator thermochemistry of one molecule.

#include "types/molecular_batch.hpp"

#include <span>

namespace quelm {

struct Thermodynamics {
    double temperature_k = 0.0;
    double pressure_atm = 0.0;
    double zpve_kcal_mol = 0.0;
    double e_vib_cal_mol = 0.0; // thermal part only, without the zero-point energy
    double e_rot_cal_mol = 0.0;
    double e_trans_cal_mol = 0.0;
    double enthalpy_thermal_cal_mol = 0.0; // H(T) − H(0) = E_vib + E_rot + E_trans + RT
    double cv_vib_cal_k_mol = 0.0;
    double cv_rot_cal_k_mol = 0.0;
    double cp_trans_cal_k_mol = 0.0;
    double cp_total_cal_k_mol = 0.0;
    double entropy_vib_cal_k_mol = 0.0;
    double entropy_rot_cal_k_mol = 0.0;
    double entropy_trans_cal_k_mol = 0.0;
    double entropy_total_cal_k_mol = 0.0;
    double gibbs_correction_kcal_mol = 0.0; // ZPVE + H_thermal − T·S, kcal/mol
};

// Zero-point energy (kcal/mol) of the real (positive) frequencies, cm⁻¹.
double compute_zpve_kcal_mol(std::span<const double> vibrational_frequencies_cm1);

// Thermochemistry at temperature_k (> 0) and pressure_atm from the vibrational frequencies
// (cm⁻¹; modes at or below 10 cm⁻¹ and imaginary ones add no thermal terms), the geometry
// and the masses (amu, one per atom) of the batch, and the rotational symmetry number.
Thermodynamics compute_thermodynamics(const MolecularBatch& batch,
                                      std::span<const double> masses_amu,
                                      std::span<const double> vibrational_frequencies_cm1,
                                      double temperature_k, double pressure_atm,
                                      double rotational_symmetry_number);

} // namespace quelm
