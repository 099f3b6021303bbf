#pragma once
// Near-uniform point grids on the unit sphere, grown from a regular icosahedron, with
// each point's share of the sphere's area. The COSMO cavity places a fine grid on every
// atom and gathers its points into the segments of a coarse one.

#include <cstddef>
#include <vector>

namespace quelm {

// A unit vector and its share of the unit sphere's area (the shares of a grid sum to 4π).
struct SpherePoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double weight = 0.0;
};

// The grid of nppa points: 12 (the icosahedron), 42 (edges halved) or 1082 (edges in
// sixths plus face thirds). Any other count throws InternalError("nppa must be 12, 42, or
// 1082").
std::vector<SpherePoint> generate_sphere_tessellation(std::size_t nppa);

} // namespace quelm
