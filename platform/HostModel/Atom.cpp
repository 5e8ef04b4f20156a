#include "HostModel/Atom.h"

#include "HostModel/Elements.h"

#include <algorithm>
#include <stdexcept>

namespace HostModel {
namespace {
std::uint8_t CheckedAtomicNumber(int atomicNumber) {
    if (atomicNumber < 0 || atomicNumber > 118) {
        throw std::out_of_range("atomic number " + std::to_string(atomicNumber) + " is outside 0..118");
    }
    return static_cast<std::uint8_t>(atomicNumber);
}
}  // namespace

Atom::Atom(CStringT label, int atomicNumber, int id)
    : Atom3d(std::move(label), id), atomicNumber_(CheckedAtomicNumber(atomicNumber)) {}

Atom::~Atom() {
    // Not noted as a chemistry change: a document notes the removal when RemoveChild detaches
    // the atom, and a partner elsewhere (another document, a free atom) loses the bond silently.
    for (Atom* partner : bonds_) {
        auto& theirs = partner->bonds_;
        auto it = std::find(theirs.begin(), theirs.end(), this);
        if (it != theirs.end()) theirs.erase(it);
    }
}

const char* Atom::GetElementSymbol() const { return ElementSymbol(atomicNumber_); }

void Atom::SetAtomicNumber(int atomicNumber) {
    const std::uint8_t z = CheckedAtomicNumber(atomicNumber);
    if (z == atomicNumber_) return;
    atomicNumber_ = z;
    NoteChemistryChange();
}

float Atom::GetRadius() const { return VanDerWaalsRadius(atomicNumber_); }

bool Atom::IsBondedTo(const Atom& other) const {
    return std::find(bonds_.begin(), bonds_.end(), &other) != bonds_.end();
}

void Atom::Bond(Atom& a, Atom& b) {
    if (&a == &b) throw std::invalid_argument("cannot bond atom '" + a.GetLabel() + "' to itself");
    if (a.IsBondedTo(b)) return;
    a.bonds_.push_back(&b);
    b.bonds_.push_back(&a);
    a.NoteChemistryChange();
    if (b.GetDocument() != a.GetDocument()) b.NoteChemistryChange();
}

void Atom::Unbond(Atom& a, Atom& b) {
    auto erase = [](std::vector<Atom*>& bonds, Atom* partner) {
        auto it = std::find(bonds.begin(), bonds.end(), partner);
        if (it == bonds.end()) return false;
        bonds.erase(it);
        return true;
    };
    const bool removed = erase(a.bonds_, &b);
    erase(b.bonds_, &a);
    if (removed) {
        a.NoteChemistryChange();
        b.NoteChemistryChange();  // b may already be detached from a's document
    }
}

void Atom::SetPartialCharge(float charge) {
    partialCharge_ = charge;
    hasPartialCharge_ = true;
}

void Atom::ClearPartialCharge() {
    partialCharge_ = 0.0f;
    hasPartialCharge_ = false;
}

bool Atom::IsInSubtreeOf(const Object& ancestor) const {
    for (const Object* o = this; o; o = o->GetParent()) {
        if (o == &ancestor) return true;
    }
    return false;
}

}  // namespace HostModel
