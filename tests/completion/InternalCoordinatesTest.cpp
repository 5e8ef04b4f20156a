// Internal coordinates both ways: a placed atom measures back to the bond, angle and torsion
// it was placed with; handedness and planes as the monomer library defines them.
#include "chem/InternalCoordinates.h"

#include <gtest/gtest.h>

namespace {

using HostChem::Vec3;

struct Placement {
    double bond, angle, torsion;
};

TEST(InternalCoordinates, PlacedAtomMeasuresBackToItsCoordinates) {
    // A bent, tilted frame so that no axis is special.
    const Vec3 a{0.3, -1.2, 0.4}, b{1.1, 0.2, -0.5}, c{2.6, 0.1, 0.2};
    const Placement cases[] = {{1.52, 111.3, 180.0}, {1.52, 111.3, -60.0}, {1.33, 120.0, 0.0},
                               {1.23, 121.5, 60.0},  {1.81, 100.0, 179.5}, {1.46, 90.0, -120.0}};
    for (const Placement& p : cases) {
        const Vec3 x = HostChem::PlaceFromInternal(a, b, c, p.bond, p.angle, p.torsion);
        EXPECT_NEAR(HostChem::Distance(c, x), p.bond, 1e-9) << p.torsion;
        EXPECT_NEAR(HostChem::BondAngle(b, c, x), p.angle, 1e-7) << p.torsion;
        EXPECT_NEAR(HostChem::AngleDifference(HostChem::Torsion(a, b, c, x), p.torsion), 0.0, 1e-7) << p.torsion;
    }
}

TEST(InternalCoordinates, TorsionSignFollowsIupac) {
    // Looking along b->c (+z), d turned clockwise from a is positive.
    const Vec3 a{1, 0, 0}, b{0, 0, 0}, c{0, 0, 1};
    EXPECT_NEAR(HostChem::Torsion(a, b, c, Vec3{0, 1, 1}), 90.0, 1e-9);
    EXPECT_NEAR(HostChem::Torsion(a, b, c, Vec3{0, -1, 1}), -90.0, 1e-9);
    EXPECT_NEAR(HostChem::AngleDifference(HostChem::Torsion(a, b, c, Vec3{-1, 0, 1}), 180.0), 0.0, 1e-9);
}

TEST(InternalCoordinates, AngleDifferenceWrapsAround) {
    EXPECT_DOUBLE_EQ(HostChem::AngleDifference(179, -179), 2);
    EXPECT_DOUBLE_EQ(HostChem::AngleDifference(-60, 300), 0);
    EXPECT_DOUBLE_EQ(HostChem::AngleDifference(10, 370 + 180), 180);
}

TEST(InternalCoordinates, ChiralVolumeOfAnLAminoAcidIsNegative) {
    // The alpha carbon of 1BX8's LYS21 with its N, CB and C: the library's "negativ" sign.
    const Vec3 n{51.467, -3.571, -13.657}, ca{51.264, -2.167, -14.029}, c{52.400, -1.812, -15.019},
        cb{51.367, -1.251, -12.808};
    EXPECT_LT(HostChem::ChiralVolume(ca, n, cb, c), -2.0);
    EXPECT_GT(HostChem::ChiralVolume(ca, n, c, cb), 2.0);
}

TEST(InternalCoordinates, PlaneFitsPointsAndRefusesALine) {
    const std::vector<Vec3> ring = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1.02}, {0.5, 1.5, 0.99}};
    const HostChem::Plane plane = HostChem::FitPlane(ring);
    ASSERT_TRUE(plane.valid);
    EXPECT_NEAR(std::abs(plane.normal.z), 1.0, 1e-3);
    EXPECT_NEAR(plane.DistanceTo(Vec3{0.3, 0.3, 2.0}), 1.0, 0.02);
    EXPECT_FALSE(HostChem::FitPlane({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}).valid);
    EXPECT_FALSE(HostChem::FitPlane({{0, 0, 0}, {1, 1, 1}}).valid);
}

}  // namespace
