// Template application: reset, per-atom write rule, N-terminal charge and molecule records.
#include "apply/TemplateApplicator.h"

#include "apply/AssignmentWalk.h"
#include "apply/AtomReset.h"
#include "apply/ChemistryTrackerHelper.h"
#include "apply/TemplateLookupMemo.h"
#include "apply/VisibleMolecules.h"
#include "templates/PropertyIds.h"
#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"
#include "Quorva_ProteinCore/BuilderUtility.h"

#include <algorithm>
#include <memory>
#include <string>

namespace Voltra {
namespace {

// Source texts written for every atom; built once instead of once per write.
const std::string& MissingSource() {
    static const std::string text(kSourceMissing);
    return text;
}

// The property ids of one template's pass, taken once instead of once per atom.
struct TemplateIds {
    HostModel::PropertyNameId value;
    HostModel::PropertyNameId source;
};

// A hit overwrites value and Source; a miss rewrites 0.0 only on an atom still "Missing" and
// otherwise keeps what an earlier template (or command) gave it. The value and the Missing test
// go through the ids as Template::SetValue and IsSourceMissing do; the Source through
// Template::SetSource, which also refreshes the combined Source.
void ApplyTemplateToAtom(HostModel::Atom& atom, const Template& t, const TemplateLookupMemo::Answer& found,
                         const TemplateIds& ids) {
    HostModel::PropertyStore& properties = atom.Properties();
    const std::string* source = properties.GetText(ids.source);
    if (!found.missing || (source != nullptr && *source == kSourceMissing)) {
        properties.SetFloat(ids.value, found.value, kValuePropertyFlags);
        t.SetSource(atom, *found.source);
    } else if (!properties.Has(ids.source)) {
        // Never assigned (no reset before): mark it, but write no value.
        t.SetSource(atom, MissingSource());
    }
}

// Charge 1.0 on the backbone N of the first N-terminal amino acid of each amino-acid chain.
void ApplyNTerminalCharge(const HostModel::Molecule& molecule, const Template& t) {
    HostModel::DescendentIterator chains(&molecule, HostModel::Chain::classType, false, 0, nullptr);
    while (HostModel::Object* chain = chains.GetNext()) {
        if (!chain->IsA(HostModel::AminoAcidChain::classType)) continue;
        // Sub-units are not searched for nested sub-units.
        HostModel::DescendentIterator subUnits(chain, HostModel::SubUnit::classType, true, 0, nullptr);
        while (HostModel::Object* subUnit = subUnits.GetNext()) {
            if (!subUnit->IsA(HostModel::AminoAcid::classType) ||
                !Quorva_ProteinCore::BuilderUtility::IsNTerminus(static_cast<const HostModel::SubUnit*>(subUnit))) {
                continue;
            }
            HostModel::DescendentIterator atoms(subUnit, HostModel::Atom3d::classType, false, 0, nullptr);
            while (HostModel::Object* atom = atoms.GetNext()) {
                if (atom->GetLabel() == "N") {
                    t.SetValue(*atom, 1.0f);
                    t.SetSource(*atom, t.GetSourceName());
                    break;
                }
            }
            // One N-terminal charge per chain at most, found or not.
            break;
        }
    }
}

void RecordMoleculeTemplate(HostModel::Molecule& molecule, const Template& t) {
    molecule.SetProperty(t.GetTemplatePropertyName(), t.GetFileName(), kTemplatePropertyFlags);
}

bool PutsNTerminalCharge(const TemplateApplicator::Pass& pass) {
    return pass.charge && pass.values->GetSourceName() != "Amber";
}

}  // namespace

void ResetTemplateProperties(HostModel::ChemDoc* doc) {
    if (doc == nullptr || doc->GetTreeRoot() == nullptr) return;
    const ResetIds ids = TakeResetIds();
    const HostModel::OrdCollection molecules = CollectVisibleMolecules(*doc->GetTreeRoot());
    for (std::size_t i = 0; i < molecules.GetSize(); ++i) {
        HostModel::DescendentIterator atoms(molecules[i], HostModel::Atom::classType, false, 0, nullptr);
        while (HostModel::Object* atom = atoms.GetNext()) ResetAtomProperties(*atom, ids);
    }
}

TemplateApplicator::TemplateApplicator(HostModel::ChemDoc* doc) : root_(doc ? doc->GetTreeRoot() : nullptr) {}

TemplateApplicator::~TemplateApplicator() {
    if (root_ != nullptr) ChemistryTrackerHelper::StartTracking(*root_);
}

void TemplateApplicator::ApplyChargeTemplate(TemplatePtr chargeTemplate) {
    if (chargeTemplate && root_ != nullptr) Apply(*chargeTemplate, PutsNTerminalCharge({chargeTemplate, true}));
}

void TemplateApplicator::ApplyRadiusTemplate(TemplatePtr radiusTemplate) {
    if (radiusTemplate && root_ != nullptr) Apply(*radiusTemplate, false);
}

void TemplateApplicator::ResetAndApply(const std::vector<Pass>& passes) {
    if (root_ == nullptr) return;
    std::vector<Pass> used;
    for (const Pass& pass : passes)
        if (pass.values) used.push_back(pass);
    // The N-terminal charge goes on after the walk. Only a later pass writing the same Source
    // would have seen it before its own write (its miss rule reads that Source); a pass of the
    // other kind rewrites the combined Source, which the N-terminal write refreshes again from
    // the same two final Sources.
    bool oneWalk = true;
    std::vector<HostModel::PropertyNameId> nTerminalSources;
    for (const Pass& pass : used) {
        const HostModel::PropertyNameId source = PropertyId(pass.values->GetSourcePropertyName());
        oneWalk = oneWalk && WritesResetProperties(*pass.values) &&
                  std::find(nTerminalSources.begin(), nTerminalSources.end(), source) == nTerminalSources.end();
        if (PutsNTerminalCharge(pass)) nTerminalSources.push_back(source);
    }
    if (!oneWalk) {
        ResetTemplateProperties(root_->GetDocument());
        for (const Pass& pass : used) Apply(*pass.values, PutsNTerminalCharge(pass));
        return;
    }

    std::vector<const Template*> templates;
    for (const Pass& pass : used) templates.push_back(pass.values.get());
    const HostModel::OrdCollection molecules = CollectVisibleMolecules(*root_);
    AssignAtomsInOneWalk(molecules, templates);
    // Each molecule's steps touch its own atoms and record: molecule by molecule, in pass order.
    for (std::size_t i = 0; i < molecules.GetSize(); ++i) {
        auto& molecule = static_cast<HostModel::Molecule&>(*molecules[i]);
        for (const Pass& pass : used) {
            if (PutsNTerminalCharge(pass)) ApplyNTerminalCharge(molecule, *pass.values);
            RecordMoleculeTemplate(molecule, *pass.values);
        }
    }
}

void TemplateApplicator::Apply(const Template& t, bool nTerminalRule) {
    const TemplateIds ids{PropertyId(t.GetValuePropertyName()), PropertyId(t.GetSourcePropertyName())};
    const HostModel::OrdCollection molecules = CollectVisibleMolecules(*root_);
    TemplateLookupMemo lookups(t);
    for (std::size_t i = 0; i < molecules.GetSize(); ++i) {
        auto& molecule = static_cast<HostModel::Molecule&>(*molecules[i]);
        HostModel::DescendentIterator atoms(&molecule, HostModel::Atom::classType, false, 0, nullptr);
        while (HostModel::Object* object = atoms.GetNext()) {
            auto& atom = static_cast<HostModel::Atom&>(*object);
            ApplyTemplateToAtom(atom, t, lookups.Find(atom), ids);
        }
        if (nTerminalRule) ApplyNTerminalCharge(molecule, t);
        RecordMoleculeTemplate(molecule, t);
    }
}

}  // namespace Voltra
