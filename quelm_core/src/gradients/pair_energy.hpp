#pragma once
// The geometry-dependent part of the frozen-density energy of one atom pair, as a
// function of the vector between the two atoms. Summed over all pairs (plus the
// geometry-independent one-centre terms) it is the frozen-density energy
// E_core + ½ Σ P (H + F); the gradient differentiates it pair by pair.

#include "integrals/diatomic_pair_integrals.hpp"
#include "integrals/multipoles.hpp"
#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <optional>
#include <vector>

namespace quelm {

class PairEnergyEvaluator {
  public:
    // Caches each atom's parameters and its packed one-centre density block; the batch,
    // model and density must outlive the evaluator.
    PairEnergyEvaluator(const MolecularBatch& batch, const ParameterModel& model,
                        const AlignedMatrix& density, bool use_nddo);

    // Whether the model has parameters for atom i (other atoms have no pair terms).
    bool covers(std::size_t i) const { return elements_[i].has_value(); }

    // Pair energy (eV) of atoms a > b when r_b − r_a = separation (Å): core repulsion,
    // resonance, electron–nuclear attraction and two-centre electron repulsion.
    double pair_energy(std::size_t a, std::size_t b, const Coordinate& separation) const;

  private:
    double resonance_energy(std::size_t a, std::size_t b, const Coordinate& separation,
                            double r) const;
    double nddo_energy(std::size_t a, std::size_t b, const Coordinate& separation, double r) const;
    double simplified_energy(std::size_t a, std::size_t b, double r) const;

    const MolecularBatch& batch_;
    const ParameterModel& model_;
    const AlignedMatrix& density_;
    bool use_nddo_;
    std::vector<std::optional<ElementParameters>> elements_;
    std::vector<DerivedMultipoleParams> multipoles_;
    // Per atom: P_μν over its orbital pairs μ ≥ ν, off-diagonal pairs doubled, so that a
    // contraction over packed pairs counts both orderings.
    std::vector<std::vector<double>> packed_density_;
    std::vector<double> populations_; // Σ P_μμ over the atom's orbitals
    mutable DiatomicPairIntegrals scratch_;
};

} // namespace quelm
