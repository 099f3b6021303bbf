#include "fixtures.hpp"
#include "fock/fock_builder.hpp"
#include "hamiltonian/hcore.hpp"
#include "integrals/d_orbitals.hpp"
#include "integrals/multipoles.hpp"
#include "parameters/models.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace quelm {
namespace {

using fixtures::Molecule;

using fixtures::all_models;
using fixtures::NamedModel;

bool covers(const ParameterModel& model, const Molecule& molecule) {
    for (std::uint8_t z : molecule.atomic_numbers)
        if (!model.get_element(z))
            return false;
    return true;
}

enum class Builder { simplified, nddo };

const char* builder_name(Builder builder) {
    return builder == Builder::simplified ? "simplified" : "NDDO";
}

// One geometry with everything a Fock build needs.
struct System {
    MolecularBatch batch;
    std::vector<DiatomicPairIntegrals> pairs;
    AlignedMatrix hcore;

    System(const Molecule& molecule, const ParameterModel& model, Builder builder)
        : batch(fixtures::make_batch(molecule, model)) {
        hcore = AlignedMatrix(batch.n_orbitals, batch.n_orbitals);
        if (builder == Builder::simplified) {
            build_hcore(batch, model, hcore);
        } else {
            pairs = precompute_diatomic_pairs(batch, model);
            build_hcore_nddo(batch, model, pairs.data(), pairs.size(), hcore);
        }
    }

    AlignedMatrix fock(const ParameterModel& model, Builder builder,
                       const AlignedMatrix& density) const {
        AlignedMatrix f(batch.n_orbitals, batch.n_orbitals);
        if (builder == Builder::simplified)
            build_fock(batch, model, hcore, density, f);
        else
            build_fock_nddo(batch, model, pairs.data(), pairs.size(), hcore, density, f);
        return f;
    }
};

AlignedMatrix random_symmetric(std::size_t n, unsigned seed) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    AlignedMatrix p(n, n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j <= i; ++j)
            p(i, j) = p(j, i) = uniform(engine) + (i == j ? 1.0 : 0.0);
    return p;
}

std::vector<std::size_t> atom_of_orbital(const MolecularBatch& batch) {
    std::vector<std::size_t> atom(batch.n_orbitals);
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        for (std::size_t i = 0; i < batch.basis_types[a]; ++i)
            atom[batch.orbital_offsets[a] + i] = a;
    return atom;
}

// One-centre integral (ij|kl) over an atom's s, p orbitals (slots 0–3) from the published
// gss, gsp, gpp, gp2, hsp and hpp = ½(gpp − gp2). d slots take no one-centre terms.
double one_center_integral(const ElementParameters& e, std::size_t i, std::size_t j, std::size_t k,
                           std::size_t l) {
    if (i > 3 || j > 3 || k > 3 || l > 3)
        return 0.0;
    const double hpp = 0.5 * (e.g_pp - e.g_p2);
    if (i == j && k == l) {
        if (i == 0 && k == 0)
            return e.g_ss;
        if (i == 0 || k == 0)
            return e.g_sp;
        return i == k ? e.g_pp : e.g_p2;
    }
    const bool same_pair = (i == k && j == l) || (i == l && j == k);
    if (i != j && same_pair)
        return i == 0 || j == 0 ? e.h_sp : hpp;
    return 0.0;
}

// The closed-shell rule F = H + Σ_λσ P_λσ·[(μν|λσ) − ½(μλ|νσ)], evaluated by brute force
// over every orbital quadruple with the integrals the NDDO approximation keeps. In the
// simplified model (μν|λσ) between atoms is δμν·δλσ·γAB.
AlignedMatrix reference_fock(const System& system, const ParameterModel& model, Builder builder,
                             const AlignedMatrix& density) {
    const MolecularBatch& batch = system.batch;
    const std::size_t n = batch.n_orbitals;
    const std::vector<std::size_t> atom = atom_of_orbital(batch);
    std::vector<std::optional<ElementParameters>> elements(batch.n_atoms);
    // Atoms with d data take their one-centre integrals from the full s, p, d table.
    std::vector<std::optional<OneCenterDTable>> d_tables(batch.n_atoms);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        elements[a] = model.get_element(batch.atomic_numbers[a]);
        if (const auto d = model.get_d_element_params(batch.atomic_numbers[a])) {
            d_tables[a].emplace();
            fill_one_center_d_table(*elements[a], *d, *d_tables[a]);
        }
    }
    std::map<std::pair<std::size_t, std::size_t>, const DiatomicPairIntegrals*> records;
    for (const DiatomicPairIntegrals& pair : system.pairs)
        records[{pair.atom_a, pair.atom_b}] = &pair;

    auto local = [&](std::size_t mu) { return mu - batch.orbital_offsets[atom[mu]]; };
    auto pair_index = [](std::size_t i, std::size_t j) {
        return i >= j ? i * (i + 1) / 2 + j : j * (j + 1) / 2 + i;
    };
    auto integral = [&](std::size_t mu, std::size_t nu, std::size_t la, std::size_t si) {
        const std::size_t x = atom[mu];
        const std::size_t y = atom[la];
        if (atom[nu] != x || atom[si] != y || !elements[x] || !elements[y])
            return 0.0;
        if (x == y && d_tables[x]) {
            return (*d_tables[x])[orbital_pair_index(local(mu), local(nu)) * d_orbital_pairs +
                                  orbital_pair_index(local(la), local(si))];
        }
        if (x == y)
            return one_center_integral(*elements[x], local(mu), local(nu), local(la), local(si));
        if (builder == Builder::simplified) {
            if (mu != nu || la != si)
                return 0.0;
            const double rho = e_squared_ev_angstrom / (2.0 * elements[x]->g_ss) +
                               e_squared_ev_angstrom / (2.0 * elements[y]->g_ss);
            const double r = batch.distance(x, y);
            return e_squared_ev_angstrom / std::sqrt(r * r + rho * rho);
        }
        const auto found = records.find({std::max(x, y), std::min(x, y)});
        if (found == records.end())
            return 0.0;
        const DiatomicPairIntegrals& pair = *found->second;
        const std::size_t stride = pair.n_orbitals_b * (pair.n_orbitals_b + 1) / 2;
        const std::size_t on_x = pair_index(local(mu), local(nu));
        const std::size_t on_y = pair_index(local(la), local(si));
        return x == pair.atom_a ? pair.w[on_x * stride + on_y] : pair.w[on_y * stride + on_x];
    };

    AlignedMatrix fock = system.hcore;
    for (std::size_t mu = 0; mu < n; ++mu)
        for (std::size_t nu = 0; nu < n; ++nu)
            for (std::size_t la = 0; la < n; ++la)
                for (std::size_t si = 0; si < n; ++si)
                    fock(mu, nu) += density(la, si) *
                                    (integral(mu, nu, la, si) - 0.5 * integral(mu, la, nu, si));
    return fock;
}

double electronic_energy(const AlignedMatrix& density, const AlignedMatrix& hcore,
                         const AlignedMatrix& fock) {
    double energy = 0.0;
    for (std::size_t i = 0; i < density.size(); ++i)
        energy += 0.5 * density.data()[i] * (hcore.data()[i] + fock.data()[i]);
    return energy;
}

TEST(FockBuilder, EqualsTheCoreHamiltonianForAnEmptyDensity) {
    const Molecule molecule = fixtures::formaldehyde();
    for (const NamedModel& m : all_models()) {
        for (Builder builder : {Builder::simplified, Builder::nddo}) {
            SCOPED_TRACE(std::string(m.name) + " " + builder_name(builder));
            const System system(molecule, m.model, builder);
            const std::size_t n = system.batch.n_orbitals;
            const AlignedMatrix fock = system.fock(m.model, builder, AlignedMatrix(n, n));
            for (std::size_t i = 0; i < fock.size(); ++i)
                ASSERT_EQ(fock.data()[i], system.hcore.data()[i]) << i;
        }
    }
}

TEST(FockBuilder, CarbonWithADiagonalDensityFollowsTheOneCentreFormulas) {
    const Molecule carbon{{6}, {{{0.0, 0.0, 0.0}}}};
    for (const NamedModel& m : all_models()) {
        const ElementParameters e = *m.model.get_element(6);
        const double hpp = 0.5 * (e.g_pp - e.g_p2);
        // s² p²: P_ss = 2, each p 2/3.
        const double expected_s = e.g_ss + 2.0 * (e.g_sp - 0.5 * e.h_sp);
        const double expected_p = 2.0 * (e.g_sp - 0.5 * e.h_sp) + (1.0 / 3.0) * e.g_pp +
                                  (4.0 / 3.0) * (e.g_p2 - 0.5 * hpp);
        AlignedMatrix density(4, 4);
        density(0, 0) = 2.0;
        for (std::size_t p = 1; p < 4; ++p)
            density(p, p) = 2.0 / 3.0;
        for (Builder builder : {Builder::simplified, Builder::nddo}) {
            SCOPED_TRACE(std::string(m.name) + " " + builder_name(builder));
            const System system(carbon, m.model, builder);
            const AlignedMatrix fock = system.fock(m.model, builder, density);
            EXPECT_NEAR(fock(0, 0) - system.hcore(0, 0), expected_s, 1e-12);
            for (std::size_t i = 0; i < 4; ++i) {
                for (std::size_t j = 0; j < 4; ++j) {
                    if (i == j && i > 0) {
                        EXPECT_NEAR(fock(i, i) - system.hcore(i, i), expected_p, 1e-12);
                    } else if (i != j) {
                        EXPECT_EQ(fock(i, j), system.hcore(i, j));
                    }
                }
            }
        }
    }
}

TEST(FockBuilder, HydrogenMoleculeFollowsTheTwoCentreFormulas) {
    // F11 = H11 + ½·P11·gss + P22·(ss|ss)AB and F12 = H12 − ½·P12·(ss|ss)AB.
    const double r = 0.79;
    const Molecule h2{{1, 1}, {{{0.1, 0.2, 0.3}, {0.1 + r * 0.6, 0.2, 0.3 + r * 0.8}}}};
    AlignedMatrix density(2, 2);
    density(0, 0) = 1.3;
    density(1, 1) = 0.7;
    density(0, 1) = density(1, 0) = 0.9;
    for (const NamedModel& m : all_models()) {
        const ElementParameters h = *m.model.get_element(1);
        const double rho = e_squared_ev_angstrom / h.g_ss;
        double ss_ss = e_squared_ev_angstrom / std::sqrt(r * r + rho * rho);
        if (m.model.use_feathering()) {
            const double f = 1.0 - std::exp(-0.22 * (r - 7.0) * (r - 7.0));
            ss_ss = f * ss_ss + (1.0 - f) * e_squared_ev_angstrom / r;
        }
        SCOPED_TRACE(m.name);
        const System system(h2, m.model, Builder::nddo);
        const AlignedMatrix fock = system.fock(m.model, Builder::nddo, density);
        const AlignedMatrix& hcore = system.hcore;
        EXPECT_NEAR(fock(0, 0), hcore(0, 0) + 0.5 * 1.3 * h.g_ss + 0.7 * ss_ss, 1e-10);
        EXPECT_NEAR(fock(1, 1), hcore(1, 1) + 0.5 * 0.7 * h.g_ss + 1.3 * ss_ss, 1e-10);
        EXPECT_NEAR(fock(0, 1), hcore(0, 1) - 0.5 * 0.9 * ss_ss, 1e-10);
        EXPECT_EQ(fock(1, 0), fock(0, 1));
    }
}

TEST(FockBuilder, SimplifiedAndNddoAgreeForHydrogenWithoutFeathering) {
    const Molecule h2 = fixtures::hydrogen_molecule();
    const AlignedMatrix density = random_symmetric(2, 7);
    for (const NamedModel& m : all_models()) {
        if (m.model.use_feathering())
            continue;
        SCOPED_TRACE(m.name);
        const System simplified(h2, m.model, Builder::simplified);
        const System nddo(h2, m.model, Builder::nddo);
        const AlignedMatrix f_simplified = simplified.fock(m.model, Builder::simplified, density);
        const AlignedMatrix f_nddo = nddo.fock(m.model, Builder::nddo, density);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(simplified.hcore.data()[i], nddo.hcore.data()[i], 1e-10);
            EXPECT_NEAR(f_simplified.data()[i], f_nddo.data()[i], 1e-10);
        }
    }
}

TEST(FockBuilder, FollowsTheClosedShellRuleOverTheKeptIntegrals) {
    const Molecule molecules[] = {fixtures::water(), fixtures::formaldehyde(),
                                  fixtures::hydrogen_sulfide()};
    unsigned seed = 11;
    for (const Molecule& molecule : molecules) {
        for (const NamedModel& m : all_models()) {
            if (!covers(m.model, molecule))
                continue;
            for (Builder builder : {Builder::simplified, Builder::nddo}) {
                SCOPED_TRACE(std::string(m.name) + " " + builder_name(builder) +
                             " Z0=" + std::to_string(molecule.atomic_numbers[0]));
                // Pair integrals with d orbitals come from the d-orbital integral module;
                // here the nine-orbital sulfur of PM6 runs through the simplified builder.
                const MolecularBatch batch = fixtures::make_batch(molecule, m.model);
                const bool has_d = std::find(batch.basis_types.begin(), batch.basis_types.end(),
                                             9) != batch.basis_types.end();
                if (has_d && builder == Builder::nddo)
                    continue;
                const System system(molecule, m.model, builder);
                const AlignedMatrix density = random_symmetric(system.batch.n_orbitals, ++seed);
                const AlignedMatrix fock = system.fock(m.model, builder, density);
                const AlignedMatrix expected = reference_fock(system, m.model, builder, density);
                for (std::size_t i = 0; i < fock.rows(); ++i)
                    for (std::size_t j = 0; j < fock.cols(); ++j)
                        EXPECT_NEAR(fock(i, j), expected(i, j), 1e-10) << i << "," << j;
            }
        }
    }
}

TEST(FockBuilder, IsSymmetricAndTheDerivativeOfTheElectronicEnergy) {
    // E(P) = ½·Σ P·(H + F) is quadratic in P, so central differences are exact up to
    // rounding: dE/dP_μμ = F_μμ, and a symmetric step in P_μν = P_νμ gives 2·F_μν.
    const Molecule water = fixtures::water();
    for (const NamedModel& m : all_models()) {
        for (Builder builder : {Builder::simplified, Builder::nddo}) {
            SCOPED_TRACE(std::string(m.name) + " " + builder_name(builder));
            const System system(water, m.model, builder);
            const std::size_t n = system.batch.n_orbitals;
            AlignedMatrix density = random_symmetric(n, 3);
            const AlignedMatrix fock = system.fock(m.model, builder, density);
            const double h = 1e-3;
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t j = 0; j <= i; ++j) {
                    EXPECT_NEAR(fock(i, j), fock(j, i), 1e-12);
                    double energies[2];
                    for (int side = 0; side < 2; ++side) {
                        const double step = side == 0 ? h : -h;
                        density(i, j) += step;
                        if (i != j)
                            density(j, i) += step;
                        energies[side] = electronic_energy(density, system.hcore,
                                                           system.fock(m.model, builder, density));
                        density(i, j) -= step;
                        if (i != j)
                            density(j, i) -= step;
                    }
                    const double derivative = (energies[0] - energies[1]) / (2.0 * h);
                    EXPECT_NEAR(derivative, (i == j ? 1.0 : 2.0) * fock(i, j), 1e-7)
                        << i << "," << j;
                }
            }
        }
    }
}

TEST(FockBuilder, LeavesAtomsWithoutParametersAsInTheCoreHamiltonian) {
    // MNDO has no iron; its rows and columns, and its couplings, stay as in H.
    const Molecule molecule{{6, 26, 1}, {{{0.0, 0.0, 0.0}, {0.0, 1.4, 0.3}, {1.08, 0.0, 0.0}}}};
    const ParameterModel& model = mndo_model();
    for (Builder builder : {Builder::simplified, Builder::nddo}) {
        SCOPED_TRACE(builder_name(builder));
        const System system(molecule, model, builder);
        const AlignedMatrix density = random_symmetric(system.batch.n_orbitals, 5);
        const AlignedMatrix fock = system.fock(model, builder, density);
        for (std::size_t i = 4; i < 13; ++i) {
            for (std::size_t j = 0; j < system.batch.n_orbitals; ++j) {
                EXPECT_EQ(fock(i, j), system.hcore(i, j));
                EXPECT_EQ(fock(j, i), system.hcore(j, i));
            }
        }
        EXPECT_NE(fock(0, 0), system.hcore(0, 0));
    }
}

TEST(FockBuilder, NineOrbitalAtomWithoutDDataGetsSpTermsOnly) {
    // Sulfur with d orbitals but no d one-centre data.
    const Molecule sulfur{{16}, {{{0.0, 0.0, 0.0}}}};
    const fixtures::Pm6WithoutDData model;
    const System system(sulfur, model, Builder::nddo);
    ASSERT_EQ(system.batch.n_orbitals, 9u);
    const AlignedMatrix density = random_symmetric(9, 9);
    const AlignedMatrix fock = system.fock(model, Builder::nddo, density);
    const Molecule sp_sulfur = sulfur;
    const MolecularBatch sp_batch =
        MolecularBatch::new_with_basis(sp_sulfur.atomic_numbers, sp_sulfur.coordinates, {4});
    AlignedMatrix sp_density(4, 4), sp_hcore(4, 4), sp_fock(4, 4);
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            sp_density(i, j) = density(i, j);
            sp_hcore(i, j) = system.hcore(i, j);
        }
    }
    build_fock_nddo(sp_batch, model, nullptr, 0, sp_hcore, sp_density, sp_fock);
    for (std::size_t i = 0; i < 9; ++i) {
        for (std::size_t j = 0; j < 9; ++j) {
            const double expected = i < 4 && j < 4 ? sp_fock(i, j) : system.hcore(i, j);
            EXPECT_EQ(fock(i, j), expected) << i << "," << j;
        }
    }
}

// PM6 with an all-zero d record for every element: its d integrals add nothing.
class Pm6WithDData final : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override {
        return pm6_model().get_element(z);
    }
    std::string_view name() const override { return "PM6"; }
    std::optional<DElementParameters> get_d_element_params(std::uint8_t z) const override {
        DElementParameters d;
        d.atomic_number = z;
        return d;
    }
};

TEST(FockBuilder, ZeroDIntegralsGiveTheSpTerms) {
    const Pm6WithDData model;
    const Molecule molecule{{1, 16}, {{{0.0, 0.0, 1.3}, {0.0, 0.0, 0.0}}}};
    const MolecularBatch batch = fixtures::make_batch(molecule, model);
    ASSERT_EQ(batch.n_orbitals, 10u);
    const AlignedMatrix hcore(10, 10);
    const AlignedMatrix density = random_symmetric(10, 2);
    AlignedMatrix fock(10, 10);
    AlignedMatrix sp_fock(10, 10);
    const std::function<void(const ParameterModel&, AlignedMatrix&)> builds[] = {
        [&](const ParameterModel& m, AlignedMatrix& f) { build_fock(batch, m, hcore, density, f); },
        [&](const ParameterModel& m, AlignedMatrix& f) {
            build_fock_nddo(batch, m, nullptr, 0, hcore, density, f);
        },
        [&](const ParameterModel& m, AlignedMatrix& f) {
            add_one_center_fock_terms(batch, m, density, f);
        },
    };
    for (const auto& build : builds) {
        fock.fill(0.0);
        sp_fock.fill(0.0);
        build(model, fock);
        build(fixtures::Pm6WithoutDData{}, sp_fock);
        for (std::size_t i = 0; i < 10; ++i)
            for (std::size_t j = 0; j < 10; ++j)
                EXPECT_NEAR(fock(i, j), sp_fock(i, j), 1e-12) << i << "," << j;
    }
}

TEST(FockBuilder, MatricesOfTheWrongSizeAreInternalErrors) {
    const ParameterModel& model = pm6_model();
    const System system(fixtures::water(), model, Builder::nddo);
    const std::size_t n = system.batch.n_orbitals;
    const AlignedMatrix good_density = random_symmetric(n, 1);
    const AlignedMatrix bad_square(n + 1, n + 1);
    const AlignedMatrix bad_rows(n - 1, n);
    struct Case {
        const char* name;
        const AlignedMatrix& hcore;
        const AlignedMatrix& density;
        std::size_t fock_rows, fock_cols;
    };
    const Case cases[] = {
        {"Fock too large", system.hcore, good_density, n + 1, n + 1},
        {"Fock not square", system.hcore, good_density, n, n + 1},
        {"H of another size", bad_square, good_density, n, n},
        {"P of another size", system.hcore, bad_rows, n, n},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::function<void(AlignedMatrix&)> builds[] = {
            [&](AlignedMatrix& f) { build_fock(system.batch, model, c.hcore, c.density, f); },
            [&](AlignedMatrix& f) {
                build_fock_nddo(system.batch, model, system.pairs.data(), system.pairs.size(),
                                c.hcore, c.density, f);
            },
        };
        for (const auto& build : builds) {
            AlignedMatrix fock(c.fock_rows, c.fock_cols);
            EXPECT_THROW(build(fock), InternalError);
        }
    }
    AlignedMatrix wrong(n + 1, n + 1);
    EXPECT_THROW(add_one_center_fock_terms(system.batch, model, good_density, wrong),
                 InternalError);
    EXPECT_THROW(assemble_nddo_two_center_fock(system.pairs.data(), system.pairs.size(),
                                               good_density, wrong),
                 InternalError);
    // A record whose orbitals do not fit the matrix is a broken cache, not a silent read.
    AlignedMatrix small(3, 3);
    EXPECT_THROW(assemble_nddo_two_center_fock(system.pairs.data(), system.pairs.size(),
                                               AlignedMatrix(3, 3), small),
                 InternalError);
}

TEST(FockBuilder, SimplifiedModelHandlesAnyNumberOfAtoms) {
    // Hydrogen clouds below and above the 256 atoms that fit the stack scratch.
    const ParameterModel& model = am1_model();
    const ElementParameters h = *model.get_element(1);
    const double rho = e_squared_ev_angstrom / h.g_ss; // ρA + ρB
    for (std::size_t n_atoms : {3u, 256u, 257u, 300u}) {
        SCOPED_TRACE(n_atoms);
        std::mt19937 engine(static_cast<unsigned>(n_atoms));
        std::uniform_real_distribution<double> uniform(-12.0, 12.0);
        Molecule cloud;
        for (std::size_t a = 0; a < n_atoms; ++a) {
            cloud.atomic_numbers.push_back(1);
            cloud.coordinates.push_back({uniform(engine), uniform(engine), uniform(engine)});
        }
        const MolecularBatch batch = fixtures::make_batch(cloud, model);
        AlignedMatrix hcore = random_symmetric(n_atoms, 4);
        const AlignedMatrix density = random_symmetric(n_atoms, 8);
        AlignedMatrix fock(n_atoms, n_atoms);
        build_fock(batch, model, hcore, density, fock);
        for (std::size_t a = 0; a < n_atoms; ++a) {
            double diagonal = hcore(a, a) + 0.5 * density(a, a) * h.g_ss;
            for (std::size_t b = 0; b < n_atoms; ++b) {
                if (b == a)
                    continue;
                const double r = batch.distance(a, b);
                const double gamma = e_squared_ev_angstrom / std::sqrt(r * r + rho * rho);
                diagonal += density(b, b) * gamma;
                EXPECT_NEAR(fock(a, b), hcore(a, b) - 0.5 * density(a, b) * gamma, 1e-12);
            }
            EXPECT_NEAR(fock(a, a), diagonal, 1e-10);
        }
    }
}

} // namespace
} // namespace quelm
