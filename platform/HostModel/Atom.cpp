#include "HostModel/Atom.h"

#include "HostModel/Elements.h"

#include <stdexcept>

namespace HostModel {

// jemalloc serves an atom from the size class just above its size: at 128 bytes that class is
// 128, at 129 it is 160, a quarter more memory first touched per atom of a million-atom read.
// Pinned where the layout is the usual 64-bit one (8-byte pointers, 32-byte std::string).
static_assert(sizeof(void*) != 8 || sizeof(CStringT) != 32 || sizeof(Atom) == 128,
              "an atom outgrows jemalloc's 128-byte size class");

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
    for (Atom* partner : bonds_) partner->bonds_.erase(this);
}

const char* Atom::GetElementSymbol() const { return ElementSymbol(atomicNumber_); }

void Atom::SetAtomicNumber(int atomicNumber) {
    const std::uint8_t z = CheckedAtomicNumber(atomicNumber);
    if (z == atomicNumber_) return;
    atomicNumber_ = z;
    NoteChemistryChange();
}

float Atom::GetRadius() const { return VanDerWaalsRadius(atomicNumber_); }

bool Atom::IsBondedTo(const Atom& other) const { return bonds_.contains(&other); }

void Atom::Bond(Atom& a, Atom& b) {
    if (&a == &b) throw std::invalid_argument("cannot bond atom '" + a.GetLabel() + "' to itself");
    if (a.IsBondedTo(b)) return;
    a.bonds_.push_back(&b);
    b.bonds_.push_back(&a);
    a.NoteChemistryChange();
    if (b.GetDocument() != a.GetDocument()) b.NoteChemistryChange();
}

void Atom::Unbond(Atom& a, Atom& b) {
    const bool removed = a.bonds_.erase(&b);
    b.bonds_.erase(&a);
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
