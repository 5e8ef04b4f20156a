#include "ChemTestStructures.h"

#include "Common/StringConversion.h"
#include "chem/ResidueAtoms.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace ChemTest {

HostModel::AminoAcid& AddAminoAcid(HostModel::Chain& chain, const std::string& type, int number,
                                   const std::vector<AtomSpec>& atoms) {
    auto residue = std::make_unique<HostModel::AminoAcid>(type + std::to_string(number), number, type);
    for (const AtomSpec& spec : atoms) {
        auto atom = std::make_unique<HostModel::Atom>(spec.name, spec.atomicNumber);
        atom->SetPosition(spec.position);
        residue->AddChild(std::move(atom));
    }
    return chain.Add(std::move(residue));
}

std::vector<std::string> AtomLabels(const HostModel::Residue& residue) {
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) labels.push_back(residue.GetChild(i)->GetLabel());
    return labels;
}

std::vector<HostModel::Residue*> Residues(const HostModel::ChemDoc& doc) {
    return HostChem::ResiduesBelow(*doc.GetTreeRoot());
}

std::string CorpusText(const std::string& file) {
    const std::string path = std::string(VOLTRA_CORPUS_DIR) + "/" + file;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string WritePdb(const HostModel::ChemDoc& doc, Rename rename) {
    std::string text;
    std::map<const HostModel::Object*, char> chains;
    int serial = 0;
    for (const HostModel::Residue* residue : Residues(doc)) {
        const HostModel::Object* chain = residue->GetParent();
        auto letter = chains.find(chain);
        if (letter == chains.end()) letter = chains.emplace(chain, static_cast<char>('A' + chains.size() % 26)).first;
        for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) {
            const auto& atom = static_cast<const HostModel::Atom&>(*residue->GetChild(i));
            PdbName name{residue->GetResidueType(), atom.GetLabel()};
            if (rename) name = rename(*residue, atom);
            if (name.atom.empty()) continue;
            const std::string field = name.atom.size() < 4 ? " " + name.atom : name.atom;
            const HostModel::Vec3& p = atom.GetPosition();
            char line[100];
            std::snprintf(line, sizeof line,
                          "ATOM  %5d %-4.4s %3.3s %c%4d    %8.3f%8.3f%8.3f  1.00  0.00          %2s\n",
                          ++serial % 100000, field.c_str(), name.residue.c_str(), letter->second, residue->GetID(), p.x,
                          p.y, p.z, atom.GetElementSymbol() ? atom.GetElementSymbol() : "");
            text += line;
        }
    }
    return text + "END\n";
}

}  // namespace ChemTest
