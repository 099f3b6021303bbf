// Jacobi rotations between occupied and virtual LMOs.
//
// For a pair (i, a) the 2 x 2 Fock block [[F_ii, F_ia], [F_ia, F_aa]] is diagonalised by
// the angle θ = ½·atan(2F_ia/(F_ii − F_aa)); the denominator is held at or below −0.05 eV
// so that a pair whose occupied level lies above the virtual one still turns the right
// way and a near-degenerate pair cannot take a quarter turn.
//
// A sweep keeps F·φ_i of the current occupied LMO as a scattered vector, so each
// partner costs one dot product over the partner's AOs; a rotation needs F·φ_a once and
// then updates F·φ_i and F_ii linearly, without another product.

#include "karvel/locmin.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {

namespace {

constexpr double rotation_floor_ev = 1e-12;
constexpr double norm_floor = 1e-14;
constexpr double orthogonal_floor = 1e-12;
constexpr double max_denominator_ev = -0.05;

double norm_squared(const Lmo& lmo) {
    double sum = 0.0;
    for (const double c : lmo.coeffs)
        sum += c * c;
    return sum;
}

// Σ over common AO indices of the two (ascending) lists.
double sparse_dot(const Lmo& x, const Lmo& y) {
    double sum = 0.0;
    std::size_t p = 0;
    std::size_t q = 0;
    while (p < x.ao_indices.size() && q < y.ao_indices.size()) {
        if (x.ao_indices[p] < y.ao_indices[q]) {
            ++p;
        } else if (y.ao_indices[q] < x.ao_indices[p]) {
            ++q;
        } else {
            sum += x.coeffs[p++] * y.coeffs[q++];
        }
    }
    return sum;
}

// (cx·x + cy·y, dx·x + dy·y) over the union of their AO indices, written back.
void combine_pair(Lmo& x, Lmo& y, double cx, double cy, double dx, double dy, double floor) {
    std::vector<std::size_t> indices_x;
    std::vector<std::size_t> indices_y;
    std::vector<double> new_x;
    std::vector<double> new_y;
    const std::size_t capacity = x.ao_indices.size() + y.ao_indices.size();
    indices_x.reserve(capacity);
    indices_y.reserve(capacity);
    new_x.reserve(capacity);
    new_y.reserve(capacity);
    std::size_t p = 0;
    std::size_t q = 0;
    while (p < x.ao_indices.size() || q < y.ao_indices.size()) {
        double vx = 0.0;
        double vy = 0.0;
        std::size_t index = 0;
        if (q >= y.ao_indices.size() ||
            (p < x.ao_indices.size() && x.ao_indices[p] < y.ao_indices[q])) {
            index = x.ao_indices[p];
            vx = x.coeffs[p++];
        } else if (p >= x.ao_indices.size() || y.ao_indices[q] < x.ao_indices[p]) {
            index = y.ao_indices[q];
            vy = y.coeffs[q++];
        } else {
            index = x.ao_indices[p];
            vx = x.coeffs[p++];
            vy = y.coeffs[q++];
        }
        const double value_x = cx * vx + cy * vy;
        const double value_y = dx * vx + dy * vy;
        if (std::abs(value_x) > floor) {
            indices_x.push_back(index);
            new_x.push_back(value_x);
        }
        if (std::abs(value_y) > floor) {
            indices_y.push_back(index);
            new_y.push_back(value_y);
        }
    }
    x.ao_indices = std::move(indices_x);
    x.coeffs = std::move(new_x);
    y.ao_indices = std::move(indices_y);
    y.coeffs = std::move(new_y);
}

} // namespace

void AtomScatter::reset(const MolecularBatch& batch) {
    values.assign(batch.n_orbitals, 0.0);
    touched_flag.assign(batch.n_atoms, 0);
    touched_atoms.clear();
}

void AtomScatter::clear(const MolecularBatch& batch) {
    for (const std::size_t atom : touched_atoms) {
        const std::size_t first = batch.orbital_offsets[atom];
        std::fill_n(values.begin() + static_cast<std::ptrdiff_t>(first), batch.basis_types[atom],
                    0.0);
        touched_flag[atom] = 0;
    }
    touched_atoms.clear();
}

void AtomScatter::touch(std::size_t atom) {
    if (touched_flag[atom] == 0) {
        touched_flag[atom] = 1;
        touched_atoms.push_back(atom);
    }
}

void multiply_fock_lmo(const MolecularBatch& batch, const std::vector<std::size_t>& ao_atom,
                       const BlockMatrix& fock, const Lmo& lmo, AtomScatter& out) {
    out.clear(batch);
    const AtomPairPattern& pattern = *fock.pattern;
    std::size_t p = 0;
    while (p < lmo.ao_indices.size()) {
        // One run of AOs on atom b: (F·φ)_A += F_AB·φ_B = (F_BA)ᵀ·φ_B over b's block row.
        const std::size_t b = ao_atom[lmo.ao_indices[p]];
        const std::size_t first_b = batch.orbital_offsets[b];
        const std::size_t n_b = batch.basis_types[b];
        std::size_t end = p;
        while (end < lmo.ao_indices.size() && ao_atom[lmo.ao_indices[end]] == b)
            ++end;
        double phi_b[9] = {};
        for (std::size_t k = p; k < end; ++k)
            phi_b[lmo.ao_indices[k] - first_b] = lmo.coeffs[k];
        for (std::size_t k = pattern.row_start[b]; k < pattern.row_start[b + 1]; ++k) {
            const std::size_t a = pattern.neighbours[k];
            const std::size_t n_a = batch.basis_types[a];
            const double* block = fock.block(k); // n_b x n_a
            double* target = out.values.data() + batch.orbital_offsets[a];
            out.touch(a);
            for (std::size_t nu = 0; nu < n_b; ++nu) {
                const double c = phi_b[nu];
                if (c == 0.0)
                    continue;
                const double* row = block + nu * n_a;
                for (std::size_t mu = 0; mu < n_a; ++mu)
                    target[mu] += row[mu] * c;
            }
        }
        p = end;
    }
}

double dot_scatter(const Lmo& lmo, const AtomScatter& v) {
    double sum = 0.0;
    for (std::size_t k = 0; k < lmo.ao_indices.size(); ++k)
        sum += lmo.coeffs[k] * v.values[lmo.ao_indices[k]];
    return sum;
}

FockElements evaluate_fock_elements(const MolecularBatch& batch,
                                    const std::vector<std::size_t>& ao_atom, const Lmo& occupied,
                                    const Lmo& virtual_lmo, const BlockMatrix& fock) {
    AtomScatter product;
    product.reset(batch);
    FockElements elements;
    multiply_fock_lmo(batch, ao_atom, fock, occupied, product);
    elements.f_ii = dot_scatter(occupied, product);
    elements.f_ia = dot_scatter(virtual_lmo, product);
    multiply_fock_lmo(batch, ao_atom, fock, virtual_lmo, product);
    elements.f_aa = dot_scatter(virtual_lmo, product);
    return elements;
}

std::optional<PairRotation> rotate_lmo_pair(Lmo& occupied, Lmo& virtual_lmo, double f_ii,
                                            double f_aa, double f_ia, double damping,
                                            double coefficient_floor) {
    if (std::abs(f_ia) < rotation_floor_ev)
        return std::nullopt;
    const double theta =
        0.5 * damping * std::atan(2.0 * f_ia / std::min(f_ii - f_aa, max_denominator_ev));
    double norm_i = std::sqrt(norm_squared(occupied));
    if (norm_i <= norm_floor)
        norm_i = 1.0; // left as it is, as the normalisation would divide by ~0
    const double overlap = sparse_dot(occupied, virtual_lmo) / norm_i; // φ̂_i·φ_a
    const double norm_a2 = norm_squared(virtual_lmo) - overlap * overlap;
    if (norm_a2 < orthogonal_floor * orthogonal_floor)
        return std::nullopt;
    const double norm_a = std::sqrt(norm_a2);
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    // φ̂_i = φ_i/n_i, φ̃_a = (φ_a − o·φ̂_i)/n_a; φ_i' = c·φ̂_i + s·φ̃_a, φ_a' = c·φ̃_a − s·φ̂_i.
    PairRotation m;
    m.m_ii = c / norm_i - s * overlap / (norm_a * norm_i);
    m.m_ia = s / norm_a;
    m.m_ai = -c * overlap / (norm_a * norm_i) - s / norm_i;
    m.m_aa = c / norm_a;
    combine_pair(occupied, virtual_lmo, m.m_ii, m.m_ia, m.m_ai, m.m_aa, coefficient_floor);
    return m;
}

JacobiWorkspace JacobiWorkspace::prepare(const MolecularBatch& batch,
                                         const std::vector<Lmo>& occupied,
                                         const std::vector<Lmo>& virtual_lmos,
                                         double cutoff_angstrom) {
    JacobiWorkspace workspace;
    workspace.ao_atom.resize(batch.n_orbitals);
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        for (std::size_t k = 0; k < batch.basis_types[atom]; ++k)
            workspace.ao_atom[batch.orbital_offsets[atom] + k] = atom;
    }
    workspace.fock_occupied.reset(batch);
    workspace.fock_virtual.reset(batch);

    // Centroids never move (atom_indices are fixed), so the pair lists hold for the run.
    std::vector<Coordinate> centroids;
    centroids.reserve(occupied.size() + virtual_lmos.size());
    auto centroid = [&](const Lmo& lmo) {
        Coordinate sum{0.0, 0.0, 0.0};
        for (const std::size_t atom : lmo.atom_indices) {
            const Coordinate r = batch.position(atom);
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] += r[axis];
        }
        const double count = std::max<double>(1.0, static_cast<double>(lmo.atom_indices.size()));
        return Coordinate{sum[0] / count, sum[1] / count, sum[2] / count};
    };
    for (const Lmo& lmo : occupied)
        centroids.push_back(centroid(lmo));
    for (const Lmo& lmo : virtual_lmos)
        centroids.push_back(centroid(lmo));
    const PointNeighbours near = find_point_neighbours(centroids, cutoff_angstrom);

    std::vector<std::vector<std::uint32_t>> virtuals_on_atom(batch.n_atoms);
    for (std::size_t a = 0; a < virtual_lmos.size(); ++a) {
        for (const std::size_t atom : virtual_lmos[a].atom_indices)
            virtuals_on_atom[atom].push_back(static_cast<std::uint32_t>(a));
    }
    const std::size_t n_occ = occupied.size();
    workspace.partners.resize(n_occ);
    for (std::size_t i = 0; i < n_occ; ++i) {
        std::vector<std::uint32_t>& list = workspace.partners[i];
        for (std::size_t k = near.row_start[i]; k < near.row_start[i + 1]; ++k) {
            if (near.neighbours[k] >= n_occ)
                list.push_back(static_cast<std::uint32_t>(near.neighbours[k] - n_occ));
        }
        for (const std::size_t atom : occupied[i].atom_indices)
            list.insert(list.end(), virtuals_on_atom[atom].begin(), virtuals_on_atom[atom].end());
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        list.shrink_to_fit();
    }
    return workspace;
}

namespace {

void gather(const MolecularBatch& batch, const AtomScatter& from, AtomBlockVector& to) {
    to.atoms.clear();
    to.values.clear();
    for (const std::size_t atom : from.touched_atoms) {
        to.atoms.push_back(static_cast<std::uint32_t>(atom));
        const double* v = from.values.data() + batch.orbital_offsets[atom];
        to.values.insert(to.values.end(), v, v + batch.basis_types[atom]);
    }
}

void scatter(const MolecularBatch& batch, const AtomBlockVector& from, AtomScatter& to) {
    to.clear(batch);
    std::size_t p = 0;
    for (const std::uint32_t atom : from.atoms) {
        to.touch(atom);
        const std::size_t n = batch.basis_types[atom];
        std::copy_n(from.values.begin() + static_cast<std::ptrdiff_t>(p), n,
                    to.values.begin() + static_cast<std::ptrdiff_t>(batch.orbital_offsets[atom]));
        p += n;
    }
}

void compute_products(const MolecularBatch& batch, const std::vector<Lmo>& lmos,
                      const BlockMatrix& fock, JacobiWorkspace& workspace,
                      std::vector<AtomBlockVector>& products, std::vector<double>& energies) {
    products.resize(lmos.size());
    energies.resize(lmos.size());
    for (std::size_t k = 0; k < lmos.size(); ++k) {
        multiply_fock_lmo(batch, workspace.ao_atom, fock, lmos[k], workspace.fock_occupied);
        energies[k] = dot_scatter(lmos[k], workspace.fock_occupied);
        gather(batch, workspace.fock_occupied, products[k]);
    }
}

} // namespace

SweepOutcome execute_jacobi_sweep(const MolecularBatch& batch, std::vector<Lmo>& occupied,
                                  std::vector<Lmo>& virtual_lmos, const BlockMatrix& fock,
                                  const KarvelOptions& options, JacobiWorkspace& workspace) {
    if (!workspace.products_current) {
        compute_products(batch, occupied, fock, workspace, workspace.fock_times_occupied,
                         workspace.occupied_energies);
        compute_products(batch, virtual_lmos, fock, workspace, workspace.fock_times_virtual,
                         workspace.virtual_energies);
        workspace.products_current = true;
    }
    SweepOutcome outcome;
    AtomScatter& g_i = workspace.fock_occupied;
    AtomScatter& g_a = workspace.fock_virtual;
    for (std::size_t i = 0; i < occupied.size(); ++i) {
        Lmo& phi_i = occupied[i];
        scatter(batch, workspace.fock_times_occupied[i], g_i);
        double& f_ii = workspace.occupied_energies[i];
        bool rotated = false;
        for (const std::uint32_t a : workspace.partners[i]) {
            Lmo& phi_a = virtual_lmos[a];
            const double f_ia = dot_scatter(phi_a, g_i);
            outcome.largest_coupling_ev = std::max(outcome.largest_coupling_ev, std::abs(f_ia));
            if (!(std::abs(f_ia) > options.jacobi_tol))
                continue;
            ++outcome.rotations;
            double& f_aa = workspace.virtual_energies[a];
            const auto m = rotate_lmo_pair(phi_i, phi_a, f_ii, f_aa, f_ia, options.damping,
                                           workspace.coefficient_floor);
            if (!m)
                continue;
            rotated = true;
            // F·φ and ⟨φ|F|φ⟩ follow the rotation: F·φ_i' = m_ii·F·φ_i + m_ia·F·φ_a, …
            scatter(batch, workspace.fock_times_virtual[a], g_a);
            for (const std::size_t atom : g_a.touched_atoms)
                g_i.touch(atom);
            for (const std::size_t atom : g_i.touched_atoms) {
                g_a.touch(atom);
                const std::size_t first = batch.orbital_offsets[atom];
                for (std::size_t k = first; k < first + batch.basis_types[atom]; ++k) {
                    const double gi = g_i.values[k];
                    const double ga = g_a.values[k];
                    g_i.values[k] = m->m_ii * gi + m->m_ia * ga;
                    g_a.values[k] = m->m_ai * gi + m->m_aa * ga;
                }
            }
            gather(batch, g_a, workspace.fock_times_virtual[a]);
            const double new_ii = m->m_ii * m->m_ii * f_ii + 2.0 * m->m_ii * m->m_ia * f_ia +
                                  m->m_ia * m->m_ia * f_aa;
            const double new_aa = m->m_ai * m->m_ai * f_ii + 2.0 * m->m_ai * m->m_aa * f_ia +
                                  m->m_aa * m->m_aa * f_aa;
            f_ii = new_ii;
            f_aa = new_aa;
        }
        if (rotated)
            gather(batch, g_i, workspace.fock_times_occupied[i]);
    }
    return outcome;
}

void truncate_lmo(Lmo& lmo, double floor) {
    if (lmo.coeffs.empty())
        return;
    std::size_t largest = 0;
    for (std::size_t k = 1; k < lmo.coeffs.size(); ++k) {
        if (std::abs(lmo.coeffs[k]) > std::abs(lmo.coeffs[largest]))
            largest = k;
    }
    std::size_t kept = 0;
    for (std::size_t k = 0; k < lmo.coeffs.size(); ++k) {
        if (k == largest || std::abs(lmo.coeffs[k]) > floor) {
            lmo.ao_indices[kept] = lmo.ao_indices[k];
            lmo.coeffs[kept] = lmo.coeffs[k];
            ++kept;
        }
    }
    lmo.ao_indices.resize(kept);
    lmo.coeffs.resize(kept);
}

} // namespace quelm
