#include "types/atomic_masses.hpp"

#include <array>
#include <vector>

namespace quelm {

namespace {

// Entries 1 to 107. Entry 98 (5e-05) and entry 102 (hydrogen's weight) belong to the
// pseudo-atoms of the PM7 parameter set; 93–97, 99–101 and 103–107 carry no mass.
constexpr std::array<double, 107> masses_amu = {
    1.0079,   4.0026,   6.94,     9.01218, 10.81,    12.011, 14.0067,  15.9994, 18.9984,  20.179,
    22.98977, 24.305,   26.98154, 28.0855, 30.97376, 32.06,  35.453,   39.948,  39.0983,  40.08,
    44.9559,  47.9,     50.9415,  51.996,  54.938,   55.847, 58.9332,  58.71,   63.546,   65.38,
    69.735,   72.59,    74.9216,  78.96,   79.904,   83.8,   85.4678,  87.62,   88.9059,  91.22,
    92.9064,  95.94,    98.9062,  101.07,  102.9055, 106.4,  107.868,  112.41,  114.82,   118.69,
    121.75,   127.6,    126.9045, 131.3,   132.9054, 137.33, 138.906,  140.116, 140.9077, 144.24,
    145.0,    150.36,   151.964,  157.25,  158.9253, 162.5,  164.9303, 167.26,  168.9342, 173.04,
    174.967,  178.49,   180.9479, 183.85,  186.207,  190.2,  192.22,   195.09,  196.9665, 200.59,
    204.37,   207.2,    208.9804, 209.0,   210.0,    222.0,  223.0,    226.0,   227.0,    232.0381,
    231.0359, 238.0289, 0.0,      0.0,     0.0,      0.0,    0.0,      5e-05,   0.0,      0.0,
    0.0,      1.0079,   0.0,      0.0,     0.0,      0.0,    0.0,
};

} // namespace

double standard_atomic_mass(std::uint8_t z) {
    return z >= 1 && z <= masses_amu.size() ? masses_amu[z - 1] : 0.0;
}

std::optional<std::size_t> first_massless_atom(std::span<const std::uint8_t> atomic_numbers) {
    for (std::size_t i = 0; i < atomic_numbers.size(); ++i) {
        if (!(standard_atomic_mass(atomic_numbers[i]) > 0.0))
            return i;
    }
    return std::nullopt;
}

Coordinate centre_of_mass(const MolecularBatch& batch) {
    std::vector<double> masses(batch.n_atoms);
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom)
        masses[atom] = standard_atomic_mass(batch.atomic_numbers[atom]);
    return centre_of_mass(batch, masses);
}

Coordinate centre_of_mass(const MolecularBatch& batch, std::span<const double> masses_amu) {
    double total_mass = 0.0;
    Coordinate weighted{0.0, 0.0, 0.0};
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const double mass = masses_amu[atom];
        total_mass += mass;
        weighted[0] += mass * batch.coords_x[atom];
        weighted[1] += mass * batch.coords_y[atom];
        weighted[2] += mass * batch.coords_z[atom];
    }
    if (total_mass <= 0.0)
        return {0.0, 0.0, 0.0};
    return {weighted[0] / total_mass, weighted[1] / total_mass, weighted[2] / total_mass};
}

} // namespace quelm
