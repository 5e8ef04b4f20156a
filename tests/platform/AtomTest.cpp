// Atoms: bonds, element and radius, and the force-field partial charge.
#include "HostModel/Atom.h"
#include "HostModel/Elements.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace HostModel;

TEST(AtomBonds, BondIsSymmetricAndUnique) {
    Atom c("C", 6), o("O", 8), n("N", 7);
    Atom::Bond(c, o);
    Atom::Bond(o, c);  // already there
    Atom::Bond(c, n);
    EXPECT_TRUE(c.IsBondedTo(o));
    EXPECT_TRUE(o.IsBondedTo(c));
    EXPECT_EQ(c.GetBonds(), (std::vector<Atom*>{&o, &n}));
    EXPECT_EQ(o.GetBonds(), (std::vector<Atom*>{&c}));
    EXPECT_FALSE(o.IsBondedTo(n));

    Atom::Unbond(o, c);
    EXPECT_FALSE(c.IsBondedTo(o));
    EXPECT_FALSE(o.IsBondedTo(c));
    EXPECT_EQ(c.GetBonds(), (std::vector<Atom*>{&n}));
    Atom::Unbond(o, c);  // absent: nothing happens
    EXPECT_EQ(n.GetBonds(), (std::vector<Atom*>{&c}));
}

TEST(AtomBonds, SelfBondIsRefusedWithTheLabel) {
    Atom c("CA", 6);
    try {
        Atom::Bond(c, c);
        FAIL() << "nothing thrown";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "cannot bond atom 'CA' to itself");
    }
    EXPECT_TRUE(c.GetBonds().empty());
}

TEST(AtomBonds, DestroyingAnAtomRemovesItFromItsPartners) {
    Atom kept("C", 6);
    {
        Atom gone("O", 8), alsoGone("N", 7);
        Atom::Bond(kept, gone);
        Atom::Bond(alsoGone, kept);
        Atom::Bond(gone, alsoGone);
    }
    EXPECT_TRUE(kept.GetBonds().empty());
}

TEST(AtomElement, AtomicNumberSymbolAndRadius) {
    Atom atom("FE", 26);
    EXPECT_STREQ(atom.GetElementSymbol(), "Fe");
    EXPECT_EQ(atom.GetRadius(), VanDerWaalsRadius(26));
    atom.SetAtomicNumber(8);
    EXPECT_EQ(atom.GetAtomicNumber(), 8);
    EXPECT_STREQ(atom.GetElementSymbol(), "O");
    EXPECT_FLOAT_EQ(atom.GetRadius(), 1.52f);
    Atom unknown("X");
    EXPECT_STREQ(unknown.GetElementSymbol(), "");
    EXPECT_EQ(unknown.GetAtomicNumber(), 0);
}

TEST(AtomElement, AtomicNumberOutsideThePeriodicTableIsRefused) {
    EXPECT_THROW(Atom("X", -1), std::out_of_range);
    EXPECT_THROW(Atom("X", 119), std::out_of_range);
    EXPECT_THROW(Atom("X", 256 + 6), std::out_of_range);  // would wrap to carbon in a byte
    Atom atom("C", 6);
    try {
        atom.SetAtomicNumber(300);
        FAIL() << "nothing thrown";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "atomic number 300 is outside 0..118");
    }
    EXPECT_EQ(atom.GetAtomicNumber(), 6);
    EXPECT_NO_THROW(Atom("Og", 118));
}

TEST(AtomCharge, PartialChargeIsSetAndCleared) {
    Atom atom("N", 7);
    EXPECT_FALSE(atom.HasPartialCharge());
    EXPECT_EQ(atom.GetPartialCharge(), 0.0f);
    atom.SetPartialCharge(-0.4157f);
    EXPECT_TRUE(atom.HasPartialCharge());
    EXPECT_EQ(atom.GetPartialCharge(), -0.4157f);
    atom.SetPartialCharge(0.0f);
    EXPECT_TRUE(atom.HasPartialCharge());  // zero is a charge, not the absence of one
    atom.ClearPartialCharge();
    EXPECT_FALSE(atom.HasPartialCharge());
}

}  // namespace
