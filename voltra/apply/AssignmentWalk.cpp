// The reset and the template passes atom by atom, over one or two ranges of the atoms.
#include "apply/AssignmentWalk.h"

#include "apply/AtomReset.h"
#include "apply/AtomWalkSplit.h"
#include "apply/SourceTextTable.h"
#include "apply/TemplateLookupMemo.h"
#include "templates/PropertyIds.h"
#include "templates/PropertyVocabulary.h"
#include "templates/Template.h"

#include <exception>
#include <memory>
#include <thread>

namespace Voltra {
namespace {

struct PassIds {
    HostModel::PropertyNameId value;
    HostModel::PropertyNameId source;
};

// What a walk reads and never changes, shared by both threads.
struct WalkPlan {
    const std::vector<const Template*>& templates;
    std::vector<PassIds> passes;
    ResetIds reset;
    SourceTextTable texts;
};

// A pass's write rule (see ApplyTemplateToAtom) on an atom just reset: both Sources are texts,
// so the Missing test and the combined Source go by id, and every record exists already.
void ApplyAnswer(HostModel::PropertyStore& properties, const PassIds& pass, const TemplateLookupMemo::Answer& found,
                 const WalkPlan& plan) {
    HostModel::PropertyTextId current = plan.reset.missing;
    properties.GetTextId(pass.source, current);
    if (found.missing && current != plan.reset.missing) return;
    properties.SetFloat(pass.value, found.value, kValuePropertyFlags);
    properties.SetTextId(pass.source, found.sourceId, kSourcePropertyFlags);
    HostModel::PropertyTextId charge = found.sourceId;
    HostModel::PropertyTextId radius = found.sourceId;
    if (pass.source != plan.reset.chargeSource) properties.GetTextId(plan.reset.chargeSource, charge);
    if (pass.source != plan.reset.radiusSource) properties.GetTextId(plan.reset.radiusSource, radius);
    properties.SetTextId(plan.reset.combinedSource, plan.texts.Combined(charge, radius), kCombinedSourcePropertyFlags);
}

void WalkRange(const AtomRange& range, const WalkPlan& plan) {
    std::vector<std::unique_ptr<TemplateLookupMemo>> memos;
    for (const Template* t : plan.templates) memos.push_back(std::make_unique<TemplateLookupMemo>(*t));
    ForEachAtom(range, [&](HostModel::Atom& atom) {
        ResetAtomProperties(atom, plan.reset);
        HostModel::PropertyStore& properties = atom.Properties();
        for (std::size_t k = 0; k < memos.size(); ++k)
            ApplyAnswer(properties, plan.passes[k], memos[k]->Find(atom), plan);
    });
}

}  // namespace

bool WritesResetProperties(const Template& t) {
    const HostModel::PropertyNameId value = PropertyId(t.GetValuePropertyName());
    const HostModel::PropertyNameId source = PropertyId(t.GetSourcePropertyName());
    const ResetIds reset = TakeResetIds();
    return (value == reset.chargeValue && source == reset.chargeSource) ||
           (value == reset.radiusValue && source == reset.radiusSource);
}

void AssignAtomsInOneWalk(const HostModel::OrdCollection& molecules, const std::vector<const Template*>& templates,
                          std::size_t minAtomsToShare) {
    WalkPlan plan{templates, {}, TakeResetIds(), SourceTextTable(templates)};
    for (const Template* t : templates) {
        plan.passes.push_back({PropertyId(t->GetValuePropertyName()), PropertyId(t->GetSourcePropertyName())});
        t->BuildLookupIndex();
    }
    const std::vector<AtomRange> ranges = SplitAtomWalk(molecules, minAtomsToShare);
    if (ranges.size() == 1 || std::thread::hardware_concurrency() < 2) {
        for (const AtomRange& range : ranges) WalkRange(range, plan);
        return;
    }
    std::exception_ptr secondFailure;
    std::thread second([&] {
        try {
            WalkRange(ranges[1], plan);
        } catch (...) {
            secondFailure = std::current_exception();
        }
    });
    std::exception_ptr firstFailure;
    try {
        WalkRange(ranges[0], plan);
    } catch (...) {
        firstFailure = std::current_exception();
    }
    second.join();
    if (firstFailure) std::rethrow_exception(firstFailure);
    if (secondFailure) std::rethrow_exception(secondFailure);
}

}  // namespace Voltra
