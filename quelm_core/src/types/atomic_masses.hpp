#pragma once
// Standard average atomic weights in amu (not isotopic masses), by atomic number.

#include <cstdint>

namespace quelm {

// Mass of element z for 1 ≤ z ≤ 107 (98 and 102 carry the masses of the PM7
// pseudo-atoms); 0.0 for every other z.
double standard_atomic_mass(std::uint8_t z);

} // namespace quelm
