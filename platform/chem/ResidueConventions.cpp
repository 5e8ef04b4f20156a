#include "chem/ResidueConventions.h"

#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "chem/Disulfides.h"
#include "chem/ResidueAtoms.h"
#include "chem/TypeNameMemo.h"

#include <cstring>
#include <map>
#include <string>

namespace HostChem {
namespace {

// ---------------------------------------------------------------------------------------------
// Residue names

// Names whose meaning does not depend on the sugar: Amber's and PDB2PQR's terminal and RNA
// residues, CHARMM's histidines, older cap spellings. "N" ends are Amber's single-residue
// strands (both ends free).
const std::map<std::string, std::string>& FixedResidueNames() {
    static const std::map<std::string, std::string> kNames = {
        {"DA5", "DA"},  {"DA3", "DA"},  {"DAN", "DA"},  {"DC5", "DC"},   {"DC3", "DC"},  {"DCN", "DC"},  {"DG5", "DG"},
        {"DG3", "DG"},  {"DGN", "DG"},  {"DT5", "DT"},  {"DT3", "DT"},   {"DTN", "DT"},  {"RA", "A"},    {"RA5", "A"},
        {"RA3", "A"},   {"RAN", "A"},   {"RC", "C"},    {"RC5", "C"},    {"RC3", "C"},   {"RCN", "C"},   {"RG", "G"},
        {"RG5", "G"},   {"RG3", "G"},   {"RGN", "G"},   {"RU", "U"},     {"RU5", "U"},   {"RU3", "U"},   {"RUN", "U"},
        {"HSD", "HID"}, {"HSE", "HIE"}, {"HSP", "HIP"}, {"CYS2", "CYX"}, {"NMA", "NME"}, {"NHE", "NH2"},
    };
    return kNames;
}

// Names that say the base but not the sugar: older PDB files (A, C, G, T) and CHARMM (ADE, ...).
// A deoxyribose (no O2') makes them DNA.
struct BaseName {
    const char* name;
    const char* dna;
    const char* rna;  // null: no RNA reading (T is thymine, DNA's base)
};
const BaseName kBaseNames[] = {
    {"A", "DA", "A"},   {"C", "DC", "C"},   {"G", "DG", "G"},       {"T", "DT", nullptr},  {"ADE", "DA", "A"},
    {"CYT", "DC", "C"}, {"GUA", "DG", "G"}, {"THY", "DT", nullptr}, {"URA", nullptr, "U"},
};

const char* const kWaterNames[] = {"HOH", "WAT", "H2O", "DOD", "TIP", "TIP3", "TIP4", "TIP5",
                                   "TP3", "TP4", "T3P", "T4P", "SOL", "SPC",  "SPCE"};

bool IsNucleotideName(const std::string& name) {
    static const char* const kNames[] = {"DA", "DC", "DG", "DT", "DU", "A", "C", "G", "U"};
    for (const char* known : kNames) {
        if (name == known) return true;
    }
    return false;
}

// A nucleotide's sugar: C1' tells a nucleotide from a ligand that happens to be called A or C.
bool HasSugar(const HostModel::Residue& residue) {
    return HasResidueAtom(residue, "C1'") || HasResidueAtom(residue, "C1*");
}

bool HasO2Prime(const HostModel::Residue& residue) {
    return HasResidueAtom(residue, "O2'") || HasResidueAtom(residue, "O2*");
}

bool IsWaterName(const std::string& name) {
    for (const char* water : kWaterNames) {
        if (name == water) return true;
    }
    return false;
}

// What a residue's type name alone says about its PDB name; the rest is the residue's sugar.
struct NameFacts {
    std::string fixedName;             // another convention's name for a PDB name; empty for none
    const BaseName* base = nullptr;    // names the base alone: DNA or RNA by the sugar
    bool water = false;                // a spelling of water: HOH
    bool nucleotideIfKept = false;     // a nucleotide's PDB name as it stands
    bool MayChange() const { return !fixedName.empty() || base || water || nucleotideIfKept; }
};

NameFacts FactsOf(const std::string& name) {
    NameFacts facts;
    const auto fixed = FixedResidueNames().find(name);
    if (fixed != FixedResidueNames().end()) facts.fixedName = fixed->second;
    for (const BaseName& base : kBaseNames) {
        if (name == base.name) facts.base = &base;
    }
    facts.water = IsWaterName(name);
    facts.nucleotideIfKept = IsNucleotideName(name);
    return facts;
}

std::string PdbResidueName(const HostModel::Residue& residue, const NameFacts& facts) {
    if (!facts.fixedName.empty()) return facts.fixedName;
    const std::string& name = residue.GetResidueType();
    if (facts.base && HasSugar(residue)) {
        const char* mapped = HasO2Prime(residue) ? facts.base->rna : facts.base->dna;
        return mapped ? mapped : name;
    }
    if (facts.water) return "HOH";
    return name;
}

// ---------------------------------------------------------------------------------------------
// Atom names

// Older PDB files write the sugar's prime as '*' and the phosphate oxygens as O1P; Amber and
// PDB2PQR's thymine methyl is C5M.
std::string PdbNucleotideAtomName(std::string name) {
    for (char& c : name) {
        if (c == '*') c = '\'';
    }
    if (name == "O1P") return "OP1";
    if (name == "O2P") return "OP2";
    if (name == "O3P") return "OP3";
    if (name == "C5M") return "C7";
    return name;
}

// TIP3P as CHARMM writes it (OH2). Amber's OW is left: the templates carry it.
std::string PdbWaterAtomName(const std::string& name) { return name == "OH2" ? "O" : name; }

void Count(std::map<std::string, std::size_t>& counts, const std::string& from, const std::string& to) {
    ++counts[from + " -> " + to];
}

// ---------------------------------------------------------------------------------------------
// States from hydrogens

// The state a residue's hydrogens state, or the empty string when they say none (a HIS with
// neither ring hydrogen, a LYS whose NZ carries none). Plain names are states too (a HIS with
// HE2 alone is HIE, an ASP without HD2 is ASP), so that an input name the hydrogens contradict
// is corrected.
std::string StateFromHydrogens(const HostModel::Residue& residue, const std::set<const HostModel::Residue*>& bridged) {
    const std::string& name = residue.GetResidueType();
    if (name == "HIS" || name == "HID" || name == "HIE" || name == "HIP") {
        const bool hd1 = HasResidueAtom(residue, "HD1");
        const bool he2 = HasResidueAtom(residue, "HE2");
        if (hd1 && he2) return "HIP";
        if (hd1) return "HID";
        if (he2) return "HIE";
        return {};
    }
    if (name == "ASP" || name == "ASH") return HasResidueAtom(residue, "HD2") ? "ASH" : "ASP";
    if (name == "GLU" || name == "GLH") return HasResidueAtom(residue, "HE2") ? "GLH" : "GLU";
    if (name == "LYS" || name == "LYN") {
        if (!HasResidueAtom(residue, "NZ")) return {};
        const int hz = HasResidueAtom(residue, "HZ1") + HasResidueAtom(residue, "HZ2") + HasResidueAtom(residue, "HZ3");
        if (hz == 3) return "LYS";
        if (hz == 2) return "LYN";
        return {};
    }
    if (name == "CYS" || name == "CYX" || name == "CYM") {
        if (!HasResidueAtom(residue, "SG")) return {};
        if (HasResidueAtom(residue, "HG")) return "CYS";
        return bridged.count(&residue) ? "CYX" : "CYM";
    }
    return {};
}

bool IsVariantName(const std::string& name) {
    static const char* const kVariants[] = {"HID", "HIE", "HIP", "ASH", "GLH", "LYN", "CYX", "CYM"};
    for (const char* variant : kVariants) {
        if (name == variant) return true;
    }
    return false;
}

}  // namespace

bool IsWaterResidueName(const std::string& name) { return IsWaterName(name); }

bool IsMappedResidueName(const std::string& name) {
    if (FixedResidueNames().count(name) || IsWaterResidueName(name)) return true;
    for (const BaseName& base : kBaseNames) {
        if (name == base.name && std::strlen(base.name) > 1) return true;
    }
    return name == "T";
}

struct ResidueNameMapper::Memo {
    TypeNameMemo<NameFacts> facts;
};

ResidueNameMapper::ResidueNameMapper() : memo_(std::make_unique<Memo>()) {}

ResidueNameMapper::~ResidueNameMapper() = default;

void ResidueNameMapper::Map(HostModel::Residue& residue, HostModel::PreparationReport& report) {
    // Most residues are proteins' under their PDB names: the name settles it.
    const NameFacts& facts = memo_->facts.Get(residue.GetResidueType(), FactsOf);
    if (!facts.MayChange()) return;
    const std::string from = residue.GetResidueType();
    const std::string to = PdbResidueName(residue, facts);
    if (to != from) {
        residue.SetResidueType(to);
        Count(report.namesMapped, from, to);
    }
    const bool nucleotide = IsNucleotideName(to) && HasSugar(residue);
    const bool water = to == "HOH";
    if (!nucleotide && !water) return;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* atom = residue.GetChild(i);
        if (!atom->IsA(HostModel::Atom::classType)) continue;
        const std::string& label = atom->GetLabel();
        const std::string mapped = nucleotide ? PdbNucleotideAtomName(label) : PdbWaterAtomName(label);
        if (mapped == label) continue;
        Count(report.namesMapped, label, mapped);
        atom->SetLabel(mapped);
    }
}

bool ResidueNameMapper::Changes(const HostModel::Residue& residue) {
    const NameFacts& facts = memo_->facts.Get(residue.GetResidueType(), FactsOf);
    if (!facts.MayChange()) return false;
    const std::string to = PdbResidueName(residue, facts);
    if (to != residue.GetResidueType()) return true;
    const bool nucleotide = IsNucleotideName(to) && HasSugar(residue);
    if (!nucleotide && to != "HOH") return false;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        const HostModel::Object* atom = residue.GetChild(i);
        if (!atom->IsA(HostModel::Atom::classType)) continue;
        const std::string& label = atom->GetLabel();
        if ((nucleotide ? PdbNucleotideAtomName(label) : PdbWaterAtomName(label)) != label) return true;
    }
    return false;
}

void MapResidueNamesToPdb(HostModel::Molecule& molecule, HostModel::PreparationReport& report) {
    ResidueNameMapper mapper;
    for (HostModel::Residue* residue : ResiduesBelow(molecule)) mapper.Map(*residue, report);
}

bool IsCysteineStateName(const std::string& name) { return name == "CYS" || name == "CYX" || name == "CYM"; }

void ReadStatesFromHydrogens(const std::vector<HostModel::Residue*>& decidable,
                             const std::vector<HostModel::Residue*>& cysteines, HostModel::PreparationReport& report) {
    if (decidable.empty()) return;
    const std::set<const HostModel::Residue*> bridged = FindBridgedCysteines(cysteines);
    for (HostModel::Residue* residue : decidable) {
        const std::string state = StateFromHydrogens(*residue, bridged);
        if (state.empty()) continue;
        if (state != residue->GetResidueType()) residue->SetResidueType(state);
        // Counted: the variants, which are what the hydrogens add to the residue's name.
        if (IsVariantName(state)) ++report.statesFromHydrogens[state];
    }
}

void ReadStatesFromHydrogens(HostModel::Molecule& molecule, HostModel::PreparationReport& report) {
    std::vector<HostModel::Residue*> cysteines;
    std::vector<HostModel::Residue*> decidable;
    for (HostModel::Residue* residue : ResiduesBelow(molecule)) {
        if (!residue->IsA(HostModel::AminoAcid::classType)) continue;
        if (IsCysteineStateName(residue->GetResidueType())) cysteines.push_back(residue);
        // Hydrogens anywhere on the residue show that the file states its hydrogens; a
        // residue without any is the protonation step's to decide.
        if (CarriesHydrogens(*residue)) decidable.push_back(residue);
    }
    ReadStatesFromHydrogens(decidable, cysteines, report);
}

}  // namespace HostChem
