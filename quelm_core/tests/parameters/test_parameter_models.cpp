#include "parameters/models.hpp"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace quelm {
namespace {

const std::vector<const ParameterModel*>& all_models() {
    static const std::vector<const ParameterModel*> models = {
        &mndo_model(), &am1_model(), &pm3_model(), &rm1_model(), &pm6_model(), &pm7_model()};
    return models;
}

// A published row as printed in the method papers (all d fields zero for these elements).
struct Row {
    const char* name;
    const ParameterModel* model;
    int z;
    double core_charge, u_ss, u_pp, zeta_s, zeta_p, beta_s, beta_p, alpha;
    double g_ss, g_sp, g_pp, g_p2, h_sp;
    std::vector<GaussianTerm> gaussians;
};

TEST(ParameterModels, ReproduceThePublishedAm1AndPm7Rows) {
    const Row rows[] = {
        {"AM1 H",
         &am1_model(),
         1,
         1,
         -11.396427,
         0,
         1.188078,
         0,
         -6.173787,
         0,
         2.882324,
         12.848,
         0,
         0,
         0,
         0,
         {{0.122796, 5, 1.2}, {0.00509, 5, 1.8}, {-0.018336, 2, 2.1}}},
        {"AM1 C",
         &am1_model(),
         6,
         4,
         -52.028658,
         -39.614239,
         1.808665,
         1.685116,
         -15.715783,
         -7.719283,
         2.648274,
         12.23,
         11.47,
         11.08,
         9.84,
         2.43,
         {{0.011355, 5, 1.6}, {0.045924, 5, 1.85}, {-0.020061, 5, 2.05}, {-0.00126, 5, 2.65}}},
        // The published AM1 nitrogen (J. Am. Chem. Soc. 107, 3902 (1985)).
        {"AM1 N",
         &am1_model(),
         7,
         5,
         -71.86,
         -57.167581,
         2.31541,
         2.15794,
         -20.29911,
         -18.238666,
         2.947286,
         13.59,
         12.66,
         12.98,
         11.59,
         3.14,
         {{0.025251, 5, 1.5}, {0.028953, 5, 2.1}, {-0.005806, 2, 2.4}}},
        {"AM1 O",
         &am1_model(),
         8,
         6,
         -97.83,
         -78.26238,
         3.108032,
         2.524039,
         -29.272773,
         -29.272773,
         4.455371,
         15.42,
         14.48,
         14.52,
         12.98,
         3.94,
         {{0.280962, 5, 0.847918}, {0.08143, 7, 1.445071}}},
        {"PM7 H",
         &pm7_model(),
         1,
         1,
         -11.070112,
         0,
         1.260237,
         0,
         -8.389745,
         0,
         0,
         14.149656,
         0,
         0,
         0,
         0,
         {{0.177854, 1.42871, 0.991324}}},
        {"PM7 C",
         &pm7_model(),
         6,
         4,
         -51.37262,
         -40.135421,
         1.942244,
         1.708723,
         -14.41493,
         -7.893717,
         0,
         12.347323,
         11.932801,
         10.452226,
         9.385498,
         0.802634,
         {{0.045888, 5.037055, 1.588715}}},
        {"PM7 O",
         &pm7_model(),
         8,
         6,
         -96.087736,
         -71.087738,
         5.972309,
         2.349017,
         -67.776339,
         -20.267981,
         0,
         14.955121,
         16.088521,
         12.403337,
         10.499706,
         5.028656,
         {{-0.016243, 1.87197, 1.84436}}},
        // PM7's pseudo-atoms are fixed definitions with one s orbital.
        {"PM7 98", &pm7_model(), 98, 1, -3, 0, 2, 0, -99, 0, 0, 12, 0, 0, 0, 0, {}},
        {"PM7 102", &pm7_model(), 102, 1, 0, 0, 4, 0, -9999999, 0, 0, 12.848, 0, 0, 0, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto element = row.model->get_element(static_cast<std::uint8_t>(row.z));
        ASSERT_TRUE(element.has_value());
        EXPECT_EQ(element->atomic_number, row.z);
        EXPECT_EQ(element->core_charge, row.core_charge);
        EXPECT_EQ(element->u_ss, row.u_ss);
        EXPECT_EQ(element->u_pp, row.u_pp);
        EXPECT_EQ(element->zeta_s, row.zeta_s);
        EXPECT_EQ(element->zeta_p, row.zeta_p);
        EXPECT_EQ(element->beta_s, row.beta_s);
        EXPECT_EQ(element->beta_p, row.beta_p);
        EXPECT_EQ(element->alpha, row.alpha);
        EXPECT_EQ(element->g_ss, row.g_ss);
        EXPECT_EQ(element->g_sp, row.g_sp);
        EXPECT_EQ(element->g_pp, row.g_pp);
        EXPECT_EQ(element->g_p2, row.g_p2);
        EXPECT_EQ(element->h_sp, row.h_sp);
        EXPECT_EQ(element->u_dd, 0.0);
        EXPECT_EQ(element->zeta_d, 0.0);
        EXPECT_EQ(element->beta_d, 0.0);
        ASSERT_EQ(element->n_gaussians, row.gaussians.size());
        for (std::size_t i = 0; i < 4; ++i) {
            const GaussianTerm expected =
                i < row.gaussians.size() ? row.gaussians[i] : GaussianTerm{};
            EXPECT_EQ(element->gaussians[i].k, expected.k) << "term " << i;
            EXPECT_EQ(element->gaussians[i].l, expected.l) << "term " << i;
            EXPECT_EQ(element->gaussians[i].m, expected.m) << "term " << i;
        }
    }
}

// Coverage, Gaussian counts and d shells of each model as published; PM7 carries only
// the rows that are available (H, C, O and the two pseudo-atoms, see PROVENANCE.md).
struct Coverage {
    const ParameterModel* model;
    std::vector<std::pair<int, unsigned>> z_and_gaussians;
    std::set<int> with_d;
};

std::vector<Coverage> published_coverage() {
    return {
        {&mndo_model(),
         {{1, 0},
          {5, 0},
          {6, 0},
          {7, 0},
          {8, 0},
          {9, 0},
          {14, 0},
          {15, 0},
          {16, 0},
          {17, 0},
          {35, 0},
          {53, 0}},
         {}},
        {&am1_model(),
         {{1, 3},
          {5, 3},
          {6, 4},
          {7, 3},
          {8, 2},
          {9, 2},
          {14, 3},
          {15, 3},
          {16, 3},
          {17, 2},
          {35, 2},
          {53, 2}},
         {}},
        {&pm3_model(),
         {{1, 2},
          {5, 1},
          {6, 2},
          {7, 2},
          {8, 2},
          {9, 2},
          {14, 2},
          {15, 2},
          {16, 2},
          {17, 2},
          {35, 2},
          {53, 2}},
         {}},
        {&rm1_model(),
         {{1, 3}, {6, 4}, {7, 3}, {8, 2}, {9, 2}, {15, 3}, {16, 3}, {17, 2}, {35, 2}, {53, 2}},
         {}},
        {&pm6_model(),
         {{1, 1},
          {5, 0},
          {6, 1},
          {7, 1},
          {8, 1},
          {9, 1},
          {14, 1},
          {15, 1},
          {16, 1},
          {17, 1},
          {35, 1},
          {53, 1}},
         {14, 15, 16, 17, 35, 53}},
        {&pm7_model(), {{1, 1}, {6, 1}, {8, 1}, {98, 0}, {102, 0}}, {}},
    };
}

double valence_electrons(int z) {
    switch (z) {
    case 1:
    case 98:
    case 102:
        return 1;
    case 5:
        return 3;
    case 6:
    case 14:
        return 4;
    case 7:
    case 15:
        return 5;
    case 8:
    case 16:
        return 6;
    default:
        return 7; // the halogens
    }
}

TEST(ParameterModels, CoverExactlyThePublishedElements) {
    for (const Coverage& coverage : published_coverage()) {
        SCOPED_TRACE(std::string(coverage.model->name()));
        std::set<int> covered;
        for (const auto& [z, n] : coverage.z_and_gaussians)
            covered.insert(z);
        for (int z = 0; z <= 255; ++z) {
            const auto element = coverage.model->get_element(static_cast<std::uint8_t>(z));
            EXPECT_EQ(element.has_value(), covered.count(z) == 1) << "Z = " << z;
        }
        for (const auto& [z, n_gaussians] : coverage.z_and_gaussians) {
            SCOPED_TRACE("Z = " + std::to_string(z));
            const ElementParameters e = *coverage.model->get_element(static_cast<std::uint8_t>(z));
            EXPECT_EQ(e.atomic_number, z);
            EXPECT_EQ(e.core_charge, valence_electrons(z));
            EXPECT_EQ(e.n_gaussians, n_gaussians);
            // The counted terms are the leading non-zero ones; the other slots are zero.
            for (unsigned i = 0; i < 4; ++i) {
                const GaussianTerm& g = e.gaussians[i];
                if (i < n_gaussians) {
                    EXPECT_NE(g.k, 0.0) << "term " << i;
                } else {
                    EXPECT_EQ(g.k, 0.0) << "term " << i;
                    EXPECT_EQ(g.l, 0.0) << "term " << i;
                    EXPECT_EQ(g.m, 0.0) << "term " << i;
                }
            }
            const bool has_d = coverage.with_d.count(z) == 1;
            EXPECT_EQ(e.zeta_d > 1e-8, has_d);
            if (!has_d) {
                EXPECT_EQ(e.u_dd, 0.0);
                EXPECT_EQ(e.beta_d, 0.0);
            }
            if (z == 1) { // hydrogen: an s shell only
                EXPECT_EQ(e.u_pp, 0.0);
                EXPECT_EQ(e.zeta_p, 0.0);
                EXPECT_EQ(e.beta_p, 0.0);
                EXPECT_EQ(e.g_sp, 0.0);
                EXPECT_EQ(e.g_pp, 0.0);
                EXPECT_EQ(e.g_p2, 0.0);
                EXPECT_EQ(e.h_sp, 0.0);
            }
        }
    }
}

TEST(ParameterModels, BasisTypeFromTheRecordOrThePeriodicRow) {
    struct Case {
        const ParameterModel* model;
        int z;
        int orbitals;
    };
    const Case cases[] = {
        {&am1_model(), 6, 4},  {&am1_model(), 26, 9}, // Fe: not in AM1, transition metal
        {&am1_model(), 12, 4},                        // Mg: not in AM1, main group
        {&am1_model(), 0, 9},  {&rm1_model(), 5, 4},  // RM1 has no boron: fallback
        {&pm6_model(), 16, 9},                        // PM6 sulfur carries d orbitals
        {&pm6_model(), 8, 4},  {&pm7_model(), 98, 1}, {&pm7_model(), 102, 1},
        {&pm7_model(), 2, 4},  {&pm7_model(), 21, 9}, {&mndo_model(), 255, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model->name()) + " Z = " + std::to_string(c.z));
        EXPECT_EQ(c.model->basis_type(static_cast<std::uint8_t>(c.z)), c.orbitals);
    }
    for (const ParameterModel* model : all_models())
        EXPECT_EQ(model->basis_type(1), 1) << model->name();
}

TEST(ParameterModels, FindModelByUpperCaseName) {
    const std::pair<const char*, const ParameterModel*> names[] = {
        {"MNDO", &mndo_model()}, {"AM1", &am1_model()}, {"PM3", &pm3_model()},
        {"RM1", &rm1_model()},   {"PM6", &pm6_model()}, {"PM7", &pm7_model()}};
    for (const auto& [name, model] : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(find_model(name), model);
        EXPECT_EQ(model->name(), name);
    }
    // Upper-casing is the caller's business.
    for (const char* unknown : {"rm1", "Pm6", "PM5", "", "AM1 "})
        EXPECT_EQ(find_model(unknown), nullptr) << '"' << unknown << '"';
}

TEST(ParameterModels, OnlyPm7FeathersAndOnlyPm6AndPm7HaveDData) {
    for (const ParameterModel* model : all_models()) {
        SCOPED_TRACE(std::string(model->name()));
        EXPECT_EQ(model->use_feathering(), model == &pm7_model());
        for (int z : {1, 6, 26})
            EXPECT_FALSE(model->get_d_element_params(static_cast<std::uint8_t>(z)));
        if (model != &pm7_model() && model != &pm6_model()) {
            for (int z : {14, 16})
                EXPECT_FALSE(model->get_d_element_params(static_cast<std::uint8_t>(z)));
        }
    }
    EXPECT_TRUE(pm6_model().get_d_element_params(16));
}

TEST(Pm6Parameters, BoronHasNoGaussiansAndNoOwnExponent) {
    const ElementParameters boron = *pm6_model().get_element(5);
    EXPECT_EQ(boron.n_gaussians, 0u);
    EXPECT_EQ(boron.alpha, 0.0);
}

TEST(Pm6Parameters, AlphaIsTheHomonuclearPairExponent) {
    const std::pair<int, double> published[] = {
        {1, 3.540942},  {6, 2.613713},  {7, 2.574502},  {8, 2.623998},  {9, 3.175759}, {14, 1.329},
        {15, 1.505792}, {16, 1.794556}, {17, 1.823239}, {35, 1.758146}, {53, 1.519925}};
    for (const auto& [z, alpha] : published) {
        SCOPED_TRACE("Z = " + std::to_string(z));
        const auto zz = static_cast<std::uint8_t>(z);
        EXPECT_EQ(pm6_model().get_element(zz)->alpha, alpha);
        EXPECT_EQ(Pm6Model::get_pair_params(zz, zz).alpha, alpha);
    }
}

struct PairRow {
    const char* name;
    int z1, z2;
    double alpha, x;
};

TEST(Pm6Parameters, PairTableHoldsThePublishedPairsInEitherOrder) {
    const PairRow rows[] = {
        {"H-H", 1, 1, 3.540942, 2.243587},
        {"C-H", 6, 1, 1.027806, 0.216506},
        {"C-C", 6, 6, 2.613713, 0.81351},
        {"N-H", 7, 1, 0.969406, 0.175506},
        {"O-H", 8, 1, 1.260942, 0.192295},
        {"O-C", 8, 6, 2.889607, 0.990211},
        {"F-F", 9, 9, 3.175759, 0.681343},
        {"Si-O", 14, 8, 1.9236, 0.751095},
        {"S-S", 16, 16, 1.794556, 0.473856},
        {"Cl-H", 17, 1, 2.402886, 0.754831},
        {"Br-H", 35, 1, 2.192803, 0.850378},
        {"Br-N", 35, 7, 4.224901, 30.000133},
        {"I-I", 53, 53, 1.519925, 0.510542},
        // Untabulated pairs: the default exponent and no prefactor.
        {"Fe-H", 26, 1, 1.2, 0.0},
        {"Al-C", 13, 6, 1.2, 0.0},
        {"Z=0", 0, 0, 1.2, 0.0},
    };
    for (const PairRow& row : rows) {
        SCOPED_TRACE(row.name);
        for (const auto& [a, b] : {std::pair{row.z1, row.z2}, std::pair{row.z2, row.z1}}) {
            const PairParameters pair = Pm6Model::get_pair_params(static_cast<std::uint8_t>(a),
                                                                  static_cast<std::uint8_t>(b));
            EXPECT_EQ(pair.alpha, row.alpha);
            EXPECT_EQ(pair.x, row.x);
        }
    }
    // Every pair among the PM6 elements is tabulated (none falls back to the default).
    const int elements[] = {1, 5, 6, 7, 8, 9, 14, 15, 16, 17, 35, 53};
    for (int a : elements) {
        for (int b : elements) {
            const PairParameters pair = Pm6Model::get_pair_params(static_cast<std::uint8_t>(a),
                                                                  static_cast<std::uint8_t>(b));
            EXPECT_GT(pair.x, 0.0) << a << "-" << b;
        }
    }
}

TEST(Pm7Parameters, PairParametersFromTheTableOrTheHomonuclearMean) {
    const PairRow rows[] = {
        {"H-H", 1, 1, 4.051163, 2.845627},
        {"C-H", 6, 1, 1.038716, 0.204582},
        {"C-C", 6, 6, 2.655746, 0.937818},
        {"N-H", 7, 1, 1.049958, 0.173966},
        {"O-H", 8, 1, 1.50803, 0.160602},
        {"O-C", 8, 6, 2.850931, 0.826848},
        {"N-N", 7, 7, 2.786676, 0.86343},
        {"O-O", 8, 8, 2.457135, 0.356439},
        {"Cl-C", 17, 6, 2.450283, 0.690352},
        {"S-O", 16, 8, 2.508022, 0.72934},
        {"He-He", 2, 2, 3.783559, 3.4509},
        {"Au-Au", 79, 79, 1.539843, 0.352184},
        {"Hg-Hg", 80, 80, 2.288223, 29.334203},
        // Untabulated, both homonuclear pairs known: their mean.
        {"Hg-Au", 80, 79, 1.914033, 14.843193},
        {"Au-H", 79, 1, (1.539843 + 4.051163) / 2, (0.352184 + 2.845627) / 2},
        // Elements outside the PM7 pair set.
        {"Th-H", 90, 1, 0.0, 0.0},
        {"Th-C", 90, 6, 0.0, 0.0},
        {"98-H", 98, 1, 0.0, 0.0},
        {"102-O", 102, 8, 0.0, 0.0},
    };
    for (const PairRow& row : rows) {
        SCOPED_TRACE(row.name);
        for (const auto& [a, b] : {std::pair{row.z1, row.z2}, std::pair{row.z2, row.z1}}) {
            const PairParameters pair =
                get_pm7_pair_params(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
            EXPECT_NEAR(pair.alpha, row.alpha, 1e-6); // published to six decimals
            EXPECT_NEAR(pair.x, row.x, 1e-6);
        }
    }
}

} // namespace
} // namespace quelm
