#pragma once
// The benchmark geometries: XYZ files (Å) of bench/data, read into atomic numbers and rows.

#include "types/molecular_batch.hpp"

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace quelm::bench {

struct Molecule {
    std::string name;
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
};

// The title line becomes the name; symbols are those of the bench series.
inline Molecule read_xyz(const std::string& path) {
    static const std::map<std::string, std::uint8_t> elements = {
        {"H", 1},  {"C", 6},   {"N", 7},   {"O", 8},  {"F", 9},
        {"P", 15}, {"S", 16}, {"Cl", 17}, {"Br", 35}, {"I", 53}};
    std::ifstream input(path);
    std::size_t n = 0;
    std::string title;
    input >> n;
    std::getline(input >> std::ws, title);
    Molecule molecule{title, {}, {}};
    for (std::size_t i = 0; i < n; ++i) {
        std::string symbol;
        Coordinate r{};
        input >> symbol >> r[0] >> r[1] >> r[2];
        molecule.atomic_numbers.push_back(elements.at(symbol));
        molecule.coordinates.push_back(r);
    }
    return molecule;
}

} // namespace quelm::bench
