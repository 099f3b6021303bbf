#pragma once
// Jacobi localization step of the localized-orbital SCF: 2 x 2 rotations between an
// occupied and a virtual LMO that remove their Fock coupling F_ia, restricted to pairs
// whose centroids lie within the cutoff (or that share an atom).

#include "karvel/block_matrix.hpp"
#include "karvel/types.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quelm {

// A vector over the AOs kept dense (n_orbitals entries) with the list of atoms whose
// block was written, so clearing and reading it costs only what was touched.
struct AtomScatter {
    std::vector<double> values;
    std::vector<std::uint8_t> touched_flag; // per atom
    std::vector<std::size_t> touched_atoms;

    void reset(const MolecularBatch& batch);
    void clear(const MolecularBatch& batch);
    void touch(std::size_t atom);
};

// out := F·φ over the block pattern of F (out cleared first).
void multiply_fock_lmo(const MolecularBatch& batch, const std::vector<std::size_t>& ao_atom,
                       const BlockMatrix& fock, const Lmo& lmo, AtomScatter& out);

// Σ_μ φ_μ·v_μ over the LMO's AOs.
double dot_scatter(const Lmo& lmo, const AtomScatter& v);

struct FockElements {
    double f_ii = 0.0;
    double f_aa = 0.0;
    double f_ia = 0.0;
};

// (F_ii, F_aa, F_ia) with F_xy = Σ_μν c_μx F_μν c_νy (eV).
FockElements evaluate_fock_elements(const MolecularBatch& batch,
                                    const std::vector<std::size_t>& ao_atom, const Lmo& occupied,
                                    const Lmo& virtual_lmo, const BlockMatrix& fock);

// New LMOs as combinations of the old ones: φ_i' = m_ii φ_i + m_ia φ_a,
// φ_a' = m_ai φ_i + m_aa φ_a.
struct PairRotation {
    double m_ii = 1.0;
    double m_ia = 0.0;
    double m_ai = 0.0;
    double m_aa = 1.0;
};

// Normalises φ_i, orthogonalises and normalises φ_a against it, then rotates by
// θ = ½·damping·atan(2F_ia / min(F_ii − F_aa, −0.05)) over the union of their AOs.
// Nothing happens (nullopt) for |F_ia| < 1e-12 or when φ_a lies in φ_i's direction.
// Coefficients of magnitude up to coefficient_floor are not kept in the rotated LMOs.
std::optional<PairRotation> rotate_lmo_pair(Lmo& occupied, Lmo& virtual_lmo, double f_ii,
                                            double f_aa, double f_ia, double damping,
                                            double coefficient_floor = 0.0);

// F·φ of one LMO, kept between sweeps: the touched atoms and their AO blocks in turn.
struct AtomBlockVector {
    std::vector<std::uint32_t> atoms;
    std::vector<double> values;
};

// Scratch and pair lists of the sweeps of one SCF. F·φ and ⟨φ|F|φ⟩ of every LMO are
// computed once per Fock matrix and then carried through the rotations linearly, so a
// sweep costs dot products and vector updates, not matrix products.
struct JacobiWorkspace {
    std::vector<std::size_t> ao_atom;                 // atom of every AO
    std::vector<std::vector<std::uint32_t>> partners; // per occupied LMO: virtuals in range
    AtomScatter fock_occupied;
    AtomScatter fock_virtual;
    double coefficient_floor = 0.0; // of the rotated LMOs
    std::vector<AtomBlockVector> fock_times_occupied;
    std::vector<AtomBlockVector> fock_times_virtual;
    std::vector<double> occupied_energies; // ⟨φ_i|F|φ_i⟩, eV
    std::vector<double> virtual_energies;
    bool products_current = false; // false after every new Fock matrix

    // Pairs whose LMO centroids are at most cutoff_angstrom apart or that share an atom.
    static JacobiWorkspace prepare(const MolecularBatch& batch, const std::vector<Lmo>& occupied,
                                   const std::vector<Lmo>& virtual_lmos, double cutoff_angstrom);
};

struct SweepOutcome {
    std::size_t rotations = 0;
    double largest_coupling_ev = 0.0; // largest |F_ia| met
};

// One sweep: occupied LMOs outer, their partner virtuals inner, both in list order;
// a pair with |F_ia| > jacobi_tol is rotated at once, so later pairs see the result.
SweepOutcome execute_jacobi_sweep(const MolecularBatch& batch, std::vector<Lmo>& occupied,
                                  std::vector<Lmo>& virtual_lmos, const BlockMatrix& fock,
                                  const KarvelOptions& options, JacobiWorkspace& workspace);

// Drops coefficients of magnitude at most `floor` (keeps at least the largest).
void truncate_lmo(Lmo& lmo, double floor);

} // namespace quelm
