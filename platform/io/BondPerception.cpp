#include "io/BondPerception.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace HostIO {
namespace {

// Residues up to this size compare all their pairs; larger ones (a whole membrane written as
// one residue) go through the grid like everything else.
constexpr std::uint32_t kSmallResidue = 64;

float Square(float v) { return v * v; }

bool IsPair(BondRole a, BondRole b, BondRole first, BondRole second) {
    return (a == first && b == second) || (a == second && b == first);
}

float CovalentCutoff2(const BondAtom& a, const BondAtom& b, const BondRules& rules) {
    return Square(a.covalentRadius + b.covalentRadius + rules.tolerance);
}

// A dense grid of some of the atoms, cells numbered x fastest.
class CellGrid {
public:
    // members must have finite coordinates (PerceiveBonds leaves the others out).
    CellGrid(const std::vector<BondAtom>& atoms, const std::vector<std::uint32_t>& members, float reach) {
        if (members.empty()) return;
        float maxX = -std::numeric_limits<float>::max(), maxY = maxX, maxZ = maxX;
        minX_ = minY_ = minZ_ = std::numeric_limits<float>::max();
        for (std::uint32_t i : members) {
            const BondAtom& a = atoms[i];
            minX_ = std::min(minX_, a.x);
            minY_ = std::min(minY_, a.y);
            minZ_ = std::min(minZ_, a.z);
            maxX = std::max(maxX, a.x);
            maxY = std::max(maxY, a.y);
            maxZ = std::max(maxZ, a.z);
        }
        // Cells no smaller than the longest bond, and no more of them than a few per atom, so
        // sparse or far-flung coordinates cost neither memory nor time; larger cells stay correct.
        // Ranges are taken in double: the span of two finite floats may exceed float's range,
        // never double's, so the loop ends (cells grow by 1.26 until at most `limit` remain).
        const double limit = std::max<double>(8.0 * static_cast<double>(members.size()), 4096.0);
        const double rangeX = static_cast<double>(maxX) - minX_, rangeY = static_cast<double>(maxY) - minY_,
                     rangeZ = static_cast<double>(maxZ) - minZ_;
        auto count = [](double c, double range) { return std::floor(range / c) + 1.0; };
        double cell = std::max(static_cast<double>(reach), 0.5);
        while (count(cell, rangeX) * count(cell, rangeY) * count(cell, rangeZ) > limit) cell *= 1.26;
        cell_ = cell;
        nx_ = static_cast<std::int64_t>(count(cell, rangeX));
        ny_ = static_cast<std::int64_t>(count(cell, rangeY));
        nz_ = static_cast<std::int64_t>(count(cell, rangeZ));

        cellStart_.assign(static_cast<std::size_t>(nx_ * ny_ * nz_) + 1, 0);
        std::vector<std::uint32_t> cellOf(members.size());
        for (std::size_t k = 0; k < members.size(); ++k) {
            const BondAtom& a = atoms[members[k]];
            cellOf[k] = static_cast<std::uint32_t>((Axis(a.z, minZ_, nz_) * ny_ + Axis(a.y, minY_, ny_)) * nx_ +
                                                   Axis(a.x, minX_, nx_));
            ++cellStart_[cellOf[k] + 1];
        }
        for (std::size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
        order_.resize(members.size());
        std::vector<std::uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
        for (std::size_t k = 0; k < members.size(); ++k) order_[fill[cellOf[k]]++] = members[k];
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
        const std::int64_t x = Axis(a.x, minX_, nx_), y = Axis(a.y, minY_, ny_), z = Axis(a.z, minZ_, nz_);
        for (std::int64_t cz = std::max<std::int64_t>(z - 1, 0); cz <= std::min(z + 1, nz_ - 1); ++cz) {
            for (std::int64_t cy = std::max<std::int64_t>(y - 1, 0); cy <= std::min(y + 1, ny_ - 1); ++cy) {
                // Cells adjacent in x are adjacent in memory: one run per row.
                const std::int64_t row = (cz * ny_ + cy) * nx_;
                const std::uint32_t begin = cellStart_[row + std::max<std::int64_t>(x - 1, 0)];
                const std::uint32_t end = cellStart_[row + std::min(x + 1, nx_ - 1) + 1];
                for (std::uint32_t k = begin; k < end; ++k) visit(k);
            }
        }
    }

private:
    // Clamped before the conversion, which is undefined for values an int64 cannot hold (NaN).
    std::int64_t Axis(float v, float lo, std::int64_t n) const {
        const double t = (static_cast<double>(v) - lo) / cell_;
        if (!(t > 0)) return 0;
        if (t >= static_cast<double>(n - 1)) return n - 1;
        return static_cast<std::int64_t>(t);
    }

    float minX_ = 0, minY_ = 0, minZ_ = 0;
    double cell_ = 1;  // Å
    std::int64_t nx_ = 1, ny_ = 1, nz_ = 1;
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

// Most bonds lie inside residues, which are small: those pairs are compared directly, and so is
// the link of each standard residue to the next one in the file. Other bonds between residues
// involve link atoms left unlinked, sulfurs, or atoms of residues other than standard ones:
// only those atoms search the grid, which holds every atom that could be their partner.
// Water, ions and hydrogens never bond across residues and stay out of it.
std::vector<BondPair> PerceiveBonds(const std::vector<BondAtom>& atoms, const std::vector<std::uint8_t>& residueFlags,
                                    const BondRules& rules) {
    std::vector<BondPair> bonds;
    const auto n = static_cast<std::uint32_t>(atoms.size());
    if (n < 2) return bonds;
    float maxRadius = 0;
    for (const BondAtom& a : atoms) maxRadius = std::max(maxRadius, a.covalentRadius);
    const float reach = std::max({2 * maxRadius + rules.tolerance, rules.peptideCutoff, rules.phosphodiesterCutoff});

    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> nearest(n, kNone);  // a hydrogen's nearest allowed partner
    std::vector<float> nearestD2(n, std::numeric_limits<float>::max());
    bonds.reserve(n + n / 8);

    // True when the pair is bonded (for a hydrogen: when it is the nearest partner so far).
    auto consider = [&](std::uint32_t i, std::uint32_t j) {
        const BondAtom& a = atoms[i];
        const BondAtom& b = atoms[j];
        const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
        const float d2 = dx * dx + dy * dy + dz * dz;
        if (!BondAllowed(a, residueFlags[a.residue], b, residueFlags[b.residue], d2, rules)) return false;
        if (a.hydrogen || b.hydrogen) {
            const std::uint32_t h = a.hydrogen ? i : j;
            const std::uint32_t partner = a.hydrogen ? j : i;
            if (d2 < nearestD2[h] || (d2 == nearestD2[h] && partner < nearest[h])) {
                nearestD2[h] = d2;
                nearest[h] = partner;
                return true;
            }
            return false;
        }
        bonds.emplace_back(std::min(i, j), std::max(i, j));
        return true;
    };

    // Atoms grouped by residue.
    const std::size_t residueCount = residueFlags.size();
    std::vector<std::uint32_t> residueStart(residueCount + 1, 0);
    for (const BondAtom& a : atoms) ++residueStart[a.residue + 1];
    for (std::size_t r = 1; r <= residueCount; ++r) residueStart[r] += residueStart[r - 1];
    std::vector<std::uint32_t> byResidue(n);
    {
        std::vector<std::uint32_t> fill(residueStart.begin(), residueStart.end() - 1);
        for (std::uint32_t i = 0; i < n; ++i) byResidue[fill[atoms[i].residue]++] = i;
    }
    auto isLarge = [&residueStart](std::uint32_t residue) {
        return residueStart[residue + 1] - residueStart[residue] > kSmallResidue;
    };

    for (std::size_t r = 0; r < residueCount; ++r) {
        const std::uint32_t begin = residueStart[r], end = residueStart[r + 1];
        if (end - begin > kSmallResidue) continue;
        for (std::uint32_t p = begin; p < end; ++p) {
            for (std::uint32_t q = p + 1; q < end; ++q) consider(byResidue[p], byResidue[q]);
        }
    }

    // The link to the next residue in the file, between standard residues, is tried directly:
    // link atoms bonded so need no search. Chain ends, breaks and cyclic closures search.
    std::vector<std::uint8_t> linked(n, 0);
    auto findRole = [&](std::size_t residue, BondRole role) {
        for (std::uint32_t p = residueStart[residue]; p < residueStart[residue + 1]; ++p) {
            if (atoms[byResidue[p]].role == role) return byResidue[p];
        }
        return kNone;
    };
    for (std::size_t r = 0; r + 1 < residueCount; ++r) {
        const std::uint8_t both = residueFlags[r] & residueFlags[r + 1];
        if (!(both & kStandardPolymerResidue) || isLarge(static_cast<std::uint32_t>(r)) ||
            isLarge(static_cast<std::uint32_t>(r + 1))) {
            continue;
        }
        BondRole from, to;
        if (both & kAminoAcidResidue) {
            from = BondRole::PeptideC;
            to = BondRole::PeptideN;
        } else if (both & kNucleotideResidue) {
            from = BondRole::NucleicO3;
            to = BondRole::NucleicP;
        } else {
            continue;
        }
        const std::uint32_t i = findRole(r, from), j = findRole(r + 1, to);
        if (i != kNone && j != kNone && consider(i, j)) linked[i] = linked[j] = 1;
    }

    std::vector<std::uint32_t> members;  // in the grid
    std::vector<std::uint8_t> searching(n, 0);
    std::size_t searchers = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const BondAtom& a = atoms[i];
        const std::uint8_t flags = residueFlags[a.residue];
        const bool large = isLarge(a.residue);
        if (!large && (a.hydrogen || (flags & (kWaterResidue | kIonResidue)))) continue;
        // An atom without a finite position bonds to nothing (every distance to it compares
        // false) and must not stretch the grid.
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(a.z)) continue;
        members.push_back(i);
        if (large || (a.role != BondRole::None && !linked[i]) || !(flags & kStandardPolymerResidue)) {
            searching[i] = 1;
            ++searchers;
        }
    }
    if (searchers > 0) {
        const CellGrid grid(atoms, members, reach);
        const float reach2 = Square(reach);
        for (std::uint32_t i : members) {
            if (!searching[i]) continue;
            const BondAtom& a = atoms[i];
            const bool large = isLarge(a.residue);
            grid.ForNeighbours(a, [&](std::uint32_t k) {
                const BondAtom& b = grid.AtomAt(k);
                const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
                if (dx * dx + dy * dy + dz * dz > reach2) return;
                if (b.residue == a.residue && !large) return;  // compared above
                // Each pair once: a pair of searchers from its lower index.
                const std::uint32_t j = grid.Index(k);
                if (j == i || (searching[j] && j < i)) return;
                consider(i, j);
            });
        }
    }

    for (std::uint32_t h = 0; h < n; ++h) {
        if (nearest[h] != kNone) bonds.emplace_back(std::min(h, nearest[h]), std::max(h, nearest[h]));
    }
    std::sort(bonds.begin(), bonds.end());
    return bonds;
}

}  // namespace HostIO
