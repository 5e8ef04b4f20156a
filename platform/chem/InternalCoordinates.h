// Atom positions from internal coordinates (bond length, bond angle, torsion) and the measures
// that go the other way. Angles in degrees, lengths in Å, torsions in (-180, 180] as IUPAC
// defines them: looking along b->c, positive when d turns clockwise from a.
#pragma once

#include "HostApi.h"
#include "HostModel/Atom.h"

#include <vector>

namespace HostChem {

using HostModel::Vec3;

/// The point x with |c x| = bond, angle b-c-x = angle and torsion a-b-c-x = torsion. a, b, c
/// must not be collinear (the torsion is then undefined); the result is then on the b-c line.
HOST_API Vec3 PlaceFromInternal(const Vec3& a, const Vec3& b, const Vec3& c, double bond, double angle, double torsion);

HOST_API double Distance(const Vec3& a, const Vec3& b);
/// The angle a-b-c at b.
HOST_API double BondAngle(const Vec3& a, const Vec3& b, const Vec3& c);
HOST_API double Torsion(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d);
/// (a1 - centre) . ((a2 - centre) x (a3 - centre)), in Å³: the monomer library's chirality sign.
HOST_API double ChiralVolume(const Vec3& centre, const Vec3& a1, const Vec3& a2, const Vec3& a3);
/// Smallest difference between two angles, in [0, 180].
HOST_API double AngleDifference(double a, double b);

/// The least-squares plane through points (at least three, not all on a line).
struct Plane {
    Vec3 normal;        // unit length
    double offset = 0;  // normal . p = offset on the plane
    bool valid = false;
    double DistanceTo(const Vec3& p) const {
        const double d = normal.x * p.x + normal.y * p.y + normal.z * p.z - offset;
        return d < 0 ? -d : d;
    }
};
HOST_API Plane FitPlane(const std::vector<Vec3>& points);

}  // namespace HostChem
