// A small document with every kind of node template application meets: two peptide chains,
// a chain that starts with a residue without "N", a nucleic-acid chain, a ligand atom directly
// under the molecule, and a hidden molecule carrying an earlier assignment.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/ChemistryTracker.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace VoltraTest {

inline HostModel::Atom& AddAtom(HostModel::Object& parent, const std::string& label, int atomicNumber) {
    return parent.Add(std::make_unique<HostModel::Atom>(label, atomicNumber));
}

/// Adds a residue of class R with atoms given as (label, atomic number).
template <class R>
R& AddResidue(HostModel::Object& chain, const std::string& type, int number,
              const std::vector<std::pair<std::string, int>>& atoms) {
    R& residue = chain.Add(std::make_unique<R>(type + std::to_string(number), number, type));
    for (const auto& [label, z] : atoms) AddAtom(residue, label, z);
    return residue;
}

inline HostModel::Atom& ChildAtom(const HostModel::Residue& residue, const std::string& label) {
    if (HostModel::Atom* atom = residue.FindAtom(label)) return *atom;
    throw std::invalid_argument("no atom '" + label + "' in residue '" + residue.GetLabel() + "'");
}

/// Peptide bond from the C of one amino acid to the N of the next, as IsNTerminus looks for it.
inline void PeptideBond(const HostModel::Residue& first, const HostModel::Residue& second) {
    HostModel::Atom::Bond(ChildAtom(first, "C"), ChildAtom(second, "N"));
}

const std::vector<std::pair<std::string, int>> kBackbone = {{"N", 7}, {"CA", 6}, {"C", 6}, {"O", 8}};

struct SampleDocument {
    HostModel::ChemDoc doc;
    HostModel::Molecule* complex = nullptr;  // visible
    HostModel::Molecule* hidden = nullptr;
    // Chain A: ALA 1 - GLY 2. Chain B: NME 0 (a plain residue that has an "N"), SER 1 - LYS 2.
    // Chain C: ACE 0 (no "N"), then GLY 5 after a break. Chain R: DA 1 and an amino acid ALA 20.
    HostModel::AminoAcid* ala1 = nullptr;
    HostModel::AminoAcid* gly2 = nullptr;
    HostModel::Residue* nme0 = nullptr;
    HostModel::AminoAcid* ser1 = nullptr;
    HostModel::AminoAcid* lys2 = nullptr;
    HostModel::AminoAcid* ace0 = nullptr;
    HostModel::AminoAcid* gly5 = nullptr;
    HostModel::Nucleotide* da1 = nullptr;
    HostModel::AminoAcid* ala20 = nullptr;
    HostModel::Atom* zinc = nullptr;  // ligand atom directly under the molecule
    HostModel::AminoAcid* hiddenAla = nullptr;

    SampleDocument() {
        HostModel::TreeRoot& root = *doc.GetTreeRoot();
        complex = &root.Add(std::make_unique<HostModel::Molecule>("Complex"));

        auto& a = complex->Add(std::make_unique<HostModel::AminoAcidChain>("A"));
        auto alaAtoms = kBackbone;
        alaAtoms.push_back({"CB", 6});
        alaAtoms.push_back({"HB21", 1});  // a four-character hydrogen name
        ala1 = &AddResidue<HostModel::AminoAcid>(a, "ALA", 1, alaAtoms);
        gly2 = &AddResidue<HostModel::AminoAcid>(a, "GLY", 2, kBackbone);
        PeptideBond(*ala1, *gly2);

        auto& b = complex->Add(std::make_unique<HostModel::AminoAcidChain>("B"));
        nme0 = &AddResidue<HostModel::Residue>(b, "NME", 0, {{"N", 7}, {"CH3", 6}});
        auto serAtoms = kBackbone;
        serAtoms.push_back({"OG", 8});
        ser1 = &AddResidue<HostModel::AminoAcid>(b, "SER", 1, serAtoms);
        auto lysAtoms = kBackbone;
        lysAtoms.push_back({"NZ", 7});
        lys2 = &AddResidue<HostModel::AminoAcid>(b, "LYS", 2, lysAtoms);
        PeptideBond(*ser1, *lys2);

        auto& c = complex->Add(std::make_unique<HostModel::AminoAcidChain>("C"));
        ace0 = &AddResidue<HostModel::AminoAcid>(c, "ACE", 0, {{"CH3", 6}, {"C", 6}, {"O", 8}});
        gly5 = &AddResidue<HostModel::AminoAcid>(c, "GLY", 5, kBackbone);

        auto& r = complex->Add(std::make_unique<HostModel::NucleicAcidChain>("R"));
        da1 = &AddResidue<HostModel::Nucleotide>(r, "DA", 1, {{"P", 15}, {"N1", 7}, {"C1'", 6}});
        ala20 = &AddResidue<HostModel::AminoAcid>(r, "ALA", 20, kBackbone);

        zinc = &AddAtom(*complex, "ZN", 30);

        hidden = &root.Add(std::make_unique<HostModel::Molecule>("Hidden"));
        auto& h = hidden->Add(std::make_unique<HostModel::AminoAcidChain>("H"));
        hiddenAla = &AddResidue<HostModel::AminoAcid>(h, "ALA", 1, kBackbone);
        hidden->SetVisible(false);
        // An earlier assignment that no command may touch while the molecule is hidden.
        hidden->SetProperty("Voltra Charge Template", "earlier.crg", 2);
        hidden->SetProperty("Voltra Radius Template", "earlier.siz", 2);
        HostModel::DescendentIterator atoms(hidden, HostModel::Atom::classType);
        while (HostModel::Object* atom = atoms.GetNext()) {
            atom->SetProperty("Voltra Charge", 9.5f, 6);
            atom->SetProperty("Voltra Radius", 3.5f, 6);
            atom->SetProperty("Voltra Charge Source", "Earlier", 0);
            atom->SetProperty("Voltra Radius Source", "Earlier", 0);
            atom->SetProperty("Voltra Charge + Radius Source", "Earlier + Earlier", 2);
        }
    }

    HostModel::TreeRoot& Root() { return *doc.GetTreeRoot(); }

    std::vector<HostModel::Atom*> AtomsOf(const HostModel::Object& node) const {
        std::vector<HostModel::Atom*> atoms;
        HostModel::DescendentIterator it(&node, HostModel::Atom::classType);
        while (HostModel::Object* atom = it.GetNext()) atoms.push_back(static_cast<HostModel::Atom*>(atom));
        return atoms;
    }
};

inline float FloatProperty(const HostModel::Object& object, const std::string& name) {
    float value = -12345.0f;
    if (!object.GetProperty(name, value)) throw std::invalid_argument("no float property '" + name + "'");
    return value;
}

inline float Charge(const HostModel::Object& atom) { return FloatProperty(atom, "Voltra Charge"); }
inline float Radius(const HostModel::Object& atom) { return FloatProperty(atom, "Voltra Radius"); }

inline std::string ChargeSource(const HostModel::Object& atom) {
    return atom.GetPropertyAsString("Voltra Charge Source");
}
inline std::string RadiusSource(const HostModel::Object& atom) {
    return atom.GetPropertyAsString("Voltra Radius Source");
}
inline std::string CombinedSource(const HostModel::Object& atom) {
    return atom.GetPropertyAsString("Voltra Charge + Radius Source");
}

inline std::string Describe(const HostModel::Object& object) {
    std::ostringstream line;
    line.precision(9);
    line << object.GetClassType()->name << ' ' << object.GetLabel() << " visible=" << object.IsVisible()
         << " children=" << object.GetNumChildren();
    for (const HostModel::PropertyView& p : object.GetProperties()) {
        line << " | " << p.name << ':' << static_cast<int>(p.kind) << ':' << p.flags << ':';
        if (p.kind == HostModel::PropertyKind::Float) {
            line << p.number;
        } else {
            line << p.text;
        }
    }
    return line.str();
}

/// node and every object below it with class, label, visibility, child count and every
/// property (name, kind, flags, value), in tree order: equal snapshots mean an untouched subtree.
inline std::vector<std::string> SnapshotOf(const HostModel::Object& node) {
    std::vector<std::string> lines{Describe(node)};
    HostModel::DescendentIterator it(&node, HostModel::Object::classType);
    while (HostModel::Object* object = it.GetNext()) lines.push_back(Describe(*object));
    return lines;
}

inline std::vector<std::string> Snapshot(const HostModel::ChemDoc& doc) { return SnapshotOf(*doc.GetTreeRoot()); }

/// The snapshot of everything below the root except chemistry trackers: what a pass that only
/// (re)starts tracking must leave equal.
inline std::vector<std::string> SnapshotWithoutTrackers(const HostModel::ChemDoc& doc) {
    std::vector<std::string> lines;
    const HostModel::TreeRoot& root = *doc.GetTreeRoot();
    for (std::size_t i = 0; i < root.GetNumChildren(); ++i) {
        const HostModel::Object& child = *root.GetChild(i);
        if (child.IsA(HostModel::ChemistryTracker::classType)) continue;
        const auto part = SnapshotOf(child);
        lines.insert(lines.end(), part.begin(), part.end());
    }
    return lines;
}

inline int CountTrackers(const HostModel::Object& root, const std::string& label) {
    int count = 0;
    HostModel::DescendentIterator it(&root, HostModel::ChemistryTracker::classType);
    while (HostModel::Object* tracker = it.GetNext()) count += tracker->GetLabel() == label ? 1 : 0;
    return count;
}

}  // namespace VoltraTest
