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

std::unique_ptr<HostModel::Residue> NewResidue(const ResidueSite& site, ResidueType type, const std::string& chainId) {
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
    bondsWithinResidues_.reserve(atoms + atoms / 8);
}

void HostTreeBuilder::StartPart(const std::string& chainId, ChainKind polymerKind) {
    chainId_ = chainId;
    polymerKind_ = polymerKind;
    previousWasPolymer_ = false;
    StartMadePart(current_, chainId, polymerKind);
}

void HostTreeBuilder::AddResidue(const ResidueSite& site, const ResidueClass& residueClass,
                                 const std::vector<AtomSite>& atoms) {
    MakeResidue(current_, site, residueClass, atoms, fileName_);
    TakeAtomsOf(current_);
    Place(std::move(current_.residues.back()));
    current_.residues.clear();
}

void HostTreeBuilder::AddPart(MadePart&& part) {
    StartPart(part.chainId, part.polymerKind);
    TakeAtomsOf(part);
    for (MadeResidue& made : part.residues) Place(std::move(made));
    part.residues.clear();
}

void HostTreeBuilder::TakeAtomsOf(MadePart& part) {
    const auto firstResidue = static_cast<std::uint32_t>(residueFlags_.size());
    const auto firstAtom = static_cast<std::uint32_t>(bondAtoms_.size());
    // Appended a part at a time, then renumbered in place: one loop the compiler can unroll
    // instead of a capacity check per atom, on the thread every part passes through.
    bondAtoms_.insert(bondAtoms_.end(), part.bondAtoms.begin(), part.bondAtoms.end());
    for (auto atom = bondAtoms_.begin() + firstAtom; atom != bondAtoms_.end(); ++atom) atom->residue += firstResidue;
    const std::size_t firstBond = bondsWithinResidues_.size();
    bondsWithinResidues_.insert(bondsWithinResidues_.end(), part.bonds.begin(), part.bonds.end());
    for (auto bond = bondsWithinResidues_.begin() + static_cast<std::ptrdiff_t>(firstBond);
         bond != bondsWithinResidues_.end(); ++bond) {
        bond->first += firstAtom;
        bond->second += firstAtom;
    }
    part.bondAtoms.clear();
    part.bonds.clear();
    if (out_.unknownElements == 0) out_.firstUnknownElement = part.firstUnknownElement;
    out_.unknownElements += part.unknownElements;
    part.unknownElements = 0;
    part.firstUnknownElement.clear();
}

void HostTreeBuilder::Place(MadeResidue&& made) {
    const ResidueClass& residueClass = made.residueClass;
    if (!residueClass.known) out_.unknownResidues.emplace(made.residue->GetResidueType());
    HostModel::Chain& chain =
        residueClass.water
            ? chains_.Water()
            : chains_.Get(chainId_, residueClass.polymer ? polymerKind_ : ChainKind::Ligand, !previousWasPolymer_);
    previousWasPolymer_ = residueClass.polymer;
    residueFlags_.push_back(made.bondFlags);
    for (std::size_t i = 0; i < made.residue->GetNumChildren(); ++i)
        out_.atoms.push_back(static_cast<HostModel::Atom*>(made.residue->GetChild(i)));
    chain.AddChild(std::move(made.residue));
    ++out_.residueCount;
}

void StartMadePart(MadePart& part, const std::string& chainId, ChainKind polymerKind) {
    part.chainId = chainId;
    part.polymerKind = polymerKind;
}

void MakeResidue(MadePart& part, const ResidueSite& site, const ResidueClass& residueClass,
                 const std::vector<AtomSite>& atoms, const std::string& fileName) {
    std::unique_ptr<HostModel::Residue> residue = NewResidue(site, residueClass.type, part.chainId);
    const auto residueIndex = static_cast<std::uint32_t>(part.residues.size());
    const auto firstAtom = static_cast<std::uint32_t>(part.bondAtoms.size());
    residue->ReserveChildren(atoms.size());
    for (const AtomSite& site : atoms) {
        if (!IsAcceptedCoordinate(site.x) || !IsAcceptedCoordinate(site.y) || !IsAcceptedCoordinate(site.z)) {
            throw ReadError(fileName, "atom '" + std::string(site.name) + "' of residue '" + residue->GetLabel() +
                                          "' has a coordinate that is not a finite number within 1e6 Å");
        }
        const gemmi::Element element(site.atomicNumber);
        const int z = element.atomic_number();
        if (z == 0 && part.unknownElements++ == 0)
            part.firstUnknownElement = "'" + std::string(site.name) + "' in residue '" + residue->GetLabel() + "'";
        auto atom = std::make_unique<HostModel::Atom>(std::string(site.name), z);
        atom->SetPosition({site.x, site.y, site.z});
        residue->AddChild(std::move(atom));

        BondAtom bondAtom;
        bondAtom.x = static_cast<float>(site.x);
        bondAtom.y = static_cast<float>(site.y);
        bondAtom.z = static_cast<float>(site.z);
        bondAtom.covalentRadius = element.covalent_r();
        bondAtom.residue = residueIndex;
        bondAtom.role = RoleOf(site.name, z, residueClass.type);
        bondAtom.hydrogen = element.is_hydrogen();
        part.bondAtoms.push_back(bondAtom);
    }
    const std::uint8_t flags = BondFlags(residueClass, atoms);
    BondWithinResidue(part.bondAtoms, firstAtom, static_cast<std::uint32_t>(atoms.size()), flags, part.bonds);
    part.residues.push_back({std::move(residue), residueClass, flags});
}

BuiltMolecule HostTreeBuilder::Finish() {
    out_.chainCount = chains_.MoveInto(*out_.molecule);
    // Bonds while the molecule is still outside the document: no revision moves yet. The bonds
    // inside residues were found as each was made; the rest join them, and every atom's list is
    // made once, in the order of its partners, without sorting all the pairs first.
    std::vector<BondPair> bonds;
    bonds.swap(bondsWithinResidues_);
    const std::vector<BondPair> remaining = PerceiveRemainingBonds(bondAtoms_, residueFlags_);
    bonds.insert(bonds.end(), remaining.begin(), remaining.end());
    // Released before the atoms' bond lists are made, the largest allocation of the step.
    std::vector<BondAtom>().swap(bondAtoms_);
    std::vector<std::uint8_t>().swap(residueFlags_);
    HostModel::Atom::BondAll(out_.atoms, bonds);
    out_.bondCount = bonds.size();
    return std::move(out_);
}

}  // namespace HostIO
