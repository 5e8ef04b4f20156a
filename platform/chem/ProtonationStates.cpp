#include "chem/ProtonationStates.h"

#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "HostModel/TreeRoot.h"
#include "chem/Disulfides.h"
#include "chem/HistidineTautomer.h"
#include "chem/PkaValues.h"
#include "chem/PropkaRunner.h"
#include "chem/ResidueAtoms.h"
#include "Common/TwoHalves.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace HostChem {
namespace {

const char* const kTerminalState = "Terminal State";
constexpr unsigned kTerminalStateFlags = 0;

// A group is protonated below its pKa.
bool Protonated(double ph, double pka) { return ph < pka; }

// An amino acid whose states are open, with its ends as the bonds show them, found while its
// atoms were looked at for hydrogens. An N-terminus has no other residue's carbonyl C on its N
// (or no N); a C-terminus's carbonyl C is bonded to no other residue's N (a head-to-tail cyclic
// peptide and a chain capped by NME or NH2 have none).
struct OpenResidue {
    HostModel::Residue* residue;
    bool nTerminus;
    bool cTerminus;
};

// The ring nitrogens of the histidines that will be neutral: the only atoms whose neighbours the
// tautomer choice asks for.
std::vector<const HostModel::Atom*> NeutralHistidineNitrogens(const std::vector<OpenResidue> (&open)[2],
                                                              const PkaTable& pkas, double ph) {
    std::vector<const HostModel::Atom*> nitrogens;
    for (const std::vector<OpenResidue>& part : open) {
        for (const OpenResidue& end : part) {
            if (SideChainGroup(end.residue->GetResidueType()) != TitratableGroup::His) continue;
            if (Protonated(ph, pkas.Get(end.residue, TitratableGroup::His))) continue;
            for (const char* name : {"ND1", "NE2"})
                if (const HostModel::Atom* n = FindResidueAtom(*end.residue, name)) nitrogens.push_back(n);
        }
    }
    return nitrogens;
}

// How often each state was chosen, counted apart from the report's map and added to it at the
// end: the same counts, without a look-up by text per residue.
class StateTally {
public:
    void Count(const std::string& state) {
        const PackedName key = PackName(state);
        if (key == kUnpackedName) {
            unpacked_.emplace_back(state);
            return;
        }
        for (auto& entry : counts_) {
            if (entry.key == key) {
                ++entry.count;
                return;
            }
        }
        counts_.push_back({key, state, 1});
    }
    void AddTo(std::map<std::string, std::size_t>& counts) const {
        for (const auto& entry : counts_) counts[entry.name] += entry.count;
        for (const std::string& state : unpacked_) ++counts[state];
    }

private:
    struct Entry {
        PackedName key;
        std::string name;
        std::size_t count;
    };
    std::vector<Entry> counts_;
    std::vector<std::string> unpacked_;
};

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
    // In two halves, on two threads: the look at each residue's atoms waits on memory.
    std::vector<OpenResidue> open[2];
    Common::RunInTwoHalves(aminoAcids.size(), kResiduesWorthASecondThread, [&](std::size_t begin, std::size_t end, int part) {
        for (std::size_t i = begin; i < end; ++i) {
            HostModel::Residue* residue = aminoAcids[i];
            const ResidueLandmarks ends = FindBackboneEnds(*residue, true);
            if (ends.hasHydrogen) continue;
            // The ends now, while the residue's atoms are at hand: states change names, not bonds.
            open[part].push_back({residue, !ends.n || !LinkedToOtherSubUnit(*ends.n, PackName("C"), *residue),
                                  ends.c && !LinkedToOtherSubUnit(*ends.c, PackName("N"), *residue)});
        }
    });
    if (open[0].empty() && open[1].empty()) return;

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
    std::size_t termini[4] = {};  // N-terminus NH3+, NH2; C-terminus COOH, COO-
    StateTally tally;
    for (const std::vector<OpenResidue>& part : open) {
        for (const OpenResidue& end : part) {
            HostModel::Residue* residue = end.residue;
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
                        if (!polar)
                            polar =
                                std::make_unique<const PolarAtoms>(residues, NeutralHistidineNitrogens(open, pkas, ph));
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
                tally.Count(state);
            }
            // Termini: the charged forms are the templates' and need no mark; a neutral one is
            // recorded on the residue for the hydrogen placement.
            if (end.nTerminus) {
                const bool charged = Protonated(ph, pkas.Get(residue, TitratableGroup::NTerminus));
                if (!charged) residue->SetProperty(kTerminalState, "NH2", kTerminalStateFlags);
                ++termini[charged ? 0 : 1];
            }
            if (end.cTerminus) {
                const bool neutral = Protonated(ph, pkas.Get(residue, TitratableGroup::CTerminus));
                if (neutral) residue->SetProperty(kTerminalState, "COOH", kTerminalStateFlags);
                ++termini[neutral ? 2 : 3];
            }
        }
    }
    tally.AddTo(report.statesChosen);
    const char* const terminusNames[] = {"N-terminus NH3+", "N-terminus NH2", "C-terminus COOH", "C-terminus COO-"};
    for (std::size_t i = 0; i < 4; ++i)
        if (termini[i] > 0) report.statesChosen[terminusNames[i]] += termini[i];
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
