// Isolated-atom references for heats of formation.
//
// ΔHf(molecule) = Σ ΔHf(atom) + (E_total − Σ E_isol)·(kcal/mol per eV): the binding energy
// in the model, added to the experimental heats of formation of the gaseous atoms. E_isol is
// the energy of the free atom in a fixed ground-state configuration, evaluated with the
// model's own one-centre parameters so that it is consistent with the molecular energy:
// one-electron energies U of the occupied shells plus the one-centre Coulomb (g) and
// exchange (h) repulsions among the valence electrons. d–d and s–d repulsions are omitted.

#include "properties/heat.hpp"

#include "types/physical_constants.hpp"

#include <algorithm>
#include <array>

namespace quelm {

namespace {

// Reference configuration of a free atom and its experimental heat of formation.
// n_s, n_p, n_d: electrons in the valence s, p and d shells (U terms); p_coulomb: the
// number of p electrons that enter the two-electron terms; heat_kcal: ΔHf of the
// gaseous atom at 298 K in kcal/mol.
struct AtomReference {
    std::uint8_t z;
    int n_s;
    int n_p;
    int n_d;
    int p_coulomb;
    double heat_kcal;
};

constexpr double hydrogen_heat_kcal = 52.102;

// Every element not listed: one s electron and a zero atomic heat.
constexpr AtomReference default_reference{0, 1, 0, 0, 0, 0.0};

// Hydrogen is handled apart (E_isol = U_ss).
constexpr std::array<AtomReference, 36> atom_references{{
    {2, 2, 0, 0, 0, 0.0},     {3, 1, 0, 0, 0, 38.41},  {4, 2, 0, 0, 0, 76.96},
    {5, 2, 1, 0, 1, 135.7},   {6, 2, 2, 0, 2, 170.89}, {7, 2, 3, 0, 3, 113.0},
    {8, 2, 4, 0, 4, 59.559},  {9, 2, 5, 0, 5, 18.89},  {10, 2, 6, 0, 6, 0.0},
    {11, 1, 0, 0, 0, 25.65},  {12, 2, 0, 0, 0, 35.0},  {13, 2, 1, 0, 1, 79.49},
    {14, 2, 2, 0, 2, 108.39}, {15, 2, 3, 0, 3, 75.57}, {16, 2, 4, 0, 4, 66.4},
    {17, 2, 5, 0, 5, 28.99},  {18, 2, 6, 0, 6, 0.0},   {19, 1, 0, 0, 0, 21.42},
    {20, 2, 0, 0, 0, 42.6},   {21, 2, 0, 1, 0, 90.3},  {22, 2, 0, 2, 0, 112.3},
    {23, 2, 0, 3, 0, 122.9},  {24, 1, 0, 5, 0, 95.0},  {25, 2, 0, 5, 0, 67.7},
    {26, 2, 0, 6, 0, 99.3},   {27, 2, 0, 7, 0, 102.4}, {28, 2, 0, 8, 0, 102.8},
    {29, 1, 0, 10, 0, 80.7},  {30, 2, 0, 0, 0, 31.17}, {31, 2, 1, 0, 1, 65.4},
    {32, 2, 2, 0, 2, 89.5},   {33, 2, 3, 0, 3, 72.3},  {34, 2, 4, 0, 4, 54.3},
    {35, 2, 5, 0, 5, 26.74},  {36, 2, 6, 0, 6, 0.0},   {53, 2, 5, 0, 5, 25.517},
}};

constexpr AtomReference reference_for(std::uint8_t z) {
    for (const AtomReference& row : atom_references) {
        if (row.z == z)
            return row;
    }
    return default_reference;
}

// One-centre energy of the configuration (n_s, n_p, n_d, c). k = min(c, 6 − c) counts the
// p electrons (or holes) that can pair up; K = k(k − 1)/2 such pairs shift weight from the
// average p–p repulsion g_p2 towards g_pp.
double configuration_energy(const AtomReference& ref, const ElementParameters& e) {
    const double c = ref.p_coulomb;
    const int k = std::min(ref.p_coulomb, 6 - ref.p_coulomb);
    const double pairs = 0.5 * k * (k - 1);
    const double n_s = ref.n_s;
    return n_s * e.u_ss + ref.n_p * e.u_pp + ref.n_d * e.u_dd + std::max(ref.n_s - 1, 0) * e.g_ss +
           n_s * c * e.g_sp - 0.5 * n_s * c * e.h_sp +
           (0.5 * c * (c - 1.0) + 0.5 * pairs) * e.g_p2 - 0.5 * pairs * e.g_pp;
}

} // namespace

IsolatedAtomReference get_isolated_atom_energy_and_heat(std::uint8_t z,
                                                        const ParameterModel& model) {
    const auto element = model.get_element(z);
    if (!element)
        return {};
    if (z == 1)
        return {element->u_ss, hydrogen_heat_kcal};
    const AtomReference ref = reference_for(z);
    return {configuration_energy(ref, *element), ref.heat_kcal};
}

IsolatedAtomReference sum_isolated_atom_references(std::span<const std::uint8_t> atomic_numbers,
                                                   const ParameterModel& model) {
    IsolatedAtomReference sum;
    for (const std::uint8_t z : atomic_numbers) {
        const IsolatedAtomReference reference = get_isolated_atom_energy_and_heat(z, model);
        sum.energy_ev += reference.energy_ev;
        sum.heat_of_formation_kcal += reference.heat_of_formation_kcal;
    }
    return sum;
}

double heat_of_formation_kcal(const IsolatedAtomReference& atoms, double energy_ev) {
    return atoms.heat_of_formation_kcal + (energy_ev - atoms.energy_ev) * kcal_mol_per_ev;
}

} // namespace quelm
