// How often a single point checks for interruption: the longest wall-clock gap before the
// first poll (batch, pair integrals, core Hamiltonian) and between two polls during the
// SCF iterations and the gradient. A Ctrl-C waits at most one such gap.
//
// Usage: poll_interval [--method PM6] FILE.xyz...

#include "gradients/nuclear_gradients.hpp"
#include "parameters/parameter_model.hpp"
#include "scf/scf_loop.hpp"
#include "types/interruption.hpp"
#include "xyz_molecule.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

using namespace quelm;
using Clock = std::chrono::steady_clock;

namespace {

// Gaps between consecutive polls within one phase; the first gap (from the phase start to
// the first poll) is kept apart, and the phase end counts as a last poll.
Clock::time_point last_poll;
double first_gap_s = 0.0;
double longest_gap_s = 0.0;
int polls = 0;

void record_gap() {
    const Clock::time_point now = Clock::now();
    const double gap_s = std::chrono::duration<double>(now - last_poll).count();
    if (polls == 0)
        first_gap_s = gap_s;
    else
        longest_gap_s = std::max(longest_gap_s, gap_s);
    last_poll = now;
}

bool recording_poll() noexcept {
    record_gap();
    ++polls;
    return false;
}

void start_phase() {
    last_poll = Clock::now();
    first_gap_s = longest_gap_s = 0.0;
    polls = 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string method = "PM6";
    set_interruption_poll(&recording_poll);
    std::printf("%-20s %6s %9s %15s %10s %15s %10s\n", "molecule", "atoms", "setup s",
                "SCF max gap s", "SCF polls", "grad max gap s", "grad polls");
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--method" && i + 1 < argc) {
            method = argv[++i];
            continue;
        }
        const bench::Molecule molecule = bench::read_xyz(argument);
        const ParameterModel& model = *find_model(method);
        MolecularBatch batch =
            MolecularBatch::new_for_model(molecule.atomic_numbers, molecule.coordinates, model);
        ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);

        // The first SCF poll comes at the top of the first iteration: that gap is the setup.
        start_phase();
        run_rhf_scf_with_options(batch, model, workspace, {});
        record_gap();
        const double setup_s = first_gap_s;
        const double scf_gap_s = longest_gap_s;
        const int scf_polls = polls;

        std::vector<std::array<double, 3>> gradient(batch.n_atoms);
        start_phase();
        compute_cartesian_gradients_with_options(batch, model, workspace.density, gradient, {});
        record_gap();
        const double gradient_gap_s = std::max(first_gap_s, longest_gap_s);
        std::printf("%-20s %6zu %9.3f %15.3f %10d %15.4f %10d\n", molecule.name.c_str(),
                    batch.n_atoms, setup_s, scf_gap_s, scf_polls, gradient_gap_s, polls);
    }
    return 0;
}
