#include "io/BondPerception.h"

#include "Common/TwoHalves.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace HostIO {
namespace {

float Square(float v) { return v * v; }

bool IsPair(BondRole a, BondRole b, BondRole first, BondRole second) {
    return (a == first && b == second) || (a == second && b == first);
}

float CovalentCutoff2(const BondAtom& a, const BondAtom& b, const BondRules& rules) {
    return Square(a.covalentRadius + b.covalentRadius + rules.tolerance);
}

// The box around some atoms, grown one atom (or one other box) at a time.
struct Bounds {
    float minX = std::numeric_limits<float>::max(), minY = minX, minZ = minX;
    float maxX = -std::numeric_limits<float>::max(), maxY = maxX, maxZ = maxX;

    void Take(const BondAtom& a) { Take(a.x, a.y, a.z, a.x, a.y, a.z); }
    void Take(const Bounds& other) { Take(other.minX, other.minY, other.minZ, other.maxX, other.maxY, other.maxZ); }

private:
    void Take(float loX, float loY, float loZ, float hiX, float hiY, float hiZ) {
        minX = std::min(minX, loX);
        minY = std::min(minY, loY);
        minZ = std::min(minZ, loZ);
        maxX = std::max(maxX, hiX);
        maxY = std::max(maxY, hiY);
        maxZ = std::max(maxZ, hiZ);
    }
};

// Cells over the box of some of the atoms, numbered x fastest: no smaller than the longest bond,
// and no more of them than a few per atom, so sparse or far-flung coordinates cost neither
// memory nor time; larger cells stay correct.
class GridShape {
public:
    // members must have finite coordinates (PerceiveBonds leaves the others out).
    GridShape(const std::vector<BondAtom>& atoms, const std::vector<std::uint32_t>& members, float reach) {
        Bounds bounds;
        for (std::uint32_t i : members) bounds.Take(atoms[i]);
        Shape(bounds, members.size(), reach);
    }
    // The shape for count atoms within bounds.
    GridShape(const Bounds& bounds, std::size_t count, float reach) { Shape(bounds, count, reach); }

    std::size_t CellCount() const { return static_cast<std::size_t>(nx_ * ny_ * nz_); }

    std::uint32_t CellOf(const BondAtom& a) const {
        return static_cast<std::uint32_t>((Axis(a.z, minZ_, nz_) * ny_ + Axis(a.y, minY_, ny_)) * nx_ +
                                          Axis(a.x, minX_, nx_));
    }

    /// Calls visit(first, last) for each row of the 27 cells around a: cells first..last,
    /// adjacent in x and so in their numbering.
    template <class Visit>
    void ForRowsAround(const BondAtom& a, Visit&& visit) const {
        const std::int64_t x = Axis(a.x, minX_, nx_), y = Axis(a.y, minY_, ny_), z = Axis(a.z, minZ_, nz_);
        for (std::int64_t cz = std::max<std::int64_t>(z - 1, 0); cz <= std::min(z + 1, nz_ - 1); ++cz) {
            for (std::int64_t cy = std::max<std::int64_t>(y - 1, 0); cy <= std::min(y + 1, ny_ - 1); ++cy) {
                const std::int64_t row = (cz * ny_ + cy) * nx_;
                visit(static_cast<std::size_t>(row + std::max<std::int64_t>(x - 1, 0)),
                      static_cast<std::size_t>(row + std::min(x + 1, nx_ - 1)));
            }
        }
    }

private:
    void Shape(const Bounds& bounds, std::size_t atoms, float reach) {
        if (atoms == 0) return;
        minX_ = bounds.minX;
        minY_ = bounds.minY;
        minZ_ = bounds.minZ;
        const float maxX = bounds.maxX, maxY = bounds.maxY, maxZ = bounds.maxZ;
        // Ranges are taken in double: the span of two finite floats may exceed float's range,
        // never double's, so the loop ends (cells grow by 1.26 until at most `limit` remain).
        const double limit = std::max<double>(8.0 * static_cast<double>(atoms), 4096.0);
        const double rangeX = static_cast<double>(maxX) - minX_, rangeY = static_cast<double>(maxY) - minY_,
                     rangeZ = static_cast<double>(maxZ) - minZ_;
        auto count = [](double c, double range) { return std::floor(range / c) + 1.0; };
        double cell = std::max(static_cast<double>(reach), 0.5);
        while (count(cell, rangeX) * count(cell, rangeY) * count(cell, rangeZ) > limit) cell *= 1.26;
        cell_ = cell;
        // A multiplication where a division was: the cells this gives are a millionth wider than
        // cell, so two atoms within reach of each other still lie at most one cell apart on
        // each axis, whatever the rounding of the products.
        inverseCell_ = (1.0 - 1e-6) / cell;
        nx_ = static_cast<std::int64_t>(count(cell, rangeX));
        ny_ = static_cast<std::int64_t>(count(cell, rangeY));
        nz_ = static_cast<std::int64_t>(count(cell, rangeZ));
    }

    // Clamped before the conversion, which is undefined for values an int64 cannot hold (NaN).
    std::int64_t Axis(float v, float lo, std::int64_t n) const {
        const double t = (static_cast<double>(v) - lo) * inverseCell_;
        if (!(t > 0)) return 0;
        if (t >= static_cast<double>(n - 1)) return n - 1;
        return static_cast<std::int64_t>(t);
    }

    float minX_ = 0, minY_ = 0, minZ_ = 0;
    double cell_ = 1;         // Å
    double inverseCell_ = 1;  // per Å
    std::int64_t nx_ = 1, ny_ = 1, nz_ = 1;
};

// A dense grid of some of the atoms.
class CellGrid {
public:
    // members must have finite coordinates (PerceiveBonds leaves the others out).
    CellGrid(const std::vector<BondAtom>& atoms, const std::vector<std::uint32_t>& members, float reach)
        : shape_(atoms, members, reach) {
        if (members.empty()) return;
        cellStart_.assign(shape_.CellCount() + 1, 0);
        std::vector<std::uint32_t> cellOf(members.size());
        for (std::size_t k = 0; k < members.size(); ++k) {
            cellOf[k] = shape_.CellOf(atoms[members[k]]);
            ++cellStart_[cellOf[k] + 1];
        }
        for (std::size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
        order_.resize(members.size());
        // Placed through the starts themselves, which end up one cell on, then shifted back: no
        // second array of a million cells to touch.
        for (std::size_t k = 0; k < members.size(); ++k) order_[cellStart_[cellOf[k]]++] = members[k];
        std::move_backward(cellStart_.begin(), cellStart_.end() - 2, cellStart_.end() - 1);
        cellStart_[0] = 0;
        // Copies in cell order: a search then reads memory in runs instead of at random.
        sorted_.resize(order_.size());
        for (std::size_t k = 0; k < order_.size(); ++k) sorted_[k] = atoms[order_[k]];
    }

    std::uint32_t Index(std::uint32_t k) const { return order_[k]; }
    const BondAtom& AtomAt(std::uint32_t k) const { return sorted_[k]; }

    /// Calls visit(k) for every grid position k of an atom in the 27 cells around a.
    template <class Visit>
    void ForNeighbours(const BondAtom& a, Visit&& visit) const {
        if (order_.empty()) return;
        shape_.ForRowsAround(a, [&](std::size_t first, std::size_t last) {
            for (std::uint32_t k = cellStart_[first]; k < cellStart_[last + 1]; ++k) visit(k);
        });
    }

private:
    GridShape shape_;
    std::vector<std::uint32_t> cellStart_;  // offsets into order_ per cell, plus the end
    std::vector<std::uint32_t> order_;      // atom indices grouped by cell
    std::vector<BondAtom> sorted_;          // the atoms of order_
};

}  // namespace

bool BondAllowed(const BondAtom& a, std::uint8_t flagsA, const BondAtom& b, std::uint8_t flagsB, float d2,
                 const BondRules& rules) {
    if (d2 < Square(rules.minimumDistance)) return false;
    if (a.hydrogen && b.hydrogen) return false;
    if (a.residue == b.residue) return d2 <= CovalentCutoff2(a, b, rules);
    if ((flagsA | flagsB) & (kWaterResidue | kIonResidue)) return false;
    if (a.hydrogen || b.hydrogen) return false;
    if ((flagsA & flagsB & kAminoAcidResidue) && IsPair(a.role, b.role, BondRole::PeptideC, BondRole::PeptideN)) {
        return d2 <= Square(rules.peptideCutoff);
    }
    if ((flagsA & flagsB & kNucleotideResidue) && IsPair(a.role, b.role, BondRole::NucleicO3, BondRole::NucleicP)) {
        return d2 <= Square(rules.phosphodiesterCutoff);
    }
    if (flagsA & flagsB & kStandardPolymerResidue) {
        if (a.role != BondRole::DisulfideS || b.role != BondRole::DisulfideS) return false;
    }
    return d2 <= CovalentCutoff2(a, b, rules);
}

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
// Searchers fewer than one in this many grid atoms: the grid keeps only their neighbourhoods.
constexpr std::size_t kFewSearchers = 4;
// Grid members from which the search is worth a second thread.
constexpr std::size_t kMembersWorthASecondThread = 65536;
// Atoms from which a pass over all of them is worth a second thread.
constexpr std::size_t kAtomsWorthASecondThread = 65536;

// What ChooseGridAtoms marks per atom.
enum GridRole : std::uint8_t { kNotInGrid = 0, kGridMember = 1, kGridSearcher = 3 };

// The atoms marked in roles, in index order (members of them, within bounds). Where few of them
// search, only those within reach of a searching atom, found through a bitmap of the cells around
// searchers: a grid then holds a few atoms around each ligand, sulfur and chain end instead of
// every heavy atom of the structure. The searchers themselves all stay.
std::vector<std::uint32_t> GridMembers(const std::vector<BondAtom>& atoms, const std::vector<std::uint8_t>& roles,
                                       std::size_t members, std::size_t searchers, const Bounds& bounds, float reach) {
    std::vector<std::uint32_t> kept;
    const auto n = static_cast<std::uint32_t>(atoms.size());
    if (searchers * kFewSearchers >= members) {
        kept.reserve(members);
        for (std::uint32_t i = 0; i < n; ++i)
            if (roles[i] != kNotInGrid) kept.push_back(i);
        return kept;
    }
    const GridShape shape(bounds, members, reach);
    std::vector<bool> near(shape.CellCount(), false);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (roles[i] != kGridSearcher) continue;
        shape.ForRowsAround(atoms[i], [&near](std::size_t first, std::size_t last) {
            for (std::size_t c = first; c <= last; ++c) near[c] = true;
        });
    }
    // The atoms looked at in two halves at once, the second's kept joining the first's: index
    // order all the same.
    std::vector<std::uint32_t> keptAfterHalf;
    Common::RunInTwoHalves(n, kAtomsWorthASecondThread, [&](std::size_t begin, std::size_t end, int part) {
        std::vector<std::uint32_t>& into = part == 0 ? kept : keptAfterHalf;
        for (auto i = static_cast<std::uint32_t>(begin); i < end; ++i)
            if (roles[i] != kNotInGrid && near[shape.CellOf(atoms[i])]) into.push_back(i);
    });
    kept.insert(kept.end(), keptAfterHalf.begin(), keptAfterHalf.end());
    return kept;
}

float SquaredDistance(const BondAtom& a, const BondAtom& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// A hydrogen keeps its nearest allowed partner, the lower index among equals; true when partner,
// d2 away, is now the one.
bool KeepIfNearer(std::uint32_t partner, float d2, std::uint32_t& nearest, float& nearestD2) {
    if (d2 < nearestD2 || (d2 == nearestD2 && partner < nearest)) {
        nearestD2 = d2;
        nearest = partner;
        return true;
    }
    return false;
}

// The pairs sorted, in linear time: grouped by first atom with a counting pass, then each
// atom's few partners sorted among themselves. A million pairs sort in a quarter of the read.
std::vector<BondPair> InPairOrder(std::vector<BondPair> pairs) {
    std::uint32_t atoms = 0;
    for (const BondPair& pair : pairs) atoms = std::max(atoms, pair.first + 1);
    std::vector<std::uint32_t> start(static_cast<std::size_t>(atoms) + 1, 0);
    for (const BondPair& pair : pairs) ++start[pair.first + 1];
    for (std::size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    std::vector<std::uint32_t> seconds(pairs.size());
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (const BondPair& pair : pairs) seconds[fill[pair.first]++] = pair.second;
    const std::size_t count = pairs.size();
    std::vector<BondPair>().swap(pairs);  // the ordered pairs take as much again: not both at once
    std::vector<BondPair> ordered;
    ordered.reserve(count);
    for (std::uint32_t first = 0; first < atoms; ++first) {
        const auto begin = seconds.begin() + start[first], end = seconds.begin() + start[first + 1];
        std::sort(begin, end);
        for (auto it = begin; it != end; ++it) ordered.emplace_back(first, *it);
    }
    return ordered;
}

// Most bonds lie inside residues, which are small: those pairs are compared directly, and so is
// the link of each standard residue to the next one in the file. Other bonds between residues
// involve link atoms left unlinked, sulfurs, or atoms of residues other than standard ones:
// only those atoms search the grid, which holds every atom that could be their partner.
// Water, ions and hydrogens never bond across residues and stay out of it.
class BondFinder {
public:
    // smallResiduesDone: the bonds inside small residues are found elsewhere (BondWithinResidue).
    BondFinder(const std::vector<BondAtom>& atoms, const std::vector<std::uint8_t>& residueFlags,
               const BondRules& rules, bool smallResiduesDone)
        : atoms_(atoms),
          flags_(residueFlags),
          rules_(rules),
          n_(static_cast<std::uint32_t>(atoms.size())),
          linked_(n_, 0),
          smallResiduesDone_(smallResiduesDone) {
        if (!smallResiduesDone_) bonds_.reserve(n_ + n_ / 8);
        GroupByResidue();
    }

    /// The bonds found, in no particular order.
    std::vector<BondPair> Run() {
        if (!smallResiduesDone_) BondWithinSmallResidues();
        LinkSuccessiveResidues();
        SearchGrid();
        for (std::uint32_t h = 0; h < nearest_.size(); ++h) {
            if (nearest_[h] != kNone) bonds_.emplace_back(std::min(h, nearest_[h]), std::max(h, nearest_[h]));
        }
        std::vector<BondPair> found;
        found.swap(bonds_);
        return found;
    }

private:
    // True when the pair is bonded (for a hydrogen: when it is the nearest partner so far).
    bool Consider(std::uint32_t i, std::uint32_t j) {
        const BondAtom& a = atoms_[i];
        const BondAtom& b = atoms_[j];
        const float d2 = SquaredDistance(a, b);
        if (!BondAllowed(a, flags_[a.residue], b, flags_[b.residue], d2, rules_)) return false;
        if (a.hydrogen || b.hydrogen) {
            const std::uint32_t h = a.hydrogen ? i : j;
            if (nearest_.empty()) {  // only where hydrogens are compared here: most reads find them elsewhere
                nearest_.assign(n_, kNone);
                nearestD2_.assign(n_, std::numeric_limits<float>::max());
            }
            return KeepIfNearer(a.hydrogen ? j : i, d2, nearest_[h], nearestD2_[h]);
        }
        bonds_.emplace_back(std::min(i, j), std::max(i, j));
        return true;
    }

    void GroupByResidue() {
        const std::size_t residueCount = flags_.size();
        residueStart_.assign(residueCount + 1, 0);
        bool inOrder = true;
        for (std::uint32_t i = 0; i < n_; ++i) {
            ++residueStart_[atoms_[i].residue + 1];
            if (i > 0 && atoms_[i].residue < atoms_[i - 1].residue) inOrder = false;
        }
        for (std::size_t r = 1; r <= residueCount; ++r) residueStart_[r] += residueStart_[r - 1];
        if (inOrder) return;  // a reader's atoms: grouped already, byResidue_ stays empty
        byResidue_.resize(n_);
        std::vector<std::uint32_t> fill(residueStart_.begin(), residueStart_.end() - 1);
        for (std::uint32_t i = 0; i < n_; ++i) byResidue_[fill[atoms_[i].residue]++] = i;
    }

    // The atom at position p of the atoms grouped by residue.
    std::uint32_t Grouped(std::uint32_t p) const { return byResidue_.empty() ? p : byResidue_[p]; }

    bool IsLarge(std::uint32_t residue) const {
        return residueStart_[residue + 1] - residueStart_[residue] > kSmallResidue;
    }

    void BondWithinSmallResidues() {
        for (std::size_t r = 0; r < flags_.size(); ++r) {
            const std::uint32_t begin = residueStart_[r], end = residueStart_[r + 1];
            if (end - begin > kSmallResidue) continue;
            for (std::uint32_t p = begin; p < end; ++p) {
                for (std::uint32_t q = p + 1; q < end; ++q) Consider(Grouped(p), Grouped(q));
            }
        }
    }

    std::uint32_t FindRole(std::size_t residue, BondRole role) const {
        for (std::uint32_t p = residueStart_[residue]; p < residueStart_[residue + 1]; ++p) {
            if (atoms_[Grouped(p)].role == role) return Grouped(p);
        }
        return kNone;
    }

    // The link to the next residue in the file, between standard residues, is tried directly:
    // link atoms bonded so need no search. Chain ends, breaks and cyclic closures search.
    void LinkSuccessiveResidues() {
        for (std::size_t r = 0; r + 1 < flags_.size(); ++r) {
            const std::uint8_t both = flags_[r] & flags_[r + 1];
            if (!(both & kStandardPolymerResidue) || IsLarge(static_cast<std::uint32_t>(r)) ||
                IsLarge(static_cast<std::uint32_t>(r + 1))) {
                continue;
            }
            const bool peptide = both & kAminoAcidResidue;
            if (!peptide && !(both & kNucleotideResidue)) continue;
            const std::uint32_t i = FindRole(r, peptide ? BondRole::PeptideC : BondRole::NucleicO3);
            const std::uint32_t j = FindRole(r + 1, peptide ? BondRole::PeptideN : BondRole::NucleicP);
            if (i != kNone && j != kNone && Consider(i, j)) linked_[i] = linked_[j] = 1;
        }
    }

    // What ChooseGridAtoms finds over some of the atoms.
    struct GridChoice {
        std::size_t members = 0, searchers = 0;
        Bounds bounds;        // of the members
        float maxRadius = 0;  // the largest covalent radius of any atom, member or not

        void Take(const GridChoice& other) {
            members += other.members;
            searchers += other.searchers;
            bounds.Take(other.bounds);
            maxRadius = std::max(maxRadius, other.maxRadius);
        }
    };

    // Marks in roles the atoms the grid holds (members) and those that look for partners there
    // (searchers), counting both and bounding the members; only marks, so that a million atoms
    // leave no list behind where few of them stay. Two halves of the atoms at once: each marks
    // its own.
    GridChoice ChooseGridAtoms(std::vector<std::uint8_t>& roles) const {
        GridChoice halves[2];
        Common::RunInTwoHalves(n_, kAtomsWorthASecondThread, [&](std::size_t begin, std::size_t end, int part) {
            GridChoice& choice = halves[part];
            for (auto i = static_cast<std::uint32_t>(begin); i < end; ++i) {
                const BondAtom& a = atoms_[i];
                choice.maxRadius = std::max(choice.maxRadius, a.covalentRadius);
                const std::uint8_t flags = flags_[a.residue];
                const bool large = IsLarge(a.residue);
                if (!large && (a.hydrogen || (flags & (kWaterResidue | kIonResidue)))) continue;
                // An atom without a finite position bonds to nothing (every distance to it compares
                // false) and must not stretch the grid.
                if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(a.z)) continue;
                ++choice.members;
                choice.bounds.Take(a);
                roles[i] = kGridMember;
                if (large || (a.role != BondRole::None && !linked_[i]) || !(flags & kStandardPolymerResidue)) {
                    roles[i] = kGridSearcher;
                    ++choice.searchers;
                }
            }
        });
        halves[0].Take(halves[1]);
        return halves[0];
    }

    void SearchGrid() {
        std::vector<std::uint8_t> roles(n_, kNotInGrid);
        const GridChoice choice = ChooseGridAtoms(roles);
        if (choice.searchers == 0) return;
        const float reach =
            std::max({2 * choice.maxRadius + rules_.tolerance, rules_.peptideCutoff, rules_.phosphodiesterCutoff});
        // Most atoms are no searcher's neighbour where few atoms search: ligands and sulfurs
        // among a protein's atoms.
        const std::vector<std::uint32_t> members =
            GridMembers(atoms_, roles, choice.members, choice.searchers, choice.bounds, reach);
        const CellGrid grid(atoms_, members, reach);
        const float reach2 = Square(reach);
        // The searchers in two halves at once, each keeping what it finds to itself: bonds, and
        // hydrogens' candidates, whose nearest is the same whatever the order they come in.
        GridFinds finds[2];
        Common::RunInTwoHalves(members.size(), kMembersWorthASecondThread,
                               [&](std::size_t begin, std::size_t end, int part) {
                                   GridFinds& found = finds[part];
                                   for (std::size_t m = begin; m < end; ++m) {
                                       const std::uint32_t i = members[m];
                                       if (roles[i] != kGridSearcher) continue;
                                       const BondAtom& a = atoms_[i];
                                       const bool large = IsLarge(a.residue);
                                       grid.ForNeighbours(a, [&](std::uint32_t k) {
                                           const BondAtom& b = grid.AtomAt(k);
                                           const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
                                           if (dx * dx + dy * dy + dz * dz > reach2) return;
                                           if (b.residue == a.residue && !large) return;  // compared above
                                           // Each pair once: a pair of searchers from its lower index.
                                           const std::uint32_t j = grid.Index(k);
                                           if (j == i || (roles[j] == kGridSearcher && j < i)) return;
                                           Judge(i, j, found);
                                       });
                                   }
                               });
        for (const GridFinds& found : finds) {
            bonds_.insert(bonds_.end(), found.bonds.begin(), found.bonds.end());
            for (const HydrogenCandidate& c : found.hydrogens) {
                if (nearest_.empty()) {
                    nearest_.assign(n_, kNone);
                    nearestD2_.assign(n_, std::numeric_limits<float>::max());
                }
                KeepIfNearer(c.partner, c.d2, nearest_[c.hydrogen], nearestD2_[c.hydrogen]);
            }
        }
    }

    // What a part of the grid search finds.
    struct HydrogenCandidate {
        std::uint32_t hydrogen, partner;
        float d2;
    };
    struct GridFinds {
        std::vector<BondPair> bonds;
        std::vector<HydrogenCandidate> hydrogens;
    };

    // Consider's judgement, kept in found: touches nothing another part of the search reads.
    void Judge(std::uint32_t i, std::uint32_t j, GridFinds& found) const {
        const BondAtom& a = atoms_[i];
        const BondAtom& b = atoms_[j];
        const float d2 = SquaredDistance(a, b);
        if (!BondAllowed(a, flags_[a.residue], b, flags_[b.residue], d2, rules_)) return;
        if (a.hydrogen || b.hydrogen) {
            found.hydrogens.push_back({a.hydrogen ? i : j, a.hydrogen ? j : i, d2});
            return;
        }
        found.bonds.emplace_back(std::min(i, j), std::max(i, j));
    }

    const std::vector<BondAtom>& atoms_;
    const std::vector<std::uint8_t>& flags_;
    const BondRules& rules_;
    const std::uint32_t n_;
    std::vector<std::uint32_t> nearest_;  // a hydrogen's nearest allowed partner; empty until one is
    std::vector<float> nearestD2_;
    std::vector<std::uint8_t> linked_;         // link atoms bonded to the next or previous residue
    std::vector<std::uint32_t> residueStart_;  // per residue, into byResidue_, plus the end
    std::vector<std::uint32_t> byResidue_;     // atom indices grouped by residue; empty when they are
    std::vector<BondPair> bonds_;
    const bool smallResiduesDone_;
};

}  // namespace

void BondWithinResidue(const std::vector<BondAtom>& atoms, std::uint32_t first, std::uint32_t count,
                       std::uint8_t residueFlags, std::vector<BondPair>& bonds, const BondRules& rules) {
    // Each hydrogen's nearest partner: a hydrogen bonds only inside its residue, so the whole
    // choice is made here, as BondFinder makes it (nearest, then the lower index).
    if (count > kSmallResidue) return;  // the grid's: PerceiveBondsBetweenResidues
    std::uint32_t nearest[kSmallResidue];
    float nearestD2[kSmallResidue];
    const std::uint32_t n = count;
    for (std::uint32_t k = 0; k < n; ++k) {
        nearest[k] = kNone;
        nearestD2[k] = std::numeric_limits<float>::max();
    }
    for (std::uint32_t p = 0; p < n; ++p) {
        for (std::uint32_t q = p + 1; q < n; ++q) {
            const std::uint32_t i = first + p, j = first + q;
            const BondAtom& a = atoms[i];
            const BondAtom& b = atoms[j];
            const float d2 = SquaredDistance(a, b);
            if (!BondAllowed(a, residueFlags, b, residueFlags, d2, rules)) continue;
            if (a.hydrogen || b.hydrogen) {
                const std::uint32_t h = a.hydrogen ? p : q;
                KeepIfNearer(a.hydrogen ? j : i, d2, nearest[h], nearestD2[h]);
                continue;
            }
            bonds.emplace_back(i, j);
        }
    }
    for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t h = first + k;
        if (nearest[k] != kNone) bonds.emplace_back(std::min(h, nearest[k]), std::max(h, nearest[k]));
    }
}

std::vector<BondPair> PerceiveRemainingBonds(const std::vector<BondAtom>& atoms,
                                             const std::vector<std::uint8_t>& residueFlags, const BondRules& rules) {
    if (atoms.size() < 2) return {};
    return BondFinder(atoms, residueFlags, rules, true).Run();
}

std::vector<BondPair> PerceiveBondsBetweenResidues(const std::vector<BondAtom>& atoms,
                                                   const std::vector<std::uint8_t>& residueFlags,
                                                   std::vector<BondPair> withinSmallResidues, const BondRules& rules) {
    if (atoms.size() < 2) return {};
    const std::vector<BondPair> remaining = PerceiveRemainingBonds(atoms, residueFlags, rules);
    withinSmallResidues.insert(withinSmallResidues.end(), remaining.begin(), remaining.end());
    return InPairOrder(std::move(withinSmallResidues));
}

std::vector<BondPair> PerceiveBonds(const std::vector<BondAtom>& atoms, const std::vector<std::uint8_t>& residueFlags,
                                    const BondRules& rules) {
    if (atoms.size() < 2) return {};
    return InPairOrder(BondFinder(atoms, residueFlags, rules, false).Run());
}

}  // namespace HostIO
