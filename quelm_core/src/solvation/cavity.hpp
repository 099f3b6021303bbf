#pragma once
// The molecular cavity of the COSMO continuum model: surface segments on the atomic
// spheres, each with a position, an area, an outward normal and its owning atom.

#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quelm {

struct CavitySegment {
    std::array<double, 3> position{}; // Å, on the owning atom's sphere
    double area = 0.0;                // Å²
    std::array<double, 3> normal{};   // outward unit normal
    std::size_t atom = 0;             // index of the owning atom in the batch
};

// Cavity radius of an element in Å (the COSMO radius set: a few tuned values, otherwise
// 1.17 × the van der Waals radius; 2.0 for Z = 0 and Z ≥ 87).
double cavity_atomic_radius(std::uint8_t z);

struct CosmoCavity {
    // Atom by atom in atom order, within an atom in the order of its coarse grid.
    std::vector<CavitySegment> segments;

    // The cavity of the batch for a solvent probe radius in Å: points of a 1082-point
    // grid on each atom's solvent-accessible sphere (radius r + solvent_radius) that no
    // other atom's solvent-accessible sphere buries, gathered into the segments of a 12-
    // (hydrogen) or 42-point grid on the sphere of radius r. An empty batch throws
    // InternalError("Molecular batch cannot be empty for COSMO").
    static CosmoCavity construct(const MolecularBatch& batch, double solvent_radius);
};

} // namespace quelm
