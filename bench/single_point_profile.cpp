// Profiles the single point on the benchmark geometries: SCF iterations and where the
// time goes (pair integrals and core Hamiltonian once, then per iteration the Fock build,
// the diagonalisation and the rest: DIIS, density, mixing), and the gradient against the
// SCF. Prints one table row per molecule and method.
//
// Usage: single_point_profile [--methods AM1,PM6] [--max-atoms N] [--csv] FILE.xyz...
// --csv prints one line per run instead (name, method, atoms, orbitals, iterations, SCF s,
// integrals s, Fock s, diagonalisation s, gradient s; the Fock and diagonalisation totals
// are one measured build or diagonalisation times the number the SCF performs).

#include "fock/fock_builder.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "hamiltonian/hcore.hpp"
#include "integrals/multipoles.hpp"
#include "parameters/parameter_model.hpp"
#include "scf/eigensolver.hpp"
#include "scf/scf_loop.hpp"
#include "xyz_molecule.hpp"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace quelm;
using bench::Molecule;
using bench::read_xyz;
using Clock = std::chrono::steady_clock;

namespace {

template <typename F> double seconds(F&& work, int repeats = 1) {
    const auto start = Clock::now();
    for (int k = 0; k < repeats; ++k)
        work();
    return std::chrono::duration<double>(Clock::now() - start).count() / repeats;
}

bool covers(const ParameterModel& model, const Molecule& molecule) {
    for (std::uint8_t z : molecule.atomic_numbers) {
        if (!model.get_element(z))
            return false;
    }
    return true;
}

void profile(const Molecule& molecule, const ParameterModel& model, bool csv) {
    MolecularBatch batch =
        MolecularBatch::new_for_model(molecule.atomic_numbers, molecule.coordinates, model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ScfResult result;
    const double scf_s =
        seconds([&] { result = run_rhf_scf_with_options(batch, model, workspace, {}); });

    std::vector<DiatomicPairIntegrals> pairs;
    const double pairs_s = seconds([&] { pairs = precompute_diatomic_pairs(batch, model); });
    AlignedMatrix hcore(batch.n_orbitals, batch.n_orbitals);
    const double hcore_s =
        seconds([&] { build_hcore_nddo(batch, model, pairs.data(), pairs.size(), hcore); });
    const int repeats = batch.n_orbitals > 300 ? 1 : 5;
    AlignedMatrix fock(batch.n_orbitals, batch.n_orbitals);
    const double fock_s = seconds(
        [&] {
            build_fock_nddo(batch, model, pairs.data(), pairs.size(), hcore, workspace.density,
                            fock);
        },
        repeats);
    const double diagonalisation_s = seconds(
        [&] {
            diagonalize_symmetric_with_work(fock, workspace.eigen_work, workspace.eigenvalues,
                                            workspace.eigenvectors);
        },
        repeats);

    std::vector<std::array<double, 3>> gradient(batch.n_atoms);
    const double gradient_s = seconds([&] {
        compute_cartesian_gradients_with_options(batch, model, workspace.density, gradient, {true});
    });

    const double iterations = double(result.iterations);
    // Setup: pair integrals and core Hamiltonian, once per SCF.
    const double setup_s = pairs_s + hcore_s;
    const double per_iteration_s = (scf_s - setup_s) / iterations;
    const double rest_s = per_iteration_s - fock_s - diagonalisation_s;
    if (csv) {
        // One Fock build and one diagonalisation per iteration.
        std::printf("%s,%s,%zu,%zu,%zu,%.6f,%.6f,%.6f,%.6f,%.6f\n", molecule.name.c_str(),
                    std::string(model.name()).c_str(), batch.n_atoms, batch.n_orbitals,
                    result.iterations, scf_s, pairs_s + hcore_s, fock_s * iterations,
                    diagonalisation_s * iterations, gradient_s);
        std::fflush(stdout);
        return;
    }
    std::printf("| %-16s | %-4s | %5zu | %5zu | %3zu%s | %9.4f | %9.3f | %9.3f | %9.3f | %9.3f | "
                "%9.4f | %9.4f | %5.2f |\n",
                molecule.name.c_str(), std::string(model.name()).c_str(), batch.n_atoms,
                batch.n_orbitals, result.iterations, result.converged ? " " : "*", scf_s,
                1e3 * per_iteration_s, 1e3 * fock_s, 1e3 * diagonalisation_s, 1e3 * rest_s, setup_s,
                gradient_s, gradient_s / scf_s);
    std::fflush(stdout);
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, ',');)
        parts.push_back(part);
    return parts;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> methods = {"MNDO", "AM1", "PM3", "RM1", "PM6", "PM7"};
    std::size_t max_atoms = 1000000;
    bool csv = false;
    std::vector<Molecule> molecules;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--methods" && i + 1 < argc) {
            methods = split(argv[++i]);
        } else if (arg == "--csv") {
            csv = true;
        } else if (arg == "--max-atoms" && i + 1 < argc) {
            max_atoms = std::stoul(argv[++i]);
        } else {
            molecules.push_back(read_xyz(arg));
        }
    }
    if (!csv) {
        std::printf("| molecule         | meth | atoms | orbs  | it   | SCF s     | ms/iter   | "
                    "Fock ms   | diag ms   | rest ms   | setup s   | grad s    | g/SCF |\n");
        std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    }
    for (const Molecule& molecule : molecules) {
        if (molecule.atomic_numbers.size() > max_atoms)
            continue;
        for (const std::string& method : methods) {
            const ParameterModel* model = find_model(method);
            if (model != nullptr && covers(*model, molecule))
                profile(molecule, *model, csv);
        }
    }
    if (!csv)
        std::printf("(* = not converged; setup = pair integrals + core Hamiltonian; rest = "
                    "DIIS, density and mixing per iteration)\n");
}
