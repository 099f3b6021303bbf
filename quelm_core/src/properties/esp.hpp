#pragma once
// Merz–Singh–Kollman electrostatic-potential (ESP) charges: atom-centred point charges
// fitted by least squares to the molecular electrostatic potential on shells of points
// around the van der Waals envelope, with the total charge held by a Lagrange multiplier
// (Singh & Kollman, J. Comput. Chem. 5, 129 (1984); Besler, Merz & Kollman, J. Comput.
// Chem. 11, 431 (1990)).

#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quelm {

struct EspOptions {
    // Shell radii as multiples of each atom's van der Waals radius.
    std::vector<double> shell_scales{1.4, 1.6, 1.8, 2.0};
    std::size_t points_per_shell = 64; // points of one shell around one atom
    double net_charge = 0.0;           // e; the fitted charges sum to it
};

struct EspResult {
    std::vector<double> charges;     // e, input atom order
    std::array<double, 3> dipole{};  // Debye, about the coordinate origin
    double dipole_magnitude = 0.0;   // Debye
    double rms_error = 0.0;          // eV (potential energy of a unit charge)
    std::size_t num_grid_points = 0; // points kept outside every van der Waals sphere
};

// Van der Waals radius (Å) of element z used to build the shells (1.8 Å where no value is
// tabulated).
double esp_van_der_waals_radius(std::uint8_t z);

// The sampling points (Å), in fit order: for each atom, each scale, each direction of a
// golden-angle (Fibonacci) spiral of points_per_shell unit vectors, the point
// R_a + scale·r_a·u, kept unless it lies inside another atom's van der Waals sphere.
// The fit itself streams the same points without storing them; this is for inspection.
std::vector<Coordinate> build_esp_grid(const MolecularBatch& batch,
                                       std::span<const double> shell_scales,
                                       std::size_t points_per_shell);

// Fits the charges to the potential of the density's atomic point charges and s–p point
// dipoles. `density` is the converged SCF density (n_orbitals square, orbital order of the
// batch). Runs no SCF. Memory does not grow with the number of points.
Result<EspResult> compute_esp_charges(const MolecularBatch& batch, const ParameterModel& model,
                                      const AlignedMatrix& density, const EspOptions& options);

} // namespace quelm
