// Sphere grids by icosahedral subdivision.
//
// Each edge of a regular icosahedron is cut into n equal parts and each face into the
// matching triangular lattice (the "thirds" kind adds the centres of the small triangles
// as well); the lattice points are projected onto the unit sphere. A projected point
// from deep inside a face lies closer to the centre, so its patch of the sphere is
// larger: its weight grows as (n/|p|)². The icosahedron is turned by one radian about
// two axes so that no grid point lies on a coordinate axis, where molecules usually put
// their atoms.

#include "solvation/tessellation.hpp"

#include "types/internal_error.hpp"

#include <array>
#include <cmath>

namespace quelm {

namespace {

using Vector = std::array<double, 3>;

constexpr double four_pi = 12.566370614359172;
constexpr double pi = 3.141592653589793;
constexpr double one_third = 1.0 / 3.0;
constexpr double two_thirds = 2.0 / 3.0;
constexpr double four_thirds = 4.0 / 3.0;

constexpr std::array<std::array<int, 2>, 30> icosahedron_edges = {{
    {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {11, 10}, {11, 9}, {11, 8}, {11, 7}, {11, 6},
    {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 1}, {6, 7},   {7, 8},  {8, 9},  {9, 10}, {10, 6},
    {1, 6}, {6, 2}, {2, 7}, {7, 3}, {3, 8}, {8, 4},   {4, 9},  {9, 5},  {5, 10}, {10, 1},
}};

constexpr std::array<std::array<int, 3>, 20> icosahedron_faces = {{
    {0, 1, 2},  {0, 2, 3},  {0, 3, 4},   {0, 4, 5}, {0, 5, 1},  {11, 10, 9}, {11, 9, 8},
    {11, 8, 7}, {11, 7, 6}, {11, 6, 10}, {1, 2, 6}, {2, 3, 7},  {3, 4, 8},   {4, 5, 9},
    {5, 1, 10}, {6, 7, 2},  {7, 8, 3},   {8, 9, 4}, {9, 10, 5}, {10, 6, 1},
}};

// Vertices 0 and 11 on the x axis, 1–5 and 6–10 on the circles x = ∓1/√5 of radius 2/√5
// (the lower ring staggered by 36°, both starting one radian round), then the whole
// solid turned by one radian about z.
std::array<Vector, 12> icosahedron_vertices() {
    const double ring_x = 1.0 / std::sqrt(5.0);
    const double ring_radius = 2.0 / std::sqrt(5.0);
    std::array<Vector, 12> v{};
    v[0] = {-1.0, 0.0, 0.0};
    v[11] = {1.0, 0.0, 0.0};
    for (int k = 1; k <= 5; ++k) {
        const double upper = 1.0 + 2.0 * pi * k / 5.0;
        const double lower = upper + pi / 5.0;
        v[k] = {-ring_x, ring_radius * std::cos(upper), ring_radius * std::sin(upper)};
        v[k + 5] = {ring_x, ring_radius * std::cos(lower), ring_radius * std::sin(lower)};
    }
    const double c = std::cos(1.0);
    const double s = std::sin(1.0);
    for (Vector& p : v) {
        const double x = p[0];
        const double y = p[1];
        p[0] = x * c + y * s;
        p[1] = -x * s + y * c;
    }
    return v;
}

// a·u + b·v and (a·u + b·v) + c·w, unnormalised, summed left to right.
Vector combine(double a, const Vector& u, double b, const Vector& v) {
    return {a * u[0] + b * v[0], a * u[1] + b * v[1], a * u[2] + b * v[2]};
}

Vector combine(double a, const Vector& u, double b, const Vector& v, double c, const Vector& w) {
    const Vector uv = combine(a, u, b, v);
    return {uv[0] + c * w[0], uv[1] + c * w[1], uv[2] + c * w[2]};
}

struct Subdivision {
    int frequency = 1;
    bool thirds = false;
};

long nearest_integer(double x) {
    return std::lround(x);
}

Subdivision subdivision_for(std::size_t nppa) {
    if (nppa == 12)
        return {1, false};
    const double cells = static_cast<double>(nppa) - 2.0;
    Subdivision s{static_cast<int>(nearest_integer(std::sqrt(cells / 10.0))), false};
    if (10 * static_cast<std::size_t>(s.frequency * s.frequency) != nppa - 2) {
        s.frequency = static_cast<int>(nearest_integer(std::sqrt(cells / 30.0)));
        s.thirds = true;
    }
    const std::size_t n2 = static_cast<std::size_t>(s.frequency * s.frequency);
    if (nppa != (s.thirds ? 30 : 10) * n2 + 2)
        throw InternalError("Invalid nppa configuration");
    return s;
}

// The lattice points (unnormalised) added to the 12 vertices, in edge order, then face by
// face: the face's interior points followed, for the thirds kind, by its triangle centres.
void append_subdivision_points(const std::array<Vector, 12>& v, Subdivision s,
                               std::vector<Vector>& points) {
    const int n = s.frequency;
    for (const auto& [a, b] : icosahedron_edges) {
        for (int i = 1; i <= n - 1; ++i)
            points.push_back(combine(i, v[b], n - i, v[a]));
    }
    for (const auto& [a, b, c] : icosahedron_faces) {
        for (int i = 1; i <= n - 2; ++i) {
            for (int h = 1; h <= n - 1 - i; ++h)
                points.push_back(combine(h, v[c], i, v[b], n - i - h, v[a]));
        }
        if (!s.thirds)
            continue;
        for (int i = 0; i <= n - 1; ++i) {
            for (int j = 0; j <= n - 1 - i; ++j)
                points.push_back(combine(j + one_third, v[c], i + one_third, v[b],
                                         n - i - j - two_thirds, v[a]));
        }
        for (int j = 0; j <= n - 2; ++j) {
            for (int k = 0; k <= n - 2 - j; ++k)
                points.push_back(combine(k + two_thirds, v[c], j + two_thirds, v[b],
                                         n - j - k - four_thirds, v[a]));
        }
    }
}

} // namespace

std::vector<SpherePoint> generate_sphere_tessellation(std::size_t nppa) {
    if (nppa != 12 && nppa != 42 && nppa != 1082)
        throw InternalError("nppa must be 12, 42, or 1082");
    const Subdivision s = subdivision_for(nppa);
    const std::array<Vector, 12> vertices = icosahedron_vertices();

    std::vector<Vector> raw(vertices.begin(), vertices.end());
    raw.reserve(nppa);
    append_subdivision_points(vertices, s, raw);
    if (raw.size() != nppa)
        throw InternalError("Point count mismatch in dvfill");

    std::vector<SpherePoint> grid(nppa);
    double total_weight = 0.0;
    for (std::size_t k = 0; k < nppa; ++k) {
        const Vector& p = raw[k];
        const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        // The vertices' raw weight 5 against 6 for the rest: five triangles meet at a
        // vertex, six at every other lattice point.
        const double ratio = s.frequency / length;
        const double weight = k < vertices.size() ? 5.0 : 6.0 * ratio * ratio;
        grid[k] = {p[0] / length, p[1] / length, p[2] / length, weight};
        total_weight += weight;
    }
    const double scale = four_pi / total_weight;
    for (SpherePoint& point : grid)
        point.weight *= scale;
    return grid;
}

} // namespace quelm
