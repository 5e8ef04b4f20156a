// Elements of PQR atoms from their names.
#include "io/AtomNameElement.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* atom;
    const char* residue;
    int atomicNumber;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.atom << " in " << c.residue; }

class ElementFromName : public ::testing::TestWithParam<Case> {};

TEST_P(ElementFromName, FollowsTheNamingOfProteinAndIonResidues) {
    EXPECT_EQ(HostIO::ElementFromAtomName(GetParam().atom, GetParam().residue), GetParam().atomicNumber)
        << GetParam().atom << " in " << GetParam().residue;
}

INSTANTIATE_TEST_SUITE_P(AtomNameElement, ElementFromName,
                         ::testing::Values(Case{"CA", "ALA", 6}, Case{"CA", "CA", 20}, Case{"HD21", "ASN", 1},
                                           Case{"1HD2", "ASN", 1}, Case{"HW", "WAT", 1}, Case{"OW", "WAT", 8},
                                           Case{"SG", "CYX", 16}, Case{"SE", "MSE", 34}, Case{"NA", "HEM", 7},
                                           Case{"FE", "HEM", 26}, Case{"Na+", "Na+", 11}, Case{"CL", "CL", 17},
                                           Case{"CL1", "LIG", 17}, Case{"ZN", "ZN", 30}, Case{"OP1", "DA", 8},
                                           Case{"C1'", "DG", 6}, Case{"K", "K", 19}, Case{"QX", "LIG", 0},
                                           Case{"12", "LIG", 0}));

}  // namespace
