// Documents and templates for the chemistry tests: corpus structures read as the program reads
// them, the shipped template files, and walks over residues and atoms.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "chem/HydrogenRecipe.h"
#include "io/StructureReader.h"
#include "templates/TemplateFileIO.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace ChemTest {

inline std::string CorpusPath(const std::string& name) { return std::string(VOLTRA_CORPUS_DIR) + "/" + name; }

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The ATOM records of a corpus PDB file, copied side by side (each copy 200 Å further along x,
/// its chains renamed two letters on): a structure large enough for the two-thread walks.
inline std::string TiledAtomRecords(const std::string& name, int copies) {
    const std::string original = ReadText(CorpusPath(name));
    std::string text;
    for (int copy = 0; copy < copies; ++copy) {
        std::istringstream in(original);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("ATOM", 0) != 0 || line.size() < 54) continue;
            char x[16];
            std::snprintf(x, sizeof x, "%8.3f", std::stod(line.substr(30, 8)) + 200.0 * copy);
            line.replace(30, 8, x);
            line[21] = static_cast<char>(line[21] + 2 * copy);
            text += line + "\n";
        }
    }
    return text;
}

/// A shipped template file (share/voltra/templates), read without the persistence service.
inline Voltra::TemplatePtr ShippedTemplate(const std::string& fileName) {
    Voltra::TemplatePtr t = Voltra::CreateTemplateFor(fileName);
    std::ifstream in(std::string(VOLTRA_SOURCE_DIR) + "/share/voltra/templates/" + fileName);
    Voltra::ReadTemplateEntries(in, *t, L"template");
    return t;
}

inline std::vector<HostModel::Residue*> Residues(const HostModel::Object& root) {
    std::vector<HostModel::Residue*> out;
    HostModel::DescendentIterator it(&root, HostModel::Residue::classType);
    while (HostModel::Object* o = it.GetNext()) out.push_back(static_cast<HostModel::Residue*>(o));
    return out;
}

inline std::vector<HostModel::Atom*> Atoms(const HostModel::Object& root) {
    std::vector<HostModel::Atom*> out;
    HostModel::DescendentIterator it(&root, HostModel::Atom::classType);
    while (HostModel::Object* o = it.GetNext()) out.push_back(static_cast<HostModel::Atom*>(o));
    return out;
}

inline std::size_t HydrogenCount(const HostModel::Object& root) {
    std::size_t n = 0;
    for (const HostModel::Atom* a : Atoms(root)) n += a->GetAtomicNumber() == 1;
    return n;
}

/// True when the residue has every heavy atom of its monomer apart from the terminal-only ones
/// (OXT, a 5' OP3): the residues that need no completion before their hydrogens can match.
inline bool HasAllHeavyAtoms(const HostModel::Residue& residue) {
    const auto recipe = HostChem::FindHydrogenRecipe(HostChem::MonomerNameOf(residue.GetResidueType()), {});
    if (!recipe) return false;
    for (const auto& atom : recipe->chemComp.atoms) {
        const std::string& name = atom.id;
        if (atom.is_hydrogen() || name == "OXT" || name == "OP3") continue;
        if (!residue.FindAtom(name)) return false;
    }
    return true;
}

inline bool IsStandardResidue(const HostModel::Residue& residue) {
    static const std::vector<std::string> nucleic = {"DA", "DC", "DG", "DT", "A", "C", "G", "U", "HOH"};
    const std::string& type = residue.GetResidueType();
    return HostChem::IsStandardAminoAcidType(type) || std::find(nucleic.begin(), nucleic.end(), type) != nucleic.end();
}

}  // namespace ChemTest
