// Central-difference Cartesian Hessian over re-converged SCFs, run on all cores.
//
// Work is handed out one free coordinate at a time (its + and then its − displacement) through
// an atomic counter, so a slow SCF does not hold up the other threads.
// Each displaced gradient is stored in its own row; the Hessian is assembled from those rows
// after the threads have joined, in a fixed order, so the result is the same for any thread
// count. OpenBLAS runs on one thread while the workers run (they already fill the cores, and
// nested BLAS threads would only contend for them; one thread also makes a serial and a
// parallel run compute each diagonalisation identically); its setting is restored afterwards.

#include "vibrations/finite_difference_hessian.hpp"

#include "gradients/nuclear_gradients.hpp"
#include "scf/dense_kernel_threshold.hpp"
#include "scf/scf_workspace.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <exception>
#include <thread>

// The thread count of the OpenBLAS that scipy-openblas32 ships (process-wide).
extern "C" {
int scipy_openblas_get_num_threads(void);
void scipy_openblas_set_num_threads(int num_threads);
}

namespace quelm {

namespace {

double* coordinate_array(MolecularBatch& batch, std::size_t axis) {
    return axis == 0 ? batch.coords_x.data()
                     : (axis == 1 ? batch.coords_y.data() : batch.coords_z.data());
}

void copy_density(const AlignedMatrix& from, AlignedMatrix& to) {
    if (from.size() != 0)
        std::memcpy(to.data(), from.data(), from.size() * sizeof(double));
}

// The SCF at a displaced geometry: one run with the given options (from `start_density` when
// asked), then, if it did not converge, the retry ladder from a cold start.
bool converge_displaced_scf(const MolecularBatch& batch, const ParameterModel& model,
                            ScfWorkspace& workspace, const AlignedMatrix& start_density,
                            const FiniteDifferenceHessianSettings& settings) {
    ScfOptions options = settings.scf;
    options.start_from_workspace_density = settings.start_from_reference_density;
    if (settings.start_from_reference_density)
        copy_density(start_density, workspace.density);
    if (run_rhf_scf_with_options(batch, model, workspace, options).converged)
        return true;
    // The ladder knows vacuum and COSMO only; a field or point charges keep the first result.
    if (options.electric_field || options.external_charges)
        return false;
    workspace.restart();
    return run_rhf_scf_adaptive_with_nddo_and_cosmo(batch, model, workspace, options.max_iter,
                                                    options.energy_tol_ev, options.density_tol,
                                                    options.use_nddo, options.cosmo, false)
        .converged;
}

// Everything the workers share: read-only inputs, the free coordinates (one task each: the
// + and then the − displacement), two gradient rows per task and the first exception a worker
// met.
struct SharedWork {
    SharedWork(const MolecularBatch& batch_, const ParameterModel& model_,
               const AlignedMatrix& reference_density_,
               const FiniteDifferenceHessianSettings& settings_)
        : batch(batch_), model(model_), reference_density(reference_density_), settings(settings_) {
    }

    const MolecularBatch& batch;
    const ParameterModel& model;
    const AlignedMatrix& reference_density;
    const FiniteDifferenceHessianSettings& settings;
    std::vector<std::size_t> coordinates;
    AlignedMatrix gradients; // 2 per task x 3N, eV/Å: + then −
    std::atomic<std::size_t> next_task{0};
    std::atomic<std::size_t> unconverged{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::atomic_flag error_taken; // clear on construction (C++20)
    // The caller's switch-over to LAPACK/BLAS, so workers diagonalise as the caller would.
    std::size_t dense_kernel_threshold_in_effect = dense_kernel_threshold();
};

// The − displacement starts from 2·P₀ − P₊, the density extrapolated linearly through the
// reference and the + point: its error is O(h²) instead of O(h), which saves SCF iterations.
void extrapolate_density(const AlignedMatrix& reference, const AlignedMatrix& plus,
                         AlignedMatrix& out) {
    const double* p0 = reference.data();
    const double* p1 = plus.data();
    double* q = out.data();
    for (std::size_t k = 0; k < out.size(); ++k)
        q[k] = 2.0 * p0[k] - p1[k];
}

void run_worker(SharedWork& work) {
    try {
        const ScopedDenseKernelThreshold threshold(work.dense_kernel_threshold_in_effect);
        MolecularBatch batch = work.batch;
        ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
        AlignedMatrix minus_start(batch.n_orbitals, batch.n_orbitals);
        std::vector<std::array<double, 3>> gradient(batch.n_atoms);
        const double step = work.settings.step_angstrom;
        for (std::size_t t = work.next_task++; t < work.coordinates.size() && !work.failed;
             t = work.next_task++) {
            const std::size_t c = work.coordinates[t];
            double& value = coordinate_array(batch, c % 3)[c / 3];
            const double saved = value;
            for (std::size_t side = 0; side < 2; ++side) {
                value = side == 0 ? saved + step : saved - step;
                const AlignedMatrix* density = &work.reference_density;
                if (work.settings.relax_scf) {
                    const AlignedMatrix* start = &work.reference_density;
                    if (side == 1) {
                        extrapolate_density(work.reference_density, workspace.density, minus_start);
                        start = &minus_start;
                    }
                    if (!converge_displaced_scf(batch, work.model, workspace, *start,
                                                work.settings)) {
                        ++work.unconverged;
                    }
                    density = &workspace.density;
                }
                compute_cartesian_gradients_with_options(
                    batch, work.model, *density, gradient,
                    GradientOptions{work.settings.scf.use_nddo});
                double* row = work.gradients.row(2 * t + side);
                for (std::size_t a = 0; a < batch.n_atoms; ++a)
                    for (std::size_t k = 0; k < 3; ++k)
                        row[3 * a + k] = gradient[a][k];
            }
            value = saved;
        }
    } catch (...) {
        work.failed = true;
        if (!work.error_taken.test_and_set())
            work.error = std::current_exception();
    }
}

// One BLAS thread while it lives; the previous count afterwards. The calling thread sets
// and restores it around the workers, which are the only BLAS users meanwhile.
class SingleBlasThread {
  public:
    SingleBlasThread() : previous_(scipy_openblas_get_num_threads()) {
        scipy_openblas_set_num_threads(1);
    }
    ~SingleBlasThread() { scipy_openblas_set_num_threads(previous_); }
    SingleBlasThread(const SingleBlasThread&) = delete;
    SingleBlasThread& operator=(const SingleBlasThread&) = delete;

  private:
    int previous_;
};

std::size_t worker_count(std::size_t requested, std::size_t tasks) {
    std::size_t threads = requested;
    if (threads == 0)
        threads = std::max<std::size_t>(1, std::thread::hardware_concurrency());
    return std::max<std::size_t>(1, std::min(threads, tasks));
}

} // namespace

FiniteDifferenceHessian
compute_finite_difference_hessian(const MolecularBatch& batch, const ParameterModel& model,
                                  const AlignedMatrix& reference_density,
                                  const FiniteDifferenceHessianSettings& settings) {
    const std::size_t n = 3 * batch.n_atoms;
    require_shape(reference_density, batch.n_orbitals, "reference density");
    if (!settings.free_coordinates.empty() && settings.free_coordinates.size() != n) {
        throw InternalError(
            size_mismatch("frozen-coordinate mask", settings.free_coordinates.size(), n));
    }
    const auto is_free = [&](std::size_t c) {
        return settings.free_coordinates.empty() || settings.free_coordinates[c];
    };

    SharedWork work(batch, model, reference_density, settings);
    for (std::size_t c = 0; c < n; ++c) {
        if (is_free(c))
            work.coordinates.push_back(c);
    }
    work.gradients = AlignedMatrix(2 * work.coordinates.size(), n);
    const std::size_t threads = worker_count(settings.max_threads, work.coordinates.size());
    {
        const SingleBlasThread single_blas_thread;
        std::vector<std::thread> workers;
        workers.reserve(threads);
        for (std::size_t i = 0; i < threads && !work.coordinates.empty(); ++i)
            workers.emplace_back(run_worker, std::ref(work));
        for (std::thread& worker : workers)
            worker.join();
    }
    if (work.error)
        std::rethrow_exception(work.error);

    FiniteDifferenceHessian result{AlignedMatrix(n, n), work.unconverged.load()};
    AlignedMatrix& hessian = result.hessian;
    // kcal/(mol·Å²) from the eV/Å gradient difference over 2h.
    const double scale = kcal_mol_per_ev / (2.0 * settings.step_angstrom);
    for (std::size_t t = 0; t < work.coordinates.size(); ++t) {
        const std::size_t c = work.coordinates[t];
        const double* plus = work.gradients.row(2 * t);
        const double* minus = work.gradients.row(2 * t + 1);
        for (std::size_t i = 0; i < n; ++i)
            hessian(i, c) = (plus[i] - minus[i]) * scale;
    }
    for (std::size_t c = 0; c < n; ++c) {
        if (!is_free(c))
            hessian(c, c) = settings.frozen_diagonal;
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const double mean = 0.5 * (hessian(i, j) + hessian(j, i));
            hessian(i, j) = mean;
            hessian(j, i) = mean;
        }
    }
    return result;
}

} // namespace quelm
