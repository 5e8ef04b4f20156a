#include "io/GemmiPartConversion.h"

#include "io/ResidueClassification.h"

#include <vector>

namespace HostIO {
namespace {

// PDB files name no entities (gemmi leaves them unknown with TER taken as a split only), so
// their residues are judged by name; mmCIF files name them, or gemmi guesses.
ResidueEntity EntityOf(const gemmi::Residue& residue, bool judgeByName) {
    if (judgeByName) return ResidueEntity::JudgeByName;
    switch (residue.entity_type) {
        case gemmi::EntityType::Polymer: return ResidueEntity::Polymer;
        case gemmi::EntityType::Water: return ResidueEntity::Water;
        default: return ResidueEntity::Other;
    }
}

ResidueClass Classify(const gemmi::Residue& residue, bool judgeByName) {
    ResidueFacts facts;
    facts.name = residue.name;
    facts.entity = EntityOf(residue, judgeByName);
    facts.hetatm = residue.het_flag == 'H';
    for (const gemmi::Atom& atom : residue.atoms) NoteBackboneAtom(facts, atom.name, atom.element.atomic_number());
    return ClassifyResidue(facts);
}

ResidueSite SiteOf(const gemmi::Residue& residue) {
    ResidueSite site;
    site.name = residue.name;
    if (residue.seqid.num.has_value()) site.number = residue.seqid.num.value;
    site.insertionCode = residue.seqid.icode == ' ' ? '\0' : residue.seqid.icode;
    return site;
}

void TakeAtomSites(const KeptResidue& kept, std::vector<AtomSite>& sites) {
    sites.clear();
    for (const gemmi::Atom* atom : kept.atoms) {
        sites.push_back({atom->name, atom->element.atomic_number(), atom->pos.x, atom->pos.y, atom->pos.z});
    }
}

}  // namespace

void MakePart(const gemmi::Chain& part, bool judgeByName, AltlocFilter& altlocs, const std::string& fileName,
              MadePart& made) {
    const std::vector<gemmi::Residue>& residues = part.residues;
    std::vector<ResidueClass> classes;
    classes.reserve(residues.size());
    for (const gemmi::Residue& residue : residues) classes.push_back(Classify(residue, judgeByName));
    StartMadePart(made, part.name, PolymerKindByMajority(classes));
    KeptResidue kept;
    std::vector<AtomSite> sites;
    for (std::size_t begin = 0; begin < residues.size();) {
        const std::size_t end = AltlocFilter::PositionEnd(residues, begin);
        altlocs.Select(residues, begin, end, kept);
        begin = end;
        if (kept.atoms.empty()) continue;
        TakeAtomSites(kept, sites);
        const auto index = static_cast<std::size_t>(kept.residue - residues.data());
        MakeResidue(made, SiteOf(*kept.residue), classes[index], sites, fileName);
    }
}

void ConvertPart(const gemmi::Chain& part, bool judgeByName, AltlocFilter& altlocs, HostTreeBuilder& builder) {
    MadePart made;
    MakePart(part, judgeByName, altlocs, builder.FileName(), made);
    builder.AddPart(std::move(made));
}

}  // namespace HostIO
