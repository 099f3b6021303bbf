// Cyclic Jacobi diagonalisation of a real symmetric matrix.
//
// Each plane rotation (p, q) annihilates W(p, q) and rotates rows and columns p and q of the
// work copy W; the product of all rotations accumulates into the eigenvector matrix V. The
// sweeps visit the strict upper triangle row by row. The first three sweeps rotate only
// elements above a fifth of the mean off-diagonal magnitude, so that large couplings go first;
// from the sixth sweep on, an element negligible against both diagonal entries is simply set to
// zero. The method needs no tridiagonal reduction and gives orthonormal eigenvectors to full
// precision (Jacobi 1846; the rotation formulas in their numerically stable form, with
// t = tan φ and ρ = tan(φ/2), follow Rutishauser, Numer. Math. 9, 1 (1966)).
//
// V is accumulated transposed in the caller's eigenvector storage: a rotation then updates two
// contiguous rows instead of two strided columns. The arithmetic per element is unchanged,
// and one in-place transpose at the end restores one eigenvector per column. The work copy
// has no such shortcut: W must stay symmetric, so every rotation touches columns p and q.
//
// This is the engine's exact small-basis kernel: diagonalize_symmetric uses it below the dense
// kernel threshold, so its arithmetic must not change.

#include "scf/jacobi_eigensolver.hpp"

#include "scf/eigensolver.hpp"
#include "types/internal_error.hpp"

#include <cmath>
#include <cstddef>
#include <utility>

namespace quelm {

namespace {

constexpr int max_sweeps = 100;
// Convergence: the summed off-diagonal magnitude falls below n · 1e-14.
constexpr double convergence_per_row = 1e-14;
// Sweeps 0 to 2 skip elements below this fraction of the mean off-diagonal magnitude.
constexpr double threshold_fraction = 0.2;
constexpr int last_thresholded_sweep = 2;
// After this sweep, an element that would not change either diagonal entry is zeroed.
constexpr int first_negligible_sweep = 5;
// |a| counts as negligible against |d| when |d| + 100 |a| rounds to |d|.
constexpr double negligible_factor = 100.0;

// Σ |W(p, q)| over the strict upper triangle.
double off_diagonal_sum(const AlignedMatrix& w) {
    const std::size_t n = w.rows();
    double off = 0.0;
    for (std::size_t p = 0; p + 1 < n; ++p) {
        const double* row = w.row(p);
        for (std::size_t q = p + 1; q < n; ++q)
            off += std::abs(row[q]);
    }
    return off;
}

// x ← x − s(y + ρx), y ← y + s(x − ρy) over two contiguous rows of length n.
void rotate_rows(double* x_row, double* y_row, std::size_t n, double s, double rho) {
    for (std::size_t r = 0; r < n; ++r) {
        const double x = x_row[r];
        const double y = y_row[r];
        x_row[r] = x - s * (y + rho * x);
        y_row[r] = y + s * (x - rho * y);
    }
}

// Annihilates W(p, q) = a by one plane rotation and applies it to the transposed V.
void rotate(AlignedMatrix& w, AlignedMatrix& v_transposed, std::size_t p, std::size_t q, double a,
            double g) {
    const std::size_t n = w.rows();
    double* w_p = w.row(p);
    double* w_q = w.row(q);
    const double h = w_q[q] - w_p[p];
    double t = 0.0;
    if (std::abs(h) + g == std::abs(h)) {
        // The coupling is tiny against the diagonal gap: tan φ ≈ a / h without overflow.
        t = a / h;
    } else {
        // Smaller root of t² + 2θt − 1 = 0, i.e. the rotation angle below π/4.
        const double theta = 0.5 * h / a;
        t = 1.0 / (std::abs(theta) + std::sqrt(theta * theta + 1.0));
        if (theta < 0.0)
            t = -t;
    }
    const double c = 1.0 / std::sqrt(t * t + 1.0);
    const double s = t * c;
    const double rho = s / (1.0 + c);

    w_p[p] -= t * a;
    w_q[q] += t * a;
    w_p[q] = 0.0;
    w_q[p] = 0.0;

    // One pass over the other rows: each reads its entries in columns p and q and writes the
    // rotated values there and, mirrored, into rows p and q, keeping W exactly symmetric.
    for (std::size_t r = 0; r < n; ++r) {
        if (r == p || r == q)
            continue;
        double* w_r = w.row(r);
        const double x = w_r[p];
        const double y = w_r[q];
        const double new_x = x - s * (y + rho * x);
        const double new_y = y + s * (x - rho * y);
        w_r[p] = new_x;
        w_r[q] = new_y;
        w_p[r] = new_x;
        w_q[r] = new_y;
    }

    // Columns p and q of V are rows p and q of its transpose.
    rotate_rows(v_transposed.row(p), v_transposed.row(q), n, s, rho);
}

// One cyclic sweep over the strict upper triangle.
void sweep(AlignedMatrix& w, AlignedMatrix& v_transposed, int sweep_index, double threshold) {
    const std::size_t n = w.rows();
    for (std::size_t p = 0; p + 1 < n; ++p) {
        for (std::size_t q = p + 1; q < n; ++q) {
            const double a = w(p, q);
            const double g = negligible_factor * std::abs(a);
            const double d_p = std::abs(w(p, p));
            const double d_q = std::abs(w(q, q));
            if (sweep_index >= first_negligible_sweep && d_p + g == d_p && d_q + g == d_q) {
                w(p, q) = 0.0;
                w(q, p) = 0.0;
            } else if (std::abs(a) > threshold) {
                rotate(w, v_transposed, p, q, a, g);
            }
        }
    }
}

// Ascending selection sort of the eigenvalues; swapping rows of the transposed V swaps the
// eigenvector columns. On ties the first smallest value found is taken (not a stable sort).
void sort_ascending(AlignedVec64& eigenvalues, AlignedMatrix& v_transposed) {
    const std::size_t n = eigenvalues.size();
    for (std::size_t k = 0; k + 1 < n; ++k) {
        std::size_t smallest = k;
        for (std::size_t j = k + 1; j < n; ++j) {
            if (eigenvalues[j] < eigenvalues[smallest])
                smallest = j;
        }
        if (smallest == k)
            continue;
        std::swap(eigenvalues[k], eigenvalues[smallest]);
        double* row_k = v_transposed.row(k);
        double* row_s = v_transposed.row(smallest);
        for (std::size_t r = 0; r < n; ++r)
            std::swap(row_k[r], row_s[r]);
    }
}

void transpose_in_place(AlignedMatrix& m) {
    const std::size_t n = m.rows();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j)
            std::swap(m(i, j), m(j, i));
    }
}

} // namespace

int jacobi_diagonalize_symmetric(const AlignedMatrix& a, AlignedMatrix& work,
                                 AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors) {
    require_eigenproblem_shapes(a, work, eigenvalues, eigenvectors);
    const std::size_t n = a.rows();
    if (n == 0)
        return 1; // an empty matrix is diagonal

    // Copy before touching V, so that the eigenvectors may overwrite the input matrix.
    if (work.data() != a.data()) {
        const double* source = a.data();
        double* target = work.data();
        for (std::size_t i = 0; i < n * n; ++i)
            target[i] = source[i];
    }
    AlignedMatrix& v_transposed = eigenvectors;
    v_transposed.fill(0.0);
    for (std::size_t i = 0; i < n; ++i)
        v_transposed(i, i) = 1.0;

    const double pair_count = 0.5 * static_cast<double>(n) * static_cast<double>(n - 1);
    int tests = max_sweeps;
    for (int s = 0; s < max_sweeps; ++s) {
        const double off = off_diagonal_sum(work);
        if (static_cast<double>(n) * convergence_per_row > off) {
            tests = s + 1;
            break;
        }
        const double threshold =
            s <= last_thresholded_sweep ? threshold_fraction * off / pair_count : 0.0;
        sweep(work, v_transposed, s, threshold);
    }

    for (std::size_t k = 0; k < n; ++k)
        eigenvalues[k] = work(k, k);
    sort_ascending(eigenvalues, v_transposed);
    transpose_in_place(v_transposed);
    return tests;
}

} // namespace quelm
