// karvel(atomic_numbers, coordinates, method="PM6", ...): argument conversion, the row
// checks of its own, and the call of the localized-orbital SCF. Every argument after
// `coordinates` also accepts None for its default.

#include "functions/karvel_function.hpp"

#include "karvel/solver.hpp"
#include "results/karvel_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"
#include "toolkit/molecule_validation.hpp"

#include <string>
#include <vector>

namespace quelm {
namespace {

const ParameterSpec karvel_parameters[] = {
    {"atomic_numbers", true}, {"coordinates", true}, {"method", false},
    {"dispersion", false},    {"max_iter", false},   {"max_jacobi_sweeps", false},
    {"energy_tol", false},    {"jacobi_tol", false}, {"cutoff_distance", false},
    {"damping", false},       {"verbose", false},
};

constexpr const char* karvel_doc =
    "karvel(atomic_numbers, coordinates, method=\"PM6\", dispersion=None, max_iter=200, "
    "max_jacobi_sweeps=50, energy_tol=1e-7, jacobi_tol=1e-4, cutoff_distance=8.5, "
    "damping=1.0, verbose=False)\n--\n\n"
    "Perform O(N) linear-scaling localized molecular orbital calculation via KARVEL.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers\n"
    "- `coordinates`: list of 3D coordinates in Ångströms\n"
    "- `method`: Semi-empirical Hamiltonian (default: \"PM6\")\n"
    "- `dispersion`: Optional dispersion added to the heat of formation (\"pm6-dh+\", "
    "\"pm7\")\n"
    "- `max_iter`: Maximum SCF iterations (default: 200)\n"
    "- `max_jacobi_sweeps`: Maximum Jacobi sweeps per iteration (default: 50)\n"
    "- `energy_tol`: Energy convergence threshold in eV (default: 1e-7)\n"
    "- `jacobi_tol`: Occupied-virtual Fock element threshold in eV (default: 1e-4)\n"
    "- `cutoff_distance`: LMO pair and integral cutoff in Ångströms (default: 8.5)\n"
    "- `damping`: Factor on every Jacobi rotation angle (default: 1.0)\n"
    "- `verbose`: Print one progress line per iteration (default: false)";

Result<KarvelRecord> run_karvel(const std::vector<std::uint8_t>& atomic_numbers,
                                const std::vector<std::vector<double>>& rows,
                                const ChoiceName& method,
                                const std::optional<ChoiceName>& dispersion,
                                const KarvelOptions& options) {
    if (atomic_numbers.size() != rows.size()) {
        return Error{"Mismatch: " + std::to_string(atomic_numbers.size()) + " atomic numbers but " +
                     std::to_string(rows.size()) + " coordinates"};
    }
    std::vector<Coordinate> coordinates;
    if (const auto bad = rows_to_coordinates(rows, coordinates)) {
        return Error{"Atom " + std::to_string(*bad) + " coordinate must be [x, y, z], got " +
                     std::to_string(rows[*bad].size()) + " elements"};
    }
    Result<const ParameterModel*> model = get_model(method);
    if (!model.ok())
        return Error{model.error()};
    const MolecularBatch batch =
        MolecularBatch::new_for_model(atomic_numbers, coordinates, *model.value());

    // Matched exactly as written: other spellings (e.g. "PM7") select no dispersion.
    KarvelDispersion selected = KarvelDispersion::none;
    if (dispersion) {
        const std::string& name = dispersion->as_written;
        if (name == "pm6-dh+" || name == "pm6-dh2" || name == "dh+")
            selected = KarvelDispersion::pm6_dh_plus;
        else if (name == "pm7")
            selected = KarvelDispersion::pm7;
    }
    Result<KarvelResult> scf = run_karvel_scf(batch, *model.value(), selected, options);
    if (!scf.ok())
        return Error{scf.error()};
    KarvelResult& r = scf.value();
    return KarvelRecord{r.converged,
                        r.iterations,
                        r.electronic_energy_ev,
                        r.nuclear_repulsion_ev,
                        r.total_energy_ev,
                        r.heat_of_formation_kcal,
                        std::move(r.atomic_charges),
                        std::move(r.lmos)};
}

PyObject* karvel_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<std::vector<double>> rows;
    ChoiceName method{"PM6", "PM6"};
    std::optional<ChoiceName> dispersion;
    KarvelOptions options;
    const bool converted =
        arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
        arguments.convert(1, rows, convert_coordinate_rows) &&
        arguments.convert_or_default(2, method, convert_choice_name) &&
        arguments.convert_optional(3, dispersion, convert_choice_name) &&
        arguments.convert_or_default(4, options.max_iter, convert_count) &&
        arguments.convert_or_default(5, options.max_jacobi_sweeps, convert_count) &&
        arguments.convert_or_default(6, options.energy_tol, convert_double) &&
        arguments.convert_or_default(7, options.jacobi_tol, convert_double) &&
        arguments.convert_or_default(8, options.cutoff_distance, convert_double) &&
        arguments.convert_or_default(9, options.damping, convert_double) &&
        arguments.convert_or_default(10, options.verbose, convert_bool);
    if (!converted)
        return nullptr;
    return result_to_python(run_karvel(atomic_numbers, rows, method, dispersion, options),
                            wrap_karvel_result);
}

} // namespace

const FunctionSpec karvel_function = {"karvel", karvel_doc, karvel_parameters, karvel_body};

} // namespace quelm
