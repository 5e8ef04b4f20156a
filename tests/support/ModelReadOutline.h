// A model as a reader built it, written out line by line, so that two readers' results can be
// compared whole and a difference shown where it starts: the molecule's label, what the read
// counted, and every chain, residue and atom of the tree with its identity, element, exact
// position and bonds.
#pragma once

#include "io/HostTreeBuilder.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

#include <cstdio>
#include <string>
#include <unordered_map>

namespace VoltraTest {

namespace outline_detail {

inline const char* KindOf(const HostModel::Object& object) {
    if (object.IsA(HostModel::Atom::classType)) return "atom";
    if (object.IsA(HostModel::AminoAcid::classType)) return "amino-acid";
    if (object.IsA(HostModel::Nucleotide::classType)) return "nucleotide";
    if (object.IsA(HostModel::Residue::classType)) return "residue";
    if (object.IsA(HostModel::AminoAcidChain::classType)) return "peptide-chain";
    if (object.IsA(HostModel::NucleicAcidChain::classType)) return "nucleic-chain";
    if (object.IsA(HostModel::Chain::classType)) return "chain";
    if (object.IsA(HostModel::Molecule::classType)) return "molecule";
    return "object";
}

inline void Append(const HostModel::Object& object, int depth,
                   const std::unordered_map<const HostModel::Atom*, std::size_t>& indexOf, std::string& out) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += KindOf(object);
    out += " '" + object.GetLabel() + "'";
    if (object.IsA(HostModel::Residue::classType)) {
        const auto& residue = static_cast<const HostModel::Residue&>(object);
        out += " type '" + residue.GetResidueType() + "' number " + std::to_string(residue.GetSequenceNumber()) +
               " icode " + std::to_string(static_cast<int>(residue.GetInsertionCode())) + " chain id '" +
               residue.GetInputChainId() + "'";
    }
    if (object.IsA(HostModel::Atom::classType)) {
        const auto& atom = static_cast<const HostModel::Atom&>(object);
        const auto& p = atom.GetPosition();
        char position[128];
        // Hexadecimal: every bit of the coordinates counts.
        std::snprintf(position, sizeof position, " at %a %a %a", p.x, p.y, p.z);
        const auto found = indexOf.find(&atom);
        out += " #" + (found == indexOf.end() ? std::string("?") : std::to_string(found->second)) + " Z " +
               std::to_string(atom.GetAtomicNumber()) + position + " bonds";
        for (const HostModel::Atom* partner : atom.GetBonds()) {
            const auto at = indexOf.find(partner);
            out += " " + (at == indexOf.end() ? std::string("?") : std::to_string(at->second));
        }
    }
    out += '\n';
    for (std::size_t i = 0; i < object.GetNumChildren(); ++i) Append(*object.GetChild(i), depth + 1, indexOf, out);
}

}  // namespace outline_detail

/// The outline of a molecule's tree, atoms numbered in tree order.
inline std::string OutlineMolecule(const HostModel::Object& molecule) {
    std::unordered_map<const HostModel::Atom*, std::size_t> indexOf;
    HostModel::DescendentIterator atoms(&molecule, HostModel::Atom::classType);
    while (const HostModel::Object* atom = atoms.GetNext()) {
        indexOf.emplace(static_cast<const HostModel::Atom*>(atom), indexOf.size());
    }
    std::string out;
    outline_detail::Append(molecule, 0, indexOf, out);
    return out;
}

/// The outline of read; a read without molecule gives its counts only.
inline std::string OutlineModelRead(const HostIO::ModelRead& read) {
    const HostIO::BuiltMolecule& built = read.built;
    std::string out = "models " + std::to_string(read.modelCount) + ", read " + std::to_string(read.modelNumber) +
                      "; altloc atoms dropped " + std::to_string(read.altlocAtomsDropped) + ", residues dropped " +
                      std::to_string(read.altlocResiduesDropped) + "\n";
    out += "atoms " + std::to_string(built.atoms.size()) + ", residues " + std::to_string(built.residueCount) +
           ", chains " + std::to_string(built.chainCount) + ", bonds " + std::to_string(built.bondCount) +
           ", unknown elements " + std::to_string(built.unknownElements) + " (" + built.firstUnknownElement + ")\n";
    out += "unknown residues:";
    for (const std::string& name : built.unknownResidues) out += " '" + name + "'";
    out += '\n';
    if (!built.molecule) return out;
    std::unordered_map<const HostModel::Atom*, std::size_t> indexOf;
    for (std::size_t i = 0; i < built.atoms.size(); ++i) indexOf.emplace(built.atoms[i], i);
    outline_detail::Append(*built.molecule, 0, indexOf, out);
    return out;
}

}  // namespace VoltraTest
