// Cost of the excited-state pipeline per active-space size: the SCF it sits on, the CI
// (integrals, CI matrix, diagonalisation, ⟨S²⟩, transition dipoles), the spectrum and the
// target-root gradient (central differences of the root energy, 6N warm-started SCFs).
//
// Times are CPU milliseconds.
// Usage: excited_states_profile [--method PM6] [--gradient-max-orbitals 4] file.xyz ...

#include "ci/meci.hpp"
#include "ci/root_gradient.hpp"
#include "ci/spectrum.hpp"
#include "parameters/parameter_model.hpp"
#include "scf/scf_loop.hpp"
#include "xyz_molecule.hpp"

#include <cstdio>
#include <cstring>
#include <string>
#include <time.h>
#include <vector>

namespace {

// Process CPU time: on a shared machine wall time mostly measures the neighbours. Run with
// OPENBLAS_NUM_THREADS=1 (as the runner script does) so that all work is on this thread.
struct CpuClock {
    using time_point = double;
    static double now() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
    }
};
using Clock = CpuClock;

double ms_since(double start) {
    return Clock::now() - start;
}

} // namespace

int main(int argc, char** argv) {
    std::string method = "PM6";
    std::size_t gradient_max_orbitals = 4;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--method") == 0 && i + 1 < argc) {
            method = argv[++i];
        } else if (std::strcmp(argv[i], "--gradient-max-orbitals") == 0 && i + 1 < argc) {
            gradient_max_orbitals = std::stoul(argv[++i]);
        } else {
            files.emplace_back(argv[i]);
        }
    }
    const quelm::ParameterModel* model = quelm::find_model(method);
    if (model == nullptr) {
        std::fprintf(stderr, "unknown method %s\n", method.c_str());
        return 1;
    }
    std::printf(
        "| molecule | atoms | AOs | SCF ms | n | microstates | CI ms | CI/SCF | spectrum ms "
        "| gradient ms |\n|---|---|---|---|---|---|---|---|---|---|\n");
    for (const std::string& file : files) {
        const quelm::bench::Molecule molecule = quelm::bench::read_xyz(file);
        quelm::MolecularBatch batch = quelm::MolecularBatch::new_for_model(
            molecule.atomic_numbers, molecule.coordinates, *model);
        quelm::ScfWorkspace scf_workspace = quelm::ScfWorkspace::allocate(batch.n_orbitals);
        auto start = Clock::now();
        const quelm::ScfResult scf =
            quelm::run_rhf_scf_with_options(batch, *model, scf_workspace, quelm::ScfOptions{});
        const double scf_ms = ms_since(start);
        if (!scf.converged) {
            std::printf("| %s | SCF did not converge |\n", molecule.name.c_str());
            continue;
        }
        for (std::size_t n = 2; n <= quelm::max_active_orbitals; ++n) {
            quelm::MeciOptions options;
            options.n_active_orbitals = n;
            options.n_active_electrons = n;
            quelm::MeciWorkspace workspace = quelm::MeciWorkspace::allocate(n, 100);
            start = Clock::now();
            quelm::MeciResult result = quelm::run_meci(
                batch, *model, scf_workspace.eigenvectors, scf_workspace.eigenvalues,
                scf.electronic_energy_ev, scf.total_energy_ev, options, workspace);
            quelm::compute_transition_dipoles_and_oscillator_strengths(
                batch, *model, scf_workspace.eigenvectors, result.active_orbitals, result);
            const double ci_ms = ms_since(start);
            start = Clock::now();
            const quelm::UvVisSpectrum spectrum =
                quelm::simulate_uv_vis_spectrum(result.states, 100.0, 800.0, 1.0, 20.0);
            const double spectrum_ms = ms_since(start);
            std::string gradient = "-";
            if (n <= gradient_max_orbitals) {
                quelm::ScfWorkspace displaced = scf_workspace;
                start = Clock::now();
                const auto g =
                    quelm::compute_ci_root_gradient(batch, *model, options, displaced, workspace);
                gradient = std::to_string(static_cast<long>(ms_since(start)));
                if (g.empty())
                    gradient += " (failed)";
            }
            std::printf("| %s | %zu | %zu | %.1f | %zu | %zu | %.2f | %.3f | %.2f | %s |\n",
                        molecule.name.c_str(), batch.n_atoms, batch.n_orbitals, scf_ms, n,
                        result.microstates.size(), ci_ms, ci_ms / scf_ms, spectrum_ms,
                        gradient.c_str());
            (void)spectrum;
            std::fflush(stdout);
        }
    }
    return 0;
}
