// Pulay DIIS (Chem. Phys. Lett. 73, 393 (1980); J. Comput. Chem. 3, 556 (1982)).
//
// At self-consistency the Fock and density matrices commute, so the commutator FP − PF is the
// error vector of an iterate. With the stored Fock matrices F_k and errors e_k, the
// coefficients c minimise |Σ c_k e_k|² under Σ c_k = 1: a Lagrange system bordered by −1 over
// the Gram matrix B(i, j) = ⟨e_i, e_j⟩. The history is a ring of preallocated slots addressed
// through slot_order, and B gains one row and column per push instead of being rebuilt. An
// unusable system (nearly dependent errors, wild coefficients) sheds its oldest entries
// until it becomes solvable or only the newest entry is left.

#include "scf/diis.hpp"

#include "scf/dense_kernel_threshold.hpp"
#include "scf/matrix_product.hpp"
#include "types/internal_error.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace quelm {

namespace {

using BMatrix = std::array<std::array<double, MAX_DIIS_CAPACITY>, MAX_DIIS_CAPACITY>;

// Below this largest diagonal of B every error vanishes and there is nothing to extrapolate.
constexpr double min_scale = 1e-16;
// Smallest pivot of the scaled bordered system treated as non-singular.
constexpr double min_pivot = 1e-12;
// Coefficients beyond this magnitude amplify noise instead of cancelling errors.
constexpr double max_coefficient = 50.0;
// Allowed drift of Σ c from one after elimination.
constexpr double max_sum_deviation = 1e-3;

// Frobenius inner product Σ_ij x_ij y_ij of two n x n matrices.
double frobenius(const AlignedMatrix& x, const AlignedMatrix& y) {
    const double* xd = x.data();
    const double* yd = y.data();
    double sum = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        sum += xd[i] * yd[i];
    return sum;
}

// Moves every entry of B one position towards the origin: (i, j) ← (i + 1, j + 1) for
// i, j < last, forgetting position 0.
void shift_b_matrix(BMatrix& b, std::size_t last) {
    for (std::size_t i = 0; i < last; ++i) {
        for (std::size_t j = 0; j < last; ++j)
            b[i][j] = b[i + 1][j + 1];
    }
}

// Makes the position-0 slot the entry at `last` after shifting positions 1..last down.
void rotate_slot_order(std::array<std::size_t, MAX_DIIS_CAPACITY>& order, std::size_t last) {
    const std::size_t oldest = order[0];
    for (std::size_t k = 0; k < last; ++k)
        order[k] = order[k + 1];
    order[last] = oldest;
}

// e = S − Sᵀ row by row, with Σ e² and max |e|.
void antisymmetric_part_by_rows(const AlignedMatrix& s, AlignedMatrix& error, double& sum_squares,
                                double& max_abs) {
    const std::size_t n = s.rows();
    for (std::size_t i = 0; i < n; ++i) {
        const double* s_row = s.row(i);
        double* e_row = error.row(i);
        for (std::size_t j = 0; j < n; ++j) {
            const double e = s_row[j] - s(j, i);
            e_row[j] = e;
            sum_squares += e * e;
            max_abs = std::max(max_abs, std::abs(e));
        }
    }
}

// The same in square tiles, so that the transposed reads stay in cache for large bases;
// every element is the same, only Σ e² is added up in another order.
void antisymmetric_part_by_tiles(const AlignedMatrix& s, AlignedMatrix& error, double& sum_squares,
                                 double& max_abs) {
    constexpr std::size_t tile = 32;
    const std::size_t n = s.rows();
    for (std::size_t i0 = 0; i0 < n; i0 += tile) {
        const std::size_t i1 = std::min(i0 + tile, n);
        for (std::size_t j0 = 0; j0 < n; j0 += tile) {
            const std::size_t j1 = std::min(j0 + tile, n);
            for (std::size_t i = i0; i < i1; ++i) {
                const double* s_row = s.row(i);
                double* e_row = error.row(i);
                for (std::size_t j = j0; j < j1; ++j) {
                    const double e = s_row[j] - s(j, i);
                    e_row[j] = e;
                    sum_squares += e * e;
                    max_abs = std::max(max_abs, std::abs(e));
                }
            }
        }
    }
}

} // namespace

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

DiisStep DiisWorkspace::push_and_extrapolate(AlignedMatrix& fock, const AlignedMatrix& density,
                                             AlignedMatrix& scratch) {
    const std::size_t n = n_orbitals;
    if (capacity < 2 || fock_history.size() != capacity || error_history.size() != capacity)
        throw InternalError("DIIS workspace used before allocation");
    require_shape(fock, n, "DIIS Fock matrix");
    require_shape(density, n, "DIIS density matrix");
    require_shape(scratch, n, "DIIS scratch matrix");

    // 1. S = F·P.
    multiply_matrices(fock, density, scratch);

    // 2. A free slot while there is one, else recycle the oldest entry's slot.
    std::size_t position = count;
    if (count < capacity) {
        ++count;
    } else {
        position = capacity - 1;
        rotate_slot_order(slot_order, position);
        shift_b_matrix(b_matrix, position);
    }
    const std::size_t slot = slot_order[position];

    // 3. e = S − Sᵀ = FP − PF for symmetric F and P.
    AlignedMatrix& error = error_history[slot];
    double sum_squares = 0.0;
    double max_abs = 0.0;
    if (use_dense_library(n))
        antisymmetric_part_by_tiles(scratch, error, sum_squares, max_abs);
    else
        antisymmetric_part_by_rows(scratch, error, sum_squares, max_abs);
    const double rms =
        std::sqrt(sum_squares / std::max(static_cast<double>(n) * static_cast<double>(n), 1.0));

    // 4. Store F.
    std::copy(fock.data(), fock.data() + fock.size(), fock_history[slot].data());

    // 5. One new row and column of B, the new entry's self product included.
    for (std::size_t k = 0; k < count; ++k) {
        const double b = frobenius(error, error_history[slot_order[k]]);
        b_matrix[position][k] = b;
        b_matrix[k][position] = b;
    }

    DiisStep step{1, max_abs, rms, false};
    if (count == 1)
        return step;

    // 7. Shed the oldest entries until the system solves or only the newest is left.
    std::array<double, MAX_DIIS_CAPACITY> coefficients{};
    while (!solve_pulay_system(b_matrix, count, coefficients)) {
        drop_oldest();
        if (count < 2)
            return step;
    }

    // 8. F = Σ c_k F_k; F itself is safe to overwrite, its copy is in the history.
    const std::size_t m = count;
    double* f = fock.data();
    const std::size_t size = fock.size();
    const double* first = fock_history[slot_order[0]].data();
    for (std::size_t i = 0; i < size; ++i)
        f[i] = coefficients[0] * first[i];
    for (std::size_t k = 1; k < m; ++k) {
        const double c = coefficients[k];
        const double* stored = fock_history[slot_order[k]].data();
        for (std::size_t i = 0; i < size; ++i)
            f[i] += c * stored[i];
    }
    step.history_len = m;
    step.extrapolated = true;
    return step;
}

void DiisWorkspace::drop_oldest() {
    if (count < 2) {
        reset();
        return;
    }
    const std::size_t last = count - 1;
    rotate_slot_order(slot_order, last);
    shift_b_matrix(b_matrix, last);
    // The vacated row and column describe no entry any more.
    for (std::size_t k = 0; k < capacity; ++k) {
        b_matrix[last][k] = 0.0;
        b_matrix[k][last] = 0.0;
    }
    count = last;
}

bool solve_pulay_system(const BMatrix& b_matrix, std::size_t m,
                        std::array<double, MAX_DIIS_CAPACITY>& coefficients) {
    if (m < 2 || m > MAX_DIIS_CAPACITY) {
        throw InternalError("DIIS system size " + std::to_string(m) + " outside 2.." +
                            std::to_string(MAX_DIIS_CAPACITY));
    }

    // Scale by the largest error norm so that the pivot threshold is relative.
    double scale = 0.0;
    for (std::size_t i = 0; i < m; ++i)
        scale = std::max(scale, b_matrix[i][i]);
    if (scale < min_scale)
        return false;

    // Bordered system [B/s −1; −1 0] x = (0, …, 0, −1); x_m is the Lagrange multiplier.
    constexpr std::size_t max_dim = MAX_DIIS_CAPACITY + 1;
    const std::size_t dim = m + 1;
    std::array<std::array<double, max_dim>, max_dim> a{};
    std::array<double, max_dim> rhs{};
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < m; ++j)
            a[i][j] = b_matrix[i][j] / scale;
        a[i][m] = -1.0;
        a[m][i] = -1.0;
    }
    rhs[m] = -1.0;

    // Gaussian elimination with partial pivoting (first largest |pivot| on ties).
    for (std::size_t col = 0; col < dim; ++col) {
        std::size_t pivot_row = col;
        for (std::size_t r = col + 1; r < dim; ++r) {
            if (std::abs(a[r][col]) > std::abs(a[pivot_row][col]))
                pivot_row = r;
        }
        if (!(std::abs(a[pivot_row][col]) >= min_pivot))
            return false;
        if (pivot_row != col) {
            std::swap(a[pivot_row], a[col]);
            std::swap(rhs[pivot_row], rhs[col]);
        }
        for (std::size_t r = col + 1; r < dim; ++r) {
            const double factor = a[r][col] / a[col][col];
            for (std::size_t j = col; j < dim; ++j)
                a[r][j] -= factor * a[col][j];
            rhs[r] -= factor * rhs[col];
        }
    }

    std::array<double, max_dim> x{};
    for (std::size_t i = dim; i-- > 0;) {
        double sum = rhs[i];
        for (std::size_t j = i + 1; j < dim; ++j)
            sum -= a[i][j] * x[j];
        x[i] = sum / a[i][i];
    }

    double total = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        if (!std::isfinite(x[k]) || std::abs(x[k]) > max_coefficient)
            return false;
        total += x[k];
    }
    if (std::abs(total - 1.0) > max_sum_deviation)
        return false;
    for (std::size_t k = 0; k < m; ++k)
        coefficients[k] = x[k];
    return true;
}

} // namespace quelm
