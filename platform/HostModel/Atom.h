// Atoms: a point in space (Atom3d) and a chemical atom with element, bonds and force-field charge.
#pragma once

#include "HostModel/BondList.h"
#include "HostModel/ClassMacros.h"
#include "HostModel/Object.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace HostModel {

struct Vec3 {
    double x = 0, y = 0, z = 0;  // Å
};

class HOST_API Atom3d : public Object {
public:
    HOST_DECLARE_CLASS()
    explicit Atom3d(CStringT label = {}, int id = 0) : Object(std::move(label), id) {}

    const Vec3& GetPosition() const { return position_; }
    /// Moving an atom is not a chemistry change.
    void SetPosition(const Vec3& position) { position_ = position; }

private:
    Vec3 position_;
};

class HOST_API Atom : public Atom3d {
public:
    HOST_DECLARE_CLASS()

    /// Which hydrogens the host's hydrogen commands add.
    enum HydrogenSet { AllHydrogens = 0, PolarHydrogens = 1, ElectrostaticHydrogens = 2 };

    explicit Atom(CStringT label = {}, int atomicNumber = 0, int id = 0);
    /// Leaves its partners' bond lists, so no atom keeps a pointer to a destroyed one.
    ~Atom() override;

    int GetAtomicNumber() const { return atomicNumber_; }
    /// Symbol in the periodic table's spelling ("C", "Fe"); empty when the element is unknown.
    const char* GetElementSymbol() const;
    /// Changing the element is a chemistry change.
    void SetAtomicNumber(int atomicNumber);
    /// The host's van der Waals radius of the element in Å (see Elements.h).
    float GetRadius() const;

    /// Partners in the order the bonds were made.
    const BondList& GetBonds() const { return bonds_; }
    bool IsBondedTo(const Atom& other) const;
    /// Adds a bond between two distinct atoms (no-op if present); a chemistry change.
    static void Bond(Atom& a, Atom& b);
    /// Bond without noting a chemistry change, for the steps Object::AddChildUnnoted serves.
    static void BondUnnoted(Atom& a, Atom& b);
    /// Removes a bond if present; a chemistry change.
    static void Unbond(Atom& a, Atom& b);
    /// Bonds atoms[first] and atoms[second] for each pair, in one step: a reader's bonds, found
    /// all at once. Each atom's partners come in the order of their index in atoms, the order
    /// Bond called for the pairs in sorted order gives, each list allocated once at its size.
    /// The pairs may come in any order; std::invalid_argument, before any change, for a pair
    /// out of range or of one atom, a pair given twice (either way round), or an atom bonded
    /// already. Each document that holds a bonded atom notes a chemistry change. Large sets
    /// are bonded on two threads: no other thread may touch these atoms meanwhile.
    static void BondAll(const std::vector<Atom*>& atoms,
                        const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs);
    /// Makes room for count bonds: a reader that knows all bonds at once gives each atom a
    /// single allocation of the right size instead of a growing list.
    void ReserveBonds(std::size_t count) { bonds_.reserve(count); }

    /// The partial charge of the document's force-field typing, in e.
    bool HasPartialCharge() const { return hasPartialCharge_; }
    float GetPartialCharge() const { return partialCharge_; }
    void SetPartialCharge(float charge);
    void ClearPartialCharge();

    bool IsInSubtreeOf(const Object& ancestor) const;

private:
    BondList bonds_;
    float partialCharge_ = 0.0f;
    std::uint8_t atomicNumber_;
    bool hasPartialCharge_ = false;
};

}  // namespace HostModel
