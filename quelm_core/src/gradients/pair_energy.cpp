#include "gradients/pair_energy.hpp"

#include "integrals/core_repulsion.hpp"
#include "integrals/overlap.hpp"

#include <cmath>

namespace quelm {

namespace {

constexpr double coincident_angstrom = 1e-10;

double beta_of_slot(const ElementParameters& element, int slot) {
    if (slot == 0)
        return element.beta_s;
    return slot < 4 ? element.beta_p : element.beta_d;
}

} // namespace

PairEnergyEvaluator::PairEnergyEvaluator(const MolecularBatch& batch, const ParameterModel& model,
                                         const AlignedMatrix& density, bool use_nddo)
    : batch_(batch), model_(model), density_(density), use_nddo_(use_nddo),
      elements_(batch.n_atoms), multipoles_(batch.n_atoms), packed_density_(batch.n_atoms),
      populations_(batch.n_atoms, 0.0) {
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const std::size_t first = batch.orbital_offsets[atom];
        const std::size_t n = batch.basis_types[atom];
        for (std::size_t mu = 0; mu < n; ++mu)
            populations_[atom] += density(first + mu, first + mu);
        elements_[atom] = model.get_element(batch.atomic_numbers[atom]);
        if (!elements_[atom])
            continue;
        multipoles_[atom] = DerivedMultipoleParams::from_element(*elements_[atom]);
        std::vector<double>& packed = packed_density_[atom];
        packed.resize(orbital_pair_count(n));
        for (std::size_t mu = 0; mu < n; ++mu) {
            for (std::size_t nu = 0; nu <= mu; ++nu) {
                const double p = density(first + mu, first + nu);
                packed[orbital_pair_index(mu, nu)] = mu == nu ? p : 2.0 * p;
            }
        }
    }
}

double PairEnergyEvaluator::pair_energy(std::size_t a, std::size_t b,
                                        const Coordinate& separation) const {
    const double r = std::sqrt(separation[0] * separation[0] + separation[1] * separation[1] +
                               separation[2] * separation[2]);
    const double core = model_.pair_core_repulsion(*elements_[a], *elements_[b], r);
    const double two_centre =
        use_nddo_ ? nddo_energy(a, b, separation, r) : simplified_energy(a, b, r);
    return core + resonance_energy(a, b, separation, r) + two_centre;
}

// 2 Σ_{μ∈A,ν∈B} P_μν·½(β_μ + β_ν)·S_μν: both triangles of H_AB.
double PairEnergyEvaluator::resonance_energy(std::size_t a, std::size_t b,
                                             const Coordinate& separation, double r) const {
    if (r < coincident_angstrom)
        return 0.0;
    const ElementParameters& element_a = *elements_[a];
    const ElementParameters& element_b = *elements_[b];
    const int n_a = batch_.basis_types[a];
    const int n_b = batch_.basis_types[b];
    OverlapBlock overlap;
    compute_diatomic_overlap_matrix_9x9(batch_.atomic_numbers[a], batch_.atomic_numbers[b], n_a,
                                        n_b, element_a, element_b, separation[0], separation[1],
                                        separation[2], r, overlap);
    const std::size_t first_a = batch_.orbital_offsets[a];
    const std::size_t first_b = batch_.orbital_offsets[b];
    double energy = 0.0;
    for (int mu = 0; mu < n_a; ++mu) {
        const double beta_mu = beta_of_slot(element_a, mu);
        const double* p_row = density_.row(first_a + mu) + first_b;
        for (int nu = 0; nu < n_b; ++nu) {
            energy += p_row[nu] * (beta_mu + beta_of_slot(element_b, nu)) * overlap[mu * 9 + nu];
        }
    }
    return energy;
}

// Attraction of each atom's electrons by the other core, Coulomb repulsion of the two
// atomic densities and the exchange between them, from the pair's NDDO integrals.
double PairEnergyEvaluator::nddo_energy(std::size_t a, std::size_t b, const Coordinate& separation,
                                        double r) const {
    if (r < coincident_angstrom)
        return 0.0;
    compute_diatomic_pair_integrals(batch_, model_, a, b, multipoles_[a], multipoles_[b],
                                    elements_[a]->core_charge, elements_[b]->core_charge,
                                    separation[0], separation[1], separation[2], scratch_);
    const std::vector<double>& packed_a = packed_density_[a];
    const std::vector<double>& packed_b = packed_density_[b];
    const std::size_t pairs_a = packed_a.size();
    const std::size_t pairs_b = packed_b.size();
    const double* w = scratch_.w.data();

    double energy = 0.0;
    for (std::size_t p = 0; p < pairs_a; ++p)
        energy += packed_a[p] * scratch_.e1b[p];
    for (std::size_t q = 0; q < pairs_b; ++q)
        energy += packed_b[q] * scratch_.e2a[q];
    for (std::size_t p = 0; p < pairs_a; ++p) {
        const double* w_row = w + p * pairs_b;
        double row_sum = 0.0;
        for (std::size_t q = 0; q < pairs_b; ++q)
            row_sum += w_row[q] * packed_b[q];
        energy += packed_a[p] * row_sum;
    }

    // Exchange: −½ Σ_{μν∈A, λσ∈B} P_μλ·P_νσ·(μν|λσ) over all orderings.
    const std::size_t n_a = batch_.basis_types[a];
    const std::size_t n_b = batch_.basis_types[b];
    const std::size_t first_a = batch_.orbital_offsets[a];
    const std::size_t first_b = batch_.orbital_offsets[b];
    double exchange = 0.0;
    for (std::size_t mu = 0; mu < n_a; ++mu) {
        const double* p_mu = density_.row(first_a + mu) + first_b;
        for (std::size_t nu = 0; nu < n_a; ++nu) {
            const double* p_nu = density_.row(first_a + nu) + first_b;
            const double* w_row = w + orbital_pair_index(mu, nu) * pairs_b;
            for (std::size_t lambda = 0; lambda < n_b; ++lambda) {
                for (std::size_t sigma = 0; sigma < n_b; ++sigma) {
                    exchange +=
                        p_mu[lambda] * p_nu[sigma] * w_row[orbital_pair_index(lambda, sigma)];
                }
            }
        }
    }
    return energy - 0.5 * exchange;
}

// One Klopman–Ohno γ for every orbital of the pair: attraction of each atom's
// population by the other core, Coulomb between populations, and exchange.
double PairEnergyEvaluator::simplified_energy(std::size_t a, std::size_t b, double r) const {
    const double gamma = klopman_ohno_gamma(*elements_[a], *elements_[b], r);
    const double z_a = elements_[a]->core_charge;
    const double z_b = elements_[b]->core_charge;
    const std::size_t first_a = batch_.orbital_offsets[a];
    const std::size_t first_b = batch_.orbital_offsets[b];
    double exchange = 0.0;
    for (std::size_t mu = 0; mu < batch_.basis_types[a]; ++mu) {
        const double* p_row = density_.row(first_a + mu) + first_b;
        for (std::size_t nu = 0; nu < batch_.basis_types[b]; ++nu)
            exchange += p_row[nu] * p_row[nu];
    }
    const double p_a = populations_[a];
    const double p_b = populations_[b];
    return gamma * (p_a * p_b - z_b * p_a - z_a * p_b - 0.5 * exchange);
}

} // namespace quelm
