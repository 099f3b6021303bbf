#pragma once
// NDDO two-centre two-electron integrals in the MNDO point-charge multipole model
// (Dewar & Thiel, Theor. Chim. Acta 46, 89 (1977)): each one-centre distribution χμχν
// is a few point charges, and charges interact through the Klopman–Ohno form
// e²/√(r² + (ρa + ρb)²). Energies in eV; the local frame has z from A to B.

#include "integrals/diatomic_pair_integrals.hpp"
#include "parameters/element_parameters.hpp"
#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quelm {

// Charge separations (bohr) and Klopman–Ohno parameters (hartree) of one atom's
// multipoles, derived from its one-centre integrals.
struct DerivedMultipoleParams {
    double d1 = 0.0;   // s–p dipole charge separation, bohr
    double d2 = 0.0;   // p–p quadrupole charge separation, bohr
    double am = 0.0;   // monopole parameter (gss in hartree)
    double ad = 0.0;   // dipole parameter, hartree
    double aq = 0.0;   // quadrupole parameter, hartree
    double rho0 = 0.0; // additive terms, bohr
    double rho1 = 0.0;
    double rho2 = 0.0;
    std::uint8_t atomic_number = 0;

    static DerivedMultipoleParams from_element(const ElementParameters& element);
};

// The 22 local integrals (ss|ss) … (ππ'|ππ') in eV, numbered 1–22 at indices 0–21,
// followed by a copy of the first.
using LocalMultipoleIntegrals = std::array<double, 23>;
LocalMultipoleIntegrals compute_22_multipoles(const DerivedMultipoleParams& a,
                                              const DerivedMultipoleParams& b, double r_angstrom);

// Direction cosines of the pair frame: z along A→B, x and y completing a right-handed
// orthonormal frame.
struct DiatomicRotation3D {
    std::array<double, 3> x_axis{};
    std::array<double, 3> y_axis{};
    std::array<double, 3> z_axis{};
    static DiatomicRotation3D new_rotation(double dx, double dy, double dz, double r_angstrom);
};

// Rotates the local integrals into w (row stride = pairs of B: 1 or 10).
void rotate_multipoles_to_w(int n_orbitals_a, int n_orbitals_b,
                            const LocalMultipoleIntegrals& local,
                            const DiatomicRotation3D& rotation, double* w, std::size_t w_length);

// e1b: A's distributions attracted by B's core; e2a: B's distributions by A's core.
void compute_electron_nuclear_attraction(int n_orbitals_a, int n_orbitals_b,
                                         const DerivedMultipoleParams& a,
                                         const DerivedMultipoleParams& b,
                                         const DiatomicRotation3D& rotation, double* e1b,
                                         double core_charge_a, double core_charge_b,
                                         double r_angstrom, std::size_t e1b_length, double* e2a,
                                         std::size_t e2a_length, bool feathering);

// Pair records of every atom pair i > j covered by the model, in the order
// (1,0), (2,0), (2,1), …; coincident pairs (< 1e-10 Å) get no record.
std::vector<DiatomicPairIntegrals> precompute_diatomic_pairs(const MolecularBatch& batch,
                                                             const ParameterModel& model);

// The record of one pair (atom_a > atom_b in batch order) for the separation
// (dx, dy, dz) = r_b − r_a in Å, which need not be the batch's own geometry (the gradient
// displaces one pair at a time). Reuses the record's buffers.
void compute_diatomic_pair_integrals(const MolecularBatch& batch, const ParameterModel& model,
                                     std::size_t atom_a, std::size_t atom_b,
                                     const DerivedMultipoleParams& params_a,
                                     const DerivedMultipoleParams& params_b, double core_charge_a,
                                     double core_charge_b, double dx, double dy, double dz,
                                     DiatomicPairIntegrals& record);

// Adds e1b into A's one-centre block and e2a into B's, both triangles.
void apply_electron_nuclear_attractions(const DiatomicPairIntegrals* pairs, std::size_t n_pairs,
                                        AlignedMatrix& hcore);

} // namespace quelm
