#pragma once
// Derived one-centre data of an element with d orbitals (MNDO/d scheme): additive
// terms and charge separations of its multipoles (bohr) and its 52 one-centre
// two-electron integrals (eV). Produced by compute_d_element_params.

#include <array>
#include <cstdint>

namespace quelm {

struct DElementParameters {
    // 0 unused; 1 ss monopole; 2 s–p dipole; 3 p–p quadrupole; 4 s–d quadrupole;
    // 5 p–d dipole; 6 d–d quadrupole; 7 p–p monopole; 8 d–d monopole; 9 the core.
    std::array<double, 10> additive_terms{};
    // Entry 0 unused; entries 1–52 the one-centre integrals of the d table.
    std::array<double, 53> one_center_integrals{};
    // 0 and 1 unused; 2 s–p dipole; 3 p–p quadrupole; 4 s–d quadrupole; 5 p–d dipole;
    // 6 d–d quadrupole.
    std::array<double, 7> charge_separations{};
    std::uint8_t atomic_number = 0;
};

} // namespace quelm
