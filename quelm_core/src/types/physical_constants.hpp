#pragma once
// Physical constants and unit ratios used throughout the engine.

namespace quelm {

inline constexpr double e_squared_ev_angstrom = 14.399645478456; // e²/(4πε₀), eV·Å
inline constexpr double angstrom_per_bohr = 0.529177210903;
inline constexpr double ev_per_hartree = 27.211386245988;
inline constexpr double kcal_mol_per_ev = 23.06054783061903;
inline constexpr double debye_per_e_angstrom = 4.80320425;

} // namespace quelm
