// The template lookup as a plain first-match scan: the rule the indexed lookup must reproduce.
#include "TemplateLookupScan.h"

#include "templates/PropertyVocabulary.h"

#include "Common/Text.h"
#include "HostModel/Atom.h"

#include <vector>

namespace Voltra {
namespace {

bool Matches(const TemplateEntry& entry, const TemplateEntry& key) {
    return Common::CompareNoCase(entry.atomName, key.atomName) == 0 &&
           Common::CompareNoCase(entry.residueName, key.residueName) == 0;
}

std::vector<const TemplateEntry*> CollectMatches(const Template& t, const TemplateEntry& key) {
    std::vector<const TemplateEntry*> matches;
    for (const TemplateEntry& entry : t.GetEntries()) {
        if (Matches(entry, key)) matches.push_back(&entry);
    }
    return matches;
}

}  // namespace

std::string LookupByScan(const Template& t, const HostModel::Atom& atom, float& value) {
    const auto withResidue = CollectMatches(t, BuildMatchKey(t, atom));
    if (!withResidue.empty()) {
        value = withResidue.front()->value;
        return t.GetSourceName();
    }
    if (t.IsElementKeyed()) {
        value = atom.GetRadius();
        return kSourceHost;
    }
    const auto generic = CollectMatches(t, BuildLookupKey(t, atom, false));
    if (!generic.empty()) {
        value = generic.front()->value;
        return t.GetSourceName();
    }
    return kSourceMissing;
}

}  // namespace Voltra
