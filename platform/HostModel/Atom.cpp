#include "HostModel/Atom.h"

#include "HostModel/ChemDoc.h"
#include "HostModel/Elements.h"

#include "Common/TwoHalves.h"

#include <algorithm>
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
    if (&a != &b && a.IsBondedTo(b)) return;
    BondUnnoted(a, b);
    a.NoteChemistryChange();
    if (b.GetDocument() != a.GetDocument()) b.NoteChemistryChange();
}

void Atom::BondUnnoted(Atom& a, Atom& b) {
    if (&a == &b) throw std::invalid_argument("cannot bond atom '" + a.GetLabel() + "' to itself");
    if (a.IsBondedTo(b)) return;
    a.bonds_.push_back(&b);
    b.bonds_.push_back(&a);
}

namespace {

// Below this many atoms a second thread costs more than it saves.
constexpr std::size_t kAtomsForSecondThread = 65536;
// And below this many pairs.
constexpr std::size_t kPairsForSecondThread = 65536;

}  // namespace

void Atom::BondAll(const std::vector<Atom*>& atoms, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
    // Each atom's partners gathered in one array and sorted: the order Bond gives when the pairs
    // come in sorted order. Every list is then filled once, atom by atom, instead of two atoms
    // touched for each bond; the atoms are split between two threads.
    const std::size_t n = atoms.size();
    // The pairs counted per atom, and placed, in two halves at once: each half counts into an
    // array of its own, and an atom's partners from the first half of the pairs go before those
    // from the second (the order is made below). later stays empty on one thread.
    std::vector<std::uint32_t> start(n + 1, 0), later;
    std::size_t secondHalf = pairs.size();  // the first pair of the second half
    Common::RunInTwoHalves(pairs.size(), kPairsForSecondThread, [&](std::size_t begin, std::size_t end, int part) {
        if (part == 1) {
            secondHalf = begin;
            later.assign(n + 1, 0);
        }
        std::vector<std::uint32_t>& counts = part == 0 ? start : later;
        for (std::size_t k = begin; k < end; ++k) {
            const auto [first, second] = pairs[k];
            if (first == second || first >= n || second >= n) {
                throw std::invalid_argument("BondAll: pair " + std::to_string(k) + " (" + std::to_string(first) + ", " +
                                            std::to_string(second) + ") bonds an atom to itself or lies out of range");
            }
            ++counts[first + 1];
            ++counts[second + 1];
        }
    });
    if (later.empty()) {
        for (std::size_t i = 1; i <= n; ++i) start[i] += start[i - 1];
    } else {
        // start[i + 1] holds atom i's count in the first half, later[i + 1] in the second: each
        // becomes where that half places atom i's partners.
        std::uint32_t placed = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t inFirst = start[i + 1], inSecond = later[i + 1];
            start[i] = placed;
            later[i] = placed + inFirst;
            placed += inFirst + inSecond;
        }
        start[n] = later[n] = placed;
    }
    std::vector<std::uint32_t> partners(start[n]);
    // Placed through the starts themselves, which end up one atom on, then shifted back: no
    // second array as long as the atoms to touch. A pair goes through its own half's starts
    // whichever thread places it.
    auto place = [&](std::size_t begin, std::size_t end, std::vector<std::uint32_t>& fill) {
        for (std::size_t k = begin; k < end; ++k) {
            const auto [first, second] = pairs[k];
            partners[fill[first]++] = second;
            partners[fill[second]++] = first;
        }
    };
    if (later.empty()) {
        place(0, pairs.size(), start);
    } else {
        Common::RunInTwoHalves(pairs.size(), kPairsForSecondThread, [&](std::size_t begin, std::size_t end, int) {
            const std::size_t middle = std::clamp(secondHalf, begin, end);
            place(begin, middle, start);
            place(middle, end, later);
        });
        // The second half's starts end where each atom's partners end: the next atom's start.
        start.swap(later);
    }
    if (n > 0) std::move_backward(start.begin(), start.end() - 2, start.end() - 1);
    start[0] = 0;
    // Each atom's partners sorted, checked and put in its list in one visit. A call refused
    // part-way empties again the lists it filled (they were empty before it), so that it changes
    // nothing; each half notes how far it got.
    std::vector<ChemDoc*> changed[2];
    std::size_t halfBegin[2] = {0, 0}, halfReached[2] = {0, 0};
    try {
        Common::RunInTwoHalves(n, kAtomsForSecondThread, [&](std::size_t begin, std::size_t end, int part) {
            halfBegin[part] = begin;
            std::vector<ChemDoc*>& docs = changed[part];
            const Object* lookedUp = nullptr;  // atoms of one residue share its document
            std::size_t i = begin;
            try {
                for (; i < end; ++i) {
                    if (start[i] == start[i + 1]) continue;
                    const auto first = partners.begin() + start[i], last = partners.begin() + start[i + 1];
                    std::sort(first, last);
                    if (const auto repeated = std::adjacent_find(first, last); repeated != last) {
                        throw std::invalid_argument("BondAll: atoms " + std::to_string(i) + " and " +
                                                    std::to_string(*repeated) + " are paired twice");
                    }
                    Atom& atom = *atoms[i];
                    if (!atom.bonds_.empty()) {
                        throw std::invalid_argument("BondAll: atom " + std::to_string(i) + " is bonded already");
                    }
                    atom.bonds_.reserve(start[i + 1] - start[i]);
                    for (auto k = first; k != last; ++k) atom.bonds_.push_back(atoms[*k]);
                    if (atom.GetParent() == lookedUp && lookedUp != nullptr) continue;
                    lookedUp = atom.GetParent();
                    ChemDoc* doc = atom.GetDocument();
                    if (doc && std::find(docs.begin(), docs.end(), doc) == docs.end()) docs.push_back(doc);
                }
            } catch (...) {
                halfReached[part] = i;
                throw;
            }
            halfReached[part] = end;
        });
    } catch (...) {
        for (int part = 0; part < 2; ++part) {
            for (std::size_t i = halfBegin[part]; i < halfReached[part]; ++i)
                if (start[i] != start[i + 1]) atoms[i]->bonds_.clear();
        }
        throw;
    }
    // Noted here, on the calling thread: a document's revision is not shared between threads.
    for (ChemDoc* doc : changed[0]) doc->NoteChemistryChange();
    for (ChemDoc* doc : changed[1]) {
        if (std::find(changed[0].begin(), changed[0].end(), doc) == changed[0].end()) doc->NoteChemistryChange();
    }
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
