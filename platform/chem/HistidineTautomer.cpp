#include "chem/HistidineTautomer.h"

#include "HostModel/Atom.h"
#include "HostModel/Residue.h"
#include "chem/MonomerLibrary.h"
#include "chem/ResidueAtoms.h"
#include "chem/ResidueConventions.h"
#include "Common/TwoHalves.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace HostChem {
namespace {

constexpr double kHydrogenBondDistance = 3.3;  // Å, N...O or N...N between heavy atoms
constexpr double kMetalBondDistance = 2.6;     // Å, His N to Zn, Fe, Cu ... is 2.0-2.3
constexpr double kCell = 3.5;                  // Å, at least the largest query radius

bool IsMetal(int z) {
    switch (z) {
        case 3:
        case 11:
        case 12:
        case 19:
        case 20:
        case 25:
        case 26:
        case 27:
        case 28:
        case 29:
        case 30:
        case 37:
        case 38:
        case 48:
        case 55:
        case 56:
        case 80: return true;
        default: return false;
    }
}

using CellKey = std::int64_t;

CellKey KeyOf(long x, long y, long z) {
    // 21 bits per axis: ±1,048,575 cells of 3.5 Å, far beyond any structure.
    return ((static_cast<CellKey>(x) & 0x1FFFFF) << 42) | ((static_cast<CellKey>(y) & 0x1FFFFF) << 21) |
           (static_cast<CellKey>(z) & 0x1FFFFF);
}

long CellOf(double v) { return static_cast<long>(std::floor(v / kCell)); }

bool Is(const char* residue, const char* atom, const std::string& residueName, const std::string& atomName) {
    return residueName == residue && atomName == atom;
}

std::string Trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(' ');
    return begin == std::string::npos ? std::string() : text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// An oxygen of a ligand or ion that the monomer library shows without a hydrogen: sulfate,
// phosphate as deposited, carboxylate and carbonyl oxygens can only accept. A library that
// lacks the component (or cannot read it) decides nothing.
bool IsLigandAcceptor(const std::string& residueName, const std::string& atomName) {
    const gemmi::ChemComp* component = nullptr;
    try {
        component = SharedMonomerLibrary().Find(residueName);
    } catch (const std::exception&) {
        return false;
    }
    if (!component) return false;
    bool found = false;
    for (const gemmi::ChemComp::Atom& atom : component->atoms) {
        if (Trimmed(atom.id) == atomName) found = atom.el == gemmi::El::O;
    }
    if (!found) return false;
    auto isHydrogen = [&](const std::string& name) {
        for (const gemmi::ChemComp::Atom& atom : component->atoms)
            if (Trimmed(atom.id) == name) return atom.is_hydrogen();
        return false;
    };
    for (const gemmi::Restraints::Bond& bond : component->rt.bonds) {
        const std::string a = Trimmed(bond.id1.atom), b = Trimmed(bond.id2.atom);
        if ((a == atomName && isHydrogen(b)) || (b == atomName && isHydrogen(a))) return false;
    }
    return true;
}

}  // namespace

// Every polar atom with its cell, sorted by cell (atoms of one cell in walk order): one
// allocation for the whole structure, and a cell's atoms are found by binary search.
struct PolarAtoms::Grid {
    std::vector<std::pair<CellKey, const HostModel::Atom*>> atoms;
};

namespace {

// The cells that queries about some atoms look at: each one's own and its 26 neighbours, as a
// bitmap over their bounding box. Where the box would be too large, or a cell lies beyond the
// keys' range (where keys wrap, and only the distance tells atoms apart), it keeps every cell.
class CellFilter {
public:
    explicit CellFilter(const std::vector<const HostModel::Atom*>& around) {
        constexpr long kKeyRange = 1L << 20;
        constexpr long kMaxCells = 1L << 24;  // a bitmap of 2 MB at most
        if (around.empty()) return;
        long low[3] = {kKeyRange, kKeyRange, kKeyRange}, high[3] = {-kKeyRange, -kKeyRange, -kKeyRange};
        for (const HostModel::Atom* atom : around) {
            const long cell[3] = {CellOfX(*atom, 0), CellOfX(*atom, 1), CellOfX(*atom, 2)};
            for (int axis = 0; axis < 3; ++axis) {
                if (!(cell[axis] > -kKeyRange + 1 && cell[axis] < kKeyRange - 1)) {
                    keepsAll_ = true;
                    return;
                }
                low[axis] = std::min(low[axis], cell[axis] - 1);
                high[axis] = std::max(high[axis], cell[axis] + 1);
            }
        }
        for (int axis = 0; axis < 3; ++axis) {
            low_[axis] = low[axis];
            size_[axis] = high[axis] - low[axis] + 1;
        }
        if (size_[0] * size_[1] > kMaxCells || size_[0] * size_[1] * size_[2] > kMaxCells) {
            keepsAll_ = true;
            return;
        }
        bits_.assign(static_cast<std::size_t>((size_[0] * size_[1] * size_[2] + 63) / 64), 0);
        for (const HostModel::Atom* atom : around) {
            const long cx = CellOfX(*atom, 0), cy = CellOfX(*atom, 1), cz = CellOfX(*atom, 2);
            for (long x = cx - 1; x <= cx + 1; ++x)
                for (long y = cy - 1; y <= cy + 1; ++y)
                    for (long z = cz - 1; z <= cz + 1; ++z) {
                        const std::size_t index = Index(x, y, z);
                        bits_[index / 64] |= std::uint64_t{1} << (index % 64);
                    }
        }
    }

    bool Keeps(long x, long y, long z) const {
        if (keepsAll_) return true;
        if (x < low_[0] || y < low_[1] || z < low_[2] || x >= low_[0] + size_[0] || y >= low_[1] + size_[1] ||
            z >= low_[2] + size_[2])
            return false;
        const std::size_t index = Index(x, y, z);
        return (bits_[index / 64] >> (index % 64)) & 1;
    }

private:
    static long CellOfX(const HostModel::Atom& atom, int axis) {
        const HostModel::Vec3& p = atom.GetPosition();
        return CellOf(axis == 0 ? p.x : axis == 1 ? p.y : p.z);
    }
    std::size_t Index(long x, long y, long z) const {
        return static_cast<std::size_t>(((x - low_[0]) * size_[1] + (y - low_[1])) * size_[2] + (z - low_[2]));
    }

    bool keepsAll_ = false;
    long low_[3] = {0, 0, 0};
    long size_[3] = {0, 0, 0};  // an empty box keeps nothing
    std::vector<std::uint64_t> bits_;
};

void IndexPolarAtoms(const std::vector<HostModel::Residue*>& residues, const CellFilter* filter,
                     std::vector<std::pair<CellKey, const HostModel::Atom*>>& atoms) {
    // Each half of the residues on its own thread; the second's atoms follow the first's, so
    // that a cell's atoms stay in walk order.
    std::vector<std::pair<CellKey, const HostModel::Atom*>> secondHalf;
    Common::RunInTwoHalves(residues.size(), kResiduesWorthASecondThread, [&](std::size_t begin, std::size_t end, int part) {
        auto& found = part == 0 ? atoms : secondHalf;
        for (std::size_t r = begin; r < end; ++r) {
            const HostModel::Residue* residue = residues[r];
            for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) {
                const HostModel::Object* child = residue->GetChild(i);
                if (!child->IsA(HostModel::Atom::classType)) continue;
                const auto& atom = static_cast<const HostModel::Atom&>(*child);
                const int z = atom.GetAtomicNumber();
                if (z != 7 && z != 8 && !IsMetal(z)) continue;
                const HostModel::Vec3& p = atom.GetPosition();
                const long cx = CellOf(p.x), cy = CellOf(p.y), cz = CellOf(p.z);
                if (filter && !filter->Keeps(cx, cy, cz)) continue;
                found.emplace_back(KeyOf(cx, cy, cz), &atom);
            }
        }
    });
    atoms.insert(atoms.end(), secondHalf.begin(), secondHalf.end());
    std::stable_sort(atoms.begin(), atoms.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

}  // namespace

PolarAtoms::PolarAtoms(const std::vector<HostModel::Residue*>& residues) : grid_(std::make_unique<Grid>()) {
    IndexPolarAtoms(residues, nullptr, grid_->atoms);
}

PolarAtoms::PolarAtoms(const std::vector<HostModel::Residue*>& residues,
                       const std::vector<const HostModel::Atom*>& around)
    : grid_(std::make_unique<Grid>()) {
    const CellFilter filter(around);
    IndexPolarAtoms(residues, &filter, grid_->atoms);
}

PolarAtoms::~PolarAtoms() = default;

std::vector<const HostModel::Atom*> PolarAtoms::Near(const HostModel::Atom& atom, double radius) const {
    std::vector<const HostModel::Atom*> near;
    const HostModel::Vec3& p = atom.GetPosition();
    const long cx = CellOf(p.x), cy = CellOf(p.y), cz = CellOf(p.z);
    const auto& atoms = grid_->atoms;
    auto scan = [&](CellKey first, CellKey last) {
        auto it = std::lower_bound(atoms.begin(), atoms.end(), first,
                                   [](const auto& entry, CellKey k) { return entry.first < k; });
        for (; it != atoms.end() && it->first <= last; ++it) {
            const HostModel::Atom* other = it->second;
            if (other != &atom && AtomDistance(atom, *other) <= radius) near.push_back(other);
        }
    };
    // A column's three cells have consecutive keys, in z order, unless z wraps in the key.
    const bool consecutive = KeyOf(0, 0, cz + 1) == KeyOf(0, 0, cz - 1) + 2;
    for (long x = cx - 1; x <= cx + 1; ++x) {
        for (long y = cy - 1; y <= cy + 1; ++y) {
            if (consecutive) {
                scan(KeyOf(x, y, cz - 1), KeyOf(x, y, cz + 1));
            } else {
                for (long z = cz - 1; z <= cz + 1; ++z) scan(KeyOf(x, y, z), KeyOf(x, y, z));
            }
        }
    }
    return near;
}

BondPartner ClassifyPartner(const HostModel::Atom& atom) {
    const int z = atom.GetAtomicNumber();
    if (IsMetal(z)) return BondPartner::Metal;
    const HostModel::Object* parent = atom.GetParent();
    if (!parent || !parent->IsA(HostModel::Residue::classType)) return BondPartner::None;
    const std::string& residue = static_cast<const HostModel::Residue*>(parent)->GetResidueType();
    const std::string& name = atom.GetLabel();
    if (parent->IsA(HostModel::AminoAcid::classType)) {
        if (name == "O" || name == "OXT") return BondPartner::Acceptor;
        // Proline's N has no hydrogen.
        if (name == "N") return residue == "PRO" ? BondPartner::None : BondPartner::Donor;
    }
    if (Is("ASP", "OD1", residue, name) || Is("ASP", "OD2", residue, name) || Is("GLU", "OE1", residue, name) ||
        Is("GLU", "OE2", residue, name) || Is("ASN", "OD1", residue, name) || Is("GLN", "OE1", residue, name)) {
        return BondPartner::Acceptor;
    }
    if (Is("LYS", "NZ", residue, name) || Is("ARG", "NE", residue, name) || Is("ARG", "NH1", residue, name) ||
        Is("ARG", "NH2", residue, name) || Is("ASN", "ND2", residue, name) || Is("GLN", "NE2", residue, name) ||
        Is("TRP", "NE1", residue, name)) {
        return BondPartner::Donor;
    }
    const bool ligand = !parent->IsA(HostModel::AminoAcid::classType) &&
                        !parent->IsA(HostModel::Nucleotide::classType) && !IsWaterResidueName(residue);
    if (z == 8 && ligand && IsLigandAcceptor(residue, name)) return BondPartner::Acceptor;
    if (z == 7 || z == 8) return BondPartner::Either;
    return BondPartner::None;
}

std::string ChooseHistidineTautomer(const HostModel::Residue& histidine, const PolarAtoms& polar) {
    const HostModel::Atom* nd1 = FindResidueAtom(histidine, "ND1");
    const HostModel::Atom* ne2 = FindResidueAtom(histidine, "NE2");
    if (!nd1 || !ne2) return "HIE";
    struct Counts {
        double acceptors = 0, donors = 0;
    };
    auto count = [&](const HostModel::Atom& nitrogen) {
        Counts counts;
        for (const HostModel::Atom* other : polar.Near(nitrogen, kHydrogenBondDistance)) {
            if (other->GetParent() == &histidine) continue;
            switch (ClassifyPartner(*other)) {
                case BondPartner::Acceptor: counts.acceptors += 1; break;
                case BondPartner::Donor: counts.donors += 1; break;
                case BondPartner::Metal:
                    if (AtomDistance(nitrogen, *other) <= kMetalBondDistance) counts.donors += 2;
                    break;
                case BondPartner::Either:
                case BondPartner::None: break;
            }
        }
        return counts;
    };
    const Counts atNd1 = count(*nd1), atNe2 = count(*ne2);
    const double hd1Score = atNd1.acceptors + atNe2.donors;
    const double he2Score = atNe2.acceptors + atNd1.donors;
    return hd1Score > he2Score ? "HID" : "HIE";
}

}  // namespace HostChem
