#pragma once
// The principal inertial frame of a molecule: the frame in which response tensors are
// conventionally quoted, so that α of a symmetric molecule comes out (nearly) diagonal.

#include "types/molecular_batch.hpp"

namespace quelm {

// A new batch with the same atoms and basis, rotated into the principal axes of inertia
// (standard atomic masses; axes by ascending moment, right-handed) and then shifted so the
// unweighted mean of the positions is the origin. Fixed tiny offsets (1e-10 … 6e-10
// amu·Å²) on the inertia tensor make the choice of axes reproducible for symmetric tops.
MolecularBatch align_principal_axes(const MolecularBatch& batch);

} // namespace quelm
