// COSMO cavity by point burial (Klamt & Schüürmann, J. Chem. Soc. Perkin Trans. 2,
// 799 (1993)).
//
// Every atom carries a fine 1082-point grid on its solvent-accessible sphere (atomic
// radius plus probe radius). A point is exposed unless it lies strictly inside another
// atom's solvent-accessible sphere. The exposed points of an atom are gathered into the
// nearest point of a coarse grid (12 points for hydrogen, 42 otherwise); each non-empty
// group becomes one segment, which is placed back on the sphere of the bare atomic radius:
// burial uses the enlarged sphere, area and position the atomic one.

#include "solvation/cavity.hpp"

#include "solvation/tessellation.hpp"
#include "types/internal_error.hpp"

#include <cmath>

namespace quelm {

namespace {

constexpr std::size_t fine_grid_points = 1082;
constexpr double vdw_radius_scale = 1.17;

// Van der Waals radii (Å) for Z = 0..86; 0 marks the elements with a tuned cavity radius
// of their own (H, B–F, Si–Cl, As–Br, I) and Z = 0, all handled in cavity_atomic_radius.
// clang-format off
constexpr double vdw_radius[87] = {
    0.0,                                                                  // 0
    0.0, 1.4,                                                             // H, He
    1.82, 1.87, 0.0, 0.0, 0.0, 0.0, 0.0, 1.54,                            // Li–Ne
    2.27, 1.73, 2.06, 0.0, 0.0, 0.0, 0.0, 1.88,                           // Na–Ar
    2.75, 2.17, 2.26, 2.26, 2.15, 2.05, 2.1, 2.06, 2.05, 1.63, 1.4, 1.39, // K–Zn
    1.87, 2.1, 0.0, 0.0, 0.0, 2.02,                                       // Ga–Kr
    3.23, 2.94, 2.9, 2.85, 2.8, 2.2, 2.2, 2.2, 2.2, 1.63, 1.72, 1.58,     // Rb–Cd
    1.93, 2.17, 2.16, 2.06, 0.0, 2.16,                                    // In–Xe
    3.42, 2.97,                                                           // Cs, Ba
    2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, 2.4, // La–Lu
    2.2, 2.2, 2.2, 2.2, 2.2, 2.2,                                         // Hf–Ir
    1.75, 1.66, 1.55, 1.96, 2.02, 2.26, 2.26, 2.25, 2.3,                  // Pt–Rn
};
// clang-format on

double tuned_radius(std::uint8_t z) {
    switch (z) {
    case 1:
        return 1.3;
    case 5:
        return 2.0475;
    case 6:
        return 2.0;
    case 7:
        return 1.83;
    case 8:
        return 1.72;
    case 9:
        return 1.72;
    case 14:
        return 2.457;
    case 15:
        return 2.106;
    case 16:
        return 2.16;
    case 17:
        return 2.05;
    case 33:
        return 2.223;
    case 34:
        return 2.223;
    case 35:
        return 2.16;
    case 53:
        return 2.32;
    default:
        return 0.0;
    }
}

// Index of the coarse point nearest to each fine point: the largest dot product, the
// first one winning exact ties (the nested grids share points, so ties do occur).
std::vector<std::size_t> assign_to_coarse(const std::vector<SpherePoint>& fine,
                                          const std::vector<SpherePoint>& coarse) {
    std::vector<std::size_t> owner(fine.size(), 0);
    for (std::size_t f = 0; f < fine.size(); ++f) {
        const SpherePoint& p = fine[f];
        double best = 0.0;
        for (std::size_t q = 0; q < coarse.size(); ++q) {
            const SpherePoint& c = coarse[q];
            const double dot = (c.x * p.x + c.y * p.y) + c.z * p.z;
            if (q == 0 || dot > best) {
                best = dot;
                owner[f] = q;
            }
        }
    }
    return owner;
}

struct Sphere {
    double x, y, z;
    double radius;            // atomic radius, Å
    double accessible_radius; // radius + probe radius, Å
};

// The atoms whose solvent-accessible spheres can bury a point of atom j's; the small
// margin keeps every pair whose spheres touch to within rounding.
void find_neighbours(const std::vector<Sphere>& spheres, std::size_t j,
                     std::vector<std::size_t>& neighbours) {
    constexpr double margin = 1e-6;
    neighbours.clear();
    const Sphere& a = spheres[j];
    for (std::size_t m = 0; m < spheres.size(); ++m) {
        if (m == j)
            continue;
        const Sphere& b = spheres[m];
        const double dx = a.x - b.x;
        const double dy = a.y - b.y;
        const double dz = a.z - b.z;
        const double reach = a.accessible_radius + b.accessible_radius + margin;
        if (dx * dx + dy * dy + dz * dz < reach * reach)
            neighbours.push_back(m);
    }
}

bool is_buried(const std::vector<Sphere>& spheres, const std::vector<std::size_t>& neighbours,
               double x, double y, double z) {
    for (std::size_t m : neighbours) {
        const Sphere& b = spheres[m];
        const double dx = x - b.x;
        const double dy = y - b.y;
        const double dz = z - b.z;
        if (dx * dx + dy * dy + dz * dz < b.accessible_radius * b.accessible_radius)
            return true;
    }
    return false;
}

// Weighted sum of the exposed fine points gathered into one coarse point.
struct Gathered {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double weight = 0.0;
    bool any = false;
};

void emit_segments(const Sphere& sphere, std::size_t atom, const std::vector<Gathered>& groups,
                   std::vector<CavitySegment>& segments) {
    for (const Gathered& g : groups) {
        if (!g.any)
            continue;
        const double length = std::sqrt(g.x * g.x + g.y * g.y + g.z * g.z);
        std::array<double, 3> normal{1.0, 0.0, 0.0};
        if (length > 1e-12)
            normal = {g.x / length, g.y / length, g.z / length};
        CavitySegment segment;
        segment.normal = normal;
        segment.area = sphere.radius * sphere.radius * g.weight;
        segment.position = {sphere.x + sphere.radius * normal[0],
                            sphere.y + sphere.radius * normal[1],
                            sphere.z + sphere.radius * normal[2]};
        segment.atom = atom;
        segments.push_back(segment);
    }
}

} // namespace

double cavity_atomic_radius(std::uint8_t z) {
    if (z == 0 || z >= 87)
        return 2.0;
    const double tuned = tuned_radius(z);
    return tuned > 0.0 ? tuned : vdw_radius_scale * vdw_radius[z];
}

CosmoCavity CosmoCavity::construct(const MolecularBatch& batch, double solvent_radius) {
    if (batch.n_atoms == 0)
        throw InternalError("Molecular batch cannot be empty for COSMO");

    const std::vector<SpherePoint> fine = generate_sphere_tessellation(fine_grid_points);
    const std::vector<SpherePoint> coarse_42 = generate_sphere_tessellation(42);
    const std::vector<SpherePoint> coarse_12 = generate_sphere_tessellation(12);
    const std::vector<std::size_t> owner_42 = assign_to_coarse(fine, coarse_42);
    const std::vector<std::size_t> owner_12 = assign_to_coarse(fine, coarse_12);

    std::vector<Sphere> spheres(batch.n_atoms);
    for (std::size_t j = 0; j < batch.n_atoms; ++j) {
        const double radius = cavity_atomic_radius(batch.atomic_numbers[j]);
        spheres[j] = {batch.coords_x[j], batch.coords_y[j], batch.coords_z[j], radius,
                      radius + solvent_radius};
    }

    CosmoCavity cavity;
    std::vector<std::size_t> neighbours;
    std::vector<Gathered> groups;
    for (std::size_t j = 0; j < batch.n_atoms; ++j) {
        const bool hydrogen = batch.atomic_numbers[j] == 1;
        const std::vector<std::size_t>& owner = hydrogen ? owner_12 : owner_42;
        groups.assign(hydrogen ? coarse_12.size() : coarse_42.size(), Gathered{});
        find_neighbours(spheres, j, neighbours);

        const Sphere& sphere = spheres[j];
        for (std::size_t f = 0; f < fine.size(); ++f) {
            const SpherePoint& p = fine[f];
            const double x = sphere.x + sphere.accessible_radius * p.x;
            const double y = sphere.y + sphere.accessible_radius * p.y;
            const double z = sphere.z + sphere.accessible_radius * p.z;
            if (is_buried(spheres, neighbours, x, y, z))
                continue;
            Gathered& g = groups[owner[f]];
            g.x += p.weight * p.x;
            g.y += p.weight * p.y;
            g.z += p.weight * p.z;
            g.weight += p.weight;
            g.any = true;
        }
        emit_segments(sphere, j, groups, cavity.segments);
    }
    return cavity;
}

} // namespace quelm
