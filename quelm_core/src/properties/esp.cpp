// Merz–Singh–Kollman ESP charges.
//
// The reference potential is that of the NDDO charge model itself, not an integral over
// the density: each atom is a point charge q_a = Z_core − Σ P_μμ plus, on atoms with p
// orbitals, a point dipole from its s–p density elements (the distribution χs·χp is a
// dipole of length D1, so the electrons are displaced by 2·D1·P(s, p) along each p axis).
// A point at d from the atom (bohr) then feels q/|d| − (μ·d)/|d|³ (hartree/e; minus: the
// displaced charge is electronic).
//
// The fit minimises Σ_p (ESP(p) − Σ_a x_a/|p − R_a|)² subject to Σ x_a = Q: the normal
// equations bordered by the constraint row, solved by Gaussian elimination with partial
// pivoting. The points are generated twice (fit, residual) rather than stored, so the
// memory is that of the (N + 1)² system whatever the density of the sampling.

#include "properties/esp.hpp"

#include "integrals/multipoles.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace quelm {

namespace {

constexpr double bohr_per_angstrom = 1.0 / angstrom_per_bohr;
// The golden angle π(3 − √5): successive spiral points never line up in longitude.
constexpr double golden_angle_rad = 2.399963229728653;
// A smaller pivot means the charges are not determined by the sampled potential.
constexpr double smallest_pivot = 1e-14;

// Radii of Z = 1 … 53 (Å; Bondi's set with later additions); other elements use 1.8.
constexpr double default_radius_angstrom = 1.8;
constexpr double van_der_waals_radii[53] = {
    1.2, 1.4,  1.82, 1.53, 1.92, 1.7,  1.55, 1.52, 1.47, 1.54, 2.27, 1.73, 1.84, 2.1,
    1.8, 1.8,  1.75, 1.88, 2.75, 2.31, 1.8,  1.8,  1.8,  1.8,  1.8,  2.05, 1.8,  1.63,
    1.4, 1.39, 1.8,  1.8,  1.8,  1.8,  1.85, 1.8,  1.8,  1.8,  1.8,  1.8,  1.8,  1.8,
    1.8, 1.8,  1.8,  1.8,  1.8,  1.8,  1.8,  1.8,  1.8,  1.8,  1.98,
};

// Walks the sampling points in fit order without storing them.
class GridWalker {
  public:
    GridWalker(const MolecularBatch& batch, std::span<const double> shell_scales,
               std::size_t points_per_shell)
        : batch_(batch), scales_(shell_scales), n_(points_per_shell), radii_(batch.n_atoms) {
        for (std::size_t a = 0; a < batch.n_atoms; ++a)
            radii_[a] = esp_van_der_waals_radius(batch.atomic_numbers[a]);
    }

    // The next kept point (Å); false once every shell is done.
    bool next(Coordinate& point) {
        if (n_ == 0 || scales_.empty())
            return false;
        while (atom_ < batch_.n_atoms) {
            point = candidate();
            const std::size_t centre = atom_;
            advance();
            if (outside_other_spheres(point, centre))
                return true;
        }
        return false;
    }

  private:
    Coordinate candidate() const {
        // A single point per shell sits at the top (t = 1): the divisor is then 1.
        const double divisor = n_ > 1 ? static_cast<double>(n_ - 1) : 1.0;
        const double t = 1.0 - 2.0 * static_cast<double>(k_) / divisor;
        const double rho = std::sqrt(std::max(1.0 - t * t, 0.0));
        const double phi = static_cast<double>(k_) * golden_angle_rad;
        const double radius = scales_[shell_] * radii_[atom_];
        return {batch_.coords_x[atom_] + radius * rho * std::cos(phi),
                batch_.coords_y[atom_] + radius * t,
                batch_.coords_z[atom_] + radius * rho * std::sin(phi)};
    }

    void advance() {
        if (++k_ < n_)
            return;
        k_ = 0;
        if (++shell_ < scales_.size())
            return;
        shell_ = 0;
        ++atom_;
    }

    // Unscaled radii: a point inside another atom's shell but outside its van der Waals
    // sphere still samples the potential outside the molecule.
    bool outside_other_spheres(const Coordinate& p, std::size_t centre) const {
        for (std::size_t b = 0; b < batch_.n_atoms; ++b) {
            if (b == centre)
                continue;
            const double dx = p[0] - batch_.coords_x[b];
            const double dy = p[1] - batch_.coords_y[b];
            const double dz = p[2] - batch_.coords_z[b];
            if (dx * dx + dy * dy + dz * dz < radii_[b] * radii_[b])
                return false;
        }
        return true;
    }

    const MolecularBatch& batch_;
    std::span<const double> scales_;
    std::size_t n_;
    std::vector<double> radii_;
    std::size_t atom_ = 0;
    std::size_t shell_ = 0;
    std::size_t k_ = 0;
};

// Point charges (e) and point dipoles (e·bohr, electron displacement) of every atom.
struct AtomicMultipoles {
    std::vector<double> charge;
    std::vector<std::array<double, 3>> dipole;
};

Result<AtomicMultipoles> compute_atomic_multipoles(const MolecularBatch& batch,
                                                   const ParameterModel& model,
                                                   const AlignedMatrix& density) {
    AtomicMultipoles multipoles{std::vector<double>(batch.n_atoms),
                                std::vector<std::array<double, 3>>(batch.n_atoms)};
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const std::uint8_t z = batch.atomic_numbers[a];
        const auto element = model.get_element(z);
        if (!element)
            return Error{"Unsupported element Z=" + std::to_string(z) + " in ESP parameter model"};
        const std::size_t s = batch.orbital_offsets[a];
        double population = 0.0;
        for (std::size_t k = 0; k < batch.basis_types[a]; ++k)
            population += density(s + k, s + k);
        multipoles.charge[a] = element->core_charge - population;
        if (batch.basis_types[a] > 3) {
            const double d1_bohr = DerivedMultipoleParams::from_element(*element).d1;
            for (std::size_t k = 0; k < 3; ++k)
                multipoles.dipole[a][k] = 2.0 * d1_bohr * density(s, s + 1 + k);
        }
    }
    return multipoles;
}

// Inverse distances 1/|p − R_a| (1/bohr) into `inverse`, and the reference potential at p.
double sample_point(const MolecularBatch& batch, const AtomicMultipoles& multipoles,
                    const Coordinate& p, std::span<double> inverse) {
    double potential = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const double dx = (p[0] - batch.coords_x[a]) * bohr_per_angstrom;
        const double dy = (p[1] - batch.coords_y[a]) * bohr_per_angstrom;
        const double dz = (p[2] - batch.coords_z[a]) * bohr_per_angstrom;
        const double v = 1.0 / std::sqrt(dx * dx + dy * dy + dz * dz);
        const std::array<double, 3>& mu = multipoles.dipole[a];
        inverse[a] = v;
        potential += multipoles.charge[a] * v - v * v * v * (mu[0] * dx + mu[1] * dy + mu[2] * dz);
    }
    return potential;
}

// Solves system·x = rhs in place (x in rhs) by Gaussian elimination with partial pivoting
// (the first largest |entry| on ties); false when a pivot is below smallest_pivot.
bool solve_by_elimination(AlignedMatrix& system, AlignedVec64& rhs) {
    const std::size_t n = system.rows();
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r) {
            if (std::fabs(system(r, col)) > std::fabs(system(pivot, col)))
                pivot = r;
        }
        if (std::fabs(system(pivot, col)) < smallest_pivot)
            return false;
        if (pivot != col) {
            std::swap_ranges(system.row(col), system.row(col) + n, system.row(pivot));
            std::swap(rhs[col], rhs[pivot]);
        }
        const double* pivot_row = system.row(col);
        for (std::size_t r = col + 1; r < n; ++r) {
            double* row = system.row(r);
            const double factor = row[col] / pivot_row[col];
            if (factor == 0.0)
                continue;
            for (std::size_t c = col; c < n; ++c)
                row[c] -= factor * pivot_row[c];
            rhs[r] -= factor * rhs[col];
        }
    }
    for (std::size_t col = n; col-- > 0;) {
        double value = rhs[col];
        for (std::size_t c = col + 1; c < n; ++c)
            value -= system(col, c) * rhs[c];
        rhs[col] = value / system(col, col);
    }
    return true;
}

std::string insufficient_points(std::size_t n_points, std::size_t n_atoms) {
    return "Insufficient grid points (" + std::to_string(n_points) + ") for " +
           std::to_string(n_atoms) + " atoms in ESP fitting";
}

} // namespace

double esp_van_der_waals_radius(std::uint8_t z) {
    return z >= 1 && z <= std::size(van_der_waals_radii) ? van_der_waals_radii[z - 1]
                                                         : default_radius_angstrom;
}

std::vector<Coordinate> build_esp_grid(const MolecularBatch& batch,
                                       std::span<const double> shell_scales,
                                       std::size_t points_per_shell) {
    std::vector<Coordinate> points;
    GridWalker walker(batch, shell_scales, points_per_shell);
    Coordinate p{};
    while (walker.next(p))
        points.push_back(p);
    return points;
}

Result<EspResult> compute_esp_charges(const MolecularBatch& batch, const ParameterModel& model,
                                      const AlignedMatrix& density, const EspOptions& options) {
    const std::size_t n = batch.n_atoms;
    if (n == 0)
        return Error{"Cannot compute ESP charges for empty molecular batch"};
    require_shape(density, batch.n_orbitals, "Density matrix");

    const Result<AtomicMultipoles> multipoles = compute_atomic_multipoles(batch, model, density);
    if (!multipoles) {
        // A sparse grid is reported before a missing element, as the sampling comes first.
        const std::size_t count =
            build_esp_grid(batch, options.shell_scales, options.points_per_shell).size();
        if (count < n)
            return Error{insufficient_points(count, n)};
        return Error{multipoles.error()};
    }

    // Normal equations in the lower triangle (the inner loop runs over contiguous atoms),
    // bordered by the charge constraint.
    AlignedMatrix system(n + 1, n + 1);
    AlignedVec64 rhs(n + 1);
    std::vector<double> inverse(n);
    std::size_t n_points = 0;
    GridWalker fit_walker(batch, options.shell_scales, options.points_per_shell);
    for (Coordinate p{}; fit_walker.next(p); ++n_points) {
        const double potential = sample_point(batch, multipoles.value(), p, inverse);
        for (std::size_t a = 0; a < n; ++a) {
            double* row = system.row(a);
            const double v_a = inverse[a];
            for (std::size_t b = 0; b <= a; ++b)
                row[b] += v_a * inverse[b];
            rhs[a] += potential * v_a;
        }
    }
    if (n_points < n)
        return Error{insufficient_points(n_points, n)};
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = 0; b < a; ++b)
            system(b, a) = system(a, b);
        system(a, n) = 1.0;
        system(n, a) = 1.0;
    }
    rhs[n] = options.net_charge;
    if (!solve_by_elimination(system, rhs))
        return Error{"Singular or ill-conditioned matrix in ESP charge regression"};

    EspResult result;
    result.charges.assign(rhs.begin(), rhs.begin() + static_cast<std::ptrdiff_t>(n));
    result.num_grid_points = n_points;

    double squared_error = 0.0;
    GridWalker residual_walker(batch, options.shell_scales, options.points_per_shell);
    for (Coordinate p{}; residual_walker.next(p);) {
        double fitted = 0.0;
        const double potential = sample_point(batch, multipoles.value(), p, inverse);
        for (std::size_t a = 0; a < n; ++a)
            fitted += result.charges[a] * inverse[a];
        const double error_ev = (potential - fitted) * ev_per_hartree;
        squared_error += error_ev * error_ev;
    }
    result.rms_error = std::sqrt(squared_error / static_cast<double>(n_points));

    for (std::size_t a = 0; a < n; ++a) {
        const double q = result.charges[a];
        result.dipole[0] += debye_per_e_angstrom * q * batch.coords_x[a];
        result.dipole[1] += debye_per_e_angstrom * q * batch.coords_y[a];
        result.dipole[2] += debye_per_e_angstrom * q * batch.coords_z[a];
    }
    result.dipole_magnitude = std::hypot(result.dipole[0], result.dipole[1], result.dipole[2]);
    return result;
}

} // namespace quelm
