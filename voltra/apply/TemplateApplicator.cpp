// Template application: reset, per-atom write rule, N-terminal charge and molecule records.
#include "apply/TemplateApplicator.h"

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

#include <memory>
#include <string>

namespace Voltra {
namespace {

// Source texts written for every atom; built once instead of once per write.
const std::string& MissingSource() {
    static const std::string text(kSourceMissing);
    return text;
}

// Property ids of the reset, taken from the shared templates' names.
struct ResetIds {
    HostModel::PropertyNameId chargeValue;
    HostModel::PropertyNameId chargeSource;
    HostModel::PropertyNameId radiusValue;
    HostModel::PropertyNameId radiusSource;
    HostModel::PropertyNameId combinedSource;
    HostModel::PropertyTextId missing;      // "Missing"
    HostModel::PropertyTextId missingPair;  // "Missing + Missing"
};

// The end state of SetSource("Missing") then SetValue(0.0) with the charge template and then
// with the radius template, written directly: the combined text's intermediate value
// ("Missing + " and the old radius Source) is overwritten within the same reset, so it is
// skipped. New properties are created in the same order as the four calls would create them.
// The records are made room for at once: one allocation per atom instead of one per two.
void ResetAtomProperties(HostModel::Object& atom, const ResetIds& ids) {
    HostModel::PropertyStore& properties = atom.Properties();
    std::uint32_t added = 0;
    for (HostModel::PropertyNameId name :
         {ids.chargeSource, ids.combinedSource, ids.chargeValue, ids.radiusSource, ids.radiusValue}) {
        if (!properties.Has(name)) ++added;
    }
    properties.Reserve(static_cast<std::uint32_t>(properties.Size()) + added);
    properties.SetTextId(ids.chargeSource, ids.missing, kSourcePropertyFlags);
    properties.SetTextId(ids.combinedSource, ids.missingPair, kCombinedSourcePropertyFlags);
    properties.SetFloat(ids.chargeValue, 0.0f, kValuePropertyFlags);
    properties.SetTextId(ids.radiusSource, ids.missing, kSourcePropertyFlags);
    properties.SetFloat(ids.radiusValue, 0.0f, kValuePropertyFlags);
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

ResetIds TakeResetIds() {
    const Template& charges = SharedChargeTemplate();
    const Template& radii = SharedRadiusTemplate();
    return ResetIds{PropertyId(charges.GetValuePropertyName()),
                    PropertyId(charges.GetSourcePropertyName()),
                    PropertyId(radii.GetValuePropertyName()),
                    PropertyId(radii.GetSourcePropertyName()),
                    PropertyId(kCombinedSourcePropertyName),
                    HostModel::PropertyTexts::Intern(kSourceMissing),
                    HostModel::PropertyTexts::Intern(std::string(kSourceMissing) + " + " + kSourceMissing)};
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
    bool oneWalk = true;
    for (std::size_t k = 0; k + 1 < used.size(); ++k) oneWalk = oneWalk && !PutsNTerminalCharge(used[k]);
    if (!oneWalk) {
        ResetTemplateProperties(root_->GetDocument());
        for (const Pass& pass : used) Apply(*pass.values, PutsNTerminalCharge(pass));
        return;
    }

    // Every write of a pass touches one atom's own properties, so doing an atom's reset and
    // passes together leaves each atom as the passes in turn would; the molecule's N-terminal
    // charge and records follow in pass order. One walk instead of one per pass.
    const ResetIds resetIds = TakeResetIds();
    std::vector<TemplateIds> ids;
    std::vector<std::unique_ptr<TemplateLookupMemo>> lookups;
    for (const Pass& pass : used) {
        const Template& t = *pass.values;
        ids.push_back({PropertyId(t.GetValuePropertyName()), PropertyId(t.GetSourcePropertyName())});
        lookups.push_back(std::make_unique<TemplateLookupMemo>(t));
    }
    const HostModel::OrdCollection molecules = CollectVisibleMolecules(*root_);
    for (std::size_t i = 0; i < molecules.GetSize(); ++i) {
        auto& molecule = static_cast<HostModel::Molecule&>(*molecules[i]);
        HostModel::DescendentIterator atoms(&molecule, HostModel::Atom::classType, false, 0, nullptr);
        while (HostModel::Object* object = atoms.GetNext()) {
            auto& atom = static_cast<HostModel::Atom&>(*object);
            ResetAtomProperties(atom, resetIds);
            for (std::size_t k = 0; k < used.size(); ++k)
                ApplyTemplateToAtom(atom, *used[k].values, lookups[k]->Find(atom), ids[k]);
        }
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
