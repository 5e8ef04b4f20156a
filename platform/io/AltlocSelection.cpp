#include "io/AltlocSelection.h"

#include <algorithm>

namespace HostIO {

std::size_t AltlocFilter::PositionEnd(const std::vector<gemmi::Residue>& residues, std::size_t begin) {
    std::size_t end = begin + 1;
    while (end < residues.size() && residues[end].seqid == residues[begin].seqid) ++end;
    return HasAltlocs(residues, begin, end) ? end : begin + 1;
}

void AltlocFilter::Select(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end,
                          KeptResidue& kept) {
    const char altloc = ChooseAltloc(residues, begin, end);
    kept.residue = &residues[begin];
    if (altloc != '\0') {
        for (std::size_t r = begin; r < end; ++r) {
            const auto& atoms = residues[r].atoms;
            if (std::any_of(atoms.begin(), atoms.end(),
                            [altloc](const gemmi::Atom& a) { return a.altloc == altloc; })) {
                kept.residue = &residues[r];
                break;
            }
        }
    }
    residuesDropped += end - begin - 1;
    for (std::size_t r = begin; r < end; ++r) {
        if (&residues[r] != kept.residue) atomsDropped += residues[r].atoms.size();
    }
    KeepAtoms(*kept.residue, altloc, kept);
}

void AltlocFilter::KeepAtoms(const gemmi::Residue& residue, char altloc, KeptResidue& kept) {
    kept.atoms.clear();
    if (altloc == '\0') {
        for (const gemmi::Atom& atom : residue.atoms) kept.atoms.push_back(&atom);
        return;
    }
    for (const gemmi::Atom& atom : residue.atoms) {
        const bool wanted = atom.altloc == '\0' || atom.altloc == altloc;
        // An atom both without and with a location (a faulty file) is kept once.
        const bool duplicate = wanted && std::any_of(kept.atoms.begin(), kept.atoms.end(),
                                                     [&atom](const gemmi::Atom* k) { return k->name == atom.name; });
        if (wanted && !duplicate) {
            kept.atoms.push_back(&atom);
        } else {
            ++atomsDropped;
        }
    }
}

bool AltlocFilter::HasAltlocs(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end) {
    for (std::size_t r = begin; r < end; ++r) {
        for (const gemmi::Atom& atom : residues[r].atoms) {
            if (atom.altloc != '\0') return true;
        }
    }
    return false;
}

char AltlocFilter::ChooseAltloc(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end) const {
    if (choice_ == AltlocChoice::HighestOccupancy) return MostOccupiedAltloc(residues, begin, end);
    for (std::size_t r = begin; r < end; ++r) {
        for (const gemmi::Atom& atom : residues[r].atoms) {
            if (atom.altloc != '\0') return atom.altloc;
        }
    }
    return '\0';
}

// Mean, not sum: a conformer with more atoms (another residue type, more hydrogens) must not win
// by its size. Ties go to the location listed first.
char AltlocFilter::MostOccupiedAltloc(const std::vector<gemmi::Residue>& residues, std::size_t begin,
                                      std::size_t end) const {
    struct Location {
        char altloc;
        double occupancy;  // summed over the location's atoms
        std::size_t atoms;
    };
    std::vector<Location> locations;  // in order of first appearance
    for (std::size_t r = begin; r < end; ++r) {
        for (const gemmi::Atom& atom : residues[r].atoms) {
            if (atom.altloc == '\0') continue;
            auto it = std::find_if(locations.begin(), locations.end(),
                                   [&atom](const Location& l) { return l.altloc == atom.altloc; });
            if (it == locations.end()) {
                locations.push_back({atom.altloc, atom.occ, 1});
            } else {
                it->occupancy += atom.occ;
                ++it->atoms;
            }
        }
    }
    char best = '\0';
    double bestOccupancy = -1;
    for (const Location& l : locations) {
        const double mean = l.occupancy / static_cast<double>(l.atoms);
        if (mean > bestOccupancy) {
            best = l.altloc;
            bestOccupancy = mean;
        }
    }
    return best;
}

}  // namespace HostIO
