// The reset and the template passes atom by atom, over one or two ranges of the atoms.
#include "apply/AssignmentWalk.h"

#include "apply/AtomReset.h"
#include "apply/AtomWalkSplit.h"
#include "apply/SourceTextTable.h"
#include "apply/TemplateLookupMemo.h"
#include "templates/PropertyIds.h"
#include "templates/PropertyVocabulary.h"
#include "templates/Template.h"

#include "Common/TwoHalves.h"

#include <memory>
#include <thread>

namespace Voltra {
namespace {

// What a walk reads and never changes, shared by both threads.
struct WalkPlan {
    const std::vector<const Template*>& templates;
    std::vector<bool> writesCharge;  // per template: its values are charges, else radii
    ResetIds reset;
    SourceTextTable texts;
};

// After the reset an atom's properties hold nothing but what the reset and the passes write, so
// its final values are worked out first and written once, without reading back. A pass's rule
// (see ApplyTemplateToAtom): a hit overwrites value and Source; a miss writes 0.0 and "Missing"
// again only where the Source is still "Missing", which leaves it as it is. The combined Source
// that each write refreshes ends as the pair of the final Sources.
void WalkRange(const AtomRange& range, const WalkPlan& plan) {
    std::vector<std::unique_ptr<TemplateLookupMemo>> memos;
    for (const Template* t : plan.templates) memos.push_back(std::make_unique<TemplateLookupMemo>(*t));
    ForEachAtom(range, [&](HostModel::Atom& atom) {
        AtomAssignment values = ResetAssignment(plan.reset);
        for (std::size_t k = 0; k < memos.size(); ++k) {
            const TemplateLookupMemo::Answer found = memos[k]->Find(atom);
            float& value = plan.writesCharge[k] ? values.charge : values.radius;
            HostModel::PropertyTextId& source = plan.writesCharge[k] ? values.chargeSource : values.radiusSource;
            if (found.missing && source != plan.reset.missing) continue;
            value = found.value;
            source = found.sourceId;
        }
        values.combinedSource = plan.texts.Combined(values.chargeSource, values.radiusSource);
        WriteAtomAssignment(atom, plan.reset, values);
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
        plan.writesCharge.push_back(PropertyId(t->GetSourcePropertyName()) == plan.reset.chargeSource);
        t->BuildLookupIndex();
    }
    const std::vector<AtomRange> ranges = SplitAtomWalk(molecules, minAtomsToShare);
    // One range, or two at once: the second on a kept helper thread, failures carried back.
    const std::size_t rangesWorthASecondThread = std::thread::hardware_concurrency() < 2 ? 3 : 2;
    Common::RunInTwoHalves(ranges.size(), rangesWorthASecondThread, [&](std::size_t begin, std::size_t end, int) {
        for (std::size_t r = begin; r < end; ++r) WalkRange(ranges[r], plan);
    });
}

}  // namespace Voltra
