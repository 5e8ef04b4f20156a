#include "io/ResidueClassification.h"

#include "chem/ResidueConventions.h"

#include <gemmi/resinfo.hpp>
#include <gemmi/util.hpp>

#include <string>

namespace HostIO {
namespace {

// Protonation and bonding variants that force fields (AMBER, CHARMM) and PDB2PQR write for
// standard amino acids; gemmi's table lists them under their PDB names only.
bool IsForcefieldAminoAcid(const std::string& name) {
    static const char* const kNames[] = {"HID", "HIE", "HIP", "HSD", "HSE", "HSP", "CYX", "CYM", "ASH", "GLH", "LYN"};
    for (const char* known : kNames) {
        if (name == known) return true;
    }
    return false;
}

// gemmi's own test of a residue (HOH, DOD, WAT, H2O in any case), and the spellings of
// simulation programs (TIP3, SOL).
bool IsWaterName(const std::string& name) {
    const bool gemmiWater = name.size() == 3 && (gemmi::ialpha4_id(name.c_str()) == gemmi::ialpha4_id("HOH") ||
                                                 gemmi::ialpha4_id(name.c_str()) == gemmi::ialpha4_id("DOD") ||
                                                 gemmi::ialpha4_id(name.c_str()) == gemmi::ialpha4_id("WAT") ||
                                                 gemmi::ialpha4_id(name.c_str()) == gemmi::ialpha4_id("H2O"));
    return gemmiWater || HostChem::IsWaterResidueName(name);
}

ResidueType TableType(const std::string& name, const gemmi::ResidueInfo& info) {
    if (info.is_amino_acid() || IsForcefieldAminoAcid(name)) return ResidueType::AminoAcid;
    if (info.is_nucleic_acid()) return ResidueType::Nucleotide;
    return ResidueType::Other;
}

// Residues the table does not know are judged, inside a polymer, by their backbone.
ResidueType BackboneType(ResidueType tableType, const gemmi::ResidueInfo& info, const ResidueFacts& facts) {
    if (tableType != ResidueType::Other || info.found()) return tableType;
    if (facts.hasAlphaCarbon) return ResidueType::AminoAcid;
    if (facts.hasPhosphorus || facts.hasSugarC1) return ResidueType::Nucleotide;
    return ResidueType::Other;
}

// Without entities, a residue that looks like a polymer residue is one, so that a cap before the
// chain (ACE) or a ligand between chains does not hide the polymer around it. A standard residue
// written as HETATM is taken for a free one (buffer, ligand), as gemmi does.
bool InPolymerEntity(const ResidueFacts& facts, const gemmi::ResidueInfo& info, bool water, ResidueType backboneType) {
    if (facts.entity != ResidueEntity::JudgeByName) return facts.entity == ResidueEntity::Polymer;
    return !water && backboneType != ResidueType::Other && !(facts.hetatm && info.found() && info.is_standard());
}

}  // namespace

void NoteBackboneAtom(ResidueFacts& facts, std::string_view atomName, int atomicNumber) {
    if (atomName == "CA" && atomicNumber == 6) facts.hasAlphaCarbon = true;
    if (atomName == "P" && atomicNumber == 15) facts.hasPhosphorus = true;
    if (atomName == "C1'") facts.hasSugarC1 = true;
}

ResidueClass ClassifyResidue(const ResidueFacts& facts) {
    const std::string name(facts.name);
    const gemmi::ResidueInfo info = gemmi::find_tabulated_residue(name);
    const ResidueType tableType = TableType(name, info);
    ResidueClass out;
    out.water = IsWaterName(name) || facts.entity == ResidueEntity::Water;
    out.backboneType = BackboneType(tableType, info, facts);
    out.inPolymerEntity = InPolymerEntity(facts, info, out.water, out.backboneType);
    out.polymer = !out.water && out.inPolymerEntity;
    out.type = out.polymer ? out.backboneType : tableType;
    // Other conventions' names for standard residues (RA, DA5, T) link like the PDB's.
    out.standard = (info.found() && info.is_standard() && (info.is_amino_acid() || info.is_nucleic_acid())) ||
                   IsForcefieldAminoAcid(name) ||
                   (out.type != ResidueType::Other && HostChem::IsMappedResidueName(name));
    out.known = info.found() || IsForcefieldAminoAcid(name) || HostChem::IsMappedResidueName(name);
    return out;
}

}  // namespace HostIO
