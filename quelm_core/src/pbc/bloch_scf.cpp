// Bloch SCF over a finite cluster of cells, band structure and density of states.
//
// Supercell: the home cell repeated over the translation list, translation-major (atom
// t·N_atoms + a is home atom a displaced by T_t), so orbital run t belongs to cell t and
// run 0 is the home cell. Only the home cell's row of blocks is physical: F(T) couples the
// home cell to cell T with every interaction the cluster holds within reach of the home
// cell. The builders therefore get only the pair records with at least one home-cell atom
// and the density blocks they read (the diagonal blocks, all P(0), and the home cell's row
// and column); the blocks between two other cells would only shape Fock blocks that are
// never used, so they stay zero and their pairs are never computed.
//
// Bloch problem: H(k) is Hermitian because F(−T) = F(T)ᵀ; it is diagonalised as a complex
// matrix (zheevd), so degenerate bands (the π bands of a linear chain, ties at Γ) come
// back as independent vectors and each is occupied once. D(k) = 2 Σ_occ c c† is Hermitian,
// and P(T) = Σ_k w_k Re[D(k) e^{−ik·T}] is real with P(−T) = P(T)ᵀ, which the home cell's
// column of supercell blocks uses.
//
// A grid of N k-points per direction resolves the density over N cells only (the Born–von
// Kármán supercell); translations beyond its minimum image get no density, so that a grid
// coarser than the cluster (Γ alone, for a large cell) does not copy the home cell's
// density onto its neighbours.
//
// Core–core repulsion: the lattice sum over home atoms a and all atoms b of the cluster of
// the model's own pair function (the one the molecular single point uses), each pair
// shared by its two cells (½).

#include "pbc/bloch_scf.hpp"

#include "fock/fock_builder.hpp"
#include "hamiltonian/hcore.hpp"
#include "integrals/multipoles.hpp"
#include "properties/heat.hpp"
#include "scf/initial_guess.hpp"
#include "scf/lapack_eigensolver.hpp"
#include "scf/scf_loop.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace quelm {
namespace {

constexpr std::size_t dos_grid_points = 300;
constexpr double dos_margin_ev = 2.0; // the grid extends this far beyond the band energies
constexpr double min_dos_sigma_ev = 0.05;
constexpr double dos_cutoff_sigmas = 4.0;
constexpr double sqrt_two_pi = 2.5066282746310002;
// Grid of an empty band list.
constexpr double empty_dos_min_ev = -32.0;
constexpr double empty_dos_max_ev = 22.0;
// Below this separation two atoms coincide and form no pair record.
constexpr double coincident_angstrom = 1e-10;
// The convergence test starts at this iteration: the first densities still carry the
// neutral-atom guess.
constexpr std::size_t first_convergence_test = 3;

std::optional<std::string> check_counts(const char* name, const LatticeCounts& counts) {
    if (counts[0] >= 1 && counts[1] >= 1 && counts[2] >= 1)
        return std::nullopt;
    return std::string(name) + " counts must be positive integers, got (" +
           std::to_string(counts[0]) + ", " + std::to_string(counts[1]) + ", " +
           std::to_string(counts[2]) + ")";
}

MolecularBatch build_supercell(const MolecularBatch& cell,
                               std::span<const TranslationIndex> translations,
                               const ParameterModel& model) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> positions;
    atomic_numbers.reserve(translations.size() * cell.n_atoms);
    positions.reserve(translations.size() * cell.n_atoms);
    for (const TranslationIndex& translation : translations) {
        for (std::size_t a = 0; a < cell.n_atoms; ++a) {
            const Coordinate r = cell.position(a);
            atomic_numbers.push_back(cell.atomic_numbers[a]);
            positions.push_back({r[0] + translation.vector[0], r[1] + translation.vector[1],
                                 r[2] + translation.vector[2]});
        }
    }
    return MolecularBatch::new_for_model(std::move(atomic_numbers), positions, model);
}

// The NDDO pair records of every pair with at least one home-cell atom. Home atoms have the
// lowest indices, so they are the second atom (atom_b) of their records.
std::vector<DiatomicPairIntegrals> home_cell_pairs(const MolecularBatch& supercell,
                                                   const ParameterModel& model,
                                                   std::size_t n_home_atoms) {
    struct AtomData {
        DerivedMultipoleParams params;
        double core_charge = 0.0;
    };
    std::vector<std::optional<AtomData>> atoms(supercell.n_atoms);
    for (std::size_t i = 0; i < supercell.n_atoms; ++i) {
        if (const auto element = model.get_element(supercell.atomic_numbers[i]))
            atoms[i] =
                AtomData{DerivedMultipoleParams::from_element(*element), element->core_charge};
    }
    std::vector<DiatomicPairIntegrals> pairs;
    pairs.reserve(supercell.n_atoms * n_home_atoms);
    for (std::size_t i = 1; i < supercell.n_atoms; ++i) {
        if (!atoms[i])
            continue;
        for (std::size_t j = 0; j < std::min(i, n_home_atoms); ++j) {
            if (!atoms[j])
                continue;
            const double dx = supercell.coords_x[j] - supercell.coords_x[i];
            const double dy = supercell.coords_y[j] - supercell.coords_y[i];
            const double dz = supercell.coords_z[j] - supercell.coords_z[i];
            if (std::sqrt(dx * dx + dy * dy + dz * dz) < coincident_angstrom)
                continue;
            DiatomicPairIntegrals record;
            compute_diatomic_pair_integrals(supercell, model, i, j, atoms[i]->params,
                                            atoms[j]->params, atoms[i]->core_charge,
                                            atoms[j]->core_charge, dx, dy, dz, record);
            pairs.push_back(std::move(record));
        }
    }
    return pairs;
}

// Σ over home atoms a, translations t and home atoms b (not a itself at t = 0) of
// ½·E_core(a, b + T_t), with the model's pair function.
double lattice_core_repulsion(const MolecularBatch& cell, const ParameterModel& model,
                              std::span<const TranslationIndex> translations) {
    std::vector<std::optional<ElementParameters>> elements(cell.n_atoms);
    for (std::size_t a = 0; a < cell.n_atoms; ++a)
        elements[a] = model.get_element(cell.atomic_numbers[a]);
    double energy = 0.0;
    for (std::size_t a = 0; a < cell.n_atoms; ++a) {
        if (!elements[a])
            continue;
        const Coordinate r_a = cell.position(a);
        for (std::size_t t = 0; t < translations.size(); ++t) {
            const Coordinate& shift = translations[t].vector;
            for (std::size_t b = 0; b < cell.n_atoms; ++b) {
                if (!elements[b] || (t == 0 && b == a))
                    continue;
                const Coordinate r_b = cell.position(b);
                const double dx = r_a[0] - (r_b[0] + shift[0]);
                const double dy = r_a[1] - (r_b[1] + shift[1]);
                const double dz = r_a[2] - (r_b[2] + shift[2]);
                energy += 0.5 * model.pair_core_repulsion(*elements[a], *elements[b],
                                                          std::sqrt(dx * dx + dy * dy + dz * dz));
            }
        }
    }
    return energy;
}

void copy_block(const AlignedMatrix& from, std::size_t row0, std::size_t col0, std::size_t n,
                AlignedMatrix& to) {
    for (std::size_t mu = 0; mu < n; ++mu)
        std::memcpy(to.row(mu), from.row(row0 + mu) + col0, n * sizeof(double));
}

// Block t of the home row: M(T_t)[μ][ν] = M_sup[μ][t·n + ν].
void extract_home_row(const AlignedMatrix& supercell_matrix, std::size_t n,
                      std::vector<AlignedMatrix>& blocks) {
    for (std::size_t t = 0; t < blocks.size(); ++t)
        copy_block(supercell_matrix, 0, t * n, n, blocks[t]);
}

// The supercell density the builders read: P(0) on every diagonal block, P(T_t) in the home
// row and P(−T_t) = P(T_t)ᵀ in the home column. The other blocks stay as they are (zero).
void scatter_density(const std::vector<AlignedMatrix>& blocks, std::size_t n,
                     AlignedMatrix& supercell_density) {
    const AlignedMatrix& home = blocks[0];
    for (std::size_t t = 0; t < blocks.size(); ++t) {
        const std::size_t offset = t * n;
        for (std::size_t mu = 0; mu < n; ++mu) {
            std::memcpy(supercell_density.row(offset + mu) + offset, home.row(mu),
                        n * sizeof(double));
        }
        if (t == 0)
            continue;
        const AlignedMatrix& block = blocks[t];
        for (std::size_t mu = 0; mu < n; ++mu) {
            std::memcpy(supercell_density.row(mu) + offset, block.row(mu), n * sizeof(double));
            for (std::size_t nu = 0; nu < n; ++nu)
                supercell_density(offset + nu, mu) = block(mu, nu);
        }
    }
}

void fill_bloch_phases(std::span<const KPoint> kpoints,
                       std::span<const TranslationIndex> translations, AlignedMatrix& phases) {
    for (std::size_t k = 0; k < kpoints.size(); ++k) {
        double* row = phases.row(k);
        for (std::size_t t = 0; t < translations.size(); ++t) {
            const Coordinate& kv = kpoints[k].cartesian;
            const Coordinate& tv = translations[t].vector;
            const double phase = kv[0] * tv[0] + kv[1] * tv[1] + kv[2] * tv[2];
            row[2 * t] = std::cos(phase);
            row[2 * t + 1] = std::sin(phase);
        }
    }
}

// H(k) = Σ_t (cos φ_t + i sin φ_t)·F(T_t) into the complex Bloch matrix, then its bands
// (ascending) and band vectors. phase_of(t) gives (cos φ_t, sin φ_t).
template <typename PhaseOf>
void diagonalize_bloch_hamiltonian(PbcWorkspace& workspace, PhaseOf phase_of) {
    const std::size_t n = workspace.n_orbitals;
    AlignedMatrix& h = workspace.bloch_matrix;
    h.fill(0.0);
    for (std::size_t t = 0; t < workspace.n_translations; ++t) {
        const auto [c, s] = phase_of(t);
        const AlignedMatrix& f = workspace.fock_blocks[t];
        for (std::size_t mu = 0; mu < n; ++mu) {
            const double* f_row = f.row(mu);
            double* h_row = h.row(mu);
            for (std::size_t nu = 0; nu < n; ++nu) {
                h_row[2 * nu] += c * f_row[nu];
                h_row[2 * nu + 1] += s * f_row[nu];
            }
        }
    }
    lapack_diagonalize_hermitian(h, workspace.bloch_eigenvalues, workspace.bloch_eigenvectors);
}

// D(k) = 2 Σ_{o < n_occ} c_o c_o†: Re D_μν = 2 Σ (a_μ a_ν + b_μ b_ν),
// Im D_μν = 2 Σ (b_μ a_ν − a_μ b_ν) for c_o = a + ib (column o of the eigenvectors).
void form_bloch_density(PbcWorkspace& workspace, std::size_t n_occupied) {
    const std::size_t n = workspace.n_orbitals;
    const AlignedMatrix& v = workspace.bloch_eigenvectors;
    AlignedMatrix& d = workspace.bloch_density;
    for (std::size_t mu = 0; mu < n; ++mu) {
        const double* c_mu = v.row(mu);
        for (std::size_t nu = mu; nu < n; ++nu) {
            const double* c_nu = v.row(nu);
            double re = 0.0;
            double im = 0.0;
            for (std::size_t o = 0; o < n_occupied; ++o) {
                const double a_mu = c_mu[2 * o], b_mu = c_mu[2 * o + 1];
                const double a_nu = c_nu[2 * o], b_nu = c_nu[2 * o + 1];
                re += a_mu * a_nu + b_mu * b_nu;
                im += b_mu * a_nu - a_mu * b_nu;
            }
            d(mu, 2 * nu) = 2.0 * re;
            d(mu, 2 * nu + 1) = 2.0 * im;
            d(nu, 2 * mu) = 2.0 * re;
            d(nu, 2 * mu + 1) = -2.0 * im;
        }
    }
}

// The share of the Born–von Kármán density that belongs to translation T. N k-points per
// direction resolve the density only modulo N cells: the transform gives Σ_L P(T + L·N).
// Within the minimum image (|n| < N/2 along every direction) that is P(T) itself; beyond it,
// it is an alias of the density of a shorter translation and is dropped; on the boundary
// (|n| = N/2, even N) the one image is shared equally by T and −T.
void fill_image_weights(std::span<const TranslationIndex> translations, const LatticeCounts& k_grid,
                        AlignedVec64& weights) {
    for (std::size_t t = 0; t < translations.size(); ++t) {
        double weight = 1.0;
        for (std::size_t d = 0; d < 3; ++d) {
            const std::int64_t twice =
                2 * std::abs(static_cast<std::int64_t>(translations[t].multiples[d]));
            if (twice > k_grid[d])
                weight = 0.0;
            else if (twice == k_grid[d])
                weight *= 0.5;
        }
        weights[t] = weight;
    }
}

// P′(T_t) += w·s_t·Re[D(k)·e^{−iφ_t}] = w·s_t·(Re D·cos φ_t + Im D·sin φ_t), s_t the image
// weight of the translation.
void add_density_transform(PbcWorkspace& workspace, const double* phases, double weight) {
    const std::size_t n = workspace.n_orbitals;
    const AlignedMatrix& d = workspace.bloch_density;
    for (std::size_t t = 0; t < workspace.n_translations; ++t) {
        const double share = weight * workspace.image_weights[t];
        if (share == 0.0)
            continue;
        const double c = share * phases[2 * t];
        const double s = share * phases[2 * t + 1];
        AlignedMatrix& p = workspace.next_density_blocks[t];
        for (std::size_t mu = 0; mu < n; ++mu) {
            const double* d_row = d.row(mu);
            double* p_row = p.row(mu);
            for (std::size_t nu = 0; nu < n; ++nu)
                p_row[nu] += c * d_row[2 * nu] + s * d_row[2 * nu + 1];
        }
    }
}

// ½ Σ_t Σ_μν P(T_t)·(H(T_t) + F(T_t)).
double electronic_energy(const PbcWorkspace& workspace) {
    double energy = 0.0;
    for (std::size_t t = 0; t < workspace.n_translations; ++t) {
        const double* p = workspace.density_blocks[t].data();
        const double* h = workspace.hcore_blocks[t].data();
        const double* f = workspace.fock_blocks[t].data();
        for (std::size_t k = 0; k < workspace.density_blocks[t].size(); ++k)
            energy += p[k] * (h[k] + f[k]);
    }
    return 0.5 * energy;
}

double largest_density_change(const PbcWorkspace& workspace) {
    double largest = 0.0;
    for (std::size_t t = 0; t < workspace.n_translations; ++t) {
        const double* p = workspace.density_blocks[t].data();
        const double* p_new = workspace.next_density_blocks[t].data();
        for (std::size_t k = 0; k < workspace.density_blocks[t].size(); ++k)
            largest = std::fmax(largest, std::fabs(p_new[k] - p[k]));
    }
    return largest;
}

// Weight of the old density: the caller's for the first five iterations, then heavier
// damping as the run goes on, so slow (small-gap) systems settle instead of oscillating.
double old_density_weight(double mixing, std::size_t iteration) {
    if (iteration <= 5)
        return mixing;
    if (iteration <= 10)
        return 0.6;
    if (iteration <= 20)
        return 0.75;
    return 0.85;
}

void mix_density(PbcWorkspace& workspace, double alpha) {
    for (std::size_t t = 0; t < workspace.n_translations; ++t) {
        double* p = workspace.density_blocks[t].data();
        const double* p_new = workspace.next_density_blocks[t].data();
        for (std::size_t k = 0; k < workspace.density_blocks[t].size(); ++k)
            p[k] = alpha * p[k] + (1.0 - alpha) * p_new[k];
    }
}

void fill_blocks(std::vector<AlignedMatrix>& blocks, double value) {
    for (AlignedMatrix& block : blocks)
        block.fill(value);
}

// The run-owned cluster: batch, pair records and supercell matrices.
struct Supercell {
    MolecularBatch batch;
    std::vector<DiatomicPairIntegrals> pairs;
    AlignedMatrix hcore;
    AlignedMatrix density;
    AlignedMatrix fock;
};

Supercell build_cluster(const MolecularBatch& cell, const ParameterModel& model,
                        std::span<const TranslationIndex> translations, bool use_nddo) {
    Supercell cluster;
    cluster.batch = build_supercell(cell, translations, model);
    const std::size_t size = cluster.batch.n_orbitals;
    cluster.hcore = AlignedMatrix(size, size);
    cluster.density = AlignedMatrix(size, size);
    cluster.fock = AlignedMatrix(size, size);
    if (use_nddo) {
        cluster.pairs = home_cell_pairs(cluster.batch, model, cell.n_atoms);
        build_hcore_nddo(cluster.batch, model, cluster.pairs.data(), cluster.pairs.size(),
                         cluster.hcore);
    } else {
        build_hcore(cluster.batch, model, cluster.hcore);
    }
    return cluster;
}

struct ScfOutcome {
    std::size_t iterations = 0;
    double electronic_energy_ev = 0.0;
    bool converged = false;
};

// The damped SCF iterations over the workspace blocks; the density blocks start as given.
ScfOutcome iterate_bloch_scf(Supercell& cluster, const ParameterModel& model,
                             const PbcOptions& options, std::span<const KPoint> kpoints,
                             std::size_t n_occupied, double nuclear_repulsion_ev,
                             PbcWorkspace& workspace) {
    const std::size_t n = workspace.n_orbitals;
    ScfOutcome outcome;
    double previous_energy = 0.0;
    for (std::size_t iteration = 1; iteration <= options.max_iter; ++iteration) {
        outcome.iterations = iteration;
        scatter_density(workspace.density_blocks, n, cluster.density);
        if (options.use_nddo) {
            build_fock_nddo(cluster.batch, model, cluster.pairs.data(), cluster.pairs.size(),
                            cluster.hcore, cluster.density, cluster.fock);
        } else {
            build_fock(cluster.batch, model, cluster.hcore, cluster.density, cluster.fock);
        }
        extract_home_row(cluster.fock, n, workspace.fock_blocks);

        fill_blocks(workspace.next_density_blocks, 0.0);
        for (std::size_t k = 0; k < kpoints.size(); ++k) {
            const double* phases = workspace.bloch_phases.row(k);
            diagonalize_bloch_hamiltonian(workspace, [phases](std::size_t t) {
                return std::pair{phases[2 * t], phases[2 * t + 1]};
            });
            form_bloch_density(workspace, n_occupied);
            add_density_transform(workspace, phases, kpoints[k].weight);
        }

        outcome.electronic_energy_ev = electronic_energy(workspace);
        const double energy = outcome.electronic_energy_ev + nuclear_repulsion_ev;
        const double density_change = largest_density_change(workspace);
        if (iteration >= first_convergence_test &&
            std::fabs(energy - previous_energy) < options.energy_tol &&
            density_change < options.density_tol) {
            outcome.converged = true;
            break;
        }
        mix_density(workspace, old_density_weight(options.mixing, iteration));
        previous_energy = energy;
    }
    return outcome;
}

// Bands along the path and their edges. The edges stay infinite unless some band is
// occupied and some is empty.
void compute_band_structure(PbcWorkspace& workspace, std::span<const TranslationIndex> translations,
                            std::size_t n_occupied, PbcResult& result) {
    const std::size_t n = workspace.n_orbitals;
    constexpr double infinity = std::numeric_limits<double>::infinity();
    result.vbm_ev = -infinity;
    result.cbm_ev = infinity;
    result.direct_gap_ev = infinity;
    result.band_energies_ev.assign(result.band_kpoints.size(), std::vector<double>(n));
    for (std::size_t p = 0; p < result.band_kpoints.size(); ++p) {
        std::vector<double>& bands = result.band_energies_ev[p];
        compute_bloch_bands(workspace, translations, result.band_kpoints[p].cartesian, bands);
        if (n_occupied > 0 && n_occupied < n) {
            const double valence = bands[n_occupied - 1];
            const double conduction = bands[n_occupied];
            result.vbm_ev = std::max(result.vbm_ev, valence);
            result.cbm_ev = std::min(result.cbm_ev, conduction);
            result.direct_gap_ev = std::min(result.direct_gap_ev, conduction - valence);
        }
    }
    result.indirect_gap_ev = std::max(result.cbm_ev - result.vbm_ev, 0.0);
}

// Gaussian-broadened density of states of the band-path energies, one state per band per
// path point, normalised per path point: states per eV per cell.
void compute_density_of_states(double sigma_requested_ev, PbcResult& result) {
    std::vector<double> energies;
    for (const std::vector<double>& bands : result.band_energies_ev)
        energies.insert(energies.end(), bands.begin(), bands.end());
    std::sort(energies.begin(), energies.end());
    const double e_min = energies.empty() ? empty_dos_min_ev : energies.front() - dos_margin_ev;
    const double e_max = energies.empty() ? empty_dos_max_ev : energies.back() + dos_margin_ev;
    const double sigma = std::max(sigma_requested_ev, min_dos_sigma_ev);
    const double points = static_cast<double>(result.band_kpoints.size());
    const double norm = 1.0 / (points * sigma * sqrt_two_pi);
    const double step = (e_max - e_min) / static_cast<double>(dos_grid_points);
    result.dos_energies_ev.resize(dos_grid_points);
    result.dos_values.assign(dos_grid_points, 0.0);
    for (std::size_t i = 0; i < dos_grid_points; ++i) {
        const double e = e_min + static_cast<double>(i) * step;
        result.dos_energies_ev[i] = e;
        // Only the energies within 4σ contribute: a window of the sorted list.
        const auto first =
            std::lower_bound(energies.begin(), energies.end(), e - dos_cutoff_sigmas * sigma);
        double value = 0.0;
        for (auto it = first; it != energies.end() && *it < e + dos_cutoff_sigmas * sigma; ++it) {
            const double x = e - *it;
            if (std::fabs(x) < dos_cutoff_sigmas * sigma)
                value += std::exp(-x * x / (2.0 * sigma * sigma));
        }
        result.dos_values[i] = value * norm;
    }
}

} // namespace

PbcWorkspace PbcWorkspace::allocate(std::size_t n_orbitals, std::size_t n_translations,
                                    std::size_t n_kpoints) {
    PbcWorkspace workspace;
    workspace.n_orbitals = n_orbitals;
    workspace.n_translations = n_translations;
    workspace.n_kpoints = n_kpoints;
    const AlignedMatrix block(n_orbitals, n_orbitals);
    workspace.density_blocks.assign(n_translations, block);
    workspace.fock_blocks.assign(n_translations, block);
    workspace.hcore_blocks.assign(n_translations, block);
    workspace.next_density_blocks.assign(n_translations, block);
    workspace.bloch_matrix = AlignedMatrix(n_orbitals, 2 * n_orbitals);
    workspace.bloch_eigenvalues = AlignedVec64(n_orbitals);
    workspace.bloch_eigenvectors = AlignedMatrix(n_orbitals, 2 * n_orbitals);
    workspace.bloch_density = AlignedMatrix(n_orbitals, 2 * n_orbitals);
    workspace.bloch_phases = AlignedMatrix(n_kpoints, 2 * n_translations);
    workspace.image_weights = AlignedVec64(n_translations);
    return workspace;
}

void compute_bloch_bands(PbcWorkspace& workspace, std::span<const TranslationIndex> translations,
                         const Coordinate& k, std::span<double> energies) {
    if (translations.size() != workspace.n_translations)
        throw InternalError(
            size_mismatch("Translation list", translations.size(), workspace.n_translations));
    if (energies.size() != workspace.n_orbitals)
        throw InternalError(size_mismatch("Band energies", energies.size(), workspace.n_orbitals));
    diagonalize_bloch_hamiltonian(workspace, [&](std::size_t t) {
        const Coordinate& tv = translations[t].vector;
        const double phase = k[0] * tv[0] + k[1] * tv[1] + k[2] * tv[2];
        return std::pair{std::cos(phase), std::sin(phase)};
    });
    std::copy(workspace.bloch_eigenvalues.begin(), workspace.bloch_eigenvalues.end(),
              energies.begin());
}

Result<PbcResult> run_pbc_scf(const MolecularBatch& cell_batch, const ParameterModel& model,
                              const PbcOptions& options, PbcWorkspace& workspace) {
    if (cell_batch.n_atoms == 0)
        return Error{"Periodic calculation requires at least 1 atom in unit cell"};
    if (const auto message = check_counts("mers", options.mers))
        return Error{*message};
    if (const auto message = check_counts("k_grid", options.k_grid))
        return Error{*message};

    const std::vector<TranslationIndex> translations =
        UnitCell::generate_translation_indices(options.cell, options.mers);
    const std::vector<KPoint> kpoints =
        UnitCell::generate_monkhorst_pack_grid(options.cell, options.k_grid);
    const std::size_t n = cell_batch.n_orbitals;
    if (workspace.n_orbitals != n || workspace.n_translations != translations.size() ||
        workspace.n_kpoints != kpoints.size()) {
        workspace = PbcWorkspace::allocate(n, translations.size(), kpoints.size());
    }

    Supercell cluster = build_cluster(cell_batch, model, translations, options.use_nddo);
    extract_home_row(cluster.hcore, n, workspace.hcore_blocks);
    fill_bloch_phases(kpoints, translations, workspace.bloch_phases);
    fill_image_weights(translations, options.k_grid, workspace.image_weights);

    PbcResult result;
    result.nuclear_repulsion_ev = lattice_core_repulsion(cell_batch, model, translations);
    const std::size_t n_occupied = count_occupied_orbitals(cell_batch, model);
    if (n_occupied > n) {
        throw InternalError("Occupied levels (" + std::to_string(n_occupied) +
                            ") exceed unit cell orbitals (" + std::to_string(n) + ")");
    }

    fill_blocks(workspace.density_blocks, 0.0);
    fill_blocks(workspace.fock_blocks, 0.0);
    build_neutral_atom_density(cell_batch, model, workspace.density_blocks[0]);
    const ScfOutcome scf = iterate_bloch_scf(cluster, model, options, kpoints, n_occupied,
                                             result.nuclear_repulsion_ev, workspace);
    result.iterations = scf.iterations;
    result.converged = scf.converged;
    if (scf.iterations > 0) {
        result.electronic_energy_ev = scf.electronic_energy_ev;
        result.total_energy_ev = scf.electronic_energy_ev + result.nuclear_repulsion_ev;
    }
    const IsolatedAtomReference atoms =
        sum_isolated_atom_references(cell_batch.atomic_numbers, model);
    result.heat_of_formation_kcal = heat_of_formation_kcal(atoms, result.total_energy_ev);

    result.band_kpoints = UnitCell::generate_band_path(options.cell, options.band_points);
    compute_band_structure(workspace, translations, n_occupied, result);
    compute_density_of_states(options.dos_sigma, result);
    return result;
}

} // namespace quelm
