#include "io/ResidueClassification.h"

#include "chem/ResidueConventions.h"

#include <gemmi/resinfo.hpp>
#include <gemmi/util.hpp>

#include <array>
#include <cstdint>
#include <cstring>
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

namespace {

ResidueClass Classify(const ResidueFacts& facts) {
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

// The facts of a residue whose name fits eight bytes, packed: two words to compare.
struct PackedFacts {
    std::uint64_t name = 0;
    std::uint32_t rest = 0;  // the name's length, the entity and the flags
    bool operator==(const PackedFacts& other) const { return name == other.name && rest == other.rest; }
};

PackedFacts Pack(const ResidueFacts& facts) {
    PackedFacts packed;
    if (!facts.name.empty()) std::memcpy(&packed.name, facts.name.data(), facts.name.size());
    packed.rest = static_cast<std::uint32_t>(facts.name.size()) | static_cast<std::uint32_t>(facts.entity) << 8 |
                  std::uint32_t{facts.hetatm} << 12 | std::uint32_t{facts.hasAlphaCarbon} << 13 |
                  std::uint32_t{facts.hasPhosphorus} << 14 | std::uint32_t{facts.hasSugarC1} << 15 | 1u << 16;
    return packed;
}

}  // namespace

ResidueClass ClassifyResidue(const ResidueFacts& facts) {
    // A pure function of the facts, asked once per residue: a structure repeats a few dozen
    // names and facts a hundred thousand times, and the residue table's lookup by name is
    // costly. Each thread remembers recent answers in a small table.
    if (facts.name.size() > sizeof(std::uint64_t)) return Classify(facts);
    struct Remembered {
        PackedFacts facts;  // rest is never 0 once filled
        ResidueClass answer;
    };
    thread_local std::array<Remembered, 64> remembered{};
    const PackedFacts packed = Pack(facts);
    const std::uint64_t mixed = (packed.name ^ (std::uint64_t{packed.rest} << 40)) * 0x9E3779B97F4A7C15ull;
    Remembered& slot = remembered[mixed >> 58];
    if (!(slot.facts == packed)) slot = Remembered{packed, Classify(facts)};
    return slot.answer;
}

}  // namespace HostIO
