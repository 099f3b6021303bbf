#pragma once
// Reference single points of small molecules from an independent program, read from
// tests/data/reference_molecules.csv (geometries in Å) and tests/data/cp2k_single_points.csv
// (heats of formation, total energies and core–core repulsions with their tolerances).
//
//   for (const ReferenceCase& c : load_reference_cases()) {
//       SCOPED_TRACE(c.label());
//       if (!incomparable_reason(c).empty()) continue;
//       const ParameterModel& model = *find_model(c.method);
//       MolecularBatch batch = MolecularBatch::new_for_model(c.atomic_numbers, c.coordinates,
//       model); EXPECT_NEAR(compute_total_core_repulsion(batch, model), c.core_core_repulsion_ev,
//                   c.tol_core_core_ev);
//   }
//
// A missing or malformed file throws std::runtime_error, which fails the calling test.

#include "types/molecular_batch.hpp"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifndef QUELM_TEST_DATA_DIR
#error "QUELM_TEST_DATA_DIR must name quelm_core/tests/data"
#endif

namespace quelm::testing {

// One molecule at its fixed reference geometry.
struct ReferenceMolecule {
    std::string name;
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates; // Å, one row per atom
};

// One molecule with one method and the reference values computed for it.
struct ReferenceCase {
    std::string molecule;
    std::string method; // upper case: "MNDO", "AM1", "PM3", "RM1", "PM6"
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates; // Å
    double heat_of_formation_kcal = 0.0;
    double tol_hof_kcal = 0.0;
    double total_energy_ev = 0.0; // electronic energy + core–core repulsion
    double tol_energy_ev = 0.0;
    double core_core_repulsion_ev = 0.0;
    double tol_core_core_ev = 0.0;
    std::string source;

    // "molecule/method", for SCOPED_TRACE.
    std::string label() const { return molecule + "/" + method; }
};

namespace detail {

inline std::vector<std::string> split_csv_line(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

// Rows of a CSV file without its '#' comment lines, each as column name → text.
inline std::vector<std::map<std::string, std::string>> read_csv(const std::string& file_name) {
    const std::string path = std::string(QUELM_TEST_DATA_DIR) + "/" + file_name;
    std::ifstream input(path);
    if (!input)
        throw std::runtime_error("cannot open reference data " + path);
    std::vector<std::string> header;
    std::vector<std::map<std::string, std::string>> rows;
    std::string line;
    while (std::getline(input, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields = split_csv_line(line);
        if (header.empty()) {
            header = std::move(fields);
            continue;
        }
        if (fields.size() != header.size())
            throw std::runtime_error(path + ": row with " + std::to_string(fields.size()) +
                                     " fields, header has " + std::to_string(header.size()));
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < header.size(); ++i)
            row[header[i]] = fields[i];
        rows.push_back(std::move(row));
    }
    if (rows.empty())
        throw std::runtime_error(path + " holds no rows");
    return rows;
}

inline const std::string& column(const std::map<std::string, std::string>& row,
                                 const std::string& name) {
    const auto it = row.find(name);
    if (it == row.end())
        throw std::runtime_error("reference data lacks the column " + name);
    return it->second;
}

inline double number(const std::map<std::string, std::string>& row, const std::string& name) {
    return std::stod(column(row, name));
}

} // namespace detail

// Every reference molecule, in file order, atoms in input order.
inline std::vector<ReferenceMolecule> load_reference_molecules() {
    std::vector<ReferenceMolecule> molecules;
    for (const auto& row : detail::read_csv("reference_molecules.csv")) {
        const std::string& name = detail::column(row, "molecule");
        if (molecules.empty() || molecules.back().name != name)
            molecules.push_back(ReferenceMolecule{name, {}, {}});
        ReferenceMolecule& molecule = molecules.back();
        if (std::stoul(detail::column(row, "atom")) != molecule.atomic_numbers.size())
            throw std::runtime_error("reference_molecules.csv: atoms of " + name + " out of order");
        molecule.atomic_numbers.push_back(
            static_cast<std::uint8_t>(std::stoul(detail::column(row, "Z"))));
        molecule.coordinates.push_back(Coordinate{
            detail::number(row, "x"), detail::number(row, "y"), detail::number(row, "z")});
    }
    return molecules;
}

// The reference molecule of that name; throws std::runtime_error when there is none.
inline ReferenceMolecule load_reference_molecule(std::string_view name) {
    for (ReferenceMolecule& molecule : load_reference_molecules())
        if (molecule.name == name)
            return std::move(molecule);
    throw std::runtime_error("no reference molecule named " + std::string(name));
}

// Every (molecule, method) reference row joined with its geometry, in file order.
inline std::vector<ReferenceCase> load_reference_cases() {
    const std::vector<ReferenceMolecule> molecules = load_reference_molecules();
    std::vector<ReferenceCase> cases;
    for (const auto& row : detail::read_csv("cp2k_single_points.csv")) {
        ReferenceCase c;
        c.molecule = detail::column(row, "molecule");
        c.method = detail::column(row, "method");
        bool found = false;
        for (const ReferenceMolecule& molecule : molecules) {
            if (molecule.name == c.molecule) {
                c.atomic_numbers = molecule.atomic_numbers;
                c.coordinates = molecule.coordinates;
                found = true;
            }
        }
        if (!found)
            throw std::runtime_error("cp2k_single_points.csv: no geometry for " + c.molecule);
        c.heat_of_formation_kcal = detail::number(row, "heat_of_formation_kcal");
        c.tol_hof_kcal = detail::number(row, "tol_hof_kcal");
        c.total_energy_ev = detail::number(row, "total_energy_ev");
        c.tol_energy_ev = detail::number(row, "tol_energy_ev");
        c.core_core_repulsion_ev = detail::number(row, "core_core_repulsion_ev");
        c.tol_core_core_ev = detail::number(row, "tol_core_core_ev");
        c.source = detail::column(row, "source");
        cases.push_back(std::move(c));
    }
    return cases;
}

// Why a reference row cannot check our implementation of the published method, or an
// empty view when it can. The reference program's PM3 boron is another parameter set
// than the published one we carry (quelm_core/data/parameters/PROVENANCE.md), so every
// PM3 number of a boron compound differs by the parameters, not by the method.
inline std::string_view incomparable_reason(const ReferenceCase& c) {
    if (c.method == "PM3") {
        for (const std::uint8_t z : c.atomic_numbers)
            if (z == 5)
                return "the reference program's PM3 boron is a different parameter set";
    }
    return {};
}

} // namespace quelm::testing
