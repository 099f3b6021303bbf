// The Karvel localized-orbital SCF.
//
// Each iteration builds F from H and the mixed density, evaluates E = ½ Σ P(H + F) plus
// the core–core repulsion, rotates occupied against virtual LMOs until their Fock
// coupling is below the threshold (or the sweep budget is spent), re-orthonormalises the
// occupied LMOs and mixes P := 0.65·P_new + 0.35·P. At convergence the occupied LMOs span
// the same space as the lowest canonical orbitals, so the energy is that of the dense SCF.
//
// Near pairs (within the cutoff) carry their full NDDO pair integrals, kept for the whole
// run; every Fock build reuses the dense one-centre and pair kernels on small local
// blocks. Beyond the cutoff two atoms see each other's net charge through (ss|ss) only.

#include "karvel/solver.hpp"

#include "corrections/dispersion.hpp"
#include "fock/fock_builder.hpp"
#include "integrals/core_repulsion.hpp"
#include "integrals/multipoles.hpp"
#include "integrals/overlap.hpp"
#include "karvel/hybrid.hpp"
#include "karvel/lewis.hpp"
#include "karvel/locmin.hpp"
#include "properties/heat.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace quelm {

namespace {

constexpr double density_new_weight = 0.65;
constexpr double coincident_angstrom = 1e-10;
// LMO coefficients at or below this are dropped once per iteration: the tails they cut
// change the energy by far less than the SCF tolerance while keeping LMOs local.
constexpr double lmo_coefficient_floor = 1e-6;
constexpr std::size_t max_orthogonalisation_steps = 50;
constexpr std::size_t max_local_orbitals = 18;

// One atom pair within the cutoff: its NDDO record (local orbital numbering: A's AOs
// first, then B's) and the four blocks it writes.
struct NearPair {
    DiatomicPairIntegrals record;
    std::size_t block_ab = 0;
    std::size_t block_ba = 0;
    std::size_t block_aa = 0;
    std::size_t block_bb = 0;
};

struct KarvelHamiltonian {
    std::shared_ptr<const AtomPairPattern> pattern;
    std::vector<ElementParameters> elements;
    std::vector<std::size_t> diagonal_block; // block (a, a) of every atom
    std::vector<NearPair> near_pairs;
    std::vector<MolecularBatch> lone_atoms; // a one-atom batch per atom's element
    std::vector<std::size_t> lone_atom_of;  // index into lone_atoms per atom
    std::vector<double> rho;                // Klopman–Ohno radius e²/(2·gss), Å
    BlockMatrix hcore;
    double core_repulsion_ev = 0.0;
};

// Local dense scratch for one atom or one atom pair, by orbital count.
struct LocalScratch {
    std::vector<AlignedMatrix> density;
    std::vector<AlignedMatrix> fock;
    LocalScratch() {
        for (std::size_t n = 0; n <= max_local_orbitals; ++n) {
            density.emplace_back(n, n);
            fock.emplace_back(n, n);
        }
    }
};

void copy_block_in(const double* block, std::size_t rows, std::size_t cols, AlignedMatrix& m,
                   std::size_t row0, std::size_t col0) {
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < cols; ++c)
            m(row0 + r, col0 + c) = block[r * cols + c];
    }
}

void add_block_out(const AlignedMatrix& m, std::size_t row0, std::size_t col0, std::size_t rows,
                   std::size_t cols, double* block) {
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < cols; ++c)
            block[r * cols + c] += m(row0 + r, col0 + c);
    }
}

double resonance_parameter(const ElementParameters& element, std::size_t slot) {
    return slot == 0 ? element.beta_s : slot < 4 ? element.beta_p : element.beta_d;
}

double one_center_energy(const ElementParameters& element, std::size_t slot) {
    return slot == 0 ? element.u_ss : slot < 4 ? element.u_pp : element.u_dd;
}

// Calls `visit(a, b, gamma)` for every atom pair beyond the cutoff with its (ss|ss).
template <typename Visit>
void for_each_far_pair(const MolecularBatch& batch, const KarvelHamiltonian& h, Visit visit) {
    const double cutoff2 = h.pattern->cutoff_angstrom * h.pattern->cutoff_angstrom;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const double xa = batch.coords_x[a];
        const double ya = batch.coords_y[a];
        const double za = batch.coords_z[a];
        for (std::size_t b = a + 1; b < batch.n_atoms; ++b) {
            const double dx = batch.coords_x[b] - xa;
            const double dy = batch.coords_y[b] - ya;
            const double dz = batch.coords_z[b] - za;
            const double r2 = dx * dx + dy * dy + dz * dz;
            if (r2 <= cutoff2)
                continue;
            const double rho = h.rho[a] + h.rho[b];
            visit(a, b, e_squared_ev_angstrom / std::sqrt(r2 + rho * rho));
        }
    }
}

KarvelHamiltonian build_hamiltonian(const MolecularBatch& batch, const ParameterModel& model,
                                    double cutoff_angstrom, LocalScratch& scratch) {
    KarvelHamiltonian h;
    const std::size_t n = batch.n_atoms;
    h.pattern =
        std::make_shared<const AtomPairPattern>(AtomPairPattern::build(batch, cutoff_angstrom));
    h.elements.reserve(n);
    std::vector<DerivedMultipoleParams> params;
    params.reserve(n);
    for (std::size_t a = 0; a < n; ++a) {
        h.elements.push_back(*model.get_element(batch.atomic_numbers[a]));
        params.push_back(DerivedMultipoleParams::from_element(h.elements.back()));
        h.rho.push_back(e_squared_ev_angstrom / (2.0 * h.elements.back().g_ss));
        h.diagonal_block.push_back(h.pattern->find(a, a));
        const std::uint8_t z = batch.atomic_numbers[a];
        std::size_t slot = h.lone_atoms.size();
        for (std::size_t k = 0; k < h.lone_atoms.size(); ++k) {
            if (h.lone_atoms[k].atomic_numbers[0] == z &&
                h.lone_atoms[k].basis_types[0] == batch.basis_types[a]) {
                slot = k;
            }
        }
        if (slot == h.lone_atoms.size()) {
            const Coordinate origin{0.0, 0.0, 0.0};
            h.lone_atoms.push_back(MolecularBatch::new_with_basis(
                {z}, std::span<const Coordinate>(&origin, 1), {batch.basis_types[a]}));
        }
        h.lone_atom_of.push_back(slot);
    }

    h.hcore = BlockMatrix::zeros(h.pattern);
    for (std::size_t a = 0; a < n; ++a) {
        double* block = h.hcore.block(h.diagonal_block[a]);
        const std::size_t n_a = batch.basis_types[a];
        for (std::size_t slot = 0; slot < n_a; ++slot)
            block[slot * n_a + slot] = one_center_energy(h.elements[a], slot);
    }

    OverlapBlock overlap{};
    for (std::size_t a = 0; a < n; ++a) {
        const std::size_t n_a = batch.basis_types[a];
        for (std::size_t k = h.pattern->row_start[a]; k < h.pattern->row_start[a + 1]; ++k) {
            const std::size_t b = h.pattern->neighbours[k];
            if (b >= a)
                break;
            const std::size_t n_b = batch.basis_types[b];
            const double dx = batch.coords_x[b] - batch.coords_x[a];
            const double dy = batch.coords_y[b] - batch.coords_y[a];
            const double dz = batch.coords_z[b] - batch.coords_z[a];
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (r < coincident_angstrom)
                continue;
            NearPair pair;
            compute_diatomic_pair_integrals(batch, model, a, b, params[a], params[b],
                                            h.elements[a].core_charge, h.elements[b].core_charge,
                                            dx, dy, dz, pair.record);
            pair.record.first_orbital_a = 0;
            pair.record.first_orbital_b = n_a;
            pair.block_ab = k;
            pair.block_ba = h.pattern->find(b, a);
            pair.block_aa = h.diagonal_block[a];
            pair.block_bb = h.diagonal_block[b];

            // Electron–core attractions of both atoms' distributions.
            AlignedMatrix& local = scratch.fock[n_a + n_b];
            local.fill(0.0);
            apply_electron_nuclear_attractions(&pair.record, 1, local);
            add_block_out(local, 0, 0, n_a, n_a, h.hcore.block(pair.block_aa));
            add_block_out(local, n_a, n_a, n_b, n_b, h.hcore.block(pair.block_bb));

            // Resonance ½(βμ + βν)·Sμν.
            compute_diatomic_overlap_matrix_9x9(
                batch.atomic_numbers[a], batch.atomic_numbers[b], static_cast<int>(n_a),
                static_cast<int>(n_b), h.elements[a], h.elements[b], dx, dy, dz, r, overlap);
            double* ab = h.hcore.block(pair.block_ab);
            double* ba = h.hcore.block(pair.block_ba);
            for (std::size_t mu = 0; mu < n_a; ++mu) {
                for (std::size_t nu = 0; nu < n_b; ++nu) {
                    const double value = 0.5 *
                                         (resonance_parameter(h.elements[a], mu) +
                                          resonance_parameter(h.elements[b], nu)) *
                                         overlap[mu * 9 + nu];
                    ab[mu * n_b + nu] = value;
                    ba[nu * n_a + mu] = value;
                }
            }
            h.near_pairs.push_back(std::move(pair));
        }
    }

    // Beyond the cutoff each core attracts the other atom's electrons through (ss|ss).
    for_each_far_pair(batch, h, [&](std::size_t a, std::size_t b, double gamma) {
        double* block_a = h.hcore.block(h.diagonal_block[a]);
        double* block_b = h.hcore.block(h.diagonal_block[b]);
        const std::size_t n_a = batch.basis_types[a];
        const std::size_t n_b = batch.basis_types[b];
        for (std::size_t k = 0; k < n_a; ++k)
            block_a[k * n_a + k] -= h.elements[b].core_charge * gamma;
        for (std::size_t k = 0; k < n_b; ++k)
            block_b[k * n_b + k] -= h.elements[a].core_charge * gamma;
    });
    h.core_repulsion_ev = compute_total_core_repulsion(batch, model);
    return h;
}

// F = H + G(P); returns E_elec = ½ Σ P(H + F).
double build_fock(const MolecularBatch& batch, const ParameterModel& model,
                  const KarvelHamiltonian& h, const BlockMatrix& density, BlockMatrix& fock,
                  LocalScratch& scratch, std::vector<double>& populations) {
    fock.values = h.hcore.values;
    const std::size_t n = batch.n_atoms;
    for (std::size_t a = 0; a < n; ++a) {
        const std::size_t n_a = batch.basis_types[a];
        const double* p = density.block(h.diagonal_block[a]);
        populations[a] = 0.0;
        for (std::size_t k = 0; k < n_a; ++k)
            populations[a] += p[k * n_a + k];
        AlignedMatrix& local_p = scratch.density[n_a];
        AlignedMatrix& local_f = scratch.fock[n_a];
        copy_block_in(p, n_a, n_a, local_p, 0, 0);
        local_f.fill(0.0);
        add_one_center_fock_terms(h.lone_atoms[h.lone_atom_of[a]], model, local_p, local_f);
        add_block_out(local_f, 0, 0, n_a, n_a, fock.block(h.diagonal_block[a]));
    }
    for (const NearPair& pair : h.near_pairs) {
        const std::size_t n_a = pair.record.n_orbitals_a;
        const std::size_t n_b = pair.record.n_orbitals_b;
        AlignedMatrix& local_p = scratch.density[n_a + n_b];
        AlignedMatrix& local_f = scratch.fock[n_a + n_b];
        copy_block_in(density.block(pair.block_aa), n_a, n_a, local_p, 0, 0);
        copy_block_in(density.block(pair.block_bb), n_b, n_b, local_p, n_a, n_a);
        copy_block_in(density.block(pair.block_ab), n_a, n_b, local_p, 0, n_a);
        copy_block_in(density.block(pair.block_ba), n_b, n_a, local_p, n_a, 0);
        local_f.fill(0.0);
        assemble_nddo_two_center_fock(&pair.record, 1, local_p, local_f);
        add_block_out(local_f, 0, 0, n_a, n_a, fock.block(pair.block_aa));
        add_block_out(local_f, n_a, n_a, n_b, n_b, fock.block(pair.block_bb));
        add_block_out(local_f, 0, n_a, n_a, n_b, fock.block(pair.block_ab));
        add_block_out(local_f, n_a, 0, n_b, n_a, fock.block(pair.block_ba));
    }
    for_each_far_pair(batch, h, [&](std::size_t a, std::size_t b, double gamma) {
        double* block_a = fock.block(h.diagonal_block[a]);
        double* block_b = fock.block(h.diagonal_block[b]);
        const std::size_t n_a = batch.basis_types[a];
        const std::size_t n_b = batch.basis_types[b];
        for (std::size_t k = 0; k < n_a; ++k)
            block_a[k * n_a + k] += populations[b] * gamma;
        for (std::size_t k = 0; k < n_b; ++k)
            block_b[k * n_b + k] += populations[a] * gamma;
    });
    double energy = 0.0;
    for (std::size_t k = 0; k < density.values.size(); ++k)
        energy += density.values[k] * (h.hcore.values[k] + fock.values[k]);
    return 0.5 * energy;
}

std::optional<std::string> check_elements(const MolecularBatch& batch,
                                          const ParameterModel& model) {
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const std::uint8_t z = batch.atomic_numbers[a];
        if (!model.get_element(z)) {
            return "Unsupported element Z=" + std::to_string(z) + " for semi-empirical method '" +
                   std::string(model.name()) + "'";
        }
    }
    return std::nullopt;
}

std::size_t model_valence_electrons(const MolecularBatch& batch, const ParameterModel& model) {
    double sum = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        sum += model.get_element(batch.atomic_numbers[a])->core_charge;
    return static_cast<std::size_t>(std::max(0.0, std::round(sum)));
}

} // namespace

void construct_density_from_lmos(const MolecularBatch& batch,
                                 const std::vector<std::size_t>& ao_atom,
                                 const std::vector<Lmo>& occupied, BlockMatrix& density) {
    std::fill(density.values.begin(), density.values.end(), 0.0);
    const AtomPairPattern& pattern = *density.pattern;
    struct Run {
        std::size_t atom;
        std::size_t begin;
        std::size_t end;
    };
    std::vector<Run> runs;
    for (const Lmo& lmo : occupied) {
        runs.clear();
        for (std::size_t p = 0; p < lmo.ao_indices.size();) {
            const std::size_t atom = ao_atom[lmo.ao_indices[p]];
            std::size_t end = p;
            while (end < lmo.ao_indices.size() && ao_atom[lmo.ao_indices[end]] == atom)
                ++end;
            runs.push_back({atom, p, end});
            p = end;
        }
        for (const Run& ra : runs) {
            const std::size_t first_a = batch.orbital_offsets[ra.atom];
            for (const Run& rb : runs) {
                const std::size_t k = pattern.find(ra.atom, rb.atom);
                if (k == AtomPairPattern::npos)
                    continue;
                const std::size_t first_b = batch.orbital_offsets[rb.atom];
                const std::size_t n_b = batch.basis_types[rb.atom];
                double* block = density.block(k);
                for (std::size_t p = ra.begin; p < ra.end; ++p) {
                    // 2: each occupied LMO holds an electron pair.
                    const double c = 2.0 * lmo.coeffs[p];
                    double* row = block + (lmo.ao_indices[p] - first_a) * n_b;
                    for (std::size_t q = rb.begin; q < rb.end; ++q)
                        row[lmo.ao_indices[q] - first_b] += c * lmo.coeffs[q];
                }
            }
        }
    }
}

void orthogonalize_occupied_lmos(std::size_t n_orbitals, std::vector<Lmo>& occupied,
                                 double coefficient_floor) {
    const std::size_t n = occupied.size();
    if (n <= 1)
        return;
    // Couplings below this change no coefficient above the floor: they are neither
    // corrected nor allowed to spread an LMO over its neighbours' AOs.
    const double overlap_floor = 1e-2 * coefficient_floor;
    for (Lmo& lmo : occupied)
        truncate_lmo(lmo, coefficient_floor);

    std::vector<std::size_t> ao_start(n_orbitals + 1);
    std::vector<std::uint32_t> ao_lmo;
    std::vector<double> ao_coeff;
    std::vector<double> overlap_row(n, 0.0);
    std::vector<std::uint32_t> touched_lmos;
    std::vector<double> scatter(n_orbitals, 0.0);
    std::vector<std::uint8_t> ao_touched(n_orbitals, 0);
    std::vector<std::size_t> touched_aos;
    struct Entry {
        std::uint32_t j;
        double e_ij;
    };
    std::vector<std::vector<Entry>> deviation(n);

    for (std::size_t step = 0; step < max_orthogonalisation_steps; ++step) {
        // Inverted index: the LMOs on every AO.
        std::fill(ao_start.begin(), ao_start.end(), 0);
        for (const Lmo& lmo : occupied) {
            for (const std::size_t mu : lmo.ao_indices)
                ++ao_start[mu + 1];
        }
        for (std::size_t mu = 0; mu < n_orbitals; ++mu)
            ao_start[mu + 1] += ao_start[mu];
        ao_lmo.resize(ao_start[n_orbitals]);
        ao_coeff.resize(ao_start[n_orbitals]);
        {
            std::vector<std::size_t> fill(ao_start.begin(), ao_start.end() - 1);
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t k = 0; k < occupied[i].ao_indices.size(); ++k) {
                    const std::size_t slot = fill[occupied[i].ao_indices[k]]++;
                    ao_lmo[slot] = static_cast<std::uint32_t>(i);
                    ao_coeff[slot] = occupied[i].coeffs[k];
                }
            }
        }
        // E = S − 1 over the pairs of LMOs that share an AO.
        double largest = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const Lmo& lmo = occupied[i];
            for (std::size_t k = 0; k < lmo.ao_indices.size(); ++k) {
                const std::size_t mu = lmo.ao_indices[k];
                for (std::size_t s = ao_start[mu]; s < ao_start[mu + 1]; ++s) {
                    const std::uint32_t j = ao_lmo[s];
                    if (overlap_row[j] == 0.0)
                        touched_lmos.push_back(j);
                    overlap_row[j] += lmo.coeffs[k] * ao_coeff[s];
                }
            }
            deviation[i].clear();
            for (const std::uint32_t j : touched_lmos) {
                const double e_ij = overlap_row[j] - (j == i ? 1.0 : 0.0);
                overlap_row[j] = 0.0;
                if (std::abs(e_ij) > overlap_floor) {
                    deviation[i].push_back({j, e_ij});
                    largest = std::max(largest, std::abs(e_ij));
                }
            }
            touched_lmos.clear();
        }
        if (largest <= overlap_floor)
            break;
        // Newton–Schulz: φ_i ← φ_i − ½ Σ_j E_ij φ_j (converges to Φ·S^−½).
        std::vector<Lmo> updated = occupied;
        for (std::size_t i = 0; i < n; ++i) {
            const Lmo& lmo = occupied[i];
            for (std::size_t k = 0; k < lmo.ao_indices.size(); ++k) {
                const std::size_t mu = lmo.ao_indices[k];
                if (!ao_touched[mu]) {
                    ao_touched[mu] = 1;
                    touched_aos.push_back(mu);
                }
                scatter[mu] += lmo.coeffs[k];
            }
            for (const Entry& entry : deviation[i]) {
                const Lmo& other = occupied[entry.j];
                for (std::size_t k = 0; k < other.ao_indices.size(); ++k) {
                    const std::size_t mu = other.ao_indices[k];
                    if (!ao_touched[mu]) {
                        ao_touched[mu] = 1;
                        touched_aos.push_back(mu);
                    }
                    scatter[mu] -= 0.5 * entry.e_ij * other.coeffs[k];
                }
            }
            std::sort(touched_aos.begin(), touched_aos.end());
            Lmo& target = updated[i];
            target.ao_indices.clear();
            target.coeffs.clear();
            for (const std::size_t mu : touched_aos) {
                if (std::abs(scatter[mu]) > overlap_floor * 1e-4) {
                    target.ao_indices.push_back(mu);
                    target.coeffs.push_back(scatter[mu]);
                }
                scatter[mu] = 0.0;
                ao_touched[mu] = 0;
            }
            touched_aos.clear();
        }
        occupied = std::move(updated);
    }
    for (Lmo& lmo : occupied)
        truncate_lmo(lmo, coefficient_floor);
}

Result<KarvelResult> run_karvel_scf(const MolecularBatch& batch, const ParameterModel& model,
                                    KarvelDispersion dispersion, const KarvelOptions& options) {
    if (batch.n_atoms == 0)
        return Error{"atomic_numbers cannot be empty"};
    if (!(options.cutoff_distance > 0.0) || !std::isfinite(options.cutoff_distance)) {
        return Error{"cutoff_distance must be a positive number of angstrom (got " +
                     std::to_string(options.cutoff_distance) + ")"};
    }
    if (auto message = check_elements(batch, model))
        return Error{*message};

    const LewisStructure lewis = construct_lewis_structure(batch);
    Result<InitialLmos> initial = construct_initial_lmos(batch, lewis);
    if (!initial.ok())
        return Error{initial.error()};
    std::vector<Lmo> occupied = std::move(initial.value().occupied);
    std::vector<Lmo> virtual_lmos = std::move(initial.value().virtual_lmos);
    const std::size_t n_electrons = model_valence_electrons(batch, model);
    if (2 * occupied.size() != n_electrons) {
        return Error{"Lewis structure holds " + std::to_string(2 * occupied.size()) +
                     " valence electrons but the molecule has " + std::to_string(n_electrons) +
                     ": no localized-orbital start for this bonding pattern"};
    }

    LocalScratch scratch;
    const KarvelHamiltonian h = build_hamiltonian(batch, model, options.cutoff_distance, scratch);
    JacobiWorkspace jacobi =
        JacobiWorkspace::prepare(batch, occupied, virtual_lmos, options.cutoff_distance);
    jacobi.coefficient_floor = lmo_coefficient_floor;

    KarvelResult result;
    result.nuclear_repulsion_ev = h.core_repulsion_ev;
    BlockMatrix density = BlockMatrix::zeros(h.pattern);
    BlockMatrix new_density = BlockMatrix::zeros(h.pattern);
    BlockMatrix fock = BlockMatrix::zeros(h.pattern);
    std::vector<double> populations(batch.n_atoms, 0.0);

    orthogonalize_occupied_lmos(batch.n_orbitals, occupied, lmo_coefficient_floor);
    construct_density_from_lmos(batch, jacobi.ao_atom, occupied, density);

    double previous_energy = 0.0;
    for (std::size_t k = 1; k <= options.max_iter; ++k) {
        const double electronic = build_fock(batch, model, h, density, fock, scratch, populations);
        jacobi.products_current = false;
        const double total = electronic + h.core_repulsion_ev;
        const double change = std::abs(total - previous_energy);
        result.electronic_energy_ev = electronic;
        result.total_energy_ev = total;
        result.iterations = k;
        if (options.verbose) {
            std::printf("KARVEL Iteration %3zu: Etot = %.8f eV, DeltaE = %.8f eV\n", k, total,
                        change);
            std::fflush(stdout);
        }

        double largest_coupling = 0.0;
        for (std::size_t sweep = 0; sweep < options.max_jacobi_sweeps; ++sweep) {
            const SweepOutcome outcome =
                execute_jacobi_sweep(batch, occupied, virtual_lmos, fock, options, jacobi);
            largest_coupling = outcome.largest_coupling_ev;
            if (outcome.rotations == 0 || outcome.largest_coupling_ev < options.jacobi_tol)
                break;
        }
        for (Lmo& lmo : virtual_lmos)
            truncate_lmo(lmo, lmo_coefficient_floor);
        orthogonalize_occupied_lmos(batch.n_orbitals, occupied, lmo_coefficient_floor);
        construct_density_from_lmos(batch, jacobi.ao_atom, occupied, new_density);
        for (std::size_t v = 0; v < density.values.size(); ++v) {
            density.values[v] = density_new_weight * new_density.values[v] +
                                (1.0 - density_new_weight) * density.values[v];
        }
        if (k > 1 && change < options.energy_tol && largest_coupling < options.jacobi_tol) {
            result.converged = true;
            break;
        }
        previous_energy = total;
    }

    construct_density_from_lmos(batch, jacobi.ao_atom, occupied, density);
    result.atomic_charges.resize(batch.n_atoms);
    double atom_energies = 0.0;
    double atom_heats = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const std::size_t n_a = batch.basis_types[a];
        const double* p = density.block(h.diagonal_block[a]);
        double population = 0.0;
        for (std::size_t k = 0; k < n_a; ++k)
            population += p[k * n_a + k];
        result.atomic_charges[a] = h.elements[a].core_charge - population;
        const IsolatedAtomReference reference =
            get_isolated_atom_energy_and_heat(batch.atomic_numbers[a], model);
        atom_energies += reference.energy_ev;
        atom_heats += reference.heat_of_formation_kcal;
    }
    double dispersion_kcal = 0.0;
    if (dispersion == KarvelDispersion::pm6_dh_plus)
        dispersion_kcal = compute_dispersion_energy(batch, DispersionModel::pm6_dh_plus);
    else if (dispersion == KarvelDispersion::pm7)
        dispersion_kcal = compute_dispersion_energy(batch, DispersionModel::pm7);
    result.heat_of_formation_kcal =
        dispersion_kcal + atom_heats + (result.total_energy_ev - atom_energies) * kcal_mol_per_ev;
    result.density = std::move(density);
    result.lmos = std::move(occupied);
    result.lmos.insert(result.lmos.end(), std::make_move_iterator(virtual_lmos.begin()),
                       std::make_move_iterator(virtual_lmos.end()));
    return result;
}

} // namespace quelm
