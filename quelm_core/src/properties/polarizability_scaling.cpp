// Per-method polarizability scaling: slope, offset and atomic increments by element.

#include "properties/polarizability_scaling.hpp"

#include <array>

namespace quelm {

namespace {

// A slope this small means the method has no fitted correction.
constexpr double smallest_slope = 1e-4;

struct MethodScaling {
    std::string_view name;
    double slope;
    double offset_angstrom3;
    // Increments (Å³) for H, C, N, O, F, Si, P, S, Cl, Br, I; other elements add nothing.
    std::array<double, 11> increments_angstrom3;
};

constexpr std::array<std::uint8_t, 11> increment_elements = {1, 6, 7, 8, 9, 14, 15, 16, 17, 35, 53};

constexpr MethodScaling method_scalings[] = {
    {"AM1",
     0.54687,
     0.321973,
     {0.171989, 0.847295, 0.683813, 0.324589, 0.128674, 0.0, 0.0, 0.0, 1.66355, 2.59419, 4.55238}},
    {"PM3",
     0.246502,
     0.0,
     {0.178581, 1.24273, 0.92019, 0.434605, 0.235893, 0.0, 0.0, 0.0, 1.8556, 2.84542, 4.79973}},
    {"PM6",
     0.791396,
     0.373638,
     {0.262114, 0.485071, 0.204743, 0.154301, 0.199611, 1.88611, 2.31461, 1.45331, 1.23621, 2.14242,
      3.82316}},
    {"PM7",
     0.445109,
     0.351109,
     {0.229769, 0.935524, 0.551046, 0.312052, 0.121273, 3.45304, 2.85841, 1.72642, 1.61718, 2.64509,
      4.40052}},
    {"MNDO",
     0.565117,
     0.285962,
     {0.183644, 0.821572, 0.703162, 0.361521, 0.20001, 0.0, 0.0, 0.0, 1.66187, 2.65324, 4.59733}},
};

double atomic_increment(const MethodScaling& scaling, std::uint8_t z) {
    for (std::size_t k = 0; k < increment_elements.size(); ++k) {
        if (increment_elements[k] == z)
            return scaling.increments_angstrom3[k];
    }
    return 0.0;
}

} // namespace

double compute_pol_vol(std::string_view method_name, std::span<const std::uint8_t> atomic_numbers,
                       double alpha_au) {
    constexpr double k = angstrom3_per_bohr3;
    for (const MethodScaling& scaling : method_scalings) {
        if (scaling.name != method_name)
            continue;
        if (scaling.slope <= smallest_slope)
            return alpha_au;
        double volume = scaling.slope * k * alpha_au + scaling.offset_angstrom3;
        for (const std::uint8_t z : atomic_numbers)
            volume += atomic_increment(scaling, z);
        return volume / k;
    }
    return alpha_au;
}

} // namespace quelm
