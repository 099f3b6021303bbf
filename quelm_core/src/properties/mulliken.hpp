#pragma once
// Mulliken population analysis: the SCF orbitals (orthogonalised basis of NDDO) are
// transformed back to the overlapping Slater basis with S^(−½) and the density is
// partitioned by Mulliken's rule (J. Chem. Phys. 23, 1833 (1955)).

#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <vector>

namespace quelm {

struct MullikenResult {
    std::vector<double> gross_orbital_populations;
    std::vector<double> atomic_populations;
    std::vector<double> charges;
    AlignedMatrix overlap;
    AlignedMatrix overlap_inverse_sqrt;
    AlignedMatrix density_ao;
    AlignedMatrix overlap_population;
};

MullikenResult compute_mulliken_population(const MolecularBatch& batch, const ParameterModel& model,
                                           const AlignedMatrix& eigenvectors,
                                           std::size_t n_occupied);

} // namespace quelm
