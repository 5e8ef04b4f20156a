#include "chem/ProtonationStates.h"

#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "HostModel/TreeRoot.h"
#include "Quorva_ProteinCore/BuilderUtility.h"
#include "chem/Disulfides.h"
#include "chem/HistidineTautomer.h"
#include "chem/PkaValues.h"
#include "chem/PropkaRunner.h"
#include "chem/ResidueAtoms.h"

#include <cstdio>
#include <memory>
#include <string>

namespace HostChem {
namespace {

const char* const kTerminalState = "Terminal State";
constexpr unsigned kTerminalStateFlags = 0;

// An amino acid whose carbonyl C is bonded to no other residue's N: the end of its chain (or a
// break). A head-to-tail cyclic peptide and a chain capped by NME or NH2 have none.
bool IsCTerminus(const HostModel::Residue& residue) {
    const HostModel::Atom* c = FindResidueAtom(residue, "C");
    if (!c) return false;
    for (const HostModel::Atom* partner : c->GetBonds()) {
        const HostModel::Object* owner = partner->GetParent();
        if (partner->GetLabel() == "N" && owner != &residue && owner && owner->IsA(HostModel::SubUnit::classType)) {
            return false;
        }
    }
    return true;
}

// A group is protonated below its pKa.
bool Protonated(double ph, double pka) { return ph < pka; }

std::vector<HostModel::Residue*> VisibleResidues(const HostModel::ChemDoc& doc) {
    std::vector<HostModel::Residue*> residues;
    const HostModel::TreeRoot* root = doc.GetTreeRoot();
    for (std::size_t i = 0; i < root->GetNumChildren(); ++i) {
        const HostModel::Object* molecule = root->GetChild(i);
        if (!molecule->IsA(HostModel::Molecule::classType) || !molecule->IsVisible()) continue;
        for (HostModel::Residue* residue : ResiduesBelow(*molecule)) residues.push_back(residue);
    }
    return residues;
}

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

void ChooseProtonationStates(HostModel::ChemDoc& doc) {
    const HostModel::ProtonationSettings& settings = doc.GetProtonationSettings();
    HostModel::PreparationReport& report = doc.GetPreparationReport();
    const double ph = settings.ph;

    const std::vector<HostModel::Residue*> residues = VisibleResidues(doc);
    std::vector<HostModel::Residue*> aminoAcids, cysteines;
    for (HostModel::Residue* residue : residues) {
        if (!residue->IsA(HostModel::AminoAcid::classType)) continue;
        aminoAcids.push_back(residue);
        const std::string& name = residue->GetResidueType();
        if (name == "CYS" || name == "CYX" || name == "CYM") cysteines.push_back(residue);
    }
    // Residues that carry hydrogens had their state read from them when the file was read;
    // residues named as a variant (HID, CYX, ...) were decided by the file's author.
    std::vector<HostModel::Residue*> open;
    for (HostModel::Residue* residue : aminoAcids) {
        if (!CarriesHydrogens(*residue)) open.push_back(residue);
    }
    if (open.empty()) return;

    PkaTable pkas;
    if (settings.pkaSource == HostModel::ProtonationSettings::PkaSource::Propka) {
        pkas = RunPropka(residues, settings.propkaProgram);
        report.pkaSource = "propka";
    } else {
        report.pkaSource = "model";
    }
    report.ph = ph;

    const std::set<const HostModel::Residue*> bridged = FindBridgedCysteines(cysteines);
    // Only neutral histidines ask for neighbours; a structure without them skips the index.
    std::unique_ptr<const PolarAtoms> polar;
    std::size_t tyrosinates = 0, neutralArginines = 0;
    for (HostModel::Residue* residue : open) {
        const std::string name = residue->GetResidueType();
        const std::optional<TitratableGroup> group = SideChainGroup(name);
        if (group) {
            const bool protonated = Protonated(ph, pkas.Get(residue, *group));
            std::string state = name;
            switch (*group) {
                case TitratableGroup::Asp: state = protonated ? "ASH" : "ASP"; break;
                case TitratableGroup::Glu: state = protonated ? "GLH" : "GLU"; break;
                case TitratableGroup::His:
                    if (protonated) {
                        state = "HIP";
                        break;
                    }
                    if (!polar) polar = std::make_unique<const PolarAtoms>(residues);
                    state = ChooseHistidineTautomer(*residue, *polar);
                    break;
                case TitratableGroup::Cys:
                    // A bridge holds whatever the pH: the sulfur has no hydrogen to lose.
                    state = bridged.count(residue) ? "CYX" : protonated ? "CYS" : "CYM";
                    break;
                case TitratableGroup::Lys: state = protonated ? "LYS" : "LYN"; break;
                // No charge template has a tyrosinate or a neutral arginine for every scheme
                // (Amber has neither): they stay TYR and ARG, and the user is told.
                case TitratableGroup::Tyr: tyrosinates += !protonated; break;
                case TitratableGroup::Arg: neutralArginines += !protonated; break;
                case TitratableGroup::NTerminus:
                case TitratableGroup::CTerminus: break;
            }
            if (state != name) residue->SetResidueType(state);
            ++report.statesChosen[state];
        }
        // Termini: the charged forms are the templates' and need no mark; a neutral one is
        // recorded on the residue for the hydrogen placement.
        if (Quorva_ProteinCore::BuilderUtility::IsNTerminus(residue)) {
            const bool charged = Protonated(ph, pkas.Get(residue, TitratableGroup::NTerminus));
            if (!charged) residue->SetProperty(kTerminalState, "NH2", kTerminalStateFlags);
            ++report.statesChosen[charged ? "N-terminus NH3+" : "N-terminus NH2"];
        }
        if (IsCTerminus(*residue)) {
            const bool neutral = Protonated(ph, pkas.Get(residue, TitratableGroup::CTerminus));
            if (neutral) residue->SetProperty(kTerminalState, "COOH", kTerminalStateFlags);
            ++report.statesChosen[neutral ? "C-terminus COOH" : "C-terminus COO-"];
        }
    }
    if (tyrosinates > 0) {
        report.warnings.push_back(std::to_string(tyrosinates) + " tyrosine(s) would be deprotonated at ph " +
                                  Format("%.2f", ph) + ": kept neutral (tyr), no template has the tyrosinate");
    }
    if (neutralArginines > 0) {
        report.warnings.push_back(std::to_string(neutralArginines) + " arginine(s) would be neutral at ph " +
                                  Format("%.2f", ph) + ": kept charged (arg), no template has a neutral arginine");
    }
}

}  // namespace HostChem
