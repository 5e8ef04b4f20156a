// The per-atom writers of Template: a value, its Source, and the combined Source of both kinds.
#include "templates/Template.h"

#include "templates/PropertyIds.h"
#include "templates/PropertyVocabulary.h"

#include <cstdint>
#include <string>
#include <unordered_map>

namespace Voltra {

// These run several times per atom on documents of a million atoms, so they address the
// properties by interned id instead of by name; the effect is that of Object::SetProperty.

void Template::SetValue(HostModel::Object& atom, float value) const {
    atom.Properties().SetFloat(PropertyId(GetValuePropertyName()), value, kValuePropertyFlags);
}

namespace {

constexpr HostModel::PropertyTextId kNoText = 0xFFFFFFFFu;

// The same few Source texts are written on every atom: the last one's id is kept, so that most
// writes need neither the pool's lock nor a hash.
HostModel::PropertyTextId InternSource(const std::string& source) {
    thread_local std::string lastText;
    thread_local HostModel::PropertyTextId lastId = kNoText;
    if (lastId == kNoText || source != lastText) {
        lastId = HostModel::PropertyTexts::Intern(source);
        lastText = source;
    }
    return lastId;
}

// The combined text of a charge and a radius Source, by their ids; made and interned once per pair.
HostModel::PropertyTextId CombinedSource(HostModel::PropertyTextId charge, HostModel::PropertyTextId radius) {
    thread_local std::unordered_map<std::uint64_t, HostModel::PropertyTextId> combined;
    const std::uint64_t key = (std::uint64_t{charge} << 32) | radius;
    auto it = combined.find(key);
    if (it != combined.end()) return it->second;
    const HostModel::PropertyTextId id = HostModel::PropertyTexts::Intern(
        HostModel::PropertyTexts::Get(charge) + " + " + HostModel::PropertyTexts::Get(radius));
    combined.emplace(key, id);
    return id;
}

}  // namespace

void Template::SetSource(HostModel::Object& atom, const std::string& source) const {
    HostModel::PropertyStore& properties = atom.Properties();
    const HostModel::PropertyNameId written = PropertyId(GetSourcePropertyName());
    const HostModel::PropertyTextId sourceId = InternSource(source);
    properties.SetTextId(written, sourceId, kSourcePropertyFlags);

    // The combined text always reads the charge Source, then the radius Source, whichever kind
    // was written; the half just written is taken as given instead of being read back.
    static const HostModel::PropertyNameId chargeSource = PropertyId(kChargeSourcePropertyName);
    static const HostModel::PropertyNameId radiusSource = PropertyId(kRadiusSourcePropertyName);
    static const HostModel::PropertyNameId combinedSource = PropertyId(kCombinedSourcePropertyName);
    HostModel::PropertyTextId charge = sourceId;
    HostModel::PropertyTextId radius = sourceId;
    const bool chargeKnown = written == chargeSource || properties.GetTextId(chargeSource, charge);
    const bool radiusKnown = written == radiusSource || properties.GetTextId(radiusSource, radius);
    if (chargeKnown && radiusKnown) {
        properties.SetTextId(combinedSource, CombinedSource(charge, radius), kCombinedSourcePropertyFlags);
        return;
    }
    // A half that is absent reads as empty, one written as a number as its text.
    std::string combined = written == chargeSource ? source : properties.GetAsString(chargeSource);
    combined += " + ";
    combined += written == radiusSource ? source : properties.GetAsString(radiusSource);
    properties.SetText(combinedSource, combined, kCombinedSourcePropertyFlags);
}

bool Template::IsSourceMissing(const HostModel::Object& atom) const {
    const std::string* source = atom.Properties().GetText(PropertyId(GetSourcePropertyName()));
    return source != nullptr && *source == kSourceMissing;
}

}  // namespace Voltra
