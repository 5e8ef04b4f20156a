#include "io/HostTreeBuilder.h"

#include "io/PdbRecordGuards.h"
#include "io/ReadError.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

#include <gemmi/elem.hpp>

namespace HostIO {
namespace {

BondRole RoleOf(std::string_view name, int atomicNumber, ResidueType type) {
    if (type == ResidueType::AminoAcid) {
        if (name == "C" && atomicNumber == 6) return BondRole::PeptideC;
        if (name == "N" && atomicNumber == 7) return BondRole::PeptideN;
    } else if (type == ResidueType::Nucleotide) {
        if (name == "O3'" || name == "O3*") return BondRole::NucleicO3;
        if (name == "P") return BondRole::NucleicP;
    }
    if (name == "SG" && atomicNumber == 16) return BondRole::DisulfideS;
    return BondRole::None;
}

bool IsIonElement(gemmi::Element element) {
    return element.is_metal() || element == gemmi::El::F || element == gemmi::El::Cl || element == gemmi::El::Br ||
           element == gemmi::El::I;
}

std::uint8_t BondFlags(const ResidueClass& residueClass, const std::vector<AtomSite>& atoms) {
    std::uint8_t flags = 0;
    if (residueClass.water) flags |= kWaterResidue;
    if (atoms.size() == 1 && !residueClass.water && IsIonElement(gemmi::Element(atoms[0].atomicNumber)))
        flags |= kIonResidue;
    if (residueClass.standard) flags |= kStandardPolymerResidue;
    if (residueClass.type == ResidueType::AminoAcid) flags |= kAminoAcidResidue;
    if (residueClass.type == ResidueType::Nucleotide) flags |= kNucleotideResidue;
    return flags;
}

std::unique_ptr<HostModel::Residue> MakeResidue(const ResidueSite& site, ResidueType type, const std::string& chainId) {
    const std::string name(site.name);
    const int number = site.number.value_or(0);
    std::string label = name;
    if (site.number) label += std::to_string(number);
    if (site.insertionCode != '\0') label += site.insertionCode;
    std::unique_ptr<HostModel::Residue> made;
    switch (type) {
        case ResidueType::AminoAcid: made = std::make_unique<HostModel::AminoAcid>(label, number, name); break;
        case ResidueType::Nucleotide: made = std::make_unique<HostModel::Nucleotide>(label, number, name); break;
        case ResidueType::Other: made = std::make_unique<HostModel::Residue>(label, number, name); break;
    }
    made->SetInputIdentity(number, site.insertionCode, chainId);
    return made;
}

}  // namespace

HostTreeBuilder::HostTreeBuilder(const std::string& label, const std::string& fileName) : fileName_(fileName) {
    out_.molecule = std::make_unique<HostModel::Molecule>(label);
}

HostTreeBuilder::~HostTreeBuilder() = default;

void HostTreeBuilder::ReserveAtoms(std::size_t atoms) {
    out_.atoms.reserve(atoms);
    bondAtoms_.reserve(atoms);
}

void HostTreeBuilder::StartPart(const std::string& chainId, ChainKind polymerKind) {
    chainId_ = chainId;
    polymerKind_ = polymerKind;
    previousWasPolymer_ = false;
}

void HostTreeBuilder::AddResidue(const ResidueSite& site, const ResidueClass& residueClass,
                                 const std::vector<AtomSite>& atoms) {
    if (!residueClass.known) out_.unknownResidues.emplace(site.name);
    HostModel::Chain& chain =
        residueClass.water
            ? chains_.Water()
            : chains_.Get(chainId_, residueClass.polymer ? polymerKind_ : ChainKind::Ligand, !previousWasPolymer_);
    previousWasPolymer_ = residueClass.polymer;
    residueFlags_.push_back(BondFlags(residueClass, atoms));
    std::unique_ptr<HostModel::Residue> residue = MakeResidue(site, residueClass.type, chainId_);
    AddAtoms(*residue, residueClass, atoms);
    chain.AddChild(std::move(residue));
    ++out_.residueCount;
}

void HostTreeBuilder::AddAtoms(HostModel::Residue& residue, const ResidueClass& residueClass,
                               const std::vector<AtomSite>& atoms) {
    const auto residueIndex = static_cast<std::uint32_t>(residueFlags_.size() - 1);
    residue.ReserveChildren(atoms.size());
    for (const AtomSite& site : atoms) {
        if (!IsAcceptedCoordinate(site.x) || !IsAcceptedCoordinate(site.y) || !IsAcceptedCoordinate(site.z)) {
            throw ReadError(fileName_, "atom '" + std::string(site.name) + "' of residue '" + residue.GetLabel() +
                                           "' has a coordinate that is not a finite number within 1e6 Å");
        }
        const gemmi::Element element(site.atomicNumber);
        const int z = element.atomic_number();
        if (z == 0 && out_.unknownElements++ == 0)
            out_.firstUnknownElement = "'" + std::string(site.name) + "' in residue '" + residue.GetLabel() + "'";
        auto atom = std::make_unique<HostModel::Atom>(std::string(site.name), z);
        atom->SetPosition({site.x, site.y, site.z});
        out_.atoms.push_back(atom.get());
        residue.AddChild(std::move(atom));

        BondAtom bondAtom;
        bondAtom.x = static_cast<float>(site.x);
        bondAtom.y = static_cast<float>(site.y);
        bondAtom.z = static_cast<float>(site.z);
        bondAtom.covalentRadius = element.covalent_r();
        bondAtom.residue = residueIndex;
        bondAtom.role = RoleOf(site.name, z, residueClass.type);
        bondAtom.hydrogen = element.is_hydrogen();
        bondAtoms_.push_back(bondAtom);
    }
}

BuiltMolecule HostTreeBuilder::Finish() {
    out_.chainCount = chains_.MoveInto(*out_.molecule);
    // Bonds while the molecule is still outside the document: no revision moves yet.
    const std::vector<BondPair> bonds = PerceiveBonds(bondAtoms_, residueFlags_);
    // Released before the atoms' bond lists are made, the largest allocation of the step.
    std::vector<BondAtom>().swap(bondAtoms_);
    std::vector<std::uint8_t>().swap(residueFlags_);
    std::vector<std::uint8_t> degree(out_.atoms.size(), 0);
    for (const BondPair& bond : bonds) {
        if (degree[bond.first] < UINT8_MAX) ++degree[bond.first];
        if (degree[bond.second] < UINT8_MAX) ++degree[bond.second];
    }
    for (std::size_t i = 0; i < degree.size(); ++i) {
        if (degree[i] > 0) out_.atoms[i]->ReserveBonds(degree[i]);
    }
    for (const BondPair& bond : bonds) HostModel::Atom::Bond(*out_.atoms[bond.first], *out_.atoms[bond.second]);
    out_.bondCount = bonds.size();
    return std::move(out_);
}

}  // namespace HostIO
