// Small structures built atom by atom, corpus structures read into documents, and a scratch
// installed tree for the template files, shared by the chemistry tests.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

#include "support/SourceTemplates.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ChemTest {

struct AtomSpec {
    const char* name;
    int atomicNumber;
    HostModel::Vec3 position;
};

/// Adds an amino acid with the atoms given to chain.
HostModel::AminoAcid& AddAminoAcid(HostModel::Chain& chain, const std::string& type, int number,
                                   const std::vector<AtomSpec>& atoms);

/// The labels of a residue's atoms, in order.
std::vector<std::string> AtomLabels(const HostModel::Residue& residue);

/// Every residue of the document, in tree order.
std::vector<HostModel::Residue*> Residues(const HostModel::ChemDoc& doc);

/// The whole text of a corpus file (gzip left as it is; the reader inflates it).
std::string CorpusText(const std::string& file);

/// Minimal PDB text of the document's atoms under their current labels and type names; a
/// rename callback may change both before they are written (an empty atom name drops the atom).
struct PdbName {
    std::string residue;
    std::string atom;
};
using Rename = PdbName (*)(const HostModel::Residue&, const HostModel::Atom&);
std::string WritePdb(const HostModel::ChemDoc& doc, Rename rename = nullptr);

/// The persistence root pointed at the source tree's templates for the life of the object.
using SourceTemplates = VoltraTest::SourceTemplates;

}  // namespace ChemTest
