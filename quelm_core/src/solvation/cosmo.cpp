// COSMO reaction field (Klamt & Schüürmann, J. Chem. Soc. Perkin Trans. 2, 799 (1993)).
//
// In a conductor the surface charges q cancel the solute's potential φ on the cavity:
// A·q = −φ, with A the Coulomb matrix of the segments (1/|r_k − r_l| between segments and
// a self term 1.05·√(4π/area) on the diagonal). A dielectric of constant ε screens the
// fraction f(ε) = (ε − 1)/(ε + ½) of that. The dielectric energy is ½e²·φ·q.
//
// The solute's potential at a segment is that of its cores plus that of its electrons;
// each one-centre product χμχν contributes in the NDDO multipole picture: a monopole for
// the diagonal products, the s–p dipole (charge separation D1) and the p–p quadrupole
// (separation D2) of the atom's multipole model. Products on different atoms vanish under
// NDDO, so B has nonzero rows only inside the atomic blocks: we store just those rows
// (10 for an s,p atom, 1 for hydrogen, 15 for an s,p,d atom whose d products keep only
// their monopole), which turns the n²·m dense matrix into about 10·atoms·m values, and
// makes the per-iteration passes proportionally cheaper.

#include "solvation/cosmo.hpp"

#include "integrals/multipoles.hpp"
#include "ri/cholesky.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {

namespace {

// Self-interaction of a segment, 1.05·√(4π): the charge spread over a disc of the
// segment's area, with Klamt's empirical 1.05.
constexpr double segment_self_interaction = 3.7221530869015833;
constexpr double half_e_squared = 0.5 * e_squared_ev_angstrom;
// Closer than this two points count as coincident (their Coulomb term is dropped).
constexpr double coincident_angstrom = 1e-12;
// Density elements this small contribute nothing to the electronic potential.
constexpr double negligible_density = 1e-12;

double distance(const std::array<double, 3>& a, double x, double y, double z) {
    const double dx = a[0] - x;
    const double dy = a[1] - y;
    const double dz = a[2] - z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Lower triangle of A (Å⁻¹); the factorisation reads nothing else.
void fill_segment_interactions(const CosmoCavity& cavity, AlignedMatrix& a) {
    const std::size_t m = cavity.segments.size();
    for (std::size_t k = 0; k < m; ++k) {
        const CavitySegment& sk = cavity.segments[k];
        double* row = a.row(k);
        for (std::size_t l = 0; l < k; ++l) {
            const std::array<double, 3>& rl = cavity.segments[l].position;
            const double r = distance(sk.position, rl[0], rl[1], rl[2]);
            row[l] = r > coincident_angstrom ? 1.0 / r : 0.0;
        }
        row[k] = segment_self_interaction / std::sqrt(sk.area);
    }
}

// The products of one atom's orbitals (first orbital `first`, `count` orbitals) that can
// have a nonzero potential, in ascending (μ, ν): s–s, s–p, p–p, then the d diagonal.
void append_atom_products(std::size_t first, std::size_t count,
                          std::vector<CosmoProduct>& products) {
    const std::size_t sp = std::min<std::size_t>(count, 4);
    for (std::size_t i = 0; i < sp; ++i) {
        for (std::size_t j = i; j < sp; ++j)
            products.push_back({first + i, first + j});
    }
    for (std::size_t i = sp; i < count; ++i)
        products.push_back({first + i, first + i});
}

// Row of the product (first + i, first + j) in the atom's block for i ≤ j < 4.
std::size_t sp_row(std::size_t i, std::size_t j) {
    constexpr std::size_t start[4] = {0, 4, 7, 9};
    return start[i] + (j - i);
}

// Fills the rows of one atom: monopole g = 1/r for every diagonal product, and for an
// s,p atom the dipole d_a·D1·g³ and quadrupole D2²·(3·d_a·d_b·g⁵ − δ_ab·g³) terms, where
// d = r_k − r_A and the separations are in Å.
void fill_atom_potentials(const CosmoCavity& cavity, const std::array<double, 3>& centre,
                          std::size_t count, double d1, double d2, AlignedMatrix& b,
                          std::size_t first_row) {
    const std::size_t m = cavity.segments.size();
    const double d2_squared = d2 * d2;
    for (std::size_t k = 0; k < m; ++k) {
        const std::array<double, 3>& rk = cavity.segments[k].position;
        const double d[3] = {rk[0] - centre[0], rk[1] - centre[1], rk[2] - centre[2]};
        const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const double g = r > coincident_angstrom ? 1.0 / r : 0.0;
        const double g3 = g * g * g;
        const double g5 = g3 * g * g;
        if (count < 4) {
            for (std::size_t i = 0; i < count; ++i)
                b(first_row + i, k) = g;
            continue;
        }
        b(first_row + sp_row(0, 0), k) = g;
        for (std::size_t a = 0; a < 3; ++a) {
            b(first_row + sp_row(0, a + 1), k) = d[a] * d1 * g3;
            b(first_row + sp_row(a + 1, a + 1), k) = g + d2_squared * (3.0 * d[a] * d[a] * g5 - g3);
            for (std::size_t c = a + 1; c < 3; ++c)
                b(first_row + sp_row(a + 1, c + 1), k) = 3.0 * d[a] * d[c] * d2_squared * g5;
        }
        for (std::size_t i = 4; i < count; ++i)
            b(first_row + 10 + (i - 4), k) = g;
    }
}

// Products and their potentials B for every atom the model knows.
void build_product_potentials(const MolecularBatch& batch, const ParameterModel& model,
                              CosmoState& state) {
    struct AtomBlock {
        std::size_t atom, first_row;
        double d1, d2; // Å
    };
    std::vector<AtomBlock> blocks;
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const auto element = model.get_element(batch.atomic_numbers[atom]);
        if (!element)
            continue;
        const DerivedMultipoleParams params = DerivedMultipoleParams::from_element(*element);
        blocks.push_back({atom, state.products.size(), params.d1 * angstrom_per_bohr,
                          params.d2 * angstrom_per_bohr});
        append_atom_products(batch.orbital_offsets[atom], batch.basis_types[atom], state.products);
    }
    state.product_potentials = AlignedMatrix(state.products.size(), state.cavity.segments.size());
    for (const AtomBlock& block : blocks) {
        fill_atom_potentials(state.cavity, batch.position(block.atom),
                             batch.basis_types[block.atom], block.d1, block.d2,
                             state.product_potentials, block.first_row);
    }
}

// φN[k] = Σ_A Z_A/|r_k − r_A| over the atoms the model knows.
void compute_nuclear_potential(const MolecularBatch& batch, const ParameterModel& model,
                               CosmoState& state) {
    const std::size_t m = state.cavity.segments.size();
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const auto element = model.get_element(batch.atomic_numbers[atom]);
        if (!element)
            continue;
        const double x = batch.coords_x[atom];
        const double y = batch.coords_y[atom];
        const double z = batch.coords_z[atom];
        for (std::size_t k = 0; k < m; ++k) {
            const double r = distance(state.cavity.segments[k].position, x, y, z);
            if (r > coincident_angstrom)
                state.nuclear_potential[k] += element->core_charge / r;
        }
    }
}

// Σ_k B[r][k]·q[k] for every stored product r, added as −e²·(…) to both triangles.
void add_reaction_field(const CosmoState& state, const AlignedVec64& charges,
                        AlignedMatrix& matrix) {
    const std::size_t m = charges.size();
    const double* q = charges.data();
    for (std::size_t r = 0; r < state.products.size(); ++r) {
        const double* b = state.product_potentials.row(r);
        double sum = 0.0;
        for (std::size_t k = 0; k < m; ++k)
            sum += b[k] * q[k];
        const double value = -e_squared_ev_angstrom * sum;
        const CosmoProduct& product = state.products[r];
        matrix(product.mu, product.nu) += value;
        if (product.mu != product.nu)
            matrix(product.nu, product.mu) += value;
    }
}

double significant(double p) {
    return std::fabs(p) > negligible_density ? p : 0.0;
}

} // namespace

double cosmo_screening_factor(double dielectric) {
    return dielectric > 1.0 ? (dielectric - 1.0) / (dielectric + 0.5) : 0.0;
}

void solve_cholesky_system(const AlignedMatrix& factor, const AlignedVec64& rhs,
                           AlignedVec64& scratch, AlignedVec64& solution) {
    const std::size_t m = factor.rows();
    if (!factor.is_square() || rhs.size() != m || scratch.size() != m || solution.size() != m)
        throw InternalError(size_mismatch("Cholesky system", rhs.size(), m));
    // L·y = b, row by row: each row's prefix is contiguous.
    for (std::size_t i = 0; i < m; ++i) {
        const double* l_row = factor.row(i);
        double sum = rhs[i];
        for (std::size_t j = 0; j < i; ++j)
            sum -= l_row[j] * scratch[j];
        scratch[i] = sum / l_row[i];
    }
    // Lᵀ·x = y, column-oriented so that it also walks rows of L: once x_i is final, its
    // contribution L_ij·x_i is removed from every earlier unknown j < i.
    for (std::size_t i = 0; i < m; ++i)
        solution[i] = scratch[i];
    for (std::size_t i = m; i-- > 0;) {
        const double* l_row = factor.row(i);
        const double x_i = solution[i] / l_row[i];
        solution[i] = x_i;
        for (std::size_t j = 0; j < i; ++j)
            solution[j] -= l_row[j] * x_i;
    }
}

std::optional<CosmoState> CosmoState::initialize(const MolecularBatch& batch,
                                                 const ParameterModel& model, double dielectric,
                                                 double solvent_radius) {
    CosmoState state;
    state.cavity = CosmoCavity::construct(batch, solvent_radius);
    const std::size_t m = state.cavity.segments.size();
    if (m == 0)
        throw InternalError("COSMO cavity must contain at least one segment");
    state.dielectric = dielectric;
    state.solvent_radius = solvent_radius;
    state.n_orbitals = batch.n_orbitals;

    state.cholesky_factor = AlignedMatrix(m, m);
    fill_segment_interactions(state.cavity, state.cholesky_factor);
    if (!cholesky_decompose(state.cholesky_factor).success)
        return std::nullopt;

    build_product_potentials(batch, model, state);

    state.nuclear_potential = AlignedVec64(m);
    state.nuclear_charges = AlignedVec64(m);
    state.electronic_potential = AlignedVec64(m);
    state.solved_potential = AlignedVec64(m);
    state.electronic_charges = AlignedVec64(m);
    state.scratch = AlignedVec64(m);

    compute_nuclear_potential(batch, model, state);
    AlignedVec64 solved(m);
    solve_cholesky_system(state.cholesky_factor, state.nuclear_potential, state.scratch, solved);
    const double f = cosmo_screening_factor(dielectric);
    double energy = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        state.nuclear_charges[k] = -f * solved[k];
        energy += state.nuclear_charges[k] * state.nuclear_potential[k];
    }
    state.nuclear_dielectric_energy_ev = half_e_squared * energy;
    return state;
}

double CosmoState::product_potential(std::size_t mu, std::size_t nu, std::size_t k) const {
    const CosmoProduct key{std::min(mu, nu), std::max(mu, nu)};
    const auto less = [](const CosmoProduct& a, const CosmoProduct& b) {
        return a.mu != b.mu ? a.mu < b.mu : a.nu < b.nu;
    };
    const auto found = std::lower_bound(products.begin(), products.end(), key, less);
    if (found == products.end() || found->mu != key.mu || found->nu != key.nu)
        return 0.0;
    return product_potentials(static_cast<std::size_t>(found - products.begin()), k);
}

void apply_nuclear_reaction_field_to_hcore(const CosmoState& state, AlignedMatrix& hcore) {
    require_shape(hcore, state.n_orbitals, "Core Hamiltonian");
    add_reaction_field(state, state.nuclear_charges, hcore);
}

double apply_electronic_reaction_field_to_fock(CosmoState& state, const AlignedMatrix& density,
                                               AlignedMatrix& fock) {
    require_shape(density, state.n_orbitals, "Density");
    require_shape(fock, state.n_orbitals, "Fock");
    const std::size_t m = state.cavity.segments.size();

    // φE = −Σ_μν P_μν·B[μν]: electrons carry negative charge. Only one triangle of each
    // atomic block is stored, so an off-diagonal product collects P_μν and P_νμ.
    double* phi = state.electronic_potential.data();
    std::fill(phi, phi + m, 0.0);
    for (std::size_t r = 0; r < state.products.size(); ++r) {
        const CosmoProduct& product = state.products[r];
        double p = significant(density(product.mu, product.nu));
        if (product.mu != product.nu)
            p += significant(density(product.nu, product.mu));
        if (p == 0.0)
            continue;
        const double* b = state.product_potentials.row(r);
        for (std::size_t k = 0; k < m; ++k)
            phi[k] -= p * b[k];
    }

    solve_cholesky_system(state.cholesky_factor, state.electronic_potential, state.scratch,
                          state.solved_potential);
    const double f = cosmo_screening_factor(state.dielectric);
    double energy = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        state.electronic_charges[k] = -f * state.solved_potential[k];
        energy += (state.nuclear_potential[k] + phi[k]) *
                  (state.nuclear_charges[k] + state.electronic_charges[k]);
    }

    add_reaction_field(state, state.electronic_charges, fock);
    return half_e_squared * energy;
}

} // namespace quelm
