// Source texts and their combinations, interned in a fixed order.
#include "apply/SourceTextTable.h"

#include "templates/PropertyVocabulary.h"
#include "templates/Template.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace Voltra {
namespace {

void AddOnce(std::vector<HostModel::PropertyTextId>& ids, const std::string& text) {
    const HostModel::PropertyTextId id = HostModel::PropertyTexts::Intern(text);
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
}

std::string CombinedText(HostModel::PropertyTextId charge, HostModel::PropertyTextId radius) {
    return HostModel::PropertyTexts::Get(charge) + " + " + HostModel::PropertyTexts::Get(radius);
}

}  // namespace

SourceTextTable::SourceTextTable(const std::vector<const Template*>& templates) {
    std::vector<HostModel::PropertyTextId> charges, radii;
    AddOnce(charges, kSourceMissing);
    AddOnce(radii, kSourceMissing);
    for (const Template* t : templates) {
        auto& side = std::strcmp(t->GetSourcePropertyName(), kChargeSourcePropertyName) == 0 ? charges : radii;
        AddOnce(side, t->GetSourceName());
        if (t->IsElementKeyed()) AddOnce(side, kSourceHost);
    }
    for (HostModel::PropertyTextId charge : charges) {
        for (HostModel::PropertyTextId radius : radii)
            pairs_.push_back({charge, radius, HostModel::PropertyTexts::Intern(CombinedText(charge, radius))});
    }
}

HostModel::PropertyTextId SourceTextTable::Combined(HostModel::PropertyTextId charge,
                                                    HostModel::PropertyTextId radius) const {
    for (const Pair& pair : pairs_) {
        if (pair.charge == charge && pair.radius == radius) return pair.combined;
    }
    return HostModel::PropertyTexts::Intern(CombinedText(charge, radius));
}

}  // namespace Voltra
