#include "scf/scf_workspace.hpp"

namespace quelm {

ScfWorkspace ScfWorkspace::allocate(std::size_t n) {
    ScfWorkspace workspace;
    workspace.diis = DiisWorkspace::allocate(n, 6);
    workspace.n_orbitals = n;
    workspace.fock = AlignedMatrix(n, n);
    workspace.density = AlignedMatrix(n, n);
    workspace.hcore = AlignedMatrix(n, n);
    workspace.eigenvectors = AlignedMatrix(n, n);
    workspace.eigenvalues = AlignedVec64(n);
    workspace.new_density = AlignedMatrix(n, n);
    workspace.fp_product = AlignedMatrix(n, n);
    workspace.eigen_work = AlignedMatrix(n, n);
    return workspace;
}

void ScfWorkspace::restart() {
    for (AlignedMatrix* matrix :
         {&fock, &density, &hcore, &eigenvectors, &new_density, &fp_product, &eigen_work}) {
        matrix->fill(0.0);
    }
    eigenvalues.fill(0.0);
    diis.reset();
}

} // namespace quelm
