// am1_bcc(atomic_numbers, coordinates, method="AM1", use_nddo=True): one SCF in the chosen
// model, its Mulliken charges, and the bond charge corrections. `method` and `use_nddo`
// may be left out but not passed as None.

#include "functions/am1_bcc_function.hpp"

#include "properties/am1_bcc.hpp"
#include "properties/mulliken.hpp"
#include "results/am1_bcc_result.hpp"
#include "scf/scf_loop.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"
#include "toolkit/molecule_validation.hpp"

#include <string>
#include <vector>

namespace quelm {
namespace {

const ParameterSpec am1_bcc_parameters[] = {
    {"atomic_numbers", true},
    {"coordinates", true},
    {"method", false},
    {"use_nddo", false},
};

constexpr const char* am1_bcc_doc =
    "am1_bcc(atomic_numbers, coordinates, method=\"AM1\", use_nddo=True)\n--\n\n"
    "Calculate AM1-BCC atomic partial charges.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers\n"
    "- `coordinates`: list of 3D coordinates in Ångströms\n"
    "- `method`: Semi-empirical Hamiltonian of the SCF (default: \"AM1\")\n"
    "- `use_nddo`: Enable full NDDO 22 multipoles and rotation (default: true)";

Result<Am1BccResult> run_am1_bcc(const std::vector<std::uint8_t>& atomic_numbers,
                                 const std::vector<std::vector<double>>& rows,
                                 const ChoiceName& method, bool use_nddo) {
    if (atomic_numbers.size() != rows.size()) {
        return Error{"Mismatch between atomic_numbers (" + std::to_string(atomic_numbers.size()) +
                     ") and coordinates (" + std::to_string(rows.size()) + ")"};
    }
    std::vector<Coordinate> coordinates;
    if (const auto bad = rows_to_coordinates(rows, coordinates)) {
        return Error{"Coordinate for atom " + std::to_string(*bad) +
                     " must have 3 dimensions, got " + std::to_string(rows[*bad].size())};
    }
    Result<const ParameterModel*> resolved = get_model(method);
    if (!resolved.ok())
        return Error{resolved.error()};
    const ParameterModel& model = *resolved.value();
    // The model's own basis (d shells where it has them), as `calculate` builds it.
    const MolecularBatch batch = MolecularBatch::new_for_model(atomic_numbers, coordinates, model);

    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ScfOptions options;
    options.max_iter = 100;
    options.energy_tol_ev = 1e-8;
    options.density_tol = 1e-7;
    options.level_shift_ev = 0.0;
    options.damping = 0.5;
    options.use_nddo = use_nddo;
    if (!run_rhf_scf_with_options(batch, model, workspace, options).converged)
        return Error{"SCF failed to converge during AM1-BCC calculation"};
    const MullikenResult mulliken = compute_mulliken_population(
        batch, model, workspace.eigenvectors, count_occupied_orbitals(batch, model));
    // Equivalent atoms (the hydrogens of a methyl group) share one Mulliken charge.
    return compute_am1_bcc_charges(batch, average_over_equivalent_atoms(batch, mulliken.charges));
}

PyObject* am1_bcc_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<std::vector<double>> rows;
    ChoiceName method{"AM1", "AM1"};
    bool use_nddo = true;
    // Left out selects the default; None is converted (and refused) like any other value.
    const bool converted =
        arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
        arguments.convert(1, rows, convert_coordinate_rows) &&
        (arguments.get(2) == nullptr || arguments.convert(2, method, convert_choice_name)) &&
        (arguments.get(3) == nullptr || arguments.convert(3, use_nddo, convert_bool));
    if (!converted)
        return nullptr;
    return result_to_python(run_am1_bcc(atomic_numbers, rows, method, use_nddo),
                            wrap_am1_bcc_result);
}

} // namespace

const FunctionSpec am1_bcc_function = {"am1_bcc", am1_bcc_doc, am1_bcc_parameters, am1_bcc_body};

} // namespace quelm
