// The conformer kept where atoms of a gemmi model have alternative locations, and the residue
// kept where one position holds residues of different types (microheterogeneity, as in 3U7T).
#pragma once

#include "io/StructureReader.h"

#include <gemmi/model.hpp>

#include <cstddef>
#include <vector>

namespace HostIO {

/// The conformer kept at one sequence position: a residue and the atoms of it that stay.
struct KeptResidue {
    const gemmi::Residue* residue = nullptr;
    std::vector<const gemmi::Atom*> atoms;
};

class AltlocFilter {
public:
    explicit AltlocFilter(AltlocChoice choice) : choice_(choice) {}

    /// The end of the position starting at residues[begin]: residues sharing its sequence
    /// number and insertion code are alternatives only when they carry locations.
    static std::size_t PositionEnd(const std::vector<gemmi::Residue>& residues, std::size_t begin);

    /// Chooses among residues[begin, end), which share one position, and counts what is dropped.
    void Select(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end, KeptResidue& kept);

    std::size_t atomsDropped = 0;
    std::size_t residuesDropped = 0;

private:
    static bool HasAltlocs(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end);
    char ChooseAltloc(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end) const;
    char MostOccupiedAltloc(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end) const;
    void KeepAtoms(const gemmi::Residue& residue, char altloc, KeptResidue& kept);

    AltlocChoice choice_;
};

}  // namespace HostIO
