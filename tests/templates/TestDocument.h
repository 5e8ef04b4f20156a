// A small document builder for template tests: molecule > chains > residues > atoms.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

#include <memory>
#include <string>

namespace VoltraTest {

class TestDocument {
public:
    TestDocument() : molecule_(doc_.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("M"))) {}

    HostModel::Molecule& GetMolecule() { return molecule_; }

    HostModel::Chain& AddChain(const std::string& label) {
        return molecule_.Add(std::make_unique<HostModel::AminoAcidChain>(label));
    }
    static HostModel::Residue& AddResidue(HostModel::Object& parent, const std::string& label, int id,
                                          const std::string& typeName) {
        return parent.Add(std::make_unique<HostModel::AminoAcid>(label, id, typeName));
    }
    static HostModel::Atom& AddAtom(HostModel::Object& parent, const std::string& label, int atomicNumber) {
        return parent.Add(std::make_unique<HostModel::Atom>(label, atomicNumber));
    }

private:
    HostModel::ChemDoc doc_;
    HostModel::Molecule& molecule_;
};

}  // namespace VoltraTest
