#include "chem/InternalCoordinates.h"

#include <gemmi/eig3.hpp>
#include <gemmi/math.hpp>

#include <cmath>

namespace HostChem {
namespace {

gemmi::Vec3 G(const Vec3& v) { return gemmi::Vec3(v.x, v.y, v.z); }
Vec3 H(const gemmi::Vec3& v) { return Vec3{v.x, v.y, v.z}; }
constexpr double kDegree = 3.14159265358979323846 / 180.0;

}  // namespace

Vec3 PlaceFromInternal(const Vec3& a, const Vec3& b, const Vec3& c, double bond, double angle, double torsion) {
    // A frame on c: x along b->c, y in the a-b-c plane towards a, z completing it.
    const gemmi::Vec3 bc = (G(c) - G(b)).normalized();
    const gemmi::Vec3 ab = G(b) - G(a);
    gemmi::Vec3 n = ab.cross(bc);
    const double nLength = n.length();
    if (nLength < 1e-9) return H(G(c) + bc * bond);
    n /= nLength;
    const gemmi::Vec3 m = n.cross(bc);
    const double theta = angle * kDegree, phi = torsion * kDegree;
    const double along = -bond * std::cos(theta);
    const double across = bond * std::sin(theta);
    const gemmi::Vec3 x = G(c) + bc * along + m * (across * std::cos(phi)) + n * (across * std::sin(phi));
    return H(x);
}

double Distance(const Vec3& a, const Vec3& b) { return G(a).dist(G(b)); }

double BondAngle(const Vec3& a, const Vec3& b, const Vec3& c) { return (G(a) - G(b)).angle(G(c) - G(b)) / kDegree; }

double Torsion(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
    const gemmi::Vec3 b0 = G(b) - G(a), b1 = G(c) - G(b), b2 = G(d) - G(c);
    const gemmi::Vec3 u = b1.cross(b0), w = b2.cross(b1);
    return std::atan2(u.cross(w).dot(b1), u.dot(w) * b1.length()) / kDegree;
}

double ChiralVolume(const Vec3& centre, const Vec3& a1, const Vec3& a2, const Vec3& a3) {
    const gemmi::Vec3 o = G(centre);
    return (G(a1) - o).dot((G(a2) - o).cross(G(a3) - o));
}

double AngleDifference(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

Plane FitPlane(const std::vector<Vec3>& points) {
    Plane plane;
    if (points.size() < 3) return plane;
    gemmi::Vec3 mean;
    for (const Vec3& p : points) mean += G(p);
    mean /= static_cast<double>(points.size());
    gemmi::SMat33<double> m{0, 0, 0, 0, 0, 0};
    for (const Vec3& p : points) {
        const gemmi::Vec3 d = G(p) - mean;
        m.u11 += d.x * d.x;
        m.u22 += d.y * d.y;
        m.u33 += d.z * d.z;
        m.u12 += d.x * d.y;
        m.u13 += d.x * d.z;
        m.u23 += d.y * d.z;
    }
    double eigenvalues[3];
    const gemmi::Mat33 vectors = gemmi::eigen_decomposition(m, eigenvalues);
    // Ascending order: the first is the normal; a middle one near zero means a line.
    if (eigenvalues[1] < 1e-6 * (eigenvalues[2] + 1e-12)) return plane;
    const gemmi::Vec3 normal = vectors.column_copy(0).normalized();
    plane.normal = H(normal);
    plane.offset = normal.dot(mean);
    plane.valid = true;
    return plane;
}

}  // namespace HostChem
