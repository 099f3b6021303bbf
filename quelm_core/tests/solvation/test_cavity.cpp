#include "fixtures.hpp"
#include "solvation/cavity.hpp"
#include "types/internal_error.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double probe_radius = 1.30005;

MolecularBatch batch_of(std::vector<std::uint8_t> atomic_numbers,
                        std::vector<Coordinate> coordinates) {
    return MolecularBatch::new_with_default_basis(std::move(atomic_numbers), coordinates);
}

double total_area(const CosmoCavity& cavity, std::size_t atom) {
    double area = 0.0;
    for (const CavitySegment& s : cavity.segments)
        area += s.atom == atom ? s.area : 0.0;
    return area;
}

// A lone atom keeps its whole sphere: one segment per coarse point (42, or 12 for
// hydrogen), together covering 4π·r² of the sphere of the atomic radius.
TEST(CosmoCavity, CoversTheWholeSphereOfALoneAtom) {
    struct Case {
        const char* name;
        std::uint8_t z;
        double radius;
        std::size_t segments;
    };
    const Case cases[] = {
        {"H", 1, 1.3, 12},          {"C", 6, 2.0, 42},           {"O", 8, 1.72, 42},
        {"B", 5, 2.0475, 42},       {"Si", 14, 2.457, 42},       {"Cl", 17, 2.05, 42},
        {"I", 53, 2.32, 42},        {"Na", 11, 1.17 * 2.27, 42}, {"Fe", 26, 1.17 * 2.06, 42},
        {"Gd", 64, 1.17 * 2.4, 42}, {"Rn", 86, 1.17 * 2.3, 42},  {"Z=0", 0, 2.0, 42},
        {"Z=90", 90, 2.0, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(cavity_atomic_radius(c.z), c.radius, 1e-12);
        const Coordinate centre{0.3, -1.2, 2.5};
        const CosmoCavity cavity = CosmoCavity::construct(batch_of({c.z}, {centre}), probe_radius);
        ASSERT_EQ(cavity.segments.size(), c.segments);
        EXPECT_NEAR(total_area(cavity, 0), 4.0 * pi * c.radius * c.radius, 1e-10);
        for (const CavitySegment& s : cavity.segments) {
            EXPECT_EQ(s.atom, 0u);
            const auto& n = s.normal;
            EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-12);
            for (int a = 0; a < 3; ++a)
                EXPECT_NEAR(s.position[a], centre[a] + c.radius * n[a], 1e-12);
        }
    }
}

// Two carbons 3 Å apart: each solvent-accessible sphere (R = 2 + r_s) loses the cap inside
// the other, a fraction (1 − d/2R)/2 of its area. The fine grid resolves the cap edge to
// about one point's share (4π/1082 ≈ 0.1 % of the sphere).
TEST(CosmoCavity, RemovesTheCapBuriedByANeighbour) {
    const double d = 3.0;
    const CosmoCavity cavity =
        CosmoCavity::construct(batch_of({6, 6}, {{{0.0, 0.0, 0.0}, {d, 0.0, 0.0}}}), probe_radius);
    const double r_enlarged = 2.0 + probe_radius;
    const double buried_fraction = 0.5 * (1.0 - d / (2.0 * r_enlarged));
    const double expected = 4.0 * pi * 4.0 * (1.0 - buried_fraction);
    EXPECT_NEAR(total_area(cavity, 0), expected, 0.01 * expected);
    EXPECT_NEAR(total_area(cavity, 1), expected, 0.01 * expected);
    // The pair is symmetric under inversion through its midpoint, and so is the grid.
    EXPECT_NEAR(total_area(cavity, 0), total_area(cavity, 1), 1e-9);

    // No surviving segment faces the neighbour: gathered points lie outside the cap, whose
    // edge is at cos θ = d/2R from the axis; a segment's normal averages its points, up to
    // one coarse cell (≈ 0.55 rad across on the 42 grid) from the edge.
    const double cap_edge = std::acos(d / (2.0 * r_enlarged));
    for (const CavitySegment& s : cavity.segments) {
        const double toward_neighbour = s.atom == 0 ? s.normal[0] : -s.normal[0];
        EXPECT_LT(toward_neighbour, std::cos(cap_edge - 0.55));
    }
}

TEST(CosmoCavity, GivesNoSegmentsToAnAtomInsideItsNeighbour) {
    // The hydrogen's enlarged sphere (2.6 Å) lies wholly inside the carbon's (3.3 Å), while
    // it reaches no point of the carbon's.
    const CosmoCavity cavity = CosmoCavity::construct(
        batch_of({6, 1}, {{{0.0, 0.0, 0.0}, {0.1, 0.05, 0.0}}}), probe_radius);
    ASSERT_EQ(cavity.segments.size(), 42u);
    EXPECT_NEAR(total_area(cavity, 0), 16.0 * pi, 1e-10);
    EXPECT_DOUBLE_EQ(total_area(cavity, 1), 0.0);
}

TEST(CosmoCavity, OrdersSegmentsByAtomThenCoarsePoint) {
    const fixtures::Molecule water = fixtures::water();
    const CosmoCavity cavity =
        CosmoCavity::construct(batch_of(water.atomic_numbers, water.coordinates), probe_radius);
    ASSERT_FALSE(cavity.segments.empty());
    EXPECT_EQ(cavity.segments.front().atom, 0u);
    EXPECT_EQ(cavity.segments.back().atom, 2u);
    for (std::size_t k = 1; k < cavity.segments.size(); ++k)
        EXPECT_LE(cavity.segments[k - 1].atom, cavity.segments[k].atom);
    // The hydrogens are partly buried by the oxygen, but each keeps most of its outer side.
    EXPECT_GT(total_area(cavity, 1), 0.3 * 4.0 * pi * 1.69);
    EXPECT_LT(total_area(cavity, 1), 4.0 * pi * 1.69);
}

TEST(CosmoCavity, MovesWithTheMoleculeUnderTranslation) {
    const fixtures::Molecule water = fixtures::water();
    // Shifts by whole multiples of 1/8 Å keep every coordinate sum exact.
    const Coordinate shift{1.5, -0.25, 3.0};
    std::vector<Coordinate> moved = water.coordinates;
    for (Coordinate& r : moved)
        for (int a = 0; a < 3; ++a)
            r[a] += shift[a];
    const CosmoCavity here =
        CosmoCavity::construct(batch_of(water.atomic_numbers, water.coordinates), probe_radius);
    const CosmoCavity there =
        CosmoCavity::construct(batch_of(water.atomic_numbers, moved), probe_radius);
    ASSERT_EQ(here.segments.size(), there.segments.size());
    for (std::size_t k = 0; k < here.segments.size(); ++k) {
        EXPECT_EQ(here.segments[k].atom, there.segments[k].atom);
        EXPECT_NEAR(here.segments[k].area, there.segments[k].area, 1e-12);
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(there.segments[k].position[a] - here.segments[k].position[a], shift[a],
                        1e-12);
    }
}

TEST(CosmoCavity, RejectsAnEmptyBatch) {
    try {
        CosmoCavity::construct(batch_of({}, {}), probe_radius);
        ADD_FAILURE() << "no error";
    } catch (const InternalError& error) {
        EXPECT_STREQ(error.what(), "Molecular batch cannot be empty for COSMO");
    }
}

} // namespace
} // namespace quelm
