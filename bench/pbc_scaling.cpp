// Time per Bloch SCF iteration against the number of k-points, the cluster extent (mers)
// and the cell size, and a count of the heap allocations made inside the iterations.
//
// Each row runs the same system with the convergence test disabled (tolerances 0), once for
// `short_run` and once for `long_run` iterations, after a warm-up run that sizes the
// workspace; the difference of the two processor times over the difference of the iteration
// counts is the cost of one iteration, free of the set-up (cluster, pair integrals, core
// Hamiltonian) and of the band structure. Processor time, the best of three, so that other
// jobs on the machine do not count; run it with OPENBLAS_NUM_THREADS=1. The heap allocations
// are counted the same way through a global operator new: the column gives those made by
// the extra iterations of the long run (0 when the iterations allocate nothing).
//
// Usage: OPENBLAS_NUM_THREADS=1 pbc_scaling

#include "parameters/models.hpp"
#include "pbc/bloch_scf.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<std::size_t> allocation_count{0};

} // namespace

void* operator new(std::size_t size) {
    allocation_count.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace quelm;

namespace {

struct System {
    std::string name;
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    std::vector<Coordinate> translations;
};

// All-trans polyethylene with `units` C2H4 units per cell along x (C–C 1.53 Å, C–H 1.09 Å,
// H–C–H 107.5°, 2.55 Å per C2H4).
System polyethylene(int units) {
    const double step = 1.275;
    const double y = 0.5 * std::sqrt(1.53 * 1.53 - step * step);
    const double half_angle = 0.5 * 107.5 * std::acos(-1.0) / 180.0;
    const double hy = 1.09 * std::cos(half_angle), hz = 1.09 * std::sin(half_angle);
    System s{"polyethylene x" + std::to_string(units), {}, {}, {{2.55 * units, 0.0, 0.0}}};
    for (int c = 0; c < 2 * units; ++c) {
        const double sign = c % 2 == 0 ? 1.0 : -1.0;
        const double x = c * step;
        s.atomic_numbers.insert(s.atomic_numbers.end(), {6, 1, 1});
        s.coordinates.push_back({x, sign * y, 0.0});
        s.coordinates.push_back({x, sign * (y + hy), hz});
        s.coordinates.push_back({x, sign * (y + hy), -hz});
    }
    return s;
}

// Monolayer hexagonal boron nitride in its rectangular four-atom cell (B–N 1.4457 Å).
System boron_nitride() {
    const double a = 2.504, d = a / std::sqrt(3.0), h = a * std::sqrt(3.0) / 2.0;
    return {"h-BN sheet",
            {5, 7, 5, 7},
            {{0.0, 0.0, 0.0}, {0.0, d, 0.0}, {a / 2, h, 0.0}, {a / 2, h + d, 0.0}},
            {{a, 0.0, 0.0}, {0.0, 2.0 * h, 0.0}}};
}

double processor_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

struct Timing {
    double seconds_per_iteration;
    long extra_iteration_allocations;
    std::size_t orbitals;
    std::size_t supercell_atoms;
};

Timing time_iterations(const System& system, LatticeCounts mers, LatticeCounts k_grid) {
    const ParameterModel& model = pm6_model();
    const MolecularBatch batch =
        MolecularBatch::new_for_model(system.atomic_numbers, system.coordinates, model);
    std::array<Coordinate, 3> vectors{};
    for (std::size_t d = 0; d < system.translations.size(); ++d)
        vectors[d] = system.translations[d];
    PbcOptions options;
    options.cell = UnitCell::from_translation_vectors(vectors, system.translations.size()).value();
    options.mers = mers;
    options.k_grid = k_grid;
    options.energy_tol = 0.0;
    options.density_tol = 0.0;
    options.band_points = 10;
    const std::size_t short_run = 3, long_run = 13;
    double best[2] = {1e300, 1e300};
    std::size_t allocations[2] = {0, 0};
    PbcWorkspace workspace;
    for (int r = -1; r < 6; ++r) {
        const bool is_short = r < 0 || r % 2 == 0;
        options.max_iter = is_short ? short_run : long_run;
        const std::size_t before = allocation_count.load();
        const double start = processor_seconds();
        const Result<PbcResult> result = run_pbc_scf(batch, model, options, workspace);
        const double elapsed = processor_seconds() - start;
        if (!result.ok()) {
            std::fprintf(stderr, "%s\n", result.error().c_str());
            std::exit(1);
        }
        if (r < 0)
            continue; // warm-up: sizes the workspace and the LAPACK scratch
        best[is_short ? 0 : 1] = std::min(best[is_short ? 0 : 1], elapsed);
        allocations[is_short ? 0 : 1] = allocation_count.load() - before;
    }
    const double iterations = static_cast<double>(long_run - short_run);
    return {(best[1] - best[0]) / iterations,
            static_cast<long>(allocations[1]) - static_cast<long>(allocations[0]), batch.n_orbitals,
            UnitCell::generate_translation_indices(options.cell, mers).size() * batch.n_atoms};
}

void print_row(const System& system, LatticeCounts mers, LatticeCounts k_grid) {
    const Timing t = time_iterations(system, mers, k_grid);
    std::printf("| %-16s | %3zu | %2d,%2d,%2d | %5zu | %2d,%2d,%2d | %5d | %10.3f | %6ld |\n",
                system.name.c_str(), t.orbitals, mers[0], mers[1], mers[2], t.supercell_atoms,
                k_grid[0], k_grid[1], k_grid[2], k_grid[0] * k_grid[1] * k_grid[2],
                1e3 * t.seconds_per_iteration, t.extra_iteration_allocations);
}

} // namespace

int main() {
    std::printf("| %-16s | %3s | %8s | %5s | %8s | %5s | %10s | %6s |\n", "system", "n", "mers",
                "atoms", "k_grid", "N_k", "ms / iter", "allocs");
    std::printf("|------------------|-----|----------|-------|----------|-------|------------|"
                "--------|\n");
    const System chain = polyethylene(1);
    for (const int k : {1, 4, 16, 64, 256})
        print_row(chain, {5, 1, 1}, {k, 1, 1});
    for (const int m : {3, 9, 15})
        print_row(chain, {m, 1, 1}, {16, 1, 1});
    for (const int units : {2, 4, 8})
        print_row(polyethylene(units), {5, 1, 1}, {16 / units, 1, 1});
    const System sheet = boron_nitride();
    print_row(sheet, {3, 3, 1}, {8, 8, 1});
    print_row(sheet, {5, 5, 1}, {8, 8, 1});
    print_row(sheet, {5, 5, 1}, {16, 16, 1});
    return 0;
}
