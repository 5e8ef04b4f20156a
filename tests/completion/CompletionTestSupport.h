// Corpus structures, residues and the monomer library for the completion tests.
#pragma once

#include "chem/MonomerLibrary.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "io/StructureReader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace CompletionTest {

inline std::string CorpusPath(const std::string& name) { return std::string(VOLTRA_CORPUS_DIR) + "/" + name; }

/// Every structure of the corpus that the reader completes (PQR files are taken as they are).
inline const std::vector<std::string>& CorpusStructures() {
    static const std::vector<std::string> files = {"1A1P.pdb",      "1AFS.pdb",   "1AJJ.pdb", "1BX8.pdb",
                                                   "1K1I.pdb",      "1QBS.pdb",   "1US0.pdb", "5vav_cyclic_peptide.pdb",
                                                   "cterm_hid.pdb", "1FAS.cif",   "1FKI.cif", "3U7T.cif",
                                                   "9X2O.cif",      "1pfe.cif.gz"};
    return files;
}

inline HostModel::Molecule& Read(HostModel::ChemDoc& doc, const std::string& file, bool complete = true) {
    HostIO::ReadOptions options;
    options.completeMissingAtoms = complete;
    return *HostIO::ReadStructure(doc, CorpusPath(file), options).molecule;
}

inline std::vector<HostModel::Residue*> Residues(const HostModel::Molecule& molecule) {
    std::vector<HostModel::Residue*> out;
    for (std::size_t c = 0; c < molecule.GetNumChildren(); ++c) {
        const HostModel::Object* chain = molecule.GetChild(c);
        for (std::size_t r = 0; r < chain->GetNumChildren(); ++r)
            out.push_back(static_cast<HostModel::Residue*>(chain->GetChild(r)));
    }
    return out;
}

inline std::vector<HostModel::Atom*> Atoms(const HostModel::Object& residue) {
    std::vector<HostModel::Atom*> out;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i)
        if (residue.GetChild(i)->IsA(HostModel::Atom::classType))
            out.push_back(static_cast<HostModel::Atom*>(residue.GetChild(i)));
    return out;
}

inline std::string ChainOf(const HostModel::Residue& residue) { return residue.GetParent()->GetLabel(); }

/// The library the tests read for themselves, to check the platform against.
inline HostChem::MonomerLibrary& Library() {
    static HostChem::MonomerLibrary library;
    return library;
}

#define REQUIRE_MONOMER_LIBRARY()                                                       \
    do {                                                                                \
        if (!::CompletionTest::Library().IsAvailable())                                 \
            GTEST_SKIP() << "the monomer library (refmac-dictionary) is not installed"; \
    } while (0)

/// The library's name for a residue type: variants under their parent.
inline std::string ParentName(const std::string& type) {
    static const std::map<std::string, std::string> variants = {{"HID", "HIS"}, {"HIE", "HIS"}, {"HIP", "HIS"},
                                                                {"CYX", "CYS"}, {"CYM", "CYS"}, {"ASH", "ASP"},
                                                                {"GLH", "GLU"}, {"LYN", "LYS"}};
    const auto it = variants.find(type);
    return it == variants.end() ? type : it->second;
}

inline bool IsStandard(const std::string& type) {
    static const std::vector<std::string> names = {"ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE",
                                                   "LEU", "LYS", "MET", "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL",
                                                   "DA",  "DC",  "DG",  "DT",  "A",   "C",   "G",   "U"};
    return std::find(names.begin(), names.end(), ParentName(type)) != names.end();
}

/// The library's heavy atoms of the monomer, in its order.
inline std::vector<std::string> HeavyAtoms(const std::string& monomer) {
    std::vector<std::string> out;
    if (const gemmi::ChemComp* comp = Library().Find(monomer))
        for (const auto& atom : comp->atoms)
            if (!atom.is_hydrogen()) out.push_back(atom.id);
    return out;
}

}  // namespace CompletionTest
