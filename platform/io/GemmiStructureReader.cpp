// The only files that include gemmi's PDB and mmCIF readers are this one and the streaming mmCIF
// reader; each costs seconds of compile time.
#include "io/GemmiStructureReader.h"

#include "io/AltlocSelection.h"
#include "io/GemmiReadErrors.h"
#include "io/MmcifStreamReader.h"
#include "io/ModelSelection.h"
#include "io/PdbRecordGuards.h"
#include "io/ResidueClassification.h"

#include <gemmi/pdb.hpp>

#include <cstdlib>
#include <utility>

namespace HostIO {
namespace {

gemmi::Structure ParsePdb(const std::string& text, const std::string& name) {
    gemmi::PdbReadOptions pdbOptions;
    // Split at TER without taking it as the end of the polymer: gaps (1K1I) and files from
    // modelling programs put TER inside chains.
    pdbOptions.split_chain_on_ter = true;
    try {
        return gemmi::read_pdb_from_memory(text.data(), text.size(), name, pdbOptions);
    } catch (const std::exception& e) {
        ThrowPdbReaderError(name, e.what());
    }
}

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

// Empties part once converted, so that gemmi's copy and the tree do not both hold a large
// structure in full.
void ConvertPart(gemmi::Chain& part, bool judgeByName, AltlocFilter& altlocs, HostTreeBuilder& builder) {
    const std::vector<gemmi::Residue>& residues = part.residues;
    std::vector<ResidueClass> classes;
    classes.reserve(residues.size());
    for (const gemmi::Residue& residue : residues) classes.push_back(Classify(residue, judgeByName));
    builder.StartPart(part.name, PolymerKindByMajority(classes));
    KeptResidue kept;
    std::vector<AtomSite> sites;
    for (std::size_t begin = 0; begin < residues.size();) {
        const std::size_t end = AltlocFilter::PositionEnd(residues, begin);
        altlocs.Select(residues, begin, end, kept);
        begin = end;
        if (kept.atoms.empty()) continue;
        TakeAtomSites(kept, sites);
        const auto index = static_cast<std::size_t>(kept.residue - residues.data());
        builder.AddResidue(SiteOf(*kept.residue), classes[index], sites);
    }
    std::vector<gemmi::Residue>().swap(part.residues);
}

gemmi::Structure Parse(std::string& text, const std::string& name, StructureFormat format,
                       std::vector<std::string>& warnings) {
    if (format != StructureFormat::Pdb) return ReadMmcifStructure(text, name);
    // gemmi's PDB reader overreads short records and refuses old charge columns; see there.
    warnings = GuardPdbRecords(text, name);
    return ParsePdb(text, name);
}

std::vector<std::string> ModelNames(const gemmi::Structure& structure) {
    std::vector<std::string> names;
    names.reserve(structure.models.size());
    for (const gemmi::Model& model : structure.models) names.push_back(model.name);
    return names;
}

std::size_t CountAtomSites(const gemmi::Model& model) {
    std::size_t atomSites = 0;
    for (const gemmi::Chain& chain : model.chains) {
        for (const gemmi::Residue& residue : chain.residues) atomSites += residue.atoms.size();
    }
    return atomSites;
}

}  // namespace

GemmiModelRead ReadGemmiModel(std::string text, const std::string& name, StructureFormat format,
                              const ReadOptions& options, const std::string& defaultLabel) {
    GemmiModelRead read;
    gemmi::Structure structure = Parse(text, name, format, read.warnings);
    text = std::string();  // the model holds everything from here on
    read.model.modelCount = structure.models.size();
    gemmi::Model& model = structure.models[SelectModel(ModelNames(structure), options.model, name)];
    read.model.modelNumber = std::atoi(model.name.c_str());
    CheckModelHasAtoms(CountAtomSites(model), model.name, structure.models.size(), options.model, name);

    std::string label = structure.get_info("_entry.id");
    HostTreeBuilder builder(label.empty() ? defaultLabel : label, name);
    AltlocFilter altlocs(options.altloc);
    for (gemmi::Chain& part : model.chains) ConvertPart(part, format == StructureFormat::Pdb, altlocs, builder);
    read.model.built = builder.Finish();
    read.model.altlocAtomsDropped = altlocs.atomsDropped;
    read.model.altlocResiduesDropped = altlocs.residuesDropped;
    return read;
}

}  // namespace HostIO
