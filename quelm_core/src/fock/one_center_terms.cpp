// One-centre two-electron terms of the closed-shell Fock matrix.
//
// Within one atom the NDDO Hamiltonian keeps the one-centre integrals gss = (ss|ss),
// gsp = (ss|pp), gpp = (pp|pp), gp2 = (pp|p'p'), hsp = (sp|sp) and hpp = (pp'|pp') =
// ½(gpp − gp2). Contracting them with the total density by the closed-shell rule
// F_μν += Σ P_λσ·[(μν|λσ) − ½(μλ|νσ)] gives the closed forms below; only the atom's own
// block changes. Atoms with d data contract the full table of their d integrals instead.

#include "fock/fock_builder.hpp"
#include "integrals/d_orbitals.hpp"
#include "types/internal_error.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace quelm {

namespace {

// s-only atom: Coulomb minus exchange of the one s orbital, (1 − ½)·P_ss·gss.
void add_s_terms(const ElementParameters& e, std::size_t s, const AlignedMatrix& density,
                 AlignedMatrix& fock) {
    fock(s, s) += 0.5 * density(s, s) * e.g_ss;
}

// s, p atom with s at orbital `s` and px, py, pz following it.
void add_sp_terms(const ElementParameters& e, std::size_t s, const AlignedMatrix& density,
                  AlignedMatrix& fock) {
    const double hpp = 0.5 * (e.g_pp - e.g_p2);
    const double s_with_p = e.g_sp - 0.5 * e.h_sp; // Coulomb gsp, exchange hsp
    const double p_with_p2 = e.g_p2 - 0.5 * hpp;   // Coulomb gp2, exchange hpp
    const double sp_coupling = 1.5 * e.h_sp - 0.5 * e.g_sp;
    const double pp2_coupling = 1.5 * hpp - 0.5 * e.g_p2;

    const double p_ss = density(s, s);
    const double p_diagonal[3] = {density(s + 1, s + 1), density(s + 2, s + 2),
                                  density(s + 3, s + 3)};
    const double p_total = p_diagonal[0] + p_diagonal[1] + p_diagonal[2];

    fock(s, s) += 0.5 * p_ss * e.g_ss + p_total * s_with_p;
    for (std::size_t p = 0; p < 3; ++p) {
        const std::size_t mu = s + 1 + p;
        fock(mu, mu) +=
            p_ss * s_with_p + 0.5 * p_diagonal[p] * e.g_pp + (p_total - p_diagonal[p]) * p_with_p2;
        const double sp = density(s, mu) * sp_coupling;
        fock(s, mu) += sp;
        fock(mu, s) += sp;
        for (std::size_t q = 0; q < 3; ++q) {
            if (q != p)
                fock(mu, s + 1 + q) += density(mu, s + 1 + q) * pp2_coupling;
        }
    }
}

// s, p, d atom: the general closed-shell rule over its 45 × 45 one-centre table,
// F_μν += Σ_λσ P_λσ·[(μν|λσ) − ½(μλ|νσ)], with μ, ν, λ, σ on the atom.
void add_spd_terms(const ElementParameters& e, const DElementParameters& d, std::size_t s,
                   const AlignedMatrix& density, AlignedMatrix& fock) {
    constexpr std::size_t n = 9;
    OneCenterDTable table;
    fill_one_center_d_table(e, d, table);

    std::array<double, n * n> block{};
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            block[i * n + j] = density(s + i, s + j);

    std::array<double, n * n> update{};
    for (std::size_t mu = 0; mu < n; ++mu) {
        for (std::size_t nu = 0; nu <= mu; ++nu) {
            const double* coulomb_row = table.data() + orbital_pair_index(mu, nu) * d_orbital_pairs;
            double sum = 0.0;
            for (std::size_t lambda = 0; lambda < n; ++lambda) {
                const double* exchange_row =
                    table.data() + orbital_pair_index(mu, lambda) * d_orbital_pairs;
                for (std::size_t sigma = 0; sigma < n; ++sigma) {
                    const double p = block[lambda * n + sigma];
                    sum += p * (coulomb_row[orbital_pair_index(lambda, sigma)] -
                                0.5 * exchange_row[orbital_pair_index(nu, sigma)]);
                }
            }
            update[mu * n + nu] = sum;
            update[nu * n + mu] = sum;
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            fock(s + i, s + j) += update[i * n + j];
}

} // namespace

void add_one_center_fock_terms(const MolecularBatch& batch, const ParameterModel& model,
                               const AlignedMatrix& density, AlignedMatrix& fock) {
    require_shape(fock, batch.n_orbitals, "Fock");
    require_shape(density, batch.n_orbitals, "Density");
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const std::uint8_t z = batch.atomic_numbers[atom];
        const auto element = model.get_element(z);
        if (!element)
            continue;
        const std::size_t s = batch.orbital_offsets[atom];
        switch (batch.basis_types[atom]) {
        case 1:
            add_s_terms(*element, s, density, fock);
            break;
        case 4:
            add_sp_terms(*element, s, density, fock);
            break;
        case 9:
            // Without d data the d orbitals carry no one-centre two-electron terms.
            if (const auto d = model.get_d_element_params(z))
                add_spd_terms(*element, *d, s, density, fock);
            else
                add_sp_terms(*element, s, density, fock);
            break;
        default:
            throw InternalError("Unsupported orbital count " +
                                std::to_string(batch.basis_types[atom]) + " on atom " +
                                std::to_string(atom));
        }
    }
}

} // namespace quelm
