#include "fixtures.hpp"
#include "integrals/core_repulsion.hpp"
#include "parameters/models.hpp"
#include "reference_data.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quelm {
namespace {

using PairFunction =
    std::function<double(const ElementParameters&, const ElementParameters&, double)>;

ElementParameters element(const ParameterModel& model, int z) {
    const auto record = model.get_element(static_cast<std::uint8_t>(z));
    if (!record)
        throw std::runtime_error(std::string(model.name()) + " lacks Z=" + std::to_string(z));
    return *record;
}

ElementParameters without_gaussians(ElementParameters record) {
    record.n_gaussians = 0;
    record.gaussians = {};
    return record;
}

// Σ K·exp(−L·(R − M)²) over the given terms, every term kept (all exponents here are small).
double gaussian_sum(const std::vector<GaussianTerm>& terms, double r) {
    double sum = 0.0;
    for (const GaussianTerm& g : terms)
        sum += g.k * std::exp(-g.l * (r - g.m) * (r - g.m));
    return sum;
}

std::vector<GaussianTerm> own_terms(const ElementParameters& record) {
    return {record.gaussians.begin(), record.gaussians.begin() + record.n_gaussians};
}

TEST(CoreRepulsion, CoincidentAtomsContributeNothing) {
    const std::pair<const char*, PairFunction> forms[] = {
        {"MNDO form", compute_pair_core_repulsion},
        {"AM1 form", compute_pair_core_repulsion_am1},
        {"PM6 form", compute_pair_core_repulsion_pm6},
        {"PM7 form", compute_pair_core_repulsion_pm7},
    };
    const ElementParameters carbon = element(pm6_model(), 6);
    const ElementParameters hydrogen = element(pm6_model(), 1);
    for (const auto& [name, form] : forms) {
        SCOPED_TRACE(name);
        EXPECT_EQ(form(carbon, hydrogen, 0.0), 0.0);
        EXPECT_EQ(form(carbon, hydrogen, 0.9e-10), 0.0);
        EXPECT_GT(form(carbon, hydrogen, 1.1), 0.0);
    }
    const std::vector<Coordinate> same_place(2, Coordinate{0.3, -0.2, 1.0});
    for (const ParameterModel* model : {static_cast<const ParameterModel*>(&am1_model()),
                                        static_cast<const ParameterModel*>(&pm7_model())}) {
        const MolecularBatch batch = MolecularBatch::new_for_model({6, 1}, same_place, *model);
        EXPECT_EQ(compute_total_core_repulsion(batch, *model), 0.0) << model->name();
    }
}

TEST(CoreRepulsion, TendsToPointChargesAtLongRange) {
    // γ → e²/R and every exponential and Gaussian dies: E·R/(ZA·ZB·e²) → 1.
    const double r = 100.0;
    for (const ParameterModel* model : {static_cast<const ParameterModel*>(&mndo_model()),
                                        static_cast<const ParameterModel*>(&am1_model()),
                                        static_cast<const ParameterModel*>(&pm3_model()),
                                        static_cast<const ParameterModel*>(&rm1_model()),
                                        static_cast<const ParameterModel*>(&pm6_model()),
                                        static_cast<const ParameterModel*>(&pm7_model())}) {
        SCOPED_TRACE(std::string(model->name()));
        const ElementParameters c = element(*model, 6);
        const ElementParameters o = element(*model, 8);
        const double point_charges = c.core_charge * o.core_charge * e_squared_ev_angstrom / r;
        EXPECT_NEAR(model->pair_core_repulsion(c, o, r) / point_charges, 1.0, 1e-4);
    }
}

TEST(CoreRepulsion, NitrogenAndOxygenExponentialsScaleWithRAgainstHydrogen) {
    // AM1 at 1.01 Å. Relabelling the heavy atom as carbon (same parameters) removes only the
    // R factor, so the difference is ZA·ZB·γ·(R − 1)·exp(−α·R).
    const double r = 1.01;
    const ElementParameters hydrogen = element(am1_model(), 1);
    for (int z : {7, 8}) {
        SCOPED_TRACE("Z = " + std::to_string(z));
        const ElementParameters heavy = element(am1_model(), z);
        ElementParameters relabelled = heavy;
        relabelled.atomic_number = 6;
        const double e = am1_model().pair_core_repulsion(heavy, hydrogen, r);
        EXPECT_EQ(e, am1_model().pair_core_repulsion(hydrogen, heavy, r));
        const double expected_difference = heavy.core_charge * hydrogen.core_charge *
                                           klopman_ohno_gamma(heavy, hydrogen, r) * (r - 1.0) *
                                           std::exp(-heavy.alpha * r);
        EXPECT_NEAR(e - am1_model().pair_core_repulsion(relabelled, hydrogen, r),
                    expected_difference, 1e-12);
        EXPECT_GT(expected_difference, 1e-4); // the check can see the factor
        // Without a hydrogen partner the factor is absent.
        ElementParameters not_hydrogen = hydrogen;
        not_hydrogen.atomic_number = 2;
        EXPECT_EQ(am1_model().pair_core_repulsion(heavy, not_hydrogen, r),
                  am1_model().pair_core_repulsion(relabelled, not_hydrogen, r));
    }
}

TEST(CoreRepulsion, Am1BoronUsesItsPairGaussiansWithHydrogenCarbonAndHalogens) {
    // The published AM1 boron pair terms, by partner.
    const std::vector<GaussianTerm> with_h = {{0.412253, 10.0, 0.832586},
                                              {-0.149917, 6.0, 1.18622}};
    const std::vector<GaussianTerm> with_c = {{0.261751, 8.0, 1.063995}, {0.050275, 5.0, 1.936492}};
    const std::vector<GaussianTerm> with_x = {{0.359244, 9.0, 0.819351}, {0.074729, 9.0, 1.574414}};
    const std::pair<int, const std::vector<GaussianTerm>*> partners[] = {
        {1, &with_h}, {6, &with_c}, {9, &with_x}, {17, &with_x}, {35, &with_x}, {53, &with_x}};
    const ElementParameters boron = element(am1_model(), 5);
    ElementParameters boron_changed = boron; // own Gaussians that must never be used here
    for (GaussianTerm& g : boron_changed.gaussians)
        g.k *= 10.0;
    for (const auto& [z, pair_terms] : partners) {
        const ElementParameters partner = element(am1_model(), z);
        for (double r : {1.19, 1.5, 2.2}) {
            SCOPED_TRACE("Z = " + std::to_string(z) + ", R = " + std::to_string(r));
            const double e = am1_model().pair_core_repulsion(boron, partner, r);
            EXPECT_EQ(e, am1_model().pair_core_repulsion(partner, boron, r));
            EXPECT_EQ(e, am1_model().pair_core_repulsion(boron_changed, partner, r));
            // Everything but the Gaussians is the plain MNDO form.
            const double no_gaussians = compute_pair_core_repulsion(without_gaussians(boron),
                                                                    without_gaussians(partner), r);
            const double expected_gaussians =
                boron.core_charge * partner.core_charge *
                (gaussian_sum(*pair_terms, r) + gaussian_sum(own_terms(partner), r)) / r;
            EXPECT_NEAR(e - no_gaussians, expected_gaussians, 1e-10);
        }
    }
    // Boron–nitrogen has no pair terms: both atoms' own Gaussians count.
    const ElementParameters nitrogen = element(am1_model(), 7);
    const double r = 1.4;
    EXPECT_EQ(am1_model().pair_core_repulsion(boron, nitrogen, r),
              compute_pair_core_repulsion(boron, nitrogen, r));
    EXPECT_NE(am1_model().pair_core_repulsion(boron_changed, nitrogen, r),
              am1_model().pair_core_repulsion(boron, nitrogen, r));
}

TEST(CoreRepulsion, BoronPairTermsBelongToAm1Only) {
    // MNDO boron has no Gaussians at all and PM3 boron keeps its own with every partner.
    const double r = 1.19;
    for (const ParameterModel* model : {static_cast<const ParameterModel*>(&mndo_model()),
                                        static_cast<const ParameterModel*>(&pm3_model())}) {
        SCOPED_TRACE(std::string(model->name()));
        const ElementParameters boron = element(*model, 5);
        const ElementParameters hydrogen = element(*model, 1);
        const double expected_gaussians =
            boron.core_charge * hydrogen.core_charge *
            (gaussian_sum(own_terms(boron), r) + gaussian_sum(own_terms(hydrogen), r)) / r;
        const double no_gaussians =
            compute_pair_core_repulsion(without_gaussians(boron), without_gaussians(hydrogen), r);
        EXPECT_NEAR(model->pair_core_repulsion(boron, hydrogen, r) - no_gaussians,
                    expected_gaussians, 1e-10);
    }
}

TEST(CoreRepulsion, GaussianTermIsSkippedExactlyWhenItsExponentReaches25) {
    // One term with L = 1 Å⁻², M = 0: its exponent is R², exactly 25 at R = 5 Å. A large K
    // makes the e⁻²⁵ contribution visible.
    const double k = 1e6;
    ElementParameters with_term = without_gaussians(element(am1_model(), 6));
    with_term.n_gaussians = 1;
    with_term.gaussians[0] = {k, 1.0, 0.0};
    const ElementParameters plain = without_gaussians(element(am1_model(), 6));
    const double zz = with_term.core_charge * plain.core_charge;

    EXPECT_EQ(compute_pair_core_repulsion(with_term, plain, 5.0),
              compute_pair_core_repulsion(plain, plain, 5.0));
    const double r = 4.999;
    EXPECT_NEAR(compute_pair_core_repulsion(with_term, plain, r) -
                    compute_pair_core_repulsion(plain, plain, r),
                zz * k * std::exp(-r * r) / r, 1e-12);

    // In AM1's boron pair branch a term counts while its exponent is at most 25.
    const ElementParameters boron = element(am1_model(), 5);
    ElementParameters hydrogen = without_gaussians(element(am1_model(), 1));
    ElementParameters hydrogen_with_term = hydrogen;
    hydrogen_with_term.n_gaussians = 1;
    hydrogen_with_term.gaussians[0] = {k, 1.0, 0.0};
    EXPECT_NEAR(compute_pair_core_repulsion_am1(boron, hydrogen_with_term, 5.0) -
                    compute_pair_core_repulsion_am1(boron, hydrogen, 5.0),
                boron.core_charge * k * std::exp(-25.0) / 5.0, 1e-12);
}

TEST(CoreRepulsion, Pm7PairsBeyondSevenAngstromArePointChargesTimesTheirPairFactor) {
    // From 7 Å on γ = e²/R exactly; at 7.5 Å the wall is below 1e-9 eV and, without their
    // Gaussians, E = ZA·ZB·(e²/R)·t. C–C keeps t = 1 (its exponentials have died); O–H
    // keeps its extra 0.012037·exp(−2·0.701333·R); thorium has no PM7 pair parameters
    // and takes the default 1 + 10·exp(−2.18·R).
    ElementParameters thorium;
    thorium.atomic_number = 90;
    thorium.core_charge = 4.0;
    thorium.g_ss = 10.0;
    const ElementParameters carbon = without_gaussians(element(pm7_model(), 6));
    const ElementParameters oxygen = without_gaussians(element(pm7_model(), 8));
    const ElementParameters hydrogen = without_gaussians(element(pm7_model(), 1));
    const double r = 7.5;
    struct Case {
        const char* name;
        const ElementParameters* a;
        const ElementParameters* b;
        double t;
    };
    const Case cases[] = {
        {"C-C", &carbon, &carbon, 1.0},
        {"O-H", &oxygen, &hydrogen, 1.0 + 0.012037 * std::exp(-2.0 * 0.701333 * r)},
        {"Th-H", &thorium, &hydrogen, 1.0 + 10.0 * std::exp(-2.18 * r)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double point_charges =
            c.a->core_charge * c.b->core_charge * e_squared_ev_angstrom / r;
        EXPECT_NEAR(compute_pair_core_repulsion_pm7(*c.a, *c.b, r), point_charges * c.t, 1e-9);
        EXPECT_NEAR(compute_pair_core_repulsion_pm7(*c.b, *c.a, r), point_charges * c.t, 1e-9);
        EXPECT_TRUE(c.t == 1.0 || point_charges * (c.t - 1.0) > 1e-6); // the factor is visible
    }
    // Its own Gaussian is far past the cut-off at 7.5 Å: full PM7 C–C is still 16·e²/R.
    const ElementParameters full_carbon = element(pm7_model(), 6);
    EXPECT_NEAR(compute_pair_core_repulsion_pm7(full_carbon, full_carbon, r),
                16.0 * e_squared_ev_angstrom / r, 1e-9);
    // Inside 7 Å the Klopman–Ohno integral, smaller than e²/R, is blended in.
    EXPECT_LT(compute_pair_core_repulsion_pm7(carbon, carbon, 6.9),
              16.0 * e_squared_ev_angstrom / 6.9);
}

TEST(CoreRepulsion, ShortRangeWallOfPm6AndPm7) {
    // With zero core charges only the wall 1e-8·((∛ZA + ∛ZB)/R)¹² remains, capped at 1e5 eV.
    const std::pair<const char*, PairFunction> forms[] = {{"PM6", compute_pair_core_repulsion_pm6},
                                                          {"PM7", compute_pair_core_repulsion_pm7}};
    ElementParameters bare_carbon = element(pm6_model(), 6);
    bare_carbon.core_charge = 0.0;
    const double contact = 2.0 * std::cbrt(6.0); // ∛ZA + ∛ZB for C–C
    for (const auto& [name, form] : forms) {
        SCOPED_TRACE(name);
        EXPECT_EQ(form(bare_carbon, bare_carbon, 0.25), 100000.0);
        EXPECT_NEAR(form(bare_carbon, bare_carbon, 0.3), 99887.0, 1.0);
        EXPECT_NEAR(form(bare_carbon, bare_carbon, 1.4), 1e-8 * std::pow(contact / 1.4, 12), 1e-15);
        EXPECT_EQ(form(bare_carbon, bare_carbon, 3.0 * contact + 1e-9), 0.0);
    }
    // The MNDO family has no wall.
    EXPECT_EQ(compute_pair_core_repulsion(bare_carbon, bare_carbon, 0.25), 0.0);
}

TEST(CoreRepulsion, TotalSumsTheCoveredPairs) {
    const MolecularBatch empty = MolecularBatch::new_for_model({}, {}, am1_model());
    EXPECT_EQ(compute_total_core_repulsion(empty, am1_model()), 0.0);

    const MolecularBatch water = fixtures::make_batch(fixtures::water(), pm6_model());
    const ElementParameters o = element(pm6_model(), 8);
    const ElementParameters h = element(pm6_model(), 1);
    const double pairs = pm6_model().pair_core_repulsion(o, h, water.distance(0, 1)) +
                         pm6_model().pair_core_repulsion(o, h, water.distance(0, 2)) +
                         pm6_model().pair_core_repulsion(h, h, water.distance(1, 2));
    EXPECT_NEAR(compute_total_core_repulsion(water, pm6_model()), pairs, 1e-12);

    // Atoms the model lacks (RM1 boron, AM1 iron) contribute nothing.
    const std::vector<Coordinate> three = {{0, 0, 0}, {1.2, 0, 0}, {0, 1.3, 0}};
    for (const auto& [model, missing] :
         {std::pair{static_cast<const ParameterModel*>(&rm1_model()), 5},
          std::pair{static_cast<const ParameterModel*>(&am1_model()), 26}}) {
        SCOPED_TRACE(std::string(model->name()));
        const MolecularBatch batch = MolecularBatch::new_for_model(
            {static_cast<std::uint8_t>(missing), 1, 1}, three, *model);
        const ElementParameters hydrogen = element(*model, 1);
        EXPECT_EQ(compute_total_core_repulsion(batch, *model),
                  model->pair_core_repulsion(hydrogen, hydrogen, batch.distance(1, 2)));
    }
}

TEST(CoreRepulsion, TotalIsInvariantUnderRotationAndTranslation) {
    const fixtures::Molecule formaldehyde = fixtures::formaldehyde();
    fixtures::Molecule moved =
        fixtures::rotated(formaldehyde, fixtures::rotation_about({0.3, -1.0, 0.7}, 1.1));
    for (Coordinate& position : moved.coordinates) {
        position[0] += 3.2;
        position[1] -= 1.7;
        position[2] += 0.4;
    }
    for (const ParameterModel* model : {static_cast<const ParameterModel*>(&am1_model()),
                                        static_cast<const ParameterModel*>(&pm6_model()),
                                        static_cast<const ParameterModel*>(&pm7_model())}) {
        SCOPED_TRACE(std::string(model->name()));
        EXPECT_NEAR(
            compute_total_core_repulsion(fixtures::make_batch(moved, *model), *model),
            compute_total_core_repulsion(fixtures::make_batch(formaldehyde, *model), *model), 1e-9);
    }
}

TEST(CoreRepulsion, MatchesTheIndependentReferenceForEveryMoleculeAndMethod) {
    std::size_t compared = 0;
    for (const testing::ReferenceCase& c : testing::load_reference_cases()) {
        SCOPED_TRACE(c.label());
        if (!testing::incomparable_reason(c).empty())
            continue;
        const ParameterModel* model = find_model(c.method);
        ASSERT_NE(model, nullptr);
        const MolecularBatch batch =
            MolecularBatch::new_for_model(c.atomic_numbers, c.coordinates, *model);
        EXPECT_NEAR(compute_total_core_repulsion(batch, *model), c.core_core_repulsion_ev,
                    c.tol_core_core_ev);
        ++compared;
    }
    EXPECT_EQ(compared, 77u); // 78 rows; PM3 BF3 uses another boron parameter set
}

} // namespace
} // namespace quelm
