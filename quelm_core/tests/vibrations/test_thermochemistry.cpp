#include "fixtures.hpp"
#include "types/atomic_masses.hpp"
#include "vibrations/thermochemistry.hpp"

#include <gtest/gtest.h>
#include <vector>

namespace quelm {
namespace {

constexpr double joule_per_cal = 4.184;

std::vector<double> standard_masses(const fixtures::Molecule& molecule) {
    std::vector<double> masses;
    for (std::uint8_t z : molecule.atomic_numbers)
        masses.push_back(standard_atomic_mass(z));
    return masses;
}

// Standard molar entropies of gases from rigid-rotor harmonic-oscillator statistics with the
// experimental structures and fundamentals, against the tabulated third-law values (NIST
// Chemistry WebBook, 1 bar, 298.15 K). A monatomic gas tests Sackur–Tetrode alone, N2 the
// linear rotor, water the asymmetric top.
TEST(Thermochemistry, ReproducesTabulatedStandardEntropies) {
    struct Case {
        const char* name;
        fixtures::Molecule molecule;
        std::vector<double> frequencies_cm1;
        double sigma;
        double entropy_j_mol_k; // at 1 bar
        double tolerance_j_mol_k;
    };
    const double c = std::cos(104.52 * std::acos(-1.0) / 360.0);
    const double s = std::sin(104.52 * std::acos(-1.0) / 360.0);
    const Case cases[] = {
        {"argon", {{18}, {{{0.0, 0.0, 0.0}}}}, {}, 1.0, 154.846, 0.02},
        {"N2", {{7, 7}, {{{0.0, 0.0, 0.0}, {0.0, 0.0, 1.0977}}}}, {2358.6}, 2.0, 191.609, 0.1},
        {"water",
         {{8, 1, 1},
          {{{0.0, 0.0, 0.0}, {0.9572 * s, 0.0, 0.9572 * c}, {-0.9572 * s, 0.0, 0.9572 * c}}}},
         {1594.7, 3657.1, 3755.9},
         2.0,
         188.835,
         0.2},
    };
    const double bar_in_atm = 1.0 / 1.01325;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const MolecularBatch batch = MolecularBatch::new_with_default_basis(
            test.molecule.atomic_numbers, test.molecule.coordinates);
        const Thermodynamics thermo =
            compute_thermodynamics(batch, standard_masses(test.molecule), test.frequencies_cm1,
                                   298.15, bar_in_atm, test.sigma);
        EXPECT_NEAR(thermo.entropy_total_cal_k_mol * joule_per_cal, test.entropy_j_mol_k,
                    test.tolerance_j_mol_k);
    }
}

// Imaginary modes carry no zero-point energy; soft modes (0–10 cm⁻¹) carry it but no thermal
// terms; a single atom has no rotation; H, Cp and G follow from their parts.
TEST(Thermochemistry, TreatsSoftAndImaginaryModesAndSumsItsParts) {
    const MolecularBatch atom = MolecularBatch::new_with_default_basis({18}, {{{0.0, 0.0, 0.0}}});
    const std::vector<double> masses = {39.948};
    const Thermodynamics with_soft = compute_thermodynamics(
        atom, masses, std::vector<double>{-50.0, 5.0, 1000.0}, 298.15, 1.0, 1.0);
    const Thermodynamics hard_only =
        compute_thermodynamics(atom, masses, std::vector<double>{1000.0}, 298.15, 1.0, 1.0);
    EXPECT_NEAR(with_soft.zpve_kcal_mol, 0.5 * 1005.0 * 0.00285914370690045, 1e-15);
    EXPECT_EQ(with_soft.e_vib_cal_mol, hard_only.e_vib_cal_mol);
    EXPECT_EQ(with_soft.entropy_vib_cal_k_mol, hard_only.entropy_vib_cal_k_mol);
    EXPECT_EQ(with_soft.e_rot_cal_mol, 0.0);
    EXPECT_EQ(with_soft.entropy_rot_cal_k_mol, 0.0);
    const double rt = 1.987204258640832 * 298.15;
    EXPECT_NEAR(with_soft.enthalpy_thermal_cal_mol, with_soft.e_vib_cal_mol + 2.5 * rt, 1e-9);
    EXPECT_NEAR(with_soft.gibbs_correction_kcal_mol,
                with_soft.zpve_kcal_mol + with_soft.enthalpy_thermal_cal_mol / 1000.0 -
                    298.15 * with_soft.entropy_total_cal_k_mol / 1000.0,
                1e-12);
}

} // namespace
} // namespace quelm
