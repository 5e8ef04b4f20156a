#include "io/ChainPlacement.h"

#include "HostModel/Chain.h"
#include "HostModel/Molecule.h"

namespace HostIO {

ChainKind PolymerKindByMajority(const std::vector<ResidueClass>& partResidues) {
    std::size_t polymer = 0, aminoAcids = 0, nucleotides = 0;
    for (const ResidueClass& residue : partResidues) {
        if (!residue.inPolymerEntity) continue;
        ++polymer;
        aminoAcids += residue.backboneType == ResidueType::AminoAcid;
        nucleotides += residue.backboneType == ResidueType::Nucleotide;
    }
    if (2 * aminoAcids > polymer) return ChainKind::Peptide;
    if (2 * nucleotides > polymer) return ChainKind::Nucleic;
    return ChainKind::OtherPolymer;
}

ChainTable::ChainTable() = default;
ChainTable::~ChainTable() = default;

HostModel::Chain& ChainTable::Get(const std::string& name, ChainKind kind, bool newRun) {
    if (kind != ChainKind::Ligand && name.empty()) {
        // Without chain ids a chain is what runs without interruption.
        if (newRun || !run_ || runKind_ != kind) {
            run_ = &Create(name, kind);
            runKind_ = kind;
        }
        return *run_;
    }
    if (lastFound_ && kind == lastKind_ && name == lastName_) return *lastFound_;
    auto found = byKey_.find({name, kind});
    HostModel::Chain* chain = found != byKey_.end() ? found->second : nullptr;
    if (!chain) {
        chain = &Create(name, kind);
        byKey_.emplace(std::make_pair(name, kind), chain);
    }
    lastFound_ = chain;
    lastName_ = name;
    lastKind_ = kind;
    return *chain;
}

HostModel::Chain& ChainTable::Water() {
    if (!water_) water_ = std::make_unique<HostModel::Chain>("Water");
    return *water_;
}

std::size_t ChainTable::MoveInto(HostModel::Molecule& molecule) {
    if (water_) chains_.push_back(std::move(water_));
    std::size_t count = 0;
    for (auto& chain : chains_) {
        if (chain->GetNumChildren() == 0) continue;
        molecule.Add(std::move(chain));
        ++count;
    }
    chains_.clear();
    byKey_.clear();
    lastFound_ = nullptr;
    run_ = nullptr;
    return count;
}

HostModel::Chain& ChainTable::Create(const std::string& name, ChainKind kind) {
    switch (kind) {
        case ChainKind::Peptide: chains_.push_back(std::make_unique<HostModel::AminoAcidChain>(name)); break;
        case ChainKind::Nucleic: chains_.push_back(std::make_unique<HostModel::NucleicAcidChain>(name)); break;
        default: chains_.push_back(std::make_unique<HostModel::Chain>(name)); break;
    }
    return *chains_.back();
}

}  // namespace HostIO
