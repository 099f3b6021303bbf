// Finite-field polarizability with every field SCF started from the converged zero-field
// density, against the same calculation started each time from the neutral-atom guess.
// Prints the wall time of both (best of a few runs) and the largest difference of the raw
// α tensor and of the γ average, which must stay within the SCF tolerances.
//
// Usage: polarizability_warm_start FILE.xyz ...

#include "parameters/models.hpp"
#include "properties/polarizability.hpp"
#include "xyz_molecule.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

using namespace quelm;

struct Timed {
    PolarizabilityResult result;
    double seconds = 0.0;
};

Timed best_of(const MolecularBatch& batch, const PolarizabilityOptions& options, int runs) {
    Timed timed{{}, 1e300};
    for (int k = 0; k < runs; ++k) {
        const auto start = std::chrono::steady_clock::now();
        timed.result = compute_polarizability(batch, pm6_model(), options).value();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        timed.seconds = std::min(timed.seconds, elapsed.count());
    }
    return timed;
}

} // namespace

int main(int argc, char** argv) {
    std::printf("| molecule | atoms | warm (s) | cold (s) | cold/warm | iterations warm / cold | "
                "max |Δα| (a.u.) | "
                "Δγ avg (a.u.) | converged |\n|---|---:|---:|---:|---:|---:|---:|---:|---|\n");
    for (int i = 1; i < argc; ++i) {
        const bench::Molecule molecule = bench::read_xyz(argv[i]);
        const MolecularBatch batch = MolecularBatch::new_for_model(
            molecule.atomic_numbers, molecule.coordinates, pm6_model());
        PolarizabilityOptions warm;
        PolarizabilityOptions cold;
        cold.start_from_zero_field_density = false;
        const int runs = batch.n_atoms > 50 ? 1 : 3;
        const Timed a = best_of(batch, warm, runs);
        const Timed b = best_of(batch, cold, runs);
        double alpha_difference = 0.0;
        for (std::size_t r = 0; r < 3; ++r)
            for (std::size_t c = 0; c < 3; ++c)
                alpha_difference = std::max(alpha_difference, std::fabs(a.result.alpha_raw[r][c] -
                                                                        b.result.alpha_raw[r][c]));
        std::printf("| %s | %zu | %.3f | %.3f | %.2f | %zu / %zu | %.1e | %.2e | %s |\n",
                    molecule.name.c_str(), batch.n_atoms, a.seconds, b.seconds,
                    b.seconds / a.seconds, a.result.scf_iterations, b.result.scf_iterations,
                    alpha_difference,
                    std::fabs(a.result.gamma_average_au - b.result.gamma_average_au),
                    a.result.all_scf_converged && b.result.all_scf_converged ? "yes" : "no");
        std::fflush(stdout); // a row as soon as it is measured: large molecules take minutes
    }
    return 0;
}
