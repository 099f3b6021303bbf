// irc(atomic_numbers, coordinates, method=None, ...): argument conversion, the molecule
// checks and the trace. Every optional argument accepts None for its default.
//
// Beyond the shape and method checks, the molecule must be one the SCF can describe (known
// elements, an even electron count) and every atom needs a mass: the path is steepest
// descent in mass-weighted coordinates.

#include "functions/irc_function.hpp"

#include "reactions/irc.hpp"
#include "results/irc_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"
#include "toolkit/molecule_validation.hpp"

#include <string>
#include <vector>

namespace quelm {
namespace {

const ParameterSpec irc_parameters[] = {
    {"atomic_numbers", true}, {"coordinates", true}, {"method", false},   {"step_size", false},
    {"max_points", false},    {"direction", false},  {"use_nddo", false},
};

constexpr const char* irc_doc =
    "irc(atomic_numbers, coordinates, method=None, step_size=None, max_points=None, "
    "direction=None, use_nddo=None)\n--\n\n"
    "Trace Intrinsic Reaction Coordinate (IRC) path from a transition state.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers (e.g. `[7, 1, 1, 1]`)\n"
    "- `coordinates`: 3D coordinates in Ångströms of the transition state\n"
    "- `method`: Semi-empirical Hamiltonian (\"PM6\", \"AM1\", \"RM1\", \"PM3\", \"MNDO\"; "
    "default: \"PM6\")\n"
    "- `step_size`: Path arc length step size in amu^(1/2) * Å (default: 0.1)\n"
    "- `max_points`: Maximum number of reaction path points per direction (default: 50)\n"
    "- `direction`: Path direction: \"both\", \"forward\", or \"reverse\" (default: \"both\")\n"
    "- `use_nddo`: Enable full NDDO potential energy surface (default: false)";

constexpr MoleculeMessages irc_messages = {
    "atomic_numbers cannot be empty",
    "Mismatch between atomic_numbers ({n}) and coordinates ({m})"};

Result<IrcDirection> resolve_direction(const std::string& direction) {
    if (direction == "forward" || direction == "fwd")
        return IrcDirection::forward;
    if (direction == "reverse" || direction == "rev")
        return IrcDirection::reverse;
    if (direction == "both")
        return IrcDirection::both;
    return Error{"Unknown IRC direction '" + direction +
                 "'. Supported: 'both', 'forward', 'reverse'"};
}

Result<IrcResult> run_irc(const std::vector<std::uint8_t>& atomic_numbers,
                          const std::vector<Coordinate>& coordinates, const ChoiceName& method,
                          const std::string& direction, IrcOptions options) {
    if (const Result<bool> shape =
            check_molecule_shape(atomic_numbers.size(), coordinates.size(), irc_messages);
        !shape) {
        return Error{shape.error()};
    }
    const Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return Error{model.error()};
    const Result<IrcDirection> resolved = resolve_direction(direction);
    if (!resolved)
        return Error{resolved.error()};
    options.direction = resolved.value();
    if (const Result<std::size_t> electrons =
            check_closed_shell(atomic_numbers, *model.value(), method);
        !electrons) {
        return Error{electrons.error()};
    }
    if (const Result<bool> masses = check_standard_masses(atomic_numbers, "the reaction path");
        !masses) {
        return Error{masses.error()};
    }
    MolecularBatch batch =
        MolecularBatch::new_for_model(atomic_numbers, coordinates, *model.value());
    ScfWorkspace scf_workspace = ScfWorkspace::allocate(batch.n_orbitals);
    IrcWorkspace workspace = IrcWorkspace::allocate(batch);
    return trace_intrinsic_reaction_coordinate(batch, *model.value(), scf_workspace, workspace,
                                               options);
}

PyObject* irc_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    ChoiceName method{"PM6", "PM6"};
    std::string direction = "both";
    IrcOptions options;
    const bool converted = arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
                           arguments.convert(1, coordinates, convert_coordinates) &&
                           arguments.convert_or_default(2, method, convert_choice_name) &&
                           arguments.convert_or_default(3, options.step_size, convert_double) &&
                           arguments.convert_or_default(4, options.max_points, convert_count) &&
                           arguments.convert_or_default(5, direction, convert_lower_case_name) &&
                           arguments.convert_or_default(6, options.use_nddo, convert_bool);
    if (!converted)
        return nullptr;
    return result_to_python(run_irc(atomic_numbers, coordinates, method, direction, options),
                            wrap_irc_result);
}

} // namespace

const FunctionSpec irc_function = {"irc", irc_doc, irc_parameters, irc_body};

} // namespace quelm
