#include "SyntheticProtein.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/Residue.h"

#include <memory>
#include <string>
#include <vector>

namespace VoltraBench {
namespace {

struct ResidueKind {
    const char* name;
    std::vector<const char*> atoms;  // heavy atoms each followed by their hydrogens
};

// Amino acids with the hydrogen names of the AMBER libraries; sizes span 7 to 20 atoms.
const std::vector<ResidueKind>& ResidueKinds() {
    static const std::vector<ResidueKind> kinds = {
        {"GLY", {"N", "H", "CA", "HA2", "HA3", "C", "O"}},
        {"ALA", {"N", "H", "CA", "HA", "CB", "HB1", "HB2", "HB3", "C", "O"}},
        {"SER", {"N", "H", "CA", "HA", "CB", "HB2", "HB3", "OG", "HG", "C", "O"}},
        {"VAL",
         {"N", "H", "CA", "HA", "CB", "HB", "CG1", "HG11", "HG12", "HG13", "CG2", "HG21", "HG22", "HG23", "C", "O"}},
        {"LEU",
         {"N", "H", "CA", "HA", "CB", "HB2", "HB3", "CG", "HG", "CD1", "HD11", "HD12", "HD13", "CD2", "HD21", "HD22",
          "HD23", "C", "O"}},
        {"ASP", {"N", "H", "CA", "HA", "CB", "HB2", "HB3", "CG", "OD1", "OD2", "C", "O"}},
        {"PHE", {"N",   "H",   "CA", "HA", "CB",  "HB2", "HB3", "CG",  "CD1", "HD1",
                 "CE1", "HE1", "CZ", "HZ", "CE2", "HE2", "CD2", "HD2", "C",   "O"}},
        {"THR", {"N", "H", "CA", "HA", "CB", "HB", "OG1", "HG1", "CG2", "HG21", "HG22", "HG23", "C", "O"}},
    };
    return kinds;
}

int ElementOf(const char* atomName) {
    switch (atomName[0]) {
        case 'H': return 1;
        case 'C': return 6;
        case 'N': return 7;
        case 'O': return 8;
        default: return 6;
    }
}

std::string ChainLabel(std::size_t index) {
    std::string label(1, static_cast<char>('A' + index % 26));
    if (index >= 26) label += std::to_string(index / 26);
    return label;
}

}  // namespace

HostModel::Molecule& BuildSyntheticProtein(HostModel::ChemDoc& doc, std::size_t atomCount,
                                           std::size_t residuesPerChain) {
    using namespace HostModel;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("Protein", 1));
    const auto& kinds = ResidueKinds();
    std::size_t made = 0;
    std::size_t chainIndex = 0;
    while (made < atomCount) {
        auto& chain =
            molecule.Add(std::make_unique<AminoAcidChain>(ChainLabel(chainIndex), static_cast<int>(chainIndex)));
        ++chainIndex;
        Atom* previousC = nullptr;
        for (std::size_t r = 0; r < residuesPerChain && made < atomCount; ++r) {
            const ResidueKind& kind = kinds[(r * 7 + chainIndex) % kinds.size()];
            const int number = static_cast<int>(r + 1);
            auto& residue = chain.Add(
                std::make_unique<AminoAcid>(std::string(kind.name) + " " + std::to_string(number), number, kind.name));
            Atom* lastHeavy = nullptr;
            for (const char* name : kind.atoms) {
                if (made == atomCount) break;
                const int z = ElementOf(name);
                auto& atom = residue.Add(std::make_unique<Atom>(name, z, static_cast<int>(++made)));
                atom.SetPosition({0.1 * static_cast<double>(made % 1000), 0.2 * static_cast<double>(r), 0.0});
                if (lastHeavy) Atom::Bond(atom, *lastHeavy);
                if (z != 1) {
                    if (name[0] == 'N' && name[1] == '\0' && previousC) Atom::Bond(atom, *previousC);
                    if (name[0] == 'C' && name[1] == '\0') previousC = &atom;
                    // The carbonyl O hangs on C like the hydrogens on their heavy atom.
                    if (!(name[0] == 'O' && name[1] == '\0')) lastHeavy = &atom;
                }
            }
        }
    }
    return molecule;
}

}  // namespace VoltraBench
