#include "scf/diis.hpp"

#include <algorithm>

namespace quelm {

DiisWorkspace DiisWorkspace::allocate(std::size_t n, std::size_t requested_capacity) {
    DiisWorkspace diis;
    diis.n_orbitals = n;
    diis.capacity = std::clamp<std::size_t>(requested_capacity < 3 ? 2 : requested_capacity, 2,
                                            MAX_DIIS_CAPACITY);
    diis.fock_history.reserve(diis.capacity);
    diis.error_history.reserve(diis.capacity);
    for (std::size_t slot = 0; slot < diis.capacity; ++slot) {
        diis.fock_history.emplace_back(n, n);
        diis.error_history.emplace_back(n, n);
    }
    for (std::size_t i = 0; i < MAX_DIIS_CAPACITY; ++i)
        diis.slot_order[i] = i;
    return diis;
}

void DiisWorkspace::reset() {
    count = 0;
    for (std::size_t i = 0; i < capacity; ++i) {
        slot_order[i] = i;
        for (std::size_t j = 0; j < capacity; ++j)
            b_matrix[i][j] = 0.0;
    }
}

} // namespace quelm
